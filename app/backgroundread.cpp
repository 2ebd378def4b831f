#include "backgroundread.h"

#include "model/bvhjoint.h"
#include "model/threadstart.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <system_error>
#include <thread>

namespace {

// How far the reading is, in thousandths of the rows the file can hold; told on the reading
// thread, asked on the window's.
class RowProgress : public BvhReadObserver
{
public:
    void motionStarted(const BvhFile&, qsizetype rows) override { possibleRows = rows; }
    void rowsAppended(const BvhFile& file) override { rowsRead = file.rowCount(); }

    int permille() const
    {
        const qint64 possible = possibleRows;
        return possible > 0 ? int(std::min<qint64>(1000, 1000 * rowsRead / possible)) : 0;
    }

private:
    std::atomic<qint64> possibleRows{0};
    std::atomic<qint64> rowsRead{0};
};

} // namespace

namespace BackgroundRead {

BvhReadResult read(BvhFile& motion, const QString& path, QWidget* window)
{
    RowProgress progress;
    std::atomic<bool> canceled{false};
    std::atomic<bool> done{false};
    BvhReadResult result;
    QProgressDialog dialog(window);
    QThread* const home = QThread::currentThread();
    std::thread reading = ThreadStart::tryStart([&] {
        BvhReader reader(motion, &progress);
        reader.setCancelFlag(&canceled);
        result = reader.read(path);
        // The joints were made on this thread, which ends: they belong to the window's.
        if (motion.root) {
            for (BvhJoint* joint : motion.root->getAllJoints())
                joint->moveToThread(home);
        }
        done = true;
        // Wakes the window's thread, which waits for events.
        QMetaObject::invokeMethod(
            &dialog, [] {}, Qt::QueuedConnection);
    });
    if (!reading.joinable())
        return BvhReader(motion).read(path); // no thread to be had: read here

    dialog.setWindowTitle(QObject::tr("Kinovane"));
    dialog.setLabelText(QObject::tr("Opening %1...").arg(QFileInfo(path).fileName()));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setRange(0, 1000);
    dialog.setMinimumDuration(300);
    dialog.setValue(0);
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog,
                     [&canceled] { canceled = true; });
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, &dialog,
                     [&dialog, &progress] { dialog.setValue(progress.permille()); });
    ticks.start(40);
    // The window is drawn meanwhile; what the user does to it waits for the motion, but once
    // the dialog shows, its Cancel button works (the dialog keeps input from the window).
    while (!done) {
        const QEventLoop::ProcessEventsFlags input =
            dialog.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
        QCoreApplication::processEvents(input | QEventLoop::WaitForMoreEvents);
    }
    reading.join();
    return result;
}

} // namespace BackgroundRead
