// The program's real window: the operator opens "Skalieren...", types a scaling, presses "Ok" and
// sees the main window's unit labels, ranges and chart axis follow.
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

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>

namespace {

// Each test in a working folder of its own, so the settings file lands there.
class AppQtTest : public ::testing::Test {
 protected:
    void SetUp() override
    {
        oldDir_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "tlx1appqt-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        std::filesystem::current_path(dir_);
    }
    void TearDown() override
    {
        QtView_Reset();
        UiTest_Reset();
        std::filesystem::current_path(oldDir_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Runs the program; `operate` plays the operator once the event loop runs. The program is ended
    // through "Beenden" afterwards, and after 30 s at the latest. Each run starts with fresh panels.
    int runProgram(const std::function<void()> &operate)
    {
        QtView_Reset();
        UiTest_Reset();
        UseQtView();
        QTimer::singleShot(0, [&] {
            operate();
            if (QAction *beenden = menuItem("BEENDEN"))
                beenden->trigger();
            else
                QuitUserInterface(1);
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QuitUserInterface(2); });
        guard.start(30000);
        char name[] = "tlx1steuerung";
        char *argv[] = {name, nullptr};
        return TLX1Steuerung_Main(1, argv);
    }

    static QAction *menuItem(const char *constantName)
    {
        QWidget *window = QtView_PanelWindow(panelHandle);
        return window ? window->findChild<QAction *>(QString::fromLatin1(constantName)) : nullptr;
    }

    // Types into a field as an operator does: select what is there, type, Enter.
    static void type(int panel, int control, const QString &text)
    {
        QWidget *w = QtView_ControlWidget(panel, control);
        ASSERT_NE(w, nullptr) << control;
        w->setFocus();
        if (auto *spin = qobject_cast<QAbstractSpinBox *>(w))
            spin->selectAll();
        else if (auto *edit = qobject_cast<QLineEdit *>(w))
            edit->selectAll();
        QTest::keyClicks(w, text);
        QTest::keyClick(w, Qt::Key_Return);
    }

    static QString shown(int panel, int control)
    {
        QWidget *w = QtView_ControlWidget(panel, control);
        if (auto *label = qobject_cast<QLabel *>(w))
            return label->text();
        if (auto *spin = qobject_cast<QAbstractSpinBox *>(w))
            return spin->text();
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            return edit->text();
        return QStringLiteral("<no text widget>");
    }

    std::string settingsFile() const
    {
        std::ifstream in(dir_ / "tlx1steuerung.ini", std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path dir_, oldDir_;
};

TEST_F(AppQtTest, ScalingDialogRescalesTheMainWindow)
{
    const int rc = runProgram([] {
        QWidget *main = QtView_PanelWindow(panelHandle);
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(main->isVisible());
        EXPECT_EQ(shown(panelHandle, PANEL_SOLLWERTEINHEIT), "[V]");
        type(panelHandle, PANEL_SOLLWERT, "5");

        QAction *skalieren = menuItem("SKALIERUNG");
        ASSERT_NE(skalieren, nullptr);
        skalieren->trigger();
        QWidget *dialog = QtView_PanelWindow(konfigpanelHandle);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());

        type(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, "100");
        type(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, "%");
        auto *ok = qobject_cast<QPushButton *>(QtView_ControlWidget(konfigpanelHandle, KONFIGPNL_OK));
        ASSERT_NE(ok, nullptr);
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible());

        for (int label : {PANEL_SOLLWERTEINHEIT, PANEL_ANFANGSSOLLWERTEINHEI, PANEL_ISTWERTEINHEIT,
                          PANEL_ZOOMMINEINHEIT, PANEL_ZOOMMAXEINHEIT})
            EXPECT_EQ(shown(panelHandle, label), "[%]") << label;
        EXPECT_EQ(shown(panelHandle, PANEL_ANSTEIGSZEITEINHEIT), "[%/s]");
        EXPECT_EQ(shown(panelHandle, PANEL_STELLWERTEINHEIT), "[V]");
        // 5 V is now 50 %, shown with 2 decimals; the range ends at 100 %.
        EXPECT_EQ(shown(panelHandle, PANEL_SOLLWERT), "50.00");
        // For the README: TLX1_SCREENSHOT=/absolute/path.png saves the main window as it stands now.
        if (const char *path = std::getenv("TLX1_SCREENSHOT")) {
            if (QWidget *focus = QApplication::focusWidget())
                focus->clearFocus();
            EXPECT_TRUE(main->grab().save(QString::fromLocal8Bit(path)));
        }
        type(panelHandle, PANEL_SOLLWERT, "150");
        EXPECT_EQ(shown(panelHandle, PANEL_SOLLWERT), "100.00");
        EXPECT_EQ(shown(panelHandle, PANEL_GRAPHZOOMMAX), "100.00");

        auto *chart = dynamic_cast<StripChartWidget *>(QtView_ControlWidget(panelHandle, PANEL_STRIPCHART));
        ASSERT_NE(chart, nullptr);
        chart->grab();   // paints it
        EXPECT_EQ(chart->lastPaint().yName, QStringLiteral("Istwert [%]"));
        EXPECT_EQ(chart->lastPaint().bottomValue, 0.0);
        EXPECT_EQ(chart->lastPaint().topValue, 100.0);

    });
    EXPECT_EQ(rc, 0);
    EXPECT_NE(settingsFile().find("einheit = \"%\"\r\n"), std::string::npos) << settingsFile();
}

// Settings whose scaling divides by zero put infinities and NaN into the fields; the window must
// still come up and paint.
TEST_F(AppQtTest, DegenerateSettingsFileStillOpensTheWindow)
{
    for (const char *datei : {"[TLX1]\nvmin = 0\nvmax = 0\n", "[TLX1]\nvmin = 5\nvmax = 5\n",
                              "[TLX1]\neinheitmin = 3\neinheitmax = 3\nzoommin = nan\n"}) {
        SCOPED_TRACE(datei);
        std::ofstream(dir_ / "tlx1steuerung.ini", std::ios::binary) << datei;
        EXPECT_EQ(runProgram([] {
                      QWidget *main = QtView_PanelWindow(panelHandle);
                      ASSERT_NE(main, nullptr);
                      EXPECT_FALSE(main->grab().isNull());
                  }),
                  0);
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
