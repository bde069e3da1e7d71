// The window's side: files dropped or pasted from a file manager, the help page found in the
// build tree and in the installed tree, and stepping through a folder with the long spellings.

#include "document/cormensura_doc.h"
#include "document/folder_navigation.h"
#include "frame/dropped_files.h"
#include "frame/frame_layout.h"
#include "frame/toolbar_sets.h"
#include "settings/prompt.h"
#include "settings/settings_model.h"
#include "ui/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace orm::gui {
namespace {

class Dropping : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        settings.SetPrompt(&prompt);
    }

    QString Image(const QString& name) {
        const QString path = dir.filePath(name);
        QImage image(12, 8, QImage::Format_RGB32);
        image.fill(qRgb(10, 200, 30));
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    QTemporaryDir dir;
    ScriptedPrompt prompt;
    SettingsModel settings;
};

TEST_F(Dropping, ImageFilesOfAUriListInOrderOnce) {
    const QString a = Image("a.jpeg"), b = Image("b b.PNG");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(dir.filePath("notes.txt")),
                  QUrl("https://example.org/c.jpg"), QUrl::fromLocalFile(b),
                  QUrl::fromLocalFile(a)});
    EXPECT_EQ(DroppedImageFiles(&data), (QStringList{a, b}));

    // The list as a file manager writes it: CR LF line ends, a comment, percent-encoding.
    QMimeData raw;
    raw.setData("text/uri-list",
                "# from a file manager\r\n" + QUrl::fromLocalFile(b).toEncoded() + "\r\n");
    EXPECT_EQ(DroppedImageFiles(&raw), QStringList{b});

    QMimeData text;
    text.setText(a);
    EXPECT_TRUE(DroppedImageFiles(&text).isEmpty());
    EXPECT_TRUE(DroppedImageFiles(nullptr).isEmpty());
}

TEST_F(Dropping, FilesCopiedInGnomesFileManager) {
    const QString a = Image("a.tif"), b = Image("b.webp");
    QMimeData data;
    data.setData("x-special/gnome-copied-files", "copy\n" + QUrl::fromLocalFile(a).toEncoded() +
                                                     "\n" + QUrl::fromLocalFile(b).toEncoded());
    EXPECT_EQ(DroppedImageFiles(&data), (QStringList{a, b}));
}

TEST_F(Dropping, OneDroppedOrPastedImageOpensAndSeveralBecomeTheBatch) {
    const QString first = Image("first.jpg"), second = Image("second.png");
    CMainFrame frame(settings, nullptr);
    frame.show();

    // A drag carrying only a text file is refused.
    QMimeData notes;
    notes.setUrls({QUrl::fromLocalFile(dir.filePath("notes.txt"))});
    QDragEnterEvent refused(QPoint(20, 20), Qt::CopyAction, &notes, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &refused);
    EXPECT_FALSE(refused.isAccepted());

    // Ctrl+V with one file copied in a file manager opens it.
    auto* copied = new QMimeData;
    copied->setUrls({QUrl::fromLocalFile(second)});
    QGuiApplication::clipboard()->setMimeData(copied);
    frame.Action(kCmdPaste)->trigger();
    EXPECT_EQ(frame.Document()->CurrentPath(), second);
    EXPECT_EQ(frame.Action(kCmdPaste)->shortcut(), QKeySequence(QKeySequence::Paste));
    // Nothing pasteable: the document stays.
    QGuiApplication::clipboard()->setText("just text");
    frame.Action(kCmdPaste)->trigger();
    EXPECT_EQ(frame.Document()->CurrentPath(), second);

    // Two images dropped: they become the batch list and batch mode comes on.
    QMimeData images;
    images.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &images, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &images, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);  // the files stay where they are
    QApplication::processEvents();
    EXPECT_TRUE(settings.BatchMode());
    ASSERT_EQ(frame.BatchEntries().count(), 2);
    EXPECT_EQ(frame.BatchEntries().at(0).path, first);
    EXPECT_TRUE(QFile::exists(first));
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('\n').toStdString();
}

TEST(ProgramFiles, HelpPageBesideTheProgramOrInTheInstalledTree) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto touch = [](const QString& path) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    };
    // Installed: <prefix>/bin/ormensura and <prefix>/share/ormensura/ormensura.html.
    const QString prefix = dir.path() + "/prefix";
    touch(prefix + "/share/ormensura/ormensura.html");
    EXPECT_EQ(HelpFilePath(prefix + "/bin/ormensura"), prefix + "/share/ormensura/ormensura.html");
    // The build tree: the page beside the program wins.
    touch(prefix + "/bin/ormensura.html");
    EXPECT_EQ(HelpFilePath(prefix + "/bin/ormensura"), prefix + "/bin/ormensura.html");
    // Neither: the place beside the program (named in the message).
    EXPECT_EQ(HelpFilePath(dir.path() + "/elsewhere/ormensura"),
              dir.path() + "/elsewhere/ormensura.html");
}

TEST(ExtensionRules, NextAndPreviousVisitTheLongSpellingsAndSkipGif) {
    const QStringList listing{"a.jpeg", "b.gif", "c.TIFF", "d.txt", "e.webp", "f.JPE", "g.tif.bak"};
    auto next = [&](const QString& from) {
        return FindNeighbourName(listing, from, {}, StepDirection::Next);
    };
    EXPECT_EQ(next("a.jpeg"), QString("c.TIFF"));
    EXPECT_EQ(next("c.TIFF"), QString("e.webp"));
    EXPECT_EQ(next("e.webp"), QString("f.JPE"));
    EXPECT_EQ(next("f.JPE"), QString("a.jpeg"));
    EXPECT_EQ(FindNeighbourName(listing, "a.jpeg", {}, StepDirection::Previous), QString("f.JPE"));
}

}  // namespace
}  // namespace orm::gui
