#pragma once
// "Rename file" / "Rename container item": the active item's name, and Up
// and Down to rename one item after another through the column.

#include "fileops/Overwrite.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace cv {

class TColumn;

class TRenameForm : public QDialog {
  Q_OBJECT
public:
  explicit TRenameForm(QWidget* parent = nullptr);

  // Renames the column's items starting at its active one; `renameItem`
  // renames the item at a position of the container the column shows
  // (unset for a directory). True when anything was renamed.
  using TRenameItem = std::function<bool(int index, const std::string& newTitle)>;
  bool Dialog(TColumn& column, bool containerMode, TRenameItem renameItem);
  void Prepare(TColumn& column, bool containerMode, TRenameItem renameItem);
  // Renames the shown item; false while the dialog must stay on it.
  bool Do();
  // Renames, then shows the item `step` places on (closing past either end).
  void Step(int step);
  int Index() const { return Current; }
  // The title of the column's item at `index`, renamed or not.
  const std::string& TitleAt(int index) const { return Titles.at(static_cast<size_t>(index)); }
  bool Renamed() const { return AnyRenamed; }

  QLabel* PathLabel;
  QLineEdit* NameEdit;
  QPushButton *ByCurrentButton, *ByCreationButton, *RenameButton, *CancelButton;

  // The overwrite window; tests script it.
  TOverwriteAsk OverwriteAsk;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void Load(int index);

  std::vector<std::string> Titles;
  std::vector<int64_t> Created;
  TRenameItem RenameItem;
  TOverwriteDecision Decision;
  bool FileMode = true;
  bool AnyRenamed = false;
  int Current = 0;
};

} // namespace cv
