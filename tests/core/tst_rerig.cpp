#include "gait/motionanalysis.h"
#include "gait/strides.h"
#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofiles.h"
#include "support/rerig.h"
#include "support/testsupport.h"

#include <QTest>

#include <Eigen/Geometry>

#include <cmath>
#include <map>
#include <memory>

// The same motion rigged as other exporters rig it (tests/support/rerig.h, the rigs of
// input/rigs.txt) must give the recording's answers: the centre of mass within 1 % of the
// stature in every frame, the gait events within a frame, the joint angles within a degree,
// stride times, cadence, lengths and speed (in metres, whatever the unit) within 1 %, a C3D figure
// of the same height within 1 %, and, read by its shape, the very landmarks.
class TestRerig : public QObject
{
    Q_OBJECT

    // A recording as the program reads it with no option, analysed once for all its rigs.
    struct Recording
    {
        BvhFile motion;
        MotionSetup setup;
        MotionAnalysis analysis;
        Strides strides;
    };

    // A recording as read with no option, cut after the last of `frames` (so that the sanitizer
    // build takes every rig of the long recordings in minutes) and analysed over them.
    std::unique_ptr<Recording> load(const QByteArray& text, FrameRange frames)
    {
        auto recording = std::make_unique<Recording>();
        if (!TestSupport::loadMotion(recording->motion, text))
            return nullptr;
        frames = frames.clampedTo(recording->motion.rowCount());
        recording->motion.frames.truncate(frames.last + 1);
        recording->setup = MotionSetup::choose(profiles, recording->motion, {});
        recording->analysis =
            MotionAnalysis::analyse(recording->motion, recording->setup, {}, frames, nullptr);
        recording->strides = Strides::of(recording->analysis, recording->setup.unit);
        return recording;
    }

    // The joints of the recording that end its limb bones, those that carry its toes and
    // fingers, and its head.
    static TestSupport::Rerig::Source sourceOf(const Recording& recording)
    {
        TestSupport::Rerig::Source source;
        source.motion = &recording.motion;
        source.convention = recording.setup.convention;
        source.up = recording.setup.upAxisOf(recording.motion).cast<double>();
        const QList<BvhJoint*> joints = recording.motion.root->getAllJoints();
        const SkeletonProfile& profile = recording.setup.profile;
        for (const char* side : {"left ", "right "}) {
            const QString s = QLatin1String(side);
            for (const char* end : {"knee", "ankle", "elbow", "wrist"})
                source.limbBones.append(profile.jointIndexFor(s + QLatin1String(end), joints));
            const int toe = profile.jointIndexFor(s + QStringLiteral("toe"), joints);
            const bool toeJoint = toe >= 0 && joints[toe]->getName() != QLatin1String("End Site");
            source.feet.append(
                toeJoint ? toe : profile.jointIndexFor(s + QStringLiteral("ankle"), joints));
            source.hands.append(profile.jointIndexFor(s + QStringLiteral("wrist"), joints));
        }
        const int headTop = profile.jointIndexFor(QStringLiteral("head top"), joints);
        source.head = headTop >= 0 ? int(joints.indexOf(joints[headTop]->getParentJoint())) : -1;
        return source;
    }

    SkeletonProfiles profiles = SkeletonProfiles::load({});
    std::map<QString, std::unique_ptr<Recording>> originals;

private slots:
    void sameAnswersWhateverTheRig_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("choices");
        for (const QByteArray& line :
             TestSupport::readLines(TestSupport::dataPath("expected/profiles.txt"))) {
            const QString entry = QString::fromUtf8(line.split(' ').first());
            if (!entry.startsWith(QLatin1String("real/")) && entry != QLatin1String("walk:"))
                continue;
            for (const QStringList& rig :
                 TestSupport::tableRows(TestSupport::dataPath("input/rigs.txt"))) {
                QTest::addRow("%s, %s", qPrintable(entry), qPrintable(rig.value(0)))
                    << entry << rig.value(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            }
        }
    }

    void sameAnswersWhateverTheRig()
    {
        QFETCH(QString, entry);
        QFETCH(QStringList, choices);
        std::unique_ptr<Recording>& original = originals[entry];
        if (!original)
            original = load(TestSupport::recordingText(entry), {0, 1199});
        const Recording* source = original.get();
        QVERIFY(source && source->analysis.ok());

        using TestSupport::Rerig::Rig;
        const std::map<QString, bool Rig::*> switches = {
            {"lying", &Rig::lyingRest},    {"local-x", &Rig::localXBones},
            {"six", &Rig::sixChannels},    {"zero-offsets", &Rig::zeroOffsets},
            {"extra", &Rig::extraBones},   {"scrambled", &Rig::scrambledNames},
            {"rest", &Rig::restFrameFirst}};
        Rig rig;
        for (const QString& choice : choices) {
            if (const auto on = switches.find(choice); on != switches.end())
                rig.*(on->second) = true;
            else if (choice.startsWith(QLatin1String("reference")))
                rig.reference = choice.endsWith(QLatin1String("travels"))
                                    ? Rig::Reference::WithoutPelvisPositions
                                    : Rig::Reference::WithPelvisPositions;
            else if (const auto unit = LengthUnit::fromName(choice.section('=', 1)))
                rig.scale = source->setup.unit.millimetres / unit->millimetres;
            else
                QFAIL(qPrintable(QStringLiteral("unknown rig choice ") + choice));
        }
        // Renamed, the skeleton is recognised by shape under the standard convention; else its
        // names bind the recording's profile, whose convention it is written in.
        const PoseConvention convention =
            rig.scrambledNames ? PoseConvention::standard() : source->setup.convention;
        const TestSupport::Rerig::Rigged rigged =
            TestSupport::Rerig::rig(sourceOf(*source), rig, convention);
        QVERIFY2(rigged.problem.isEmpty(), qPrintable(rigged.problem));
        const int frames = source->motion.rowCount();
        const FrameRange range{rigged.firstFrame, rigged.firstFrame + frames - 1};
        const std::unique_ptr<Recording> copy = load(rigged.text, range);
        QVERIFY(copy);
        QCOMPARE(copy->motion.rowCount(), frames + rigged.firstFrame);

        // The tool proves itself: every joint lies where it lay, within 1e-6 of the stature.
        const double stature = source->setup.stature;
        for (int frame = 0; frame < frames; ++frame) {
            const auto want =
                TestSupport::Rerig::worldPlaces(source->motion, source->setup.convention, frame);
            const auto got = TestSupport::Rerig::worldPlaces(copy->motion, rigged.convention,
                                                             frame + rigged.firstFrame);
            for (size_t j = 0; j < want.size(); ++j) {
                const double miss = (got[size_t(rigged.jointOf[j])] / rig.scale - want[j]).norm();
                QVERIFY2(miss <= 1e-6 * stature,
                         qPrintable(
                             QString::asprintf("frame %d, joint %zu is %g away", frame, j, miss)));
            }
        }

        // The copy is read as a person: a profile or its shape binds every segment.
        const MotionSetup& setup = copy->setup;
        QVERIFY2(setup.origin == MotionSetup::Origin::Detected ||
                     setup.origin == MotionSetup::Origin::Shape,
                 qPrintable(setup.summary()));
        QVERIFY2(setup.binding.isComplete(), qPrintable(setup.summary()));
        QVERIFY2(copy->analysis.ok(), qPrintable(copy->analysis.errorString));
        // Read by its shape, a skeleton under a floor reference names it as set aside.
        const bool shaped = setup.origin == MotionSetup::Origin::Shape;
        QCOMPARE(setup.setAside, shaped && rig.reference != Rig::Reference::None
                                     ? QStringList{copy->motion.root->getName()}
                                     : QStringList());

        // The centre of mass, in millimetres, within 1 % of the stature in every frame.
        const double millimetres = source->setup.unit.millimetres;
        const double statureMm = stature * millimetres;
        QVERIFY2(std::abs(setup.stature * setup.unit.millimetres - statureMm) <= 0.01 * statureMm,
                 qPrintable(setup.summary()));
        QCOMPARE(copy->analysis.range.first - rigged.firstFrame, source->analysis.range.first);
        QCOMPARE(copy->analysis.size(), source->analysis.size());
        for (int i = 0; i < source->analysis.size(); ++i) {
            const double miss = (copy->analysis.rawCentre[size_t(i)] * setup.unit.millimetres -
                                 source->analysis.rawCentre[size_t(i)] * millimetres)
                                    .norm();
            QVERIFY2(miss <= 0.01 * statureMm,
                     qPrintable(QStringLiteral("frame %1: %2 mm away").arg(i).arg(miss)));
        }

        // The gait events within a frame.
        const std::vector<GaitEvent>& want = source->analysis.events;
        const std::vector<GaitEvent>& got = copy->analysis.events;
        QCOMPARE(got.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            QVERIFY2(
                got[i].foot == want[i].foot && got[i].kind == want[i].kind &&
                    std::abs(got[i].frame - rigged.firstFrame - want[i].frame) <= 1,
                qPrintable(QString::asprintf("event %zu at %d, not %d", i,
                                             got[i].frame - rigged.firstFrame, want[i].frame)));
        }

        // The joint angles within a degree, the same angles defined and left empty.
        for (int side = 0; side < 2; ++side) {
            for (int angle = 0; angle < JointAngles::angleCount; ++angle) {
                const std::vector<double>& a =
                    source->analysis.angles.degrees[size_t(side)][size_t(angle)];
                const std::vector<double>& b =
                    copy->analysis.angles.degrees[size_t(side)][size_t(angle)];
                const QString name = JointAngles::nameOf(JointAngles::Angle(angle));
                QVERIFY2(a.size() == b.size(), qPrintable(name));
                for (size_t i = 0; i < a.size(); ++i) {
                    QVERIFY2(std::isfinite(a[i]) == std::isfinite(b[i]) &&
                                 !(std::abs(a[i] - b[i]) > 1.0),
                             qPrintable(QString::asprintf("%s of side %d at frame %zu: %g, not %g",
                                                          qPrintable(name), side, i, b[i], a[i])));
                }
            }
        }

        // Stride times, cadence, lengths and speed, in metres whatever the unit, within 1 %.
        QCOMPARE(copy->strides.strides.size(), source->strides.strides.size());
        for (size_t i = 0; i < source->strides.strides.size(); ++i) {
            const Stride& a = source->strides.strides[i];
            const Stride& b = copy->strides.strides[i];
            const auto near = [&](Strides::Parameter p) {
                const double want = source->strides.siValueOf(a, p);
                return std::abs(copy->strides.siValueOf(b, p) - want) <= 0.01 * std::abs(want);
            };
            QVERIFY2(near(Strides::StrideTime) && near(Strides::Cadence) &&
                         near(Strides::StrideLength) && near(Strides::Speed),
                     qPrintable(
                         QStringLiteral("stride %1: %2 s, not %3").arg(i).arg(b.time).arg(a.time)));
        }

        // In the middle frame, read by its shape, every landmark lies where the recording's
        // profile puts it; and the figure the C3D file holds (the joints in millimetres, as the
        // setup scales them) is as tall, within 1 %.
        const int middle = frames / 2;
        const auto wantPlaces =
            TestSupport::Rerig::worldPlaces(source->motion, source->setup.convention, middle);
        const auto gotPlaces = TestSupport::Rerig::worldPlaces(copy->motion, rigged.convention,
                                                               middle + rigged.firstFrame);
        const QList<BvhJoint*> sourceJoints = source->motion.root->getAllJoints();
        const QList<BvhJoint*> copyJoints = copy->motion.root->getAllJoints();
        for (const SkeletonProfile::Landmark& landmark : source->setup.profile.landmarks) {
            const int a = source->setup.profile.jointIndexFor(landmark.name, sourceJoints);
            const int b = setup.profile.jointIndexFor(landmark.name, copyJoints);
            QVERIFY2(!shaped ||
                         (a >= 0 && b >= 0 &&
                          (gotPlaces[size_t(b)] / rig.scale - wantPlaces[size_t(a)]).norm() <=
                              1e-6 * stature),
                     qPrintable(landmark.name));
        }
        const double wantScale = source->setup.exportOptions(source->motion).millimetresPerUnit;
        const double gotScale = setup.exportOptions(copy->motion).millimetresPerUnit;
        Eigen::AlignedBox3d wantBox, gotBox;
        for (size_t j = 0; j < wantPlaces.size(); ++j) {
            wantBox.extend(wantPlaces[j] * wantScale);
            gotBox.extend(gotPlaces[size_t(rigged.jointOf[j])] * gotScale);
        }
        const double height = wantBox.sizes().maxCoeff();
        QVERIFY2(
            std::abs(gotBox.sizes().maxCoeff() - height) <= 0.01 * height,
            qPrintable(QStringLiteral("%1 mm, not %2").arg(gotBox.sizes().maxCoeff()).arg(height)));
    }
};

QTEST_GUILESS_MAIN(TestRerig)
#include "tst_rerig.moc"
