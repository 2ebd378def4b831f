#include "valuespinbox.h"

#include "model/numberformat.h"
#include "tools/undoactions.h"

#include <QLocale>
#include <QKeyEvent>
#include <QWheelEvent>

#include <charconv>

ValueSpinBox::ValueSpinBox(QWidget* parent) : QDoubleSpinBox(parent)
{
    setLocale(QLocale::c());
    // setValue rounds to this many decimals: the most a double can carry, so it rounds nothing.
    setDecimals(323);
    setRange(-largest, largest);
    setSingleStep(1);
    // A value is taken when the typing ends (Enter, leaving the box), not at every keystroke.
    setKeyboardTracking(false);
    setFocusPolicy(Qt::StrongFocus);
}

QString ValueSpinBox::textFromValue(double value) const
{
    char buffer[NumberFormat::maxLength];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
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

double ValueSpinBox::valueFromText(const QString& text) const
{
    bool ok = false;
    const double value = NumberFormat::toDouble(text.toStdString(), &ok);
    return ok ? value : QDoubleSpinBox::valueFromText(text);
}

bool ValueSpinBox::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool undoKey = key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
                             QKeySequence(key->keyCombination()) == UndoActions::redoKey();
        // The text shows the value entered: nothing typed is left to undo here.
        if (undoKey && cleanText() == textFromValue(value())) {
            event->ignore();
            return true;
        }
    }
    return QDoubleSpinBox::event(event);
}

void ValueSpinBox::wheelEvent(QWheelEvent* event)
{
    if (!hasFocus()) {
        event->ignore(); // the scroll area around the box scrolls instead
        return;
    }
    QDoubleSpinBox::wheelEvent(event);
}
