// Shared set-up of the Qt view suites: a fresh toolkit with the Qt view on the offscreen platform.
#pragma once

#include "platform/qt/qtview.h"
#include "platform/userint/userint_view.h"

#include <QApplication>
#include <QTest>

#include <cstdlib>

// Resets the model and the view, installs the Qt view and starts it; false when Qt could not start.
inline bool StartQtView()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    UiTest_Reset();
    QtView_Reset();
    UseQtView();
    return InitUserInterface(0, nullptr) == 1 && qApp != nullptr;
}

// Shows a panel and waits until its window can take input.
inline bool ShowAndActivate(int panel)
{
    DisplayPanel(panel);
    QWidget *w = QtView_PanelWindow(panel);
    if (!w || !QTest::qWaitForWindowExposed(w)) return false;
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}
