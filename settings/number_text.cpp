#include "settings/number_text.h"

#include <charconv>
#include <cmath>

namespace orm {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view t) {
    while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
    while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
    return t;
}

// from_chars does not take a leading '+', which strtod does.
std::string_view SkipPlus(std::string_view t) {
    if (t.size() > 1 && t.front() == '+' && t[1] != '-')
        t.remove_prefix(1);
    return t;
}

std::string ToText(double value, std::chars_format format, int precision) {
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    if (result.ec != std::errc())
        return "0";
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string FormatG(double value) {
    return ToText(value, std::chars_format::general, 6);
}

std::string FormatFixed(double value, int decimals) {
    return ToText(value, std::chars_format::fixed, decimals);
}

std::optional<double> ParseReal(std::string_view text) {
    text = SkipPlus(Trim(text));
    if (text.empty())
        return std::nullopt;
    double value = 0;
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> ParseReal(const QString& text) {
    return ParseReal(std::string_view(text.toStdString()));
}

double ParseLeadingReal(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    text = SkipPlus(text);
    double value = 0;
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(value))
        return 0;
    return value;
}

double ParseLeadingReal(const QString& text) {
    return ParseLeadingReal(std::string_view(text.toStdString()));
}

std::optional<int64_t> ParseUnsigned(std::string_view text) {
    text = Trim(text);
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<int64_t> ParseUnsigned(const QString& text) {
    return ParseUnsigned(std::string_view(text.toStdString()));
}

}  // namespace orm
