// The C entry points: each one converts its arguments, calls the C++ code and
// lets no exception out.
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

#include "input/text/exist.h"
#include "shell/progress/progress_operations.h"
#include "tarvo.h"

namespace {

// Qt ends the whole process when it cannot reach the display it was built
// for, or when QT_QPA_PLATFORM names a platform it does not have, so the
// library looks first: without a platform chosen by the caller
// (QT_QPA_PLATFORM, e.g. offscreen) an X11 or Wayland display must be
// named, and a child process must then be able to start the application
// there. Without that the progress operations do nothing, and the caller's
// work goes on without a window.
bool ApplicationStartsInAChild() {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // Only the start is tried: nothing of the caller's is flushed or
        // destroyed twice.
        int argc = 1;
        char programName[] = "tarvo";
        char* argv[] = {programName, nullptr};
        new QApplication(argc, argv);
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool DisplayAvailable() {
    static const bool available = [] {
        auto named = [](const char* variable) {
            const char* value = std::getenv(variable);
            return value != nullptr && *value != '\0';
        };
        if (QCoreApplication::instance() != nullptr) return true;
        if (!named("QT_QPA_PLATFORM") && !named("DISPLAY") && !named("WAYLAND_DISPLAY")) {
            return false;
        }
        return ApplicationStartsInAChild();
    }();
    return available;
}

// Widgets need a QApplication on the calling thread. A caller that has none
// gets one, kept for the rest of the process; a caller running a
// QCoreApplication without widgets cannot have windows.
bool EnsureApplication() {
    if (!DisplayAvailable()) return false;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) return true;
    if (QCoreApplication::instance() != nullptr) return false;
    static int argc = 1;
    static char programName[] = "tarvo";
    static char* argv[] = {programName, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return application != nullptr;
}

std::string_view Text(const char* text, size_t length) {
    return text == nullptr ? std::string_view() : std::string_view(text, length);
}

std::string_view TextZ(const char* text) {
    return text == nullptr ? std::string_view() : std::string_view(text);
}

QWidget* AsOwner(void* owner) { return static_cast<QWidget*>(owner); }

}  // namespace

extern "C" {

int16_t EXIST(const char* name) {
    try {
        return name != nullptr && tarvo::Exist(name) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void* pbProgressInit(void* owner, const char* caption, size_t length) {
    try {
        if (!EnsureApplication()) return nullptr;
        return tarvo::shell::ProgressInit(AsOwner(owner), Text(caption, length));
    } catch (...) {
        return nullptr;
    }
}

void* pbProgressInitZ(void* owner, const char* caption) {
    try {
        if (!EnsureApplication()) return nullptr;
        return tarvo::shell::ProgressInit(AsOwner(owner), TextZ(caption));
    } catch (...) {
        return nullptr;
    }
}

int32_t pbProgressIsCancelled(void* window) {
    try {
        if (!DisplayAvailable()) return 0;  // no window was ever shown
        if (!EnsureApplication()) return 1;
        return tarvo::shell::ProgressIsCancelled(window);
    } catch (...) {
        return 1;  // a window that cannot be asked counts as gone
    }
}

void pbProgressPos(void* window, int32_t x, int32_t y) {
    try {
        if (EnsureApplication()) tarvo::shell::ProgressPos(window, x, y);
    } catch (...) {
    }
}

void pbProgressSet(void* window, int32_t percent, const char* text, size_t length) {
    try {
        if (EnsureApplication()) tarvo::shell::ProgressSet(window, percent, Text(text, length));
    } catch (...) {
    }
}

void pbProgressSetZ(void* window, int32_t percent, const char* text) {
    try {
        if (EnsureApplication()) tarvo::shell::ProgressSet(window, percent, TextZ(text));
    } catch (...) {
    }
}

void pbProgressShutdown(void* window, void* owner) {
    try {
        if (EnsureApplication()) tarvo::shell::ProgressShutdown(window, AsOwner(owner));
    } catch (...) {
    }
}

}  // extern "C"
