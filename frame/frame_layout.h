#pragma once
// Pure rules of the main frame: where the status-bar progress bar goes, the splitter's stored
// pane sizes, the window title, the help file's place and the About text.

#include <QRect>
#include <QString>

#include <optional>

namespace orm::gui {

inline constexpr const char* kAppTitle = "ORVEN Mensura";
inline constexpr int kProgressMaximum = 90;

// The progress bar inside a status bar whose client rectangle is given: the rectangle shrunk by
// 2 pixels at top and bottom gives w and h; the bar is at x = w - w/3 - 20, y = 2, w/3 x h.
QRect ProgressBarGeometry(const QRect& statusClient);

// One splitter node's stored value "Panes_%d": "%d %d %d %d" (first pane size, first ideal size,
// second pane size, second ideal size), an ideal size of -1 written as 100.
struct PaneSizes {
    int first = 0;
    int firstIdeal = -1;
    int second = 0;
    int secondIdeal = -1;
    bool operator==(const PaneSizes&) const = default;
};
QString PanesKey(int node);
QString FormatPanes(const PaneSizes& panes);
// None unless the text holds four integers.
std::optional<PaneSizes> ParsePanes(const QString& text);

// The frame's title: the document's file name, or the bare application title.
QString FrameTitle(const QString& documentPath, bool browseMode = false);

// The help page: the executable's path with its extension replaced by ".html" (a program without
// an extension gets ".html" appended) when that exists (the build tree), else the installed copy
// "<exe folder>/../share/ormensura/<name>.html" when that exists, else the first.
QString HelpFilePath(const QString& executablePath);

// "ORVEN Mensura v. %d.%d.%d.%d" of a version text "a.b.c.d" (missing parts are 0).
QString AboutVersionText(const QString& version);

}  // namespace orm::gui
