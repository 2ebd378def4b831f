#pragma once

#include "model/framerange.h"
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
    // Shows the frame range boxes, set to `range`; getRange() gives what they hold.
    void showRange(const FrameRange& range) { checkableList->showRange(range.first, range.last); }
    FrameRange getRange() const;

    CheckableListWidget* checkableList;

public slots:
    void setAllChecked() { checkableList->setAllChecked(); }
    void setNoneChecked() { checkableList->setNoneChecked(); }
};
