#include "export/c3dexport.h"
#include "model/bvhwriter.h"
#include "model/poseevaluator.h"
#include "physics/centreofmass.h"
#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofilefile.h"
#include "skeleton/skeletonprofiles.h"
#include "support/c3dreader.h"
#include "support/rerig.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

// The recordings of other producers in tests/data/real (see SOURCES.md there), each taken once
// through everything that reads a whole motion: the reader, the writer, the pose in both
// rotation conventions, copies, and the C3D export.
class TestRealRecordings : public QObject
{
    Q_OBJECT

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

        // Every joint of every frame agrees with a double-precision evaluation to 1e-4 of the
        // skeleton's size in both conventions; a copy (the window interpolates on one) gives
        // the very same floats.
        const std::unique_ptr<BvhFile> copy = declared.copy();
        QVERIFY(copy->frames.constData() == declared.frames.constData()); // rows not copied
        PoseEvaluator fromDeclared(declared.root, PoseConvention::standard());
        PoseEvaluator fromFixed(fixed.root, PoseConvention::ipiStudio());
        PoseEvaluator fromCopy(copy->root, PoseConvention::standard());
        double extent = 0;
        for (const Eigen::Vector3d& p :
             TestSupport::Rerig::worldPlaces(declared, PoseConvention::standard(), 0))
            extent = std::max(extent, p.cwiseAbs().maxCoeff());
        for (int frame = 0; frame < frames; ++frame) {
            const std::span<const double> row = declared.frames[frame];
            fromDeclared.evaluateRow(row);
            fromFixed.evaluateRow(row);
            fromCopy.evaluateRow(row);
            const auto wantDeclared =
                TestSupport::Rerig::worldPlaces(declared, PoseConvention::standard(), frame);
            const auto wantFixed =
                TestSupport::Rerig::worldPlaces(fixed, PoseConvention::ipiStudio(), frame);
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
            const std::span<const double> row = motion.frames[frame];
            pose.evaluateRow(row);
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
