// The security tools of the main window: the data streams editor of the
// active file and the password generator.

#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "mainwindow/MainMenus.h"
#include "security/FileStreamsForm.h"
#include "security/PasswordGeneratorForm.h"

namespace cv {

void TMainForm::RegisterSecurityCommands() {
  // Top-level window of its own: it stays beside the main window.
  FileStreamsForm = new TFileStreamsForm(this);
  PasswordGeneratorForm = new TPasswordGeneratorForm(this);
  IniSteps.Add(
      TIniStep::OtherDialogs,
      [this](const TStoredTextList& ini) { FileStreamsForm->ReadBounds(ini); },
      [this](TStoredTextList& ini) { FileStreamsForm->WriteBounds(ini); });
  Menus->On("File/View & Edit/Edit streams", [this] { EditStreamsCommand(0); });
  Menus->On("File/View & Edit/Edit streams (autoload)", [this] { EditStreamsCommand(1); });
  Menus->On("File/View & Edit/Edit description", [this] { EditStreamsCommand(2); });
  Menus->On("Work/Gizmos/Password generator", [this] { PasswordGeneratorForm->Dialog(); });
}

void TMainForm::EditStreamsCommand(int mode) {
  const std::string title = Column(ActiveColumn()).ActiveTitle;
  if (title.empty()) return;
  FileStreamsForm->Open(title, mode);
}

} // namespace cv
