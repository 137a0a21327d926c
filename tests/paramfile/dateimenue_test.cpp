// Saving and loading parameter-set files from the main panel's menu, as the operator does it: the
// program runs on the headless panels in a working folder of its own.
#include "app/Parameterdatei.h"
#include "app/TLX1Func.h"
#include "app/TLX1Konfig.h"
#include "app/TLX1Steuerung.h"
#include "platform/fileio/fileio.h"
#include "platform/userint/userint.h"
#include "tests/paramfile/Referenzdatei.h"
#include "ui/TLX1Steuerung.h"

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

class DateiTest : public ::testing::Test {
 protected:
    void SetUp() override
    {
        old_ = fs::current_path();
        std::string d = (fs::temp_directory_path() / "tlx1datei-XXXXXX").string();
        ASSERT_NE(mkdtemp(d.data()), nullptr);
        dir_ = d;
        fs::current_path(dir_);
    }
    void TearDown() override
    {
        FileIO_FailWriteAfter(0, 0);
        fs::current_path(old_);
        fs::remove_all(dir_);
    }

    // Starts the program; the script plays the operator while the event loop runs.
    static void run(std::function<void()> script)
    {
        UiTest_Reset();
        UiTest_SetRunScript([&script] {
            script();
            UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
        });
        char name[] = "tlx1steuerung";
        char *argv[] = {name, nullptr};
        ASSERT_EQ(TLX1Steuerung_Main(1, argv), 0);
    }

    // The operator chooses a file menu item and answers its file popup.
    static void speichern(const std::string &pfad, int antwort = VAL_NEW_FILE_SELECTED)
    {
        UiTest_AnswerNextFilePopup(antwort, pfad.c_str());
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_PARAMETE_2);
    }
    static void laden(const std::string &pfad, int antwort = VAL_EXISTING_FILE_SELECTED)
    {
        UiTest_AnswerNextFilePopup(antwort, pfad.c_str());
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_PARAMETE);
    }
    // Message popups shown since the last call, as "title|text".
    static std::vector<std::string> meldungen()
    {
        std::vector<std::string> m;
        for (const UiTestPopup &p : UiTest_Popups())
            if (p.kind == UiTestPopup::MESSAGE)
                m.push_back(p.title + "|" + p.text);
        UiTest_ClearPopups();
        return m;
    }

    static double num(int p, int c) { double v = -1e9; GetCtrlVal(p, c, &v); return v; }
    static std::string text(int p, int c) { char b[256] = "?"; GetCtrlVal(p, c, b, sizeof b); return b; }
    static int precision(int c) { int v = -1; GetCtrlAttribute(panelHandle, c, ATTR_PRECISION, &v); return v; }

    // The operator applies a scaling in the dialog.
    static void skalieren(double vmin, double vmax, double emin, double emax, const char *einheit)
    {
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT, vmin);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMAX_VOLT, vmax);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMIN_UMGERECHNET, emin);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, emax);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, einheit);
        UiTest_Press(konfigpanelHandle, KONFIGPNL_OK);
    }

    // Everything a load may change, and the error display, as one comparable text.
    static std::string zustand()
    {
        std::ostringstream s;
        s.precision(17);
        s << gKonfig.vmin << ' ' << gKonfig.vmax << ' ' << gKonfig.einheitmin << ' ' << gKonfig.einheitmax << ' '
          << std::string(gKonfig.einheit, strnlen(gKonfig.einheit, sizeof gKonfig.einheit)) << '\n';
        for (int c = KONFIGPNL_SKALMIN_VOLT; c <= KONFIGPNL_SKALMAX_UMGERECHNET; ++c)
            if (c != KONFIGPNL_TEXTMSG_2)
                s << num(konfigpanelHandle, c) << ' ';
        s << text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT) << '\n';
        for (int c = PANEL_PANTEIL; c <= PANEL_BETRIEBSART; ++c) {
            double lo = 0, hi = 0;
            GetCtrlAttribute(panelHandle, c, ATTR_MIN_VALUE, &lo);
            GetCtrlAttribute(panelHandle, c, ATTR_MAX_VALUE, &hi);
            s << num(panelHandle, c) << " [" << lo << ',' << hi << "] " << precision(c) << '\n';
        }
        for (int c : {PANEL_SOLLWERT, PANEL_ISTWERT, PANEL_GRAPHZOOMMIN, PANEL_GRAPHZOOMMAX})
            s << num(panelHandle, c) << ' ' << precision(c) << '\n';
        for (int c : {PANEL_ANFANGSSOLLWERTEINHEI, PANEL_ANSTEIGSZEITEINHEIT, PANEL_SOLLWERTEINHEIT,
                      PANEL_ISTWERTEINHEIT, PANEL_ZOOMMINEINHEIT, PANEL_ZOOMMAXEINHEIT, PANEL_FEHLERSTRING})
            s << text(panelHandle, c) << ' ';
        int mode = -1, led = -1, nummer = -1;
        double amin = 0, amax = 0;
        GetAxisScalingMode(panelHandle, PANEL_STRIPCHART, VAL_LEFT_YAXIS, &mode, &amin, &amax);
        std::string achse;
        GetCtrlAttribute(panelHandle, PANEL_STRIPCHART, ATTR_YNAME, &achse);
        GetCtrlVal(panelHandle, PANEL_FEHLERLED, &led);
        GetCtrlVal(panelHandle, PANEL_FEHLERNUMMER, &nummer);
        s << '\n' << mode << ' ' << amin << ' ' << amax << ' ' << achse << ' ' << led << ' ' << nummer;
        return s.str();
    }

    Bytes lesen(const std::string &name) const
    {
        std::ifstream f(dir_ / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    void schreiben(const std::string &name, const Bytes &b) const
    {
        std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char *>(b.data()),
                                                           static_cast<std::streamsize>(b.size()));
    }
    std::set<std::string> ordner() const
    {
        std::set<std::string> namen;
        for (const auto &e : fs::directory_iterator(dir_))
            if (e.path().filename() != "tlx1steuerung.ini")
                namen.insert(e.path().filename().string());
        return namen;
    }

    fs::path dir_, old_;
};

Bytes referenz() { return Bytes(std::begin(kDesignFile), std::end(kDesignFile)); }

void setzeDouble(Bytes &b, std::size_t offset, double d)
{
    const auto v = std::bit_cast<std::uint64_t>(d);
    for (int i = 0; i < 8; ++i) b[offset + i] = static_cast<unsigned char>(v >> (8 * i));
}

double holeDouble(const Bytes &b, std::size_t offset)
{
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(b[offset + i]) << (8 * i);
    return std::bit_cast<double>(v);
}

const std::string LESEFEHLER = "Fehler beim Lesen der Datei";
const std::string OEFFNEN = "Fehler beim \xD6" "ffnen der Datei";

TEST_F(DateiTest, SavedSetComesBackWithItsScalingAfterTheFieldsWereChanged)
{
    run([&] {
        skalieren(0, 10, 0, 100, "%");
        UiTest_Enter(panelHandle, PANEL_PANTEIL, 2.5);
        UiTest_Enter(panelHandle, PANEL_IANTEIL, 0.5);
        UiTest_Enter(panelHandle, PANEL_DANTEIL, 0.01);
        UiTest_Enter(panelHandle, PANEL_STELLMIN, 1.0);
        UiTest_Enter(panelHandle, PANEL_STELLMAX, 9.0);
        UiTest_Enter(panelHandle, PANEL_ANFANGSSOLLWERT, 50.0);
        UiTest_Enter(panelHandle, PANEL_ANSTIEGSZEIT, 250.0);
        UiTest_PickRingValue(panelHandle, PANEL_BETRIEBSART, 3.0);
        UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMIN, 20.0);
        UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMAX, 80.0);
        const std::string gespeichert = zustand();
        meldungen();
        speichern("satz.tlx");
        EXPECT_TRUE(meldungen().empty());

        // Back to volts and other values; the setpoint stands at 4 V.
        skalieren(0, 10, 0, 10, "V");
        for (int c : {PANEL_PANTEIL, PANEL_IANTEIL, PANEL_DANTEIL, PANEL_STELLMIN, PANEL_ANFANGSSOLLWERT,
                      PANEL_ANSTIEGSZEIT, PANEL_GRAPHZOOMMIN})
            UiTest_Enter(panelHandle, c, 0.25);
        UiTest_PickRingValue(panelHandle, PANEL_BETRIEBSART, 2.0);
        SetCtrlVal(panelHandle, PANEL_SOLLWERT, 4.0);

        laden("satz.tlx");
        EXPECT_TRUE(meldungen().empty());
        // The setpoint keeps its number, now read in percent.
        EXPECT_DOUBLE_EQ(num(panelHandle, PANEL_SOLLWERT), 4.0);
        SetCtrlVal(panelHandle, PANEL_SOLLWERT, 0.0);
        // Values, ranges, decimals, units, dialog and chart axis as they were when saved.
        EXPECT_EQ(zustand(), gespeichert);
    });

    // The file: the values as shown, in percent where the panel shows percent, and the scaling.
    const Bytes b = lesen("satz.tlx");
    ASSERT_EQ(b.size(), 160u);
    EXPECT_EQ(holeDouble(b, 40), 2.5);
    EXPECT_EQ(holeDouble(b, 80), 50.0);
    EXPECT_EQ(holeDouble(b, 88), 250.0);
    EXPECT_EQ(holeDouble(b, 96), 3.0);
    EXPECT_EQ(holeDouble(b, 112), 80.0);
    EXPECT_EQ(holeDouble(b, 144), 100.0);
    EXPECT_EQ(std::memcmp(b.data() + 152, "%\0\0\0\0\0\0\0", 8), 0);
}

TEST_F(DateiTest, DesignValuesSaveAsTheReferenceFileThroughTheAskedPopups)
{
    run([&] {
        speichern("design.tlx");
        laden("design.tlx");
        const std::vector<UiTestPopup> p = UiTest_Popups();
        ASSERT_EQ(p.size(), 2u) << "no message";
        EXPECT_EQ(p[0].kind, UiTestPopup::FILE_SELECT);
        EXPECT_EQ(p[0].title, "Speichern");
        EXPECT_EQ(p[0].text, "*.tlx");
        EXPECT_EQ(p[0].buttonLabel, VAL_SAVE_BUTTON);
        EXPECT_EQ(p[1].title, "Laden");
        EXPECT_EQ(p[1].text, "*.tlx");
        EXPECT_EQ(p[1].buttonLabel, VAL_LOAD_BUTTON);
    });
    EXPECT_EQ(lesen("design.tlx"), referenz());
}

TEST_F(DateiTest, FailedLoadShowsItsNumberAndChangesNothing)
{
    Bytes kopfFalsch = referenz();
    kopfFalsch[23] = 'x';   // the type text goes on past its 23 characters
    Bytes version1 = referenz(), version3 = referenz();
    version1[32] = 1;
    version3[32] = 3;
    struct Fall {
        const char *name;
        Bytes inhalt;
        int nummer;
        std::string text;
    };
    const Fall faelle[] = {
        {"leer.tlx", {}, 304104, LESEFEHLER},
        {"kopf35.tlx", Bytes(kDesignFile, kDesignFile + 35), 304104, LESEFEHLER},
        {"kopf36.tlx", Bytes(kDesignFile, kDesignFile + 36), 304107, LESEFEHLER},
        {"kurz159.tlx", Bytes(kDesignFile, kDesignFile + 159), 304107, LESEFEHLER},
        {"typ.tlx", kopfFalsch, 302105, "Die Datei ist nicht vom richtigen Typ"},
        {"v1.tlx", version1, 303106, "Die Datei hat die falsche Versionsnummer"},
        {"v3.tlx", version3, 303106, "Die Datei hat die falsche Versionsnummer"},
    };
    for (const Fall &f : faelle)
        schreiben(f.name, f.inhalt);
    fs::create_directory(dir_ / "ordner.tlx");

    run([&] {
        skalieren(0, 10, 0, 100, "%");
        UiTest_Enter(panelHandle, PANEL_PANTEIL, 12.5);
        // An edit in the dialog that was never applied stays too.
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMAX_VOLT, 5.0);
        UiTest_Press(konfigpanelHandle, KONFIGPNL_ABBRUCH);
        const std::string vorher = zustand();
        meldungen();
        for (const Fall &f : faelle) {
            laden(f.name);
            EXPECT_EQ(meldungen(), std::vector<std::string>{"Fehler #" + std::to_string(f.nummer) + "|" + f.text})
                << f.name;
            EXPECT_EQ(zustand(), vorher) << f.name;
        }
        laden("fehlt.tlx");
        EXPECT_EQ(meldungen(), std::vector<std::string>{"Fehler #308103|" + OEFFNEN});
        laden("ordner.tlx");
        EXPECT_EQ(meldungen(), std::vector<std::string>{"Fehler #304104|" + LESEFEHLER});
        EXPECT_EQ(zustand(), vorher);
    });
}

TEST_F(DateiTest, UndefinedAndTrailingBytesAreIgnoredAndAUnitWithoutZeroIsCut)
{
    Bytes lang = referenz();
    setzeDouble(lang, 40, 3.0);
    std::memset(lang.data() + 24, 0x5A, 8);
    std::memset(lang.data() + 36, 0xA5, 4);
    std::memcpy(lang.data() + 152, "mV\0\xFF\xFF\xFF\x01\x02", 8);
    lang.insert(lang.end(), 100, 0xEE);
    schreiben("lang.tlx", lang);

    Bytes ohneNull = referenz();
    std::memcpy(ohneNull.data() + 152, "abcdefgh", 8);
    schreiben("ohne.tlx", ohneNull);

    run([&] {
        laden("lang.tlx");
        EXPECT_TRUE(meldungen().empty());
        EXPECT_EQ(num(panelHandle, PANEL_PANTEIL), 3.0);
        EXPECT_STREQ(gKonfig.einheit, "mV");
        EXPECT_EQ(text(panelHandle, PANEL_ANSTEIGSZEITEINHEIT), "[mV/s]");

        laden("ohne.tlx");
        EXPECT_TRUE(meldungen().empty());
        EXPECT_STREQ(gKonfig.einheit, "abcde");
        EXPECT_EQ(text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT), "abcde");
        EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[abcde]");
    });
}

TEST_F(DateiTest, CancelledPopupsDoNothing)
{
    schreiben("da.tlx", referenz());
    run([&] {
        skalieren(0, 10, 0, 100, "%");
        const std::string vorher = zustand();
        meldungen();
        speichern("neu.tlx", VAL_NO_FILE_SELECTED);
        laden("da.tlx", VAL_NO_FILE_SELECTED);
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_PARAMETE);   // unanswered: cancelled
        EXPECT_TRUE(meldungen().empty());
        EXPECT_EQ(zustand(), vorher);
        EXPECT_EQ(ordner(), std::set<std::string>{"da.tlx"});
    });
}

TEST_F(DateiTest, FailedSaveKeepsTheEarlierFileAndLeavesNoTemporaryFile)
{
    run([&] {
        speichern("satz.tlx");
        fs::permissions(dir_ / "satz.tlx", fs::perms(0640));
        UiTest_Enter(panelHandle, PANEL_PANTEIL, 5.0);
        meldungen();

        FileIO_FailWriteAfter(1, ENOSPC);   // the disk is full
        speichern("satz.tlx", VAL_EXISTING_FILE_SELECTED);
        FileIO_FailWriteAfter(0, 0);
        EXPECT_EQ(meldungen(), std::vector<std::string>{"Fehler #301102|Fehler beim Schreiben auf Datei"});
        EXPECT_EQ(lesen("satz.tlx"), referenz());

        fs::create_directory(dir_ / "ordner.tlx");
        for (const char *ziel : {"fehlt/satz.tlx", "ordner.tlx", "satz.tlx/"}) {
            speichern(ziel);
            EXPECT_EQ(meldungen(), std::vector<std::string>{"Fehler #308101|" + OEFFNEN}) << ziel;
        }
        EXPECT_TRUE(fs::is_empty(dir_ / "ordner.tlx"));
        EXPECT_EQ(ordner(), (std::set<std::string>{"ordner.tlx", "satz.tlx"}));
        EXPECT_EQ(lesen("satz.tlx"), referenz());
        EXPECT_EQ(num(panelHandle, PANEL_PANTEIL), 5.0) << "a failed save changes nothing";

        // A save that works replaces the content and keeps the file's permissions.
        speichern("satz.tlx", VAL_EXISTING_FILE_SELECTED);
        EXPECT_TRUE(meldungen().empty());
        EXPECT_EQ(holeDouble(lesen("satz.tlx"), 40), 5.0);
        EXPECT_EQ(fs::status(dir_ / "satz.tlx").permissions(), fs::perms(0640));
        EXPECT_EQ(ordner(), (std::set<std::string>{"ordner.tlx", "satz.tlx"}));
    });
}

// A damaged or hand-made file may hold infinities and NaN, also in its scaling (equal end points
// divide by zero): it loads, and the panels stay usable.
TEST_F(DateiTest, NonFiniteValuesLoadWithoutHarm)
{
    Bytes b = referenz();
    setzeDouble(b, 40, std::nan(""));
    setzeDouble(b, 80, -INFINITY);
    setzeDouble(b, 96, std::nan(""));
    setzeDouble(b, 112, INFINITY);
    setzeDouble(b, 128, 0.0);   // vmax equal to vmin
    schreiben("nichtendlich.tlx", b);
    Bytes nan = referenz();
    for (std::size_t off = 40; off < 152; off += 8)
        setzeDouble(nan, off, std::nan(""));
    schreiben("nan.tlx", nan);

    run([&] {
        for (const char *name : {"nichtendlich.tlx", "nan.tlx"}) {
            laden(name);
            EXPECT_TRUE(meldungen().empty()) << name;
            for (int c : {PANEL_ANFANGSSOLLWERT, PANEL_SOLLWERT, PANEL_ISTWERT, PANEL_PANTEIL}) {
                EXPECT_GE(precision(c), 0) << name;
                EXPECT_LE(precision(c), 15) << name;
            }
        }
        EXPECT_TRUE(std::isnan(gKonfig.vmin));
        // Loading a sound file afterwards brings everything back.
        schreiben("gut.tlx", referenz());
        laden("gut.tlx");
        speichern("wieder.tlx");
        EXPECT_TRUE(meldungen().empty());
    });
    EXPECT_EQ(lesen("wieder.tlx"), referenz());
}

}  // namespace
