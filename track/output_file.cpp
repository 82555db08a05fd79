#include "track/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>

namespace {
constexpr char kTemporaryMark[] = ".vantrail-";
constexpr size_t kRandomLength = 6;
constexpr size_t kNameKept = 200;  // of the target's name in its temporary's, under NAME_MAX

// ".NAME.vantrail-": what every temporary for name starts with.
std::string TemporaryPrefix(const std::string& name) {
    return "." + name.substr(0, kNameKept) + kTemporaryMark;
}

// A writer holds its temporary locked until it is in place or removed, and the lock goes
// with the writer, so an unlocked one was left by a writer that was killed.
void RemoveStaleTemporaries(const std::string& dir, const std::string& prefix) {
    DIR* folder = opendir(dir.c_str());
    if (folder == nullptr)
        return;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + kRandomLength || name.compare(0, prefix.size(), prefix))
            continue;
        const int fd =
            openat(dirfd(folder), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
            flock(fd, LOCK_EX | LOCK_NB) == 0) {
            unlinkat(dirfd(folder), entry->d_name, 0);
        }
        close(fd);
    }
    closedir(folder);
}

// Made with O_EXCL under a random name, so the umask applies as for any new file.
int CreateTemporary(const std::string& prefix, std::string* path) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::minstd_rand random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        *path = prefix;
        for (size_t i = 0; i < kRandomLength; ++i) path->push_back(kLetters[random() % 36]);
        const int fd = open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

int ErrorOr(int fallback) {
    return errno != 0 ? errno : fallback;
}

// Devices and pipes (a terminal, /dev/stdout) are written to as they are.
int WriteInPlace(const std::string& path, const std::function<bool(std::FILE*)>& write) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return errno;
    errno = 0;
    int error = write(out) ? 0 : ErrorOr(EIO);
    if (std::fclose(out) != 0 && error == 0)
        error = ErrorOr(EIO);
    return error;
}

// Gives temp the name path: over an existing file, or only where none is.
int PutInPlace(const std::string& temp, const std::string& path, OutputMode mode) {
    if (mode == OutputMode::Replace)
        return rename(temp.c_str(), path.c_str()) == 0 ? 0 : errno;
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without that rename: a link is made only where no name is.
    if (link(temp.c_str(), path.c_str()) != 0)
        return errno;
    unlink(temp.c_str());
    return 0;
}

void SyncFolder(const std::string& dir) {
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)fsync(fd);
        close(fd);
    }
}
}  // namespace

int WriteOutputFile(const std::string& path, const std::function<bool(std::FILE*)>& write,
                    OutputMode mode) {
    struct stat old {};
    const bool exists = stat(path.c_str(), &old) == 0;
    if (exists && mode == OutputMode::NewOnly)
        return EEXIST;
    if (exists && S_ISDIR(old.st_mode))
        return EISDIR;
    if (exists && !S_ISREG(old.st_mode))
        return WriteInPlace(path, write);
    std::string target = path;
    if (exists) {
        // A file the user protected stays as it is, as it would for a write in place.
        if (access(path.c_str(), W_OK) != 0)
            return errno;
        if (char* real = realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : target.substr(0, slash);
    const std::string prefix =
        dir + "/" + TemporaryPrefix(slash == std::string::npos ? target : target.substr(slash + 1));
    RemoveStaleTemporaries(dir, prefix.substr(dir.size() + 1));

    std::string temp;
    const int fd = CreateTemporary(prefix, &temp);
    if (fd < 0)
        return errno;
    std::FILE* out = fdopen(fd, "wb");
    if (out == nullptr) {
        const int error = errno;
        close(fd);
        unlink(temp.c_str());
        return error;
    }
    errno = 0;
    int error = flock(fd, LOCK_EX) == 0 && (!exists || fchmod(fd, old.st_mode & 07777) == 0)
                    ? 0
                    : ErrorOr(EIO);
    if (error == 0 && !write(out))
        error = ErrorOr(EIO);
    // On the disk before it takes the name, so a crash cannot leave it there empty.
    if (error == 0 && (std::fflush(out) != 0 || fsync(fd) != 0))
        error = ErrorOr(EIO);
    if (error == 0)
        error = PutInPlace(temp, target, mode);
    if (error != 0)
        unlink(temp.c_str());
    std::fclose(out);  // flushed and synced already; closing also drops the lock
    if (error == 0)
        SyncFolder(dir);
    return error;
}
