// INI store: in-memory sections and items, the line reader, the parser, the
// writer and the atomic replacement of the target file.
#include "ini/IniStore.h"

#include "ini/IniFileIo.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

struct IniItem {
    std::string name;
    std::string value;
    bool quoted;
};

struct IniSection {
    std::string name;
    std::vector<IniItem> items;
    bool sorted;
    // Sorted sections take Puts at the end, unsorted; items[0, ordered) is in name order, and
    // SettlePuts merges the rest in before anyone looks at the items.
    std::size_t ordered = 0;
};

struct IniStore {
    std::vector<std::unique_ptr<IniSection>> sections;
    bool automaticSorting = false;
    char sectionStart = '[';
    char sectionEnd = ']';
    char separator[8] = "=";
    char outputSeparator[10] = " = ";
    char commentMarker[8] = ";";
    bool checkDuplicates = true;  // Put replaces items of the same name
    IniSection *lastLookup = nullptr;
};

struct LineFile {
    LineFile_ReadFunction read;
    void *data;
    int length;    // bytes in chunk
    int position;  // next byte of chunk to deliver
    bool atEnd;    // the read function reported the end of the data
    int lastEnd;   // line-end byte that ended the previous line, -1 if none
    char chunk[INI_READ_CHUNK];
};

namespace {
constexpr std::string_view kPieceMark = " Line";
constexpr std::string_view kLineEnd = "\r\n";
constexpr int kWriteBufferSize = 16384;
constexpr int kTempNumbers = 1000;
constexpr std::size_t kSettleAfter = 1024;  // Puts a sorted section collects before it settles them
constexpr time_t kStaleSeconds = 60;        // a temporary file this old was left by a killed writer
}  // namespace

// ---- names and text ---------------------------------------------------------

// White space of the C locale; other bytes (Windows-1252 included) are text.
static bool IsBlank(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static std::string_view TrimLeft(std::string_view s)
{
    while (!s.empty() && IsBlank(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    return s;
}

static std::string_view TrimRight(std::string_view s)
{
    while (!s.empty() && IsBlank(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

static std::string_view Trim(std::string_view s)
{
    return TrimRight(TrimLeft(s));
}

static std::string_view TrimmedName(const char *name)
{
    return Trim(name ? name : "");
}

static bool IsBlankText(std::string_view s)
{
    return TrimLeft(s).empty();
}

// ASCII letters fold to lower case; every other byte compares by its unsigned value,
// so the order does not depend on the locale and a prefix sorts first.
static unsigned char FoldCase(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

static int CompareNames(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = FoldCase(static_cast<unsigned char>(a[i]));
        const unsigned char cb = FoldCase(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

static bool SectionLess(const std::unique_ptr<IniSection> &a, const std::unique_ptr<IniSection> &b)
{
    return CompareNames(a->name, b->name) < 0;
}

static bool ItemLess(const IniItem &a, const IniItem &b)
{
    return CompareNames(a.name, b.name) < 0;
}

// ---- lookup -------------------------------------------------------------------

static IniSection *FindSection(IniStore *store, std::string_view name)
{
    if (store->lastLookup && CompareNames(store->lastLookup->name, name) == 0)
        return store->lastLookup;
    IniSection *found = nullptr;
    auto &list = store->sections;
    if (store->automaticSorting) {
        auto it = std::lower_bound(
            list.begin(), list.end(), name,
            [](const std::unique_ptr<IniSection> &s, std::string_view n) { return CompareNames(s->name, n) < 0; });
        if (it != list.end() && CompareNames((*it)->name, name) == 0)
            found = it->get();
    } else {
        for (auto &s : list)
            if (CompareNames(s->name, name) == 0) {
                found = s.get();
                break;
            }
    }
    if (found)
        store->lastLookup = found;
    return found;
}

// Brings the Puts appended to a sorted section into name order with the result each would have had
// on its own: the last Put of a name wins, and it replaces every item of that name (any spelling).
// Works in place; without memory for a buffer the standard algorithms fall back to slower ones
// rather than fail, so this never fails.
static void SettlePuts(IniSection *section)
{
    auto &items = section->items;
    if (!section->sorted || section->ordered == items.size())
        return;
    const auto added = items.begin() + static_cast<std::ptrdiff_t>(section->ordered);
    std::stable_sort(added, items.end(), ItemLess);
    // Of each run of equal names in the new part keep the last one put.
    auto keep = added;
    for (auto it = added; it != items.end(); ++it) {
        if (std::next(it) != items.end() && CompareNames(it->name, std::next(it)->name) == 0)
            continue;
        if (keep != it)
            *keep = std::move(*it);
        ++keep;
    }
    // Drop the older items whose names were put again, then close the gap.
    auto out = items.begin();
    auto fresh = added;
    for (auto it = items.begin(); it != added; ++it) {
        while (fresh != keep && CompareNames(fresh->name, it->name) < 0)
            ++fresh;
        if (fresh != keep && CompareNames(fresh->name, it->name) == 0)
            continue;
        if (out != it)
            *out = std::move(*it);
        ++out;
    }
    const auto oldEnd = out;
    out = out == added ? keep : std::move(added, keep, out);
    items.erase(out, items.end());
    std::inplace_merge(items.begin(), oldEnd, items.end(), ItemLess);
    section->ordered = items.size();
}

// Index of the first item of that name (lower bound when sorted), or items.size().
static std::size_t FindItemIndex(IniSection *section, std::string_view name)
{
    SettlePuts(section);
    const auto &items = section->items;
    if (section->sorted) {
        auto it = std::lower_bound(items.begin(), items.end(), name,
                                   [](const IniItem &i, std::string_view n) { return CompareNames(i.name, n) < 0; });
        if (it != items.end() && CompareNames(it->name, name) == 0)
            return static_cast<std::size_t>(it - items.begin());
        return items.size();
    }
    for (std::size_t i = 0; i < items.size(); ++i)
        if (CompareNames(items[i].name, name) == 0)
            return i;
    return items.size();
}

static const IniItem *FindItem(IniStore *store, const char *section, const char *item)
{
    IniSection *s = FindSection(store, TrimmedName(section));
    if (!s)
        return nullptr;
    std::size_t i = FindItemIndex(s, TrimmedName(item));
    return i < s->items.size() ? &s->items[i] : nullptr;
}

// ---- store ----------------------------------------------------------------------

IniStore *Ini_New(int automaticSorting)
{
    IniStore *store = new (std::nothrow) IniStore;
    if (store)
        store->automaticSorting = automaticSorting != 0;
    return store;
}

void Ini_Dispose(IniStore *store)
{
    delete store;
}

// Replaces every item of that name in the section by the new one (created with the
// section if needed). Allocation happens before anything is removed, so running out
// of memory leaves the store as it was.
static int PutItem(IniStore *store, const char *section, const char *item, std::string_view value, bool quoted)
{
    if (!store)
        return INI_ERR_NULL_STORE;
    try {
        IniItem newItem{std::string(TrimmedName(item)), std::string(value), quoted};
        IniSection *s = FindSection(store, TrimmedName(section));
        if (!s) {
            auto created = std::make_unique<IniSection>();
            created->name = TrimmedName(section);
            created->sorted = store->automaticSorting;
            created->items.push_back(std::move(newItem));
            auto &list = store->sections;
            auto pos =
                store->automaticSorting ? std::upper_bound(list.begin(), list.end(), created, SectionLess) : list.end();
            list.insert(pos, std::move(created));
            return INI_OK;
        }
        auto &items = s->items;
        if (items.size() == items.capacity())  // the insert below cannot fail after removing
            items.reserve(std::max<std::size_t>(8, items.size() * 2));
        if (s->sorted && store->checkDuplicates) {
            // Appended now, put in its place by the next lookup or write: a store filled in any
            // order costs n log n, not a move of half the section per item. Settled early when the
            // new part outgrows the rest, so that repeated Puts of one name keep memory bounded.
            items.push_back(std::move(newItem));
            if (items.size() - s->ordered > std::max<std::size_t>(kSettleAfter, s->ordered))
                SettlePuts(s);
            return INI_OK;
        }
        std::size_t first = store->checkDuplicates ? FindItemIndex(s, newItem.name) : items.size();
        std::size_t insertAt = items.size();
        if (first < items.size()) {
            insertAt = first;
            auto same = [&](const IniItem &i) { return CompareNames(i.name, newItem.name) == 0; };
            items.erase(std::remove_if(items.begin() + static_cast<std::ptrdiff_t>(first), items.end(), same),
                        items.end());
        }
        if (s->sorted)
            insertAt = static_cast<std::size_t>(std::upper_bound(items.begin(), items.end(), newItem, ItemLess) -
                                                items.begin());
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(newItem));
        return INI_OK;
    } catch (const std::bad_alloc &) {
        return INI_ERR_OUT_OF_MEMORY;
    }
}

int Ini_PutInt(IniStore *store, const char *section, const char *item, int value)
{
    char text[16];
    auto r = std::to_chars(text, text + sizeof text, value);
    return PutItem(store, section, item, std::string_view(text, static_cast<std::size_t>(r.ptr - text)), false);
}

int Ini_PutDouble(IniStore *store, const char *section, const char *item, double value)
{
    // Same text as printf "%.16g", but always with '.' whatever the locale.
    char text[64];
    auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 16);
    return PutItem(store, section, item, std::string_view(text, static_cast<std::size_t>(r.ptr - text)), false);
}

int Ini_PutRawString(IniStore *store, const char *section, const char *item, const char *value)
{
    return PutItem(store, section, item, value ? value : "", true);
}

// ---- queries ----------------------------------------------------------------------

// Optional blanks, one optional sign, decimal digits, optional blanks, nothing else;
// the result must fit into an int.
static bool ParseInt(std::string_view text, int *value)
{
    std::string_view s = Trim(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return false;
    const unsigned long long limit = negative ? 2147483648ULL : 2147483647ULL;
    unsigned long long magnitude = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
        if (magnitude > limit)
            return false;
    }
    *value = negative ? static_cast<int>(-static_cast<long long>(magnitude)) : static_cast<int>(magnitude);
    return true;
}

int Ini_GetInt(IniStore *store, const char *section, const char *item, int *value)
{
    if (!store || !value)
        return INI_ERR_NULL_STORE;
    const IniItem *found = FindItem(store, section, item);
    if (!found || IsBlankText(found->value))
        return INI_NOT_FOUND;
    return ParseInt(found->value, value) ? INI_FOUND : INI_ERR_INVALID_INTEGER;
}

static bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return CompareNames(a, b) == 0;
}

// The "C" locale for number conversion, so that a German locale's decimal comma
// does not change how files are read.
static locale_t CLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

int Ini_GetDouble(IniStore *store, const char *section, const char *item, double *value)
{
    if (!store || !value)
        return INI_ERR_NULL_STORE;
    const IniItem *found = FindItem(store, section, item);
    if (!found || IsBlankText(found->value))
        return INI_NOT_FOUND;
    const std::string &text = found->value;
    if (EqualsNoCase(text, "inf") || EqualsNoCase(text, "+inf")) {
        *value = HUGE_VAL;
        return INI_FOUND;
    }
    if (EqualsNoCase(text, "-inf")) {
        *value = -HUGE_VAL;
        return INI_FOUND;
    }
    locale_t c = CLocale();
    if (!c)
        return INI_ERR_OUT_OF_MEMORY;
    // strtod semantics: leading blanks, sign, decimal or hexadecimal digits with
    // exponent, "inf"/"infinity"/"nan"; underflow and overflow report ERANGE.
    char *end = nullptr;
    errno = 0;
    const double converted = strtod_l(text.c_str(), &end, c);
    const bool rangeError = errno == ERANGE;
    *value = converted;
    if (rangeError || end != text.c_str() + text.size())
        return INI_ERR_INVALID_DOUBLE;
    return INI_FOUND;
}

int Ini_GetRawStringIntoBuffer(IniStore *store, const char *section, const char *item, char *buffer, int bufferSize)
{
    if (buffer && bufferSize > 0)
        buffer[0] = '\0';
    if (!store || !buffer || bufferSize < 1)
        return INI_ERR_NULL_STORE;
    const IniItem *found = FindItem(store, section, item);
    if (!found)
        return INI_NOT_FOUND;
    const std::size_t n = std::min(found->value.size(), static_cast<std::size_t>(bufferSize - 1));
    std::memcpy(buffer, found->value.data(), n);
    buffer[n] = '\0';
    return INI_FOUND;
}

// ---- line reader --------------------------------------------------------------------

LineFile *LineFile_New(LineFile_ReadFunction readFunction, void *data)
{
    if (!readFunction)
        return nullptr;
    LineFile *reader = new (std::nothrow) LineFile;
    if (reader)
        *reader = LineFile{readFunction, data, 0, 0, false, -1, {}};
    return reader;
}

void LineFile_Dispose(LineFile *reader)
{
    delete reader;
}

static bool IsLineEnd(int c)
{
    return c == '\r' || c == '\n' || c == '\0';
}

// Next byte without taking it: 1 with *c set, 0 at the end, or a negative code.
static int PeekByte(LineFile *reader, int *c)
{
    if (reader->position >= reader->length) {
        if (reader->atEnd)
            return 0;
        int got = 0;
        int result = reader->read(reader->data, INI_READ_CHUNK, &got, reader->chunk);
        if (result != 0)
            return result < 0 ? result : INI_ERR_READING;
        if (got < 0 || got > INI_READ_CHUNK)
            return INI_ERR_READING;
        reader->length = got;
        reader->position = 0;
        if (got == 0) {
            reader->atEnd = true;
            return 0;
        }
    }
    *c = static_cast<unsigned char>(reader->chunk[reader->position]);
    return 1;
}

// Next line, cut after maximumCharacters; *gotLine is false at the end of the data.
static int ReadRawLine(LineFile *reader, char *buffer, int maximumCharacters, int *length, bool *gotLine)
{
    int c = 0;
    int result = PeekByte(reader, &c);
    if (result < 0)
        return result;
    // CR LF, LF CR (and any pair of different line-end bytes) end one line.
    if (result == 1 && reader->lastEnd >= 0 && IsLineEnd(c) && c != reader->lastEnd) {
        ++reader->position;
        result = PeekByte(reader, &c);
        if (result < 0)
            return result;
    }
    reader->lastEnd = -1;
    *length = 0;
    *gotLine = result == 1;
    while (result == 1) {
        ++reader->position;
        if (IsLineEnd(c)) {
            reader->lastEnd = c;
            break;
        }
        if (*length < maximumCharacters)
            buffer[(*length)++] = static_cast<char>(c);
        result = PeekByte(reader, &c);
        if (result < 0)
            return result;
    }
    buffer[*length] = '\0';
    return 0;
}

int LineFile_ReadNonEmpty(LineFile *reader, char *buffer, int maximumCharacters, int *charactersRead, int *endOfFile)
{
    if (!reader || !buffer || maximumCharacters < 0 || !charactersRead || !endOfFile)
        return INI_ERR_READING;
    *charactersRead = 0;
    *endOfFile = 0;
    buffer[0] = '\0';
    for (;;) {
        int length = 0;
        bool gotLine = false;
        int result = ReadRawLine(reader, buffer, maximumCharacters, &length, &gotLine);
        if (result < 0)
            return result;
        if (!gotLine) {
            buffer[0] = '\0';
            *endOfFile = 1;
            return 0;
        }
        if (!IsBlankText(std::string_view(buffer, static_cast<std::size_t>(length)))) {
            *charactersRead = length;
            return 0;
        }
    }
}

// ---- reading ------------------------------------------------------------------------

static void ParseLine(IniStore *store, std::string_view line, IniSection **current)
{
    std::string_view s = TrimLeft(line);
    if (s.empty() || s.starts_with(store->commentMarker))
        return;
    if (s.front() == store->sectionStart) {
        const std::size_t close = s.rfind(store->sectionEnd);
        if (close == std::string_view::npos || close == 0 || !IsBlankText(s.substr(close + 1)))
            return;
        std::string_view name = Trim(s.substr(1, close - 1));
        if (name.empty())
            return;
        auto section = std::make_unique<IniSection>();
        section->name = name;
        section->sorted = store->automaticSorting;
        store->sections.push_back(std::move(section));
        *current = store->sections.back().get();
        return;
    }
    const std::string_view separator = store->separator;
    const std::size_t at = s.find(separator);
    if (at == std::string_view::npos || !*current)
        return;
    std::string_view name = TrimRight(s.substr(0, at));
    std::string_view value = Trim(s.substr(at + separator.size()));
    if (name.empty() || value.empty())
        return;
    bool quoted = false;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
        quoted = true;
    }
    (*current)->items.push_back(IniItem{std::string(name), std::string(value), quoted});
}

// For a name of the form "<prefix> Line<digits>": the prefix length and whether the
// number is 1. Returns false for other names.
static bool PieceName(std::string_view name, std::size_t *prefixLength, bool *isFirst)
{
    const std::size_t at = name.rfind(kPieceMark);
    if (at == std::string_view::npos)
        return false;
    std::string_view digits = name.substr(at + kPieceMark.size());
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    *prefixLength = at;
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    *isFirst = digits == "1";
    return true;
}

// Joins each run of piece items (a " Line" number 1, then numbers other than 1)
// into one item named by the first piece's prefix. The section changes only when
// every allocation succeeded.
static void JoinPieces(IniSection *section)
{
    auto &items = section->items;
    std::size_t prefix = 0;
    bool first = false;
    if (std::none_of(items.begin(), items.end(),
                     [&](const IniItem &i) { return PieceName(i.name, &prefix, &first) && first; }))
        return;
    std::vector<IniItem> joined;
    joined.reserve(items.size());
    std::size_t i = 0;
    while (i < items.size()) {
        if (!PieceName(items[i].name, &prefix, &first) || !first) {
            joined.push_back(items[i++]);
            continue;
        }
        IniItem run{std::string(TrimRight(std::string_view(items[i].name).substr(0, prefix))), items[i].value,
                    items[i].quoted};
        ++i;
        while (i < items.size() && PieceName(items[i].name, &prefix, &first) && !first)
            run.value += items[i++].value;
        joined.push_back(std::move(run));
    }
    items.swap(joined);
}

// Joins long values in the sections this read appended, then restores the sort
// order (also after a failure, so that the store stays searchable).
static int FinishRead(IniStore *store, std::size_t firstNewSection)
{
    int result = INI_OK;
    for (std::size_t i = firstNewSection; i < store->sections.size(); ++i) {
        IniSection *section = store->sections[i].get();
        try {
            JoinPieces(section);
        } catch (const std::bad_alloc &) {
            result = INI_ERR_OUT_OF_MEMORY;
        }
        // Blanks just inside the quotes go too, so a value put with blanks around it reads back
        // without them, as an unquoted one would. Trimmed after joining, so that a blank at the
        // edge of a long value's piece stays inside the value.
        for (IniItem &item : section->items)
            if (item.quoted)
                item.value = std::string(Trim(item.value));
        if (store->automaticSorting)
            std::stable_sort(section->items.begin(), section->items.end(), ItemLess);
        section->ordered = section->items.size();
    }
    if (store->automaticSorting)
        std::stable_sort(store->sections.begin(), store->sections.end(), SectionLess);
    return result;
}

int Ini_ReadGeneric(IniStore *store, Ini_LineSource lineSource, void *data)
{
    if (!store || !lineSource)
        return INI_ERR_NULL_STORE;
    const std::size_t firstNew = store->sections.size();
    int result = INI_OK;
    try {
        IniSection *current = nullptr;
        char line[INI_MAX_LINE + 1];
        for (;;) {
            int endOfFile = 0;
            line[0] = '\0';
            int got = lineSource(data, line, INI_MAX_LINE, &endOfFile);
            if (got < 0) {
                result = got;
                break;
            }
            if (endOfFile)
                break;
            line[INI_MAX_LINE] = '\0';
            ParseLine(store, line, &current);
        }
    } catch (const std::bad_alloc &) {
        result = INI_ERR_OUT_OF_MEMORY;
    }
    const int finished = FinishRead(store, firstNew);
    return result < 0 ? result : finished;
}

static int ReadFromFileChunk(void *data, int maximumBytes, int *bytesRead, char *buffer)
{
    FILE *file = static_cast<FILE *>(data);
    const std::size_t n = std::fread(buffer, 1, static_cast<std::size_t>(maximumBytes), file);
    *bytesRead = static_cast<int>(n);
    return std::ferror(file) ? INI_ERR_READING : 0;
}

static int LineFileSource(void *data, char *buffer, int maximumCharacters, int *endOfFile)
{
    int length = 0;
    return LineFile_ReadNonEmpty(static_cast<LineFile *>(data), buffer, maximumCharacters, &length, endOfFile);
}

int Ini_ReadFromFile(IniStore *store, const char *path)
{
    if (!store)
        return INI_ERR_NULL_STORE;
    if (!path)
        return INI_ERR_OPEN_FOR_READING;
    // Only a regular file: a FIFO would block the program before its window shows.
    const int fd = IniFileIo_OpenRegular(path);
    if (fd < 0)
        return INI_ERR_OPEN_FOR_READING;
    FILE *file = fdopen(fd, "rb");
    if (!file) {
        IniFileIo_Close(fd);
        return INI_ERR_OPEN_FOR_READING;
    }
    LineFile *reader = LineFile_New(ReadFromFileChunk, file);
    int result = reader ? Ini_ReadGeneric(store, LineFileSource, reader) : INI_ERR_OUT_OF_MEMORY;
    LineFile_Dispose(reader);
    std::fclose(file);
    return result;
}

// ---- writing ------------------------------------------------------------------------

static void AppendPieceNumber(std::string &line, int number)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    line += digits;
}

static void AppendValue(std::string &line, std::string_view value, bool quoted)
{
    if (quoted)
        line += '"';
    line += value;
    if (quoted)
        line += '"';
}

int Ini_WriteGeneric(IniStore *store, Ini_LineSink lineSink, void *data)
{
    if (!store || !lineSink)
        return INI_ERR_NULL_STORE;
    try {
        std::string line;
        for (const auto &section : store->sections) {
            SettlePuts(section.get());
            line.assign(1, store->sectionStart).append(section->name).push_back(store->sectionEnd);
            if (int r = lineSink(data, line.c_str()); r < 0)
                return r;
            for (const IniItem &item : section->items) {
                const std::string_view value = item.value;
                if (value.size() <= static_cast<std::size_t>(INI_MAX_VALUE_PIECE)) {
                    line.assign(item.name).append(store->outputSeparator);
                    AppendValue(line, value, item.quoted);
                    if (int r = lineSink(data, line.c_str()); r < 0)
                        return r;
                    continue;
                }
                int number = 1;
                for (std::size_t at = 0; at < value.size(); at += INI_MAX_VALUE_PIECE, ++number) {
                    line.assign(item.name).append(kPieceMark);
                    AppendPieceNumber(line, number);
                    line.append(store->outputSeparator);
                    AppendValue(line, value.substr(at, INI_MAX_VALUE_PIECE), item.quoted);
                    if (int r = lineSink(data, line.c_str()); r < 0)
                        return r;
                }
            }
            if (int r = lineSink(data, ""); r < 0)
                return r;
        }
    } catch (const std::bad_alloc &) {
        return INI_ERR_OUT_OF_MEMORY;
    }
    return INI_OK;
}

// Result codes for the error numbers of failed writes, syncs and renames; any
// other error number gives INI_ERR_IO.
struct ErrnoCode {
    int errorNumber;
    int code;
};

// clang-format off
static constexpr ErrnoCode kWriteErrors[] = {
    {ENOMEM,       INI_ERR_OUT_OF_MEMORY},
    {EACCES,       INI_ERR_ACCESS_DENIED},
    {EPERM,        INI_ERR_ACCESS_DENIED},
    {EROFS,        INI_ERR_ACCESS_DENIED},
    {ENOSPC,       INI_ERR_DISK_FULL},
    {EDQUOT,       INI_ERR_DISK_FULL},
};
// clang-format on
static_assert(std::size(kWriteErrors) == 6);

// clang-format off
static constexpr ErrnoCode kRenameErrors[] = {
    {ENOENT,       INI_ERR_NOT_FOUND},
    {EACCES,       INI_ERR_ACCESS_DENIED},
    {EPERM,        INI_ERR_ACCESS_DENIED},
    {EROFS,        INI_ERR_ACCESS_DENIED},
    {ENOSPC,       INI_ERR_DISK_FULL},
    {EDQUOT,       INI_ERR_DISK_FULL},
    {EINVAL,       INI_ERR_INVALID_PATH},
    {ENAMETOOLONG, INI_ERR_INVALID_PATH},
    {ENOTDIR,      INI_ERR_INVALID_PATH},
    {ELOOP,        INI_ERR_INVALID_PATH},
    {ENOMEM,       INI_ERR_OUT_OF_MEMORY},
};
// clang-format on
static_assert(std::size(kRenameErrors) == 11);

static int CodeFor(std::span<const ErrnoCode> table, int errorNumber)
{
    for (const ErrnoCode &row : table)
        if (row.errorNumber == errorNumber)
            return row.code;
    return INI_ERR_IO;
}

static int WriteErrorCode(int errorNumber)
{
    return CodeFor(kWriteErrors, errorNumber);
}

static int RenameErrorCode(int errorNumber)
{
    return CodeFor(kRenameErrors, errorNumber);
}

static int StdoutSink(void *, const char *line)
{
    if (std::fputs(line, stdout) == EOF || std::fputs("\r\n", stdout) == EOF)
        return WriteErrorCode(errno);
    return 0;
}

static int WriteToStdout(IniStore *store)
{
    int result = Ini_WriteGeneric(store, StdoutSink, nullptr);
    if (result == INI_OK && std::fflush(stdout) != 0)
        result = WriteErrorCode(errno);
    return result;
}

namespace {
// Output to the temporary file through a 16384-byte buffer.
struct BufferedFile {
    int fd;
    int used;
    char bytes[kWriteBufferSize];
};
}  // namespace

static int FlushBuffer(BufferedFile *out)
{
    if (out->used > 0 && IniFileIo_Write(out->fd, out->bytes, static_cast<std::size_t>(out->used)) != 0)
        return WriteErrorCode(errno);
    out->used = 0;
    return 0;
}

static int AppendBytes(BufferedFile *out, std::string_view text)
{
    while (!text.empty()) {
        if (out->used == kWriteBufferSize)
            if (int r = FlushBuffer(out); r < 0)
                return r;
        const std::size_t n = std::min(text.size(), static_cast<std::size_t>(kWriteBufferSize - out->used));
        std::memcpy(out->bytes + out->used, text.data(), n);
        out->used += static_cast<int>(n);
        text.remove_prefix(n);
    }
    return 0;
}

static int BufferedSink(void *data, const char *line)
{
    BufferedFile *out = static_cast<BufferedFile *>(data);
    if (int r = AppendBytes(out, line); r < 0)
        return r;
    return AppendBytes(out, kLineEnd);
}

// Can the target be written? Tested without opening, creating or truncating anything: an existing
// target must be a regular file that may be read and written, a missing one needs a folder in
// which files may be created.
static int TestTarget(const std::string &target, const std::string &directory)
{
    struct stat info;
    if (stat(target.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) || faccessat(AT_FDCWD, target.c_str(), R_OK | W_OK, AT_EACCESS) != 0)
            return INI_ERR_ACCESS_DENIED;
        return INI_OK;
    }
    switch (errno) {
    case ENOENT:
    case ENOTDIR: break;
    case EMFILE:
    case ENFILE: return INI_ERR_TOO_MANY_OPEN_FILES;
    default:  // the file system cannot tell whether the file exists
        return INI_ERR_IO;
    }
    const char *folder = directory.empty() ? "." : directory.c_str();
    if (stat(folder, &info) != 0 || !S_ISDIR(info.st_mode) || faccessat(AT_FDCWD, folder, W_OK | X_OK, AT_EACCESS) != 0)
        return INI_ERR_ACCESS_DENIED;
    return INI_OK;
}

// n for a name "ini$$<n>.TMP" with n from 0 to 999 written as "%1d" writes it, else -1.
static int TempNumber(std::string_view name)
{
    constexpr std::string_view start = "ini$$", end = ".TMP";
    if (!name.starts_with(start) || !name.ends_with(end))
        return -1;
    const std::string_view digits = name.substr(start.size(), name.size() - start.size() - end.size());
    int n = -1;
    const auto [last, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || last != digits.data() + digits.size() || n < 0 || n >= kTempNumbers ||
        (digits.size() > 1 && digits.front() == '0'))
        return -1;
    return n;
}

// Removes the temporary files of this writer's pattern that a killed writer left in the folder:
// regular files not changed for kStaleSeconds. A writer takes milliseconds, so a younger one may
// belong to a writer still at work and stays.
static void RemoveStaleTempFiles(const std::string &directory)
{
    DIR *dir = opendir(directory.empty() ? "." : directory.c_str());
    if (!dir)
        return;
    const time_t now = time(nullptr);
    while (const dirent *entry = readdir(dir)) {
        if (TempNumber(entry->d_name) < 0)
            continue;
        struct stat info;
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
            now - info.st_mtime > kStaleSeconds)
            unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

// Creates "ini$$<n>.TMP" beside the target for the first free n from 0 to 999, with the permission
// bits `mode` (-1: those of a new file).
static int CreateTempFile(const std::string &directory, int mode, std::string *tempPath, int *fd)
{
    for (int n = 0; n < kTempNumbers; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%1d.%s", "ini$$", n, "TMP");
        *tempPath = directory + name;
        struct stat info;
        if (lstat(tempPath->c_str(), &info) == 0 || errno != ENOENT)
            continue;
        *fd = IniFileIo_CreateNew(tempPath->c_str(), mode);
        if (*fd >= 0)
            return INI_OK;
        if (errno != EEXIST)  // someone took the name between the test and the open
            return INI_ERR_CREATE_TEMP;
    }
    return INI_ERR_NO_TEMP_NAME;
}

// Writes the text to the temporary file and syncs it; closes the descriptor.
static int WriteTempFile(IniStore *store, int fd)
{
    std::unique_ptr<BufferedFile> out(new (std::nothrow) BufferedFile);
    int result = INI_ERR_OUT_OF_MEMORY;
    if (out) {
        out->fd = fd;
        out->used = 0;
        result = Ini_WriteGeneric(store, BufferedSink, out.get());
        if (result == INI_OK)
            result = FlushBuffer(out.get());
        if (result == INI_OK && IniFileIo_Sync(fd) != 0)
            result = WriteErrorCode(errno);
    }
    if (IniFileIo_Close(fd) != 0 && result == INI_OK)
        result = WriteErrorCode(errno);
    return result;
}

// Writes a temporary file beside the target, syncs it and renames it over the target, so the
// target always holds either the old or the new complete text. A symbolic link stays: the file it
// points to is replaced, and a dangling one is refused, creating nothing.
static int ReplaceFile(IniStore *store, const char *path)
{
    try {
        std::string target;
        if (IniFileIo_FinalPath(path, &target) != 0)
            return INI_ERR_ACCESS_DENIED;
        const std::size_t slash = target.rfind('/');
        const std::string directory = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
        if (int r = TestTarget(target, directory); r < 0)
            return r;
        struct stat info;
        const int mode = stat(target.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
        RemoveStaleTempFiles(directory);
        std::string tempPath;
        int fd = -1;
        if (int r = CreateTempFile(directory, mode, &tempPath, &fd); r < 0)
            return r;
        int result = WriteTempFile(store, fd);
        if (result == INI_OK && IniFileIo_Rename(tempPath.c_str(), target.c_str()) != 0)
            result = RenameErrorCode(errno);
        if (result < 0) {
            std::remove(tempPath.c_str());
            return result;
        }
        // The new text is in place; a failure here only means it may not survive a power loss.
        if (IniFileIo_SyncDirectory(directory.empty() ? "." : directory.c_str()) != 0)
            return WriteErrorCode(errno);
        return INI_OK;
    } catch (const std::bad_alloc &) {
        return INI_ERR_OUT_OF_MEMORY;
    }
}

int Ini_WriteToFile(IniStore *store, const char *path)
{
    if (!store)
        return INI_ERR_NULL_STORE;
    return path ? ReplaceFile(store, path) : WriteToStdout(store);
}
