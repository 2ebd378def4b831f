#include "valuespinbox.h"

#include <QLocale>

#include <charconv>

ValueSpinBox::ValueSpinBox(QWidget* parent) : QDoubleSpinBox(parent)
{
    setLocale(QLocale::c());
    // As many decimals as a float of this range can carry, so setValue rounds nothing away.
    setDecimals(10);
    setRange(-largest, largest);
    setSingleStep(1);
}

QString ValueSpinBox::textFromValue(double value) const
{
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, float(value), std::chars_format::fixed);
    if (error != std::errc())
        return QDoubleSpinBox::textFromValue(value);
    QString text = QString::fromLatin1(buffer, qsizetype(end - buffer));
    qsizetype point = text.indexOf(QLatin1Char('.'));
    if (point < 0) {
        point = text.size();
        text += QLatin1Char('.');
    }
    const qsizetype decimals = text.size() - point - 1;
    if (decimals < 4)
        text += QString(4 - decimals, QLatin1Char('0'));
    return text;
}
