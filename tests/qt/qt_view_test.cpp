// The Qt view against a small catalogue of its own: typing, picking, pressing, timers, the chart,
// windows and popups, each checked on the real widgets and in the model behind them.
#include "qt_test_support.h"

#include "platform/qt/cp1252.h"
#include "platform/qt/qtwidgets.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <vector>

// Catalogue rows name only the fields they use; the rest are zero on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

enum { TP_NUM = 2, TP_IND, TP_RING, TP_TOGGLE, TP_BUTTON, TP_TEXT, TP_STR, TP_LED, TP_TIMER, TP_CHART };
enum { MB = 1, MB_DATEI, MB_DATEI_OPEN, MB_DATEI_SEP, MB_DATEI_END };

constexpr RingItemDef kAddress[] = {{"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}, {"5", 5},
                                    {"6", 6}, {"7", 7}, {"8", 8}, {"alle", 9}};

constexpr CtrlDef kMain[] = {
    {.id = TP_NUM, .constantName = "NUM", .kind = CTRL_NUMERIC, .dataType = VAL_DOUBLE, .label = "Wert",
     .startValue = 1, .minValue = -100, .maxValue = 100, .increment = 0.5, .precision = 2,
     .callbackName = "OnCtrl", .top = 30, .left = 10, .width = 110, .height = 24},
    {.id = TP_IND, .constantName = "IND", .kind = CTRL_NUMERIC_INDICATOR, .dataType = VAL_DOUBLE,
     .label = "Anzeige", .minValue = -HUGE_VAL, .maxValue = HUGE_VAL, .precision = 3, .top = 30, .left = 140,
     .width = 110, .height = 24},
    {.id = TP_RING, .constantName = "RING", .kind = CTRL_RING, .dataType = VAL_INTEGER, .label = "Adresse",
     .startValue = 1, .items = kAddress, .itemCount = 9, .callbackName = "OnCtrl", .top = 80, .left = 10,
     .width = 110, .height = 24},
    {.id = TP_TOGGLE, .constantName = "TOGGLE", .kind = CTRL_TOGGLE_BUTTON, .dataType = VAL_INTEGER,
     .callbackName = "OnCtrl", .top = 80, .left = 140, .width = 110, .height = 26, .onText = "trennen",
     .offText = "verbinden"},
    {.id = TP_BUTTON, .constantName = "BUTTON", .kind = CTRL_COMMAND_BUTTON, .label = "Los",
     .callbackName = "OnCtrl", .top = 120, .left = 140, .width = 110, .height = 26},
    {.id = TP_TEXT, .constantName = "TEXT", .kind = CTRL_TEXT_MSG, .label = "Status", .startText = "Status",
     .top = 160, .left = 10, .width = 240, .height = 20},
    {.id = TP_STR, .constantName = "STR", .kind = CTRL_STRING, .dataType = VAL_STRING, .label = "Einheit",
     .startText = "V", .callbackName = "OnCtrl", .top = 130, .left = 10, .width = 110, .height = 24,
     .maxEntryLength = 5},
    {.id = TP_LED, .constantName = "LED", .kind = CTRL_LED, .dataType = VAL_INTEGER, .label = "Fehler",
     .top = 200, .left = 20, .width = 18, .height = 18, .onColor = VAL_RED},
    {.id = TP_TIMER, .constantName = "TIMER", .kind = CTRL_TIMER, .startValue = 0, .callbackName = "OnTick",
     .extra = 0.02},
    {.id = TP_CHART, .constantName = "CHART", .kind = CTRL_STRIP_CHART, .minValue = 0, .maxValue = 10,
     .top = 10, .left = 270, .width = 320, .height = 220, .onText = "Istwert [V]", .offText = "4 s / div",
     .extra = 50},
};

constexpr MenuItemDef kDatei[] = {
    {MB_DATEI_OPEN, "OPEN", "Laden & Pr\xFC" "fen", 0, "OnMenu"},
    {MB_DATEI_SEP, "SEP", nullptr, 1, nullptr},
    {MB_DATEI_END, "END", "Beenden", 0, "OnMenu"},
};
constexpr MenuDef kMenus[] = {{MB_DATEI, "DATEI", "Datei", kDatei, 3}};
constexpr MenuBarDef kMenuBar = {MB, kMenus, 1};

constexpr CtrlDef kChild[] = {
    {.id = 2, .constantName = "OK", .kind = CTRL_COMMAND_BUTTON, .label = "OK", .callbackName = "OnCtrl",
     .top = 20, .left = 20, .width = 80, .height = 26},
};

constexpr PanelDef kPanels[] = {
    {1, "MAIN", "Test \x96 Hauptfenster", "OnPanel", 600, 240, kMain, static_cast<int>(std::size(kMain)), &kMenuBar},
    {2, "CHILD", "Kind", "OnPanel", 140, 70, kChild, 1, nullptr},
};

struct Event {
    int panel, control, event;
    double value;   // the control's model value when the callback ran
};
std::vector<Event> g_events;
int g_ticks = 0;
int g_menuItem = 0;
bool g_toggleRefuses = false;
bool g_keepFocus = false;

// Records the event; like the setpoint field's callback it may keep the focus in its field, and like a
// connect that fails it may set the toggle back to off.
int OnCtrl(int panel, int control, int event, void *, int, int)
{
    g_events.push_back({panel, control, event, UiModel_NumericValue(panel, control)});
    if (g_keepFocus) SetActiveCtrl(panel, control);
    if (g_toggleRefuses && control == TP_TOGGLE) SetCtrlVal(panel, control, 0);
    return 0;
}

int OnTick(int, int, int event, void *, int, int)
{
    if (event == EVENT_TIMER_TICK) ++g_ticks;
    return 0;
}

int OnPanel(int panel, int event, void *, int, int)
{
    g_events.push_back({panel, 0, event, 0});
    return 0;
}

void OnMenu(int, int item, void *, int)
{
    g_menuItem = item;
}

constexpr CallbackEntry kCallbacks[] = {
    {"OnCtrl", OnCtrl, nullptr, nullptr},
    {"OnTick", OnTick, nullptr, nullptr},
    {"OnPanel", nullptr, OnPanel, nullptr},
    {"OnMenu", nullptr, nullptr, OnMenu},
};

class QtView : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartQtView());
        RegisterPanelFile("QtTest.uir", kPanels, 2);
        InstallCallbackTable(kCallbacks, static_cast<int>(std::size(kCallbacks)));
        main_ = LoadPanel(0, "QtTest.uir", 1);
        child_ = LoadPanel(main_, "QtTest.uir", 2);
        ASSERT_GT(main_, 0);
        ASSERT_GT(child_, 0);
        ASSERT_TRUE(ShowAndActivate(main_));
        g_events.clear();
        g_ticks = 0;
        g_menuItem = 0;
        g_toggleRefuses = false;
        g_keepFocus = false;
    }
    void TearDown() override { QtView_Reset(); }

    template <class W> W *Widget(int control, int panel = 0)
    {
        auto *w = dynamic_cast<W *>(QtView_ControlWidget(panel ? panel : main_, control));
        EXPECT_NE(w, nullptr);
        return w;
    }
    // Selects what the field shows, types, and ends with the key (none: keeps typing).
    static void Type(NumericField *field, const char *text, Qt::Key end)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        if (end != Qt::Key_unknown) QTest::keyClick(field, end);
    }

    int main_ = 0, child_ = 0;
};

TEST_F(QtView, TypedNumberCommitsExactlyWhatWasTyped)
{
    struct Case {
        const char *typed;
        double committed;
        const char *shown;   // afterwards, with the field's two decimals
    };
    static const Case kCases[] = {
        {"2.5", 2.5, "2.50"},
        {"1.23456789", 1.23456789, "1.23"},   // more decimals than shown: kept in full
        {"3,75", 3.75, "3.75"},               // comma as decimal point
        {" -7 ", -7.0, "-7.00"},
        {"1e1", 10.0, "10.00"},
        {"250", 100.0, "100.00"},             // coerced into the range by the model
    };
    NumericField *field = Widget<NumericField>(TP_NUM);
    for (const Case &c : kCases) {
        g_events.clear();
        Type(field, c.typed, Qt::Key_Return);
        ASSERT_EQ(g_events.size(), 1u) << c.typed;
        EXPECT_EQ(g_events[0].event, EVENT_COMMIT);
        EXPECT_EQ(g_events[0].value, c.committed) << c.typed;
        double v = 0;
        GetCtrlVal(main_, TP_NUM, &v);
        EXPECT_EQ(v, c.committed) << c.typed;
        EXPECT_EQ(field->text(), QString::fromLatin1(c.shown)) << c.typed;
    }

    // Refused or unfinished input commits nothing; Escape drops what was typed.
    g_events.clear();
    Type(field, "1a2b", Qt::Key_unknown);   // letters never reach the field
    EXPECT_EQ(field->text(), QStringLiteral("12"));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(field->text(), QStringLiteral("100.00"));
    Type(field, "-", Qt::Key_Return);
    EXPECT_TRUE(g_events.empty());
    EXPECT_EQ(field->text(), QStringLiteral("100.00"));
}

TEST_F(QtView, LeavingTheFieldOrAnArrowCommitsAndTheFocusFollowsTheOperator)
{
    NumericField *field = Widget<NumericField>(TP_NUM);
    EXPECT_TRUE(field->hasFocus());   // the model's first input control
    Type(field, "4,125", Qt::Key_Tab);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].value, 4.125);
    EXPECT_TRUE(Widget<QComboBox>(TP_RING)->hasFocus());
    Type(field, "", Qt::Key_Tab);   // leaving without typing commits nothing
    EXPECT_EQ(g_events.size(), 1u);

    QTest::mouseClick(field, Qt::LeftButton, {}, field->arrowRect(true).center());
    QTest::mouseClick(field, Qt::LeftButton, {}, field->arrowRect(true).center());
    QTest::mouseClick(field, Qt::LeftButton, {}, field->arrowRect(false).center());
    ASSERT_EQ(g_events.size(), 4u);
    EXPECT_EQ(g_events[1].value, 4.625);   // one increment of 0.5 a click
    EXPECT_EQ(g_events[3].value, 4.625);

    // A callback that keeps the focus in its field (as the setpoint field does) wins over Tab.
    g_keepFocus = true;
    Type(field, "6", Qt::Key_Tab);
    ASSERT_EQ(g_events.size(), 5u);
    EXPECT_EQ(g_events[4].value, 6.0);
    EXPECT_TRUE(field->hasFocus());
    SetActiveCtrl(main_, TP_STR);
    EXPECT_TRUE(Widget<QLineEdit>(TP_STR)->hasFocus());
    EXPECT_EQ(Widget<QLineEdit>(TP_STR)->selectedText(), QStringLiteral("V"));
}

TEST_F(QtView, ValueSetByCodeIsShownWithThePrecisionAndRaisesNoEvent)
{
    NumericField *field = Widget<NumericField>(TP_NUM);
    NumericField *indicator = Widget<NumericField>(TP_IND);
    SetCtrlVal(main_, TP_NUM, 1.23456);
    EXPECT_EQ(field->text(), QStringLiteral("1.23"));
    SetCtrlAttribute(main_, TP_NUM, ATTR_PRECISION, 4);
    EXPECT_EQ(field->text(), QStringLiteral("1.2346"));
    double v = 0;
    GetCtrlVal(main_, TP_NUM, &v);
    EXPECT_EQ(v, 1.23456);   // the display never rounds the model

    struct Shown {
        double value;
        const char *text;
    };
    static const Shown kShown[] = {{-0.0001, "0.000"}, {NAN, "NaN"}, {HUGE_VAL, "Inf"}, {-HUGE_VAL, "-Inf"}};
    for (const Shown &s : kShown) {
        SetCtrlVal(main_, TP_IND, s.value);
        EXPECT_EQ(indicator->text(), QString::fromLatin1(s.text));
    }
    SetCtrlVal(main_, TP_IND, 1e300);   // huge, but the field stays readable
    EXPECT_LE(indicator->text().size(), 40);
    EXPECT_TRUE(indicator->isReadOnly());

    SetCtrlAttribute(main_, TP_NUM, ATTR_DIMMED, 1);
    EXPECT_FALSE(field->isEnabled());
    EXPECT_FALSE(QtView_ControlLabel(main_, TP_NUM)->isEnabled());
    SetCtrlVal(main_, TP_RING, 9);
    SetCtrlVal(main_, TP_TOGGLE, 1);
    SetCtrlVal(main_, TP_STR, "mm");
    EXPECT_TRUE(g_events.empty());
}

TEST_F(QtView, ChoosingARingItemCommitsItsValue)
{
    QComboBox *ring = Widget<QComboBox>(TP_RING);
    ring->setFocus();
    QTest::keyClick(ring, Qt::Key_End);   // the last item, "alle"
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].value, 9.0);
    int v = 0;
    GetCtrlVal(main_, TP_RING, &v);
    EXPECT_EQ(v, 9);
    EXPECT_EQ(ring->currentText(), QStringLiteral("alle"));

    SetCtrlVal(main_, TP_RING, 3);   // by code: shown, no event
    EXPECT_EQ(ring->currentText(), QStringLiteral("3"));
    EXPECT_EQ(g_events.size(), 1u);
}

TEST_F(QtView, ToggleShowsWhatTheModelHolds)
{
    QPushButton *toggle = Widget<QPushButton>(TP_TOGGLE);
    EXPECT_EQ(toggle->text(), QStringLiteral("verbinden"));
    QTest::mouseClick(toggle, Qt::LeftButton);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].value, 1.0);
    EXPECT_EQ(toggle->text(), QStringLiteral("trennen"));
    EXPECT_TRUE(toggle->isChecked());
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_EQ(toggle->text(), QStringLiteral("verbinden"));

    g_toggleRefuses = true;   // the callback sets it back at once
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(toggle->text(), QStringLiteral("verbinden"));
}

TEST_F(QtView, StringFieldTakesOnlyWhatTheProgramCanStore)
{
    QLineEdit *edit = Widget<QLineEdit>(TP_STR);
    edit->setFocus();
    edit->selectAll();
    // QTest only types ASCII; a keyboard sends these as key events carrying the character.
    for (QChar ch : QString::fromUtf16(u"\u00B0C\u03A9abcdef")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(edit, &press);
    }
    EXPECT_EQ(edit->text(), QString::fromUtf16(u"\u00B0Cabc"));   // Omega has no byte; five at most
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(UiModel_TextValue(main_, TP_STR), "\xB0" "Cabc");
}

TEST_F(QtView, ButtonsMenusAndTextsUseTheCatalogueTexts)
{
    QTest::mouseClick(Widget<QPushButton>(TP_BUTTON), Qt::LeftButton);
    Widget<QPushButton>(TP_BUTTON)->setFocus();
    QTest::keyClick(Widget<QPushButton>(TP_BUTTON), Qt::Key_Return);   // Enter presses a button too
    ASSERT_EQ(g_events.size(), 2u);
    EXPECT_EQ(g_events[1].control, TP_BUTTON);

    auto *bar = QtView_PanelWindow(main_)->findChild<QMenuBar *>();
    ASSERT_NE(bar, nullptr);
    auto *open = bar->findChild<QAction *>(QStringLiteral("OPEN"));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->text(), QString::fromUtf16(u"Laden && Pr\u00FCfen"));   // '&' shown, not a shortcut
    open->trigger();
    EXPECT_EQ(g_menuItem, MB_DATEI_OPEN);
    EXPECT_EQ(QtView_PanelWindow(main_)->windowTitle(), QString::fromUtf16(u"Test \u2013 Hauptfenster"));

    SetCtrlVal(main_, TP_TEXT, "Zeile 1\nZeile <b>2</b>");
    EXPECT_EQ(Widget<QLabel>(TP_TEXT)->text(), QStringLiteral("Zeile 1\nZeile <b>2</b>"));
    EXPECT_EQ(Widget<QLabel>(TP_TEXT)->textFormat(), Qt::PlainText);
}

// A paint-event counter: the status text must reach the screen before control returns to the loop.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

TEST_F(QtView, TextSetDuringABlockingOperationIsPaintedAtOnce)
{
    PaintCounter counter;
    QLabel *text = Widget<QLabel>(TP_TEXT);
    LedWidget *led = Widget<LedWidget>(TP_LED);
    text->installEventFilter(&counter);
    led->installEventFilter(&counter);
    SetCtrlVal(main_, TP_TEXT, "Suche Ger\xE4t 3 ...");   // no event processing in between
    SetCtrlVal(main_, TP_LED, 1);
    EXPECT_EQ(counter.paints, 2);
    EXPECT_EQ(text->text(), QString::fromUtf16(u"Suche Ger\u00E4t 3 ..."));
    EXPECT_TRUE(led->isOn());
}

TEST_F(QtView, ChartPointsAndManualRangeReachThePaintedWidget)
{
    StripChartWidget *chart = Widget<StripChartWidget>(TP_CHART);
    for (int i = 0; i < 80; ++i) PlotStripChartPoint(main_, TP_CHART, 5.0);   // more than a screen
    SetAxisScalingMode(main_, TP_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 20.0);
    const QImage image = chart->grab().toImage();
    const ChartPaintInfo &info = chart->lastPaint();
    EXPECT_EQ(info.pointsDrawn, 50);
    EXPECT_EQ(info.bottomValue, 0.0);
    EXPECT_EQ(info.topValue, 20.0);
    EXPECT_EQ(info.tickLabels.front(), QStringLiteral("0"));
    EXPECT_EQ(info.tickLabels.back(), QStringLiteral("20"));
    EXPECT_EQ(info.yName, QStringLiteral("Istwert [V]"));
    EXPECT_EQ(info.xName, QStringLiteral("4 s / div"));

    // The trace of 5 lies a quarter up the plot; nothing of it at half height.
    const double dpr = image.devicePixelRatio();   // 2 under QT_SCALE_FACTOR=2
    const int x = static_cast<int>(info.plot.center().x() * dpr);
    auto traceNear = [&](double y) {
        for (int dy = -3; dy <= 3; ++dy)
            if ((image.pixel(x, static_cast<int>(y * dpr) + dy) & 0xFFFFFF) == StripChartWidget::kTraceColor)
                return true;
        return false;
    };
    EXPECT_TRUE(traceNear(info.plot.bottom() - info.plot.height() * 0.25));
    EXPECT_FALSE(traceNear(info.plot.center().y()));

    // A minimum above the maximum draws the axis reversed; equal limits and gaps are survived.
    SetAxisScalingMode(main_, TP_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, 10.0, 0.0);
    PlotStripChartPoint(main_, TP_CHART, NAN);
    PlotStripChartPoint(main_, TP_CHART, 1e308);
    chart->grab();
    EXPECT_EQ(chart->lastPaint().bottomValue, 10.0);
    EXPECT_EQ(chart->lastPaint().topValue, 0.0);
    EXPECT_EQ(chart->lastPaint().pointsDrawn, 49);
    SetAxisScalingMode(main_, TP_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, 3.0, 3.0);
    chart->grab();
    EXPECT_LT(chart->lastPaint().bottomValue, chart->lastPaint().topValue);
}

TEST_F(QtView, TimerTicksOnlyWhileEnabled)
{
    QTest::qWait(120);
    EXPECT_EQ(g_ticks, 0);
    SetCtrlAttribute(main_, TP_TIMER, ATTR_ENABLED, 1);
    QTRY_VERIFY_WITH_TIMEOUT(g_ticks >= 3, 2000);
    SetCtrlAttribute(main_, TP_TIMER, ATTR_ENABLED, 0);
    const int ticks = g_ticks;
    QTest::qWait(120);
    EXPECT_EQ(g_ticks, ticks);
}

TEST_F(QtView, CloseBoxAsksTheApplicationAndPopupsAreModal)
{
    QWidget *mainWindow = QtView_PanelWindow(main_);
    mainWindow->close();
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].event, EVENT_CLOSE);
    EXPECT_TRUE(mainWindow->isVisible());   // only the application hides it

    QWidget *child = QtView_PanelWindow(child_);
    EXPECT_EQ(child->parentWidget(), mainWindow);
    InstallPopup(child_);
    EXPECT_TRUE(child->isVisible());
    EXPECT_EQ(child->windowModality(), Qt::ApplicationModal);
    RemovePopup(0);
    EXPECT_FALSE(child->isVisible());
    DisplayPanel(child_);
    EXPECT_EQ(child->windowModality(), Qt::NonModal);
    HidePanel(child_);
    EXPECT_FALSE(child->isVisible());
}

TEST_F(QtView, MessagePopupShowsTheTextAsIsAndWaitsForOk)
{
    // Two lines wider than the box would be by default: they keep their own line breaks.
    const char *message = "Achtung: Das st\xE4ndige Abfragen der Istwerte beansprucht <b>das TLX-1</b>\n"
                          "Au\xDF" "erdem k\xF6nnen schnelle Schwingungen hier nicht dargestellt werden. ";
    QString title, text;
    int lines = 0;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        text = box->text();
        const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        lines = label ? label->height() / label->fontMetrics().lineSpacing() : 0;
        box->button(QMessageBox::Ok)->click();
    });
    MessagePopup("Info", message);
    EXPECT_EQ(title, QStringLiteral("Info"));
    EXPECT_EQ(text, Cp1252ToQString(message));
    EXPECT_TRUE(text.contains(QString::fromUtf16(u"st\u00E4ndige")));
    EXPECT_EQ(lines, 2);
}

// Answers the file dialog once it is up: types a name and accepts, or cancels.
void AnswerFileDialog(QString *title, const QString &name)
{
    QTimer::singleShot(0, [title, name] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) return;
        *title = dialog->windowTitle() + QStringLiteral("|") + dialog->nameFilters().join(u',');
        if (name.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(name);
            static_cast<QDialog *>(dialog)->accept();   // QFileDialog hides the slot
        }
    });
}

TEST_F(QtView, FileDialogStartsInTheCurrentFolderAndKeepsTheExtension)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    struct Back {
        QString path;
        ~Back() { QDir::setCurrent(path); }
    } back{before};
    QFile existing(dir.filePath(QStringLiteral("alt.tlx")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    char path[MAX_PATHNAME_LEN];
    QString seen;

    AnswerFileDialog(&seen, QStringLiteral("neu"));
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Speichern", VAL_SAVE_BUTTON, 0, 1, 1, 1, path), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(QString::fromLocal8Bit(path), dir.filePath(QStringLiteral("neu.tlx")));
    EXPECT_EQ(seen, QStringLiteral("Speichern|*.tlx"));

    AnswerFileDialog(&seen, QStringLiteral("alt.tlx"));
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Laden", VAL_LOAD_BUTTON, 0, 1, 1, 0, path),
              VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(QString::fromLocal8Bit(path), existing.fileName());

    AnswerFileDialog(&seen, QString());
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Laden", VAL_LOAD_BUTTON, 0, 1, 1, 0, path), VAL_NO_FILE_SELECTED);
    EXPECT_STREQ(path, "");
}

TEST_F(QtView, QuitEndsTheRunLoopWithItsCode)
{
    QTimer::singleShot(0, [] { QuitUserInterface(7); });
    EXPECT_EQ(RunUserInterface(), 7);
    // Numbers printed by the C library keep their decimal point whatever the user's locale.
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 2.5);
    EXPECT_STREQ(buf, "2.5");
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
}

}  // namespace
