#include "fileops/ManualRunForm.h"

#include "fileops/Run.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/Program.h"
#include "foundation/QtText.h"
#include "foundation/UserInterface.h"
#include "foundation/Utilities.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {
namespace {

constexpr int ManualRunHelpContext = 403;

QComboBox* HistoryBox() {
  auto* box = new QComboBox;
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setMinimumContentsLength(40);
  return box;
}

QPushButton* Button(const QString& caption) {
  auto* button = new QPushButton(caption);
  button->setAutoDefault(false);
  return button;
}

// A box with its "Clear", "Insert title" and "Insert name" buttons.
QGroupBox* BoxGroup(const QString& caption, QComboBox* box, QObject* owner) {
  auto* group = new QGroupBox(caption);
  auto* layout = new QGridLayout(group);
  layout->addWidget(box, 0, 0, 1, 3);
  auto* clear = Button(QObject::tr("Clear"));
  auto* title = Button(QObject::tr("Insert title"));
  auto* name = Button(QObject::tr("Insert name"));
  layout->addWidget(clear, 1, 0);
  layout->addWidget(title, 1, 1);
  layout->addWidget(name, 1, 2);
  QObject::connect(clear, &QPushButton::clicked, owner, [box] {
    box->setCurrentText({});
    box->setFocus();
  });
  for (auto [button, token] : {std::pair{title, "%t%"}, std::pair{name, "%n%"}})
    QObject::connect(button, &QPushButton::clicked, owner, [box, token] {
      box->lineEdit()->insert(QString::fromLatin1(token));
      box->setFocus();
    });
  return group;
}

} // namespace

TManualRunForm::TManualRunForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Run program"));
  ProgramBox = HistoryBox();
  ParametersBox = HistoryBox();
  WorkingPathLabel = new QLabel;
  WorkingPathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  RunButton = Button(tr("&Run"));
  RunNoParametersButton = Button(tr("R&un (no parameters)"));
  CancelButton = Button(tr("&Cancel"));
  HelpButton = Button(tr("&Help"));

  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {RunButton, RunNoParametersButton, CancelButton, HelpButton})
    buttons->addWidget(button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(BoxGroup(tr("Program &title"), ProgramBox, this));
  layout->addWidget(BoxGroup(tr("&Parameters"), ParametersBox, this));
  auto* working = new QHBoxLayout;
  working->addWidget(new QLabel(tr("Working path")));
  working->addWidget(WorkingPathLabel, 1);
  layout->addLayout(working);
  layout->addLayout(buttons);

  connect(RunButton, &QPushButton::clicked, this, [this] { Do(true); });
  connect(RunNoParametersButton, &QPushButton::clicked, this, [this] { Do(false); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpButton, &QPushButton::clicked, this, [] { ShowHelp(ManualRunHelpContext); });
  PressOnEnter(ProgramBox, RunButton);
  PressOnEnter(ParametersBox, RunButton);
}

void TManualRunForm::Prepare(const std::string& activeTitle) {
  ActiveTitle = activeTitle;
  WorkingPathLabel->setText(ToQString(TProgram::ProgramWorkingPath()));
  ProgramBox->setFocus();
}

void TManualRunForm::Dialog(const std::string& activeTitle) {
  Prepare(activeTitle);
  exec();
}

bool TManualRunForm::Do(bool withParameters) {
  const std::string program = FromQString(ProgramBox->currentText());
  const std::string parameters = FromQString(ParametersBox->currentText());
  if (program.empty()) {
    ShowWarning("You must specify a file to run.");
    return false;
  }
  AddToComboHistory(ProgramBox, program);
  AddToComboHistory(ParametersBox, parameters);
  TGuard guard("TManualRunForm::Do");
  guard.Run([&] {
    const std::string file = SubstituteAll(program, ActiveTitle, {});
    // Parameters are split before their tokens are replaced: a title stays one argument.
    std::vector<std::string> arguments;
    if (withParameters && !SubstituteArguments(parameters, ActiveTitle, {}, arguments))
      guard.Raise("Failed to get arguments.", parameters);
    std::string joined;
    for (const std::string& argument : arguments) {
      if (!joined.empty()) joined += ' ';
      joined += QuoteArgument(argument);
    }
    // It runs where the dialog says; relative names ("%n%") are read there.
    MyRunFile(file, joined, TProgram::ProgramWorkingPath(), false, false);
    guard.TakeOver();
  });
  const bool failed = guard.Failed();
  guard.Show("Failed to run file.");
  return !failed;
}

} // namespace cv
