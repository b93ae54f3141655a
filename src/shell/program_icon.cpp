#include "shell/program_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace tarvo::shell {

QIcon ProgramIcon() {
    constexpr int kSize = 32;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(QColor(255, 255, 128));

    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 128, 0), 1));
    painter.drawRect(0, 0, kSize - 1, kSize - 1);

    // A three-parameter logistic curve with a = 1.5, b = 0, c = 0.2.
    QPainterPath curve;
    for (int px = 2; px < kSize - 2; ++px) {
        const double theta = (px - kSize / 2.0) / 5.0;
        const double p = 0.2 + 0.8 / (1.0 + std::exp(-1.7 * 1.5 * theta));
        const double py = (kSize - 4) - p * (kSize - 8);
        if (px == 2) {
            curve.moveTo(px, py);
        } else {
            curve.lineTo(px, py);
        }
    }
    painter.setPen(QPen(QColor(192, 0, 0), 2.5));
    painter.drawPath(curve);
    painter.end();
    return QIcon(pixmap);
}

}  // namespace tarvo::shell
