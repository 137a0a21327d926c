// Panel toolkit model: the items of rings and combo boxes.
#include "platform/userint/userint_internal.h"

using namespace uimodel;

// The ring or combo box, or the reason it is none; `comboOnly` refuses rings.
static int ListLookup(int panel, int control, bool comboOnly, Control **c)
{
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    *c = FindControl(p, control);
    if (!*c)
        return UIE_BAD_CONTROL;
    const CtrlKind kind = (*c)->def->kind;
    return kind == CTRL_COMBO_BOX || (kind == CTRL_RING && !comboOnly) ? UIE_NO_ERROR : UIE_TYPE_MISMATCH;
}

int SetListItemLabel(int panel, int control, int index, const char *label)
{
    const ModelLock lock;
    Control *c;
    if (int rc = ListLookup(panel, control, false, &c))
        return rc;
    if (index < 0 || size_t(index) >= c->itemLabels.size())
        return UIE_BAD_VALUE;
    c->itemLabels[size_t(index)] = label ? label : "";
    NotifyControl(panel, control);
    return UIE_NO_ERROR;
}

int InsertListItem(int panel, int control, int index, const char *label, const char *value)
{
    const ModelLock lock;
    Control *c;
    if (int rc = ListLookup(panel, control, true, &c))
        return rc;
    const size_t at = index < 0 || size_t(index) > c->itemLabels.size() ? c->itemLabels.size() : size_t(index);
    c->itemLabels.insert(c->itemLabels.begin() + long(at), label ? label : "");
    c->itemTexts.insert(c->itemTexts.begin() + long(at), value ? value : "");
    NotifyControl(panel, control);
    return UIE_NO_ERROR;
}

int ClearListCtrl(int panel, int control)
{
    const ModelLock lock;
    Control *c;
    if (int rc = ListLookup(panel, control, true, &c))
        return rc;
    c->itemLabels.clear();
    c->itemTexts.clear();
    NotifyControl(panel, control);
    return UIE_NO_ERROR;
}

int GetNumListItems(int panel, int control, int *count)
{
    const ModelLock lock;
    Control *c;
    if (int rc = ListLookup(panel, control, false, &c))
        return rc;
    if (!count)
        return UIE_TYPE_MISMATCH;
    *count = int(c->itemLabels.size());
    return UIE_NO_ERROR;
}

std::vector<UiListItem> UiModel_ListItems(int panel, int control)
{
    const ModelLock lock;
    Control *c;
    std::vector<UiListItem> items;
    if (ListLookup(panel, control, false, &c) != UIE_NO_ERROR)
        return items;
    for (size_t i = 0; i < c->itemLabels.size(); ++i)
        items.push_back({c->itemLabels[i], i < c->itemTexts.size() ? c->itemTexts[i] : std::string()});
    return items;
}
