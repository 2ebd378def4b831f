#include "sway.h"

#include "gait/motionanalysis.h"
#include "model/csvwriter.h"
#include "model/numberformat.h"

#include <Eigen/Eigenvalues>
#include <Eigen/Geometry>
#include <unsupported/Eigen/FFT>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

struct MeasureText
{
    const char* name;
    const char* title;
};

constexpr MeasureText measureTexts[Sway::measureCount] = {
    {"MEAN_DISTANCE_M", "Mean distance (m)"},
    {"RMS_DISTANCE_M", "RMS distance (m)"},
    {"PATH_LENGTH_M", "Path length (m)"},
    {"MEAN_VELOCITY_M_S", "Mean velocity (m/s)"},
    {"ELLIPSE_AREA_M2", "95 % ellipse area (m²)"},
    {"ELLIPSE_MAJOR_AXIS_M", "Ellipse major semi-axis (m)"},
    {"ELLIPSE_MINOR_AXIS_M", "Ellipse minor semi-axis (m)"},
    {"ELLIPSE_ANGLE_DEG", "Ellipse angle from forward (deg)"},
    {"POWER_FREQUENCY_50_HZ", "50 % power frequency (Hz)"},
    {"POWER_FREQUENCY_95_HZ", "95 % power frequency (Hz)"}};

// The upper 5 % point of the F distribution with 2 and m degrees of freedom, in closed form:
// P(F > x) = (1 + 2x / m)^(-m / 2).
double fQuantile95(double m)
{
    return m / 2 * (std::pow(0.05, -2 / m) - 1);
}

// The length of the transform of `n` samples: `n` itself, the periodogram of the samples as
// they are, unless a large prime factor would make it slow (its cost grows with n times that
// factor); then the next power of two, the samples zero-padded, whose finer steps differ from
// n's by less than one of n's frequency steps.
size_t transformLength(size_t n)
{
    size_t rest = n, largest = 1;
    for (size_t factor = 2; factor * factor <= rest; ++factor) {
        while (rest % factor == 0) {
            rest /= factor;
            largest = factor;
        }
    }
    largest = std::max(largest, rest);
    if (double(n) * double(largest) <= 5e7)
        return n;
    size_t size = 1;
    while (size < n)
        size *= 2;
    return size;
}

// The frequencies below which `shares` of the power of `signal` lies, within Sway's band: its
// periodogram (the mean removed), summed from the band's lowest frequency to the first that
// reaches each share.
std::array<double, 2> powerFrequencies(std::vector<double> signal, double frameTime,
                                       std::array<double, 2> shares)
{
    const size_t n = signal.size();
    double mean = 0;
    for (const double value : signal)
        mean += value;
    mean /= double(n);
    for (double& value : signal)
        value -= mean;
    const size_t size = transformLength(n);
    signal.resize(size, 0.0);
    Eigen::FFT<double> fft;
    std::vector<std::complex<double>> spectrum;
    fft.fwd(spectrum, signal);
    const double step = 1.0 / (frameTime * double(size));
    const double top = std::min(Sway::highestFrequency, 0.5 / frameTime);
    std::vector<std::pair<double, double>> band; // (frequency, power)
    double total = 0;
    for (size_t k = 0; k <= size / 2; ++k) {
        const double frequency = double(k) * step;
        if (frequency < Sway::lowestFrequency || frequency > top)
            continue;
        band.emplace_back(frequency, std::norm(spectrum[k]));
        total += band.back().second;
    }
    std::array<double, 2> result{notANumber, notANumber};
    if (!(total > 0))
        return result;
    for (size_t s = 0; s < shares.size(); ++s) {
        double sum = 0;
        for (const auto& [frequency, power] : band) {
            sum += power;
            if (sum >= shares[s] * total) {
                result[s] = frequency;
                break;
            }
        }
    }
    return result;
}

QString cell(double value)
{
    return std::isfinite(value) ? NumberFormat::general(value) : QString();
}

} // namespace

QString Sway::nameOf(Measure measure)
{
    return QLatin1String(measureTexts[measure].name);
}

QString Sway::titleOf(Measure measure)
{
    return QString::fromUtf8(measureTexts[measure].title);
}

QString Sway::text(Measure measure, double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("–");
    if (measure == EllipseAngle)
        return QString::number(value, 'f', 1);
    if (measure == PowerFrequency50 || measure == PowerFrequency95)
        return QString::number(value, 'f', 3);
    return QString::number(value, 'g', 4);
}

std::vector<Eigen::Vector2d> Sway::ellipseOutline(int count) const
{
    const double angle = value(EllipseAngle) * std::numbers::pi / 180;
    const double major = value(EllipseMajorAxis), minor = value(EllipseMinorAxis);
    const Eigen::Rotation2Dd turn(angle);
    std::vector<Eigen::Vector2d> outline;
    for (int k = 0; k <= count; ++k) {
        const double t = 2 * std::numbers::pi * k / count;
        outline.push_back(turn * Eigen::Vector2d(major * std::cos(t), minor * std::sin(t)));
    }
    return outline;
}

QString Sway::describe() const
{
    return QStringLiteral("sway over %1 s: mean distance %2 mm, mean velocity %3 mm/s, 95 % "
                          "ellipse %4 cm²")
        .arg(QString::number((frames - 1) * frameTime, 'f', 1),
             QString::number(value(MeanDistance) * 1000, 'f', 1),
             QString::number(value(MeanVelocity) * 1000, 'f', 1),
             QString::number(value(EllipseArea) * 1e4, 'f', 2));
}

bool Sway::isStanding(const MotionAnalysis& analysis)
{
    return analysis.ok() && std::none_of(analysis.walking.begin(), analysis.walking.end(),
                                         [](unsigned char walking) { return walking != 0; });
}

std::optional<Sway> Sway::of(const MotionAnalysis& analysis, double metresPerUnit)
{
    if (!isStanding(analysis) || analysis.size() < 3)
        return std::nullopt;
    // The way the body faces: the mean of the way the hips face over the frames.
    Eigen::Vector3d facing = Eigen::Vector3d::Zero();
    for (const Eigen::Vector3d& direction : analysis.walkingDirection)
        facing += direction;
    facing = analysis.horizontal(facing);
    facing = facing.norm() > 0 ? facing.normalized() : analysis.up.unitOrthogonal();
    const Eigen::Vector3d right = facing.cross(analysis.up);
    std::vector<Eigen::Vector2d> path;
    path.reserve(analysis.centre.size());
    for (const Eigen::Vector3d& centre : analysis.centre)
        path.emplace_back(centre.dot(facing) * metresPerUnit, centre.dot(right) * metresPerUnit);
    Sway sway = measure(std::move(path), analysis.frameTime);
    sway.facing = facing;
    return sway;
}

Sway Sway::measure(std::vector<Eigen::Vector2d> path, double frameTime)
{
    Sway sway;
    for (auto& row : sway.values)
        row.fill(notANumber);
    sway.frames = int(path.size());
    sway.frameTime = frameTime;
    const size_t n = path.size();
    if (n < 3 || !(frameTime > 0))
        return sway;
    Eigen::Vector2d mean = Eigen::Vector2d::Zero();
    for (const Eigen::Vector2d& p : path)
        mean += p;
    mean /= double(n);
    for (Eigen::Vector2d& p : path)
        p -= mean;

    // Distances: of the point (resultant) and of each of its parts.
    std::array<double, directionCount> sums{}, squares{}, lengths{};
    std::vector<double> distance(n), along(n), across(n);
    Eigen::Matrix2d covariance = Eigen::Matrix2d::Zero();
    for (size_t i = 0; i < n; ++i) {
        const Eigen::Vector2d& p = path[i];
        distance[i] = p.norm();
        along[i] = p.x();
        across[i] = p.y();
        const std::array<double, directionCount> parts = {distance[i], p.x(), p.y()};
        for (size_t d = 0; d < directionCount; ++d) {
            sums[d] += std::abs(parts[d]);
            squares[d] += parts[d] * parts[d];
        }
        covariance += p * p.transpose();
        if (i > 0) {
            const Eigen::Vector2d step = p - path[i - 1];
            lengths[Resultant] += step.norm();
            lengths[AlongFacing] += std::abs(step.x());
            lengths[AcrossFacing] += std::abs(step.y());
        }
    }
    covariance /= double(n);
    const double seconds = double(n - 1) * frameTime;
    for (size_t d = 0; d < directionCount; ++d) {
        sway.values[MeanDistance][d] = sums[d] / double(n);
        sway.values[RmsDistance][d] = std::sqrt(squares[d] / double(n));
        sway.values[PathLength][d] = lengths[d];
        sway.values[MeanVelocity][d] = lengths[d] / seconds;
    }

    // The 95 % confidence ellipse: its semi-axes along the covariance's eigenvectors.
    const double f = fQuantile95(double(n) - 2);
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix2d> eigen(covariance);
    const Eigen::Vector2d variances = eigen.eigenvalues().cwiseMax(0.0); // ascending
    sway.values[EllipseArea][Resultant] =
        2 * std::numbers::pi * f * std::sqrt(std::max(0.0, covariance.determinant()));
    sway.values[EllipseMajorAxis][Resultant] = std::sqrt(2 * f * variances[1]);
    sway.values[EllipseMinorAxis][Resultant] = std::sqrt(2 * f * variances[0]);
    sway.values[EllipseAngle][Resultant] =
        0.5 * std::atan2(2 * covariance(0, 1), covariance(0, 0) - covariance(1, 1)) * 180 /
        std::numbers::pi;

    const std::vector<double>* components[directionCount] = {&distance, &along, &across};
    for (size_t d = 0; d < directionCount; ++d) {
        const std::array<double, 2> frequencies =
            powerFrequencies(*components[d], frameTime, {0.5, 0.95});
        sway.values[PowerFrequency50][d] = frequencies[0];
        sway.values[PowerFrequency95][d] = frequencies[1];
    }
    sway.path = std::move(path);
    return sway;
}

WriteResult Sway::writeCsv(const QString& fileName) const
{
    CsvWriter writer(fileName);
    if (!writer.open())
        return writer.finish();
    writer.addText("MEASURE,RESULTANT,AP,ML");
    writer.endLine();
    writer.addText(QStringLiteral("FRAMES,%1,,").arg(frames));
    writer.endLine();
    writer.addText(QStringLiteral("DURATION_S,%1,,").arg(cell((frames - 1) * frameTime)));
    writer.endLine();
    for (int m = 0; m < measureCount; ++m) {
        QString line = nameOf(Measure(m));
        for (size_t d = 0; d < directionCount; ++d)
            line += QLatin1Char(',') + cell(values[size_t(m)][d]);
        writer.addText(line);
        writer.endLine();
    }
    return writer.finish();
}

QString Sway::summaryHeader()
{
    QStringList names;
    for (int m = 0; m < measureCount; ++m)
        names << QStringLiteral("SWAY_") + nameOf(Measure(m));
    return names.join(QLatin1Char(','));
}

QString Sway::summaryCells() const
{
    QStringList cells;
    for (int m = 0; m < measureCount; ++m)
        cells << cell(values[size_t(m)][Resultant]);
    return cells.join(QLatin1Char(','));
}
