#pragma once
// printf-style numbers in the C locale, whatever locale the process runs in, and the parsers
// that read them back. Fields, settings and files all go through these.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

namespace orm {

// "%g": six significant digits, trailing zeros removed.
std::string FormatG(double value);
// "%.Nf".
std::string FormatFixed(double value, int decimals);

inline QString QFormatG(double value) {
    return QString::fromStdString(FormatG(value));
}
inline QString QFormatFixed(double value, int decimals) {
    return QString::fromStdString(FormatFixed(value, decimals));
}

// A whole text (surrounding blanks allowed) that is one decimal number; nothing else accepted.
std::optional<double> ParseReal(std::string_view text);
std::optional<double> ParseReal(const QString& text);

// The number at the start of the text after blanks, as atof reads it: "300.000000" gives 300,
// "12abc" gives 12, a text without a leading number gives 0.
double ParseLeadingReal(std::string_view text);
double ParseLeadingReal(const QString& text);

// A whole text (surrounding blanks allowed) of decimal digits only, at most 9 of them.
std::optional<int64_t> ParseUnsigned(std::string_view text);
std::optional<int64_t> ParseUnsigned(const QString& text);

}  // namespace orm
