// The named-entry dialog ("Save settings", "Load settings", batches), offscreen.

#include "ui/gadget_dlg.h"
#include "qt_test_home.h"
#include "settings/prompt.h"
#include "settings/settings_file.h"
#include "settings/storage_folder.h"
#include "ui/settings_commands.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

namespace orm {
namespace {

void ClearStorage() {
    QDir(StorageFolder(QString::fromLatin1(kSettingsSubfolder), false)).removeRecursively();
    QDir(StorageFolder(QString::fromLatin1(kBatchesSubfolder), false)).removeRecursively();
}

class NamedEntriesTest : public ::testing::Test {
  protected:
    void SetUp() override { ClearStorage(); }
    void TearDown() override { ClearStorage(); }

    static void Touch(const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
};

TEST_F(NamedEntriesTest, DialogSavesOverAnExistingEntryAfterYes) {
    const QString folder = StorageFolder("Settings");
    ASSERT_TRUE(SaveSettingsFile(folder + "web.mns", ResizeSettings()).ok());
    ScriptedPrompt prompt({true});
    CGadgetDlg dialog(prompt, "Save settings", "Settings", "mns", false, folder + "web.mns");
    EXPECT_EQ(dialog.windowTitle(), "Save settings");
    ASSERT_EQ(dialog.list()->count(), 1);
    EXPECT_EQ(dialog.nameEdit()->text(), "web");
    dialog.nameEdit()->setText("WEB");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(prompt.questions.size(), 1);
    EXPECT_EQ(dialog.path(), folder + "web.mns");
}

TEST_F(NamedEntriesTest, DialogDeleteAndMustExist) {
    const QString folder = StorageFolder("Settings");
    Touch(folder + "a.mns");
    Touch(folder + "b.mns");
    ScriptedPrompt prompt({true});
    CGadgetDlg dialog(prompt, "Load settings", "Settings", "mns", true);
    EXPECT_EQ(dialog.list()->count(), 2);
    dialog.list()->setCurrentRow(1);
    EXPECT_EQ(dialog.nameEdit()->text(), "b");
    dialog.deleteButton()->click();
    EXPECT_EQ(dialog.list()->count(), 1);
    EXPECT_FALSE(QFile::exists(folder + "b.mns"));
    dialog.nameEdit()->setText("b");
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(prompt.messages, QStringList({"No such name exists."}));
    EXPECT_TRUE(CanLoadSettings());  // "a" is still there
}

}  // namespace
}  // namespace orm
