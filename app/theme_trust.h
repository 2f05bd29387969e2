#pragma once

#include <string>
#include <sys/types.h>

// The menu refuses a theme that someone other than root and the user running
// it can change. Under acpid it runs as root, so the scripts are what root
// runs, and conf.ini and the pictures decide which item looks like Cancel.
// Each check says why the thing is not safe, in words for a message, or
// gives "" when it is.

// The menu's exit status when it refuses a theme (or a lock folder that is not
// safe), and what a refused theme asks for.
constexpr int kUntrustedTheme = 77;
constexpr const char* kOnlyRootAndYou = "a theme's folder and files must be changeable by root and by you alone";

// The theme folder, the working directory: no one else may add, swap or
// remove its files.
std::string untrusted_theme_folder();

// A file in the theme folder; followed through symbolic links, every folder
// on the way to the real file counts too. A missing file is safe: only root
// and the user can put one there.
std::string untrusted_theme_file(const char* name);

// The folder, then each of its six files, up to the first that is not safe.
std::string untrusted_theme();

// A file's permission bits as ls -l's octal shows them, for messages: "0777".
std::string mode_text(mode_t mode);
