#include "jointangles.h"

#include "model/bvhjoint.h"
#include "model/motionsamples.h"
#include "skeleton/skeletonprofile.h"

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
// (`pelvis`, `thigh` when given). The pelvis is upright when the line from the middle of the
// hips to its third point is vertical, the trunk neutral when its line (the middle of the hips
// to the neck) runs along the pelvis's: the joint centres alone fix them, however the skeleton
// is rigged.
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

// A turn by `degrees` about the walking frame's sideways axis (Z): the pelvis tilted forward.
Matrix tiltedForward(double degrees)
{
    return Eigen::AngleAxisd(degrees / degreesPerRadian, Vector::UnitZ()).toRotationMatrix();
}

// The anatomical frames of one side, as SegmentFrames gives them, the pelvis tilted forward by
// `tilt` degrees first (its upright from the walk's own median: see compute()).
std::array<Matrix, segmentCount> anatomicalFrames(const SidePoints& points, double tilt)
{
    const SegmentFrames frames{points};
    std::array<Matrix, segmentCount> result;
    result[Pelvis] = tiltedForward(tilt) * frames.pelvis();
    result[Thigh] = frames.thigh(result[Pelvis]);
    result[Shank] = frames.shank(result[Thigh]);
    result[Trunk] = frames.trunk();
    return result;
}

// Where the foot points, seen from above: across the plane of the knee, ankle and toe, so
// that it holds steady while the foot pitches up to the vertical at toe off; along the line
// from the ankle to the toe when the three lie in a line.
Vector footForward(const SidePoints& p)
{
    const Vector inwards = (p.knee - p.ankle).cross(p.toe - p.ankle);
    Vector forward = inwards.cross(Vector::UnitY());
    forward.y() = 0;
    if (!(forward.norm() > 1e-6 * (p.toe - p.ankle).squaredNorm())) {
        forward = p.toe - p.ankle;
        forward.y() = 0;
    }
    return forward;
}

// The foot's neutral angle to the shank: the angle its line (ankle to toe) makes with the
// vertical while the foot rests flat on the floor, as it does standing with the shank upright.
// The foot rests where its joints move least: the median over the quarter of the frames where
// the ankle and toe are slowest. 90 degrees when the frames say nothing.
double restingFootAngle(std::span<const Vector> ankle, std::span<const Vector> toe,
                        const Vector& up)
{
    const size_t n = std::min(ankle.size(), toe.size());
    std::vector<std::pair<double, double>> frames; // (speed, angle to the vertical)
    for (size_t i = 0; i < n; ++i) {
        const size_t before = i > 0 ? i - 1 : i, after = i + 1 < n ? i + 1 : i;
        const double speed =
            (ankle[after] - ankle[before]).norm() + (toe[after] - toe[before]).norm();
        const double angle = angleBetween(up, toe[i] - ankle[i]);
        if (std::isfinite(speed) && std::isfinite(angle))
            frames.emplace_back(speed, angle);
    }
    if (frames.empty())
        return 90.0;
    const size_t still = std::max<size_t>(1, frames.size() / 4);
    std::nth_element(frames.begin(), frames.begin() + std::ptrdiff_t(still - 1), frames.end());
    std::vector<double> angles;
    for (size_t i = 0; i < still; ++i)
        angles.push_back(frames[i].second);
    return MotionSamples::median(std::move(angles));
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
    {"FOOT_PROGRESSION", "Foot progression"},
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
                                                    const std::vector<std::vector<Vector>>& poses)
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
    // lies on the line of the hips (most skeletons hang the thighs straight off its sides). It
    // must lie above that line, toward the neck, in the posed frames.
    const int pelvis = indices[PelvisTop];
    indices[PelvisTop] = -1;
    if (pelvis < 0 || indices[LeftHip] < 0 || indices[RightHip] < 0)
        return indices;
    const int neck = indices[Neck];
    const auto rise = [&](int index) { // above the hips' line, in shares of their width
        std::vector<double> shares;
        for (const std::vector<Vector>& pose : poses) {
            if (pose.size() != size_t(joints.size()))
                continue;
            const Vector left = pose[size_t(indices[LeftHip])];
            const Vector right = pose[size_t(indices[RightHip])];
            const double width = (right - left).norm();
            if (!(width > 0))
                continue;
            const Vector across = (right - left) / width, middle = (left + right) / 2;
            const auto offLine = [&](const Vector& p) {
                const Vector v = p - middle;
                return Vector(v - v.dot(across) * across);
            };
            const Vector off = offLine(pose[size_t(index)]);
            const double sign = neck >= 0 && off.dot(offLine(pose[size_t(neck)])) < 0 ? -1 : 1;
            shares.push_back(sign * off.norm() / width);
        }
        return MotionSamples::median(std::move(shares));
    };
    if (rise(pelvis) > 0.1) {
        indices[PelvisTop] = pelvis;
        return indices;
    }
    if (neck < 0)
        return indices;
    for (const BvhJoint* joint = joints[neck]; joint; joint = joint->getParentJoint()) {
        if (joint->getParentJoint() == joints[pelvis]) {
            const int spine = int(joints.indexOf(joint));
            if (spine >= 0 && rise(spine) > 0.1)
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
    case FootProgression: // the feet against the walking direction, with or without a pelvis
        return all({LeftAnkle, RightAnkle, LeftToe, RightToe});
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
    const auto lacks = [&](std::initializer_list<Point> points) {
        return std::any_of(points.begin(), points.end(),
                           [&](Point point) { return present[point] < 0; });
    };
    if (lacks({PelvisTop, LeftHip, RightHip}))
        result.notes << QStringLiteral("the pelvis has no hips or no point above them: the "
                                       "pelvis, hip, knee, ankle and trunk angles are left out");
    else if (lacks({LeftKnee, RightKnee, LeftAnkle, RightAnkle}))
        result.notes << QStringLiteral("the legs have no knees or ankles: the hip, knee and "
                                       "ankle angles are left out");
    else if (lacks({LeftToe, RightToe}))
        result.notes << QStringLiteral("the feet have no toe joint: the ankle angle and the "
                                       "foot progression are left out");
    if (!lacks({PelvisTop, LeftHip, RightHip}) && lacks({Neck, LeftShoulder, RightShoulder}))
        result.notes << QStringLiteral("there is no neck or no shoulders: the trunk angles "
                                       "are left out");
    if (!any)
        return result;
    std::array<double, 2> restingFoot{90.0, 90.0};
    if (wanted[AnkleDorsiflexion]) {
        restingFoot = {restingFootAngle(tracks[P::LeftAnkle], tracks[P::LeftToe], up),
                       restingFootAngle(tracks[P::RightAnkle], tracks[P::RightToe], up)};
    }

    const auto sideOfFrame = [&](size_t i, int side) {
        const Matrix walking = frameOf(forward[i], 0, up, 1);
        const auto pointAt = [&](P point) {
            return present[point] >= 0 ? tracks[point][i] : Vector::Constant(notANumber);
        };
        return sidePoints(pointAt, walking, side);
    };
    // Joint centres fix no anatomical tilt of the pelvis: where its third point lies is the
    // producer's choice. It stands upright at the walk's median tilt, so that walks of any
    // skeleton give the same tilts and hip flexions, and can be pooled.
    std::array<double, 2> uprightTilt{};
    for (int side = 0; side < 2 && wanted[PelvisTilt]; ++side) {
        std::vector<double> tilts;
        for (size_t i = 0; i < n; ++i) {
            const double tilt = -cardanZXY(SegmentFrames{sideOfFrame(i, side)}.pelvis()).x();
            if (std::isfinite(tilt))
                tilts.push_back(tilt);
        }
        uprightTilt[size_t(side)] = MotionSamples::median(std::move(tilts)) * degreesPerRadian;
    }

    int unmeasured = 0; // frames with an angle left empty
    for (size_t i = 0; i < n; ++i) {
        bool empty = false;
        for (int side = 0; side < 2; ++side) {
            const SidePoints points = sideOfFrame(i, side);
            const std::array<Matrix, segmentCount> frames =
                anatomicalFrames(points, uprightTilt[size_t(side)]);
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
                restingFoot[size_t(side)] -
                angleBetween(points.knee - points.ankle, points.toe - points.ankle);
            const Vector trunk = angles(Pelvis, Trunk);
            // Seen from above, in the walking frame (X forward, Z to this side): a toe turned
            // in, towards -Z, progresses at a positive angle.
            const Vector foot = footForward(points);
            const double progression = foot.x() == 0 && foot.z() == 0
                                           ? notANumber
                                           : std::atan2(-foot.z(), foot.x()) * degreesPerRadian;
            const std::array<double, angleCount> values = {
                -pelvis.x(), -pelvis.y(), pelvis.z(), hip.x(),   hip.y(),  knee,
                ankle,       progression, -trunk.x(), trunk.y(), trunk.z()};
            for (int angle = 0; angle < angleCount; ++angle) {
                if (!wanted[size_t(angle)])
                    continue;
                result.degrees[size_t(side)][size_t(angle)][i] = values[size_t(angle)];
                empty = empty || !std::isfinite(values[size_t(angle)]);
            }
        }
        unmeasured += empty;
    }
    if (unmeasured > 0)
        result.notes << QStringLiteral("in %1 of %2 frames joint centres coincide or lie in a "
                                       "line, and the angles they define are left empty there")
                            .arg(unmeasured)
                            .arg(n);
    return result;
}
