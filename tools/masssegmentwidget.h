#pragma once

#include "physics/masssegment.h"

#include <QDialog>
#include <QModelIndex>
#include <QPointer>
#include <QStringListModel>
#include <QStyledItemDelegate>

class MotionDocument;
class QLabel;
class QUndoStack;
class QListView;
class QPushButton;
class QTableWidget;

// Edits a cell with a field whose text reaches the table as it is typed, so that the table
// judges the row at each key; for a number cell the field takes numbers only.
class LiveCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    LiveCellDelegate(bool numbers, QObject* parent) : QStyledItemDelegate(parent), numbers(numbers)
    {
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

private:
    bool numbers;
};

// The "Mass Segment Editor": the mass-segment model as a table (start joint, end joint,
// proximal distance, mass fraction) beside the joint names of the open motion. The table is a
// working copy: Open XML fills it from a file, Save XML writes it, Save and Close makes it the
// model (an undoable edit; a model that does not fit the open motion only when the user says
// so), Close discards it. Rows whose joints the open motion lacks are red as the table is
// typed. Undo and Redo (Ctrl+Z, Ctrl+Shift+Z) step through the table's own edits.
class MassSegmentWidget : public QDialog
{
    Q_OBJECT

public:
    explicit MassSegmentWidget(QWidget* parent = nullptr);

    // Fills the table from the document's model.
    void refreshTable();
    // Makes the table's rows the document's model (one of its undoable edits).
    void applyTable();
    void refreshJointList();
    // The model the table holds: text that is no number counts 0.
    MassSegmentModel tableModel() const;

    // The document edited; set by the main window.
    QPointer<MotionDocument> document;
    // The edits of the table since it was last filled.
    QUndoStack* tableEdits = nullptr;

    QTableWidget* tableWidget = nullptr;
    QListView* listView = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* saveCloseButton = nullptr;
    QPushButton* closeButton = nullptr;

public slots:
    void openXML();
    void saveXML();
    void cancel();
    void saveAndClose();
    void addRow();
    void deleteRow();
    void processTableClick(int row, int column);
    void processListClick(const QModelIndex& index);
    // The sum of the table's mass fractions under it, red when it is not 1 within 1 %.
    void showTotal();

private:
    void setupUi();
    // Fills the table with `segments`.
    void showModel(const MassSegmentModel& segments);
    // Colours the rows the open motion cannot carry red, and every other one plain.
    void markUnboundRows();
    void retranslateUi();
    // The table's cells, row by row, and the table made of them.
    QList<QStringList> tableCells() const;
    void showCells(const QList<QStringList>& cells);
    // Records the table as it is now as one undoable step (`cell`: the cell typed in, whose
    // keystrokes fold into one step; -1 for a step of its own).
    void recordTable(int cell);

    QString openedFile;               // the file the table was last filled from, if any
    QList<QStringList> recordedCells; // the table as the last step left it

    QStringListModel jointListModel;
    QLabel* jointListLabel = nullptr;
    LiveCellDelegate* numberDelegate = nullptr;
    LiveCellDelegate* nameDelegate = nullptr;

public:
    QLabel* totalLabel = nullptr;
};
