#pragma once

#include <QColor>
#include <QDir>
#include <QPalette>
#include <QRect>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shell/desktop/desktop_services.h"
#include "shell/files/file_selection.h"

class QImage;

// What the shell tests share: the one QApplication, pickers and a desktop
// that answer without windows, and waiting while the event loop runs.
namespace tarvo::shell::test_support {

// Creates the QApplication on first use (offscreen unless told otherwise).
void EnsureApplication();

// A base for fixtures whose members are widgets: creates the application
// before any member is constructed.
struct ApplicationFirst {
    ApplicationFirst() { EnsureApplication(); }
};

// Runs the event loop until done() holds or the time is up; returns done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 60000);

// Answers the pickers from queues (an empty answer is a Cancel) and keeps
// every request it was given.
class ScriptedPicker final : public FilePicker {
  public:
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<PickerRequest> openRequests;
    std::vector<PickerRequest> saveRequests;

    std::optional<std::string> PickOpen(const PickerRequest& request) override;
    std::optional<std::string> PickSave(const PickerRequest& request) override;
};

// Records messages, questions and document launches; answers questions with
// yesAnswer.
class RecordingDesktop final : public DesktopServices {
  public:
    bool yesAnswer = true;
    std::vector<std::string> messages;
    std::vector<std::pair<std::string, std::string>> questions;  // text, title
    std::vector<std::string> openedDocuments;
    bool runAnyway = false;  // the answer to "Run anyway" / "Cancel"
    std::vector<std::string> runAnywayQuestions;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& text, const std::string& title) override {
        questions.emplace_back(text, title);
        return yesAnswer;
    }
    bool AskRunAnyway(const std::string& text) override {
        runAnywayQuestions.push_back(text);
        return runAnyway;
    }
    void OpenDocument(const std::string& fileName) override { openedDocuments.push_back(fileName); }
    bool documentsOpen = true;  // whether the desktop has an application for a document
    bool OpenDocumentIfHandled(const std::string& fileName) override {
        if (!documentsOpen) return false;
        OpenDocument(fileName);
        return true;
    }
};

// Restores the current directory when it goes out of scope.
class CurrentDirectoryGuard {
  public:
    CurrentDirectoryGuard() : saved_(QDir::currentPath()) {}
    ~CurrentDirectoryGuard() { QDir::setCurrent(saved_); }

  private:
    QString saved_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// The lines of a CR LF text; fails the test on a line end that is not CR LF.
std::vector<std::string> CrLfLines(const std::string& text);

// A dark desktop theme: light text on dark windows, boxes and buttons.
QPalette DarkPalette();
// The dark theme as the application's palette while it lives.
class DarkTheme {
  public:
    DarkTheme();
    ~DarkTheme();
    DarkTheme(const DarkTheme&) = delete;
    DarkTheme& operator=(const DarkTheme&) = delete;

  private:
    QPalette saved_;
};
// The contrast ratio of two colours by their relative luminance (1 to 21).
double Contrast(const QColor& first, const QColor& second);
// What a region of a picture shows over its background: pixels clearly
// darker (dark text) and pixels lighter (a light text, or a light mark).
struct Ink {
    int darker = 0;
    int lighter = 0;
};
Ink InkIn(const QImage& image, const QRect& region, const QColor& background);

// A response file in the sample layout (ID in 1-8, theta in 12-18, responses
// from column 20) drawn from the 3PL model with a fixed seed.
void WriteSampleResponses(const std::string& path, int personCount, int itemCount, unsigned seed);

}  // namespace tarvo::shell::test_support
