#include "fileops/OpenWithForm.h"

#include "fileops/Run.h"
#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/QtText.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {
namespace {

constexpr const char* OtherCommandText = "Other command…";
constexpr int NoApplicationHelpContext = 405;

QLabel* ValueLabel() {
  auto* label = new QLabel;
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setWordWrap(true);
  return label;
}

} // namespace

TOpenWithForm::TOpenWithForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Open with"));
  FileLabel = ValueLabel();
  TypeLabel = ValueLabel();
  auto* facts = new QFormLayout;
  facts->addRow(tr("File"), FileLabel);
  facts->addRow(tr("Type"), TypeLabel);

  List = new QListWidget;
  List->setMinimumSize(360, 200);
  // Enter reaches "&Open" as the default button; a double click opens too.
  connect(List, &QListWidget::itemDoubleClicked, this, &TOpenWithForm::Open);
  connect(List, &QListWidget::currentRowChanged, this, &TOpenWithForm::CurrentRowChanged);

  CommandEdit = new QLineEdit;
  CommandEdit->setPlaceholderText(tr("Command line"));
  CommandEdit->hide();

  auto* buttons = new QDialogButtonBox;
  OpenButton = buttons->addButton(tr("&Open"), QDialogButtonBox::AcceptRole);
  CancelButton = buttons->addButton(tr("&Cancel"), QDialogButtonBox::RejectRole);
  OpenButton->setDefault(true);
  connect(OpenButton, &QPushButton::clicked, this, &TOpenWithForm::Open);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(facts);
  layout->addWidget(List);
  layout->addWidget(CommandEdit);
  layout->addWidget(buttons);
}

void TOpenWithForm::Fill(const std::string& fileName, const std::string& typeDescription,
                         const std::vector<TApplicationChoice>& applications) {
  FileLabel->setText(ToQString(fileName));
  TypeLabel->setText(ToQString(typeDescription));
  List->clear();
  Ids.clear();
  for (const TApplicationChoice& application : applications) {
    QString text = ToQString(application.Name);
    if (application.IsDefault) text += tr(" (default)");
    auto* item = new QListWidgetItem(text, List);
    item->setToolTip(ToQString(application.Exec));
    Ids.push_back(application.Id);
  }
  new QListWidgetItem(QString::fromUtf8(OtherCommandText), List);
  CommandEdit->clear();
  List->setCurrentRow(0);
  CurrentRowChanged();
  List->setFocus();
}

bool TOpenWithForm::OtherCommandCurrent() const {
  return List->currentRow() == static_cast<int>(Ids.size());
}

void TOpenWithForm::CurrentRowChanged() {
  CommandEdit->setVisible(OtherCommandCurrent());
}

void TOpenWithForm::Open() {
  const int row = List->currentRow();
  if (row < 0) return;
  if (OtherCommandCurrent()) {
    const QString command = CommandEdit->text().trimmed();
    // The first Enter on the row leads into the box; an empty box opens nothing.
    if (command.isEmpty()) {
      CommandEdit->setFocus();
      return;
    }
    Chosen = {{}, FromQString(command)};
  } else {
    Chosen = {Ids[static_cast<size_t>(row)], {}};
  }
  accept();
}

bool TOpenWithForm::Choose(TOpenWithChoice& choice) {
  Chosen = {};
  if (exec() != QDialog::Accepted) return false;
  choice = Chosen;
  return true;
}

TNoApplicationForm::TNoApplicationForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Open file"));
  TextLabel = new QLabel;
  TextLabel->setWordWrap(true);
  TextLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  TextLabel->setMinimumWidth(360);
  auto* question = new QLabel(tr("Choose an application for it with \"Open with\"."));
  auto* buttons = new QDialogButtonBox;
  OpenWithButton = buttons->addButton(tr("&Open with…"), QDialogButtonBox::AcceptRole);
  CancelButton = buttons->addButton(tr("&Cancel"), QDialogButtonBox::RejectRole);
  HelpButton = buttons->addButton(tr("&Help"), QDialogButtonBox::HelpRole);
  OpenWithButton->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(HelpButton, &QPushButton::clicked, this, [] { ShowHelp(NoApplicationHelpContext); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TextLabel);
  layout->addWidget(question);
  layout->addWidget(buttons);
}

void TNoApplicationForm::Fill(const std::string& sentence) {
  TextLabel->setText(ToQString(sentence));
  OpenWithButton->setFocus();
}

void OpenFileWith(const std::string& title, QWidget* parent) {
  TGuard guard("TColumn::Com_OpenFileWith");
  guard.Run([&] {
    TOpenWithChoice choice;
    const bool chosen = ChooseOpenWith(title, parent, choice);
    guard.TakeOver();
    if (!chosen) return;
    if (!choice.ApplicationId.empty())
      LaunchApplication(choice.ApplicationId, title);
    else
      RunCommandWithFile(choice.CommandLine, title);
    guard.TakeOver();
  });
  guard.Show("Failed to open file with.");
}

void OfferOpenWithFor(const std::string& title, const std::string& sentence, QWidget* parent) {
  TNoApplicationForm form(parent);
  form.Fill(sentence);
  if (form.exec() == QDialog::Accepted) OpenFileWith(title, parent);
}

bool ChooseOpenWith(const std::string& title, QWidget* parent, TOpenWithChoice& choice) {
  TGuard guard("ChooseOpenWith");
  return guard.Run(false, [&] {
    const std::string type = ContentTypeOf(title);
    guard.TakeOver();
    TOpenWithForm form(parent);
    form.Fill(GetTitleName(title), ContentTypeDescription(type), ApplicationsForType(type));
    return form.Choose(choice);
  });
}

} // namespace cv
