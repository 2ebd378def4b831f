#include "masssegmentwidget.h"

#include "model/bvhjoint.h"
#include "model/numberformat.h"
#include "physics/masssegmentfile.h"
#include "document/motiondocument.h"
#include "document/motionedits.h"
#include "tools/userdialogs.h"

#include <QColor>
#include <QDoubleValidator>
#include <QLineEdit>
#include <QLocale>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSpacerItem>
#include <QTableWidget>
#include <QUndoStack>
#include <QVBoxLayout>

#include <cmath>
#include <memory>

static QString cellText(const QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

QWidget* NumberDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                      const QModelIndex&) const
{
    auto* editor = new QLineEdit(parent);
    auto* validator = new QDoubleValidator(editor);
    validator->setLocale(QLocale::c());
    validator->setNotation(QDoubleValidator::ScientificNotation);
    editor->setValidator(validator);
    return editor;
}

MassSegmentWidget::MassSegmentWidget(QWidget* parent) : QDialog(parent)
{
    setupUi();
    connect(openButton, &QPushButton::clicked, this, &MassSegmentWidget::openXML);
    connect(saveButton, &QPushButton::clicked, this, &MassSegmentWidget::saveXML);
    connect(closeButton, &QPushButton::clicked, this, &MassSegmentWidget::cancel);
    connect(saveCloseButton, &QPushButton::clicked, this, &MassSegmentWidget::saveAndClose);
    connect(addButton, &QPushButton::clicked, this, &MassSegmentWidget::addRow);
    connect(deleteButton, &QPushButton::clicked, this, &MassSegmentWidget::deleteRow);
    connect(tableWidget, &QTableWidget::cellClicked, this, &MassSegmentWidget::processTableClick);
    connect(listView, &QListView::clicked, this, &MassSegmentWidget::processListClick);
    connect(tableWidget, &QTableWidget::itemChanged, this, [this] {
        showTotal();
        markUnboundRows();
    });
}

void MassSegmentWidget::setupUi()
{
    resize(614, 581);
    auto* windowLayout = new QVBoxLayout(this);
    windowLayout->setSpacing(6);
    windowLayout->setContentsMargins(11, 11, 11, 11);

    auto* editorLayout = new QHBoxLayout();
    editorLayout->setSpacing(6);
    tableWidget = new QTableWidget(this);
    tableWidget->setObjectName(QStringLiteral("tableWidget"));
    editorLayout->addWidget(tableWidget);
    auto* jointListLayout = new QVBoxLayout();
    jointListLayout->setSpacing(6);
    jointListLabel = new QLabel(this);
    jointListLabel->setObjectName(QStringLiteral("jointListLabel"));
    jointListLabel->setMaximumWidth(150);
    jointListLayout->addWidget(jointListLabel);
    listView = new QListView(this);
    listView->setObjectName(QStringLiteral("listView"));
    listView->setMaximumWidth(150);
    listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    jointListLayout->addWidget(listView);
    editorLayout->addLayout(jointListLayout);
    windowLayout->addLayout(editorLayout);
    totalLabel = new QLabel(this);
    totalLabel->setObjectName(QStringLiteral("totalLabel"));
    windowLayout->addWidget(totalLabel);
    // The number columns take numbers only: other text is refused as it is typed.
    numberDelegate = new NumberDelegate(this);
    tableWidget->setItemDelegateForColumn(2, numberDelegate);
    tableWidget->setItemDelegateForColumn(3, numberDelegate);
    tableWidget->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* buttonLayout = new QHBoxLayout();
    buttonLayout->setSpacing(6);
    const auto button = [this, buttonLayout](const char* name, int maximumWidth) {
        auto* result = new QPushButton(this);
        result->setObjectName(QString::fromLatin1(name));
        if (maximumWidth > 0)
            result->setMaximumWidth(maximumWidth);
        buttonLayout->addWidget(result);
        return result;
    };
    addButton = button("addButton", 60);
    deleteButton = button("deleteButton", 70);
    buttonLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    openButton = button("openButton", 0);
    saveButton = button("saveButton", 0);
    buttonLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    saveCloseButton = button("saveCloseButton", 0);
    closeButton = button("closeButton", 0);
    windowLayout->addLayout(buttonLayout);
    retranslateUi();
}

void MassSegmentWidget::retranslateUi()
{
    setWindowTitle(tr("Mass Segment Editor"));
    jointListLabel->setText(tr("Current BVH Joints:"));
    addButton->setText(tr("Add Row"));
    deleteButton->setText(tr("Delete Row"));
    openButton->setText(tr("Open XML"));
    saveButton->setText(tr("Save XML"));
    saveCloseButton->setText(tr("Save and Close"));
    closeButton->setText(tr("Close"));
}

void MassSegmentWidget::refreshTable()
{
    openedFile.clear();
    if (document)
        showModel(document->getSetup().segments);
}

void MassSegmentWidget::showModel(const MassSegmentModel& segments)
{
    const QSignalBlocker quiet(tableWidget);
    tableWidget->clear();
    tableWidget->setRowCount(int(segments.size()));
    tableWidget->setColumnCount(4);
    tableWidget->setHorizontalHeaderLabels(
        {tr("Start Joint"), tr("End Joint"), tr("Proximal Distance"), tr("Mass Fraction")});
    for (int row = 0; row < segments.size(); ++row) {
        const MassSegment& segment = segments[row];
        const QString cells[4] = {
            segment.startJoint,
            segment.endJoint,
            NumberFormat::general(segment.proximalDistance),
            NumberFormat::general(segment.mass),
        };
        for (int column = 0; column < 4; ++column)
            tableWidget->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    markUnboundRows();
    refreshJointList();
    showTotal();
}

MassSegmentModel MassSegmentWidget::tableModel() const
{
    MassSegmentModel segments;
    for (int row = 0; row < tableWidget->rowCount(); ++row) {
        segments.append({cellText(tableWidget, row, 0), cellText(tableWidget, row, 1),
                         NumberFormat::toDouble(cellText(tableWidget, row, 2).toStdString()),
                         NumberFormat::toDouble(cellText(tableWidget, row, 3).toStdString())});
    }
    return segments;
}

void MassSegmentWidget::showTotal()
{
    double total = 0;
    for (int row = 0; row < tableWidget->rowCount(); ++row)
        total += NumberFormat::toDouble(cellText(tableWidget, row, 3).toStdString());
    const bool whole = std::abs(total - 1.0) <= SegmentBinding::massTolerance;
    totalLabel->setText(whole
                            ? tr("Sum of the mass fractions: %1").arg(NumberFormat::general(total))
                            : tr("Sum of the mass fractions: %1, not 1: the body centre of "
                                 "mass needs 1 (within 1 %)")
                                  .arg(NumberFormat::general(total)));
    totalLabel->setStyleSheet(whole ? QString() : QStringLiteral("color: #c00000;"));
}

void MassSegmentWidget::markUnboundRows()
{
    // Only a model bound to an open motion has rows that do not fit.
    const BvhFile* motion = document && document->isOpen() ? &document->getMotion() : nullptr;
    const MassSegmentModel segments = tableModel();
    const SegmentBinding binding =
        SegmentBinding::bind(segments, motion ? motion->root->getAllJoints() : QList<BvhJoint*>());
    const QSignalBlocker quiet(tableWidget); // colouring is no edit
    for (int row = 0; row < tableWidget->rowCount(); ++row) {
        const bool unbound = motion && binding.unboundSegments.contains(row);
        QString tip;
        if (unbound) {
            QStringList missing;
            for (const QString& name : {segments[row].startJoint, segments[row].endJoint}) {
                if (binding.missingJoints.contains(name) && !missing.contains(name))
                    missing.append(name);
            }
            tip = tr("The open motion has no joint %1, so this segment is left out")
                      .arg(missing.join(tr(" or ")));
        }
        for (int column = 0; column < tableWidget->columnCount(); ++column) {
            QTableWidgetItem* item = tableWidget->item(row, column);
            if (!item)
                continue;
            item->setBackground(unbound ? QBrush(QColor(255, 190, 190)) : QBrush());
            item->setToolTip(tip);
        }
    }
}

void MassSegmentWidget::applyTable()
{
    if (!document)
        return;
    const MassSegmentModel segments = tableModel();
    // Bound to the open motion at once, so that the view and the exports use the edited model.
    if (segments == document->getSetup().segments && document->hasUserModel())
        return;
    auto edit =
        std::make_unique<ModelEdit>(*document, segments, openedFile, tr("Mass Segment Model"));
    if (undoStack)
        undoStack->push(edit.release());
    else
        edit->redo();
}

void MassSegmentWidget::refreshJointList()
{
    if (!document || !document->isOpen())
        return;
    QStringList names;
    for (const BvhJoint* joint : document->getMotion().root->getAllJoints()) {
        if (joint->getName() != QLatin1String("End Site"))
            names.append(joint->getName());
    }
    jointListModel.setStringList(names);
    listView->setModel(&jointListModel);
}

void MassSegmentWidget::openXML()
{
    const QString fileName =
        UserDialogs::getOpenFileName(tr("File Open"), QString(), QStringLiteral("*.xml"));
    if (fileName.isEmpty())
        return;
    const MassSegmentReadResult result = MassSegmentFile::read(fileName);
    if (!result.ok) {
        UserDialogs::warning(
            tr("Kinovane"),
            tr("Cannot read the mass segments of %1:\n%2").arg(fileName, result.errorString));
        return;
    }
    if (!result.warnings.isEmpty()) {
        UserDialogs::warning(
            tr("Kinovane"),
            tr("%1 was read, but not all of it:\n%2").arg(fileName, result.warnings.join('\n')));
    }
    // Into the table only: the model changes with Save and Close.
    showModel(result.segments);
    openedFile = fileName;
}

void MassSegmentWidget::saveXML()
{
    // The name under which the program takes a model as the working folder's own.
    const QString fileName = UserDialogs::getSaveFileName(
        tr("File Save"), QStringLiteral("defaultMassSegments.xml"), QStringLiteral("*.xml"));
    if (fileName.isEmpty())
        return;
    const WriteResult result = MassSegmentFile::write(fileName, tableModel());
    if (!result.ok)
        UserDialogs::writeFailure(result);
}

void MassSegmentWidget::cancel()
{
    reject();
}

void MassSegmentWidget::saveAndClose()
{
    applyTable();
    accept();
}

void MassSegmentWidget::addRow()
{
    const int row = tableWidget->rowCount();
    tableWidget->insertRow(row);
    if (tableWidget->columnCount() < 4)
        tableWidget->setColumnCount(4);
    for (int column = 0; column < 4; ++column)
        tableWidget->setItem(row, column, new QTableWidgetItem);
}

void MassSegmentWidget::deleteRow()
{
    const int row = tableWidget->currentRow();
    if (row >= 0 && row < tableWidget->rowCount())
        tableWidget->removeRow(row);
}

void MassSegmentWidget::processTableClick(int, int)
{
    refreshJointList();
}

void MassSegmentWidget::processListClick(const QModelIndex& index)
{
    QTableWidgetItem* item = tableWidget->currentItem();
    if (!item || (item->column() != 0 && item->column() != 1))
        return;
    item->setText(
        jointListModel.data(jointListModel.index(index.row()), Qt::DisplayRole).toString());
}
