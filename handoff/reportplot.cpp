#include "reportplot.h"

#include "model/roundstep.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qreal titleSize = 8.5;
constexpr qreal labelSize = 6.5;

// The finite bounds of every point, or nothing.
std::optional<QRectF> boundsOf(const ReportPlot& plot)
{
    double left = std::numeric_limits<double>::infinity(), right = -left, bottom = left,
           top = -left;
    const auto take = [&](const std::vector<QPointF>& points) {
        for (const QPointF& p : points) {
            if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
                continue;
            left = std::min(left, p.x());
            right = std::max(right, p.x());
            bottom = std::min(bottom, p.y());
            top = std::max(top, p.y());
        }
    };
    for (const ReportPlot::Curve& curve : plot.curves)
        take(curve.points);
    for (const ReportPlot::Band& band : plot.bands) {
        take(band.lower);
        take(band.upper);
    }
    if (!(left <= right))
        return std::nullopt;
    if (plot.xRange) {
        left = plot.xRange->first;
        right = plot.xRange->second;
    }
    if (right - left <= 1e-9 * std::max(std::abs(left), std::abs(right))) {
        left -= 0.5;
        right += 0.5;
    }
    // Flat, to within the rounding of the values: a band around them.
    if (top - bottom <= 1e-9 * std::max(std::abs(top), std::abs(bottom))) {
        const double half = std::max(0.5, std::abs(top) * 0.05);
        bottom -= half;
        top += half;
    }
    return QRectF(QPointF(left, bottom), QPointF(right, top));
}

QString tickText(double value, double step)
{
    if (std::abs(value) < step * 1e-9)
        value = 0;
    return QString::number(value, 'g', 6);
}

void drawMark(QPainter& painter, const QPointF& at, ReportPlot::Mark mark, qreal size)
{
    switch (mark) {
    case ReportPlot::Mark::Triangle: {
        const QPointF corners[3] = {at + QPointF(0, -size), at + QPointF(size, size * 0.8),
                                    at + QPointF(-size, size * 0.8)};
        painter.drawPolygon(corners, 3);
        break;
    }
    case ReportPlot::Mark::Square:
        painter.drawRect(QRectF(at - QPointF(size * 0.8, size * 0.8), QSizeF(size, size) * 1.6));
        break;
    case ReportPlot::Mark::Circle:
        painter.drawEllipse(at, size, size);
        break;
    case ReportPlot::Mark::None:
        break;
    }
}

} // namespace

std::vector<double> ReportPlot::ticks(double low, double high, int count)
{
    std::vector<double> values;
    if (!(high > low) || !std::isfinite(high - low) || count < 1)
        return values;
    const double step = RoundStep::atLeast((high - low) / count);
    const double first = std::ceil(low / step - 1e-9), last = std::floor(high / step + 1e-9);
    // A range a few rounding errors wide has steps the doubles cannot count in: no ticks.
    if (!(last - first <= 10.0 * count) || first + 1 == first)
        return values;
    for (double k = first; k <= last; ++k)
        values.push_back(k * step);
    return values;
}

void ReportPlot::draw(QPainter& painter, const QRectF& area) const
{
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(int(labelSize));
    const QFontMetricsF metrics(font);
    // The legend goes right of the title, or on a line of its own below it when they would meet.
    qreal legendWidth = 0;
    for (const Curve& curve : curves) {
        if (!curve.label.isEmpty())
            legendWidth += metrics.horizontalAdvance(curve.label) + 16;
    }
    // A title too long for the plot is set smaller, down to the labels' size.
    font.setBold(true);
    qreal size = titleSize;
    for (; size > labelSize; size -= 0.5) {
        font.setPixelSize(int(size));
        if (QFontMetricsF(font).horizontalAdvance(title) <= area.width())
            break;
    }
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QRectF titleRect(area.left(), area.top(), area.width(), titleSize * 1.6);
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(font).elidedText(title, Qt::ElideRight, area.width()));
    const bool legendBelow =
        legendWidth > 0 &&
        QFontMetricsF(font).horizontalAdvance(title) + legendWidth + 8 > area.width();
    const QRectF legendRect = titleRect.translated(0, legendBelow ? titleRect.height() * 0.8 : 0);
    font.setBold(false);
    font.setPixelSize(int(labelSize));
    painter.setFont(font);

    // The frame of the data: room for the tick labels and the axis titles.
    QRectF frame = area.adjusted(metrics.height() * 1.4 + metrics.horizontalAdvance("-0000.0"),
                                 legendRect.bottom() - area.top() + 2, -4, -metrics.height() * 2.6);
    const std::optional<QRectF> bounds = boundsOf(*this);
    painter.setPen(QPen(QColor(90, 90, 90), 0.5));
    if (!bounds || frame.width() <= 0 || frame.height() <= 0) {
        painter.drawRect(frame);
        painter.drawText(frame, Qt::AlignCenter, QStringLiteral("no data"));
        painter.restore();
        return;
    }
    QRectF data = *bounds;
    if (equalScale) {
        // Widen the shorter side so that a unit has one length on both axes.
        const double scale = std::max(data.width() / frame.width(), data.height() / frame.height());
        const QPointF centre = data.center();
        data = QRectF(0, 0, scale * frame.width(), scale * frame.height());
        data.moveCenter(centre);
    } else {
        const double margin = data.height() * 0.05;
        data.adjust(0, -margin, 0, margin);
    }
    const auto toPage = [&](const QPointF& p) {
        return QPointF(frame.left() + (p.x() - data.left()) / data.width() * frame.width(),
                       frame.bottom() - (p.y() - data.top()) / data.height() * frame.height());
    };
    const auto finite = [](const QPointF& p) {
        return std::isfinite(p.x()) && std::isfinite(p.y());
    };

    // Grid, ticks and their labels.
    const std::vector<double> xTicks = ticks(data.left(), data.right(), 6);
    const std::vector<double> yTicks = ticks(data.top(), data.bottom(), 4);
    const double xStep = xTicks.size() > 1 ? xTicks[1] - xTicks[0] : 1;
    const double yStep = yTicks.size() > 1 ? yTicks[1] - yTicks[0] : 1;
    for (const double x : xTicks) {
        const qreal px = toPage({x, data.top()}).x();
        painter.setPen(QPen(QColor(225, 225, 225), 0.4));
        painter.drawLine(QPointF(px, frame.top()), QPointF(px, frame.bottom()));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(px - 30, frame.bottom() + 1, 60, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, tickText(x, xStep));
    }
    for (const double y : yTicks) {
        const qreal py = toPage({data.left(), y}).y();
        painter.setPen(QPen(QColor(225, 225, 225), 0.4));
        painter.drawLine(QPointF(frame.left(), py), QPointF(frame.right(), py));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(frame.left() - 64, py - metrics.height() / 2, 62, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, tickText(y, yStep));
    }
    painter.setPen(QPen(QColor(90, 90, 90), 0.5));
    painter.drawRect(frame);
    painter.drawText(QRectF(frame.left(), frame.bottom() + metrics.height() * 1.2, frame.width(),
                            metrics.height()),
                     Qt::AlignHCenter | Qt::AlignTop, xTitle);
    painter.save();
    painter.translate(area.left() + metrics.height() * 0.2, frame.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-frame.height() / 2, 0, frame.height(), metrics.height()),
                     Qt::AlignHCenter | Qt::AlignTop,
                     metrics.elidedText(yTitle, Qt::ElideRight, frame.height()));
    painter.restore();

    painter.setClipRect(frame);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Band& band : bands) {
        // One polygon per run of finite points.
        const size_t n = std::min(band.lower.size(), band.upper.size());
        size_t start = 0;
        while (start < n) {
            while (start < n && !(finite(band.lower[start]) && finite(band.upper[start])))
                ++start;
            size_t end = start;
            while (end < n && finite(band.lower[end]) && finite(band.upper[end]))
                ++end;
            if (end > start + 1) {
                QPolygonF polygon;
                for (size_t i = start; i < end; ++i)
                    polygon << toPage(band.upper[i]);
                for (size_t i = end; i-- > start;)
                    polygon << toPage(band.lower[i]);
                painter.setPen(Qt::NoPen);
                painter.setBrush(band.colour);
                painter.drawPolygon(polygon);
            }
            start = end;
        }
    }
    for (const Vertical& vertical : verticals) {
        if (!std::isfinite(vertical.x))
            continue;
        const qreal px = toPage({vertical.x, data.top()}).x();
        painter.setPen(QPen(vertical.colour, 0.8, vertical.style));
        painter.drawLine(QPointF(px, frame.top()), QPointF(px, frame.bottom()));
    }
    for (const Curve& curve : curves) {
        painter.setPen(QPen(curve.colour, curve.width, curve.style));
        if (curve.mark != Mark::None) {
            painter.setBrush(curve.colour);
            for (const QPointF& p : curve.points) {
                if (finite(p))
                    drawMark(painter, toPage(p), curve.mark, 2.2);
            }
            continue;
        }
        painter.setBrush(Qt::NoBrush);
        QPainterPath path;
        bool drawing = false;
        for (const QPointF& p : curve.points) {
            if (!finite(p)) {
                drawing = false;
                continue;
            }
            if (drawing)
                path.lineTo(toPage(p));
            else
                path.moveTo(toPage(p));
            drawing = true;
        }
        painter.drawPath(path);
    }
    painter.setClipping(false);

    // The legend, in a row under the title at the right.
    qreal x = area.right();
    for (auto curve = curves.rbegin(); curve != curves.rend(); ++curve) {
        if (curve->label.isEmpty())
            continue;
        x -= metrics.horizontalAdvance(curve->label) + 16;
        const QPointF at(x + 5, legendRect.center().y());
        painter.setPen(QPen(curve->colour, std::max<qreal>(curve->width, 1.2), curve->style));
        painter.setBrush(curve->colour);
        if (curve->mark == Mark::None)
            painter.drawLine(at - QPointF(5, 0), at + QPointF(5, 0));
        else
            drawMark(painter, at, curve->mark, 2.2);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(x + 12, legendRect.top(),
                                metrics.horizontalAdvance(curve->label) + 2, legendRect.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, curve->label);
    }
    painter.restore();
}
