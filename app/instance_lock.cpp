#include "app/instance_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

bool lock_theme_folder()
{
    // The folder, not conf.ini: it exists even when conf.ini does not.
    // O_CLOEXEC keeps the item scripts, and anything they leave running,
    // from holding the lock after the menu has gone.
    const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder that cannot be opened cannot be shared either; showing the
    // menu is then better than refusing it.
    if (fd < 0)
        return true;
    // fd stays open until exit: closing it would release the lock.
    return flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}
