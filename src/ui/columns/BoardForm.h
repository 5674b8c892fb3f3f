#pragma once
// The rename dialog of boards and containers: "Rename board" /
// "Rename container", one name with a history.

#include <QDialog>

#include <string>

class QComboBox;
class QGroupBox;
class QPushButton;

namespace cv {

class TBoardForm : public QDialog {
  Q_OBJECT
public:
  explicit TBoardForm(QWidget* parent = nullptr);

  // `what` is "board" or "container". True, with the new name, on "&Rename".
  bool Dialog(const std::string& what, std::string& name);
  void Prepare(const std::string& what, const std::string& name);
  std::string Name() const;

  QGroupBox* NameGroup;
  QComboBox* NameBox;
  QPushButton *RenameButton, *CancelButton;
};

} // namespace cv
