// The window's serial ports on the headless panels: why a port did not open, a device that goes away
// while connected and comes back, the automatic reconnect, and modules reached through ser2net.
#include "tests/app_device/DeviceFixture.h"

#include "app/TLX1Schnittstellen.h"
#include "app/TLX1SchnittstellenFenster.h"
#include "platform/rs232/comdevices.h"
#include "platform/rs232/commap.h"
#include "sim/Ser2netProcess.h"
#include "tests/rs232/loopback_server.h"
#include "tests/rs232/pty_pair.h"

#include <chrono>
#include <climits>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace {

using Clock = std::chrono::steady_clock;
double Seit(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

const std::string kOeffnen = "Fehler beim \xF6"
                             "ffnen der seriellen Schnittstelle \x96 ";

// A port of 127.0.0.1 nobody listens on.
int FreierPort()
{
    LoopbackServer s(LoopbackServer::Art::Roh);
    return std::stoi(s.Adresse().substr(s.Adresse().rfind(':') + 1));
}

class SerialTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        for (int n = 1; n <= COM_MAP_ENTRIES; ++n)
            unsetenv(("TLX1_COM" + std::to_string(n)).c_str());
    }
    void TearDown() override
    {
        TLX1Steuerung_UhrSetzen(nullptr);
        DeviceTest::TearDown();
    }
    // The settings file maps COM n to the device.
    void mapInSettings(int n, const std::string &geraet, const std::string &mehr = "")
    {
        writeIni("[Schnittstellen]\ncom" + std::to_string(n) + " = " + geraet + "\n" + mehr);
    }
    // "verbinden" on COM n; the first connect of a run shows the warning, which is dropped here.
    static void connect(int n)
    {
        UiTest_PickRingValue(panelHandle, PANEL_PORT, n);
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        messages();
    }
    static std::string errorText() { return text(panelHandle, PANEL_FEHLERSTRING); }
};

// Each way a port fails to open: the number and catalogue text as always, then the device and the
// reason, and the toggle back off.
TEST_F(SerialTest, AFailedOpenShowsTheDeviceAndTheReason)
{
    PtyPair belegt;
    const int halter = open(belegt.Slave().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(halter, LOCK_EX | LOCK_NB), 0);  // another program holds the port
    LoopbackServer achtBit(LoopbackServer::Art::Rfc2217Datenbits8);
    const std::string niemand = "tcp://127.0.0.1:" + std::to_string(FreierPort());
    const std::string fehlt = (dir_ / "fehlt").string();
    const std::pair<std::string, std::string> faelle[] = {
        {fehlt, fehlt + " nicht gefunden (Ger\xE4t nicht angeschlossen oder Pfad falsch)"},
        {"/dev/null", "/dev/null ist keine serielle Schnittstelle"},
        {belegt.Slave(), belegt.Slave() + " wird von einem anderen Programm benutzt"},
        {niemand, niemand + " lehnt die Verbindung ab (an diesem Port l\xE4uft kein Dienst)"},
        {achtBit.Adresse(), achtBit.Adresse() + ": der Server best\xE4tigt die Leitungseinstellungen nicht: "
                                                "7 Datenbits (meldet 8 Datenbits)"},
    };
    for (const auto &fall : faelle) {
        mapInSettings(2, fall.first);
        run([&] {
            connect(2);
            EXPECT_EQ(std::tuple(errorNumber(), errorText()), std::tuple(100002, kOeffnen + fall.second));
            expectConnected(false);
            quit();
        });
    }
    close(halter);

    // A popup that reports a failed read of the module names the device and the reason too.
    mapInSettings(2, fehlt);
    const std::string satz = (dir_ / "satz.tlx").string();
    run([&] {
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 2);
        UiTest_AnswerNextFilePopup(VAL_NEW_FILE_SELECTED, satz.c_str());
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_PARAMETE_2);
        messages();
        UiTest_AnswerNextFilePopup(VAL_EXISTING_FILE_SELECTED, satz.c_str());
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_VERGLEICHEN);
        const std::vector<std::string> popups = messages();
        ASSERT_EQ(popups.size(), 1u);
        EXPECT_NE(popups[0].find("100002 " + kOeffnen + faelle[0].second + "\n"), std::string::npos) << popups[0];
        quit();
    });
}

// Without permission the reason names the group to join. Run as an unprivileged user: as root the
// test runs itself again as "nobody" with the device given to the group dialout.
TEST_F(SerialTest, NoPermissionNamesTheGroupToJoin)
{
    std::string geraet;
    PtyPair pty;
    if (const char *kind = std::getenv("TLX1_TEST_GERAET")) {
        geraet = kind;
    } else if (geteuid() == 0) {
        const group *dialout = getgrnam("dialout");
        if (dialout == nullptr || access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "needs the group dialout and setpriv to test as an unprivileged user";
        ASSERT_EQ(chown(pty.Slave().c_str(), 0, dialout->gr_gid), 0);
        ASSERT_EQ(chmod(pty.Slave().c_str(), 0660), 0);
        char selbst[PATH_MAX] = {};
        ASSERT_GT(readlink("/proc/self/exe", selbst, sizeof selbst - 1), 0);
        const std::string befehl = "cd / && TLX1_TEST_GERAET='" + pty.Slave() +
                                   "' /usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups '" + selbst +
                                   "' --gtest_filter=SerialTest.NoPermissionNamesTheGroupToJoin >/dev/null 2>&1";
        const int status = std::system(befehl.c_str());
        if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
            GTEST_SKIP() << "the test program cannot run as nobody here";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "as nobody: " << befehl;
        return;
    } else {
        geraet = pty.Slave();
        ASSERT_EQ(chmod(geraet.c_str(), 0), 0);
    }
    mapInSettings(2, geraet);
    run([&] {
        connect(2);
        EXPECT_EQ(errorNumber(), 100002);
        EXPECT_EQ(errorText().rfind(kOeffnen + "keine Berechtigung f\xFCr " + geraet + ": ", 0), 0u) << errorText();
        EXPECT_NE(errorText().find("\"dialout\""), std::string::npos) << errorText();
        EXPECT_NE(errorText().find("neu anmelden"), std::string::npos) << errorText();
        quit();
    });
}

// The simulator ends while connected: the poll fails at once with "Verbindung zu ... verloren", the
// connection drops and polling stops. Without the automatic reconnect nothing connects by itself, and
// "verbinden" works again once the simulator is back on the same link. With "wiederverbinden = 1" the
// lost device is tried again at most once a second and never while a popup is open; once it opens,
// the connection and polling come back and the display clears.
TEST_F(SerialTest, ADeviceThatGoesAwayComesBackByHandOrThroughTheAutomaticReconnect)
{
    const std::string link = (dir_ / "tty").string();
    const std::vector<std::string> optionen = {"--plant", "off", "--link", link, "--cmd", "set 1 istwert1 2.5"};
    sim_ = std::make_unique<tlx1sim::SimProcess>(optionen);
    mapInSettings(1, link);
    static double jetzt = 0.0;
    TLX1Steuerung_UhrSetzen([] { return jetzt; });
    run([&] {
        connect(1);
        UiTest_TimerTick();
        EXPECT_EQ(num(panelHandle, PANEL_ISTWERT), 2.5);

        sim_.reset();
        const auto start = Clock::now();
        UiTest_TimerTick();
        EXPECT_LT(Seit(start), 0.5) << "no time-out wait";
        EXPECT_NE(errorNumber(), 0);
        const std::string meldung = errorText();
        EXPECT_TRUE(meldung.ends_with(" \x96 Verbindung zu " + link + " verloren")) << meldung;
        expectConnected(false);
        for (int sekunde = 1; sekunde < 5; ++sekunde) {
            jetzt = sekunde;
            UiTest_TimerTick();
        }
        EXPECT_EQ(std::tuple(errorText(), int(messages().size())), std::tuple(meldung, 0));

        sim_ = std::make_unique<tlx1sim::SimProcess>(optionen);
        jetzt = 10.0;
        UiTest_TimerTick();
        expectConnected(false);  // the automatic reconnect is off
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        expectConnected(true);
        EXPECT_EQ(errorNumber(), 0);
        takeReceived();
        UiTest_TimerTick();
        EXPECT_EQ(takeReceived(), Frames{"#1V5R"});
        quit();
    });

    mapInSettings(1, link, "wiederverbinden = 1\n");
    jetzt = 0.0;
    run([&] {
        EXPECT_EQ(AutomatischWiederverbinden(), 1);
        connect(1);
        sim_.reset();
        UiTest_TimerTick();
        expectConnected(false);
        jetzt = 10.0;
        UiTest_TimerTick();  // tried: the device is not there yet
        expectConnected(false);

        sim_ = std::make_unique<tlx1sim::SimProcess>(optionen);
        jetzt = 10.9;
        UiTest_TimerTick();
        expectConnected(false);  // less than a second since the last try
        jetzt = 11.5;
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_MENU_BER);  // the about box is a modal popup
        UiTest_TimerTick();
        expectConnected(false);
        RemovePopup(0);
        UiTest_TimerTick();
        expectConnected(true);
        EXPECT_EQ(std::tuple(errorNumber(), int(messages().size())), std::tuple(0, 0));
        takeReceived();
        UiTest_TimerTick();
        EXPECT_EQ(takeReceived(), Frames{"#1V5R"});
        quit();
    });
    EXPECT_NE(ini().find("[Schnittstellen]\r\ncom1 = " + link + "\r\nwiederverbinden = 1\r\n"), std::string::npos)
        << ini();
}

// A module behind ser2net, raw TCP and RFC 2217: connect, poll, "Lesen" and a setpoint work as on
// the serial line; ser2net ending is a lost device.
TEST_F(SerialTest, ModulesThroughSer2netRawAndRfc2217)
{
    if (!tlx1sim::Ser2netProcess::available())
        GTEST_SKIP() << "ser2net is not installed (make deps installs it)";
    startSim({"--plant", "off", "--cmd", "set 1 istwert1 4.25", "--cmd", "set 1 P1 3.5"});
    unsetenv("TLX1_COM1");
    for (bool rfc2217 : {false, true}) {
        tlx1sim::Ser2netProcess server(sim().devicePath());
        const std::string adresse = rfc2217 ? server.rfc2217Address() : server.tcpAddress();
        SCOPED_TRACE(adresse);
        mapInSettings(3, adresse);
        run([&] {
            connect(3);
            EXPECT_EQ(std::tuple(integer(panelHandle, PANEL_VERBINDEN), OffenerComPort()), std::tuple(1, 3));
            UiTest_TimerTick();
            EXPECT_EQ(num(panelHandle, PANEL_ISTWERT), 4.25);
            UiTest_Press(panelHandle, PANEL_LESEN);
            EXPECT_EQ(std::tuple(errorNumber(), num(panelHandle, PANEL_PANTEIL)), std::tuple(0, 3.5));
            takeReceived();
            UiTest_Enter(panelHandle, PANEL_SOLLWERT, 6.5);
            EXPECT_EQ(takeReceived(), Frames{"#1S1W6.500"});
            EXPECT_EQ(errorNumber(), 0);

            server.stop();
            UiTest_TimerTick();
            EXPECT_TRUE(errorText().ends_with("Verbindung zu " + adresse + " verloren")) << errorText();
            expectConnected(false);
            quit();
        });
    }
}

// The COM ring names each port's device, from the environment, the settings file or the default.
// The dialog "Schnittstellen" lists the devices found for every port, shows each port's device and
// where it comes from (a port the environment names dimmed), takes a pick or a typed device; Abbruch
// and the close box change nothing, OK stores what changed and relabels the ring. On exit only the
// changed entries are written.
TEST_F(SerialTest, TheDialogMapsComPortsAndTheRingFollows)
{
    setenv("TLX1_COM1", "/dev/umgebung", 1);
    mapInSettings(2, "rfc2217://anlage:4001", "com1 = /dev/unbenutzt\n");
    const auto ring = [] {
        std::vector<std::string> labels;
        for (const UiListItem &item : UiModel_ListItems(panelHandle, PANEL_PORT))
            labels.push_back(item.label);
        return labels;
    };
    const auto feld = [](int n) { return text(schnittstellenpanelHandle, SCHNITTPNL_COM1 + n - 1); };
    const auto quelle = [](int n) { return text(schnittstellenpanelHandle, SCHNITTPNL_QUELLE1 + n - 1); };
    const auto gesperrt = [](int n) {
        int d = -1;
        GetCtrlAttribute(schnittstellenpanelHandle, SCHNITTPNL_COM1 + n - 1, ATTR_DIMMED, &d);
        return d;
    };
    std::vector<UiListItem> gefunden;
    for (const ComDeviceInfo &g : ComFindDevices())
        gefunden.push_back({g.byId.empty() ? g.path : g.byId, g.byId.empty() ? g.path : g.byId});
    run([&] {
        EXPECT_EQ(ring(), (std::vector<std::string>{"COM 1 (/dev/umgebung)", "COM 2 (rfc2217://anlage:4001)",
                                                    "COM 3 (/dev/ttyS2)", "COM 4 (/dev/ttyS3)", "COM 5 (/dev/ttyS4)",
                                                    "COM 6 (/dev/ttyS5)", "COM 7 (/dev/ttyS6)", "COM 8 (/dev/ttyS7)"}));
        EXPECT_EQ(integer(panelHandle, PANEL_PORT), 1) << "the values stay 1 to 8";

        // Abbruch and the close box leave everything as it was.
        for (bool schliessen : {false, true}) {
            UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SCHNITTSTELLEN);
            ASSERT_EQ(UiTest_TopPopup(), schnittstellenpanelHandle);
            EXPECT_EQ(std::tuple(feld(1), quelle(1), gesperrt(1)),
                      std::tuple("/dev/umgebung", "Umgebungsvariable TLX1_COM1 gilt", 1));
            EXPECT_EQ(std::tuple(feld(2), quelle(2), gesperrt(2)),
                      std::tuple("rfc2217://anlage:4001", "Einstellungsdatei", 0));
            EXPECT_EQ(std::tuple(feld(8), quelle(8)), std::tuple("/dev/ttyS7", "Vorgabe"));
            for (int n = 1; n <= COM_MAP_ENTRIES; ++n) {
                std::vector<UiListItem> liste = UiModel_ListItems(schnittstellenpanelHandle, SCHNITTPNL_COM1 + n - 1);
                for (UiListItem &item : liste)
                    item.label = item.label.substr(0, item.label.find(" ("));  // the description follows
                EXPECT_EQ(liste, gefunden) << "COM " << n;
            }
            EXPECT_EQ(UiTest_Enter(schnittstellenpanelHandle, SCHNITTPNL_COM1, "/dev/x"), UIE_BAD_CONTROL);
            UiTest_Enter(schnittstellenpanelHandle, SCHNITTPNL_COM3, "tcp://127.0.0.1:1");
            UiTest_Press(schnittstellenpanelHandle, SCHNITTPNL_WIEDERVERBINDEN);
            if (schliessen)
                UiTest_ClosePanel(schnittstellenpanelHandle);
            else
                UiTest_Press(schnittstellenpanelHandle, SCHNITTPNL_ABBRUCH);
            EXPECT_EQ(UiTest_TopPopup(), 0);
            EXPECT_EQ(std::tuple(ComMapEntry(3), AutomatischWiederverbinden()), std::tuple("", 0));
            EXPECT_EQ(ring()[2], "COM 3 (/dev/ttyS2)");
        }

        // OK: a typed device (blanks dropped), an emptied field back to the default, the switch.
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SCHNITTSTELLEN);
        EXPECT_EQ(feld(3), "/dev/ttyS2") << "what was typed before Abbruch is gone";
        UiTest_Enter(schnittstellenpanelHandle, SCHNITTPNL_COM3, " tcp://127.0.0.1:4001 ");
        UiTest_Enter(schnittstellenpanelHandle, SCHNITTPNL_COM2, "");
        if (!gefunden.empty())
            UiTest_PickListItem(schnittstellenpanelHandle, SCHNITTPNL_COM4, int(gefunden.size()) - 1);
        UiTest_Press(schnittstellenpanelHandle, SCHNITTPNL_WIEDERVERBINDEN);
        UiTest_Press(schnittstellenpanelHandle, SCHNITTPNL_OK);
        EXPECT_EQ(UiTest_TopPopup(), 0);
        const std::string com4 = gefunden.empty() ? "/dev/ttyS3" : gefunden.back().value;
        EXPECT_EQ(std::tuple(ComMapEntry(1), ComMapEntry(2), ComMapEntry(3), AutomatischWiederverbinden()),
                  std::tuple("/dev/unbenutzt", "", "tcp://127.0.0.1:4001", 1));
        const std::vector<std::string> neu = ring();
        EXPECT_EQ(
            std::vector(neu.begin() + 1, neu.begin() + 4),
            (std::vector<std::string>{"COM 2 (/dev/ttyS1)", "COM 3 (tcp://127.0.0.1:4001)", "COM 4 (" + com4 + ")"}));
        quit();
    });
    const std::string com4 = gefunden.empty() ? "" : "com4 = \"" + gefunden.back().value + "\"\r\n";
    EXPECT_NE(
        ini().find("[Schnittstellen]\r\ncom1 = /dev/unbenutzt\r\ncom2 = \"\"\r\ncom3 = \"tcp://127.0.0.1:4001\"\r\n" +
                   com4 + "wiederverbinden = 1\r\n\r\n"),
        std::string::npos)
        << ini();
    unsetenv("TLX1_COM1");
}

}  // namespace
