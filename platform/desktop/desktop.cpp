#include "platform/desktop/desktop.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Umgebung(const char *name)
{
    const char *wert = std::getenv(name);
    return wert != nullptr ? wert : "";
}

bool IstOrdner(const std::string &pfad)
{
    struct stat info {};
    return !pfad.empty() && stat(pfad.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string HomeOrdner()
{
    if (std::string home = Umgebung("HOME"); home.starts_with('/'))
        return home;
    // No usable HOME (a service, a stripped environment): the password database knows it.
    const passwd *eintrag = getpwuid(getuid());
    if (eintrag != nullptr && eintrag->pw_dir != nullptr && eintrag->pw_dir[0] == '/')
        return eintrag->pw_dir;
    return "";
}

// The value of `schluessel` in user-dirs.dirs: a line KEY="$HOME/Dokumente" or KEY="/abs/path",
// as xdg-user-dirs writes it. "" when the file or the line is missing or the value is neither.
std::string BenutzerOrdnerAusDatei(const std::string &datei, const std::string &schluessel, const std::string &home)
{
    std::ifstream ein(datei);
    std::string zeile;
    const std::string anfang = schluessel + "=\"";
    while (std::getline(ein, zeile)) {
        if (!zeile.starts_with(anfang) || !zeile.ends_with('"') || zeile.size() < anfang.size() + 1)
            continue;
        std::string wert = zeile.substr(anfang.size(), zeile.size() - anfang.size() - 1);
        if (wert.starts_with("$HOME") && (wert.size() == 5 || wert[5] == '/'))
            return home.empty() ? "" : home + wert.substr(5);
        return wert.starts_with('/') ? wert : "";
    }
    return "";
}

}  // namespace

std::string KonfigurationsOrdner()
{
    if (std::string xdg = Umgebung("XDG_CONFIG_HOME"); xdg.starts_with('/'))
        return xdg;
    const std::string home = HomeOrdner();
    return home.empty() ? "" : home + "/.config";
}

std::string DokumenteOrdner()
{
    std::string home = HomeOrdner();
    if (std::string ordner = Umgebung("XDG_DOCUMENTS_DIR"); ordner.starts_with('/') && IstOrdner(ordner))
        return ordner;
    if (const std::string konfig = KonfigurationsOrdner(); !konfig.empty()) {
        std::string ordner = BenutzerOrdnerAusDatei(konfig + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR", home);
        // xdg-user-dirs points a folder it does not want at the home folder itself.
        if (IstOrdner(ordner))
            return ordner;
    }
    return home;
}

std::string ProgrammOrdner()
{
    std::error_code fehler;
    const std::filesystem::path programm = std::filesystem::read_symlink("/proc/self/exe", fehler);
    return fehler ? "" : programm.parent_path().string();
}

int OrdnerAnlegen(const std::string &pfad, unsigned modus)
{
    if (pfad.empty())
        return ENOENT;
    // Each prefix up to a slash, then the whole path.
    for (std::size_t ende = pfad.find('/', 1);; ende = pfad.find('/', ende + 1)) {
        const std::string teil = pfad.substr(0, ende);
        if (!teil.empty() && mkdir(teil.c_str(), static_cast<mode_t>(modus)) != 0 && errno != EEXIST)
            return errno;
        if (ende == std::string::npos)
            break;
    }
    // EEXIST also stands for a file of that name.
    struct stat info {};
    if (stat(pfad.c_str(), &info) != 0)
        return errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}
