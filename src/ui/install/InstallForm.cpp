#include "install/InstallForm.h"

#include "fileops/Run.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/MemoryStorage.h"
#include "foundation/Program.h"
#include "foundation/QtText.h"
#include "foundation/UserInterface.h"
#include "install/Install.h"

#include <QFileDialog>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {

namespace {

constexpr const char* CInstructions =
    "The program can be reinstalled without the need to uninstall its previous version. The "
    "existing options file will be preserved. If you want to repair the installed package, "
    "simply reinstall the program. Before continuing, close any running instances of the "
    "program.";

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

// The directory that holds the default install directory: "/opt/" or
// "~/.local/opt/".
std::string DefaultInstallParent() {
  std::string directory = DefaultInstallDirectory();
  while (directory.size() > 1 && directory.back() == '/')
    directory.pop_back();
  const size_t slash = directory.rfind('/');
  return slash == std::string::npos ? std::string() : directory.substr(0, slash + 1);
}

} // namespace

TInstallForm::TInstallForm(QWidget* parent) : QDialog(parent) {
  setObjectName("InstallForm");
  SourceDirectory = Program.ProgramPath();
  ProgramName = Program.ProgramFileName();

  auto* layout = new QVBoxLayout(this);
  MainPanel = new QLabel(this);
  MainPanel->setObjectName("MainPanel");
  QFont big = MainPanel->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  MainPanel->setFont(big);
  layout->addWidget(MainPanel);
  DescriptionLabel = new QLabel(this);
  DescriptionLabel->setObjectName("DescriptionLabel");
  layout->addWidget(DescriptionLabel);
  VersionLabel = new QLabel(this);
  VersionLabel->setObjectName("VersionLabel");
  layout->addWidget(VersionLabel);

  InstructionsLabel = new QLabel(QString::fromUtf8(CInstructions), this);
  InstructionsLabel->setObjectName("InstructionsLabel");
  InstructionsLabel->setWordWrap(true);
  InstructionsLabel->setMinimumWidth(480);
  layout->addWidget(InstructionsLabel);

  Readme = new QPlainTextEdit(this);
  Readme->setObjectName("Readme");
  Readme->setReadOnly(true);
  Readme->setMinimumHeight(120);
  layout->addWidget(Readme, 1);
  std::string readme;
  int error = 0;
  // A missing or unreadable read-me leaves the area empty.
  if (ReadWholeFile(Program.ProgramPath() + "Readme.txt", readme, &error) == TReadResult::Read)
    Readme->setPlainText(ToQString(readme));

  DirectoryLabel = new QLabel(this);
  DirectoryLabel->setObjectName("DirectoryLabel");
  layout->addWidget(DirectoryLabel);
  auto* row = new QHBoxLayout;
  DirectoryBox = new QLineEdit(this);
  DirectoryBox->setObjectName("DirectoryBox");
  DirectoryLabel->setBuddy(DirectoryBox);
  BrowseButton = new QPushButton("&Browse", this);
  BrowseButton->setObjectName("BrowseButton");
  BrowseButton->setAutoDefault(false);
  row->addWidget(DirectoryBox, 1);
  row->addWidget(BrowseButton);
  layout->addLayout(row);

  auto* buttons = new QHBoxLayout;
  InstallButton = new QPushButton("&Install", this);
  InstallButton->setObjectName("InstallButton");
  InstallButton->setDefault(true);
  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setAutoDefault(false);
  buttons->addStretch(1);
  buttons->addWidget(InstallButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);

  connect(BrowseButton, &QPushButton::clicked, this, [this] { BrowseClick(); });
  connect(InstallButton, &QPushButton::clicked, this, [this] { InstallClick(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  SetDirectory(DefaultInstallParent());
}

void TInstallForm::Setup(TInstallMode mode, const std::string& product,
                         const std::string& description, const std::string& version,
                         const std::string& directory) {
  Mode = mode;
  Product = product;
  DescriptionLabel->setText(ToQString(description));
  VersionLabel->setText(ToQString(version));
  if (mode == TInstallMode::Install) {
    setWindowTitle(ToQString("Install " + product));
    MainPanel->setText(ToQString("Welcome to " + product));
    DirectoryLabel->setText("The program's installation directory will be put in directory:");
    InstallButton->setText("&Install");
    DirectoryBox->setReadOnly(false);
    BrowseButton->setEnabled(true);
    SetDirectory(directory.empty() ? DefaultInstallParent() : directory);
  } else {
    setWindowTitle(ToQString("Uninstall " + product));
    MainPanel->setText(ToQString("Bye from " + product));
    DirectoryLabel->setText("The following directory will be deleted:");
    InstallButton->setText("Un&install");
    DirectoryBox->setReadOnly(true);
    BrowseButton->setEnabled(false);
    SetDirectory(directory.empty() ? Program.ProgramPath() : directory);
  }
}

std::string TInstallForm::Directory() const {
  if (DirectoryBox->text() == ToQString(DirectoryBytes)) return DirectoryBytes;
  return WithSlash(FromQString(DirectoryBox->text()));
}

void TInstallForm::SetDirectory(const std::string& directory) {
  DirectoryBytes = WithSlash(directory);
  DirectoryBox->setText(ToQString(DirectoryBytes));
}

std::string TInstallForm::InstallTarget() const {
  return Directory() + ProgramName;
}

bool TInstallForm::Install() {
  TGuard guard("TInstallForm::Install");
  const bool done = guard.Run(false, [&] {
    if (Directory().empty()) guard.Raise("Installation directory is empty.");
    const std::string target = InstallTarget();
    if (!AskYesNo("Install the program in directory \"" + target + "\"?")) return false;
    TInstallOutcome outcome;
    InstallBundle(SourceDirectory, target, ProgramName, outcome);
    guard.TakeOver();
    return true;
  });
  if (!guard.Show("Failed to install program.") || !done) return false;
  // The installed program, as its menu entry starts it; the install stands
  // even when it does not start.
  TGuard start("TInstallForm::Install");
  start.Run([&] {
    RunFile(InstallTarget() + "/" + ProgramName, {}, InstallTarget(), false, false);
    start.TakeOver();
  });
  start.Show("Failed to start the installed program.");
  return true;
}

bool TInstallForm::Uninstall() {
  TGuard guard("TInstallForm::Uninstall");
  const bool done = guard.Run(false, [&] {
    const std::string directory = Directory();
    if (directory.empty()) guard.Raise("Uninstallation directory is empty.");
    if (!AskYesNo("Delete what was installed in directory \"" + directory +
                  "\"? Files you added there, and your options, stay."))
      return false;
    TInstallOutcome outcome;
    UninstallBundle(directory, outcome);
    guard.TakeOver();
    return true;
  });
  if (!guard.Show("Failed to uninstall program.") || !done) return false;
  ShowInformation("Uninstallation successful.");
  return true;
}

void TInstallForm::BrowseClick() {
  // Not the desktop's own dialog: that one cannot be driven by a test.
  QFileDialog dialog(this, QString(), DirectoryBox->text());
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted) return;
  const QStringList chosen = dialog.selectedFiles();
  if (!chosen.isEmpty()) SetDirectory(FromQString(chosen.front()));
}

void TInstallForm::InstallClick() {
  if (DirectoryBox->text().trimmed().isEmpty()) {
    ShowWarning("(Un)Installation directory is empty.");
    return;
  }
  InstallButton->setEnabled(false);
  const bool done = Mode == TInstallMode::Install ? Install() : Uninstall();
  InstallButton->setEnabled(true);
  // "No", or a failure, leaves the window for another try.
  if (done) accept();
}

void TInstallForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    ShowHelp(HelpContext);
    return;
  }
  QDialog::keyPressEvent(event);
}

} // namespace cv
