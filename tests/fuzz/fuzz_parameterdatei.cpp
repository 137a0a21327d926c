// Fuzz target for loading parameter-set files. The input is the file the operator picks: the
// program's panels are loaded headless, the load popup is answered with a file holding the input,
// and LeseParameterAusDatei runs the whole load path (checks, scaling, panel values).
// Checked beyond "no crash, no undefined behaviour":
//  - the result is the code the file's length, head and values call for;
//  - a failed load leaves gKonfig, the scaling dialog and the main panel's values as they were;
//  - after a load the file's scaling is in force exactly, and the panel saves a file that loads again.
#include "app/Parameterdatei.h"
#include "app/TLX1Func.h"
#include "app/TLX1Konfig.h"
#include "app/TLX1Steuerung.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <unistd.h>

namespace {

// Temporary files on a memory file system when there is one: a save flushes its file to the disk.
std::string TempPfad(const char *name)
{
    const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/fuzz_parameterdatei-" + std::to_string(getpid()) + "-" + name;
}

void PanelsLaden()
{
    UiTest_Reset();
    TLX1Steuerung_PanelDateiRegistrieren();
    panelHandle = LoadPanel(0, TLX1STEUERUNG_UIR, PANEL);
    aboutpanelHandle = LoadPanel(panelHandle, TLX1STEUERUNG_UIR, ABOUTPANEL);
    konfigpanelHandle = LoadPanel(panelHandle, TLX1STEUERUNG_UIR, KONFIGPNL);
    if (panelHandle <= 0 || aboutpanelHandle <= 0 || konfigpanelHandle <= 0)
        std::abort();
    PanelsInitialisieren("V 1.1", "08/2008");
    KonfigstrukturAufStandardwerte();
}

// What a load may change, as the bytes of a record: the main panel's ten values and gKonfig, then
// the scaling dialog's fields.
std::string Zustand()
{
    Parameterdatei d{};
    LeseParameterAusGUI(&d);
    d.konfig = gKonfig;
    unsigned char bytes[PARAMETERDATEI_GROESSE];
    Parameterdatei_Kodieren(&d, bytes);
    std::string s(reinterpret_cast<const char *>(bytes), sizeof bytes);
    for (int c : {KONFIGPNL_SKALMIN_VOLT, KONFIGPNL_SKALMAX_VOLT, KONFIGPNL_SKALMIN_UMGERECHNET,
                  KONFIGPNL_SKALMAX_UMGERECHNET}) {
        double v = 0.0;
        GetCtrlVal(konfigpanelHandle, c, &v);
        s.append(reinterpret_cast<const char *>(&v), sizeof v);
    }
    char einheit[16] = {};
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, einheit, sizeof einheit);
    return s + einheit;
}

bool Gleich(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// The ten values and the scaling finite, and the scaling one that can be applied.
bool Brauchbar(const uint8_t *data)
{
    Parameterdatei d{};
    Parameterdatei_Dekodieren(data, &d);
    const Parametersatz &s = d.satz;
    for (double w : {s.P, s.I, s.D, s.min, s.max, s.anfangssoll, s.anstiegszeit, s.betriebsart, d.zoommin, d.zoommax})
        if (!std::isfinite(w))
            return false;
    return KonfigPruefen(d.konfig.vmin, d.konfig.vmax, d.konfig.einheitmin, d.konfig.einheitmax) == KONFIG_BRAUCHBAR;
}

int Laden(const std::string &pfad)
{
    UiTest_AnswerNextFilePopup(VAL_EXISTING_FILE_SELECTED, pfad.c_str());
    return LeseParameterAusDatei();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string eingabe = TempPfad("eingabe.tlx");
    static const std::string ausgabe = TempPfad("ausgabe.tlx");

    std::FILE *f = std::fopen(eingabe.c_str(), "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();

    PanelsLaden();
    const std::string vorher = Zustand();
    const int code = Laden(eingabe);

    int erwartet = 0;
    if (size < PARAMETERDATEI_KOPF)
        erwartet = -304104;
    else if ((erwartet = Parameterdatei_KopfPruefen(data)) == 0 && size < PARAMETERDATEI_GROESSE)
        erwartet = -304107;
    else if (erwartet == 0 && !Brauchbar(data))
        erwartet = -304108;
    if (code != erwartet)
        std::abort();

    if (code != 0) {
        if (Zustand() != vorher)
            std::abort();  // a failed load changed something
        return 0;
    }

    Parameterdatei datei{};
    Parameterdatei_Dekodieren(data, &datei);
    const KonfigStruktur &k = datei.konfig;
    if (!Gleich(gKonfig.vmin, k.vmin) || !Gleich(gKonfig.vmax, k.vmax) || !Gleich(gKonfig.einheitmin, k.einheitmin) ||
        !Gleich(gKonfig.einheitmax, k.einheitmax) || std::strcmp(gKonfig.einheit, k.einheit) != 0)
        std::abort();  // the file's scaling is not the one in force

    UiTest_AnswerNextFilePopup(VAL_NEW_FILE_SELECTED, ausgabe.c_str());
    if (SchreibeParameterInDatei() != 0 || Laden(ausgabe) != 0)
        std::abort();
    std::remove(ausgabe.c_str());
    return 0;
}
