// Parameter-set files: the record's bytes, and saving and loading from the main panel's menu as the
// operator does it.
#include "app/Parameterdatei.h"
#include "app/TLX1Func.h"
#include "platform/fileio/fileio.h"
#include "tests/app/AppFixture.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// The file the main panel's design values give under the default scaling.
constexpr unsigned char kDesignFile[PARAMETERDATEI_GROESSE] = {
    0x6f, 0x6b, 0x76, 0x20, 0x74, 0x6c, 0x78, 0x31, 0x20, 0x70, 0x61, 0x72, 0x61, 0x6d, 0x65, 0x74, 0x65, 0x72,
    0x64, 0x61, 0x74, 0x65, 0x69, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xf0, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x24, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x40, 0x8f, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf0, 0x3f, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x24, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x24, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x24, 0x40, 0x56, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

TEST(Parameterdatei, DesignValuesGiveTheReferenceBytesAndUndefinedBytesAreZero)
{
    Parameterdatei d{};
    d.satz = Parametersatz{0, 1, 0, 0, 10, 0, 1000, 1};
    d.zoommin = 0;
    d.zoommax = 10;
    d.konfig = KonfigStruktur{0, 10, 0, 10, "V"};
    unsigned char bytes[PARAMETERDATEI_GROESSE];
    std::memset(bytes, 0xAA, sizeof bytes);
    Parameterdatei_Kodieren(&d, bytes);
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + sizeof bytes),
              std::vector<unsigned char>(kDesignFile, kDesignFile + sizeof kDesignFile));
}

class DateiTest : public AppTest {
protected:
    // Runs the program with the script and quits.
    static void ablauf(std::function<void()> script)
    {
        ASSERT_EQ(run([&script] {
                      script();
                      quit();
                  }),
                  0);
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
        for (int c = PANEL_PANTEIL; c <= PANEL_BETRIEBSART; ++c)
            s << num(panelHandle, c) << " [" << limit(c, ATTR_MIN_VALUE) << ',' << limit(c, ATTR_MAX_VALUE) << "] "
              << precision(c) << '\n';
        for (int c : {PANEL_SOLLWERT, PANEL_ISTWERT, PANEL_GRAPHZOOMMIN, PANEL_GRAPHZOOMMAX})
            s << num(panelHandle, c) << ' ' << precision(c) << '\n';
        for (int c : {PANEL_ANFANGSSOLLWERTEINHEI, PANEL_ANSTEIGSZEITEINHEIT, PANEL_SOLLWERTEINHEIT,
                      PANEL_ISTWERTEINHEIT, PANEL_ZOOMMINEINHEIT, PANEL_ZOOMMAXEINHEIT, PANEL_FEHLERSTRING})
            s << text(panelHandle, c) << ' ';
        const auto [mode, lo, hi] = axis();
        s << '\n'
          << mode << ' ' << lo << ' ' << hi << ' ' << axisName() << ' ' << integer(panelHandle, PANEL_FEHLERLED) << ' '
          << integer(panelHandle, PANEL_FEHLERNUMMER);
        return s.str();
    }

    std::set<std::string> ordner() const
    {
        std::set<std::string> namen;
        for (const auto &e : fs::directory_iterator(dir_))
            if (e.path().filename() != "tlx1steuerung.ini")
                namen.insert(e.path().filename().string());
        return namen;
    }
};

const std::string REFERENZ(reinterpret_cast<const char *>(kDesignFile), sizeof kDesignFile);

// The reference file with the double at `offset` replaced.
std::string mitDouble(std::string b, std::size_t offset, double d)
{
    const auto v = std::bit_cast<std::uint64_t>(d);
    for (int i = 0; i < 8; ++i)
        b[offset + i] = static_cast<char>(v >> (8 * i));
    return b;
}

const std::string LESEFEHLER = "Fehler beim Lesen der Datei";
const std::string OEFFNEN = "Fehler beim \xD6"
                            "ffnen der Datei";
using Meldungen = std::vector<std::string>;

// Every field and the scaling hold distinct values, so the saved bytes show each at its own place.
TEST_F(DateiTest, SavedSetComesBackWithItsScalingAfterTheFieldsWereChanged)
{
    // clang-format off
    const std::tuple<int, double, std::size_t> felder[] = {
        {PANEL_PANTEIL, 2.5, 40},         {PANEL_IANTEIL, 0.5, 48},       {PANEL_DANTEIL, 0.01, 56},
        {PANEL_STELLMIN, 1.5, 64},        {PANEL_STELLMAX, 8.5, 72},      {PANEL_ANFANGSSOLLWERT, 50.0, 80},
        {PANEL_ANSTIEGSZEIT, 250.0, 88},  {PANEL_GRAPHZOOMMIN, 20.0, 104}, {PANEL_GRAPHZOOMMAX, 80.0, 112},
    };
    // clang-format on
    ablauf([&] {
        scale(1, 9, 10, 90, "mbar");
        for (const auto &[c, v, offset] : felder)
            UiTest_Enter(panelHandle, c, v);
        UiTest_PickRingValue(panelHandle, PANEL_BETRIEBSART, 3.0);
        const std::string gespeichert = zustand();
        messages();
        speichern("satz.tlx");
        EXPECT_TRUE(messages().empty());

        // Back to volts and other values; the setpoint stands at 4 V.
        scale(0, 10, 0, 10, "V");
        for (const auto &[c, v, offset] : felder)
            if (c != PANEL_STELLMAX && c != PANEL_GRAPHZOOMMAX)
                UiTest_Enter(panelHandle, c, 0.25);
        UiTest_PickRingValue(panelHandle, PANEL_BETRIEBSART, 2.0);
        SetCtrlVal(panelHandle, PANEL_SOLLWERT, 4.0);

        laden("satz.tlx");
        EXPECT_TRUE(messages().empty());
        // The setpoint keeps its number, now read in the file's unit.
        EXPECT_DOUBLE_EQ(num(panelHandle, PANEL_SOLLWERT), 4.0);
        SetCtrlVal(panelHandle, PANEL_SOLLWERT, 0.0);
        // Values, ranges, decimals, units, dialog and chart axis as they were when saved.
        EXPECT_EQ(zustand(), gespeichert);
    });

    // The file holds the values as shown, in the unit where the panel shows it, and the scaling.
    std::string erwartet = REFERENZ.substr(0, 152) + std::string("mbar\0\0\0\0", 8);
    for (const auto &[c, v, offset] : felder)
        erwartet = mitDouble(erwartet, offset, v);
    for (auto [offset, v] : {std::pair{96, 3.0}, {120, 1.0}, {128, 9.0}, {136, 10.0}, {144, 90.0}})
        erwartet = mitDouble(erwartet, offset, v);
    EXPECT_EQ(readFile("satz.tlx"), erwartet);
}

TEST_F(DateiTest, DesignValuesSaveAsTheReferenceFileThroughTheAskedPopups)
{
    ablauf([&] {
        speichern("design.tlx");
        laden("design.tlx");
        const std::vector<UiTestPopup> p = UiTest_Popups();
        ASSERT_EQ(p.size(), 2u) << "no message";
        EXPECT_EQ(p[0].kind, UiTestPopup::FILE_SELECT);
        EXPECT_EQ(p[0].title + "|" + p[0].text, "Speichern|*.tlx");
        EXPECT_EQ(p[0].buttonLabel, VAL_SAVE_BUTTON);
        EXPECT_EQ(p[1].title + "|" + p[1].text, "Laden|*.tlx");
        EXPECT_EQ(p[1].buttonLabel, VAL_LOAD_BUTTON);
    });
    EXPECT_EQ(readFile("design.tlx"), REFERENZ);
}

// The panel's ten values land at offsets 40 to 119 of the record; no other byte is touched.
TEST_F(DateiTest, PanelValuesFillOnlyTheirPartOfTheRecord)
{
    ablauf([&] {
        Parameterdatei datei;
        unsigned char *bytes = reinterpret_cast<unsigned char *>(&datei);
        std::memset(bytes, 0xAA, sizeof datei);
        LeseParameterAusGUI(&datei);
        EXPECT_EQ(std::memcmp(bytes + 40, kDesignFile + 40, 80), 0);
        for (std::size_t i : {0u, 35u, 39u, 120u, 159u})
            EXPECT_EQ(bytes[i], 0xAA) << i;
    });
}

// A failed load shows its number and text; neither it nor a cancelled popup changes anything.
TEST_F(DateiTest, FailedLoadOrCancelledPopupChangesNothing)
{
    const auto mit = [](std::size_t offset, char c) {
        std::string b = REFERENZ;
        b[offset] = c;
        return b;
    };
    const struct {
        const char *name;
        std::string inhalt;
        int nummer;
        std::string text;
    } faelle[] = {
        {"leer.tlx", "", 304104, LESEFEHLER},
        {"kopf35.tlx", REFERENZ.substr(0, 35), 304104, LESEFEHLER},
        {"kopf36.tlx", REFERENZ.substr(0, 36), 304107, LESEFEHLER},
        {"kurz159.tlx", REFERENZ.substr(0, 159), 304107, LESEFEHLER},
        {"typ.tlx", mit(23, 'x'), 302105, "Die Datei ist nicht vom richtigen Typ"},  // no zero after the text
        {"gross.tlx", mit(0, 'O'), 302105, "Die Datei ist nicht vom richtigen Typ"},
        {"v1.tlx", mit(32, 1), 303106, "Die Datei hat die falsche Versionsnummer"},
        {"v3.tlx", mit(32, 3), 303106, "Die Datei hat die falsche Versionsnummer"},
        {"v258.tlx", mit(33, 1), 303106, "Die Datei hat die falsche Versionsnummer"},
        // A value that is not finite, or a scaling that cannot be applied, never enters the program.
        {"nan.tlx", mitDouble(REFERENZ, 40, NAN), 304108, LESEFEHLER},
        {"inf.tlx", mitDouble(REFERENZ, 112, -INFINITY), 304108, LESEFEHLER},
        {"vgleich.tlx", mitDouble(REFERENZ, 128, 0.0), 304108, LESEFEHLER},
        {"faktor.tlx", mitDouble(mitDouble(REFERENZ, 128, 1e-300), 144, 1e300), 304108, LESEFEHLER},
        // Only regular files are read; a FIFO without a writer does not block.
        {"fehlt.tlx", "-", 308103, OEFFNEN},
        {"ordner.tlx", "-", 308103, OEFFNEN},
        {"fifo.tlx", "-", 308103, OEFFNEN},
        {"lose.tlx", "-", 308103, OEFFNEN},
    };
    for (const auto &f : faelle)
        if (f.inhalt != "-")
            writeFile(f.name, f.inhalt);
    fs::create_directory(dir_ / "ordner.tlx");
    mkfifo((dir_ / "fifo.tlx").c_str(), 0600);
    fs::create_symlink("fehlt.tlx", dir_ / "lose.tlx");

    ablauf([&] {
        scale(0, 10, 0, 100, "%");
        UiTest_Enter(panelHandle, PANEL_PANTEIL, 12.5);
        // An edit in the dialog that was never applied stays too.
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMAX_VOLT, 5.0);
        UiTest_Press(konfigpanelHandle, KONFIGPNL_ABBRUCH);
        const std::string vorher = zustand();
        messages();
        for (const auto &f : faelle) {
            laden(f.name);
            EXPECT_EQ(messages(), Meldungen{"Fehler #" + std::to_string(f.nummer) + "|" + f.text}) << f.name;
            EXPECT_EQ(zustand(), vorher) << f.name;
        }
        const std::set<std::string> dateien = ordner();
        speichern("neu.tlx", VAL_NO_FILE_SELECTED);
        laden("v1.tlx", VAL_NO_FILE_SELECTED);
        EXPECT_TRUE(messages().empty());
        EXPECT_EQ(zustand(), vorher);
        EXPECT_EQ(ordner(), dateien);
    });
}

TEST_F(DateiTest, UndefinedAndTrailingBytesAreIgnoredAndAUnitWithoutZeroIsCut)
{
    std::string lang = mitDouble(REFERENZ, 40, 3.0);
    lang.replace(24, 8, 8, '\x5A');
    lang.replace(36, 4, 4, '\xA5');
    lang.replace(152, 8, std::string("mV\0\xFF\xFF\xFF\x01\x02", 8));
    writeFile("lang.tlx", lang + std::string(100, '\xEE'));
    writeFile("ohne.tlx", REFERENZ.substr(0, 152) + "abcdefgh");

    ablauf([&] {
        laden("lang.tlx");
        EXPECT_TRUE(messages().empty());
        EXPECT_EQ(num(panelHandle, PANEL_PANTEIL), 3.0);
        EXPECT_STREQ(gKonfig.einheit, "mV");
        EXPECT_EQ(text(panelHandle, PANEL_ANSTEIGSZEITEINHEIT), "[mV/s]");

        laden("ohne.tlx");
        EXPECT_TRUE(messages().empty());
        EXPECT_STREQ(gKonfig.einheit, "abcde");
        EXPECT_EQ(text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT), "abcde");
        EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[abcde]");
    });
}

TEST_F(DateiTest, FailedSaveKeepsTheEarlierFileAndLeavesNoTemporaryFile)
{
    ablauf([&] {
        speichern("satz.tlx");
        fs::permissions(dir_ / "satz.tlx", fs::perms(0640));
        UiTest_Enter(panelHandle, PANEL_PANTEIL, 5.0);
        messages();

        FileIO_FailWriteAfter(1, ENOSPC);  // the disk is full
        speichern("satz.tlx", VAL_EXISTING_FILE_SELECTED);
        FileIO_FailWriteAfter(0, 0);
        EXPECT_EQ(messages(), Meldungen{"Fehler #301102|Fehler beim Schreiben auf Datei"});
        EXPECT_EQ(readFile("satz.tlx"), REFERENZ);

        fs::create_directory(dir_ / "ordner.tlx");
        for (const char *ziel : {"fehlt/satz.tlx", "ordner.tlx", "satz.tlx/"}) {
            speichern(ziel);
            EXPECT_EQ(messages(), Meldungen{"Fehler #308101|" + OEFFNEN}) << ziel;
        }
        EXPECT_TRUE(fs::is_empty(dir_ / "ordner.tlx"));
        EXPECT_EQ(ordner(), (std::set<std::string>{"ordner.tlx", "satz.tlx"}));
        EXPECT_EQ(readFile("satz.tlx"), REFERENZ);
        EXPECT_EQ(num(panelHandle, PANEL_PANTEIL), 5.0) << "a failed save changes nothing";

        // A save that works replaces the content and keeps the file's permissions.
        speichern("satz.tlx", VAL_EXISTING_FILE_SELECTED);
        EXPECT_TRUE(messages().empty());
        EXPECT_EQ(readFile("satz.tlx"), mitDouble(REFERENZ, 40, 5.0));
        EXPECT_EQ(fs::status(dir_ / "satz.tlx").permissions(), fs::perms(0640));
        EXPECT_EQ(ordner(), (std::set<std::string>{"ordner.tlx", "satz.tlx"}));
    });
}

// Saving through a link replaces the file it points to and keeps the link; a dangling link, a FIFO
// and a folder are refused, creating nothing and leaving each in its place.
TEST_F(DateiTest, SavingReachesALinkedFileAndRefusesWhatIsNoFile)
{
    fs::create_directory(dir_ / "anderswo");
    writeFile("anderswo/geteilt.tlx", "alt");
    fs::create_symlink("anderswo/geteilt.tlx", dir_ / "link.tlx");
    fs::create_symlink("anderswo/fehlt.tlx", dir_ / "lose.tlx");
    mkfifo((dir_ / "fifo.tlx").c_str(), 0600);
    const std::string vorher = bestand();
    ablauf([&] {
        messages();
        for (const char *ziel : {"lose.tlx", "fifo.tlx", "anderswo"}) {
            speichern(ziel, VAL_EXISTING_FILE_SELECTED);
            EXPECT_EQ(messages(), Meldungen{"Fehler #308101|" + OEFFNEN}) << ziel;
        }
        EXPECT_EQ(bestand(), vorher);
        speichern("link.tlx", VAL_EXISTING_FILE_SELECTED);
        EXPECT_TRUE(messages().empty());
        laden("link.tlx");
        EXPECT_TRUE(messages().empty());
    });
    EXPECT_EQ(bestand(), vorher + "tlx1steuerung.ini\n");
    EXPECT_EQ(readFile("anderswo/geteilt.tlx"), REFERENZ);
}

}  // namespace
