#include "app/private_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/format.h"

bool IsPrivateFolder(const std::string& path, std::string* why) {
    struct stat info {};
    // lstat: a link is refused rather than followed to wherever it points.
    if (lstat(path.c_str(), &info) != 0) {
        *why = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        *why = path + (S_ISLNK(info.st_mode) ? ": a link, not a folder" : ": not a folder");
        return false;
    }
    if (info.st_uid != geteuid()) {
        *why = FormatText("%s: owned by user %u, not by you", path.c_str(), info.st_uid);
        return false;
    }
    if ((info.st_mode & 0777) != 0700) {
        *why = FormatText("%s: mode %03o, not 700", path.c_str(), info.st_mode & 0777);
        return false;
    }
    return true;
}

bool MakePrivateFolder(const std::string& path, std::string* why) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        *why = path + ": " + std::strerror(errno);
        return false;
    }
    return IsPrivateFolder(path, why);
}
