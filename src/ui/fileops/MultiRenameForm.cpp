#include "fileops/MultiRenameForm.h"

#include "columns/Column.h"
#include "columns/Container.h"
#include "fileops/OverwriteForm.h"
#include "fileops/UndoJournal.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/QtText.h"
#include "foundation/StoredTextList.h"
#include "foundation/StoredTextListWidgets.h"
#include "foundation/UserInterface.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {
namespace {

constexpr int MultiRenameHelpContext = 406;
constexpr const char* Section = "MultiRename";
const TFormBoundKeys BoundKeys{"XPos", "YPos", "XSize", "YSize"};

QComboBox* CounterBox(const std::vector<std::string>& choices) {
  auto* box = new QComboBox;
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& choice : choices)
    box->addItem(ToQString(choice));
  box->setCurrentIndex(-1);
  return box;
}

} // namespace

TMultiRenameForm::TMultiRenameForm(QWidget* parent) : QDialog(parent) {
  OldList = new QListWidget;
  NewList = new QListWidget;
  for (QListWidget* list : {OldList, NewList})
    list->setMinimumWidth(320);
  PrefixEdit = new QLineEdit;
  SuffixEdit = new QLineEdit;
  ExtensionEdit = new QLineEdit;
  OriginalEdit = new QLineEdit;
  NewTextEdit = new QLineEdit;
  DigitsBox = CounterBox(CounterDigitsChoices());
  StartBox = CounterBox(CounterStartChoices());
  StepBox = CounterBox(CounterStepChoices());
  PreviewButton = new QPushButton(tr("Pre&view"));
  RenameButton = new QPushButton(tr("&Rename"));
  CancelButton = new QPushButton(tr("&Cancel"));
  HelpButton = new QPushButton(tr("&Help"));
  for (QPushButton* button : {PreviewButton, RenameButton, CancelButton, HelpButton})
    button->setAutoDefault(false);

  auto* lists = new QGridLayout;
  lists->addWidget(new QLabel(tr("Original file titles")), 0, 0);
  lists->addWidget(new QLabel(tr("File titles after rename")), 0, 1);
  lists->addWidget(OldList, 1, 0);
  lists->addWidget(NewList, 1, 1);

  const auto labelled = [](const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
  };
  auto* pattern = new QGroupBox(tr("Pattern"));
  auto* patternGrid = new QGridLayout(pattern);
  patternGrid->addWidget(labelled(tr("Name &prefix"), PrefixEdit), 0, 0);
  patternGrid->addWidget(PrefixEdit, 0, 1);
  patternGrid->addWidget(labelled(tr("Name &suffix"), SuffixEdit), 1, 0);
  patternGrid->addWidget(SuffixEdit, 1, 1);
  patternGrid->addWidget(labelled(tr("&Extension"), ExtensionEdit), 2, 0);
  patternGrid->addWidget(ExtensionEdit, 2, 1);
  auto* counter = new QGroupBox(tr("Counter"));
  auto* counterGrid = new QGridLayout(counter);
  counterGrid->addWidget(labelled(tr("&Digits"), DigitsBox), 0, 0);
  counterGrid->addWidget(DigitsBox, 0, 1);
  counterGrid->addWidget(labelled(tr("S&tart value"), StartBox), 1, 0);
  counterGrid->addWidget(StartBox, 1, 1);
  counterGrid->addWidget(labelled(tr("Ste&p value"), StepBox), 2, 0);
  counterGrid->addWidget(StepBox, 2, 1);
  auto* replace = new QGroupBox(tr("Replace"));
  auto* replaceGrid = new QGridLayout(replace);
  replaceGrid->addWidget(labelled(tr("Ori&ginal text"), OriginalEdit), 0, 0);
  replaceGrid->addWidget(OriginalEdit, 0, 1);
  replaceGrid->addWidget(labelled(tr("&New text"), NewTextEdit), 1, 0);
  replaceGrid->addWidget(NewTextEdit, 1, 1);
  auto* parameters = new QHBoxLayout;
  parameters->addWidget(pattern, 2);
  parameters->addWidget(counter, 1);
  parameters->addWidget(replace, 2);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(HelpButton);
  buttons->addStretch();
  for (QPushButton* button : {PreviewButton, RenameButton, CancelButton})
    buttons->addWidget(button);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists, 1);
  layout->addLayout(parameters);
  layout->addLayout(buttons);
  resize(780, 520);

  connect(PreviewButton, &QPushButton::clicked, this, [this] { Preview(); });
  connect(RenameButton, &QPushButton::clicked, this, [this] {
    if (Do()) accept();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpButton, &QPushButton::clicked, this, [] { ShowHelp(MultiRenameHelpContext); });
  // Enter in a box previews; the Rename button previews again before it asks.
  for (QLineEdit* edit : {PrefixEdit, SuffixEdit, ExtensionEdit, OriginalEdit, NewTextEdit})
    connect(edit, &QLineEdit::returnPressed, this, [this] { Preview(); });
}

void TMultiRenameForm::Fill(QListWidget* list, const std::vector<std::string>& titles,
                            const char* hint) {
  list->clear();
  for (const std::string& title : titles) {
    auto* item = new QListWidgetItem(ToQString(title), list);
    item->setToolTip(ToQString(std::string(hint) + title + "\""));
  }
}

bool TMultiRenameForm::Prepare(TColumn& column, TContainer* container, bool renameFiles) {
  AnyRenamed = false;
  if (column.Count() == 0) return false;
  TGuard guard("TMultiRenameItemForm::Dialog");
  guard.Run([&] {
    if (!renameFiles && !container) guard.Raise(ItemsNeedReplaceFailure);
    if (container) {
      bool same = container->Count() == column.Count();
      for (int i = 0; same && i < column.Count(); ++i)
        same = container->Items()[static_cast<size_t>(i)].Title ==
               column.Items[static_cast<size_t>(i)].Title;
      if (!same)
        guard.Panic("Column and container items are not synchronized. You must reload the column.");
    }
  });
  if (guard.Failed()) {
    guard.Show("Failed to multi-rename items.");
    return false;
  }
  Mode = renameFiles ? TMultiRenameMode::Files : TMultiRenameMode::ContainerItems;
  Container = container;
  OldTitles.clear();
  Positions.clear();
  for (int i = 0; i < column.Count(); ++i)
    if (column.Items[static_cast<size_t>(i)].Selected) {
      OldTitles.push_back(column.Items[static_cast<size_t>(i)].Title);
      Positions.push_back(i);
    }
  if (OldTitles.empty()) {
    const TFileListData* focused = column.FocusedItem();
    if (!focused) return false;
    OldTitles.push_back(focused->Title);
    Positions.push_back(column.List.FocusIndex());
  }
  Titles = OldTitles;
  setWindowTitle(renameFiles ? tr("Multi-rename files") : tr("Multi-rename container items"));
  Fill(OldList, OldTitles, "Original file titles. File title \"");
  Fill(NewList, Titles, "File titles after rename. File title \"");
  const TMultiRenameCounter defaults;
  if (DigitsBox->currentText().isEmpty())
    DigitsBox->setCurrentText(QString::number(defaults.Digits));
  if (StartBox->currentText().isEmpty()) StartBox->setCurrentText(QString::number(defaults.Start));
  if (StepBox->currentText().isEmpty()) StepBox->setCurrentText(QString::number(defaults.Step));
  EnableControls(true);
  PrefixEdit->setFocus();
  return true;
}

bool TMultiRenameForm::Dialog(TColumn& column, TContainer* container, bool renameFiles) {
  if (!Prepare(column, container, renameFiles)) return false;
  exec();
  return AnyRenamed;
}

bool TMultiRenameForm::Preview() {
  TMultiRenameCounter counter;
  if (!ReadMultiRenameCounter(FromQString(DigitsBox->currentText()),
                              FromQString(StartBox->currentText()),
                              FromQString(StepBox->currentText()), counter)) {
    ShowWarning(InvalidCounterWarning);
    return false;
  }
  const TMultiRenameFilters filters{
      .Prefix = FromQString(PrefixEdit->text()),
      .Suffix = FromQString(SuffixEdit->text()),
      .Extension = FromQString(ExtensionEdit->text()),
      .OriginalText = FromQString(OriginalEdit->text()),
      .NewText = FromQString(NewTextEdit->text()),
  };
  if (const std::string warning = CheckMultiRenameFilters(filters, Mode, Container != nullptr);
      !warning.empty()) {
    ShowWarning(warning);
    return false;
  }
  std::vector<std::string> titles;
  TGuard guard("TMultiRenameItemForm::Preview");
  guard.Run([&] {
    BuildMultiRenameTitles(OldTitles, filters, counter, Mode, titles);
    guard.TakeOver();
  });
  const bool failed = guard.Failed();
  guard.Show("Failed to preview multi-rename items.");
  if (failed) return false;
  Titles = std::move(titles);
  Fill(NewList, Titles, "File titles after rename. File title \"");
  return true;
}

bool TMultiRenameForm::Rename() {
  TMultiRenameOutcome outcome;
  TGuard guard("TMultiRenameItemForm::Rename");
  guard.Run([&] {
    const auto renameItem = [this](size_t index, const std::string& title) {
      return Container->RenameItem(Positions.at(index), title, OldTitles.at(index));
    };
    if (Mode == TMultiRenameMode::ContainerItems) {
      MultiRenameItems(OldTitles, Titles, renameItem, outcome);
    } else {
      TMultiRenameHost host;
      host.AskOverwrite = OverwriteAsk ? OverwriteAsk : TOverwriteAsk(&AskOverwrite);
      // A container item follows its file as soon as the file has its new title.
      if (Container) host.Renamed = renameItem;
      TUndoRecorder undo("Multi-rename");
      host.Stepped = [&undo](const std::string& from, const std::string& to) {
        undo.Moved(from, to);
      };
      MultiRenameFiles(OldTitles, Titles, host, outcome);
      // Recorded as far as it went, the failure shown after.
      const TFunStatContext result = FunStatContext;
      ProgramJournal().Record(undo);
      FunStatContext = result;
    }
    guard.TakeOver();
  });
  if (outcome.Renamed > 0) AnyRenamed = true;
  const bool failed = guard.Failed();
  guard.Show("Failed to multi-rename items.");
  // A refusal leaves everything as it was: the user may change the pattern.
  return outcome.Renamed > 0 || (!failed && !outcome.Aborted);
}

bool TMultiRenameForm::Do() {
  EnableControls(false);
  bool close = false;
  if (Preview() && AskYesNo(MultiRenameQuestion(Titles.size(), Mode))) close = Rename();
  EnableControls(true);
  return close;
}

void TMultiRenameForm::EnableControls(bool enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{
           PrefixEdit, SuffixEdit, ExtensionEdit, OriginalEdit, NewTextEdit, DigitsBox, StartBox,
           StepBox, PreviewButton, RenameButton, CancelButton})
    control->setEnabled(enabled);
}

void TMultiRenameForm::ReadSettings(const TStoredTextList& ini) {
  int32_t digits = TMultiRenameCounter::DefaultDigits;
  ini.ReadInt(Section, "CounterDigits", digits, TMultiRenameCounter::MaxDigits,
              TMultiRenameCounter::MinDigits);
  DigitsBox->setCurrentText(QString::number(digits));
  ReadFormBounds(ini, Section, this, BoundKeys);
}

void TMultiRenameForm::WriteSettings(TStoredTextList& ini) const {
  TMultiRenameCounter counter;
  ReadMultiRenameCounter(FromQString(DigitsBox->currentText()), {}, {}, counter);
  ini.WriteInt(Section, "CounterDigits", counter.Digits);
  WriteFormBounds(ini, Section, this, BoundKeys);
}

} // namespace cv
