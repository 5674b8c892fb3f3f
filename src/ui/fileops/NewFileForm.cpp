#include "fileops/NewFileForm.h"

#include "fileops/NameCommands.h"
#include "fileops/UndoJournal.h"
#include "foundation/MyTime.h"
#include "foundation/QtText.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {

TNewFileForm::TNewFileForm(QWidget* parent) : QDialog(parent) {
  NameGroup = new QGroupBox;
  NameEdit = new QLineEdit;
  NameEdit->setMinimumWidth(360);
  ByCurrentButton = new QPushButton(tr("By current"));
  NewButton = new QPushButton(tr("&New"));
  CancelButton = new QPushButton(tr("&Cancel"));
  ByCurrentButton->setAutoDefault(false);
  CancelButton->setAutoDefault(false);
  NewButton->setDefault(true);
  auto* group = new QHBoxLayout(NameGroup);
  group->addWidget(NameEdit, 1);
  group->addWidget(ByCurrentButton);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(NewButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(NameGroup);
  layout->addLayout(buttons);
  connect(ByCurrentButton, &QPushButton::clicked, this, [this] {
    NameEdit->setText(ToQString(PrefixedName(FromQString(NameEdit->text()), NowDateTime())));
    NameEdit->setFocus();
  });
  connect(NewButton, &QPushButton::clicked, this, [this] {
    if (Do()) accept();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TNewFileForm::Prepare(const std::string& directory, int kind) {
  Directory = directory;
  Kind = kind;
  NewTitle.clear();
  WasCreated = false;
  const QString word = QString::fromLatin1(NewItemKindWord(kind));
  setWindowTitle(tr("New ") + word);
  NameGroup->setTitle(tr("New ") + word + tr(" name"));
  NameEdit->clear();
  NameEdit->setFocus();
}

bool TNewFileForm::Dialog(const std::string& directory, int kind) {
  Prepare(directory, kind);
  return exec() == QDialog::Accepted;
}

bool TNewFileForm::Do() {
  bool created = false;
  TUndoRecorder undo(std::string("New ") + NewItemKindWord(Kind));
  const TNameStep step =
      NewItemStep(Directory, FromQString(NameEdit->text()), Kind, NewTitle, created, &undo);
  ProgramJournal().Record(undo);
  WasCreated = created;
  if (step == TNameStep::Stay) return false;
  if (step == TNameStep::Failed) {
    NewTitle.clear();
    reject();
    return false;
  }
  return true;
}

} // namespace cv
