#include "shell/desktop/fixed_colours.h"

#include <QPalette>

namespace tarvo::shell {

QColor TextOnFixedBackground() { return {0, 0, 0}; }

QColor DisabledTextOnFixedBackground() { return {120, 120, 120}; }

void SetTextOnFixedBackground(QPalette& palette) {
    // A group box draws its title in Text, labels and radio buttons in WindowText.
    for (auto role : {QPalette::WindowText, QPalette::Text}) {
        palette.setColor(QPalette::Active, role, TextOnFixedBackground());
        palette.setColor(QPalette::Inactive, role, TextOnFixedBackground());
        palette.setColor(QPalette::Disabled, role, DisabledTextOnFixedBackground());
    }
}

}  // namespace tarvo::shell
