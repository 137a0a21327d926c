// The program's real window on Qt's offscreen platform: a fixture that runs it in a temporary
// folder, its routine on the program thread, while a function on the Qt thread plays the operator;
// the operator's typing and reading.
#pragma once

#include "app/TLX1Steuerung.h"
#include "platform/qt/qtchart.h"
#include "platform/qt/qtview.h"
#include "platform/qt/qtwidgets.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdlib.h>
#include <string>

namespace tlx1qt {

class AppWindowTest : public ::testing::Test {
protected:
    // The settings file and the service record land in a fresh folder of the test's own.
    void SetUp() override
    {
        std::string d = (std::filesystem::temp_directory_path() / "tlx1appqt-XXXXXX").string();
        ASSERT_NE(mkdtemp(d.data()), nullptr);
        std::filesystem::current_path(dir_ = d);
        setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
    }
    void TearDown() override
    {
        QtView_Reset();
        UiTest_Reset();
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }

    // Runs the program with fresh panels; `operate` plays the operator once the window is up and
    // the program waits for input, then "Beenden" ends it (after 60 s at the latest, with exit code 2).
    static int run(const std::function<void()> &operate)
    {
        QtView_Reset();
        UiTest_Reset();
        UseQtView();
        QTimer::singleShot(0, [&] {
            idle();
            operate();
            QuitUserInterface(0);
        });
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, [] { QuitUserInterface(2); });
        guard.start(60000);
        char name[] = "tlx1steuerung";
        char *argv[] = {name, nullptr};
        return QtView_RunProgram(TLX1Steuerung_Main, 1, argv);
    }

    // Waits until the program has handled the input so far, and shows its state in the widgets.
    static void idle() { ASSERT_TRUE(QtView_WaitIdle()) << "the program did not come to rest"; }

    // Selects what the field holds (Ctrl+A), types text, Enter; waits for the program.
    static void type(int panel, int control, const QString &text)
    {
        QWidget *w = QtView_ControlWidget(panel, control);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w, text);
        QTest::keyClick(w, Qt::Key_Return);
        idle();
    }
    // Clicks a control of the main panel and waits for the program.
    static void click(int control)
    {
        QTest::mouseClick(QtView_ControlWidget(panelHandle, control), Qt::LeftButton);
        idle();
    }

    // The text a label or a numeric field of the main panel shows.
    static QString shown(int ctrl) { return QtView_ControlWidget(panelHandle, ctrl)->property("text").toString(); }

    // The main panel's strip chart as painted now.
    static ChartPaintInfo paintedChart()
    {
        auto *chart = dynamic_cast<StripChartWidget *>(QtView_ControlWidget(panelHandle, PANEL_STRIPCHART));
        if (chart == nullptr) {
            ADD_FAILURE() << "the strip chart is not a StripChartWidget";
            return {};
        }
        chart->grab();
        return chart->lastPaint();
    }

    // For the README: when the environment variable `name` holds an absolute path, saves the window there.
    static void screenshot(const char *name, QWidget *window)
    {
        if (const char *path = std::getenv(name)) {
            if (QWidget *focus = QApplication::focusWidget())
                focus->clearFocus();
            EXPECT_TRUE(window->grab().save(QString::fromLocal8Bit(path)));
        }
    }

    // The settings file in the test's folder.
    std::string ini() const
    {
        std::ifstream f(dir_ / "tlx1steuerung.ini", std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    void writeIni(const std::string &text) const
    {
        std::ofstream(dir_ / "tlx1steuerung.ini", std::ios::binary) << text;
    }

    std::filesystem::path dir_, old_ = std::filesystem::current_path();
};

// main() of a window test: offscreen unless the caller chose a platform (e.g. to watch on a desktop).
inline int RunWindowTests(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

}  // namespace tlx1qt
