#pragma once

#include <functional>
#include <string>

class QWidget;

// A second press of the power key while the menu is open must bring the menu
// back where the user can see it (a workspace switch may have hidden it),
// not open a second one. The menu that holds the lock listens on a socket
// beside the lock file, in the user's private runtime folder, so that only
// the same user can reach it (root's own starts use a folder of root's).

// The listening socket, made by the lock's holder before anything is shown
// (a press during the start waits in the backlog); -1 when it cannot be made,
// which only costs the second press its effect.
int open_second_press_socket(int folder_fd, const std::string& name);

// Said by a start that found the lock taken: true once the open menu answers
// that it came to the front; false when there was none to ask, or it could
// not (a framebuffer, where nothing can hide it; a running script).
bool ask_open_menu_to_come_back(int folder_fd, const std::string& name);

// Answers each knock on the socket, on the event loop, with bring_back's
// word on whether the menu came back, once it has the focus again (or
// after a second), for as long as menu lives.
void answer_second_presses(int socket_fd, QWidget* menu, std::function<bool()> bring_back);
