#include "export/c3dexport.h"
#include "model/bvhwriter.h"
#include "model/poseevaluator.h"
#include "physics/centreofmass.h"
#include "physics/motionsetup.h"
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
        QVERIFY(entry.startsWith(QLatin1String("walk:"))
                    ? TestSupport::loadMotion(motion, TestSupport::renamedWalk(entry.mid(5)))
                    : BvhReader(motion).read(TestSupport::dataPath(entry)).ok());
        const MotionSetup setup = MotionSetup::choose(SkeletonProfiles::load({}), motion.root, {});
        QCOMPARE(setup.profile.name, profile);
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
};

QTEST_GUILESS_MAIN(TestRealRecordings)
#include "tst_realrecordings.moc"
