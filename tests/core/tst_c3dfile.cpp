#include "export/c3dfile.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <bit>

using TestSupport::C3DReader;

// The C3D writer: the byte layout of an ordinary file, the parameter records, and files of
// every size read back by the test-side reader.
class TestC3DFile : public QObject
{
    Q_OBJECT

private:
    // A value that differs for every frame, point and axis, so that a shifted or swapped
    // sample cannot pass.
    static float sampleValue(qsizetype frame, int point, int axis)
    {
        return float(frame) * 0.25f + float(point) * 100.0f - float(axis) * 0.125f;
    }

    static void fill(C3DFile& file, int pointCount, qsizetype frameCount)
    {
        file.reservePoints(frameCount * pointCount);
        for (qsizetype f = 0; f < frameCount; ++f) {
            for (int p = 0; p < pointCount; ++p)
                file.addPoint(sampleValue(f, p, 0), sampleValue(f, p, 1), sampleValue(f, p, 2));
        }
    }

    static QStringList numberedLabels(const QString& prefix, int count)
    {
        QStringList labels;
        for (int i = 1; i <= count; ++i)
            labels.append(prefix + QString::number(i));
        return labels;
    }

    // Every record of the parameter section, groups and parameters, in file order.
    static QList<std::pair<int, QString>> recordsInFileOrder(const C3DReader& reader)
    {
        QList<std::pair<int, QString>> records;
        for (const C3DReader::Group& group : reader.groups)
            records.append({group.offset, group.name});
        for (const C3DReader::Parameter& parameter : reader.parameters)
            records.append({parameter.offset, parameter.group + ':' + parameter.name});
        std::sort(records.begin(), records.end());
        return records;
    }

    static QByteArray writeAndLoad(C3DFile& file, const QTemporaryDir& dir)
    {
        const QString path = dir.filePath(QStringLiteral("out.c3d"));
        const WriteResult result = file.writeC3D(path);
        if (!result.ok)
            qWarning() << result.errorString;
        return TestSupport::readFile(path);
    }

private slots:
    // An ordinary file: 20 points whose longest label has 12 characters, 5 frames at 24 Hz.
    // The header, then parameter records of the sizes the format gives them following each
    // other without gaps from byte 516, zeros to the end of block 11, and unpadded samples.
    void ordinaryLayout()
    {
        QStringList labels = numberedLabels(QStringLiteral("J"), 19);
        labels.append(QStringLiteral("LeftUpLegEnd")); // 12 characters
        C3DFile file;
        fill(file, 20, 5);
        file.setupPointGroup(20, 24, QStringLiteral("mm "), labels);
        QTemporaryDir dir;
        const QByteArray bytes = writeAndLoad(file, dir);
        QCOMPARE(bytes.size(), 5632 + 16 * 20 * 5); // the data section is not padded
        C3DReader reader;
        QCOMPARE(reader.read(bytes), QString());

        QCOMPARE(reader.parameterBlock, 2);
        QCOMPARE(reader.headerPointCount, 20);
        QCOMPARE(reader.analogCount, 0);
        QCOMPARE(reader.firstFrame, 1);
        QCOMPARE(reader.lastFrame, 5);
        QCOMPARE(reader.maxInterpolationGap, 10);
        QCOMPARE(reader.scale, -1.0f);
        QCOMPARE(reader.dataBlock, 12);
        QCOMPARE(reader.frameRate, 24.0f);
        QCOMPARE(bytes.mid(24, 512 - 24), QByteArray(512 - 24, '\0'));
        QCOMPARE(bytes.mid(512, 4), QByteArray("\0\0\x0a\x54", 4));

        const QList<std::pair<int, QString>> expected = {
            {516, "POINT"},       {526, "POINT:USED"},       {539, "POINT:SCALE"},
            {555, "POINT:RATE"},  {570, "POINT:DATA_START"}, {589, "POINT:FRAMES"},
            {604, "POINT:UNITS"}, {620, "POINT:LABELS"},     {875, "POINT:DESCRIPTIONS"},
            {895, "ANALOG"},      {906, "ANALOG:USED"},
        };
        QCOMPARE(recordsInFileOrder(reader), expected); // no TRIAL group for a short motion
        QCOMPARE(reader.parameterEnd, 919);
        QCOMPARE(bytes.mid(919, 5632 - 919), QByteArray(5632 - 919, '\0'));
        QCOMPARE(reader.find("ANALOG", "USED")->word(0), 0);
        QCOMPARE(reader.find("POINT", "USED")->word(0), 20);
        QCOMPARE(reader.find("POINT", "DATA_START")->word(0), 12);
        QCOMPARE(reader.find("POINT", "FRAMES")->word(0), 5);
        QCOMPARE(reader.find("POINT", "RATE")->real(0), 24.0f);
        QCOMPARE(reader.find("POINT", "SCALE")->real(0), -1.0f);
        QCOMPARE(reader.find("POINT", "LABELS")->dimensions, QList<int>({12, 20}));
        QCOMPARE(reader.find("POINT", "DESCRIPTIONS")->dimensions, QList<int>({0}));
        QCOMPARE(reader.find("POINT", "UNITS")->dimensions, QList<int>({3}));
        QCOMPARE(reader.find("POINT", "UNITS")->data, QByteArray("mm "));
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("pointCount");
        QTest::addColumn<int>("frameCount");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("expectedLabels");
        QTest::addColumn<QList<int>>("labelDimensions");

        QTest::newRow("labels of unequal length")
            << 3 << 2 << QStringList{"A", "LongerName", "Mid"}
            << QStringList{"A", "LongerName", "Mid"} << QList<int>{10, 3};
        QTest::newRow("no labels")
            << 3 << 2 << QStringList() << QStringList{"BodyPart1", "BodyPart2", "BodyPart3"}
            << QList<int>{9, 3};
        const QStringList many = numberedLabels(QStringLiteral("P"), 300);
        QTest::newRow("300 points") << 300 << 2 << many << many << QList<int>{4, 255};
        QTest::newRow("label longer than 255 characters")
            << 2 << 1 << QStringList{QString(300, 'x'), "b"} << QStringList{QString(255, 'x'), "b"}
            << QList<int>{255, 2};
        // Labels keep the low byte of each character.
        QTest::newRow("character beyond Latin-1")
            << 1 << 2 << QStringList{QString(QChar(0x0141))} << QStringList{"A"} << QList<int>{1};
        QTest::newRow("no frames")
            << 2 << 0 << QStringList{"a", "b"} << QStringList{"a", "b"} << QList<int>{1, 2};
        QTest::newRow("no points") << 0 << 0 << QStringList() << QStringList() << QList<int>{0};
    }

    void roundTrip()
    {
        QFETCH(int, pointCount);
        QFETCH(int, frameCount);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, expectedLabels);
        QFETCH(QList<int>, labelDimensions);

        C3DFile file;
        fill(file, pointCount, frameCount);
        file.setupPointGroup(pointCount, 60, QStringLiteral("mm "), labels);
        QTemporaryDir dir;
        C3DReader reader;
        QCOMPARE(reader.read(writeAndLoad(file, dir)), QString());

        QCOMPARE(reader.frameCount, qint64(frameCount));
        QCOMPARE(reader.pointCount, pointCount);
        QCOMPARE(reader.labels, expectedLabels);
        QCOMPARE(reader.find("POINT", "LABELS")->dimensions, labelDimensions);
        QCOMPARE(reader.frameRate, 60.0f);
        QCOMPARE(qsizetype(reader.samples.size()), qsizetype(frameCount) * pointCount);
        for (qsizetype f = 0; f < frameCount; ++f) {
            for (int p = 0; p < pointCount; ++p) {
                const std::array<float, 4>& sample = reader.samples[size_t(f * pointCount + p)];
                for (int axis = 0; axis < 3; ++axis) {
                    if (std::bit_cast<quint32>(sample[size_t(axis)]) !=
                        std::bit_cast<quint32>(sampleValue(f, p, axis)))
                        QFAIL(qPrintable(QStringLiteral("frame %1 point %2 axis %3 differs")
                                             .arg(f)
                                             .arg(p)
                                             .arg(axis)));
                }
                if (sample[3] != 0.0f)
                    QFAIL("residual word is not 0");
            }
        }
    }

    void longMotionKeepsTrueFrameCount_data()
    {
        QTest::addColumn<int>("frameCount");
        QTest::newRow("65535 frames") << 65535;
        QTest::newRow("65536 frames") << 65536;
        QTest::newRow("131073 frames") << 131073;
    }

    // Readers take the frame count from 16-bit words; past 65535 frames the file says 65535
    // there and keeps the true count in POINT:LONG_FRAMES and TRIAL, which 65535 frames need not.
    void longMotionKeepsTrueFrameCount()
    {
        QFETCH(int, frameCount);
        C3DFile file;
        fill(file, 1, frameCount);
        file.setupPointGroup(1, 30, QStringLiteral("mm "), {"a"});
        QTemporaryDir dir;
        C3DReader reader;
        QCOMPARE(reader.read(writeAndLoad(file, dir)), QString());
        QCOMPARE(reader.lastFrame, 65535);
        QCOMPARE(reader.frameCount, qint64(frameCount));
        QCOMPARE(reader.samples.back()[0], sampleValue(frameCount - 1, 0, 0));
        if (frameCount == 65535) {
            QVERIFY(!reader.find("POINT", "LONG_FRAMES"));
            QVERIFY(!reader.find("TRIAL", "ACTUAL_END_FIELD"));
            return;
        }
        QCOMPARE(reader.find("POINT", "FRAMES")->word(0), 0xFFFF);
        QCOMPARE(reader.find("POINT", "LONG_FRAMES")->real(0), float(frameCount));
        const C3DReader::Parameter* start = reader.find("TRIAL", "ACTUAL_START_FIELD");
        const C3DReader::Parameter* end = reader.find("TRIAL", "ACTUAL_END_FIELD");
        QVERIFY(start && end);
        QCOMPARE(start->dimensions, QList<int>{2});
        QCOMPARE(start->word(0), 1);
        QCOMPARE(start->word(1), 0);
        QCOMPARE(end->word(0), frameCount & 0xFFFF);
        QCOMPARE(end->word(1), frameCount >> 16);
    }

    // 200 labels of 250 characters do not fit one record (its next-entry offset is a signed
    // 16-bit word) nor 10 parameter blocks: they are spread over LABELS and LABELS2, and the
    // section grows, with DATA_START and the header following it.
    void longLabelsTakeMoreRecordsAndBlocks()
    {
        QStringList labels;
        for (int i = 0; i < 200; ++i)
            labels.append(QString(247, QChar('a' + i % 26)) + QString::number(100 + i));
        C3DFile file;
        fill(file, 200, 2);
        file.setupPointGroup(200, 30, QStringLiteral("mm "), labels);
        QTemporaryDir dir;
        C3DReader reader;
        QCOMPARE(reader.read(writeAndLoad(file, dir)), QString());
        QCOMPARE(reader.labels, labels);
        QVERIFY(reader.find("POINT", "LABELS2"));
        QVERIFY(reader.find("POINT", "DESCRIPTIONS2"));
        for (const C3DReader::Parameter& parameter : std::as_const(reader.parameters))
            QVERIFY2(parameter.recordSize <= 32767, qPrintable(parameter.name));
        QVERIFY(reader.parameterBlockCount > 10);
        QVERIFY(reader.parameterEnd + 4 <= 512 * (1 + reader.parameterBlockCount));
        QCOMPARE(reader.dataBlock, 2 + reader.parameterBlockCount);
        QCOMPARE(reader.find("POINT", "DATA_START")->word(0), reader.dataBlock);
        QCOMPARE(reader.samples.size(), size_t(400));
    }

    void tooLargeParameterSectionFailsAndKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString path = TestSupport::writeFile(dir, QStringLiteral("old.c3d"), "old");
        QStringList labels;
        for (int i = 0; i < 600; ++i)
            labels.append(QString(255, 'x'));
        C3DFile file;
        fill(file, 600, 1);
        file.setupPointGroup(600, 30, QStringLiteral("mm "), labels);
        const WriteResult result = file.writeC3D(path);
        QVERIFY(!result.ok);
        QVERIFY(result.errorString.contains(QStringLiteral("255 blocks")));
        QCOMPARE(TestSupport::readFile(path), QByteArray("old"));
    }

    void unwritableOutputFails_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::newRow("missing directory") << "no/such/dir/out.c3d";
        QTest::newRow("output is a directory") << "taken";
    }

    void unwritableOutputFails()
    {
        QFETCH(QString, relativePath);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken")));
        C3DFile file;
        fill(file, 1, 1);
        file.setupPointGroup(1, 30, QStringLiteral("mm "), {"a"});
        const WriteResult result = file.writeC3D(dir.filePath(relativePath));
        QVERIFY(!result.ok);
        QVERIFY(!result.errorString.isEmpty());
        QCOMPARE(result.fileName, dir.filePath(relativePath));
    }

    // The reader must notice a record whose offset is off, or the layout tests prove nothing.
    void readerNoticesBrokenNextEntry()
    {
        C3DFile file;
        fill(file, 2, 2);
        file.setupPointGroup(2, 30, QStringLiteral("mm "), {"a", "b"});
        QTemporaryDir dir;
        QByteArray bytes = writeAndLoad(file, dir);
        C3DReader reader;
        QCOMPARE(reader.read(bytes), QString());
        const int usedRecord = reader.find("POINT", "USED")->offset;
        bytes[usedRecord + 2 + 4] = char(bytes[usedRecord + 2 + 4] + 1); // USED's next entry
        QVERIFY(!C3DReader().read(bytes).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestC3DFile)
#include "tst_c3dfile.moc"
