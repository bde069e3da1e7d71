#pragma once
// The document: the opened source image, the preview computation and its caches, the path of
// the current file, and the commands that act on them (open, next/previous image, resize and
// save). One lives as long as the main window. It owns the preview worker's thread.

#include "document/folder_navigation.h"
#include "document/preview_store.h"
#include "document/resize_save_job.h"
#include "imageio/image_loader.h"
#include "settings/resize_settings.h"
#include "settings/settings_model.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <thread>

class QThread;

namespace orm {

class PreviewWorker;
class BackgroundDecode;
struct PreviewResult;

// Command ids the document handles (menu actions carry them).
inline constexpr int kCmdLoadNextFile = 32858;
inline constexpr int kCmdLoadPreviousFile = 32859;
inline constexpr int kCmdResizeAndSave = 57603;

// Longest wait for the preview worker's thread when the document closes (the running job is
// stopped first, so this is reached only inside a standard step that cannot stop).
inline constexpr int kExitWaitMs = 5000;

// Size of a document before the first image.
inline constexpr int kEmptyDocumentSize = 10;

// Empty: no image; Loading: an image is being read and decoded; Open: an image is open;
// Saving: Resize and Save is running on its worker.
enum class DocumentState { Empty, Loading, Open, Saving };

class CORMensuraDoc : public QObject {
    Q_OBJECT
  public:
    // settings: the program's settings owner (not owned; outlives the document).
    explicit CORMensuraDoc(SettingsModel& settings, QObject* parent = nullptr);
    ~CORMensuraDoc() override;

    SettingsModel& Settings() const { return settings_; }

    // ---- Source ---------------------------------------------------------------------------
    bool HasSource() const { return source_ != nullptr; }
    // The decoded source as it is shown (Format_BGR888): through its colour profile to sRGB,
    // transparent pixels over the chosen background; null without one.
    QImage SourcePixels() const;
    std::shared_ptr<const SourceImage> Source() const { return source_; }
    int SourceWidth() const { return sourceWidth_; }
    int SourceHeight() const { return sourceHeight_; }
    float SourceDpi() const { return sourceDpi_; }
    SourceImageInfo SourceInfo() const;
    const QString& CurrentPath() const { return currentPath_; }

    // What the document is doing; stateChanged tells every change.
    DocumentState State() const { return state_; }

    // ---- Commands -------------------------------------------------------------------------
    // Opens an image into the document (replacing whatever was open). A failure is reported
    // through failed() and leaves what was open; returns whether the image is now open.
    // A large image decodes on a thread of its own while the window's events go on (state
    // Loading); CancelOpen gives it up, and openCancelled follows instead of failed().
    bool Open(const QString& path);
    void CancelOpen();
    // Steps to the next or previous image of the folder (beeps when there is none).
    bool LoadNeighbour(StepDirection direction);
    bool CanLoadNeighbour() const { return HasSource(); }
    // Resizes the source with the current settings and saves it to path on a worker thread;
    // returns at once (false when it cannot start: no image, a save running, a target that
    // cannot be written, which is reported). saveFinished follows; progress is announced like
    // the preview's. Failures are reported through the settings' prompt.
    bool StartResizeAndSave(const QString& path);
    // Stops a running Resize and Save before it writes (the existing file stays as it was).
    void CancelResizeAndSave();
    bool SaveRunning() const { return saveStop_ != nullptr; }
    // The same on the calling thread (the command-line path and tests); true when written.
    bool ResizeAndSave(const QString& path);
    // An image is open and the settings ask for another size or resolution.
    bool CanResizeAndSave() const;

    // After any change of the resize settings: the views update unless a spin is held.
    void SettingsChanged();
    // The views update unconditionally.
    void RefreshViews();

    // ---- Preview (user-interface thread) ---------------------------------------------------
    // The mapping between the source and the output of the current settings.
    OutputMapping Mapping() const;
    // Asks for the exact pixels of an area with the current output size and algorithm: served
    // from the caches, copied at 1:1, or computed by the worker (then previewReady follows).
    void RequestPreview(const PreviewArea& area);
    // Stops the exact preview in flight: the view shows a draft, where no exact pixels are used.
    void CancelPreview() {
        if (inFlight_)
            StopWorkerJob();
    }
    const PreviewStore& Preview() const { return store_; }
    void ReleasePreviewResult() { store_.ReleaseResult(); }
    // The request the worker computes next or computes now.
    const PreviewRequest& PendingRequest() const { return pending_; }
    bool PreviewInFlight() const { return inFlight_; }
    PreviewWorker* Worker() const { return worker_; }

  signals:
    // A new image was opened (or the document became empty): views start afresh.
    void documentOpened();
    // Every view updates (settings changed, a preview arrived).
    void viewsUpdate();
    // The worker's result for the current request was stored.
    void previewReady();
    // No neighbour to step to.
    void warningBeep();
    // Progress of the preview job for the current request: started, 0..100, ended (by any way).
    void progressStarted();
    void progressChanged(int position);
    void progressFinished();
    // A Resize and Save ended: written, cancelled or failed (already reported).
    void saveFinished(bool written, const QString& path, bool cancelled);
    // Next/Previous stepped over files that could not be opened (names, in order), without a
    // message box for each: the frame notes them in the status bar.
    void neighboursSkipped(const QStringList& names);
    // The image opened is damaged (cut off): what fills the missing part.
    void openedDamaged(const QString& damage);
    // A command failed; the text is for the user (the frame shows it). The document never
    // shows anything itself.
    void failed(const QString& message);
    void stateChanged(orm::DocumentState state);
    // An open was given up (CancelOpen): what was open stays.
    void openCancelled();
    // The pixels shown changed (another background, linear light on or off): views draw anew.
    void displayChanged();

  private slots:
    void OnWorkerFinished(const orm::PreviewResult& result);
    void OnSaveFinished(const orm::ResizeSaveOutcome& outcome, const QString& path);

  private:
    // Stops the running preview job and retires its generation (never waits).
    void RetireWorkerJob();
    // The same, and forgets the request.
    void StopWorkerJob();
    void ReleaseSource();
    // The pixels the views and previews show: through the source's colour profile to sRGB,
    // transparent pixels over the chosen background.
    // The picture shown; `made` when it was made already (with the current background).
    void UpdateDisplayPixels(std::optional<QImage> made = std::nullopt);
    void SetState(DocumentState state);
    // Opens the image; on failure the open one stays and failure (when given) says why.
    bool TryOpen(const QString& path, QString* failure, bool* cancelled);
    // Reads and decodes the file; a large image decodes in the background (CancelOpen ends it).
    std::optional<SourceImage> Load(const QString& path, QString* reason, bool* cancelled,
                                    std::optional<QImage>* display);
    bool PrepareSave(const QString& path, ResizeSaveJob* job);
    void JoinSaveThread();

    SettingsModel& settings_;
    std::shared_ptr<const SourceImage> source_;
    QImage display_;  // null: the source's own pixels are shown
    QRgb displayBackground_ = qRgb(255, 255, 255);
    bool displayLinear_ = false;
    int sourceWidth_ = kEmptyDocumentSize;
    int sourceHeight_ = kEmptyDocumentSize;
    float sourceDpi_ = 0;
    PreviewStore store_;
    PreviewRequest pending_;
    quint64 generation_ = 0;
    bool inFlight_ = false;
    QString currentPath_;
    DocumentState state_ = DocumentState::Empty;
    QStringList skipList_;
    std::unique_ptr<BackgroundDecode> decode_;

    QThread* thread_ = nullptr;
    PreviewWorker* worker_ = nullptr;

    // The running Resize and Save: its thread and its stop token.
    std::thread saveThread_;
    std::shared_ptr<engine::StopToken> saveStop_;
};

}  // namespace orm
