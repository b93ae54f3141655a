#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

class QCloseEvent;
class QLabel;
class QProgressBar;
class QPushButton;

// The small always-on-top window of a long run: a status line, a bar from 0
// to 100 and a "&Stop" button. A stop request is kept as the text "Stop" of a
// hidden label and is never cleared. The window is a dialog of its owner with
// a title bar only; a close request from the window manager counts as Stop.
namespace tarvo::shell {

int ClampPercent(int percent);

class ProgressWindow final : public QWidget {
  public:
    static constexpr int kStatusLine = 301;
    static constexpr int kStopFlag = 302;
    static constexpr int kBar = 300;
    static constexpr int kStopButton = 2;
    static constexpr int kClientWidth = 300;  // dialog units
    static constexpr int kClientHeight = 85;

    // Creates the window, centred on the screen and not yet shown. The owner
    // (may be null) is the window it stays above; it is not disabled here.
    ProgressWindow(const QString& caption, QWidget* owner);

    void SetPercent(int percent);  // clamped to 0..100
    void SetStatus(const QString& text);
    bool StopRequested() const;
    // What the Stop button does: mark the hidden label, tell the listener.
    void RequestStop();
    // Called on the window's thread when Stop is pressed.
    void SetStopListener(std::function<void()> listener);

    // Moves the window's top left corner to x, y dialog units from the top
    // left corner of the owner's client area (of the screen without owner).
    void MoveRelativeToOwner(int x, int y);

    QWidget* Control(int id) const;
    QWidget* Owner() const { return owner_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QPointer<QWidget> owner_;
    QLabel* statusLine_;
    QLabel* stopFlag_;
    QProgressBar* bar_;
    QPushButton* stopButton_;
    std::function<void()> stopListener_;
};

}  // namespace tarvo::shell
