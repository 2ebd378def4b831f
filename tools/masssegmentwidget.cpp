#include "masssegmentwidget.h"

#include "document/motiondocument.h"
#include "model/bvhjoint.h"
#include "model/numberformat.h"
#include "physics/masssegmentfile.h"
#include "tools/undoactions.h"
#include "tools/userdialogs.h"

#include <QAction>
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

QWidget* LiveCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex&) const
{
    auto* editor = new QLineEdit(parent);
    if (numbers) {
        auto* validator = new QDoubleValidator(editor);
        validator->setLocale(QLocale::c());
        validator->setNotation(QDoubleValidator::ScientificNotation);
        editor->setValidator(validator);
    }
    connect(editor, &QLineEdit::textEdited, this,
            [this, editor] { emit const_cast<LiveCellDelegate*>(this)->commitData(editor); });
    return editor;
}

// The table as it was before and after one edit.
class TableEdit : public QUndoCommand
{
public:
    TableEdit(QList<QStringList> before, QList<QStringList> after, int cell,
              const std::function<void(const QList<QStringList>&)>& show)
        : QUndoCommand(MassSegmentWidget::tr("Edit Table")), before(std::move(before)),
          after(std::move(after)), cell(cell), show(show)
    {
    }
    void redo() override
    {
        if (!first)
            show(after);
        first = false;
    }
    void undo() override { show(before); }
    int id() const override { return cell >= 0 ? 1 : -1; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const TableEdit*>(other);
        if (next->cell != cell)
            return false;
        after = next->after;
        return true;
    }

private:
    QList<QStringList> before;
    QList<QStringList> after;
    int cell;
    std::function<void(const QList<QStringList>&)> show;
    bool first = true; // the table already shows the edit when it is recorded
};

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
    connect(tableWidget, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        showTotal();
        markUnboundRows();
        recordTable(item->row() * 4 + item->column());
    });
    tableEdits = new QUndoStack(this);
    const auto [undo, redo] = UndoActions::create(*tableEdits, this);
    addActions({undo, redo});
}

QList<QStringList> MassSegmentWidget::tableCells() const
{
    QList<QStringList> cells;
    for (int row = 0; row < tableWidget->rowCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < 4; ++column)
            texts.append(cellText(tableWidget, row, column));
        cells.append(texts);
    }
    return cells;
}

void MassSegmentWidget::showCells(const QList<QStringList>& cells)
{
    {
        const QSignalBlocker quiet(tableWidget);
        tableWidget->setRowCount(int(cells.size()));
        for (int row = 0; row < cells.size(); ++row) {
            for (int column = 0; column < 4; ++column)
                tableWidget->setItem(row, column, new QTableWidgetItem(cells[row].value(column)));
        }
    }
    recordedCells = cells;
    markUnboundRows();
    showTotal();
}

void MassSegmentWidget::recordTable(int cell)
{
    QList<QStringList> cells = tableCells();
    if (cells == recordedCells)
        return;
    tableEdits->push(new TableEdit(recordedCells, cells, cell,
                                   [this](const QList<QStringList>& shown) { showCells(shown); }));
    recordedCells = std::move(cells);
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
    numberDelegate = new LiveCellDelegate(true, this);
    nameDelegate = new LiveCellDelegate(false, this);
    tableWidget->setItemDelegateForColumn(0, nameDelegate);
    tableWidget->setItemDelegateForColumn(1, nameDelegate);
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
    recordedCells = tableCells();
    tableEdits->clear();
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
    // Bound to the open motion at once, so that the view and the exports use the edited model.
    document->setModel(tableModel(), openedFile, tr("Mass Segment Model"));
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
    if (document && document->isOpen()) {
        const QStringList problems =
            SegmentBinding::bind(tableModel(), document->getMotion().root->getAllJoints())
                .problems(tableModel());
        if (!problems.isEmpty() &&
            !UserDialogs::confirm(tr("Mass Segment Editor"),
                                  tr("This model does not fit the open motion, so it gives no body "
                                     "centre of mass:\n%1\n\nMake it the model all the same?")
                                      .arg(problems.join(QLatin1Char('\n')))))
            return;
    }
    applyTable();
    accept();
}

void MassSegmentWidget::addRow()
{
    const int row = tableWidget->rowCount();
    tableWidget->insertRow(row);
    if (tableWidget->columnCount() < 4)
        tableWidget->setColumnCount(4);
    {
        const QSignalBlocker quiet(tableWidget);
        for (int column = 0; column < 4; ++column)
            tableWidget->setItem(row, column, new QTableWidgetItem);
    }
    recordTable(-1);
}

void MassSegmentWidget::deleteRow()
{
    const int row = tableWidget->currentRow();
    if (row < 0 || row >= tableWidget->rowCount())
        return;
    tableWidget->removeRow(row);
    showTotal();
    markUnboundRows();
    recordTable(-1);
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
