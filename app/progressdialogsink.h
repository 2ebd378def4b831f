#pragma once

#include "model/progresssink.h"

#include <QProgressDialog>

#include <memory>

// Shows the progress of a core operation in a QProgressDialog without a parent, processing
// pending events at every step so that the window stays responsive and Cancel can be pressed.
class ProgressDialogSink : public ProgressSink
{
public:
    enum class Cancel
    {
        Allowed,
        Ignored
    };

    explicit ProgressDialogSink(Cancel cancel = Cancel::Allowed) : cancel(cancel) {}

    void begin(const QString& title, const QString& label, int maximum) override;
    void setValue(int value) override;
    bool isCanceled() const override;
    void end() override;

    QProgressDialog* getDialog() const { return dialog.get(); }

private:
    Cancel cancel;
    std::unique_ptr<QProgressDialog> dialog;
};
