#pragma once
// "Filtered selection": selects or deselects the files of a column whose
// names match a pattern.

#include <QDialog>

#include <string>

class QComboBox;
class QPushButton;

namespace cv {

class TColumn;

class TSelectionForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 502;

  explicit TSelectionForm(QWidget* parent = nullptr);

  // True when "&Okay" closed the dialog after a run.
  bool Dialog(TColumn& column, bool select);
  // Dialog without the modal loop (tests drive the buttons).
  void Prepare(TColumn& column, bool select);
  // "&Okay": the run; false leaves the dialog open.
  bool Do();

  QComboBox* PatternBox = nullptr;
  QPushButton* ActiveButton = nullptr;
  QPushButton* OkayButton = nullptr;
  QPushButton* CancelButton = nullptr;

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  TColumn* Column = nullptr;
  bool Select = true;
  std::string ActiveTitle;
};

} // namespace cv
