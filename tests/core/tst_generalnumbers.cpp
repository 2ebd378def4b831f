#include "model/numberformat.h"

#include <QTest>

#include <cmath>
#include <cstdio>
#include <limits>

// NumberFormat::general, the "%g" style of the XML and CSV files. It has a fast path of its own,
// so every case is checked against the C library's printf.
class TestGeneralNumbers : public QObject
{
    Q_OBJECT

private:
    static QString printfGeneral(double value, int significant)
    {
        char buffer[400];
        std::snprintf(buffer, sizeof buffer, "%.*g", significant, value);
        return QString::fromLatin1(buffer);
    }

private slots:
    void matchesPrintf_data()
    {
        QTest::addColumn<double>("value");
        QTest::addRow("zero") << 0.0;
        QTest::addRow("negative zero") << -0.0;
        QTest::addRow("more than six digits") << 0.0123456789;
        QTest::addRow("frame time") << 0.0333333;
        QTest::addRow("seven-digit integer") << 1234567.0;
        QTest::addRow("rounds up to a power of ten") << 999999.7;
        QTest::addRow("rounds up below one") << 0.09999999;
        QTest::addRow("smallest fixed") << 0.0001;
        QTest::addRow("just below the smallest fixed") << 0.0000999999;
        QTest::addRow("rounds into fixed") << 0.00009999996;
        QTest::addRow("tie in binary") << 0.1234565;
        QTest::addRow("exact tie rounds to even") << 2.5;
        QTest::addRow("negative float") << double(-173.27563f);
        QTest::addRow("tiny") << 1.5e-25;
        QTest::addRow("huge") << -6.02214076e23;
        QTest::addRow("three-digit exponent") << 1e-200;
        QTest::addRow("denormal") << 5e-320;
        QTest::addRow("largest double") << std::numeric_limits<double>::max();
        QTest::addRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::addRow("NaN") << std::numeric_limits<double>::quiet_NaN();
    }

    void matchesPrintf()
    {
        QFETCH(double, value);
        for (int significant : {1, 3, 6, 9, 12, 15, 17})
            QCOMPARE(NumberFormat::general(value, significant), printfGeneral(value, significant));
    }

    // Powers of ten and their neighbours decide the exponent and the style.
    void powersOfTenMatchPrintf()
    {
        for (int exponent = -32; exponent <= 32; ++exponent) {
            const double power = std::pow(10.0, exponent);
            for (double value : {power, std::nextafter(power, 0.0), std::nextafter(power, 1e300),
                                 power * 0.9999995, power * 1.0000005}) {
                QCOMPARE(NumberFormat::general(value), printfGeneral(value, 6));
                QCOMPARE(NumberFormat::general(double(float(value))),
                         printfGeneral(double(float(value)), 6));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestGeneralNumbers)
#include "tst_generalnumbers.moc"
