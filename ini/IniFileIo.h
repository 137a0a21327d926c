// File layer under the INI store's writer (POSIX). Internal to tlx1_ini.
// Each function returns 0 (or a descriptor) on success and -1 with errno set.
#pragma once

#include <cstddef>
#include <string>

// Opens an existing regular file for reading. A FIFO or device never blocks the open: anything
// but a regular file fails with EINVAL (EISDIR for a folder).
int IniFileIo_OpenRegular(const char *path);

// The path a write replaces: `path` itself, or for a symbolic link the file it finally points to,
// so that the link stays and its target gets the new text. Fails with ENOENT for a dangling link,
// ELOOP for a loop of links.
int IniFileIo_FinalPath(const char *path, std::string *finalPath);

// Creates a new file for writing, with the permission bits `mode`, or those of any new file (0666
// less the umask) for -1; fails with EEXIST when the name is taken.
int IniFileIo_CreateNew(const char *path, int mode);

// Writes all n bytes, resuming after short writes and EINTR.
int IniFileIo_Write(int fd, const void *bytes, std::size_t n);

// Flushes the file's data and metadata to the device.
int IniFileIo_Sync(int fd);

// Closes the descriptor; a reported error still releases it.
int IniFileIo_Close(int fd);

// Atomically replaces `to` by `from`.
int IniFileIo_Rename(const char *from, const char *to);

// Makes a rename in the directory durable; a directory that cannot be opened,
// or a file system that cannot sync directories, is not an error.
int IniFileIo_SyncDirectory(const char *directory);

// ---- test only -------------------------------------------------------------
// Failure injection for the tests of the writer's failure paths.
enum IniFileIoOp { INIFILEIO_WRITE, INIFILEIO_SYNC, INIFILEIO_RENAME, INIFILEIO_OP_COUNT };

// The countdown-th next call of op (1 = the next one; directory syncs count as
// syncs) fails with errorNumber; countdown 0 disarms. Not for production code.
void IniFileIo_TestFailAfter(IniFileIoOp op, int countdown, int errorNumber);
