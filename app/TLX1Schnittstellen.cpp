#include "app/TLX1Schnittstellen.h"

#include "ini/IniStore.h"
#include "platform/rs232/commap.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>

static constexpr const char *WIEDERVERBINDEN = "wiederverbinden";

static constexpr int FEHLER_INI_LESEN = -801110;
static constexpr int FEHLER_INI_NICHT_GEFUNDEN = -802109;

// The section as read, in a store of its own (null: nothing read).
static IniStore *gelesen = nullptr;
static int wiederverbinden = 0;

// ---- copying a section between stores --------------------------------------------------------------
// Through the store's own file text, so that every item keeps its exact form (quotes, long values).
// The line source asks the writer for the text again for each line and keeps only the line wanted:
// a section has a handful of lines, and nothing needs a buffer of its own.

struct Kopie {
    IniStore *von;
    const char *sektion;
    int naechste;  // number of the line the reader wants next, 0 = the first header
    int gezaehlt;  // lines of the section seen in this pass
    int drin;      // the writer is inside the section
    char *ziel;
    int max;
    int gefunden;
};

static int ZeileNehmen(void *daten, const char *zeile)
{
    Kopie *k = static_cast<Kopie *>(daten);
    if (zeile[0] == '[') {
        const size_t laenge = std::strlen(zeile);
        k->drin = laenge == std::strlen(k->sektion) + 2 && strncasecmp(zeile + 1, k->sektion, laenge - 2) == 0;
    }
    if (!k->drin || zeile[0] == '\0' || k->gezaehlt++ != k->naechste)
        return 0;
    std::snprintf(k->ziel, static_cast<size_t>(k->max) + 1, "%s", zeile);
    k->gefunden = 1;
    return -1;  // the line is found: the writer may stop
}

static int ZeileLiefern(void *daten, char *puffer, int max, int *dateiende)
{
    Kopie *k = static_cast<Kopie *>(daten);
    k->gezaehlt = 0;
    k->drin = 0;
    k->gefunden = 0;
    k->ziel = puffer;
    k->max = max;
    Ini_WriteGeneric(k->von, ZeileNehmen, k);
    if (!k->gefunden)
        *dateiende = 1;
    ++k->naechste;
    return 0;
}

static void AbschnittKopieren(IniStore *von, IniStore *nach, const char *sektion)
{
    Kopie k = {von, sektion, 0, 0, 0, nullptr, 0, 0};
    Ini_ReadGeneric(nach, ZeileLiefern, &k);
}

// ---- the section ------------------------------------------------------------------------------------

static void ItemName(int port, char *name, size_t groesse)
{
    std::snprintf(name, groesse, "com%d", port);
}

void SchnittstellenAusIni(IniStore *ini)
{
    Ini_Dispose(gelesen);
    gelesen = nullptr;
    wiederverbinden = 0;
    if (ini != nullptr && (gelesen = Ini_New(1)) != nullptr) {
        AbschnittKopieren(ini, gelesen, SCHNITTSTELLEN_SEKTION);
        int wert = 0;
        if (Ini_GetInt(gelesen, SCHNITTSTELLEN_SEKTION, WIEDERVERBINDEN, &wert) > 0 && (wert == 0 || wert == 1))
            wiederverbinden = wert;
    }
    for (int port = 1; port <= COM_MAP_ENTRIES; ++port) {
        char name[16], geraet[INI_MAX_LINE + 1] = "";
        ItemName(port, name, sizeof name);
        if (gelesen != nullptr)
            Ini_GetRawStringIntoBuffer(gelesen, SCHNITTSTELLEN_SEKTION, name, geraet, sizeof geraet);
        ComMapSet(port, geraet);
    }
}

void SchnittstellenInIni(IniStore *ini)
{
    if (gelesen != nullptr)
        AbschnittKopieren(gelesen, ini, SCHNITTSTELLEN_SEKTION);
    for (int port = 1; port <= COM_MAP_ENTRIES; ++port) {
        char name[16], alt[INI_MAX_LINE + 1] = "";
        ItemName(port, name, sizeof name);
        if (gelesen != nullptr)
            Ini_GetRawStringIntoBuffer(gelesen, SCHNITTSTELLEN_SEKTION, name, alt, sizeof alt);
        const std::string jetzt = ComMapEntry(port);
        if (jetzt != alt)
            Ini_PutRawString(ini, SCHNITTSTELLEN_SEKTION, name, jetzt.c_str());
    }
    int alt = 0;
    const int gefunden = gelesen != nullptr ? Ini_GetInt(gelesen, SCHNITTSTELLEN_SEKTION, WIEDERVERBINDEN, &alt) : 0;
    if (gefunden <= 0 || (alt != 0 && alt != 1))
        alt = 0;  // absent or unusable reads as off and stays as it was while off
    if (wiederverbinden != alt)
        Ini_PutInt(ini, SCHNITTSTELLEN_SEKTION, WIEDERVERBINDEN, wiederverbinden);
}

int SchnittstellenAusDatei(const char *pfad)
{
    IniStore *ini = Ini_New(1);
    if (Ini_ReadFromFile(ini, pfad) < 0) {
        Ini_Dispose(ini);
        SchnittstellenAusIni(nullptr);
        struct stat info;
        return stat(pfad, &info) != 0 && errno == ENOENT ? FEHLER_INI_NICHT_GEFUNDEN : FEHLER_INI_LESEN;
    }
    SchnittstellenAusIni(ini);
    Ini_Dispose(ini);
    return 0;
}

int AutomatischWiederverbinden(void)
{
    return wiederverbinden;
}

void AutomatischWiederverbindenSetzen(int ein)
{
    wiederverbinden = ein != 0;
}
