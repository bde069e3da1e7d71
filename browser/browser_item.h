#pragma once
// One entry of a browser's display list: a file, whether it is selected, and what the file
// system says of it (read on first need, for sorting). Browsers that carry more per entry (the
// batch basket's target settings) derive from it and make their items through
// CThumbsBrowser::MakeItem.

#include <QRect>
#include <QString>

#include <cstdint>

namespace orm {

// The state of a name that does not fit its cell and scrolls while the cell is selected.
struct NameScroll {
    QRect rect;         // where the name was last written (content coordinates)
    int textWidth = 0;  // its width in pixels
    int offset = 0;     // pixels scrolled to the left; negative while the text enters again
    bool scrolls = false;
};

// What the file system says of one file. Times are seconds since 1970 (UTC).
struct FileFacts {
    double size = 0;
    int64_t created = 0;  // birth time where the file system keeps one, else the last write time
    int64_t modified = 0;
    int64_t accessed = 0;
};

// The facts of the file (links followed); zeros and false when it cannot be read.
bool ReadFileFacts(const QString& path, FileFacts& facts);
// The same for `name` relative to an open folder (AT_FDCWD: the current folder); tells too
// whether it is a regular file.
bool ReadFileFactsAt(int folderFd, const char* name, FileFacts& facts, bool* regularFile = nullptr);

class CItem {
  public:
    explicit CItem(QString path = {}) : path(std::move(path)) {}
    virtual ~CItem() = default;
    CItem(const CItem&) = default;
    CItem& operator=(const CItem&) = default;

    QString path;
    int32_t selected = 0;
    FileFacts facts;
    int32_t infoLoaded = 0;  // facts hold what the file system said (or zeros for a missing file)
    NameScroll nameScroll;

    // The facts, read once.
    const FileFacts& Facts();
    void SetFacts(const FileFacts& known) {
        facts = known;
        infoLoaded = 1;
    }

    // The name with its extension, without the folder.
    QString FileName() const;
};

}  // namespace orm
