#pragma once

#include "gait/gaitevents.h"
#include "gait/jointangles.h"
#include "gait/supportpolygon.h"
#include "model/framerange.h"
#include "model/progresssink.h"
#include "model/vectortypes.h"
#include "model/writeresult.h"

#include <Eigen/Core>
#include <Eigen/Geometry>

#include <array>
#include <optional>
#include <vector>

class BvhFile;
struct MotionSetup;

// What the centre-of-mass analysis is asked to do. Lengths are in the motion's unit; those left
// unset follow from the body's size.
struct AnalysisSettings
{
    double cutoffHz = 6.0;
    // Divide the cut-off by Butterworth::doublePassCorrection, so that the two passes together
    // have their -3 dB point at cutoffHz.
    bool correctCutoff = false;
    // Filter the feet, pelvis and hips as well before contacts, events and the base of support
    // are found. (The centre of mass is a weighted sum of joint positions, so it comes out the
    // same whether the joints or the centre are filtered.)
    bool filterJoints = false;
    // Analyse the rest or calibration poses at the motion's ends as well (RestFrames).
    bool keepRestFrames = false;
    std::optional<double> floorHeight;    // none: the level the feet rest on
    std::optional<double> contactHeight;  // none: contactHeightShare of the stature
    std::optional<double> contactSpeed;   // per second; none: contactSpeedShare of the stature
    std::optional<double> pendulumLength; // none: pendulumShare of the hips' standing height
    std::optional<double> footWidth;      // none: footWidthShare of the stature

    bool operator==(const AnalysisSettings&) const = default;

    static constexpr double contactHeightShare = 0.03;
    static constexpr double contactSpeedShare = 0.5;
    static constexpr double pendulumShare = 1.2; // Hof (2008) for the inverted pendulum
    // Foot breadth to stature (Drillis and Contini 1966): the base of support is the feet's
    // floor points widened by half of it on either side of each foot.
    static constexpr double footWidthShare = 0.055;
    // The pelvis moves at least this share of the stature per second when the body walks.
    static constexpr double walkingSpeedShare = 0.2;
    // Above this Froude number, v^2 / (g l) with l the leg's length, people run.
    static constexpr double walkToRunFroude = 0.5;
    // Contacts and gaps between them shorter than this (seconds) are taken for flicker.
    static constexpr double shortestContactChange = 0.1;
    // A floor that rises by less than this share of the stature across the feet's path is
    // taken for a level one: what the fit finds is the noise of the feet.
    static constexpr double levelFloorShare = 0.01;
    // A floor's slope shows over a path at least this share of the stature long, and a
    // capture volume's floor is no steeper than this (about 11 degrees).
    static constexpr double shortestFloorPathShare = 0.5;
    static constexpr double steepestFloor = 0.2;
    static constexpr double gravity = 9806.65; // mm/s^2
};

// The centre of mass of every frame of a range, filtered and differentiated, the feet's
// contacts with the floor, the gait events, the extrapolated centre of mass and the margin of
// stability (Hof, Gazendijk and Sinke 2005, J Biomech 38: 1-8). Index i of every table is frame
// range.first + i of the motion.
struct MotionAnalysis
{
    using Vector = Eigen::Vector3d;
    enum FootJoint
    {
        Heel,
        Toe
    };

    FrameRange range;
    // What was left out of the range asked for, and what was kept ("frame 0 is a rest pose;
    // analysed frames 1 to 343"); empty when nothing was.
    QString restFrames;
    double frameTime = 0.0;
    Vector up = Vector::UnitY(); // the world axis the figure stands along
    double stature = 0.0;
    // The floor: a plane that rises by floorSlope (per unit along the floor plane's coordinates,
    // planeCoordinates) from floorHeight (along `up`) at floorOrigin. Level unless the feet
    // rest on one that is not.
    double floorHeight = 0.0;
    Eigen::Vector2d floorSlope = Eigen::Vector2d::Zero();
    Eigen::Vector2d floorOrigin = Eigen::Vector2d::Zero();
    double pendulumLength = 0.0;
    double footWidth = 0.0;
    double cutoffHz = 0.0; // as applied, corrected or not

    std::vector<Vector> rawCentre;
    std::vector<Vector> centre; // filtered
    std::vector<Vector> velocity;
    std::vector<Vector> acceleration;
    std::vector<Vector> extrapolatedCentre; // on the floor
    std::vector<Vector> walkingDirection;   // horizontal, unit length
    std::vector<unsigned char> walking;
    std::vector<double> margin; // NaN with no foot on the floor
    std::vector<double> marginAlong;
    std::vector<double> marginAcross;
    // Per foot (GaitEvent::Foot): the heel (or ankle) and toe positions, and the contacts.
    std::array<std::array<std::vector<Vector>, 2>, 2> feet;
    std::array<std::vector<unsigned char>, 2> contact;
    bool hasFeet = false;
    std::vector<GaitEvent> events; // in frame order
    JointAngles angles;            // of the legs, pelvis and trunk, from the landmarks
    // Why nothing was analysed; empty when it was.
    QString errorString = QStringLiteral("Nothing was analysed.");

    bool ok() const { return errorString.isEmpty(); }
    int size() const { return int(centre.size()); }
    // Where the table holds `frame` of the motion; -1 outside the range.
    int indexOf(int frame) const;
    // The horizontal part of a vector, and a point dropped onto the floor.
    Vector horizontal(const Vector& v) const { return v - v.dot(up) * up; }
    Vector onFloor(const Vector& p) const { return horizontal(p) + floorHeightAt(p) * up; }
    // The floor's height (along `up`) under a point, and the point's height above it.
    double floorHeightAt(const Vector& p) const
    {
        return floorHeight + floorRise(planeCoordinates(p));
    }
    // How far the floor rises from floorOrigin to a point of the floor plane's coordinates.
    double floorRise(const SupportPolygon::Point& p) const
    {
        return floorSlope.dot(p - floorOrigin);
    }
    double heightAboveFloor(const Vector& p) const { return p.dot(up) - floorHeightAt(p); }
    // The base of support at index i: the hull of the floor points of the feet in contact, in
    // the floor plane's own coordinates (floorPoint() turns them back), empty in flight.
    SupportPolygon supportAt(int i) const;
    Vector floorPoint(const SupportPolygon::Point& p) const;
    SupportPolygon::Point planeCoordinates(const Vector& p) const;
    double cadence() const { return GaitEvents::cadence(events, frameTime); }
    // One coordinate (0, 1, 2 for x, y, z) of every point of a track.
    static std::vector<double> axisOf(const std::vector<Vector>& track, int axis);
    int steps() const { return GaitEvents::strikeCount(events); }

    // The analysis of `range` of `motion` as `setup` poses and weighs it, less the rest poses
    // at the motion's ends unless the settings keep them. Fails, with
    // errorString, when the setup's model does not fit the skeleton or the range holds no frame.
    // Without feet (the profile names no ankle) there are no contacts, events or margins.
    static MotionAnalysis analyse(const BvhFile& motion, const MotionSetup& setup,
                                  const AnalysisSettings& settings, FrameRange range,
                                  ProgressSink* progress = nullptr);

    // TIME, the filtered centre, velocity, acceleration, extrapolated centre, the margin and
    // its components, and each foot's contact; a margin left empty in flight.
    WriteResult writeCsv(const QString& fileName) const;
    // FRAME, TIME, FOOT, EVENT of every gait event.
    WriteResult writeEventsCsv(const QString& fileName) const;
    // TIME, then LEFT_ and RIGHT_ of every angle the landmarks define, in degrees.
    WriteResult writeAnglesCsv(const QString& fileName) const;
};
