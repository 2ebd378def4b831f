#include "export/c3dfile.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::C3DReader;

// The C3D writer: the exact bytes of a small file, and files of every size read back by the
// test-side reader.
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

    static WriteResult write(C3DFile& file, int points, qsizetype frames, const QStringList& labels,
                             const QString& path)
    {
        file.reservePoints(frames * points);
        for (qsizetype f = 0; f < frames; ++f) {
            for (int p = 0; p < points; ++p)
                file.addPoint(sampleValue(f, p, 0), sampleValue(f, p, 1), sampleValue(f, p, 2));
        }
        file.setupPointGroup(points, 60, QStringLiteral("mm "), labels);
        return file.writeC3D(path);
    }

    // Writes and reads back; empty error string when both went well.
    static QString writeAndRead(C3DReader& reader, int points, qsizetype frames,
                                const QStringList& labels, QByteArray* bytes = nullptr)
    {
        QTemporaryDir dir;
        C3DFile file;
        const QString path = dir.filePath(QStringLiteral("out.c3d"));
        const WriteResult result = write(file, points, frames, labels, path);
        if (bytes)
            *bytes = TestSupport::readFile(path);
        return result.ok ? reader.readFile(path) : result.errorString;
    }

private slots:
    // Header block; the parameter section from block 2 (its 4-byte header, then records of a
    // name, a next-entry offset, type, dimensions, data and an empty description) up to block
    // 11; then the samples, x y z and a zero residual each, unpadded.
    void smallFileBytes()
    {
        C3DFile file;
        file.addPoint(1, -2, 0.5f);
        file.addPoint(0, 3, -1);
        file.addPoint(-0.0f, 1e-45f, 65536);
        file.addPoint(4, 5, 6);
        file.setupPointGroup(2, 24, QStringLiteral("mm "), {QStringLiteral("Hip"), "K"});
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("small.c3d"));
        QVERIFY(file.writeC3D(path).ok);
        const QByteArray bytes = TestSupport::readFile(path);
        QVERIFY2(bytes == TestSupport::readFile(TestSupport::dataPath("expected/small.c3d")),
                 bytes.toHex(' ').constData());
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("expectedLabels");
        QTest::addColumn<QList<int>>("dimensions");
        const QStringList many = [] {
            QStringList labels;
            for (int i = 1; i <= 300; ++i)
                labels.append(QStringLiteral("P%1").arg(i));
            return labels;
        }();
        QTest::newRow("no labels")
            << 3 << 2 << QStringList() << QStringList{"BodyPart1", "BodyPart2", "BodyPart3"}
            << QList<int>{9, 3};
        QTest::newRow("300 points, LABELS2 holds the rest")
            << 300 << 2 << many << many << QList<int>{4, 255};
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
        QFETCH(int, points);
        QFETCH(int, frames);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, expectedLabels);
        QFETCH(QList<int>, dimensions);
        C3DReader reader;
        QCOMPARE(writeAndRead(reader, points, frames, labels), QString());
        QCOMPARE(reader.frameCount, qint64(frames));
        QCOMPARE(reader.pointCount, points);
        QCOMPARE(reader.labels, expectedLabels);
        QCOMPARE(reader.find("POINT", "LABELS")->dimensions, dimensions);
        QCOMPARE(reader.samples.size(), size_t(frames * points));
        if (!reader.samples.empty())
            QCOMPARE(reader.samples.back()[1], sampleValue(frames - 1, points - 1, 1));
    }

    void longMotionKeepsTrueFrameCount_data()
    {
        QTest::addColumn<int>("frames");
        QTest::newRow("65535 frames") << 65535;
        QTest::newRow("65536 frames") << 65536;
        QTest::newRow("131073 frames") << 131073;
    }

    // Readers take the frame count from 16-bit words; past 65535 frames the file says 65535
    // there and keeps the true count in POINT:LONG_FRAMES and TRIAL, which 65535 frames need not.
    void longMotionKeepsTrueFrameCount()
    {
        QFETCH(int, frames);
        C3DReader reader;
        QCOMPARE(writeAndRead(reader, 1, frames, {"a"}), QString());
        QCOMPARE(reader.lastFrame, 65535);
        QCOMPARE(reader.find("POINT", "FRAMES")->word(0), 65535);
        QCOMPARE(reader.frameCount, qint64(frames));
        QCOMPARE(reader.samples.back()[0], sampleValue(frames - 1, 0, 0));
        const C3DReader::Parameter* start = reader.find("TRIAL", "ACTUAL_START_FIELD");
        const C3DReader::Parameter* end = reader.find("TRIAL", "ACTUAL_END_FIELD");
        const C3DReader::Parameter* longFrames = reader.find("POINT", "LONG_FRAMES");
        if (frames == 65535) {
            QVERIFY(!longFrames && !start && !end);
            return;
        }
        QVERIFY(longFrames && start && end);
        QCOMPARE(longFrames->real(0), float(frames));
        QCOMPARE(start->data, QByteArray::fromHex("01000000"));
        QCOMPARE(end->dimensions, QList<int>{2});
        QCOMPARE(end->word(0) | end->word(1) << 16, frames);
    }

    // 200 labels of 250 characters do not fit one record (its next-entry offset is a signed
    // 16-bit word) nor 10 parameter blocks: they are spread over LABELS and LABELS2, and the
    // section grows, with DATA_START and the header following it.
    void longLabelsTakeMoreRecordsAndBlocks()
    {
        QStringList labels;
        for (int i = 0; i < 200; ++i)
            labels.append(QString(247, QChar('a' + i % 26)) + QString::number(100 + i));
        C3DReader reader;
        QCOMPARE(writeAndRead(reader, 200, 2, labels), QString());
        QCOMPARE(reader.labels, labels);
        QVERIFY(reader.find("POINT", "LABELS2") && reader.find("POINT", "DESCRIPTIONS2"));
        QVERIFY(reader.parameterBlockCount > 10);
        QVERIFY(reader.parameterEnd + 4 <= 512 * (1 + reader.parameterBlockCount));
        QCOMPARE(reader.dataBlock, 2 + reader.parameterBlockCount);
        QCOMPARE(reader.find("POINT", "DATA_START")->word(0), reader.dataBlock);
        QCOMPARE(reader.samples.size(), size_t(400));
    }

    void failuresKeepTheOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("error");
        QTest::newRow("parameters beyond 255 blocks") << "old.c3d" << 600 << "255 blocks";
        QTest::newRow("missing directory") << "no/such/dir/out.c3d" << 1 << "";
        QTest::newRow("output is a directory") << "taken" << 1 << "";
    }

    void failuresKeepTheOldFile()
    {
        QFETCH(QString, name);
        QFETCH(int, points);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken")));
        const QString path = TestSupport::writeFile(dir, QStringLiteral("old.c3d"), "old");
        C3DFile file;
        const WriteResult result =
            write(file, points, 1, QStringList(points, QString(255, 'x')), dir.filePath(name));
        QVERIFY(!result.ok && !result.errorString.isEmpty());
        QVERIFY2(result.errorString.contains(error), qPrintable(result.errorString));
        QCOMPARE(result.fileName, dir.filePath(name));
        QCOMPARE(TestSupport::readFile(path), QByteArray("old"));
    }

    // The reader must notice a record whose offset is off, or the tests that rely on it prove
    // nothing.
    void readerNoticesBrokenNextEntry()
    {
        C3DReader reader;
        QByteArray bytes;
        QCOMPARE(writeAndRead(reader, 2, 2, {"a", "b"}, &bytes), QString());
        const int usedRecord = reader.find("POINT", "USED")->offset;
        bytes[usedRecord + 2 + 4] = char(bytes[usedRecord + 2 + 4] + 1); // USED's next entry
        QVERIFY(!C3DReader().read(bytes).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestC3DFile)
#include "tst_c3dfile.moc"
