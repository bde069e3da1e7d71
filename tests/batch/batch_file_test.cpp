// Batch files: the exact layout, the archive string encoding, and refusal of foreign or damaged
// bytes without touching the list.

#include "test_environment.h"

#include "batch/batch_file.h"
#include "batch/batch_list.h"
#include "settings/archive_coding.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace orm {
namespace {

std::span<const uint8_t> Span(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size())};
}

BatchEntry Entry(const QString& path, int w, int h, float dpi = 300, int algorithm = 4,
                 int correction = 0) {
    BatchEntry e;
    e.path = path;
    e.width = w;
    e.height = h;
    e.dpi = dpi;
    e.algorithm = ResizeAlgorithm(algorithm);
    e.correction = correction;
    return e;
}

TEST(BatchFile, OneEntryWithATenCharacterPathIs94BytesLaidOutField) {
    const QByteArray bytes = EncodeBatchFile({Entry("/pics/a.jp", 640, 480, 72.5f, 6, 1)});
    ASSERT_EQ(bytes.size(), 94);
    // Header: UTF-16LE text, no terminator.
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), 23),
              QStringLiteral("ORVEN Mensura 2.0 Batch"));
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.constData());
    EXPECT_EQ(b[46], 1);  // count
    EXPECT_EQ(b[47] | b[48] | b[49], 0);
    EXPECT_EQ(b[50], 0xFF);  // UTF-16 marker 0xFF 0xFFFE, then the length 10
    EXPECT_EQ(b[51], 0xFE);
    EXPECT_EQ(b[52], 0xFF);
    EXPECT_EQ(b[53], 10);
    EXPECT_EQ(b[54], '/');
    EXPECT_EQ(b[55], 0);
    EXPECT_EQ(b[74] | (b[75] << 8), 640);
    EXPECT_EQ(b[78] | (b[79] << 8), 480);
    float dpi = 0;
    std::memcpy(&dpi, b + 82, 4);
    EXPECT_EQ(dpi, 72.5f);
    EXPECT_EQ(b[86], 6);
    EXPECT_EQ(b[90], 1);
}

TEST(BatchFile, RoundTripKeepsEveryFieldAndLongPaths) {
    std::vector<BatchEntry> entries = {Entry("/a/b.jpg", 3, 100000, 1.0f, 0, 2),
                                       Entry(QString(300, QChar(0x00E9)), 800, 600, 299.5f, 7, 1),
                                       Entry(QString(70000, QChar('x')), 0, 0, 96, 5, 0),
                                       Entry("", 10, 10)};
    const QByteArray bytes = EncodeBatchFile(entries);
    // 300 characters take the 0xFF + WORD length; 70000 the 0xFF 0xFFFF + DWORD one.
    const BatchFileResult r = DecodeBatchFile(Span(bytes));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.entries, entries);
}

TEST(BatchFile, ForeignAndDamagedBytesAreRefused) {
    const QByteArray good =
        EncodeBatchFile({Entry("/p/one.png", 10, 20), Entry("/p/two.png", 30, 40)});
    EXPECT_EQ(DecodeBatchFile({}).status, BatchFileStatus::WrongFile);
    QByteArray foreign = good;
    foreign[2] = 'X';
    const BatchFileResult wrong = DecodeBatchFile(Span(foreign));
    EXPECT_EQ(wrong.status, BatchFileStatus::WrongFile);
    EXPECT_EQ(wrong.message, QStringLiteral("Wrong file!"));
    // Every cut inside the records is damage, never a partial list.
    for (qsizetype n = 46; n < good.size(); ++n) {
        const BatchFileResult r = DecodeBatchFile(Span(good.left(n)));
        EXPECT_EQ(r.status, BatchFileStatus::Damaged) << n;
        EXPECT_TRUE(r.entries.empty());
    }
    // A count that the bytes cannot hold, and a negative one.
    for (uint32_t count : {0x7FFFFFFFu, 0xFFFFFFFFu, 3u}) {
        QByteArray bad = good;
        std::memcpy(bad.data() + 46, &count, 4);
        EXPECT_EQ(DecodeBatchFile(Span(bad)).status, BatchFileStatus::Damaged) << count;
    }
}

// "Align pixel centres" travels with each entry in a flags block after the records, written only
// when an entry has it: other files keep the documented layout, and the records of a file that
// has it read the same without the block.
TEST(BatchFile, CentredEntriesKeepTheirFlagAfterTheRecords) {
    std::vector<BatchEntry> entries = {Entry("/p/a.png", 10, 20, 300, 6),
                                       Entry("/p/b.png", 30, 40, 96, 5)};
    const QByteArray plain = EncodeBatchFile(entries);
    entries[1].centred = 1;
    const QByteArray flagged = EncodeBatchFile(entries);
    ASSERT_EQ(flagged.size(), plain.size() + 4 + 4 + 2 * 4);
    EXPECT_EQ(flagged.left(plain.size()), plain);
    EXPECT_EQ(flagged.mid(plain.size(), 4), QByteArray("ORMX"));

    BatchFileResult r = DecodeBatchFile(Span(flagged));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.entries, entries);
    r = DecodeBatchFile(Span(plain));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.entries[1].centred, 0);

    // Bytes after the records that are not the block are ignored, as they always were; a block
    // cut short, or counting other entries, is damage.
    EXPECT_TRUE(DecodeBatchFile(Span(plain + QByteArray("junk!"))).ok());
    for (qsizetype n = plain.size() + 4; n < flagged.size(); ++n)
        EXPECT_EQ(DecodeBatchFile(Span(flagged.left(n))).status, BatchFileStatus::Damaged) << n;
    QByteArray miscounted = flagged;
    miscounted[plain.size() + 4] = 3;
    EXPECT_EQ(DecodeBatchFile(Span(miscounted)).status, BatchFileStatus::Damaged);
    // Unknown flag bits are dropped.
    QByteArray extra = flagged;
    extra[flagged.size() - 4] = char(0x06);
    r = DecodeBatchFile(Span(extra));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.entries[1].centred, 0);
}

TEST(BatchFile, ValuesOutOfRangeAreBroughtIntoRange) {
    const QByteArray bytes = EncodeBatchFile(
        {Entry("/x.jpg", -5, 200000, std::numeric_limits<float>::quiet_NaN(), 9, -1)});
    const BatchFileResult r = DecodeBatchFile(Span(bytes));
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].width, 0);
    EXPECT_EQ(r.entries[0].height, 0);
    EXPECT_EQ(r.entries[0].dpi, 300.0f);
    EXPECT_EQ(r.entries[0].algorithm, ResizeAlgorithm(4));
    EXPECT_EQ(r.entries[0].correction, 0);
}

TEST(ArchiveCoding, ReadsEightBitStringsAndCounts) {
    // Without the UTF-16 marker the characters are 8-bit.
    const uint8_t narrow[] = {3, 'a', 'b', 'c', 0xFF, 0x05, 0x00, 'h', 'e', 'l', 'l', 'o'};
    ArchiveReader r(narrow);
    QString s;
    ASSERT_TRUE(r.ReadString(s));
    EXPECT_EQ(s, QStringLiteral("abc"));
    ASSERT_TRUE(r.ReadString(s));
    EXPECT_EQ(s, QStringLiteral("hello"));
    EXPECT_TRUE(r.AtEnd());
    ArchiveWriter w;
    w.WriteCount(5);
    w.WriteCount(0x12345);
    ASSERT_EQ(w.bytes().size(), 2 + 6);
    ArchiveReader c(Span(w.bytes()));
    uint32_t v = 0;
    ASSERT_TRUE(c.ReadCount(v));
    EXPECT_EQ(v, 5u);
    ASSERT_TRUE(c.ReadCount(v));
    EXPECT_EQ(v, 0x12345u);
    // A length beyond the bytes fails without reading.
    const uint8_t shortString[] = {0xFF, 0xFE, 0xFF, 0x10, 'a', 0};
    ArchiveReader t(shortString);
    EXPECT_FALSE(t.ReadString(s));
}

class BatchListFiles : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(BatchListFiles, LoadingDropsEntriesWhoseFileIsGone) {
    test::WriteImage(Path("a.png"), 20, 10);
    test::WriteImage(Path("b.png"), 20, 10);
    BatchList list;
    list.ReplaceWithPaths({Path("a.png"), Path("b.png")}, ResizeSettings{}, false);
    ASSERT_EQ(list.count(), 2);
    list.at(0).width = 111;
    ASSERT_TRUE(list.Save(Path("list.mnb")).ok());
    ASSERT_TRUE(QFile::remove(Path("b.png")));
    BatchList loaded;
    const BatchFileResult r = loaded.Load(Path("list.mnb"));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.entries.size(), 2u);
    ASSERT_EQ(loaded.count(), 1);
    EXPECT_EQ(loaded.at(0).path, Path("a.png"));
    EXPECT_EQ(loaded.at(0).width, 111);
}

TEST_F(BatchListFiles, AWrongOrDamagedFileLeavesTheListAsItWas) {
    test::WriteImage(Path("a.png"), 20, 10);
    BatchList list;
    list.ReplaceWithPaths({Path("a.png")}, ResizeSettings{}, false);
    const BatchEntry before = list.at(0);
    test::WriteImage(Path("not_a_batch.png"), 4, 4);
    const BatchFileResult wrong = list.Load(Path("not_a_batch.png"));
    EXPECT_EQ(wrong.status, BatchFileStatus::WrongFile);
    EXPECT_EQ(wrong.message, QStringLiteral("Wrong file!"));
    QByteArray cut = EncodeBatchFile({Entry(Path("a.png"), 5, 5), Entry(Path("a.png"), 6, 6)});
    cut.chop(3);
    QFile f(Path("cut.mnb"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(cut);
    f.close();
    EXPECT_EQ(list.Load(Path("cut.mnb")).status, BatchFileStatus::Damaged);
    EXPECT_EQ(list.Load(Path("missing.mnb")).status, BatchFileStatus::IoError);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.at(0), before);
}

TEST_F(BatchListFiles, AFailedSaveLeavesTheOldFile) {
    BatchList one;
    one.ReplaceWithPaths({Path("list.mnb")}, ResizeSettings{}, false);
    ASSERT_TRUE(one.Save(Path("list.mnb")).ok());
    const QByteArray before = test::FileBytes(Path("list.mnb"));
    // A folder in the place of the file cannot be replaced; a missing folder cannot be written.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.mnb"));
    EXPECT_EQ(one.Save(Path("taken.mnb")).status, BatchFileStatus::IoError);
    EXPECT_EQ(one.Save(Path("nowhere/list.mnb")).status, BatchFileStatus::IoError);
    EXPECT_EQ(test::FileBytes(Path("list.mnb")), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"list.mnb"});
}

TEST_F(BatchListFiles, NamedBatchesLiveInTheBatchesFolder) {
    test::WriteImage(Path("a.png"), 20, 10);
    BatchList list;
    list.ReplaceWithPaths({Path("a.png")}, ResizeSettings{}, false);
    ASSERT_TRUE(list.SaveNamed("Holiday").ok());
    const QString file = NamedBatchPath("holiday");
    EXPECT_TRUE(file.startsWith(test::TestHome())) << file.toStdString();
    EXPECT_TRUE(file.endsWith("/ORVEN Mensura/Batches/Holiday.mnb")) << file.toStdString();
    BatchList loaded;
    EXPECT_TRUE(loaded.LoadNamed("HOLIDAY").ok());
    EXPECT_EQ(loaded.count(), 1);
    EXPECT_EQ(loaded.LoadNamed("Other").status, BatchFileStatus::NoSuchName);
}

}  // namespace
}  // namespace orm
