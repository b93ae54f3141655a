// The C entry points: each one converts its arguments, calls the C++ code and
// lets no exception out.
#include "tarvo.h"

#include <QApplication>
#include <string>
#include <string_view>

#include "input/exist.h"
#include "shell/progress_operations.h"

namespace {

// Widgets need a QApplication on the calling thread. A caller that has none
// gets one, kept for the rest of the process; a caller running a
// QCoreApplication without widgets cannot have windows.
bool EnsureApplication() {
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
