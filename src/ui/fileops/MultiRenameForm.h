#pragma once
// "Multi-rename file" / "Multi-rename item": the selected items of a
// column renamed with one pattern, previewed side by side first.

#include "fileops/MultiRename.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace cv {

class TColumn;
class TContainer;
class TStoredTextList;

class TMultiRenameForm : public QDialog {
  Q_OBJECT
public:
  explicit TMultiRenameForm(QWidget* parent = nullptr);

  // `container` is the container the column shows (null for a directory);
  // `renameFiles` renames the files (their items follow), else only the
  // container items' titles change. True when anything was renamed: the
  // caller reloads the column.
  bool Dialog(TColumn& column, TContainer* container, bool renameFiles);
  // Fills the dialog; false when there is nothing to rename or it was refused.
  bool Prepare(TColumn& column, TContainer* container, bool renameFiles);
  // "Pre&view": true when the right list was rebuilt.
  bool Preview();
  // "&Rename": preview, ask, rename. True when the dialog may close.
  bool Do();
  bool Renamed() const { return AnyRenamed; }
  const std::vector<std::string>& NewTitles() const { return Titles; }

  // "MultiRename": the counter digits and the window's bounds.
  void ReadSettings(const TStoredTextList& ini);
  void WriteSettings(TStoredTextList& ini) const;

  QListWidget *OldList, *NewList;
  QLineEdit *PrefixEdit, *SuffixEdit, *ExtensionEdit, *OriginalEdit, *NewTextEdit;
  QComboBox *DigitsBox, *StartBox, *StepBox;
  QPushButton *PreviewButton, *RenameButton, *CancelButton, *HelpButton;

  // The overwrite window; tests script it.
  TOverwriteAsk OverwriteAsk;

private:
  void Fill(QListWidget* list, const std::vector<std::string>& titles, const char* hint);
  void EnableControls(bool enabled);
  bool Rename();

  TMultiRenameMode Mode = TMultiRenameMode::Files;
  TContainer* Container = nullptr;
  std::vector<std::string> OldTitles, Titles;
  std::vector<int> Positions; // the column's (and container's) index of each title
  bool AnyRenamed = false;
};

} // namespace cv
