#pragma once
// Reading any image the toolkit decodes into a BGR image, and writing one safely.

#include "engine/pixel_view.h"

#include <QImage>
#include <QString>

#include <optional>

namespace orm::cli {

std::optional<engine::BgrImage> LoadBgrImage(const QString& path, QString* error);
engine::BgrImage BgrFromQImage(const QImage& image);  // empty image when memory runs out
QImage QImageFromBgr(const engine::BgrImage& image);

// Writes by the file's extension into a temporary file beside it, then renames it over the
// target: a failure leaves any existing file as it was.
bool SaveBgrImage(const engine::BgrImage& image, const QString& path, QString* error);

}  // namespace orm::cli
