#pragma once
// The browser's colour scheme, read once at start from "Res/resourses.ini" beside the program
// (section BROWSER, values "r, g, b"). The program never writes the file.

#include <QColor>
#include <QString>

#include <array>
#include <string_view>

namespace orm {

struct ColourScheme {
    QColor selectedText{255, 0, 0};
    QColor text{0, 0, 0};
    QColor background{203, 219, 244};
    QColor backgroundInFrame{233, 233, 233};
    QColor backgroundInFrameCut{128, 128, 128};
    QColor selectedBorder{254, 190, 47};
    QColor border{122, 157, 227};
    QColor detailsSeparator{123, 138, 172};
    QColor detailsTab{119, 158, 227};

    bool operator==(const ColourScheme&) const = default;
};

// Keys of the file, in reading order, with the members they set.
struct ColourKey {
    const char* key;
    QColor ColourScheme::*member;
};
const std::array<ColourKey, 9>& ColourSchemeKeys();

// Scans "%d, %d, %d"; each number keeps its low 8 bits. False when three numbers are not there.
bool ParseColourValue(std::string_view text, QColor& colour);

// Reads the values from INI text; missing or unreadable values keep their defaults.
ColourScheme ParseColourScheme(std::string_view iniText);
// Reads the file; a missing or unreadable file gives the defaults.
ColourScheme LoadColourScheme(const QString& path);

// The colour file beside the executable ("<exe folder>/Res/resourses.ini"), else the installed
// copy ("<exe folder>/../share/ormensura/Res/resourses.ini"); the first when neither exists.
QString ColourSchemePath();

}  // namespace orm
