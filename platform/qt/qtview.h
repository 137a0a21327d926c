// The Qt 6 Widgets view of the panel toolkit: real windows for the loaded panels, mirroring the model
// and turning operator input into the toolkit's operator calls.
#pragma once

class QWidget;

// Installs the Qt view as the toolkit's backend. Call before InitUserInterface; InitUserInterface then
// creates the QApplication (unless one exists) and returns 0 when no display can be reached.
void UseQtView(void);

// ---- view-side access, for tests and screenshots --------------------------------------------------
// The window of a loaded panel, or null. Its controls lie in the child widget named "panelContent",
// below the menu bar if the panel has one.
QWidget *QtView_PanelWindow(int panel);
// The widget that shows a control (the field, button, lamp, chart ...), or null.
QWidget *QtView_ControlWidget(int panel, int control);
// The label shown next to a control, or null when it has none.
QWidget *QtView_ControlLabel(int panel, int control);
// Deletes every window the view built; use after UiTest_Reset so the next panels start afresh.
void QtView_Reset(void);
