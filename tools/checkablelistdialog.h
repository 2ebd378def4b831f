#pragma once

#include "model/framerange.h"
#include "tools/checkablelistwidget.h"

#include <QDialog>

class QLabel;

// CheckableListWidget as a modal dialog: OK accepts, Cancel (or closing) rejects. A frame range
// whose first frame comes after its last is refused: OK then says so and the dialog stays,
// until the range is in order again.
class CheckableListDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CheckableListDialog(QWidget* parent = nullptr);
    ~CheckableListDialog() override;

    void setItems(const QStringList& items) { checkableList->setItems(items); }
    QList<bool> checkStates() const { return checkableList->checkStates(); }
    // Shows the frame range boxes, set to `range`; getRange() gives what they hold.
    void showRange(const FrameRange& range)
    {
        rangeShown = true;
        checkableList->showRange(range.first, range.last);
    }
    FrameRange getRange() const;

    CheckableListWidget* checkableList;
    QLabel* rangeProblem; // shown while a reversed range was refused

public slots:
    void setAllChecked() { checkableList->setAllChecked(); }
    void setNoneChecked() { checkableList->setNoneChecked(); }

private:
    void acceptIfRangeOrdered();
    bool rangeShown = false;
};
