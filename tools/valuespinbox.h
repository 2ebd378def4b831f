#pragma once

#include <QDoubleSpinBox>

// A box for one channel value or offset: any size a motion may hold (no clamp at a few hundred
// units), shown with every digit the value has (the shortest decimal text that reads back as
// it, with at least four decimals) and read back as typed, in the C locale: value() is the
// very double the text names. It takes the wheel only once it has the focus, so that scrolling
// over a tool window never edits the motion. Undo and Redo undo its own typing while there is
// typing to undo; once the value is entered they pass to the window (the document's undo).
class ValueSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    static constexpr double largest = 1e9;

    explicit ValueSpinBox(QWidget* parent = nullptr);

    QString textFromValue(double value) const override;
    double valueFromText(const QString& text) const override;

protected:
    bool event(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};
