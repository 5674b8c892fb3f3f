// The Skins button: its menu of skin files, "Edit", "Save as" and
// "Default", the current skin in the settings file, and showing a changed
// skin in every window.

#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/File.h"
#include "foundation/Drawing.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/QtText.h"
#include "foundation/StoredTextList.h"
#include "foundation/Utilities.h"
#include "mainwindow/MainMenus.h"
#include "mainwindow/SkinEditorForm.h"
#include "mainwindow/SkinFile.h"
#include "mainwindow/SkinOptions.h"
#include "pictures/Pictures.h"

#include <QApplication>
#include <QFont>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

const char* const CSkinsTitleHint =
    "Skins are \"faces\" for the main window of the program. A skin stores various options for "
    "the user interface, like: colors, background picture, buttons style, special effects. The "
    "skins are not automatically saved; however, the options of the current skin are saved in "
    "the program's options. Basically, the \"current skin\" is a copy of the skin that you "
    "load, not the actual loaded skin. This allows you to load a skin, edit it, close the "
    "program (to save the changes you made to the current skin), but preserve the skin itself "
    "unchanged (because only the copy of the skin itself is changed).";
const char* const CEditHint =
    "Edit the options of the current skin. If you want to be able to change the current skin, "
    "but also load the edited skin at a later time, you have to save it manually (use the "
    "\"Save as\" menu) before you load another skin.";
const char* const CSaveAsHint =
    "Save the current skin with the specified name. Skins are saved only manually. However, the "
    "current skin is automatically loaded from and saved into the program's internal options. "
    "You can save skins in subdirectories so that the \"Skins\" menu would display them in "
    "submenus. It is recommended that you don't save your skins in the \"Predefined\" directory "
    "because if you install the program again, the predefined skins will overwrite your saved "
    "skins.";
const char* const CSkinsButtonHint =
    "Skins. [Ctrl] (when you display the menu) = when a skin is loaded, only its colors are "
    "loaded (the other parameters remain the current ones).";

} // namespace

// The skin's colour adjustments but the fade, which the tiling does over
// the whole area.
static TPictureAdjust BackPictureAdjust(const TSkinOptions& skin) {
  TPictureAdjust adjust;
  adjust.Gamma = skin.GammaBackPicture;
  adjust.BlueRed = skin.RotateBRBackPicture;
  adjust.GreenBlue = skin.RotateGBBackPicture;
  adjust.RedGreen = skin.RotateRGBackPicture;
  return adjust;
}

// The picture over the client area: stretched, or tiled (fitted first when
// asked), faded toward the fade colour.
QImage TileBackPicture(const QImage& source, const TSkinOptions& skin, QSize client) {
  QImage tiled(client, QImage::Format_RGB32);
  tiled.fill(ToQColor(skin.FadeColor));
  if (source.isNull() || client.isEmpty()) return tiled;
  QPainter canvas(&tiled);
  if (skin.StretchBackPicture) {
    canvas.drawImage(QRect(QPoint(0, 0), client), source);
  } else {
    QImage tile = source;
    if (skin.FitBeforeTileBackPicture) {
      // As large as fits, so the fewest seams show.
      const int across = std::max(1, client.width() / source.width());
      const int down = std::max(1, client.height() / source.height());
      tile = source.scaled(client.width() / across, client.height() / down, Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
    }
    canvas.fillRect(QRect(QPoint(0, 0), client), QBrush(tile));
  }
  if (skin.FadeBackPicture > 0)
    canvas.fillRect(QRect(QPoint(0, 0), client),
                    ToQColor(skin.FadeColor, skin.FadeBackPicture * 255 / 100));
  return tiled;
}

void TMainForm::SetupBackPicture(const std::string& title) {
  TGuard guard("TMainForm::SetupBackPicture");
  guard.Run([&] {
    if (!title.empty())
      SkinOptions.BackPictureFileTitle = ResolveBackPictureTitle(title, Program.BackPicturesPath());
    BackImage = QImage();
    const std::string& picture = SkinOptions.BackPictureFileTitle;
    if (!SkinOptions.UseBackPicture || GetTitleName(picture).empty()) return;
    struct stat facts {};
    if (::stat(picture.c_str(), &facts) != 0) return; // no file, no picture
    const TBackPictureKey key{picture, facts.st_mtim.tv_sec, facts.st_mtim.tv_nsec};
    if (key != BackSourceKey) {
      BackSource = QImage();
      BackSourceKey = key;
      BackAdjusted = QImage();
      // Regular files only, decoded under the picture layer's allocation cap.
      BackSource = LoadPictureFile(picture, &facts);
      if (!BackSource.isNull()) BackSource = BackSource.convertToFormat(QImage::Format_RGB32);
      if (BackSource.isNull()) {
        // One report per file and modification time, not one per resize step.
        if (BrokenBackPictures.insert(key).second) guard.TakeOver();
        FunStatContext.Reset(fsPerfect);
        return;
      }
    }
    // A picture that failed before stays without a picture until it changes.
    if (BackSource.isNull()) return;
    // Gamma and colour turns are worked out once per picture and setting:
    // a resize only tiles again.
    const TPictureAdjust adjust = BackPictureAdjust(SkinOptions);
    const std::array<int, 4> adjustKey{adjust.Gamma, adjust.BlueRed, adjust.GreenBlue,
                                       adjust.RedGreen};
    if (BackAdjusted.isNull() || adjustKey != BackAdjustedFor) {
      BackAdjustedFor = adjustKey;
      BackAdjusted = adjust.Applies()
                         ? AdjustPicture(BackSource, adjust,
                                         {BackSource.width(), BackSource.height()})
                               .convertToFormat(QImage::Format_RGB32)
                         : BackSource;
    }
    // The panels find their part of it by their place in the window.
    BackImage = TileBackPicture(BackAdjusted, SkinOptions, size());
  });
  guard.Show("Failed to set up background picture.");
}

void TMainForm::RegisterSkins() {
  MyTPanel* button = ToolbarButtons[2];
  button->setToolTip(QString::fromUtf8(CSkinsButtonHint));
  button->OnMouseDown = [this](const QMouseEvent& event, const QPoint&) {
    ShowSkinsMenu(!event.modifiers().testFlag(Qt::ControlModifier));
  };
  GMyPanelOptions.BackPicture = [this](const QWidget& control) {
    return BackPictureOf(control, BackImage.isNull() ? nullptr : &BackImage, this);
  };
  for (MyTPanel* panel : {Toolbar, BoardsBar, HintBar})
    panel->SetTransparent(true);
  for (MyTPanel* panel : ToolbarButtons)
    panel->SetTransparent(true);
  for (TColumnView* view : Views)
    view->FileList->SetTransparent(true);
  Menus->On("File/Miscellaneous/Set as background", [this] {
    const std::string title = Column(ActiveColumn()).ActiveTitle;
    SkinOptions.UseBackPicture = true;
    SetupBackPicture(title);
    ApplySkin(false);
  });
  SkinEditor = new TSkinEditorForm(this);
  SkinEditor->OnChange = [this](bool reloadPicture) { ApplySkin(reloadPicture); };
}

void TMainForm::ReadCurrentSkin(const TStoredTextList& ini) {
  TGuard guard("TSkinForm::ReadSkin");
  guard.Run([&] {
    ReadSkin(ini, SkinOptions, SkinFullLoad, Program.BackPicturesPath());
    guard.TakeOver();
  });
  guard.Show("Failed to load skin.");
}

void TMainForm::WriteCurrentSkin(TStoredTextList& ini) const {
  WriteSkin(ini, SkinOptions, Program.BackPicturesPath());
}

void TMainForm::InstallPredefinedSkins() {
  TGuard guard("TMainForm::InstallPredefinedSkins");
  guard.Run([&] {
    for (const std::string& source : ShippedSkinsPaths(Program.ProgramPath())) {
      CopyPredefinedSkins(source, Program.SkinsPath());
      guard.TakeOver();
    }
  });
  guard.Show("Failed to copy predefined skins.");
}

void TMainForm::ShowSkinsMenu(bool fullLoad) {
  TGuard guard("TSkinForm::ShowMenu");
  guard.Run([&] {
    SkinFullLoad = fullLoad;
    // Rebuilt at every showing, so new skin files show up.
    delete SkinsMenu;
    SkinsMenu = new QMenu(this);
    SkinsMenu->setObjectName(QStringLiteral("SkinsMenu"));
    SkinsMenu->setToolTipsVisible(true);
    const std::vector<TFileMenuEntry> entries =
        ReadFileMenu(Program.SkinsPath(), TFileMenuKind::Skins);
    // An unreadable directory was shown by the listing; its readable part stays.
    FunStatContext.Reset(fsPerfect);
    QAction* title =
        SkinsMenu->addAction(fullLoad ? tr("Skins (full load)") : tr("Skins (only colors)"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setStatusTip(QString::fromUtf8(CSkinsTitleHint));
    SkinsMenu->setDefaultAction(title);
    QAction* edit = SkinsMenu->addAction(tr("Edit"));
    edit->setStatusTip(QString::fromUtf8(CEditHint));
    connect(edit, &QAction::triggered, this, [this] { EditSkin(); });
    QAction* saveAs = SkinsMenu->addAction(tr("Save as"));
    saveAs->setStatusTip(QString::fromUtf8(CSaveAsHint));
    connect(saveAs, &QAction::triggered, this, [this] { SaveSkinAs(); });
    QAction* defaults = SkinsMenu->addAction(tr("Default"));
    defaults->setStatusTip(tr("Set the default skin"));
    connect(defaults, &QAction::triggered, this, [this] {
      // Everything, whatever the menu was opened with.
      SkinOptions.SetDefaults(true);
      ApplySkin(true);
    });
    SkinsMenu->addSeparator();
    // Each item keeps the file's full title; nothing is rebuilt from captions.
    ShowFileMenuEntries(*SkinsMenu, entries,
                        [this](const std::string& title) { ApplySkinFile(title); });
    for (QAction* action : SkinsMenu->actions())
      if (action->statusTip().isEmpty() && !action->isSeparator() && !action->menu())
        action->setStatusTip(tr("Apply this skin"));
    MyTPanel* button = ToolbarButtons[2];
    SkinsMenu->popup(button->mapToGlobal(QPoint(0, button->height())));
  });
  guard.Show("Failed to setup the \"Skins\" menu.");
}

void TMainForm::ApplySkinFile(const std::string& title) {
  TGuard guard("TSkinForm::ApplySkinFile");
  bool changed = false;
  guard.Run([&] {
    changed = LoadSkinFile(title, SkinOptions, SkinFullLoad, Program.BackPicturesPath());
    guard.TakeOver();
  });
  // A file that loaded is shown as it stands, also after a refused value.
  if (changed) ApplySkin(true);
  guard.Show("Failed to load skin.");
}

void TMainForm::SaveSkinAs() {
  TGuard guard("TSkinForm::SaveAs");
  guard.Run([&] {
    const std::string skins = Program.SkinsPath();
    ForceDirectories(skins);
    const std::string title = ChooseSkinFileToSave(this, skins, ProposedSkinName(SkinOptions));
    if (title.empty()) return;
    SaveSkinFile(title, SkinOptions, Program.BackPicturesPath());
  });
  guard.Show("Failed to save skin.");
  FocusColumn(ActiveColumn());
}

void TMainForm::EditSkin() {
  TGuard guard("TSkinForm::Dialog");
  guard.Run([&] { SkinEditor->Dialog(SkinOptions); });
  guard.Show("Failed to show skin options.");
  FocusColumn(ActiveColumn());
}

void TMainForm::ApplySkinLook() {
  // Toolbar button shapes: rounded 0, square 1, single oval 2, double oval 3.
  const auto& styles = CToolbarButtonsStyles;
  const auto style = std::find(styles.begin(), styles.end(), SkinOptions.ToolbarButtonsStyle);
  if (style != styles.end()) {
    const int shape = static_cast<int>(style - styles.begin());
    for (MyTPanel* button : ToolbarButtons) {
      button->SetShape(shape);
      button->SetShapeInset(shape == 1 ? 0 : 1);
    }
  }
}

void TMainForm::ApplySkin(bool reloadPicture) {
  TGuard guard("TSkinForm::ApplySkin");
  guard.Run([&] {
    if (reloadPicture) SetupBackPicture({});
    ApplySkinLook();
    Reset(false);
    for (TColumnView* view : Views)
      view->Refresh();
    // Every window reads the skin when it paints: have them all paint again.
    for (QWidget* window : QApplication::topLevelWidgets()) {
      window->update();
      for (QWidget* child : window->findChildren<QWidget*>())
        child->update();
    }
    FocusColumn(ActiveColumn());
  });
  guard.Show("Failed to apply skin.");
}

} // namespace cv
