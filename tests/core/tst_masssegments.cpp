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
    struct Segment
    {
        QString start;
        QString end;
        double distance;
        double mass;
    };

    static void setSegments(BvhMathObject& object, const QList<Segment>& segments)
    {
        object.clearSegments();
        for (const Segment& segment : segments) {
            object.startJointNames.append(segment.start);
            object.endJointNames.append(segment.end);
            object.proximalDistances.append(segment.distance);
            object.masses.append(segment.mass);
        }
    }

    static QString write(const QTemporaryDir& dir, const BvhMathObject& object)
    {
        const QString path = dir.filePath(QStringLiteral("model.xml"));
        const WriteResult result = object.writeMassSegments(path);
        if (!result.ok)
            qWarning() << result.errorString;
        return path;
    }

    static QByteArray segmentXml(const QByteArray& children)
    {
        return "<BvhMassProperties><Segment>" + children + "</Segment></BvhMassProperties>";
    }

private slots:
    void writtenLayout()
    {
        BvhMathObject object;
        setSegments(object, {{"Hips", "Chest", 0.5, 0.0123456789}, {"Neck", "End Site", 1.25, 1}});
        QTemporaryDir dir;
        const QByteArray expected = "<!DOCTYPE BvhMassProperties>\n"
                                    "<BvhMassProperties>\n"
                                    "   <Segment>\n"
                                    "      <StartJoint>Hips</StartJoint>\n"
                                    "      <EndJoint>Chest</EndJoint>\n"
                                    "      <ProximalDistance>0.5</ProximalDistance>\n"
                                    "      <Mass>0.0123457</Mass>\n"
                                    "   </Segment>\n"
                                    "   <Segment>\n"
                                    "      <StartJoint>Neck</StartJoint>\n"
                                    "      <EndJoint>End Site</EndJoint>\n"
                                    "      <ProximalDistance>1.25</ProximalDistance>\n"
                                    "      <Mass>1</Mass>\n"
                                    "   </Segment>\n"
                                    "</BvhMassProperties>\n";
        QCOMPARE(TestSupport::readFile(write(dir, object)), expected);
    }

    void emptyModelWritesEmptyRoot()
    {
        BvhMathObject object;
        object.clearSegments();
        QTemporaryDir dir;
        QCOMPARE(TestSupport::readFile(write(dir, object)),
                 QByteArray("<!DOCTYPE BvhMassProperties>\n<BvhMassProperties/>\n"));
    }

    void shortListsWriteEmptyTextAndZero()
    {
        BvhMathObject object;
        object.clearSegments();
        object.startJointNames = QStringList{QStringLiteral("Hips")};
        QTemporaryDir dir;
        const QByteArray text = TestSupport::readFile(write(dir, object));
        QVERIFY2(text.contains("<EndJoint></EndJoint>"), text.constData());
        QVERIFY2(text.contains("<ProximalDistance>0</ProximalDistance>"), text.constData());
        QVERIFY2(text.contains("<Mass>0</Mass>"), text.constData());
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("value");
        QTest::newRow("empty name") << "" << 0.25;
        QTest::newRow("more than six digits") << "Chest" << 0.0123456789;
        QTest::newRow("negative exponent") << "Hips" << -2.5e-7;
        QTest::newRow("markup in name") << "A&B <x>" << 3.0;
    }

    void roundTrip()
    {
        QFETCH(QString, name);
        QFETCH(double, value);
        BvhMathObject written;
        setSegments(written, {{name, name + "2", value, -value}});
        QTemporaryDir dir;
        const QString path = write(dir, written);

        BvhMathObject read;
        QVERIFY(read.readMassSegments(path));
        QCOMPARE(read.startJointNames, QStringList{name});
        QCOMPARE(read.endJointNames, QStringList{name + "2"});
        QCOMPARE(read.proximalDistances.size(), 1);
        QCOMPARE(read.masses.size(), 1);
        // Six significant digits: the relative error is at most half a unit of the sixth.
        QVERIFY(qAbs(read.proximalDistances[0] - value) <= 5e-6 * qAbs(value));
        QVERIFY(qAbs(read.masses[0] + value) <= 5e-6 * qAbs(value));

        // Once rounded, the values survive further round trips unchanged.
        const QString again = dir.filePath(QStringLiteral("again.xml"));
        QVERIFY(read.writeMassSegments(again).ok);
        QCOMPARE(TestSupport::readFile(again), TestSupport::readFile(path));
    }

    void readingReplacesModel_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QStringList>("startNames");
        QTest::addColumn<QList<double>>("massValues");
        const QByteArray values = "<EndJoint>B</EndJoint><ProximalDistance>0.5</ProximalDistance>";
        QTest::newRow("no segment empties the model")
            << QByteArray("<BvhMassProperties/>") << QStringList() << QList<double>();
        QTest::newRow("other root name")
            << QByteArray("<Body><Segment><StartJoint>A</StartJoint>" + values +
                          "<Mass>0.25</Mass></Segment></Body>")
            << QStringList{"A"} << QList<double>{0.25};
        QTest::newRow("not a number reads as zero")
            << segmentXml("<StartJoint>A</StartJoint>" + values + "<Mass>heavy</Mass>")
            << QStringList{"A"} << QList<double>{0.0};
        QTest::newRow("unknown children ignored")
            << segmentXml("<Colour>red</Colour><StartJoint>A</StartJoint>" + values +
                          "<Mass>1e-2</Mass>")
            << QStringList{"A"} << QList<double>{0.01};
        QTest::newRow("empty start joint")
            << segmentXml("<StartJoint/>" + values + "<Mass>1</Mass>") << QStringList{""}
            << QList<double>{1.0};
    }

    void readingReplacesModel()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QStringList, startNames);
        QFETCH(QList<double>, massValues);
        BvhMathObject object;
        setSegments(object, {{"Old", "Older", 0.1, 0.2}, {"Old2", "Older2", 0.3, 0.4}});
        QTemporaryDir dir;
        QVERIFY(object.readMassSegments(TestSupport::writeFile(dir, "m.xml", xml)));
        QCOMPARE(object.startJointNames, startNames);
        QCOMPARE(object.masses, massValues);
        QCOMPARE(object.endJointNames.size(), startNames.size());
        QCOMPARE(object.proximalDistances.size(), startNames.size());
    }

    // A segment missing one of its values would otherwise pair the values of two segments.
    void incompleteSegmentsAreIgnored()
    {
        const QByteArray segment = "<StartJoint>X</StartJoint><EndJoint>Y</EndJoint>"
                                   "<ProximalDistance>0.5</ProximalDistance>";
        const QByteArray complete = "<Segment><StartJoint>A</StartJoint><EndJoint>B</EndJoint>"
                                    "<ProximalDistance>0.25</ProximalDistance><Mass>0.75</Mass>"
                                    "</Segment>";
        const QByteArray xml = "<BvhMassProperties>" + complete + "<Segment>" + segment +
                               "</Segment>" + complete + "</BvhMassProperties>";
        QTemporaryDir dir;
        BvhMathObject object;
        QTest::ignoreMessage(QtDebugMsg, "Mass segment 1 has no \"Mass\" and is ignored");
        QVERIFY(object.readMassSegments(TestSupport::writeFile(dir, "m.xml", xml)));
        QCOMPARE(object.getSegmentCount(), 2);
        QCOMPARE(object.startJointNames, (QStringList{"A", "A"}));
        QCOMPARE(object.endJointNames, (QStringList{"B", "B"}));
        QCOMPARE(object.proximalDistances, (QList<double>{0.25, 0.25}));
        QCOMPARE(object.masses, (QList<double>{0.75, 0.75}));
    }

    void repeatedValueKeepsTheFirst()
    {
        const QByteArray xml = segmentXml("<StartJoint>A</StartJoint><EndJoint>B</EndJoint>"
                                          "<EndJoint>C</EndJoint><ProximalDistance>0.5"
                                          "</ProximalDistance><Mass>1</Mass>");
        QTemporaryDir dir;
        BvhMathObject object;
        QTest::ignoreMessage(QtDebugMsg, "Mass segment 0 repeats \"EndJoint\" - the first is used");
        QVERIFY(object.readMassSegments(TestSupport::writeFile(dir, "m.xml", xml)));
        QCOMPARE(object.endJointNames, QStringList{"B"});
        QCOMPARE(object.getSegmentCount(), 1);
    }

    void unreadableFileKeepsModel_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing file") << QByteArray() << false << "Cannot read";
        QTest::newRow("malformed")
            << QByteArray("<BvhMassProperties><Segment>") << true << "is not an XML file";
    }

    void unreadableFileKeepsModel()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, exists);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = exists ? TestSupport::writeFile(dir, "m.xml", contents)
                                    : dir.filePath(QStringLiteral("absent.xml"));
        BvhMathObject object;
        setSegments(object, {{"Hips", "Chest", 0.5, 1}});
        QString error;
        QVERIFY(!object.readMassSegments(path, &error));
        QVERIFY2(error.contains(reason) && error.contains(path), qPrintable(error));
        QCOMPARE(object.startJointNames, QStringList{"Hips"});
        QCOMPARE(object.masses, QList<double>{1.0});
    }

    void unwritableFileFails()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("no such folder/model.xml"));
        BvhMathObject object;
        setSegments(object, {{"Hips", "Chest", 0.5, 1}});
        const WriteResult result = object.writeMassSegments(path);
        QVERIFY(!result.ok);
        QCOMPARE(result.fileName, path);
        QVERIFY(!result.errorString.isEmpty());
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
        QCOMPARE(withFile.startJointNames, QStringList{"Hips"});
        QCOMPARE(withFile.masses, QList<double>{0.4346});
    }

    void bindingByExactName()
    {
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion()));
        BvhMathObject object;
        setSegments(object, {{"Hips", "Spine", 0.5, 0.5},
                             {"Spine", "End Site", 0.5, 0.25},
                             {"hips", "LeftLeg", 0.5, 0.25}});
        object.setBvhFile(&motion);
        QTest::ignoreMessage(QtDebugMsg, "Couldn't find mass joint \"hips\"");
        object.findMassJoints();
        const QList<BvhJoint*> joints = motion.root->getAllJoints();
        QCOMPARE(object.startJoints.size(), 3);
        QCOMPARE(object.endJoints.size(), 3);
        QCOMPARE(object.startJoints[0].data(), joints[0]);
        QCOMPARE(object.endJoints[0].data(), joints[1]);
        // "End Site" is the first End Site in pre-order: the one after Spine.
        QCOMPARE(object.endJoints[1].data(), joints[2]);
        QVERIFY(object.startJoints[2].isNull());
        QCOMPARE(object.endJoints[2].data(), joints[3]);

        // Binding again replaces the binding; without a motion nothing is bound, and no crash.
        QTest::ignoreMessage(QtDebugMsg, "Couldn't find mass joint \"hips\"");
        object.findMassJoints();
        QCOMPARE(object.startJoints.size(), 3);
        object.setBvhFile(nullptr);
        QVERIFY(object.bvhFile.isNull() && object.rootJoint.isNull());
        object.findMassJoints();
        QVERIFY(object.startJoints.isEmpty() && object.endJoints.isEmpty());
    }

    void unequalListsBindCompleteSegmentsOnly()
    {
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion()));
        BvhMathObject object;
        setSegments(object, {{"Hips", "Spine", 0.5, 0.5}, {"Spine", "LeftLeg", 0.5, 0.5}});
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
