#pragma once
// "New directory", "New file", "New file stream": one name, created in a
// directory (a stream is only named, for the streams editor).

#include <QDialog>

#include <string>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace cv {

class TNewFileForm : public QDialog {
  Q_OBJECT
public:
  explicit TNewFileForm(QWidget* parent = nullptr);

  // True when "&New" finished (also when the item already existed);
  // `Title()` is then the item's title.
  bool Dialog(const std::string& directory, int kind);
  void Prepare(const std::string& directory, int kind);
  // "&New": false while the dialog must stay open.
  bool Do();
  const std::string& Title() const { return NewTitle; }
  // Something new is on disk.
  bool Created() const { return WasCreated; }

  QGroupBox* NameGroup;
  QLineEdit* NameEdit;
  QPushButton *ByCurrentButton, *NewButton, *CancelButton;

private:
  std::string Directory, NewTitle;
  int Kind = 1;
  bool WasCreated = false;
};

} // namespace cv
