#include "fileops/UndoListForm.h"

#include "foundation/Help.h"
#include "foundation/QtText.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace cv {

std::string DescribeSteps(const TUndoRecord& record, size_t most) {
  std::string text;
  size_t shown = 0;
  for (size_t i = 0; i < record.StepsLeft(); ++i) {
    if (shown++ == most) return text + "...";
    const TUndoStep& step = record.Steps[i];
    switch (step.Kind) {
    case TUndoStepKind::Moved:
      text += "Moved " + step.From + " -> " + step.To;
      break;
    case TUndoStepKind::Created:
      text += "Created " + step.To;
      break;
    case TUndoStepKind::Recycled:
      text += "Recycled " + step.From;
      break;
    case TUndoStepKind::MadeDirectory:
      text += "Made directory " + step.To;
      break;
    case TUndoStepKind::RemovedDirectory:
      text += "Removed empty directory " + step.From;
      break;
    }
    text += "\n";
  }
  if (!text.empty()) text.pop_back();
  return text;
}

TUndoListForm::TUndoListForm(QWidget* parent) : QDialog(parent) {
  setObjectName("UndoListForm");
  setWindowTitle("Undo list");
  auto* layout = new QVBoxLayout(this);
  List = new QTreeWidget(this);
  List->setObjectName("List");
  List->setColumnCount(2);
  List->setHeaderLabels({"Time", "Operation"});
  List->setRootIsDecorated(false);
  List->setUniformRowHeights(true);
  List->setSelectionMode(QAbstractItemView::SingleSelection);
  List->header()->setStretchLastSection(true);
  List->setMinimumSize(640, 320);
  List->setStatusTip("The last file operations, newest first. Undoing one undoes every operation "
                     "above it too.");
  layout->addWidget(List);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  UndoButton = new QPushButton("&Undo through selected", this);
  UndoButton->setStatusTip("Undo the selected operation and every operation after it.");
  UndoButton->setToolTip(UndoButton->statusTip());
  CancelButton = new QPushButton("&Cancel", this);
  HelpButton = new QPushButton("&Help", this);
  for (QPushButton* button : {UndoButton, CancelButton, HelpButton}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  UndoButton->setDefault(true);
  layout->addLayout(buttons);

  connect(UndoButton, &QPushButton::clicked, this, [this] {
    if (SelectedId() != 0) accept();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpButton, &QPushButton::clicked, this, [] { ShowHelp(HelpContext); });
  connect(List, &QTreeWidget::itemSelectionChanged, this, &TUndoListForm::UpdateButton);
  connect(List, &QTreeWidget::itemDoubleClicked, this, [this] { UndoButton->click(); });
}

void TUndoListForm::Fill(const std::vector<TUndoRecord>& records) {
  List->clear();
  for (const TUndoRecord& record : records) {
    auto* item = new QTreeWidgetItem(List);
    item->setText(0, QDateTime::fromSecsSinceEpoch(record.Time).toString("yyyy-MM-dd hh:mm:ss"));
    item->setText(1, ToQString(record.Summary()));
    item->setToolTip(1, ToQString(DescribeSteps(record)));
    item->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(record.Id));
  }
  List->resizeColumnToContents(0);
  if (List->topLevelItemCount() > 0) List->setCurrentItem(List->topLevelItem(0));
  UpdateButton();
}

uint64_t TUndoListForm::SelectedId() const {
  const QList<QTreeWidgetItem*> selected = List->selectedItems();
  return selected.isEmpty() ? 0 : selected.front()->data(0, Qt::UserRole).toULongLong();
}

void TUndoListForm::UpdateButton() {
  UndoButton->setEnabled(SelectedId() != 0);
}

bool TUndoListForm::Dialog(const std::vector<TUndoRecord>& records, uint64_t& throughId) {
  Fill(records);
  List->setFocus();
  if (exec() != QDialog::Accepted) return false;
  throughId = SelectedId();
  return throughId != 0;
}

} // namespace cv
