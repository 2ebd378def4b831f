#pragma once

#include "app/progressthrottle.h"
#include "model/progresssink.h"

#include <QProgressDialog>
#include <QString>

class DudEzu;

// The progress dialog of one file of a command-line run: titled with the file name, updated
// about `updates` times (see ProgressThrottle) and processing pending events only then, which
// is when its Cancel button can be seen. Cancel calls the window's cancelConvert(), and the
// run counts as canceled while the window's convertCancelled is set.
class BatchProgress : public ProgressSink
{
public:
    BatchProgress(DudEzu& window, const QString& title, int updates);

    void begin(const QString& title, const QString& label, int maximum) override;
    void setValue(int value) override;
    bool isCanceled() const override;
    void end() override;

private:
    DudEzu& window;
    int updates;
    bool shown;
    QProgressDialog dialog;
    ProgressThrottle throttle{0, 1};
};
