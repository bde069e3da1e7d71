#include "ui/printer_resolution.h"

#include "settings/presets.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>

namespace orm {

std::optional<double> QueryDefaultPrinterDpi() {
    // The printer back end needs a GUI application object.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return std::nullopt;
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return std::nullopt;
    QPrinter printer(info, QPrinter::HighResolution);
    const int dpi = printer.logicalDpiX();
    if (dpi <= 0)
        return std::nullopt;
    return dpi;
}

}  // namespace orm
