#include "browser/browser_item.h"

#include "imageio/native_path.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace orm {

bool ReadFileFacts(const QString& path, FileFacts& facts) {
    return ReadFileFactsAt(AT_FDCWD, NativePath(path).constData(), facts);
}

bool ReadFileFactsAt(int folderFd, const char* name, FileFacts& facts, bool* regularFile) {
    facts = {};
    if (regularFile)
        *regularFile = false;
    struct statx st {};
    if (::statx(folderFd, name, 0,
                STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME, &st) != 0)
        return false;
    if (regularFile)
        *regularFile = S_ISREG(st.stx_mode);
    facts.size = double(st.stx_size);
    facts.modified = st.stx_mtime.tv_sec;
    facts.accessed = st.stx_atime.tv_sec;
    facts.created = (st.stx_mask & STATX_BTIME) ? st.stx_btime.tv_sec : st.stx_mtime.tv_sec;
    return true;
}

const FileFacts& CItem::Facts() {
    if (!infoLoaded) {
        ReadFileFacts(path, facts);
        infoLoaded = 1;
    }
    return facts;
}

QString CItem::FileName() const {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

}  // namespace orm
