#include "shell/preview/column_ruler.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <algorithm>

#include "shell/preview/preview_model.h"

namespace tarvo::shell {

ColumnRuler::ColumnRuler(QPlainTextEdit* text, QWidget* parent) : QWidget(parent), text_(text) {
    setFont(text->font());
    setCursor(Qt::IBeamCursor);
    setToolTip(QStringLiteral("Press and drag over the columns of the field chosen beside"));
    connect(text->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { update(); });
}

int ColumnRuler::ColumnWidth() const {
    return std::max(1, QFontMetrics(text_->font()).horizontalAdvance(QLatin1Char('0')));
}

int ColumnRuler::XOfColumn(std::size_t column) const {
    // Where the text view's viewport starts, seen from the ruler, plus the
    // document's margin, less what is scrolled away.
    const QPoint viewport = text_->viewport()->mapTo(window(), QPoint(0, 0));
    const QPoint ruler = mapTo(window(), QPoint(0, 0));
    const int margin = static_cast<int>(text_->document()->documentMargin());
    return viewport.x() - ruler.x() + margin - text_->horizontalScrollBar()->value() +
           static_cast<int>(column) * ColumnWidth();
}

std::size_t ColumnRuler::ColumnAt(int x) const {
    const int offset = x - XOfColumn(0);
    return offset <= 0 ? 0 : static_cast<std::size_t>(offset / ColumnWidth());
}

QSize ColumnRuler::sizeHint() const { return {200, QFontMetrics(font()).height() * 2 + 2}; }

void ColumnRuler::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const int width = ColumnWidth();
    const int textHeight = QFontMetrics(font()).height();
    if (dragging_) {
        const std::size_t first = std::min(anchor_, reach_);
        const std::size_t last = std::max(anchor_, reach_);
        painter.fillRect(
            QRect(XOfColumn(first), 0, static_cast<int>(last - first + 1) * width, height()),
            palette().color(QPalette::Highlight).lighter(150));
    }
    painter.setPen(palette().color(QPalette::WindowText));
    const std::size_t visible =
        static_cast<std::size_t>(std::max(0, (this->width() - XOfColumn(0)) / width + 1));
    const std::string ruler = RulerText(visible);
    for (std::size_t column = 0; column < visible; ++column) {
        const int x = XOfColumn(column);
        if (x + width < 0) continue;
        if (ruler[column] != ' ') {
            painter.drawText(QRect(x, 0, width, textHeight), Qt::AlignLeft,
                             QString(QLatin1Char(ruler[column])));
        }
        const int tick = (column + 1) % 10 == 0  ? height() / 2
                         : (column + 1) % 5 == 0 ? height() / 3
                                                 : height() / 5;
        painter.drawLine(x, height() - 1, x, height() - 1 - tick);
    }
    painter.drawLine(0, height() - 1, this->width(), height() - 1);
}

void ColumnRuler::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    anchor_ = reach_ = ColumnAt(event->position().toPoint().x());
    update();
}

void ColumnRuler::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    reach_ = ColumnAt(event->position().toPoint().x());
    update();
}

void ColumnRuler::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    reach_ = ColumnAt(event->position().toPoint().x());
    dragging_ = false;
    update();
    const std::size_t first = std::min(anchor_, reach_);
    if (listener_) listener_(first, std::max(anchor_, reach_) - first + 1);
}

}  // namespace tarvo::shell
