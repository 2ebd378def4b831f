#include "analysisplots.h"

#include "document/motiondocument.h"
#include "gait/motionanalysis.h"
#include "model/roundstep.h"
#include "tools/imagefile.h"

#include <QGraphicsLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The curve of `values` over time, cut to AnalysisPlots::maxStretches stretches of their low
// and high points; NaN values leave gaps (Qt Charts skips them).
QList<QPointF> curveOf(const std::vector<double>& values, int firstFrame, double frameTime)
{
    QList<QPointF> points;
    const size_t count = values.size();
    const size_t stretch = std::max<size_t>(1, (count + AnalysisPlots::maxStretches - 1) /
                                                   AnalysisPlots::maxStretches);
    points.reserve(qsizetype(2 * count / stretch + 2));
    for (size_t start = 0; start < count; start += stretch) {
        const size_t stop = std::min(count, start + stretch);
        size_t low = start, high = start;
        for (size_t i = start; i < stop; ++i) {
            if (values[i] < values[low] || std::isnan(values[low]))
                low = i;
            if (values[i] > values[high] || std::isnan(values[high]))
                high = i;
        }
        for (const size_t i : {std::min(low, high), std::max(low, high)}) {
            points.append({(firstFrame + double(i)) * frameTime, values[i]});
            if (low == high)
                break;
        }
    }
    return points;
}

// The range of the finite values of the curves, widened by a twentieth on each side.
std::pair<double, double> spanOf(const QList<QList<QPointF>>& curves)
{
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const QList<QPointF>& curve : curves) {
        for (const QPointF& point : curve) {
            if (std::isfinite(point.y())) {
                low = std::min(low, point.y());
                high = std::max(high, point.y());
            }
        }
    }
    if (!(low <= high))
        return {-1, 1};
    const double margin = high > low ? (high - low) / 20 : std::max(1.0, std::abs(low) / 20);
    return {low - margin, high + margin};
}

} // namespace

PlotView::PlotView(QChart* chart)
    : QChartView(chart), cursorTime(std::numeric_limits<double>::quiet_NaN())
{
    // Any change of the chart (curves, axes, size) draws the picture anew.
    connect(scene(), &QGraphicsScene::changed, this, [this] { stale = true; });
}

void PlotView::setCursorTime(double time)
{
    cursorTime = time;
    viewport()->update();
}

void PlotView::paintEvent(QPaintEvent* event)
{
    const QSize size = viewport()->size() * devicePixelRatio();
    if (stale || picture.size() != size) {
        picture = QPixmap(size);
        picture.setDevicePixelRatio(devicePixelRatio());
        picture.fill(palette().color(QPalette::Base));
        QPainter painter(&picture);
        render(&painter, QRectF(QPointF(0, 0), viewport()->size()), viewport()->rect());
        stale = false;
    }
    QPainter painter(viewport());
    painter.setClipRegion(event->region());
    painter.drawPixmap(0, 0, picture);
    paintCursor(painter);
}

void PlotView::paintCursor(QPainter& painter) const
{
    if (!std::isfinite(cursorTime))
        return;
    const QRectF area = chart()->plotArea();
    const QPoint top = mapFromScene(area.topLeft()), bottom = mapFromScene(area.bottomRight());
    const int x = mapFromScene(chart()->mapToPosition(QPointF(cursorTime, 0))).x();
    if (x >= top.x() && x <= bottom.x()) {
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(x, top.y(), x, bottom.y());
    }
}

AnalysisPlots::AnalysisPlots(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(tr("Plots"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    addPlot(tr("Centre of mass (faint: unfiltered)"));
    addPlot(tr("Speed of the centre of mass"));
    addPlot(tr("Margin of stability"));
    for (QChartView* view : std::as_const(views))
        layout->addWidget(view);
    nameUnits();
}

void AnalysisPlots::nameUnits()
{
    plots[0].value->setTitleText(tr("Position (m)"));
    plots[1].value->setTitleText(tr("Speed (m/s)"));
    plots[2].value->setTitleText(tr("Margin (m)"));
}

AnalysisPlots::Plot& AnalysisPlots::addPlot(const QString& title)
{
    Plot plot;
    plot.chart = new QChart;
    plot.chart->setTitle(title);
    QFont small = plot.chart->titleFont();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    plot.chart->setTitleFont(small);
    plot.chart->layout()->setContentsMargins(0, 0, 0, 0);
    plot.chart->setMargins(QMargins(2, 0, 2, 0));
    // Beside the curves, where a wide dock has room to spare, the legend takes no height.
    plot.chart->legend()->setAlignment(Qt::AlignRight);
    plot.chart->legend()->setFont(small);
    // Each entry drawn as its curve or its points are: a strike's triangle, a foot off's square.
    plot.chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    plot.time = new QValueAxis;
    plot.value = new QValueAxis;
    for (QValueAxis* axis : {plot.time, plot.value}) {
        axis->setLabelsFont(small);
        axis->setTitleFont(small);
        axis->setLabelFormat(QStringLiteral("%.4g"));
        axis->setTickCount(5);
    }
    // Each plot names its time axis, as each may be the one scrolled into view.
    plot.time->setTitleText(tr("Time (s)"));
    plot.chart->addAxis(plot.time, Qt::AlignBottom);
    plot.chart->addAxis(plot.value, Qt::AlignLeft);
    plot.view = new PlotView(plot.chart);
    plot.view->setRenderHint(QPainter::Antialiasing, false);
    plot.view->setMinimumHeight(minimumPlotHeight);
    plot.view->viewport()->installEventFilter(this);
    views.append(plot.view);
    plots.append(plot);
    return plots.last();
}

void AnalysisPlots::fitValueAxis(Plot& plot)
{
    QList<QList<QPointF>> shown;
    for (QAbstractSeries* series : plot.chart->series()) {
        if (series->isVisible())
            shown.append(static_cast<QXYSeries*>(series)->points());
    }
    const auto [low, high] = spanOf(shown);
    plot.value->setRange(low, high);
    plot.value->setTickType(QValueAxis::TicksDynamic);
    // Round ticks from 0, about three of them, and never fewer than two within the range: one
    // label alone gives the axis no scale.
    double step = RoundStep::atLeast((high - low) / 3);
    for (int finer = 0; finer < 4 && std::floor(high / step) - std::ceil(low / step) < 1; ++finer)
        step = RoundStep::atMost(step * 0.99);
    plot.value->setTickInterval(step);
    plot.value->setTickAnchor(0);
}

QLineSeries* AnalysisPlots::addCurve(Plot& plot, const QString& name, const QColor& colour,
                                     qreal width)
{
    auto* series = new QLineSeries;
    series->setName(name);
    series->setPen(QPen(colour, width));
    plot.chart->addSeries(series);
    series->attachAxis(plot.time);
    series->attachAxis(plot.value);
    return series;
}

void AnalysisPlots::setDocument(MotionDocument* shown)
{
    if (document)
        disconnect(document, nullptr, this, nullptr);
    document = shown;
    if (document)
        connect(document, &MotionDocument::currentFrameChanged, this,
                &AnalysisPlots::updateCursors);
    updateCursors();
}

void AnalysisPlots::setAnalysis(const MotionAnalysis* analysis, const LengthUnit& unit)
{
    for (Plot& plot : plots)
        plot.chart->removeAllSeries();
    frameCount = analysis && analysis->ok() ? analysis->size() : 0;
    // Why the plots are empty, where the centre would be; else which frames they show.
    if (analysis && !analysis->ok())
        plots[0].chart->setTitle(tr("No analysis: %1").arg(analysis->errorString.left(160)));
    else if (frameCount > 0)
        plots[0].chart->setTitle(tr("Centre of mass, frames %1 to %2 (faint: unfiltered)")
                                     .arg(analysis->range.first)
                                     .arg(analysis->range.last));
    else
        plots[0].chart->setTitle(tr("Centre of mass (faint: unfiltered)"));
    if (frameCount == 0) {
        updateCursors();
        return;
    }
    firstFrame = analysis->range.first;
    frameTime = analysis->frameTime;
    const QColor colours[3] = {QColor(200, 40, 40), QColor(30, 150, 30), QColor(40, 70, 210)};
    const char* axes[3] = {"x", "y", "z"};
    // Lengths in metres, whatever the motion's unit.
    const double metres = unit.metresPerUnit();
    const auto curve = [&](std::vector<double> values) {
        for (double& value : values)
            value *= metres;
        return curveOf(values, firstFrame, frameTime);
    };

    for (int axis = 0; axis < 3; ++axis) {
        const QList<QPointF> raw = curve(MotionAnalysis::axisOf(analysis->rawCentre, axis));
        const QList<QPointF> filtered = curve(MotionAnalysis::axisOf(analysis->centre, axis));
        QColor faint = colours[axis];
        faint.setAlpha(90);
        QLineSeries* unfiltered =
            addCurve(plots[0], tr("%1 raw").arg(QLatin1String(axes[axis])), faint, 1);
        unfiltered->replace(raw);
        QLineSeries* smooth = addCurve(plots[0], QLatin1String(axes[axis]), colours[axis], 1.5);
        smooth->replace(filtered);
        // One legend entry hides or shows both.
        plots[0].chart->legend()->markers(unfiltered).first()->setVisible(false);
        connect(smooth, &QLineSeries::visibleChanged, unfiltered,
                [unfiltered, smooth] { unfiltered->setVisible(smooth->isVisible()); });
    }
    std::vector<double> speed(static_cast<size_t>(frameCount));
    for (size_t i = 0; i < speed.size(); ++i)
        speed[i] = analysis->velocity[i].norm();
    const QList<QPointF> speedCurve = curve(speed);
    addCurve(plots[1], tr("speed"), QColor(60, 60, 60), 1.5)->replace(speedCurve);
    const QList<QPointF> margin = curve(analysis->margin);
    const QList<QPointF> along = curve(analysis->marginAlong);
    const QList<QPointF> across = curve(analysis->marginAcross);
    addCurve(plots[2], tr("margin"), QColor(60, 60, 60), 1.5)->replace(margin);
    addCurve(plots[2], tr("along"), colours[2], 1)->replace(along);
    addCurve(plots[2], tr("across"), colours[0], 1)->replace(across);

    // The gait events, on the speed and margin curves' level at their frames.
    const auto addEvents = [&](Plot& plot, const std::vector<double>& values) {
        const struct
        {
            GaitEvent::Foot foot;
            GaitEvent::Kind kind;
            QScatterSeries::MarkerShape shape;
            QColor colour;
        } kinds[] = {
            {GaitEvent::Left, GaitEvent::FootStrike, QScatterSeries::MarkerShapeTriangle,
             colours[0]},
            {GaitEvent::Right, GaitEvent::FootStrike, QScatterSeries::MarkerShapeTriangle,
             colours[1]},
            {GaitEvent::Left, GaitEvent::FootOff, QScatterSeries::MarkerShapeRectangle, colours[0]},
            {GaitEvent::Right, GaitEvent::FootOff, QScatterSeries::MarkerShapeRectangle,
             colours[1]}};
        for (const auto& kind : kinds) {
            auto* marks = new QScatterSeries;
            const GaitEvent sample{0, kind.foot, kind.kind};
            marks->setName(sample.footName() + QLatin1Char(' ') + sample.kindName());
            marks->setMarkerShape(kind.shape);
            marks->setMarkerSize(8);
            marks->setColor(kind.colour);
            marks->setBorderColor(kind.colour);
            for (const GaitEvent& event : analysis->events) {
                const int i = analysis->indexOf(event.frame);
                if (event.foot == kind.foot && event.kind == kind.kind && i >= 0 &&
                    std::isfinite(values[size_t(i)]))
                    marks->append(event.frame * frameTime, values[size_t(i)] * metres);
            }
            plot.chart->addSeries(marks);
            marks->attachAxis(plot.time);
            marks->attachAxis(plot.value);
        }
    };
    // Thousands of marks would only smear the curves of a long motion.
    if (analysis->events.size() <= maxEventMarks) {
        addEvents(plots[1], speed);
        addEvents(plots[2], analysis->margin);
    }
    // The event kinds are named once, under the speed.
    for (QLegendMarker* marker : plots[2].chart->legend()->markers()) {
        if (marker->series()->type() == QAbstractSeries::SeriesTypeScatter)
            marker->setVisible(false);
    }
    // The legends share one width, so that the plots' time axes line up.
    qreal legendWidth = 0;
    for (const Plot& plot : std::as_const(plots))
        legendWidth = std::max(legendWidth,
                               plot.chart->legend()->effectiveSizeHint(Qt::PreferredSize).width());
    for (const Plot& plot : std::as_const(plots))
        plot.chart->legend()->setMinimumWidth(legendWidth);
    for (qsizetype p = 0; p < plots.size(); ++p) {
        Plot& plot = plots[p];
        const double first = firstFrame * frameTime,
                     last = (firstFrame + frameCount - 1) * frameTime;
        plot.time->setRange(first, std::max(last, first + frameTime));
        plot.time->setTickType(QValueAxis::TicksDynamic);
        plot.time->setTickAnchor(0);
        plot.time->setTickInterval(RoundStep::atLeast((last - first) / 6));
        fitValueAxis(plot);
        // A click on a legend entry hides or shows its curve, and the axis fits what is shown.
        for (QLegendMarker* marker : plot.chart->legend()->markers()) {
            connect(marker, &QLegendMarker::clicked, this, [this, marker, p] {
                marker->series()->setVisible(!marker->series()->isVisible());
                marker->setVisible(true);
                QBrush label = marker->labelBrush();
                QColor colour = label.color();
                colour.setAlphaF(marker->series()->isVisible() ? 1.0 : 0.4);
                label.setColor(colour);
                marker->setLabelBrush(label);
                fitValueAxis(plots[p]);
            });
        }
    }
    updateCursors();
}

void AnalysisPlots::updateCursors()
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    const bool shown = frameCount > 0 && document;
    for (Plot& plot : plots)
        plot.view->setCursorTime(shown ? document->getCurrentFrame() * frameTime : none);
}

int AnalysisPlots::frameAt(qsizetype plot, const QPointF& position) const
{
    if (frameCount == 0 || !(frameTime > 0))
        return -1;
    const QPointF value =
        plots[plot].chart->mapToValue(views[plot]->mapToScene(position.toPoint()));
    const int frame = int(std::lround(value.x() / frameTime));
    return std::clamp(frame, firstFrame, firstFrame + frameCount - 1);
}

bool AnalysisPlots::eventFilter(QObject* watched, QEvent* event)
{
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (press || event->type() == QEvent::MouseMove) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->buttons() & Qt::LeftButton) {
            for (qsizetype plot = 0; plot < views.size(); ++plot) {
                if (views[plot]->viewport() != watched)
                    continue;
                const int frame = frameAt(plot, mouse->position());
                if (frame >= 0)
                    emit frameRequested(frame);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

WriteResult AnalysisPlots::exportImage(const QString& fileName)
{
    // Each chart drawn from its scene (vector in an SVG file), then its cursor.
    return ImageFile::save(
        fileName, size(),
        [this](QPainter& painter) {
            for (Plot& plot : plots) {
                const QRect placed = plot.view->geometry();
                painter.save();
                painter.translate(placed.topLeft());
                plot.view->render(&painter, QRectF(QPointF(0, 0), placed.size()),
                                  plot.view->viewport()->rect());
                plot.view->paintCursor(painter);
                painter.restore();
            }
        },
        tr("Kinovane plots"));
}
