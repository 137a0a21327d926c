#pragma once
// Binary file access by small integer handles, for the parameter-set files.
//
// A handle is 0 or more; -1 means the operation failed. Counts are bytes transferred.

enum FileMode { VAL_READ_ONLY, VAL_WRITE_ONLY, VAL_READ_WRITE };
enum FileAction { VAL_TRUNCATE, VAL_APPEND, VAL_OPEN_AS_IS };
enum FileType { VAL_BINARY, VAL_ASCII };

// Opens a regular file. Write modes create a missing file. A FIFO or device never blocks the open:
// anything but a regular file is refused. The handle, or -1.
int OpenFile(const char *path, int mode, int action, int fileType);

// Reads up to count bytes, retrying short reads until end of file. The count read (less than
// count at end of file), or -1 on a read error or a bad handle.
int ReadFile(int handle, char *buffer, int count);

// Writes count bytes. The count written (less than count when the disk is full), or -1 on an
// error or a bad handle.
int WriteFile(int handle, const char *buffer, int count);

// Closes the handle; a file that was written is flushed to the disk first. 0, or -1 when the
// flush or the close failed or the handle is bad.
int CloseFile(int handle);

// Test hook: the countdown-th WriteFile from now on (1 = the next) writes nothing and fails with
// errno `error`. 0 switches the hook off.
void FileIO_FailWriteAfter(int countdown, int error);

// ---- replacing a file in one step -----------------------------------------------------------------
// Write the new content into a temporary file beside the target, close it, then RenameFile it over
// the target: the target is either the earlier file or the complete new one, never a part.

// The file a save to `path` replaces: `path` itself, or for a symbolic link the file it finally
// points to, so that the link stays and its target gets the new content. Into finalPath
// (finalPathSize bytes). 0, or -1 for a dangling link, a loop of links or a path too long.
int ResolveLinks(const char *path, char *finalPath, int finalPathSize);

// Creates a new, empty file in the folder of `path` under a name no other file has (a hidden
// ".tlx1-....tmp") and opens it write-only; its permission bits are those of the existing `path`,
// else the usual ones of a new file. The handle, or -1 when the folder is missing or not writable,
// or when `path` exists but a plain OpenFile for writing would fail on it (a folder, write-protected).
// The temporary file's path goes into tempPath (tempPathSize bytes).
int OpenTempFileBeside(const char *path, char *tempPath, int tempPathSize);

// Puts the file `from` in the place of `to` in one step and flushes the folder entry to the disk.
// 0, or -1 when the rename failed (the folder entry's flush is best effort).
int RenameFile(const char *from, const char *to);

// Removes a file. 0, or -1.
int DeleteFile(const char *path);
