#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tarvo::test_support {

// Generous limits: the machine may be loaded, and a limit only guards
// against a hang, it never judges speed.
inline constexpr std::chrono::seconds kHangLimit{300};

inline void Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Waits until ready() holds, polling every millisecond; false after limit.
template <typename Condition>
bool WaitUntil(Condition ready, std::chrono::seconds limit = kHangLimit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        Pause(1);
    }
    return true;
}

// How a real tarvo-run process is started.
struct ProcessSettings {
    std::vector<std::string> args;       // after the program name
    std::string errFile;                 // standard error goes here (empty: /dev/null)
    std::string workingDir;              // empty: the test's own
    std::string pathPrefix;              // a folder put in front of PATH
    std::optional<rlim_t> addressSpace;  // a limit on the process's memory
    std::optional<rlim_t> fileSize;      // a limit on the size of a file it writes
    bool asNobody = false;               // run as user and group 65534
};

// One tarvo-run process: started at construction, never left behind.
class RunnerProcess {
  public:
    explicit RunnerProcess(const ProcessSettings& settings) {
        // Everything the child needs is prepared before the fork.
        std::vector<std::string> argStrings{TARVO_RUN_PATH};
        argStrings.insert(argStrings.end(), settings.args.begin(), settings.args.end());
        std::vector<char*> argv;
        for (auto& arg : argStrings) argv.push_back(arg.data());
        argv.push_back(nullptr);

        std::vector<std::string> envStrings;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string variable = *entry;
            if (variable.rfind("PATH=", 0) == 0 && !settings.pathPrefix.empty()) {
                envStrings.push_back("PATH=" + settings.pathPrefix + ":" + variable.substr(5));
            } else {
                envStrings.push_back(variable);
            }
        }
        std::vector<char*> envp;
        for (auto& variable : envStrings) envp.push_back(variable.data());
        envp.push_back(nullptr);

        const std::string errPath = settings.errFile.empty() ? "/dev/null" : settings.errFile;
        pid_ = fork();
        if (pid_ != 0) return;

        const int null = open("/dev/null", O_RDWR);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (null < 0 || err < 0) _exit(126);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (!settings.workingDir.empty() && chdir(settings.workingDir.c_str()) != 0) _exit(126);
        if (settings.addressSpace) {
            const rlimit limit{*settings.addressSpace, *settings.addressSpace};
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
        }
        if (settings.fileSize) {
            const rlimit limit{*settings.fileSize, *settings.fileSize};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        }
        if (settings.asNobody &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(126);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }

    ~RunnerProcess() {
        if (!Finished()) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }
    RunnerProcess(const RunnerProcess&) = delete;
    RunnerProcess& operator=(const RunnerProcess&) = delete;

    pid_t pid() const { return pid_; }

    // True once the process has ended; reaps it without waiting.
    bool Finished() {
        if (status_) return true;
        int raw = 0;
        if (pid_ > 0 && waitpid(pid_, &raw, WNOHANG) == pid_) status_ = raw;
        return status_.has_value() || pid_ <= 0;
    }

    // The exit status, -1 when the process was killed by a signal or did not
    // end within the hang limit (it is then killed).
    int Wait() {
        if (!WaitUntil([this] { return Finished(); })) {
            kill(pid_, SIGKILL);
            int raw = 0;
            waitpid(pid_, &raw, 0);
            status_ = raw;
            return -1;
        }
        if (!status_) return -1;
        return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -1;
    }

    void Interrupt() { kill(pid_, SIGINT); }
    void Send(int signal) { kill(pid_, signal); }

    // The scheduler state letter of the process ('R' running, 'S' sleeping
    // in a system call, ...), or 0 when it cannot be read.
    char State() const {
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        std::string text;
        std::getline(stat, text);
        const auto close = text.rfind(')');
        return close != std::string::npos && close + 2 < text.size() ? text[close + 2] : 0;
    }

    // True while a SIGINT sent to the process has not been delivered yet.
    bool InterruptPending() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        constexpr unsigned long long kSigIntBit = 1ull << (SIGINT - 1);
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("SigPnd:", 0) == 0 || line.rfind("ShdPnd:", 0) == 0) {
                if (std::strtoull(line.c_str() + 7, nullptr, 16) & kSigIntBit) return true;
            }
        }
        return false;
    }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// The whole run as a user starts it: the exit status and standard error.
struct RunnerResult {
    int status;
    std::string err;
};

inline RunnerResult RunToEnd(ProcessSettings settings, const std::string& errFile) {
    settings.errFile = errFile;
    RunnerProcess process(settings);
    const int status = process.Wait();
    std::ifstream in(errFile, std::ios::binary);
    return {status, std::string(std::istreambuf_iterator<char>(in), {})};
}

}  // namespace tarvo::test_support
