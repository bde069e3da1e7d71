#include "ui/settings_commands.h"

#include "settings/prompt.h"
#include "settings/settings_file.h"
#include "settings/storage_folder.h"
#include "ui/gadget_dlg.h"

namespace orm {

bool RunSaveSettingsCommand(const ResizeSettings& s, IPrompt& prompt, QWidget* parent) {
    CGadgetDlg dialog(prompt, QStringLiteral("Save settings"),
                      QString::fromLatin1(kSettingsSubfolder),
                      QString::fromLatin1(kSettingsExtension), /*mustExist=*/false, {}, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const SettingsFileResult result = SaveSettingsFile(dialog.path(), s);
    if (!result.ok())
        prompt.Warning(result.message);
    return result.ok();
}

bool RunLoadSettingsCommand(ResizeSettings& s, IPrompt& prompt, QWidget* parent) {
    CGadgetDlg dialog(prompt, QStringLiteral("Load settings"),
                      QString::fromLatin1(kSettingsSubfolder),
                      QString::fromLatin1(kSettingsExtension), /*mustExist=*/true, {}, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const SettingsFileResult result = LoadSettingsFile(dialog.path(), s);
    if (!result.ok())
        prompt.Warning(result.message);
    return result.ok();
}

bool CanLoadSettings() {
    return HasSavedSettings();
}

}  // namespace orm
