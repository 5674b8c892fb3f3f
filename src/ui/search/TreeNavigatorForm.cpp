#include "search/TreeNavigatorForm.h"

#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/Clipboard.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/QtText.h"
#include "foundation/StoredTextList.h"
#include "foundation/StoredTextListWidgets.h"
#include "search/TreeView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace cv {

namespace {

constexpr TFormBoundKeys CBoundKeys{"XPos", "YPos", "XSize", "YSize"};

constexpr const char* CTreeHint =
    "Click [Double LMB] on a directory name, which has a small rectangle at its left with a \"+\" "
    "inside (or [LMB] on the \"+\"), in order to expand the tree with a branch which shows the "
    "content of that directory; if the small rectangle has a \"-\" inside, the branch of the "
    "directory is closed. Click [RMB] or [Enter] on the directory name to display its content in "
    "the current column. [F2] = clip current directory name ([Ctrl] = clip current directory "
    "path; [Shift] = clip current directory title).";

QString ShownTitle(const std::string& title) {
  return ToQString(PartitionDisplayText(title));
}

} // namespace

TTreeNavigatorForm::TTreeNavigatorForm(QWidget* parent) : QDialog(parent) {
  setObjectName("TreeNavigatorForm");
  setWindowTitle("Directory tree navigator");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setMinimumSize(300, 300);
  resize(708, 534);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(5, 5, 5, 5);
  TreeView = new TTreeView(Tree, this);
  TreeView->setObjectName("TreeView");
  TreeView->setStatusTip(CTreeHint);
  layout->addWidget(TreeView, 1);
  CurrentFileTitleLabel = new QLabel(this);
  CurrentFileTitleLabel->setObjectName("CurrentFileTitleLabel");
  CurrentFileTitleLabel->setTextFormat(Qt::PlainText);
  layout->addWidget(CurrentFileTitleLabel);
  // The two buttons stay centred on every resize.
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* centre = new QWidget(this);
  centre->setObjectName("ButtonsCenterFillPanel");
  centre->setFixedWidth(180);
  auto* centreLayout = new QHBoxLayout(centre);
  centreLayout->setContentsMargins(0, 0, 0, 0);
  OkayButton = new QPushButton("&Okay", centre);
  CancelButton = new QPushButton("&Cancel", centre);
  centreLayout->addWidget(OkayButton);
  centreLayout->addWidget(CancelButton);
  buttons->addWidget(centre);
  buttons->addStretch(1);
  layout->addLayout(buttons);

  connect(OkayButton, &QPushButton::clicked, this,
          [this] { Confirm(Tree.GetSelectedTreeTitle()); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  TreeView->OnSelectionChanged = [this](TTreeNode* node) {
    CurrentFileTitleLabel->setText(ShownTitle(GetTreeNodeTitle(node)));
  };
  TreeView->OnEnter = [this](TTreeNode* node) { Confirm(GetTreeNodeTitle(node)); };
  TreeView->OnMousePressed = [this](TTreeNode* node, const QMouseEvent& event) {
    // A right press picks the directory at once.
    if (event.button() == Qt::RightButton && node) Confirm(GetTreeNodeTitle(node));
  };
}

void TTreeNavigatorForm::Confirm(const std::string& title) {
  CurrentTitle = title;
  accept();
}

bool TTreeNavigatorForm::Prepare(const std::string& title) {
  TGuard guard("TTreeNavigatorForm::Dialog");
  return guard.Run(false, [&] {
    CurrentTitle = ExcludeDelimiter(title);
    CurrentFileTitleLabel->clear();
    TreeView->CurrentTitle = CurrentTitle;
    Tree.Clear();
    if (!Tree.LoadTreeWithPartitions()) guard.TakeOver();
    Tree.NavigateToTreeDirectory(CurrentTitle);
    return true;
  });
}

std::string TTreeNavigatorForm::Finish(bool confirmed) {
  Tree.Clear();
  return confirmed ? CurrentTitle : std::string();
}

std::string TTreeNavigatorForm::Dialog(const std::string& title) {
  bool confirmed = false;
  {
    TGuard guard("TTreeNavigatorForm::Dialog");
    guard.Run([&] {
      if (!Prepare(title)) guard.TakeOver();
      confirmed = exec() == QDialog::Accepted;
    });
    guard.Show("Failed to navigate the directories tree.");
  }
  return Finish(confirmed);
}

void TTreeNavigatorForm::ReadBounds(const TStoredTextList& ini) {
  ReadFormBounds(ini, "DTN", this, CBoundKeys);
}

void TTreeNavigatorForm::WriteBounds(TStoredTextList& ini) const {
  WriteFormBounds(ini, "DTN", this, CBoundKeys);
}

void TTreeNavigatorForm::ClipSelected(Qt::KeyboardModifiers modifiers) {
  std::string text = Tree.GetSelectedTreeTitle();
  if (modifiers & Qt::ControlModifier)
    text = GetTitlePath(text);
  else if (!(modifiers & (Qt::ShiftModifier | Qt::AltModifier)))
    text = GetTitleName(text);
  // Titles are copied as the screen shows them: a partition without its ":".
  CopyTextToClipboard(PartitionDisplayText(text), "Failed to copy file title to clipboard.");
}

void TTreeNavigatorForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F2) {
    ClipSelected(event->modifiers());
    return;
  }
  if (event->key() == Qt::Key_F1) {
    ShowHelp(HelpContext);
    return;
  }
  QDialog::keyPressEvent(event);
}

void TTreeNavigatorForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  TreeView->setFocus();
  QTimer::singleShot(0, this, [this] { TreeView->EnsureVisible(Tree.Selected()); });
}

} // namespace cv
