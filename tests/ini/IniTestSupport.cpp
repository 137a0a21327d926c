#include "tests/ini/IniTestSupport.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <stdlib.h>

namespace {
struct Memory {
    const std::string *text;
    size_t position;
    int piece;
};

int ReadMemory(void *data, int maximumBytes, int *bytesRead, char *buffer)
{
    Memory *m = static_cast<Memory *>(data);
    size_t n = std::min({m->text->size() - m->position, static_cast<size_t>(maximumBytes), static_cast<size_t>(m->piece)});
    std::memcpy(buffer, m->text->data() + m->position, n);
    m->position += n;
    *bytesRead = static_cast<int>(n);
    return 0;
}

int Source(void *data, char *buffer, int maximumCharacters, int *endOfFile)
{
    int length = 0;
    return LineFile_ReadNonEmpty(static_cast<LineFile *>(data), buffer, maximumCharacters, &length, endOfFile);
}

int Collect(void *data, const char *line)
{
    static_cast<std::string *>(data)->append(line).append("\r\n");
    return 0;
}
} // namespace

int ReadText(IniStore *store, const std::string &text, int piece)
{
    Memory memory{&text, 0, piece};
    LineFile *reader = LineFile_New(ReadMemory, &memory);
    int result = Ini_ReadGeneric(store, Source, reader);
    LineFile_Dispose(reader);
    return result;
}

StorePtr StoreFromText(const std::string &text, int sorting, int piece)
{
    StorePtr store(Ini_New(sorting));
    if (ReadText(store.get(), text, piece) != 0)
        throw std::runtime_error("reading from memory failed");
    return store;
}

std::string TextOf(IniStore *store)
{
    std::string text;
    if (Ini_WriteGeneric(store, Collect, &text) != 0)
        throw std::runtime_error("writing to memory failed");
    return text;
}

std::vector<std::string> LinesOf(const std::string &text, int piece)
{
    Memory memory{&text, 0, piece};
    LineFile *reader = LineFile_New(ReadMemory, &memory);
    std::vector<std::string> lines;
    char buffer[INI_MAX_LINE + 1];
    for (int length = 0, endOfFile = 0;;) {
        if (LineFile_ReadNonEmpty(reader, buffer, INI_MAX_LINE, &length, &endOfFile) != 0 || endOfFile)
            break;
        lines.emplace_back(buffer, static_cast<size_t>(length));
    }
    LineFile_Dispose(reader);
    return lines;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "ini_tests.XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::TempFiles() const
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(path_)) {
        std::string name = entry.path().filename().string();
        if (name.starts_with("ini$$") && name.ends_with(".TMP"))
            names.push_back(name);
    }
    return names;
}

std::string ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}
