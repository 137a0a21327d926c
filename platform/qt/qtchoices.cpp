#include "platform/qt/qtchoices.h"

#include "platform/qt/cp1252.h"
#include "platform/userint/userint_view.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStylePainter>

#include <algorithm>

// ---- RingBox --------------------------------------------------------------------------------------

RingBox::RingBox(QWidget *parent) : QComboBox(parent)
{
    connect(this, &QComboBox::currentIndexChanged, this, [this] { updateToolTip(); });
}

void RingBox::mirror(int panel, int control)
{
    const std::vector<UiListItem> items = UiModel_ListItems(panel, control);
    for (int i = 0; i < count() && i < static_cast<int>(items.size()); ++i) {
        const QString label = Cp1252ToQString(items[static_cast<std::size_t>(i)].label);
        if (itemText(i) != label)
            setItemText(i, label);
    }
    const int index = UiModel_RingIndex(panel, control);
    setPlaceholderText(index < 0 ? Cp1252ToQString(UiModel_DisplayText(panel, control)) : QString());
    setCurrentIndex(index);
    updateToolTip();
}

int RingBox::textWidth() const
{
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this).width() - 2;
}

QString RingBox::shownText() const
{
    const QString text = currentIndex() < 0 ? placeholderText() : currentText();
    const int room = textWidth();
    const QFontMetrics &fm = fontMetrics();
    // "COM 1 (/dev/serial/by-id/usb-FTDI-port0)": the name and the end of the detail in brackets tell
    // the items apart, so the detail gives way from its start: "COM 1 (…port0)".
    const qsizetype open = text.indexOf(QStringLiteral(" ("));
    if (fm.horizontalAdvance(text) > room && open > 0 && text.endsWith(u')')) {
        const QString head = text.left(open + 2) + QChar(0x2026);
        QString tail = text.mid(open + 2);
        while (tail.size() > 1 && fm.horizontalAdvance(head + tail) > room)
            tail.remove(0, 1);
        if (fm.horizontalAdvance(head + tail) <= room)
            return head + tail;
    }
    return fm.elidedText(text, Qt::ElideRight, room);
}

void RingBox::updateToolTip()
{
    const QString text = currentText();
    setToolTip(fontMetrics().horizontalAdvance(text) > textWidth() ? text : QString());
}

void RingBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    if (currentIndex() < 0 && !placeholderText().isEmpty())
        opt.palette.setBrush(QPalette::ButtonText, opt.palette.placeholderText());
    opt.currentText = shownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, opt);
}

void RingBox::resizeEvent(QResizeEvent *event)
{
    QComboBox::resizeEvent(event);
    updateToolTip();
}

void RingBox::showPopup()
{
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, view()->fontMetrics().horizontalAdvance(itemText(i)));
    view()->setMinimumWidth(widest + 2 * view()->frameWidth() + 16);
    QComboBox::showPopup();
}

// ---- ComboField -----------------------------------------------------------------------------------

ComboField::ComboField(int panel, int control, QWidget *parent) : QComboBox(parent), panel_(panel), control_(control)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);  // a typed text is the field's value, not a new item
    setCompleter(nullptr);                 // and is never completed to an item's label
    // The box keeps its size; long item labels show in full in the opened list.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
    QLineEdit *e = lineEdit();
    connect(e, &QLineEdit::returnPressed, this, [this] { commit(); });
    // Leaving the field after typing commits too; Enter has done so already.
    connect(e, &QLineEdit::editingFinished, this, [this, e] {
        if (e->isModified() && !e->hasFocus())
            commit();
    });
    KeepCp1252Typing(e);
    connect(this, &QComboBox::activated, this, [this](int index) {
        // The field shows the item's text at once; the program gets the pick.
        lineEdit()->setText(itemData(index).toString());
        lineEdit()->setCursorPosition(0);
        lineEdit()->setModified(false);
        const int panel = panel_, control = control_;
        UiOperator_Queue(panel, control, [=] { UiOperator_PickRingIndex(panel, control, index); });
    });
}

void ComboField::commit()
{
    lineEdit()->setModified(false);
    const int panel = panel_, control = control_;
    UiOperator_Queue(panel, control, [panel, control, text = QStringToCp1252(lineEdit()->text())] {
        UiOperator_EnterText(panel, control, text.c_str());
    });
}

void ComboField::mirror()
{
    const QSignalBlocker block(this);
    const QSignalBlocker blockEdit(lineEdit());
    const std::vector<UiListItem> items = UiModel_ListItems(panel_, control_);
    bool same = count() == static_cast<int>(items.size());
    for (int i = 0; same && i < count(); ++i) {
        const UiListItem &item = items[static_cast<std::size_t>(i)];
        same = itemText(i) == Cp1252ToQString(item.label) && itemData(i).toString() == Cp1252ToQString(item.value);
    }
    const std::string text = UiModel_TextValue(panel_, control_);
    const QString typed = lineEdit()->text();
    if (!same) {
        clear();
        for (const UiListItem &item : items)
            addItem(Cp1252ToQString(item.label), Cp1252ToQString(item.value));
        setCurrentIndex(-1);
    }
    int maxLen = -1;
    if (const CtrlDef *def = UiModel_CtrlDef(panel_, control_))
        maxLen = def->maxEntryLength;
    lineEdit()->setMaxLength(maxLen < 0 ? 32767 : maxLen);
    if (text != mirrored_ || !lineEdit()->isModified()) {
        lineEdit()->setText(Cp1252ToQString(text));
        lineEdit()->setCursorPosition(0);
        lineEdit()->setModified(false);
        mirrored_ = text;
    } else if (lineEdit()->text() != typed) {
        lineEdit()->setText(typed);  // rebuilding the items keeps what the operator is typing
        lineEdit()->setModified(true);
    }
    setToolTip(lineEdit()->text());
}

// ---- IndicatorField -------------------------------------------------------------------------------

IndicatorField::IndicatorField(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
}

void IndicatorField::setFullText(const QString &text)
{
    full_ = text;
    setToolTip(text);
    elide();
}

void IndicatorField::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    elide();
}

void IndicatorField::elide()
{
    QStyleOptionFrame opt;
    initStyleOption(&opt);
    const QRect contents =
        style()->subElementRect(QStyle::SE_LineEditContents, &opt, this).marginsRemoved(textMargins());
    constexpr int kInnerMargin = 2;  // the field's own space on either side of its text
    const QString shown = fontMetrics().elidedText(full_, Qt::ElideRight, contents.width() - 2 * kInnerMargin - 1);
    if (text() != shown)
        setText(shown);
    setCursorPosition(0);  // a text longer than the field shows its beginning
}
