#include "gait/gaitcycles.h"
#include "gait/gaitreference.h"
#include "gait/gaitscores.h"
#include "gait/motionanalysis.h"
#include "gait/strides.h"
#include "gait/sway.h"
#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofiles.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <numbers>

// A walk against a reference: its scores against its own strides, shifted by known angles
// (expected/gait-scores.txt) and with its sides swapped; reference files written, read back
// and refused (expected/reference-errors.txt). A standing trial's sway against an independent
// computation (standing/standing-sway.csv, made with scipy), and the 95 % ellipse of paths of
// known covariance (standing/ellipse-cases.txt).
class TestReference : public QObject
{
    Q_OBJECT

private:
    struct Walk
    {
        BvhFile motion;
        MotionSetup setup;
        MotionAnalysis analysis;
        Strides strides;
    };

    static void analyse(Walk& walk, const QString& entry)
    {
        const QString path = entry == QLatin1String("walk")
                                 ? QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh")
                                 : TestSupport::dataPath(entry);
        QVERIFY(BvhReader(walk.motion).read(path).ok());
        walk.setup = MotionSetup::choose(SkeletonProfiles::load(), walk.motion, {});
        walk.analysis = MotionAnalysis::analyse(walk.motion, walk.setup, {},
                                                FrameRange::all(walk.motion.rowCount()));
        QVERIFY2(walk.analysis.ok(), qPrintable(walk.analysis.errorString));
        walk.strides = Strides::of(walk.analysis, walk.setup.unit);
        QVERIFY(!walk.strides.strides.empty());
    }

    // The reference of a walk's own strides, written to a file and read back.
    static GaitReference ownReference(const Walk& walk, bool bySide, const QTemporaryDir& dir)
    {
        const QString file = dir.filePath(QStringLiteral("reference.csv"));
        const GaitReference made =
            GaitReference::build({GaitReference::walkOf(walk.analysis, walk.strides)}, bySide);
        if (!made.write(file).ok)
            return {};
        QString error;
        GaitReference read = GaitReference::read(file, error);
        if (!error.isEmpty() || read.fileCount != 1 ||
            read.strideCount[0] != walk.strides.count(GaitEvent::Left))
            return {};
        return read;
    }

private slots:
    void shiftedAngles_data()
    {
        QTest::addColumn<QStringList>("row");
        for (const QStringList& row : TestSupport::tableRows(
                 TestSupport::dataPath(QStringLiteral("expected/gait-scores.txt"))))
            QTest::newRow(qPrintable(row[0])) << row;
    }

    // Shifting one angle by k degrees in every frame shifts its mean cycles by k: its score is
    // |k| on each side and every other score 0, whatever the walk's skeleton.
    void shiftedAngles()
    {
        QFETCH(QStringList, row);
        Walk walk;
        analyse(walk, row[1]);
        if (QTest::currentTestFailed())
            return;
        QTemporaryDir dir;
        const GaitReference reference = ownReference(walk, true, dir);
        QVERIFY(!reference.isEmpty());
        const double k = row[3].toDouble();
        const auto shifted = std::find_if(
            GaitScores::variables.begin(), GaitScores::variables.end(),
            [&](JointAngles::Angle angle) { return JointAngles::nameOf(angle) == row[2]; });
        QVERIFY(shifted != GaitScores::variables.end());
        for (auto& side : walk.analysis.angles.degrees) {
            for (double& value : side[size_t(*shifted)])
                value += k;
        }
        const GaitScores scores =
            GaitScores::of(GaitCycles::of(walk.analysis, walk.strides), reference);
        QCOMPARE(scores.scores.size(), GaitScores::variables.size());
        // The reference file holds six significant digits.
        const auto near = [](double a, double b) { return std::abs(a - b) < 2e-4; };
        // A side without strides has no score.
        const auto sideNear = [&](double value, double expected, int side) {
            return walk.strides.count(GaitEvent::Foot(side)) > 0 ? near(value, expected)
                                                                 : std::isnan(value);
        };
        for (const GaitScores::Score& score : scores.scores) {
            const double expected = score.variable == *shifted ? row[4].toDouble() : 0.0;
            QVERIFY2(sideNear(score.gvs[0], expected, 0) && sideNear(score.gvs[1], expected, 1),
                     qPrintable(JointAngles::nameOf(score.variable)));
        }
        QVERIFY(sideNear(scores.gps[0], row[5].toDouble(), 0) &&
                sideNear(scores.gps[1], row[5].toDouble(), 1));
        QVERIFY2(near(scores.overall, row[6].toDouble()), qPrintable(scores.describe()));
    }

    // The same walk with its sides swapped scores each side as the other did, against a
    // reference of the sides kept apart and of them pooled.
    void swappedSides()
    {
        Walk walk;
        analyse(walk, QStringLiteral("real/cmu_02_01.bvh"));
        QVERIFY(walk.strides.count(GaitEvent::Left) > 0 &&
                walk.strides.count(GaitEvent::Right) > 0);
        Walk other;
        analyse(other, QStringLiteral("walk"));
        if (QTest::currentTestFailed())
            return;
        const GaitCycles cycles = GaitCycles::of(walk.analysis, walk.strides);
        GaitCycles swapped = cycles;
        std::swap(swapped.strideCount[0], swapped.strideCount[1]);
        for (GaitCycles::Curve& curve : swapped.curves) {
            std::swap(curve.mean[0], curve.mean[1]);
            std::swap(curve.sd[0], curve.sd[1]);
        }
        for (const bool bySide : {false, true}) {
            const GaitReference reference = GaitReference::build(
                {GaitReference::walkOf(other.analysis, other.strides)}, bySide);
            const GaitScores straight = GaitScores::of(cycles, reference);
            const GaitScores crossed = GaitScores::of(swapped, reference);
            QVERIFY(straight.gps[0] > 1 && straight.gps[0] != straight.gps[1]);
            if (bySide) // its left against the reference's right: the other walk is symmetric
                QVERIFY(std::abs(crossed.gps[0] - straight.gps[1]) < 0.5);
            else
                QCOMPARE(crossed.gps[0], straight.gps[1]);
            QVERIFY(bySide || crossed.gps[1] == straight.gps[0]);
        }
        // Two right strides: the SD at a point is their difference over the root of 2.
        const GaitCycles::Resampled strides =
            GaitCycles::resampleStrides(walk.analysis, walk.strides);
        std::vector<double> knee;
        for (const GaitCycles::Resampled::Stride& stride : strides.strides) {
            if (stride.foot == GaitEvent::Right)
                knee.push_back(stride.curves[size_t(strides.names.indexOf("KNEE_FLEXION"))][50]);
        }
        QCOMPARE(knee.size(), size_t(2));
        QCOMPARE(cycles.curve("KNEE_FLEXION")->sd[GaitEvent::Right][50],
                 std::abs(knee[0] - knee[1]) / std::sqrt(2.0));
    }

    void refusedReferences_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("message");
        for (const QStringList& row : TestSupport::tableRows(
                 TestSupport::dataPath(QStringLiteral("expected/reference-errors.txt"))))
            QTest::newRow(qPrintable(row[0])) << row[1] << row[2];
    }

    void refusedReferences()
    {
        QFETCH(QString, lines);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file = TestSupport::writeFile(
            dir, QStringLiteral("bad.csv"),
            lines.isEmpty() ? QByteArray() : lines.replace(QLatin1Char('/'), '\n').toUtf8() + '\n');
        QString error;
        QVERIFY(GaitReference::read(file, error).isEmpty());
        QVERIFY2(error.startsWith(file + QStringLiteral(", line ")) && error.contains(message),
                 qPrintable(error));
    }

    // Every measure within 0.01 % of scipy's from the analysis table, the digits the table
    // keeps (the ellipse's angle, about 0 for sways along and across the body, within a
    // hundredth of a degree).
    void swayOfAStandingTrial()
    {
        Walk standing;
        QVERIFY(BvhReader(standing.motion)
                    .read(TestSupport::dataPath(QStringLiteral("standing/standing.bvh")))
                    .ok());
        standing.setup = MotionSetup::choose(SkeletonProfiles::load(), standing.motion, {});
        standing.analysis = MotionAnalysis::analyse(standing.motion, standing.setup, {},
                                                    FrameRange::all(standing.motion.rowCount()));
        QVERIFY(standing.analysis.restFrames.isEmpty());
        const std::optional<Sway> sway =
            Sway::of(standing.analysis, standing.setup.unit.metresPerUnit());
        QVERIFY(sway && sway->facing.isApprox(Eigen::Vector3d::UnitZ(), 1e-9));
        const QList<QByteArray> expected = TestSupport::readLines(
            TestSupport::dataPath(QStringLiteral("standing/standing-sway.csv")));
        QCOMPARE(expected.size(), 3 + Sway::measureCount);
        for (int m = 0; m < Sway::measureCount; ++m) {
            const QList<QByteArray> cells = expected[3 + m].split(',');
            QCOMPARE(QString::fromUtf8(cells[0]), Sway::nameOf(Sway::Measure(m)));
            for (int d = 0; d < Sway::directionCount; ++d) {
                const double value = sway->value(Sway::Measure(m), Sway::Direction(d));
                if (cells[1 + d].isEmpty()) {
                    QVERIFY(std::isnan(value));
                    continue;
                }
                const double want = cells[1 + d].toDouble();
                const double tolerance = m == Sway::EllipseAngle ? 0.01 : 1e-4 * std::abs(want);
                QVERIFY2(std::abs(value - want) <= tolerance,
                         qPrintable(QStringLiteral("%1 %2: %3, not %4")
                                        .arg(Sway::nameOf(Sway::Measure(m)))
                                        .arg(d)
                                        .arg(value)
                                        .arg(want)));
            }
        }
        // A walk sways no standing body, and a standing body has no stride to score.
        Walk walk;
        analyse(walk, QStringLiteral("walk"));
        QVERIFY(!Sway::of(walk.analysis, 0.01));
        const Strides none = Strides::of(standing.analysis, standing.setup.unit);
        QVERIFY(GaitScores::of(GaitCycles::of(standing.analysis, none),
                               GaitReference::build(
                                   {GaitReference::walkOf(walk.analysis, walk.strides)}, false))
                    .isEmpty());
    }

    void ellipseOfAKnownCovariance_data()
    {
        QTest::addColumn<QStringList>("row");
        for (const QStringList& row : TestSupport::tableRows(
                 TestSupport::dataPath(QStringLiteral("standing/ellipse-cases.txt"))))
            QTest::newRow(qPrintable(row[0])) << row;
    }

    // along = a sin(2 pi f1 t), across = b sin(2 pi f2 t) + c sin(2 pi f1 t): the area of the
    // 95 % ellipse of their covariance, within 2 %, and its axes making that area.
    void ellipseOfAKnownCovariance()
    {
        QFETCH(QStringList, row);
        const double rate = row[1].toDouble(), seconds = row[2].toDouble();
        const double a = row[3].toDouble(), f1 = row[4].toDouble(), b = row[5].toDouble(),
                     f2 = row[6].toDouble(), c = row[7].toDouble();
        std::vector<Eigen::Vector2d> path;
        for (int i = 0; i <= int(std::lround(rate * seconds)); ++i) {
            const double t = i / rate, w = 2 * std::numbers::pi;
            path.emplace_back(a * std::sin(w * f1 * t),
                              b * std::sin(w * f2 * t) + c * std::sin(w * f1 * t));
        }
        const Sway sway = Sway::measure(path, 1 / rate);
        const double area = sway.value(Sway::EllipseArea);
        QVERIFY2(std::abs(area / row[8].toDouble() - 1) < 0.02, qPrintable(QString::number(area)));
        // The outline drawn: a polygon of the ellipse's area, 72 corners short of it.
        const std::vector<Eigen::Vector2d> outline = sway.ellipseOutline();
        double enclosed = 0;
        for (size_t k = 0; k + 1 < outline.size(); ++k)
            enclosed += outline[k].x() * outline[k + 1].y() - outline[k + 1].x() * outline[k].y();
        QVERIFY(std::abs(enclosed / 2 / area - 1) < 0.002);
        QVERIFY(std::abs(std::numbers::pi * sway.value(Sway::EllipseMajorAxis) *
                             sway.value(Sway::EllipseMinorAxis) / area -
                         1) < 1e-9);
    }
};

QTEST_GUILESS_MAIN(TestReference)
#include "tst_reference.moc"
