#include "shell/form/caption_fit.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

namespace tarvo::shell {
namespace {

// The space a caption needs with the given font.
QSize NeededSize(const QWidget* control, const QFont& font) {
    const QFontMetrics metrics(font);
    const QRect box = control->contentsRect();
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        const int flags = (label->wordWrap() ? Qt::TextWordWrap : 0) | Qt::AlignLeft | Qt::AlignTop;
        return metrics.boundingRect(QRect(0, 0, box.width(), 10000), flags, label->text()).size();
    }
    if (const auto* radio = qobject_cast<const QRadioButton*>(control)) {
        // The style's indicator and spacing are known only to a button's size
        // hint, and a shown button keeps the hint of its first font.
        QRadioButton probe(radio->text());
        probe.setFont(font);
        return {probe.sizeHint().width(), metrics.height()};
    }
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        return {metrics.horizontalAdvance(button->text()) + 4, metrics.height()};
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(control)) {
        return {metrics.horizontalAdvance(group->title()) + 8, metrics.height()};
    }
    return {0, 0};
}

bool FitsWith(const QWidget* control, const QFont& font) {
    const QSize needed = NeededSize(control, font);
    const QRect box = control->contentsRect();
    return needed.width() <= box.width() && needed.height() <= box.height();
}

}  // namespace

bool CaptionFits(const QWidget* control) { return FitsWith(control, control->font()); }

void FitCaption(QWidget* control) {
    const QFont original = control->font();
    if (FitsWith(control, original)) return;
    const double size = original.pointSizeF() > 0 ? original.pointSizeF() : 8.0;
    QFont candidate = original;
    for (double scale : {1.0, 0.95, 0.9, 0.85, 0.8, 0.75}) {
        for (int stretch : {QFont::SemiCondensed, QFont::Condensed}) {
            candidate = original;
            if (original.pointSizeF() > 0)
                candidate.setPointSizeF(size * scale);
            else
                candidate.setPixelSize(std::max(1, static_cast<int>(original.pixelSize() * scale)));
            candidate.setStretch(stretch);
            if (FitsWith(control, candidate)) {
                control->setFont(candidate);
                return;
            }
        }
    }
    control->setFont(candidate);
}

}  // namespace tarvo::shell
