#pragma once

#include "physics/bvhmathobject.h"

#include <QDialog>
#include <QModelIndex>
#include <QPointer>
#include <QStringListModel>
#include <QStyledItemDelegate>

class QLabel;
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
// working copy: Save and Close applies it to the model, Close discards it; Open XML replaces
// the model at once, Save XML writes the model as it is.
class MassSegmentWidget : public QDialog
{
    Q_OBJECT

public:
    explicit MassSegmentWidget(QWidget* parent = nullptr);

    // Fills the table from the model; the rows of segments the open motion cannot carry are
    // red.
    void refreshTable();
    // Replaces the model's segments by the table's rows.
    void applyTable();
    void refreshJointList();

    QPointer<BvhMathObject> mathObject;

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
    void markUnboundRows();
    void retranslateUi();

    QStringListModel jointListModel;
    QLabel* jointListLabel = nullptr;
    NumberDelegate* numberDelegate = nullptr;

public:
    QLabel* totalLabel = nullptr;
};
