#pragma once
// "Undo list": the last file operations with what each did, newest first;
// the chosen one is undone together with every operation after it.

#include "fileops/UndoJournal.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace cv {

class TUndoListForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 407;

  explicit TUndoListForm(QWidget* parent = nullptr);

  // Shows the records (newest first); true with the chosen record's id when
  // the user asked to undo through it.
  bool Dialog(const std::vector<TUndoRecord>& records, uint64_t& throughId);
  // Fills the list without showing it.
  void Fill(const std::vector<TUndoRecord>& records);
  // The id of the selected row, 0 when none.
  uint64_t SelectedId() const;

  QTreeWidget* List = nullptr;
  QPushButton* UndoButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QPushButton* HelpButton = nullptr;

private:
  void UpdateButton();
};

// The steps of a record as lines for the list's tips ("Moved a -> b").
std::string DescribeSteps(const TUndoRecord& record, size_t most = 20);

} // namespace cv
