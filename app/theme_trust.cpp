#include "app/theme_trust.h"

#include "app/missing_files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string user_text(uid_t uid)
{
    const passwd* user = getpwuid(uid);
    const std::string number = "uid " + std::to_string(uid);
    return user ? "user " + std::string(user->pw_name) + " (" + number + ")" : number;
}

// A group can be trusted with write access when only the owner can be in it:
// the private group that Debian gives each user, whose default umask of 002
// leaves the user's own files group-writable.
bool owners_private_group(gid_t gid, uid_t owner)
{
    const passwd* user = getpwuid(owner);
    if (!user || user->pw_gid != gid)
        return false;
    const std::string name = user->pw_name;
    const group* members = getgrgid(gid);
    if (!members)
        return false;
    for (char** member = members->gr_mem; *member; ++member)
        if (name != *member)
            return false;
    bool alone = true;
    setpwent();
    while (const passwd* other = getpwent())
        alone = alone && (other->pw_gid != gid || other->pw_uid == owner);
    endpwent();
    return alone;
}

// Who besides root and this user can change the thing `info` describes, or "".
// The menu reads nothing from a device or a FIFO, so only its name counts.
std::string others_who_can_change(const struct stat& info)
{
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        return {};
    if (info.st_uid != 0 && info.st_uid != geteuid())
        return "is owned by " + user_text(info.st_uid) + ", not by root or by you";
    if (info.st_mode & S_IWOTH)
        return "is writable by everyone (mode " + mode_text(info.st_mode) + ")";
    if ((info.st_mode & S_IWGRP) && !owners_private_group(info.st_gid, info.st_uid)) {
        const group* writers = getgrgid(info.st_gid);
        return "is writable by the group " + (writers ? std::string(writers->gr_name) : std::to_string(info.st_gid))
            + ", which other users can be in (mode " + mode_text(info.st_mode) + ")";
    }
    return {};
}

std::string here(const char* name)
{
    return working_directory() + "/" + name;
}

// The folders above a link's target decide what the link leads to. One that
// others can write to is still safe when it is sticky and root's or the
// user's, as /tmp is: only an entry's owner can then rename or remove it. A
// missing one is as safe as the folder that would hold it.
std::string untrusted_way_to(const std::string& target, const char* link)
{
    const std::string via = ", on the way to what " + std::string(link) + " leads to, ";
    for (std::string folder = target; folder.size() > 1;) {
        folder = folder.substr(0, std::max<std::size_t>(folder.rfind('/'), 1));
        struct stat info;
        if (stat(folder.c_str(), &info) != 0) {
            if (errno == ENOENT)
                continue;
            return folder + via + "cannot be looked at: " + std::strerror(errno);
        }
        const bool sticky_and_trusted = (info.st_mode & S_ISVTX) && (info.st_uid == 0 || info.st_uid == geteuid());
        const std::string why = others_who_can_change(info);
        if (!why.empty() && !sticky_and_trusted)
            return folder + via + why;
    }
    return {};
}

} // namespace

std::string untrusted_theme_folder()
{
    struct stat info;
    if (stat(".", &info) != 0)
        return std::string("the theme folder cannot be looked at: ") + std::strerror(errno);
    const std::string why = others_who_can_change(info);
    return why.empty() ? why : working_directory() + " (the theme folder) " + why;
}

std::string untrusted_theme_file(const char* name)
{
    struct stat link;
    if (lstat(name, &link) != 0)
        return errno == ENOENT ? std::string() : here(name) + " cannot be looked at: " + std::strerror(errno);
    if (!S_ISLNK(link.st_mode)) {
        const std::string why = others_who_can_change(link);
        return why.empty() ? why : here(name) + " " + why;
    }
    char target[PATH_MAX];
    if (!realpath(name, target)) {
        if (errno != ENOENT)
            return here(name) + " leads nowhere that can be looked at: " + std::strerror(errno);
        // A link to nothing is safe while no one else can make what it names.
        const ssize_t length = readlink(name, target, sizeof target - 1);
        if (length <= 0)
            return here(name) + " cannot be read as a link: " + std::strerror(errno);
        const std::string named(target, static_cast<std::size_t>(length));
        return untrusted_way_to(named[0] == '/' ? named : here(named.c_str()), name);
    }
    struct stat info;
    if (stat(target, &info) != 0)
        return std::string(target) + ", which " + name + " leads to, cannot be looked at: " + std::strerror(errno);
    const std::string why = others_who_can_change(info);
    return why.empty() ? untrusted_way_to(target, name) : std::string(target) + ", which " + name + " leads to, " + why;
}

std::string untrusted_theme()
{
    std::string why = untrusted_theme_folder();
    for (const char* name : kThemeFiles)
        if (why.empty())
            why = untrusted_theme_file(name);
    return why;
}

std::string mode_text(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}
