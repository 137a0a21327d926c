#include "platform/fileio/fileio.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// Handles are plain descriptors, remembered with their mode so that CloseFile knows whether to sync.
namespace {

constexpr int kMaxHandles = 64;

struct OpenEntry {
    int fd = -1;
    bool written = false;
};

OpenEntry g_open[kMaxHandles];
int g_failCountdown = 0;
int g_failErrno = 0;

int freeSlot()
{
    int slot = 0;
    while (slot < kMaxHandles && g_open[slot].fd >= 0)
        ++slot;
    return slot < kMaxHandles ? slot : -1;
}

int openRetrying(const char *path, int flags, mode_t mode)
{
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The folder part of a path with its final '/', or "" for a bare file name (the current folder).
std::string folderOf(const char *path)
{
    const char *slash = std::strrchr(path, '/');
    return slash == nullptr ? std::string() : std::string(path, static_cast<std::size_t>(slash - path + 1));
}

OpenEntry *entry(int handle)
{
    if (handle < 0 || handle >= kMaxHandles || g_open[handle].fd < 0)
        return nullptr;
    return &g_open[handle];
}

}  // namespace

int OpenFile(const char *path, int mode, int action, int /*fileType*/)
{
    if (path == nullptr || path[0] == '\0')
        return -1;
    int flags = O_CLOEXEC;
    switch (mode) {
    case VAL_READ_ONLY: flags |= O_RDONLY; break;
    case VAL_WRITE_ONLY: flags |= O_WRONLY | O_CREAT; break;
    case VAL_READ_WRITE: flags |= O_RDWR | O_CREAT; break;
    default: return -1;
    }
    if (mode != VAL_READ_ONLY) {
        if (action == VAL_TRUNCATE)
            flags |= O_TRUNC;
        if (action == VAL_APPEND)
            flags |= O_APPEND;
    }
    const int slot = freeSlot();
    if (slot < 0)
        return -1;
    // O_NONBLOCK so that a FIFO without a writer cannot hang the open; cleared for the reads.
    const int fd = openRetrying(path, flags | O_NONBLOCK, 0666);
    if (fd < 0)
        return -1;
    struct stat info {};
    const int fl = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? ::fcntl(fd, F_GETFL) : -1;
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    g_open[slot] = OpenEntry{fd, false};
    return slot;
}

int ReadFile(int handle, char *buffer, int count)
{
    OpenEntry *e = entry(handle);
    if (e == nullptr || buffer == nullptr || count < 0)
        return -1;
    int total = 0;
    while (total < count) {
        ssize_t n = ::read(e->fd, buffer + total, static_cast<size_t>(count - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        total += static_cast<int>(n);
    }
    return total;
}

int WriteFile(int handle, const char *buffer, int count)
{
    OpenEntry *e = entry(handle);
    if (e == nullptr || buffer == nullptr || count < 0)
        return -1;
    if (g_failCountdown > 0 && --g_failCountdown == 0) {
        errno = g_failErrno;
        return -1;
    }
    e->written = true;
    int total = 0;
    while (total < count) {
        ssize_t n = ::write(e->fd, buffer + total, static_cast<size_t>(count - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return total > 0 ? total : -1;
        total += static_cast<int>(n);
    }
    return total;
}

int CloseFile(int handle)
{
    OpenEntry *e = entry(handle);
    if (e == nullptr)
        return -1;
    int result = 0;
    if (e->written && ::fsync(e->fd) != 0)
        result = -1;
    if (::close(e->fd) != 0 && errno != EINTR)
        result = -1;
    *e = OpenEntry{};
    return result;
}

void FileIO_FailWriteAfter(int countdown, int error)
{
    g_failCountdown = countdown > 0 ? countdown : 0;
    g_failErrno = error;
}

int ResolveLinks(const char *path, char *finalPath, int finalPathSize)
{
    if (path == nullptr || path[0] == '\0' || finalPath == nullptr || finalPathSize <= 0)
        return -1;
    struct stat info {};
    std::string result = path;  // not a link (or not there yet): the name itself
    if (::lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
        char *resolved = ::realpath(path, nullptr);
        if (resolved == nullptr)
            return -1;
        result = resolved;
        std::free(resolved);
    }
    if (result.size() + 1 > static_cast<std::size_t>(finalPathSize))
        return -1;
    std::memcpy(finalPath, result.c_str(), result.size() + 1);
    return 0;
}

int OpenTempFileBeside(const char *path, char *tempPath, int tempPathSize)
{
    if (path == nullptr || path[0] == '\0' || tempPath == nullptr || tempPathSize <= 0)
        return -1;
    // Refuse what a plain open for writing would refuse, so that the rename cannot replace a folder
    // or a file the operator protected against writing.
    struct stat target {};
    const bool exists = ::stat(path, &target) == 0;
    if (exists && (!S_ISREG(target.st_mode) || ::access(path, W_OK) != 0))
        return -1;
    const int slot = freeSlot();
    if (slot < 0)
        return -1;

    static unsigned serial = 0;
    const std::string folder = folderOf(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, ".tlx1-%ld-%u.tmp", static_cast<long>(::getpid()), ++serial);
        const std::string temp = folder + name;
        if (temp.size() + 1 > static_cast<std::size_t>(tempPathSize))
            return -1;
        const int fd = openRetrying(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;  // a leftover of an earlier run, or another writer
            return -1;
        }
        if (exists)
            ::fchmod(fd, target.st_mode & 07777);  // failing leaves the default bits
        std::memcpy(tempPath, temp.c_str(), temp.size() + 1);
        g_open[slot] = OpenEntry{fd, false};
        return slot;
    }
    return -1;
}

int RenameFile(const char *from, const char *to)
{
    if (from == nullptr || to == nullptr)
        return -1;
    if (::rename(from, to) != 0)
        return -1;
    // The new folder entry reaches the disk too, so that after a power loss the name holds the new
    // content and not an empty file.
    const std::string folder = folderOf(to);
    const int fd = openRetrying(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return 0;
}

int DeleteFile(const char *path)
{
    if (path == nullptr)
        return -1;
    return ::unlink(path) == 0 ? 0 : -1;
}
