// File layer under the INI store's writer (POSIX). Internal to tlx1_ini.
// Each function returns 0 (or a descriptor) on success and -1 with errno set.
#pragma once

#include <cstddef>

// Creates a new file for writing; fails with EEXIST when the name is taken.
int IniFileIo_CreateNew(const char *path);

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
