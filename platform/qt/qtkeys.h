// Keyboard use of the panels in the Qt view: menus opened with Alt and their mnemonic, the menu
// items' shortcuts, Enter and Escape pressing a panel's buttons, and a tab order that reads the panel
// from top left to bottom right. Everything comes from the catalogue; the texts stay as it spells them.
#pragma once

#include <QString>

class QAction;
class QKeyEvent;
class QMenu;
class QMenuBar;
class QWidget;
struct MenuDef;
struct MenuItemDef;
struct PanelDef;

// Alt and the menu's mnemonic open the menu while `window` is active; the mnemonic is underlined
// where the bar draws the title (see MenuTitleForDrawing), the title's text stays as it is.
void SetMenuMnemonic(QMenuBar *bar, QMenu *menu, const MenuDef &def, QWidget *window);
// The item's shortcut from the catalogue, shown beside it in the menu.
void SetItemShortcut(QAction *action, const MenuItemDef &def);
// For the style: the text a menu bar draws for a title, with its mnemonic marked as Qt draws it
// underlined ('&' before it); other texts come back as they are.
QString MenuTitleForDrawing(const QWidget *bar, const QString &text);

// An Enter or Escape that no control of the panel took: clicks the panel's button for that key
// (VAL_ENTER_KEY, VAL_ESCAPE_KEY of the catalogue) when it is there to be pressed. true when clicked.
bool PressPanelKey(int panel, const QKeyEvent *event);

// Orders the panel's tab chain as the panel reads, top left to bottom right: the controls a frame
// holds one after the other, frames and free controls in rows, each row from left to right.
void SetPanelTabOrder(int panel, const PanelDef &def);
