#pragma once

#include <QByteArray>
#include <QString>

#include <charconv>
#include <cmath>
#include <string_view>

// The number styles of the files the program writes. Every writer formats through these, so a
// change of style happens in one place. All of them ignore the user's locale.
namespace NumberFormat {

// Longest text any of the helpers below produces (a 'g' value with 17 digits, a fixed value of
// a double with up to 10 decimals and 309 integer digits, or the shortest fixed text of a
// double, at most 327 characters).
inline constexpr int maxLength = 340;

// Fixed-point notation with `decimals` digits after the point, as printf "%.*f" does.
// Writes into `buffer` (at least maxLength bytes) and returns the number of bytes written.
int writeFixed(char* buffer, double value, int decimals);

// Fixed-point notation with at least `decimals` digits after the point, and more where the
// value needs them to read back as the very same double: then the shortest text that does.
// A value typed or read with more digits than a file's usual decimals keeps them all.
int writeFixedExact(char* buffer, double value, int decimals);

// The double a float prints as: the shortest decimal text that reads back as the float, read
// as a double. What the program computes in single precision is kept in the frame table so,
// and written back as those digits.
double decimalOf(float value);

// printf "%.*g": `significant` significant digits, trailing zeros removed.
int writeGeneral(char* buffer, double value, int significant);

QString fixed(double value, int decimals);
QString general(double value, int significant = 6);

// The common form of a frame value, a plain decimal ("-12.345678", "90", ".5", "-0.0") of at
// most 19 digits that make an integer of at most 2^53, read exactly as std::from_chars reads
// it, only faster: the digits m and the power 10^k (k <= 19) are both exact doubles, so their
// correctly rounded quotient m / 10^k is the correctly rounded value of the decimal. Returns where
// the number ends, or nullptr for any other text (an exponent follows, more digits, no digit at
// all), which std::from_chars is left to read.
inline const char* readPlainDecimal(const char* p, const char* end, double& value)
{
    static constexpr double powersOfTen[20] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,
                                               1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13,
                                               1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
    const bool negative = p < end && *p == '-';
    p += negative ? 1 : 0;
    quint64 digits = 0;
    const char* first = p;
    while (p < end && unsigned(*p - '0') < 10 && p - first < 19)
        digits = digits * 10 + unsigned(*p++ - '0');
    const char* point = p;
    qsizetype decimals = 0;
    if (p < end && *p == '.') {
        ++p;
        const char* firstDecimal = p;
        while (p < end && unsigned(*p - '0') < 10 && p - first < 20)
            digits = digits * 10 + unsigned(*p++ - '0');
        decimals = p - firstDecimal;
    }
    const bool anyDigit = point > first || decimals > 0;
    if (!anyDigit || digits > (quint64(1) << 53) ||
        (p < end && (unsigned(*p - '0') < 10 || *p == 'e' || *p == 'E' || *p == '.')))
        return nullptr;
    const double magnitude = double(digits) / powersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return p;
}

// A number token without blanks, as the BVH reader splits its rows into: "1.5", "+1.5", ".5",
// "1.", "1e-5". Anything else, and values outside the double range, NaN and infinities, give
// false and 0. Inline, as it runs once for every value of a motion.
// from_chars refuses a leading '+', which many writers put before positive values.
inline std::string_view withoutLeadingPlus(std::string_view token)
{
    if (token.size() > 1 && token.front() == '+' && token[1] != '-' && token[1] != '+')
        token.remove_prefix(1);
    return token;
}

inline double tokenToDouble(std::string_view token, bool* ok = nullptr)
{
    token = withoutLeadingPlus(token);
    double value = 0.0;
    const char* end = token.data() + token.size();
    const auto parsed = std::from_chars(token.data(), end, value);
    const bool valid =
        !token.empty() && parsed.ec == std::errc() && parsed.ptr == end && std::isfinite(value);
    if (ok)
        *ok = valid;
    return valid ? value : 0.0;
}

// Text to number conversions of the readers. Both accept surrounding blanks, a leading '+' and
// the forms "1.5", ".5", "1.", "1e-5"; the whole text must be a number, otherwise `ok` is false
// and the result 0. Values outside the double range, NaN and infinities count as not a number.
double toDouble(std::string_view text, bool* ok = nullptr);
// Decimal integers; values outside the int range count as not a number.
int toInt(std::string_view text, bool* ok = nullptr);

} // namespace NumberFormat
