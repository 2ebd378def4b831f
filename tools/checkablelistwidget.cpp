#include "checkablelistwidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

static constexpr int largestFrame = 99999;

CheckableListWidget::CheckableListWidget(QWidget* parent)
    : QWidget(parent), listWidget(new QListWidget), okButton(new QPushButton(tr("OK"))),
      cancelButton(new QPushButton(tr("Cancel"))), allButton(new QPushButton(tr("All"))),
      noneButton(new QPushButton(tr("None"))), rangeLabel(new QLabel(tr("Range:"))),
      toLabel(new QLabel(tr("to"))), fromSpinBox(new QSpinBox), toSpinBox(new QSpinBox)
{
    setWindowTitle(tr("Check List"));
    for (QSpinBox* box : {fromSpinBox, toSpinBox})
        box->setRange(0, largestFrame);

    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(rangeLabel);
    rangeRow->addWidget(fromSpinBox);
    rangeRow->addWidget(toLabel);
    rangeRow->addWidget(toSpinBox);
    for (QWidget* widget : {static_cast<QWidget*>(rangeLabel), static_cast<QWidget*>(fromSpinBox),
                            static_cast<QWidget*>(toLabel), static_cast<QWidget*>(toSpinBox)})
        widget->hide();

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(allButton);
    buttonRow->addWidget(noneButton);
    buttonRow->addStretch();
    buttonRow->addWidget(okButton);
    buttonRow->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rangeRow);
    layout->addWidget(listWidget);
    layout->addLayout(buttonRow);

    connect(okButton, &QPushButton::clicked, this, &CheckableListWidget::okButtonPressed);
    connect(cancelButton, &QPushButton::clicked, this, &CheckableListWidget::cancelButtonPressed);
    connect(allButton, &QPushButton::clicked, this, &CheckableListWidget::setAllChecked);
    connect(noneButton, &QPushButton::clicked, this, &CheckableListWidget::setNoneChecked);
}

// The members are children of this widget through the layouts; deleting the widget deletes
// them.
CheckableListWidget::~CheckableListWidget() = default;

void CheckableListWidget::setItems(const QStringList& items)
{
    listWidget->addItems(items);
    for (int row = 0; row < listWidget->count(); ++row) {
        QListWidgetItem* item = listWidget->item(row);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsEditable);
        item->setCheckState(Qt::Checked);
    }
}

QList<bool> CheckableListWidget::checkStates() const
{
    QList<bool> states;
    states.reserve(listWidget->count());
    for (int row = 0; row < listWidget->count(); ++row)
        states.append(listWidget->item(row)->checkState() == Qt::Checked);
    return states;
}

void CheckableListWidget::showRange(int from, int to)
{
    fromSpinBox->setValue(from);
    toSpinBox->setValue(to);
    for (QWidget* widget : {static_cast<QWidget*>(rangeLabel), static_cast<QWidget*>(fromSpinBox),
                            static_cast<QWidget*>(toLabel), static_cast<QWidget*>(toSpinBox)})
        widget->show();
}

void CheckableListWidget::setAllChecked()
{
    setAllStates(Qt::Checked);
}

void CheckableListWidget::setNoneChecked()
{
    setAllStates(Qt::Unchecked);
}

void CheckableListWidget::setAllStates(Qt::CheckState state)
{
    for (int row = 0; row < listWidget->count(); ++row)
        listWidget->item(row)->setCheckState(state);
}
