#pragma once

#include "model/framerange.h"
#include "model/lengthunit.h"
#include "model/writeresult.h"

#include <QChartView>
#include <QList>
#include <QPointer>
#include <QWidget>

class MotionDocument;
struct MotionAnalysis;
class QLineSeries;
class QValueAxis;

// One plot: the chart drawn once into a picture, and the cursor painted over it, so that
// following the current frame redraws a line, not the curves.
class PlotView : public QChartView
{
    Q_OBJECT

public:
    explicit PlotView(QChart* chart);

    // Time (s) of the cursor; NaN hides it.
    void setCursorTime(double time);
    double getCursorTime() const { return cursorTime; }
    // Paints the cursor in the view's own coordinates.
    void paintCursor(QPainter& painter) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture;
    bool stale = true;
    double cursorTime;
};

// The centre-of-mass analysis of the open motion over time: the centre's three coordinates
// (raw, faint, and filtered), its speed and the margin of stability, with the gait events
// marked and the document's current frame as a cursor. The time axis spans the frames
// analysed, which the first title names. Clicking or dragging in a plot asks for the frame under
// the cursor.
class AnalysisPlots : public QWidget
{
    Q_OBJECT

public:
    // Points a plot keeps of a curve: a longer one is cut into this many stretches, each drawn
    // by its lowest and highest value, so that hour-long motions draw as fast as short ones and
    // keep their peaks.
    static constexpr int maxStretches = 1000;
    // Gait events are marked on the plots when there are no more than this many.
    static constexpr size_t maxEventMarks = 400;
    // Height of a plot, so that its curves keep about 90 pixels beside its title, tick labels
    // and axis title: a dock too short for all of them scrolls.
    static constexpr int minimumPlotHeight = 150;

    explicit AnalysisPlots(QWidget* parent = nullptr);

    // The document whose current frame the cursor shows (null: none).
    void setDocument(MotionDocument* shown);
    // Plots `analysis` (taking what it draws; it need not outlive the call), whose lengths are
    // in `unit`, in metres; null clears.
    void setAnalysis(const MotionAnalysis* analysis, const LengthUnit& unit);
    // The plots as one image: SVG (vector) for a name ending in .svg, else a PNG; both with
    // the cursor.
    WriteResult exportImage(const QString& fileName);

    const QList<QChartView*>& getViews() const { return views; }
    // The frame a point of plot number `plot` (of getViews()) stands for, clamped to the
    // analysis; -1 without one.
    int frameAt(qsizetype plot, const QPointF& position) const;

signals:
    void frameRequested(int frame);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Plot
    {
        QChart* chart = nullptr;
        PlotView* view = nullptr;
        QValueAxis* time = nullptr;
        QValueAxis* value = nullptr;
    };

    Plot& addPlot(const QString& title);
    // Names the units, metres, in the titles of the value axes.
    void nameUnits();
    QLineSeries* addCurve(Plot& plot, const QString& name, const QColor& colour, qreal width);
    // The value axis spans the curves shown.
    void fitValueAxis(Plot& plot);
    void updateCursors();

    QList<QChartView*> views;
    QList<Plot> plots;
    QPointer<MotionDocument> document;
    int firstFrame = 0;
    int frameCount = 0;
    double frameTime = 0;
};
