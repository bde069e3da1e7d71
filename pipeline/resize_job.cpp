#include "pipeline/resize_job.h"

#include "engine/alpha_resize.h"
#include "engine/linear_light.h"
#include "engine/memory_budget.h"
#include "engine/resize_image.h"
#include "imageio/colour_profile.h"
#include "imageio/memory_needs.h"
#include "imageio/output_formats.h"
#include "imageio/qimage_views.h"
#include "imageio/transparency.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace orm {

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

ResizeJobOutcome Ended(ResizeJobStatus status, QString reason = {}) {
    ResizeJobOutcome outcome;
    outcome.status = status;
    outcome.reason = std::move(reason);
    return outcome;
}

bool UsableSize(const ResizeTarget& t) {
    return t.width >= 1 && t.height >= 1 && t.width <= kMaxPixels && t.height <= kMaxPixels;
}

bool AtSourceSize(const ResizeJob& job) {
    return job.source->image.size() == QSize(job.target.width, job.target.height);
}

// The source at its own size: the decoded pixels in their own format where 24-bit colour does
// not hold them (palette, grey, 16 bits, alpha), else the 24-bit pixels.
QImage SameSizeOutput(const SourceImage& source) {
    if (!source.original.isNull() && source.original.size() == source.image.size())
        return source.original;
    return source.image;
}

// The input file as it is, when the job allows it and it fits the size limit; empty otherwise.
QByteArray CopyableInput(const ResizeJob& job) {
    if (job.copyableInput.isEmpty() || !job.options.AllowsCopy() ||
        job.source->FileSize() != job.source->image.size())
        return {};
    QByteArray bytes = SameTypeInputBytes(job.copyableInput, job.outputPath);
    if (job.sizeLimit.Active() && bytes.size() > job.sizeLimit.maxBytes)
        return {};
    return bytes;
}

struct Resized {
    engine::ResizeStatus status = engine::ResizeStatus::InvalidInput;
    QImage image;
};

bool IsWhite(QRgb colour) {
    return qRed(colour) == 255 && qGreen(colour) == 255 && qBlue(colour) == 255;
}

// The 24-bit pixels a resize without alpha starts from: the source's own (over white where they
// are transparent), or over the job's background when that is another colour.
QImage OpaquePixels(const ResizeJob& job) {
    const SourceImage& source = *job.source;
    if (!source.transparent || source.original.isNull() ||
        source.original.size() != source.image.size() || IsWhite(job.options.background))
        return source.image;
    QImage over = CompositeOver(source.original, job.options.background);
    if (over.isNull())
        throw std::bad_alloc();
    return over;
}

engine::ConstBgrView ViewOf(const QImage& image) {
    return engine::ConstBgrView(image.constBits(), image.width(), image.height(),
                                image.bytesPerLine());
}

// The source's pixels with their alpha, resized in linear light.
Resized ResizeWithAlphaInLinearLight(const ResizeJob& job) {
    const ResizeTarget& t = job.target;
    const QImage quad = job.source->original.convertToFormat(QImage::Format_RGBA8888);
    Resized out;
    out.image = QImage(t.width, t.height, QImage::Format_RGBA8888);
    if (quad.isNull() || out.image.isNull())
        throw std::bad_alloc();
    const engine::BgrView into{out.image.bits(), t.width, t.height, out.image.bytesPerLine()};
    out.status = engine::ResizeInLinearLight(ViewOf(quad), into, engine::kQuadChannels, t.algorithm,
                                             t.cropFlag());
    return out;
}

// The engine's resize of the source to the target: with its alpha for outputs that keep it,
// else its 24-bit pixels into a 24-bit image; in linear light when the options ask for it.
Resized ResizeSource(const ResizeJob& job, bool withAlpha, engine::CRSProgress* progress) {
    const SourceImage& source = *job.source;
    const ResizeTarget& t = job.target;
    const bool linear = ResizesInLinearLight(job.options, t.algorithm);
    Resized out;
    if (withAlpha && linear)
        return ResizeWithAlphaInLinearLight(job);
    if (withAlpha) {
        AlphaResizeResult alpha = ResizeSourceWithAlpha(source, t.width, t.height, t.algorithm,
                                                        t.cropFlag(), progress, t.sampling());
        out.status = alpha.status;
        out.image = std::move(alpha.image);
        return out;
    }
    const QImage from = OpaquePixels(job);
    out.image = QImage(t.width, t.height, QImage::Format_BGR888);
    if (out.image.isNull())
        throw std::bad_alloc();
    if (linear)
        out.status = engine::ResizeInLinearLight(ConstBgrViewOf(from), BgrViewOf(out.image),
                                                 engine::kBgrChannels, t.algorithm, t.cropFlag());
    else
        out.status = engine::ResizeImageInto(ConstBgrViewOf(from), BgrViewOf(out.image),
                                             t.algorithm, t.cropFlag(), progress, t.sampling());
    return out;
}

// The output's colours from the source's profile to sRGB, and the profile the output carries
// with them: sRGB, or none when the metadata policy keeps nothing. A source without a profile is
// sRGB already, and so is one whose profile describes sRGB (its pixels stay exactly as they
// are); one whose profile is not an RGB profile (grey, CMYK) keeps its pixels as they are,
// which are shown as sRGB from then on.
void ConvertOutputToSrgb(QImage& output, PropertyItems& items, MetadataPolicy strip) {
    const auto isProfile = [](const PropertyItem& i) {
        return i.group == ExifGroup::kImage && i.id == kPropIccProfile;
    };
    const auto profile = std::find_if(items.begin(), items.end(), isProfile);
    if (profile != items.end()) {
        if (IsRgbProfile(profile->value) && !IsSrgbLikeProfile(profile->value) &&
            !ConvertToSrgb(output, profile->value))
            throw std::bad_alloc();  // an RGB profile read once converts: only memory fails
        std::erase_if(items, isProfile);
    }
    if (strip == MetadataPolicy::All)
        return;
    const QByteArray& srgb = SrgbProfileBytes();
    items.push_back(
        PropertyItem{kPropIccProfile, 7, uint32_t(srgb.size()), srgb, ExifGroup::kImage, {}});
}

QString NoMemoryReason(const ResizeTarget& t) {
    return QStringLiteral("Not enough memory to resize to %1 x %2 pixels and write the file")
        .arg(t.width)
        .arg(t.height);
}

// Encodes the output image within the job's size limit.
ResizeJobOutcome Encode(const ResizeJob& job, const SaveSource& saveSource, QImage output) {
    ResizeJobOutcome outcome;
    const SaveOptions options{job.target.dpi, job.quality, job.options.strip,
                              job.options.background};
    outcome.limitNotApplied = job.sizeLimit.Active() && !QualitySetsSize(job.outputPath);
    EncodedOutput encoded =
        EncodeOutputFile(std::move(output), job.outputPath, saveSource, options, job.sizeLimit);
    if (encoded.tooLarge) {
        outcome.status = ResizeJobStatus::TooLarge;
        outcome.reason = TooLargeReason(encoded.lowestSize, job.sizeLimit.maxBytes);
        return outcome;
    }
    outcome.bytes = std::move(encoded.bytes);
    outcome.quality = encoded.quality;
    outcome.error = encoded.error;
    outcome.note = encoded.note;
    outcome.status =
        outcome.bytes.isEmpty() ? ResizeJobStatus::EncodeFailed : ResizeJobStatus::Encoded;
    return outcome;
}

}  // namespace

bool ResizesInLinearLight(const OutputOptions& options, engine::ResizeAlgorithm algorithm) {
    return options.linear && !engine::IsOwnAlgorithm(algorithm);
}

bool KeepSourceTime(const ResizeJobOutcome& outcome, const QString& written) {
    return !outcome.sourceTime || SetModificationTime(written, *outcome.sourceTime);
}

std::uint64_t ResizeJobMemoryBytes(QSize source, const ResizeTarget& target,
                                   const QString& outputPath, bool withAlpha, bool linear) {
    const int sw = source.width(), sh = source.height();
    const int dw = target.width, dh = target.height;
    const bool crop = target.cropFlag();
    int tw = dw, th = dh;
    if (crop)
        engine::CoverSize(sw, sh, dw, dh, tw, th);
    const std::uint64_t resize =
        linear && !engine::IsOwnAlgorithm(target.algorithm)
            ? engine::EstimatedLinearResizeBytes(sw, sh, dw, dh, crop) +
                  (withAlpha ? 8 * std::uint64_t(sw) * std::uint64_t(sh) : 0)
        : withAlpha ? engine::EstimatedAlphaResizeBytes(sw, sh, dw, dh, target.algorithm, crop)
                    : engine::EstimatedResizeBytes(sw, sh, tw, th, dw, dh, target.algorithm, crop);
    return std::max(resize, EncodeMemoryBytes(QSize(dw, dh), outputPath));
}

ResizedOutput ResizeJobImage(ResizeJob& job, const engine::StopToken& stop,
                             engine::CRSProgress* progress) {
    ResizedOutput made;
    auto end = [&made](ResizeJobStatus status, QString reason = {}) {
        made.ended = Ended(status, std::move(reason));
        return std::move(made);
    };
    if (!job.source || !UsableSize(job.target))
        return end(ResizeJobStatus::NoSize);
    const bool sameSize = AtSourceSize(job);
    const bool withAlpha = ResizesWithAlpha(*job.source, job.outputPath);
    const std::uint64_t needs =
        sameSize ? 0
                 : ResizeJobMemoryBytes(job.source->image.size(), job.target, job.outputPath,
                                        withAlpha, job.options.linear);
    if (!FitsInAvailableMemory(needs + job.othersInFlight))
        return end(ResizeJobStatus::NoMemory, NoMemoryReason(job.target));

    if (job.options.keepTime && !job.sourceFile.isEmpty())
        made.sourceTime = ModificationTime(job.sourceFile);
    if (sameSize) {
        QByteArray copy = CopyableInput(job);
        if (!copy.isEmpty()) {
            made.ended = Ended(ResizeJobStatus::Copied);
            made.ended->bytes = std::move(copy);
            made.ended->sourceTime = made.sourceTime;
            return made;
        }
    }
    const auto start = Clock::now();
    if (sameSize) {
        made.image = SameSizeOutput(*job.source);
    } else {
        Resized resized;
        try {
            resized = ResizeSource(job, withAlpha, progress);
        } catch (const std::bad_alloc&) {
            resized.status = engine::ResizeStatus::OutOfMemory;
        }
        if (resized.status == engine::ResizeStatus::OutOfMemory)
            return end(ResizeJobStatus::NoMemory, QStringLiteral("Not enough memory"));
        if (resized.status == engine::ResizeStatus::Cancelled)
            return end(ResizeJobStatus::Cancelled);
        if (resized.status != engine::ResizeStatus::Ok)
            return end(ResizeJobStatus::ResizeFailed);
        made.image = std::move(resized.image);
    }
    made.resizeMs = MsSince(start);
    if (job.stopBetweenStages && stop.StopRequested())
        return end(ResizeJobStatus::Cancelled);
    made.saveSource = SaveSource{job.source->FileSize(), job.source->properties};
    job.source.reset();
    return made;
}

ResizeJobOutcome EncodeJobImage(const ResizeJob& job, ResizedOutput made,
                                const engine::StopToken& stop) {
    if (made.ended)
        return std::move(*made.ended);
    const auto start = Clock::now();
    if (job.options.toSrgb) {
        try {
            ConvertOutputToSrgb(made.image, made.saveSource.properties, job.options.strip);
        } catch (const std::bad_alloc&) {
            return Ended(ResizeJobStatus::NoMemory, QStringLiteral("Not enough memory"));
        }
    }
    ResizeJobOutcome outcome = Encode(job, made.saveSource, std::move(made.image));
    outcome.sourceTime = made.sourceTime;
    outcome.resizeMs = made.resizeMs;
    outcome.encodeMs = MsSince(start);
    if (outcome.HasBytes() && job.stopBetweenStages && stop.StopRequested())
        return Ended(ResizeJobStatus::Cancelled);
    return outcome;
}

std::uint64_t EncodeMemoryBytes(QSize output, const QString& outputPath) {
    return 3 * std::uint64_t(output.width()) * std::uint64_t(output.height()) +
           EstimatedEncodeBytes(output.width(), output.height(), OutputFormatForPath(outputPath));
}

ResizeJobOutcome RunResizeJob(ResizeJob job, const engine::StopToken& stop,
                              engine::CRSProgress* progress) {
    return EncodeJobImage(job, ResizeJobImage(job, stop, progress), stop);
}

}  // namespace orm
