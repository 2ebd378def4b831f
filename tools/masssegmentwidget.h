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

// Edits a number cell with a field that takes numbers only.
class NumberDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
};

// The "Mass Segment Editor": the mass-segment model as a table (start joint, end joint,
// proximal distance, mass fraction) beside the joint names of the open motion. The table is a
// working copy: Open XML fills it from a file, Save XML writes it, Save and Close makes it the
// model (an undoable edit), Close discards it. Rows whose joints the open motion lacks are red
// as the table is edited.
class MassSegmentWidget : public QDialog
{
    Q_OBJECT

public:
    explicit MassSegmentWidget(QWidget* parent = nullptr);

    // Fills the table from the document's model.
    void refreshTable();
    // Makes the table's rows the document's model, through the undo stack when there is one.
    void applyTable();
    void refreshJointList();
    // The model the table holds: text that is no number counts 0.
    MassSegmentModel tableModel() const;

    // The document edited and the undo stack its edits go on; set by the main window.
    QPointer<MotionDocument> document;
    QPointer<QUndoStack> undoStack;

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

    QString openedFile; // the file the table was last filled from, if any

    QStringListModel jointListModel;
    QLabel* jointListLabel = nullptr;
    NumberDelegate* numberDelegate = nullptr;

public:
    QLabel* totalLabel = nullptr;
};
