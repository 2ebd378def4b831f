#include "timedisplay.h"

#include <cmath>

namespace TimeDisplay {

QString timeText(double frameTime, int frame)
{
    const double seconds = frameTime * frame;
    if (!std::isfinite(seconds))
        return QStringLiteral("00:00:00.000");
    const double rounded = std::round(std::abs(seconds) * 1000.0) / 1000.0;
    const qint64 whole = qint64(rounded);
    QString fraction = QString::number(rounded - double(whole), 'f', 3);
    fraction.remove(0, fraction.indexOf(QLatin1Char('.')));
    const QString text = QStringLiteral("%1:%2:%3")
                             .arg(whole / 3600, 2, 10, QLatin1Char('0'))
                             .arg((whole % 3600) / 60, 2, 10, QLatin1Char('0'))
                             .arg(whole % 60, 2, 10, QLatin1Char('0')) +
                         fraction;
    return seconds < 0 ? QLatin1Char('-') + text : text;
}

int readNumber(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : 0;
}

} // namespace TimeDisplay
