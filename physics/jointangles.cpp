#include "jointangles.h"

#include "model/bvhjoint.h"
#include "physics/skeletonprofile.h"

#include <Eigen/Geometry>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

using Vector = JointAngles::Vector;
using Matrix = Eigen::Matrix3d;
using A = JointAngles::Angle;
using P = JointAngles::Point;

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double degreesPerRadian = 180.0 / std::numbers::pi;

// The points of one side as the right side sees them: `near` the side's own, `far` the other.
struct SidePoints
{
    Vector top, nearHip, farHip, knee, ankle, toe, neck, nearShoulder, farShoulder;
};

// The segments each side has a frame for.
enum Segment
{
    Pelvis,
    Thigh,
    Shank,
    Trunk,
    segmentCount
};

const Matrix invalidFrame = Matrix::Constant(notANumber);

// A frame whose `first` axis (0, 1 or 2 for X, Y, Z) runs along `along` and whose `second`
// axis lies in the plane of `along` and `towards`; the third completes a right-handed frame.
// NaN when the two do not span a plane.
Matrix frameOf(const Vector& along, int first, const Vector& towards, int second)
{
    const double length = along.norm();
    if (!(length > 0))
        return invalidFrame;
    const Vector a = along / length;
    const Vector b = towards - towards.dot(a) * a;
    if (!(b.norm() > 1e-9 * length))
        return invalidFrame;
    Matrix frame;
    frame.col(first) = a;
    frame.col(second) = b.normalized();
    const int third = 3 - first - second;
    // X = Y x Z, Y = Z x X, Z = X x Y.
    frame.col(third) = frame.col((third + 1) % 3).cross(frame.col((third + 2) % 3));
    return frame;
}

// The angle between two lines, in degrees.
double angleBetween(const Vector& a, const Vector& b)
{
    return std::acos(std::clamp(a.normalized().dot(b.normalized()), -1.0, 1.0)) * degreesPerRadian;
}

// The segment frames of one side as the points give them. The thigh and shank run along the
// lines between their joint centres, each taking its sideways axis from the segment above
// (`pelvis`, `thigh` when given: the anatomical frames); the pelvis and trunk frames need the
// calibration of the rest pose.
struct SegmentFrames
{
    const SidePoints& p;

    Vector midHip() const { return (p.nearHip + p.farHip) / 2; }
    Matrix pelvis() const { return frameOf(p.nearHip - p.farHip, 2, p.top - midHip(), 1); }
    Matrix thigh(const Matrix& pelvis) const
    {
        return frameOf(p.nearHip - p.knee, 1, pelvis.col(2), 2);
    }
    Matrix shank(const Matrix& thigh) const
    {
        return frameOf(p.knee - p.ankle, 1, thigh.col(2), 2);
    }
    Matrix trunk() const
    {
        return frameOf(p.neck - midHip(), 1, p.nearShoulder - p.farShoulder, 2);
    }
};

// What the rest pose says of a side's neutral posture.
struct Calibration
{
    Matrix pelvis, trunk;
    double ankle = 90.0; // the angle between the shank and the foot's line in the rest pose
};
// The anatomical frames of one side: those of SegmentFrames, the pelvis and trunk turned by
// their calibrations.
std::array<Matrix, segmentCount> anatomicalFrames(const SidePoints& points,
                                                  const Calibration& calibration)
{
    const SegmentFrames frames{points};
    std::array<Matrix, segmentCount> result;
    result[Pelvis] = frames.pelvis() * calibration.pelvis;
    result[Thigh] = frames.thigh(result[Pelvis]);
    result[Shank] = frames.shank(result[Thigh]);
    result[Trunk] = frames.trunk() * calibration.trunk;
    return result;
}

// In the rest pose, seen in its own walking frame, the pelvis and trunk stand upright and the
// foot is at its neutral angle to the shank, so that those angles are 0 there.
Calibration calibrationOf(const SidePoints& rest)
{
    const SegmentFrames frames{rest};
    Calibration c;
    c.pelvis = frames.pelvis().transpose();
    c.trunk = frames.trunk().transpose();
    c.ankle = angleBetween(rest.knee - rest.ankle, rest.toe - rest.ankle);
    return c;
}

// The Cardan angles Z, X, Y (radians) of R = Rz(a) Rx(b) Ry(c).
Vector cardanZXY(const Matrix& r)
{
    const double b = std::asin(std::clamp(r(2, 1), -1.0, 1.0));
    return {std::atan2(-r(0, 1), r(1, 1)), b, std::atan2(-r(2, 0), r(2, 2))};
}

// The points of `side` in the frame `axes` (columns X forward, Y up, Z right), the left side
// mirrored through the sagittal plane.
template <typename PointAt> SidePoints sidePoints(const PointAt& at, const Matrix& axes, int side)
{
    const bool left = side == 0;
    const auto local = [&](P point) {
        Vector v = axes.transpose() * at(point);
        if (left)
            v.z() = -v.z();
        return v;
    };
    return {local(P::PelvisTop),
            local(left ? P::LeftHip : P::RightHip),
            local(left ? P::RightHip : P::LeftHip),
            local(left ? P::LeftKnee : P::RightKnee),
            local(left ? P::LeftAnkle : P::RightAnkle),
            local(left ? P::LeftToe : P::RightToe),
            local(P::Neck),
            local(left ? P::LeftShoulder : P::RightShoulder),
            local(left ? P::RightShoulder : P::LeftShoulder)};
}

// The walking frame of the rest pose: up along the world's up axis, or along the body (hips to
// neck, or ankles to hips) when the rest pose does not stand on it; across along the hips.
Matrix restAxes(const std::array<Vector, JointAngles::pointCount>& rest, const Vector& worldUp)
{
    const Vector midHip = (rest[P::LeftHip] + rest[P::RightHip]) / 2;
    Vector body = rest[P::Neck] - midHip;
    if (!body.allFinite() || !(body.norm() > 0))
        body = midHip - (rest[P::LeftAnkle] + rest[P::RightAnkle]) / 2;
    const double cos45 = std::sqrt(0.5);
    const Vector up = body.normalized().dot(worldUp) > cos45 ? worldUp : body;
    return frameOf(up, 1, rest[P::RightHip] - rest[P::LeftHip], 2);
}

// Whether the rest pose stands: the legs run down from the hips roughly along the body's line
// to the neck, square to the line of the hips. Some producers' rest pose is a bind pose with
// every bone along its own x axis, which says nothing of a neutral posture.
bool standsUpright(const std::array<Vector, JointAngles::pointCount>& rest)
{
    const Vector left = rest[P::LeftHip], right = rest[P::RightHip];
    const Vector up = rest[P::Neck] - (left + right) / 2;
    const double cos30 = std::sqrt(3.0) / 2;
    const auto along = [&](const Vector& a, const Vector& b) {
        return a.normalized().dot(b.normalized()) > cos30;
    };
    if (!along(left - rest[P::LeftAnkle], up) || !along(right - rest[P::RightAnkle], up))
        return false;
    return std::abs((right - left).normalized().dot(up.normalized())) < 0.5;
}

// Each angle's column name and its title in plots, in the order of Angle.
struct AngleText
{
    const char* name;
    const char* title;
};

constexpr AngleText angleTexts[JointAngles::angleCount] = {
    {"PELVIS_TILT", "Pelvis tilt"},
    {"PELVIS_OBLIQUITY", "Pelvis obliquity"},
    {"PELVIS_ROTATION", "Pelvis rotation"},
    {"HIP_FLEXION", "Hip flexion"},
    {"HIP_ADDUCTION", "Hip adduction"},
    {"KNEE_FLEXION", "Knee flexion"},
    {"ANKLE_DORSIFLEXION", "Ankle dorsiflexion"},
    {"TRUNK_FLEXION", "Trunk flexion"},
    {"TRUNK_LATERAL_BENDING", "Trunk lateral bending"},
    {"TRUNK_ROTATION", "Trunk rotation"}};

} // namespace

QString JointAngles::nameOf(Angle angle)
{
    return QLatin1String(angleTexts[angle].name);
}

QString JointAngles::titleOf(Angle angle)
{
    return QLatin1String(angleTexts[angle].title);
}

JointAngles::PointIndices JointAngles::pointIndices(const SkeletonProfile& profile,
                                                    const QList<BvhJoint*>& joints,
                                                    const std::vector<Vector>& rest)
{
    static const char* const landmarks[pointCount] = {
        "pelvis",      "left hip", "right hip", "left knee", "right knee",    "left ankle",
        "right ankle", "left toe", "right toe", "neck",      "left shoulder", "right shoulder"};
    PointIndices indices;
    for (int point = 0; point < pointCount; ++point)
        indices[size_t(point)] = profile.jointIndexFor(QLatin1String(landmarks[point]), joints);
    // A toe that falls back on the ankle gives the foot no length.
    for (const auto& [toe, ankle] : {std::pair{LeftToe, LeftAnkle}, {RightToe, RightAnkle}}) {
        if (indices[toe] == indices[ankle])
            indices[toe] = -1;
    }

    // The pelvis's third point: the pelvis joint, or where the spine leaves it when the joint
    // lies on the line of the hips (most skeletons hang the thighs straight off its sides).
    const int pelvis = indices[PelvisTop];
    indices[PelvisTop] = -1;
    if (pelvis < 0 || indices[LeftHip] < 0 || indices[RightHip] < 0 ||
        size_t(joints.size()) != rest.size())
        return indices;
    const Vector left = rest[size_t(indices[LeftHip])], right = rest[size_t(indices[RightHip])];
    const double width = (right - left).norm();
    const auto offLine = [&](int index) {
        const Vector v = rest[size_t(index)] - (left + right) / 2;
        const Vector across = (right - left).normalized();
        return width > 0 && (v - v.dot(across) * across).norm() > 0.1 * width;
    };
    if (offLine(pelvis)) {
        indices[PelvisTop] = pelvis;
        return indices;
    }
    if (indices[Neck] < 0)
        return indices;
    for (const BvhJoint* joint = joints[indices[Neck]]; joint; joint = joint->getParentJoint()) {
        if (joint->getParentJoint() == joints[pelvis]) {
            const int spine = int(joints.indexOf(joint));
            if (spine >= 0 && offLine(spine))
                indices[PelvisTop] = spine;
            break;
        }
    }
    return indices;
}

bool JointAngles::defines(const PointIndices& indices, Angle angle)
{
    const auto all = [&](std::initializer_list<Point> points) {
        for (const Point point : points) {
            if (indices[point] < 0)
                return false;
        }
        return true;
    };
    const bool pelvis = all({PelvisTop, LeftHip, RightHip});
    switch (angle) {
    case PelvisTilt:
    case PelvisObliquity:
    case PelvisRotation:
        return pelvis;
    case HipFlexion:
    case HipAdduction:
        return pelvis && all({LeftKnee, RightKnee});
    case KneeFlexion:
        return pelvis && all({LeftKnee, RightKnee, LeftAnkle, RightAnkle});
    case AnkleDorsiflexion:
        return pelvis && all({LeftKnee, RightKnee, LeftAnkle, RightAnkle, LeftToe, RightToe});
    case TrunkFlexion:
    case TrunkLateralBending:
    case TrunkRotation:
        return pelvis && all({Neck, LeftShoulder, RightShoulder});
    case angleCount:
        break;
    }
    return false;
}

int JointAngles::size() const
{
    for (const std::vector<double>& angle : degrees[0]) {
        if (!angle.empty())
            return int(angle.size());
    }
    return 0;
}

JointAngles JointAngles::compute(const std::array<std::span<const Vector>, pointCount>& tracks,
                                 const std::array<Vector, pointCount>& rest,
                                 std::span<const Vector> forward, const Vector& up)
{
    JointAngles result;
    PointIndices present;
    for (int point = 0; point < pointCount; ++point)
        present[size_t(point)] = tracks[size_t(point)].empty() ? -1 : point;
    const size_t n = forward.size();
    std::array<bool, angleCount> wanted{};
    bool any = false;
    for (int angle = 0; angle < angleCount; ++angle) {
        wanted[size_t(angle)] = defines(present, Angle(angle));
        any = any || wanted[size_t(angle)];
        for (int side = 0; side < 2 && wanted[size_t(angle)]; ++side)
            result.degrees[size_t(side)][size_t(angle)].assign(n, notANumber);
    }
    if (!any)
        return result;

    // A point the skeleton lacks reads as NaN, which only angles left out would use.
    std::array<Vector, pointCount> restPoints;
    for (size_t point = 0; point < pointCount; ++point)
        restPoints[point] = present[point] >= 0 ? rest[point] : Vector::Constant(notANumber);
    const auto restAt = [&](P point) { return restPoints[point]; };
    const Matrix restFrame = restAxes(restPoints, up);
    std::array<Calibration, 2> calibration;
    for (int side = 0; side < 2; ++side) {
        calibration[size_t(side)] = standsUpright(restPoints)
                                        ? calibrationOf(sidePoints(restAt, restFrame, side))
                                        : Calibration{Matrix::Identity(), Matrix::Identity(), 90.0};
    }

    for (size_t i = 0; i < n; ++i) {
        const Matrix walking = frameOf(forward[i], 0, up, 1);
        const auto pointAt = [&](P point) {
            return present[point] >= 0 ? tracks[point][i] : Vector::Constant(notANumber);
        };
        for (int side = 0; side < 2; ++side) {
            const SidePoints points = sidePoints(pointAt, walking, side);
            const std::array<Matrix, segmentCount> frames =
                anatomicalFrames(points, calibration[size_t(side)]);
            const auto angles = [&](Segment proximal, Segment distal) -> Vector {
                return cardanZXY(frames[proximal].transpose() * frames[distal]) * degreesPerRadian;
            };
            const Vector pelvis = cardanZXY(frames[Pelvis]) * degreesPerRadian;
            const Vector hip = angles(Pelvis, Thigh);
            // The knee and ankle bend by the angle between their segments' lines, which does
            // not depend on how the thigh turns about its length (which the centres do not
            // show): its sign is that of the flexion in the thigh's plane.
            const double knee = std::copysign(
                180.0 - angleBetween(points.nearHip - points.knee, points.ankle - points.knee),
                -angles(Thigh, Shank).x());
            const double ankle =
                calibration[size_t(side)].ankle -
                angleBetween(points.knee - points.ankle, points.toe - points.ankle);
            const Vector trunk = angles(Pelvis, Trunk);
            const std::array<double, angleCount> values = {
                -pelvis.x(), -pelvis.y(), pelvis.z(), hip.x(),   hip.y(),
                knee,        ankle,       -trunk.x(), trunk.y(), trunk.z()};
            for (int angle = 0; angle < angleCount; ++angle) {
                if (wanted[size_t(angle)])
                    result.degrees[size_t(side)][size_t(angle)][i] = values[size_t(angle)];
            }
        }
    }
    return result;
}
