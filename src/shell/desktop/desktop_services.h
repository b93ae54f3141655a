#pragma once

#include <string>

// What the shell asks of the desktop: message boxes and opening a document in
// the user's default application. The tests replace it to answer questions
// and to record launches instead of starting programs.
namespace tarvo::shell {

class DesktopServices {
  public:
    virtual ~DesktopServices() = default;
    // A message box with an OK button, modal for the whole program.
    virtual void ShowMessage(const std::string& text) = 0;
    // A Yes/No box with Yes as the default button; true means Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;
    // A box with "Run anyway" and "Cancel", Cancel the default (Enter and
    // Esc cancel); true means run anyway.
    virtual bool AskRunAnyway(const std::string& text) = 0;
    // Opens a file, relative names from the current directory, in the
    // desktop's default application. Does not wait and reports nothing.
    virtual void OpenDocument(const std::string& fileName) = 0;
    // Opens a file as OpenDocument does when the file is there and the
    // desktop has an application for its type; false, opening nothing, when
    // either is missing, so that the caller can show it another way.
    virtual bool OpenDocumentIfHandled(const std::string& fileName) {
        OpenDocument(fileName);
        return true;
    }
};

// The real desktop: QMessageBox and the desktop's file associations.
class QtDesktopServices final : public DesktopServices {
  public:
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text, const std::string& title) override;
    bool AskRunAnyway(const std::string& text) override;
    void OpenDocument(const std::string& fileName) override;
    bool OpenDocumentIfHandled(const std::string& fileName) override;
};

// Caption of the message boxes that the run gives no title of its own.
inline constexpr const char* kMessageCaption = "TARVO";

}  // namespace tarvo::shell
