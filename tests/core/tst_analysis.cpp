#include "physics/butterworth.h"
#include "physics/derivative.h"
#include "support/testsupport.h"

#include <QTest>

#include <cmath>

// The centre-of-mass analysis: the zero-lag Butterworth filter against scipy's filtfilt, and
// the derivatives against analytic ones.
class TestAnalysis : public QObject
{
    Q_OBJECT

private:
    static std::vector<double> numbers(const QByteArray& line)
    {
        std::vector<double> values;
        for (const QByteArray& word : line.mid(2).split(' '))
            values.push_back(word.toDouble());
        return values;
    }

private slots:
    // Every case of expected/filtfilt.txt (made by make_filter_reference.py with scipy) to 1e-9
    // of the signal's size.
    void filterMatchesScipy()
    {
        const QList<QByteArray> lines =
            TestSupport::readLines(TestSupport::dataPath("expected/filtfilt.txt"));
        QCOMPARE(lines.size() % 3, 0);
        for (qsizetype i = 0; i + 2 < lines.size(); i += 3) {
            const QList<QByteArray> head = lines[i].mid(5).split('|');
            const std::vector<double> x = numbers(lines[i + 1]), want = numbers(lines[i + 2]);
            const std::vector<double> got = Butterworth::filterTwice(
                Butterworth::lowPass(head[2].toDouble(), head[1].toDouble()), x);
            double size = 1;
            for (const double v : want)
                size = std::max(size, std::abs(v));
            QCOMPARE(got.size(), want.size());
            for (size_t k = 0; k < got.size(); ++k)
                QVERIFY2(std::abs(got[k] - want[k]) <= 1e-9 * size,
                         qPrintable(QStringLiteral("%1, sample %2: %3 against %4")
                                        .arg(QString::fromUtf8(head[0]))
                                        .arg(k)
                                        .arg(got[k], 0, 'g', 17)
                                        .arg(want[k], 0, 'g', 17)));
        }
    }

    // f(t) = 2t^2 - 3t + 1 sampled every 0.01 s: the central differences give 4t - 3 exactly
    // inside, the one-sided ones the chord's slope at the ends; too short a signal has rate 0.
    void gradientOfAPolynomial()
    {
        const double dt = 0.01;
        std::vector<double> f;
        for (int i = 0; i < 50; ++i)
            f.push_back(2 * (i * dt) * (i * dt) - 3 * (i * dt) + 1);
        const std::vector<double> rate = Derivative::gradient(f, dt);
        for (int i = 1; i < 49; ++i)
            QVERIFY(std::abs(rate[size_t(i)] - (4 * i * dt - 3)) < 1e-9);
        QVERIFY(std::abs(rate[0] - (2 * dt - 3)) < 1e-9);
        QVERIFY(std::abs(rate[49] - (2 * (48 + 49) * dt - 3)) < 1e-9);
        QCOMPARE(Derivative::gradient(std::vector<double>{5.0}, dt), std::vector<double>{0.0});
    }
};

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
