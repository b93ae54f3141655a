#include "shell/form/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace tarvo::shell {

int MulDivRound(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    const long long rounded = product >= 0 ? (product + half) / c : -((-product + half) / c);
    return static_cast<int>(rounded);
}

DialogUnits::DialogUnits(int baseWidth, int baseHeight)
    : baseWidth_(baseWidth), baseHeight_(baseHeight) {}

DialogUnits DialogUnits::ForFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The average of 52 letters, rounded: (total / 26 + 1) / 2.
    return DialogUnits((letters / 26 + 1) / 2, metrics.height());
}

}  // namespace tarvo::shell
