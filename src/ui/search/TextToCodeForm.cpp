#include "search/TextToCodeForm.h"

#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/QtText.h"
#include "foundation/Utilities.h"
#include "search/TextToCode.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {

TTextToCodeForm::TTextToCodeForm(QWidget* parent) : QDialog(parent) {
  setObjectName("TextToCodeForm");
  setWindowTitle("Text to code");
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  auto* group = new QGroupBox("&Text", this);
  auto* groupLayout = new QVBoxLayout(group);
  TextEdit = new QLineEdit(group);
  TextEdit->setObjectName("TextEdit");
  TextEdit->setMinimumWidth(420);
  TextEdit->setStatusTip("Text to be converted to code");
  TextEdit->setToolTip(TextEdit->statusTip());
  groupLayout->addWidget(TextEdit);
  layout->addWidget(group);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  GenerateHTMLButton = new QPushButton("&Generate HTML", this);
  GenerateHTMLButton->setObjectName("GenerateHTMLButton");
  GenerateHTMLButton->setStatusTip(
      "Convert text to HTML hexadecimal code, and put it in the edit-box (replace the existing "
      "text). Use this, for example, when you need to write an email address in a HTML file, "
      "which you want to keep hidden from email address harvesters; you should include the "
      "\"mailto:\" part in here too. Paste the resulted code in the HTML file using a plain-text "
      "editor (document editors might alter this code).");
  GenerateHTMLButton->setToolTip(GenerateHTMLButton->statusTip());
  CancelButton = new QPushButton("&Cancel", this);
  for (QPushButton* button : {GenerateHTMLButton, CancelButton}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  layout->addLayout(buttons);

  connect(GenerateHTMLButton, &QPushButton::clicked, this, [this] {
    Generate();
    SelectText();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TTextToCodeForm::Dialog() {
  TGuard guard("TTextToCodeForm::Dialog");
  guard.Run([&] { exec(); });
  guard.Show("Failed to convert text to code.");
}

void TTextToCodeForm::Generate() {
  TGuard guard("TTextToCodeForm::Generate");
  guard.Run([&] {
    // The box's own bytes: a byte that is not UTF-8 shows as U+FFFD but
    // converts as itself; a U+FFFD typed by the user is that character.
    std::string text;
    if (!GetEditBytes(TextEdit, text, false)) text = FromQString(TextEdit->text());
    SetEditBytes(TextEdit, TextToCharacterReferences(text));
  });
  guard.Show("Failed to convert text to code.");
}

void TTextToCodeForm::SelectText() {
  TextEdit->setFocus();
  TextEdit->selectAll();
}

void TTextToCodeForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    ShowHelp(HelpContext);
    return;
  }
  QDialog::keyPressEvent(event);
}

void TTextToCodeForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  SelectText();
}

} // namespace cv
