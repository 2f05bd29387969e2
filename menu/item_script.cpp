#include "menu/item_script.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

using std::chrono::milliseconds;

// A power-off asked for under memory pressure or a process limit should still
// happen, but a menu that waits much longer looks as dead as one that failed.
constexpr int kRetrySeconds = 2;
constexpr milliseconds kRetryFor{kRetrySeconds * 1000};
constexpr milliseconds kFirstPause{10};
constexpr milliseconds kLongestPause{400};

bool transient(int error)
{
    return error == EAGAIN || error == ENOMEM;
}

// glibc's posix_spawn returns only once the child has executed /bin/sh, so a
// failed exec comes back as its error, not as the child's status 127, which
// the script could give as well.
int start_shell(const char* command, posix_spawnattr_t* attributes, pid_t& pid)
{
    char shell[] = "sh";
    char flag[] = "-c";
    char* const argv[] = {shell, flag, const_cast<char*>(command), nullptr};
    const auto give_up = std::chrono::steady_clock::now() + kRetryFor;
    milliseconds pause = kFirstPause;
    int error;
    while (transient(error = posix_spawn(&pid, "/bin/sh", nullptr, attributes, argv, environ))
           && std::chrono::steady_clock::now() + pause < give_up) {
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, kLongestPause);
    }
    return error;
}

} // namespace

int run_item_script(const char* command)
{
    // As system(): the menu ignores the terminal's interrupt while it waits,
    // the script gets it at its default unless the menu was started ignoring it.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction old_interrupt, old_quit;
    sigaction(SIGINT, &ignore, &old_interrupt);
    sigaction(SIGQUIT, &ignore, &old_quit);
    sigset_t child_ended, old_mask;
    sigemptyset(&child_ended);
    sigaddset(&child_ended, SIGCHLD);
    pthread_sigmask(SIG_BLOCK, &child_ended, &old_mask);

    sigset_t to_default;
    sigemptyset(&to_default);
    if (old_interrupt.sa_handler != SIG_IGN)
        sigaddset(&to_default, SIGINT);
    if (old_quit.sa_handler != SIG_IGN)
        sigaddset(&to_default, SIGQUIT);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigmask(&attributes, &old_mask);
    posix_spawnattr_setsigdefault(&attributes, &to_default);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int error = start_shell(command, &attributes, pid);
    int status = 0;
    pid_t waited = -1;
    if (error == 0)
        while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
    posix_spawnattr_destroy(&attributes);
    sigaction(SIGINT, &old_interrupt, nullptr);
    sigaction(SIGQUIT, &old_quit, nullptr);
    pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);

    if (error != 0) {
        const std::string retried = transient(error) ? " (tried for " + std::to_string(kRetrySeconds) + " s)" : "";
        std::fprintf(stderr, "powermenu: %s was not run: /bin/sh could not be started: %s%s\n", command,
                     std::strerror(error), retried.c_str());
        return kScriptNotStarted;
    }
    // waitpid fails only when whoever started the menu had it ignore SIGCHLD:
    // the script ran, and its status is lost.
    if (waited == pid && WIFEXITED(status) && WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "powermenu: %s ended with status %d\n", command, WEXITSTATUS(status));
    else if (waited == pid && WIFSIGNALED(status))
        std::fprintf(stderr, "powermenu: %s was killed by signal %d (%s)\n", command, WTERMSIG(status),
                     strsignal(WTERMSIG(status)));
    return 0;
}
