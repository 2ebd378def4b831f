#pragma once

#include <Eigen/Core>

#include <span>
#include <vector>

// A convex polygon in the floor plane: the base of support of a standing body, the hull of the
// floor points of the feet in contact.
class SupportPolygon
{
public:
    using Point = Eigen::Vector2d;

    SupportPolygon() = default;
    // The convex hull of `points` (corners counter-clockwise, none on a straight edge). Two or
    // more equal points count once; points that are not finite are left out.
    static SupportPolygon hullOf(std::span<const Point> points);

    bool isEmpty() const { return corners.empty(); }
    const std::vector<Point>& getCorners() const { return corners; }

    // How far `point` lies inside the polygon: the distance to the nearest edge, positive
    // inside and negative outside. A polygon of one or two corners (a point, a segment) has no
    // inside, so every point is outside it. NaN for an empty polygon.
    double signedDistance(const Point& point) const;
    // How far the polygon reaches beyond `point` in `direction` (a unit vector): its farthest
    // corner in that direction less the point, negative when the whole polygon lies behind the
    // point. NaN for an empty polygon.
    double reachBeyond(const Point& point, const Point& direction) const;

private:
    std::vector<Point> corners;
};
