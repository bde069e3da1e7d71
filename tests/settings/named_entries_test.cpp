#include "settings/gadget_dlg.h"
#include "settings/named_entries.h"
#include "settings/settings_commands.h"
#include "settings/settings_file.h"
#include "settings/storage_folder.h"
#include "test_environment.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

namespace orm {
namespace {

class NamedEntriesTest : public ::testing::Test {
protected:
    void SetUp() override { test::ClearStorage(); }
    void TearDown() override { test::ClearStorage(); }

    static void Touch(const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
};

TEST_F(NamedEntriesTest, OpeningCreatesTheFolderAndListsByExtensionIgnoringCase) {
    const QString folder = StorageFolder("Settings", false);
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_FALSE(HasSavedSettings());
    NamedEntryFolder entries("Settings", "MNS");
    entries.Open();
    EXPECT_TRUE(QDir(folder).exists());
    EXPECT_EQ(entries.folder(), folder);
    EXPECT_EQ(entries.extension(), "mns");
    EXPECT_TRUE(entries.names().isEmpty());

    for (const char* name : {"beta.mns", "Alpha.MNS", "gamma.Mns", "notes.txt", "plainmns", "delta.mns.bak"})
        Touch(folder + name);
    QDir(folder).mkdir("folder.mns");
    entries.Open();
    EXPECT_EQ(entries.names(), QStringList({"Alpha", "beta", "gamma"}));
    EXPECT_TRUE(HasSavedSettings());
    EXPECT_EQ(entries.IndexOf("ALPHA"), 0);
    EXPECT_EQ(entries.PathFor("alpha"), folder + "Alpha.MNS");  // the file that exists
    EXPECT_EQ(entries.PathFor("New One"), folder + "New One.mns");
}

TEST_F(NamedEntriesTest, InitialPathPreselectsItsTitle) {
    NamedEntryFolder entries("Batches", "mnb", true, "/somewhere/else/holiday.mnb");
    EXPECT_EQ(entries.initialName(), "holiday");
}

TEST_F(NamedEntriesTest, OkRulesForSavingAndLoading) {
    const QString folder = StorageFolder("Settings");
    Touch(folder + "mypreset.mns");
    NamedEntryFolder save("Settings", "mns", false);
    save.Open();
    ScriptedPrompt prompt({false, true});
    EXPECT_EQ(save.Confirm("", prompt), NamedEntryFolder::OkResult::Ignored);
    EXPECT_EQ(save.Confirm("fresh", prompt), NamedEntryFolder::OkResult::Accept);
    EXPECT_TRUE(prompt.questions.isEmpty());
    // The overwrite question is asked for a name that differs only in case.
    EXPECT_EQ(save.Confirm("MyPreset", prompt), NamedEntryFolder::OkResult::StayOpen);
    EXPECT_EQ(save.Confirm("MyPreset", prompt), NamedEntryFolder::OkResult::Accept);
    EXPECT_EQ(prompt.questions, QStringList(2, "This file already exists.\nOverwrite?"));
    EXPECT_EQ(save.PathFor("MyPreset"), folder + "mypreset.mns");  // replaces, not a twin file
    // Names that are not file names stay out of the folder.
    EXPECT_EQ(save.Confirm("../escape", prompt), NamedEntryFolder::OkResult::StayOpen);
    EXPECT_EQ(save.Confirm("..", prompt), NamedEntryFolder::OkResult::StayOpen);
    EXPECT_EQ(prompt.messages.size(), 2);

    NamedEntryFolder load("Settings", "mns", true);
    load.Open();
    ScriptedPrompt loadPrompt;
    EXPECT_EQ(load.Confirm("other", loadPrompt), NamedEntryFolder::OkResult::StayOpen);
    EXPECT_EQ(loadPrompt.messages, QStringList({"No such name exists."}));
    EXPECT_EQ(load.Confirm("MYPRESET", loadPrompt), NamedEntryFolder::OkResult::Accept);
    EXPECT_TRUE(loadPrompt.questions.isEmpty());
}

TEST_F(NamedEntriesTest, DeleteAsksFirst) {
    const QString folder = StorageFolder("Settings");
    Touch(folder + "old.mns");
    NamedEntryFolder entries("Settings", "mns");
    entries.Open();
    ScriptedPrompt prompt({false, true});
    EXPECT_EQ(entries.Delete("unknown", prompt), NamedEntryFolder::DeleteResult::NotListed);
    EXPECT_EQ(entries.Delete("OLD", prompt), NamedEntryFolder::DeleteResult::Declined);
    EXPECT_TRUE(QFile::exists(folder + "old.mns"));
    EXPECT_EQ(entries.Delete("OLD", prompt), NamedEntryFolder::DeleteResult::Deleted);
    EXPECT_FALSE(QFile::exists(folder + "old.mns"));
    EXPECT_TRUE(entries.names().isEmpty());
    EXPECT_EQ(prompt.questions, QStringList(2, "Delete this entry?"));
}

TEST_F(NamedEntriesTest, DialogSavesOverAnExistingEntryAfterYes) {
    const QString folder = StorageFolder("Settings");
    ASSERT_TRUE(SaveSettingsFile(folder + "web.mns", ResizeSettings()).ok());
    ScriptedPrompt prompt({true});
    ScopedPrompt scoped(prompt);
    CGadgetDlg dialog("Save settings", "Settings", "mns", false, folder + "web.mns");
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
    ScopedPrompt scoped(prompt);
    CGadgetDlg dialog("Load settings", "Settings", "mns", true);
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

namespace orm {
namespace {

TEST(Prompt, ScopedPromptInstallsAndRestores) {
    // A widget application shows message boxes unless a prompt is installed.
    IPrompt& initial = CurrentPrompt();
    EXPECT_NE(dynamic_cast<MessageBoxPrompt*>(&initial), nullptr);
    ScriptedPrompt outer({true});
    {
        ScopedPrompt a(outer);
        ScriptedPrompt inner;
        {
            ScopedPrompt b(inner);
            EXPECT_FALSE(CurrentPrompt().AskYesNo("inner?"));  // script used up: No
        }
        EXPECT_TRUE(CurrentPrompt().AskYesNo("outer?"));
        CurrentPrompt().Message("done");
        EXPECT_EQ(inner.questions, QStringList({"inner?"}));
    }
    EXPECT_EQ(outer.questions, QStringList({"outer?"}));
    EXPECT_EQ(outer.messages, QStringList({"done"}));
    EXPECT_EQ(&CurrentPrompt(), &initial);
}

}  // namespace
}  // namespace orm
