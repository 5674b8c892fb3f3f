#pragma once
// The skin editor: every option of the current skin on two pages. There is
// no cancel: each change goes into the skin and is shown at once.

#include "foundation/ColorDialog.h"
#include "mainwindow/SkinOptions.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace cv {

class TSkinEditorForm : public QDialog {
  Q_OBJECT
public:
  explicit TSkinEditorForm(QWidget* parent = nullptr);

  // Shows the editor over `skin`, modal; changes go straight into it.
  void Dialog(TSkinOptions& skin);
  // Copies the skin into the controls and back.
  void OptionsToControls(const TSkinOptions& skin);
  void ControlsToOptions(TSkinOptions& skin) const;

  // A change was copied into the skin: show it (reload the picture or not).
  std::function<void(bool reloadPicture)> OnChange;
  // Asks for a picture file (tests give the answer).
  std::function<std::string(const std::string& proposal)> AskPicture;

  TSkinOptions* Skin = nullptr;
  QTabWidget* Pages = nullptr;
  QCheckBox* UseBackPicture = nullptr;
  QCheckBox* StretchBackPicture = nullptr;
  QCheckBox* FitBeforeTile = nullptr;
  QCheckBox* TransparentColumns = nullptr;
  QComboBox* Fade = nullptr;
  QComboBox* Gamma = nullptr;
  QComboBox* RotateRG = nullptr;
  QComboBox* RotateGB = nullptr;
  QComboBox* RotateBR = nullptr;
  QComboBox* MarginTransp = nullptr;
  QComboBox* BackTransp = nullptr;
  QComboBox* ToolbarStyle = nullptr;
  QComboBox* NonOvalStyle = nullptr;
  QLabel* PictureTitle = nullptr;
  QPushButton* ChangePicture = nullptr;
  QPushButton* ClearRotations = nullptr;
  QPushButton* RecommendRotations = nullptr;
  QPushButton* OkayButton = nullptr;
  // One panel per colour, in key order (the fade colour first).
  std::vector<TColorPanel*> ColorPanels;

private:
  void Changed(bool reloadPicture);
  void PictureParameterChanged();
  void LoadPicture();
  void PanelPressed(TColorPanel& panel, Qt::MouseButton button);
  bool Filling = false;
  TColorPanel* LastPanel = nullptr;
};

// The file "Save as" writes a skin to, from a save dialog that adds ".cvs"
// before it asks about overwriting; empty when cancelled.
std::string ChooseSkinFileToSave(QWidget* parent, const std::string& skinsPath,
                                 const std::string& proposed);

} // namespace cv
