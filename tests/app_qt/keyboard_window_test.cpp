// The program's real window driven by the keyboard alone: the manual with F1, the scaling through
// Alt+K, Tab and Enter, and the tooltips that follow the new unit.
#include "tests/app_qt/QtAppHelpers.h"

#include "platform/qt/qthelp.h"

#include <QHelpEvent>
#include <QMenu>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolTip>

using AppQtTest = tlx1qt::AppWindowTest;

namespace {

// A key on whatever takes the keyboard now (an open menu first), then the program's answer.
void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    QWidget *target = QApplication::activePopupWidget();
    if (!target)
        target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, k, m);
    ASSERT_TRUE(QtView_WaitIdle());
}

void typeKeys(const char *text)
{
    QTest::keyClicks(QApplication::focusWidget(), text);
}

// The tooltip the pointer brings up over the widget.
QString tooltipShown(QWidget *w)
{
    const QPoint at = w->rect().center();
    QHelpEvent event(QEvent::ToolTip, at, w->mapToGlobal(at));
    QApplication::sendEvent(w, &event);
    QString text = QToolTip::text();
    QToolTip::hideText();
    return text;
}

void waitActive(QWidget *window)
{
    window->activateWindow();
    QTRY_VERIFY(QApplication::activeWindow() == window);
}

}  // namespace

TEST_F(AppQtTest, TheKeyboardAloneOpensTheManualAndScalesTheWindow)
{
    EXPECT_EQ(run([] {
                  QWidget *main = QtView_PanelWindow(panelHandle);
                  waitActive(main);
                  key(Qt::Key_F1);
                  QTextBrowser *help = QtView_HelpBrowser();
                  ASSERT_NE(help, nullptr) << "the manual is found in the source tree";
                  QTRY_VERIFY(help->window()->isVisible());
                  EXPECT_EQ(help->document()->firstBlock().text(),
                            QString::fromUtf16(u"TLX-1 Steuerung \u2013 Bedienhandbuch"));
                  waitActive(help->window());
                  key(Qt::Key_Escape);
                  EXPECT_FALSE(help->window()->isVisible());

                  // Alt+K, the first item ("Skalieren..."), then the dialog by Tab and Enter.
                  waitActive(main);
                  key(Qt::Key_K, Qt::AltModifier);
                  key(Qt::Key_Down);
                  key(Qt::Key_Return);
                  QWidget *dialog = QtView_PanelWindow(konfigpanelHandle);
                  ASSERT_TRUE(dialog->isVisible());
                  waitActive(dialog);
                  QtView_ControlWidget(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT)->setFocus(Qt::TabFocusReason);
                  for (int i = 0; i < 3; ++i)
                      key(Qt::Key_Tab);
                  typeKeys("100");
                  key(Qt::Key_Tab);
                  typeKeys("%");
                  key(Qt::Key_Return);
                  EXPECT_FALSE(dialog->isVisible()) << "Enter is Ok";
                  EXPECT_EQ(shown(PANEL_SOLLWERTEINHEIT), "[%]");

                  // What the pointer shows on the setpoint and on its label follows the new unit.
                  const QString tip = tooltipShown(QtView_ControlWidget(panelHandle, PANEL_SOLLWERT));
                  EXPECT_TRUE(tip.endsWith(QStringLiteral("\nBereich: 0 bis 100 %"))) << tip.toStdString();
                  EXPECT_EQ(tooltipShown(QtView_ControlLabel(panelHandle, PANEL_SOLLWERT)), tip);
                  // A ring's meaning comes before the whole of an item it has to cut short.
                  const QString ring = tooltipShown(QtView_ControlWidget(panelHandle, PANEL_BETRIEBSART));
                  EXPECT_TRUE(ring.startsWith(QStringLiteral("Betriebsart: "))) << ring.toStdString();
              }),
              0);
}
