#include "files/file_clipboard.h"

#include "files/folder_monitor.h"
#include "imageio/native_path.h"

#include <QClipboard>
#include <QMimeData>
#include <QUrl>

namespace orm {
namespace {

const QString kUriList = QStringLiteral("text/uri-list");
const QString kGnomeFiles = QStringLiteral("x-special/gnome-copied-files");
const QString kKdeCut = QStringLiteral("application/x-kde-cutselection");

// Lines of a list; "#" starts a comment in text/uri-list.
QList<QByteArray> UriLines(const QByteArray& bytes) {
    QList<QByteArray> uris;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray uri = line.trimmed();
        if (!uri.isEmpty() && !uri.startsWith('#'))
            uris << uri;
    }
    return uris;
}

void AppendPaths(const QList<QByteArray>& uris, QStringList& paths) {
    for (const QByteArray& uri : uris) {
        const QString path = PathOfFileUri(uri);
        if (!path.isEmpty() && !paths.contains(path))
            paths << path;
    }
}

}  // namespace

QByteArray FileUri(const QString& path) {
    // RFC 8089 with the path's own bytes: unreserved characters and "/" stay as they are.
    return QByteArrayLiteral("file://") + NativePath(path).toPercentEncoding("/");
}

QString PathOfFileUri(const QByteArray& uri) {
    if (!uri.startsWith("file:"))
        return {};
    QByteArray rest = uri.mid(5);
    if (rest.startsWith("//")) {
        // An authority: empty or this machine only.
        const qsizetype slash = rest.indexOf('/', 2);
        if (slash < 0)
            return {};
        const QByteArray host = rest.mid(2, slash - 2);
        if (!host.isEmpty() && host.compare("localhost", Qt::CaseInsensitive) != 0)
            return {};
        rest = rest.mid(slash);
    }
    if (!rest.startsWith('/'))
        return {};
    // Neither a query nor a fragment belongs to a file's name.
    for (const char delimiter : {'?', '#'}) {
        const qsizetype end = rest.indexOf(delimiter);
        if (end >= 0)
            rest.truncate(end);
    }
    const QByteArray bytes = QByteArray::fromPercentEncoding(rest);
    if (bytes.contains('\0'))
        return {};
    return PathFromNative(bytes);
}

std::unique_ptr<QMimeData> MakeFilesMimeData(const QStringList& paths, ClipboardAction action) {
    QByteArray uriList, gnome = action == ClipboardAction::Cut ? "cut" : "copy";
    QStringList text;
    for (const QString& path : paths) {
        const QByteArray uri = FileUri(path);
        uriList += uri + "\r\n";
        gnome += '\n' + uri;
        text << path;
    }
    auto data = std::make_unique<QMimeData>();
    data->setData(kUriList, uriList);
    data->setData(kGnomeFiles, gnome);
    data->setData(kKdeCut, action == ClipboardAction::Cut ? "1" : "0");
    data->setText(text.join(QLatin1Char('\n')));
    return data;
}

TransferredFiles FilesOfMimeData(const QMimeData* data) {
    TransferredFiles files;
    if (!data)
        return files;
    if (data->hasFormat(kGnomeFiles)) {
        QList<QByteArray> lines = UriLines(data->data(kGnomeFiles));
        if (!lines.isEmpty()) {
            files.cut = lines.takeFirst() == "cut";
            AppendPaths(lines, files.paths);
        }
    }
    if (files.paths.isEmpty() && data->hasFormat(kUriList)) {
        AppendPaths(UriLines(data->data(kUriList)), files.paths);
        files.cut = data->data(kKdeCut).trimmed() == "1";
    }
    return files;
}

bool HasFiles(const QMimeData* data) {
    return !FilesOfMimeData(data).paths.isEmpty();
}

FileOpReport PasteFiles(QClipboard& clipboard, const QString& folder,
                        const FileOpContext& context) {
    FolderMonitorPause pause(context.monitor);
    const TransferredFiles files = FilesOfMimeData(clipboard.mimeData());
    if (files.paths.isEmpty())
        return {};
    FileOpReport report =
        RunFileOperation(files.cut ? FileOp::Move : FileOp::Copy, files.paths, folder, context);
    if (files.cut && report.Succeeded())
        clipboard.clear();
    return report;
}

Qt::DropAction DropActionFor(const QStringList& files, const QString& folder,
                             Qt::KeyboardModifiers modifiers) {
    if (files.isEmpty())
        return Qt::IgnoreAction;
    if (modifiers & Qt::ControlModifier)
        return Qt::CopyAction;
    if (modifiers & Qt::ShiftModifier)
        return Qt::MoveAction;
    return SameFileSystem(files.first(), folder) ? Qt::MoveAction : Qt::CopyAction;
}

}  // namespace orm
