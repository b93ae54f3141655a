#pragma once

#include <span>

#include "shell/form/dialog_layout.h"

class QComboBox;
class QLabel;
class QPalette;
class QPushButton;
class QWidget;

// A row of controls added beside the dialog's own (the Method choice, the
// Format choice): a label, a choice of entries and a button, placed in
// dialog units, in the system's colours on the dialog's surface, the first
// entry chosen and the button enabled.
namespace tarvo::shell {

struct ChoiceRowLayout {
    const char* label;
    DialogRect labelRect;
    std::span<const char* const> entries;
    DialogRect choiceRect;
    const char* toolTip;
    const char* button;
    DialogRect buttonRect;
};

struct ChoiceRow {
    QLabel* label = nullptr;
    QComboBox* choice = nullptr;
    QPushButton* button = nullptr;
};

class DialogUnits;

ChoiceRow BuildChoiceRow(QWidget* dialog, const DialogUnits& units, const ChoiceRowLayout& layout);

// The system's colours on the dialog's surface, so that the added controls
// read like the dialog's other labels and boxes.
QPalette PlatformPaletteOnSurface();

}  // namespace tarvo::shell
