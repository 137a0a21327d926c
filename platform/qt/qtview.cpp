#include "platform/qt/qtview.h"

#include "platform/qt/cp1252.h"
#include "platform/qt/qtchart.h"
#include "platform/qt/qtchoices.h"
#include "platform/qt/qthelp.h"
#include "platform/qt/qtkeys.h"
#include "platform/qt/qtwidgets.h"
#include "platform/userint/userint_view.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOption>
#include <QTableWidget>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>

#include <chrono>
#include <clocale>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct ControlView {
    CtrlKind kind = CTRL_DECORATION;
    LabelPosition labelPosition = LABEL_ABOVE;
    QPointer<QWidget> widget;
    QPointer<QLabel> label;  // separate label of fields, rings and LEDs
    QPointer<QTimer> timer;
};

struct PanelView {
    QPointer<PanelWindow> window;
    bool placed = false;  // first show positions a child window over its parent
    std::map<int, ControlView> controls;
};

std::map<int, PanelView> g_panels;  // Qt thread only
// Panels loaded while hidden are built when first shown or asked for, or shortly after the first
// frame: the window appears without waiting for the dialogs' widgets. Qt thread only.
std::set<int> g_unbuilt;

// What the model reported changed since the last frame. Guarded by the model's mutex: the reports
// come with it held, and the frame takes it to paint.
struct PendingChanges {
    std::vector<int> loaded;      // panels to build, in load order
    std::vector<int> visibility;  // panels shown, hidden or made popups, latest last
    std::set<std::pair<int, int>> controls, charts;
    std::vector<std::pair<int, int>> active;  // SetActiveCtrl calls in order
    bool framePosted = false;                 // a frame is asked for and has not been painted yet
};
PendingChanges g_pending;

// Frames are painted at most this often; a control changed many times in between is painted once.
constexpr int kFrameMs = 16;
// Hidden panels are built this long after the frame that loaded them.
constexpr int kBuildLaterMs = 300;

constexpr int kFontPixels = 12;          // panel positions are laid out for this text size
constexpr int kLabelGap = 2;             // between a label and the control below it
constexpr int kLabelSideGap = 6;         // between a control and a label beside it
constexpr int kWidestMessageLine = 640;  // longer message lines wrap

PanelView *FindPanel(int panel)
{
    auto it = g_panels.find(panel);
    return it == g_panels.end() || !it->second.window ? nullptr : &it->second;
}

ControlView *FindControl(int panel, int control)
{
    PanelView *pv = FindPanel(panel);
    if (!pv)
        return nullptr;
    auto it = pv->controls.find(control);
    return it == pv->controls.end() ? nullptr : &it->second;
}

QString Text(const char *cp1252)
{
    return cp1252 ? Cp1252ToQString(cp1252) : QString();
}

// Buttons and menus read '&' as a shortcut marker; catalogue texts mean the character itself.
QString Literal(const QString &s)
{
    QString out = s;
    return out.replace(u'&', QStringLiteral("&&"));
}

QFont PanelFont()
{
    QFont f = QApplication::font();
    f.setPixelSize(kFontPixels);
    return f;
}

// Fields, rings and LEDs carry their label outside the body, where the catalogue puts it.
bool HasSeparateLabel(CtrlKind kind)
{
    switch (kind) {
    case CTRL_NUMERIC:
    case CTRL_NUMERIC_INDICATOR:
    case CTRL_STRING:
    case CTRL_STRING_INDICATOR:
    case CTRL_RING:
    case CTRL_LED:
    case CTRL_COMBO_BOX: return true;
    default: return false;
    }
}

void PlaceLabel(ControlView &cv, const QRect &body, const QString &text)
{
    if (!cv.label)
        return;
    if (cv.label->text() != text)
        cv.label->setText(text);
    const QSize hint = cv.label->sizeHint();
    QRect r(QPoint(0, 0), hint);
    switch (cv.labelPosition) {
    case LABEL_RIGHT: r.moveTopLeft({body.right() + 1 + kLabelSideGap, body.center().y() - hint.height() / 2}); break;
    case LABEL_LEFT: r.moveTopRight({body.left() - 1 - kLabelSideGap, body.center().y() - hint.height() / 2}); break;
    case LABEL_ABOVE:
        // A lamp's short label is centred over it; a field's starts at its left edge.
        r.moveBottomLeft(
            {cv.kind == CTRL_LED ? body.center().x() - hint.width() / 2 : body.left(), body.top() - 1 - kLabelGap});
        break;
    }
    cv.label->setGeometry(r);
}

// A table control's text: rows separated by '\n', cells by '\t', the first row the header.
void MirrorTable(QTableWidget *t, const QString &text)
{
    if (t->property("tableText").toString() == text)
        return;
    t->setProperty("tableText", text);
    QStringList rows = text.split(u'\n', Qt::SkipEmptyParts);
    const QStringList header = rows.isEmpty() ? QStringList() : rows.takeFirst().split(u'\t');
    t->clear();
    t->setColumnCount(static_cast<int>(header.size()));
    t->setHorizontalHeaderLabels(header);
    t->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList cells = rows[r].split(u'\t');
        for (int c = 0; c < cells.size() && c < header.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            t->setItem(r, c, item);
        }
    }
    t->resizeColumnsToContents();
}

// Copies every piece of the model's state of one control onto its widget; raises no event.
void Mirror(int panel, int control, ControlView &cv)
{
    QWidget *w = cv.widget;
    if (!w)
        return;
    const QSignalBlocker block(w);
    const int dimmed = ModelInt(panel, control, ATTR_DIMMED, 0);
    const int visible = ModelInt(panel, control, ATTR_VISIBLE, 1);
    const QString label = ModelText(panel, control, ATTR_LABEL_TEXT);

    switch (cv.kind) {
    case CTRL_NUMERIC:
    case CTRL_NUMERIC_INDICATOR: static_cast<NumericField *>(w)->mirror(); break;
    case CTRL_STRING: {
        auto *e = static_cast<QLineEdit *>(w);
        const int maxLen = ModelInt(panel, control, ATTR_MAX_ENTRY_LENGTH, -1);
        e->setMaxLength(maxLen < 0 ? 32767 : maxLen);
        const QString v = Cp1252ToQString(UiModel_TextValue(panel, control));
        if (e->text() != v) {
            e->setText(v);
            e->setCursorPosition(0);  // a text longer than the field shows its beginning
        }
        break;
    }
    case CTRL_STRING_INDICATOR: {
        auto *e = static_cast<IndicatorField *>(w);
        const QString v = Cp1252ToQString(UiModel_TextValue(panel, control));
        if (e->fullText() != v)
            e->setFullText(v);
        break;
    }
    case CTRL_COMBO_BOX: static_cast<ComboField *>(w)->mirror(); break;
    case CTRL_CHECK_BOX: {
        auto *b = static_cast<QCheckBox *>(w);
        b->setChecked(UiModel_NumericValue(panel, control) != 0.0);
        b->setText(Literal(label));
        break;
    }
    case CTRL_TEXT_MSG: {
        auto *l = static_cast<QLabel *>(w);
        const QString v = Cp1252ToQString(UiModel_TextValue(panel, control));
        if (l->text() != v)
            l->setText(v);
        break;
    }
    case CTRL_RING: static_cast<RingBox *>(w)->mirror(panel, control); break;
    case CTRL_COMMAND_BUTTON: static_cast<QPushButton *>(w)->setText(Literal(label)); break;
    case CTRL_TOGGLE_BUTTON: {
        auto *b = static_cast<QPushButton *>(w);
        const bool on = UiModel_NumericValue(panel, control) != 0.0;
        b->setChecked(on);
        b->setText(Literal(ModelText(panel, control, on ? ATTR_ON_TEXT : ATTR_OFF_TEXT)));
        break;
    }
    case CTRL_LED: {
        const unsigned onColor = static_cast<unsigned>(ModelInt(panel, control, ATTR_ON_COLOR, VAL_RED));
        // An unlit lamp is a dark shade of its own colour, unless the program chose an off-colour.
        unsigned offColor = static_cast<unsigned>(ModelInt(panel, control, ATTR_OFF_COLOR, VAL_DK_GRAY));
        if (offColor == VAL_DK_GRAY) {
            offColor = static_cast<unsigned>(RgbColor(onColor).darker(400).rgb() & 0xFFFFFF);
        }
        static_cast<LedWidget *>(w)->setState(UiModel_NumericValue(panel, control) != 0.0, onColor, offColor);
        break;
    }
    case CTRL_TIMER: {
        QTimer *t = cv.timer;
        if (!t)
            break;
        const double seconds = ModelDouble(panel, control, ATTR_INTERVAL, 0.1);
        const int ms = std::isfinite(seconds) ? static_cast<int>(std::clamp(seconds * 1000.0, 1.0, 86400000.0)) : 100;
        const bool enabled = ModelInt(panel, control, ATTR_ENABLED, 1) != 0;
        if (t->interval() != ms)
            t->setInterval(ms);
        if (enabled && !t->isActive())
            t->start();
        if (!enabled && t->isActive())
            t->stop();
        break;
    }
    case CTRL_TABLE:
        MirrorTable(static_cast<QTableWidget *>(w), Cp1252ToQString(UiModel_TextValue(panel, control)));
        break;
    case CTRL_STRIP_CHART:
    case CTRL_DECORATION:
    case CTRL_PICTURE: break;
    }

    if (cv.kind != CTRL_TIMER) {
        w->setEnabled(!dimmed);
        w->setVisible(visible != 0);
    }
    // What the control means, for the pointer and for a screen reader.
    const QString help = ModelText(panel, control, ATTR_TOOLTIP);
    SetControlHelp(w, help);
    if (cv.label) {
        PlaceLabel(cv, w->geometry(), label);
        cv.label->setEnabled(!dimmed);
        cv.label->setVisible(visible != 0 && !label.isEmpty());
        cv.label->setToolTip(help);
        w->setAccessibleName(QString(label).replace(u'\n', u' '));
    }
}

QWidget *MakeControl(int panel, const CtrlDef &def, QWidget *content, ControlView &cv)
{
    const int control = def.id;
    switch (def.kind) {
    case CTRL_NUMERIC:
    case CTRL_NUMERIC_INDICATOR: return new NumericField(panel, control, def.kind == CTRL_NUMERIC_INDICATOR, content);
    case CTRL_STRING_INDICATOR: return new IndicatorField(content);
    case CTRL_COMBO_BOX: return new ComboField(panel, control, content);
    case CTRL_CHECK_BOX: {
        auto *b = new QCheckBox(content);
        QObject::connect(b, &QCheckBox::clicked, b, [panel, control] {
            UiOperator_Queue(panel, control, [=] { UiOperator_Press(panel, control); });
        });
        return b;
    }
    case CTRL_STRING: {
        auto *e = new QLineEdit(content);
        auto commit = [panel, control, e] {
            e->setModified(false);
            UiOperator_Queue(panel, control, [panel, control, text = QStringToCp1252(e->text())] {
                UiOperator_EnterText(panel, control, text.c_str());
            });
        };
        QObject::connect(e, &QLineEdit::returnPressed, e, commit);
        // Leaving the field after typing commits too; Enter has done so already.
        QObject::connect(e, &QLineEdit::editingFinished, e, [e, commit] {
            if (e->isModified() && !e->hasFocus())
                commit();
        });
        KeepCp1252Typing(e);
        return e;
    }
    case CTRL_TEXT_MSG: {
        auto *l = new QLabel(content);
        l->setTextFormat(Qt::PlainText);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // A heading drawn over a frame line hides the line behind its text.
        l->setAutoFillBackground(true);
        return l;
    }
    case CTRL_RING: {
        auto *c = new RingBox(content);
        for (int i = 0; i < def.itemCount; ++i)
            c->addItem(Text(def.items[i].label), def.items[i].value);
        QObject::connect(c, &QComboBox::activated, c, [panel, control](int index) {
            UiOperator_Queue(panel, control, [=] { UiOperator_PickRingIndex(panel, control, index); });
        });
        return c;
    }
    case CTRL_COMMAND_BUTTON: {
        auto *b = new PanelButton(content);
        QObject::connect(b, &QPushButton::clicked, b, [panel, control] {
            UiOperator_Queue(panel, control, [=] { UiOperator_Press(panel, control); });
        });
        return b;
    }
    case CTRL_TOGGLE_BUTTON: {
        auto *b = new PanelButton(content);
        b->setCheckable(true);
        // The button flips at once; the callback may set it back (a failed connect), which the next
        // frame shows.
        QObject::connect(b, &QPushButton::clicked, b, [panel, control] {
            UiOperator_Queue(panel, control, [=] { UiOperator_Press(panel, control); });
        });
        return b;
    }
    case CTRL_LED: return new LedWidget(content);
    case CTRL_TIMER: {
        auto *w = new QWidget(content);
        w->hide();
        cv.timer = new QTimer(w);
        QObject::connect(cv.timer, &QTimer::timeout, w,
                         [panel, control] { UiOperator_QueueTimerTick(panel, control); });
        return w;
    }
    case CTRL_STRIP_CHART: return new StripChartWidget(panel, control, content);
    case CTRL_DECORATION: {
        auto *f = new QFrame(content);
        f->setFrameStyle(QFrame::Box | QFrame::Sunken);  // an etched line around the group
        return f;
    }
    case CTRL_PICTURE: return new PictureWidget(content);
    case CTRL_TABLE: {
        auto *t = new QTableWidget(content);
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->setSelectionBehavior(QAbstractItemView::SelectRows);
        t->verticalHeader()->hide();
        t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 4);
        t->horizontalHeader()->setStretchLastSection(true);
        t->setWordWrap(false);
        return t;
    }
    }
    return new QWidget(content);
}

QMenuBar *MakeMenuBar(int panel, const MenuBarDef &def, QWidget *window)
{
    auto *bar = new QMenuBar(window);
    bar->setNativeMenuBar(false);
    for (int m = 0; m < def.menuCount; ++m) {
        const MenuDef &menu = def.menus[m];
        QMenu *qm = bar->addMenu(Literal(Text(menu.title)));
        qm->setObjectName(QString::fromLatin1(menu.constantName ? menu.constantName : ""));
        SetMenuMnemonic(bar, qm, menu, window);
        for (int i = 0; i < menu.itemCount; ++i) {
            const MenuItemDef &item = menu.items[i];
            if (item.separator) {
                qm->addSeparator();
                continue;
            }
            QAction *a = qm->addAction(Literal(Text(item.text)));
            a->setObjectName(QString::fromLatin1(item.constantName ? item.constantName : ""));
            SetItemShortcut(a, item);
            const int itemId = item.id;
            QObject::connect(a, &QAction::triggered, bar, [panel, itemId] {
                UiOperator_Queue(panel, 0, [=] { UiOperator_ChooseMenuItem(panel, itemId); });
            });
        }
    }
    return bar;
}

// A text message just inside a frame's top edge is that group's title and reads bold; a single line
// given more height than text needs is the panel's title and reads larger.
void StyleTitles(int panel, const PanelDef &def)
{
    for (int i = 0; i < def.controlCount; ++i) {
        const CtrlDef &t = def.controls[i];
        QWidget *w = t.kind == CTRL_TEXT_MSG ? QtView_ControlWidget(panel, t.id) : nullptr;
        if (!w || (t.startText && std::strchr(t.startText, '\n')))
            continue;
        QFont f = w->font();
        if (t.height >= 2 * kFontPixels) {
            f.setBold(true);
            f.setPixelSize(kFontPixels * 3 / 2);
        }
        for (int j = 0; j < def.controlCount; ++j) {
            const CtrlDef &d = def.controls[j];
            if (d.kind == CTRL_DECORATION && t.top >= d.top && t.top - d.top <= kFontPixels + 4 && t.left >= d.left &&
                t.left < d.left + d.width)
                f.setBold(true);
        }
        w->setFont(f);
    }
}

void DeleteWindow(PanelView &pv)
{
    if (pv.window)
        delete pv.window.data();
}

// ---- the Qt thread --------------------------------------------------------------------------------
// The thread that created the QApplication paints and takes input; the program thread (if any)
// only changes the model and waits for popups.
bool OnViewThread()
{
    return !UiProgram_OnProgramThread();
}

// Wakes the Qt thread; what it is to do then is kept under our own mutexes (the model's, the work
// queue's), and the posted event carries nothing. So every hand-over between the threads is plain to
// ThreadSanitizer, which does not look into Qt.
void QtThreadWakes();
class Courier : public QObject {
protected:
    void customEvent(QEvent *) override { QtThreadWakes(); }
};
Courier *g_courier = nullptr;  // made on the Qt thread before any other thread can post

void WakeQtThread()
{
    if (g_courier)
        QCoreApplication::postEvent(g_courier, new QEvent(QEvent::User));
}

bool HaveDisplay()
{
    return std::getenv("QT_QPA_PLATFORM") || std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

// The menu bar asks the style for the icon of the button it shows when its menus do not fit. Read
// from Qt's picture files, that icon would load every image format plugin there is before the
// first window is painted; the panels use no picture files, so the chevron is drawn here instead.
class PanelStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option, const QWidget *widget) const override
    {
        if (icon != SP_ToolBarHorizontalExtensionButton && icon != SP_ToolBarVerticalExtensionButton)
            return QProxyStyle::standardIcon(icon, option, widget);
        QPixmap chevron(16, 16);
        chevron.fill(Qt::transparent);
        QPainter p(&chevron);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(widget ? widget->palette().color(QPalette::ButtonText) : QColor(Qt::black), 1.5));
        if (icon == SP_ToolBarVerticalExtensionButton)
            p.rotate(90), p.translate(0, -16);
        for (int x : {4, 9})
            p.drawPolyline(QPolygonF({QPointF(x, 4), QPointF(x + 3.5, 8), QPointF(x, 12)}));
        return QIcon(chevron);
    }
    // A menu title is drawn with its mnemonic underlined; the title's own text has no marker.
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element != CE_MenuBarItem || !item)
            return QProxyStyle::drawControl(element, option, painter, widget);
        QStyleOptionMenuItem marked = *item;
        marked.text = MenuTitleForDrawing(widget, item->text);
        QProxyStyle::drawControl(element, &marked, painter, widget);
    }
};

// Settings of the running application; on the Qt thread, before a program thread starts.
void PrepareApplication()
{
    static bool translated = false;
    if (!translated) {
        translated = true;
        // The program speaks German; Qt's own texts (dialog buttons, the file dialog, a field's context
        // menu) follow when the translations are installed. Qt's base catalogue is the only one used.
        auto *qtTexts = new QTranslator(qApp);
        if (qtTexts->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(qtTexts);
    }
    if (!g_courier) {
        g_courier = new Courier;
        QApplication::setStyle(new PanelStyle);
    }
    // QApplication adopts the user's locale for C functions; numbers in frames and files need '.'.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
}

bool CreateApplication(int argc, char *argv[])
{
    // Without any display Qt would abort the program; say why and return instead.
    if (!HaveDisplay()) {
        std::fprintf(stderr, "TLX-1 Steuerung: keine Anzeige gefunden (DISPLAY ist nicht gesetzt). "
                             "Ohne Bildschirm mit xvfb-run starten.\n");
        return false;
    }
    static int s_argc = 1;
    static char s_name[] = "tlx1steuerung";
    static char *s_defaultArgv[] = {s_name, nullptr};
    static char **s_argv = s_defaultArgv;
    if (argc > 0 && argv) {
        s_argc = argc;
        s_argv = argv;
    }
    new QApplication(s_argc, s_argv);  // lives as long as the program
    return true;
}

// The loop QtView_RunProgram runs while the program routine runs.
QPointer<QEventLoop> g_programLoop;

// Work the program thread handed to the Qt thread. It is passed under this mutex, not inside Qt's
// posted event, so that the hand-over is plain to see (ThreadSanitizer does not look into Qt).
struct QtWork {
    const std::function<void()> *work = nullptr;
    bool done = false;
};
std::mutex g_qtWorkMutex;
std::condition_variable g_qtWorkDone;
std::vector<QtWork *> g_qtWork;
bool g_programEnded = false;  // the routine QtView_RunProgram runs has returned

void RunQtWork()
{
    std::unique_lock lock(g_qtWorkMutex);
    while (!g_qtWork.empty()) {
        QtWork *item = g_qtWork.front();
        g_qtWork.erase(g_qtWork.begin());
        lock.unlock();
        (*item->work)();
        lock.lock();
        item->done = true;
        g_qtWorkDone.notify_all();
    }
}

void ScheduleFrame();

void QtThreadWakes()
{
    RunQtWork();
    bool frame, ended;
    {
        const std::lock_guard lock(UiModel_Mutex());
        frame = g_pending.framePosted;
    }
    {
        const std::lock_guard lock(g_qtWorkMutex);
        ended = g_programEnded;
    }
    if (frame)
        ScheduleFrame();
    if (ended && g_programLoop)
        g_programLoop->quit();
}

// ---- frames --------------------------------------------------------------------------------------
void PaintFrame();

QElapsedTimer &SinceFrame()
{
    static QElapsedTimer t;
    return t;
}

// On the Qt thread: paints now, or once the last frame is kFrameMs old.
void ScheduleFrame()
{
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(qApp);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, PaintFrame);
    }
    const qint64 since = SinceFrame().isValid() ? SinceFrame().elapsed() : kFrameMs;
    // A window to be shown or hidden does not wait for the frame time: the operator waits for it.
    bool windowChange = false;
    {
        const std::lock_guard lock(UiModel_Mutex());
        windowChange = !g_pending.visibility.empty();
    }
    if (since >= kFrameMs || windowChange)
        PaintFrame();
    else if (!timer->isActive())
        timer->start(static_cast<int>(kFrameMs - since));
}

// With the model's mutex held, on any thread: asks the Qt thread for a frame, once until it is painted.
void RequestFrame()
{
    if (g_pending.framePosted || !qApp)
        return;
    g_pending.framePosted = true;
    WakeQtThread();
}

// The content of a resizable panel: controls that grow take what the window has beyond its design
// size; every other control keeps the place and size the catalogue gives.
class GrowingContent : public QWidget {
public:
    GrowingContent(int panel, QWidget *parent) : QWidget(parent), panel_(panel) {}

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        const PanelDef *def = UiModel_PanelDef(panel_);
        if (!def)
            return;
        const int dw = std::max(0, width() - def->width), dh = std::max(0, height() - def->height);
        for (int i = 0; i < def->controlCount; ++i) {
            const CtrlDef &d = def->controls[i];
            QWidget *w = d.growth ? QtView_ControlWidget(panel_, d.id) : nullptr;
            if (!w)
                continue;
            w->setGeometry(d.left, d.top, std::max(1, d.width + (d.growth & GROW_WIDTH ? dw : 0)),
                           std::max(1, d.height + (d.growth & GROW_HEIGHT ? dh : 0)));
        }
    }

private:
    int panel_;
};

PanelView *EnsureBuilt(int panel);

void ViewPanelLoaded(int panel)
{
    const PanelDef *def = UiModel_PanelDef(panel);
    if (!def || !qApp)
        return;
    g_unbuilt.erase(panel);
    auto old = g_panels.find(panel);
    if (old != g_panels.end()) {
        DeleteWindow(old->second);
        g_panels.erase(old);
    }
    PanelView *parent = EnsureBuilt(UiModel_PanelParent(panel));
    PanelView &pv = g_panels[panel];
    auto *window = new PanelWindow(panel, parent ? parent->window.data() : nullptr);
    pv.window = window;
    window->setObjectName(QString::fromLatin1(def->constantName ? def->constantName : ""));
    window->setWindowTitle(Text(def->title));
    window->setFont(PanelFont());
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (def->menuBar)
        layout->setMenuBar(MakeMenuBar(panel, *def->menuBar, window));
    QWidget *content = nullptr;
    const QSize designSize(std::max(1, def->width), std::max(1, def->height));
    if (def->resizable) {
        // The design size is the least; what the operator adds goes to the controls that grow.
        content = new GrowingContent(panel, window);
        content->setMinimumSize(designSize);
        layout->setSizeConstraint(QLayout::SetMinimumSize);
    } else {
        content = new QWidget(window);
        content->setFixedSize(designSize);
        layout->setSizeConstraint(QLayout::SetFixedSize);
    }
    content->setObjectName(QStringLiteral("panelContent"));
    layout->addWidget(content);

    for (int i = 0; i < def->controlCount; ++i) {
        const CtrlDef &cd = def->controls[i];
        ControlView &cv = pv.controls[cd.id];
        cv.kind = cd.kind;
        cv.labelPosition = cd.labelPosition;
        QWidget *w = MakeControl(panel, cd, content, cv);
        w->setObjectName(QString::fromLatin1(cd.constantName ? cd.constantName : ""));
        if (cd.kind != CTRL_TIMER)
            w->setGeometry(cd.left, cd.top, std::max(1, cd.width), std::max(1, cd.height));
        cv.widget = w;
        if (HasSeparateLabel(cd.kind)) {
            auto *l = new QLabel(content);
            l->setTextFormat(Qt::PlainText);
            l->setObjectName(w->objectName() + QStringLiteral("_label"));
            cv.label = l;
        }
    }
    // Frames lie behind the controls they group.
    for (auto &[id, cv] : pv.controls)
        if (cv.kind == CTRL_DECORATION && cv.widget)
            cv.widget->lower();
    StyleTitles(panel, *def);
    SetPanelTabOrder(panel, *def);
    for (auto &[id, cv] : pv.controls)
        Mirror(panel, id, cv);
    if (ControlView *first = FindControl(panel, GetActiveCtrl(panel)); first && first->widget)
        first->widget->setFocus(Qt::OtherFocusReason);
}

// A panel loaded while hidden is built now (under the model's lock, as a frame builds it).
PanelView *EnsureBuilt(int panel)
{
    if (g_unbuilt.count(panel) != 0) {
        const std::lock_guard lock(UiModel_Mutex());
        ViewPanelLoaded(panel);
    }
    return FindPanel(panel);
}

// A panel to be built without being shown waits; a panel built before is dropped, so nobody sees its
// old state.
void DeferPanel(int panel)
{
    auto old = g_panels.find(panel);
    if (old != g_panels.end()) {
        DeleteWindow(old->second);
        g_panels.erase(old);
    }
    if (g_unbuilt.empty())
        QTimer::singleShot(kBuildLaterMs, qApp, [] {
            while (!g_unbuilt.empty())
                EnsureBuilt(*g_unbuilt.begin());
        });
    g_unbuilt.insert(panel);
}

void ApplyVisibility(int panel)
{
    PanelView *pv = EnsureBuilt(panel);
    if (!pv)
        return;
    PanelWindow *w = pv->window;
    if (!UiModel_PanelVisible(panel)) {
        w->hide();
        return;
    }
    const Qt::WindowModality want = UiModel_PanelIsPopup(panel) ? Qt::ApplicationModal : Qt::NonModal;
    if (w->windowModality() != want) {
        // Qt takes a new modality only while the window is hidden.
        w->hide();
        w->setWindowModality(want);
    }
    if (!w->isVisible()) {
        if (!pv->placed) {
            w->adjustSize();
            if (QWidget *parent = w->parentWidget(); parent && parent->isVisible()) {
                const QRect pg = parent->frameGeometry();
                w->move(pg.center() - QPoint(w->width() / 2, w->height() / 2));
            }
            pv->placed = true;
        }
        w->show();
    }
    w->raise();
    w->activateWindow();
}

void ApplyActive(int panel, int control)
{
    ControlView *cv = FindControl(panel, control);
    if (!cv || !cv->widget)
        return;
    cv->widget->setFocus(Qt::OtherFocusReason);
    // The operator types the next value straight over the old one.
    if (auto *n = dynamic_cast<NumericField *>(cv->widget.data()))
        n->selectAll();
    else if (auto *e = dynamic_cast<QLineEdit *>(cv->widget.data()))
        e->selectAll();
}

// On the Qt thread: brings the widgets to the model's state of everything reported since the last
// frame. Qt then paints what changed, each widget once.

void PaintFrame()
{
    const std::lock_guard lock(UiModel_Mutex());
    const PendingChanges changes = std::exchange(g_pending, PendingChanges{});
    SinceFrame().start();
    for (int panel : changes.loaded) {
        if (UiModel_PanelVisible(panel))
            ViewPanelLoaded(panel);
        else
            DeferPanel(panel);
    }
    for (auto [panel, control] : changes.controls)
        if (ControlView *cv = FindControl(panel, control))
            Mirror(panel, control, *cv);
    for (auto [panel, control] : changes.charts)
        if (ControlView *cv = FindControl(panel, control); cv && cv->widget) {
            if (auto *chart = dynamic_cast<StripChartWidget *>(cv->widget.data()))
                chart->modelChanged();
            else
                cv->widget->update();
        }
    for (int panel : changes.visibility)
        ApplyVisibility(panel);
    for (auto [panel, control] : changes.active)
        ApplyActive(panel, control);
}

// ---- backend functions ---------------------------------------------------------------------------
// The change reports come with the model's mutex held and only note what the next frame paints.
int ViewInit(int argc, char *argv[])
{
    if (!qApp && !CreateApplication(argc, argv))
        return 0;
    // The program thread finds the application prepared by QtView_RunProgram.
    if (OnViewThread())
        PrepareApplication();
    return 1;
}

void ViewPanelReported(int panel)
{
    // On the Qt thread itself (tests use the view so) a panel is built at once.
    if (OnViewThread()) {
        ViewPanelLoaded(panel);
        return;
    }
    g_pending.loaded.push_back(panel);
    RequestFrame();
}

void ViewPanelVisibility(int panel)
{
    std::erase(g_pending.visibility, panel);
    g_pending.visibility.push_back(panel);
    // A frame already asked for may wait for its time; a window change is painted at once.
    if (g_pending.framePosted)
        WakeQtThread();
    RequestFrame();
}

void ViewControlChanged(int panel, int control)
{
    g_pending.controls.insert({panel, control});
    RequestFrame();
}

void ViewChartChanged(int panel, int control)
{
    g_pending.charts.insert({panel, control});
    RequestFrame();
}

void ViewActiveControlChanged(int panel, int control)
{
    g_pending.active.emplace_back(panel, control);
    RequestFrame();
}

// Without a program thread the Qt thread runs the callbacks itself, as a single-threaded toolkit does.
int ViewRunLoop(void)
{
    return qApp ? QApplication::exec() : -1;
}

// Also ends a popup's loop the callback may be running in; exec then returns the code.
void ViewQuitLoop(int code)
{
    if (qApp)
        QApplication::exit(code);
}

// The window a popup belongs to: the active one, else the last visible panel.
QWidget *PopupParent()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    QWidget *last = nullptr;
    for (auto &[handle, pv] : g_panels)
        if (pv.window && pv.window->isVisible())
            last = pv.window;
    return last;
}

void ShowMessage(const char *title, const char *message)
{
    QMessageBox box(PopupParent());
    box.setWindowTitle(Text(title));
    box.setTextFormat(Qt::PlainText);
    const QString text = Text(message);
    box.setText(text);
    // The message's own line breaks stand, unless a line is too long for a readable box.
    if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        int widest = 0;
        for (const QString &line : text.split(u'\n'))
            widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
        label->setMinimumWidth(std::min(widest + 2, kWidestMessageLine));
    }
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void ViewMessagePopup(const char *title, const char *message)
{
    if (qApp)
        QtView_OnQtThread([&] { ShowMessage(title, message); });
}

// A message whose lines hold tabs as rich text: those lines become the rows of a table (the first such
// row is the header), the others paragraphs.
QString MessageAsTable(const QString &text)
{
    QString html;
    bool inTable = false, header = false;
    for (const QString &line : text.split(u'\n')) {
        if (!line.contains(u'\t')) {
            if (inTable)
                html += QStringLiteral("</table>");
            inTable = false;
            html += QStringLiteral("<p>") + line.toHtmlEscaped() + QStringLiteral("</p>");
            continue;
        }
        if (!inTable) {
            html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
            inTable = header = true;
        }
        html += QStringLiteral("<tr>");
        for (const QString &cell : line.split(u'\t'))
            html += (header ? QStringLiteral("<th align=\"left\">") : QStringLiteral("<td>")) + cell.toHtmlEscaped() +
                    (header ? QStringLiteral("</th>") : QStringLiteral("</td>"));
        html += QStringLiteral("</tr>");
        header = false;
    }
    if (inTable)
        html += QStringLiteral("</table>");
    return html;
}

int ShowGenericMessage(const char *title, const char *message, const char *const *buttons, int count)
{
    QMessageBox box(PopupParent());
    box.setWindowTitle(Text(title));
    const QString text = Text(message);
    if (text.contains(u'\t')) {
        box.setTextFormat(Qt::RichText);
        box.setText(MessageAsTable(text));
    } else {
        box.setTextFormat(Qt::PlainText);
        box.setText(text);
    }
    box.setIcon(QMessageBox::NoIcon);
    std::vector<QPushButton *> pressed;
    for (int i = 0; i < count; ++i)
        pressed.push_back(box.addButton(Literal(Text(buttons[i])), QMessageBox::ActionRole));
    box.setDefaultButton(pressed.front());
    box.setEscapeButton(pressed.back());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    for (int i = 0; i < count; ++i)
        if (box.clickedButton() == pressed[static_cast<size_t>(i)])
            return i + 1;
    return count;
}

int ViewGenericMessagePopup(const char *title, const char *message, const char *const *buttons, int count)
{
    if (!qApp || count < 1)
        return count;
    return QtView_OnQtThread([&] { return ShowGenericMessage(title, message, buttons, count); });
}

// The extension a file pattern such as "*.tlx" asks for ("tlx"), or empty when it names none.
QString PatternExtension(const QString &pattern)
{
    static const QRegularExpression kSingle(QStringLiteral(R"(^\*\.([A-Za-z0-9_]+)$)"));
    const QRegularExpressionMatch m = kSingle.match(pattern.trimmed());
    return m.hasMatch() ? m.captured(1) : QString();
}

int ShowFileDialog(const char *defaultDirectory, const char *defaultFileSpec, const char *title, int buttonLabel,
                   int restrictExtension, int allowMakeDirectory, char *pathName)
{
    if (!pathName)
        return VAL_NO_FILE_SELECTED;
    pathName[0] = '\0';
    if (!qApp)
        return VAL_NO_FILE_SELECTED;
    const bool save = buttonLabel == VAL_SAVE_BUTTON;
    QString dir = Text(defaultDirectory);
    if (dir.isEmpty())
        dir = QDir::currentPath();
    const QString pattern = Text(defaultFileSpec);
    const QString extension = PatternExtension(pattern);

    QFileDialog dialog(PopupParent(), Text(title), dir);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly, !allowMakeDirectory);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!pattern.isEmpty()) {
        QStringList filters{pattern};
        if (!restrictExtension)
            filters << QStringLiteral("*");
        dialog.setNameFilters(filters);
    }
    if (save && !extension.isEmpty())
        dialog.setDefaultSuffix(extension);
    dialog.setWindowModality(Qt::ApplicationModal);

    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return VAL_NO_FILE_SELECTED;
        QString chosen = QDir::toNativeSeparators(dialog.selectedFiles().first());
        const bool wrongExtension = restrictExtension && !extension.isEmpty() &&
                                    QFileInfo(chosen).suffix().compare(extension, Qt::CaseInsensitive) != 0;
        if (wrongExtension && save)
            chosen += QStringLiteral(".") + extension;
        // The path goes to the file functions as the file system spells it (not as program text), so
        // every name the disk can hold opens the file that was chosen.
        const std::string path = QFile::encodeName(chosen).toStdString();
        // A path too long for the buffer would name another file; a file of another type cannot be
        // loaded. The operator chooses again.
        QString problem;
        if (wrongExtension && !save)
            problem = QStringLiteral("Es k\u00f6nnen nur Dateien vom Typ %1 geladen werden.").arg(pattern);
        else if (path.size() >= static_cast<std::size_t>(MAX_PATHNAME_LEN))
            problem = QStringLiteral("Der Dateiname ist zu lang.");
        if (!problem.isEmpty()) {
            QMessageBox box(QMessageBox::NoIcon, Text(title), problem, QMessageBox::Ok, &dialog);
            box.setTextFormat(Qt::PlainText);
            box.exec();
            continue;
        }
        std::memcpy(pathName, path.c_str(), path.size() + 1);
        return QFileInfo::exists(chosen) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
    }
}

int ViewFileSelectPopup(const char *defaultDirectory, const char *defaultFileSpec, const char *title, int buttonLabel,
                        int restrictExtension, int allowMakeDirectory, char *pathName)
{
    return QtView_OnQtThread([&] {
        return ShowFileDialog(defaultDirectory, defaultFileSpec, title, buttonLabel, restrictExtension,
                              allowMakeDirectory, pathName);
    });
}

// The help window belongs to the program's main window: the first top-level panel on screen.
int ViewHelpWindow(const char *title, const char *path)
{
    if (!qApp)
        return 0;
    return QtView_OnQtThread([&] {
        QWidget *owner = nullptr;
        for (auto &[handle, pv] : g_panels)
            if (!owner && pv.window && !pv.window->parentWidget() && pv.window->isVisible())
                owner = pv.window;
        return ShowHelpWindow(owner, Text(title), QFile::decodeName(path)) ? 1 : 0;
    });
}

int ViewControlImagePng(int panel, int control, std::string *png)
{
    if (!qApp)
        return UIE_NO_VIEW;
    return QtView_OnQtThread([&] {
        ControlView *cv = FindControl(panel, control);
        QWidget *w = cv ? cv->widget.data() : nullptr;
        if (!w || !w->isVisible())
            return int(UIE_NO_VIEW);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!w->grab().toImage().save(&buffer, "PNG"))
            return int(UIE_NO_VIEW);
        png->assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return int(UIE_NO_ERROR);
    });
}

constexpr UiBackend kQtBackend = {
    ViewInit,
    ViewPanelReported,
    ViewPanelVisibility,
    ViewControlChanged,
    ViewChartChanged,
    ViewActiveControlChanged,
    ViewRunLoop,
    ViewQuitLoop,
    ViewMessagePopup,
    ViewGenericMessagePopup,
    ViewFileSelectPopup,
    ViewHelpWindow,
    ViewControlImagePng,
};

}  // namespace

void UseQtView(void)
{
    SetUiBackend(&kQtBackend);
}

QWidget *QtView_PanelWindow(int panel)
{
    PanelView *pv = EnsureBuilt(panel);
    return pv ? pv->window.data() : nullptr;
}

QWidget *QtView_ControlWidget(int panel, int control)
{
    EnsureBuilt(panel);
    ControlView *cv = FindControl(panel, control);
    return cv ? cv->widget.data() : nullptr;
}

QWidget *QtView_ControlLabel(int panel, int control)
{
    EnsureBuilt(panel);
    ControlView *cv = FindControl(panel, control);
    return cv ? cv->label.data() : nullptr;
}

void QtView_Reset(void)
{
    {
        const std::lock_guard lock(UiModel_Mutex());
        g_pending = PendingChanges{};
    }
    // Children first would be deleted twice; top-level windows take their child panels with them.
    for (auto &[handle, pv] : g_panels)
        if (pv.window && !pv.window->parentWidget())
            DeleteWindow(pv);
    DeleteHelpWindow();
    for (auto &[handle, pv] : g_panels)
        DeleteWindow(pv);
    g_panels.clear();
    g_unbuilt.clear();
}

int QtView_RunProgram(int (*routine)(int, char **), int argc, char **argv)
{
    // Without a display the routine's InitUserInterface says so and fails.
    if (!qApp && (!HaveDisplay() || !CreateApplication(argc, argv)))
        return routine(argc, argv);
    PrepareApplication();
    QEventLoop loop;
    g_programLoop = &loop;
    {
        const std::lock_guard lock(g_qtWorkMutex);
        g_programEnded = false;
    }
    const auto finished = [](int) {
        {
            const std::lock_guard lock(g_qtWorkMutex);
            g_programEnded = true;
        }
        WakeQtThread();
    };
    if (!UiProgram_Start(routine, argc, argv, finished)) {
        g_programLoop = nullptr;
        return -1;
    }
    loop.exec();
    g_programLoop = nullptr;
    return UiProgram_Join();
}

void QtView_RunOnQtThread(const std::function<void()> &work)
{
    if (!qApp || OnViewThread()) {
        work();
        return;
    }
    QtWork item{&work};
    {
        const std::lock_guard lock(g_qtWorkMutex);
        g_qtWork.push_back(&item);
    }
    WakeQtThread();
    // The Qt thread serves this until the program routine has returned (QtView_RunProgram), so the
    // wait ends when the operator has answered.
    std::unique_lock lock(g_qtWorkMutex);
    g_qtWorkDone.wait(lock, [&] { return item.done; });
}

bool QtView_WaitIdle(int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!UiProgram_Idle()) {
        if (waited.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    QCoreApplication::processEvents();
    PaintFrame();
    return true;
}
