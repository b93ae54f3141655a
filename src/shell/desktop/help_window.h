#pragma once

#include <QRect>
#include <QSize>
#include <QTextBrowser>

// The help shown in the program's own window, for a desktop where the help
// document cannot be opened: the HTML help built into the program, read-only,
// closed by Esc and Ctrl+W, sized to fit the screen it opens on.
namespace tarvo::shell {

// Where the built-in help lives among the program's resources.
inline constexpr const char* kHelpResource = ":/tarvo/help/tarvo_help.html";

class HelpWindow final : public QTextBrowser {
  public:
    explicit HelpWindow(QWidget* owner = nullptr);
};

// The size the help window opens at on a screen of that free area.
QSize HelpWindowSize(const QRect& available);

// The built-in help's HTML text (empty if the resource is missing).
QString BuiltInHelpHtml();

}  // namespace tarvo::shell
