#include "gait/gaitevents.h"
#include "gait/motionanalysis.h"
#include "gait/supportpolygon.h"
#include "model/motionsamples.h"
#include "model/poseevaluator.h"
#include "physics/butterworth.h"
#include "physics/derivative.h"
#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofiles.h"
#include "support/rerig.h"
#include "support/testsupport.h"

#include <QTest>

#include <cmath>

// The centre-of-mass analysis: the zero-lag Butterworth filter against scipy's filtfilt, the
// derivatives against analytic ones, gait events and the margin of stability against known
// answers (expected/gait.txt), the cut-offs it refuses, the rest poses it leaves out and the
// floors that are not level.
class TestAnalysis : public QObject
{
    Q_OBJECT

private:
    static std::vector<double> numbers(const QByteArray& line)
    {
        std::vector<double> values;
        for (const QByteArray& word : line.mid(2).split(' '))
            values.push_back(word.toDouble());
        return values;
    }

    // The numbers after `key` in expected/gait.txt.
    static std::vector<double> expected(const char* key)
    {
        const QByteArray prefix = QByteArray(key) + ' ';
        for (const QByteArray& line :
             TestSupport::readLines(TestSupport::dataPath("expected/gait.txt"))) {
            if (line.startsWith(prefix))
                return numbers(line.mid(prefix.size() - 2));
        }
        return {};
    }

    static std::vector<double> framesOf(const std::vector<GaitEvent>& events, GaitEvent::Kind kind)
    {
        std::vector<double> frames;
        for (const GaitEvent& event : events) {
            if (event.kind == kind)
                frames.push_back(event.frame);
        }
        return frames;
    }

    static MotionAnalysis analyseWalk(BvhFile& motion, const AnalysisSettings& settings)
    {
        const SkeletonProfiles profiles = SkeletonProfiles::load();
        const MotionSetup setup = MotionSetup::choose(profiles, motion, {});
        return MotionAnalysis::analyse(motion, setup, settings, FrameRange::all(motion.rowCount()));
    }

    BvhFile walk; // samples/walk.bvh, read anew for every test

private slots:
    void init()
    {
        walk.clear();
        QVERIFY(BvhReader(walk).read(QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh")).ok());
    }

    // Every case of expected/hulls.txt: the corners of the base of support, none on an edge.
    void supportPolygonCorners_data()
    {
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("corners");
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath("expected/hulls.txt")))
            QTest::newRow(qPrintable(row.value(0))) << row.value(1) << row.value(2);
    }

    void supportPolygonCorners()
    {
        QFETCH(QString, points);
        QFETCH(QString, corners);
        const auto parse = [](const QString& text) {
            std::vector<SupportPolygon::Point> list;
            for (const QString& pair : text.split(QLatin1Char(';'))) {
                const QStringList xy = pair.split(QLatin1Char(' '), Qt::SkipEmptyParts);
                list.emplace_back(xy.value(0).toDouble(), xy.value(1).toDouble());
            }
            return list;
        };
        const auto sorted = [](std::vector<SupportPolygon::Point> list) {
            std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
                return std::pair(a.x(), a.y()) < std::pair(b.x(), b.y());
            });
            return list;
        };
        const std::vector<SupportPolygon::Point> given = parse(points);
        QCOMPARE(sorted(SupportPolygon::hullOf(given).getCorners()), sorted(parse(corners)));
    }

    // Every case of expected/filtfilt.txt (made by make_filter_reference.py with scipy): its
    // rate, cut-off, signal and filtered signal.
    void filterMatchesScipy_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("cutoff");
        QTest::addColumn<QByteArray>("signal");
        QTest::addColumn<QByteArray>("filtered");
        const QList<QByteArray> lines =
            TestSupport::readLines(TestSupport::dataPath("expected/filtfilt.txt"));
        QCOMPARE(lines.size() % 3, 0);
        for (qsizetype i = 0; i + 2 < lines.size(); i += 3) {
            const QList<QByteArray> head = lines[i].mid(5).split('|');
            QTest::newRow(head[0].constData())
                << head[1].toDouble() << head[2].toDouble() << lines[i + 1] << lines[i + 2];
        }
    }

    // To 1e-9 of the signal's size.
    void filterMatchesScipy()
    {
        QFETCH(double, rate);
        QFETCH(double, cutoff);
        QFETCH(QByteArray, signal);
        QFETCH(QByteArray, filtered);
        const std::vector<double> want = numbers(filtered);
        const std::vector<double> got =
            Butterworth::filterTwice(Butterworth::lowPass(cutoff, rate), numbers(signal));
        double size = 1;
        for (const double v : want)
            size = std::max(size, std::abs(v));
        QCOMPARE(got.size(), want.size());
        for (size_t k = 0; k < got.size(); ++k)
            QVERIFY2(std::abs(got[k] - want[k]) <= 1e-9 * size,
                     qPrintable(QStringLiteral("sample %1: %2 against %3")
                                    .arg(k)
                                    .arg(got[k], 0, 'g', 17)
                                    .arg(want[k], 0, 'g', 17)));
    }

    // f(t) = 2t^2 - 3t + 1 sampled every 0.01 s: the central differences give 4t - 3 exactly
    // inside, the one-sided ones the chord's slope at the ends; too short a signal has rate 0.
    void gradientOfAPolynomial()
    {
        const double dt = 0.01;
        std::vector<double> f;
        for (int i = 0; i < 50; ++i)
            f.push_back(2 * (i * dt) * (i * dt) - 3 * (i * dt) + 1);
        const std::vector<double> rate = Derivative::gradient(f, dt);
        for (int i = 1; i < 49; ++i)
            QVERIFY(std::abs(rate[size_t(i)] - (4 * i * dt - 3)) < 1e-9);
        QVERIFY(std::abs(rate[0] - (2 * dt - 3)) < 1e-9 &&
                std::abs(rate[49] - (2 * (48 + 49) * dt - 3)) < 1e-9);
        QCOMPARE(Derivative::gradient(std::vector<double>{5.0}, dt), std::vector<double>{0.0});
    }

    // Heel strikes at the heel's forward peaks, toe offs at the toe's backward ones, each on
    // its frame; standing still, the contacts give them instead.
    void gaitEvents()
    {
        const int count = 300;
        std::vector<double> heel(count), toe(count);
        std::vector<unsigned char> contact(count, 0), walking(count, 1), still(count, 0);
        for (int i = 0; i < count; ++i) {
            heel[size_t(i)] = 30 * std::cos(2 * M_PI * (i - 12) / 66.0);
            toe[size_t(i)] = -20 * std::cos(2 * M_PI * (i - 45) / 66.0);
            contact[size_t(i)] = (i >= 20 && i < 60) || (i >= 100 && i < 140);
        }
        const std::vector<GaitEvent> walk =
            GaitEvents::detect({heel, toe, contact}, GaitEvent::Left, walking, 15, 0);
        QCOMPARE(framesOf(walk, GaitEvent::FootStrike), expected("strikes"));
        QCOMPARE(framesOf(walk, GaitEvent::FootOff), expected("offs"));
        const std::vector<GaitEvent> stand =
            GaitEvents::detect({heel, toe, contact}, GaitEvent::Right, still, 15, 0);
        QCOMPARE(framesOf(stand, GaitEvent::FootStrike), expected("contact-strikes"));
        QCOMPARE(framesOf(stand, GaitEvent::FootOff), expected("contact-offs"));
        QCOMPARE(stand.front().footName() + stand.front().kindName(), "RightFoot Strike");
        for (const char* flicker : {"flicker", "flicker-start"}) {
            const std::vector<double> in = expected((QByteArray(flicker) + "-in").constData());
            std::vector<unsigned char> flags(in.begin(), in.end());
            GaitEvents::removeFlicker(flags, 3);
            QCOMPARE(std::vector<double>(flags.begin(), flags.end()),
                     expected((QByteArray(flicker) + "-out").constData()));
        }
        const std::vector<double> plateau = expected("plateau");
        const std::vector<double> flat(plateau.size(), 0.0);
        const std::vector<unsigned char> moving(plateau.size(), 1);
        QCOMPARE(
            framesOf(GaitEvents::detect({plateau, flat, moving}, GaitEvent::Left, moving, 2, 0),
                     GaitEvent::FootStrike),
            expected("plateau-strikes"));
    }

    void footLandmarks_data()
    {
        QTest::addColumn<QString>("landmark"); // added to the profile first; empty: none
        QTest::addColumn<QString>("joint");    // whose path the analysis must follow
        QTest::addColumn<int>("foot");
        QTest::addColumn<int>("part"); // MotionAnalysis::Heel or Toe
        QTest::newRow("no left heel: the ankle") << ""
                                                 << "LFoot" << 0 << int(MotionAnalysis::Heel);
        QTest::newRow("a left heel") << "left heel"
                                     << "LShin" << 0 << int(MotionAnalysis::Heel);
        QTest::newRow("a right heel") << "right heel"
                                      << "RShin" << 1 << int(MotionAnalysis::Heel);
        QTest::newRow("the left toe") << ""
                                      << "LToe" << 0 << int(MotionAnalysis::Toe);
        QTest::newRow("another right toe") << "right toe"
                                           << "RShin" << 1 << int(MotionAnalysis::Toe);
    }

    // The feet the analysis follows are the joints the profile names for them: a heel where it
    // names one, else the ankle; the toe.
    void footLandmarks()
    {
        QFETCH(QString, landmark);
        QFETCH(QString, joint);
        QFETCH(int, foot);
        QFETCH(int, part);
        MotionSetup setup = MotionSetup::choose(SkeletonProfiles::load({}), walk, {});
        if (!landmark.isEmpty())
            setup.profile.landmarks.prepend({landmark, {joint}});
        const MotionAnalysis a =
            MotionAnalysis::analyse(walk, setup, {}, FrameRange::all(walk.rowCount()));
        QVERIFY2(a.ok(), qPrintable(a.errorString));
        PoseEvaluator pose(walk.root, setup.convention);
        const std::span<const double> row = walk.frames[100];
        pose.evaluateRow(row);
        const qsizetype index = pose.getJoints().indexOf(walk.root->getJointByName(joint));
        QCOMPARE(a.feet[size_t(foot)][size_t(part)][100], pose.getPosition(index).cast<double>());
    }

    // The sample walk: as many steps, at the cadence, as it was made with.
    void walkCadence()
    {
        const MotionAnalysis analysis = analyseWalk(walk, {});
        QVERIFY2(analysis.ok(), qPrintable(analysis.errorString));
        QCOMPARE(analysis.steps(), int(expected("walk-steps")[0]));
        QVERIFY(std::abs(analysis.cadence() / expected("walk-cadence")[0] - 1) < 0.005);
        AnalysisSettings corrected;
        corrected.correctCutoff = true;
        QCOMPARE(analyseWalk(walk, corrected).cutoffHz, expected("corrected-cutoff")[0]);
    }

    // A cut-off at or above half the frame rate (the walk's 1 / 0.0166667 s) is refused, the
    // correction counted, and the message names both; one just below it is taken.
    void cutoffBelowHalfTheFrameRate_data()
    {
        QTest::addColumn<double>("cutoff");
        QTest::addColumn<bool>("corrected");
        QTest::addColumn<QString>("refusal"); // empty: taken
        const double half = 0.5 / 0.0166667;
        const QString refusal =
            "The cut-off frequency of %1 Hz is not below half the frame rate (29.9999 Hz).";
        QTest::newRow("just below half") << std::nextafter(half, 0.0) << false << "";
        QTest::newRow("half") << half << false << refusal.arg("29.9999");
        QTest::newRow("above half") << 45.0 << false << refusal.arg("45");
        QTest::newRow("corrected to above half") << 25.0 << true << refusal.arg("31.1721");
        QTest::newRow("corrected, below half") << 20.0 << true << "";
    }

    void cutoffBelowHalfTheFrameRate()
    {
        QFETCH(double, cutoff);
        QFETCH(bool, corrected);
        QFETCH(QString, refusal);
        AnalysisSettings settings;
        settings.cutoffHz = cutoff;
        settings.correctCutoff = corrected;
        QCOMPARE(analyseWalk(walk, settings).errorString, refusal);
    }

    // Values a float holds can add up past its range: the pose of such a frame fails the
    // analysis, which names it, instead of filling every table with NaN.
    void posesBeyondTheFloatRangeAreRefused()
    {
        walk.root->setOffset(3.4e38, 0, 0);
        walk.frames.rowToChange(40)[0] =
            3.4e38; // the root's x: its OFFSET plus this leaves the floats
        const MotionAnalysis analysis = analyseWalk(walk, {});
        QVERIFY2(!analysis.ok() && analysis.errorString.startsWith(QLatin1String("At frame 40 ")),
                 qPrintable(analysis.errorString));
    }

    // The walk's skeleton standing still, carried forward: its extrapolated centre leads the
    // centre by v / sqrt(g / l) and lies that far beyond the front of the base of support.
    void extrapolatedCentreAndMargin()
    {
        for (int frame = 0; frame < walk.rowCount(); ++frame) {
            const std::span<double> row = walk.frames.rowToChange(frame);
            std::fill(row.begin(), row.end(), 0.0);
            row[1] = 100;
            row[2] = 50 * frame * walk.frameTime;
        }
        AnalysisSettings settings;
        settings.pendulumLength = 100;
        settings.footWidth = 0;
        settings.contactHeight = settings.contactSpeed = 1e9;
        const MotionAnalysis a = analyseWalk(walk, settings);
        QVERIFY2(a.ok(), qPrintable(a.errorString));
        const double lead = expected("xcom-lead")[0], front = expected("base-front")[0];
        for (const int i : {60, 120, 180}) {
            const double root = 50 * i * walk.frameTime;
            QVERIFY(std::abs(a.velocity[size_t(i)].z() - 50) < 1e-4); // positions are floats
            QVERIFY(std::abs(a.extrapolatedCentre[size_t(i)].z() - a.centre[size_t(i)].z() - lead) <
                    1e-4);
            QCOMPARE(a.extrapolatedCentre[size_t(i)].y(), a.floorHeight);
            const double beyond = a.extrapolatedCentre[size_t(i)].z() - root - front;
            QVERIFY(std::abs(a.marginAlong[size_t(i)] + beyond) < 1e-4);
            QVERIFY(std::abs(a.margin[size_t(i)] + beyond) < 1e-4);
            QVERIFY(std::abs(a.marginAcross[size_t(i)] - expected("base-half-width")[0]) < 1e-4);
        }
    }

    // Rest poses at either end (expected/rest-frames.txt), as recorded or put there: left out
    // of the analysis and said, unless the settings keep them.
    void restPosesAreLeftOut_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("said");
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath("expected/rest-frames.txt"))) {
            const auto rows = [](const QString& cell) {
                return cell == QLatin1String("-") ? QStringList()
                                                  : cell.split(' ', Qt::SkipEmptyParts);
            };
            QTest::newRow(qPrintable(row.value(0)))
                << row.value(1) << rows(row.value(2)) << rows(row.value(3)) << row.value(4);
        }
    }

    void restPosesAreLeftOut()
    {
        QFETCH(QString, entry);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(QString, said);
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::recordingText(entry)));
        const MotionSetup setup = MotionSetup::choose(SkeletonProfiles::load(), motion, {});
        // A row of zero rotations, or copies of the middle frame half the stature away.
        const auto rowsFor = [&](const QString& choice, QList<double> row) {
            const bool zero = choice == QLatin1String("zero");
            if (zero) {
                for (const qsizetype column : MotionSamples::rotationColumns(motion))
                    row[column] = 0.0;
            } else {
                row = TestSupport::rowList(motion.frames)[motion.rowCount() / 2];
                row[0] += setup.stature / 2; // the root's first position channel
            }
            return QList<QList<double>>(zero ? 1 : choice.section('=', 1).toInt(), row);
        };
        QList<QList<double>> rows = TestSupport::rowList(motion.frames);
        for (const QString& choice : before)
            rows = rowsFor(choice, rows.first()) + rows;
        for (const QString& choice : after)
            rows += rowsFor(choice, rows.last());
        motion.frames = TestSupport::frameRows(rows);
        const FrameRange all = FrameRange::all(motion.rowCount());
        MotionAnalysis analysis = MotionAnalysis::analyse(motion, setup, {}, all);
        QVERIFY2(analysis.ok(), qPrintable(analysis.errorString));
        QCOMPARE(analysis.restFrames, said);
        AnalysisSettings keep;
        keep.keepRestFrames = true;
        analysis = MotionAnalysis::analyse(motion, setup, keep, all);
        QCOMPARE(analysis.range, all);
        QVERIFY(analysis.restFrames.isEmpty());
    }

    // The sample walk in capture volumes whose floor tilts or drifts, and with contact tests
    // that miss the landing foot (input/grounds.txt): the level walk's contacts, within a frame
    // of where each changes, and its events within a frame; some foot down in every walking
    // frame, and a margin wherever a foot is down.
    void floorThatIsNotLevel_data()
    {
        QTest::addColumn<QStringList>("choices");
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath("input/grounds.txt")))
            QTest::newRow(qPrintable(row.value(0))) << row.value(1).split(' ', Qt::SkipEmptyParts);
    }

    void floorThatIsNotLevel()
    {
        QFETCH(QStringList, choices);
        const MotionSetup setup = MotionSetup::choose(SkeletonProfiles::load(), walk, {});
        const TestSupport::Rerig::Source source{
            &walk, setup.convention, setup.upAxisOf(walk).cast<double>(), {}, {}, {}, -1};
        TestSupport::Rerig::Rig rig;
        AnalysisSettings settings;
        for (const QString& choice : choices) {
            if (choice == QLatin1String("sideways"))
                rig.tiltSideways = true;
            else if (choice.startsWith(QLatin1String("tilt=")))
                rig.tiltDegrees = choice.mid(5).toDouble();
            else if (choice.startsWith(QLatin1String("rise=")))
                rig.rise = choice.mid(5).toDouble() * 10.0 / setup.unit.millimetres;
            else if (choice.startsWith(QLatin1String("contact-height=")))
                settings.contactHeight = choice.mid(15).toDouble() * 10.0 / setup.unit.millimetres;
            else
                QFAIL(qPrintable(QStringLiteral("unknown choice ") + choice));
        }
        const TestSupport::Rerig::Rigged rigged =
            TestSupport::Rerig::rig(source, rig, setup.convention);
        BvhFile moved;
        QVERIFY(TestSupport::loadMotion(moved, rigged.text));
        const MotionAnalysis level = analyseWalk(walk, settings);
        const MotionAnalysis a = analyseWalk(moved, settings);
        QVERIFY2(level.ok() && a.ok(), qPrintable(a.errorString));

        QCOMPARE(a.events.size(), level.events.size());
        for (size_t i = 0; i < a.events.size(); ++i) {
            const GaitEvent& want = level.events[i];
            QVERIFY2(a.events[i] == GaitEvent({a.events[i].frame, want.foot, want.kind}) &&
                         std::abs(a.events[i].frame - want.frame) <= 1,
                     qPrintable(QStringLiteral("event %1 at %2").arg(i).arg(a.events[i].frame)));
        }
        // A foot down lies no higher above its resting level than one in the air (within 1 cm).
        const auto clearance = [&](size_t foot, size_t i) {
            double least = std::numeric_limits<double>::infinity();
            for (const std::vector<MotionAnalysis::Vector>& joint : a.feet[foot]) {
                double resting = std::numeric_limits<double>::infinity();
                for (const MotionAnalysis::Vector& p : joint)
                    resting = std::min(resting, a.heightAboveFloor(p));
                least = std::min(least, a.heightAboveFloor(joint[i]) - resting);
            }
            return least;
        };
        for (int i = 0; i < a.size(); ++i) {
            const size_t at = size_t(i);
            const size_t on = a.contact[0][at] ? 0 : 1;
            const bool down = a.contact[0][at] || a.contact[1][at];
            QVERIFY2((down || !a.walking[at]) && (a.contact[0][at] == a.contact[1][at] ||
                                                  clearance(on, at) <= clearance(1 - on, at) + 1.0),
                     qPrintable(QStringLiteral("frame %1").arg(i)));
            // A contact may begin or end a frame apart from the level walk's.
            for (const std::vector<unsigned char>& flags : level.contact) {
                const size_t foot = size_t(&flags - &level.contact[0]);
                const bool changes =
                    flags[std::max(at, size_t(1)) - 1] != flags[std::min(at + 1, flags.size() - 1)];
                QVERIFY2(a.contact[foot][at] == flags[at] || changes,
                         qPrintable(QStringLiteral("foot %1 at frame %2").arg(foot).arg(i)));
            }
            QCOMPARE(std::isfinite(a.margin[at]), down);
        }
    }
};

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
