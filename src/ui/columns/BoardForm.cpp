#include "columns/BoardForm.h"

#include "foundation/QtText.h"
#include "foundation/Utilities.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {

TBoardForm::TBoardForm(QWidget* parent) : QDialog(parent) {
  NameGroup = new QGroupBox;
  NameBox = new QComboBox;
  NameBox->setEditable(true);
  NameBox->setInsertPolicy(QComboBox::NoInsert);
  NameBox->setMinimumContentsLength(30);
  NameBox->lineEdit()->setMaxLength(255);
  RenameButton = new QPushButton(tr("&Rename"));
  CancelButton = new QPushButton(tr("&Cancel"));
  RenameButton->setDefault(true);
  CancelButton->setAutoDefault(false);
  auto* group = new QVBoxLayout(NameGroup);
  group->addWidget(NameBox);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(RenameButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(NameGroup);
  layout->addLayout(buttons);
  connect(RenameButton, &QPushButton::clicked, this, [this] {
    RecordComboHistory(NameBox);
    accept();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TBoardForm::Prepare(const std::string& what, const std::string& name) {
  setWindowTitle(ToQString("Rename " + what));
  NameGroup->setTitle(ToQString("New " + what + " name"));
  NameBox->setCurrentText(ToQString(name));
  NameBox->lineEdit()->selectAll();
  NameBox->setFocus();
}

std::string TBoardForm::Name() const {
  return FromQString(NameBox->currentText());
}

bool TBoardForm::Dialog(const std::string& what, std::string& name) {
  Prepare(what, name);
  if (exec() != QDialog::Accepted) return false;
  name = Name();
  return true;
}

} // namespace cv
