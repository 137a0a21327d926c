// POSIX file operations for the INI store's writer, with the test-only
// failure countdown in front of write, sync and rename.
#include "ini/IniFileIo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct Injection {
    int countdown;
    int errorNumber;
};
Injection gInjection[INIFILEIO_OP_COUNT] = {};
}  // namespace

// True when the armed countdown of op runs out on this call; sets errno then.
static bool InjectedFailure(IniFileIoOp op)
{
    Injection &inj = gInjection[op];
    if (inj.countdown <= 0 || --inj.countdown > 0)
        return false;
    errno = inj.errorNumber;
    return true;
}

void IniFileIo_TestFailAfter(IniFileIoOp op, int countdown, int errorNumber)
{
    if (op < 0 || op >= INIFILEIO_OP_COUNT)
        return;
    gInjection[op] = {countdown > 0 ? countdown : 0, errorNumber};
}

int IniFileIo_OpenRegular(const char *path)
{
    int fd;
    do {
        fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (fstat(fd, &info) == 0 && !S_ISREG(info.st_mode))
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    else if (const int flags = fcntl(fd, F_GETFL); flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
        return fd;
    const int savedErrno = errno;
    close(fd);
    errno = savedErrno;
    return -1;
}

int IniFileIo_FinalPath(const char *path, std::string *finalPath)
{
    struct stat info;
    if (lstat(path, &info) != 0 || !S_ISLNK(info.st_mode)) {
        finalPath->assign(path);  // a missing name is created where it is asked for
        return 0;
    }
    char *resolved = realpath(path, nullptr);
    if (!resolved)
        return -1;
    finalPath->assign(resolved);
    std::free(resolved);
    return 0;
}

int IniFileIo_CreateNew(const char *path, int mode)
{
    int fd;
    do {
        fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    // The bits of the file it replaces; a failure leaves those of a new file.
    if (fd >= 0 && mode >= 0)
        fchmod(fd, static_cast<mode_t>(mode));
    return fd;
}

int IniFileIo_Write(int fd, const void *bytes, std::size_t n)
{
    const char *p = static_cast<const char *>(bytes);
    while (n > 0) {
        if (InjectedFailure(INIFILEIO_WRITE))
            return -1;
        ssize_t done = write(fd, p, n);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (done == 0) {  // no progress and no error: treat as a full device
            errno = ENOSPC;
            return -1;
        }
        p += done;
        n -= static_cast<std::size_t>(done);
    }
    return 0;
}

int IniFileIo_Sync(int fd)
{
    if (InjectedFailure(INIFILEIO_SYNC))
        return -1;
    return fsync(fd);
}

int IniFileIo_Close(int fd)
{
    // Linux releases the descriptor even when close reports EINTR; never retry.
    return close(fd);
}

int IniFileIo_Rename(const char *from, const char *to)
{
    if (InjectedFailure(INIFILEIO_RENAME))
        return -1;
    return std::rename(from, to);
}

int IniFileIo_SyncDirectory(const char *directory)
{
    if (InjectedFailure(INIFILEIO_SYNC))
        return -1;
    int fd;
    do {
        fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return 0;
    int result = fsync(fd);
    int savedErrno = errno;
    close(fd);
    if (result != 0 && (savedErrno == EINVAL || savedErrno == EROFS))
        return 0;
    errno = savedErrno;
    return result;
}
