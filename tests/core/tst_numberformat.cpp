#include "model/numberformat.h"
#include "support/testsupport.h"

#include <QTest>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

using Limits = std::numeric_limits<double>;

// The number texts of every file the program writes: NumberFormat::general (the "%g" of the
// XML and CSV files) against the C library's printf, writeFixedExact (the BVH writer's values,
// which read back as the very same doubles) and decimalOf (how a float computed by the program
// is kept in the frame table).
class TestNumberFormat : public QObject
{
    Q_OBJECT

private:
    static double parsed(const char* text, qsizetype length)
    {
        double value = 0.0;
        std::from_chars(text, text + length, value);
        return value;
    }

private slots:
    // NumberFormat::general has a fast path of its own: rounding up to a power of ten, the
    // switch to the exponent style, ties, and powers of ten with their neighbours, which decide
    // the exponent.
    void generalMatchesPrintf_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("significant");
        QList<double> values{0.0,        -0.0,           0.0333333,    1234567.0,     999999.7,
                             0.09999999, 0.0001,         0.0000999999, 0.00009999996, 0.1234565,
                             2.5,        -6.02214076e23, 1e-200,       5e-320,        -173.27563f};
        values << Limits::max() << Limits::infinity() << Limits::quiet_NaN();
        for (int exponent = -32; exponent <= 32; ++exponent) {
            const double power = std::pow(10.0, exponent);
            for (double value : {power, std::nextafter(power, 0.0), std::nextafter(power, 1e300),
                                 power * 0.9999995, power * 1.0000005})
                values << value << double(float(value));
        }
        for (const double value : values) {
            for (int significant : {1, 3, 6, 9, 12, 15, 17})
                QTest::addRow("%.17g, %d digits", value, significant) << value << significant;
        }
    }

    void generalMatchesPrintf()
    {
        QFETCH(double, value);
        QFETCH(int, significant);
        char buffer[400];
        std::snprintf(buffer, sizeof buffer, "%.*g", significant, value);
        QCOMPARE(NumberFormat::general(value, significant), QString::fromLatin1(buffer));
    }

    // The text reads back as the very same double (so 0 and -0 differ), with the decimals
    // expected/fixed-exact.txt gives.
    void fixedExact_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<int>("written");
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath("expected/fixed-exact.txt"))) {
            const QByteArray value = row.value(1).toLatin1();
            QTest::newRow(qPrintable(row.value(0))) << parsed(value.constData(), value.size())
                                                    << row.value(2).toInt() << row.value(3).toInt();
        }
    }

    void fixedExact()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(int, written);
        char buffer[NumberFormat::maxLength];
        const int length = NumberFormat::writeFixedExact(buffer, value, decimals);
        const QByteArray text(buffer, length);
        QCOMPARE(std::bit_cast<quint64>(parsed(buffer, length)), std::bit_cast<quint64>(value));
        QCOMPARE(text.size() - text.indexOf('.') - 1, written);
    }

    // The double of the float's shortest text: what a file written and read again holds.
    void decimalOf_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("tenth") << 0.1f << QByteArray("0.1");
        QTest::newRow("third") << 1.0f / 3.0f << QByteArray("0.33333334");
        QTest::newRow("negative zero") << -0.0f << QByteArray("-0");
        QTest::newRow("largest") << std::numeric_limits<float>::max() << QByteArray("3.4028235e38");
    }

    void decimalOf()
    {
        QFETCH(float, value);
        QFETCH(QByteArray, text);
        const double decimal = NumberFormat::decimalOf(value);
        QCOMPARE(std::bit_cast<quint64>(decimal),
                 std::bit_cast<quint64>(parsed(text.constData(), text.size())));
        QCOMPARE(std::bit_cast<quint32>(float(decimal)), std::bit_cast<quint32>(value));
    }

    // The reader's short way for plain decimals gives std::from_chars's double, bit for bit,
    // and ends where it ends, on random texts of each form; texts it does not take (an
    // exponent, too many digits) it leaves to from_chars whole.
    void plainDecimalsReadAsFromChars_data()
    {
        QTest::addColumn<int>("integerDigits"); // at most; 0 to that many
        QTest::addColumn<int>("decimals");      // at most; -1 for no point
        QTest::addColumn<QByteArray>("suffix");
        QTest::addColumn<bool>("taken"); // by the short way, when the digits allow
        QTest::newRow("motion values") << 3 << 6 << QByteArray() << true;
        QTest::newRow("integers") << 19 << -1 << QByteArray() << true;
        QTest::newRow("about 2^53 digits") << 10 << 10 << QByteArray() << true;
        QTest::newRow("many decimals") << 2 << 25 << QByteArray() << true;
        QTest::newRow("points without decimals") << 4 << 0 << QByteArray() << true;
        QTest::newRow("exponents") << 3 << 4 << QByteArray("e-7") << false;
        QTest::newRow("followed by a blank") << 3 << 4 << QByteArray(" 5") << true;
    }

    void plainDecimalsReadAsFromChars()
    {
        QFETCH(int, integerDigits);
        QFETCH(int, decimals);
        QFETCH(QByteArray, suffix);
        QFETCH(bool, taken);
        std::srand(uint(integerDigits * 100 + decimals));
        int takenCount = 0;
        for (int n = 0; n < 100000; ++n) {
            QByteArray text = std::rand() % 3 == 0 ? "-" : "";
            const auto digitsUpTo = [](int most) {
                return most <= 0 ? 0 : std::rand() % (most + 1);
            };
            // Texts of zeros only, or leading zeros, are frequent.
            const bool zeros = std::rand() % 4 == 0;
            for (int k = digitsUpTo(integerDigits); k > 0; --k)
                text += char(zeros || std::rand() % 3 == 0 ? '0' : '0' + std::rand() % 10);
            if (decimals >= 0) {
                text += '.';
                for (int k = digitsUpTo(decimals); k > 0; --k)
                    text += char('0' + std::rand() % 10);
            }
            text += suffix;
            double expected = 0.0, actual = 0.0;
            const char* end = text.constData() + text.size();
            const auto parsed = std::from_chars(text.constData(), end, expected);
            const char* stop = NumberFormat::readPlainDecimal(text.constData(), end, actual);
            if (!stop)
                continue;
            ++takenCount;
            QVERIFY2(parsed.ec == std::errc() && stop == parsed.ptr &&
                         std::bit_cast<quint64>(actual) == std::bit_cast<quint64>(expected),
                     text.constData());
        }
        QVERIFY(taken ? takenCount > 10000 : takenCount == 0);
    }
};

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"
