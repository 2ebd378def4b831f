#include "export/c3dexport.h"
#include "model/bvhwriter.h"
#include "model/poseevaluator.h"
#include "physics/centreofmass.h"
#include "physics/motionanalysis.h"
#include "physics/motionsetup.h"
#include "physics/skeletonprofilefile.h"
#include "physics/skeletonprofiles.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <Eigen/Geometry>

#include <cmath>

// The recordings of other producers in tests/data/real (see SOURCES.md there), each taken once
// through everything that reads a whole motion: the reader, the writer, the pose in both
// rotation conventions, copies, and the C3D export.
class TestRealRecordings : public QObject
{
    Q_OBJECT

private:
    static Eigen::Quaterniond turn(double degrees, int axis, double pi)
    {
        return Eigen::Quaterniond(
            Eigen::AngleAxisd(degrees * pi / 180.0, Eigen::Vector3d::Unit(axis)));
    }

    // Absolute positions of every joint for one row, in double precision with quaternions.
    // Under the standard convention each joint's rotation is the product of its rotation
    // channels in CHANNELS order, a position channel replaces its offset component and pi is
    // exact; under iPi Studio's the product runs in x, y, z order, position channels add to the
    // offset and pi is 3.14159.
    static std::vector<Eigen::Vector3d> expectedPositions(const QList<BvhJoint*>& joints,
                                                          const QList<double>& row, bool declared)
    {
        const double pi = declared ? 3.14159265358979 : 3.14159;
        std::vector<Eigen::Quaterniond> global(size_t(joints.size()));
        std::vector<Eigen::Vector3d> positions(size_t(joints.size()));
        qsizetype column = 0;
        for (qsizetype i = 0; i < joints.size(); ++i) {
            Eigen::Vector3d local = joints[i]->getOffset().cast<double>(), angles(0, 0, 0);
            Eigen::Quaterniond own = Eigen::Quaterniond::Identity();
            for (int k = 0; k < joints[i]->getNumChannels(); ++k, ++column) {
                const QString name = joints[i]->getChannelName(k);
                const int axis = name.at(0).toLatin1() - 'X';
                if (name.endsWith(QLatin1String("position")))
                    local[axis] = row.value(column) + (declared ? 0.0 : local[axis]);
                else if (declared)
                    own = own * turn(row.value(column), axis, pi);
                else
                    angles[axis] = row.value(column);
            }
            if (!declared)
                own = turn(angles.x(), 0, pi) * turn(angles.y(), 1, pi) * turn(angles.z(), 2, pi);
            const size_t parent = size_t(joints.indexOf(joints[i]->getParentJoint()));
            positions[size_t(i)] = i == 0 ? local : positions[parent] + global[parent] * local;
            global[size_t(i)] = i == 0 ? own : global[parent] * own;
        }
        return positions;
    }

private slots:
    // The counts of the summary table of SOURCES.md: joints (and End Sites), frames and frame
    // time.
    void recordings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("joints");
        QTest::addColumn<int>("frames");
        QTest::addColumn<double>("frameTime");
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath("real/SOURCES.md"))) {
            if (row.value(1).endsWith(QLatin1String(".bvh")))
                QTest::newRow(qPrintable(row[1]))
                    << row[1] << row[3].toInt() + row[4].toInt()
                    << row[7].section(' ', 0, 0).toInt() << row[8].section(' ', 0, 0).toDouble();
        }
    }

    void recordings()
    {
        QFETCH(QString, name);
        QFETCH(int, joints);
        QFETCH(int, frames);
        QFETCH(double, frameTime);
        const QString path = TestSupport::dataPath("real/" + name);
        QTemporaryDir dir;
        BvhFile fixed, declared;
        const BvhReadResult read = BvhReader(fixed).read(path);
        QVERIFY(read.ok() && BvhReader(declared).read(path).ok());
        QVERIFY2(read.warnings.isEmpty(), qPrintable(read.warnings.join(QLatin1Char(' '))));
        const QList<BvhJoint*> list = declared.root->getAllJoints();
        QCOMPARE(list.size(), joints);
        QCOMPARE(fixed.numFrames, frames);
        QCOMPARE(fixed.frameTime, frameTime);

        // Written back and read again, the motion holds the very same rows.
        const std::string text = BvhWriter(fixed).toText(FrameRange::all(frames));
        BvhFile back;
        QVERIFY(TestSupport::readBvh(back, QByteArray::fromStdString(text)).ok());
        QCOMPARE(back.frames, fixed.frames);

        // The C3D file's samples are the poses of every frame.
        const QString plain = dir.filePath("plain.c3d");
        const ExportOptions options =
            ExportOptions::wholeMotion(declared, PoseConvention::standard());
        QVERIFY(C3DExport::exportMotion(declared, plain, options).ok);
        TestSupport::C3DReader c3d;
        QCOMPARE(c3d.readFile(plain), QString());
        QCOMPARE(c3d.frameCount, qint64(frames));
        QCOMPARE(c3d.labels, declared.root->getAllJointNames());

        // Every joint of every frame agrees with the quaternion evaluation to 1e-4 of the
        // skeleton's size in both conventions; a copy (the window interpolates on one) gives
        // the very same floats.
        const std::unique_ptr<BvhFile> copy = declared.copy();
        QVERIFY(copy->frames.constData() == declared.frames.constData()); // rows not copied
        PoseEvaluator fromDeclared(declared.root, PoseConvention::standard());
        PoseEvaluator fromFixed(fixed.root, PoseConvention::ipiStudio());
        PoseEvaluator fromCopy(copy->root, PoseConvention::standard());
        double extent = 0;
        for (const Eigen::Vector3d& p : expectedPositions(list, fixed.frames[0], true))
            extent = std::max(extent, p.cwiseAbs().maxCoeff());
        for (int frame = 0; frame < frames; ++frame) {
            const QList<double>& row = std::as_const(declared.frames)[frame];
            fromDeclared.evaluateRow(row.constData(), row.size());
            fromFixed.evaluateRow(row.constData(), row.size());
            fromCopy.evaluateRow(row.constData(), row.size());
            const auto wantDeclared = expectedPositions(list, row, true);
            const auto wantFixed = expectedPositions(list, row, false);
            for (qsizetype i = 0; i < joints; ++i) {
                const Vector3f& p = fromDeclared.getPosition(i);
                const auto& s = c3d.samples[size_t(frame * joints + i)];
                QVERIFY2(
                    (p.cast<double>() - wantDeclared[size_t(i)]).norm() <= 1e-4 * extent &&
                        (fromFixed.getPosition(i).cast<double>() - wantFixed[size_t(i)]).norm() <=
                            1e-4 * extent &&
                        TestSupport::sameBits(fromCopy.getPosition(i), p) &&
                        TestSupport::sameBits(
                            Vector3f(s[0], s[1], s[2]),
                            Vector3f(-10.0f * p.x(), 10.0f * p.z(), 10.0f * p.y())),
                    qPrintable(QStringLiteral("frame %1, joint %2").arg(frame).arg(i)));
            }
        }
        // Changing the copy's joints leaves the original's be.
        copy->root->setOffset(1000, 0, 0);
        QVERIFY(declared.root->getOffset() != copy->root->getOffset());
    }

    void profiles_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("up");
        QTest::addColumn<int>("standing");
        for (const QByteArray& line :
             TestSupport::readLines(TestSupport::dataPath("expected/profiles.txt"))) {
            const QStringList words =
                QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.size() == 5 && !words[0].startsWith(QLatin1Char('#'))) {
                QTest::newRow(qPrintable(words[0]))
                    << words[0] << words[1] << QString(words[2]).replace('_', ' ')
                    << int(words[3].at(0).toLatin1() - 'x') << words[4].toInt();
            }
        }
    }

    // With no option and no model of its own, each recording (and the walk renamed the ways of
    // other producers) gets its producer's profile and unit, and a model that binds
    // completely: in every frame the body centre lies within the box of the body's joints, and
    // standing it is 0.45 to 0.70 of the figure's height above its lowest joint.
    void profiles()
    {
        QFETCH(QString, entry);
        QFETCH(QString, profile);
        QFETCH(QString, unit);
        QFETCH(int, up);
        QFETCH(int, standing);
        BvhFile motion; // a recording, or the sample walk renamed
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::recordingText(entry)));
        const MotionSetup setup = MotionSetup::choose(SkeletonProfiles::load({}), motion, {});
        QCOMPARE(setup.profile.name, profile);
        QVERIFY(setup.origin == MotionSetup::Origin::Detected);
        QCOMPARE(setup.unit.name, unit);
        QVERIFY2(setup.binding.isComplete(),
                 qPrintable(setup.binding.problems(setup.segments).join(' ')));

        PoseEvaluator pose(motion.root, setup.convention);
        CentresOfMass centres;
        for (int frame = 0; frame < motion.rowCount(); ++frame) {
            const QList<double>& row = std::as_const(motion.frames)[frame];
            pose.evaluateRow(row.constData(), row.size());
            CentreOfMass::compute(setup.segments, setup.binding, pose.getPositions(), centres);
            Vector3f low = pose.getPosition(0), high = low;
            for (const Vector3f& p : pose.getPositions()) {
                low = low.cwiseMin(p);
                high = high.cwiseMax(p);
            }
            const Vector3f& body = centres.body;
            QVERIFY2((body.array() >= low.array()).all() && (body.array() <= high.array()).all(),
                     qPrintable(QStringLiteral("frame %1").arg(frame)));
            if (frame == standing) {
                const double share = (body[up] - low[up]) / (high[up] - low[up]);
                QVERIFY2(share >= 0.45 && share <= 0.70, qPrintable(QString::number(share)));
            }
        }
    }

    // The recordings of profiles.txt with every joint renamed to a meaningless token: no
    // profile's names bind, so the skeleton is recognised by its shape, its landmarks the joints
    // the producer's profile names. Its centre of mass keeps
    // within 1 % of the stature of the named file's in every frame, its gait events within a
    // frame, and its C3D figure stands a person's height.
    void recognisedByShape_data()
    {
        QTest::addColumn<QString>("entry");
        for (const QByteArray& line :
             TestSupport::readLines(TestSupport::dataPath("expected/profiles.txt"))) {
            if (!line.isEmpty() && !line.startsWith('#'))
                QTest::newRow(line.split(' ').first().constData())
                    << QString::fromUtf8(line.split(' ').first());
        }
    }

    void recognisedByShape()
    {
        QFETCH(QString, entry);
        const QByteArray text = TestSupport::recordingText(entry);
        BvhFile named, shaped;
        QVERIFY(TestSupport::loadMotion(named, text));
        QVERIFY(TestSupport::loadMotion(shaped, TestSupport::scrambledNames(text)));
        const SkeletonProfiles profiles = SkeletonProfiles::load({});
        const MotionSetup byName = MotionSetup::choose(profiles, named, {});
        const MotionSetup byShape = MotionSetup::choose(profiles, shaped, {});
        QVERIFY2(byShape.origin == MotionSetup::Origin::Shape, qPrintable(byShape.summary()));
        QVERIFY2(byShape.binding.isComplete(),
                 qPrintable(byShape.binding.problems(byShape.segments).join(' ')));
        QVERIFY2(byShape.summary().contains(QLatin1String("recognised by shape")),
                 qPrintable(byShape.summary()));
        // A person's height, as the named file's (one recording is a drawn figure, 45 cm tall).
        const double height = byShape.stature * byShape.unit.millimetres;
        if (byName.stature * byName.unit.millimetres >= 1300)
            QVERIFY2(height >= 1300 && height <= 2100, qPrintable(QString::number(height)));

        // Every landmark is the joint the producer's profile names, at the very place; left
        // and right may be the other way round where the frames leave them open (the gait
        // events below tell the feet apart).
        PoseEvaluator namedStandard(named.root, PoseConvention::standard());
        PoseEvaluator shapedStandard(shaped.root, PoseConvention::standard());
        const QList<double>& middle = std::as_const(named.frames)[named.rowCount() / 2];
        namedStandard.evaluateRow(middle.constData(), middle.size());
        shapedStandard.evaluateRow(middle.constData(), middle.size());
        const auto place = [](const MotionSetup& setup, const PoseEvaluator& pose,
                              const QString& landmark) {
            const int joint = setup.profile.jointIndexFor(landmark, pose.getJoints());
            return joint >= 0 ? pose.getPosition(joint) : Vector3f::Constant(NAN);
        };
        for (const SkeletonProfile::Landmark& landmark : byName.profile.landmarks) {
            QString mirror = landmark.name;
            mirror = mirror.startsWith("left ")    ? mirror.replace("left ", "right ")
                     : mirror.startsWith("right ") ? mirror.replace("right ", "left ")
                                                   : mirror;
            const Vector3f want = place(byName, namedStandard, landmark.name);
            QVERIFY2(TestSupport::sameBits(place(byShape, shapedStandard, landmark.name), want) ||
                         TestSupport::sameBits(place(byShape, shapedStandard, mirror), want),
                     qPrintable(landmark.name));
        }

        PoseEvaluator byNamePose(named.root, byName.convention);
        PoseEvaluator byShapePose(shaped.root, byShape.convention);
        CentresOfMass a, b;
        double worst = 0;
        for (int frame = 0; frame < named.rowCount(); ++frame) {
            const QList<double>& row = std::as_const(named.frames)[frame];
            byNamePose.evaluateRow(row.constData(), row.size());
            byShapePose.evaluateRow(row.constData(), row.size());
            CentreOfMass::compute(byName.segments, byName.binding, byNamePose.getPositions(), a);
            CentreOfMass::compute(byShape.segments, byShape.binding, byShapePose.getPositions(), b);
            worst = std::max(worst, double((a.body - b.body).norm()));
        }
        QVERIFY2(worst <= 0.01 * byName.stature,
                 qPrintable(QStringLiteral("%1 of %2").arg(worst).arg(byName.stature)));

        const FrameRange all = FrameRange::all(named.rowCount());
        const MotionAnalysis walkByName = MotionAnalysis::analyse(named, byName, {}, all, nullptr);
        const MotionAnalysis walkByShape =
            MotionAnalysis::analyse(shaped, byShape, {}, all, nullptr);
        QVERIFY2(walkByName.ok() && walkByShape.ok(), qPrintable(walkByShape.errorString));
        QCOMPARE(walkByShape.events.size(), walkByName.events.size());
        for (size_t i = 0; i < walkByName.events.size(); ++i) {
            const GaitEvent& want = walkByName.events[i];
            const GaitEvent& got = walkByShape.events[i];
            QVERIFY2(got.foot == want.foot && got.kind == want.kind &&
                         std::abs(got.frame - want.frame) <= 1,
                     qPrintable(QStringLiteral("event %1 at %2, not %3")
                                    .arg(i)
                                    .arg(got.frame)
                                    .arg(want.frame)));
        }
    }

    // The walk with side branches no limb has: twist and helper bones on the thigh, shin and
    // forearm, a "share" bone on the chest, a jaw, five fingers on each hand and toes on each
    // foot, none with channels, and every name scrambled. The shape finds the joints of the plain
    // walk's landmarks, at the very places.
    void sideBranchesAreNoLimbs()
    {
        const QByteArray walk = TestSupport::renamedWalk(QString());
        QByteArray text = walk;
        const auto addBelow = [&](const QByteArray& joint, const QByteArray& block) {
            const qsizetype at = text.indexOf("JOINT " + joint + "\n");
            QVERIFY2(at >= 0, joint.constData());
            const qsizetype channels = text.indexOf("CHANNELS", at);
            const qsizetype lineEnd = text.indexOf('\n', channels) + 1;
            text.insert(lineEnd, block);
        };
        const auto bone = [](const QByteArray& name, const QByteArray& offset,
                             const QByteArray& end) {
            return "JOINT " + name + "\n{\nOFFSET " + offset + "\nEnd Site\n{\nOFFSET " + end +
                   "\n}\n}\n";
        };
        QByteArray fingers;
        for (int finger = 0; finger < 5; ++finger) {
            const QByteArray across = QByteArray::number(finger - 2);
            fingers += "JOINT Finger" + QByteArray::number(finger) + "\n{\nOFFSET 0 -5 " + across +
                       "\n" + bone("FingerTip" + QByteArray::number(finger), "0 -3 0", "0 -2 0") +
                       "}\n";
        }
        for (const char* side : {"L", "R"}) {
            const QByteArray s(side);
            addBelow(s + "Thigh", bone(s + "ThighTwist", "0 -21 0", "0 -1 0") +
                                      bone(s + "ThighShare", "0 -10 3", "0 0 2"));
            addBelow(s + "Shin", bone(s + "ShinTwist", "0 -20 0", "0 -1 0"));
            addBelow(s + "Forearm", bone(s + "ForearmRoll", "0 -13 0", "0 -1 0"));
            addBelow(s + "Hand", fingers);
            addBelow(s + "Toe", bone(s + "ToeSmall", "2 -1 3", "0 0 2"));
        }
        addBelow("Chest", bone("ChestShare", "0 5 4", "0 0 3"));
        addBelow("Head", bone("Jaw", "0 -3 5", "0 -2 3")); // the head's lowest end

        BvhFile plain, branched;
        QVERIFY(TestSupport::loadMotion(plain, walk));
        QVERIFY(TestSupport::loadMotion(branched, TestSupport::scrambledNames(text)));
        QCOMPARE(branched.frames, plain.frames);
        const SkeletonProfiles profiles = SkeletonProfiles::load({});
        const MotionSetup byName = MotionSetup::choose(profiles, plain, {});
        const MotionSetup byShape = MotionSetup::choose(profiles, branched, {});
        QVERIFY2(byShape.origin == MotionSetup::Origin::Shape, qPrintable(byShape.summary()));
        PoseEvaluator plainPose(plain.root, PoseConvention::standard());
        PoseEvaluator branchedPose(branched.root, PoseConvention::standard());
        for (const int frame : {0, plain.rowCount() / 2, plain.rowCount() - 1}) {
            const QList<double>& row = std::as_const(plain.frames)[frame];
            plainPose.evaluateRow(row.constData(), row.size());
            branchedPose.evaluateRow(row.constData(), row.size());
            for (const SkeletonProfile::Landmark& landmark : byName.profile.landmarks) {
                const int want = byName.profile.jointIndexFor(landmark.name, plainPose.getJoints());
                const int got =
                    byShape.profile.jointIndexFor(landmark.name, branchedPose.getJoints());
                QVERIFY2(want >= 0 && got >= 0 &&
                             TestSupport::sameBits(branchedPose.getPosition(got),
                                                   plainPose.getPosition(want)),
                         qPrintable(QStringLiteral("%1, frame %2").arg(landmark.name).arg(frame)));
            }
        }
    }

    // A profile saved from a skeleton recognised by shape, installed, is detected by its names
    // for that skeleton, with the same landmarks; one that is no humanoid's gets no profile and
    // says why, never another family's, and is posed under the standard convention.
    void savedProfilesAndSkeletonsNoProfileFits()
    {
        BvhFile walk, small;
        QVERIFY(TestSupport::loadMotion(
            walk, TestSupport::scrambledNames(TestSupport::renamedWalk(QString()))));
        QVERIFY(TestSupport::loadMotion(small, TestSupport::smallMotion(5)));
        const MotionSetup shape = MotionSetup::choose(SkeletonProfiles::load({}), walk, {});
        QTemporaryDir dir;
        const QString file = dir.filePath("scrambled.profile.xml");
        QVERIFY(SkeletonProfileFile::write(file, shape.profileToSave("scrambled", walk.root)).ok);
        const SkeletonProfiles installed = SkeletonProfiles::load({dir.path()});
        QVERIFY2(installed.getWarnings().isEmpty(), qPrintable(installed.getWarnings().join(' ')));
        const MotionSetup saved = MotionSetup::choose(installed, walk, {});
        QVERIFY(saved.origin == MotionSetup::Origin::Detected);
        QCOMPARE(saved.profile.name, QStringLiteral("scrambled"));
        QCOMPARE(saved.profile.landmarks.size(), shape.profile.landmarks.size());
        for (qsizetype i = 0; i < shape.profile.landmarks.size(); ++i)
            QCOMPARE(saved.profile.landmarks[i].jointNames, shape.profile.landmarks[i].jointNames);
        QCOMPARE(saved.convention, shape.convention);
        QCOMPARE(TestSupport::segmentText(saved.segments),
                 TestSupport::segmentText(shape.segments));

        const MotionSetup none = MotionSetup::choose(installed, small, {});
        QVERIFY(none.origin == MotionSetup::Origin::NoneFits && !none.binding.isComplete());
        QVERIFY2(none.summary().startsWith(QLatin1String("no profile fits")) &&
                     !none.fitProblem.isEmpty(),
                 qPrintable(none.summary()));
        QVERIFY(none.convention == PoseConvention::standard());
    }

    // A reference joint on the floor above the body, the hips' OFFSET far from it (replaced by
    // their position channels): the stature is the body's, along its bones where the profile
    // finds legs and trunk (the walk), else over its rest pose (a motion of hips, spine and a
    // leg), and the unit is what it was.
    void statureOfTheBodyAlone_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("walk") << TestSupport::renamedWalk(QString());
        QTest::newRow("hips, spine and leg") << TestSupport::smallMotion(3);
    }

    void statureOfTheBodyAlone()
    {
        QFETCH(QByteArray, text);
        BvhFile plain, referenced;
        QVERIFY(TestSupport::loadMotion(plain, text));
        const qsizetype hips = text.indexOf("ROOT Hips\n{\n");
        const qsizetype offsetEnd = text.indexOf('\n', hips + 12);
        QVERIFY(hips >= 0 && text.mid(hips + 12, offsetEnd - hips - 12).contains("OFFSET"));
        text.replace(hips, offsetEnd - hips,
                     "ROOT Reference\n{\nOFFSET 0 0 0\nJOINT Hips\n{\nOFFSET 0.85 93.98 -452.2");
        text.replace("MOTION", "}\nMOTION");
        QVERIFY(TestSupport::loadMotion(referenced, text));
        QCOMPARE(referenced.root->getName(), QStringLiteral("Reference"));
        const SkeletonProfiles profiles = SkeletonProfiles::load({});
        const MotionSetup a = MotionSetup::choose(profiles, plain, {});
        const MotionSetup b = MotionSetup::choose(profiles, referenced, {});
        QVERIFY2(std::abs(b.stature - a.stature) <= 1e-9 * a.stature,
                 qPrintable(QStringLiteral("%1, not %2").arg(b.stature).arg(a.stature)));
        QCOMPARE(b.unit, a.unit);
    }
};

QTEST_GUILESS_MAIN(TestRealRecordings)
#include "tst_realrecordings.moc"
