// The program's own panels in real windows: the address ring, a tidy layout, and screenshots of each
// panel at scale 1 and 2 (written to the build's screenshots folder for anyone to look at).
#include "qt_test_support.h"

#include "platform/qt/cp1252.h"
#include "platform/qt/qtwidgets.h"
#include "ui/TLX1Steuerung.h"

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

class QtPanels : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartQtView());
        TLX1Steuerung_PanelDateiRegistrieren();
        main_ = LoadPanel(0, TLX1STEUERUNG_UIR, PANEL);
        konfig_ = LoadPanel(main_, TLX1STEUERUNG_UIR, KONFIGPNL);
        about_ = LoadPanel(main_, TLX1STEUERUNG_UIR, ABOUTPANEL);
        ASSERT_GT(main_, 0);
        ASSERT_GT(konfig_, 0);
        ASSERT_GT(about_, 0);
    }
    void TearDown() override { QtView_Reset(); }

    // What the running program shows: start-up texts, a connection with some history on the chart.
    void FillLikeARunningProgram()
    {
        SetCtrlVal(about_, ABOUTPANEL_VERSION, "V 1.1");
        SetCtrlVal(about_, ABOUTPANEL_DATUM, "08/2008");
        SetCtrlVal(main_, PANEL_TEXT, "Suche Ger\xE4t an Adresse 8 ...");
        SetCtrlVal(main_, PANEL_IDSTRING, "OKV-TLX1 V2.03");
        SetCtrlVal(main_, PANEL_FEHLERLED, 1);
        SetCtrlVal(main_, PANEL_FEHLERSTRING, "Zeit\xFC" "berschreitung beim Lesen vom TLX-1");
        SetCtrlVal(main_, PANEL_FEHLERNUMMER, -7051);
        SetCtrlVal(main_, PANEL_LED1, 1);
        SetCtrlVal(main_, PANEL_LED3, 1);
        SetCtrlVal(main_, PANEL_VERBINDEN, 1);
        SetCtrlAttribute(main_, PANEL_ISTWERT, ATTR_DIMMED, 0);
        SetCtrlAttribute(main_, PANEL_ISTWERTEINHEIT, ATTR_DIMMED, 0);
        SetCtrlVal(main_, PANEL_ISTWERT, 4.9871);
        for (int i = 0; i < 260; ++i)
            PlotStripChartPoint(main_, PANEL_STRIPCHART, 5.0 - 4.0 * std::exp(-i / 40.0) * std::cos(i / 9.0));
    }

    int main_ = 0, konfig_ = 0, about_ = 0;
};

TEST_F(QtPanels, AlleInTheAddressRingIsNineAndALongErrorShowsItsBeginning)
{
    ASSERT_TRUE(ShowAndActivate(main_));
    auto *ring = dynamic_cast<QComboBox *>(QtView_ControlWidget(main_, PANEL_ADRESSE));
    ASSERT_NE(ring, nullptr);
    const int alle = ring->findText(QStringLiteral("alle"));
    ASSERT_GE(alle, 0);
    ring->setFocus();
    QTest::keyClick(ring, Qt::Key_End);
    EXPECT_EQ(ring->currentIndex(), alle);
    int address = 0;
    GetCtrlVal(main_, PANEL_ADRESSE, &address);
    EXPECT_EQ(address, 9);

    // A long error text shows its beginning, the rest on hovering.
    auto *error = dynamic_cast<QLineEdit *>(QtView_ControlWidget(main_, PANEL_FEHLERSTRING));
    ASSERT_NE(error, nullptr);
    const std::string text(200, 'x');
    SetCtrlVal(main_, PANEL_FEHLERSTRING, ("Anfang " + text).c_str());
    EXPECT_EQ(error->cursorPosition(), 0);
    EXPECT_TRUE(error->toolTip().startsWith(QStringLiteral("Anfang")));
}

// Widgets whose rectangles may not meet: everything but frames and the invisible timer.
struct Placed {
    QString name;
    QRect rect;
};

std::vector<Placed> VisibleParts(int panel)
{
    std::vector<Placed> parts;
    const PanelDef *def = UiModel_PanelDef(panel);
    for (int i = 0; def && i < def->controlCount; ++i) {
        const CtrlDef &cd = def->controls[i];
        if (cd.kind == CTRL_DECORATION || cd.kind == CTRL_TIMER) continue;
        QWidget *w = QtView_ControlWidget(panel, cd.id);
        if (w && !w->isHidden()) parts.push_back({w->objectName(), w->geometry()});
        QWidget *l = QtView_ControlLabel(panel, cd.id);
        if (l && !l->isHidden()) parts.push_back({l->objectName(), l->geometry()});
    }
    return parts;
}

// The room a widget's text needs, so nothing is cut off; a number field must show both ends of its range.
QSize Needed(int panel, int control, QWidget *w)
{
    if (auto *n = dynamic_cast<NumericField *>(w)) {
        int precision = 0;
        double lo = 0, hi = 0;
        GetCtrlAttribute(panel, control, ATTR_PRECISION, &precision);
        GetCtrlAttribute(panel, control, ATTR_MIN_VALUE, &lo);
        GetCtrlAttribute(panel, control, ATTR_MAX_VALUE, &hi);
        int widest = n->fontMetrics().horizontalAdvance(n->text());
        for (double end : {lo, hi})
            if (std::isfinite(end) && std::fabs(end) < 1e9)
                widest = std::max(widest, n->fontMetrics().horizontalAdvance(QString::number(end, 'f', precision)));
        return {widest + n->arrowRect(true).width() + 10, n->fontMetrics().height() + 4};
    }
    if (auto *l = dynamic_cast<QLabel *>(w)) return l->sizeHint();
    if (auto *b = dynamic_cast<QPushButton *>(w)) return b->sizeHint();
    if (auto *c = dynamic_cast<QComboBox *>(w)) {
        int widest = 0;
        for (int i = 0; i < c->count(); ++i) widest = std::max(widest, c->fontMetrics().horizontalAdvance(c->itemText(i)));
        return {widest + 28, c->fontMetrics().height() + 4};
    }
    return {0, w->fontMetrics().height() + 4};
}

TEST_F(QtPanels, NothingOverlapsOrIsCutOff)
{
    FillLikeARunningProgram();
    for (int panel : {main_, konfig_, about_}) {
        const QRect area = QtView_PanelWindow(panel)->findChild<QWidget *>(QStringLiteral("panelContent"))->rect();
        const std::vector<Placed> parts = VisibleParts(panel);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            EXPECT_TRUE(area.contains(parts[i].rect)) << parts[i].name.toStdString() << " leaves the panel";
            for (std::size_t j = i + 1; j < parts.size(); ++j)
                EXPECT_FALSE(parts[i].rect.intersects(parts[j].rect))
                    << parts[i].name.toStdString() << " overlaps " << parts[j].name.toStdString();
        }
        const PanelDef *def = UiModel_PanelDef(panel);
        for (int i = 0; i < def->controlCount; ++i) {
            for (QWidget *w : {QtView_ControlWidget(panel, def->controls[i].id), QtView_ControlLabel(panel, def->controls[i].id)}) {
                if (!w || w->isHidden() || def->controls[i].kind == CTRL_TIMER) continue;
                const QSize need = Needed(panel, def->controls[i].id, w);
                EXPECT_GE(w->width(), need.width()) << w->objectName().toStdString() << " is cut off";
                EXPECT_GE(w->height(), need.height() - 2) << w->objectName().toStdString() << " is cut off";
            }
        }
    }
}

TEST_F(QtPanels, ScreenshotsOfEachPanelAtScaleOneAndTwo)
{
    FillLikeARunningProgram();
    const QString dir = qEnvironmentVariable("TLX1_SCREENSHOT_DIR", QStringLiteral(TLX1_SCREENSHOT_DIR));
    ASSERT_TRUE(QDir().mkpath(dir));
    const struct {
        int panel;
        const char *name;
    } shots[] = {{main_, "main"}, {konfig_, "konfig"}, {about_, "about"}};
    for (const auto &shot : shots) {
        DisplayPanel(shot.panel);
        QWidget *w = QtView_PanelWindow(shot.panel);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        for (int scale : {1, 2}) {
            QImage image(w->size() * scale, QImage::Format_ARGB32);
            image.setDevicePixelRatio(scale);
            image.fill(w->palette().window().color());
            w->render(&image);
            const QString file = QStringLiteral("%1/%2_%3x.png").arg(dir, QLatin1String(shot.name)).arg(scale);
            EXPECT_TRUE(image.save(file)) << file.toStdString();
        }
    }
}

}  // namespace
