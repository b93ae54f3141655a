#include "shell/desktop/program_icon.h"

#include <QString>

namespace tarvo::shell {

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : kProgramIconSizes) {
        icon.addFile(QStringLiteral(":/tarvo/icons/tarvo-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace tarvo::shell
