// The operator chooses a port's device in the real window: "Konfiguration > Schnittstellen...", a
// typed rfc2217 address in front of the simulator (ser2net), or the simulator's link with the
// automatic reconnect ticked; connects through the COM ring, and sees the device go away and return.
#include "tests/app_qt/QtAppHelpers.h"

#include "app/TLX1SchnittstellenFenster.h"
#include "platform/qt/cp1252.h"
#include "platform/qt/qtchoices.h"
#include "platform/userint/userint_view.h"
#include "sim/Ser2netProcess.h"
#include "sim/SimProcess.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMessageBox>

#include <algorithm>
#include <memory>
#include <string>

namespace {

class SerialDialogWindowTest : public tlx1qt::AppWindowTest {
protected:
    void SetUp() override
    {
        AppWindowTest::SetUp();
        for (int n = 1; n <= 8; ++n)
            unsetenv(("TLX1_COM" + std::to_string(n)).c_str());
    }

    // "Schnittstellen...": COM n gets the typed device (Enter), the reconnect box is ticked when asked, OK.
    static void chooseDevice(int n, const std::string &device, bool reconnect)
    {
        QtView_PanelWindow(panelHandle)->findChild<QAction *>(QStringLiteral("SCHNITTSTELLEN"))->trigger();
        idle();
        ASSERT_TRUE(QtView_PanelWindow(schnittstellenpanelHandle)->isVisible());
        auto *field =
            dynamic_cast<ComboField *>(QtView_ControlWidget(schnittstellenpanelHandle, SCHNITTPNL_COM1 + n - 1));
        ASSERT_NE(field, nullptr);
        field->lineEdit()->setFocus();
        field->lineEdit()->selectAll();
        QTest::keyClicks(field->lineEdit(), QString::fromStdString(device));
        QTest::keyClick(field->lineEdit(), Qt::Key_Return);
        if (reconnect)
            QTest::mouseClick(QtView_ControlWidget(schnittstellenpanelHandle, SCHNITTPNL_WIEDERVERBINDEN),
                              Qt::LeftButton, {}, QPoint(6, 11));
        QTest::mouseClick(QtView_ControlWidget(schnittstellenpanelHandle, SCHNITTPNL_OK), Qt::LeftButton);
        idle();
        EXPECT_FALSE(QtView_PanelWindow(schnittstellenpanelHandle)->isVisible());
    }

    // Picks COM n in the ring with the arrow keys and connects; the warning of the first connect is
    // closed.
    static void connectTo(int n)
    {
        auto *ring = dynamic_cast<RingBox *>(QtView_ControlWidget(panelHandle, PANEL_PORT));
        ring->setFocus();
        for (int i = 1; i < n; ++i)
            QTest::keyClick(ring, Qt::Key_Down);
        idle();
        ASSERT_EQ(UiModel_NumericValue(panelHandle, PANEL_PORT), n);
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->accept();
        });
        answer.start(50);
        click(PANEL_VERBINDEN);
        answer.stop();
        ASSERT_EQ(UiModel_NumericValue(panelHandle, PANEL_VERBINDEN), 1);
    }

    // The device ends while connected: "Verbindung zu ... verloren" at once, in full as the error
    // display's tooltip; the connection drops.
    static void expectLost(const std::string &device)
    {
        QElapsedTimer lost;
        lost.start();
        const std::string ende = " \x96 Verbindung zu " + device + " verloren";
        QTRY_VERIFY_WITH_TIMEOUT(UiModel_TextValue(panelHandle, PANEL_FEHLERSTRING).ends_with(ende), 5000);
        EXPECT_LT(lost.elapsed(), 2000) << "no time-out wait";
        idle();
        EXPECT_EQ(UiModel_NumericValue(panelHandle, PANEL_VERBINDEN), 0);
        auto *shown = dynamic_cast<IndicatorField *>(QtView_ControlWidget(panelHandle, PANEL_FEHLERSTRING));
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->toolTip(), Cp1252ToQString(UiModel_TextValue(panelHandle, PANEL_FEHLERSTRING)));
    }

    static double istwert() { return UiModel_NumericValue(panelHandle, PANEL_ISTWERT); }
    static std::string fehler() { return UiModel_TextValue(panelHandle, PANEL_FEHLERSTRING); }
};

TEST_F(SerialDialogWindowTest, ARfc2217AddressTypedInTheDialogConnectsThroughSer2net)
{
    if (!tlx1sim::Ser2netProcess::available())
        GTEST_SKIP() << "ser2net is not installed (make deps installs it)";
    tlx1sim::SimProcess sim({"--plant", "off", "--cmd", "set 1 istwert1 4.25"});
    tlx1sim::Ser2netProcess server(sim.devicePath());
    const std::string address = server.rfc2217Address();
    EXPECT_EQ(run([&] {
                  chooseDevice(2, address, false);
                  auto *ring = dynamic_cast<RingBox *>(QtView_ControlWidget(panelHandle, PANEL_PORT));
                  EXPECT_EQ(ring->itemText(1).toStdString(), "COM 2 (" + address + ")");
                  connectTo(2);
                  QTRY_COMPARE_WITH_TIMEOUT(istwert(), 4.25, 5000);
                  EXPECT_EQ(fehler(), "");
                  server.stop();
                  expectLost(address);
              }),
              0);
    EXPECT_NE(ini().find("com2 = \"" + address + "\""), std::string::npos) << ini();
}

TEST_F(SerialDialogWindowTest, WithTheReconnectTickedTheSimulatorComingBackIsConnectedAgain)
{
    const std::string link = (dir_ / "tty").string();
    const std::vector<std::string> options = {"--plant", "off", "--link", link, "--cmd", "set 1 istwert1 2.5"};
    auto sim = std::make_unique<tlx1sim::SimProcess>(options);
    EXPECT_EQ(run([&] {
                  chooseDevice(3, link, true);
                  connectTo(3);
                  QTRY_COMPARE_WITH_TIMEOUT(istwert(), 2.5, 5000);
                  sim.reset();
                  expectLost(link);
                  sim = std::make_unique<tlx1sim::SimProcess>(options);
                  QTRY_COMPARE_WITH_TIMEOUT(UiModel_NumericValue(panelHandle, PANEL_VERBINDEN), 1.0, 10000);
                  sim->clearReceived();
                  QTest::qWait(500);  // the timer runs on this thread
                  sim->command("ping");
                  const std::vector<std::string> frames = sim->received();
                  EXPECT_NE(std::find(frames.begin(), frames.end(), "#1V5R"), frames.end()) << "polling again";
              }),
              0);
    EXPECT_NE(ini().find("wiederverbinden = 1"), std::string::npos) << ini();
}

}  // namespace
