#include "cli/viewer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvo::cli {

void LaunchDetached(const std::string& program, const std::string& file) {
    const pid_t child = fork();
    if (child < 0) return;
    if (child == 0) {
        // The grandchild runs the viewer; the child exits at once so that
        // nobody has to wait for the viewer and no zombie is left behind.
        setsid();
        if (fork() != 0) _exit(0);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        // An ignored signal stays ignored across exec: give the viewer the
        // default handling the runner itself gave up.
        signal(SIGPIPE, SIG_DFL);
        signal(SIGXFSZ, SIG_DFL);
        const char* argv[] = {program.c_str(), file.c_str(), nullptr};
        execvp(program.c_str(), const_cast<char* const*>(argv));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace tarvo::cli
