// The panel with its real widgets, offscreen: typing, focus, lists, spins, batch mode, the preset
// menus and the settings files.

#include "ui/resize_dlg_bar.h"
#include "settings/prompt.h"
#include "settings/settings_file.h"
#include "settings/storage_folder.h"
#include "ui/gadget_dlg.h"
#include "ui/panel_spin_edit.h"

#include "qt_test_home.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <gtest/gtest.h>

namespace orm {
namespace {

SourceImageInfo Image(int w, int h, double dpi = 300, int bits = 24) {
    SourceImageInfo src;
    src.present = true;
    src.width = w;
    src.height = h;
    src.bitsPerPixel = bits;
    src.horizontalDpi = dpi;
    return src;
}

QAction* FindAction(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    ADD_FAILURE() << "no menu item " << text.toStdString();
    return nullptr;
}

class ResizeDlgBarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QDir(SettingsFolder(false)).removeRecursively();
        panel = std::make_unique<CResizeDlgBar>(settings);
        spy = std::make_unique<QSignalSpy>(panel.get(), &CResizeDlgBar::settingsChanged);
    }
    void TearDown() override {
        spy.reset();
        panel.reset();
    }

    // Shows the panel and makes it the active window, so focus moves as it does for a user.
    void ShowActive() {
        panel->show();
        panel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    }
    QLineEdit* Edit(PanelField f) const { return panel->field(f)->edit(); }
    QString Text(PanelField f) const { return Edit(f)->text(); }

    SettingsModel settings;
    const ResizeSettings& s = settings.Resize();
    std::unique_ptr<CResizeDlgBar> panel;
    std::unique_ptr<QSignalSpy> spy;
};

TEST_F(ResizeDlgBarTest, InvalidWidthIsIgnoredAndRestoredWhenFocusLeaves) {
    panel->UpdateFromDocument(Image(4000, 3000), QStringLiteral("a.jpg"), 1000);
    ShowActive();
    QLineEdit* width = Edit(PanelField::Width);
    panel->field(PanelField::Width)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->field(PanelField::Width)->hasFocus(); }));
    // Pasting "12a" over the whole field.
    width->selectAll();
    width->insert(QStringLiteral("12a"));
    EXPECT_EQ(width->text(), QStringLiteral("12a"));
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);
    EXPECT_EQ(spy->count(), 0);

    // Typing a letter after a valid width changes nothing either.
    width->setText(QStringLiteral("640"));
    QTest::keyClick(width, Qt::Key_End);
    QTest::keyClicks(width, QStringLiteral("a"));
    EXPECT_EQ(width->text(), QStringLiteral("640a"));
    EXPECT_EQ(s.width, 640);

    panel->field(PanelField::Height)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->field(PanelField::Height)->hasFocus(); }));
    EXPECT_EQ(width->text(), QStringLiteral("640"));
}

TEST_F(ResizeDlgBarTest, TypingAWidthKeepsTheAspectAndAnnouncesTheChange) {
    panel->UpdateFromDocument(Image(4000, 3000), QStringLiteral("a.jpg"), 1000);
    ShowActive();
    EXPECT_EQ(Text(PanelField::Width), QStringLiteral("640"));
    QLineEdit* width = Edit(PanelField::Width);
    width->selectAll();
    QTest::keyClicks(width, QStringLiteral("1000"));
    EXPECT_EQ(s.width, 1000);
    EXPECT_EQ(s.height, 750);
    EXPECT_EQ(Text(PanelField::Height), QStringLiteral("750"));
    EXPECT_EQ(Text(PanelField::PrintWidth), QStringLiteral("3.3333"));
    EXPECT_EQ(panel->outputRawLabel()->text(), QStringLiteral("Raw size: 2.1MB"));
    // "1" is below 3 and ignored; 10, 100 and 1000 are taken.
    EXPECT_EQ(spy->count(), 3);
}

TEST_F(ResizeDlgBarTest, TypingAResolutionScalesThePixelSizeOnceAndKeepsTheText) {
    ShowActive();
    panel->SetBatchMode(true);  // fields are editable without an image
    QLineEdit* resolution = Edit(PanelField::Resolution);
    panel->field(PanelField::Resolution)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->field(PanelField::Resolution)->hasFocus(); }));
    resolution->selectAll();
    QTest::keyClicks(resolution, QStringLiteral("150"));
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 240);
    EXPECT_EQ(Text(PanelField::Width), QStringLiteral("320"));
    QTest::keyClicks(resolution, QStringLiteral("x"));
    panel->field(PanelField::Width)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->field(PanelField::Width)->hasFocus(); }));
    EXPECT_EQ(resolution->text(), QStringLiteral("150x"))
        << "the resolution field is not rewritten";
    EXPECT_FLOAT_EQ(s.dpi, 150);
}

TEST_F(ResizeDlgBarTest, SwitchingPixelsToPercentShows25) {
    settings.EditResize([&](ResizeSettings& r) { r.correction = int32_t(CorrectionMode::None); });
    settings.EditResize([&](ResizeSettings& r) { r.width = 500; });
    panel->UpdateFromDocument(Image(2000, 1500), QStringLiteral("a.jpg"), 1000);
    EXPECT_EQ(Text(PanelField::Width), QStringLiteral("500"));
    panel->unitsModeList()->setCurrentIndex(1);
    EXPECT_EQ(s.inPercent, 1);
    EXPECT_EQ(Text(PanelField::Width), QStringLiteral("25"));
    EXPECT_EQ(Text(PanelField::Height), QStringLiteral("32"));
    EXPECT_EQ(s.width, 500);
}

TEST_F(ResizeDlgBarTest, LongEdgeAndNeverEnlargeAreControlsOfTheRecord) {
    ASSERT_EQ(panel->unitsModeList()->count(), 3);
    EXPECT_EQ(panel->unitsModeList()->itemText(2), QStringLiteral("Long edge"));
    settings.EditResize([&](ResizeSettings& r) { r.width = 1200; });
    settings.EditResize([&](ResizeSettings& r) { r.height = 900; });
    panel->UpdateFromDocument(Image(3000, 4000), QStringLiteral("a.jpg"), 1000);
    panel->unitsModeList()->setCurrentIndex(2);
    EXPECT_EQ(s.longEdge, 1);
    EXPECT_EQ(Text(PanelField::Width), QStringLiteral("900"));
    EXPECT_EQ(Text(PanelField::Height), QStringLiteral("1200"));
    EXPECT_EQ(spy->count(), 1);

    panel->noEnlargeCheck()->setChecked(true);
    EXPECT_EQ(s.noEnlarge, 1);
    EXPECT_EQ(spy->count(), 2);
    // A record changed elsewhere (a loaded settings store) shows in both controls.
    settings.EditResize([&](ResizeSettings& r) { r.noEnlarge = 0; });
    settings.EditResize([&](ResizeSettings& r) { r.longEdge = 0; });
    panel->UpdateFromDocument(Image(3000, 4000), QStringLiteral("a.jpg"), 1000);
    EXPECT_FALSE(panel->noEnlargeCheck()->isChecked());
    EXPECT_EQ(panel->unitsModeList()->currentIndex(), 0);
    EXPECT_EQ(spy->count(), 2);
}

TEST_F(ResizeDlgBarTest, AlignPixelCentresIsAControlOfTheRecord) {
    panel->UpdateFromDocument(Image(3000, 4000), QStringLiteral("a.jpg"), 1000);
    EXPECT_EQ(panel->centredCheck()->text(), QStringLiteral("Align pixel &centres"));
    EXPECT_FALSE(panel->centredCheck()->isChecked());
    panel->centredCheck()->setChecked(true);
    EXPECT_EQ(s.centred, 1);
    EXPECT_EQ(spy->count(), 1);
    // A record changed elsewhere (an entry clicked in batch mode, loaded settings) shows.
    settings.EditResize([&](ResizeSettings& r) { r.centred = 0; });
    panel->UpdateFromDocument(Image(3000, 4000), QStringLiteral("a.jpg"), 1000);
    EXPECT_FALSE(panel->centredCheck()->isChecked());
    EXPECT_EQ(spy->count(), 1);
}

TEST_F(ResizeDlgBarTest, KeepAspectInPercentCopiesTheTypedPercent) {
    settings.EditResize([&](ResizeSettings& r) { r.inPercent = 1; });
    panel->UpdateFromDocument(Image(4000, 3000), QStringLiteral("a.jpg"), 1000);
    ShowActive();
    QLineEdit* width = Edit(PanelField::Width);
    width->selectAll();
    QTest::keyClicks(width, QStringLiteral("50"));
    EXPECT_EQ(Text(PanelField::Height), QStringLiteral("50"));
    EXPECT_EQ(s.width, 2000);
    EXPECT_EQ(s.height, 1500);
    // Percent mode names the pixel size the percents give.
    auto* result = panel->findChild<QLabel*>(QStringLiteral("percentResult"));
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->text(), QStringLiteral("= 2000x1500 pixels"));
    EXPECT_TRUE(result->isVisible());

    // Without Keep aspect the other percentage stays.
    panel->correctionList()->setCurrentIndex(int(CorrectionMode::None));
    width->selectAll();
    QTest::keyClicks(width, QStringLiteral("10"));
    EXPECT_EQ(Text(PanelField::Height), QStringLiteral("50"));
    EXPECT_EQ(s.width, 400);
    EXPECT_EQ(s.height, 1500);
    EXPECT_EQ(result->text(), QStringLiteral("= 400x1500 pixels"));
    panel->unitsModeList()->setCurrentIndex(0);
    EXPECT_FALSE(result->isVisible());
}

TEST_F(ResizeDlgBarTest, UnitChangesWithoutAnImageAreIgnored) {
    panel->UpdateFromDocument(SourceImageInfo{}, {}, 0);
    panel->sizeUnitList()->setCurrentIndex(int(SizeUnit::Millimeters));
    panel->resolutionUnitList()->setCurrentIndex(int(ResolutionUnit::DotsPerCm));
    EXPECT_EQ(s.sizeUnit, 0);
    EXPECT_EQ(s.resolutionUnit, 0);
    EXPECT_EQ(panel->sizeUnitList()->currentIndex(), 0) << "the list shows the unit in use";
    EXPECT_EQ(panel->resolutionUnitList()->currentIndex(), 0);
    EXPECT_EQ(panel->printUnitLabel(Dimension::Width)->text(), QStringLiteral("in"));
    EXPECT_EQ(spy->count(), 0);

    // With an image the units are taken over and every field is shown in them.
    settings.EditResize([&](ResizeSettings& r) { r.width = 3000; });
    settings.EditResize([&](ResizeSettings& r) { r.height = 2000; });
    panel->UpdateFromDocument(Image(3000, 2000), QStringLiteral("a.jpg"), 1000);
    panel->sizeUnitList()->setCurrentIndex(int(SizeUnit::Millimeters));
    EXPECT_EQ(s.sizeUnit, int(SizeUnit::Millimeters));
    EXPECT_EQ(panel->printUnitLabel(Dimension::Height)->text(), QStringLiteral("mm"));
    EXPECT_EQ(Text(PanelField::PrintWidth), QStringLiteral("254"));
    EXPECT_EQ(panel->sourcePrintLabel()->text(), QStringLiteral("254.00x169.33 mm"));
    panel->resolutionUnitList()->setCurrentIndex(int(ResolutionUnit::DotsPerCm));
    EXPECT_EQ(Text(PanelField::Resolution), QStringLiteral("118.11"));
    EXPECT_EQ(panel->resolutionUnitLabel()->text(), QStringLiteral("dots per cm"));
    EXPECT_EQ(panel->sourceResolutionLabel()->text(), QStringLiteral("118.11 dots per cm"));
}

TEST_F(ResizeDlgBarTest, HeldSpinCountsUpAndRecomputesOnlyAfterRelease) {
    settings.EditResize([&](ResizeSettings& r) { r.correction = int32_t(CorrectionMode::None); });
    panel->UpdateFromDocument(Image(4000, 3000), QStringLiteral("a.jpg"), 1000);
    ShowActive();
    CPanelSpinEdit* spin = panel->field(PanelField::Width);
    spin->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return spin->hasFocus(); }));
    QTest::keyPress(spin, Qt::Key_Up);
    QTest::keyEvent(QTest::Press, spin, Qt::Key_Up, Qt::NoModifier, -1);  // auto-repeat style
    EXPECT_EQ(Text(PanelField::Width), QStringLiteral("642"));
    EXPECT_EQ(s.width, 640) << "the model gets the size when the steps end";
    EXPECT_TRUE(panel->spinPending());
    panel->OnTimerTick();  // the key is still down
    EXPECT_EQ(spy->count(), 0);
    QTest::keyRelease(spin, Qt::Key_Up);
    EXPECT_FALSE(panel->spinPending());
    EXPECT_EQ(s.width, 642);
    EXPECT_EQ(spy->count(), 1);
    EXPECT_EQ(panel->outputRawLabel()->text(), QStringLiteral("Raw size: 902.8KB"));

    // A wheel-like step without an end: the timer recomputes once nothing is held.
    spin->stepBy(-1);
    EXPECT_EQ(Text(PanelField::Width), QStringLiteral("641"));
    EXPECT_EQ(spy->count(), 1);
    panel->OnTimerTick();
    EXPECT_EQ(s.width, 641);
    EXPECT_EQ(spy->count(), 2);
    panel->OnTimerTick();
    EXPECT_EQ(spy->count(), 2);
}

TEST_F(ResizeDlgBarTest, BatchModeSwitchesTheCheckBoxAndShowsApplyToAll) {
    settings.EditResize([&](ResizeSettings& r) { r.lockSettings = 0; });
    settings.EditResize([&](ResizeSettings& r) { r.applyToAll = 1; });
    EXPECT_EQ(panel->lockCheck()->text(), QStringLiteral("&Lock settings"));
    EXPECT_TRUE(panel->applyToAllButton()->isHidden());
    EXPECT_FALSE(panel->lockCheck()->isChecked());
    EXPECT_FALSE(panel->field(PanelField::Width)->isEnabled());

    panel->SetBatchMode(true);
    EXPECT_EQ(panel->lockCheck()->text(), QStringLiteral("Apply to &new"));
    EXPECT_FALSE(panel->applyToAllButton()->isHidden());
    EXPECT_TRUE(panel->lockCheck()->isChecked());
    EXPECT_TRUE(panel->field(PanelField::Width)->isEnabled())
        << "batch mode edits without an image";
    EXPECT_TRUE(panel->paperButton()->isEnabled());
    QSignalSpy apply(panel.get(), &CResizeDlgBar::applyToAllRequested);
    panel->applyToAllButton()->click();
    EXPECT_EQ(apply.count(), 1);
    panel->lockCheck()->setChecked(false);
    EXPECT_EQ(s.applyToAll, 0);
    EXPECT_EQ(s.lockSettings, 0);

    panel->SetBatchMode(false);
    EXPECT_EQ(panel->lockCheck()->text(), QStringLiteral("&Lock settings"));
    EXPECT_TRUE(panel->applyToAllButton()->isHidden());
    panel->lockCheck()->setChecked(true);
    EXPECT_EQ(s.lockSettings, 1);
}

TEST_F(ResizeDlgBarTest, DocumentFactsAndEnablingFollowTheImage) {
    EXPECT_TRUE(panel->sourcePixelsLabel()->text().isEmpty());
    EXPECT_TRUE(panel->outputRawLabel()->text().isEmpty());
    EXPECT_FALSE(panel->screenButton()->isEnabled());
    EXPECT_FALSE(panel->unitsModeList()->isEnabled());

    settings.EditResize([&](ResizeSettings& r) { r.editPrintSize = 1; });
    panel->UpdateFromDocument(Image(640, 480, 0, 32), QStringLiteral("b.png"), 1000);
    EXPECT_EQ(panel->sourcePixelsLabel()->text(), QStringLiteral("640x480 pixels"));
    EXPECT_EQ(panel->sourceBitsLabel()->text(), QStringLiteral("32 bits per pixel"));
    EXPECT_EQ(panel->sourceRawLabel()->text(), QStringLiteral("Raw size: 1.2MB"));
    EXPECT_TRUE(panel->sourcePrintLabel()->text().isEmpty()) << "no resolution reported";
    EXPECT_TRUE(panel->sourceResolutionLabel()->text().isEmpty());
    EXPECT_TRUE(panel->editPrintRadio()->isChecked());
    EXPECT_FALSE(panel->field(PanelField::Width)->isEnabled());
    EXPECT_TRUE(panel->field(PanelField::PrintWidth)->isEnabled());

    panel->editPixelsRadio()->click();
    EXPECT_EQ(s.editPrintSize, 0);
    EXPECT_TRUE(panel->field(PanelField::Width)->isEnabled());
    EXPECT_FALSE(panel->field(PanelField::PrintWidth)->isEnabled());

    panel->algorithmList()->setCurrentIndex(6);
    EXPECT_EQ(s.algorithm, ResizeAlgorithm(6));
    EXPECT_EQ(panel->algorithmList()->currentText(), QStringLiteral("Smart for Natural Scenes"));

    panel->UpdateFromDocument(SourceImageInfo{}, {}, 0);
    EXPECT_TRUE(panel->sourcePixelsLabel()->text().isEmpty());
    EXPECT_FALSE(panel->field(PanelField::Width)->isEnabled());
}

TEST_F(ResizeDlgBarTest, PresetMenusApplyTheirSizesAndEnableByImage) {
    panel->UpdateFromDocument(SourceImageInfo{}, {}, 0);
    EXPECT_FALSE(FindAction(panel->screenMenu(), QStringLiteral("Original size"))->isEnabled());
    EXPECT_FALSE(FindAction(panel->resolutionMenu(), QStringLiteral("Original"))->isEnabled());
    EXPECT_EQ(panel->paperMenu()->actions().size(), 51 + 2);
    EXPECT_EQ(panel->screenMenu()->actions().size(), 17 + 2);

    panel->UpdateFromDocument(Image(4000, 3000), QStringLiteral("a.jpg"), 1000);
    EXPECT_TRUE(FindAction(panel->screenMenu(), QStringLiteral("Original size"))->isEnabled());
    FindAction(panel->screenMenu(), QStringLiteral("Desktop (800x600)"))->trigger();
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(Text(PanelField::Width), QStringLiteral("800"));
    EXPECT_EQ(spy->count(), 1);

    FindAction(panel->resolutionMenu(), QStringLiteral("600 DPI"))->trigger();
    EXPECT_EQ(Text(PanelField::Resolution), QStringLiteral("600"));
    EXPECT_EQ(Text(PanelField::Width), QStringLiteral("1600"));

    // A landscape image turns the paper; 8 x 6 inches already has the image's aspect.
    FindAction(panel->paperMenu(), QStringLiteral("Photo (8x6 inch)"))->trigger();
    EXPECT_EQ(Text(PanelField::PrintWidth), QStringLiteral("8"));
    EXPECT_EQ(Text(PanelField::PrintHeight), QStringLiteral("6"));
    EXPECT_EQ(s.width, 4800);
    EXPECT_EQ(s.height, 3600);
}

TEST_F(ResizeDlgBarTest, LoadIsEnabledOnlyWithASavedFileAndLoadingRefreshesThePanel) {
    EXPECT_FALSE(panel->loadSettingsButton()->isEnabled());
    ResizeSettings stored;
    stored.width = 1234;
    stored.height = 567;
    stored.sizeUnit = int(SizeUnit::Millimeters);
    stored.algorithm = ResizeAlgorithm(7);
    ASSERT_TRUE(SaveSettingsFile(SettingsFolder() + QStringLiteral("preset.mns"), stored).ok());
    panel->RefreshLoadEnabled();
    ASSERT_TRUE(panel->loadSettingsButton()->isEnabled());

    // Answer the named-entry dialog as a user would.
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CGadgetDlg*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->nameEdit()->setText(QStringLiteral("Preset"));
        dialog->accept();
        answered = true;
    });
    ScriptedPrompt prompt;
    settings.SetPrompt(&prompt);
    panel->loadSettingsButton()->click();
    ASSERT_TRUE(answered);
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(s.width, 1234);
    EXPECT_EQ(Text(PanelField::Width), QStringLiteral("1234"));
    EXPECT_EQ(panel->algorithmList()->currentIndex(), 7);
    EXPECT_EQ(panel->sizeUnitList()->currentIndex(), int(SizeUnit::Millimeters))
        << "the loaded unit is shown";
    EXPECT_EQ(panel->printUnitLabel(Dimension::Width)->text(), QStringLiteral("mm"));
    EXPECT_EQ(spy->count(), 1);

    // Deleting the only entry from the dialog disables loading again.
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CGadgetDlg*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->nameEdit()->setText(QStringLiteral("preset"));
        dialog->DeleteEntry();
        dialog->reject();
    });
    prompt.QueueAnswer(true);
    panel->loadSettingsButton()->click();
    EXPECT_FALSE(panel->loadSettingsButton()->isEnabled());
}

TEST_F(ResizeDlgBarTest, TooltipsAndListTexts) {
    // Tooltips are broken into lines of at most 300 pixels; the words are the same.
    auto tip = [](QWidget* w) { return w->toolTip().replace(QLatin1Char('\n'), QLatin1Char(' ')); };
    const QFontMetrics metrics(QToolTip::font());
    EXPECT_EQ(tip(panel->unitsModeList()), QStringLiteral("Sets units for above fields"));
    EXPECT_EQ(tip(panel->field(PanelField::PrintWidth)),
              QStringLiteral("Sets phisical output width"));
    EXPECT_EQ(tip(panel->lockCheck()),
              QStringLiteral("Select this item to apply current settings to next open image"));
    EXPECT_EQ(tip(panel->applyToAllButton()),
              QStringLiteral("Click to apply current settings to all images for batch processing"));
    panel->SetBatchMode(true);
    EXPECT_EQ(tip(panel->lockCheck()),
              QStringLiteral(
                  "Select this item to apply current settings to next selected for batch image"));
    for (const QString& line : panel->lockCheck()->toolTip().split(QLatin1Char('\n')))
        EXPECT_LE(metrics.horizontalAdvance(line), 300) << line.toStdString();
    EXPECT_EQ(panel->correctionList()->itemText(1), QStringLiteral("Crop"));
    EXPECT_EQ(panel->resolutionUnitList()->itemText(2), QStringLiteral("Dots per cm"));
    EXPECT_EQ(panel->sizeUnitList()->itemText(3), QStringLiteral("Picas"));
}

TEST_F(ResizeDlgBarTest, NavigatorIsPlacedInItsFrame) {
    auto* navigator = new QLabel(QStringLiteral("navigator"));
    panel->SetNavigator(navigator);
    EXPECT_EQ(navigator->parentWidget(), panel->navigatorFrame());
    auto* second = new QLabel(QStringLiteral("second"));
    panel->SetNavigator(second);
    EXPECT_EQ(second->parentWidget(), panel->navigatorFrame());
    EXPECT_TRUE(navigator->isHidden())
        << "a replaced navigator is put away, not deleted under its maker";
}

// Renders the panel with an image open so its layout can be looked at.
TEST_F(ResizeDlgBarTest, GrabsAPictureOfThePanel) {
    settings.EditResize([&](ResizeSettings& r) { r.width = 1600; });
    settings.EditResize([&](ResizeSettings& r) { r.height = 1200; });
    panel->UpdateFromDocument(Image(4000, 3000, 300), QStringLiteral("a.jpg"), 1000);
    panel->SetNavigator(new QLabel(QStringLiteral("(navigator)")));
    panel->SetBatchMode(true);
    panel->adjustSize();
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    const QImage image = panel->grab().toImage();
    EXPECT_GT(image.width(), 200);
    EXPECT_GT(image.height(), 300);
    EXPECT_TRUE(image.save(QStringLiteral("/tmp/resize_dlg_bar.png")));
}

}  // namespace
}  // namespace orm
