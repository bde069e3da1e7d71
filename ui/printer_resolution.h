#pragma once
// The default printer's resolution for the "Default Printer" preset (the window only: the
// command-line tool links no printing support).

#include <optional>

namespace orm {

// Horizontal logical resolution of the default printer; none when there is no printer.
std::optional<double> QueryDefaultPrinterDpi();

}  // namespace orm
