#include "app/Parameterdatei.h"

#include "platform/fileio/fileio.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Byte offsets of the fields.
namespace {

constexpr int kOffVersion = 32;
constexpr int kOffWerte = 40;
constexpr int kOffKonfig = 120;
constexpr int kOffEinheit = 152;
constexpr int kEinheitBytes = 6;

void putU32(unsigned char *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t getU32(const unsigned char *p)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return v;
}

void putDouble(unsigned char *p, double d)
{
    const auto v = std::bit_cast<std::uint64_t>(d);
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

double getDouble(const unsigned char *p)
{
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
    return std::bit_cast<double>(v);
}

// The ten values at offset 40, in file order.
constexpr int kWerte = 10;

void werteLesen(const Parameterdatei *d, double out[kWerte])
{
    const Parametersatz &s = d->satz;
    const double werte[kWerte] = {s.P,           s.I,        s.D,       s.min, s.max, s.anfangssoll, s.anstiegszeit,
                                  s.betriebsart, d->zoommin, d->zoommax};
    std::memcpy(out, werte, sizeof werte);
}

void werteSetzen(Parameterdatei *d, const double in[kWerte])
{
    Parametersatz &s = d->satz;
    double *ziele[kWerte] = {&s.P,           &s.I,        &s.D,       &s.min, &s.max, &s.anfangssoll, &s.anstiegszeit,
                             &s.betriebsart, &d->zoommin, &d->zoommax};
    for (int i = 0; i < kWerte; ++i)
        *ziele[i] = in[i];
}

}  // namespace

static_assert(sizeof PARAMETERDATEI_TYP == 24, "type text is 23 characters and its zero");
// The record's fields sit where the file has them (on hosts that align doubles to 8 bytes).
static_assert(offsetof(Parameterdatei, version) == kOffVersion);
static_assert(offsetof(Parameterdatei, satz) == kOffWerte);
static_assert(offsetof(Parameterdatei, konfig) == kOffKonfig);
static_assert(sizeof(Parameterdatei) == PARAMETERDATEI_GROESSE);
static_assert(sizeof(KonfigStruktur::einheit) == kEinheitBytes, "unit field is 6 bytes");

void Parameterdatei_Kodieren(const Parameterdatei *datei, unsigned char bytes[PARAMETERDATEI_GROESSE])
{
    std::memset(bytes, 0, PARAMETERDATEI_GROESSE);
    std::memcpy(bytes, PARAMETERDATEI_TYP, sizeof PARAMETERDATEI_TYP);
    putU32(bytes + kOffVersion, PARAMETERDATEI_VERSION);

    double werte[kWerte];
    werteLesen(datei, werte);
    for (int i = 0; i < kWerte; ++i)
        putDouble(bytes + kOffWerte + 8 * i, werte[i]);

    const KonfigStruktur &k = datei->konfig;
    putDouble(bytes + kOffKonfig, k.vmin);
    putDouble(bytes + kOffKonfig + 8, k.vmax);
    putDouble(bytes + kOffKonfig + 16, k.einheitmin);
    putDouble(bytes + kOffKonfig + 24, k.einheitmax);
    // Only the text and its zero; whatever followed the zero in memory stays out of the file.
    const std::size_t laenge = strnlen(k.einheit, kEinheitBytes - 1);
    std::memcpy(bytes + kOffEinheit, k.einheit, laenge);
}

int Parameterdatei_KopfPruefen(const unsigned char kopf[PARAMETERDATEI_KOPF])
{
    if (std::memcmp(kopf, PARAMETERDATEI_TYP, sizeof PARAMETERDATEI_TYP) != 0)
        return -302105;
    if (static_cast<std::int32_t>(getU32(kopf + kOffVersion)) != PARAMETERDATEI_VERSION)
        return -303106;
    return 0;
}

void Parameterdatei_Dekodieren(const unsigned char bytes[PARAMETERDATEI_GROESSE], Parameterdatei *datei)
{
    std::memcpy(datei->typ, bytes, sizeof datei->typ);
    datei->version = static_cast<std::int32_t>(getU32(bytes + kOffVersion));
    double werte[kWerte];
    for (int i = 0; i < kWerte; ++i)
        werte[i] = getDouble(bytes + kOffWerte + 8 * i);
    werteSetzen(datei, werte);

    KonfigStruktur &k = datei->konfig;
    k.vmin = getDouble(bytes + kOffKonfig);
    k.vmax = getDouble(bytes + kOffKonfig + 8);
    k.einheitmin = getDouble(bytes + kOffKonfig + 16);
    k.einheitmax = getDouble(bytes + kOffKonfig + 24);
    std::memcpy(k.einheit, bytes + kOffEinheit, kEinheitBytes);
    k.einheit[kEinheitBytes - 1] = '\0';
}

// ---- files --------------------------------------------------------------------------------------

namespace {

constexpr int kFehlerAnlegen = -308101;
constexpr int kFehlerSchreiben = -301102;
constexpr int kFehlerOeffnen = -308103;
constexpr int kFehlerKopfFehlt = -304104;
constexpr int kFehlerRestFehlt = -304107;
constexpr int kFehlerWerte = -304108;

// Every double finite and the scaling one that can be applied: a damaged or hand-made file must
// not bring infinities or NaN into the panel, the settings file or a module.
bool WerteBrauchbar(const Parameterdatei &d)
{
    double werte[kWerte];
    werteLesen(&d, werte);
    for (double w : werte)
        if (!std::isfinite(w))
            return false;
    const KonfigStruktur &k = d.konfig;
    return KonfigPruefen(k.vmin, k.vmax, k.einheitmin, k.einheitmax) == KONFIG_BRAUCHBAR;
}

// Room for the folder of a chosen path and the temporary file's name.
constexpr int kTempPfadLaenge = 4096 + 64;

}  // namespace

int Parameterdatei_Schreiben(const char *pfad, const Parameterdatei *datei)
{
    if (pfad == nullptr || datei == nullptr)
        return kFehlerAnlegen;
    unsigned char bytes[PARAMETERDATEI_GROESSE];
    Parameterdatei_Kodieren(datei, bytes);

    // A full disk or a failing medium must not destroy the operator's earlier file: the target is
    // replaced only by a complete file that is on the disk.
    // A symbolic link stays and its target gets the new content; a dangling one creates nothing.
    char ziel[kTempPfadLaenge];
    if (ResolveLinks(pfad, ziel, sizeof ziel) != 0)
        return kFehlerAnlegen;
    char temp[kTempPfadLaenge];
    const int handle = OpenTempFileBeside(ziel, temp, sizeof temp);
    if (handle < 0)
        return kFehlerAnlegen;
    const bool vollstaendig =
        WriteFile(handle, reinterpret_cast<const char *>(bytes), PARAMETERDATEI_GROESSE) == PARAMETERDATEI_GROESSE;
    const bool geschlossen = CloseFile(handle) == 0;  // includes the flush to the disk
    if (!vollstaendig || !geschlossen || RenameFile(temp, ziel) != 0) {
        DeleteFile(temp);
        return kFehlerSchreiben;
    }
    return 0;
}

int Parameterdatei_Lesen(const char *pfad, Parameterdatei *datei)
{
    if (pfad == nullptr || datei == nullptr)
        return kFehlerOeffnen;
    const int handle = OpenFile(pfad, VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_BINARY);
    if (handle < 0)
        return kFehlerOeffnen;
    unsigned char bytes[PARAMETERDATEI_GROESSE] = {};
    char *puffer = reinterpret_cast<char *>(bytes);
    constexpr int kRest = PARAMETERDATEI_GROESSE - PARAMETERDATEI_KOPF;
    int code = kFehlerKopfFehlt;
    if (ReadFile(handle, puffer, PARAMETERDATEI_KOPF) == PARAMETERDATEI_KOPF) {
        code = Parameterdatei_KopfPruefen(bytes);
        if (code == 0 && ReadFile(handle, puffer + PARAMETERDATEI_KOPF, kRest) != kRest)
            code = kFehlerRestFehlt;
    }
    CloseFile(handle);  // only read: nothing to lose
    if (code != 0)
        return code;
    Parameterdatei gelesen{};
    Parameterdatei_Dekodieren(bytes, &gelesen);
    if (!WerteBrauchbar(gelesen))
        return kFehlerWerte;
    *datei = gelesen;
    return 0;
}
