#include "foundation/ErrorForm.h"

#include "foundation/Error.h"
#include "foundation/Help.h"
#include "foundation/Program.h"
#include "foundation/QtText.h"
#include "foundation/UserInterface.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdlib>

namespace cv {

TErrorForm* ErrorForm = nullptr;

namespace {

QPushButton* MakeButton(QWidget* parent, const char* caption, int x, int y, int width) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setGeometry(x, y, width, 25);
  button->setAutoDefault(false);
  return button;
}

} // namespace

TErrorForm::TErrorForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Error"));
  setObjectName(QStringLiteral("ErrorForm"));
  setFixedSize(340, 265);
  setFont(QFont(QStringLiteral("Arial"), 9));
  setModal(true);

  MainMemo = new QPlainTextEdit(this);
  MainMemo->setObjectName(QStringLiteral("MainMemo"));
  MainMemo->setReadOnly(true);
  MainMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MainMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  MainMemo->setGeometry(5, 5, 330, 120);

  RecursionLabel = new QLabel(QStringLiteral("Recursion"), this);
  RecursionLabel->setObjectName(QStringLiteral("RecursionLabel"));
  RecursionLabel->setGeometry(5, 130, 330, 18);

  OkayButton = MakeButton(this, "&Okay", 5, 152, 106);
  OkayNoErrorsButton = MakeButton(this, "O&kay (no errors)", 117, 152, 106);
  CancelButton = MakeButton(this, "&Cancel", 229, 152, 106);
  TerminateButton = MakeButton(this, "&Terminate application immediately", 5, 187, 330);
  LogButton = MakeButton(this, "&Log", 5, 222, 162);
  HelpButton = MakeButton(this, "&Help", 173, 222, 162);
  OkayButton->setDefault(true);
  OkayButton->setObjectName(QStringLiteral("OkayButton"));
  OkayNoErrorsButton->setObjectName(QStringLiteral("OkayNoErrorsButton"));
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  TerminateButton->setObjectName(QStringLiteral("TerminateButton"));
  LogButton->setObjectName(QStringLiteral("LogButton"));
  HelpButton->setObjectName(QStringLiteral("HelpButton"));

  connect(OkayButton, &QPushButton::clicked, this, [this] { done(mrOk); });
  connect(OkayNoErrorsButton, &QPushButton::clicked, this, [this] { done(mrYes); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { done(mrCancel); });
  connect(TerminateButton, &QPushButton::clicked, this, &TErrorForm::TerminateButtonClick);
  connect(LogButton, &QPushButton::clicked, this, &TErrorForm::LogButtonClick);
  connect(HelpButton, &QPushButton::clicked, this, &TErrorForm::HelpButtonClick);

  // The closing sequence must not run: leave at once.
  TerminateProcess = [] { std::_Exit(1); };
  RecursionCount = 0;
}

TErrorForm::~TErrorForm() {
  if (ErrorForm == this) ErrorForm = nullptr;
}

void TErrorForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  OkayButton->setFocus();
}

bool TErrorForm::Execute(const std::string& caption, const std::string& description,
                         bool* noMoreErrors, const std::string& report) {
  try {
    if (RecursionCount > 0) {
      // An error arose while this dialog is up (a timer, a repaint): the
      // dialog keeps its title and text, the count grows, and the report
      // goes to stderr and the log.
      ++RecursionCount;
      RecursionLabel->setText(QStringLiteral("Recursive attempts = %1").arg(RecursionCount - 1));
      ReportWithoutWindowTo(LogFile(), description, report);
      return true;
    }
    setWindowTitle(ToQString(caption));
    RecursionCount = 1;
    RecursionLabel->setText(QStringLiteral("Recursive attempts = None"));
    MemoText = ComposeErrorText(description, report);
    QString shown = ToQString(MemoText);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    MainMemo->setPlainText(shown);
    int result = this->result();
    if (!isVisible()) {
      if (Owner) {
        QRect frame = frameGeometry();
        frame.moveCenter(Owner->window()->frameGeometry().center());
        move(frame.topLeft());
      }
      result = exec();
    }
    RecursionCount = 0;
    if (result == mrOk) {
      if (noMoreErrors) *noMoreErrors = false;
      return true;
    }
    if (result == mrYes) {
      if (noMoreErrors) *noMoreErrors = true;
      return true;
    }
    if (noMoreErrors) *noMoreErrors = false;
    return false;
  } catch (...) {
    RecursionCount = 0;
    return false;
  }
}

bool TErrorForm::WriteLog() {
  try {
    return AppendErrorLogTo(LogFile(), MemoText);
  } catch (...) {
    return false;
  }
}

std::string TErrorForm::LogFile() const {
  return LogTitle.empty() ? Program.ErrorLogTitle() : LogTitle;
}

void TErrorForm::TerminateButtonClick() {
  if (TerminateProcess) TerminateProcess();
}

void TErrorForm::LogButtonClick() {
  if (WriteLog()) QApplication::beep();
}

void TErrorForm::HelpButtonClick() { ShowHelp(HelpContext); }

} // namespace cv
