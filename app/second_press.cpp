#include "app/second_press.h"

#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Long enough for a busy menu to raise itself, short enough that a launcher
// waiting on this start is not held up; a menu running its script answers
// nothing at all.
constexpr int kAnswerWaitMs = 2000;

// Reached through the folder's descriptor, so a long runtime path cannot
// overflow the socket address, and the folder checked at open is the one used.
bool socket_address(int folder_fd, const std::string& name, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    const std::string path = "/proc/self/fd/" + std::to_string(folder_fd) + "/" + name;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

int open_second_press_socket(int folder_fd, const std::string& name)
{
    sockaddr_un address;
    if (!socket_address(folder_fd, name, address))
        return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    // Whoever held the lock before has gone, and left its socket behind if it crashed.
    unlinkat(folder_fd, name.c_str(), 0);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool ask_open_menu_to_come_back(int folder_fd, const std::string& name)
{
    sockaddr_un address;
    if (!socket_address(folder_fd, name, address))
        return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    char answer = 0;
    pollfd wait = {fd, POLLIN, 0};
    // A menu still starting has the lock but perhaps no socket yet: it is
    // coming to the front anyway.
    const bool came_back = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
        && poll(&wait, 1, kAnswerWaitMs) == 1 && read(fd, &answer, 1) == 1 && answer == '1';
    close(fd);
    return came_back;
}

namespace {

// Once the menu is back, its answer; "back" is once it has the focus again,
// or after a moment when the compositor does not give it.
class Answer : public QObject {
public:
    Answer(int peer, QWidget* menu, bool came_back)
        : QObject(menu)
        , peer(peer)
        , came_back(came_back)
    {
        if (!came_back || menu->isActiveWindow()) {
            deleteLater();
            return;
        }
        menu->installEventFilter(this);
        QTimer::singleShot(kAnswerWaitMs / 2, this, &QObject::deleteLater);
    }

    ~Answer() override
    {
        const char answer = came_back ? '1' : '0';
        // Non-blocking: a peer that has gone costs nothing.
        (void)!send(peer, &answer, 1, MSG_NOSIGNAL);
        close(peer);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::WindowActivate)
            deleteLater();
        return false;
    }

private:
    int peer;
    bool came_back;
};

} // namespace

void answer_second_presses(int socket_fd, QWidget* menu, std::function<bool()> bring_back)
{
    if (socket_fd < 0)
        return;
    auto* knock = new QSocketNotifier(socket_fd, QSocketNotifier::Read, menu);
    QObject::connect(knock, &QSocketNotifier::activated, knock, [socket_fd, menu, bring_back] {
        const int peer = accept4(socket_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        // Only this user can reach the socket: the folder admits no one
        // else but root, whose starts refuse a folder that is not root's.
        if (peer >= 0)
            new Answer(peer, menu, bring_back());
    });
}
