#pragma once

#include "model/progresssink.h"

#include <QString>

// A progress bar on standard error, redrawn in place when the percentage changes; used only
// when standard error is a terminal. Nothing here can cancel.
class ConsoleProgress : public ProgressSink
{
public:
    // `what` names the output being written.
    void setOutput(const QString& what) { output = what; }

    void begin(const QString& title, const QString& label, int maximum) override;
    void setValue(int value) override;
    bool isCanceled() const override { return false; }
    void end() override;

private:
    void draw(int percent);

    QString output;
    int maximum = 0;
    int shown = -1;
};
