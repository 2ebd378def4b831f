#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

// A list of names with a check box each, an optional frame range and OK/Cancel. Knows nothing
// of joints: the caller fills the names and reads back one flag per row and the range.
class CheckableListWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CheckableListWidget(QWidget* parent = nullptr);
    ~CheckableListWidget() override;

    // Appends the names as rows and then checks every row, old and new.
    void setItems(const QStringList& items);
    // One flag per row, true where the row is checked.
    QList<bool> checkStates() const;
    // Shows the range row with these values (clamped to 0..99999).
    void showRange(int from, int to);

    QListWidget* listWidget;
    QPushButton* okButton;
    QPushButton* cancelButton;
    QPushButton* allButton;
    QPushButton* noneButton;
    QLabel* rangeLabel;
    QLabel* toLabel;
    QSpinBox* fromSpinBox;
    QSpinBox* toSpinBox;

signals:
    void okButtonPressed();
    void cancelButtonPressed();

public slots:
    void setAllChecked();
    void setNoneChecked();

private:
    void setAllStates(Qt::CheckState state);
};
