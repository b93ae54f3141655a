#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "reliability/runner_process.h"
#include "support/temp_dir.h"

namespace tarvo::test_support {

// An xdg-open of our own: a script that records the arguments of every call
// in a file of its own (each argument ended by a NUL byte), for a folder put
// in front of PATH.
class FakeViewer {
  public:
    FakeViewer() {
        std::filesystem::create_directories(binDir());
        std::filesystem::create_directories(callDir());
        // Open to every user, so that a run made as another user is seen too.
        chmod(callDir().c_str(), 0777);
        // Each record appears whole: it is written under another name first.
        // The signals the viewer was started with ignored are recorded
        // before its arguments.
        std::string script = R"(#!/bin/sh
calls='CALLS'
sed -n 's/^SigIgn:[[:space:]]*//p' /proc/$$/status >"$calls/.ignored.$$" &&
    mv "$calls/.ignored.$$" "$calls/ignored.$$"
printf '%s\0' "$@" >"$calls/.call.$$" && mv "$calls/.call.$$" "$calls/call.$$"
)";
        script.replace(script.find("CALLS"), 5, callDir());
        WriteFile(binDir() + "/xdg-open", script);
        chmod((binDir() + "/xdg-open").c_str(), 0755);
    }

    std::string binDir() const { return dir_.File("bin"); }

    // The arguments of each call recorded so far.
    std::vector<std::vector<std::string>> Calls() const {
        std::vector<std::vector<std::string>> calls;
        for (const auto& entry : std::filesystem::directory_iterator(callDir())) {
            if (entry.path().filename().string().rfind("call.", 0) != 0) continue;
            const std::string text = ReadFile(entry.path().string());
            std::vector<std::string> args;
            for (std::size_t start = 0; start < text.size();) {
                const std::size_t end = text.find('\0', start);
                args.push_back(text.substr(start, end - start));
                start = end == std::string::npos ? text.size() : end + 1;
            }
            calls.push_back(args);
        }
        return calls;
    }

    // The mask of ignored signals of each call (bit n - 1 for signal n).
    std::vector<unsigned long long> IgnoredSignals() const {
        std::vector<unsigned long long> masks;
        for (const auto& entry : std::filesystem::directory_iterator(callDir())) {
            if (entry.path().filename().string().rfind("ignored.", 0) != 0) continue;
            masks.push_back(std::stoull(ReadFile(entry.path().string()), nullptr, 16));
        }
        return masks;
    }

    // Waits for count calls; the viewer is started detached, so its record
    // may appear after the run has ended.
    bool WaitForCalls(std::size_t count) const {
        return WaitUntil([&] { return Calls().size() >= count; }, std::chrono::seconds(60));
    }

    void Forget() const {
        for (const auto& entry : std::filesystem::directory_iterator(callDir())) {
            std::filesystem::remove(entry.path());
        }
    }

  private:
    std::string callDir() const { return dir_.File("calls"); }

    TempDir dir_;
};

}  // namespace tarvo::test_support
