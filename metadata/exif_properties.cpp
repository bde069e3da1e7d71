#include "metadata/exif_properties.h"

#include "metadata/tiff_tags.h"

#include <QFile>

#include <sys/stat.h>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace orm {

using namespace tiff_tags;

namespace {

constexpr uint16_t kCompressionJpeg = 6;

// Thumbnail-directory tags and the identifiers they have as items.
struct ThumbnailTagId {
    uint16_t tag;
    uint32_t id;
};
constexpr ThumbnailTagId kThumbnailIds[] = {
    {0x0103, kPropThumbnailCompression}, {0x0100, kPropThumbnailWidth},
    {0x0101, kPropThumbnailHeight},      {0x011A, kPropThumbnailResolutionX},
    {0x011B, kPropThumbnailResolutionY}, {0x0128, kPropThumbnailResolutionUnit},
};

// exiv2's errors are counted while a written maker note is read back (on that thread), and
// dropped everywhere else.
thread_local int* countedErrors = nullptr;

void CountError(int level, const char*) {
    if (countedErrors && level >= Exiv2::LogMsg::error)
        ++*countedErrors;
}

std::optional<ExifGroup> GroupOf(const std::string& name) {
    if (name == "Image")
        return ExifGroup::kImage;
    if (name == "Photo")
        return ExifGroup::kPhoto;
    if (name == "GPSInfo")
        return ExifGroup::kGps;
    if (name == "Iop")
        return ExifGroup::kInterop;
    if (name == "Thumbnail")
        return ExifGroup::kThumbnail;
    return std::nullopt;  // maker-note and other sub-directories
}

const char* GroupName(ExifGroup group) {
    switch (group) {
        case ExifGroup::kImage:
            return "Image";
        case ExifGroup::kPhoto:
            return "Photo";
        case ExifGroup::kGps:
            return "GPSInfo";
        case ExifGroup::kInterop:
            return "Iop";
        case ExifGroup::kThumbnail:
            return "Thumbnail";
        case ExifGroup::kMakerNote:
            break;  // named by each item
    }
    return "Image";
}

PropertyItem ToItem(const Exiv2::Exifdatum& d, uint32_t id, ExifGroup group) {
    PropertyItem item;
    item.id = id;
    item.type = uint16_t(d.typeId());
    item.count = uint32_t(d.count());
    item.group = group;
    item.value.resize(int(d.size()));
    if (d.size() > 0)
        d.copy(reinterpret_cast<Exiv2::byte*>(item.value.data()), Exiv2::littleEndian);
    return item;
}

// An ASCII value ends in exactly one NUL, as TIFF readers demand: a camera's padding NULs are
// dropped and a missing terminator added. (Maker-note values keep their fixed lengths.)
QByteArray WrittenValue(const PropertyItem& item) {
    if (item.type != Exiv2::asciiString || item.group == ExifGroup::kMakerNote)
        return item.value;
    QByteArray text = item.value;
    while (text.endsWith('\0')) text.chop(1);
    text.append('\0');
    return text;
}

bool AddItem(Exiv2::ExifData& exif, uint16_t tag, const std::string& group,
             const PropertyItem& item) {
    try {
        const Exiv2::ExifKey key(tag, group);
        Exiv2::Value::AutoPtr value = Exiv2::Value::create(Exiv2::TypeId(item.type));
        const QByteArray bytes = WrittenValue(item);
        if (value->read(reinterpret_cast<const Exiv2::byte*>(bytes.constData()), long(bytes.size()),
                        Exiv2::littleEndian) != 0)
            return false;
        exif.add(key, value.get());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

Exiv2::ExifData BuildExifData(const PropertyItems& items, bool withMakerNote) {
    Exiv2::ExifData exif;
    const PropertyItem* thumbData = nullptr;
    uint32_t thumbCompression = kCompressionJpeg;
    for (const PropertyItem& item : items) {
        if (item.group == ExifGroup::kThumbnail) {
            if (item.id == kPropThumbnailData)
                thumbData = &item;
            else if (item.id == kPropThumbnailCompression)
                ItemNumber(item, thumbCompression);
            continue;
        }
        if (item.id > 0xFFFF || item.type == 0 || item.type > Exiv2::tiffIfd)
            continue;
        const uint16_t tag = uint16_t(item.id);
        // Directory pointers are laid out anew by exiv2; the colour profile goes where the
        // format keeps it (TryWrite).
        if (tag == kTagExifPointer || tag == kTagGpsPointer || tag == kTagInteropPointer ||
            tag == kPropIccProfile)
            continue;
        // The raw maker note is never written: its offsets would point into the old layout.
        // exiv2 lays out the maker notes it understands anew from their entries.
        if (tag == kTagMakerNote && item.group != ExifGroup::kMakerNote)
            continue;
        if (item.group == ExifGroup::kMakerNote) {
            if (withMakerNote)
                AddItem(exif, tag, item.makerDirectory.toStdString(), item);
            continue;
        }
        AddItem(exif, tag, GroupName(item.group), item);
    }
    // Only a JPEG thumbnail can be carried over; its directory is written around its data.
    if (thumbData && thumbCompression == kCompressionJpeg && !thumbData->value.isEmpty()) {
        try {
            Exiv2::ExifThumb thumb(exif);
            thumb.setJpegThumbnail(
                reinterpret_cast<const Exiv2::byte*>(thumbData->value.constData()),
                long(thumbData->value.size()));
            for (const PropertyItem& item : items) {
                if (item.group != ExifGroup::kThumbnail || item.id == kPropThumbnailData ||
                    item.id == kPropThumbnailCompression)
                    continue;
                for (const ThumbnailTagId& t : kThumbnailIds)
                    if (t.id == item.id) {
                        exif.erase(std::remove_if(exif.begin(), exif.end(),
                                                  [&](const Exiv2::Exifdatum& d) {
                                                      return d.groupName() == "Thumbnail" &&
                                                             d.tag() == t.tag;
                                                  }),
                                   exif.end());
                        AddItem(exif, t.tag, GroupName(ExifGroup::kThumbnail), item);
                    }
            }
        } catch (const std::exception&) {
        }
    }
    return exif;
}

// ---- Verifying a maker note that was laid out anew -------------------------------------------

bool IsMakerNoteEntry(const Exiv2::Exifdatum& d) {
    // Exif.MakerNote.Offset and .ByteOrder say where the note lies, not what it holds.
    return Exiv2::ExifTags::isMakerGroup(d.groupName()) && d.groupName() != "MakerNote";
}

bool HasMakerNote(const Exiv2::ExifData& exif) {
    return std::any_of(exif.begin(), exif.end(), IsMakerNoteEntry);
}

// A single 32-bit value that holds a position in the file (a sub-directory, a preview, a data
// block): laid out anew it moves with its target.
bool HoldsOffset(const Exiv2::Exifdatum& d) {
    if (d.count() != 1)
        return false;
    if (d.typeId() == Exiv2::tiffIfd)
        return true;
    if (d.typeId() != Exiv2::unsignedLong && d.typeId() != Exiv2::signedLong)
        return false;
    const std::string name = d.tagName();
    const auto endsWith = [&](const char* end) {
        const std::size_t n = std::strlen(end);
        return name.size() >= n && name.compare(name.size() - n, n, end) == 0;
    };
    return endsWith("IFD") || endsWith("Preview") || endsWith("Pointer") ||
           name == "JPEGInterchangeFormat" || name.find("Offset") != std::string::npos ||
           endsWith("Start");
}

std::string ValueBytes(const Exiv2::Exifdatum& d) {
    std::string bytes(d.size(), '\0');
    if (d.size() > 0)
        d.copy(reinterpret_cast<Exiv2::byte*>(bytes.data()), Exiv2::littleEndian);
    return bytes;
}

// Whether the maker note read back from a written file (`back`, read while `errors` were
// counted) is the one that was written: every entry again, under its key with its type and
// count, and its bytes; an entry holding an offset must have been moved to the new layout (one
// that comes back unchanged and not zero still points into the source's layout, where a reader
// finds no directory or the wrong data). Conservative: a note that fails is left out.
bool MakerNoteReadsBack(const Exiv2::ExifData& written, const Exiv2::ExifData& back, int errors) {
    if (errors > 0)
        return false;
    std::map<std::string, int> count;
    for (const Exiv2::Exifdatum& d : written)
        if (IsMakerNoteEntry(d))
            ++count[d.key()];
    for (const Exiv2::Exifdatum& d : back)
        if (IsMakerNoteEntry(d) && --count[d.key()] < 0)
            return false;  // an entry that was not written
    for (const Exiv2::Exifdatum& d : written) {
        if (!IsMakerNoteEntry(d))
            continue;
        if (count[d.key()] != 0)
            return false;  // lost
        const auto found = back.findKey(Exiv2::ExifKey(d.key()));
        if (found == back.end() || found->typeId() != d.typeId() || found->count() != d.count())
            return false;
        const std::string was = ValueBytes(d);
        const bool same = was == ValueBytes(*found);
        if (HoldsOffset(d) ? same && d.toLong() != 0 : !same)
            return false;
    }
    return true;
}

// Reads the written file again and checks its maker note (MakerNoteReadsBack).
bool WrittenMakerNoteReadsBack(const QByteArray& file, const Exiv2::ExifData& written) {
    int errors = 0;
    countedErrors = &errors;
    bool ok = false;
    try {
        auto image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(file.constData()), long(file.size()));
        if (image.get()) {
            image->readMetadata();
            ok = MakerNoteReadsBack(written, image->exifData(), errors);
        }
    } catch (const std::exception&) {
    }
    countedErrors = nullptr;
    return ok;
}

bool BlockMakerNoteReadsBack(const Exiv2::Blob& block, const Exiv2::ExifData& written) {
    int errors = 0;
    countedErrors = &errors;
    bool ok = false;
    try {
        Exiv2::ExifData back;
        Exiv2::ExifParser::decode(back, block.data(), uint32_t(block.size()));
        ok = MakerNoteReadsBack(written, back, errors);
    } catch (const std::exception&) {
    }
    countedErrors = nullptr;
    return ok;
}

const QString kMakerNoteLeftOut =
    QStringLiteral("the camera's maker note did not read back as written and was left out");

bool TryWrite(const QByteArray& encoded, const Exiv2::ExifData& exif, const PropertyItem* profile,
              QByteArray& result) {
    try {
        auto image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(encoded.constData()), long(encoded.size()));
        if (!image.get())
            return false;
        image->readMetadata();
        image->setExifData(exif);
        if (profile && !profile->value.isEmpty()) {
            // JPEG: APP2 "ICC_PROFILE" segments; PNG: the iCCP chunk; TIFF: tag 34675.
            Exiv2::DataBuf bytes(reinterpret_cast<const Exiv2::byte*>(profile->value.constData()),
                                 long(profile->value.size()));
            image->setIccProfile(bytes, /*bTestValid=*/false);
        }
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0)
            return false;
        io.seek(0, Exiv2::BasicIo::beg);
        const long size = long(io.size());
        Exiv2::DataBuf buf = io.read(size);
        io.close();
        if (buf.size_ != size)
            return false;
        result = QByteArray(reinterpret_cast<const char*>(buf.pData_), int(buf.size_));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

void InitExiv2Once() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::error);
        Exiv2::LogMsg::setHandler(CountError);
        Exiv2::XmpParser::initialize();  // not thread-safe on first use; done once here
    });
}

namespace {

PropertyItems ItemsOf(Exiv2::Image& image) {
    PropertyItems items;
    image.readMetadata();
    const Exiv2::ExifData& exif = image.exifData();
    bool thumbIsJpeg = false;
    for (const Exiv2::Exifdatum& d : exif) {
        if (uint32_t(d.typeId()) > Exiv2::tiffIfd)
            continue;
        const auto group = GroupOf(d.groupName());
        if (!group) {
            if (Exiv2::ExifTags::isMakerGroup(d.groupName())) {
                PropertyItem item = ToItem(d, d.tag(), ExifGroup::kMakerNote);
                item.makerDirectory = QByteArray::fromStdString(d.groupName());
                items.push_back(std::move(item));
            }
            continue;
        }
        if (*group != ExifGroup::kThumbnail) {
            items.push_back(ToItem(d, d.tag(), *group));
            continue;
        }
        if (d.tag() == kTagJpegOffset || d.tag() == kTagJpegLength) {
            thumbIsJpeg = true;
            continue;
        }
        for (const ThumbnailTagId& t : kThumbnailIds)
            if (t.tag == d.tag())
                items.push_back(ToItem(d, t.id, ExifGroup::kThumbnail));
    }
    // The colour profile: a TIFF file holds it as an item of its first directory already.
    if (image.iccProfileDefined() && !FindItem(items, kPropIccProfile)) {
        const Exiv2::DataBuf* profile = image.iccProfile();
        if (profile && profile->size_ > 0) {
            PropertyItem item;
            item.id = kPropIccProfile;
            item.type = Exiv2::undefined;
            item.count = uint32_t(profile->size_);
            item.value =
                QByteArray(reinterpret_cast<const char*>(profile->pData_), int(profile->size_));
            items.push_back(std::move(item));
        }
    }
    if (thumbIsJpeg) {
        Exiv2::ExifThumbC thumb(exif);
        const Exiv2::DataBuf data = thumb.copy();
        if (data.size_ > 0) {
            PropertyItem item;
            item.id = kPropThumbnailData;
            item.type = 1;
            item.count = uint32_t(data.size_);
            item.value = QByteArray(reinterpret_cast<const char*>(data.pData_), int(data.size_));
            item.group = ExifGroup::kThumbnail;
            items.push_back(std::move(item));
        }
    }
    // Directory order: the main image's directories, then the thumbnail's.
    std::stable_sort(items.begin(), items.end(), [](const PropertyItem& a, const PropertyItem& b) {
        return a.group < b.group;
    });
    return items;
}

}  // namespace

PropertyItems ReadPropertyItems(const QByteArray& fileBytes) {
    InitExiv2Once();
    try {
        auto image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(fileBytes.constData()), long(fileBytes.size()));
        return image.get() ? ItemsOf(*image) : PropertyItems{};
    } catch (const std::exception&) {
        return {};
    }
}

PropertyItems ReadPropertyItemsFromFile(const QString& path) {
    InitExiv2Once();
    // exiv2 opens the name itself: a pipe or a device would block it or never end.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    try {
        // exiv2 reads only the metadata parts of the file.
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString(), false);
        return image.get() ? ItemsOf(*image) : PropertyItems{};
    } catch (const std::exception&) {
        return {};
    }
}

bool WritePropertyItems(QByteArray& encoded, const PropertyItems& items, QString* error,
                        QString* note) {
    InitExiv2Once();
    QByteArray result;
    const PropertyItem* profile = FindItem(items, kPropIccProfile);
    const Exiv2::ExifData withMakerNote = BuildExifData(items, true);
    const bool makerNote = HasMakerNote(withMakerNote);
    if (TryWrite(encoded, withMakerNote, profile, result) &&
        (!makerNote || WrittenMakerNoteReadsBack(result, withMakerNote))) {
        encoded = result;
        return true;
    }
    if (TryWrite(encoded, BuildExifData(items, false), profile, result)) {
        encoded = result;
        if (makerNote && note)
            *note = kMakerNoteLeftOut;
        return true;
    }
    if (error)
        *error = QStringLiteral("the metadata could not be written");
    return false;
}

QByteArray EncodeExifBlock(const PropertyItems& items, QString* note) {
    InitExiv2Once();
    bool leftOut = false;
    for (const bool withMakerNote : {true, false}) {
        try {
            const Exiv2::ExifData exif = BuildExifData(items, withMakerNote);
            if (exif.empty())
                return {};
            Exiv2::Blob blob;
            Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
            if (withMakerNote && HasMakerNote(exif) && !blob.empty() &&
                !BlockMakerNoteReadsBack(blob, exif)) {
                leftOut = true;
                continue;
            }
            if (leftOut && note)
                *note = kMakerNoteLeftOut;
            if (!blob.empty())
                return QByteArray(reinterpret_cast<const char*>(blob.data()),
                                  qsizetype(blob.size()));
        } catch (const std::exception&) {
        }
    }
    return {};
}

}  // namespace orm
