// Panel toolkit model: operator input, the view's read access, and the test API.
#include "platform/userint/userint_internal.h"

#include <charconv>
#include <cmath>
#include <cstring>

using namespace uimodel;

// ---- operator input -----------------------------------------------------------------------------

// Whether the operator can reach the control at all: its panel is not under a modal popup, and the
// control is visible, enabled and not a pure display.
static int Reachable(int panel, int control, Panel **p, Control **c)
{
    *p = FindPanel(panel);
    if (!*p)
        return UIE_BAD_PANEL;
    *c = FindControl(*p, control);
    if (!*c)
        return UIE_BAD_CONTROL;
    if (!S().popupStack.empty() && S().popupStack.back() != panel)
        return UIE_BLOCKED_BY_POPUP;
    if (!TakesOperatorInput((*c)->def->kind))
        return UIE_BAD_CONTROL;
    return (*c)->dimmed || !(*c)->visible ? UIE_BAD_CONTROL : UIE_NO_ERROR;
}

// The operator's action is done: the control has the focus (the view already shows it there), the
// view repaints, the callback runs without the model's mutex.
static int Commit(Panel &p, Control &c, ModelLock &lock)
{
    const int panel = p.handle;
    const int control = c.def->id;
    p.activeCtrl = control;
    NotifyControl(panel, control);
    CtrlCallbackPtr cb = CtrlCallbackByName(c.def->callbackName);
    lock.unlock();
    return cb ? RunCallback([=] { return cb(panel, control, EVENT_COMMIT, nullptr, 0, 0); }) : 0;
}

// Index of the ring item with this value, -1 when no item has it.
static int ItemWithValue(const Control &c, double value)
{
    for (int i = 0; c.def->items && i < c.def->itemCount; ++i)
        if (c.def->items[i].value == value)
            return i;
    return -1;
}

static int PickIndex(Panel &p, Control &c, int index, ModelLock &lock)
{
    if (c.def->kind == CTRL_COMBO_BOX) {
        if (index < 0 || size_t(index) >= c.itemTexts.size())
            return UIE_BAD_VALUE;
        c.text = CutToEntryLength(c, c.itemTexts[size_t(index)].c_str());
        return Commit(p, c, lock);
    }
    if (index < 0 || index >= c.def->itemCount || !c.def->items)
        return UIE_BAD_VALUE;
    c.value = c.def->items[index].value;
    return Commit(p, c, lock);
}

int UiOperator_Enter(int panel, int control, double value)
{
    ModelLock lock;
    Panel *p;
    Control *c;
    if (int rc = Reachable(panel, control, &p, &c))
        return rc;
    if (std::isnan(value))
        return UIE_BAD_VALUE;
    switch (c->def->kind) {
    case CTRL_NUMERIC: c->value = Coerce(*c, value); return Commit(*p, *c, lock);
    case CTRL_TOGGLE_BUTTON:
    case CTRL_CHECK_BOX: c->value = value != 0.0 ? 1.0 : 0.0; return Commit(*p, *c, lock);
    case CTRL_RING: return PickIndex(*p, *c, ItemWithValue(*c, value), lock);
    default: return UIE_TYPE_MISMATCH;
    }
}

// A number as typed: blanks around it allowed, a comma taken as the decimal point.
static bool ParseNumber(const char *text, double *value)
{
    std::string s = text;
    const size_t first = s.find_first_not_of(" \t");
    const size_t last = s.find_last_not_of(" \t");
    if (first == std::string::npos)
        return false;
    s = s.substr(first, last - first + 1);
    for (char &ch : s)
        if (ch == ',')
            ch = '.';
    const char *begin = s.c_str() + (s[0] == '+' ? 1 : 0);
    const char *end = s.c_str() + s.size();
    auto r = std::from_chars(begin, end, *value);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(*value);
}

int UiOperator_EnterText(int panel, int control, const char *text)
{
    ModelLock lock;
    Panel *p;
    Control *c;
    if (int rc = Reachable(panel, control, &p, &c))
        return rc;
    if (!text)
        text = "";
    switch (c->def->kind) {
    case CTRL_STRING:
    case CTRL_COMBO_BOX:
        c->text = CutToEntryLength(*c, text);  // characters beyond the entry length are refused
        return Commit(*p, *c, lock);
    case CTRL_NUMERIC: {
        double v;
        if (!ParseNumber(text, &v))
            return UIE_BAD_VALUE;
        lock.unlock();
        return UiOperator_Enter(panel, control, v);
    }
    case CTRL_RING:
        for (size_t i = 0; i < c->itemLabels.size(); ++i)
            if (c->itemLabels[i] == text)
                return PickIndex(*p, *c, int(i), lock);
        return UIE_BAD_VALUE;
    default: return UIE_TYPE_MISMATCH;
    }
}

int UiOperator_Press(int panel, int control)
{
    ModelLock lock;
    Panel *p;
    Control *c;
    if (int rc = Reachable(panel, control, &p, &c))
        return rc;
    if (c->def->kind == CTRL_TOGGLE_BUTTON || c->def->kind == CTRL_CHECK_BOX)
        c->value = c->value != 0.0 ? 0.0 : 1.0;
    else if (c->def->kind != CTRL_COMMAND_BUTTON)
        return UIE_TYPE_MISMATCH;
    return Commit(*p, *c, lock);
}

int UiOperator_PickRingIndex(int panel, int control, int index)
{
    ModelLock lock;
    Panel *p;
    Control *c;
    if (int rc = Reachable(panel, control, &p, &c))
        return rc;
    if (c->def->kind != CTRL_RING && c->def->kind != CTRL_COMBO_BOX)
        return UIE_TYPE_MISMATCH;
    return PickIndex(*p, *c, index, lock);
}

int UiOperator_TimerTick(int panel, int control)
{
    ModelLock lock;
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    Control *c = FindControl(p, control);
    if (!c)
        return UIE_BAD_CONTROL;
    if (c->def->kind != CTRL_TIMER)
        return UIE_TYPE_MISMATCH;
    if (!c->enabled || c->dimmed)  // a stopped timer does not tick
        return 0;
    CtrlCallbackPtr cb = CtrlCallbackByName(c->def->callbackName);
    lock.unlock();
    return cb ? RunCallback([=] { return cb(panel, control, EVENT_TIMER_TICK, nullptr, 0, 0); }) : 0;
}

int UiOperator_ClosePanel(int panel)
{
    ModelLock lock;
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    if (!S().popupStack.empty() && S().popupStack.back() != panel)
        return UIE_BLOCKED_BY_POPUP;
    PanelCallbackPtr cb = PanelCallbackByName(p->def->panelCallbackName);
    lock.unlock();
    return cb ? RunCallback([=] { return cb(panel, EVENT_CLOSE, nullptr, 0, 0); }) : 0;
}

int UiOperator_ChooseMenuItem(int panel, int menuItem)
{
    ModelLock lock;
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    const MenuItemDef *item = FindMenuItem(*p, menuItem);
    if (!item || item->separator)
        return UIE_BAD_MENU;
    if (!S().popupStack.empty() && S().popupStack.back() != panel)
        return UIE_BLOCKED_BY_POPUP;
    MenuCallbackPtr cb = MenuCallbackByName(item->callbackName);
    const int menuBar = p->menuBar;
    lock.unlock();
    if (cb)
        RunCallback([=] {
            cb(menuBar, menuItem, nullptr, panel);
            return 0;
        });
    return UIE_NO_ERROR;
}

// ---- read access for the view -------------------------------------------------------------------

std::vector<int> UiModel_Panels(void)
{
    const ModelLock lock;
    std::vector<int> handles;
    for (const auto &p : S().panels)
        handles.push_back(p->handle);
    return handles;
}

const PanelDef *UiModel_PanelDef(int panel)
{
    const ModelLock lock;
    const Panel *p = FindPanel(panel);
    return p ? p->def : nullptr;
}

int UiModel_PanelParent(int panel)
{
    const ModelLock lock;
    const Panel *p = FindPanel(panel);
    return p ? p->parent : 0;
}

int UiModel_PanelVisible(int panel)
{
    const ModelLock lock;
    const Panel *p = FindPanel(panel);
    return p ? p->visible : 0;
}

int UiModel_PanelIsPopup(int panel)
{
    const ModelLock lock;
    const Panel *p = FindPanel(panel);
    return p ? p->popup : 0;
}

const CtrlDef *UiModel_CtrlDef(int panel, int control)
{
    const ModelLock lock;
    const Control *c = FindControl(FindPanel(panel), control);
    return c ? c->def : nullptr;
}

double UiModel_NumericValue(int panel, int control)
{
    const ModelLock lock;
    const Control *c = FindControl(FindPanel(panel), control);
    return c ? c->value : 0.0;
}

std::string UiModel_TextValue(int panel, int control)
{
    const ModelLock lock;
    const Control *c = FindControl(FindPanel(panel), control);
    return c ? c->text : std::string();
}

int UiModel_RingIndex(int panel, int control)
{
    const ModelLock lock;
    const Control *c = FindControl(FindPanel(panel), control);
    return c && c->def->kind == CTRL_RING ? ItemWithValue(*c, c->value) : -1;
}

std::string UiModel_DisplayText(int panel, int control)
{
    const ModelLock lock;
    const Control *c = FindControl(FindPanel(panel), control);
    if (!c)
        return {};
    switch (c->def->kind) {
    case CTRL_NUMERIC_INDICATOR:
        if (std::isnan(c->value))
            return {};  // an indicator without a value (nothing measured yet) shows an empty field
        [[fallthrough]];
    case CTRL_NUMERIC: return IsIntegerControl(*c) ? FormatInt(c->value) : FormatFixed(c->value, c->precision);
    case CTRL_RING: {
        const int i = UiModel_RingIndex(panel, control);
        if (i >= 0 && size_t(i) < c->itemLabels.size())
            return c->itemLabels[size_t(i)];
        return IsIntegerControl(*c) ? FormatInt(c->value) : FormatShortest(c->value);
    }
    case CTRL_TOGGLE_BUTTON: return c->value != 0.0 ? c->onText : c->offText;
    case CTRL_LED:
    case CTRL_CHECK_BOX: return c->value != 0.0 ? "1" : "0";
    case CTRL_STRING:
    case CTRL_STRING_INDICATOR:
    case CTRL_COMBO_BOX:
    case CTRL_TEXT_MSG:
    case CTRL_TABLE: return c->text;
    default: return {};
    }
}

// ---- test API -----------------------------------------------------------------------------------

void UiTest_Reset(void)
{
    ResetState();
    ResetProgramQueue();
}

int UiTest_Enter(int panel, int control, double value)
{
    return UiOperator_Enter(panel, control, value);
}

int UiTest_Enter(int panel, int control, int value)
{
    return UiOperator_Enter(panel, control, double(value));
}

int UiTest_Enter(int panel, int control, const char *text)
{
    return UiOperator_EnterText(panel, control, text);
}

int UiTest_Press(int panel, int control)
{
    return UiOperator_Press(panel, control);
}

int UiTest_PickListItem(int panel, int control, int index)
{
    return UiOperator_PickRingIndex(panel, control, index);
}

int UiTest_PickRingValue(int panel, int control, double value)
{
    const CtrlDef *def = UiModel_CtrlDef(panel, control);
    if (def && def->kind != CTRL_RING)
        return UIE_TYPE_MISMATCH;
    return UiOperator_Enter(panel, control, value);  // on a ring: picks the item with this value
}

void UiTest_TimerTick(void)
{
    // Collected first: a callback may load panels or switch timers while the ticks go out.
    std::vector<std::pair<int, int>> timers;
    {
        const ModelLock lock;
        for (const auto &p : S().panels)
            for (const auto &c : p->controls)
                if (c.def->kind == CTRL_TIMER)
                    timers.emplace_back(p->handle, c.def->id);
    }
    for (auto [panel, control] : timers)
        UiOperator_TimerTick(panel, control);
}

int UiTest_ClosePanel(int panel)
{
    return UiOperator_ClosePanel(panel);
}

int UiTest_ChooseMenuItem(int panel, int menuItem)
{
    return UiOperator_ChooseMenuItem(panel, menuItem);
}

void UiTest_AnswerNextFilePopup(int result, const char *path)
{
    const ModelLock lock;
    S().fileAnswers.emplace_back(result, path ? path : "");
}

void UiTest_AnswerNextMessagePopup(int button)
{
    const ModelLock lock;
    S().messageAnswers.push_back(button);
}

std::vector<UiTestPopup> UiTest_Popups(void)
{
    const ModelLock lock;
    return S().popups;
}

void UiTest_ClearPopups(void)
{
    const ModelLock lock;
    S().popups.clear();
}

int UiTest_IsVisible(int panel)
{
    return UiModel_PanelVisible(panel);
}

int UiTest_TopPopup(void)
{
    const ModelLock lock;
    return S().popupStack.empty() ? 0 : S().popupStack.back();
}

std::vector<double> UiTest_ChartPoints(int panel, int control)
{
    return UiModel_ChartPoints(panel, control);
}

void UiTest_SetRunScript(std::function<void()> script)
{
    const ModelLock lock;
    S().runScript = std::move(script);
}
