#include "fileops/OverwriteForm.h"

#include "foundation/Help.h"
#include "foundation/QtText.h"

#include <QApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace cv {
namespace {

constexpr int OverwriteHelpContext = 402;

QLabel* ValueLabel() {
  auto* label = new QLabel;
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setMinimumWidth(260);
  label->setWordWrap(true);
  return label;
}

} // namespace

TOverwriteForm::TOverwriteForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8(OverwriteWindowCaption));
  auto* sides = new QHBoxLayout;
  SourceGroup = BuildSide(SourceLabels);
  DestinationGroup = BuildSide(DestinationLabels);
  sides->addWidget(SourceGroup);
  sides->addWidget(DestinationGroup);

  auto* buttons = new QGridLayout;
  for (int i = 0; i < 6; ++i) {
    const auto choice = static_cast<TOverwriteChoice>(i);
    auto* button = new QPushButton(QString::fromUtf8(OverwriteChoiceButtonText(choice)));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, choice] {
      Answer = choice;
      accept();
    });
    Buttons[static_cast<size_t>(i)] = button;
    buttons->addWidget(button, i / 3, i % 3);
  }
  auto* help = new QPushButton(tr("&Help"));
  help->setAutoDefault(false);
  connect(help, &QPushButton::clicked, this, [] { ShowHelp(OverwriteHelpContext); });
  buttons->addWidget(help, 1, 3);
  Button(TOverwriteChoice::OverwriteThis)->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(sides);
  layout->addLayout(buttons);
}

QGroupBox* TOverwriteForm::BuildSide(TSideLabels& labels) {
  auto* group = new QGroupBox;
  auto* form = new QFormLayout(group);
  labels = {ValueLabel(), ValueLabel(), ValueLabel(), ValueLabel(), ValueLabel()};
  form->addRow(tr("Directory"), labels.Directory);
  form->addRow(tr("File"), labels.File);
  form->addRow(tr("Size"), labels.Size);
  form->addRow(tr("Date"), labels.Date);
  form->addRow(tr("Clock"), labels.Clock);
  return group;
}

void TOverwriteForm::FillSide(TSideLabels& labels, const TOverwriteSide& side) {
  labels.Directory->setText(ToQString(side.Directory));
  labels.File->setText(ToQString(side.File));
  labels.Size->setText(QString::fromStdString(side.Size));
  labels.Date->setText(QString::fromStdString(side.Date));
  labels.Clock->setText(QString::fromStdString(side.Clock));
}

void TOverwriteForm::Fill(const TOverwriteView& view) {
  SourceGroup->setTitle(QString::fromStdString(view.SourceCaption));
  DestinationGroup->setTitle(QString::fromStdString(view.DestinationCaption));
  FillSide(SourceLabels, view.Source);
  FillSide(DestinationLabels, view.Destination);
  Button(TOverwriteChoice::OverwriteThis)->setFocus();
}

TOverwriteChoice TOverwriteForm::Ask(const TOverwriteView& view) {
  Fill(view);
  // Esc and the window's close button reject: nothing is written.
  Answer = TOverwriteChoice::Abort;
  exec();
  return Answer;
}

TOverwriteChoice AskOverwrite(const TOverwriteView& view) {
  static QPointer<TOverwriteForm> form;
  QWidget* owner = QApplication::activeWindow();
  if (!form || form->parentWidget() != owner) {
    delete form;
    form = new TOverwriteForm(owner);
  }
  return form->Ask(view);
}

} // namespace cv
