#pragma once

#include <QDoubleSpinBox>

// A box for one channel value or offset: any size a motion may hold (no clamp at a few hundred
// units), shown as precise as the single-precision value is (the shortest decimal text that
// reads back as it, with at least four decimals) and read back the same way, in the C locale.
class ValueSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    static constexpr double largest = 1e9;

    explicit ValueSpinBox(QWidget* parent = nullptr);

    QString textFromValue(double value) const override;
};
