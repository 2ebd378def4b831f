#pragma once

#include <QProgressDialog>
#include <QString>

#include <functional>

class FileQueue;

// The progress dialog of a command-line run over the files of a folder: one bar over every
// file, followed while other threads convert them, so that the dialog stays responsive. Cancel
// cancels the run's queue: the files under way stop at their next progress step, and no other
// file starts. Without a display (Qt's offscreen platform) nobody sees the dialog or presses
// Cancel: it is never shown.
class BatchProgress
{
public:
    BatchProgress(const QString& title, const QString& label);

    // Runs `queue` until every file is done, calling `poll` now and then (at least every 50 ms)
    // and once at the end.
    void follow(FileQueue& queue, const std::function<void()>& poll);

private:
    bool shown;
    QProgressDialog dialog;
};
