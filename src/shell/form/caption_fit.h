#pragma once

class QWidget;

// Makes a control's caption fit its place on the dialog. The places are in
// dialog units and were drawn for a narrow dialog font; with a wider one a
// caption would wrap out of sight or be cut. Such a control gets a condensed,
// and if need be smaller, face of its font; captions that fit keep theirs.
namespace tarvo::shell {

// Whether the control's caption is shown whole with its current font: a label
// wrapped at word breaks within its box (when it wraps), a button's or mode
// button's text within its width, a frame's title within its width.
// Controls without a caption always fit.
bool CaptionFits(const QWidget* control);

// Tries condensed faces, then smaller sizes down to three quarters of the
// font's size, and keeps the first that fits (the smallest tried when none does).
void FitCaption(QWidget* control);

}  // namespace tarvo::shell
