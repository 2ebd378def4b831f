#pragma once

#include <QList>
#include <QWidget>

class QChartView;
class QLabel;
class QTableWidget;
struct GaitCycles;
struct GaitReference;
struct GaitScores;
struct Strides;

// The Gait view of the Plots dock, in the form gait labs use: the spatiotemporal table (mean
// ± SD of each side, and the symmetry index) above the curves over the gait cycle, left and
// right in two colours, each mean with a band of ± one standard deviation and a dashed line at
// its side's mean toe off; a reference's mean ± one SD in grey behind them, and the walk's
// profile scores against it in the note.
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

    // Shows the strides and cycles of an analysis (taking what it draws), before a reference
    // and with its scores when given; null clears.
    void setGait(const Strides* strides, const GaitCycles* cycles,
                 const GaitReference* reference = nullptr, const GaitScores* scores = nullptr);

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
