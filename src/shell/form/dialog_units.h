#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

// Dialog units, converted the way the Windows dialog manager does: from the
// dialog font's average character width (the 52 letters A-Z and a-z) and its
// height, a horizontal unit is a quarter of the width and a vertical unit an
// eighth of the height, rounded to the nearest pixel.
namespace tarvo::shell {

// Rounds a * b / c to the nearest integer, halves away from zero; c > 0.
int MulDivRound(int a, int b, int c);

class DialogUnits {
  public:
    // Base units in pixels: average character width and character height.
    DialogUnits(int baseWidth, int baseHeight);
    static DialogUnits ForFont(const QFont& font);

    int X(int units) const { return MulDivRound(units, baseWidth_, 4); }
    int Y(int units) const { return MulDivRound(units, baseHeight_, 8); }
    QPoint Point(int x, int y) const { return {X(x), Y(y)}; }
    QSize Size(int w, int h) const { return {X(w), Y(h)}; }
    QRect Rect(int x, int y, int w, int h) const { return {Point(x, y), Size(w, h)}; }

    int BaseWidth() const { return baseWidth_; }
    int BaseHeight() const { return baseHeight_; }

  private:
    int baseWidth_;
    int baseHeight_;
};

}  // namespace tarvo::shell
