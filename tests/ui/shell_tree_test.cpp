#include "ui/shell_tree.h"

#include "files/file_clipboard.h"
#include "qt_test_home.h"
#include "settings/prompt.h"
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

namespace orm::gui {
namespace {

// The labels of the node's children, joined with "|" (readable in a failure).
std::string Labels(const ShellTreeModel& model, const QModelIndex& parent = {}) {
    QStringList labels;
    for (int row = 0; row < model.rowCount(parent); ++row)
        labels << model.index(row, 0, parent).data().toString();
    return labels.join('|').toStdString();
}

class ShellTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home = QDir::homePath();
        ASSERT_EQ(home, test::TestHome());
        pictures = home + "/Pictures";
        // Every test starts with the four user folders, empty.
        for (const char* folder : {"Pictures", "Desktop", "Documents", "Downloads"}) {
            QDir(home + "/" + folder).removeRecursively();
            ASSERT_TRUE(QDir(home).mkpath(folder));
        }
        // Made after the folders: the places are those that exist.
        tree = std::make_unique<CShellTree>();
        tree->SetPrompt(&prompt);
        tree->resize(400, 800);
    }
    void MakeFolders(const QStringList& paths) {
        for (const QString& path : paths) ASSERT_TRUE(QDir().mkpath(path)) << path.toStdString();
    }
    QModelIndex Node(const QString& path) {
        EXPECT_TRUE(tree->SelectPath(path)) << path.toStdString();
        return tree->currentIndex();
    }

    QString home, pictures;
    ScriptedPrompt prompt;
    std::unique_ptr<CShellTree> tree;
};

TEST_F(ShellTreeTest, PlacesComeFirstAndFoldersAreListedWhenOpened) {
    const ShellTreeModel& model = tree->Model();
    tree->UpdatePlaces();
    const std::string top = Labels(model);
    EXPECT_EQ(top.substr(0, 53), "Pictures|Desktop|Documents|Downloads|Home|File System");
    EXPECT_TRUE(top.ends_with("|Trash")) << top;
    EXPECT_TRUE(model.IsTrash(model.index(model.rowCount() - 1, 0)));

    MakeFolders({pictures + "/trip", pictures + "/B", pictures + "/c10", pictures + "/c9",
                 pictures + "/.thumbnails"});
    ASSERT_EQ(::symlink("trip", QFile::encodeName(pictures + "/link").constData()), 0);
    QFile(pictures + "/photo.jpg").open(QIODevice::WriteOnly);
    tree->show();  // shown: the tree lays its nodes out and lists a node as it opens
    QCoreApplication::processEvents();
    const QModelIndex node = model.index(0, 0);
    EXPECT_EQ(model.rowCount(node), 0);  // not listed before it is opened
    EXPECT_TRUE(model.hasChildren(node));
    tree->expand(node);
    // Names in a file manager's order; hidden folders and files left out, links to folders kept.
    EXPECT_EQ(Labels(model, node), "B|c9|c10|link|trip");

    // Listed again: gone folders leave, new ones come in order, the others stay as they were.
    QStandardItem* trip = tree->Model().itemFromIndex(model.index(4, 0, node));
    ASSERT_TRUE(QDir(pictures + "/B").removeRecursively());
    MakeFolders({pictures + "/d"});
    tree->Model().Fill(node);
    EXPECT_EQ(Labels(model, node), "c9|c10|d|link|trip");
    EXPECT_EQ(tree->Model().itemFromIndex(model.index(4, 0, node)), trip);
}

TEST_F(ShellTreeTest, TheSelectedFolderIsKeptAndRestoredElseTheStartFolderElsePictures) {
    QTemporaryDir settingsDir;
    QSettings backend(settingsDir.filePath("store.ini"), QSettings::IniFormat);
    SettingsStore store(backend);
    const QString day = pictures + "/2024/day 1";
    MakeFolders({day});
    QSignalSpy picked(tree.get(), &CShellTree::folderSelected);

    ASSERT_TRUE(tree->SelectPath(day + "/"));
    EXPECT_EQ(tree->SelectedPath(), day);
    EXPECT_EQ(picked.size(), 0);  // the program's choice is not handed over
    tree->SaveSelection(store);
    EXPECT_EQ(backend.value("SHELLTREE/PIDL").toString(), day);

    CShellTree restored;
    EXPECT_EQ(restored.SelectStartFolder(store, home + "/Documents"), day);

    ASSERT_TRUE(QDir(pictures + "/2024").removeRecursively());
    CShellTree fallback;
    EXPECT_EQ(fallback.SelectStartFolder(store, home + "/Documents"), home + "/Documents");
    EXPECT_EQ(fallback.SelectStartFolder(store, home + "/gone"), pictures);

    // The user's choice is handed over; the Trash gives no folder.
    tree->setCurrentIndex(tree->Model().index(0, 0));
    ASSERT_EQ(picked.size(), 1);
    EXPECT_EQ(picked[0][0].toString(), pictures);
    tree->setCurrentIndex(tree->Model().index(tree->Model().rowCount() - 1, 0));
    EXPECT_EQ(picked.size(), 1);
}

TEST_F(ShellTreeTest, AFolderRenamedInPlaceIsSelectedAgainUnderItsNewName) {
    MakeFolders({pictures + "/old/inner", pictures + "/other"});
    const QModelIndex old = Node(pictures + "/old");
    ASSERT_TRUE(tree->SelectPath(pictures + "/old/inner"));
    QSignalSpy picked(tree.get(), &CShellTree::folderSelected);
    EXPECT_FALSE(tree->Model().flags(tree->Model().index(0, 0)) & Qt::ItemIsEditable);  // a place
    ASSERT_TRUE(tree->Model().flags(old) & Qt::ItemIsEditable);

    // A name that is taken: nothing changes and the user is told.
    EXPECT_FALSE(tree->Model().setData(old, "other", Qt::EditRole));
    EXPECT_EQ(prompt.warnings.size(), 1);
    EXPECT_TRUE(QFileInfo::exists(pictures + "/old/inner"));

    ASSERT_TRUE(tree->Model().setData(old, "new", Qt::EditRole));
    QCoreApplication::processEvents();
    EXPECT_TRUE(QFileInfo::exists(pictures + "/new/inner"));
    EXPECT_EQ(Labels(tree->Model(), tree->Model().index(0, 0)), "new|other");
    EXPECT_EQ(tree->SelectedPath(), pictures + "/new/inner");
    ASSERT_EQ(picked.size(), 1);  // the browser follows
    EXPECT_EQ(picked[0][0].toString(), pictures + "/new/inner");
}

TEST_F(ShellTreeTest, DeleteMovesTheFolderToTheTrashAndSelectsItsNeighbour) {
    MakeFolders({pictures + "/a/photos", pictures + "/b"});
    Node(pictures + "/a");
    QSignalSpy picked(tree.get(), &CShellTree::folderSelected);
    ASSERT_TRUE(tree->DeleteSelectedFolder());
    const QString trash =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
    EXPECT_TRUE(QFileInfo::exists(trash + "/files/a/photos"));
    EXPECT_FALSE(QFileInfo::exists(pictures + "/a"));
    EXPECT_EQ(tree->SelectedPath(), pictures + "/b");
    ASSERT_EQ(picked.size(), 1);
    EXPECT_EQ(picked[0][0].toString(), pictures + "/b");
    // Places are not deleted.
    tree->setCurrentIndex(tree->Model().index(0, 0));
    EXPECT_FALSE(tree->DeleteSelectedFolder());
    EXPECT_TRUE(QFileInfo::exists(pictures));
}

TEST_F(ShellTreeTest, FilesDroppedOnAFolderMoveOrCopyAndOnTheTrashGoThere) {
    MakeFolders({pictures + "/target"});
    QTemporaryDir source;
    for (const char* name : {"moved.jpg", "copied.jpg", "trashed.jpg"}) {
        QFile file(source.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("picture");
    }
    tree->show();
    const QModelIndex target = Node(pictures + "/target");
    const QModelIndex trash = tree->Model().index(tree->Model().rowCount() - 1, 0);
    auto drop = [&](const QModelIndex& node, const char* name, Qt::KeyboardModifiers modifiers) {
        const auto data = MakeFilesMimeData({source.filePath(name)}, ClipboardAction::Copy);
        const QPointF at = tree->visualRect(node).center();
        // Qt hands moves and drops to the widget that took the drag's entry.
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, data.get(),
                              Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(tree->viewport(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction | Qt::MoveAction, data.get(),
                            Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(tree->viewport(), &move);
        EXPECT_TRUE(move.isAccepted());
        QDropEvent event(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                         modifiers);
        QCoreApplication::sendEvent(tree->viewport(), &event);
        QCoreApplication::processEvents();
        return event.dropAction();
    };
    // The same file system: moved; Ctrl: copied.
    EXPECT_EQ(drop(target, "moved.jpg", Qt::NoModifier), Qt::MoveAction);
    EXPECT_EQ(drop(target, "copied.jpg", Qt::ControlModifier), Qt::CopyAction);
    EXPECT_EQ(drop(trash, "trashed.jpg", Qt::NoModifier), Qt::MoveAction);
    EXPECT_EQ(QDir(pictures + "/target").entryList(QDir::Files),
              (QStringList{"copied.jpg", "moved.jpg"}));
    EXPECT_EQ(QDir(source.path()).entryList(QDir::Files), QStringList{"copied.jpg"});
    const QString trashFiles =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/files";
    EXPECT_TRUE(QFileInfo::exists(trashFiles + "/trashed.jpg"));
    EXPECT_TRUE(prompt.warnings.isEmpty());
}

}  // namespace
}  // namespace orm::gui
