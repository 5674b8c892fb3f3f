#include "install/WizardForm.h"

#include "foundation/Guard.h"
#include "foundation/Help.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>

namespace cv {

namespace {

struct TPageText {
  std::string_view Page;
  const char* Text;
};

constexpr TPageText CPageTexts[] = {
    {"Start",
     "Welcome. This wizard walks through the parts of the window, one page each, and can switch "
     "some of them on for you.\n\nCheck the check-boxes if you want the program to do what the "
     "check-box caption says, and uncheck it if you want to ignore the step (the option remains "
     "as is).\n\nUse \"Next step\" and \"Previous step\" or the page tabs to move, \"Okay\" to "
     "apply the checked steps. The wizard can be run again from Help, Wizard."},
    {"Hint bar",
     "The hint bar at the bottom of the window tells what the control under the mouse does. Once "
     "you know the program it can go: Ctrl+F8 shows or hides it at any time."},
    {"Tree",
     "The directory tree navigator is a panel beside the columns with the directories as a tree; "
     "F9 shows or hides it on the active board. Synchronizing the column makes the active column "
     "follow the directory chosen in the tree."},
    {"Boards",
     "A board is a set of up to ten columns. The program keeps thirty boards; the boards bar "
     "shows a button for each, and the number keys switch boards too. F8 shows or hides the bar."},
    {"3 columns",
     "Each board shows as many columns as you choose (File, Visible columns). Three columns leave "
     "room to browse in one and copy between the others."},
    {"File type",
     "A column can show each file's type in a field beside its name. Files whose names start "
     "with a dot are hidden by the system's convention; a column can list them as well (File, "
     "Attributes)."},
    {"Info bars",
     "The information bars at the bottom describe the active column (its directory, the number "
     "and size of its items and of the selection) and the active file. Shift+F8 and Alt+F8 show "
     "or hide them."},
    {"Definitions",
     "The active column is the one with the focus; its active file is the item with the focus. "
     "A fixed column (F10) starts a group: directories opened inside a group open in the next "
     "column. A container is a kept list of files from anywhere, shown in a column like a "
     "directory."},
    {"Parent dir",
     "Backspace goes to the parent directory and focuses the directory you left. A click on the "
     "column's header does the same, and Backspace at the top reaches the partitions."},
    {"Media player",
     "Sound and video files play in the viewer below the columns. The keys = and - change the "
     "volume, [ and ] move within the file."},
    {"Mouse op",
     "What a click, a double click or a drag does on an item's name or type field is chosen in "
     "the options (Mouse operations). Desktop selection makes Ctrl+click, Shift+click, Shift with "
     "the arrows, Ctrl+A and a rubber band select as on the desktop."},
    {"Mouse menu",
     "A short drag with the right button opens the mouse menu around the pointer; releasing the "
     "button over one of its cells runs that cell's operation. The cells are chosen in the "
     "options."},
    {"Hover",
     "Resting the mouse on a file shows a window with a preview of it: a picture, the start of a "
     "text, a video. H turns it off and on. Hot-track underlines the item under the mouse."},
    {"Thumbnails",
     "A column can show small pictures of the files instead of their names (Ctrl+F10). The "
     "options set their size and quality."},
    {"Subcolumns",
     "A wide column can list its items in several subcolumns side by side (File, Attributes, "
     "Subcolumns), so long directories need less scrolling."},
    {"Skins",
     "Skins change the colours and pictures of the window. They live in the Skins directory of "
     "the options directory; the options choose one."},
};

const char* PageText(std::string_view page) {
  for (const TPageText& text : CPageTexts)
    if (text.Page == page) return text.Text;
  return "";
}

} // namespace

TWizardForm::TWizardForm(const TWizardChoices& initial, QWidget* parent) : QDialog(parent) {
  setObjectName("WizardForm");
  setWindowTitle("Configuration and help wizard");
  auto* layout = new QVBoxLayout(this);
  Pages = new QTabWidget(this);
  Pages->setObjectName("Pages");
  Pages->setUsesScrollButtons(true);
  for (std::string_view page : WizardPages()) {
    auto* sheet = new QWidget(Pages);
    sheet->setObjectName(QString::fromUtf8(page.data(), static_cast<int>(page.size())));
    auto* sheetLayout = new QVBoxLayout(sheet);
    auto* text = new QLabel(QString::fromUtf8(PageText(page)), sheet);
    text->setWordWrap(true);
    text->setMinimumWidth(460);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sheetLayout->addWidget(text);
    for (const TWizardBox& box : WizardBoxes()) {
      if (box.Page != page) continue;
      auto* check = new QCheckBox(
          QString::fromUtf8(box.Caption.data(), static_cast<int>(box.Caption.size())), sheet);
      check->setChecked(initial.*box.Choice);
      sheetLayout->addWidget(check);
      Boxes.push_back(check);
    }
    sheetLayout->addStretch(1);
    Pages->addTab(sheet, sheet->objectName());
  }
  // The boxes were made page by page, in the table's order.
  layout->addWidget(Pages, 1);

  auto* buttons = new QHBoxLayout;
  PreviousButton = new QPushButton("&Previous step", this);
  NextButton = new QPushButton("&Next step", this);
  OkayButton = new QPushButton("&Okay", this);
  CancelButton = new QPushButton("&Cancel", this);
  HelpButton = new QPushButton("&Help", this);
  for (QPushButton* button : {PreviousButton, NextButton, OkayButton, CancelButton, HelpButton}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  buttons->insertStretch(2, 1);
  NextButton->setDefault(true);
  layout->addLayout(buttons);

  connect(PreviousButton, &QPushButton::clicked, this, [this] {
    if (Pages->currentIndex() > 0) Pages->setCurrentIndex(Pages->currentIndex() - 1);
  });
  connect(NextButton, &QPushButton::clicked, this, [this] {
    if (Pages->currentIndex() < Pages->count() - 1)
      Pages->setCurrentIndex(Pages->currentIndex() + 1);
  });
  connect(Pages, &QTabWidget::currentChanged, this, [this] { UpdateButtons(); });
  connect(OkayButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpButton, &QPushButton::clicked, this, [this] { ShowHelp(HelpContextNumber); });
  UpdateButtons();
}

TWizardChoices TWizardForm::Choices() const {
  TWizardChoices choices;
  const auto boxes = WizardBoxes();
  for (size_t i = 0; i < boxes.size() && i < Boxes.size(); ++i)
    choices.*boxes[i].Choice = Boxes[i]->isChecked();
  return choices;
}

void TWizardForm::UpdateButtons() {
  PreviousButton->setEnabled(Pages->currentIndex() > 0);
  NextButton->setEnabled(Pages->currentIndex() < Pages->count() - 1);
}

void TWizardForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    ShowHelp(HelpContextNumber);
    return;
  }
  QDialog::keyPressEvent(event);
}

std::optional<TWizardChoices> WizardFormDialog(int helpContext, const TWizardChoices& initial,
                                               QWidget* parent) {
  TGuard guard("WizardFormDialog");
  std::optional<TWizardChoices> chosen = guard.Run(std::optional<TWizardChoices>(), [&] {
    auto form = std::make_unique<TWizardForm>(initial, parent);
    form->HelpContextNumber = helpContext;
    if (form->exec() != QDialog::Accepted) return std::optional<TWizardChoices>();
    return std::optional<TWizardChoices>(form->Choices());
  });
  guard.Show("Failed to show the wizard.");
  return chosen;
}

} // namespace cv
