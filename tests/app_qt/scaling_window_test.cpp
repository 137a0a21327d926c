// The program's real window: the operator opens "Skalieren...", types a scaling, presses "Ok" and
// sees the unit labels, ranges and chart axis follow.
#include "tests/app_qt/QtAppHelpers.h"

#include <QAction>

using AppQtTest = tlx1qt::AppWindowTest;

TEST_F(AppQtTest, ScalingDialogRescalesTheMainWindow)
{
    EXPECT_EQ(run([] {
                  QWidget *main = QtView_PanelWindow(panelHandle);
                  ASSERT_TRUE(main && main->isVisible());
                  SetCtrlVal(panelHandle, PANEL_SOLLWERT, 5.0);
                  main->findChild<QAction *>("SKALIERUNG")->trigger();
                  idle();
                  QWidget *dialog = QtView_PanelWindow(konfigpanelHandle);
                  ASSERT_TRUE(dialog && dialog->isVisible());
                  type(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, "100");
                  type(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, "%");
                  QTest::mouseClick(QtView_ControlWidget(konfigpanelHandle, KONFIGPNL_OK), Qt::LeftButton);
                  idle();
                  EXPECT_FALSE(dialog->isVisible());

                  for (int label : {PANEL_SOLLWERTEINHEIT, PANEL_ANFANGSSOLLWERTEINHEI, PANEL_ISTWERTEINHEIT,
                                    PANEL_ZOOMMINEINHEIT, PANEL_ZOOMMAXEINHEIT})
                      EXPECT_EQ(shown(label), "[%]") << label;
                  EXPECT_EQ(shown(PANEL_ANSTEIGSZEITEINHEIT), "[%/s]");
                  EXPECT_EQ(shown(PANEL_SOLLWERT), "50.00") << "5 V as %, two decimals";
                  screenshot("TLX1_SCREENSHOT", main);

                  // The zoom field's range now ends at 100 %.
                  type(panelHandle, PANEL_GRAPHZOOMMAX, "150");
                  EXPECT_EQ(shown(PANEL_GRAPHZOOMMAX), "100.00");
                  const ChartPaintInfo chart = paintedChart();
                  EXPECT_EQ(chart.yName, QStringLiteral("Istwert [%]"));
                  EXPECT_EQ(chart.topValue, 100.0);
              }),
              0);
    EXPECT_NE(ini().find("einheit = \"%\"\r\n"), std::string::npos) << ini();
}

// Settings whose scaling divides by zero put infinities and NaN into the fields; the window must
// still come up and paint.
TEST_F(AppQtTest, DegenerateSettingsFileStillOpensTheWindow)
{
    for (const char *file : {"[TLX1]\nvmin = 0\nvmax = 0\n", "[TLX1]\nvmin = 5\nvmax = 5\nzoommin = nan\n",
                             "[TLX1]\neinheitmin = 3\neinheitmax = 3\n"}) {
        SCOPED_TRACE(file);
        writeIni(file);
        EXPECT_EQ(run([] { EXPECT_FALSE(QtView_PanelWindow(panelHandle)->grab().isNull()); }), 0);
    }
}

int main(int argc, char **argv)
{
    return tlx1qt::RunWindowTests(argc, argv);
}
