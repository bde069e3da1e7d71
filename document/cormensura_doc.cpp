#include "document/cormensura_doc.h"

#include "document/background_decode.h"
#include "document/preview_worker.h"
#include "imageio/colour_profile.h"
#include "imageio/file_reader.h"
#include "imageio/image_saver.h"
#include "settings/size_math.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThread>

#include <new>

namespace orm {
namespace {}  // namespace

void CORMensuraDoc::SetState(DocumentState state) {
    if (state_ == state)
        return;
    state_ = state;
    emit stateChanged(state);
}

CORMensuraDoc::CORMensuraDoc(SettingsModel& settings, QObject* parent)
    : QObject(parent), settings_(settings), decode_(std::make_unique<BackgroundDecode>()) {
    // Every change of the resize settings, whoever made it, leads to new previews.
    connect(&settings_, &SettingsModel::resizeSettingsChanged, this,
            &CORMensuraDoc::SettingsChanged);
    // A new background colour changes the pixels shown under transparent ones, linear light the
    // standard modes' pictures.
    connect(&settings_, &SettingsModel::batchSettingsChanged, this, [this] {
        const OutputOptions options = OutputOptionsOf(settings_.Batch());
        if (options.background == displayBackground_ && options.linear == displayLinear_)
            return;
        displayLinear_ = options.linear;
        if (!source_) {
            displayBackground_ = options.background;
            return;
        }
        StopWorkerJob();
        store_.Clear();
        UpdateDisplayPixels();
        emit displayChanged();
    });
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("preview worker"));
    worker_ = new PreviewWorker;
    worker_->moveToThread(thread_);
    connect(worker_, &PreviewWorker::jobFinished, this, &CORMensuraDoc::OnWorkerFinished,
            Qt::QueuedConnection);
    connect(
        worker_, &PreviewWorker::jobStarted, this,
        [this](quint64 generation) {
            if (generation == generation_)
                emit progressStarted();
        },
        Qt::QueuedConnection);
    connect(
        worker_, &PreviewWorker::jobProgress, this,
        [this](quint64 generation, int position) {
            if (generation == generation_)
                emit progressChanged(position);
        },
        Qt::QueuedConnection);
    thread_->start();
}

CORMensuraDoc::~CORMensuraDoc() {
    CancelResizeAndSave();
    JoinSaveThread();
    worker_->CancelAll();
    thread_->quit();
    if (thread_->wait(kExitWaitMs)) {
        delete worker_;
        delete thread_;
    }
    // Otherwise the worker is still inside a computation that ignores the stop; it holds only
    // its own shared copy of the source, so it is left to finish while the program ends.
}

QImage CORMensuraDoc::SourcePixels() const {
    return !source_ ? QImage() : !display_.isNull() ? display_ : source_->image;
}

void CORMensuraDoc::UpdateDisplayPixels(std::optional<QImage> made) {
    displayBackground_ = OutputOptionsOf(settings_.Batch()).background;
    displayLinear_ = OutputOptionsOf(settings_.Batch()).linear;
    display_ = made      ? std::move(*made)
               : source_ ? DisplayPixels(*source_, displayBackground_)
                         : QImage();
    if (source_ && display_.constBits() == source_->image.constBits())
        display_ = QImage();  // shared: the source's own
}

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
    display_ = QImage();
    store_.Clear();
    sourceWidth_ = sourceHeight_ = kEmptyDocumentSize;
    sourceDpi_ = 0;
}

bool CORMensuraDoc::Open(const QString& path) {
    QString failure;
    bool cancelled = false;
    if (TryOpen(path, &failure, &cancelled))
        return true;
    if (cancelled)
        emit openCancelled();
    else
        emit failed(failure);
    return false;
}

void CORMensuraDoc::CancelOpen() {
    decode_->Cancel();
}

std::optional<SourceImage> CORMensuraDoc::Load(const QString& path, QString* reason,
                                               bool* cancelled, std::optional<QImage>* display) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, reason))
        return std::nullopt;  // the file is closed: the image never keeps its file open
    if (!DecodesInBackground(bytes))
        return DecodeSourceImage(bytes, reason);
    // The picture shown (through the file's colour profile, over the background) is made on the
    // decoding thread too: for a large wide-gamut photo it takes as long as a decode.
    auto shown = std::make_shared<std::optional<QImage>>();
    const QRgb background = OutputOptionsOf(settings_.Batch()).background;
    std::optional<SourceImage> loaded = decode_->Run(
        [bytes = std::move(bytes), shown, background](QString* error) {
            std::optional<SourceImage> image = DecodeSourceImage(bytes, error);
            if (image)
                *shown = DisplayPixels(*image, background);
            return image;
        },
        reason, cancelled);
    if (loaded)
        *display = std::move(*shown);
    return loaded;
}

bool CORMensuraDoc::TryOpen(const QString& path, QString* failure, bool* cancelled) {
    // Opened without blocking: a pipe or a device is refused here instead of hanging the window.
    QString error;
    if (!CheckRegularFile(path, ReadKind::Image, &error)) {
        *failure = QStringLiteral("Failed to open document.\n%1\n%2").arg(path, error);
        return false;
    }
    if (state_ == DocumentState::Loading)
        return false;  // a large image is being decoded: one open at a time
    QString reason;
    const DocumentState before = state_;
    SetState(DocumentState::Loading);
    std::optional<QImage> display;
    std::optional<SourceImage> loaded = Load(path, &reason, cancelled, &display);
    SetState(loaded ? DocumentState::Open : before);
    if (*cancelled)
        return false;
    // A file that cannot be opened leaves the image that is open, and its settings, as they
    // were; the message says why.
    if (!loaded) {
        *failure = QStringLiteral("Can't open file\n%1!").arg(path);
        if (!reason.isEmpty())
            *failure += QLatin1Char('\n') + reason;
        return false;
    }
    StopWorkerJob();
    ReleaseSource();
    source_ = std::make_shared<const SourceImage>(std::move(*loaded));
    UpdateDisplayPixels(std::move(display));
    sourceWidth_ = source_->width();
    sourceHeight_ = source_->height();
    sourceDpi_ = static_cast<float>(source_->dpiX);
    currentPath_ = path;
    settings_.EditResize([&](ResizeSettings& s) {
        AdoptSettingsForImage(s, SourceInfo(), settings_.BatchMode(), false);
    });
    emit documentOpened();
    if (!source_->damage.isEmpty())
        emit openedDamaged(source_->damage);
    return true;
}

bool CORMensuraDoc::LoadNeighbour(StepDirection direction) {
    skipList_.clear();
    bool opened = false;
    for (;;) {
        const std::optional<QString> next = FindNeighbourFile(currentPath_, skipList_, direction);
        if (!next)
            break;
        QString failure;
        bool cancelled = false;
        if (TryOpen(*next, &failure, &cancelled)) {
            opened = true;
            break;
        }
        if (cancelled) {
            emit openCancelled();
            return false;
        }
        skipList_.append(*next);
    }
    if (!opened && skipList_.isEmpty())
        emit warningBeep();  // no neighbour at all
    if (!skipList_.isEmpty()) {
        QStringList names;
        for (const QString& skipped : skipList_) names << QFileInfo(skipped).fileName();
        emit neighboursSkipped(names);
    }
    return opened;
}

bool CORMensuraDoc::CanResizeAndSave() const {
    if (!HasSource())
        return false;
    const ResizeSettings& s = settings_.Resize();
    return s.width != sourceWidth_ || s.height != sourceHeight_ || s.dpi != sourceDpi_;
}

bool CORMensuraDoc::PrepareSave(const QString& path, ResizeSaveJob* job) {
    if (!source_ || path.isEmpty() || SaveRunning())
        return false;
    QString reason;
    if (!CheckWritableTarget(path, &reason)) {
        emit failed(CantSaveFileMessage(path) + QLatin1Char('\n') + reason);
        return false;
    }
    *job = ResizeSaveJob{source_, settings_.Resize(), path, OutputOptionsOf(settings_.Batch()),
                         currentPath_};
    return true;
}

bool CORMensuraDoc::ResizeAndSave(const QString& path) {
    ResizeSaveJob job;
    if (!PrepareSave(path, &job))
        return false;
    const engine::StopToken stop;
    const ResizeSaveOutcome outcome = RunResizeSaveJob(job, stop);
    if (outcome.status == ResizeSaveOutcome::Status::Failed && !outcome.message.isEmpty())
        emit failed(outcome.message);
    return outcome.status == ResizeSaveOutcome::Status::Written;
}

bool CORMensuraDoc::StartResizeAndSave(const QString& path) {
    ResizeSaveJob job;
    if (!PrepareSave(path, &job))
        return false;
    JoinSaveThread();  // the previous one has ended (its result was delivered)
    saveStop_ = std::make_shared<engine::StopToken>();
    SetState(DocumentState::Saving);
    emit progressStarted();
    saveThread_ = std::thread([this, job = std::move(job), stop = saveStop_] {
        const std::function<void(int)> position = [this](int p) {
            QMetaObject::invokeMethod(
                this, [this, p] { emit progressChanged(p); }, Qt::QueuedConnection);
        };
        const ResizeSaveOutcome outcome = RunResizeSaveJob(job, *stop, position);
        QMetaObject::invokeMethod(
            this, [this, outcome, path = job.path] { OnSaveFinished(outcome, path); },
            Qt::QueuedConnection);
    });
    return true;
}

void CORMensuraDoc::CancelResizeAndSave() {
    if (saveStop_)
        saveStop_->RequestStop();
}

void CORMensuraDoc::JoinSaveThread() {
    if (saveThread_.joinable())
        saveThread_.join();
}

void CORMensuraDoc::OnSaveFinished(const ResizeSaveOutcome& outcome, const QString& path) {
    JoinSaveThread();
    saveStop_.reset();
    SetState(DocumentState::Open);
    emit progressFinished();
    if (outcome.status == ResizeSaveOutcome::Status::Failed && !outcome.message.isEmpty())
        emit failed(outcome.message);
    emit saveFinished(outcome.status == ResizeSaveOutcome::Status::Written, path,
                      outcome.status == ResizeSaveOutcome::Status::Cancelled);
}

void CORMensuraDoc::SettingsChanged() {
    emit viewsUpdate();
}

void CORMensuraDoc::RefreshViews() {
    emit viewsUpdate();
}

OutputMapping CORMensuraDoc::Mapping() const {
    if (!source_)
        return {};
    const ResizeSettings& s = settings_.Resize();
    return OutputMapping(sourceWidth_, sourceHeight_, s.width, s.height, s.cropFlag());
}

void CORMensuraDoc::RequestPreview(const PreviewArea& area) {
    if (!source_ || area.isEmpty())
        return;
    const ResizeSettings& s = settings_.Resize();
    const PreviewRequest request{area, s.width, s.height, s.algorithm, s.sampling()};
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
    if (area.source.width() == area.target.width() &&
        area.source.height() == area.target.height()) {
        // 1:1: the exact pixels are the source's own.
        const QRect r(area.source.left, area.source.top, area.source.width(), area.source.height());
        store_.StoreCopy(request, SourcePixels().copy(r));
        RefreshViews();
        return;
    }
    inFlight_ = true;
    worker_->Post(PreviewJob{SourcePixels(), request, generation_});
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
