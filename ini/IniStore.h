// INI store: reads a sectioned key/value text file into memory, answers typed
// queries, accepts typed updates and writes the whole store back to a file.
//
// File text: "[section]" lines open sections, "name = value" lines are items,
// lines starting with ";" are comments. Names are compared without regard to
// ASCII letter case and without surrounding white space. Values longer than
// 80 characters are written as "<name> Line0001", "<name> Line0002", ... pieces
// and joined again on reading. Bytes 0x80..0xFF pass through unchanged.
//
// Results: 0 (or 1 for a Get that delivered) is success, negative values are
// the INI_ERR_* codes below. A store is used by one thread at a time.
#pragma once

// Result codes.
// clang-format off
enum : int {
    INI_OK                          = 0,
    INI_FOUND                       = 1,      // Get: item found and delivered
    INI_NOT_FOUND                   = 0,      // Get: section or item missing (or blank value)
    INI_ERR_OUT_OF_MEMORY           = -12,
    INI_ERR_NULL_STORE              = -65,    // null store (also null result pointer)
    INI_ERR_TOO_MANY_OPEN_FILES     = -91,
    INI_ERR_IO                      = -93,    // other input/output error
    INI_ERR_NOT_FOUND               = -94,    // file or directory not found while replacing the target
    INI_ERR_ACCESS_DENIED           = -95,    // target cannot be written
    INI_ERR_DISK_FULL               = -97,
    INI_ERR_INVALID_PATH            = -100,   // invalid path while replacing the target
    INI_ERR_OPEN_FOR_READING        = -5001,  // "Could Not Open File For Reading"
    INI_ERR_READING                 = -5002,  // "Error Reading From File"
    INI_ERR_NO_TEMP_NAME            = -5003,  // "Could Not Find Unused Temporary File Name"
    INI_ERR_CREATE_TEMP             = -5004,  // "Could Not Create Temporary File"
    INI_ERR_INVALID_INTEGER         = -5021,  // "Invalid Integer Number"
    INI_ERR_INVALID_DOUBLE          = -5023,  // "Invalid Floating Point Number"
};
// clang-format on

// Longest line the reader keeps; a longer line is cut and the rest discarded.
constexpr int INI_MAX_LINE = 255;
// Bytes the line reader takes from its read function at a time.
constexpr int INI_READ_CHUNK = 2048;
// Values longer than this are written in pieces of this length.
constexpr int INI_MAX_VALUE_PIECE = 80;

struct IniStore;    // the store: sections, tokens, sorting flag, last-lookup cache
struct IniSection;  // a named, ordered list of items
struct IniItem;     // name, value text, quoted flag
struct LineFile;    // line reader over a read function

// Read function of a line reader: fills buffer with up to maximumBytes bytes and
// sets *bytesRead (0 at the end of the data). Returns 0, or INI_ERR_READING.
typedef int (*LineFile_ReadFunction)(void *data, int maximumBytes, int *bytesRead, char *buffer);

// Line source of Ini_ReadGeneric: stores the next line (at most maximumCharacters
// characters plus a terminating zero) in buffer, or sets *endOfFile to 1 when no
// line is left. Returns 0 or a negative code, which ends the reading.
typedef int (*Ini_LineSource)(void *data, char *buffer, int maximumCharacters, int *endOfFile);

// Line sink of Ini_WriteGeneric: takes one line of file text without its line end.
// Returns 0 or a negative code, which ends the writing.
typedef int (*Ini_LineSink)(void *data, const char *line);

// New empty store; nonzero automaticSorting keeps sections and items in name order.
// Returns the store, or null when memory runs out.
IniStore *Ini_New(int automaticSorting);

// Frees the store with everything it owns; null is ignored.
void Ini_Dispose(IniStore *store);

// Appends the sections of the file to the store. Only a regular file is read: anything else (a
// folder, a FIFO, a device) cannot be opened for reading.
// Returns 0, INI_ERR_OPEN_FOR_READING, INI_ERR_READING, INI_ERR_OUT_OF_MEMORY or INI_ERR_NULL_STORE.
int Ini_ReadFromFile(IniStore *store, const char *path);

// Replaces the file by the store's text, atomically (null path: standard output): the text goes
// into a temporary file "ini$$<n>.TMP" beside the target, which is then renamed over it. Through a
// symbolic link the file it points to is replaced and the link stays; a dangling link, a folder or
// a FIFO is refused (INI_ERR_ACCESS_DENIED) and nothing is created. Temporary files of that pattern
// older than a minute, left by a writer that was killed, are removed first.
// Returns 0, INI_ERR_NULL_STORE, INI_ERR_OUT_OF_MEMORY, INI_ERR_TOO_MANY_OPEN_FILES, INI_ERR_IO,
// INI_ERR_NOT_FOUND, INI_ERR_ACCESS_DENIED, INI_ERR_DISK_FULL, INI_ERR_INVALID_PATH,
// INI_ERR_NO_TEMP_NAME or INI_ERR_CREATE_TEMP.
int Ini_WriteToFile(IniStore *store, const char *path);

// The three Puts replace every item of that name in the section. In a sorting store the new item
// is put in its place by the next lookup or write of the section, so filling a store costs n log n
// in any order; the result is the same as putting each in its place at once.

// Stores value as decimal text, not quoted.
// Returns 0, INI_ERR_OUT_OF_MEMORY or INI_ERR_NULL_STORE.
int Ini_PutInt(IniStore *store, const char *section, const char *item, int value);

// Stores value as "%.16g" text (always with a '.' decimal point), not quoted.
// Returns 0, INI_ERR_OUT_OF_MEMORY or INI_ERR_NULL_STORE.
int Ini_PutDouble(IniStore *store, const char *section, const char *item, double value);

// Stores the text unchanged (null as empty text), quoted.
// Returns 0, INI_ERR_OUT_OF_MEMORY or INI_ERR_NULL_STORE.
int Ini_PutRawString(IniStore *store, const char *section, const char *item, const char *value);

// Decimal integer item into *value (unchanged unless 1 is returned).
// Returns 1, 0 (missing or blank), INI_ERR_INVALID_INTEGER or INI_ERR_NULL_STORE.
int Ini_GetInt(IniStore *store, const char *section, const char *item, int *value);

// Number item into *value ("Inf", "+Inf", "-Inf" in any case, else C-locale strtod).
// Returns 1, 0 (missing or blank), INI_ERR_INVALID_DOUBLE (*value still holds the
// converted number), INI_ERR_OUT_OF_MEMORY (no C locale for the conversion) or INI_ERR_NULL_STORE.
int Ini_GetDouble(IniStore *store, const char *section, const char *item, double *value);

// Copies the item's text into buffer (always zero-terminated, cut to bufferSize - 1
// characters, empty when the item is missing).
// Returns 1, 0 (missing) or INI_ERR_NULL_STORE (also for a null buffer or bufferSize < 1).
int Ini_GetRawStringIntoBuffer(IniStore *store, const char *section, const char *item, char *buffer, int bufferSize);

// Line reader with a 2048-byte chunk buffer over readFunction(data, ...).
// Returns the reader, or null when memory runs out or readFunction is null.
LineFile *LineFile_New(LineFile_ReadFunction readFunction, void *data);

// Next line holding more than white space, into buffer (maximumCharacters + 1 bytes),
// its length into *charactersRead; sets *endOfFile instead when no such line is left.
// Returns 0, the read function's negative result, or INI_ERR_READING (other read
// function failure or a null argument).
int LineFile_ReadNonEmpty(LineFile *reader, char *buffer, int maximumCharacters, int *charactersRead, int *endOfFile);

// Frees the reader (not its data); null is ignored.
void LineFile_Dispose(LineFile *reader);

// Parses the lines lineSource(data, buffer, 255, &endOfFile) delivers, appending to the store.
// Returns 0, the first negative result of the line source, INI_ERR_OUT_OF_MEMORY or
// INI_ERR_NULL_STORE (also for a null line source).
int Ini_ReadGeneric(IniStore *store, Ini_LineSource lineSource, void *data);

// Hands the lines of the store's file text, in order, to lineSink(data, line).
// Returns 0, the first negative result of the sink, INI_ERR_OUT_OF_MEMORY or
// INI_ERR_NULL_STORE (also for a null sink).
int Ini_WriteGeneric(IniStore *store, Ini_LineSink lineSink, void *data);
