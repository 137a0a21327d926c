// Fuzz target for the INI reader. The first input byte picks automatic sorting
// and how many bytes the read function hands over at a time (so that line ends
// fall on every kind of chunk boundary); the rest is the file text. The store is
// then queried, updated and written, and the written text is read back.
#include "ini/IniStore.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

struct MemoryFile {
    const uint8_t *data;
    size_t size;
    size_t position;
    int piece;  // bytes per read call
};

int ReadMemory(void *data, int maximumBytes, int *bytesRead, char *buffer)
{
    MemoryFile *file = static_cast<MemoryFile *>(data);
    size_t n = file->size - file->position;
    n = n < static_cast<size_t>(maximumBytes) ? n : static_cast<size_t>(maximumBytes);
    n = n < static_cast<size_t>(file->piece) ? n : static_cast<size_t>(file->piece);
    if (n > 0)
        std::memcpy(buffer, file->data + file->position, n);
    file->position += n;
    *bytesRead = static_cast<int>(n);
    return 0;
}

int LineSource(void *data, char *buffer, int maximumCharacters, int *endOfFile)
{
    int length = 0;
    int result = LineFile_ReadNonEmpty(static_cast<LineFile *>(data), buffer, maximumCharacters, &length, endOfFile);
    if (result == 0 && !*endOfFile &&
        (length > maximumCharacters || std::strlen(buffer) != static_cast<size_t>(length)))
        std::abort();  // the reader delivered more than asked or a wrong length
    return result;
}

int CollectLine(void *data, const char *line)
{
    std::string *text = static_cast<std::string *>(data);
    text->append(line).append("\r\n");
    return 0;
}

IniStore *ReadText(const uint8_t *bytes, size_t size, int sorting, int piece)
{
    MemoryFile file{bytes, size, 0, piece};
    IniStore *store = Ini_New(sorting);
    LineFile *reader = LineFile_New(ReadMemory, &file);
    if (!store || !reader)
        std::abort();
    if (Ini_ReadGeneric(store, LineSource, reader) != 0)
        std::abort();  // memory never fails a read
    LineFile_Dispose(reader);
    return store;
}

std::string WriteText(IniStore *store)
{
    std::string text;
    if (Ini_WriteGeneric(store, CollectLine, &text) != 0)
        std::abort();
    return text;
}

std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::string Folded(const std::string &name)
{
    std::string folded = name;
    for (char &c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

bool IsPieceName(const std::string &name)
{
    size_t at = name.rfind(" Line");
    return at != std::string::npos && at + 5 < name.size() &&
           name.find_first_not_of("0123456789", at + 5) == std::string::npos;
}

// Every item the writer lists can be found again (when section names are unique,
// so the lookup cannot land in a namesake section).
void QueryWrittenItems(IniStore *store, const std::vector<std::string> &lines)
{
    std::set<std::string> sections;
    size_t headers = 0;
    for (const std::string &line : lines)
        if (!line.empty() && line[0] == '[') {
            sections.insert(Folded(line.substr(1, line.size() - 2)));
            ++headers;
        }
    const bool unique = sections.size() == headers;
    std::string section;
    for (const std::string &line : lines) {
        if (line.empty())
            continue;
        if (line[0] == '[') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const std::string item = line.substr(0, line.find(" = "));
        char small[6];
        char large[300];
        int n = 0;
        double d = 0;
        int found = Ini_GetRawStringIntoBuffer(store, section.c_str(), item.c_str(), small, sizeof small);
        if (found < 0 || std::strlen(small) >= sizeof small)
            std::abort();
        if (unique && !IsPieceName(item) && found != 1)
            std::abort();
        Ini_GetRawStringIntoBuffer(store, section.c_str(), item.c_str(), large, sizeof large);
        Ini_GetInt(store, section.c_str(), item.c_str(), &n);
        Ini_GetDouble(store, section.c_str(), item.c_str(), &d);
    }
}

size_t CountHeaders(const std::vector<std::string> &lines)
{
    size_t n = 0;
    for (const std::string &line : lines)
        n += !line.empty() && line[0] == '[';
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int sorting = data[0] & 1;
    const int k = data[0] >> 1;
    const int piece = k == 0 ? INI_READ_CHUNK : (k <= 16 ? k : k * 16);
    ++data;
    --size;

    IniStore *store = ReadText(data, size, sorting, piece);
    const std::string first = WriteText(store);
    const std::vector<std::string> lines = SplitLines(first);
    QueryWrittenItems(store, lines);

    // Names from the input itself, present or not, for the Get and Put paths.
    std::string name(reinterpret_cast<const char *>(data), size < 40 ? size : 40);
    name = name.substr(0, name.find('\0'));
    int n = 0;
    double d = 0;
    char buffer[8];
    Ini_GetInt(store, name.c_str(), name.c_str(), &n);
    Ini_GetDouble(store, "TLX1", name.c_str(), &d);
    Ini_GetRawStringIntoBuffer(store, name.c_str(), "einheit", buffer, sizeof buffer);
    Ini_PutRawString(store, name.c_str(), name.c_str(), name.c_str());
    Ini_PutInt(store, "TLX1", name.c_str(), static_cast<int>(size));
    Ini_PutDouble(store, name.c_str(), "zoommax", static_cast<double>(size) / 7.0);
    if (Ini_GetRawStringIntoBuffer(store, name.c_str(), name.c_str(), buffer, sizeof buffer) != 1)
        std::abort();  // what was just put must be found
    WriteText(store);
    Ini_Dispose(store);

    // Every section written comes back as a section.
    IniStore *again = ReadText(reinterpret_cast<const uint8_t *>(first.data()), first.size(), sorting, INI_READ_CHUNK);
    if (CountHeaders(SplitLines(WriteText(again))) != CountHeaders(lines))
        std::abort();
    Ini_Dispose(again);
    return 0;
}
