#pragma once
// The file name Resize and Save suggests: the source's name with the size suffix the batch
// gives its outputs ("photo_RESIZED_TO_800x600.jpg"), in the folder last saved to.

#include <QString>
#include <QStringList>

namespace orm::gui {

// folder/<source name>_RESIZED_TO_<w>x<h><extension>. folder is lastFolder while it exists,
// otherwise the source's own. The extension is the source's when that type is written (its
// spelling kept), otherwise ".jpg". Empty without a source.
QString SuggestedSavePath(const QString& source, int width, int height, const QString& lastFolder);

// The filter of a save dialog's list that offers files with this suffix (no dot, any case), or
// empty when none does.
QString FilterForSuffix(const QStringList& filters, const QString& suffix);

}  // namespace orm::gui
