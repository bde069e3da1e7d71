#include "settings/named_entries.h"
#include "settings/settings_file.h"
#include "settings/settings_model.h"
#include "settings/storage_folder.h"
#include "test_environment.h"

#include <QDir>
#include <QFile>

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

    for (const char* name :
         {"beta.mns", "Alpha.MNS", "gamma.Mns", "notes.txt", "plainmns", "delta.mns.bak"})
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

}  // namespace
}  // namespace orm

namespace orm {
namespace {

TEST(Prompt, TheModelsPromptIsTheOneSetElseTheConsole) {
    SettingsModel model;
    EXPECT_NE(dynamic_cast<ConsolePrompt*>(&model.Prompt()), nullptr);
    ScriptedPrompt script({true});
    model.SetPrompt(&script);
    EXPECT_TRUE(model.Prompt().AskYesNo("first?"));
    EXPECT_FALSE(model.Prompt().AskYesNo("second?"));  // script used up: No
    model.Prompt().Message("done");
    EXPECT_EQ(script.questions, QStringList({"first?", "second?"}));
    EXPECT_EQ(script.messages, QStringList({"done"}));
    model.SetPrompt(nullptr);
    EXPECT_NE(dynamic_cast<ConsolePrompt*>(&model.Prompt()), nullptr);
}

}  // namespace
}  // namespace orm
