// The settings file: what a run stores, what the next run restores, and how odd files are taken.
#include "AppFixture.h"

#include "app/TLX1Func.h"
#include "app/TLX1Schnittstellen.h"
#include "ini/IniFileIo.h"
#include "platform/rs232/commap.h"

#include <cerrno>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

TEST_F(AppTest, SettingsSurviveARestart)
{
    // Items of other sections and unknown items are not kept.
    writeIni("[Andere]\r\nx = 1\r\n[TLX1]\r\nfremd = 3\r\n");
    run([] {
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 3);
        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 9);
        scale(0, 10, 0, 100, "%");
        UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMIN, 20.0);
        UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMAX, 80.0);
        quit();
    });
    // The zoom limits are stored in volts.
    EXPECT_EQ(ini(), "[TLX1]\r\nadresse = 9\r\ncomport = 3\r\neinheit = \"%\"\r\neinheitmax = 100\r\n"
                     "einheitmin = 0\r\nvmax = 10\r\nvmin = 0\r\nzoommax = 8\r\nzoommin = 2\r\n\r\n");
    run([] {
        EXPECT_EQ(integer(panelHandle, PANEL_PORT), 3);
        EXPECT_EQ(integer(panelHandle, PANEL_ADRESSE), 9);
        EXPECT_EQ(num(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET), 100.0);
        EXPECT_EQ(text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT), "%");
        EXPECT_DOUBLE_EQ(num(panelHandle, PANEL_GRAPHZOOMMIN), 20.0);
        EXPECT_DOUBLE_EQ(num(panelHandle, PANEL_GRAPHZOOMMAX), 80.0);
        EXPECT_EQ(axisName(), "Istwert [%]");
        quit();
    });
    EXPECT_NE(ini().find("zoommax = 8\r\nzoommin = 2\r\n"), std::string::npos) << ini();
}

// Odd files start the program without a crash: rings outside their values are left alone, the unit
// is cut to five characters or left empty. A number that is not finite counts as absent, and a
// scaling that cannot be applied is ignored as a whole; the file written at the end holds neither.
TEST_F(AppTest, OddSettingsFiles)
{
    const char *standard =
        "einheitmax = 10\r\neinheitmin = 0\r\nvmax = 10\r\nvmin = 0\r\nzoommax = 10\r\nzoommin = 0\r\n";
    const struct {
        const char *file;
        int port, adresse;
        const char *label;
        int decimals;
        const char *written;
    } cases[] = {
        {"[TLX1]\ncomport = 0\nadresse = 0\neinheit = \"bar\"\n", 1, 1, "[bar]", 3, standard},
        {"[TLX1]\ncomport = 9\nadresse = 10\neinheit = \"bar\"\n", 1, 1, "[bar]", 3, standard},
        {"[TLX1]\ncomport = 2x\nadresse = 9\neinheit = \"mbar/s\"\n", 1, 9, "[mbar/]", 3, standard},
        {"[TLX1]\ncomport = 8\nvmax = 10\neinheitmax = 100\n", 8, 1, "[]", 2,
         "einheitmax = 100\r\neinheitmin = 0\r\nvmax = 10\r\nvmin = 0\r\nzoommax = 10\r\nzoommin = 0\r\n"},
        {"[TLX1]\nvmin = 5\nvmax = 5\neinheitmax = 100\n", 1, 1, "[]", 3, standard},  // equal voltages
        {"[TLX1]\nvmin = 0\nvmax = 0\n", 1, 1, "[]", 3, standard},
        {"[TLX1]\neinheitmin = 3\neinheitmax = 3\n", 1, 1, "[]", 3, standard},     // equal values
        {"[TLX1]\nvmax = 1e-300\neinheitmax = 1e300\n", 1, 1, "[]", 3, standard},  // factor beyond doubles
        {"[TLX1]\nvmin = nan\nvmax = inf\neinheitmin = 1e400\neinheitmax = -Inf\nzoommin = nan\nzoommax = 1e-400\n", 1,
         1, "[]", 3, standard},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        writeIni(c.file);
        EXPECT_EQ(run([&] {
                      EXPECT_EQ(integer(panelHandle, PANEL_PORT), c.port);
                      EXPECT_EQ(integer(panelHandle, PANEL_ADRESSE), c.adresse);
                      EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), c.label);
                      EXPECT_EQ(precision(PANEL_SOLLWERT), c.decimals);
                      quit();
                  }),
                  0);
        EXPECT_NE(ini().find(c.written), std::string::npos) << ini();
    }
    EXPECT_NE(ini().find("einheit = \"\"\r\n"), std::string::npos) << ini();
    // A number that is not finite is left out rather than written as nan or inf.
    run([] {
        gKonfig.vmax = INFINITY;
        gKonfig.einheitmin = NAN;
        quit();
    });
    EXPECT_EQ(ini(), "[TLX1]\r\nadresse = 1\r\ncomport = 1\r\neinheit = \"\"\r\neinheitmax = 10\r\nvmin = 0\r\n\r\n");
}

// Hostile settings files: the program starts on its defaults without hanging, and quitting replaces
// only a regular file, or the file a link points to, keeping the link; nothing is created elsewhere.
TEST_F(AppTest, HostileSettingsFilesLeaveEverythingInItsPlace)
{
    namespace fs = std::filesystem;
    const std::string alt = "[TLX1]\r\ncomport = 4\r\n";
    const auto link = [&](const char *ziel) {
        fs::create_directory(dir_ / "anderswo");
        fs::create_symlink(ziel, dir_ / "tlx1steuerung.ini");
    };
    const struct {
        const char *fall;
        std::function<void()> anlegen;
        int port;
        std::string danach;
        const char *datei, *inhalt;
    } faelle[] = {
        {"dangling link", [&] { link("anderswo/x.ini"); }, 1, "anderswo/\ntlx1steuerung.ini -> anderswo/x.ini\n",
         nullptr, ""},
        {"link to a file elsewhere",
         [&] {
             link("anderswo/geteilt.ini");
             writeFile("anderswo/geteilt.ini", alt);
         },
         4, "anderswo/\nanderswo/geteilt.ini\ntlx1steuerung.ini -> anderswo/geteilt.ini\n", "anderswo/geteilt.ini",
         "comport = 3"},
        {"FIFO", [&] { mkfifo((dir_ / "tlx1steuerung.ini").c_str(), 0600); }, 1, "tlx1steuerung.ini |\n", nullptr, ""},
        {"folder", [&] { fs::create_directory(dir_ / "tlx1steuerung.ini"); }, 1, "tlx1steuerung.ini/\n", nullptr, ""},
        {"full disk",
         [&] {
             writeIni(alt);
             IniFileIo_TestFailAfter(INIFILEIO_WRITE, 1, ENOSPC);
         },
         4, "tlx1steuerung.ini\n", "tlx1steuerung.ini", "comport = 4"},
    };
    for (const auto &f : faelle) {
        SCOPED_TRACE(f.fall);
        for (const auto &e : fs::directory_iterator(dir_))
            fs::remove_all(e.path());
        f.anlegen();
        EXPECT_EQ(run([&] {
                      EXPECT_EQ(integer(panelHandle, PANEL_PORT), f.port);
                      UiTest_PickRingValue(panelHandle, PANEL_PORT, 3);
                      quit();
                  }),
                  0);
        IniFileIo_TestFailAfter(INIFILEIO_WRITE, 0, 0);
        EXPECT_EQ(bestand(), f.danach);
        if (f.datei) {
            EXPECT_NE(readFile(f.datei).find(f.inhalt), std::string::npos) << readFile(f.datei);
        }
    }
}

// ---- where the settings live, and settings that cannot be written -------------------------------

// The popup about settings that cannot be written, linked in with --wrap: a test may act while it
// is open (free the folder, say) and gives the answer.
static std::function<int(const std::string &text)> gBeiPopup;

extern "C" {
int __real__Z19GenericMessagePopupPKcS0_S0_S0_S0_(const char *, const char *, const char *, const char *, const char *);
int __wrap__Z19GenericMessagePopupPKcS0_S0_S0_S0_(const char *t, const char *m, const char *b1, const char *b2,
                                                  const char *b3)
{
    const int antwort = __real__Z19GenericMessagePopupPKcS0_S0_S0_S0_(t, m, b1, b2, b3);
    return gBeiPopup ? gBeiPopup(m) : antwort;
}
}

class SettingsPlace : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        // Never the real home folder.
        setenv("HOME", (dir_ / "home").c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_DOCUMENTS_DIR");
        std::filesystem::create_directory(dir_ / "home");
    }
    void TearDown() override
    {
        gBeiPopup = nullptr;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
        AppTest::TearDown();
    }
    // A run that picks COM 3 and quits.
    int runAndPickPort3(std::vector<std::string> options = {})
    {
        return run(
            [] {
                UiTest_PickRingValue(panelHandle, PANEL_PORT, 3);
                quit();
            },
            std::move(options));
    }
    static int port() { return integer(panelHandle, PANEL_PORT); }
};

TEST_F(SettingsPlace, FromTheDesktopPerUserFromAShellInTheCurrentFolder)
{
    const std::string xdg = (dir_ / "xdg").string();
    const struct {
        const char *option;
        const char *xdgConfigHome;
        std::string file, dialogs;
    } cases[] = {
        {nullptr, nullptr, "tlx1steuerung.ini", ""},
        {"--benutzereinstellungen", nullptr, "home/.config/tlx1steuerung/tlx1steuerung.ini", (dir_ / "home").string()},
        {"--benutzereinstellungen", xdg.c_str(), "xdg/tlx1steuerung/tlx1steuerung.ini", (dir_ / "home").string()},
        // Not an absolute path: the default.
        {"--benutzereinstellungen", "relativ", "home/.config/tlx1steuerung/tlx1steuerung.ini",
         (dir_ / "home").string()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        if (c.xdgConfigHome)
            setenv("XDG_CONFIG_HOME", c.xdgConfigHome, 1);
        std::vector<std::string> options;
        if (c.option)
            options.push_back(c.option);
        ASSERT_EQ(runAndPickPort3(options), 0);
        ASSERT_TRUE(std::filesystem::is_regular_file(dir_ / c.file));
        EXPECT_EQ(std::string(Einstellungsdatei()).ends_with(c.file), true) << Einstellungsdatei();
        if (c.option) {
            // Only the user may look into the folder (its parents, when they were made, too).
            using std::filesystem::perms;
            EXPECT_EQ(std::filesystem::status((dir_ / c.file).parent_path()).permissions(), perms::owner_all);
            EXPECT_EQ(std::filesystem::status((dir_ / c.file).parent_path().parent_path()).permissions(),
                      perms::owner_all);
            EXPECT_EQ(Dateiordner(), c.dialogs);
        } else {
            EXPECT_STREQ(Dateiordner(), "");
        }
        // The next run of the same kind finds them.
        run(
            [] {
                EXPECT_EQ(port(), 3);
                quit();
            },
            options);
        std::filesystem::remove(dir_ / c.file);
        unsetenv("XDG_CONFIG_HOME");
    }
}

TEST_F(SettingsPlace, FileDialogsOpenInTheDocumentsFolderTheDesktopNames)
{
    const std::filesystem::path home = dir_ / "home";
    std::filesystem::create_directories(home / "Dokumente");
    std::filesystem::create_directories(home / ".config");
    const struct {
        std::string userDirs;
        std::filesystem::path expected;
    } cases[] = {
        {"# xdg-user-dirs\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n",
         home / "Dokumente"},
        {"XDG_DOCUMENTS_DIR=\"" + (home / "Dokumente").string() + "\"\n", home / "Dokumente"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/Fehlt\"\n", home},  // a folder that is not there
        {"", home},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.userDirs);
        writeFile("home/.config/user-dirs.dirs", c.userDirs);
        run([] { quit(); }, {"--benutzereinstellungen"});
        EXPECT_EQ(Dateiordner(), c.expected.string());
    }
}

TEST_F(SettingsPlace, SettingsThatCannotBeWrittenAreNotLostUnseen)
{
    // As root, permission bits do not stop a write; a file where the folder belongs stops anyone.
    std::vector<std::string> popups;
    std::function<void()> freeTheFolder;
    gBeiPopup = [&](const std::string &text) {
        popups.push_back(text);
        if (freeTheFolder) {
            freeTheFolder();
            freeTheFolder = nullptr;
            return 1;  // "Erneut versuchen"
        }
        return 2;  // "Ohne Speichern beenden"
    };

    const std::filesystem::path xdg = dir_ / "xdg";
    writeFile("xdg", "not a folder");
    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    freeTheFolder = [&] {
        std::filesystem::remove(xdg);
        std::filesystem::create_directory(xdg);
    };
    UiTest_ClearPopups();
    EXPECT_EQ(runAndPickPort3({"--benutzereinstellungen"}), 0);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_NE(popups[0].find("Datei:\t" + (xdg / "tlx1steuerung/tlx1steuerung.ini").string()), std::string::npos)
        << popups[0];
    EXPECT_NE(popups[0].find("Grund:\tEin Teil des Pfades ist kein Ordner"), std::string::npos) << popups[0];
    const std::vector<UiTestPopup> shown = UiTest_Popups();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().title, "Einstellungen nicht gespeichert");
    EXPECT_EQ(shown.back().buttons, (std::vector<std::string>{"Erneut versuchen", "Ohne Speichern beenden"}));
    // Tried again after the folder was freed: written.
    EXPECT_NE(readFile("xdg/tlx1steuerung/tlx1steuerung.ini").find("comport = 3"), std::string::npos);

    // A folder in the file's place, not freed: asked again, then ended without saving, exit code 0.
    unsetenv("XDG_CONFIG_HOME");
    popups.clear();
    std::filesystem::create_directory(dir_ / "tlx1steuerung.ini");
    int tries = 0;
    gBeiPopup = [&](const std::string &text) {
        popups.push_back(text);
        return ++tries < 2 ? 1 : 2;
    };
    EXPECT_EQ(runAndPickPort3(), 0);
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_NE(popups[1].find("Datei:\t" + (dir_ / "tlx1steuerung.ini").string()), std::string::npos) << popups[1];
    EXPECT_NE(popups[1].find("Grund:\tAn der Stelle der Datei steht ein Ordner."), std::string::npos) << popups[1];

    // A read-only folder, as an ordinary user meets it (permission bits do not stop root).
    if (geteuid() == 0)
        return;
    std::filesystem::remove(dir_ / "tlx1steuerung.ini");
    popups.clear();
    gBeiPopup = [&](const std::string &text) {
        popups.push_back(text);
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
        return popups.size() == 1 ? 1 : 2;
    };
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(runAndPickPort3(), 0);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_NE(popups[0].find("Grund:\tKeine Schreibberechtigung"), std::string::npos) << popups[0];
    EXPECT_NE(ini().find("comport = 3"), std::string::npos);
}

// Section "Schnittstellen" leaves a run as it came in, every item in its own form (quoted or not,
// long, unknown, unusable) and the nine items of "TLX1" byte for byte; it feeds the COM map. Only
// what the program changed is put anew.
TEST_F(AppTest, SectionSchnittstellenIsKeptAsRead)
{
    const std::string lang(80, 'x');
    const std::string schnittstellen =
        "[Schnittstellen]\r\ncom1 = \"/dev/ttyUSB0\"\r\ncom2 = rfc2217://anlage-7:4001\r\ncom3 = ftp://x\r\n";
    const std::string rest = "com9 = /dev/ttyS8\r\nlang Line0001 = " + lang + "\r\nlang Line0002 = y\r\n";
    const std::string tlx1 = "[TLX1]\r\nadresse = 9\r\ncomport = 3\r\neinheit = \"%\"\r\neinheitmax = 100\r\n"
                             "einheitmin = 0\r\nvmax = 10\r\nvmin = 0\r\nzoommax = 8\r\nzoommin = 2\r\n\r\n";
    writeIni(schnittstellen + rest + "wiederverbinden = ja\r\n\r\n" + tlx1);
    run([] {
        const ComMapping m[] = {ComResolve(1), ComResolve(2), ComResolve(3), ComResolve(4)};
        EXPECT_EQ(std::tuple(m[0].device, m[1].device, m[2].device, m[3].device),
                  std::tuple("/dev/ttyUSB0", "rfc2217://anlage-7:4001", "ftp://x", "/dev/ttyS3"));
        EXPECT_EQ(std::tuple(m[0].source, m[3].source), std::tuple(ComSource::SettingsFile, ComSource::Default));
        EXPECT_EQ(AutomatischWiederverbinden(), 0);
        quit();
    });
    EXPECT_EQ(ini(), schnittstellen + rest + "wiederverbinden = ja\r\n\r\n" + tlx1);

    run([] {
        ComMapSet(2, "/dev/ttyACM0");
        ComMapSet(4, "tcp://10.0.0.9:4001");
        AutomatischWiederverbindenSetzen(1);
        quit();
    });
    EXPECT_EQ(ini(), "[Schnittstellen]\r\ncom1 = \"/dev/ttyUSB0\"\r\ncom2 = \"/dev/ttyACM0\"\r\ncom3 = ftp://x\r\n"
                     "com4 = \"tcp://10.0.0.9:4001\"\r\n" +
                         rest + "wiederverbinden = 1\r\n\r\n" + tlx1);
}
