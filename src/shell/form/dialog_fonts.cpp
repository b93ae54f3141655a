#include "shell/form/dialog_fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <cmath>

namespace tarvo::shell {
namespace {

bool FamilyInstalled(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

int ScreenDotsPerInchY() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? static_cast<int>(std::lround(screen->logicalDotsPerInchY())) : 96;
}

}  // namespace

QFont DialogFont() {
    QFont font = FamilyInstalled(QStringLiteral("MS Sans Serif"))
                     ? QFont(QStringLiteral("MS Sans Serif"))
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

QFont GroupFont() {
    QFont font = DialogFont();
    for (const char* family : {"Comic Sans MS", "Comic Neue"}) {
        if (FamilyInstalled(QString::fromLatin1(family))) {
            font = QFont(QString::fromLatin1(family));
            break;
        }
    }
    font.setPixelSize(ScreenDotsPerInchY() * 8 / 72);
    font.setWeight(QFont::Bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

}  // namespace tarvo::shell
