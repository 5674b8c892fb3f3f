#pragma once
// "Properties": the facts of one file, its permissions to edit, and for a
// directory the size of its contents, counted on a worker thread.

#include "filesystem/Properties.h"

#include <QDialog>

#include <array>
#include <memory>
#include <string>

class QCheckBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QTimer;

namespace cv {

class TPropertiesForm : public QDialog {
  Q_OBJECT
public:
  explicit TPropertiesForm(QWidget* parent = nullptr);
  ~TPropertiesForm() override;

  // Fills the window and, for a directory, starts the count. False with
  // the failure in the status context when the facts cannot be read.
  bool Load(const std::string& title);
  // Cancels a running count and lets its thread go without waiting: one
  // held in a file system that does not answer ends when it answers.
  void StopCounting();
  bool Counting() const;

  // Heard by the counting thread for every entry (tests slow it down).
  TDirectoryCountProgress CountHook;

  QLabel *NameLabel, *TypeLabel, *LocationLabel, *SizeLabel, *ModifiedLabel, *AccessedLabel,
      *ChangedLabel, *BornLabel, *OwnerLabel, *GroupLabel, *LinkLabel, *FileSystemLabel,
      *MountPointLabel, *PartitionLabel, *StreamsLabel, *ModeLabel;
  // Owner, group, others; read, write, execute in each.
  std::array<QCheckBox*, 9> ModeBoxes{};
  QPushButton *ApplyButton, *CloseButton, *StopButton;

protected:
  void done(int result) override;

private:
  QLayout* BuildPermissions();
  void FillFacts();
  // The boxes and the text of the mode on disk; nothing to apply.
  void ShowFactsMode();
  void ShowMode(mode_t mode);
  mode_t ModeOfBoxes() const;
  void Apply();
  void StartCounting();
  void ShowCount();

  TFileProperties Facts;
  QFormLayout* Form;
  QTimer* CountTimer;
  // Shared with the counting thread, which may outlive the window.
  struct TCountState;
  std::shared_ptr<TCountState> Count;
};

// Shows the properties window modally; a failure is shown.
void ShowPropertiesDialog(const std::string& title, QWidget* parent);

} // namespace cv
