#pragma once
// "Directory tree navigator": the partitions and directories as a tree,
// read branch by branch; returns the directory the user picks. The tree is
// built afresh for every call and cleared afterwards.

#include "search/DirectoryTree.h"

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

namespace cv {

class TStoredTextList;
class TTreeView;

class TTreeNavigatorForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 506;

  explicit TTreeNavigatorForm(QWidget* parent = nullptr);

  // The chosen directory's title, or empty when cancelled or failed.
  std::string Dialog(const std::string& title);
  // The steps of Dialog around the modal loop (tests drive them).
  bool Prepare(const std::string& title);
  std::string Finish(bool confirmed);

  // Section "DTN": "XPos", "YPos", "XSize", "YSize".
  void ReadBounds(const TStoredTextList& ini);
  void WriteBounds(TStoredTextList& ini) const;

  // F2 with the keyboard's modifiers: the name, Ctrl the path, Shift or Alt the title.
  void ClipSelected(Qt::KeyboardModifiers modifiers);

  TDirectoryTree Tree;
  TTreeView* TreeView = nullptr;
  QLabel* CurrentFileTitleLabel = nullptr;
  QPushButton* OkayButton = nullptr;
  QPushButton* CancelButton = nullptr;
  std::string CurrentTitle;

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void Confirm(const std::string& title);
};

} // namespace cv
