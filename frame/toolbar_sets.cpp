#include "frame/toolbar_sets.h"

namespace orm::gui {
namespace {

constexpr int kSingleImageCommands[] = {kCmdOpen, kCmdSave,     0,       kCmdBatchMode,
                                        0,        kCmdPrevious, kCmdNext};
constexpr int kBatchCommands[] = {
    kCmdOpen,     kCmdBrowse, 0, kCmdBatchMode,  0, kCmdRemove, 0, kCmdRun, 0,
    kCmdPrevious, kCmdNext,   0, kCmdViewOptions};
constexpr int kBrowseCommands[] = {kCmdDone, 0, kCmdRemove, 0, kCmdViewOptions};

}  // namespace

const QStringList& ToolbarLabels() {
    static const QStringList labels = {
        QStringLiteral("Open"),     QStringLiteral("Save"),       QStringLiteral("Batch Mode"),
        QStringLiteral("Previous"), QStringLiteral("Next"),       QStringLiteral("Open"),
        QStringLiteral("Browse"),   QStringLiteral("Batch Mode"), QStringLiteral("Remove"),
        QStringLiteral("Run "),     QStringLiteral("Previous"),   QStringLiteral("Next"),
        QStringLiteral("View"),     QStringLiteral("Done"),       QStringLiteral("Remove"),
        QStringLiteral("View"),
    };
    return labels;
}

ToolbarSet SingleImageToolbarSet() {
    return {kSingleImageCommands, 0};
}
ToolbarSet BatchToolbarSet() {
    return {kBatchCommands, 5};
}
ToolbarSet BrowseToolbarSet() {
    return {kBrowseCommands, 13};
}

QStringList LabelsOf(const ToolbarSet& set) {
    QStringList out;
    int label = set.firstLabel;
    for (int id : set.commands) {
        if (id == 0)
            continue;
        out.append(label < ToolbarLabels().size() ? ToolbarLabels()[label] : QString());
        ++label;
    }
    return out;
}

}  // namespace orm::gui
