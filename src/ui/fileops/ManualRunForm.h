#pragma once
// "Run program": a program title and its parameters, both with the title
// tokens, run without a shell; the dialog stays open for the next run.

#include <QDialog>

#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace cv {

class TManualRunForm : public QDialog {
  Q_OBJECT
public:
  explicit TManualRunForm(QWidget* parent = nullptr);

  // Opens the dialog (modal) with the active title the tokens refer to.
  void Dialog(const std::string& activeTitle);
  // Fills the dialog without showing it.
  void Prepare(const std::string& activeTitle);
  // "&Run" (with parameters) and "R&un (no parameters)".
  bool Do(bool withParameters);

  QComboBox *ProgramBox, *ParametersBox;
  QLabel* WorkingPathLabel;
  QPushButton *RunButton, *RunNoParametersButton, *CancelButton, *HelpButton;

private:
  std::string ActiveTitle;
};

} // namespace cv
