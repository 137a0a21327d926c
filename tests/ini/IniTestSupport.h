// Helpers for the INI store tests: stores from text, text from stores, files.
#pragma once

#include "ini/IniStore.h"

#include <memory>
#include <string>
#include <vector>

struct StoreDeleter {
    void operator()(IniStore *store) const { Ini_Dispose(store); }
};
using StorePtr = std::unique_ptr<IniStore, StoreDeleter>;

// Reads text into the store through a line reader whose read function hands over
// at most `piece` bytes per call; returns Ini_ReadGeneric's result.
int ReadText(IniStore *store, const std::string &text, int piece = INI_READ_CHUNK);

// A new store holding the text (see ReadText).
StorePtr StoreFromText(const std::string &text, int sorting = 0, int piece = INI_READ_CHUNK);

// The file text the writer produces (lines joined with CR LF).
std::string TextOf(IniStore *store);

// Lines a line reader delivers for the text, read `piece` bytes at a time.
std::vector<std::string> LinesOf(const std::string &text, int piece);

// A fresh directory removed with its contents at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string Path(const std::string &name) const { return path_ + "/" + name; }
    // Names of the temporary files "ini$$<n>.TMP" left in the directory.
    std::vector<std::string> TempFiles() const;
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

std::string ReadBytes(const std::string &path);
void WriteBytes(const std::string &path, const std::string &bytes);
