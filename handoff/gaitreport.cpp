#include "gaitreport.h"

#include "gait/gaitcycles.h"
#include "gait/gaitreference.h"
#include "gait/gaitscores.h"
#include "gait/motionanalysis.h"
#include "gait/strides.h"
#include "gait/sway.h"
#include "handoff/reportplot.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"
#include "skeleton/motionsetup.h"

#include <QFileInfo>
#include <QHash>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <cmath>

namespace {

using Vector = MotionAnalysis::Vector;

// Gait software draws the left side red and the right green.
const QColor sideColours[2] = {QColor(Strides::sideColours[0]), QColor(Strides::sideColours[1])};
const QColor referenceGrey(0, 0, 0, 38); // a reference's band, behind the curves
constexpr qreal margin = 40;             // points, around the page
constexpr qreal resolution = 300;        // dots per inch of the PDF's drawing

QColor faint(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

QString number(double value, int decimals)
{
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QStringLiteral("–");
}

class Writer
{
public:
    Writer(QPainter& painter, const GaitReport::Content& content, QSizeF page)
        : painter(painter), c(content), a(*content.analysis), page(page)
    {
    }

    void header(const QString& title);
    void skeleton(const QRectF& area);
    void table(const QRectF& area);
    void timePlots(const QRectF& area);
    void cyclePlots(const QRectF& area);
    void movementAnalysisProfile(const QRectF& area);
    void balance(const QRectF& area);

    QRectF body(qreal top) const
    {
        return QRectF(margin, top, page.width() - 2 * margin, page.height() - margin - top);
    }

private:
    void setFont(qreal size, bool bold = false)
    {
        QFont font = painter.font();
        font.setPixelSize(int(size));
        font.setBold(bold);
        painter.setFont(font);
    }
    // Lengths are shown in metres: one of the motion's units is this many.
    double metres() const { return c.setup->unit.metresPerUnit(); }
    // The strikes of one foot as vertical lines at their times.
    std::vector<ReportPlot::Vertical> strikeLines() const;

    QPainter& painter;
    const GaitReport::Content& c;
    const MotionAnalysis& a;
    QSizeF page;
};

void Writer::header(const QString& title)
{
    painter.setPen(Qt::black);
    setFont(14, true);
    painter.drawText(QRectF(margin, margin - 8, page.width() - 2 * margin, 20),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("%1: %2").arg(title, QFileInfo(c.source).fileName()));
    setFont(7.5);
    // What was analysed: the frames, or what was left out of them and what was kept.
    QString frames = QStringLiteral("Frames %1 to %2").arg(a.range.first).arg(a.range.last);
    if (!a.restFrames.isEmpty())
        frames = a.restFrames.left(1).toUpper() + a.restFrames.mid(1);
    // Two lines: what was analysed, then how it was read.
    const QString lines[2] = {
        QStringLiteral("%1 (%2 s at %3 frames/s); %4 left and %5 right strides")
            .arg(frames, number(a.range.count() * a.frameTime, 2), number(1.0 / a.frameTime, 0))
            .arg(c.strides->count(GaitEvent::Left))
            .arg(c.strides->count(GaitEvent::Right)),
        QStringLiteral("%1 profile, %2; lengths in m (the file's unit: %3)")
            .arg(c.setup->profile.title.isEmpty() ? c.setup->profile.name : c.setup->profile.title,
                 c.setup->originText(), c.setup->unit.name)};
    for (int k = 0; k < 2; ++k)
        painter.drawText(QRectF(margin, margin + 10 + 9 * k, page.width() - 2 * margin, 9),
                         Qt::AlignLeft | Qt::AlignVCenter, lines[k]);
}

void Writer::skeleton(const QRectF& area)
{
    const int frame = c.frame;
    const std::span<const double> row = c.motion->frames[frame];
    PoseEvaluator pose(c.motion->root, c.setup->convention);
    pose.evaluateRow(row);
    const QList<BvhJoint*>& joints = pose.getJoints();
    QHash<const BvhJoint*, qsizetype> indexOf;
    for (qsizetype i = 0; i < joints.size(); ++i)
        indexOf.insert(joints[i], i);
    const int index = a.indexOf(frame);
    const Vector forward = index >= 0 ? a.walkingDirection[size_t(index)] : a.up.unitOrthogonal();
    const Vector left = a.up.cross(forward);

    const auto view = [&](const Vector& across, const QString& title) {
        ReportPlot plot;
        plot.title = title;
        plot.equalScale = true;
        plot.xTitle = QStringLiteral("(m)");
        plot.yTitle = QStringLiteral("Height (m)");
        const auto place = [&](const Vector& p) {
            return QPointF(p.dot(across) * metres(), p.dot(a.up) * metres());
        };
        QPointF low(1e300, 0), high(-1e300, 0);
        for (qsizetype i = 0; i < joints.size(); ++i) {
            const Vector p = pose.getPosition(i).cast<double>();
            low.setX(std::min(low.x(), place(p).x()));
            high.setX(std::max(high.x(), place(p).x()));
            const auto parent = indexOf.constFind(joints[i]->getParentJoint());
            if (parent == indexOf.cend())
                continue;
            plot.curves.push_back({{place(pose.getPosition(*parent).cast<double>()), place(p)},
                                   QColor(60, 60, 60),
                                   {},
                                   1.4});
        }
        // The floor under the body, its slope drawn level.
        const double floor = a.floorHeightAt(pose.getPosition(0).cast<double>()) * metres();
        plot.curves.push_back({{QPointF(low.x() - 0.1, floor), QPointF(high.x() + 0.1, floor)},
                               QColor(150, 150, 150),
                               {},
                               0.6,
                               Qt::DashLine});
        if (index >= 0) {
            plot.curves.push_back({{place(a.centre[size_t(index)])},
                                   QColor(200, 0, 200),
                                   QStringLiteral("Centre of mass"),
                                   1,
                                   Qt::SolidLine,
                                   ReportPlot::Mark::Circle});
            plot.curves.push_back({{place(a.extrapolatedCentre[size_t(index)])},
                                   QColor(0, 160, 0),
                                   QStringLiteral("Extrapolated centre"),
                                   1,
                                   Qt::SolidLine,
                                   ReportPlot::Mark::Circle});
        }
        return plot;
    };
    const qreal half = area.width() / 2;
    view(forward, QStringLiteral("Frame %1 from the side (walking to the right)").arg(frame))
        .draw(painter, QRectF(area.left(), area.top(), half - 6, area.height()));
    view(left, QStringLiteral("From the front"))
        .draw(painter, QRectF(area.left() + half + 6, area.top(), half - 6, area.height()));
}

void Writer::table(const QRectF& area)
{
    const Strides& s = *c.strides;
    setFont(9, true);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), 14), Qt::AlignLeft,
                     QStringLiteral("Spatiotemporal parameters"));
    const qreal rowHeight = 13;
    const qreal columns[5] = {0, 0.38, 0.58, 0.78, 1.0};
    const auto cellRect = [&](int row, int column) {
        return QRectF(area.left() + columns[column] * area.width() + 3,
                      area.top() + 16 + row * rowHeight,
                      (columns[column + 1] - columns[column]) * area.width() - 6, rowHeight);
    };
    const QStringList heads = {QStringLiteral("Parameter"), QStringLiteral("Left (mean ± SD)"),
                               QStringLiteral("Right (mean ± SD)"),
                               QStringLiteral("Symmetry index (%)")};
    setFont(7.5, true);
    for (int column = 0; column < 4; ++column)
        painter.drawText(cellRect(0, column),
                         (column == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                         heads[column]);
    setFont(7.5);
    int row = 1;
    const auto line = [&](const QString& name, const QString& leftText, const QString& rightText,
                          const QString& index) {
        if (row % 2 == 1)
            painter.fillRect(QRectF(area.left(), cellRect(row, 0).top(), area.width(), rowHeight),
                             QColor(242, 242, 242));
        painter.setPen(Qt::black);
        const QString texts[4] = {name, leftText, rightText, index};
        for (int column = 0; column < 4; ++column)
            painter.drawText(cellRect(row, column),
                             (column == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                             texts[column]);
        ++row;
    };
    for (const Strides::TableRow& tableRow : s.table())
        line(tableRow.title, tableRow.cells.value(0), tableRow.cells.value(1),
             tableRow.cells.value(2));
    painter.setPen(QPen(QColor(120, 120, 120), 0.5));
    painter.drawLine(QPointF(area.left(), area.top() + 16 + rowHeight),
                     QPointF(area.right(), area.top() + 16 + rowHeight));
}

std::vector<ReportPlot::Vertical> Writer::strikeLines() const
{
    std::vector<ReportPlot::Vertical> lines;
    for (const GaitEvent& event : a.events) {
        if (event.kind == GaitEvent::FootStrike)
            lines.push_back(
                {event.frame * a.frameTime, faint(sideColours[event.foot], 110), Qt::DotLine});
    }
    return lines;
}

void Writer::timePlots(const QRectF& area)
{
    const qreal gap = 14;
    const qreal height = (area.height() - 2 * gap) / 3;
    const auto time = [&](size_t i) { return (a.range.first + double(i)) * a.frameTime; };

    ReportPlot centre;
    centre.title = QStringLiteral("Centre of mass");
    centre.xTitle = QStringLiteral("Time (s)");
    centre.yTitle = QStringLiteral("Height above the floor (m)");
    ReportPlot::Curve height_{{}, Qt::black, QStringLiteral("Height"), 1.0};
    for (size_t i = 0; i < a.centre.size(); ++i)
        height_.points.emplace_back(time(i), a.heightAboveFloor(a.centre[i]) * metres());
    centre.curves.push_back(height_);
    centre.verticals = strikeLines();
    centre.draw(painter, QRectF(area.left(), area.top(), area.width(), height));

    // The floor seen from above, along the way the body went overall.
    ReportPlot floor;
    floor.title = QStringLiteral("Centre and extrapolated centre on the floor, foot strikes");
    floor.equalScale = true;
    Vector along = a.horizontal(a.centre.back() - a.centre.front());
    along = along.norm() > 0 ? along.normalized() : a.walkingDirection.front();
    const Vector across = along.cross(a.up);
    floor.xTitle = QStringLiteral("Along the walk (m)");
    floor.yTitle = QStringLiteral("Across, right + (m)");
    const auto onFloor = [&](const Vector& p) {
        return QPointF(p.dot(along) * metres(), p.dot(across) * metres());
    };
    ReportPlot::Curve path{{}, Qt::black, QStringLiteral("Centre"), 1.0};
    ReportPlot::Curve xcom{{}, QColor(0, 160, 0), QStringLiteral("Extrapolated centre"), 0.8};
    for (size_t i = 0; i < a.centre.size(); ++i) {
        path.points.push_back(onFloor(a.centre[i]));
        xcom.points.push_back(onFloor(a.extrapolatedCentre[i]));
    }
    floor.curves = {path, xcom};
    if (a.hasFeet) {
        for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
            ReportPlot::Curve strikes{{},
                                      sideColours[foot],
                                      foot == GaitEvent::Left ? QStringLiteral("Left strike")
                                                              : QStringLiteral("Right strike"),
                                      1,
                                      Qt::SolidLine,
                                      ReportPlot::Mark::Triangle};
            for (const GaitEvent& event : a.events) {
                if (event.foot == foot && event.kind == GaitEvent::FootStrike)
                    strikes.points.push_back(onFloor(a.feet[size_t(foot)][MotionAnalysis::Heel]
                                                           [size_t(a.indexOf(event.frame))]));
            }
            floor.curves.push_back(strikes);
        }
    }
    floor.draw(painter, QRectF(area.left(), area.top() + height + gap, area.width(), height));

    ReportPlot margins;
    margins.title = QStringLiteral("Margin of stability");
    margins.xTitle = QStringLiteral("Time (s)");
    margins.yTitle = QStringLiteral("Margin (m)");
    const std::vector<double>* tracks[3] = {&a.margin, &a.marginAlong, &a.marginAcross};
    const QString labels[3] = {QStringLiteral("Margin"), QStringLiteral("Along"),
                               QStringLiteral("Across")};
    const QColor colours[3] = {Qt::black, QColor(230, 130, 0), QColor(120, 60, 170)};
    for (int k = 0; k < 3; ++k) {
        ReportPlot::Curve curve{{}, colours[k], labels[k], k == 0 ? 1.0 : 0.7};
        for (size_t i = 0; i < tracks[k]->size(); ++i)
            curve.points.emplace_back(time(i), (*tracks[k])[i] * metres());
        margins.curves.push_back(curve);
    }
    margins.verticals = strikeLines();
    margins.draw(painter,
                 QRectF(area.left(), area.top() + 2 * (height + gap), area.width(), height));
}

void Writer::cyclePlots(const QRectF& area)
{
    const GaitCycles& cycles = *c.cycles;
    const int columns = 3;
    const int rows = std::max(1, int((cycles.curves.size() + columns - 1) / columns));
    const qreal gap = 10;
    const qreal width = (area.width() - (columns - 1) * gap) / columns;
    const qreal height = std::min<qreal>(150, (area.height() - (rows - 1) * gap) / rows);
    for (size_t k = 0; k < cycles.curves.size(); ++k) {
        const GaitCycles::Curve& curve = cycles.curves[k];
        // "Height of the centre of mass (cm)": the quantity above, its unit along the axis.
        ReportPlot plot;
        const qsizetype unitStart = curve.title.indexOf(QStringLiteral(" ("));
        plot.title = curve.title.left(unitStart);
        plot.yTitle = unitStart < 0 ? QString() : curve.title.mid(unitStart + 1);
        plot.xTitle = QStringLiteral("Gait cycle (%)");
        plot.xRange = {0.0, 100.0};
        // The reference's band first, behind the walk's: one when the sides are pooled.
        const GaitReference::Curve* drawn = nullptr;
        for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
            const GaitReference::Curve* normal =
                c.reference ? c.reference->curve(curve.name, foot) : nullptr;
            if (!normal || normal == drawn)
                continue;
            drawn = normal;
            ReportPlot::Band band{{}, {}, referenceGrey};
            for (const GaitCycles::PlotPoint& point :
                 GaitCycles::plotPoints(normal->mean, normal->sd)) {
                band.lower.emplace_back(point.percent, point.lower);
                band.upper.emplace_back(point.percent, point.upper);
            }
            plot.bands.push_back(band);
        }
        for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
            if (cycles.strideCount[size_t(foot)] == 0)
                continue;
            ReportPlot::Band band{{}, {}, faint(sideColours[foot], 55)};
            ReportPlot::Curve mean{{},
                                   sideColours[foot],
                                   k == 0 ? (foot == GaitEvent::Left ? QStringLiteral("Left")
                                                                     : QStringLiteral("Right"))
                                          : QString(),
                                   1.1};
            for (const GaitCycles::PlotPoint& point : GaitCycles::plotPoints(curve, foot)) {
                mean.points.emplace_back(point.percent, point.mean);
                band.lower.emplace_back(point.percent, point.lower);
                band.upper.emplace_back(point.percent, point.upper);
            }
            plot.bands.push_back(band);
            plot.curves.push_back(mean);
            plot.verticals.push_back(
                {cycles.meanToeOffPercent[size_t(foot)], sideColours[foot], Qt::DashLine});
        }
        const int row = int(k) / columns, column = int(k) % columns;
        plot.draw(painter, QRectF(area.left() + column * (width + gap),
                                  area.top() + row * (height + gap), width, height));
    }
}

// The Movement Analysis Profile: each variable's score as a bar per side, then the profile
// scores of each side and overall.
void Writer::movementAnalysisProfile(const QRectF& area)
{
    const GaitScores& scores = *c.scores;
    struct Group
    {
        QString title;
        std::array<double, 2> sides;
        double both;
    };
    std::vector<Group> groups;
    for (const GaitScores::Score& score : scores.scores)
        groups.push_back({JointAngles::titleOf(score.variable), score.gvs,
                          std::numeric_limits<double>::quiet_NaN()});
    groups.push_back({QStringLiteral("GPS"), scores.gps, scores.overall});
    double highest = 1;
    for (const Group& group : groups) {
        for (const double value : {group.sides[0], group.sides[1], group.both}) {
            if (std::isfinite(value))
                highest = std::max(highest, value);
        }
    }
    const std::vector<double> ticks = ReportPlot::ticks(0, highest, 5);
    const double top = std::max(highest, ticks.empty() ? highest : ticks.back());
    const QRectF plot(area.left() + 40, area.top() + 20, area.width() - 50, area.height() * 0.55);
    const auto y = [&](double value) { return plot.bottom() - value / top * plot.height(); };
    setFont(9, true);
    painter.setPen(Qt::black);
    painter.drawText(
        QRectF(area.left(), area.top(), area.width(), 14), Qt::AlignLeft,
        QStringLiteral("Movement Analysis Profile against %1 (%2)")
            .arg(c.reference ? c.reference->describe() : QString(), scores.describe()));
    setFont(6.5);
    for (const double tick : ticks) {
        painter.setPen(QPen(QColor(225, 225, 225), 0.4));
        painter.drawLine(QPointF(plot.left(), y(tick)), QPointF(plot.right(), y(tick)));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(plot.left() - 34, y(tick) - 5, 30, 10),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(tick));
    }
    painter.save();
    painter.translate(area.left() + 6, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-60, -6, 120, 12), Qt::AlignCenter,
                     QStringLiteral("Variable score (deg)"));
    painter.restore();
    const qreal slot = plot.width() / qreal(groups.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        const Group& group = groups[g];
        const bool last = g + 1 == groups.size();
        const int bars = last ? 3 : 2;
        const qreal width = slot * 0.7 / bars;
        const qreal first = plot.left() + slot * qreal(g) + slot * 0.15;
        const double values[3] = {group.sides[0], group.sides[1], group.both};
        const QColor colours[3] = {sideColours[0], sideColours[1], QColor(90, 90, 90)};
        for (int b = 0; b < bars; ++b) {
            if (!std::isfinite(values[b]))
                continue;
            const QRectF bar(first + b * width, y(values[b]), width * 0.9,
                             plot.bottom() - y(values[b]));
            painter.fillRect(bar, colours[b]);
            painter.setPen(Qt::black);
            painter.drawText(QRectF(bar.left() - 4, bar.top() - 10, bar.width() + 8, 9),
                             Qt::AlignCenter | Qt::AlignBottom, QString::number(values[b], 'f', 1));
        }
        painter.save();
        painter.translate(plot.left() + slot * (qreal(g) + 0.5), plot.bottom() + 4);
        painter.rotate(-35);
        painter.drawText(QRectF(-110, 0, 110, 10), Qt::AlignRight | Qt::AlignVCenter, group.title);
        painter.restore();
    }
    painter.setPen(QPen(Qt::black, 0.6));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    // The legend and what was left out.
    qreal line = plot.bottom() + 70;
    const QString names[3] = {QStringLiteral("Left"), QStringLiteral("Right"),
                              QStringLiteral("Overall (the pelvis once)")};
    const QColor colours[3] = {sideColours[0], sideColours[1], QColor(90, 90, 90)};
    for (int k = 0; k < 3; ++k) {
        painter.fillRect(QRectF(area.left() + 40 + k * 120, line, 8, 8), colours[k]);
        painter.drawText(QRectF(area.left() + 52 + k * 120, line - 1, 110, 10),
                         Qt::AlignLeft | Qt::AlignVCenter, names[k]);
    }
    for (const QString& note : scores.notes) {
        line += 12;
        painter.drawText(QRectF(area.left() + 40, line, area.width() - 40, 10),
                         Qt::AlignLeft | Qt::AlignVCenter, note.left(1).toUpper() + note.mid(1));
    }
}

// A standing trial: the sway on the floor with its ellipse, its components over time, and the
// measures.
void Writer::balance(const QRectF& area)
{
    const Sway& sway = *c.sway;
    const qreal gap = 14;
    const qreal plotHeight = (area.height() - 150) / 2;
    ReportPlot path;
    path.title = QStringLiteral("Sway of the centre of mass on the floor, 95 % ellipse");
    path.equalScale = true;
    path.xTitle = QStringLiteral("Across, right + (mm)");
    path.yTitle = QStringLiteral("Along, forward + (mm)");
    ReportPlot::Curve trace{{}, Qt::black, QStringLiteral("Centre"), 0.6};
    for (const Eigen::Vector2d& p : sway.path)
        trace.points.emplace_back(p.y() * 1000, p.x() * 1000);
    ReportPlot::Curve ellipse{{}, QColor(200, 0, 200), QStringLiteral("95 % ellipse"), 1.0};
    for (const Eigen::Vector2d& p : sway.ellipseOutline())
        ellipse.points.emplace_back(p.y() * 1000, p.x() * 1000);
    path.curves = {trace, ellipse};
    path.draw(painter, QRectF(area.left(), area.top(), area.width(), plotHeight));

    ReportPlot components;
    components.title = QStringLiteral("Sway along and across the way the body faces");
    components.xTitle = QStringLiteral("Time (s)");
    components.yTitle = QStringLiteral("From the mean (mm)");
    ReportPlot::Curve along{{}, QColor(230, 130, 0), QStringLiteral("Along (AP)"), 0.8};
    ReportPlot::Curve across{{}, QColor(120, 60, 170), QStringLiteral("Across (ML)"), 0.8};
    for (size_t i = 0; i < sway.path.size(); ++i) {
        const double time = (a.range.first + double(i)) * a.frameTime;
        along.points.emplace_back(time, sway.path[i].x() * 1000);
        across.points.emplace_back(time, sway.path[i].y() * 1000);
    }
    components.curves = {along, across};
    components.draw(painter,
                    QRectF(area.left(), area.top() + plotHeight + gap, area.width(), plotHeight));

    // The measures: resultant, along and across.
    const qreal top = area.top() + 2 * (plotHeight + gap);
    const qreal columns[4] = {0, 0.46, 0.64, 0.82};
    const qreal rowHeight = 11;
    setFont(7.5, true);
    painter.setPen(Qt::black);
    const QString heads[4] = {QStringLiteral("Sway measure"), QStringLiteral("Resultant"),
                              QStringLiteral("Along (AP)"), QStringLiteral("Across (ML)")};
    for (int k = 0; k < 4; ++k)
        painter.drawText(QRectF(area.left() + columns[k] * area.width(), top, 110, rowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, heads[k]);
    setFont(7.5);
    for (int m = 0; m < Sway::measureCount; ++m) {
        const qreal rowTop = top + (m + 1) * rowHeight;
        painter.drawText(QRectF(area.left(), rowTop, 220, rowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, Sway::titleOf(Sway::Measure(m)));
        for (int d = 0; d < Sway::directionCount; ++d) {
            const double value = sway.value(Sway::Measure(m), Sway::Direction(d));
            painter.drawText(
                QRectF(area.left() + columns[d + 1] * area.width(), rowTop, 110, rowHeight),
                Qt::AlignLeft | Qt::AlignVCenter, Sway::text(Sway::Measure(m), value));
        }
    }
}

} // namespace

int GaitReport::defaultFrame(const MotionAnalysis& analysis, const Strides& strides)
{
    return strides.strides.empty() ? analysis.range.first : strides.strides.front().strike;
}

WriteResult GaitReport::write(const QString& fileName, const Content& content)
{
    if (!content.analysis || !content.analysis->ok() || !content.motion || !content.setup ||
        !content.strides || !content.cycles)
        return WriteResult::failure(fileName, QStringLiteral("There is no analysis to report."));
    GaitReport::Content c = content;
    if (c.frame < 0 || c.frame >= c.motion->rowCount())
        c.frame = defaultFrame(*c.analysis, *c.strides);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return WriteResult::failure(fileName, file.errorString());
    {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(int(resolution));
        pdf.setTitle(QStringLiteral("Gait report: %1").arg(QFileInfo(c.source).fileName()));
        pdf.setCreator(QStringLiteral("Kinovane"));
        QPainter painter(&pdf);
        if (!painter.isActive())
            return WriteResult::failure(fileName, QStringLiteral("The PDF cannot be drawn."));
        painter.scale(resolution / 72, resolution / 72);
        const QSizeF page(pdf.width() * 72 / resolution, pdf.height() * 72 / resolution);
        Writer writer(painter, c, page);

        writer.header(QStringLiteral("Gait report"));
        writer.skeleton(QRectF(margin, margin + 32, page.width() - 2 * margin, 300));
        writer.table(writer.body(margin + 350));
        pdf.newPage();
        writer.header(QStringLiteral("Centre of mass and stability"));
        writer.timePlots(writer.body(margin + 32));
        pdf.newPage();
        if (c.sway) {
            writer.header(QStringLiteral("Balance"));
            writer.balance(writer.body(margin + 32));
        } else {
            writer.header(QStringLiteral("Gait cycle"));
            writer.cyclePlots(writer.body(margin + 32));
        }
        if (c.scores) {
            pdf.newPage();
            writer.header(QStringLiteral("Movement Analysis Profile"));
            writer.movementAnalysisProfile(writer.body(margin + 32));
        }
    }
    return WriteResult::commit(file);
}
