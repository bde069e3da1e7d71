#include "document/cormensura_doc.h"

#include "imageio/image_saver.h"
#include "document/preview_worker.h"
#include "engine/progress.h"
#include "engine/resize_image.h"
#include "settings/prompt.h"
#include "settings/size_math.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QCursor>
#include <QGuiApplication>
#include <QTemporaryFile>
#include <QThread>

#include <new>

namespace orm {
namespace {

// The wait cursor for the lifetime of the guard (only in a program with windows).
class WaitCursor {
public:
    WaitCursor() : on_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (on_)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor() {
        if (on_)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool on_;
};

// Whether path can be written, without creating or changing anything there: an existing file is
// opened for writing without truncation; for a new file a temporary file is made and removed in
// its folder.
bool CheckWritableTarget(const QString& path, QString* reason) {
    const QFileInfo info(path);
    if (info.exists()) {
        if (info.isDir()) {
            *reason = QStringLiteral("The path is a folder.");
            return false;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite)) {
            *reason = file.errorString();
            return false;
        }
        return true;
    }
    const QDir dir = info.absoluteDir();
    if (!dir.exists()) {
        *reason = QStringLiteral("The folder does not exist.");
        return false;
    }
    QTemporaryFile probe(dir.filePath(QStringLiteral(".ormensura-XXXXXX")));
    if (!probe.open()) {
        *reason = probe.errorString();
        return false;
    }
    return true;
}

// The source at its own size, in its own pixel format where the decoded pixels still hold it
// exactly (grey images); everything else is written as 24-bit colour.
QImage SameSizeOutput(const SourceImage& source) {
    if (source.fileFormat == QImage::Format_Grayscale8)
        return source.image.convertToFormat(QImage::Format_Grayscale8);
    return source.image;
}

}  // namespace

CORMensuraDoc::CORMensuraDoc(QObject* parent) : QObject(parent) {
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("preview worker"));
    worker_ = new PreviewWorker;
    worker_->moveToThread(thread_);
    connect(worker_, &PreviewWorker::jobFinished, this, &CORMensuraDoc::OnWorkerFinished, Qt::QueuedConnection);
    connect(worker_, &PreviewWorker::jobStarted, this, [this](quint64 generation) {
        if (generation == generation_)
            emit progressStarted();
    }, Qt::QueuedConnection);
    connect(worker_, &PreviewWorker::jobProgress, this, [this](quint64 generation, int position) {
        if (generation == generation_)
            emit progressChanged(position);
    }, Qt::QueuedConnection);
    thread_->start();
}

CORMensuraDoc::~CORMensuraDoc() {
    worker_->CancelAll();
    thread_->quit();
    if (thread_->wait(kExitWaitMs)) {
        delete worker_;
        delete thread_;
    }
    // Otherwise the worker is still inside a computation that ignores the stop; it holds only
    // its own shared copy of the source, so it is left to finish while the program ends.
}

QImage CORMensuraDoc::SourcePixels() const { return source_ ? source_->image : QImage(); }

SourceImageInfo CORMensuraDoc::SourceInfo() const {
    SourceImageInfo info;
    if (!source_)
        return info;
    info.present = true;
    info.width = sourceWidth_;
    info.height = sourceHeight_;
    info.bitsPerPixel = source_->bitsPerPixel;
    info.horizontalDpi = source_->dpiX;
    return info;
}

void CORMensuraDoc::RetireWorkerJob() {
    worker_->CancelAll();  // never waits: the job holds its own shared copy of the source
    ++generation_;         // a result still on its way is dropped when it arrives
    if (inFlight_)
        emit progressFinished();
    inFlight_ = false;
}

void CORMensuraDoc::StopWorkerJob() {
    RetireWorkerJob();
    pending_ = PreviewRequest{};
}

void CORMensuraDoc::ReleaseSource() {
    source_.reset();
    store_.Clear();
    sourceWidth_ = sourceHeight_ = kEmptyDocumentSize;
    sourceDpi_ = 0;
}

bool CORMensuraDoc::FrameworkOpenCheck(const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        return true;
    CurrentPrompt().Message(QStringLiteral("Failed to open document.\n%1\n%2").arg(path, file.errorString()));
    return false;
}

bool CORMensuraDoc::Open(const QString& path) {
    if (!FrameworkOpenCheck(path))
        return false;
    std::optional<SourceImage> loaded;
    {
        WaitCursor wait;
        StopWorkerJob();
        ReleaseSource();
        loaded = LoadSourceImage(path);
    }
    if (!loaded) {
        emit documentOpened();
        CurrentPrompt().Message(QStringLiteral("Can't open file\n%1!").arg(path));
        return false;
    }
    source_ = std::make_shared<const SourceImage>(std::move(*loaded));
    sourceWidth_ = source_->width();
    sourceHeight_ = source_->height();
    sourceDpi_ = static_cast<float>(source_->dpiX);
    currentPath_ = path;
    AdoptSettingsForImage(AppResizeSettings(), SourceInfo(), batchMode.load() != 0, false);
    emit documentOpened();
    return true;
}

bool CORMensuraDoc::LoadNeighbour(StepDirection direction) {
    skipList_.clear();
    bool first = true;
    for (;;) {
        const std::optional<QString> next = FindNeighbourFile(currentPath_, skipList_, direction);
        if (!next) {
            if (first)
                emit warningBeep();
            return false;
        }
        first = false;
        if (Open(*next))
            return true;
        skipList_.append(*next);
    }
}

bool CORMensuraDoc::CanResizeAndSave() const {
    if (!HasSource())
        return false;
    const ResizeSettings& s = AppResizeSettings();
    return s.width != sourceWidth_ || s.height != sourceHeight_ || s.dpi != sourceDpi_;
}

bool CORMensuraDoc::ResizeAndSave(const QString& path) {
    if (!source_ || path.isEmpty())
        return false;
    QString reason;
    if (!CheckWritableTarget(path, &reason)) {
        CurrentPrompt().Message(CantSaveFileMessage(path) + QLatin1Char('\n') + reason);
        return false;
    }
    const ResizeSettings s = AppResizeSettings();
    QImage output;
    if (sourceWidth_ == s.width && sourceHeight_ == s.height) {
        output = SameSizeOutput(*source_);
    } else {
        WaitCursor wait;
        try {
            QImage resized(s.width, s.height, QImage::Format_BGR888);
            if (resized.isNull())
                throw std::bad_alloc();
            const QImage& src = source_->image;
            const engine::ConstBgrView from(src.constBits(), src.width(), src.height(), src.bytesPerLine());
            const engine::BgrView to{resized.bits(), resized.width(), resized.height(), resized.bytesPerLine()};
            const engine::ResizeStatus status =
                engine::ResizeImageInto(from, to, s.algorithm, s.cropFlag(), nullptr);
            if (status == engine::ResizeStatus::OutOfMemory)
                throw std::bad_alloc();
            if (status != engine::ResizeStatus::Ok)
                return false;
            output = std::move(resized);
        } catch (const std::bad_alloc&) {
            CurrentPrompt().Message(CantSaveFileMessage(path) + QStringLiteral("\nNot enough memory."));
            return false;
        }
    }
    QString error;
    if (!SaveImage(output, path, *source_, SaveOptions{s.dpi, s.jpegQuality}, &error)) {
        if (!error.isEmpty())
            CurrentPrompt().Message(error);
        return false;
    }
    return true;
}

void CORMensuraDoc::SettingsChanged() {
    if (!spinPending_)
        emit viewsUpdate();
}

void CORMensuraDoc::RefreshViews() { emit viewsUpdate(); }

OutputMapping CORMensuraDoc::Mapping() const {
    if (!source_)
        return {};
    const ResizeSettings& s = AppResizeSettings();
    return OutputMapping(sourceWidth_, sourceHeight_, s.width, s.height, s.cropFlag());
}

void CORMensuraDoc::RequestPreview(const PreviewArea& area) {
    if (!source_ || area.isEmpty())
        return;
    const ResizeSettings& s = AppResizeSettings();
    const PreviewRequest request{area, s.width, s.height, s.algorithm};
    if (!IsOwnAlgorithm(request.algorithm))
        return;
    // The same request is already being computed: its result will come.
    if (request == pending_ && inFlight_)
        return;
    // Whatever runs now was asked for another request: stop it and retire its generation before
    // anything else is shown, so its result can never arrive under this request.
    if (inFlight_)
        RetireWorkerJob();
    pending_ = request;

    if (store_.ServeFromCache(request) != PreviewStore::Served::No) {
        RefreshViews();
        return;
    }
    ++generation_;
    if (area.source.width() == area.target.width() && area.source.height() == area.target.height()) {
        // 1:1: the exact pixels are the source's own.
        const QRect r(area.source.left, area.source.top, area.source.width(), area.source.height());
        store_.StoreCopy(request, source_->image.copy(r));
        RefreshViews();
        return;
    }
    inFlight_ = true;
    worker_->Post(PreviewJob{source_->image, request, generation_});
}

void CORMensuraDoc::OnWorkerFinished(const PreviewResult& result) {
    if (result.generation != generation_)
        return;  // computed for an outdated request
    inFlight_ = false;
    emit progressFinished();
    if (result.image.isNull())
        return;
    store_.StoreComputed(result.request, result.image);
    emit previewReady();
    RefreshViews();
}

}  // namespace orm
