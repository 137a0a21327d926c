// Helpers for the INI store tests: stores from text, text from stores, files.
#pragma once

#include "ini/IniStore.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdlib.h>
#include <string>
#include <vector>

struct StoreDeleter {
    void operator()(IniStore *store) const { Ini_Dispose(store); }
};
using StorePtr = std::unique_ptr<IniStore, StoreDeleter>;

// Read function over a text in memory, handing over at most `piece` bytes per call
// and failing once `failAt` bytes have been handed over.
struct Memory {
    const std::string &text;
    int piece = INI_READ_CHUNK;
    size_t failAt = SIZE_MAX, position = 0;
    static int Read(void *data, int maximumBytes, int *bytesRead, char *buffer)
    {
        auto *m = static_cast<Memory *>(data);
        if (m->position >= m->failAt)
            return INI_ERR_READING;
        const size_t n = m->text.copy(buffer, size_t(std::min(maximumBytes, m->piece)), m->position);
        m->position += n;
        *bytesRead = int(n);
        return 0;
    }
};

// Ini_ReadGeneric over a line reader on the read function; returns its result.
inline int ReadVia(IniStore *store, LineFile_ReadFunction read, void *data)
{
    LineFile *reader = LineFile_New(read, data);
    int result = Ini_ReadGeneric(
        store,
        [](void *r, char *buffer, int max, int *endOfFile) {
            int length = 0;
            return LineFile_ReadNonEmpty(static_cast<LineFile *>(r), buffer, max, &length, endOfFile);
        },
        reader);
    LineFile_Dispose(reader);
    return result;
}

inline StorePtr StoreFromText(const std::string &text, int sorting = 0)
{
    StorePtr store(Ini_New(sorting));
    Memory memory{text};
    ReadVia(store.get(), Memory::Read, &memory);
    return store;
}

// The file text the writer produces (lines joined with CR LF).
inline std::string TextOf(IniStore *store)
{
    std::string text;
    auto sink = [](void *data, const char *line) {
        static_cast<std::string *>(data)->append(line).append("\r\n");
        return 0;
    };
    return Ini_WriteGeneric(store, sink, &text) == 0 ? text : "<write failed>";
}

// The item's text, or "<missing>".
inline std::string RawString(IniStore *store, const char *section, const std::string &item)
{
    char buffer[512];
    return Ini_GetRawStringIntoBuffer(store, section, item.c_str(), buffer, sizeof buffer) == 1 ? buffer : "<missing>";
}

// A fresh directory removed with its contents at the end of the scope.
struct TempDir {
    std::string path = (std::filesystem::temp_directory_path() / "ini_tests.XXXXXX").string();
    TempDir()
    {
        if (!mkdtemp(path.data()))
            std::abort();
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string Path(const std::string &name) const { return path + "/" + name; }
    // Names of the temporary files "ini$$<n>.TMP" left in the directory.
    std::vector<std::string> TempFiles() const
    {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(path))
            if (auto name = entry.path().filename().string(); name.starts_with("ini$$") && name.ends_with(".TMP"))
                names.push_back(name);
        return names;
    }
};

inline std::string ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}
