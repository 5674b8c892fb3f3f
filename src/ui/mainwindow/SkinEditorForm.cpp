#include "mainwindow/SkinEditorForm.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/Program.h"
#include "foundation/QtText.h"
#include "foundation/UserInterface.h"
#include "mainwindow/SkinFile.h"
#include "pictures/Pictures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>

namespace cv {

namespace {

constexpr int SkinEditorHelpContext = 801;

// The captions of the colour panels, in key order.
constexpr std::array<const char*, 36> CColorCaptions{
    "Fade",
    "Filling",
    "Button margin",
    "Button back",
    "Button text",
    "Button tint",
    "Button hot-track tint",
    "Pushed margin",
    "Pushed back",
    "Pushed text",
    "Pushed tint",
    "Pushed hot-track tint",
    "Window margin",
    "Window back",
    "Window text",
    "Window tint",
    "Mouse menu back",
    "Mouse menu text",
    "Active focus back",
    "Active focus text",
    "Active focus tint",
    "Selection back",
    "Selection text",
    "Selection tint",
    "Grid",
    "Thumb text",
    "Directories back",
    "Directories text",
    "Links back",
    "Links text",
    "Programs back",
    "Programs text",
    "Documents back",
    "Documents text",
    "Generic files back",
    "Generic files text",
};

const char* const CRemark =
    "All options from this dialog are separate for each skin. If you change any option, and you "
    "want to be able to reload the modified skin at a later time, you have to manually save the "
    "skin (use the \"Skins \\ Save as\" menu) before you load another one.";

QComboBox* NumberList(QWidget* parent, std::span<const int> values) {
  auto* list = new QComboBox(parent);
  for (const int value : values)
    list->addItem(QString::number(value));
  return list;
}

template <size_t N>
QComboBox* TextList(QWidget* parent, const std::array<std::string_view, N>& values) {
  auto* list = new QComboBox(parent);
  for (const std::string_view value : values)
    list->addItem(ToQString(value));
  return list;
}

void SelectText(QComboBox* list, const QString& text) {
  const int index = list->findText(text);
  list->setCurrentIndex(index < 0 ? 0 : index);
}

} // namespace

TSkinEditorForm::TSkinEditorForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SkinEditorForm"));
  setWindowTitle(tr("Skin options"));
  setProperty("HelpContext", SkinEditorHelpContext);
  auto* layout = new QVBoxLayout(this);
  Pages = new QTabWidget(this);
  layout->addWidget(Pages, 1);

  // ---- General
  auto* general = new QWidget(Pages);
  auto* generalLayout = new QVBoxLayout(general);
  auto* remark = new QLabel(tr(CRemark), general);
  remark->setWordWrap(true);
  generalLayout->addWidget(remark);

  auto* pictureBox = new QGroupBox(tr("Background picture"), general);
  auto* picture = new QGridLayout(pictureBox);
  UseBackPicture = new QCheckBox(tr("Use background picture"), pictureBox);
  ChangePicture = new QPushButton(tr("C&hange"), pictureBox);
  PictureTitle = new QLabel(pictureBox);
  PictureTitle->setObjectName(QStringLiteral("PictureTitle"));
  PictureTitle->setTextInteractionFlags(Qt::TextSelectableByMouse);
  StretchBackPicture = new QCheckBox(tr("Stretch background picture"), pictureBox);
  FitBeforeTile = new QCheckBox(tr("Fit before tile"), pictureBox);
  Fade = NumberList(pictureBox, SkinFadeValues());
  Gamma = NumberList(pictureBox, SkinGammaValues());
  RotateRG = NumberList(pictureBox, SkinRotateValues());
  RotateGB = NumberList(pictureBox, SkinRotateValues());
  RotateBR = NumberList(pictureBox, SkinRotateValues());
  ClearRotations = new QPushButton(tr("Clear values"), pictureBox);
  RecommendRotations = new QPushButton(tr("Recommend"), pictureBox);
  picture->addWidget(UseBackPicture, 0, 0, 1, 2);
  picture->addWidget(ChangePicture, 0, 2);
  picture->addWidget(PictureTitle, 1, 0, 1, 4);
  picture->addWidget(StretchBackPicture, 2, 0, 1, 2);
  picture->addWidget(FitBeforeTile, 2, 2, 1, 2);
  picture->addWidget(new QLabel(tr("Fade"), pictureBox), 3, 0);
  picture->addWidget(Fade, 3, 1);
  picture->addWidget(new QLabel(tr("Gamma"), pictureBox), 3, 2);
  picture->addWidget(Gamma, 3, 3);
  picture->addWidget(new QLabel(tr("Red - Green"), pictureBox), 4, 0);
  picture->addWidget(RotateRG, 4, 1);
  picture->addWidget(new QLabel(tr("Green - Blue"), pictureBox), 4, 2);
  picture->addWidget(RotateGB, 4, 3);
  picture->addWidget(new QLabel(tr("Blue - Red"), pictureBox), 5, 0);
  picture->addWidget(RotateBR, 5, 1);
  picture->addWidget(ClearRotations, 5, 2);
  picture->addWidget(RecommendRotations, 5, 3);
  generalLayout->addWidget(pictureBox);

  auto* controlsBox = new QGroupBox(tr("Controls"), general);
  auto* controls = new QFormLayout(controlsBox);
  TransparentColumns = new QCheckBox(tr("Transparent columns"), controlsBox);
  MarginTransp = NumberList(controlsBox, SkinTranspValues());
  BackTransp = NumberList(controlsBox, SkinTranspValues());
  ToolbarStyle = TextList(controlsBox, CToolbarButtonsStyles);
  NonOvalStyle = TextList(controlsBox, CNonOvalButtonsStyles);
  controls->addRow(TransparentColumns);
  controls->addRow(tr("Control margin transparency"), MarginTransp);
  controls->addRow(tr("Control background transparency"), BackTransp);
  controls->addRow(tr("Toolbar buttons style"), ToolbarStyle);
  controls->addRow(tr("Non-oval buttons style"), NonOvalStyle);
  generalLayout->addWidget(controlsBox);

  const TSkinOptions defaults;
  for (size_t i = 0; i < SkinColorFields.size(); ++i) {
    auto* panel = new TColorPanel(defaults.*SkinColorFields[i].Field, this);
    panel->setObjectName(ToQString(SkinColorFields[i].Key));
    panel->OnPress = [this](TColorPanel& pressed, Qt::MouseButton button) {
      PanelPressed(pressed, button);
    };
    ColorPanels.push_back(panel);
  }
  auto* fadeRow = new QHBoxLayout;
  fadeRow->addWidget(new QLabel(tr("Fade color"), general));
  fadeRow->addWidget(ColorPanels[0]);
  ColorPanels[0]->Remark = tr(" The picture is reloaded every time this is changed.");
  fadeRow->addStretch(1);
  generalLayout->addLayout(fadeRow);
  generalLayout->addStretch(1);
  Pages->addTab(general, tr("General"));

  // ---- Colors
  auto* colors = new QWidget(Pages);
  auto* grid = new QGridLayout(colors);
  for (size_t i = 1; i < ColorPanels.size(); ++i) {
    const int place = static_cast<int>(i) - 1;
    const int row = place % 18, column = (place / 18) * 2;
    grid->addWidget(new QLabel(QStringLiteral("    ") + tr(CColorCaptions[i]), colors), row,
                    column);
    ColorPanels[i]->setParent(colors);
    grid->addWidget(ColorPanels[i], row, column + 1);
  }
  Pages->addTab(colors, tr("Colors"));

  auto* buttons = new QHBoxLayout;
  auto* help = new QPushButton(tr("&Help"), this);
  OkayButton = new QPushButton(tr("&Okay"), this);
  OkayButton->setDefault(true);
  buttons->addWidget(help);
  buttons->addStretch(1);
  buttons->addWidget(OkayButton);
  layout->addLayout(buttons);
  connect(help, &QPushButton::clicked, this, [] { ShowHelp(SkinEditorHelpContext); });
  // There is nothing to cancel: Escape closes as Okay does.
  connect(OkayButton, &QPushButton::clicked, this, &QDialog::accept);

  connect(UseBackPicture, &QCheckBox::toggled, this, [this] { Changed(true); });
  connect(StretchBackPicture, &QCheckBox::toggled, this, [this] { PictureParameterChanged(); });
  connect(FitBeforeTile, &QCheckBox::toggled, this, [this] {
    // Stretching ignores fitting: nothing to show again.
    if (!StretchBackPicture->isChecked()) PictureParameterChanged();
  });
  for (QComboBox* list : {Fade, Gamma, RotateRG, RotateGB, RotateBR})
    connect(list, &QComboBox::currentIndexChanged, this, [this] { PictureParameterChanged(); });
  connect(TransparentColumns, &QCheckBox::toggled, this, [this] { Changed(false); });
  for (QComboBox* list : {MarginTransp, BackTransp, ToolbarStyle, NonOvalStyle})
    connect(list, &QComboBox::currentIndexChanged, this, [this] { Changed(false); });
  connect(ClearRotations, &QPushButton::clicked, this, [this] {
    Filling = true;
    for (QComboBox* list : {RotateRG, RotateGB, RotateBR})
      SelectText(list, QStringLiteral("0"));
    Filling = false;
    PictureParameterChanged();
  });
  // Shows the turns that tint the picture toward the fade colour; the lists
  // stay as they are, the user picks from the report.
  connect(RecommendRotations, &QPushButton::clicked, this, [this] {
    if (!Skin) return;
    TGuard guard("TSkinForm::RecommendColorRotateButtonClick");
    guard.Run([&] {
      TColorRotation rotation;
      const std::string report =
          RecommendColorRotateValues(Skin->BackPictureFileTitle, Skin->FadeColor, rotation);
      guard.TakeOver();
      ShowInformation(report);
    });
    guard.Show("Failed to recommend values.");
  });
  connect(ChangePicture, &QPushButton::clicked, this, [this] { LoadPicture(); });
  AskPicture = [this](const std::string& proposal) {
    return FromQString(QFileDialog::getOpenFileName(
        this, tr("Background picture"), ToQString(proposal),
        tr("Pictures (*.bmp *.gif *.jpg *.jpeg *.png *.tif *.tiff *.webp *.ico)")));
  };
}

void TSkinEditorForm::Dialog(TSkinOptions& skin) {
  Skin = &skin;
  OptionsToControls(skin);
  OkayButton->setFocus();
  exec();
}

void TSkinEditorForm::OptionsToControls(const TSkinOptions& skin) {
  Filling = true;
  UseBackPicture->setChecked(skin.UseBackPicture);
  PictureTitle->setText(ToQString(skin.BackPictureFileTitle));
  StretchBackPicture->setChecked(skin.StretchBackPicture);
  FitBeforeTile->setChecked(skin.FitBeforeTileBackPicture);
  SelectText(Fade, QString::number(skin.FadeBackPicture));
  SelectText(Gamma, QString::number(skin.GammaBackPicture));
  SelectText(RotateRG, QString::number(skin.RotateRGBackPicture));
  SelectText(RotateGB, QString::number(skin.RotateGBBackPicture));
  SelectText(RotateBR, QString::number(skin.RotateBRBackPicture));
  TransparentColumns->setChecked(skin.TransparentColumns);
  SelectText(MarginTransp, QString::number(skin.ControlMarginTransp));
  SelectText(BackTransp, QString::number(skin.ControlBackTransp));
  SelectText(ToolbarStyle, ToQString(skin.ToolbarButtonsStyle));
  SelectText(NonOvalStyle, ToQString(skin.NonOvalButtonsStyle));
  for (size_t i = 0; i < SkinColorFields.size(); ++i)
    ColorPanels[i]->SetColor(skin.*SkinColorFields[i].Field);
  Filling = false;
}

void TSkinEditorForm::ControlsToOptions(TSkinOptions& skin) const {
  skin.UseBackPicture = UseBackPicture->isChecked();
  skin.StretchBackPicture = StretchBackPicture->isChecked();
  skin.FitBeforeTileBackPicture = FitBeforeTile->isChecked();
  skin.FadeBackPicture = Fade->currentText().toInt();
  skin.GammaBackPicture = Gamma->currentText().toInt();
  skin.RotateRGBackPicture = RotateRG->currentText().toInt();
  skin.RotateGBBackPicture = RotateGB->currentText().toInt();
  skin.RotateBRBackPicture = RotateBR->currentText().toInt();
  skin.TransparentColumns = TransparentColumns->isChecked();
  skin.ControlMarginTransp = MarginTransp->currentText().toInt();
  skin.ControlBackTransp = BackTransp->currentText().toInt();
  skin.ToolbarButtonsStyle = FromQString(ToolbarStyle->currentText());
  skin.NonOvalButtonsStyle = FromQString(NonOvalStyle->currentText());
  for (size_t i = 0; i < SkinColorFields.size(); ++i)
    skin.*SkinColorFields[i].Field = ColorPanels[i]->Color();
}

void TSkinEditorForm::Changed(bool reloadPicture) {
  if (Filling || !Skin) return;
  ControlsToOptions(*Skin);
  if (OnChange) OnChange(reloadPicture);
}

void TSkinEditorForm::PictureParameterChanged() {
  // The picture is made again only when it is shown at all.
  Changed(UseBackPicture->isChecked());
}

void TSkinEditorForm::LoadPicture() {
  if (!Skin) return;
  TGuard guard("TSkinForm::LoadPicture");
  guard.Run([&] {
    const std::string pictures = Program.BackPicturesPath();
    std::string proposal = ResolveBackPictureTitle(Skin->BackPictureFileTitle, pictures);
    if (GetTitleName(proposal).empty()) proposal = IncludeDelimiter(pictures);
    const std::string chosen = AskPicture ? AskPicture(proposal) : std::string();
    if (chosen.empty()) return;
    Skin->BackPictureFileTitle = chosen;
    PictureTitle->setText(ToQString(chosen));
    Filling = true;
    UseBackPicture->setChecked(true);
    Filling = false;
    Changed(true);
  });
  guard.Show("Failed to load picture.");
}

void TSkinEditorForm::PanelPressed(TColorPanel& panel, Qt::MouseButton button) {
  LastPanel = &panel;
  const bool fade = &panel == ColorPanels[0];
  // A right press in the stock dialog shows the colour at once.
  const TColorPreview preview = [this, fade](TColor color) {
    if (!LastPanel) return;
    LastPanel->SetColor(color);
    Changed(fade);
  };
  if (ChooseColorForPanel(panel, button, preview)) Changed(fade);
}

std::string ChooseSkinFileToSave(QWidget* parent, const std::string& skinsPath,
                                 const std::string& proposed) {
  QFileDialog dialog(parent, QObject::tr("Save skin"), ToQString(skinsPath),
                     QObject::tr("Skins (*.cvs)"));
  dialog.setObjectName(QStringLiteral("SaveSkinDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The dialog's own overwrite question must see the name that is written:
  // the suffix is added before it asks, not after it closed.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setDefaultSuffix(ToQString(std::string(SkinExtension.substr(1))));
  if (proposed != "*") dialog.selectFile(ToQString(proposed));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return WithSkinExtension(FromQString(dialog.selectedFiles().front()));
}

} // namespace cv
