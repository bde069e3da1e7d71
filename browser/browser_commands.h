#pragma once
// The commands of the browser's context menus, with the ids the menus carry, and the menus
// themselves as plain descriptions that a view turns into widgets.

#include <QString>

#include <vector>

namespace orm {

namespace cmd {
constexpr int kRefresh = 33114;     // "&Refresh"
constexpr int kSortFormat = 33117;  // "&File Format"
constexpr int kProperties = 33118;  // "Properties ..."
constexpr int kSortName = 33119;    // "&Name"
constexpr int kSortDate = 33120;    // "&Date"
constexpr int kSelectAll = 33122;   // "Select all"
constexpr int kSortWidth = 33152;   // "Image &Width"
constexpr int kSortHeight = 33153;  // "Image &Height"
constexpr int kSortSize = 33154;    // "File &Size"
constexpr int kCopy = 32897;        // "&Copy"
constexpr int kPaste = 57637;       // "&Paste"
constexpr int kCut = 57635;         // "Cu&t"
constexpr int kDelete = 57632;      // "&Delete"
constexpr int kRename = 33155;      // "Rena&me"
}  // namespace cmd

// The menus' numbers: one item selected, several selected, empty space.
namespace menu {
constexpr int kOneItem = 149;
constexpr int kItems = 284;
constexpr int kEmptySpace = 154;
}  // namespace menu

// The sort key a sort command chooses; -1 for other commands.
int SortKeyOfCommand(int id);

struct MenuEntry {
    int id = 0;  // 0: a separator, or a submenu when `entries` is not empty
    QString text;
    bool enabled = true;
    bool checked = false;
    std::vector<MenuEntry> entries;

    static MenuEntry Separator() { return {}; }
    bool IsSeparator() const { return id == 0 && entries.empty(); }
};

struct BrowserMenu {
    int number = 0;
    std::vector<MenuEntry> entries;

    // The entry of a command anywhere in the menu, or nullptr.
    const MenuEntry* Find(int id) const;
};

}  // namespace orm
