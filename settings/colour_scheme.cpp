#include "settings/colour_scheme.h"

#include "imageio/file_reader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cctype>
#include <optional>

namespace orm {
namespace {

const std::array<ColourKey, 9> kKeys = {{
    {"SELECTED TEXT COLOR", &ColourScheme::selectedText},
    {"TEXT COLOR", &ColourScheme::text},
    {"BACKGROUND COLOR", &ColourScheme::background},
    {"BACKGROUND COLOR INFRAME", &ColourScheme::backgroundInFrame},
    {"BACKGROUND COLOR INFRAME CUT", &ColourScheme::backgroundInFrameCut},
    {"SELECTED BORDER COLOR", &ColourScheme::selectedBorder},
    {"BORDER COLOR", &ColourScheme::border},
    {"DETAILS SEPARATOR COLOR", &ColourScheme::detailsSeparator},
    {"DETAILS TAB COLOR", &ColourScheme::detailsTab},
}};

// A value is read into a buffer of 260 characters, terminator included.
constexpr size_t kValueBufferChars = 259;
// The file is a handful of lines; anything far larger is not a colour file.

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string_view Trim(std::string_view t) {
    while (!t.empty() && IsSpace(t.front())) t.remove_prefix(1);
    while (!t.empty() && IsSpace(t.back())) t.remove_suffix(1);
    return t;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// "%d": blanks, an optional sign and digits. Only the low 8 bits are kept, so the digits are
// accumulated modulo 256 and no length of number can overflow.
std::optional<int> ScanLow8(std::string_view& t) {
    while (!t.empty() && IsSpace(t.front())) t.remove_prefix(1);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (t.empty() || !std::isdigit(static_cast<unsigned char>(t.front())))
        return std::nullopt;
    unsigned value = 0;
    while (!t.empty() && std::isdigit(static_cast<unsigned char>(t.front()))) {
        value = (value * 10 + unsigned(t.front() - '0')) & 0xFF;
        t.remove_prefix(1);
    }
    return int((negative ? 256 - value : value) & 0xFF);
}

// ", " of the format: a comma, and any blanks around it.
bool ScanComma(std::string_view& t) {
    while (!t.empty() && IsSpace(t.front())) t.remove_prefix(1);
    if (t.empty() || t.front() != ',')
        return false;
    t.remove_prefix(1);
    return true;
}

}  // namespace

const std::array<ColourKey, 9>& ColourSchemeKeys() {
    return kKeys;
}

bool ParseColourValue(std::string_view text, QColor& colour) {
    if (text.size() > kValueBufferChars)
        text = text.substr(0, kValueBufferChars);
    const auto r = ScanLow8(text);
    if (!r || !ScanComma(text))
        return false;
    const auto g = ScanLow8(text);
    if (!g || !ScanComma(text))
        return false;
    const auto b = ScanLow8(text);
    if (!b)
        return false;
    colour = QColor(*r, *g, *b);
    return true;
}

ColourScheme ParseColourScheme(std::string_view iniText) {
    ColourScheme scheme;
    bool inSection = false;
    std::array<bool, 9> seen{};  // the first value of a key counts
    while (!iniText.empty()) {
        const size_t end = iniText.find('\n');
        std::string_view line = Trim(iniText.substr(0, end));
        iniText = end == std::string_view::npos ? std::string_view() : iniText.substr(end + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            inSection = close != std::string_view::npos &&
                        EqualNoCase(Trim(line.substr(1, close - 1)), "BROWSER");
            continue;
        }
        if (!inSection)
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string_view value = Trim(line.substr(eq + 1));
        for (size_t i = 0; i < kKeys.size(); ++i) {
            if (!seen[i] && EqualNoCase(key, kKeys[i].key)) {
                seen[i] = true;
                ParseColourValue(value, scheme.*kKeys[i].member);
            }
        }
    }
    return scheme;
}

ColourScheme LoadColourScheme(const QString& path) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, nullptr, ReadKind::SmallText))
        return {};
    return ParseColourScheme(std::string_view(bytes.constData(), size_t(bytes.size())));
}

QString ColourSchemePath() {
    const QString exeDir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    const QString beside = QDir(exeDir).filePath(QStringLiteral("Res/resourses.ini"));
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed =
        QDir::cleanPath(exeDir + QStringLiteral("/../share/ormensura/Res/resourses.ini"));
    if (QFileInfo::exists(installed))
        return installed;
    return beside;
}

}  // namespace orm
