// Widgets of the Qt view for choices and texts that may be longer than their control: the ring (its
// labels may change at run time), the editable combo box, and the text indicator. Each reads its
// state from the toolkit model, as the other widgets do.
#pragma once

#include <QComboBox>
#include <QLineEdit>

#include <string>

// A ring: a closed box shows its item elided with "…" where the label is longer than the box, and the
// whole label as tooltip; the opened list is as wide as its longest label.
class RingBox : public QComboBox {
public:
    explicit RingBox(QWidget *parent);
    // Shows the model's labels and item; a value no item offers shows as the number the model holds.
    // Raises no event.
    void mirror(int panel, int control);
    // The label as the closed box shows it.
    QString shownText() const;
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    int textWidth() const;
    void updateToolTip();
};

// An editable combo box: the operator types a text or picks one of the program's items, which puts
// the item's text (not its label) into the field. Enter, leaving the field after typing, and a pick
// queue the input for the program.
class ComboField : public QComboBox {
public:
    ComboField(int panel, int control, QWidget *parent);
    // Shows the model's items, text and entry length; a text the operator is typing stays until the
    // model's own text changes. Raises no event.
    void mirror();

private:
    void commit();
    int panel_, control_;
    std::string mirrored_;  // the model's text when last shown
};

// A text shown, not edited: where it is longer than the field it ends in "…" and the field's tooltip
// holds the whole text.
class IndicatorField : public QLineEdit {
public:
    explicit IndicatorField(QWidget *parent);
    void setFullText(const QString &text);
    const QString &fullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();
    QString full_;
};
