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
    // At most this many plots side by side; fewer where they would be narrower than
    // minimumPlotWidth (the plots reflow, and a scroll area around the view scrolls).
    static constexpr int columns = 3;
    static constexpr int minimumPlotHeight = 170;
    static constexpr int minimumPlotWidth = 240;

    explicit GaitPlots(QWidget* parent = nullptr);

    // Shows the strides and cycles of an analysis (taking what it draws); null clears.
    void setGait(const Strides* strides, const GaitCycles* cycles);

    const QList<QChartView*>& getViews() const { return views; }
    QTableWidget* getTable() const { return table; }

    // The plots side by side in a row now.
    int shownColumns() const { return arrangedColumns; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fillTable(const Strides* strides);
    // Lays the plots out in as many columns as the width takes.
    void arrange();

    QLabel* note = nullptr;
    QTableWidget* table = nullptr;
    QWidget* grid = nullptr;
    QList<QChartView*> views;
    int arrangedColumns = 0;
};
