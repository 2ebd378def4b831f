#include "batchprogress.h"

#include <QCoreApplication>
#include <QGuiApplication>

BatchProgress::BatchProgress(bool& runCancelled, const QString& title, int updates)
    : runCancelled(runCancelled), updates(updates),
      // Without a display (Qt's offscreen platform) nobody sees the dialog or presses Cancel:
      // it is never shown, and not drawn.
      shown(QGuiApplication::platformName() != QLatin1String("offscreen"))
{
    dialog.setWindowTitle(title);
    QObject::connect(&dialog, &QProgressDialog::canceled, [&runCancelled] { runCancelled = true; });
}

void BatchProgress::begin(const QString& title, const QString& label, int maximum)
{
    if (!shown)
        return;
    if (!title.isEmpty())
        dialog.setWindowTitle(title);
    if (!label.isEmpty())
        dialog.setLabelText(label);
    dialog.setMaximum(maximum);
    dialog.setValue(0);
    throttle = ProgressThrottle(maximum, updates);
    dialog.show();
}

void BatchProgress::setValue(int value)
{
    if (!shown || !throttle.isDue(value))
        return;
    dialog.setValue(value);
    QCoreApplication::processEvents();
}

bool BatchProgress::isCanceled() const
{
    return runCancelled;
}

void BatchProgress::end()
{
    dialog.hide();
}
