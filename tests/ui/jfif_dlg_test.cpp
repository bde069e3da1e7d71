// The "Image Info" dialog, offscreen.

#include "ui/jfif_dlg.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace orm {
namespace {

// The shared test environment has made the application object.
QApplication& App() {
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

TEST(ImageInfoDialog, ShowsTheFileAndItsDetails) {
    App();
    ImageInfo info{
        "/photos/a.jpg", 3008, 2000, 24, {{"Manufacturer", "NIKON"}, {"Orientation", "90 left"}}};
    CJFIFDlg dialog(info);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Image Info");
    EXPECT_EQ(dialog.PathEdit()->text(), "/photos/a.jpg");
    EXPECT_TRUE(dialog.PathEdit()->isReadOnly());
    EXPECT_EQ(dialog.DimensionsLabel()->text(), "3008 X 2000");
    EXPECT_EQ(dialog.ColorsLabel()->text(), "16,777,216");
    QTreeWidget* list = dialog.DetailsList();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "Orientation");
    EXPECT_EQ(list->topLevelItem(1)->text(1), "90 left");
    EXPECT_TRUE(list->isEnabled());
    EXPECT_TRUE(dialog.DetailsLabel()->isEnabled());
    const int half = list->viewport()->width() / 2;
    EXPECT_EQ(list->columnWidth(0), half - 25);
    EXPECT_EQ(list->columnWidth(1), half + 25);
}

TEST(ImageInfoDialog, EmptyListIsDisabled) {
    App();
    CJFIFDlg dialog(ImageInfo{"x.png", 32, 32, 8, {}});
    EXPECT_EQ(dialog.ColorsLabel()->text(), "256");
    EXPECT_EQ(dialog.DetailsList()->topLevelItemCount(), 0);
    EXPECT_FALSE(dialog.DetailsList()->isEnabled());
    EXPECT_FALSE(dialog.DetailsLabel()->isEnabled());
}

}  // namespace
}  // namespace orm
