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
    const std::uint64_t encode = 3 * std::uint64_t(dw) * std::uint64_t(dh) +
                                 EstimatedEncodeBytes(dw, dh, OutputFormatForPath(outputPath));
    return std::max(resize, encode);
}

ResizeJobOutcome RunResizeJob(ResizeJob job, const engine::StopToken& stop,
                              engine::CRSProgress* progress) {
    if (!job.source || !UsableSize(job.target))
        return Ended(ResizeJobStatus::NoSize);
    const bool sameSize = AtSourceSize(job);
    const bool withAlpha = ResizesWithAlpha(*job.source, job.outputPath);
    const std::uint64_t needs =
        sameSize ? 0
                 : ResizeJobMemoryBytes(job.source->image.size(), job.target, job.outputPath,
                                        withAlpha, job.options.linear);
    if (!FitsInAvailableMemory(needs + job.othersInFlight))
        return Ended(ResizeJobStatus::NoMemory, NoMemoryReason(job.target));

    std::optional<timespec> sourceTime;
    if (job.options.keepTime && !job.sourceFile.isEmpty())
        sourceTime = ModificationTime(job.sourceFile);
    if (sameSize) {
        QByteArray copy = CopyableInput(job);
        if (!copy.isEmpty()) {
            ResizeJobOutcome copied = Ended(ResizeJobStatus::Copied);
            copied.bytes = std::move(copy);
            copied.sourceTime = sourceTime;
            return copied;
        }
    }
    auto start = Clock::now();
    QImage output;
    if (sameSize) {
        output = SameSizeOutput(*job.source);
    } else {
        Resized resized;
        try {
            resized = ResizeSource(job, withAlpha, progress);
        } catch (const std::bad_alloc&) {
            resized.status = engine::ResizeStatus::OutOfMemory;
        }
        if (resized.status == engine::ResizeStatus::OutOfMemory)
            return Ended(ResizeJobStatus::NoMemory, QStringLiteral("Not enough memory"));
        if (resized.status == engine::ResizeStatus::Cancelled)
            return Ended(ResizeJobStatus::Cancelled);
        if (resized.status != engine::ResizeStatus::Ok)
            return Ended(ResizeJobStatus::ResizeFailed);
        output = std::move(resized.image);
    }
    const double resizeMs = MsSince(start);
    if (job.stopBetweenStages && stop.StopRequested())
        return Ended(ResizeJobStatus::Cancelled);

    start = Clock::now();
    SaveSource saveSource{job.source->FileSize(), job.source->properties};
    job.source.reset();
    if (job.options.toSrgb) {
        try {
            ConvertOutputToSrgb(output, saveSource.properties, job.options.strip);
        } catch (const std::bad_alloc&) {
            return Ended(ResizeJobStatus::NoMemory, QStringLiteral("Not enough memory"));
        }
    }
    ResizeJobOutcome outcome = Encode(job, saveSource, std::move(output));
    outcome.sourceTime = sourceTime;
    outcome.resizeMs = resizeMs;
    outcome.encodeMs = MsSince(start);
    if (outcome.HasBytes() && job.stopBetweenStages && stop.StopRequested())
        return Ended(ResizeJobStatus::Cancelled);
    return outcome;
}

}  // namespace orm
