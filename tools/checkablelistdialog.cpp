#include "checkablelistdialog.h"

#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

CheckableListDialog::CheckableListDialog(QWidget* parent)
    : QDialog(parent), checkableList(new CheckableListWidget),
      rangeProblem(new QLabel(tr("The range runs backwards: its first frame comes after its "
                                 "last one.")))
{
    setWindowTitle(tr("Check List"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(checkableList);
    rangeProblem->setStyleSheet(QStringLiteral("color: #c00000;"));
    rangeProblem->setWordWrap(true);
    rangeProblem->hide();
    layout->addWidget(rangeProblem);
    connect(checkableList, &CheckableListWidget::okButtonPressed, this,
            &CheckableListDialog::acceptIfRangeOrdered);
    connect(checkableList, &CheckableListWidget::cancelButtonPressed, this, &QDialog::reject);
    // The refusal goes as soon as the range is in order again.
    for (QSpinBox* box : {checkableList->fromSpinBox, checkableList->toSpinBox}) {
        connect(box, &QSpinBox::valueChanged, this, [this] {
            if (!getRange().isEmpty())
                rangeProblem->hide();
        });
    }
}

CheckableListDialog::~CheckableListDialog() = default;

void CheckableListDialog::acceptIfRangeOrdered()
{
    const bool reversed = rangeShown && getRange().isEmpty();
    rangeProblem->setVisible(reversed);
    if (!reversed)
        accept();
}

FrameRange CheckableListDialog::getRange() const
{
    return {checkableList->fromSpinBox->value(), checkableList->toSpinBox->value()};
}
