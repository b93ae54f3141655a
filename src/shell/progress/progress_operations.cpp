#include "shell/progress/progress_operations.h"

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <map>
#include <thread>

#include "shell/progress/progress_window.h"

namespace tarvo::shell {
namespace {

struct OpenWindows {
    std::uintptr_t lastHandle = 0;
    std::map<std::uintptr_t, QPointer<ProgressWindow>> windows;
};

OpenWindows& Registry() {
    static OpenWindows registry;
    return registry;
}

std::uintptr_t Key(ProgressHandle handle) { return reinterpret_cast<std::uintptr_t>(handle); }

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ProgressHandle OpenProgressWindow(QWidget* owner, const QString& caption) {
    if (owner != nullptr) owner->setEnabled(false);
    auto* window = new ProgressWindow(caption, owner);
    window->show();

    OpenWindows& registry = Registry();
    std::erase_if(registry.windows, [](const auto& entry) { return entry.second.isNull(); });
    const std::uintptr_t key = ++registry.lastHandle;
    registry.windows.emplace(key, window);
    return reinterpret_cast<ProgressHandle>(key);
}

ProgressWindow* FindProgressWindow(ProgressHandle handle) {
    const OpenWindows& registry = Registry();
    const auto found = registry.windows.find(Key(handle));
    return found == registry.windows.end() ? nullptr : found->second.data();
}

void SetProgressWindow(ProgressHandle handle, int percent, const QString& text) {
    if (ProgressWindow* window = FindProgressWindow(handle)) {
        window->SetPercent(percent);
        window->SetStatus(text);
    }
}

bool ProgressWindowCancelled(ProgressHandle handle) {
    const ProgressWindow* window = FindProgressWindow(handle);
    return window == nullptr || window->StopRequested();
}

void MoveProgressWindow(ProgressHandle handle, int x, int y) {
    if (ProgressWindow* window = FindProgressWindow(handle)) window->MoveRelativeToOwner(x, y);
}

void ShutdownProgressWindow(ProgressHandle handle, QWidget* owner) {
    OpenWindows& registry = Registry();
    const auto found = registry.windows.find(Key(handle));
    if (found != registry.windows.end()) {
        delete found->second.data();
        registry.windows.erase(found);
    }
    if (owner != nullptr) owner->setEnabled(true);
}

void BreathingStep() {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher != nullptr && dispatcher->processEvents(QEventLoop::AllEvents)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

ProgressHandle ProgressInit(QWidget* owner, std::string_view caption) {
    const ProgressHandle handle = OpenProgressWindow(owner, FromUtf8(caption));
    BreathingStep();
    return handle;
}

void ProgressSet(ProgressHandle handle, int percent, std::string_view text) {
    SetProgressWindow(handle, percent, FromUtf8(text));
    BreathingStep();
}

std::int32_t ProgressIsCancelled(ProgressHandle handle) {
    BreathingStep();
    return ProgressWindowCancelled(handle) ? 1 : 0;
}

void ProgressPos(ProgressHandle handle, int x, int y) { MoveProgressWindow(handle, x, y); }

void ProgressShutdown(ProgressHandle handle, QWidget* owner) {
    ShutdownProgressWindow(handle, owner);
}

}  // namespace tarvo::shell
