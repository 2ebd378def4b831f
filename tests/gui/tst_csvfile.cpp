#include "app/csvfile.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// The foot table's CSV text: numbers exactly as printf "%.15g" prints them, "\n" line ends.
class TestCsvFile : public QObject
{
    Q_OBJECT

private slots:
    // Numbers as printf "%.15g" writes them (NumberFormat's own suite checks every form).
    void doublesAsPrintf()
    {
        CsvFile table;
        table.setHeader({QStringLiteral("v")});
        table.addRow({1.0 / 3.0});
        table.addRow({-0.0});
        QCOMPARE(table.toText(), QByteArray("v\n0.333333333333333\n-0\n"));
    }

    void otherValuesAsText()
    {
        CsvFile table;
        table.setHeader({QStringLiteral("a"), QStringLiteral("b")});
        table.addRow({42, QStringLiteral("name")});
        QCOMPARE(table.toText(), QByteArray("a,b\n42,name\n"));
    }

    void layout()
    {
        CsvFile table;
        table.setHeader({QStringLiteral("Time"), QStringLiteral("x"), QStringLiteral("y")});
        table.addRow({0.0, 1.5, -2.0});
        table.addRow({0.5, 3.0});
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.csv"));
        QVERIFY(table.write(path).ok);
        QCOMPARE(TestSupport::readFile(path), QByteArray("Time,x,y\n0,1.5,-2\n0.5,3\n"));
    }

    void unwritableFileFails()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("t.csv")));
        CsvFile table;
        table.setHeader({QStringLiteral("Time")});
        const WriteResult result = table.write(dir.filePath(QStringLiteral("t.csv")));
        QVERIFY(!result.ok);
        QVERIFY(!result.errorString.isEmpty());
        QVERIFY(!table.write(dir.filePath(QStringLiteral("missing/t.csv"))).ok);
    }
};

QTEST_GUILESS_MAIN(TestCsvFile)
#include "tst_csvfile.moc"
