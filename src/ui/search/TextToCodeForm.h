#pragma once
// "Text to code": turns a line of text into HTML hexadecimal character
// references, ready to copy into a web page.

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace cv {

class TTextToCodeForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 505;

  explicit TTextToCodeForm(QWidget* parent = nullptr);

  void Dialog();
  // Converts the edit box's text in place; on a failure the box keeps it.
  void Generate();

  QLineEdit* TextEdit = nullptr;
  QPushButton* GenerateHTMLButton = nullptr;
  QPushButton* CancelButton = nullptr;

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void SelectText();
};

} // namespace cv
