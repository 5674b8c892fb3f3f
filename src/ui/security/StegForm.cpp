#include "security/StegForm.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/QtText.h"
#include "foundation/StoredTextList.h"
#include "foundation/UserInterface.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {

namespace {
constexpr const char* CSection = "Steg";
} // namespace

TStegForm::TStegForm(QWidget* parent) : QDialog(parent) {
  setObjectName("StegForm");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  const auto titleLabel = [&](const char* name) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(380);
    label->setWordWrap(true);
    layout->addWidget(label);
    return label;
  };
  FirstTitleLabel = titleLabel("FirstTitleLabel");
  SecondTitleLabel = titleLabel("SecondTitleLabel");

  auto* form = new QFormLayout;
  AlgorithmBox = new QComboBox(this);
  AlgorithmBox->setObjectName("AlgorithmBox");
  for (std::string_view name : StegAlgorithmNames)
    AlgorithmBox->addItem(ToQString(name));
  form->addRow("&Algorithm", AlgorithmBox);
  IterationsBox = new QComboBox(this);
  IterationsBox->setObjectName("IterationsBox");
  for (int count : StegIterationChoices)
    IterationsBox->addItem(QString::number(count));
  IterationsBox->setStatusTip("More iterations make the key slower to find, and to compute.");
  form->addRow("User key &iterations", IterationsBox);
  PasswordEdit = new QLineEdit(this);
  PasswordEdit->setObjectName("PasswordEdit");
  PasswordEdit->setEchoMode(QLineEdit::Password);
  PasswordEdit->setMaxLength(255);
  form->addRow("&Password", PasswordEdit);
  ConfirmationEdit = new QLineEdit(this);
  ConfirmationEdit->setObjectName("ConfirmationEdit");
  ConfirmationEdit->setEchoMode(QLineEdit::Password);
  ConfirmationEdit->setMaxLength(255);
  form->addRow("&Confirmation", ConfirmationEdit);
  layout->addLayout(form);
  AutoStegCheck = new QCheckBox("Activate auto &steg", this);
  AutoStegCheck->setObjectName("AutoStegCheck");
  AutoStegCheck->setStatusTip(
      "Hidden files of \".png\" pictures are shown by the viewer and the streams editor.");
  layout->addWidget(AutoStegCheck);
  NoDecryptionCheck = new QCheckBox("&No decryption", this);
  NoDecryptionCheck->setObjectName("NoDecryptionCheck");
  NoDecryptionCheck->setStatusTip("The hidden file is written still encrypted (for testing).");
  layout->addWidget(NoDecryptionCheck);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OkButton = new QPushButton(this);
  OkButton->setObjectName("OkButton");
  OkButton->setDefault(true);
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setObjectName("CancelButton");
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  connect(OkButton, &QPushButton::clicked, this, &TStegForm::accept);
  connect(CancelButton, &QPushButton::clicked, this, &TStegForm::reject);

  Session.ConfirmPassword = [this] { return AutoDialog(true); };
  ShowFields();
}

TStegForm::~TStegForm() {
  // Nothing of the password stays in the boxes' memory longer than needed.
  PasswordEdit->setText(QString());
  ConfirmationEdit->setText(QString());
}

void TStegForm::ShowFields() {
  const int algorithm = AlgorithmBox->findText(ToQString(Session.Parameters.Algorithm));
  AlgorithmBox->setCurrentIndex(algorithm >= 0 ? algorithm : 0);
  const int iterations = IterationsBox->findText(QString::number(Session.Parameters.Iterations));
  IterationsBox->setCurrentIndex(iterations >= 0 ? iterations : 1);
  PasswordEdit->setText(ToQString(Session.Parameters.Password));
  ConfirmationEdit->setText(ToQString(Session.Confirmation));
  AutoStegCheck->setChecked(Session.AutoActive);
  NoDecryptionCheck->setChecked(Session.NoDecryption);
}

void TStegForm::TakeFields() {
  Session.Parameters.Algorithm = FromQString(AlgorithmBox->currentText());
  Session.Parameters.Iterations = IterationsBox->currentText().toInt();
  Session.Parameters.Password = FromQString(PasswordEdit->text());
  Session.Confirmation = FromQString(ConfirmationEdit->text());
  Session.AutoActive = AutoStegCheck->isChecked();
  Session.NoDecryption = NoDecryptionCheck->isChecked();
}

void TStegForm::Prepare(TKind kind, const QString& caption, const QString& button) {
  Kind = kind;
  setWindowTitle(caption);
  OkButton->setText(button);
  ShowFields();
  const bool automatic = kind == AutoKind || kind == ConfirmKind;
  ConfirmationEdit->setEnabled(kind != StegOutKind);
  NoDecryptionCheck->setEnabled(kind == StegOutKind);
  if (automatic) AutoStegCheck->setChecked(true);
  FirstTitleLabel->setVisible(!automatic);
  SecondTitleLabel->setVisible(!automatic);
  PasswordEdit->setFocus();
  PasswordEdit->selectAll();
}

void TStegForm::Dialog(const std::string& firstTitle, const std::string& secondTitle, bool stegIn) {
  TGuard guard("TStegForm::Dialog");
  guard.Run([&] {
    FirstTitle = firstTitle;
    SecondTitle = secondTitle;
    FirstTitleLabel->setText(ToQString((stegIn ? "Source: " : "Carrier: ") + firstTitle));
    SecondTitleLabel->setText(
        ToQString(stegIn ? "Carrier: " + secondTitle : "Into: " + GetTitlePath(secondTitle)));
    Prepare(stegIn ? StegInKind : StegOutKind, stegIn ? "Steg-in" : "Steg-out",
            stegIn ? "&Steg-in" : "&Steg-out");
    adjustSize();
    exec();
  });
  guard.Show("Failed to steg.");
}

bool TStegForm::AutoDialog(bool confirm) {
  TGuard guard("TStegForm::AutoDialog");
  const bool done = guard.Run(false, [&] {
    Prepare(confirm ? ConfirmKind : AutoKind, confirm ? "Confirm password" : "Auto steg",
            confirm ? "C&onfirm" : "&Okay");
    adjustSize();
    return exec() == QDialog::Accepted;
  });
  guard.Show("Failed to activate the auto steg-out function.");
  return done;
}

void TStegForm::accept() {
  const std::string password = FromQString(PasswordEdit->text());
  if (password.empty()) {
    ShowWarning("The password is empty.");
    PasswordEdit->setFocus();
    return;
  }
  if (Kind == StegInKind && password != FromQString(ConfirmationEdit->text())) {
    ShowWarning("The password is not confirmed.\nType again the confirmation password.");
    ConfirmationEdit->setFocus();
    ConfirmationEdit->selectAll();
    return;
  }
  TakeFields();
  if (Kind == StegInKind || Kind == StegOutKind) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Run();
    QApplication::restoreOverrideCursor();
  }
  QDialog::accept();
}

bool TStegForm::Run() {
  const bool stegIn = Kind == StegInKind;
  TGuard guard(stegIn ? "TStegForm::StegIn" : "TStegForm::StegOut");
  const bool done = guard.Run(false, [&] {
    if (stegIn) {
      TStegInResult result;
      const bool hidden =
          StegIn(Session.Parameters, {.Carrier = SecondTitle, .Source = FirstTitle}, result);
      guard.TakeOver();
      if (hidden) ShowInformation(result.Report);
      return hidden;
    }
    TStegOutResult result;
    const bool found = StegOut(Session.Parameters,
                               {.Carrier = FirstTitle,
                                .Directory = GetTitlePath(SecondTitle),
                                .Decrypt = !Session.NoDecryption},
                               result);
    guard.TakeOver();
    return found;
  });
  guard.Show(stegIn ? "Failed to stegg-in file." : "Failed to stegg-out file.");
  return done;
}

std::string TStegForm::ViewNoise(const std::string& title) {
  TGuard guard("TStegForm::ViewNoise");
  std::string noise = guard.Run(std::string(), [&] {
    std::string out = ViewStegNoise(title);
    guard.TakeOver();
    return out;
  });
  guard.Show("Failed to view steg noise.");
  return noise;
}

void TStegForm::ReadSettings(const TStoredTextList& ini) {
  std::string algorithm = StegDefaultAlgorithm;
  ini.ReadText(CSection, "Algorithm", algorithm, false, 16);
  // Only the algorithms the box offers are taken.
  if (AlgorithmBox->findText(ToQString(algorithm)) >= 0) Session.Parameters.Algorithm = algorithm;
  int32_t iterations = StegDefaultIterations;
  ini.ReadInt(CSection, "UserKeyIterations", iterations, 1000000, 100);
  if (IterationsBox->findText(QString::number(iterations)) >= 0)
    Session.Parameters.Iterations = iterations;
  ShowFields();
}

void TStegForm::WriteSettings(TStoredTextList& ini) const {
  ini.WriteText(CSection, "Algorithm", Session.Parameters.Algorithm);
  ini.WriteInt(CSection, "UserKeyIterations", Session.Parameters.Iterations);
}

void TStegForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    ShowHelp(HelpContext);
    return;
  }
  QDialog::keyPressEvent(event);
}

} // namespace cv
