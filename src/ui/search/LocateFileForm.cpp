#include "search/LocateFileForm.h"

#include "columns/Column.h"
#include "fileops/FileFormSettings.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/MyTime.h"
#include "foundation/QtText.h"
#include "foundation/StoredTextList.h"
#include "foundation/UserInterface.h"
#include "foundation/Utilities.h"
#include "search/Locate.h"
#include "search/SelectionPattern.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {

namespace {

QPushButton* Button(const char* caption, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setAutoDefault(false);
  return button;
}

} // namespace

TLocateFileForm::TLocateFileForm(QWidget* parent) : QDialog(parent) {
  setObjectName("LocateFileForm");
  setWindowTitle("Locate file");
  auto* layout = new QVBoxLayout(this);
  PatternGroup = new QGroupBox("File name filter or index", this);
  auto* groupLayout = new QVBoxLayout(PatternGroup);
  PatternBox = new QComboBox(PatternGroup);
  PatternBox->setObjectName("PatternBox");
  PatternBox->setEditable(true);
  PatternBox->setInsertPolicy(QComboBox::NoInsert);
  PatternBox->setMinimumContentsLength(30);
  PatternBox->lineEdit()->setMaxLength(255);
  PatternBox->setStatusTip("The beginning of a name, with \"*\", \"?\" and \";\" between "
                           "alternatives; or the position of an item. [Enter] = next, "
                           "[Shift+Enter] = previous.");
  PatternBox->installEventFilter(this);
  groupLayout->addWidget(PatternBox);
  SimilarCheck = new QCheckBox("Locate &similar names", PatternGroup);
  SimilarCheck->setStatusTip("Find the text anywhere in the name, not only at its beginning.");
  groupLayout->addWidget(SimilarCheck);
  layout->addWidget(PatternGroup);
  auto* buttons = new QGridLayout;
  NextButton = Button("Locate &next", this);
  PreviousButton = Button("Locate &previous", this);
  IndexButton = Button("Locate by &index", this);
  ByCurrentButton = Button("By current", this);
  ByCurrentButton->setStatusTip("Put the current time prefix in place of the selected text.");
  CancelButton = Button("&Cancel", this);
  buttons->addWidget(NextButton, 0, 0);
  buttons->addWidget(PreviousButton, 0, 1);
  buttons->addWidget(IndexButton, 0, 2);
  buttons->addWidget(ByCurrentButton, 1, 0);
  buttons->addWidget(CancelButton, 1, 2);
  layout->addLayout(buttons);

  connect(NextButton, &QPushButton::clicked, this, [this] {
    if (Do(true)) accept();
  });
  connect(PreviousButton, &QPushButton::clicked, this, [this] {
    if (Do(false)) accept();
  });
  connect(IndexButton, &QPushButton::clicked, this, [this] {
    if (DoByIndex()) accept();
  });
  connect(ByCurrentButton, &QPushButton::clicked, this, [this] {
    PatternBox->lineEdit()->insert(ToQString(TimePrefixText(NowDateTime())));
    PatternBox->setFocus();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TLocateFileForm::Prepare(TColumn& column, int topOffset) {
  Column = &column;
  TopOffset = topOffset;
  PatternGroup->setTitle(QStringLiteral("File name filter or index (1...%1)").arg(column.Count()));
  PatternBox->setFocus();
  PatternBox->lineEdit()->selectAll();
}

void TLocateFileForm::Dialog(TColumn& column, int topOffset) {
  if (column.Count() == 0) return;
  Prepare(column, topOffset);
  exec();
}

void TLocateFileForm::LocateNext(TColumn& column, int topOffset, bool forward) {
  const std::string text = FromQString(PatternBox->currentText());
  if (LocatePattern(text, SimilarCheck->isChecked()).empty() || !IsValidNamePattern(text)) {
    Dialog(column, topOffset);
    return;
  }
  TGuard guard("TLocateFileForm::Do");
  guard.Run([&] { LocateFile(column, topOffset, text, SimilarCheck->isChecked(), forward); });
  guard.Show("Failed to locate.");
}

bool TLocateFileForm::Do(bool forward) {
  if (!Column) return false;
  const std::string text = FromQString(PatternBox->currentText());
  if (!IsValidNamePattern(text) || LocatePattern(text, SimilarCheck->isChecked()).empty()) {
    ShowWarning("Invalid filter.");
    PatternBox->setFocus();
    return false;
  }
  AddToComboHistory(PatternBox, text);
  bool found = false;
  TGuard guard("TLocateFileForm::Do");
  guard.Run([&] {
    found = LocateFile(*Column, TopOffset, text, SimilarCheck->isChecked(), forward) ==
            TLocateResult::Found;
  });
  guard.Show("Failed to locate.");
  return found;
}

bool TLocateFileForm::DoByIndex() {
  if (!Column) return false;
  const std::string text = FromQString(PatternBox->currentText());
  bool focused = false;
  TGuard guard("TLocateFileForm::Do");
  guard.Run([&] { focused = LocateByIndex(*Column, TopOffset, text); });
  guard.Show("Failed to locate.");
  if (focused) AddToComboHistory(PatternBox, text);
  return focused;
}

void TLocateFileForm::ReadSettings(const TStoredTextList& ini) {
  bool similar = false;
  ini.ReadBool("LocateFile", "LocateSimilar", similar);
  SimilarCheck->setChecked(similar);
}

void TLocateFileForm::WriteSettings(TStoredTextList& ini) const {
  ini.WriteBool("LocateFile", "LocateSimilar", SimilarCheck->isChecked());
}

bool TLocateFileForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == PatternBox && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && isVisible()) {
      const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
      (modifiers == Qt::ShiftModifier ? PreviousButton : NextButton)->click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TLocateFileForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    ShowHelp(HelpContext);
    return;
  }
  QDialog::keyPressEvent(event);
}

} // namespace cv
