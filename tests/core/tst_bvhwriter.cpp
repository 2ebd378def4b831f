#include "model/bvhfile.h"
#include "model/bvhwriter.h"
#include "model/numberformat.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <limits>

// The writer's layout, digits and frame ranges, and NumberFormat::general, the "%g" style of
// the XML and CSV files.
class TestBvhWriter : public QObject
{
    Q_OBJECT

private:
    static QByteArray written(const BvhFile& file, const FrameRange& range)
    {
        return QByteArray::fromStdString(BvhWriter(file).toText(range));
    }

private slots:
    // What the reader forgives (extra words after a name, a short OFFSET, missing channel
    // names, "End Effector", a JOINT without a block, which loses the next line) comes out in
    // the program's one layout.
    void readAndWrittenInOneLayout()
    {
        BvhFile file;
        QVERIFY(TestSupport::loadMotion(
            file, "HIERARCHY\n\nROOT Hips extra words\n{\n  \t OFFSET  0\t10.5   -3.25\n"
                  "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
                  "JOINT Bare\n{\nOFFSET 1 2\nJOINT Leg\n{\nOFFSET 0 -1 0\nCHANNELS 4 Zrotation "
                  "Xrotation\nEnd Effector\n{\nOFFSET 0 -2 0\n}\n}\n}\nJOINT NoBlock\nJOINT Lost\n"
                  "JOINT Kept\n{\n}\n}\nMOTION\nFrames: 1\nFrame Time: 0.0333333333\n"
                  "1.5 2 3 45.123456789 0 -1 7 8 9 -0\n"));
        QCOMPARE(written(file, {0, 0}),
                 TestSupport::readFile(TestSupport::dataPath("expected/layout.bvh")));
    }

    void frameRanges()
    {
        BvhFile file;
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(20)));
        // first, last, first row written, rows written
        const int ranges[][4] = {{0, 20, 0, 20}, {10, 19, 10, 10}, {5, 5, 5, 1}, {3, 1000, 3, 17},
                                 {25, 30, 0, 0}, {8, 4, 0, 0},     {-5, 2, 0, 3}};
        for (const auto& [first, last, firstWritten, count] : ranges) {
            BvhFile back;
            QVERIFY(TestSupport::loadMotion(back, written(file, {first, last})));
            QCOMPARE(back.numFrames, count);
            QCOMPARE(back.frames, file.frames.mid(firstWritten, count));
        }
    }

    void failedWritesKeepTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = TestSupport::writeFile(dir, QStringLiteral("keep.bvh"), "old");
        BvhFile file;
        QVERIFY(!BvhWriter(file).write(path, {0, 10}).ok); // nothing loaded
        QCOMPARE(TestSupport::readFile(path), QByteArray("old"));
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(2)));
        const WriteResult result = BvhWriter(file).write(dir.filePath("no/x.bvh"), {0, 1});
        QVERIFY(!result.ok && !result.errorString.isEmpty());
        QCOMPARE(result.fileName, dir.filePath("no/x.bvh"));
    }

    // NumberFormat::general has a fast path of its own, so every value is checked against the
    // C library's printf: rounding up to a power of ten, the switch to the exponent style, ties,
    // and powers of ten with their neighbours, which decide the exponent.
    void generalNumbersMatchPrintf()
    {
        const auto printfGeneral = [](double value, int significant) {
            char buffer[400];
            std::snprintf(buffer, sizeof buffer, "%.*g", significant, value);
            return QString::fromLatin1(buffer);
        };
        using Limits = std::numeric_limits<double>;
        QList<double> values;
        values << 0.0 << -0.0 << 0.0333333 << 1234567.0 << 999999.7 << 0.09999999 << 0.0001
               << 0.0000999999 << 0.00009999996 << 0.1234565 << 2.5 << double(-173.27563f)
               << -6.02214076e23 << 1e-200 << 5e-320 << Limits::max() << Limits::infinity()
               << Limits::quiet_NaN();
        for (int exponent = -32; exponent <= 32; ++exponent) {
            const double power = std::pow(10.0, exponent);
            for (double value : {power, std::nextafter(power, 0.0), std::nextafter(power, 1e300),
                                 power * 0.9999995, power * 1.0000005})
                values << value << double(float(value));
        }
        for (const double value : values) {
            for (int significant : {1, 3, 6, 9, 12, 15, 17})
                QCOMPARE(NumberFormat::general(value, significant),
                         printfGeneral(value, significant));
        }
    }
};

QTEST_GUILESS_MAIN(TestBvhWriter)
#include "tst_bvhwriter.moc"
