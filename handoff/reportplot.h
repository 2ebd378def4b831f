#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

class QPainter;

// A plot drawn with a painter on a printed page: a title, axes with round ticks and their
// titles, bands between two curves, curves (or marks), vertical lines and a legend. Points
// that are not finite break a curve.
struct ReportPlot
{
    enum class Mark
    {
        None, // a line through the points
        Triangle,
        Square,
        Circle
    };
    struct Curve
    {
        std::vector<QPointF> points;
        QColor colour;
        QString label; // in the legend; empty: not listed
        qreal width = 1.0;
        Qt::PenStyle style = Qt::SolidLine;
        Mark mark = Mark::None;
    };
    struct Band
    {
        std::vector<QPointF> lower, upper; // at the same x
        QColor colour;
    };
    struct Vertical
    {
        double x = 0.0;
        QColor colour;
        Qt::PenStyle style = Qt::DashLine;
    };

    QString title, xTitle, yTitle;
    std::vector<Band> bands;
    std::vector<Curve> curves;
    std::vector<Vertical> verticals;
    std::optional<std::pair<double, double>> xRange; // none: that of the points
    bool equalScale = false; // one unit as long on both axes (a map of the floor)

    void draw(QPainter& painter, const QRectF& area) const;

    // Round tick values covering [low, high], about `count` of them.
    static std::vector<double> ticks(double low, double high, int count);
};
