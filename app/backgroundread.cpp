#include "backgroundread.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
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
    BvhReadResult result;
    QEventLoop loop;
    std::thread reading;
    try {
        reading = std::thread([&] {
            result = BvhReader(motion, &progress).read(path);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        return BvhReader(motion).read(path); // no thread to be had: read here
    }

    QProgressDialog dialog(window);
    dialog.setWindowTitle(QObject::tr("Kinovane"));
    dialog.setLabelText(QObject::tr("Opening %1...").arg(QFileInfo(path).fileName()));
    dialog.setCancelButton(nullptr);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setRange(0, 1000);
    dialog.setMinimumDuration(300);
    dialog.setValue(0);
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, &dialog,
                     [&dialog, &progress] { dialog.setValue(progress.permille()); });
    ticks.start(40);
    // The window is drawn meanwhile; what the user does to it waits for the motion.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    reading.join();
    return result;
}

} // namespace BackgroundRead
