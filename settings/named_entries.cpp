#include "settings/named_entries.h"

#include "settings/storage_folder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <numeric>

namespace orm {

NamedEntryFolder::NamedEntryFolder(QString subfolder, QString extension, bool mustExist,
                                   const QString& initialPath)
    : subfolder_(std::move(subfolder)), extension_(extension.toLower()), mustExist_(mustExist) {
    if (!initialPath.isEmpty())
        initialName_ = QFileInfo(initialPath).completeBaseName();
}

void NamedEntryFolder::Open(bool create) {
    folder_ = StorageFolder(subfolder_, create);
    const QStringList files = FilesWithExtension(folder_, extension_);
    std::vector<int> order(files.size());
    std::iota(order.begin(), order.end(), 0);
    const qsizetype cut = extension_.size() + 1;
    auto title = [&](int i) { return files[i].left(files[i].size() - cut); };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return QString::compare(title(a), title(b), Qt::CaseInsensitive) < 0;
    });
    names_.clear();
    files_.clear();
    for (int i : order) {
        names_.append(title(i));
        files_.append(files[i]);
    }
}

int NamedEntryFolder::IndexOf(const QString& name) const {
    for (int i = 0; i < names_.size(); ++i) {
        if (QString::compare(names_[i], name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString NamedEntryFolder::PathFor(const QString& name) const {
    const int index = IndexOf(name);
    if (index >= 0)
        return folder_ + files_[index];
    return folder_ + name + QLatin1Char('.') + extension_;
}

NamedEntryFolder::DeleteResult NamedEntryFolder::Delete(const QString& name, IPrompt& prompt) {
    const int index = IndexOf(name);
    if (index < 0)
        return DeleteResult::NotListed;
    if (!prompt.AskYesNo(DeleteQuestionText()))
        return DeleteResult::Declined;
    QFile file(folder_ + files_[index]);
    if (!file.remove() && file.exists()) {
        prompt.Message(
            QStringLiteral("Cannot delete %1: %2").arg(file.fileName(), file.errorString()));
        return DeleteResult::Failed;
    }
    names_.removeAt(index);
    files_.removeAt(index);
    return DeleteResult::Deleted;
}

NamedEntryFolder::OkResult NamedEntryFolder::Confirm(const QString& name, IPrompt& prompt) const {
    if (name.isEmpty())
        return OkResult::Ignored;
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(0)) || name == QLatin1String(".") ||
        name == QLatin1String("..")) {
        prompt.Message(InvalidNameText());
        return OkResult::StayOpen;
    }
    const bool listed = Contains(name);
    if (mustExist_) {
        if (!listed) {
            prompt.Message(NoSuchNameText());
            return OkResult::StayOpen;
        }
        return OkResult::Accept;
    }
    if (listed && !prompt.AskYesNo(OverwriteQuestionText()))
        return OkResult::StayOpen;
    return OkResult::Accept;
}

}  // namespace orm
