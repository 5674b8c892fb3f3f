#include "fileops/OpenWithForm.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"
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
