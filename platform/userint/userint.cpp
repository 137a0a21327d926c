// Panel toolkit model: panels, values, attributes, strip charts, popups and the event loop.
#include "platform/userint/userint_internal.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <strings.h>

namespace uimodel {

State &S()
{
    static State state;
    return state;
}

void ResetState()
{
    const ModelLock lock;
    S() = State{};
    S().initialised = true;
}

Panel *FindPanel(int handle)
{
    for (auto &p : S().panels)
        if (p->handle == handle)
            return p.get();
    return nullptr;
}

Control *FindControl(Panel *panel, int id)
{
    if (!panel)
        return nullptr;
    for (auto &c : panel->controls)
        if (c.def->id == id)
            return &c;
    return nullptr;
}

const MenuItemDef *FindMenuItem(const Panel &panel, int itemId)
{
    const MenuBarDef *bar = panel.def->menuBar;
    if (!bar)
        return nullptr;
    for (int m = 0; m < bar->menuCount; ++m)
        for (int i = 0; i < bar->menus[m].itemCount; ++i)
            if (bar->menus[m].items[i].id == itemId)
                return &bar->menus[m].items[i];
    return nullptr;
}

static const Callback *CallbackByName(const char *name)
{
    if (!name || !*name)
        return nullptr;
    for (const auto &cb : S().callbacks)
        if (cb.name == name)
            return &cb;
    return nullptr;
}

CtrlCallbackPtr CtrlCallbackByName(const char *name)
{
    const Callback *cb = CallbackByName(name);
    return cb ? cb->ctrl : nullptr;
}

PanelCallbackPtr PanelCallbackByName(const char *name)
{
    const Callback *cb = CallbackByName(name);
    return cb ? cb->panel : nullptr;
}

MenuCallbackPtr MenuCallbackByName(const char *name)
{
    const Callback *cb = CallbackByName(name);
    return cb ? cb->menu : nullptr;
}

bool IsIntegerControl(const Control &c)
{
    return c.def->dataType == VAL_INTEGER;
}

bool IsNumericKind(CtrlKind kind)
{
    return kind == CTRL_NUMERIC || kind == CTRL_NUMERIC_INDICATOR;
}

bool IsStringKind(CtrlKind kind)
{
    return kind == CTRL_STRING || kind == CTRL_STRING_INDICATOR || kind == CTRL_COMBO_BOX;
}

bool IsOnOffKind(CtrlKind kind)
{
    return kind == CTRL_TOGGLE_BUTTON || kind == CTRL_CHECK_BOX || kind == CTRL_LED;
}

bool TakesOperatorInput(CtrlKind kind)
{
    switch (kind) {
    case CTRL_NUMERIC:
    case CTRL_STRING:
    case CTRL_RING:
    case CTRL_COMMAND_BUTTON:
    case CTRL_TOGGLE_BUTTON:
    case CTRL_COMBO_BOX:
    case CTRL_CHECK_BOX: return true;
    default: return false;
    }
}

// Whole number within int range, so converting it to int is always defined (NaN becomes 0).
static double ToIntRange(double v)
{
    return std::isnan(v) ? 0.0 : std::round(std::clamp(v, double(INT_MIN), double(INT_MAX)));
}

double Coerce(const Control &c, double v)
{
    if (std::isnan(v))
        return v;
    v = std::clamp(v, c.minValue, c.maxValue);
    return IsIntegerControl(c) ? ToIntRange(v) : v;
}

std::string CutToEntryLength(const Control &c, const char *text)
{
    std::string s = text ? text : "";
    if (IsStringKind(c.def->kind) && c.maxEntryLength >= 0 && s.size() > size_t(c.maxEntryLength))
        s.resize(size_t(c.maxEntryLength));
    return s;
}

static const char *NonFinite(double v)
{
    if (std::isnan(v))
        return "NaN";
    return v > 0 ? "Inf" : "-Inf";
}

// "-0.000" reads like a fault on an operator panel; a rounded negative zero shows without sign.
static std::string DropNegativeZero(std::string s)
{
    if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos)
        s.erase(0, 1);
    return s;
}

std::string FormatFixed(double v, int precision)
{
    if (!std::isfinite(v))
        return NonFinite(v);
    char buf[400];  // DBL_MAX has 309 digits; 15 decimals at most
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, std::clamp(precision, 0, 15));
    return DropNegativeZero(std::string(buf, r.ptr));
}

std::string FormatShortest(double v)
{
    if (!std::isfinite(v))
        return NonFinite(v);
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return DropNegativeZero(std::string(buf, r.ptr));
}

std::string FormatInt(double v)
{
    if (!std::isfinite(v))
        return NonFinite(v);
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(ToIntRange(v)));
    return std::string(buf, r.ptr);
}

void NotifyControl(int panel, int control)
{
    if (S().backend && S().backend->controlChanged)
        S().backend->controlChanged(panel, control);
}

void NotifyChart(int panel, int control)
{
    if (S().backend && S().backend->chartChanged)
        S().backend->chartChanged(panel, control);
}

void NotifyVisibility(int panel)
{
    if (S().backend && S().backend->panelVisibility)
        S().backend->panelVisibility(panel);
}

void NotifyActive(int panel, int control)
{
    if (S().backend && S().backend->activeControlChanged)
        S().backend->activeControlChanged(panel, control);
}

}  // namespace uimodel

using namespace uimodel;

std::recursive_mutex &UiModel_Mutex(void)
{
    static auto *mutex = new std::recursive_mutex;  // outlives every thread that may still take it
    return *mutex;
}

// ---- registration -----------------------------------------------------------------------------------

void RegisterPanelFile(const char *fileName, const PanelDef *panels, int panelCount)
{
    const ModelLock lock;
    if (!fileName || !panels || panelCount <= 0)
        return;
    auto &files = S().files;
    std::erase_if(files, [&](const PanelFile &f) { return strcasecmp(f.name.c_str(), fileName) == 0; });
    files.push_back({fileName, panels, panelCount});
}

void InstallCallbackTable(const CallbackEntry *entries, int count)
{
    const ModelLock lock;
    S().callbacks.clear();
    for (int i = 0; entries && i < count; ++i)
        if (entries[i].name)
            S().callbacks.push_back({entries[i].name, entries[i].ctrl, entries[i].panel, entries[i].menu});
}

std::vector<std::string> MissingCallbackNames()
{
    const ModelLock lock;
    std::vector<std::string> missing;
    auto need = [&](const char *name, bool provided) {
        if (name && *name && !provided)
            missing.emplace_back(name);
    };
    for (const auto &p : S().panels) {
        need(p->def->panelCallbackName, PanelCallbackByName(p->def->panelCallbackName));
        for (const auto &c : p->controls)
            need(c.def->callbackName, CtrlCallbackByName(c.def->callbackName));
        if (const MenuBarDef *bar = p->def->menuBar)
            for (int m = 0; m < bar->menuCount; ++m)
                for (int i = 0; i < bar->menus[m].itemCount; ++i) {
                    const char *name = bar->menus[m].items[i].callbackName;
                    need(name, MenuCallbackByName(name));
                }
    }
    std::sort(missing.begin(), missing.end());
    missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
    return missing;
}

// ---- panels -----------------------------------------------------------------------------------------

void SetUiBackend(const UiBackend *backend)
{
    const ModelLock lock;
    S().backend = backend;
}

int InitUserInterface(int argc, char *argv[])
{
    const UiBackend *backend;
    {
        const ModelLock lock;
        backend = S().backend;
    }
    if (backend && backend->init && !backend->init(argc, argv))
        return 0;
    const ModelLock lock;
    S().initialised = true;
    return 1;
}

// The name without a directory, so "dir/TLX1Steuerung.uir" finds the registered "TLX1Steuerung.uir".
static const char *BaseName(const char *path)
{
    const char *base = path;
    for (const char *p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    return base;
}

static const PanelDef *FindPanelDef(const char *fileName, int resourceId)
{
    for (const auto &f : S().files) {
        if (strcasecmp(f.name.c_str(), BaseName(fileName)) != 0)
            continue;
        for (int i = 0; i < f.count; ++i)
            if (f.panels[i].resourceId == resourceId)
                return &f.panels[i];
    }
    return nullptr;
}

// A range limit for this control: integer controls take whole ints, infinity means the int's end.
static double LimitFor(const Control &c, double v, bool isMin)
{
    if (!IsIntegerControl(c))
        return v;
    v = std::clamp(v, double(INT_MIN), double(INT_MAX));
    return isMin ? std::ceil(v) : std::floor(v);
}

static Control BuildControl(const CtrlDef &d)
{
    Control c;
    c.def = &d;
    c.label = d.label ? d.label : "";
    c.dimmed = d.dimmed ? 1 : 0;
    c.visible = d.hidden ? 0 : 1;
    c.increment = std::isfinite(d.increment) ? d.increment : 1.0;
    c.precision = std::clamp(d.precision, 0, 15);
    c.maxEntryLength = d.maxEntryLength < 0 ? -1 : d.maxEntryLength;
    c.onColor = d.onColor;
    c.onText = d.onText ? d.onText : "";
    c.offText = d.offText ? d.offText : "";
    c.minValue = std::isnan(d.minValue) ? -HUGE_VAL : LimitFor(c, d.minValue, true);
    c.maxValue = std::isnan(d.maxValue) ? HUGE_VAL : LimitFor(c, d.maxValue, false);
    if (c.maxValue < c.minValue)
        c.maxValue = c.minValue;
    const double start = std::isnan(d.startValue) ? 0.0 : d.startValue;
    switch (d.kind) {
    case CTRL_NUMERIC:
    case CTRL_NUMERIC_INDICATOR: c.value = Coerce(c, start); break;
    case CTRL_RING:
        c.value = IsIntegerControl(c) ? ToIntRange(start) : start;
        for (int i = 0; d.items && i < d.itemCount; ++i)
            c.itemLabels.emplace_back(d.items[i].label ? d.items[i].label : "");
        break;
    case CTRL_TOGGLE_BUTTON:
    case CTRL_CHECK_BOX:
    case CTRL_LED: c.value = start != 0.0 ? 1.0 : 0.0; break;
    case CTRL_STRING:
    case CTRL_STRING_INDICATOR:
    case CTRL_COMBO_BOX: c.text = CutToEntryLength(c, d.startText); break;
    case CTRL_TEXT_MSG: c.text = d.startText ? d.startText : c.label; break;
    case CTRL_TIMER:
        c.enabled = start != 0.0 ? 1 : 0;
        c.interval = std::isfinite(d.extra) && d.extra > 0.0 ? d.extra : 1.0;
        break;
    case CTRL_TABLE: c.text = d.startText ? d.startText : ""; break;
    case CTRL_STRIP_CHART:
        c.chart = std::make_shared<ChartData>();
        c.pointsPerScreen = std::isfinite(d.extra) && d.extra >= 1.0 && d.extra <= 100000.0 ? int(d.extra) : 100;
        c.yName = c.onText;
        c.xName = c.offText;
        if (std::isfinite(d.minValue) && std::isfinite(d.maxValue)) {
            c.yMin = d.minValue;
            c.yMax = d.maxValue;
        } else {
            c.yMode = VAL_AUTOSCALE;
        }
        break;
    default: break;
    }
    return c;
}

// The control that takes keyboard input first: the first enabled one an operator can use.
static int FirstInputControl(const Panel &p)
{
    for (const auto &c : p.controls)
        if (TakesOperatorInput(c.def->kind) && !c.dimmed && c.visible)
            return c.def->id;
    return 0;
}

int LoadPanel(int parentPanel, const char *fileName, int resourceId)
{
    const ModelLock lock;
    if (!S().initialised)
        return UIE_NOT_INITIALISED;
    if (parentPanel != 0 && !FindPanel(parentPanel))
        return UIE_BAD_PANEL;
    const PanelDef *def = fileName ? FindPanelDef(fileName, resourceId) : nullptr;
    if (!def)
        return UIE_PANEL_FILE;
    auto p = std::make_unique<Panel>();
    p->handle = S().nextPanelHandle++;
    p->def = def;
    p->parent = parentPanel;
    for (int i = 0; i < def->controlCount; ++i)
        p->controls.push_back(BuildControl(def->controls[i]));
    p->activeCtrl = FirstInputControl(*p);
    if (def->menuBar)
        p->menuBar = S().nextMenuBarHandle++;
    const int handle = p->handle;
    S().panels.push_back(std::move(p));
    if (S().backend && S().backend->panelLoaded)
        S().backend->panelLoaded(handle);
    return handle;
}

int DisplayPanel(int panel)
{
    const ModelLock lock;
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    p->visible = 1;
    NotifyVisibility(panel);
    return UIE_NO_ERROR;
}

static void TakeOffPopupStack(Panel &p)
{
    std::erase(S().popupStack, p.handle);
    p.popup = 0;
}

int HidePanel(int panel)
{
    const ModelLock lock;
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    TakeOffPopupStack(*p);
    p->visible = 0;
    NotifyVisibility(panel);
    return UIE_NO_ERROR;
}

int InstallPopup(int panel)
{
    const ModelLock lock;
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    TakeOffPopupStack(*p);
    S().popupStack.push_back(panel);
    p->popup = 1;
    p->visible = 1;
    NotifyVisibility(panel);
    return UIE_NO_ERROR;
}

int RemovePopup(int all)
{
    const ModelLock lock;
    if (S().popupStack.empty())
        return UIE_NO_POPUP;
    do {
        const int handle = S().popupStack.back();
        S().popupStack.pop_back();
        if (Panel *p = FindPanel(handle)) {
            p->popup = 0;
            p->visible = 0;
        }
        NotifyVisibility(handle);
    } while (all && !S().popupStack.empty());
    return UIE_NO_ERROR;
}

int GetPanelMenuBar(int panel)
{
    const ModelLock lock;
    const Panel *p = FindPanel(panel);
    return p ? p->menuBar : UIE_BAD_PANEL;
}

// ---- values -------------------------------------------------------------------------------------

static int Lookup(int panel, int control, Panel **p, Control **c)
{
    *p = FindPanel(panel);
    if (!*p)
        return UIE_BAD_PANEL;
    *c = FindControl(*p, control);
    return *c ? UIE_NO_ERROR : UIE_BAD_CONTROL;
}

static bool HoldsNumber(CtrlKind kind)
{
    return IsNumericKind(kind) || kind == CTRL_RING || IsOnOffKind(kind);
}

static bool HoldsText(CtrlKind kind)
{
    return IsStringKind(kind) || kind == CTRL_TEXT_MSG || kind == CTRL_TABLE;
}

int SetCtrlVal(int panel, int control, double value)
{
    const ModelLock lock;
    Panel *p;
    Control *c;
    if (int rc = Lookup(panel, control, &p, &c))
        return rc;
    const CtrlKind kind = c->def->kind;
    if (!HoldsNumber(kind))
        return UIE_TYPE_MISMATCH;
    if (std::isnan(value) && (IsIntegerControl(*c) || IsOnOffKind(kind)))
        return UIE_BAD_VALUE;
    if (IsOnOffKind(kind))
        c->value = value != 0.0 ? 1.0 : 0.0;
    else if (kind == CTRL_RING)  // a value the ring does not offer is kept as data (shown as the number)
        c->value = IsIntegerControl(*c) ? ToIntRange(value) : value;
    else
        c->value = Coerce(*c, value);
    NotifyControl(panel, control);
    return UIE_NO_ERROR;
}

int SetCtrlVal(int panel, int control, int value)
{
    return SetCtrlVal(panel, control, double(value));
}

int SetCtrlVal(int panel, int control, const char *value)
{
    const ModelLock lock;
    Panel *p;
    Control *c;
    if (int rc = Lookup(panel, control, &p, &c))
        return rc;
    if (!HoldsText(c->def->kind))
        return UIE_TYPE_MISMATCH;
    c->text = CutToEntryLength(*c, value);
    NotifyControl(panel, control);
    return UIE_NO_ERROR;
}

int GetCtrlVal(int panel, int control, double *value)
{
    const ModelLock lock;
    Panel *p;
    Control *c;
    if (int rc = Lookup(panel, control, &p, &c))
        return rc;
    if (!HoldsNumber(c->def->kind) || !value)
        return UIE_TYPE_MISMATCH;
    *value = c->value;
    return UIE_NO_ERROR;
}

int GetCtrlVal(int panel, int control, int *value)
{
    const ModelLock lock;
    Panel *p;
    Control *c;
    if (int rc = Lookup(panel, control, &p, &c))
        return rc;
    const CtrlKind kind = c->def->kind;
    const bool whole = IsIntegerControl(*c) || IsOnOffKind(kind);
    if (!HoldsNumber(kind) || !whole || !value)
        return UIE_TYPE_MISMATCH;
    *value = int(ToIntRange(c->value));
    return UIE_NO_ERROR;
}

int GetCtrlVal(int panel, int control, char *buffer, int bufferSize)
{
    const ModelLock lock;
    Panel *p;
    Control *c;
    if (int rc = Lookup(panel, control, &p, &c))
        return rc;
    if (!HoldsText(c->def->kind) || !buffer)
        return UIE_TYPE_MISMATCH;
    if (bufferSize <= 0)
        return UIE_BUFFER_TOO_SMALL;
    const size_t n = std::min(c->text.size(), size_t(bufferSize) - 1);
    std::memcpy(buffer, c->text.data(), n);
    buffer[n] = '\0';
    return n < c->text.size() ? UIE_BUFFER_TOO_SMALL : UIE_NO_ERROR;
}

// ---- attributes ---------------------------------------------------------------------------------

enum AttrType { ATTR_INT, ATTR_DBL, ATTR_TEXT };

struct AttrRule {
    int attribute;
    AttrType type;
    bool readOnly;
    bool (*offered)(CtrlKind kind);
};

static bool AnyKind(CtrlKind)
{
    return true;
}
static bool NumericKind(CtrlKind k)
{
    return IsNumericKind(k);
}
static bool StringKind(CtrlKind k)
{
    return IsStringKind(k);
}
static bool LedKind(CtrlKind k)
{
    return k == CTRL_LED;
}
static bool ToggleKind(CtrlKind k)
{
    return k == CTRL_TOGGLE_BUTTON;
}
static bool ChartKind(CtrlKind k)
{
    return k == CTRL_STRIP_CHART;
}
static bool TimerKind(CtrlKind k)
{
    return k == CTRL_TIMER;
}

// clang-format off
static constexpr AttrRule kAttrRules[] = {
    {ATTR_DIMMED,            ATTR_INT,  false, AnyKind},
    {ATTR_VISIBLE,           ATTR_INT,  false, AnyKind},
    {ATTR_PRECISION,         ATTR_INT,  false, NumericKind},
    {ATTR_MIN_VALUE,         ATTR_DBL,  false, NumericKind},
    {ATTR_MAX_VALUE,         ATTR_DBL,  false, NumericKind},
    {ATTR_INCR_VALUE,        ATTR_DBL,  false, NumericKind},
    {ATTR_MAX_ENTRY_LENGTH,  ATTR_INT,  false, StringKind},
    {ATTR_ON_COLOR,          ATTR_INT,  false, LedKind},
    {ATTR_OFF_COLOR,         ATTR_INT,  false, LedKind},
    {ATTR_ON_TEXT,           ATTR_TEXT, false, ToggleKind},
    {ATTR_OFF_TEXT,          ATTR_TEXT, false, ToggleKind},
    {ATTR_LABEL_TEXT,        ATTR_TEXT, false, AnyKind},
    {ATTR_DATA_TYPE,         ATTR_INT,  true,  AnyKind},
    {ATTR_CTRL_KIND,         ATTR_INT,  true,  AnyKind},
    {ATTR_YNAME,             ATTR_TEXT, false, ChartKind},
    {ATTR_XNAME,             ATTR_TEXT, false, ChartKind},
    {ATTR_POINTS_PER_SCREEN, ATTR_INT,  false, ChartKind},
    {ATTR_INTERVAL,          ATTR_DBL,  false, TimerKind},
    {ATTR_ENABLED,           ATTR_INT,  false, TimerKind},
    {ATTR_CALLBACK_NAME,     ATTR_TEXT, true,  AnyKind},
    {ATTR_TOOLTIP,           ATTR_TEXT, false, AnyKind},
};
// clang-format on
static_assert(std::size(kAttrRules) == ATTR_TOOLTIP, "one rule per attribute");

static const AttrRule *RuleFor(int attribute)
{
    for (const auto &r : kAttrRules)
        if (r.attribute == attribute)
            return &r;
    return nullptr;
}

static bool IsDoubleAttr(int attribute)
{
    const AttrRule *rule = RuleFor(attribute);
    return rule && rule->type == ATTR_DBL;
}

// Finds the control and the attribute's rule, checking that the kind offers it and the type fits.
static int AttrLookup(int panel, int control, int attribute, AttrType type, bool forWrite, Control **c)
{
    Panel *p;
    if (int rc = Lookup(panel, control, &p, c))
        return rc;
    const AttrRule *rule = RuleFor(attribute);
    if (!rule || !rule->offered((*c)->def->kind) || (forWrite && rule->readOnly))
        return UIE_BAD_ATTRIBUTE;
    if (rule->type == type)
        return UIE_NO_ERROR;
    // Whole numbers pass between int and double attributes; text never mixes with numbers.
    if (type == ATTR_TEXT || rule->type == ATTR_TEXT)
        return UIE_TYPE_MISMATCH;
    // An int read of a range limit only makes sense on an integer control.
    if (!forWrite && type == ATTR_INT && rule->type == ATTR_DBL && !IsIntegerControl(**c))
        return UIE_TYPE_MISMATCH;
    return UIE_NO_ERROR;
}

// Sets one limit; a limit that crosses the other one drags it along, so the range never inverts.
static void SetLimit(Control &c, double v, bool isMin)
{
    v = LimitFor(c, v, isMin);
    if (isMin) {
        c.minValue = v;
        c.maxValue = std::max(c.maxValue, v);
    } else {
        c.maxValue = v;
        c.minValue = std::min(c.minValue, v);
    }
    c.value = Coerce(c, c.value);
}

static int SetDoubleAttr(Panel &p, Control &c, int attribute, double value)
{
    if (std::isnan(value))
        return UIE_BAD_VALUE;
    switch (attribute) {
    case ATTR_MIN_VALUE: SetLimit(c, value, true); break;
    case ATTR_MAX_VALUE: SetLimit(c, value, false); break;
    case ATTR_INCR_VALUE:
        if (!std::isfinite(value))
            return UIE_BAD_VALUE;
        c.increment = value;
        break;
    case ATTR_INTERVAL:
        if (!std::isfinite(value) || value <= 0.0)
            return UIE_BAD_VALUE;
        c.interval = value;
        break;
    default: return UIE_BAD_ATTRIBUTE;
    }
    NotifyControl(p.handle, c.def->id);
    return UIE_NO_ERROR;
}

static int SetIntAttr(Panel &p, Control &c, int attribute, int value)
{
    switch (attribute) {
    case ATTR_DIMMED: c.dimmed = value ? 1 : 0; break;
    case ATTR_VISIBLE: c.visible = value ? 1 : 0; break;
    case ATTR_PRECISION: c.precision = std::clamp(value, 0, 15); break;  // display only
    case ATTR_MAX_ENTRY_LENGTH:
        c.maxEntryLength = value < 0 ? -1 : value;
        c.text = CutToEntryLength(c, c.text.c_str());
        break;
    case ATTR_ON_COLOR: c.onColor = value & 0xFFFFFF; break;
    case ATTR_OFF_COLOR: c.offColor = value & 0xFFFFFF; break;
    case ATTR_POINTS_PER_SCREEN:
        if (value < 1 || value > 100000)
            return UIE_BAD_VALUE;
        c.pointsPerScreen = value;
        NotifyChart(p.handle, c.def->id);
        break;
    case ATTR_ENABLED: c.enabled = value ? 1 : 0; break;
    default: return UIE_BAD_ATTRIBUTE;
    }
    NotifyControl(p.handle, c.def->id);
    return UIE_NO_ERROR;
}

int SetCtrlAttribute(int panel, int control, int attribute, int value)
{
    const ModelLock lock;
    Control *c;
    if (int rc = AttrLookup(panel, control, attribute, ATTR_INT, true, &c))
        return rc;
    Panel &p = *FindPanel(panel);
    return IsDoubleAttr(attribute) ? SetDoubleAttr(p, *c, attribute, double(value))
                                   : SetIntAttr(p, *c, attribute, value);
}

int SetCtrlAttribute(int panel, int control, int attribute, double value)
{
    const ModelLock lock;
    Control *c;
    if (int rc = AttrLookup(panel, control, attribute, ATTR_DBL, true, &c))
        return rc;
    Panel &p = *FindPanel(panel);
    if (IsDoubleAttr(attribute))
        return SetDoubleAttr(p, *c, attribute, value);
    return std::isnan(value) ? UIE_BAD_VALUE : SetIntAttr(p, *c, attribute, int(ToIntRange(value)));
}

int SetCtrlAttribute(int panel, int control, int attribute, const char *value)
{
    const ModelLock lock;
    Control *c;
    if (int rc = AttrLookup(panel, control, attribute, ATTR_TEXT, true, &c))
        return rc;
    const std::string text = value ? value : "";
    switch (attribute) {
    case ATTR_ON_TEXT: c->onText = text; break;
    case ATTR_OFF_TEXT: c->offText = text; break;
    case ATTR_LABEL_TEXT: c->label = text; break;
    case ATTR_YNAME: c->yName = text; break;
    case ATTR_XNAME: c->xName = text; break;
    case ATTR_TOOLTIP: c->tooltip = text; break;
    default: return UIE_BAD_ATTRIBUTE;
    }
    NotifyControl(panel, control);
    if (attribute == ATTR_YNAME || attribute == ATTR_XNAME)
        NotifyChart(panel, control);
    return UIE_NO_ERROR;
}

static double DoubleAttr(const Control &c, int attribute)
{
    switch (attribute) {
    case ATTR_MIN_VALUE: return c.minValue;
    case ATTR_MAX_VALUE: return c.maxValue;
    case ATTR_INCR_VALUE: return c.increment;
    case ATTR_INTERVAL: return c.interval;
    default: return 0.0;
    }
}

static int IntAttr(const Control &c, int attribute)
{
    switch (attribute) {
    case ATTR_DIMMED: return c.dimmed;
    case ATTR_VISIBLE: return c.visible;
    case ATTR_PRECISION: return c.precision;
    case ATTR_MAX_ENTRY_LENGTH: return c.maxEntryLength;
    case ATTR_ON_COLOR: return c.onColor;
    case ATTR_OFF_COLOR: return c.offColor;
    case ATTR_DATA_TYPE: return c.def->dataType;
    case ATTR_CTRL_KIND: return c.def->kind;
    case ATTR_POINTS_PER_SCREEN: return c.pointsPerScreen;
    case ATTR_ENABLED: return c.enabled;
    default: return 0;
    }
}

int GetCtrlAttribute(int panel, int control, int attribute, int *value)
{
    const ModelLock lock;
    Control *c;
    if (int rc = AttrLookup(panel, control, attribute, ATTR_INT, false, &c))
        return rc;
    if (!value)
        return UIE_TYPE_MISMATCH;
    *value = IsDoubleAttr(attribute) ? int(ToIntRange(DoubleAttr(*c, attribute))) : IntAttr(*c, attribute);
    return UIE_NO_ERROR;
}

int GetCtrlAttribute(int panel, int control, int attribute, double *value)
{
    const ModelLock lock;
    Control *c;
    if (int rc = AttrLookup(panel, control, attribute, ATTR_DBL, false, &c))
        return rc;
    if (!value)
        return UIE_TYPE_MISMATCH;
    *value = IsDoubleAttr(attribute) ? DoubleAttr(*c, attribute) : double(IntAttr(*c, attribute));
    return UIE_NO_ERROR;
}

int GetCtrlAttribute(int panel, int control, int attribute, std::string *value)
{
    const ModelLock lock;
    Control *c;
    if (int rc = AttrLookup(panel, control, attribute, ATTR_TEXT, false, &c))
        return rc;
    if (!value)
        return UIE_TYPE_MISMATCH;
    switch (attribute) {
    case ATTR_ON_TEXT: *value = c->onText; break;
    case ATTR_OFF_TEXT: *value = c->offText; break;
    case ATTR_LABEL_TEXT: *value = c->label; break;
    case ATTR_YNAME: *value = c->yName; break;
    case ATTR_XNAME: *value = c->xName; break;
    case ATTR_CALLBACK_NAME: *value = c->def->callbackName ? c->def->callbackName : ""; break;
    case ATTR_TOOLTIP: *value = c->tooltip; break;
    default: return UIE_BAD_ATTRIBUTE;
    }
    return UIE_NO_ERROR;
}

int SetActiveCtrl(int panel, int control)
{
    const ModelLock lock;
    Panel *p;
    Control *c;
    if (int rc = Lookup(panel, control, &p, &c))
        return rc;
    p->activeCtrl = control;
    NotifyActive(panel, control);
    return UIE_NO_ERROR;
}

int GetActiveCtrl(int panel)
{
    const ModelLock lock;
    const Panel *p = FindPanel(panel);
    return p ? p->activeCtrl : UIE_BAD_PANEL;
}

// ---- popups and the event loop ------------------------------------------------------------------

// Popups are recorded for the tests; a long run keeps only the latest ones.
static void RecordPopup(UiTestPopup popup)
{
    constexpr size_t kKept = 1000;
    if (S().popups.size() >= kKept)
        S().popups.erase(S().popups.begin());
    S().popups.push_back(std::move(popup));
}

int MessagePopup(const char *title, const char *message)
{
    const UiBackend *backend;
    {
        const ModelLock lock;
        RecordPopup({UiTestPopup::MESSAGE, title ? title : "", message ? message : "", 0});
        backend = S().backend;
        if (backend && backend->messagePopup)
            ++S().dialogsWaiting;
    }
    if (backend && backend->messagePopup) {
        backend->messagePopup(title ? title : "", message ? message : "");
        const ModelLock lock;
        --S().dialogsWaiting;
    }
    return UIE_NO_ERROR;
}

int GenericMessagePopup(const char *title, const char *message, const char *button1, const char *button2,
                        const char *button3)
{
    std::vector<std::string> texts;
    for (const char *b : {button1, button2, button3})
        if (b && b[0] != '\0')
            texts.emplace_back(b);
    if (texts.empty())
        texts.emplace_back("OK");
    const int count = static_cast<int>(texts.size());
    ModelLock lock;
    RecordPopup({UiTestPopup::MESSAGE, title ? title : "", message ? message : "", 0, texts});
    int answer = count;
    if (const UiBackend *backend = S().backend; backend && backend->genericMessagePopup) {
        const char *buttons[3] = {};
        for (int i = 0; i < count; ++i)
            buttons[i] = texts[static_cast<size_t>(i)].c_str();
        ++S().dialogsWaiting;
        lock.unlock();  // the operator takes his time; the view keeps painting
        answer = backend->genericMessagePopup(title ? title : "", message ? message : "", buttons, count);
        const ModelLock relock;
        --S().dialogsWaiting;
    } else if (!S().messageAnswers.empty()) {
        // Headless: the next scripted answer.
        answer = S().messageAnswers.front();
        S().messageAnswers.pop_front();
    }
    return answer >= 1 && answer <= count ? answer : count;
}

int FileSelectPopup(const char *defaultDirectory, const char *defaultFileSpec, const char *fileTypeList,
                    const char *title, int buttonLabel, int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char *pathName)
{
    (void)fileTypeList;
    (void)restrictDirectory;
    (void)allowCancel;
    ModelLock lock;
    RecordPopup({UiTestPopup::FILE_SELECT, title ? title : "", defaultFileSpec ? defaultFileSpec : "", buttonLabel});
    if (!pathName)
        return VAL_NO_FILE_SELECTED;
    pathName[0] = '\0';
    if (const UiBackend *backend = S().backend; backend && backend->fileSelectPopup) {
        ++S().dialogsWaiting;
        lock.unlock();  // the operator takes his time; the view keeps painting
        const int r =
            backend->fileSelectPopup(defaultDirectory ? defaultDirectory : "", defaultFileSpec ? defaultFileSpec : "",
                                     title ? title : "", buttonLabel, restrictExtension, allowMakeDirectory, pathName);
        {
            const ModelLock relock;
            --S().dialogsWaiting;
        }
        pathName[MAX_PATHNAME_LEN - 1] = '\0';
        return r;
    }
    // Headless: the next scripted answer, or cancelled when the script has none.
    if (S().fileAnswers.empty())
        return VAL_NO_FILE_SELECTED;
    auto [result, path] = std::move(S().fileAnswers.front());
    S().fileAnswers.pop_front();
    if (result == VAL_NO_FILE_SELECTED)
        return result;
    const size_t n = std::min(path.size(), size_t(MAX_PATHNAME_LEN) - 1);
    std::memcpy(pathName, path.data(), n);
    pathName[n] = '\0';
    return result;
}

int ShowHelpFile(const char *title, const char *path)
{
    const UiBackend *backend;
    {
        const ModelLock lock;
        RecordPopup({UiTestPopup::HELP, title ? title : "", path ? path : "", 0});
        backend = S().backend;
    }
    if (!path || path[0] == '\0')
        return UIE_PANEL_FILE;
    // The window does not wait for the operator, so it counts as no popup.
    if (backend && backend->helpWindow)
        return backend->helpWindow(title ? title : "", path) ? UIE_NO_ERROR : UIE_PANEL_FILE;
    // Headless: the file must be there and readable, as the view would need it.
    std::error_code error;
    const bool readable = std::filesystem::is_regular_file(path, error) && std::ifstream(path, std::ios::binary).good();
    return readable ? UIE_NO_ERROR : UIE_PANEL_FILE;
}

int OpenPopupCount(void)
{
    const ModelLock lock;
    return static_cast<int>(S().popupStack.size()) + S().dialogsWaiting;
}

int RunUserInterface(void)
{
    const UiBackend *backend;
    std::function<void()> script;
    {
        const ModelLock lock;
        if (!S().initialised)
            return UIE_NOT_INITIALISED;
        S().quitRequested = false;
        backend = S().backend;
        script = S().runScript;
        if (!UiProgram_OnProgramThread() && !(backend && backend->runLoop)) {
            // Headless: run the test's script instead of waiting for input; never wait without an end.
            if (S().running)
                return -1;
            S().running = true;
        }
    }
    if (UiProgram_OnProgramThread())
        return ProgramLoop();
    if (backend && backend->runLoop)
        return backend->runLoop();
    if (script)
        script();
    const ModelLock lock;
    S().running = false;
    return S().quitRequested ? S().quitCode : -1;
}

void QuitUserInterface(int code)
{
    if (ProgramQuit(code))
        return;
    const ModelLock lock;
    S().quitRequested = true;
    S().quitCode = code;
    if (S().backend && S().backend->quitLoop)
        S().backend->quitLoop(code);
}
