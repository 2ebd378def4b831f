#include "gaitplots.h"

#include "gait/gaitcycles.h"
#include "gait/gaitreference.h"
#include "gait/gaitscores.h"
#include "gait/strides.h"
#include "model/roundstep.h"
#include "tools/wholetable.h"

#include <QAreaSeries>
#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineSeries>
#include <QTableWidget>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

const QColor sideColours[2] = {QColor(Strides::sideColours[0]), QColor(Strides::sideColours[1])};

QChartView* cyclePlot(const GaitCycles& cycles, const GaitCycles::Curve& curve,
                      const GaitReference* reference)
{
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    auto* x = new QValueAxis;
    x->setRange(0, 100);
    x->setTickCount(6);
    x->setLabelFormat(QStringLiteral("%d"));
    x->setTitleText(QStringLiteral("Gait cycle (%)"));
    // "Knee flexion (deg)": the quantity as the title, its unit along the axis.
    const qsizetype unitStart = curve.title.indexOf(QStringLiteral(" ("));
    QFont titleFont = chart->titleFont();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setTitle(curve.title.left(unitStart));
    auto* y = new QValueAxis;
    y->setTitleText(unitStart < 0 ? QString() : curve.title.mid(unitStart + 1));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    double low = INFINITY, high = -INFINITY;
    const auto attach = [&](QAbstractSeries* series) {
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    };
    // The reference's mean ± 1 SD in grey behind the walk's curves: one band when the sides
    // are pooled.
    const GaitReference::Curve* drawn = nullptr;
    for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
        const GaitReference::Curve* normal =
            reference ? reference->curve(curve.name, foot) : nullptr;
        if (!normal || normal == drawn)
            continue;
        drawn = normal;
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        for (const GaitCycles::PlotPoint& point :
             GaitCycles::plotPoints(normal->mean, normal->sd)) {
            upper->append(point.percent, point.upper);
            lower->append(point.percent, point.lower);
            low = std::min(low, point.lower);
            high = std::max(high, point.upper);
        }
        auto* band = new QAreaSeries(upper, lower);
        band->setBrush(QColor(0, 0, 0, 40));
        band->setPen(Qt::NoPen);
        band->setName(QStringLiteral("Reference"));
        attach(band);
    }
    for (int side = 0; side < 2; ++side) {
        if (cycles.strideCount[size_t(side)] == 0)
            continue;
        auto* mean = new QLineSeries;
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        for (const GaitCycles::PlotPoint& point : GaitCycles::plotPoints(curve, side)) {
            mean->append(point.percent, point.mean);
            upper->append(point.percent, point.upper);
            lower->append(point.percent, point.lower);
            low = std::min(low, point.lower);
            high = std::max(high, point.upper);
        }
        auto* band = new QAreaSeries(upper, lower);
        QColor faint = sideColours[side];
        faint.setAlpha(55);
        band->setBrush(faint);
        band->setPen(Qt::NoPen);
        attach(band);
        mean->setPen(QPen(sideColours[side], 1.6));
        mean->setName(side == 0 ? QStringLiteral("Left") : QStringLiteral("Right"));
        attach(mean);
    }
    // At least a degree from bottom to top (a centimetre, or a centimetre a second, for the
    // centre's curves, in metres), so that a curve that hardly moves (an angle the walk keeps
    // at 0) reads as flat, not as noise blown up.
    const double least = curve.title.endsWith(QLatin1String("(deg)")) ? 1.0 : 0.01;
    if (!(low <= high)) {
        low = -least;
        high = least;
    } else if (high - low < least) {
        const double middle = (high + low) / 2;
        low = middle - least / 2;
        high = middle + least / 2;
    }
    const double pad = (high - low) * 0.05;
    y->setRange(low - pad, high + pad);
    // Ticks at round steps from 0, about four of them: more would crowd a short plot.
    const double rough = (high - low + 2 * pad) / 4;
    const double spacing = RoundStep::atLeast(rough);
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(spacing);
    // Fixed decimals, as many as the spacing needs.
    const int decimals = std::clamp(int(-std::floor(std::log10(spacing))), 0, 3);
    y->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
    for (int side = 0; side < 2; ++side) {
        const double toeOff = cycles.meanToeOffPercent[size_t(side)];
        if (cycles.strideCount[size_t(side)] == 0 || !std::isfinite(toeOff))
            continue;
        auto* line = new QLineSeries;
        line->append(toeOff, y->min());
        line->append(toeOff, y->max());
        line->setPen(QPen(sideColours[side], 1.0, Qt::DashLine));
        line->setName(QStringLiteral("Toe off"));
        attach(line);
    }
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(GaitPlots::minimumPlotWidth, GaitPlots::minimumPlotHeight);
    return view;
}

} // namespace

GaitPlots::GaitPlots(QWidget* parent) : QWidget(parent)
{
    // The table at the left, the curves beside it.
    note = new QLabel(this);
    table = new QTableWidget(0, 3, this);
    table->setHorizontalHeaderLabels({tr("Left"), tr("Right"), tr("Symmetry (%)")});
    QBoxLayout* layout = WholeTable::beside(this, note, table);
    grid = new QWidget(this);
    new QGridLayout(grid);
    layout->addWidget(grid, 1);
    setGait(nullptr, nullptr);
}

void GaitPlots::fillTable(const Strides* strides)
{
    table->setRowCount(0);
    if (!strides)
        return;
    table->setRowCount(Strides::parameterCount + 1);
    const auto set = [&](int row, const QString& title, const QStringList& cells) {
        table->setVerticalHeaderItem(row, new QTableWidgetItem(title));
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(cells.value(column));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(row, column, item);
        }
    };
    const std::vector<Strides::TableRow> rows = strides->table();
    for (size_t row = 0; row < rows.size(); ++row)
        set(int(row), rows[row].title, rows[row].cells);
    note->setFixedWidth(WholeTable::fit(table));
}

void GaitPlots::setGait(const Strides* strides, const GaitCycles* cycles,
                        const GaitReference* reference, const GaitScores* scores)
{
    qDeleteAll(views);
    views.clear();
    fillTable(strides);
    const bool any = strides && cycles && !strides->strides.empty();
    table->setVisible(strides != nullptr);
    QString text =
        !strides ? tr("No analysis.")
        : any    ? tr("Mean ± SD over the strides, left in red, right in green; "
                         "the mean toe off dashed.")
                 : tr("No stride: a stride runs from a foot strike to the next strike of the same "
                         "foot, with the other foot's off and strike and this foot's off between.");
    if (any && reference)
        text += tr(" In grey the reference's mean ± SD (%1).").arg(reference->describe());
    if (any && scores && !scores->isEmpty())
        text += QLatin1Char(' ') + scores->describe() + QLatin1Char('.');
    note->setText(text);
    if (!any)
        return;
    for (const GaitCycles::Curve& curve : cycles->curves)
        views.append(cyclePlot(*cycles, curve, reference));
    arrangedColumns = 0;
    arrange();
}

void GaitPlots::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}

void GaitPlots::arrange()
{
    const int room = width() - table->width() - 2 * layout()->spacing();
    const int fit = std::clamp(room / minimumPlotWidth, 1, columns);
    if (fit == arrangedColumns || views.isEmpty())
        return;
    arrangedColumns = fit;
    auto* plots = static_cast<QGridLayout*>(grid->layout());
    for (QChartView* view : std::as_const(views))
        plots->removeWidget(view);
    for (int index = 0; index < views.size(); ++index)
        plots->addWidget(views[index], index / fit, index % fit);
}
