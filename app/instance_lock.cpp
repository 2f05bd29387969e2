#include "app/instance_lock.h"

#include "app/missing_files.h"
#include "app/second_press.h"
#include "app/theme_trust.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where the lock file goes, or why there is none: `unsafe` when the folder
// is there but someone else could plant, swap or hold a lock file in it.
struct LockFolder {
    int fd = -1;
    std::string problem;
    bool unsafe = false;
};

// A folder fit for this user's lock files: a real folder (no symlink to
// follow), owned by this user and closed to everyone else.
LockFolder open_private_folder(const std::string& path)
{
    LockFolder folder;
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info;
    if (fd < 0) {
        // Anything but "not there" means someone else's thing under the name.
        folder.unsafe = errno == ELOOP || errno == ENOTDIR || errno == EACCES;
        folder.problem = path + (folder.unsafe ? " is not a folder of yours" : "") + ": " + std::strerror(errno);
    } else if (fstat(fd, &info) != 0) {
        folder.problem = path + ": " + std::strerror(errno);
    } else if (info.st_uid != geteuid()) {
        folder.unsafe = true;
        folder.problem = path + " is owned by uid " + std::to_string(info.st_uid) + ", not by you";
    } else if (info.st_mode & 077) {
        folder.unsafe = true;
        folder.problem = path + " is open to other users (mode " + mode_text(info.st_mode) + ")";
    } else {
        folder.fd = fd;
        return folder;
    }
    if (fd >= 0)
        close(fd);
    return folder;
}

// The user's runtime folder: $XDG_RUNTIME_DIR, else the one logind makes
// (a daemon such as acpid starts the menu without the variable, and must
// meet the lock of a menu started from the session). Else, for root, a
// folder in /run, where no one else can make one first; for anyone else a
// folder of their own in /tmp, where someone else can, so that one is
// refused rather than shared.
LockFolder open_lock_folder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string uid = std::to_string(geteuid());
    if (runtime && runtime[0] == '/') {
        LockFolder folder = open_private_folder(runtime);
        if (folder.fd >= 0)
            return folder;
    }
    LockFolder folder = open_private_folder("/run/user/" + uid);
    if (folder.fd >= 0)
        return folder;
    const std::string own = geteuid() == 0 ? "/run/powermenu" : "/tmp/powermenu-" + uid;
    // Fails harmlessly when it exists; whoever made it, the check decides.
    mkdir(own.c_str(), 0700);
    return open_private_folder(own);
}

// A lock that cannot be had for want of room or a working file system is no
// reason to keep the power menu from the user, but it is said.
int open_without_lock(const std::string& why)
{
    std::fprintf(stderr, "powermenu: opened without the lock that keeps a second menu away: %s\n", why.c_str());
    return 0;
}

} // namespace

int lock_theme_folder(int& second_press_fd)
{
    second_press_fd = -1;
    // The folder's identity, not its name: a theme reached by two paths
    // is one theme, and a folder is there even when conf.ini is not.
    struct stat theme;
    if (stat(".", &theme) != 0)
        return open_without_lock(std::string("the theme folder: ") + std::strerror(errno));
    const LockFolder folder = open_lock_folder();
    if (folder.unsafe) {
        std::fprintf(stderr, "powermenu: not started: the lock folder %s; someone else may have made it to take "
                             "the lock that keeps a second menu away: remove it, or set XDG_RUNTIME_DIR to a "
                             "folder of yours alone\n", folder.problem.c_str());
        return kUntrustedTheme;
    }
    if (folder.fd < 0)
        return open_without_lock(folder.problem);
    const std::string name = "powermenu-" + std::to_string(static_cast<unsigned long long>(theme.st_dev)) + "-"
        + std::to_string(static_cast<unsigned long long>(theme.st_ino));
    // O_CLOEXEC keeps the item scripts, and anything they leave running,
    // from holding the lock after the menu has gone.
    const int fd = openat(folder.fd, (name + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        close(folder.fd);
        return open_without_lock(name + ".lock: " + std::strerror(errno));
    }
    // fd stays open until exit: closing it would release the lock.
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        second_press_fd = open_second_press_socket(folder.fd, name + ".sock");
        close(folder.fd);
        return 0;
    }
    const int error = errno;
    const bool came_back = error == EWOULDBLOCK && ask_open_menu_to_come_back(folder.fd, name + ".sock");
    close(folder.fd);
    if (error != EWOULDBLOCK)
        return open_without_lock(name + ".lock: " + std::strerror(error));
    std::fprintf(stderr, "powermenu: not started: a menu of yours is already open in %s; %s\n",
                 working_directory().c_str(), came_back ? "brought it to the front" : "it ends with F2");
    return 1;
}
