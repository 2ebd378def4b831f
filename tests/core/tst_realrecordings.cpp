#include "export/c3dexport.h"
#include "export/c3dpipeline.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "model/jointtables.h"
#include "model/numberformat.h"
#include "model/poseevaluator.h"
#include "physics/bvhmathobject.h"
#include "physics/centreofmass.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <Eigen/Geometry>

#include <cmath>

// The recordings of other producers in tests/data/real (see SOURCES.md there), each taken once
// through everything that reads a whole motion: the reader, the writer, the pose in both
// rotation conventions, copies, the C3D export with and without the pipeline, and the tables.
class TestRealRecordings : public QObject
{
    Q_OBJECT

private:
    static Eigen::Quaterniond turn(double degrees, int axis)
    {
        return Eigen::Quaterniond(
            Eigen::AngleAxisd(degrees * 3.14159 / 180.0, Eigen::Vector3d::Unit(axis)));
    }

    // Absolute positions of every joint for one row, in double precision with quaternions:
    // each joint's rotation is the product of its rotation channels in CHANNELS order
    // (Declared) or in x, y, z order (Fixed); position channels add to the offset. Degrees
    // become radians with the program's pi = 3.14159.
    static std::vector<Eigen::Vector3d> expectedPositions(const QList<BvhJoint*>& joints,
                                                          const QList<double>& row, bool declared)
    {
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
                    local[axis] += row.value(column);
                else if (declared)
                    own = own * turn(row.value(column), axis);
                else
                    angles[axis] = row.value(column);
            }
            if (!declared)
                own = turn(angles.x(), 0) * turn(angles.y(), 1) * turn(angles.z(), 2);
            const size_t parent = size_t(joints.indexOf(joints[i]->getParentJoint()));
            positions[size_t(i)] = i == 0 ? local : positions[parent] + global[parent] * local;
            global[size_t(i)] = i == 0 ? own : global[parent] * own;
        }
        return positions;
    }

    static QByteArray cells(const Vector3f& v)
    {
        QByteArray text;
        for (const float value : v)
            text += "," + NumberFormat::general(value).toLatin1();
        return text;
    }

private slots:
    // The counts, from SOURCES.md (joints with End Sites, channels per row).
    void recordings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("joints");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("frames");
        QTest::addColumn<double>("frameTime");
        QTest::newRow("biovision") << "biovision_example.bvh" << 23 << 57 << 2 << 0.033333;
        QTest::newRow("cmu") << "cmu_01_14.bvh" << 38 << 96 << 2339 << 0.0083333;
        QTest::newRow("arena") << "arena_louise.bvh" << 23 << 57 << 2998 << 0.01;
        QTest::newRow("axis neuron") << "axisneuron_milad.bvh" << 72 << 354 << 422 << 0.008;
        QTest::newRow("rokoko") << "rokoko_jesse_dance.bvh" << 73 << 183 << 1007 << 0.01;
        QTest::newRow("fair") << "fair_dab.bvh" << 34 << 84 << 339 << 0.0333333;
    }

    void recordings()
    {
        QFETCH(QString, name);
        QFETCH(int, joints);
        QFETCH(int, channels);
        QFETCH(int, frames);
        QFETCH(double, frameTime);
        const QString path = TestSupport::dataPath("real/" + name);
        QTemporaryDir dir;
        BvhFile fixed, declared;
        declared.setRotationOrder(RotationOrder::Declared);
        C3DPipeline pipeline;
        const BvhReadResult read = BvhReader(fixed).read(path);
        QVERIFY(read.ok() && BvhReader(declared, &pipeline).read(path).ok());
        QVERIFY2(read.warnings.isEmpty(), qPrintable(read.warnings.join(QLatin1Char(' '))));
        const QList<BvhJoint*> list = declared.root->getAllJoints();
        QCOMPARE(list.size(), joints);
        QCOMPARE(fixed.numFrames, frames);
        QCOMPARE(fixed.frameTime, frameTime);
        QCOMPARE(declared.frames, fixed.frames);

        // Written back to the printed digits (the first three values of a row to 4 decimals,
        // the others to 6), and writing what was read back changes nothing any more.
        const std::string text = BvhWriter(fixed).toText(FrameRange::all(frames));
        BvhFile back;
        QVERIFY(TestSupport::readBvh(back, QByteArray::fromStdString(text)).ok());
        QCOMPARE(back.root->getAllJointNames(), fixed.root->getAllJointNames());
        QCOMPARE(back.frameTime, std::round(frameTime * 1e10) / 1e10);
        QCOMPARE(back.frames.size(), frames);
        for (qsizetype f = 0; f < frames; ++f) {
            QCOMPARE(back.frames[f].size(), channels);
            for (qsizetype k = 0; k < channels; ++k) {
                const double error = std::abs(back.frames[f][k] - fixed.frames[f][k]);
                QVERIFY(error <= (k < 3 ? 0.5e-4 : 0.5e-6) + 1e-9);
            }
        }
        QCOMPARE(BvhWriter(back).toText(FrameRange::all(frames)), text);

        // The C3D file, written from the rows the pipeline converted while reading, is the file
        // written after reading, byte for byte; its samples are the poses of every frame.
        const QString piped = dir.filePath("piped.c3d"), plain = dir.filePath("plain.c3d");
        QVERIFY(C3DExport::exportMotion(declared, piped, nullptr, &pipeline).ok);
        QVERIFY(C3DExport::exportMotion(declared, plain, nullptr).ok);
        QCOMPARE(TestSupport::readFile(piped), TestSupport::readFile(plain));
        TestSupport::C3DReader c3d;
        QCOMPARE(c3d.readFile(plain), QString());
        QCOMPARE(c3d.frameCount, qint64(frames));
        QCOMPARE(c3d.labels, declared.root->getAllJointNames());
        QCOMPARE(c3d.find("POINT", "UNITS")->data, QByteArray("mm "));
        QCOMPARE(c3d.frameRate, float(int(1.0 / frameTime + 0.5)));

        // Every joint of every frame agrees with the quaternion evaluation to 1e-4 of the
        // skeleton's size in both conventions; a copy (the converter writes each output from
        // one) gives the very same floats.
        const std::unique_ptr<BvhFile> copy = declared.copy();
        QVERIFY(copy->frames.constData() == declared.frames.constData()); // rows not copied
        PoseEvaluator fromDeclared(declared.root), fromFixed(fixed.root), fromCopy(copy->root);
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
        // Changing the copy leaves the original be; switched back to Fixed, the motion gives
        // the fixed poses bit for bit.
        copy->frames.first().fill(12.5);
        copy->root->setOffset(1000, 0, 0);
        QVERIFY(declared.frames.first() != copy->frames.first());
        declared.setRotationOrder(RotationOrder::Fixed);
        PoseEvaluator refixed(declared.root);
        const QList<double>& last = fixed.frames.last();
        refixed.evaluateRow(last.constData(), last.size());
        for (qsizetype i = 0; i < joints; ++i)
            QVERIFY(TestSupport::sameBits(refixed.getPosition(i), fromFixed.getPosition(i)));

        // Every cell of the position and centre-of-mass tables of the first 120 frames carries
        // exactly the digits of the pose of that frame loaded into the joints, and of its
        // centre of mass.
        const QStringList names = fixed.root->getAllJointNames();
        BvhMathObject model;
        model.setSegments({{names.first(), names[names.size() / 2], 0.3, 0.5},
                           {names[names.size() / 2], QStringLiteral("End Site"), 1.25, 0.3},
                           {names[names.size() / 3], names.last(), -0.2, 0.2}});
        model.setBvhFile(&fixed);
        QCOMPARE(model.getBinding().bound.size(), size_t(3));
        ExportOptions options = ExportOptions::wholeMotion(fixed);
        options.range.last = qMin(frames, 120) - 1;
        const QString positions = dir.filePath("p.csv"), centres = dir.filePath("c.csv");
        QVERIFY(JointTables::writePositions(fixed, positions, options).ok);
        QVERIFY(CentreOfMass::writeCsv(fixed, model.getSegments(), centres, options).ok);
        const QList<QByteArray> lines = TestSupport::readLines(positions);
        const QList<QByteArray> centreLines = TestSupport::readLines(centres);
        QCOMPARE(lines.size(), options.range.last + 2);
        QCOMPARE(centreLines.size(), options.range.last + 2);
        PoseEvaluator fromJoints(fixed.root);
        for (int frame = 0; frame <= options.range.last; ++frame) {
            fixed.loadFrame(frame);
            fromJoints.evaluate();
            const QByteArray time = NumberFormat::general(frame * frameTime).toLatin1();
            QByteArray expected = time;
            for (const Vector3f& position : fromJoints.getPositions())
                expected += cells(position);
            QCOMPARE(lines[frame + 1], expected);
            QCOMPARE(centreLines[frame + 1],
                     time + cells(model.computeCentres(fromJoints.getPositions()).body));
        }
    }
};

QTEST_GUILESS_MAIN(TestRealRecordings)
#include "tst_realrecordings.moc"
