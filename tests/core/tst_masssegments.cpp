#include "model/bvhfile.h"
#include "physics/bvhmathobject.h"
#include "physics/masssegmentfile.h"
#include "physics/segmentbinding.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::segmentModel;
using TestSupport::segmentText;

// The mass-segment model: its XML file (layout, round trip, damaged files) and the binding of
// segment joint names to the joints of a motion.
class TestMassSegments : public QObject
{
    Q_OBJECT

private:
    static QByteArray segmentXml(const QByteArray& children)
    {
        return "<BvhMassProperties><Segment>" + children + "</Segment></BvhMassProperties>";
    }

private slots:
    // Six significant digits, markup escaped, an empty name as empty text. Read back and
    // written again, the file comes out the same.
    void writtenFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("model.xml"));
        QVERIFY(MassSegmentFile::write(path, {}).ok);
        QCOMPARE(TestSupport::readFile(path),
                 QByteArray("<!DOCTYPE BvhMassProperties>\n<BvhMassProperties/>\n"));
        QVERIFY(MassSegmentFile::write(path, {{"A&B <x>", "End Site", -2.54321987e-7, 0.0123456789},
                                              {"Neck", "", 0, 0}})
                    .ok);
        const QByteArray expected =
            TestSupport::readFile(TestSupport::dataPath("expected/masssegments.xml"));
        QCOMPARE(TestSupport::readFile(path), expected);
        const MassSegmentReadResult read = MassSegmentFile::read(path);
        QVERIFY(read.ok && read.warnings.isEmpty());
        QCOMPARE(segmentText(read.segments),
                 QStringLiteral("A&B <x>>End Site -2.54322e-07 0.0123457;Neck> 0 0;"));
        QVERIFY(MassSegmentFile::write(path, read.segments).ok);
        QCOMPARE(TestSupport::readFile(path), expected);
    }

    void readingReplacesModel_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("warnings");
        const QByteArray ab = "<StartJoint>A</StartJoint><EndJoint>B</EndJoint>";
        const QByteArray values = ab + "<ProximalDistance>0.5</ProximalDistance>";
        QTest::newRow("no segment empties the model")
            << QByteArray("<BvhMassProperties/>") << "" << QStringList();
        QTest::newRow("other root name")
            << "<Body><Segment>" + values + "<Mass>0.25</Mass></Segment></Body>"
            << "A>B 0.5 0.25;" << QStringList();
        QTest::newRow("not a number reads as zero")
            << segmentXml(values + "<Mass>heavy</Mass>") << "A>B 0.5 0;" << QStringList();
        QTest::newRow("unknown children ignored")
            << segmentXml("<Colour>red</Colour>" + values + "<Mass>1e-2</Mass>") << "A>B 0.5 0.01;"
            << QStringList();
        QTest::newRow("empty start joint")
            << segmentXml("<StartJoint/><EndJoint>B</EndJoint><ProximalDistance>2"
                          "</ProximalDistance><Mass>1</Mass>")
            << ">B 2 1;" << QStringList();
        // A segment missing one of its values is left out whole, and named.
        QTest::newRow("incomplete segment left out")
            << segmentXml(values + "<Mass>1</Mass></Segment><Segment>" + values +
                          "</Segment><Segment>" + ab +
                          "<ProximalDistance>3</ProximalDistance><Mass>4</Mass>")
            << "A>B 0.5 1;A>B 3 4;" << QStringList{"Segment 2 has no Mass and is left out."};
        QTest::newRow("repeated value keeps the first")
            << segmentXml(ab + "<EndJoint>C</EndJoint><ProximalDistance>0.5</ProximalDistance>"
                               "<Mass>1</Mass>")
            << "A>B 0.5 1;" << QStringList{"Segment 1 repeats EndJoint; the first is used."};
    }

    void readingReplacesModel()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, expected);
        QFETCH(QStringList, warnings);
        BvhMathObject object;
        object.setSegments(segmentModel("Old>Older 0.1 0.2;Old2>Older2 0.3 0.4;"));
        QTemporaryDir dir;
        const MassSegmentReadResult result =
            object.readMassSegments(TestSupport::writeFile(dir, "m.xml", xml));
        QVERIFY(result.ok);
        QCOMPARE(result.warnings, warnings);
        QCOMPARE(segmentText(object.getSegments()), expected);
    }

    // A file that cannot be read or written names itself, and reading leaves the model be.
    // (Damaged files are refused as hostile input elsewhere.)
    void failures()
    {
        QTemporaryDir dir;
        const QString absent = dir.filePath(QStringLiteral("absent.xml"));
        BvhMathObject object;
        object.setSegments(segmentModel("Hips>Chest 0.5 1;"));
        const MassSegmentReadResult read = object.readMassSegments(absent);
        QVERIFY(!read.ok);
        QVERIFY2(read.errorString.contains("Cannot read") && read.errorString.contains(absent),
                 qPrintable(read.errorString));
        QCOMPARE(segmentText(object.getSegments()), QStringLiteral("Hips>Chest 0.5 1;"));
        const QString unwritable = dir.filePath(QStringLiteral("no such folder/model.xml"));
        const WriteResult result = object.writeMassSegments(unwritable);
        QVERIFY(!result.ok && !result.errorString.isEmpty());
        QCOMPARE(result.fileName, unwritable);
    }

    // The model of the current directory's defaultMassSegments.xml, else the shipped one.
    void constructorReadsDefaultModel()
    {
        const MassSegmentReadResult shipped = MassSegmentFile::read(
            QStringLiteral(KINOVANE_SOURCE_DIR "/samples/defaultMassSegments.xml"));
        QVERIFY(shipped.ok && !shipped.segments.isEmpty());
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const BvhMathObject withoutFile;
        TestSupport::writeFile(dir, "defaultMassSegments.xml",
                               segmentXml("<StartJoint>Hips</StartJoint><EndJoint>Neck"
                                          "</EndJoint><ProximalDistance>0.4862"
                                          "</ProximalDistance><Mass>0.4346</Mass>"));
        const BvhMathObject withFile;
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(withoutFile.getSegments(), shipped.segments);
        QCOMPARE(segmentText(withFile.getSegments()), QStringLiteral("Hips>Neck 0.4862 0.4346;"));
    }

    // A name binds to the first joint in pre-order with exactly that name ("End Site" is the
    // one after Spine); a name the skeleton lacks is missing once, in the model's order.
    void bindingByExactName()
    {
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion()));
        const SegmentBinding binding = SegmentBinding::bind(
            segmentModel("Hips>Spine 0.5 0.5;Spine>End Site 0.5 0.25;hips>LeftLeg 0.5 0.25;"
                         "Tail>hips 0 0;LeftLeg>Hips 0 0"),
            motion.root->getAllJoints());
        QString bound;
        for (const BoundSegment& segment : binding.bound)
            bound += QStringLiteral("%1:%2-%3 ")
                         .arg(segment.segment)
                         .arg(segment.startJoint)
                         .arg(segment.endJoint);
        QCOMPARE(bound, QStringLiteral("0:0-1 1:1-2 4:3-0 "));
        QCOMPARE(binding.unboundSegments, (QList<qsizetype>{2, 3}));
        QCOMPARE(binding.missingJoints, (QStringList{"hips", "Tail"}));

        // Without a motion nothing is bound.
        BvhMathObject object;
        object.setSegments(segmentModel("Hips>Spine 0.5 1"));
        object.setBvhFile(&motion);
        QCOMPARE(object.getBinding().bound.size(), size_t(1));
        object.setBvhFile(nullptr);
        QVERIFY(object.getBinding().bound.empty());
    }
};

QTEST_GUILESS_MAIN(TestMassSegments)
#include "tst_masssegments.moc"
