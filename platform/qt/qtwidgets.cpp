#include "platform/qt/qtwidgets.h"

#include "platform/qt/cp1252.h"
#include "platform/qt/qtkeys.h"
#include "platform/userint/userint_view.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QRegularExpression>
#include <QStyleOptionSpinBox>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

constexpr double kPlainLimit = 1e15;  // beyond this, 'f' notation grows unreadably long
constexpr int kMaxTypedLength = 40;

}  // namespace

QColor RgbColor(unsigned rgb)
{
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int ModelInt(int panel, int control, int attribute, int fallback)
{
    int i = 0;
    return GetCtrlAttribute(panel, control, attribute, &i) == 0 ? i : fallback;
}

double ModelDouble(int panel, int control, int attribute, double fallback)
{
    double d = 0.0;
    if (GetCtrlAttribute(panel, control, attribute, &d) == 0)
        return d;
    int i = 0;
    return GetCtrlAttribute(panel, control, attribute, &i) == 0 ? i : fallback;
}

QString ModelText(int panel, int control, int attribute)
{
    std::string s;
    return GetCtrlAttribute(panel, control, attribute, &s) == 0 ? Cp1252ToQString(s) : QString();
}

QString FormatTick(double value, int decimals)
{
    if (!std::isfinite(value))
        return QString();
    if (std::fabs(value) >= kPlainLimit)
        return QString::number(value, 'g', 6);
    QString s = QString::number(value, 'f', std::clamp(decimals, 0, 6));
    // "-0.0" reads like a sign error.
    if (s.startsWith(u'-') && s.count(u'0') + s.count(u'.') == s.size() - 1)
        s.remove(0, 1);
    return s;
}

bool ParseTypedNumber(const QString &text, double *value)
{
    QString s = text.trimmed();
    if (s.isEmpty() || s.size() > kMaxTypedLength)
        return false;
    static const QRegularExpression kNumber(QStringLiteral(R"(^[+-]?(\d+[.,]?\d*|[.,]\d+)([eE][+-]?\d+)?$)"));
    if (!kNumber.match(s).hasMatch())
        return false;
    s.replace(u',', u'.');
    bool ok = false;
    const double v = QLocale::c().toDouble(s, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

// ---- NumericField --------------------------------------------------------------------------------
NumericField::NumericField(int panel, int control, bool indicator, QWidget *parent)
    : QAbstractSpinBox(parent), panel_(panel), control_(control), indicator_(indicator)
{
    // Without keyboard tracking the base class leaves the text alone while the operator types.
    setKeyboardTracking(false);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setAccelerated(false);
    if (indicator_) {
        setReadOnly(true);
        setButtonSymbols(QAbstractSpinBox::NoButtons);
        setFocusPolicy(Qt::NoFocus);
    }
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { edited_ = true; });
}

void NumericField::mirror()
{
    value_ = UiModel_NumericValue(panel_, control_);
    min_ = ModelDouble(panel_, control_, ATTR_MIN_VALUE, -HUGE_VAL);
    max_ = ModelDouble(panel_, control_, ATTR_MAX_VALUE, HUGE_VAL);
    increment_ = ModelDouble(panel_, control_, ATTR_INCR_VALUE, 1.0);
    QString text = Cp1252ToQString(UiModel_DisplayText(panel_, control_));
    // A huge number in fixed notation would run to hundreds of digits.
    if (text.size() > kMaxTypedLength && std::isfinite(value_))
        text = QString::number(value_, 'g', 15);
    if (lineEdit()->text() != text) {
        const QSignalBlocker blockField(this);
        lineEdit()->setText(text);
    }
    edited_ = false;
}

QValidator::State NumericField::validate(QString &input, int &) const
{
    static const QRegularExpression kPartial(QStringLiteral(R"(^\s*[+-]?\d*[.,]?\d*([eE][+-]?\d*)?\s*$)"));
    if (input.size() > kMaxTypedLength)
        return QValidator::Invalid;
    // Read-only text that the model formatted (NaN, Inf) must stay displayable.
    if (indicator_ || isReadOnly())
        return QValidator::Acceptable;
    if (!kPartial.match(input).hasMatch())
        return QValidator::Invalid;
    double v = 0.0;
    return ParseTypedNumber(input, &v) ? QValidator::Acceptable : QValidator::Intermediate;
}

void NumericField::commitTyped()
{
    double v = 0.0;
    if (!ParseTypedNumber(lineEdit()->text(), &v)) {
        mirror();  // nothing usable typed: show the model's value again
        return;
    }
    commit(v);
}

void NumericField::commit(double v)
{
    edited_ = false;
    value_ = v;  // a second arrow click before the next frame steps on from here
    UiOperator_Queue(panel_, control_,
                     [panel = panel_, control = control_, v] { UiOperator_Enter(panel, control, v); });
}

void NumericField::stepBy(int steps)
{
    if (indicator_ || isReadOnly() || !isEnabled())
        return;
    double base = value_;
    double typed = 0.0;
    if (edited_ && ParseTypedNumber(lineEdit()->text(), &typed))
        base = typed;
    double v = base + steps * increment_;
    if (!std::isfinite(v))
        return;
    v = std::clamp(v, std::min(min_, max_), std::max(min_, max_));
    commit(v);
}

QAbstractSpinBox::StepEnabled NumericField::stepEnabled() const
{
    if (indicator_ || isReadOnly() || !isEnabled())
        return StepNone;
    StepEnabled e = StepNone;
    if (value_ < max_)
        e |= StepUpEnabled;
    if (value_ > min_)
        e |= StepDownEnabled;
    return e;
}

QRect NumericField::arrowRect(bool up) const
{
    QStyleOptionSpinBox opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_SpinBox, &opt, up ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown, this);
}

void NumericField::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    // Both go on to the panel afterwards, which may have a button for them (a dialog's Ok, Abbruch);
    // the value typed is queued before that button's press.
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!indicator_)
            commitTyped();
        if (lineEdit())
            lineEdit()->selectAll();
        event->ignore();
        return;
    case Qt::Key_Escape:
        mirror();
        event->ignore();
        return;
    default: QAbstractSpinBox::keyPressEvent(event);
    }
}

void NumericField::focusOutEvent(QFocusEvent *event)
{
    // The operator left the field after typing; a popup or a window switch is not leaving it.
    const Qt::FocusReason r = event->reason();
    const bool left = r == Qt::TabFocusReason || r == Qt::BacktabFocusReason || r == Qt::MouseFocusReason ||
                      r == Qt::ShortcutFocusReason;
    if (left && edited_)
        commitTyped();
    QAbstractSpinBox::focusOutEvent(event);
}

void NumericField::wheelEvent(QWheelEvent *event)
{
    // Scrolling past a field must not send values to the module.
    event->ignore();
}

// ---- PanelButton ---------------------------------------------------------------------------------
PanelButton::PanelButton(QWidget *parent) : QPushButton(parent)
{
    setAutoDefault(false);
}

void PanelButton::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !isCheckable() && !event->isAutoRepeat()) {
        click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

// ---- LedWidget -----------------------------------------------------------------------------------
LedWidget::LedWidget(QWidget *parent) : QWidget(parent) {}

void LedWidget::setState(bool on, unsigned onColor, unsigned offColor)
{
    if (on == on_ && onColor == onColor_ && offColor == offColor_)
        return;
    on_ = on;
    onColor_ = onColor;
    offColor_ = offColor;
    update();
}

void LedWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal d = std::max(4, std::min(width(), height()) - 2);
    const QRectF lamp((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    // The rim in the window's text colour, dark on a light window and light on a dark one; a dimmed
    // lamp keeps it, since it still tells something (nothing asked yet).
    const QPen rim(palette().color(QPalette::Active, QPalette::WindowText), 1.5);
    if (!isEnabled()) {
        // Dimmed: a lamp that tells nothing (an address a stopped scan did not ask), flat and unlit.
        p.setBrush(RgbColor(kDimmedColor));
        p.setPen(rim);
        p.drawEllipse(lamp);
        return;
    }
    const QColor c = on_ ? RgbColor(onColor_) : RgbColor(offColor_);
    // A lit lamp shines from a bright spot; an unlit one only shows a faint highlight.
    QRadialGradient g(lamp.center() - QPointF(d / 5, d / 5), d * 0.7);
    g.setColorAt(0.0, on_ ? c.lighter(170) : c.lighter(130));
    g.setColorAt(1.0, c);
    p.setBrush(g);
    p.setPen(rim);
    p.drawEllipse(lamp);
}

// ---- PictureWidget -------------------------------------------------------------------------------
PictureWidget::PictureWidget(QWidget *parent) : QWidget(parent) {}

void PictureWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(2, 2, -2, -2);
    p.setPen(QPen(QColor(0x30, 0x40, 0x50), 2));
    p.setBrush(QColor(0xe8, 0xee, 0xf4));
    p.drawRoundedRect(face, 8, 8);
    // A setpoint step and the controlled value settling onto it.
    const QRectF plot =
        face.adjusted(face.width() * 0.12, face.height() * 0.18, -face.width() * 0.1, -face.height() * 0.3);
    p.setPen(QPen(QColor(0x90, 0x98, 0xa0), 1.5, Qt::DashLine));
    p.drawLine(QPointF(plot.left(), plot.bottom()), QPointF(plot.left() + plot.width() * 0.15, plot.bottom()));
    p.drawLine(QPointF(plot.left() + plot.width() * 0.15, plot.top() + plot.height() * 0.3),
               QPointF(plot.right(), plot.top() + plot.height() * 0.3));
    QPainterPath curve(QPointF(plot.left(), plot.bottom()));
    for (int i = 0; i <= 60; ++i) {
        const double t = i / 60.0;
        const double x = plot.left() + plot.width() * (0.15 + 0.85 * t);
        const double r = 1.0 - std::exp(-5 * t) * std::cos(11 * t);
        curve.lineTo(x, plot.bottom() - plot.height() * 0.7 * r);
    }
    p.setPen(QPen(QColor(0x10, 0x60, 0xb0), 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(std::max(8, static_cast<int>(face.height() * 0.16)));
    p.setFont(f);
    p.setPen(QColor(0x30, 0x40, 0x50));
    p.drawText(QRectF(face.left(), face.bottom() - face.height() * 0.28, face.width(), face.height() * 0.26),
               Qt::AlignCenter, QStringLiteral("TLX-1"));
}

// ---- PanelWindow ---------------------------------------------------------------------------------
PanelWindow::PanelWindow(int panel, QWidget *parent) : QWidget(parent, parent ? Qt::Dialog : Qt::Window), panel_(panel)
{}

void PanelWindow::closeEvent(QCloseEvent *event)
{
    // The application decides whether the panel goes away; it hides it through the toolkit.
    event->ignore();
    UiOperator_QueueClose(panel_);
}

void PanelWindow::keyPressEvent(QKeyEvent *event)
{
    if (PressPanelKey(panel_, event))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}
