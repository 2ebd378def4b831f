#pragma once

#include "tools/checkablelistwidget.h"

#include <QDialog>

// CheckableListWidget as a modal dialog: OK accepts, Cancel (or closing) rejects.
class CheckableListDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CheckableListDialog(QWidget* parent = nullptr);
    ~CheckableListDialog() override;

    void setItems(const QStringList& items) { checkableList->setItems(items); }
    QList<bool> checkStates() const { return checkableList->checkStates(); }
    void showRange(int from, int to) { checkableList->showRange(from, to); }

    CheckableListWidget* checkableList;

public slots:
    void setAllChecked() { checkableList->setAllChecked(); }
    void setNoneChecked() { checkableList->setNoneChecked(); }
};
