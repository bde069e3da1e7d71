#pragma once
// The toolbar's button sets: ordered command ids (0 is a separator) and the offset of their
// first label in the label list. The batch and browse sets join when those modes are built.

#include <QStringList>

#include <span>

namespace orm::gui {

// Command ids of the frame (menu actions and toolbar buttons carry them).
enum FrameCommandId : int {
    kCmdOpen = 57601,
    kCmdSave = 57603,
    kCmdNext = 32858,
    kCmdPrevious = 32859,
    kCmdBatchMode = 32861,
    kCmdBrowse = 32852,
    kCmdRemove = 32863,
    kCmdRun = 32862,
    kCmdViewOptions = 33108,
    kCmdDone = 33110,
    kCmdSaveSettings = 32856,
    kCmdLoadSettings = 32857,
    kCmdResizeSettingsBar = 103,
    kCmdToolbar = 59392,
    kCmdStatusBar = 59393,
    kCmdHelpTopics = 57670,
    kCmdAbout = 57664,
    kCmdExit = 57665,
    kCmdPaste = 57637,
    kCmdRecentFirst = 57616,  // the recent-file entries: 57616 .. 57619
    kCmdLoadBatch = 32853,
    kCmdSaveBatch = 32854,
    kCmdSmallIcons = 33106,
    kCmdLargeIcons = 33107,
    // Commands of running jobs.
    kCmdProgressChanged = 32838,
    kCmdPreviewReady = 32839,
    kCmdShowProgress = 32840,
    kCmdHideProgress = 32841,
};

struct ToolbarSet {
    std::span<const int> commands;
    int firstLabel = 0;
};

// The 16 button labels, in the order of the string table.
const QStringList& ToolbarLabels();
ToolbarSet SingleImageToolbarSet();
ToolbarSet BatchToolbarSet();
ToolbarSet BrowseToolbarSet();
// The labels of a set's buttons (separators excluded), in order.
QStringList LabelsOf(const ToolbarSet& set);

}  // namespace orm::gui
