#include "app/instance_lock.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder fit for this user's lock files: a real folder (no symlink to
// follow), owned by this user and closed to everyone else, so no one else
// can plant, swap or hold a lock file in it. Returns its descriptor or -1.
int open_private_folder(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return -1;
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || info.st_uid != geteuid() || (info.st_mode & 077) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The user's runtime folder: $XDG_RUNTIME_DIR, else the one logind makes
// (a daemon such as acpid starts the menu without the variable, and must
// meet the lock of a menu started from the session), else a folder of our
// own in /tmp, made for this user alone.
int open_lock_folder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    int fd = open_private_folder(runtime ? runtime : "");
    const std::string uid = std::to_string(geteuid());
    if (fd < 0)
        fd = open_private_folder("/run/user/" + uid);
    if (fd < 0) {
        const std::string own = "/tmp/powermenu-" + uid;
        // Fails harmlessly when it exists; whoever made it, the check decides.
        mkdir(own.c_str(), 0700);
        fd = open_private_folder(own);
    }
    return fd;
}

} // namespace

bool lock_theme_folder()
{
    // The folder's identity, not its name: a theme reached by two paths
    // is one theme, and a folder is there even when conf.ini is not.
    struct stat theme;
    if (stat(".", &theme) != 0)
        return true;
    const int folder = open_lock_folder();
    // Without a private folder any lock could be held against us by
    // someone else; showing the menu is then better than refusing it.
    if (folder < 0)
        return true;
    const std::string name = "powermenu-" + std::to_string(static_cast<unsigned long long>(theme.st_dev)) + "-"
        + std::to_string(static_cast<unsigned long long>(theme.st_ino)) + ".lock";
    // O_CLOEXEC keeps the item scripts, and anything they leave running,
    // from holding the lock after the menu has gone.
    const int fd = openat(folder, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    close(folder);
    if (fd < 0)
        return true;
    // fd stays open until exit: closing it would release the lock.
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
        return true;
    char here[PATH_MAX];
    std::fprintf(stderr, "powermenu: not started: a menu of yours is already open in %s; it ends with F2\n",
                 getcwd(here, sizeof here) ? here : "this theme folder");
    return false;
}
