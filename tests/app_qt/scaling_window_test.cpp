// The program's real window: the operator opens "Skalieren...", types a scaling, presses "Ok" and
// sees the unit labels, ranges and chart axis follow.
#include "app/TLX1Steuerung.h"
#include "platform/qt/qtview.h"
#include "platform/qt/qtwidgets.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <stdlib.h>

namespace {

class AppQtTest : public ::testing::Test {
 protected:
    void SetUp() override
    {
        old_ = std::filesystem::current_path();
        std::string d = (std::filesystem::temp_directory_path() / "tlx1appqt-XXXXXX").string();
        ASSERT_NE(mkdtemp(d.data()), nullptr);
        dir_ = d;
        std::filesystem::current_path(dir_);   // the settings file lands here
    }
    void TearDown() override
    {
        QtView_Reset();
        UiTest_Reset();
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }

    // Runs the program with fresh panels; `operate` plays the operator once the event loop runs,
    // then "Beenden" ends it (after 30 s at the latest).
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
        guard.start(30000);
        char name[] = "tlx1steuerung";
        char *argv[] = {name, nullptr};
        return TLX1Steuerung_Main(1, argv);
    }

    // Select what the field holds, type, Enter.
    static void type(int panel, int control, const QString &text)
    {
        QWidget *w = QtView_ControlWidget(panel, control);
        if (auto *spin = qobject_cast<QAbstractSpinBox *>(w))
            spin->selectAll();
        else if (auto *edit = qobject_cast<QLineEdit *>(w))
            edit->selectAll();
        QTest::keyClicks(w, text);
        QTest::keyClick(w, Qt::Key_Return);
    }

    static QString shown(int control)
    {
        QWidget *w = QtView_ControlWidget(panelHandle, control);
        if (auto *label = qobject_cast<QLabel *>(w))
            return label->text();
        auto *spin = qobject_cast<QAbstractSpinBox *>(w);
        return spin ? spin->text() : QString();
    }

    std::filesystem::path dir_, old_;
};

TEST_F(AppQtTest, ScalingDialogRescalesTheMainWindow)
{
    EXPECT_EQ(run([] {
                  QWidget *main = QtView_PanelWindow(panelHandle);
                  ASSERT_TRUE(main && main->isVisible());
                  SetCtrlVal(panelHandle, PANEL_SOLLWERT, 5.0);
                  main->findChild<QAction *>("SKALIERUNG")->trigger();
                  QWidget *dialog = QtView_PanelWindow(konfigpanelHandle);
                  ASSERT_TRUE(dialog && dialog->isVisible());
                  type(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, "100");
                  type(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, "%");
                  QTest::mouseClick(QtView_ControlWidget(konfigpanelHandle, KONFIGPNL_OK), Qt::LeftButton);
                  EXPECT_FALSE(dialog->isVisible());

                  for (int label : {PANEL_SOLLWERTEINHEIT, PANEL_ANFANGSSOLLWERTEINHEI, PANEL_ISTWERTEINHEIT,
                                    PANEL_ZOOMMINEINHEIT, PANEL_ZOOMMAXEINHEIT})
                      EXPECT_EQ(shown(label), "[%]") << label;
                  EXPECT_EQ(shown(PANEL_ANSTEIGSZEITEINHEIT), "[%/s]");
                  EXPECT_EQ(shown(PANEL_SOLLWERT), "50.00") << "5 V as %, two decimals";

                  // For the README: TLX1_SCREENSHOT=/absolute/path.png saves the main window now.
                  if (const char *path = std::getenv("TLX1_SCREENSHOT")) {
                      if (QWidget *focus = QApplication::focusWidget())
                          focus->clearFocus();
                      EXPECT_TRUE(main->grab().save(QString::fromLocal8Bit(path)));
                  }

                  // The zoom field's range now ends at 100 %.
                  type(panelHandle, PANEL_GRAPHZOOMMAX, "150");
                  EXPECT_EQ(shown(PANEL_GRAPHZOOMMAX), "100.00");
                  auto *chart = dynamic_cast<StripChartWidget *>(QtView_ControlWidget(panelHandle, PANEL_STRIPCHART));
                  ASSERT_NE(chart, nullptr);
                  chart->grab();   // paints it
                  EXPECT_EQ(chart->lastPaint().yName, QStringLiteral("Istwert [%]"));
                  EXPECT_EQ(chart->lastPaint().topValue, 100.0);
              }),
              0);
    std::ifstream in(dir_ / "tlx1steuerung.ini", std::ios::binary);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(in), {}).find("einheit = \"%\"\r\n"), std::string::npos);
}

// Settings whose scaling divides by zero put infinities and NaN into the fields; the window must
// still come up and paint.
TEST_F(AppQtTest, DegenerateSettingsFileStillOpensTheWindow)
{
    for (const char *file : {"[TLX1]\nvmin = 0\nvmax = 0\n", "[TLX1]\nvmin = 5\nvmax = 5\nzoommin = nan\n",
                             "[TLX1]\neinheitmin = 3\neinheitmax = 3\n"}) {
        SCOPED_TRACE(file);
        std::ofstream(dir_ / "tlx1steuerung.ini", std::ios::binary) << file;
        EXPECT_EQ(run([] { EXPECT_FALSE(QtView_PanelWindow(panelHandle)->grab().isNull()); }), 0);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    // Offscreen unless the caller chose a platform (e.g. to watch the test on a desktop).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
