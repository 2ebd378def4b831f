#include "model/bvhfile.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// The mass-segment model: its XML file (layout, round trip, damaged files) and the binding of
// segment joint names to the joints of a motion.
class TestMassSegments : public QObject
{
    Q_OBJECT

private:
    static QString segments(const BvhMathObject& object)
    {
        QString text;
        for (qsizetype i = 0; i < object.startJointNames.size(); ++i)
            text += QStringLiteral("%1>%2 %3 %4;")
                        .arg(object.startJointNames[i], object.endJointNames.value(i))
                        .arg(object.proximalDistances.value(i, -1))
                        .arg(object.masses.value(i, -1));
        return text;
    }

    static QByteArray segmentXml(const QByteArray& children)
    {
        return "<BvhMassProperties><Segment>" + children + "</Segment></BvhMassProperties>";
    }

private slots:
    // Six significant digits, markup escaped; lists shorter than the start joints write empty
    // text and zeros. Read back and written again, the file comes out the same.
    void writtenFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("model.xml"));
        BvhMathObject object, read;
        object.clearSegments();
        QVERIFY(object.writeMassSegments(path).ok);
        QCOMPARE(TestSupport::readFile(path),
                 QByteArray("<!DOCTYPE BvhMassProperties>\n<BvhMassProperties/>\n"));
        object.startJointNames = QStringList{"A&B <x>", "Neck"};
        object.endJointNames = QStringList{"End Site"};
        object.proximalDistances = {-2.54321987e-7};
        object.masses = {0.0123456789};
        QVERIFY(object.writeMassSegments(path).ok);
        const QByteArray expected = "<!DOCTYPE BvhMassProperties>\n"
                                    "<BvhMassProperties>\n"
                                    "   <Segment>\n"
                                    "      <StartJoint>A&amp;B &lt;x></StartJoint>\n"
                                    "      <EndJoint>End Site</EndJoint>\n"
                                    "      <ProximalDistance>-2.54322e-07</ProximalDistance>\n"
                                    "      <Mass>0.0123457</Mass>\n"
                                    "   </Segment>\n"
                                    "   <Segment>\n"
                                    "      <StartJoint>Neck</StartJoint>\n"
                                    "      <EndJoint></EndJoint>\n"
                                    "      <ProximalDistance>0</ProximalDistance>\n"
                                    "      <Mass>0</Mass>\n"
                                    "   </Segment>\n"
                                    "</BvhMassProperties>\n";
        QCOMPARE(TestSupport::readFile(path), expected);
        QVERIFY(read.readMassSegments(path));
        QCOMPARE(segments(read),
                 QStringLiteral("A&B <x>>End Site -2.54322e-07 0.0123457;Neck> 0 0;"));
        QVERIFY(read.writeMassSegments(path).ok);
        QCOMPARE(TestSupport::readFile(path), expected);
    }

    void readingReplacesModel_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("message");
        const QByteArray ab = "<StartJoint>A</StartJoint><EndJoint>B</EndJoint>";
        const QByteArray values = ab + "<ProximalDistance>0.5</ProximalDistance>";
        QTest::newRow("no segment empties the model") << QByteArray("<BvhMassProperties/>") << ""
                                                      << "";
        QTest::newRow("other root name")
            << "<Body><Segment>" + values + "<Mass>0.25</Mass></Segment></Body>"
            << "A>B 0.5 0.25;"
            << "";
        QTest::newRow("not a number reads as zero")
            << segmentXml(values + "<Mass>heavy</Mass>") << "A>B 0.5 0;"
            << "";
        QTest::newRow("unknown children ignored")
            << segmentXml("<Colour>red</Colour>" + values + "<Mass>1e-2</Mass>") << "A>B 0.5 0.01;"
            << "";
        QTest::newRow("empty start joint")
            << segmentXml("<StartJoint/><EndJoint>B</EndJoint><ProximalDistance>2"
                          "</ProximalDistance><Mass>1</Mass>")
            << ">B 2 1;"
            << "";
        // A segment missing one of its values would otherwise pair the values of two segments.
        QTest::newRow("incomplete segment ignored")
            << segmentXml(values + "<Mass>1</Mass></Segment><Segment>" + values +
                          "</Segment><Segment>" + ab +
                          "<ProximalDistance>3</ProximalDistance><Mass>4</Mass>")
            << "A>B 0.5 1;A>B 3 4;"
            << "Mass segment 1 has no \"Mass\" and is ignored";
        QTest::newRow("repeated value keeps the first")
            << segmentXml(ab + "<EndJoint>C</EndJoint><ProximalDistance>0.5</ProximalDistance>"
                               "<Mass>1</Mass>")
            << "A>B 0.5 1;"
            << "Mass segment 0 repeats \"EndJoint\" - the first is used";
    }

    void readingReplacesModel()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, expected);
        QFETCH(QString, message);
        BvhMathObject object;
        TestSupport::setSegments(object, QStringLiteral("Old>Older 0.1 0.2;Old2>Older2 0.3 0.4;"));
        QTemporaryDir dir;
        if (!message.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, qPrintable(message));
        QVERIFY(object.readMassSegments(TestSupport::writeFile(dir, "m.xml", xml)));
        QCOMPARE(segments(object), expected);
    }

    // A file that cannot be read or written names itself, and reading leaves the model be.
    // (Damaged files are refused as hostile input elsewhere.)
    void failures()
    {
        QTemporaryDir dir;
        const QString absent = dir.filePath(QStringLiteral("absent.xml"));
        BvhMathObject object;
        TestSupport::setSegments(object, QStringLiteral("Hips>Chest 0.5 1;"));
        QString error;
        QVERIFY(!object.readMassSegments(absent, &error));
        QVERIFY2(error.contains("Cannot read") && error.contains(absent), qPrintable(error));
        QCOMPARE(segments(object), QStringLiteral("Hips>Chest 0.5 1;"));
        const QString unwritable = dir.filePath(QStringLiteral("no such folder/model.xml"));
        const WriteResult result = object.writeMassSegments(unwritable);
        QVERIFY(!result.ok && !result.errorString.isEmpty());
        QCOMPARE(result.fileName, unwritable);
    }

    void constructorReadsDefaultFileOfCurrentDirectory()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        {
            TestSupport::MessageLog log;
            BvhMathObject withoutFile;
            QCOMPARE(withoutFile.getSegmentCount(), 0);
            QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join('\n')));
        }
        TestSupport::writeFile(dir, "defaultMassSegments.xml",
                               segmentXml("<StartJoint>Hips</StartJoint><EndJoint>Neck"
                                          "</EndJoint><ProximalDistance>0.4862"
                                          "</ProximalDistance><Mass>0.4346</Mass>"));
        BvhMathObject withFile;
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(segments(withFile), QStringLiteral("Hips>Neck 0.4862 0.4346;"));
    }

    void bindingByExactName()
    {
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion()));
        BvhMathObject object;
        TestSupport::setSegments(
            object, "Hips>Spine 0.5 0.5;Spine>End Site 0.5 0.25;hips>LeftLeg 0.5 0.25;");
        object.setBvhFile(&motion);
        const QList<BvhJoint*> joints = motion.root->getAllJoints();
        // "End Site" is the first End Site in pre-order: the one after Spine. Binding again
        // replaces the binding.
        const QList<BvhJoint*> starts{joints[0], joints[1], nullptr};
        const QList<BvhJoint*> ends{joints[1], joints[2], joints[3]};
        for (int pass = 0; pass < 2; ++pass) {
            QTest::ignoreMessage(QtDebugMsg, "Couldn't find mass joint \"hips\"");
            object.findMassJoints();
            QCOMPARE(QList<BvhJoint*>(object.startJoints.begin(), object.startJoints.end()),
                     starts);
            QCOMPARE(QList<BvhJoint*>(object.endJoints.begin(), object.endJoints.end()), ends);
        }
        // Without a motion nothing is bound, and no crash.
        object.setBvhFile(nullptr);
        QVERIFY(object.bvhFile.isNull() && object.rootJoint.isNull());
        object.findMassJoints();
        QVERIFY(object.startJoints.isEmpty() && object.endJoints.isEmpty());

        TestSupport::setSegments(object, "Hips>Spine 0.5 0.5;Spine>LeftLeg 0.5 0.5;");
        object.masses.removeLast();
        object.setBvhFile(&motion);
        QTest::ignoreMessage(QtDebugMsg,
                             "Mass segment lists differ in length; the first 1 segments are used");
        object.findMassJoints();
        QCOMPARE(object.startJoints.size(), 1);
        QCOMPARE(object.computeSegmentCentres().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestMassSegments)
#include "tst_masssegments.moc"
