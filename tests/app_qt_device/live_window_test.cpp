// The operator in the real window: switches "verbinden" on, closes the warning, watches the chart
// and the actual value follow the simulated process, and types a new setpoint.
#include "app/TLX1Steuerung.h"
#include "platform/qt/qtview.h"
#include "platform/qt/qtwidgets.h"
#include "platform/userint/userint.h"
#include "tests/support/SimProcess.h"
#include "ui/TLX1Steuerung.h"

#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <stdlib.h>
#include <string>

namespace {

class LiveWindowTest : public ::testing::Test {
 protected:
    void SetUp() override
    {
        old_ = std::filesystem::current_path();
        std::string d = (std::filesystem::temp_directory_path() / "tlx1qtdev-XXXXXX").string();
        ASSERT_NE(mkdtemp(d.data()), nullptr);
        dir_ = d;
        std::filesystem::current_path(dir_);
    }
    void TearDown() override
    {
        QtView_Reset();
        UiTest_Reset();
        unsetenv("TLX1_COM1");
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }

    // Runs the program in its window; `operate` plays the operator once the event loop runs, then
    // "Beenden" ends it (after 60 s at the latest).
    static int run(const std::function<void()> &operate)
    {
        QtView_Reset();
        UiTest_Reset();
        UseQtView();
        QTimer::singleShot(0, [&] {
            operate();
            QuitUserInterface(0);
        });
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, [] { QuitUserInterface(2); });
        guard.start(60000);
        char name[] = "tlx1steuerung";
        char *argv[] = {name, nullptr};
        return TLX1Steuerung_Main(1, argv);
    }

    std::filesystem::path dir_, old_;
};

double ModelValue(int control)
{
    double v = NAN;
    GetCtrlVal(panelHandle, control, &v);
    return v;
}

// The simulator's actual value of module 1 in volts.
double SimActual(tlx1test::SimProcess &sim)
{
    return std::stod(sim.command("get 1 istwert1"));
}

TEST_F(LiveWindowTest, ConnectedTheChartFollowsTheProcessAndANewSetpointReachesTheModule)
{
    tlx1test::SimProcess sim({"--pace"}, 1);
    QString popupTitle, popupText;
    EXPECT_EQ(run([&] {
                  QWidget *main = QtView_PanelWindow(panelHandle);
                  ASSERT_TRUE(main && main->isVisible());

                  // Whoever answers the warning: the first message box that comes up is read and closed.
                  QTimer answer;
                  QObject::connect(&answer, &QTimer::timeout, [&] {
                      if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                          popupTitle = box->windowTitle();
                          popupText = box->text();
                          box->accept();
                      }
                  });
                  answer.start(50);
                  QTest::mouseClick(QtView_ControlWidget(panelHandle, PANEL_VERBINDEN), Qt::LeftButton);
                  answer.stop();
                  EXPECT_EQ(popupTitle, "Info");
                  EXPECT_TRUE(popupText.startsWith(QString::fromUtf8("Achtung: Das st\u00E4ndige Abfragen")))
                      << popupText.toStdString();
                  int connected = 0;
                  GetCtrlVal(panelHandle, PANEL_VERBINDEN, &connected);
                  ASSERT_EQ(connected, 1);
                  EXPECT_TRUE(QtView_ControlWidget(panelHandle, PANEL_ISTWERT)->isEnabled());
                  EXPECT_FALSE(QtView_ControlWidget(panelHandle, PANEL_PORT)->isEnabled());

                  QTest::qWait(1000);
                  const size_t before = UiTest_ChartPoints(panelHandle, PANEL_STRIPCHART).size();
                  EXPECT_GE(before, 7u) << "about ten points a second";

                  // The operator types 5 and presses Enter in the setpoint field.
                  sim.clearReceived();
                  auto *soll = qobject_cast<QAbstractSpinBox *>(QtView_ControlWidget(panelHandle, PANEL_SOLLWERT));
                  ASSERT_NE(soll, nullptr);
                  soll->setFocus();
                  soll->selectAll();
                  QTest::keyClicks(soll, "5");
                  QTest::keyClick(soll, Qt::Key_Return);
                  EXPECT_TRUE(sim.waitForFrame("#1S1W5.000"));
                  int errorLamp = -1;
                  GetCtrlVal(panelHandle, PANEL_FEHLERLED, &errorLamp);
                  EXPECT_EQ(errorLamp, 0);

                  // The step response: the actual value climbs towards 5 V on the field and the chart.
                  QTest::qWait(3000);
                  const std::vector<double> points = UiTest_ChartPoints(panelHandle, PANEL_STRIPCHART);
                  ASSERT_GE(points.size(), before + 20);
                  EXPECT_LT(points[before - 1], 0.5);
                  EXPECT_GT(points.back(), 3.0);
                  const double shown = ModelValue(PANEL_ISTWERT);
                  EXPECT_EQ(shown, points.back());
                  EXPECT_NEAR(shown, SimActual(sim), 0.3) << "at most a poll or two behind the process";
                  auto *istwert = qobject_cast<QAbstractSpinBox *>(QtView_ControlWidget(panelHandle, PANEL_ISTWERT));
                  ASSERT_NE(istwert, nullptr);
                  EXPECT_NEAR(istwert->text().toDouble(), shown, 0.0005) << "the field shows the model's value";

                  auto *chart = dynamic_cast<StripChartWidget *>(QtView_ControlWidget(panelHandle, PANEL_STRIPCHART));
                  ASSERT_NE(chart, nullptr);
                  chart->grab();
                  EXPECT_GE(chart->lastPaint().pointsDrawn, static_cast<int>(before) + 20);
                  // To look at the step response: TLX1_SCREENSHOT_LIVE=/absolute/path.png saves the window.
                  if (const char *path = std::getenv("TLX1_SCREENSHOT_LIVE")) {
                      EXPECT_TRUE(main->grab().save(QString::fromLocal8Bit(path)));
                  }

                  QTest::mouseClick(QtView_ControlWidget(panelHandle, PANEL_VERBINDEN), Qt::LeftButton);
                  GetCtrlVal(panelHandle, PANEL_VERBINDEN, &connected);
                  EXPECT_EQ(connected, 0);
              }),
              0);
}

}  // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
