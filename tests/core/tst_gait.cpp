#include "gait/gaitcycles.h"
#include "gait/motionanalysis.h"
#include "gait/strides.h"
#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "model/motionsamples.h"
#include "model/poseevaluator.h"
#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofiles.h"
#include "support/testsupport.h"

#include <QTest>

#include <algorithm>
#include <numeric>
#include <cmath>

// What a gait lab reads: the strides and their spatiotemporal parameters on steady walks made
// here (expected/strides.txt), the joint angles of the generated sample walk against the angles
// it was made with (expected/angles.txt), the gait-cycle normalisation against numpy.interp
// (expected/cycles.txt), and a real walk against the ranges normal walking has.
class TestGait : public QObject
{
    Q_OBJECT

private:
    static std::vector<double> numbers(const QString& text)
    {
        std::vector<double> values;
        for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            values.push_back(word.toDouble());
        return values;
    }

    static MotionAnalysis analyse(const QString& path, BvhFile& motion)
    {
        if (!BvhReader(motion).read(path).ok())
            return {};
        const MotionSetup setup = MotionSetup::choose(SkeletonProfiles::load(), motion, {});
        return MotionAnalysis::analyse(motion, setup, {}, FrameRange::all(motion.rowCount()));
    }

private slots:
    void stridesOfSteadyWalks_data()
    {
        QTest::addColumn<QStringList>("row");
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath(QStringLiteral("expected/strides.txt"))))
            QTest::newRow(qPrintable(row[0])) << row;
    }

    // The analysis holds the events and the heels' places of a walk whose every parameter is
    // known; each stride of either foot must give them, and a stride missing an event is no
    // stride.
    void stridesOfSteadyWalks()
    {
        QFETCH(QStringList, row);
        const double fps = row[1].toDouble(), length = row[4].toDouble(), width = row[5].toDouble();
        const int stride = row[2].toInt(), doubleSupport = row[3].toInt(), count = row[6].toInt();
        MotionAnalysis a;
        a.errorString.clear();
        a.hasFeet = true;
        a.frameTime = 1.0 / fps;
        a.range = FrameRange{0, 10 + (count + 1) * stride};
        for (auto& foot : a.feet)
            foot[MotionAnalysis::Heel].assign(size_t(a.range.count()),
                                              MotionAnalysis::Vector::Zero());
        std::vector<GaitEvent> events;
        for (int k = 0; k <= count; ++k) {
            for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
                const int strike = 10 + k * stride + (foot == GaitEvent::Right ? stride / 2 : 0);
                events.push_back({strike, foot, GaitEvent::FootStrike});
                events.push_back({strike + stride / 2 + doubleSupport, foot, GaitEvent::FootOff});
                const double along = (k + (foot == GaitEvent::Right ? 0.5 : 0.0)) * length;
                a.feet[size_t(foot)][MotionAnalysis::Heel][size_t(strike)] = MotionAnalysis::Vector(
                    along, 0, foot == GaitEvent::Right ? width / 2 : -width / 2);
            }
        }
        std::stable_sort(events.begin(), events.end(),
                         [](const GaitEvent& x, const GaitEvent& y) { return x.frame < y.frame; });
        if (row[7] == QLatin1String("right"))
            std::erase_if(events, [](const GaitEvent& e) { return e.foot == GaitEvent::Right; });
        else if (row[7].toInt() > 0)
            events.erase(events.begin() + row[7].toInt());
        a.events = events;

        const Strides strides = Strides::of(a, LengthUnit::centimetres());
        const std::vector<double> expected = numbers(row[8]);
        const std::vector<double> counts = numbers(row[9]);
        QCOMPARE(strides.count(GaitEvent::Left), int(counts[0]));
        QCOMPARE(strides.count(GaitEvent::Right), int(counts[1]));
        for (const Stride& s : strides.strides) {
            for (int p = 0; p < Strides::parameterCount; ++p) {
                const double value = Strides::valueOf(s, Strides::Parameter(p));
                if (std::abs(value - expected[size_t(p)]) > 1e-9 * std::abs(expected[size_t(p)]))
                    QFAIL(qPrintable(QStringLiteral("%1 of the stride at %2: %3, not %4")
                                         .arg(Strides::nameOf(Strides::Parameter(p)))
                                         .arg(s.strike)
                                         .arg(value, 0, 'g', 17)
                                         .arg(expected[size_t(p)], 0, 'g', 17)));
            }
        }
    }

    // Means, sample standard deviations and the symmetry index of strides of known lengths.
    void strideStatistics()
    {
        const QList<QStringList> rows = TestSupport::tableRows(
            TestSupport::dataPath(QStringLiteral("expected/stride-statistics.txt")));
        Strides strides;
        strides.unit = LengthUnit::metres();
        for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
            for (const double length : numbers(rows[foot][1])) {
                Stride s;
                s.foot = foot;
                s.length = length;
                strides.strides.push_back(s);
            }
        }
        const std::vector<double> expected = numbers(rows[2][1]);
        const Strides::Statistic left = strides.statistic(GaitEvent::Left, Strides::StrideLength);
        const Strides::Statistic right = strides.statistic(GaitEvent::Right, Strides::StrideLength);
        QCOMPARE(left.mean, expected[0]);
        QCOMPARE(left.sd, expected[1]);
        QCOMPARE(right.mean, expected[2]);
        QVERIFY(std::isnan(right.sd)); // one stride has no spread
        QCOMPARE(strides.symmetryIndex(Strides::StrideLength), expected[3]);
    }

    void cycleNormalisationMatchesNumpy_data()
    {
        QTest::addColumn<QList<QByteArray>>("lines");
        const QList<QByteArray> lines =
            TestSupport::readLines(TestSupport::dataPath(QStringLiteral("expected/cycles.txt")));
        for (qsizetype i = 0; i + 2 < lines.size(); i += 3)
            QTest::newRow(lines[i].split(' ')[1].constData()) << lines.mid(i, 3);
    }

    void cycleNormalisationMatchesNumpy()
    {
        QFETCH(QList<QByteArray>, lines);
        const QList<QByteArray> head = lines[0].split(' ');
        const std::vector<double> x = numbers(QString::fromLatin1(lines[1].mid(2)));
        const std::vector<double> y = numbers(QString::fromLatin1(lines[2].mid(2)));
        const std::array<double, GaitCycles::points> resampled =
            GaitCycles::resample(x, head[2].toInt(), head[3].toInt(), head[4].toInt());
        QCOMPARE(std::vector<double>(resampled.begin(), resampled.end()), y);
    }

    // What both the Gait view and the report draw of a side: points without a mean are left
    // out, and an unknown deviation closes the band on the mean.
    void plotPointsOfACurve()
    {
        GaitCycles::Curve curve;
        for (int p = 0; p < GaitCycles::points; ++p) {
            curve.mean[0][size_t(p)] = p % 10 == 3 ? NAN : p;
            curve.sd[0][size_t(p)] = p < 50 ? 2.0 : NAN;
        }
        const std::vector<GaitCycles::PlotPoint> shown = GaitCycles::plotPoints(curve, 0);
        QCOMPARE(shown.size(), size_t(GaitCycles::points - 10));
        for (const GaitCycles::PlotPoint& point : shown) {
            const double spread = point.percent < 50 ? 2.0 : 0.0;
            QVERIFY(point.mean == point.percent && int(point.percent) % 10 != 3);
            QVERIFY(point.lower == point.mean - spread && point.upper == point.mean + spread);
        }
    }

    void anglesOfTheGeneratedWalk_data()
    {
        QTest::addColumn<QStringList>("row");
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath(QStringLiteral("expected/angles.txt"))))
            QTest::newRow(qPrintable(row[0])) << row;
    }

    // samples/walk.bvh bends each joint about the skeleton's sideways axis by a known angle in
    // every frame: the angle measured from the joint centres must be that channel's value.
    void anglesOfTheGeneratedWalk()
    {
        QFETCH(QStringList, row);
        BvhFile motion;
        const MotionAnalysis analysis =
            analyse(QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh"), motion);
        QVERIFY2(analysis.ok(), qPrintable(analysis.errorString));
        JointAngles::Angle angle = JointAngles::angleCount;
        for (int a = 0; a < JointAngles::angleCount; ++a) {
            if (JointAngles::nameOf(JointAngles::Angle(a)) == row[2])
                angle = JointAngles::Angle(a);
        }
        QVERIFY(angle != JointAngles::angleCount);
        const int side = row[1] == QLatin1String("Left") ? 0 : 1;
        QVERIFY(analysis.angles.has(angle));
        PoseEvaluator pose(motion.root, PoseConvention::ipiStudio());
        const qsizetype joint = motion.root->getAllJointNames().indexOf(row[3]);
        QVERIFY(joint >= 0);
        const double sign = row[4].toDouble();
        double worst = 0;
        for (int frame = 0; frame < motion.rowCount(); ++frame) {
            pose.loadRow(motion.frames[frame]);
            const double made = sign * double(pose.getRotation(joint).x());
            worst = std::max(
                worst,
                std::abs(analysis.angles.degrees[size_t(side)][size_t(angle)][size_t(frame)] -
                         made));
        }
        QVERIFY2(worst < row[5].toDouble(), qPrintable(QString::number(worst)));
    }

    void anglesSayWhyTheyAreMissing_data()
    {
        QTest::addColumn<QStringList>("row");
        for (const QStringList& row : TestSupport::tableRows(
                 TestSupport::dataPath(QStringLiteral("expected/angle-notes.txt"))))
            QTest::newRow(qPrintable(row[0])) << row;
    }

    void anglesSayWhyTheyAreMissing()
    {
        QFETCH(QStringList, row);
        const QStringList pointNames =
            QStringLiteral("PelvisTop LeftHip RightHip LeftKnee RightKnee LeftAnkle RightAnkle "
                           "LeftToe RightToe Neck LeftShoulder RightShoulder")
                .split(QLatin1Char(' '));
        BvhFile motion;
        QVERIFY(
            BvhReader(motion).read(QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh")).ok());
        const MotionSetup setup = MotionSetup::choose(SkeletonProfiles::load(), motion, {});
        std::vector<int> frames(size_t(motion.rowCount()));
        std::iota(frames.begin(), frames.end(), 0);
        const auto poses = MotionSamples::poses(motion, setup.convention, frames);
        const JointAngles::PointIndices points =
            JointAngles::pointIndices(setup.profile, motion.root->getAllJoints(), poses);
        QVERIFY(std::ranges::all_of(points, [](int point) { return point >= 0; }));
        std::array<std::vector<JointAngles::Vector>, JointAngles::pointCount> tracks;
        for (const std::vector<JointAngles::Vector>& pose : poses) {
            for (size_t k = 0; k < JointAngles::pointCount; ++k)
                tracks[k].push_back(pose[size_t(points[k])]);
        }
        for (int frame = 0; frame < row[2].toInt(); ++frame)
            tracks[JointAngles::LeftHip][size_t(frame)] =
                tracks[JointAngles::RightHip][size_t(frame)];
        std::array<std::span<const JointAngles::Vector>, JointAngles::pointCount> spans;
        for (size_t k = 0; k < JointAngles::pointCount; ++k) {
            if (!row[1].split(QLatin1Char(' ')).contains(pointNames[qsizetype(k)]))
                spans[k] = tracks[k];
        }
        const std::vector<JointAngles::Vector> forward(size_t(motion.rowCount()),
                                                       JointAngles::Vector::UnitZ());
        const JointAngles angles =
            JointAngles::compute(spans, forward, JointAngles::Vector::UnitY());
        QCOMPARE(angles.notes.join(QStringLiteral("; ")), row[3]);
    }

    // A plain CMU walk at 120 frames a second: the cadence and knee of normal walking, both
    // sides alike, and every stride's times those of its events.
    void realWalk()
    {
        const std::vector<double> limits = numbers(TestSupport::tableRows(
            TestSupport::dataPath(QStringLiteral("expected/real-walk.txt")))[0][1]);
        BvhFile motion;
        const MotionAnalysis analysis =
            analyse(TestSupport::dataPath(QStringLiteral("real/cmu_02_01.bvh")), motion);
        QVERIFY2(analysis.ok(), qPrintable(analysis.errorString));
        const Strides strides = Strides::of(analysis, LengthUnit::inches());
        const GaitCycles cycles = GaitCycles::of(analysis, strides);
        const GaitCycles::Curve* knee = cycles.curve(QStringLiteral("KNEE_FLEXION"));
        QVERIFY(knee);
        std::array<double, 2> peaks{};
        for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
            QVERIFY(strides.count(foot) >= 1);
            const double cadence = strides.statistic(foot, Strides::Cadence).mean;
            QVERIFY2(cadence >= limits[0] && cadence <= limits[1],
                     qPrintable(QString::number(cadence)));
            const auto& mean = knee->mean[size_t(foot)];
            const auto peak = std::max_element(mean.begin(), mean.end());
            peaks[size_t(foot)] = *peak;
            QVERIFY2(*peak >= limits[2] && *peak <= limits[3], qPrintable(QString::number(*peak)));
            QVERIFY(double(peak - mean.begin()) > cycles.meanToeOffPercent[size_t(foot)]);
        }
        QVERIFY(std::abs(peaks[0] - peaks[1]) < limits[4] * peaks[0]);
        for (const auto& hip : cycles.curve(QStringLiteral("HIP_FLEXION"))->mean) {
            const auto [low, high] = std::minmax_element(hip.begin(), hip.end());
            QVERIFY2(*high >= limits[5] && *high <= limits[6] && *low >= limits[7] &&
                         *low <= limits[8],
                     qPrintable(QStringLiteral("%1 to %2").arg(*low).arg(*high)));
        }
        // One pelvis seen from either side: the same tilt, its obliquity and rotation mirrored.
        const auto& degrees = analysis.angles.degrees;
        double largest = 0;
        for (size_t i = 0; i < size_t(analysis.size()); ++i) {
            QCOMPARE(degrees[0][JointAngles::PelvisTilt][i],
                     degrees[1][JointAngles::PelvisTilt][i]);
            for (const JointAngles::Angle mirrored :
                 {JointAngles::PelvisObliquity, JointAngles::PelvisRotation}) {
                QVERIFY(std::abs(degrees[0][mirrored][i] + degrees[1][mirrored][i]) < 1e-9);
                largest = std::max(largest, std::abs(degrees[0][mirrored][i]));
            }
        }
        QVERIFY(largest > 1); // the walk does sway and turn its pelvis
        for (size_t i = 0; i < size_t(analysis.size()); ++i) // on a floor that rises
            QVERIFY(!analysis.walking[i] || analysis.contact[0][i] || analysis.contact[1][i]);
        for (const Stride& s : strides.strides) {
            QCOMPARE(s.time, (s.nextStrike - s.strike) * motion.frameTime);
            QCOMPARE(s.stancePercent, 100.0 * (s.off - s.strike) / (s.nextStrike - s.strike));
            const auto has = [&](int frame, GaitEvent::Kind kind, bool own) {
                const GaitEvent::Foot foot =
                    own ? s.foot : (s.foot == GaitEvent::Left ? GaitEvent::Right : GaitEvent::Left);
                return std::find(analysis.events.begin(), analysis.events.end(),
                                 GaitEvent{frame, foot, kind}) != analysis.events.end();
            };
            QVERIFY(has(s.strike, GaitEvent::FootStrike, true) &&
                    has(s.oppositeOff, GaitEvent::FootOff, false) &&
                    has(s.oppositeStrike, GaitEvent::FootStrike, false) &&
                    has(s.off, GaitEvent::FootOff, true) &&
                    has(s.nextStrike, GaitEvent::FootStrike, true));
        }
    }
};

QTEST_GUILESS_MAIN(TestGait)
#include "tst_gait.moc"
