// The help window of the Qt view: a Markdown document (the operator manual) with its pictures, beside
// the panels; its headings are the targets of the document's own links ("#einstellungen").
#pragma once

class QString;
class QTextBrowser;
class QWidget;

// Shows the document at `path` (as the file system spells it) in the help window, from its top; the
// window is made on first use, owned by `owner` (a panel window), and brought to the front (the same
// document again keeps its place). Escape closes it. false when the file cannot be read (the window
// then stays as it was).
bool ShowHelpWindow(QWidget *owner, const QString &title, const QString &path);

// Gives a control's widget the meaning the program set for it (ATTR_TOOLTIP): its tooltip shows the
// meaning first, then what the widget shows there itself (the whole of a text cut short in its
// field); a screen reader reads it as the widget's description.
void SetControlHelp(QWidget *widget, const QString &help);

// The browser of the help window, or null when none was made (for tests).
QTextBrowser *QtView_HelpBrowser(void);
// Deletes the help window (QtView_Reset).
void DeleteHelpWindow(void);
