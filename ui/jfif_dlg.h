#pragma once
// The "Image Info" dialog: file name, dimensions, colour count and the camera details list.

#include "metadata/image_info.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QTreeWidget;

namespace orm {

class CJFIFDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CJFIFDlg(const ImageInfo& info, QWidget* parent = nullptr);

    // For tests and callers that look inside.
    QLineEdit* PathEdit() const { return path_; }
    QLabel* DimensionsLabel() const { return dimensions_; }
    QLabel* ColorsLabel() const { return colors_; }
    QLabel* DetailsLabel() const { return detailsLabel_; }
    QTreeWidget* DetailsList() const { return details_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SizeColumns();

    QLineEdit* path_ = nullptr;
    QLabel* dimensions_ = nullptr;
    QLabel* colors_ = nullptr;
    QLabel* detailsLabel_ = nullptr;
    QTreeWidget* details_ = nullptr;
};

// Reads the file's info and shows the dialog modally; false (nothing shown) when the file cannot
// be decoded.
bool ShowImageInfo(QWidget* parent, const QString& path);

}  // namespace orm
