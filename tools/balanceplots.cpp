#include "balanceplots.h"

#include "gait/sway.h"
#include "model/roundstep.h"
#include "tools/wholetable.h"

#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QLabel>
#include <QLineSeries>
#include <QTableWidget>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

QChart* plainChart(const QString& title, const QString& xTitle, const QString& yTitle)
{
    auto* chart = new QChart;
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    QFont font = chart->titleFont();
    font.setBold(true);
    chart->setTitleFont(font);
    chart->setTitle(title);
    auto* x = new QValueAxis;
    x->setTitleText(xTitle);
    auto* y = new QValueAxis;
    y->setTitleText(yTitle);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    return chart;
}

void add(QChart* chart, QLineSeries* series, const QColor& colour, const QString& name)
{
    series->setPen(QPen(colour, 1.2));
    series->setName(name);
    chart->addSeries(series);
    for (QAbstractAxis* axis : chart->axes())
        series->attachAxis(axis);
}

// An axis over [low, high] with ticks at round steps from 0, about four of them.
void roundTicks(QAbstractAxis* axis, double low, double high)
{
    auto* values = static_cast<QValueAxis*>(axis);
    values->setRange(low, high);
    const double spacing = RoundStep::atLeast((high - low) / 4);
    values->setTickType(QValueAxis::TicksDynamic);
    values->setTickAnchor(0);
    values->setTickInterval(spacing);
    const int decimals = std::clamp(int(-std::floor(std::log10(spacing))), 0, 3);
    values->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

QChartView* viewOf(QChart* chart)
{
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(260, 220);
    return view;
}

} // namespace

BalancePlots::BalancePlots(QWidget* parent) : QWidget(parent)
{
    note = new QLabel(this);
    table = new QTableWidget(0, Sway::directionCount, this);
    table->setHorizontalHeaderLabels({tr("Resultant"), tr("Along (AP)"), tr("Across (ML)")});
    QBoxLayout* layout = WholeTable::beside(this, note, table);
    for (int k = 0; k < 2; ++k) {
        views.append(viewOf(new QChart));
        layout->addWidget(views.last(), 1);
    }
    setSway(nullptr, tr("No analysis."));
}

void BalancePlots::setSway(const Sway* sway, const QString& why)
{
    table->setRowCount(0);
    table->setVisible(sway != nullptr);
    for (QChartView* view : std::as_const(views))
        view->setVisible(sway != nullptr);
    if (!sway) {
        note->setText(why);
        return;
    }
    note->setText(tr("Standing: the centre of mass's floor point, along and across the way the "
                     "body faces, over %1 s.")
                      .arg((sway->frames - 1) * sway->frameTime, 0, 'f', 1));
    table->setRowCount(Sway::measureCount);
    for (int m = 0; m < Sway::measureCount; ++m) {
        table->setVerticalHeaderItem(m, new QTableWidgetItem(Sway::titleOf(Sway::Measure(m))));
        for (int d = 0; d < Sway::directionCount; ++d) {
            const double value = sway->value(Sway::Measure(m), Sway::Direction(d));
            auto* item = new QTableWidgetItem(Sway::text(Sway::Measure(m), value));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(m, d, item);
        }
    }
    note->setFixedWidth(WholeTable::fit(table));

    // The path on the floor, in millimetres, right to the right and forward up.
    QChart* path = plainChart(tr("Sway on the floor, 95 % ellipse"), tr("Across, right + (mm)"),
                              tr("Along, forward + (mm)"));
    auto* trace = new QLineSeries;
    double reach = 0;
    for (const Eigen::Vector2d& p : sway->path) {
        trace->append(p.y() * 1000, p.x() * 1000);
        reach = std::max(reach, p.norm() * 1000);
    }
    auto* ellipse = new QLineSeries;
    for (const Eigen::Vector2d& p : sway->ellipseOutline())
        ellipse->append(p.y() * 1000, p.x() * 1000);
    reach = std::max({reach, sway->value(Sway::EllipseMajorAxis) * 1000, 0.1}) * 1.1;
    add(path, trace, Qt::black, tr("Centre"));
    add(path, ellipse, QColor(200, 0, 200), tr("95 % ellipse"));
    // The same scale both ways, so that the ellipse keeps its shape.
    for (QAbstractAxis* axis : path->axes())
        roundTicks(axis, -reach, reach);

    QChart* time = plainChart(tr("Sway over time"), tr("Time (s)"), tr("From the mean (mm)"));
    auto* along = new QLineSeries;
    auto* across = new QLineSeries;
    for (size_t i = 0; i < sway->path.size(); ++i) {
        along->append(double(i) * sway->frameTime, sway->path[i].x() * 1000);
        across->append(double(i) * sway->frameTime, sway->path[i].y() * 1000);
    }
    add(time, along, QColor(230, 130, 0), tr("Along (AP)"));
    add(time, across, QColor(120, 60, 170), tr("Across (ML)"));
    roundTicks(time->axes(Qt::Horizontal).value(0), 0,
               double(sway->path.size() - 1) * sway->frameTime);
    roundTicks(time->axes(Qt::Vertical).value(0), -reach, reach);
    // A chart view lets go of its old chart without deleting it.
    for (const auto& [view, chart] : {std::pair{views[0], path}, {views[1], time}}) {
        QChart* old = view->chart();
        view->setChart(chart);
        delete old;
    }
}
