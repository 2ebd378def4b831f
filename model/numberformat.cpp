#include "numberformat.h"

#include <cmath>
#include <limits>

namespace NumberFormat {

int writeFixed(char* buffer, double value, int decimals)
{
    const auto result =
        std::to_chars(buffer, buffer + maxLength, value, std::chars_format::fixed, decimals);
    return int(result.ptr - buffer);
}

int writeGeneral(char* buffer, double value, int significant)
{
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

// from_chars refuses a leading '+', which many writers put before positive values.
static std::string_view withoutPlus(std::string_view text)
{
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+')
        text.remove_prefix(1);
    return text;
}

double toDouble(std::string_view text, bool* ok)
{
    text = withoutPlus(trimmed(text));
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    const bool valid = !text.empty() && result.ec == std::errc() &&
                       result.ptr == text.data() + text.size() && std::isfinite(value);
    if (ok)
        *ok = valid;
    return valid ? value : 0.0;
}

int toInt(std::string_view text, bool* ok)
{
    text = withoutPlus(trimmed(text));
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    const bool valid =
        !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
    if (ok)
        *ok = valid;
    return valid ? value : 0;
}

} // namespace NumberFormat
