#pragma once

#include <QColor>

class QPalette;

// Text on the light backgrounds the program fixes itself (the dialog's yellow
// and green, the flagged cells of the results tables, the Preview's fields):
// dark on every desktop theme, since a dark theme's light text does not read
// on them.
namespace tarvo::shell {

QColor TextOnFixedBackground();
// Greyed, for a disabled control on such a background (the whole dialog while
// a run is in progress).
QColor DisabledTextOnFixedBackground();

// Gives the palette's text roles (WindowText, Text) the dark text above, in
// every colour group.
void SetTextOnFixedBackground(QPalette& palette);

// The curves of an item's categories, one colour each: twelve colours that
// tell apart on white, so an item of up to twelve categories never draws two
// categories alike; above that the colours repeat (the chart dashes them).
int DistinctCurveColourCount();
QColor DistinctCurveColour(int index);

}  // namespace tarvo::shell
