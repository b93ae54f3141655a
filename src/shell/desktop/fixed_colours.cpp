#include "shell/desktop/fixed_colours.h"

#include <QPalette>
#include <array>

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

namespace {

// A qualitative palette of ten, with black and a cyan after it.
constexpr std::array<QRgb, 12> kCurveColours = {0x4e79a7, 0xf28e2b, 0xe15759, 0x76b7b2,
                                                0x59a14f, 0xedc948, 0xb07aa1, 0xff9da7,
                                                0x9c755f, 0xbab0ac, 0x000000, 0x17becf};

}  // namespace

int DistinctCurveColourCount() { return static_cast<int>(kCurveColours.size()); }

QColor DistinctCurveColour(int index) {
    const int count = DistinctCurveColourCount();
    return QColor(kCurveColours[static_cast<std::size_t>(((index % count) + count) % count)]);
}

}  // namespace tarvo::shell
