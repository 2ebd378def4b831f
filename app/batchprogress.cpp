#include "batchprogress.h"

#include "convert/filequeue.h"

#include <QCoreApplication>
#include <QGuiApplication>

BatchProgress::BatchProgress(const QString& title, const QString& label)
    : shown(QGuiApplication::platformName() != QLatin1String("offscreen"))
{
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setRange(0, 100);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
}

void BatchProgress::follow(FileQueue& queue, const std::function<void()>& poll)
{
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&queue] { queue.cancel(); });
    if (shown)
        dialog.show();
    queue.start();
    using namespace std::chrono_literals;
    while (!queue.waitFor(50ms)) {
        poll();
        if (shown) {
            dialog.setValue(queue.percent());
            QCoreApplication::processEvents();
        }
    }
    queue.wait();
    poll();
    dialog.hide();
}
