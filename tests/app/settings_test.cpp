// The settings file: what a run stores, what the next run restores, and how odd files are taken.
#include "AppFixture.h"

#include "app/TLX1Schnittstellen.h"
#include "platform/rs232/commap.h"
#include "ini/IniFileIo.h"

#include <cerrno>
#include <cmath>
#include <sys/stat.h>

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
    const char *standard = "einheitmax = 10\r\neinheitmin = 0\r\nvmax = 10\r\nvmin = 0\r\nzoommax = 10\r\nzoommin = 0\r\n";
    const struct { const char *file; int port, adresse; const char *label; int decimals; const char *written; } cases[] = {
        {"[TLX1]\ncomport = 0\nadresse = 0\neinheit = \"bar\"\n", 1, 1, "[bar]", 3, standard},
        {"[TLX1]\ncomport = 9\nadresse = 10\neinheit = \"bar\"\n", 1, 1, "[bar]", 3, standard},
        {"[TLX1]\ncomport = 2x\nadresse = 9\neinheit = \"mbar/s\"\n", 1, 9, "[mbar/]", 3, standard},
        {"[TLX1]\ncomport = 8\nvmax = 10\neinheitmax = 100\n", 8, 1, "[]", 2,
         "einheitmax = 100\r\neinheitmin = 0\r\nvmax = 10\r\nvmin = 0\r\nzoommax = 10\r\nzoommin = 0\r\n"},
        {"[TLX1]\nvmin = 5\nvmax = 5\neinheitmax = 100\n", 1, 1, "[]", 3, standard},      // equal voltages
        {"[TLX1]\nvmin = 0\nvmax = 0\n", 1, 1, "[]", 3, standard},
        {"[TLX1]\neinheitmin = 3\neinheitmax = 3\n", 1, 1, "[]", 3, standard},            // equal values
        {"[TLX1]\nvmax = 1e-300\neinheitmax = 1e300\n", 1, 1, "[]", 3, standard},         // factor beyond doubles
        {"[TLX1]\nvmin = nan\nvmax = inf\neinheitmin = 1e400\neinheitmax = -Inf\nzoommin = nan\nzoommax = 1e-400\n",
         1, 1, "[]", 3, standard},
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
    const struct { const char *fall; std::function<void()> anlegen; int port; std::string danach; const char *datei, *inhalt; } faelle[] = {
        {"dangling link", [&] { link("anderswo/x.ini"); }, 1, "anderswo/\ntlx1steuerung.ini -> anderswo/x.ini\n", nullptr, ""},
        {"link to a file elsewhere", [&] { link("anderswo/geteilt.ini"); writeFile("anderswo/geteilt.ini", alt); }, 4,
         "anderswo/\nanderswo/geteilt.ini\ntlx1steuerung.ini -> anderswo/geteilt.ini\n", "anderswo/geteilt.ini", "comport = 3"},
        {"FIFO", [&] { mkfifo((dir_ / "tlx1steuerung.ini").c_str(), 0600); }, 1, "tlx1steuerung.ini |\n", nullptr, ""},
        {"folder", [&] { fs::create_directory(dir_ / "tlx1steuerung.ini"); }, 1, "tlx1steuerung.ini/\n", nullptr, ""},
        {"full disk", [&] { writeIni(alt); IniFileIo_TestFailAfter(INIFILEIO_WRITE, 1, ENOSPC); }, 4,
         "tlx1steuerung.ini\n", "tlx1steuerung.ini", "comport = 4"},
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
                     "com4 = \"tcp://10.0.0.9:4001\"\r\n" + rest + "wiederverbinden = 1\r\n\r\n" + tlx1);
}
