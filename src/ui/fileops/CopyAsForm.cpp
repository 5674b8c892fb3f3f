#include "fileops/CopyAsForm.h"

#include "fileops/OverwriteForm.h"
#include "fileops/UndoJournal.h"
#include "filesystem/File.h"
#include "filesystem/FileInfo.h"
#include "filesystem/Partitions.h"
#include "foundation/Error.h"
#include "foundation/MyTime.h"
#include "foundation/QtText.h"
#include "foundation/Utilities.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {

TCopyAsForm::TCopyAsForm(QWidget* parent) : QDialog(parent) {
  NameBox = new QComboBox;
  NameBox->setEditable(true);
  NameBox->setInsertPolicy(QComboBox::NoInsert);
  NameBox->setMinimumContentsLength(40);
  for (const char* name :
       {"Text files", "Picture files", "Video files", "Audio files", "No backup files"})
    NameBox->addItem(QString::fromLatin1(name));
  PathsLabel = new QLabel;
  PathsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ByCurrentButton = new QPushButton(tr("By current"));
  ByCreationButton = new QPushButton(tr("By creation"));
  ActiveButton = new QPushButton(tr("Active"));
  ConfirmButton = new QPushButton;
  CancelButton = new QPushButton(tr("&Cancel"));
  for (QPushButton* button :
       {ByCurrentButton, ByCreationButton, ActiveButton, ConfirmButton, CancelButton})
    button->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {ByCurrentButton, ByCreationButton, ActiveButton})
    buttons->addWidget(button);
  buttons->addStretch();
  buttons->addWidget(ConfirmButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(NameBox);
  layout->addWidget(PathsLabel);
  layout->addLayout(buttons);

  const auto prefix = [this](bool creation) {
    TDateTime when = NowDateTime();
    if (creation) {
      TFileInfo info;
      if (info.Load(Source)) when = ConvertFileTime(info.CreatedFileTime);
      FunStatContext.Reset(fsPerfect);
    }
    std::string name;
    if (GetEditBytes(NameBox->lineEdit(), name))
      SetEditBytes(NameBox->lineEdit(), PrefixedName(name, when));
    NameBox->setFocus();
  };
  connect(ByCurrentButton, &QPushButton::clicked, this, [prefix] { prefix(false); });
  connect(ByCreationButton, &QPushButton::clicked, this, [prefix] { prefix(true); });
  connect(ActiveButton, &QPushButton::clicked, this,
          [this] { SetEditBytes(NameBox->lineEdit(), ActiveName); });
  connect(ConfirmButton, &QPushButton::clicked, this, [this] {
    if (Do()) accept();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  PressOnEnter(NameBox, ConfirmButton);
}

std::string TCopyAsForm::RealName(const std::string& shown) const {
  const std::string name = GetTitleName(Source);
  return shown == PartitionDisplayText(name) ? name : shown;
}

std::string TCopyAsForm::Name() const {
  std::string name;
  GetEditBytes(NameBox->lineEdit(), name, false);
  return RealName(name);
}

void TCopyAsForm::Prepare(const std::string& source, const std::string& destinationDirectory,
                          TCopyAsMode mode, const std::string& activeName) {
  Source = source;
  DestinationDirectory = IncludeDelimiter(destinationDirectory);
  Mode = mode;
  ActiveName = activeName;
  IsWholeDirectory = false;
  Decision.Reset();
  setWindowTitle(mode == TCopyAsMode::HardLink ? tr("Copy as hard-link")
                 : mode == TCopyAsMode::Move   ? tr("Move as")
                                               : tr("Copy as"));
  ConfirmButton->setText(mode == TCopyAsMode::Move ? tr("&Move as") : tr("&Copy as"));
  // A partition is shown by its mount point; its title keeps the ":".
  SetEditBytes(NameBox->lineEdit(), PartitionDisplayText(GetTitleName(source)));
  PathsLabel->setText(ToQString("* Source: " + PartitionDisplayText(source) +
                                "\n* Destination: " + PartitionDisplayText(DestinationDirectory)));
  NameBox->lineEdit()->selectAll();
  NameBox->setFocus();
}

bool TCopyAsForm::Dialog(const std::string& source, const std::string& destinationDirectory,
                         TCopyAsMode mode, const std::string& activeName) {
  Prepare(source, destinationDirectory, mode, activeName);
  return exec() == QDialog::Accepted;
}

bool TCopyAsForm::Do() {
  // The parts of the name left unedited keep their bytes.
  std::string name;
  if (!GetEditBytes(NameBox->lineEdit(), name)) return false;
  name = RealName(name);
  bool wholeDirectory = false;
  TUndoRecorder undo(Mode == TCopyAsMode::Move   ? "Move as"
                     : Mode == TCopyAsMode::Copy ? "Copy as"
                                                 : "Hard link as");
  const TNameStep step =
      CopyAsStep(Source, DestinationDirectory, name, Mode, Decision,
                 OverwriteAsk ? OverwriteAsk : TOverwriteAsk(&AskOverwrite), wholeDirectory, &undo);
  ProgramJournal().Record(undo);
  if (step == TNameStep::Stay) return false;
  AddToComboHistory(NameBox, name);
  IsWholeDirectory = wholeDirectory;
  if (step == TNameStep::Failed) {
    reject();
    return false;
  }
  return true;
}

} // namespace cv
