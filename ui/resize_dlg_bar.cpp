#include "ui/resize_dlg_bar.h"

#include "settings/presets.h"
#include "settings/size_rules.h"
#include "ui/panel_spin_edit.h"
#include "ui/settings_commands.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

namespace orm {
namespace {

constexpr int kSpinTimerMs = 500;

const char* const kLockText = "&Lock settings";
const char* const kApplyToNewText = "Apply to &new";
const char* const kLockTip = "Select this item to apply current settings to next open image";
const char* const kApplyToNewTip =
    "Select this item to apply current settings to next selected for batch image";

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QComboBox* MakeList(QWidget* parent, std::string_view (*name)(int), int count) {
    auto* list = new QComboBox(parent);
    for (int i = 0; i < count; ++i) list->addItem(Text(name(i)));
    return list;
}

QLabel* MakeFactLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void SetIfDifferent(QComboBox* list, int index) {
    if (list->currentIndex() != index)
        list->setCurrentIndex(index);
}

}  // namespace

CResizeDlgBar::CResizeDlgBar(SettingsModel& settings, QWidget* parent)
    : QWidget(parent), settings_(settings), logic_(settings.Resize()) {
    setObjectName(QStringLiteral("ResizeDlgBar"));
    BuildControls();
    SetToolTips();
    ConnectControls();

    timer_ = new QTimer(this);
    timer_->setInterval(kSpinTimerMs);
    connect(timer_, &QTimer::timeout, this, &CResizeDlgBar::OnTimerTick);
    timer_->start();

    // The panel shows the model: its changes from elsewhere and the window's mode.
    logic_.SetBatchMode(settings_.BatchMode());
    connect(&settings_, &SettingsModel::resizeSettingsChanged, this,
            &CResizeDlgBar::OnModelChanged);
    connect(&settings_, &SettingsModel::batchModeChanged, this, &CResizeDlgBar::SetBatchMode);
    UpdateFromDocument(SourceImageInfo{}, QString(), 0);
}

CResizeDlgBar::~CResizeDlgBar() = default;

// ---- Building -------------------------------------------------------------------------

void CResizeDlgBar::BuildControls() {
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(6, 6, 6, 6);
    main->setSpacing(6);

    // Navigator and the facts of the original image side by side.
    auto* top = new QHBoxLayout;
    navigatorFrame_ = new QFrame(this);
    navigatorFrame_->setObjectName(QStringLiteral("NavigatorFrame"));
    navigatorFrame_->setFrameShape(QFrame::StyledPanel);
    navigatorFrame_->setFrameShadow(QFrame::Sunken);
    navigatorFrame_->setMinimumSize(152, 110);
    navigatorFrame_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    navigatorLayout_ = new QVBoxLayout(navigatorFrame_);
    navigatorLayout_->setContentsMargins(1, 1, 1, 1);
    top->addWidget(navigatorFrame_, 1);
    top->addWidget(BuildOriginalGroup(), 1);
    main->addLayout(top);

    main->addWidget(BuildNewSizeGroup());

    auto* correctionGroup = new QGroupBox(QStringLiteral("Correction of size"), this);
    auto* correctionLayout = new QVBoxLayout(correctionGroup);
    correction_ = MakeList(correctionGroup, CorrectionModeName, kCorrectionModeCount);
    correctionLayout->addWidget(correction_);
    noEnlarge_ = new QCheckBox(QStringLiteral("Never &enlarge"), correctionGroup);
    correctionLayout->addWidget(noEnlarge_);

    auto* algorithmBox = new QWidget(this);
    auto* algorithmLayout = new QHBoxLayout(algorithmBox);
    algorithmLayout->setContentsMargins(0, 0, 0, 0);
    auto* algorithmLabel = new QLabel(QStringLiteral("Algorithm:"), algorithmBox);
    algorithm_ = MakeList(algorithmBox, AlgorithmName, kAlgorithmCount);
    algorithmLabel->setBuddy(algorithm_);
    algorithmLayout->addWidget(algorithmLabel);
    algorithmLayout->addWidget(algorithm_, 1);
    centred_ = new QCheckBox(QStringLiteral("Align pixel &centres"), this);
    main->addWidget(correctionGroup);
    main->addWidget(algorithmBox);
    main->addWidget(centred_);

    auto* unitsGroup = new QGroupBox(QStringLiteral("Units"), this);
    auto* unitsLayout = new QGridLayout(unitsGroup);
    sizeUnit_ = MakeList(unitsGroup, SizeUnitComboText, kSizeUnitCount);
    resolutionUnit_ = MakeList(unitsGroup, ResolutionUnitComboText, kResolutionUnitCount);
    auto* sizeLabel = new QLabel(QStringLiteral("Size:"), unitsGroup);
    auto* resolutionLabel = new QLabel(QStringLiteral("Resolution:"), unitsGroup);
    sizeLabel->setBuddy(sizeUnit_);
    resolutionLabel->setBuddy(resolutionUnit_);
    unitsLayout->addWidget(sizeLabel, 0, 0);
    unitsLayout->addWidget(sizeUnit_, 0, 1);
    unitsLayout->addWidget(resolutionLabel, 1, 0);
    unitsLayout->addWidget(resolutionUnit_, 1, 1);
    unitsLayout->setColumnStretch(1, 1);
    main->addWidget(unitsGroup);

    main->addWidget(BuildBottomRow());
    main->addStretch(1);

    // Group boxes keep their contents close; the panel shares the height with the navigator.
    for (QGroupBox* group : findChildren<QGroupBox*>()) {
        if (QLayout* layout = group->layout()) {
            layout->setContentsMargins(6, 4, 6, 4);
            layout->setSpacing(4);
        }
    }
}

QGroupBox* CResizeDlgBar::BuildOriginalGroup() {
    originalGroup_ = new QGroupBox(QStringLiteral("Original image"), this);
    auto* layout = new QVBoxLayout(originalGroup_);
    layout->setSpacing(2);
    sourcePixels_ = MakeFactLabel(originalGroup_);
    sourceBits_ = MakeFactLabel(originalGroup_);
    sourceRaw_ = MakeFactLabel(originalGroup_);
    sourcePrint_ = MakeFactLabel(originalGroup_);
    sourceResolution_ = MakeFactLabel(originalGroup_);
    for (QLabel* label : {sourcePixels_, sourceBits_, sourceRaw_, sourcePrint_, sourceResolution_})
        layout->addWidget(label);
    layout->addStretch(1);
    return originalGroup_;
}

QGroupBox* CResizeDlgBar::BuildNewSizeGroup() {
    auto* group = new QGroupBox(QStringLiteral("New size"), this);
    auto* layout = new QVBoxLayout(group);
    for (auto& f : fields_) f = new CPanelSpinEdit(group);

    auto addFieldRow = [](QWidget* parent, QGridLayout* grid, int row, const QString& text,
                          CPanelSpinEdit* field) {
        auto* label = new QLabel(text, parent);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
    };

    // Pixels.
    auto* pixels = new QGroupBox(QStringLiteral("Pixels"), group);
    auto* pixelGrid = new QGridLayout(pixels);
    addFieldRow(pixels, pixelGrid, 0, QStringLiteral("Width:"), field(PanelField::Width));
    addFieldRow(pixels, pixelGrid, 1, QStringLiteral("Height:"), field(PanelField::Height));
    auto* unitsLabel = new QLabel(QStringLiteral("Units:"), pixels);
    unitsMode_ = new QComboBox(pixels);
    for (int i = 0; i < kUnitsModeCount; ++i)
        unitsMode_->addItem(QString::fromLatin1(UnitsModeText(i)));
    unitsLabel->setBuddy(unitsMode_);
    pixelGrid->addWidget(unitsLabel, 0, 2);
    pixelGrid->addWidget(unitsMode_, 0, 3);
    screenButton_ = new QPushButton(QStringLiteral("Screen/device"), pixels);
    pixelGrid->addWidget(screenButton_, 1, 2, 1, 2);
    editPixels_ = new QRadioButton(QStringLiteral("Edit &pixels"), pixels);
    pixelGrid->addWidget(editPixels_, 2, 0, 1, 4);
    percentResult_ = new QLabel(pixels);
    percentResult_->setObjectName(QStringLiteral("percentResult"));
    pixelGrid->addWidget(percentResult_, 3, 0, 1, 4);
    pixelGrid->setColumnStretch(1, 1);
    pixelGrid->setColumnStretch(3, 1);
    layout->addWidget(pixels);

    // Print size.
    auto* print = new QGroupBox(QStringLiteral("Print size"), group);
    auto* printGrid = new QGridLayout(print);
    addFieldRow(print, printGrid, 0, QStringLiteral("Width:"), field(PanelField::PrintWidth));
    addFieldRow(print, printGrid, 1, QStringLiteral("Height:"), field(PanelField::PrintHeight));
    printWidthUnit_ = new QLabel(print);
    printHeightUnit_ = new QLabel(print);
    printGrid->addWidget(printWidthUnit_, 0, 2);
    printGrid->addWidget(printHeightUnit_, 1, 2);
    paperButton_ = new QPushButton(QStringLiteral("Paper"), print);
    printGrid->addWidget(paperButton_, 0, 3);
    editPrint_ = new QRadioButton(QStringLiteral("Edit p&rint size"), print);
    printGrid->addWidget(editPrint_, 2, 0, 1, 4);
    printGrid->setColumnStretch(1, 1);
    layout->addWidget(print);

    auto* radios = new QButtonGroup(this);
    radios->addButton(editPixels_, 0);
    radios->addButton(editPrint_, 1);

    // Resolution and the output's raw size.
    auto* resolutionGrid = new QGridLayout;
    addFieldRow(group, resolutionGrid, 0, QStringLiteral("Resolution:"),
                field(PanelField::Resolution));
    resolutionLabel_ = new QLabel(group);
    resolutionButton_ = new QPushButton(QStringLiteral("Standard"), group);
    resolutionGrid->addWidget(resolutionLabel_, 0, 2);
    resolutionGrid->addWidget(resolutionButton_, 0, 3);
    resolutionGrid->setColumnStretch(1, 1);
    layout->addLayout(resolutionGrid);
    outputRaw_ = MakeFactLabel(group);
    layout->addWidget(outputRaw_);
    return group;
}

QWidget* CResizeDlgBar::BuildBottomRow() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    lock_ = new QCheckBox(QString::fromLatin1(kLockText), box);
    applyToAll_ = new QPushButton(QStringLiteral("Apply to &All"), box);
    applyToAll_->hide();
    saveSettings_ = new QPushButton(QStringLiteral("Save se&ttings..."), box);
    loadSettings_ = new QPushButton(QStringLiteral("&Load settings..."), box);
    // Beside the box while it is ticked: a locked size is an exact box for every image.
    lockNote_ = new QLabel(QStringLiteral("(exact size, cropped)"), box);
    lockNote_->setObjectName(QStringLiteral("lockNote"));
    lockNote_->setToolTip(QStringLiteral(
        "Locked sizes are exact boxes: images of another shape are cropped to fill them "
        "(Correction: Crop). Unticking gives the earlier correction back."));
    grid->addWidget(lock_, 0, 0);
    grid->addWidget(lockNote_, 2, 0, 1, 2);
    grid->addWidget(applyToAll_, 0, 1);
    grid->addWidget(saveSettings_, 1, 0);
    grid->addWidget(loadSettings_, 1, 1);
    return box;
}

void CResizeDlgBar::SetToolTips() {
    field(PanelField::Width)->setToolTip(QStringLiteral("Sets output width in pixels or percents"));
    field(PanelField::Height)
        ->setToolTip(QStringLiteral("Sets output height in pixels or percents"));
    unitsMode_->setToolTip(QStringLiteral("Sets units for above fields"));
    screenButton_->setToolTip(QStringLiteral("Sets standard output size"));
    editPixels_->setToolTip(QStringLiteral("Force editing in above fields"));
    field(PanelField::PrintWidth)->setToolTip(QStringLiteral("Sets phisical output width"));
    field(PanelField::PrintHeight)->setToolTip(QStringLiteral("Sets phisical output height"));
    paperButton_->setToolTip(QStringLiteral("Sets standard phisical output size"));
    editPrint_->setToolTip(QStringLiteral("Force editing in above fields"));
    field(PanelField::Resolution)->setToolTip(QStringLiteral("Sets output image resolution"));
    resolutionButton_->setToolTip(QStringLiteral("Sets standard output resolution"));
    correction_->setToolTip(QStringLiteral("Sets how to correct output size"));
    algorithm_->setToolTip(QStringLiteral("Sets resizing algorithm"));
    sizeUnit_->setToolTip(QStringLiteral("Sets phisical size units"));
    resolutionUnit_->setToolTip(QStringLiteral("Sets resolution units"));
    applyToAll_->setToolTip(
        QStringLiteral("Click to apply current settings to all images for batch processing"));
    lock_->setToolTip(QString::fromLatin1(kLockTip));
    noEnlarge_->setToolTip(
        QStringLiteral("Images smaller than the new size keep their own size (batch processing, "
                       "next open image)"));
    centred_->setToolTip(
        QStringLiteral("The own algorithms (5-7) sample on pixel centres, as the other algorithms "
                       "do: sharper, truer enlargements, flat areas stay flat to the edges"));
    saveSettings_->setToolTip(QStringLiteral("Save program settings"));
    loadSettings_->setToolTip(QStringLiteral("Load previously saved settings"));
    WrapToolTips();
}

void CResizeDlgBar::WrapToolTips() {
    const QFontMetrics metrics(QToolTip::font());
    for (QWidget* child : findChildren<QWidget*>())
        if (!child->toolTip().isEmpty())
            child->setToolTip(WrapToolTip(child->toolTip(), metrics));
}

void CResizeDlgBar::ConnectControls() {
    for (int i = 0; i < kPanelFieldCount; ++i) {
        const auto f = static_cast<PanelField>(i);
        CPanelSpinEdit* spin = field(f);
        connect(spin->edit(), &QLineEdit::textChanged, this, [this, f] { OnFieldEdited(f); });
        connect(spin, &CPanelSpinEdit::focusLost, this, [this, f] { OnFieldFocusLost(f); });
        connect(spin, &CPanelSpinEdit::stepRequested, this,
                [this, f](int delta) { OnSpinStep(f, delta); });
        connect(spin, &CPanelSpinEdit::stepsFinished, this, &CResizeDlgBar::OnSpinsFinished);
    }
    auto onList = [this](QComboBox* list, PanelOutcome (ResizePanelLogic::*handler)(int)) {
        connect(list, &QComboBox::currentIndexChanged, this, [this, handler](int index) {
            if (!logic_.updating())
                Finish((logic_.*handler)(index));
        });
    };
    onList(unitsMode_, &ResizePanelLogic::UnitsModeSelected);
    onList(correction_, &ResizePanelLogic::CorrectionSelected);
    onList(algorithm_, &ResizePanelLogic::AlgorithmSelected);
    connect(sizeUnit_, &QComboBox::currentIndexChanged, this, &CResizeDlgBar::OnSizeUnitChosen);
    connect(resolutionUnit_, &QComboBox::currentIndexChanged, this,
            &CResizeDlgBar::OnResolutionUnitChosen);

    auto onRadio = [this](QRadioButton* radio, bool printSize) {
        connect(radio, &QRadioButton::toggled, this, [this, printSize](bool on) {
            if (!on || logic_.updating())
                return;
            const PanelOutcome outcome = logic_.EditModeSelected(printSize);
            ApplyEnabling();
            Finish(outcome);
        });
    };
    onRadio(editPixels_, false);
    onRadio(editPrint_, true);
    connect(lock_, &QCheckBox::toggled, this, [this](bool on) {
        if (logic_.updating())
            return;
        Finish(logic_.LockToggled(on));
        SelectCombos();  // the correction may have come back
        lockNote_->setVisible(on);
    });
    connect(noEnlarge_, &QCheckBox::toggled, this, [this](bool on) {
        if (logic_.updating() || logic_.settings().noEnlarge == int32_t(on))
            return;
        logic_.settings().noEnlarge = on ? 1 : 0;
        Recompute();
    });
    connect(centred_, &QCheckBox::toggled, this, [this](bool on) {
        if (logic_.updating() || logic_.settings().centred == int32_t(on))
            return;
        logic_.settings().centred = on ? 1 : 0;
        Recompute();
    });
    connect(applyToAll_, &QPushButton::clicked, this, &CResizeDlgBar::applyToAllRequested);

    connect(screenButton_, &QPushButton::clicked, this,
            [this] { OpenMenu(screenButton_, screenMenu()); });
    connect(paperButton_, &QPushButton::clicked, this,
            [this] { OpenMenu(paperButton_, paperMenu()); });
    connect(resolutionButton_, &QPushButton::clicked, this,
            [this] { OpenMenu(resolutionButton_, resolutionMenu()); });
    connect(saveSettings_, &QPushButton::clicked, this, &CResizeDlgBar::SaveSettings);
    connect(loadSettings_, &QPushButton::clicked, this, &CResizeDlgBar::LoadSettings);
}

// ---- Refreshing -----------------------------------------------------------------------

void CResizeDlgBar::UpdateFromDocument(const SourceImageInfo& image, const QString& fileName,
                                       qint64 fileBytes) {
    logic_.SetImage(image);
    fileName_ = image.present ? fileName : QString();
    fileBytes_ = image.present ? fileBytes : 0;
    const ResizeSettings& s = logic_.settings();

    SelectCombos();
    ApplyEnabling();

    const SourceTexts facts = MakeSourceTexts(image, s);
    sourcePixels_->setText(facts.pixels);
    sourceBits_->setText(facts.bits);
    sourceRaw_->setText(facts.rawSize);
    sourcePrint_->setText(facts.printSize);
    sourceResolution_->setText(facts.resolution);
    originalGroup_->setToolTip(fileName_);

    const QString unit = Text(SizeUnitShortLabel(s.sizeUnit));
    printWidthUnit_->setText(unit);
    printHeightUnit_->setText(unit);
    resolutionLabel_->setText(Text(ResolutionUnitLabel(s.resolutionUnit)));

    ApplyWrites(logic_.AllFieldTexts());
    outputRaw_->setText(OutputRawSizeText(s, image));
    if (navigator_)
        navigator_->update();
    RefreshLoadEnabled();
}

void CResizeDlgBar::SelectCombos() {
    const auto guard = logic_.Guard();
    const ResizeSettings& s = logic_.settings();
    SetIfDifferent(algorithm_, AlgorithmIndex(s.algorithm));
    SetIfDifferent(correction_, s.correction);
    SetIfDifferent(unitsMode_, UnitsModeIndex(s));
    // The unit lists follow the record, so a loaded settings file shows its own units.
    SetIfDifferent(sizeUnit_, s.sizeUnit);
    SetIfDifferent(resolutionUnit_, s.resolutionUnit);
    (s.editPrintSize ? editPrint_ : editPixels_)->setChecked(true);
    lock_->setChecked(logic_.LockChecked());
    lockNote_->setVisible(logic_.LockChecked());
    noEnlarge_->setChecked(s.noEnlarge != 0);
    centred_->setChecked(s.centred != 0);
}

void CResizeDlgBar::RefreshLockCheck() {
    const auto guard = logic_.Guard();
    const bool batch = logic_.batchMode();
    lock_->setText(QString::fromLatin1(batch ? kApplyToNewText : kLockText));
    lock_->setToolTip(WrapToolTip(QString::fromLatin1(batch ? kApplyToNewTip : kLockTip),
                                  QFontMetrics(QToolTip::font())));
    lock_->setChecked(logic_.LockChecked());
    lockNote_->setVisible(logic_.LockChecked());
}

void CResizeDlgBar::ApplyEnabling() {
    const PanelEnabling e = ComputeEnabling(logic_.settings(), logic_.image(), logic_.batchMode());
    field(PanelField::Width)->setEnabled(e.pixelFields);
    field(PanelField::Height)->setEnabled(e.pixelFields);
    field(PanelField::PrintWidth)->setEnabled(e.printFields);
    field(PanelField::PrintHeight)->setEnabled(e.printFields);
    field(PanelField::Resolution)->setEnabled(e.sizeControls);
    unitsMode_->setEnabled(e.sizeControls);
    screenButton_->setEnabled(e.sizePresets);
    paperButton_->setEnabled(e.sizePresets);
}

void CResizeDlgBar::ApplyWrites(const FieldWrites& writes) {
    const auto guard = logic_.Guard();
    for (int i = 0; i < kPanelFieldCount; ++i) {
        const auto f = static_cast<PanelField>(i);
        if (const auto& text = writes.Get(f); text && field(f)->edit()->text() != *text)
            field(f)->edit()->setText(*text);
    }
    const QString result = PercentResultText(logic_.settings(), logic_.image());
    percentResult_->setText(result);
    percentResult_->setVisible(!result.isEmpty());
}

void CResizeDlgBar::Finish(const PanelOutcome& outcome) {
    ApplyWrites(outcome.writes);
    if (outcome.accepted)
        Recompute();
}

void CResizeDlgBar::Recompute() {
    outputRaw_->setText(OutputRawSizeText(logic_.settings(), logic_.image()));
    // While spin steps run the views wait; the end of the steps recomputes once.
    if (!logic_.spinPending()) {
        settings_.SetResize(logic_.settings());
        emit settingsChanged();
    }
}

void CResizeDlgBar::RefreshLoadEnabled() {
    loadSettings_->setEnabled(CanLoadSettings());
}

void CResizeDlgBar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    RefreshLoadEnabled();
}

// ---- Fields and spins -----------------------------------------------------------------

void CResizeDlgBar::OnFieldEdited(PanelField f) {
    if (logic_.updating())
        return;
    const QString text = field(f)->edit()->text();
    switch (f) {
        case PanelField::Width:
            Finish(logic_.SizeTyped(Dimension::Width, text));
            break;
        case PanelField::Height:
            Finish(logic_.SizeTyped(Dimension::Height, text));
            break;
        case PanelField::PrintWidth:
        case PanelField::PrintHeight:
            Finish(logic_.PrintTyped(
                f == PanelField::PrintWidth ? Dimension::Width : Dimension::Height,
                field(PanelField::PrintWidth)->edit()->text(),
                field(PanelField::PrintHeight)->edit()->text()));
            break;
        case PanelField::Resolution:
            Finish(logic_.ResolutionTyped(text));
            break;
    }
}

void CResizeDlgBar::OnFieldFocusLost(PanelField f) {
    if (f == PanelField::Resolution)
        logic_.ResolutionEditEnded();
    if (const auto text = logic_.FocusOutText(f)) {
        FieldWrites writes;
        writes.Set(f, *text);
        ApplyWrites(writes);
    }
}

void CResizeDlgBar::OnSpinStep(PanelField f, int delta) {
    CPanelSpinEdit* spin = field(f);
    if (!spin->isEnabled())
        return;
    // Written without the guard: the new text is handled as if it had been typed.
    const QString text = logic_.SpinStep(f, spin->edit()->text(), delta);
    emit spinPendingChanged(true);  // before the text: no view may draw the in-between size
    spin->edit()->setText(text);
}

void CResizeDlgBar::OnSpinsFinished() {
    if (logic_.SpinFinished()) {
        emit spinPendingChanged(false);
        Recompute();
    }
}

bool CResizeDlgBar::InputHeld() const {
    if (QGuiApplication::mouseButtons() != Qt::NoButton)
        return true;
    for (const CPanelSpinEdit* spin : fields_)
        if (spin->stepKeyHeld())
            return true;
    return false;
}

void CResizeDlgBar::OnTimerTick() {
    if (logic_.TimerTick(InputHeld())) {
        emit spinPendingChanged(false);
        Recompute();
    }
}

// ---- Units ----------------------------------------------------------------------------

void CResizeDlgBar::OnSizeUnitChosen(int index) {
    if (logic_.updating())
        return;
    if (!logic_.SizeUnitSelected(index)) {
        // Not taken over (no image): the list goes back to the unit the fields are shown in.
        const auto guard = logic_.Guard();
        SetIfDifferent(sizeUnit_, logic_.settings().sizeUnit);
        return;
    }
    UpdateFromDocument(logic_.image(), fileName_, fileBytes_);
    Recompute();
}

void CResizeDlgBar::OnResolutionUnitChosen(int index) {
    if (logic_.updating())
        return;
    if (!logic_.ResolutionUnitSelected(index)) {
        const auto guard = logic_.Guard();
        SetIfDifferent(resolutionUnit_, logic_.settings().resolutionUnit);
        return;
    }
    UpdateFromDocument(logic_.image(), fileName_, fileBytes_);
    Recompute();
}

// ---- Batch mode and navigator ---------------------------------------------------------

void CResizeDlgBar::OnModelChanged() {
    // The panel's own edits come back equal; a change made elsewhere (a batch entry opened,
    // settings loaded, an image adopted) is shown.
    if (logic_.spinPending() || logic_.settings() == settings_.Resize())
        return;
    logic_.settings() = settings_.Resize();
    UpdateFromDocument(logic_.image(), fileName_, fileBytes_);
}

void CResizeDlgBar::SetBatchMode(bool on) {
    logic_.SetBatchMode(on);
    RefreshLockCheck();
    applyToAll_->setVisible(on);
    UpdateFromDocument(logic_.image(), fileName_, fileBytes_);
}

void CResizeDlgBar::SetNavigator(QWidget* navigator) {
    if (navigator == navigator_)
        return;
    if (navigator_) {
        // Its maker may still hold it; it stays a hidden child until the panel goes.
        navigatorLayout_->removeWidget(navigator_);
        navigator_->hide();
    }
    navigator_ = navigator;
    if (navigator_) {
        navigator_->setParent(navigatorFrame_);
        navigatorLayout_->addWidget(navigator_);
        navigator_->show();
    }
}

// ---- Preset menus ---------------------------------------------------------------------

QMenu* CResizeDlgBar::screenMenu() {
    if (!screenMenu_) {
        screenMenu_ = new QMenu(QStringLiteral("Predefined sizes"), this);
        const auto presets = ScreenPresets();
        for (int i = 0; i < int(presets.size()); ++i) {
            QAction* action = screenMenu_->addAction(Text(presets[size_t(i)].label));
            action->setData(i);
            connect(action, &QAction::triggered, this,
                    [this, i] { Finish(logic_.ScreenPresetChosen(i)); });
            if (presets[size_t(i)].separatorAfter)
                screenMenu_->addSeparator();
        }
    }
    const auto presets = ScreenPresets();
    const bool hasImage = logic_.image().present;
    for (QAction* action : screenMenu_->actions())
        if (!action->isSeparator() && presets[size_t(action->data().toInt())].originalSize)
            action->setEnabled(hasImage);
    return screenMenu_;
}

QMenu* CResizeDlgBar::paperMenu() {
    if (!paperMenu_) {
        paperMenu_ = new QMenu(QStringLiteral("Print Predefined sizes"), this);
        const auto presets = PaperPresets();
        for (int i = 0; i < int(presets.size()); ++i) {
            if (presets[size_t(i)].separatorBefore)
                paperMenu_->addSeparator();
            QAction* action = paperMenu_->addAction(Text(presets[size_t(i)].label));
            action->setData(i);
            connect(action, &QAction::triggered, this,
                    [this, i] { Finish(logic_.PaperPresetChosen(i)); });
        }
    }
    return paperMenu_;
}

QMenu* CResizeDlgBar::resolutionMenu() {
    if (!resolutionMenu_) {
        resolutionMenu_ = new QMenu(QStringLiteral("Predefined res"), this);
        const auto presets = ResolutionPresets();
        for (int i = 0; i < int(presets.size()); ++i) {
            QAction* action = resolutionMenu_->addAction(Text(presets[size_t(i)].label));
            action->setData(i);
            connect(action, &QAction::triggered, this, [this, i] {
                Finish(logic_.ResolutionPresetChosen(i, settings_.PrinterDpi()));
            });
            if (presets[size_t(i)].separatorAfter)
                resolutionMenu_->addSeparator();
        }
    }
    const auto presets = ResolutionPresets();
    const PanelEnabling e = ComputeEnabling(logic_.settings(), logic_.image(), logic_.batchMode());
    for (QAction* action : resolutionMenu_->actions()) {
        if (action->isSeparator())
            continue;
        switch (presets[size_t(action->data().toInt())].kind) {
            case ResolutionPresetKind::DefaultPrinter:
                action->setEnabled(settings_.PrinterDpi().has_value());
                break;
            case ResolutionPresetKind::Original:
                action->setEnabled(e.originalResolution);
                break;
            case ResolutionPresetKind::Fixed:
                break;
        }
    }
    return resolutionMenu_;
}

void CResizeDlgBar::OpenMenu(QPushButton* button, QMenu* menu) {
    // At the mouse when the click came from it, otherwise (keyboard) at the button's centre.
    const QPoint cursor = QCursor::pos();
    const bool overButton = button->rect().contains(button->mapFromGlobal(cursor));
    menu->popup(overButton ? cursor : button->mapToGlobal(button->rect().center()));
}

// ---- Settings files -------------------------------------------------------------------

void CResizeDlgBar::SaveSettings() {
    RunSaveSettingsCommand(logic_.settings(), settings_.Prompt(), this);
    RefreshLoadEnabled();
}

void CResizeDlgBar::LoadSettings() {
    const bool loaded = RunLoadSettingsCommand(logic_.settings(), settings_.Prompt(), this);
    RefreshLoadEnabled();
    if (!loaded)
        return;
    UpdateFromDocument(logic_.image(), fileName_, fileBytes_);
    Recompute();
}

}  // namespace orm
