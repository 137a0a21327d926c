#include "app/TLX1Befehlszeile.h"

#include "platform/text/textformat.h"
#include "tlx1_version.h"

#include <cstdio>
#include <cstring>
#include <string>

static constexpr const char *PROGRAMM = "tlx1steuerung";
static constexpr const char *OPTION_BENUTZER = "--benutzereinstellungen";

// The program's own options and their lines in the help.
struct Option {
    const char *name;
    const char *kurz;  // second spelling, or nullptr
    const char *hilfe;
};
static constexpr Option OPTIONEN[] = {
    {OPTION_BENUTZER, nullptr,
     "Einstellungen pro Benutzer in $XDG_CONFIG_HOME/tlx1steuerung/\n"
     "                           (sonst ~/.config/tlx1steuerung/), Dateidialoge im\n"
     "                           Dokumente-Ordner; ohne diese Option liegt\n"
     "                           tlx1steuerung.ini im aktuellen Ordner"},
    {"--version", nullptr, "Version ausgeben und beenden"},
    {"--help", "-h", "diese Hilfe ausgeben und beenden"},
};

// The toolkit's options, written with one dash or two. Those with a value take it as the next
// argument or after '='.
struct ToolkitOption {
    const char *name;
    int mitWert;
};
static constexpr ToolkitOption TOOLKIT_OPTIONEN[] = {
    {"platform", 1},
    {"platformpluginpath", 1},
    {"platformtheme", 1},
    {"plugin", 1},
    {"qwindowgeometry", 1},
    {"qwindowicon", 1},
    {"qwindowtitle", 1},
    {"session", 1},
    {"display", 1},
    {"geometry", 1},
    {"style", 1},
    {"stylesheet", 1},
    {"name", 1},
    {"title", 1},
    {"visual", 1},
    {"qmljsdebugger", 1},
    {"reverse", 0},
    {"widgetcount", 0},
    {"nograb", 0},
    {"dograb", 0},
    {"sync", 0},
};

static void Ausgeben(std::FILE *ziel, const char *cp1252Text)
{
    std::fputs(Utf8AusCp1252(cp1252Text).c_str(), ziel);
}

static void Hilfe(void)
{
    std::printf("Aufruf: %s [OPTION...]\n", PROGRAMM);
    Ausgeben(stdout, "Bedienprogramm f\xFCr TLX-1 Regelmodule am RS-232-Bus.\n\nOptionen:\n");
    for (const Option &o : OPTIONEN) {
        std::string name = o.name;
        if (o.kurz != nullptr)
            name += std::string(", ") + o.kurz;
        std::printf("  %-25s", name.c_str());
        Ausgeben(stdout, o.hilfe);
        std::printf("\n");
    }
    Ausgeben(stdout, "  Dazu die Optionen von Qt, z. B. -platform NAME, -style NAME, -reverse.\n"
                     "\nUmgebung:\n"
                     "  TLX1_COM<N>              Ger\xE4t f\xFCr COM N (z. B. TLX1_COM1=/dev/ttyUSB0),\n"
                     "                           sonst /dev/ttyS<N-1>\n"
                     "\nHandbuch: man tlx1steuerung, /usr/share/doc/tlx1steuerung/handbuch.md\n");
}

// Index of the toolkit option `arg` names ("-style", "--style", "-style=x"), or -1.
static int ToolkitOptionSuchen(const char *arg, int *mitGleich)
{
    const char *name = arg + (std::strncmp(arg, "--", 2) == 0 ? 2 : 1);
    const char *gleich = std::strchr(name, '=');
    const std::size_t laenge = gleich != nullptr ? static_cast<std::size_t>(gleich - name) : std::strlen(name);
    *mitGleich = gleich != nullptr;
    for (int i = 0; i < static_cast<int>(std::size(TOOLKIT_OPTIONEN)); ++i)
        if (std::strlen(TOOLKIT_OPTIONEN[i].name) == laenge &&
            std::strncmp(TOOLKIT_OPTIONEN[i].name, name, laenge) == 0)
            return i;
    return -1;
}

static int Abgelehnt(const char *grund, const char *arg)
{
    std::fprintf(stderr, "%s: %s %s\n", PROGRAMM, grund, Druckbar(arg).c_str());
    std::fprintf(stderr, "Hilfe: %s --help\n", PROGRAMM);
    return 2;
}

int Befehlszeile_Pruefen(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--version") == 0) {
            std::printf("%s %s\n", PROGRAMM, TLX1_VERSION);
            return 0;
        }
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            Hilfe();
            return 0;
        }
        if (std::strcmp(arg, OPTION_BENUTZER) == 0)
            continue;
        if (arg[0] != '-' || arg[1] == '\0')
            return Abgelehnt("unerwartetes Argument", arg);
        int mitGleich = 0;
        const int qt = ToolkitOptionSuchen(arg, &mitGleich);
        if (qt < 0)
            return Abgelehnt("unbekannte Option", arg);
        if (TOOLKIT_OPTIONEN[qt].mitWert && !mitGleich) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s: %s braucht einen Wert\n", PROGRAMM, Druckbar(arg).c_str());
                return 2;
            }
            ++i;
        }
    }
    return -1;
}

int Befehlszeile_Benutzereinstellungen(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        if (argv[i] != nullptr && std::strcmp(argv[i], OPTION_BENUTZER) == 0)
            return 1;
    return 0;
}
