// The operator in the real window: switches "verbinden" on, closes the warning, watches the chart
// and the actual value follow the simulated process, and types a new setpoint.
#include "sim/SimProcess.h"
#include "tests/app_qt/QtAppHelpers.h"

#include "app/TLX1Com.h"
#include "platform/userint/userint_view.h"

#include <QElapsedTimer>
#include <QMessageBox>

#include <cmath>
#include <mutex>
#include <string>
#include <vector>

using LiveWindowTest = tlx1qt::AppWindowTest;

static int ModelValue(int control)
{
    int v = -1;
    GetCtrlVal(panelHandle, control, &v);
    return v;
}

TEST_F(LiveWindowTest, ConnectedTheChartFollowsTheProcessAndANewSetpointReachesTheModule)
{
    tlx1sim::SimProcess sim({"--pace"}, 1);
    QString popupTitle, popupText;
    EXPECT_EQ(run([&] {
                  QWidget *main = QtView_PanelWindow(panelHandle);
                  ASSERT_TRUE(main && main->isVisible());
                  // The warning comes up modal: the first message box is read and closed.
                  QTimer answer;
                  QObject::connect(&answer, &QTimer::timeout, [&] {
                      if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                          popupTitle = box->windowTitle();
                          popupText = box->text();
                          box->accept();
                      }
                  });
                  answer.start(50);
                  click(PANEL_VERBINDEN);
                  answer.stop();
                  EXPECT_EQ(popupTitle, "Info");
                  EXPECT_TRUE(popupText.startsWith(QString::fromUtf8("Achtung: Das st\u00E4ndige Abfragen")))
                      << popupText.toStdString();
                  ASSERT_EQ(ModelValue(PANEL_VERBINDEN), 1);
                  EXPECT_TRUE(QtView_ControlWidget(panelHandle, PANEL_ISTWERT)->isEnabled());
                  EXPECT_FALSE(QtView_ControlWidget(panelHandle, PANEL_PORT)->isEnabled());

                  QTest::qWait(1000);
                  const size_t before = UiTest_ChartPoints(panelHandle, PANEL_STRIPCHART).size();
                  EXPECT_GE(before, 7u) << "about ten points a second";

                  sim.clearReceived();
                  type(panelHandle, PANEL_SOLLWERT, "5");
                  EXPECT_TRUE(sim.waitForFrame("#1S1W5.000"));
                  EXPECT_EQ(ModelValue(PANEL_FEHLERLED), 0);

                  // The step response: the actual value climbs towards 5 V on the field and the chart.
                  QTest::qWait(3000);
                  std::vector<double> points;
                  double istwert = -1.0;
                  {
                      // The program goes on polling: chart and field read at one moment.
                      const std::lock_guard lock(UiModel_Mutex());
                      points = UiTest_ChartPoints(panelHandle, PANEL_STRIPCHART);
                      GetCtrlVal(panelHandle, PANEL_ISTWERT, &istwert);
                  }
                  ASSERT_GE(points.size(), before + 20);
                  EXPECT_LT(points[before - 1], 0.5);
                  EXPECT_GT(points.back(), 3.0);
                  EXPECT_EQ(istwert, points.back());
                  EXPECT_NEAR(istwert, std::stod(sim.command("get 1 istwert1")), 0.3) << "a poll or two behind";
                  // The field shows the model's value with the next frame, before the next poll changes it.
                  const auto fieldShowsModel = [&] {
                      const std::lock_guard lock(UiModel_Mutex());
                      double jetzt = -1.0;
                      GetCtrlVal(panelHandle, PANEL_ISTWERT, &jetzt);
                      return std::fabs(shown(PANEL_ISTWERT).toDouble() - jetzt) < 0.0005;
                  };
                  QTRY_VERIFY_WITH_TIMEOUT(fieldShowsModel(), 5000);
                  EXPECT_GE(paintedChart().pointsDrawn, static_cast<int>(before) + 20);
                  screenshot("TLX1_SCREENSHOT_LIVE", main);

                  click(PANEL_VERBINDEN);
                  EXPECT_EQ(ModelValue(PANEL_VERBINDEN), 0);
              }),
              0);
    unsetenv("TLX1_COM1");
}

// During a scan (one module at address 1, the others silent for 1.0 s each) the window paints: the
// button reads "Abbrechen" and stops the scan; closing the window during the next scan ends the
// program within one time-out, port closed and settings written.
TEST_F(LiveWindowTest, AbbrechenStopsTheScanAndClosingTheWindowDuringAScanEndsTheProgram)
{
    tlx1sim::SimProcess sim({"--pace"}, 1);
    const auto asking = [](int address) {
        const std::string text = "Suche nach Ger\xE4t " + std::to_string(address);
        QTRY_VERIFY_WITH_TIMEOUT(UiModel_TextValue(panelHandle, PANEL_TEXT) == text, 10000);
    };
    const auto button = [] { return QtView_ControlWidget(panelHandle, PANEL_SCANN)->property("text").toString(); };
    double closing = -1.0;
    EXPECT_EQ(run([&] {
                  sim.clearReceived();
                  QTest::mouseClick(QtView_ControlWidget(panelHandle, PANEL_SCANN), Qt::LeftButton);
                  asking(2);
                  QTRY_COMPARE_WITH_TIMEOUT(button(), QStringLiteral("Abbrechen"), 900);  // painted meanwhile
                  click(PANEL_SCANN);
                  EXPECT_EQ(button(), QStringLiteral("Scann"));
                  sim.command("ping");  // every frame before it is logged
                  EXPECT_EQ(sim.received(), (std::vector<std::string>{"#1IDR", "#2IDR"}));
                  std::vector<bool> lit;
                  for (int led = PANEL_LED1; led <= PANEL_LED8; ++led)
                      lit.push_back(QtView_ControlWidget(panelHandle, led)->isEnabled());
                  EXPECT_EQ(lit, (std::vector<bool>{true, true, false, false, false, false, false, false}));

                  QTest::mouseClick(QtView_ControlWidget(panelHandle, PANEL_SCANN), Qt::LeftButton);
                  asking(2);
                  QElapsedTimer ending;
                  ending.start();
                  QtView_PanelWindow(panelHandle)->close();
                  QTRY_VERIFY_WITH_TIMEOUT(!UiProgram_Running(), 10000);
                  closing = static_cast<double>(ending.elapsed()) / 1000.0;
              }),
              0);
    EXPECT_GE(closing, 0.0);
    EXPECT_LT(closing, 2.5) << "one time-out (1.0 s) and the closing work";
    EXPECT_EQ(OffenerComPort(), -1);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "tlx1steuerung.ini"));
    sim.command("ping");
    EXPECT_EQ(sim.received().back(), "#2IDR") << "no address asked after the close";
    unsetenv("TLX1_COM1");
}

int main(int argc, char **argv)
{
    return tlx1qt::RunWindowTests(argc, argv);
}
