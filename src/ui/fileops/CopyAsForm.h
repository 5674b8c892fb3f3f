#pragma once
// "Copy as", "Move as", "Copy as hard-link": one dragged item into the
// destination column under a new name.

#include "fileops/NameCommands.h"

#include <QDialog>

#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace cv {

class TCopyAsForm : public QDialog {
  Q_OBJECT
public:
  explicit TCopyAsForm(QWidget* parent = nullptr);

  // True when the copy, move or link is done, or, for a directory, when
  // the name was accepted: `WholeDirectory()` then asks the caller to copy
  // or move it under `Name()` with the file operation engine.
  bool Dialog(const std::string& source, const std::string& destinationDirectory, TCopyAsMode mode,
              const std::string& activeName);
  void Prepare(const std::string& source, const std::string& destinationDirectory, TCopyAsMode mode,
               const std::string& activeName);
  // The confirm button: false while the dialog must stay open.
  bool Do();
  bool WholeDirectory() const { return IsWholeDirectory; }
  // The name's bytes; empty when the edit cannot give them (see GetEditBytes).
  std::string Name() const;

  QComboBox* NameBox;
  QLabel* PathsLabel;
  QPushButton *ByCurrentButton, *ByCreationButton, *ActiveButton, *ConfirmButton, *CancelButton;

  // The overwrite window; tests script it.
  TOverwriteAsk OverwriteAsk;

private:
  // The edited name, with the title of a partition given back when left as shown.
  std::string RealName(const std::string& shown) const;
  std::string Source, DestinationDirectory, ActiveName;
  TCopyAsMode Mode = TCopyAsMode::Copy;
  TOverwriteDecision Decision;
  bool IsWholeDirectory = false;
};

} // namespace cv
