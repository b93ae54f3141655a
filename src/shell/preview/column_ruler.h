#pragma once

#include <QWidget>
#include <functional>

class QPlainTextEdit;

// A column ruler over a text view of fixed-width lines: "1", "10", "20"...
// above their columns, a tick for every column, and the columns a drag
// covers. Pressing and dragging marks columns; on release the listener gets
// the first column (from 0) and how many were covered.
namespace tarvo::shell {

class ColumnRuler final : public QWidget {
  public:
    using DragListener = std::function<void(std::size_t first, std::size_t count)>;

    ColumnRuler(QPlainTextEdit* text, QWidget* parent);
    void SetDragListener(DragListener listener) { listener_ = std::move(listener); }

    // The column under a point of the ruler, and the left edge of a column,
    // as the text view shows it (scrolled or not).
    std::size_t ColumnAt(int x) const;
    int XOfColumn(std::size_t column) const;
    int ColumnWidth() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QPlainTextEdit* text_;
    DragListener listener_;
    bool dragging_ = false;
    std::size_t anchor_ = 0;
    std::size_t reach_ = 0;
};

}  // namespace tarvo::shell
