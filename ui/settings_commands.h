#pragma once
// The "Save settings" and "Load settings" commands of the File menu, up to the point where
// the caller refreshes the panel and the views.

#include "settings/prompt.h"
#include "settings/resize_settings.h"

class QWidget;

namespace orm {

inline constexpr int kCommandSaveSettings = 32856;
inline constexpr int kCommandLoadSettings = 32857;

// Asks for a name (existing names ask before being replaced) and writes the settings file.
// Returns true when a file was written; file errors are shown through the prompt.
bool RunSaveSettingsCommand(const ResizeSettings& s, IPrompt& prompt, QWidget* parent = nullptr);

// Asks for an existing name and loads it into the record; "Wrong file!" leaves it unchanged.
// Returns true when the record was loaded (the caller then refreshes the panel and views).
bool RunLoadSettingsCommand(ResizeSettings& s, IPrompt& prompt, QWidget* parent = nullptr);

// Enabling rule of "Load settings": at least one settings file exists.
bool CanLoadSettings();

}  // namespace orm
