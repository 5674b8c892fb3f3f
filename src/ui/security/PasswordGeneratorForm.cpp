#include "security/PasswordGeneratorForm.h"

#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/QtText.h"
#include "security/PasswordGenerator.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {

TPasswordGeneratorForm::TPasswordGeneratorForm(QWidget* parent) : QDialog(parent) {
  setObjectName("PasswordGeneratorForm");
  setWindowTitle("Password generator");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  auto* caption = new QLabel("&Password", this);
  layout->addWidget(caption);
  PasswordEdit = new QLineEdit(this);
  PasswordEdit->setObjectName("PasswordEdit");
  PasswordEdit->setMaxLength(255);
  PasswordEdit->setMinimumWidth(420);
  PasswordEdit->setStatusTip(PasswordEditHint);
  PasswordEdit->setToolTip(PasswordEditHint);
  caption->setBuddy(PasswordEdit);
  layout->addWidget(PasswordEdit);
  NoteLabel = new QLabel(PasswordClearedNote, this);
  NoteLabel->setObjectName("NoteLabel");
  NoteLabel->setWordWrap(true);
  layout->addWidget(NoteLabel);
  auto* buttons = new QHBoxLayout;
  const auto addButton = [&](int length) {
    auto* button = new QPushButton(QStringLiteral("Generate &%1").arg(length), this);
    button->setObjectName(QStringLiteral("Generate%1Button").arg(length));
    button->setAutoDefault(false);
    const QString hint = ToQString(GeneratePasswordHint(length));
    button->setStatusTip(hint);
    button->setToolTip(hint);
    connect(button, &QPushButton::clicked, this, [this, length] { Generate(length); });
    buttons->addWidget(button);
    return button;
  };
  Generate10Button = addButton(10);
  Generate20Button = addButton(20);
  Generate50Button = addButton(50);
  layout->addLayout(buttons);
}

void TPasswordGeneratorForm::ClearPassword() {
  // clear() is an undoable edit: Ctrl+Z would bring the password back.
  // setText() empties the undo history as well.
  PasswordEdit->setText(QString());
}

void TPasswordGeneratorForm::Generate(int length) {
  TGuard guard("TPasswordGeneratorForm::Generate");
  guard.Run([&] {
    ClearPassword();
    const std::string password = GeneratePassword(length);
    guard.TakeOver();
    PasswordEdit->setText(ToQString(password));
    PasswordEdit->setFocus();
  });
  guard.Show("Failed to generate password.");
}

void TPasswordGeneratorForm::Dialog() {
  TGuard guard("TPasswordGeneratorForm::Dialog");
  guard.Run([&] { exec(); });
  ClearPassword();
  guard.Show("Failed to show the password generator dialog.");
}

void TPasswordGeneratorForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    ShowHelp(HelpContext);
    return;
  }
  QDialog::keyPressEvent(event);
}

void TPasswordGeneratorForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  PasswordEdit->setFocus();
  PasswordEdit->selectAll();
}

} // namespace cv
