// Every dialog shows its last row whole: no child reaches past the bottom
// margin, and no child is squeezed below the height it needs for its text.

#include "columns/BoardForm.h"
#include "fileops/CopyAsForm.h"
#include "fileops/FileForm.h"
#include "fileops/ManualRunForm.h"
#include "fileops/NewFileForm.h"
#include "fileops/OpenWithForm.h"
#include "fileops/OverwriteForm.h"
#include "fileops/PropertiesForm.h"
#include "fileops/RenameForm.h"
#include "fileops/UndoListForm.h"
#include "foundation/ColorDialog.h"
#include "foundation/ErrorForm.h"
#include "install/InstallForm.h"
#include "install/WizardForm.h"
#include "mainwindow/OptionsForm.h"
#include "search/CommonTextForm.h"
#include "mainwindow/SkinEditorForm.h"
#include "search/LocateFileForm.h"
#include "search/SearchFileForm.h"
#include "search/SelectionForm.h"
#include "search/TextToCodeForm.h"
#include "search/TreeNavigatorForm.h"
#include "security/FileStreamsForm.h"
#include "security/PasswordGeneratorForm.h"
#include "security/StegForm.h"

#include "TestSupport.h"

#include <QDialog>
#include <QLayout>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace cv {
namespace {

std::unique_ptr<QDialog> MadeInstallForm(TInstallMode mode) {
  auto form = std::make_unique<TInstallForm>();
  form->Setup(mode, "Corvantide", "File manager", "Version 1.0");
  return form;
}

TEST(DialogFitTest, EveryChildFitsInsideItsDialog) {
  test::TRecordingUserInterface ui;
  TFileFormSettings settings;
  TSearchFileSettings searchSettings;
  TCommonTextSettings commonSettings;
  struct TCase {
    const char* Name;
    std::function<std::unique_ptr<QDialog>()> Make;
  };
  const TCase cases[] = {
      {"board", [] { return std::make_unique<TBoardForm>(); }},
      {"copy as", [] { return std::make_unique<TCopyAsForm>(); }},
      {"file", [&] { return std::make_unique<TFileForm>(settings); }},
      {"manual run", [] { return std::make_unique<TManualRunForm>(); }},
      {"new file", [] { return std::make_unique<TNewFileForm>(); }},
      {"open with", [] { return std::make_unique<TOpenWithForm>(); }},
      {"no application", [] { return std::make_unique<TNoApplicationForm>(); }},
      {"overwrite", [] { return std::make_unique<TOverwriteForm>(); }},
      {"properties", [] { return std::make_unique<TPropertiesForm>(); }},
      {"rename", [] { return std::make_unique<TRenameForm>(); }},
      {"undo list", [] { return std::make_unique<TUndoListForm>(); }},
      {"error", [] { return std::make_unique<TErrorForm>(); }},
      {"options", [] { return std::make_unique<TOptionsForm>(); }},
      {"tree navigator", [] { return std::make_unique<TTreeNavigatorForm>(); }},
      {"selection", [] { return std::make_unique<TSelectionForm>(); }},
      {"locate file", [] { return std::make_unique<TLocateFileForm>(); }},
      {"text to code", [] { return std::make_unique<TTextToCodeForm>(); }},
      {"search file", [&] { return std::make_unique<TSearchFileForm>(searchSettings); }},
      {"find common text", [&] { return std::make_unique<TCommonTextForm>(commonSettings); }},
      {"file streams", [] { return std::make_unique<TFileStreamsForm>(); }},
      {"password generator", [] { return std::make_unique<TPasswordGeneratorForm>(); }},
      {"wizard", [] { return std::make_unique<TWizardForm>(FirstRunChoices()); }},
      {"steg", [] { return std::make_unique<TStegForm>(); }},
      {"stock colors", [] { return std::make_unique<TColorForm>(); }},
      {"skin editor", [] { return std::make_unique<TSkinEditorForm>(); }},
      {"install", [] { return MadeInstallForm(TInstallMode::Install); }},
      {"uninstall", [] { return MadeInstallForm(TInstallMode::Uninstall); }},
  };
  for (const TCase& c : cases) {
    const std::unique_ptr<QDialog> dialog = c.Make();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get())) << c.Name;
    const int margin = dialog->layout() ? dialog->layout()->contentsMargins().bottom() : 0;
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
      if (!child->isVisibleTo(dialog.get()) || child->isWindow()) continue;
      // The dialog's own rows: a compound control's inner parts follow its style.
      QWidget* parent = child->parentWidget();
      const bool laidOut = parent->layout() && parent->layout()->indexOf(child) >= 0;
      if (parent != dialog.get() && !laidOut) continue;
      const QRect place(child->mapTo(dialog.get(), QPoint(0, 0)), child->size());
      const bool direct = parent == dialog.get();
      EXPECT_LE(place.bottom() + 1 + (direct ? margin : 0), dialog->height())
          << c.Name << " " << child->metaObject()->className() << " "
          << child->objectName().toStdString();
      const int needed = child->minimumSizeHint().height();
      if (child->sizePolicy().verticalPolicy() != QSizePolicy::Ignored)
        EXPECT_GE(child->height(), needed)
            << c.Name << " " << child->metaObject()->className() << " "
            << child->objectName().toStdString();
    }
  }
}

} // namespace
} // namespace cv
