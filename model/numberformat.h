#pragma once

#include <QByteArray>
#include <QString>

#include <charconv>
#include <string_view>

// The number styles of the files the program writes. Every writer formats through these, so a
// change of style happens in one place. All of them ignore the user's locale.
namespace NumberFormat {

// Longest text any of the helpers below produces (a 'g' value with 17 digits, or a fixed value
// of a double with up to 10 decimals and 309 integer digits).
inline constexpr int maxLength = 340;

// Fixed-point notation with `decimals` digits after the point, as printf "%.*f" does.
// Writes into `buffer` (at least maxLength bytes) and returns the number of bytes written.
int writeFixed(char* buffer, double value, int decimals);

// printf "%.*g": `significant` significant digits, trailing zeros removed.
int writeGeneral(char* buffer, double value, int significant);

QString fixed(double value, int decimals);
QString general(double value, int significant = 6);

// Text to number conversions of the readers. Both accept surrounding blanks, a leading '+' and
// the forms "1.5", ".5", "1.", "1e-5"; the whole text must be a number, otherwise `ok` is false
// and the result 0. Values outside the double range, NaN and infinities count as not a number.
double toDouble(std::string_view text, bool* ok = nullptr);
// Decimal integers; values outside the int range count as not a number.
int toInt(std::string_view text, bool* ok = nullptr);

} // namespace NumberFormat
