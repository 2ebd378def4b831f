#include "supportpolygon.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Point = SupportPolygon::Point;

// Positive when a -> b -> c turns counter-clockwise.
double turn(const Point& a, const Point& b, const Point& c)
{
    return (b.x() - a.x()) * (c.y() - a.y()) - (b.y() - a.y()) * (c.x() - a.x());
}

double distanceToSegment(const Point& p, const Point& a, const Point& b)
{
    const Point edge = b - a;
    const double length2 = edge.squaredNorm();
    const double t = length2 > 0 ? std::clamp((p - a).dot(edge) / length2, 0.0, 1.0) : 0.0;
    return (p - (a + t * edge)).norm();
}

} // namespace

// Andrew's monotone chain: the lower hull left to right, then the upper hull back.
SupportPolygon SupportPolygon::hullOf(std::span<const Point> points)
{
    std::vector<Point> sorted;
    sorted.reserve(points.size());
    for (const Point& point : points) {
        if (point.allFinite())
            sorted.push_back(point);
    }
    std::sort(sorted.begin(), sorted.end(), [](const Point& a, const Point& b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    SupportPolygon polygon;
    if (sorted.size() < 3) {
        polygon.corners = sorted;
        return polygon;
    }
    std::vector<Point>& hull = polygon.corners;
    hull.resize(2 * sorted.size());
    size_t k = 0;
    for (const Point& point : sorted) {
        while (k >= 2 && turn(hull[k - 2], hull[k - 1], point) <= 0)
            --k;
        hull[k++] = point;
    }
    for (size_t i = sorted.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && turn(hull[k - 2], hull[k - 1], sorted[i]) <= 0)
            --k;
        hull[k++] = sorted[i];
    }
    hull.resize(k - 1); // the last point is the first again
    return polygon;
}

double SupportPolygon::signedDistance(const Point& point) const
{
    if (corners.empty())
        return std::numeric_limits<double>::quiet_NaN();
    const size_t n = corners.size();
    if (n == 1)
        return -(point - corners[0]).norm();
    double nearest = std::numeric_limits<double>::infinity();
    bool inside = n >= 3;
    for (size_t i = 0; i < n; ++i) {
        const Point& a = corners[i];
        const Point& b = corners[(i + 1) % n];
        nearest = std::min(nearest, distanceToSegment(point, a, b));
        inside = inside && turn(a, b, point) > 0;
    }
    return inside ? nearest : -nearest;
}

double SupportPolygon::reachBeyond(const Point& point, const Point& direction) const
{
    if (corners.empty())
        return std::numeric_limits<double>::quiet_NaN();
    double farthest = -std::numeric_limits<double>::infinity();
    for (const Point& corner : corners)
        farthest = std::max(farthest, (corner - point).dot(direction));
    return farthest;
}
