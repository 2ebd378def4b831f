#include "motionanalysis.h"

#include "gait/restframes.h"
#include "model/bvhfile.h"
#include "model/frameblocks.h"
#include "model/frametable.h"
#include "model/motionsamples.h"
#include "model/numberformat.h"
#include "model/poseevaluator.h"
#include "physics/butterworth.h"
#include "physics/centreofmass.h"
#include "physics/derivative.h"
#include "skeleton/motionsetup.h"

#include <QStringList>

#include <Eigen/Cholesky>
#include <Eigen/Eigenvalues>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Vector = MotionAnalysis::Vector;
using Track = std::vector<Vector>;
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The joints the analysis follows besides the centre of mass.
enum Landmark
{
    Pelvis,
    LeftHip,
    RightHip,
    LeftHeel,
    LeftToe,
    RightHeel,
    RightToe,
    landmarkCount
};

// The joint index of a landmark in `joints`, -1 when the skeleton has none. The first of the
// names that the profile has for it wins ("left heel" falls back on "left ankle").
int landmarkIndex(const MotionSetup& setup, const QList<BvhJoint*>& joints,
                  const QStringList& names)
{
    for (const QString& landmark : names) {
        if (const int index = setup.profile.jointIndexFor(landmark, joints); index >= 0)
            return index;
    }
    return -1;
}

std::array<int, landmarkCount> landmarkIndices(const MotionSetup& setup,
                                               const QList<BvhJoint*>& joints)
{
    const auto find = [&](std::initializer_list<const char*> names) {
        QStringList list;
        for (const char* name : names)
            list.append(QString::fromLatin1(name));
        return landmarkIndex(setup, joints, list);
    };
    return {find({"pelvis"}),
            find({"left hip"}),
            find({"right hip"}),
            find({"left heel", "left ankle"}),
            find({"left toe", "left ankle"}),
            find({"right heel", "right ankle"}),
            find({"right toe", "right ankle"})};
}

// `signal` applied to the track coordinate by coordinate.
template <typename Signal> Track byAxis(const Track& track, const Signal& signal)
{
    Track result(track.size(), Vector::Zero());
    for (int axis = 0; axis < 3; ++axis) {
        const std::vector<double> changed = signal(MotionAnalysis::axisOf(track, axis));
        for (size_t i = 0; i < track.size(); ++i)
            result[i][axis] = changed[i];
    }
    return result;
}

void filterTrack(const Butterworth::Section& section, Track& track)
{
    track = byAxis(track, [&](std::span<const double> values) {
        return Butterworth::filterTwice(section, values);
    });
}

Track gradientOf(const Track& track, double frameTime)
{
    return byAxis(track, [&](std::span<const double> values) {
        return Derivative::gradient(values, frameTime);
    });
}

// The value below which `share` of the finite values lie; NaN when there is none.
double quantile(std::vector<double> values, double share)
{
    std::erase_if(values, [](double v) { return !std::isfinite(v); });
    if (values.empty())
        return notANumber;
    const auto nth = values.begin() + std::ptrdiff_t(share * double(values.size() - 1));
    std::nth_element(values.begin(), nth, values.end());
    return *nth;
}

std::vector<double> heightsOf(const Track& track, const Vector& up)
{
    std::vector<double> heights(track.size());
    for (size_t i = 0; i < track.size(); ++i)
        heights[i] = track[i].dot(up);
    return heights;
}

} // namespace

std::vector<double> MotionAnalysis::axisOf(const std::vector<Vector>& track, int axis)
{
    std::vector<double> values(track.size());
    for (size_t i = 0; i < track.size(); ++i)
        values[i] = track[i][axis];
    return values;
}

int MotionAnalysis::indexOf(int frame) const
{
    const int index = frame - range.first;
    return index >= 0 && index < size() ? index : -1;
}

SupportPolygon::Point MotionAnalysis::planeCoordinates(const Vector& p) const
{
    const Vector across = up.unitOrthogonal();
    return {p.dot(across), p.dot(up.cross(across))};
}

Vector MotionAnalysis::floorPoint(const SupportPolygon::Point& p) const
{
    const Vector across = up.unitOrthogonal();
    return p.x() * across + p.y() * up.cross(across) + (floorHeight + floorRise(p)) * up;
}

SupportPolygon MotionAnalysis::supportAt(int i) const
{
    if (!hasFeet || i < 0 || i >= size())
        return {};
    std::vector<SupportPolygon::Point> points;
    for (int foot = 0; foot < 2; ++foot) {
        if (!contact[size_t(foot)][size_t(i)])
            continue;
        const SupportPolygon::Point heel = planeCoordinates(feet[size_t(foot)][Heel][size_t(i)]);
        const SupportPolygon::Point toe = planeCoordinates(feet[size_t(foot)][Toe][size_t(i)]);
        const SupportPolygon::Point length = toe - heel;
        const double half = footWidth / 2;
        if (length.norm() > 0) {
            const SupportPolygon::Point side =
                half * SupportPolygon::Point(-length.y(), length.x()).normalized();
            points.insert(points.end(), {heel + side, heel - side, toe + side, toe - side});
        } else {
            for (const double dx : {-half, half})
                for (const double dy : {-half, half})
                    points.push_back(heel + SupportPolygon::Point(dx, dy));
        }
    }
    return SupportPolygon::hullOf(points);
}

namespace {

// One analysis in steps, each filling its part of the result.
class Analyser
{
public:
    Analyser(MotionAnalysis& a, const MotionSetup& setup, const AnalysisSettings& settings)
        : a(a), setup(setup), settings(settings),
          contactHeight(
              settings.contactHeight.value_or(AnalysisSettings::contactHeightShare * a.stature)),
          contactSpeed(
              settings.contactSpeed.value_or(AnalysisSettings::contactSpeedShare * a.stature))
    {
    }

    // The body's centre and the landmarks of every frame, posed two threads at a time. False
    // when canceled.
    bool pose(const BvhFile& motion, const PoseEvaluator& pose, const SegmentBinding& binding,
              ProgressSink* progress);
    // The first frame whose centre or landmarks are not finite (a pose beyond the float
    // range), or -1. Searched before anything is filtered, which would spread the sample.
    int firstNonFiniteFrame() const;
    void filterAndDifferentiate();
    void fitFloor(const std::array<Track, landmarkCount>& speeds);
    void findContacts();
    void findWalkingDirection();
    void keepAFootDown();
    void findEvents();
    void extrapolate();
    void measureAngles();

private:
    // Frames in a span of seconds, at least one and at most the motion's (a frame time close
    // to 0 would make any number).
    int framesIn(double seconds) const
    {
        return std::max(1, int(std::lround(std::min(seconds / a.frameTime, double(n)))));
    }
    const Track& pelvis() const { return tracks[Pelvis].empty() ? a.rawCentre : tracks[Pelvis]; }
    // The height of the middle of the hips (or the pelvis) above the floor that 90 % of the
    // frames stay below: standing, the leg's length. Measured once the floor is known.
    double standingHipHeight();
    // Gravity in the motion's unit per second squared.
    double gravity() const { return AnalysisSettings::gravity / setup.unit.millimetres; }
    bool hasHips() const { return !tracks[LeftHip].empty() && !tracks[RightHip].empty(); }

    MotionAnalysis& a;
    const MotionSetup& setup;
    const AnalysisSettings& settings;
    // A foot joint touches the floor within this height of its resting level, slower than
    // this speed.
    const double contactHeight;
    const double contactSpeed;
    std::optional<double> hipHeight; // standingHipHeight(), once measured
    int n = 0;
    std::array<Track, landmarkCount> tracks; // empty for a landmark the skeleton lacks
    // The places the joint angles are made from.
    JointAngles::PointIndices anglePoints{};
    std::array<Track, JointAngles::pointCount> angleTracks;
    Butterworth::Section section;
    // Per frame: how fast the pelvis travels over the second around it; per foot, how far its
    // lower joint is above its resting level.
    std::vector<double> pace;
    std::array<std::vector<double>, 2> clearance;
};

bool Analyser::pose(const BvhFile& motion, const PoseEvaluator& pose, const SegmentBinding& binding,
                    ProgressSink* progress)
{
    const std::array<int, landmarkCount> landmarks = landmarkIndices(setup, pose.getJoints());
    n = a.range.count();
    a.rawCentre.assign(size_t(n), Vector::Zero());
    for (size_t k = 0; k < landmarkCount; ++k) {
        if (landmarks[k] >= 0)
            tracks[k].assign(size_t(n), Vector::Zero());
    }
    anglePoints = JointAngles::pointIndices(
        setup.profile, pose.getJoints(),
        MotionSamples::poses(motion, setup.convention, MotionSamples::rows(motion)));
    for (size_t k = 0; k < JointAngles::pointCount; ++k) {
        if (anglePoints[k] >= 0)
            angleTracks[k].assign(size_t(n), Vector::Zero());
    }
    std::array<CentresOfMass, FrameBlocks::laneCount> centres;
    if (progress)
        progress->begin({}, {}, n);
    bool canceled = false;
    FrameBlocks::poseFrames(
        motion, a.range, pose,
        [&](int frame, int lane, const PoseEvaluator& posed) {
            const size_t i = size_t(frame - a.range.first);
            CentresOfMass& result = centres[size_t(lane)];
            const std::vector<Vector3f>& positions = posed.getPositions();
            CentreOfMass::compute(setup.segments, binding, positions, result);
            a.rawCentre[i] = result.body.cast<double>();
            for (size_t k = 0; k < landmarkCount; ++k) {
                if (landmarks[k] >= 0)
                    tracks[k][i] = positions[size_t(landmarks[k])].cast<double>();
            }
            for (size_t k = 0; k < JointAngles::pointCount; ++k) {
                if (anglePoints[k] >= 0)
                    angleTracks[k][i] = positions[size_t(anglePoints[k])].cast<double>();
            }
        },
        [&](int stop) {
            if (progress) {
                progress->setValue(stop - a.range.first);
                canceled = progress->isCanceled();
            }
            return !canceled;
        });
    if (progress)
        progress->end();
    return !canceled;
}

int Analyser::firstNonFiniteFrame() const
{
    int first = n;
    const auto search = [&](const Track& track) { // empty for a landmark the skeleton lacks
        for (int i = 0; i < std::min(first, int(track.size())); ++i) {
            if (!track[size_t(i)].allFinite()) {
                first = i;
                return;
            }
        }
    };
    search(a.rawCentre);
    for (const Track& track : tracks)
        search(track);
    return first < n ? a.range.first + first : -1;
}

void Analyser::filterAndDifferentiate()
{
    section = Butterworth::lowPass(a.cutoffHz, 1.0 / a.frameTime);
    a.centre = a.rawCentre;
    filterTrack(section, a.centre);
    a.velocity = gradientOf(a.centre, a.frameTime);
    a.acceleration = gradientOf(a.velocity, a.frameTime);
    if (settings.filterJoints) {
        for (Track& track : tracks) {
            if (!track.empty())
                filterTrack(section, track);
        }
    }
}

// The floor's slope along the feet's path: the floor may tilt or drift over a recording, and
// the way the feet go is where it shows. Each stretch of frames where a foot joint moves slower
// than the contact speed gives one place, the joint's lowest in it (a heel rises slowly while
// its toe pushes off), unless the stretch runs on past the frames. A line is fitted to those
// places' heights against their distance along the path's main direction, by least squares,
// with a height of its own for each joint (an ankle rests higher than a toe, and each foot's
// own height takes up any tilt across the path); places more than the contact height above it
// (a slow foot held up) are left out and the line fitted again. Zero, a level floor, when the
// line rises by less than levelFloorShare of the stature across the places, when they span less
// than shortestFloorPathShare of it (the feet stay in place, as in a dance), or when it is
// steeper than steepestFloor (feet resting on steps or a box).
void Analyser::fitFloor(const std::array<Track, landmarkCount>& speeds)
{
    struct Sample
    {
        SupportPolygon::Point place;
        double height;
        int joint;
    };
    std::vector<Sample> samples;
    int joints = 0;
    for (const Landmark foot : {LeftHeel, LeftToe, RightHeel, RightToe}) {
        if (tracks[foot].empty())
            continue;
        const auto slow = [&](size_t i) { return speeds[foot][i].norm() < contactSpeed; };
        for (size_t i = 0; i < size_t(n);) {
            if (!slow(i)) {
                ++i;
                continue;
            }
            const size_t first = i;
            size_t lowest = i;
            for (; i < size_t(n) && slow(i); ++i) {
                if (tracks[foot][i].dot(a.up) < tracks[foot][lowest].dot(a.up))
                    lowest = i;
            }
            if (first > 0 && i < size_t(n))
                samples.push_back({a.planeCoordinates(tracks[foot][lowest]),
                                   tracks[foot][lowest].dot(a.up), joints});
        }
        ++joints;
    }
    if (samples.size() < size_t(joints) + 2)
        return;
    SupportPolygon::Point origin = SupportPolygon::Point::Zero();
    for (const Sample& sample : samples)
        origin += sample.place / double(samples.size());
    Eigen::Matrix2d spread = Eigen::Matrix2d::Zero();
    for (const Sample& sample : samples)
        spread += (sample.place - origin) * (sample.place - origin).transpose();
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix2d> axes(spread);
    const SupportPolygon::Point along = axes.eigenvectors().col(1);
    const int unknowns = 1 + joints;
    double slope = 0.0;
    std::vector<unsigned char> kept(samples.size(), 1);
    for (int round = 0; round < 3; ++round) {
        Eigen::MatrixXd normal = Eigen::MatrixXd::Zero(unknowns, unknowns);
        Eigen::VectorXd right = Eigen::VectorXd::Zero(unknowns);
        for (size_t k = 0; k < samples.size(); ++k) {
            if (!kept[k])
                continue;
            Eigen::VectorXd row = Eigen::VectorXd::Zero(unknowns);
            row[0] = (samples[k].place - origin).dot(along);
            row[1 + samples[k].joint] = 1.0;
            normal += row * row.transpose();
            right += row * samples[k].height;
        }
        const Eigen::LDLT<Eigen::MatrixXd> solver(normal);
        const Eigen::VectorXd solution = solver.solve(right);
        if (solver.info() != Eigen::Success || !solution.allFinite())
            return;
        slope = solution[0];
        for (size_t k = 0; k < samples.size(); ++k) {
            const double above = samples[k].height - solution[1 + samples[k].joint] -
                                 slope * (samples[k].place - origin).dot(along);
            kept[k] = above < contactHeight;
        }
    }
    double reach = 0.0;
    for (size_t k = 0; k < samples.size(); ++k) {
        if (kept[k])
            reach = std::max(reach, std::abs((samples[k].place - origin).dot(along)));
    }
    if (2 * reach >= AnalysisSettings::shortestFloorPathShare * a.stature &&
        std::abs(slope) <= AnalysisSettings::steepestFloor &&
        2 * reach * std::abs(slope) >= AnalysisSettings::levelFloorShare * a.stature) {
        a.floorOrigin = origin;
        a.floorSlope = slope * along;
    }
}

// The floor: the lowest level each foot joint comes down to, measured from the floor's slope,
// the lowest of them; a joint touches the floor when it comes within the contact height of its
// own lowest level and moves slower than the contact speed.
void Analyser::findContacts()
{
    a.hasFeet = !tracks[LeftHeel].empty() && !tracks[RightHeel].empty();
    std::array<Track, landmarkCount> speeds;
    for (const Landmark foot : {LeftHeel, LeftToe, RightHeel, RightToe}) {
        if (!tracks[foot].empty())
            speeds[foot] = gradientOf(tracks[foot], a.frameTime);
    }
    if (a.hasFeet && !settings.floorHeight)
        fitFloor(speeds);
    // Heights above the sloping floor through the origin.
    std::array<std::vector<double>, landmarkCount> heights;
    std::array<double, landmarkCount> lowest{};
    double feetLowest = std::numeric_limits<double>::infinity();
    for (const Landmark foot : {LeftHeel, LeftToe, RightHeel, RightToe}) {
        if (tracks[foot].empty())
            continue;
        heights[foot] = heightsOf(tracks[foot], a.up);
        if (!a.floorSlope.isZero()) {
            for (size_t i = 0; i < size_t(n); ++i)
                heights[foot][i] -= a.floorRise(a.planeCoordinates(tracks[foot][i]));
        }
        lowest[foot] = quantile(heights[foot], 0.01);
        feetLowest = std::min(feetLowest, lowest[foot]);
    }
    a.floorHeight =
        settings.floorHeight.value_or(a.hasFeet && std::isfinite(feetLowest) ? feetLowest : 0.0);
    a.footWidth = settings.footWidth.value_or(AnalysisSettings::footWidthShare * a.stature);
    for (size_t foot = 0; foot < 2 && a.hasFeet; ++foot) {
        const Landmark heel = foot == 0 ? LeftHeel : RightHeel;
        const Landmark toe = foot == 0 ? LeftToe : RightToe;
        a.feet[foot][MotionAnalysis::Heel] = tracks[heel];
        a.feet[foot][MotionAnalysis::Toe] = tracks[toe];
        a.contact[foot].assign(size_t(n), 0);
        clearance[foot].assign(size_t(n), std::numeric_limits<double>::infinity());
        for (const Landmark joint : {heel, toe}) {
            const double level = a.floorHeight + (lowest[joint] - feetLowest);
            for (size_t i = 0; i < size_t(n); ++i) {
                if (heights[joint][i] - level < contactHeight &&
                    speeds[joint][i].norm() < contactSpeed)
                    a.contact[foot][i] = 1;
                clearance[foot][i] = std::min(clearance[foot][i], heights[joint][i] - level);
            }
        }
        GaitEvents::removeFlicker(a.contact[foot],
                                  framesIn(AnalysisSettings::shortestContactChange));
    }
}

// Where the pelvis goes over the second around each frame; standing, the way the hips face.
void Analyser::findWalkingDirection()
{
    const Track& path = pelvis();
    const int reach = framesIn(0.5);
    a.walkingDirection.assign(size_t(n), a.up.unitOrthogonal());
    a.walking.assign(size_t(n), 0);
    pace.assign(size_t(n), 0.0);
    for (int i = 0; i < n; ++i) {
        const int before = std::max(0, i - reach), after = std::min(n - 1, i + reach);
        const Vector way = a.horizontal(path[size_t(after)] - path[size_t(before)]);
        const double speed = after > before ? way.norm() / ((after - before) * a.frameTime) : 0;
        pace[size_t(i)] = speed;
        Vector direction = Vector::Zero();
        if (speed > AnalysisSettings::walkingSpeedShare * a.stature) {
            a.walking[size_t(i)] = 1;
            direction = way;
        } else if (hasHips()) {
            direction = a.horizontal(
                (tracks[LeftHip][size_t(i)] - tracks[RightHip][size_t(i)]).cross(a.up));
        }
        if (direction.norm() > 0)
            a.walkingDirection[size_t(i)] = direction.normalized();
        else if (i > 0)
            a.walkingDirection[size_t(i)] = a.walkingDirection[size_t(i) - 1];
    }
}

// In walking some foot is always down: a short stretch of walking frames where neither foot
// passed the contact tests while one foot took over from the other (a threshold just missed as
// a foot lands) gets, frame by frame, the foot whose lower joint is nearer its resting level,
// when that is within twice the contact height. Not above the speed where people change from
// walking to running, a Froude number v^2 / (g l) of 0.5 on the leg's length (Alexander 1989): a
// run has flight; nor where the feet stay off the floor longer or higher, as a body that hangs or
// jumps.
void Analyser::keepAFootDown()
{
    if (!a.hasFeet)
        return;
    const double fastestWalk =
        std::sqrt(AnalysisSettings::walkToRunFroude * gravity() * standingHipHeight());
    const size_t longest = size_t(framesIn(2 * AnalysisSettings::shortestContactChange));
    const auto flying = [&](size_t i) {
        return a.walking[i] && !a.contact[0][i] && !a.contact[1][i] && pace[i] < fastestWalk &&
               std::min(clearance[0][i], clearance[1][i]) < 2 * contactHeight;
    };
    for (size_t first = 0; first < size_t(n); ++first) {
        size_t stop = first;
        while (stop < size_t(n) && flying(stop))
            ++stop;
        // One foot takes over from the other, as in a step; not both leaving and landing.
        const bool handover = first > 0 && stop < size_t(n) &&
                              a.contact[0][first - 1] != a.contact[1][first - 1] &&
                              a.contact[0][stop] != a.contact[1][stop] &&
                              a.contact[0][first - 1] != a.contact[0][stop];
        if (stop == first || stop - first > longest || !handover)
            continue;
        for (size_t i = first; i < stop; ++i)
            a.contact[clearance[1][i] < clearance[0][i] ? 1 : 0][i] = 1;
        first = stop;
    }
}

// From the feet's filtered places along the walking direction, relative to the pelvis.
void Analyser::findEvents()
{
    if (!a.hasFeet || tracks[Pelvis].empty())
        return;
    const int window = framesIn(0.15);
    for (size_t foot = 0; foot < 2; ++foot) {
        std::array<std::vector<double>, 2> forward;
        for (const int joint : {MotionAnalysis::Heel, MotionAnalysis::Toe}) {
            Track relative(static_cast<size_t>(n));
            for (size_t i = 0; i < size_t(n); ++i)
                relative[i] = a.feet[foot][size_t(joint)][i] - tracks[Pelvis][i];
            filterTrack(section, relative);
            forward[size_t(joint)].resize(size_t(n));
            for (size_t i = 0; i < size_t(n); ++i)
                forward[size_t(joint)][i] = relative[i].dot(a.walkingDirection[i]);
        }
        const std::vector<GaitEvent> found = GaitEvents::detect(
            {forward[MotionAnalysis::Heel], forward[MotionAnalysis::Toe], a.contact[foot]},
            GaitEvent::Foot(foot), a.walking, window, a.range.first);
        a.events.insert(a.events.end(), found.begin(), found.end());
    }
    std::stable_sort(a.events.begin(), a.events.end(),
                     [](const GaitEvent& x, const GaitEvent& y) { return x.frame < y.frame; });
}

double Analyser::standingHipHeight()
{
    if (hipHeight)
        return *hipHeight;
    std::vector<double> hipHeights(static_cast<size_t>(n));
    for (size_t i = 0; i < size_t(n); ++i) {
        const Vector hip =
            hasHips() ? Vector((tracks[LeftHip][i] + tracks[RightHip][i]) / 2) : pelvis()[i];
        hipHeights[i] = a.heightAboveFloor(hip);
    }
    hipHeight = quantile(hipHeights, 0.9);
    return *hipHeight;
}

// The extrapolated centre: the centre's floor point moved by its horizontal velocity over the
// pendulum's eigenfrequency sqrt(g / l); and its margins to the base of support.
void Analyser::extrapolate()
{
    a.pendulumLength =
        settings.pendulumLength.value_or(AnalysisSettings::pendulumShare * standingHipHeight());
    const double omega = std::sqrt(gravity() / a.pendulumLength);
    a.extrapolatedCentre.resize(size_t(n));
    a.margin.assign(size_t(n), notANumber);
    a.marginAlong.assign(size_t(n), notANumber);
    a.marginAcross.assign(size_t(n), notANumber);
    for (size_t i = 0; i < size_t(n); ++i) {
        const Vector sway = a.horizontal(a.velocity[i]);
        a.extrapolatedCentre[i] = a.onFloor(a.centre[i]);
        if (std::isfinite(omega) && omega > 0)
            a.extrapolatedCentre[i] += sway / omega;
        const SupportPolygon base = a.supportAt(int(i));
        if (base.isEmpty())
            continue;
        const SupportPolygon::Point x = a.planeCoordinates(a.extrapolatedCentre[i]);
        const Vector along = a.walkingDirection[i];
        Vector across = a.up.cross(along);
        if (sway.dot(across) < 0)
            across = -across;
        // Directions go into the floor plane as points do: the map has no offset.
        a.margin[i] = base.signedDistance(x);
        a.marginAlong[i] = base.reachBeyond(x, a.planeCoordinates(along));
        a.marginAcross[i] = base.reachBeyond(x, a.planeCoordinates(across));
    }
}

// The joint angles, from the joints as posed (unfiltered), in the walking frame of each frame.
void Analyser::measureAngles()
{
    std::array<std::span<const Vector>, JointAngles::pointCount> points;
    for (size_t k = 0; k < JointAngles::pointCount; ++k)
        points[k] = angleTracks[k];
    a.angles = JointAngles::compute(points, a.walkingDirection, a.up);
    angleTracks = {};
}

} // namespace

MotionAnalysis MotionAnalysis::analyse(const BvhFile& motion, const MotionSetup& setup,
                                       const AnalysisSettings& settings, FrameRange frames,
                                       ProgressSink* progress)
{
    MotionAnalysis a;
    if (!motion.root) {
        a.errorString = QStringLiteral("No motion is loaded.");
        return a;
    }
    a.range = frames.clampedTo(motion.rowCount());
    if (a.range.isEmpty()) {
        a.errorString = QStringLiteral("The range holds no frame.");
        return a;
    }
    if (!(motion.frameTime > 0) || !std::isfinite(1.0 / motion.frameTime)) {
        a.errorString = QStringLiteral("The motion's frame time is not a positive number.");
        return a;
    }
    if (!(settings.cutoffHz > 0)) {
        a.errorString = QStringLiteral("The cut-off frequency must be above 0 Hz.");
        return a;
    }
    // A filter cannot pass what the samples do not hold: the cut-off must lie below half the
    // frame rate (the Nyquist frequency).
    const double appliedCutoff =
        settings.cutoffHz / (settings.correctCutoff ? Butterworth::doublePassCorrection : 1.0);
    if (!(appliedCutoff < 0.5 / motion.frameTime)) {
        a.errorString = QStringLiteral("The cut-off frequency of %1 Hz is not below half the "
                                       "frame rate (%2 Hz).")
                            .arg(NumberFormat::general(appliedCutoff),
                                 NumberFormat::general(0.5 / motion.frameTime));
        return a;
    }
    const PoseEvaluator pose(motion.root, setup.convention);
    const SegmentBinding binding = SegmentBinding::bind(setup.segments, pose.getJoints());
    if (!binding.isComplete()) {
        a.errorString = QStringLiteral("The mass-segment model does not fit this skeleton. %1")
                            .arg(binding.problems(setup.segments).join(QLatin1Char(' ')));
        return a;
    }
    if (!settings.keepRestFrames) {
        const RestFrames rest = RestFrames::of(motion, setup.convention, setup.stature);
        a.restFrames = rest.describe(a.range);
        a.range = rest.trim(a.range);
    }
    a.frameTime = motion.frameTime;
    a.cutoffHz = appliedCutoff;
    a.up = setup.upAxisOf(motion).cast<double>();
    a.stature = setup.stature;

    Analyser analyser(a, setup, settings);
    if (!analyser.pose(motion, pose, binding, progress)) {
        a = MotionAnalysis();
        a.errorString = QStringLiteral("Canceled.");
        return a;
    }
    if (const int frame = analyser.firstNonFiniteFrame(); frame >= 0) {
        a = MotionAnalysis();
        a.errorString = QStringLiteral("At frame %1 the pose is not a finite number: the "
                                       "motion's values add up beyond the float range.")
                            .arg(frame);
        return a;
    }
    analyser.filterAndDifferentiate();
    analyser.findContacts();
    analyser.findWalkingDirection();
    analyser.keepAFootDown();
    analyser.findEvents();
    analyser.extrapolate();
    analyser.measureAngles();
    a.errorString.clear();
    return a;
}

WriteResult MotionAnalysis::writeCsv(const QString& fileName) const
{
    if (!ok())
        return WriteResult::failure(fileName, errorString);
    FrameTable::Format format;
    format.header = QStringLiteral("TIME,X,Y,Z,VX,VY,VZ,AX,AY,AZ,XCOM_X,XCOM_Y,XCOM_Z,MOS,"
                                   "MOS_ALONG,MOS_ACROSS,LEFT_CONTACT,RIGHT_CONTACT");
    format.frames = range;
    format.frameTime = frameTime;
    return FrameTable::write(fileName, format, nullptr, [&](CsvWriter& writer, int frame) {
        const size_t i = size_t(frame - range.first);
        const auto addVector = [&](const Vector& v) {
            for (int axis = 0; axis < 3; ++axis)
                writer.addNumberCell(v[axis]);
        };
        const auto addMaybe = [&](double value) {
            if (std::isfinite(value))
                writer.addNumberCell(value);
            else
                writer.addText(",");
        };
        addVector(centre[i]);
        addVector(velocity[i]);
        addVector(acceleration[i]);
        addVector(extrapolatedCentre[i]);
        addMaybe(margin[i]);
        addMaybe(marginAlong[i]);
        addMaybe(marginAcross[i]);
        for (size_t foot = 0; foot < 2; ++foot)
            writer.addText(hasFeet ? (contact[foot][i] ? ",1" : ",0") : ",");
    });
}

WriteResult MotionAnalysis::writeAnglesCsv(const QString& fileName) const
{
    if (!ok())
        return WriteResult::failure(fileName, errorString);
    std::vector<const std::vector<double>*> columns;
    QString header = QStringLiteral("TIME");
    for (const char* side : {"LEFT_", "RIGHT_"}) {
        for (int angle = 0; angle < JointAngles::angleCount; ++angle) {
            if (!angles.has(JointAngles::Angle(angle)))
                continue;
            header += QLatin1Char(',') + QLatin1String(side) +
                      JointAngles::nameOf(JointAngles::Angle(angle));
            columns.push_back(&angles.degrees[side[0] == 'L' ? 0 : 1][size_t(angle)]);
        }
    }
    FrameTable::Format format;
    format.header = header;
    format.frames = range;
    format.frameTime = frameTime;
    return FrameTable::write(fileName, format, nullptr, [&](CsvWriter& writer, int frame) {
        const size_t i = size_t(frame - range.first);
        for (const std::vector<double>* column : columns) {
            if (std::isfinite((*column)[i]))
                writer.addNumberCell((*column)[i]);
            else
                writer.addText(",");
        }
    });
}

WriteResult MotionAnalysis::writeEventsCsv(const QString& fileName) const
{
    if (!ok())
        return WriteResult::failure(fileName, errorString);
    CsvWriter writer(fileName);
    if (!writer.open())
        return writer.finish();
    writer.addText("FRAME,TIME,FOOT,EVENT");
    writer.endLine();
    for (const GaitEvent& event : events) {
        writer.addText(QString::number(event.frame));
        writer.addNumberCell(double(event.frame) * frameTime);
        writer.addText(QLatin1Char(',') + event.footName() + QLatin1Char(',') + event.kindName());
        writer.endLine();
    }
    return writer.finish();
}
