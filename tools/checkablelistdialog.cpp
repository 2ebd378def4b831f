#include "checkablelistdialog.h"

#include <QSpinBox>
#include <QVBoxLayout>

CheckableListDialog::CheckableListDialog(QWidget* parent)
    : QDialog(parent), checkableList(new CheckableListWidget)
{
    setWindowTitle(tr("Check List"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(checkableList);
    connect(checkableList, &CheckableListWidget::okButtonPressed, this, &QDialog::accept);
    connect(checkableList, &CheckableListWidget::cancelButtonPressed, this, &QDialog::reject);
}

CheckableListDialog::~CheckableListDialog() = default;

FrameRange CheckableListDialog::getRange() const
{
    return {checkableList->fromSpinBox->value(), checkableList->toSpinBox->value()};
}
