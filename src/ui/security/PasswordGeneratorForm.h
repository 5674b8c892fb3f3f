#pragma once
// "Password generator": a password of 10, 20 or 50 characters in one edit
// box, emptied with its undo history when the dialog closes.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace cv {

class TPasswordGeneratorForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 703;

  explicit TPasswordGeneratorForm(QWidget* parent = nullptr);

  // Shows the dialog modally and empties the box afterwards.
  void Dialog();
  // Replaces the box's content with a new password and focuses it.
  void Generate(int length);
  // Empties the box so that not even undo brings the password back.
  void ClearPassword();

  QLineEdit* PasswordEdit = nullptr;
  QLabel* NoteLabel = nullptr;
  QPushButton* Generate10Button = nullptr;
  QPushButton* Generate20Button = nullptr;
  QPushButton* Generate50Button = nullptr;

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
};

} // namespace cv
