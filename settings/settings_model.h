#pragma once
// The one owner of the program's settings: the resize and batch settings records, the browser
// values, the mode flags and the prompt through which the user is told and asked. The application
// makes one and hands it to the panel, the document, the views and the frame; tests make their
// own.
// User-interface thread only: workers get copies of the records, never references.

#include "settings/batch_settings.h"
#include "settings/colour_scheme.h"
#include "settings/prompt.h"
#include "settings/resize_settings.h"
#include "settings/settings_store.h"

#include <QObject>

#include <functional>
#include <optional>

namespace orm {

class SettingsModel : public QObject {
    Q_OBJECT
  public:
    explicit SettingsModel(QObject* parent = nullptr);

    // The records are read here and changed only through their setters, which tell the
    // listeners once, and only when something changed.
    const ResizeSettings& Resize() const { return resize_; }
    void SetResize(const ResizeSettings& settings);
    template <typename Edit>
    void EditResize(Edit&& edit) {
        ResizeSettings s = resize_;
        edit(s);
        SetResize(s);
    }
    const BatchSettings& Batch() const { return batch_; }
    void SetBatch(const BatchSettings& settings);
    const BrowserSettings& Browser() const { return browser_; }
    void SetBrowser(const BrowserSettings& settings);
    // The colour scheme read from the file beside the program (defaults until Load).
    const ColourScheme& Colours() const { return colours_; }
    void SetColours(const ColourScheme& colours) { colours_ = colours; }

    // Batch mode of the main window.
    bool BatchMode() const { return batchMode_; }
    void SetBatchMode(bool on);

    // Messages and questions to the user (message boxes in the program, a script in tests, the
    // console elsewhere). Not owned; nullptr returns to the console.
    IPrompt& Prompt() const { return prompt_ ? *prompt_ : console_; }
    void SetPrompt(IPrompt* prompt) { prompt_ = prompt; }

    // The default printer's resolution for the "Default Printer" preset: the window installs a
    // source that asks the printer system; without one there is no printer.
    using PrinterDpiSource = std::function<std::optional<double>()>;
    void SetPrinterDpiSource(PrinterDpiSource source) { printerDpi_ = std::move(source); }
    std::optional<double> PrinterDpi() const { return printerDpi_ ? printerDpi_() : std::nullopt; }

    // Start-up: the stored values, the settings folder and the colour scheme file.
    void Load(const SettingsStore& store);
    // Exit: the stored values back.
    void Save(SettingsStore& store) const;

  signals:
    void resizeSettingsChanged();
    void batchSettingsChanged();
    void browserSettingsChanged();
    void batchModeChanged(bool on);

  private:
    ResizeSettings resize_;
    BatchSettings batch_;
    BrowserSettings browser_;
    ColourScheme colours_;
    bool batchMode_ = false;
    IPrompt* prompt_ = nullptr;
    PrinterDpiSource printerDpi_;
    mutable ConsolePrompt console_;
};

}  // namespace orm
