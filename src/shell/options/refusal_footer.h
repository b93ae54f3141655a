#pragma once

class QDialog;
class QLabel;
class QVBoxLayout;

namespace tarvo::shell {

// The foot of a settings dialog, added to its column: the line that says
// why OK was refused (red, hidden until then) and OK / Cancel. Returns
// the line.
QLabel* AddRefusalFooter(QDialog& dialog, QVBoxLayout& column);

}  // namespace tarvo::shell
