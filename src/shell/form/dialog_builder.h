#pragma once

class QButtonGroup;
class QWidget;

// Creates the main dialog's controls from the layout table: widgets of the
// right kind at their places, in creation (tab) order, coloured and with the
// group font, registered by identifier. Mode button 1004 starts checked.
namespace tarvo::shell {

class ControlRegistry;
class DialogUnits;

void BuildDialogControls(QWidget* dialog, const DialogUnits& units, ControlRegistry& registry,
                         QButtonGroup& modeButtons);

// The dialog's own colours: green text on the yellow surface.
void ApplySurfaceColours(QWidget* dialog);

}  // namespace tarvo::shell
