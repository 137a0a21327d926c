// The program's panels driven by the keyboard alone on the offscreen platform: menus with Alt and
// their mnemonic, the menu shortcuts, the tab order, Enter and Escape in the dialogs, the toggle that
// Enter leaves alone; the help window with the manual; the scan lamps' four states on a light and on a
// dark palette.
#include "platform/qt/qthelp.h"
#include "platform/qt/qtview.h"
#include "platform/qt/qtwidgets.h"
#include "platform/userint/userint_view.h"
#include "ui/TLX1Steuerung.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// The control or menu item of each callback, in order.
std::vector<int> g_seen;
double g_okSaw = 0.0;  // the scaling dialog's second value when its "Ok" ran
int OnCtrl(int panel, int control, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    g_seen.push_back(control);
    if (control == KONFIGPNL_OK)
        g_okSaw = UiModel_NumericValue(panel, KONFIGPNL_SKALMAX_UMGERECHNET);
    return 0;
}
void OnMenu(int, int item, void *, int)
{
    g_seen.push_back(item);
}

class QtViewKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        UiTest_Reset();
        QtView_Reset();
        UseQtView();
        ASSERT_EQ(InitUserInterface(0, nullptr), 1);
        TLX1Steuerung_PanelDateiRegistrieren();
        main_ = LoadPanel(0, TLX1STEUERUNG_UIR, PANEL);
        konfig_ = LoadPanel(main_, TLX1STEUERUNG_UIR, KONFIGPNL);
        about_ = LoadPanel(main_, TLX1STEUERUNG_UIR, ABOUTPANEL);
        std::vector<CallbackEntry> table;
        for (int panel : {main_, konfig_, about_}) {
            const PanelDef *def = UiModel_PanelDef(panel);
            for (int i = 0; i < def->controlCount; ++i)
                table.push_back({def->controls[i].callbackName, OnCtrl, nullptr, nullptr});
            for (int m = 0; def->menuBar && m < def->menuBar->menuCount; ++m)
                for (int i = 0; i < def->menuBar->menus[m].itemCount; ++i)
                    table.push_back({def->menuBar->menus[m].items[i].callbackName, nullptr, nullptr, OnMenu});
        }
        InstallCallbackTable(table.data(), static_cast<int>(table.size()));
        show(main_);
        g_seen.clear();
    }
    void TearDown() override
    {
        QtView_Reset();
        UiTest_Reset();
    }

    // Shows the panel and makes its window the active one, as the operator finds it.
    static void show(int panel)
    {
        DisplayPanel(panel);
        ASSERT_TRUE(QtView_WaitIdle());
        QWidget *w = QtView_PanelWindow(panel);
        w->activateWindow();
        // A dialog counts as active with its parent window; the keys go to the dialog only once
        // the application has made it the active window.
        QTRY_VERIFY(QApplication::activeWindow() == w);
    }
    // A key on whatever has the keyboard, then the frame that shows its effect.
    static void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, k, m);
        ASSERT_TRUE(QtView_WaitIdle());
    }
    // The catalogue name of the control that has the keyboard (a field's inner editor counts as it).
    static std::string focused()
    {
        for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
            if (w->parentWidget() && w->parentWidget()->objectName() == QStringLiteral("panelContent"))
                return w->objectName().toStdString();
        return "";
    }

    int main_ = 0, konfig_ = 0, about_ = 0;
};

TEST_F(QtViewKeys, AltOpensEachMenuAndShortcutsChooseItemsWhoseTextsStayAsTheCatalogueSpellsThem)
{
    QWidget *window = QtView_PanelWindow(main_);
    auto *bar = window->findChild<QMenuBar *>();
    ASSERT_NE(bar, nullptr);
    const std::pair<Qt::Key, const char *> menus[] = {
        {Qt::Key_D, "DATEI"}, {Qt::Key_K, "KONFIG"}, {Qt::Key_Question, "MENU"}};
    QStringList titles;
    for (const auto &[letter, name] : menus) {
        auto *menu = window->findChild<QMenu *>(QString::fromLatin1(name));
        ASSERT_NE(menu, nullptr) << name;
        titles << menu->title();
        key(letter, Qt::AltModifier);
        EXPECT_TRUE(menu->isVisible()) << name;
        EXPECT_EQ(bar->activeAction(), menu->menuAction()) << name;
        QTest::keyClick(menu, Qt::Key_Escape);
        if (menu->isVisible())
            QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
    }
    EXPECT_EQ(titles, QStringList({"Datei", "Konfiguration", "?"}));

    // The shortcuts are shown beside items whose texts are unchanged, and choose them.
    const std::tuple<const char *, const char *, Qt::Key, Qt::KeyboardModifiers, int> items[] = {
        {"PARAMETE", "Parametersatz laden", Qt::Key_O, Qt::ControlModifier, MENUBAR_DATEI_PARAMETE},
        {"PARAMETE_2", "Parametersatz speichern", Qt::Key_S, Qt::ControlModifier, MENUBAR_DATEI_PARAMETE_2},
        {"BEENDEN", "Beenden", Qt::Key_Q, Qt::ControlModifier, MENUBAR_DATEI_BEENDEN},
        {"HANDBUCH", "Handbuch", Qt::Key_F1, Qt::NoModifier, MENUBAR_MENU_HANDBUCH},
    };
    std::vector<int> expected;
    for (const auto &[name, text, letter, modifiers, id] : items) {
        auto *action = window->findChild<QAction *>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        EXPECT_EQ(action->text(), QString::fromLatin1(text));
        EXPECT_EQ(action->shortcut(), QKeySequence(letter | modifiers)) << name;
        key(letter, modifiers);
        expected.push_back(id);
    }
    EXPECT_EQ(g_seen, expected);
}

TEST_F(QtViewKeys, TabFollowsThePanelFromTopLeftToBottomRight)
{
    // clang-format off
    const std::pair<int, std::vector<std::string>> panels[] = {
        {main_,
         {"PANTEIL",     "IANTEIL", "DANTEIL",   "STELLMIN",     "STELLMAX",     "ANFANGSSOLLWERT",  "ANSTIEGSZEIT",
          "BETRIEBSART", "LESEN",   "SCHREIBEN", "GRAPHZOOMMIN", "GRAPHZOOMMAX", "GRAPHZOOMZURUECK", "ZEITSPANNE",
          "ANHALTEN",    "ADRESSE", "PORT",      "SCANN",        "IDLESEN",      "VERBINDEN",        "SOLLWERT",
          "STELLWERT",   "SPRUENGE"}},
        {konfig_,
         {"SKALMIN_VOLT", "SKALMAX_VOLT", "SKALMIN_UMGERECHNET", "SKALMAX_UMGERECHNET", "SKAL_EINHEIT",
          "AUFSTANDARDWERTE", "ABBRUCH", "OK"}},
    };
    // clang-format on
    for (const auto &[panel, order] : panels) {
        show(panel);
        QtView_PanelWindow(panel)
            ->findChild<QWidget *>(QString::fromStdString(order.front()))
            ->setFocus(Qt::TabFocusReason);
        std::vector<std::string> seen{focused()};
        for (std::size_t i = 1; i <= order.size(); ++i) {
            key(Qt::Key_Tab);
            seen.push_back(focused());
        }
        std::vector<std::string> round = order;
        round.push_back(order.front());  // and round again
        EXPECT_EQ(seen, round);
    }
}

TEST_F(QtViewKeys, EnterNeverFlipsTheToggleButSpaceDoesAndPressesCommandButtons)
{
    QWidget *toggle = QtView_ControlWidget(main_, PANEL_VERBINDEN);
    toggle->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Return);
    key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(g_seen.empty()) << "Enter on the toggle";
    EXPECT_EQ(UiModel_NumericValue(main_, PANEL_VERBINDEN), 0.0);
    key(Qt::Key_Space);
    EXPECT_EQ(g_seen, std::vector<int>{PANEL_VERBINDEN});
    EXPECT_EQ(UiModel_NumericValue(main_, PANEL_VERBINDEN), 1.0);
    QtView_ControlWidget(main_, PANEL_LESEN)->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Return);
    key(Qt::Key_Space);
    EXPECT_EQ(g_seen, (std::vector<int>{PANEL_VERBINDEN, PANEL_LESEN, PANEL_LESEN}));
}

TEST_F(QtViewKeys, EnterIsOkAndEscapeIsAbbruchInTheScalingDialogAndEscapeClosesTheAboutBox)
{
    show(konfig_);
    QWidget *field = QtView_ControlWidget(konfig_, KONFIGPNL_SKALMAX_UMGERECHNET);
    field->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, "100");
    key(Qt::Key_Return);
    EXPECT_EQ(g_okSaw, 100.0) << "the value typed goes in first, then Ok";
    QtView_ControlWidget(konfig_, KONFIGPNL_SKAL_EINHEIT)->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(QApplication::focusWidget(), "%");  // over the selected "V"
    key(Qt::Key_Return);
    key(Qt::Key_Escape);
    QtView_ControlWidget(konfig_, KONFIGPNL_ABBRUCH)->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Return);  // a focused button takes Enter itself
    EXPECT_EQ(g_seen, (std::vector<int>{KONFIGPNL_OK, KONFIGPNL_OK, KONFIGPNL_ABBRUCH, KONFIGPNL_ABBRUCH}));
    EXPECT_EQ(UiModel_TextValue(konfig_, KONFIGPNL_SKAL_EINHEIT), "%");

    // The about box: Escape is its "OK", as Enter is; the main panel has no such button.
    g_seen.clear();
    InstallPopup(about_);
    show(about_);
    key(Qt::Key_Escape);
    RemovePopup(0);
    show(main_);
    QtView_ControlWidget(main_, PANEL_SOLLWERT)->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Escape);
    EXPECT_EQ(g_seen, std::vector<int>{ABOUTPANEL_OK});
}

TEST_F(QtViewKeys, HelpWindowShowsTheManualWithItsPicturesAndItsHeadingsAsLinkTargets)
{
    const std::string manual = TLX1_SOURCE_DIR "/docs/handbuch.md";
    EXPECT_EQ(ShowHelpFile("TLX-1 Steuerung \x96 Handbuch", (manual + ".fehlt").c_str()), UIE_PANEL_FILE);
    EXPECT_EQ(QtView_HelpBrowser(), nullptr);
    ASSERT_EQ(ShowHelpFile("TLX-1 Steuerung \x96 Handbuch", manual.c_str()), 0);
    QTextBrowser *browser = QtView_HelpBrowser();
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(browser->window()));
    EXPECT_EQ(browser->window()->windowTitle(), QString::fromUtf16(u"TLX-1 Steuerung \u2013 Handbuch"));
    QTextDocument *doc = browser->document();
    EXPECT_EQ(doc->firstBlock().text(), QString::fromUtf16(u"TLX-1 Steuerung \u2013 Bedienhandbuch"));
    EXPECT_FALSE(doc->toPlainText().contains(QStringLiteral("-->"))) << "the writers' notes stay hidden";

    int pictures = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (const QTextImageFormat image = it.fragment().charFormat().toImageFormat(); image.isValid()) {
                ++pictures;
                EXPECT_FALSE(doc->resource(QTextDocument::ImageResource, QUrl(image.name())).isNull())
                    << image.name().toStdString();
            }
    EXPECT_GE(pictures, 3);

    // A link to a chapter ("#einstellungen") scrolls there; Escape closes the window.
    // A link is taken relative to the document, as a click on it does.
    browser->setSource(browser->source().resolved(QUrl(QStringLiteral("#einstellungen"))));
    EXPECT_GT(browser->verticalScrollBar()->value(), 0);
    QTest::keyClick(browser, Qt::Key_Escape);
    EXPECT_FALSE(browser->window()->isVisible());
}

// Relative luminance of a colour as the eye weighs it (sRGB).
double Luminance(QColor c)
{
    auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}
double Contrast(QColor a, QColor b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(QtViewKeys, ScanLampsTellTheirFourStatesApartOnALightAndADarkPalette)
{
    // Not asked (dimmed), no answer (off, dark green as the program sets it), a TLX-1, another device.
    SetCtrlAttribute(main_, PANEL_LED1, ATTR_DIMMED, 1);
    SetCtrlAttribute(main_, PANEL_LED2, ATTR_OFF_COLOR, 0x005A00);
    SetCtrlVal(main_, PANEL_LED3, 1);
    SetCtrlAttribute(main_, PANEL_LED4, ATTR_ON_COLOR, VAL_RED);
    SetCtrlVal(main_, PANEL_LED4, 1);
    ASSERT_TRUE(QtView_WaitIdle());
    QPalette dark;
    for (auto [role, rgb] : {std::pair{QPalette::Window, 0x2d2d2d},
                             {QPalette::WindowText, 0xe0e0e0},
                             {QPalette::Base, 0x1e1e1e},
                             {QPalette::Text, 0xe0e0e0},
                             {QPalette::Button, 0x3a3a3a}})
        dark.setColor(role, QColor::fromRgb(static_cast<QRgb>(rgb)));
    QWidget *window = QtView_PanelWindow(main_);
    for (const QPalette &palette : {window->palette(), dark}) {
        window->setPalette(palette);
        const QColor background = palette.color(QPalette::Window);
        std::vector<QColor> lamps;
        for (int led = PANEL_LED1; led <= PANEL_LED4; ++led) {
            const QImage image = QtView_ControlWidget(main_, led)->grab().toImage();
            const QPointF centre(image.width() / 2.0, image.height() / 2.0);
            // The lamp as the eye takes it in: the mean of its face, rim and highlight included.
            double r = 0, g = 0, b = 0, n = 0, rim = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    const double from = std::hypot(x + 0.5 - centre.x(), y + 0.5 - centre.y());
                    if (from < image.width() / 2.0 - 4)
                        r += c.redF(), g += c.greenF(), b += c.blueF(), ++n;
                    else
                        rim = std::max(rim, Contrast(c, background));
                }
            lamps.push_back(QColor::fromRgbF(float(r / n), float(g / n), float(b / n)));
            EXPECT_GE(rim, 3.0) << "the rim of LED " << led - PANEL_LED1 + 1 << " on "
                                << background.name().toStdString();
        }
        for (std::size_t i = 0; i < lamps.size(); ++i)
            for (std::size_t j = i + 1; j < lamps.size(); ++j)
                EXPECT_GE(Contrast(lamps[i], lamps[j]), 1.4)
                    << "states " << i << " and " << j << ": " << lamps[i].name().toStdString() << " "
                    << lamps[j].name().toStdString() << " on " << background.name().toStdString();
    }
}

}  // namespace
