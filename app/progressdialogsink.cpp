#include "progressdialogsink.h"

#include <QCoreApplication>

void ProgressDialogSink::begin(const QString& title, const QString& label, int maximum)
{
    dialog = std::make_unique<QProgressDialog>();
    if (!title.isEmpty())
        dialog->setWindowTitle(title);
    if (!label.isEmpty())
        dialog->setLabelText(label);
    if (cancel == Cancel::Ignored)
        dialog->setCancelButton(nullptr);
    dialog->setRange(0, maximum);
    dialog->setValue(0);
    dialog->show();
    QCoreApplication::processEvents();
}

void ProgressDialogSink::setValue(int value)
{
    if (!dialog)
        return;
    dialog->setValue(value);
    QCoreApplication::processEvents();
}

bool ProgressDialogSink::isCanceled() const
{
    return cancel == Cancel::Allowed && dialog && dialog->wasCanceled();
}

void ProgressDialogSink::end()
{
    dialog.reset();
}
