#include "settings/settings_model.h"

#include "settings/colour_scheme.h"
#include "settings/storage_folder.h"

namespace orm {

SettingsModel::SettingsModel(QObject* parent) : QObject(parent) {}

void SettingsModel::SetResize(const ResizeSettings& settings) {
    if (resize_ == settings)
        return;
    resize_ = settings;
    emit resizeSettingsChanged();
}

void SettingsModel::SetBatch(const BatchSettings& settings) {
    if (batch_ == settings)
        return;
    batch_ = settings;
    emit batchSettingsChanged();
}

void SettingsModel::SetBrowser(const BrowserSettings& settings) {
    if (browser_ == settings)
        return;
    browser_ = settings;
    emit browserSettingsChanged();
}

void SettingsModel::SetBatchMode(bool on) {
    if (batchMode_ == on)
        return;
    batchMode_ = on;
    emit batchModeChanged(on);
}

void SettingsModel::Load(const SettingsStore& store) {
    store.Load(resize_);
    store.Load(batch_);
    store.Load(browser_);
    SettingsFolder(/*create=*/true);
    colours_ = LoadColourScheme(ColourSchemePath());
}

void SettingsModel::Save(SettingsStore& store) const {
    store.Save(resize_);
    store.Save(batch_);
    store.Save(browser_);
    store.Sync();
}

}  // namespace orm
