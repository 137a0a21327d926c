#include "platform/qt/qtkeys.h"

#include "platform/qt/cp1252.h"
#include "platform/qt/qtview.h"
#include "platform/userint/userint_view.h"

#include <QAbstractButton>
#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QWidget>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

// The menu title's action keeps its mnemonic here, for drawing.
constexpr const char *kMnemonicProperty = "tlx1Mnemonic";

}  // namespace

void SetMenuMnemonic(QMenuBar *bar, QMenu *menu, const MenuDef &def, QWidget *window)
{
    if (def.mnemonic == 0)
        return;
    const QChar mnemonic = Cp1252ToQString(std::string(1, def.mnemonic)).at(0).toUpper();
    menu->menuAction()->setProperty(kMnemonicProperty, mnemonic);
    // Qt keys of Latin-1 characters are their upper-case code points ('D', '?', 0xC4 for an umlaut).
    auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key(mnemonic.unicode())), window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, bar, [bar, menu] {
        if (menu->isEnabled())
            bar->setActiveAction(menu->menuAction());  // opens it, keyboard ready
    });
}

void SetItemShortcut(QAction *action, const MenuItemDef &def)
{
    if (!def.shortcut || def.shortcut[0] == '\0')
        return;
    action->setShortcut(QKeySequence::fromString(QString::fromLatin1(def.shortcut), QKeySequence::PortableText));
    action->setShortcutContext(Qt::WindowShortcut);
}

QString MenuTitleForDrawing(const QWidget *bar, const QString &text)
{
    if (!bar)
        return text;
    for (const QAction *a : bar->actions()) {
        const QChar mnemonic = a->property(kMnemonicProperty).toChar();
        if (mnemonic.isNull() || a->text() != text)
            continue;
        // The first occurrence outside an escaped "&&" gets the marker.
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == u'&') {
                ++i;
                continue;
            }
            if (text[i].toUpper() == mnemonic)
                return QString(text).insert(i, u'&');
        }
    }
    return text;
}

bool PressPanelKey(int panel, const QKeyEvent *event)
{
    int key = 0;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: key = VAL_ENTER_KEY; break;
    case Qt::Key_Escape: key = VAL_ESCAPE_KEY; break;
    default: return false;
    }
    if (event->isAutoRepeat() || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    const PanelDef *def = UiModel_PanelDef(panel);
    for (int i = 0; def && i < def->controlCount; ++i) {
        if (!(def->controls[i].panelKeys & key))
            continue;
        auto *button = qobject_cast<QAbstractButton *>(QtView_ControlWidget(panel, def->controls[i].id));
        if (!button || !button->isEnabled() || !button->isVisible())
            continue;
        button->click();
        return true;
    }
    return false;
}

namespace {

struct Placed {
    QRect box;                       // position on the panel
    std::vector<QWidget *> widgets;  // in tab order: one control, or the controls a frame holds
};

// In rows from the top, each row from the left. A row is what begins above the middle of its first
// (topmost) element, so a button a few pixels higher than the field beside it stays in its row.
void SortAsRead(std::vector<Placed> &items)
{
    std::stable_sort(items.begin(), items.end(),
                     [](const Placed &a, const Placed &b) { return a.box.top() < b.box.top(); });
    for (auto row = items.begin(); row != items.end();) {
        const int rowEnd = row->box.top() + row->box.height() / 2;
        auto next =
            std::find_if(std::next(row), items.end(), [rowEnd](const Placed &p) { return p.box.top() >= rowEnd; });
        std::stable_sort(row, next, [](const Placed &a, const Placed &b) { return a.box.left() < b.box.left(); });
        row = next;
    }
}

}  // namespace

void SetPanelTabOrder(int panel, const PanelDef &def)
{
    auto box = [](const CtrlDef &c) { return QRect(c.left, c.top, c.width, c.height); };
    std::vector<Placed> frames, top;
    std::vector<std::vector<Placed>> members;
    for (int i = 0; i < def.controlCount; ++i)
        if (def.controls[i].kind == CTRL_DECORATION)
            frames.push_back({box(def.controls[i]), {}});
    members.resize(frames.size());
    for (int i = 0; i < def.controlCount; ++i) {
        const CtrlDef &c = def.controls[i];
        QWidget *w = QtView_ControlWidget(panel, c.id);
        if (c.kind == CTRL_DECORATION || !w || !(w->focusPolicy() & Qt::TabFocus))
            continue;
        // A control belongs to the smallest frame around its middle.
        int inside = -1;
        for (std::size_t f = 0; f < frames.size(); ++f)
            if (frames[f].box.contains(box(c).center()) &&
                (inside < 0 || frames[f].box.width() * frames[f].box.height() <
                                   frames[inside].box.width() * frames[inside].box.height()))
                inside = static_cast<int>(f);
        (inside < 0 ? top : members[inside]).push_back({box(c), {w}});
    }
    for (std::size_t f = 0; f < frames.size(); ++f) {
        if (members[f].empty())
            continue;
        SortAsRead(members[f]);
        for (const Placed &m : members[f])
            frames[f].widgets.push_back(m.widgets.front());
        top.push_back(frames[f]);
    }
    SortAsRead(top);
    QWidget *previous = nullptr;
    for (const Placed &p : top)
        for (QWidget *w : p.widgets) {
            if (previous)
                QWidget::setTabOrder(previous, w);
            previous = w;
        }
}
