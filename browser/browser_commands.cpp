#include "browser/browser_commands.h"

#include "browser/sort_keys.h"

namespace orm {

int SortKeyOfCommand(int id) {
    switch (id) {
        case cmd::kSortName:
            return int(SortKey::Name);
        case cmd::kSortDate:
            return int(SortKey::Date);
        case cmd::kSortFormat:
            return int(SortKey::Format);
        case cmd::kSortWidth:
            return int(SortKey::ImageWidth);
        case cmd::kSortHeight:
            return int(SortKey::ImageHeight);
        case cmd::kSortSize:
            return int(SortKey::FileSize);
        default:
            return -1;
    }
}

namespace {

const MenuEntry* FindIn(const std::vector<MenuEntry>& entries, int id) {
    for (const MenuEntry& e : entries) {
        if (e.id == id && id != 0)
            return &e;
        if (const MenuEntry* inner = FindIn(e.entries, id))
            return inner;
    }
    return nullptr;
}

}  // namespace

const MenuEntry* BrowserMenu::Find(int id) const {
    return FindIn(entries, id);
}

}  // namespace orm
