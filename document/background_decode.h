#pragma once
// Decoding a large image on a thread of its own while the window's thread goes on with its
// events (repaints, the preview, the Esc that gives up), so that opening a photo of hundreds of
// megapixels never freezes the window. Smaller images decode where they are asked for: a local
// event loop is not worth its re-entrance for a few milliseconds.

#include "imageio/image_loader.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QEventLoop;

namespace orm {

// Images of more pixels than this, or files of more bytes, decode in the background.
inline constexpr qint64 kBackgroundDecodePixels = 40'000'000;
inline constexpr qint64 kBackgroundDecodeFileBytes = 48 << 20;

// Whether a file of these bytes decodes in the background (by its header's size, or its length
// when the header tells none).
bool DecodesInBackground(const QByteArray& fileBytes);

class BackgroundDecode {
  public:
    BackgroundDecode();
    ~BackgroundDecode();
    BackgroundDecode(const BackgroundDecode&) = delete;
    BackgroundDecode& operator=(const BackgroundDecode&) = delete;

    using Decode = std::function<std::optional<SourceImage>(QString* error)>;
    // Runs the decode (e.g. DecodeSourceImage of the file's bytes) on a new thread and waits for
    // it in a local event loop. Nothing when the decode failed (error says why) or Cancel was
    // called meanwhile (cancelled is set; the abandoned decode ends on its own and its pixels are
    // dropped).
    std::optional<SourceImage> Run(Decode decode, QString* error, bool* cancelled);
    bool Running() const { return task_ != nullptr; }
    // Gives up the running decode: Run returns at once.
    void Cancel();

  private:
    struct Task;
    std::shared_ptr<Task> task_;
};

}  // namespace orm
