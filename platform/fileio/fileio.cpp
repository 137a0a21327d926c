#include "platform/fileio/fileio.h"

#include <cerrno>
#include <fcntl.h>
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

OpenEntry *entry(int handle) {
    if (handle < 0 || handle >= kMaxHandles || g_open[handle].fd < 0) return nullptr;
    return &g_open[handle];
}

}  // namespace

int OpenFile(const char *path, int mode, int action, int /*fileType*/) {
    if (path == nullptr || path[0] == '\0') return -1;
    int flags = O_CLOEXEC;
    switch (mode) {
        case VAL_READ_ONLY: flags |= O_RDONLY; break;
        case VAL_WRITE_ONLY: flags |= O_WRONLY | O_CREAT; break;
        case VAL_READ_WRITE: flags |= O_RDWR | O_CREAT; break;
        default: return -1;
    }
    if (mode != VAL_READ_ONLY) {
        if (action == VAL_TRUNCATE) flags |= O_TRUNC;
        if (action == VAL_APPEND) flags |= O_APPEND;
    }
    int slot = 0;
    while (slot < kMaxHandles && g_open[slot].fd >= 0) ++slot;
    if (slot == kMaxHandles) return -1;
    int fd;
    do {
        fd = ::open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    g_open[slot] = OpenEntry{fd, false};
    return slot;
}

int ReadFile(int handle, char *buffer, int count) {
    OpenEntry *e = entry(handle);
    if (e == nullptr || buffer == nullptr || count < 0) return -1;
    int total = 0;
    while (total < count) {
        ssize_t n = ::read(e->fd, buffer + total, static_cast<size_t>(count - total));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        total += static_cast<int>(n);
    }
    return total;
}

int WriteFile(int handle, const char *buffer, int count) {
    OpenEntry *e = entry(handle);
    if (e == nullptr || buffer == nullptr || count < 0) return -1;
    if (g_failCountdown > 0 && --g_failCountdown == 0) {
        errno = g_failErrno;
        return -1;
    }
    e->written = true;
    int total = 0;
    while (total < count) {
        ssize_t n = ::write(e->fd, buffer + total, static_cast<size_t>(count - total));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return total > 0 ? total : -1;
        total += static_cast<int>(n);
    }
    return total;
}

int CloseFile(int handle) {
    OpenEntry *e = entry(handle);
    if (e == nullptr) return -1;
    int result = 0;
    if (e->written && ::fsync(e->fd) != 0) result = -1;
    if (::close(e->fd) != 0 && errno != EINTR) result = -1;
    *e = OpenEntry{};
    return result;
}

void FileIO_FailWriteAfter(int countdown, int error) {
    g_failCountdown = countdown > 0 ? countdown : 0;
    g_failErrno = error;
}
