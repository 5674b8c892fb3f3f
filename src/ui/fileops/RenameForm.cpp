#include "fileops/RenameForm.h"

#include "columns/Column.h"
#include "fileops/NameCommands.h"
#include "fileops/OverwriteForm.h"
#include "fileops/UndoJournal.h"
#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/MyTime.h"
#include "foundation/QtText.h"
#include "foundation/Utilities.h"

#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {

TRenameForm::TRenameForm(QWidget* parent) : QDialog(parent) {
  PathLabel = new QLabel;
  PathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  NameEdit = new QLineEdit;
  NameEdit->setMinimumWidth(420);
  ByCurrentButton = new QPushButton(tr("By current"));
  ByCreationButton = new QPushButton(tr("By creation"));
  RenameButton = new QPushButton(tr("&Rename"));
  CancelButton = new QPushButton(tr("&Cancel"));
  for (QPushButton* button : {ByCurrentButton, ByCreationButton, RenameButton, CancelButton})
    button->setAutoDefault(false);
  auto* form = new QFormLayout;
  form->addRow(tr("Path"), PathLabel);
  form->addRow(tr("Name"), NameEdit);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {ByCurrentButton, ByCreationButton})
    buttons->addWidget(button);
  buttons->addStretch();
  buttons->addWidget(RenameButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  NameEdit->installEventFilter(this);

  const auto prefix = [this](bool creation) {
    const TDateTime when =
        creation ? ConvertFileTime(static_cast<uint64_t>(Created.at(static_cast<size_t>(Current))))
                 : NowDateTime();
    std::string name;
    if (GetEditBytes(NameEdit, name)) SetEditBytes(NameEdit, PrefixedName(name, when));
    NameEdit->setFocus();
  };
  connect(ByCurrentButton, &QPushButton::clicked, this, [prefix] { prefix(false); });
  connect(ByCreationButton, &QPushButton::clicked, this, [prefix] { prefix(true); });
  connect(RenameButton, &QPushButton::clicked, this, [this] {
    if (Do()) accept();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TRenameForm::Prepare(TColumn& column, bool containerMode, TRenameItem renameItem) {
  // The column is read again only when the dialog has closed; renamed
  // items keep their new titles here meanwhile.
  Titles.clear();
  Created.clear();
  for (const TFileListData& item : column.Items) {
    Titles.push_back(item.Title);
    Created.push_back(item.Created);
  }
  FileMode = !containerMode;
  RenameItem = std::move(renameItem);
  AnyRenamed = false;
  setWindowTitle(containerMode ? tr("Rename container item") : tr("Rename file"));
  Load(column.List.FocusIndex());
}

bool TRenameForm::Dialog(TColumn& column, bool containerMode, TRenameItem renameItem) {
  if (column.Count() == 0) return false;
  Prepare(column, containerMode, std::move(renameItem));
  exec();
  return AnyRenamed;
}

void TRenameForm::Load(int index) {
  Current = index;
  Decision.Reset();
  const std::string& title = Titles.at(static_cast<size_t>(index));
  PathLabel->setText(ToQString(GetTitlePath(title)));
  // A partition is shown by its mount point; its title keeps the ":".
  SetEditBytes(NameEdit, PartitionDisplayText(GetTitleName(title)));
  NameEdit->selectAll();
  NameEdit->setFocus();
}

bool TRenameForm::Do() {
  std::string& title = Titles.at(static_cast<size_t>(Current));
  const int index = Current;
  bool renamed = false;
  const auto renameItem =
      RenameItem
          ? std::function<bool(const std::string&)>(
                [this, index](const std::string& newTitle) { return RenameItem(index, newTitle); })
          : std::function<bool(const std::string&)>();
  // The name keeps the bytes of every part left unedited: an untouched name
  // is the old name, and renames nothing.
  std::string name;
  if (!GetEditBytes(NameEdit, name)) return false;
  if (name == PartitionDisplayText(GetTitleName(title))) name = GetTitleName(title);
  // Left as it was: nothing to rename (a partition's title is no valid name).
  if (GetTitlePath(title) + name == title) return true;
  TUndoRecorder undo("Rename");
  const TNameStep step = RenameStep(title, name, FileMode, Decision,
                                    OverwriteAsk ? OverwriteAsk : TOverwriteAsk(&AskOverwrite),
                                    renameItem, renamed, &undo);
  ProgramJournal().Record(undo);
  if (step == TNameStep::Stay) return false;
  if (renamed) {
    title = GetTitlePath(title) + name;
    AnyRenamed = true;
  }
  return true;
}

void TRenameForm::Step(int step) {
  if (!Do()) return;
  const int next = Current + step;
  if (next < 0 || next >= static_cast<int>(Titles.size())) {
    accept();
    return;
  }
  Load(next);
}

bool TRenameForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == NameEdit && event->type() == QEvent::KeyPress) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (Do()) accept();
      return true;
    case Qt::Key_Up:
      Step(-1);
      return true;
    case Qt::Key_Down:
      Step(1);
      return true;
    default:
      break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

} // namespace cv
