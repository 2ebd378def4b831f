#include "numberformat.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace NumberFormat {

int writeFixed(char* buffer, double value, int decimals)
{
    const auto result =
        std::to_chars(buffer, buffer + maxLength, value, std::chars_format::fixed, decimals);
    return int(result.ptr - buffer);
}

static bool sameDouble(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

int writeFixedExact(char* buffer, double value, int decimals)
{
    const int length = writeFixed(buffer, value, decimals);
    double back = 0.0;
    const auto parsed = std::from_chars(buffer, buffer + length, back);
    if (parsed.ec == std::errc() && sameDouble(back, value))
        return length;
    // Rare: more digits than the file's usual decimals (or not a number at all).
    const auto result = std::to_chars(buffer, buffer + maxLength, value, std::chars_format::fixed);
    return result.ec == std::errc() ? int(result.ptr - buffer) : length;
}

double decimalOf(float value)
{
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    double result = double(value);
    if (written.ec == std::errc())
        std::from_chars(buffer, written.ptr, result);
    return result;
}

// Powers of ten as correctly rounded doubles (each literal is).
static constexpr double powersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31,
    1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38, 1e39, 1e40, 1e41, 1e42, 1e43, 1e44, 1e45, 1e46, 1e47,
    1e48, 1e49, 1e50, 1e51, 1e52, 1e53, 1e54, 1e55, 1e56, 1e57, 1e58, 1e59, 1e60};

static double powerOfTen(int exponent)
{
    return powersOfTen[exponent];
}

// printf "%.*g" for the common case, several times faster than to_chars with a precision: scale
// the value so that its `significant` digits form the integer part, and round. The scaling is
// off by far less than 1e-4 of a unit of the last digit, so the rounding is certain unless the
// fraction lies that close to one half; those values, and every value too small, too large or
// not finite, are left to to_chars (-1 returned). The exponent comes from a first guess that
// the scaled value then corrects.
static int writeGeneralFast(char* buffer, double value, int significant)
{
    if (value == 0.0 && significant >= 1) { // tables are full of zeros
        char* out = buffer;
        if (std::signbit(value))
            *out++ = '-';
        *out++ = '0';
        return int(out - buffer);
    }
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-30 && magnitude <= 1e30) || significant < 1 || significant > 9)
        return -1;
    // log10(2) * binary exponent is within one of the decimal exponent.
    int binaryExponent = 0;
    std::frexp(magnitude, &binaryExponent);
    int exponent = int(std::floor((binaryExponent - 1) * 0.30102999566398120));
    const auto scaledBy = [&](int e) {
        const int shift = significant - 1 - e;
        return shift >= 0 ? magnitude * powerOfTen(shift) : magnitude / powerOfTen(-shift);
    };
    const double low = powerOfTen(significant - 1), high = powerOfTen(significant);
    double scaled = scaledBy(exponent);
    if (scaled >= high)
        scaled = scaledBy(++exponent);
    else if (scaled < low)
        scaled = scaledBy(--exponent);
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) < 1e-4 || scaled < low || scaled >= high)
        return -1;
    auto digits = quint64(whole) + (fraction > 0.5 ? 1 : 0);
    if (double(digits) >= high) { // 999999.7 rounds up to the next power of ten
        digits /= 10;
        ++exponent;
    }

    char text[10];
    for (int i = significant - 1; i >= 0; --i, digits /= 10)
        text[i] = char('0' + digits % 10);
    int length = significant;
    char* out = buffer;
    if (value < 0)
        *out++ = '-';
    if (exponent < -4 || exponent >= significant) {
        while (length > 1 && text[length - 1] == '0')
            --length;
        *out++ = text[0];
        if (length > 1) {
            *out++ = '.';
            for (int i = 1; i < length; ++i)
                *out++ = text[i];
        }
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        const int absolute = std::abs(exponent);
        if (absolute >= 100)
            *out++ = char('0' + absolute / 100);
        *out++ = char('0' + absolute / 10 % 10);
        *out++ = char('0' + absolute % 10);
        return int(out - buffer);
    }
    const int integerDigits = exponent + 1; // may be 0 or negative: 0.000ddd
    while (length > std::max(integerDigits, 0) && text[length - 1] == '0')
        --length;
    if (integerDigits <= 0) {
        *out++ = '0';
        *out++ = '.';
        for (int i = integerDigits; i < 0; ++i)
            *out++ = '0';
        for (int i = 0; i < length; ++i)
            *out++ = text[i];
        return int(out - buffer);
    }
    for (int i = 0; i < integerDigits; ++i)
        *out++ = text[i];
    if (length > integerDigits) {
        *out++ = '.';
        for (int i = integerDigits; i < length; ++i)
            *out++ = text[i];
    }
    return int(out - buffer);
}

int writeGeneral(char* buffer, double value, int significant)
{
    const int length = writeGeneralFast(buffer, value, significant);
    if (length >= 0)
        return length;
    const auto result =
        std::to_chars(buffer, buffer + maxLength, value, std::chars_format::general, significant);
    return int(result.ptr - buffer);
}

QString fixed(double value, int decimals)
{
    char buffer[maxLength];
    return QString::fromLatin1(buffer, writeFixed(buffer, value, decimals));
}

QString general(double value, int significant)
{
    char buffer[maxLength];
    return QString::fromLatin1(buffer, writeGeneral(buffer, value, significant));
}

static std::string_view trimmed(std::string_view text)
{
    const auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

double toDouble(std::string_view text, bool* ok)
{
    return tokenToDouble(trimmed(text), ok);
}

int toInt(std::string_view text, bool* ok)
{
    text = withoutLeadingPlus(trimmed(text));
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    const bool valid =
        !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
    if (ok)
        *ok = valid;
    return valid ? value : 0;
}

} // namespace NumberFormat
