#include "search/SelectionForm.h"

#include "columns/Column.h"
#include "foundation/Help.h"
#include "foundation/QtText.h"
#include "foundation/Utilities.h"
#include "search/SelectionPattern.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {

TSelectionForm::TSelectionForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SelectionForm");
  setWindowTitle("Select");
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox("File name &filter", this);
  auto* groupLayout = new QHBoxLayout(group);
  PatternBox = new QComboBox(group);
  PatternBox->setObjectName("PatternBox");
  PatternBox->setEditable(true);
  PatternBox->setInsertPolicy(QComboBox::NoInsert);
  PatternBox->setMinimumContentsLength(30);
  PatternBox->setStatusTip("Wildcard pattern: \"*\" any run of characters, \"?\" one, \";\" "
                           "between alternatives (\"*.txt;*.log\"); case is ignored.");
  for (const char* name :
       {"Text files", "Picture files", "Video files", "Audio files", "No backup files"})
    PatternBox->addItem(QString::fromLatin1(name));
  PatternBox->setCurrentIndex(-1);
  ActiveButton = new QPushButton("Active", group);
  ActiveButton->setAutoDefault(false);
  ActiveButton->setStatusTip("The extension of the active file.");
  groupLayout->addWidget(PatternBox, 1);
  groupLayout->addWidget(ActiveButton);
  layout->addWidget(group);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OkayButton = new QPushButton("&Okay", this);
  CancelButton = new QPushButton("&Cancel", this);
  for (QPushButton* button : {OkayButton, CancelButton}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  layout->addLayout(buttons);

  connect(ActiveButton, &QPushButton::clicked, this, [this] {
    PatternBox->setCurrentText(ToEditText(ActiveExtensionPattern(ActiveTitle)));
    PatternBox->setFocus();
  });
  connect(OkayButton, &QPushButton::clicked, this, [this] {
    if (Do()) accept();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  PressOnEnter(PatternBox, OkayButton);
}

void TSelectionForm::Prepare(TColumn& column, bool select) {
  Column = &column;
  Select = select;
  ActiveTitle = column.ActiveTitle;
  setWindowTitle(select ? "Select" : "Deselect");
  OkayButton->setEnabled(true);
  PatternBox->setFocus();
  PatternBox->lineEdit()->selectAll();
}

bool TSelectionForm::Dialog(TColumn& column, bool select) {
  Prepare(column, select);
  return exec() == QDialog::Accepted;
}

bool TSelectionForm::Do() {
  if (!Column) return false;
  const std::string text = FromQString(PatternBox->currentText());
  if (!IsValidNamePattern(text)) return RunFilteredSelection(*Column, text, Select);
  OkayButton->setEnabled(false);
  AddToComboHistory(PatternBox, text);
  RunFilteredSelection(*Column, text, Select);
  OkayButton->setEnabled(true);
  return true;
}

void TSelectionForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    ShowHelp(HelpContext);
    return;
  }
  QDialog::keyPressEvent(event);
}

} // namespace cv
