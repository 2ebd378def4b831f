#pragma once

#include "model/writeresult.h"

#include <Eigen/Core>

#include <QString>

#include <array>
#include <optional>
#include <span>
#include <vector>

struct MotionAnalysis;

// How a standing body's centre of mass sways, measured on its floor point along and across the
// way the body faces, as Prieto et al. (1996, IEEE Trans Biomed Eng 43: 956-966) measure the
// centre of pressure: distances from the mean point, the path and its speed, the 95 %
// confidence ellipse, and the frequencies below which half and 95 % of the power lies.
struct Sway
{
    // The columns: the distance from the mean point, and its parts along (AP, positive
    // forward) and across (ML, positive to the right) the facing direction.
    enum Direction
    {
        Resultant,
        AlongFacing,
        AcrossFacing,
        directionCount
    };
    enum Measure
    {
        MeanDistance, // metres: the mean of the distance (resultant) or of its absolute part
        RmsDistance,
        PathLength,
        MeanVelocity,     // the path over the time from the first frame to the last
        EllipseArea,      // m^2, 2 pi F.05[2, n-2] sqrt(sAP^2 sML^2 - sAPML^2); resultant only
        EllipseMajorAxis, // semi-axes, metres
        EllipseMinorAxis,
        EllipseAngle,     // degrees from forward to the major axis, towards the right
        PowerFrequency50, // Hz, of the power between 0.15 and 5 Hz
        PowerFrequency95,
        measureCount
    };
    // The power spectrum's band (Prieto's), in Hz.
    static constexpr double lowestFrequency = 0.15, highestFrequency = 5.0;

    int frames = 0;
    double frameTime = 0.0;
    Eigen::Vector3d facing = Eigen::Vector3d::UnitX(); // horizontal, unit length
    // The floor point at each frame, from the mean point: along and across the facing
    // direction, in metres.
    std::vector<Eigen::Vector2d> path;
    // NaN where a measure has no value in a direction.
    std::array<std::array<double, directionCount>, measureCount> values{};

    double value(Measure measure, Direction direction = Resultant) const
    {
        return values[size_t(measure)][size_t(direction)];
    }
    // "MEAN_DISTANCE_M", "ELLIPSE_AREA_M2", ...; "Mean distance (m)" for people.
    static QString nameOf(Measure measure);
    static QString titleOf(Measure measure);
    // A value as people read it: degrees to a tenth, frequencies to a thousandth of a hertz,
    // the rest to four significant digits; "–" for none.
    static QString text(Measure measure, double value);
    // The 95 % ellipse's outline: `count` + 1 points (along, across; metres) round it from the
    // end of its major axis, the last the first again.
    std::vector<Eigen::Vector2d> ellipseOutline(int count = 72) const;
    // "sway over 20.0 s: mean distance 4.1 mm, mean velocity 6.2 mm/s, ellipse 1.2 cm²"
    QString describe() const;

    // Whether an analysis is of a standing trial: its pelvis never travels as walking does.
    static bool isStanding(const MotionAnalysis& analysis);
    // The sway of a standing trial's centre of mass (lengths times `metresPerUnit` give
    // metres); none when the trial walks or has fewer than three frames.
    static std::optional<Sway> of(const MotionAnalysis& analysis, double metresPerUnit);
    // The measures of a path (along, across; metres) sampled every `frameTime` seconds.
    static Sway measure(std::vector<Eigen::Vector2d> path, double frameTime);

    // MEASURE,RESULTANT,AP,ML: a row per measure, after FRAMES and DURATION_S.
    WriteResult writeCsv(const QString& fileName) const;
    // The columns the summary table adds for the sway (resultant measures), and a file's cells.
    static QString summaryHeader();
    QString summaryCells() const;
};
