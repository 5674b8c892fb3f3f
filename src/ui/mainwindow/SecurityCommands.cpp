// The security tools of the main window: the data streams editor of the
// active file, the password generator and files hidden in pictures.

#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "fileops/Run.h"
#include "foundation/Guard.h"
#include "mainwindow/MainMenus.h"
#include "security/FileStreamsForm.h"
#include "security/PasswordGeneratorForm.h"
#include "security/StegForm.h"

namespace cv {

void TMainForm::RegisterSecurityCommands() {
  // Top-level window of its own: it stays beside the main window.
  FileStreamsForm = new TFileStreamsForm(this);
  PasswordGeneratorForm = new TPasswordGeneratorForm(this);
  StegForm = new TStegForm(this);
  // The streams editor edits a ".png" carrier's hidden text file as its
  // content while the automatic mode is armed.
  FileStreamsForm->Model.AutoStegOut = [this](const std::string& carrier, std::string& text,
                                              std::string& name) {
    return StegForm->Session.AutoStegOut(carrier, true, text, name);
  };
  FileStreamsForm->Model.AutoStegIn = [this](const std::string& carrier, const std::string& name,
                                             const std::string& text) {
    return StegForm->Session.AutoStegIn(carrier, name, text);
  };
  IniSteps.Add(
      TIniStep::OtherDialogs,
      [this](const TStoredTextList& ini) {
        FileStreamsForm->ReadBounds(ini);
        StegForm->ReadSettings(ini);
      },
      [this](TStoredTextList& ini) {
        FileStreamsForm->WriteBounds(ini);
        StegForm->WriteSettings(ini);
      });
  Menus->On("File/View & Edit/Edit streams", [this] { EditStreamsCommand(0); });
  Menus->On("File/View & Edit/Edit streams (autoload)", [this] { EditStreamsCommand(1); });
  Menus->On("File/View & Edit/Edit description", [this] { EditStreamsCommand(2); });
  Menus->On("Work/Gizmos/Password generator", [this] { PasswordGeneratorForm->Dialog(); });
  Menus->On("File/View & Edit/View steg noise", [this] { ViewStegNoiseCommand(); });
  Menus->On("File/View & Edit/Activate auto steg-out", [this] { StegForm->AutoDialog(false); });
}

void TMainForm::ViewStegNoiseCommand() {
  const std::string title = Column(ActiveColumn()).ActiveTitle;
  if (title.empty()) return;
  const std::string noise = StegForm->ViewNoise(title);
  if (noise.empty()) return;
  TGuard guard("TMainForm::ViewStegNoise");
  guard.Run([&] {
    OpenWithDefaultApplication(noise);
    guard.TakeOver();
  });
  guard.Show("Failed to view steg noise.");
}

void TMainForm::EditStreamsCommand(int mode) {
  const std::string title = Column(ActiveColumn()).ActiveTitle;
  if (title.empty()) return;
  FileStreamsForm->Open(title, mode);
}

} // namespace cv
