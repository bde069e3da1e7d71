#include "imageio/output_options.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace orm {

std::optional<QRgb> ParseBackgroundColour(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    // "#rrggbb" only among the forms with a '#': no alpha, no short or long forms.
    if (t.startsWith(QLatin1Char('#')) && t.size() != 7)
        return std::nullopt;
    const QColor colour = QColor::fromString(t);
    if (!colour.isValid())
        return std::nullopt;
    return qRgb(colour.red(), colour.green(), colour.blue());
}

QString BackgroundColourText(QRgb colour) {
    return QColor(colour).name(QColor::HexRgb);
}

std::optional<timespec> ModificationTime(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return st.st_mtim;
}

bool SetModificationTime(const QString& path, const timespec& time) {
    // The access time stays as it is.
    const timespec times[2] = {{0, UTIME_OMIT}, time};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

}  // namespace orm
