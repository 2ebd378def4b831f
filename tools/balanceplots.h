#pragma once

#include <QList>
#include <QWidget>

class QChartView;
class QLabel;
class QTableWidget;
struct Sway;

// The Balance view of the Plots dock, for a standing trial: the sway measures beside the sway
// of the centre of mass on the floor (along and across the way the body faces, with its 95 %
// confidence ellipse) and its two components over time.
class BalancePlots : public QWidget
{
    Q_OBJECT

public:
    explicit BalancePlots(QWidget* parent = nullptr);

    // Shows a standing trial's sway; null says the trial is no standing one (`why`).
    void setSway(const Sway* sway, const QString& why);

    QTableWidget* getTable() const { return table; }
    const QList<QChartView*>& getViews() const { return views; }

private:
    QLabel* note = nullptr;
    QTableWidget* table = nullptr;
    QList<QChartView*> views; // the path, the components over time
};
