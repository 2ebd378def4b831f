#pragma once

#include "app/progressthrottle.h"
#include "model/progresssink.h"

#include <QProgressDialog>
#include <QString>

// The progress dialog of one file of a command-line run: titled with the file name, updated
// about `updates` times (see ProgressThrottle) and processing pending events only then, which
// is when its Cancel button can be seen. Cancel sets `runCancelled`, the flag of the whole run,
// and the file counts as canceled while it is set.
class BatchProgress : public ProgressSink
{
public:
    BatchProgress(bool& runCancelled, const QString& title, int updates);

    void begin(const QString& title, const QString& label, int maximum) override;
    void setValue(int value) override;
    bool isCanceled() const override;
    void end() override;

private:
    bool& runCancelled;
    int updates;
    bool shown;
    QProgressDialog dialog;
    ProgressThrottle throttle{0, 1};
};
