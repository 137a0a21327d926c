// Widgets of the Qt view that Qt has no ready equivalent for: the numeric field, the LED, the picture
// and the panel window (the strip chart is in qtchart.h). Each reads its state from the toolkit model;
// none keeps a value of its own that could drift from the model.
#pragma once

#include <QAbstractSpinBox>
#include <QColor>
#include <QPixmap>
#include <QPushButton>
#include <QRectF>
#include <QStringList>
#include <QWidget>

// Reading the model for the view: an attribute as int, double (int for integer controls) or text,
// or the fallback when the control does not offer it.
int ModelInt(int panel, int control, int attribute, int fallback);
double ModelDouble(int panel, int control, int attribute, double fallback);
QString ModelText(int panel, int control, int attribute);
// A 0xRRGGBB colour of the toolkit as a Qt colour.
QColor RgbColor(unsigned rgb);

// A chart tick label: 'decimals' decimals with a decimal point whatever the locale; exponent notation
// from 1e15 on; empty for a non-finite value.
QString FormatTick(double value, int decimals);
// Parses what an operator typed: optional sign, digits, '.' or ',' as decimal point, optional exponent,
// surrounding blanks ignored. true with *value set for a finite number, else false.
bool ParseTypedNumber(const QString &text, double *value);

// Editable number or indicator. Enter, Tab or a click elsewhere after typing, and the arrows queue
// UiOperator_Enter with exactly the parsed value; the model decides coercion and precision, and the
// next frame shows the result.
class NumericField : public QAbstractSpinBox {
public:
    NumericField(int panel, int control, bool indicator, QWidget *parent);
    // Shows the model's value, precision, range and step; raises no event.
    void mirror();
    QValidator::State validate(QString &input, int &pos) const override;
    void stepBy(int steps) override;
    // Screen rectangle of the up or down arrow (for tests that click them).
    QRect arrowRect(bool up) const;

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void commitTyped();
    void commit(double v);
    int panel_, control_;
    bool indicator_;
    bool edited_ = false;  // the operator typed since the last mirror or commit
    double value_ = 0.0;   // the model's value when last mirrored, or the value last committed
    double min_ = 0.0, max_ = 0.0, increment_ = 1.0;
};

// Command and toggle button. The space bar presses both; Enter presses a command button, but never
// flips a toggle, so that a connection is not switched by a stray Enter.
class PanelButton : public QPushButton {
public:
    explicit PanelButton(QWidget *parent);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// Round lamp in the on-colour when on and in the off-colour when off; flat grey when dimmed (nothing
// known). A rim in the text colour keeps it visible on a light and on a dark window alike.
class LedWidget : public QWidget {
public:
    explicit LedWidget(QWidget *parent);
    void setState(bool on, unsigned onColor, unsigned offColor);
    bool isOn() const { return on_; }
    // The grey of a dimmed lamp: its brightness lies between the red and the green of a lit lamp,
    // far from both, so that it reads apart from them also without colour vision.
    static constexpr unsigned kDimmedColor = 0xB8B8B8;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool on_ = false;
    unsigned onColor_ = 0xFF0000, offColor_ = 0x400000;
};

// The about box emblem: a drawn control loop curve on a module face, no real logo.
class PictureWidget : public QWidget {
public:
    explicit PictureWidget(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// Top-level window of one panel. The close box only tells the application (EVENT_CLOSE); the window
// stays until the application hides it. Enter and Escape that no control took press the panel's
// button for that key, if it has one.
class PanelWindow : public QWidget {
public:
    PanelWindow(int panel, QWidget *parent);
    int panel() const { return panel_; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int panel_;
};
