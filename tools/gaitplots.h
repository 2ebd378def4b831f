#pragma once

#include <QList>
#include <QWidget>

class QChartView;
class QLabel;
class QTableWidget;
struct GaitCycles;
struct Strides;

// The Gait view of the Plots dock, in the form gait labs use: the spatiotemporal table (mean
// ± SD of each side, and the symmetry index) above the curves over the gait cycle, left and
// right in two colours, each mean with a band of ± one standard deviation and a dashed line at
// its side's mean toe off.
class GaitPlots : public QWidget
{
    Q_OBJECT

public:
    static constexpr int columns = 3;
    static constexpr int minimumPlotHeight = 170;

    explicit GaitPlots(QWidget* parent = nullptr);

    // Shows the strides and cycles of an analysis (taking what it draws); null clears.
    void setGait(const Strides* strides, const GaitCycles* cycles);

    const QList<QChartView*>& getViews() const { return views; }
    QTableWidget* getTable() const { return table; }

private:
    void fillTable(const Strides* strides);

    QLabel* note = nullptr;
    QTableWidget* table = nullptr;
    QWidget* grid = nullptr;
    QList<QChartView*> views;
};
