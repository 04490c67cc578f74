#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>
#include <string_view>

// Numbers as fields, files and meter lines write them: always the C locale,
// whatever the user's locale says.
namespace LocaleNumbers {

// Longest leading decimal number (blanks, sign, digits, point, exponent);
// no number gives 0. Out of range reads like strtod: inf on overflow,
// a denormal or 0 on underflow. "inf", "nan" and hex are not numbers here.
double leadingDouble(const QString &text);

// The same leading number as leadingDouble, read fast and without
// allocating (C locale, correctly rounded), but none when it has no digits
// or is not finite. The byte form reads ASCII or UTF-8 text.
std::optional<double> leadingNumber(QStringView text);
std::optional<double> leadingNumber(std::string_view text);

// "%f" (six decimals, no exponent), in full however long the number is.
QByteArray formatFixedBytes(double value);

} // namespace LocaleNumbers
