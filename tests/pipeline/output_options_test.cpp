// The output options of the one resize-to-file path: metadata policies as exiftool reads the
// outputs, the conversion of an Adobe RGB picture to sRGB against the conversion by the formulas,
// linear light on a pattern of black and white columns, the background under transparent pixels,
// and the source's time kept by an output that replaces it.

#include "imageio/colour_profile.h"
#include "imageio/image_loader.h"
#include "imageio/safe_file_writer.h"
#include "metadata/metadata_policy.h"
#include "pipeline/resize_job.h"

#include <QColorSpace>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <memory>

namespace orm {
namespace {

class OutputOptionsTest : public ::testing::Test {
  protected:
    std::shared_ptr<const SourceImage> Load(const QString& path) {
        QString error;
        std::optional<SourceImage> source = LoadSourceImage(path, &error);
        EXPECT_TRUE(source) << error.toStdString();
        return source ? std::make_shared<const SourceImage>(std::move(*source)) : nullptr;
    }

    // Runs the job into a file of the folder; its path ("" on failure).
    QString Run(ResizeJob job, const QString& name) {
        job.outputPath = dir_.filePath(name);
        const engine::StopToken stop;
        const ResizeJobOutcome outcome = RunResizeJob(job, stop, nullptr);
        EXPECT_TRUE(outcome.HasBytes()) << outcome.error.toStdString();
        QString reason;
        if (!outcome.HasBytes() || !WriteFileSafely(job.outputPath, outcome.bytes, &reason))
            return {};
        EXPECT_TRUE(KeepSourceTime(outcome, job.outputPath));
        return job.outputPath;
    }

    static ResizeJob Job(std::shared_ptr<const SourceImage> source, int w, int h) {
        ResizeJob job;
        job.source = std::move(source);
        job.target.width = w;
        job.target.height = h;
        job.target.correction = int32_t(CorrectionMode::None);
        return job;
    }

    QTemporaryDir dir_;
};

// Alternating black and white columns halved: the light is kept in linear light, the encoded
// samples are averaged otherwise; the own algorithms keep their gamma-encoded arithmetic.
TEST_F(OutputOptionsTest, LinearLightKeepsTheBrightnessOfFineDetail) {
    QImage stripes(64, 16, QImage::Format_RGB888);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x) stripes.setPixel(x, y, x % 2 ? 0xFFFFFFu : 0xFF000000u);
    ASSERT_TRUE(stripes.save(dir_.filePath("stripes.png")));
    const auto source = Load(dir_.filePath("stripes.png"));
    auto mean = [&](bool linear, engine::ResizeAlgorithm algorithm) {
        ResizeJob job = Job(source, 32, 16);
        job.target.algorithm = algorithm;
        job.options.linear = linear;
        const QImage out =
            QImage(Run(job, "halved.png")).convertToFormat(QImage::Format_Grayscale8);
        double sum = 0;
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) sum += out.constScanLine(y)[x];
        return sum / (out.width() * out.height());
    };
    for (auto algorithm :
         {engine::ResizeAlgorithm::HighQualityBicubic, engine::ResizeAlgorithm::HighQualityBilinear,
          engine::ResizeAlgorithm::Bilinear}) {
        SCOPED_TRACE(int(algorithm));
        const double linear = mean(true, algorithm), encoded = mean(false, algorithm);
        EXPECT_GE(linear, 186.0);
        EXPECT_LE(linear, 188.0);
        EXPECT_GE(encoded, 127.0);
        EXPECT_LE(encoded, 128.0);
    }
    const auto own = engine::ResizeAlgorithm::SmartNatural;
    EXPECT_EQ(mean(true, own), mean(false, own));
}

// Transparent pixels laid over the chosen colour, resized and at the source's own size, in an
// output without alpha; an output with alpha keeps it.
TEST_F(OutputOptionsTest, BackgroundFillsTransparentPixels) {
    QImage image(8, 8, QImage::Format_RGBA8888);
    image.fill(QColor(200, 40, 40, 0));
    for (int y = 0; y < 8; ++y) image.setPixelColor(0, y, QColor(255, 255, 255, 128));
    ASSERT_TRUE(image.save(dir_.filePath("clear.png")));
    const auto source = Load(dir_.filePath("clear.png"));
    ResizeJob job = Job(source, 8, 8);
    job.options.background = qRgb(10, 120, 250);
    for (const QString name : {"same.bmp", "same.png"}) {
        const QImage out(Run(job, name));
        const bool alpha = name.endsWith("png");
        if (alpha)
            EXPECT_EQ(qAlpha(out.pixel(5, 5)), 0);
        else
            EXPECT_EQ(out.pixel(5, 5), qRgb(10, 120, 250));
        // round((255 * 128 + b * 127) / 255) for each channel b of the background
        if (!alpha) {
            EXPECT_EQ(out.pixel(0, 3), qRgb(133, 188, 253));
        }
    }
    job.target.width = job.target.height = 4;
    EXPECT_EQ(QImage(Run(job, "small.bmp")).pixel(3, 3), qRgb(10, 120, 250));
    job.options.linear = true;
    EXPECT_EQ(QImage(Run(job, "small-linear.bmp")).pixel(3, 3), qRgb(10, 120, 250));
}

// Adobe RGB (1998) as Adobe publishes it: D65 primaries, gamma 563/256.
QByteArray AdobeRgbProfile() {
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// The conversion by the formulas: decode, the two colour spaces' matrices (both D65), clip,
// encode.
QRgb AdobeToSrgbByFormula(QRgb in) {
    static const double toXyz[3][3] = {
        {0.57667, 0.18556, 0.18823}, {0.29734, 0.62736, 0.07529}, {0.02703, 0.07069, 0.99134}};
    static const double toSrgb[3][3] = {{3.24096994, -1.53738318, -0.49861076},
                                        {-0.96924364, 1.87596750, 0.04155506},
                                        {0.05563008, -0.20397696, 1.05697151}};
    const double rgb[3] = {std::pow(qRed(in) / 255.0, 563.0 / 256.0),
                           std::pow(qGreen(in) / 255.0, 563.0 / 256.0),
                           std::pow(qBlue(in) / 255.0, 563.0 / 256.0)};
    double xyz[3] = {}, out[3] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) xyz[i] += toXyz[i][j] * rgb[j];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) out[i] += toSrgb[i][j] * xyz[j];
        const double v = std::clamp(out[i], 0.0, 1.0);
        out[i] = 255.0 * (v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055);
    }
    return qRgb(int(std::lround(out[0])), int(std::lround(out[1])), int(std::lround(out[2])));
}

QString ExiftoolText(const QString& file) {
    if (QStandardPaths::findExecutable("exiftool").isEmpty())
        return {};
    QProcess p;
    p.start("exiftool", {"-a", "-G1", "-s", file});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST_F(OutputOptionsTest, AdobeRgbConvertedToSrgbCarriesTheSrgbProfile) {
    QImage image(64, 48, QImage::Format_BGR888);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) image.setPixel(x, y, qRgb(x * 4, y * 5, (x * y + 60) % 256));
    auto source = std::make_shared<SourceImage>();
    source->image = image;
    const QByteArray adobe = AdobeRgbProfile();
    source->properties.push_back(
        PropertyItem{kPropIccProfile, 7, uint32_t(adobe.size()), adobe, ExifGroup::kImage, {}});
    ResizeJob job = Job(source, 64, 48);
    job.options.toSrgb = true;
    const QString path = Run(job, "converted.png");
    const QImage out = QImage(path).convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(out.size(), image.size());
    double squares = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const QRgb want = AdobeToSrgbByFormula(image.pixel(x, y)), got = out.pixel(x, y);
            for (int shift : {0, 8, 16}) {
                const double d = double((want >> shift) & 0xFF) - double((got >> shift) & 0xFF);
                squares += d * d;
            }
        }
    const double psnr = 10 * std::log10(255.0 * 255.0 / (squares / (64 * 48 * 3)));
    EXPECT_GE(psnr, 40.0);
    RecordProperty("psnr_db", QString::number(psnr, 'f', 1).toStdString());
    const QString tags = ExiftoolText(path);
    if (!tags.isEmpty()) {
        EXPECT_TRUE(tags.contains(QRegularExpression("ProfileDescription\\s*: sRGB")))
            << tags.toStdString();
        EXPECT_FALSE(tags.contains("Warning"));
    }
    // Nothing to embed when every item goes; the pixels are converted all the same.
    job.options.strip = MetadataPolicy::All;
    const QString bare = Run(job, "bare.png");
    QImage bareImage = QImage(bare).convertToFormat(QImage::Format_RGB888);
    bareImage.setColorSpace(out.colorSpace());  // the pixels compared, not the profiles
    EXPECT_EQ(bareImage, out);
    if (!tags.isEmpty()) {
        EXPECT_FALSE(ExiftoolText(bare).contains("ICC_Profile"));
    }
}

// What the preview shows: a wide-gamut source through its profile (as the output converted to
// sRGB), an sRGB-tagged or untagged one as it is (the very pixels), transparent pixels over the
// background.
TEST(DisplayPixelsTest, ThroughTheProfileAndOverTheBackground) {
    SourceImage source;
    source.image = QImage(4, 4, QImage::Format_BGR888);
    source.image.fill(QColor(40, 200, 90));
    EXPECT_EQ(DisplayPixels(source, qRgb(255, 255, 255)).constBits(), source.image.constBits());
    const QByteArray srgb = SrgbProfileBytes();
    source.properties = {PropertyItem{kPropIccProfile, 7, uint32_t(srgb.size()), srgb}};
    EXPECT_EQ(DisplayPixels(source, qRgb(255, 255, 255)).constBits(), source.image.constBits());
    const QByteArray adobe = AdobeRgbProfile();
    source.properties = {PropertyItem{kPropIccProfile, 7, uint32_t(adobe.size()), adobe}};
    const QRgb shown = DisplayPixels(source, qRgb(255, 255, 255)).pixel(1, 1);
    const QRgb want = AdobeToSrgbByFormula(qRgb(40, 200, 90));
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(int((shown >> shift) & 0xFF), int((want >> shift) & 0xFF), 2) << shift;

    source.properties.clear();
    source.original = QImage(4, 4, QImage::Format_RGBA8888);
    source.original.fill(QColor(0, 0, 0, 0));
    source.transparent = true;
    EXPECT_EQ(DisplayPixels(source, qRgb(0, 128, 0)).pixel(2, 2), qRgb(0, 128, 0));
}

TEST(MetadataPolicyTest, XmpLosesItsLocationAndSerialsOnly) {
    const QByteArray packet =
        "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
        "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
        "xmlns:photoshop='http://ns.adobe.com/photoshop/1.0/' "
        "xmlns:exif='http://ns.adobe.com/exif/1.0/' xmlns:aux='http://ns.adobe.com/exif/1.0/aux/' "
        "xmlns:dc='http://purl.org/dc/elements/1.1/' photoshop:City='Paris' "
        "photoshop:Credit='Ann' exif:GPSLatitude='48,48.0N' aux:SerialNumber='99' "
        "exif:ExposureTime='1/50'/></rdf:RDF></x:xmpmeta>";
    const std::optional<QByteArray> kept = XmpWithoutLocation(packet);
    ASSERT_TRUE(kept);
    for (const char* gone : {"Paris", "GPSLatitude", "SerialNumber"})
        EXPECT_FALSE(kept->contains(gone)) << gone;
    EXPECT_TRUE(kept->contains("Credit"));
    EXPECT_TRUE(kept->contains("ExposureTime"));
    EXPECT_FALSE(XmpWithoutLocation("<not xmp"));
}

// Real camera files with a GPS position, serial numbers and maker notes added by exiftool: what
// each policy leaves, as exiftool reads it.
TEST_F(OutputOptionsTest, PoliciesAsExiftoolReadsThem) {
    const QString camera = QStringLiteral(ORM_CORPUS_DIR "/exiv2-canon-eos-d30.jpg");
    if (!QFile::exists(camera) || ExiftoolText(camera).isEmpty())
        GTEST_SKIP() << "corpus or exiftool missing";
    const QString input = dir_.filePath("camera.jpg");
    ASSERT_TRUE(QFile::copy(camera, input));
    QProcess tag;
    tag.start("exiftool", {"-q", "-overwrite_original", "-GPSLatitude=48.8", "-GPSLatitudeRef=N",
                           "-LensSerialNumber=777", "-Artist=Ann", "-Copyright=(c) Ann", input});
    ASSERT_TRUE(tag.waitForFinished(60000));
    const QString given = ExiftoolText(input);
    ASSERT_TRUE(given.contains("[GPS]") && given.contains("SerialNumber") &&
                given.contains("[Canon]"));
    const auto source = Load(input);
    for (const char* output : {"out.jpg", "out.tif"}) {
        for (MetadataPolicy policy :
             {MetadataPolicy::Keep, MetadataPolicy::Location, MetadataPolicy::All}) {
            SCOPED_TRACE(std::string(output) + " " + MetadataPolicyName(policy).toStdString());
            ResizeJob job = Job(source, source->width() / 2, source->height() / 2);
            job.options.strip = policy;
            const QString tags = ExiftoolText(Run(job, output));
            const bool keep = policy == MetadataPolicy::Keep, all = policy == MetadataPolicy::All;
            EXPECT_FALSE(tags.contains("Warning")) << tags.toStdString();
            EXPECT_EQ(tags.contains("[GPS]"), keep);
            EXPECT_EQ(tags.contains("SerialNumber"), keep);
            EXPECT_EQ(tags.contains("[Canon]"), !all);
            EXPECT_EQ(tags.contains("[ExifIFD]"), !all);
            EXPECT_TRUE(tags.contains("Artist") && tags.contains("Copyright"));
            EXPECT_TRUE(tags.contains(QRegularExpression("\\[IFD0\\]\\s+XResolution")));
            EXPECT_TRUE(tags.contains("Orientation"));
            if (QString(output).endsWith("jpg")) {
                EXPECT_EQ(tags.contains("ThumbnailImage"), !all);
            }
        }
    }
}

// An output that replaces its own input gets the input's time, read before it was replaced.
TEST_F(OutputOptionsTest, KeptTimeSurvivesOverwritingTheInput) {
    QImage image(20, 10, QImage::Format_RGB888);
    image.fill(Qt::gray);
    const QString path = dir_.filePath("photo.png");
    ASSERT_TRUE(image.save(path));
    const timespec past{1234567890, 123456789};
    ASSERT_TRUE(SetModificationTime(path, past));
    ResizeJob job = Job(Load(path), 10, 5);
    job.sourceFile = path;
    job.options.keepTime = true;
    ASSERT_EQ(Run(job, "photo.png"), path);
    const std::optional<timespec> now = ModificationTime(path);
    ASSERT_TRUE(now);
    EXPECT_EQ(now->tv_sec, past.tv_sec);
    EXPECT_EQ(now->tv_nsec, past.tv_nsec);
    EXPECT_EQ(QImage(path).width(), 10);
}

}  // namespace
}  // namespace orm
