#include "mainwindow/OptionsForm.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/Program.h"
#include "foundation/QtText.h"
#include "foundation/Text.h"
#include "foundation/UserInterface.h"
#include "foundation/Utilities.h"
#include "plugins/ViewerPlugins.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace cv {

namespace {

struct TPageCaption {
  TOptionsPage Page;
  const char* Caption;
};

constexpr TPageCaption CPages[] = {
    {TOptionsPage::General, "General"},      {TOptionsPage::Column, "Column"},
    {TOptionsPage::Viewer, "Viewer"},        {TOptionsPage::MouseOperations, "Mouse operations"},
    {TOptionsPage::MouseMenu, "Mouse menu"}, {TOptionsPage::Hover, "Hover"},
    {TOptionsPage::Plugins, "Plugins"}};

constexpr int CHelpContext = 101;
// A frame with more controls shows them in two columns, row by row (the
// twelve cells of the mouse menu then sit as they do in the menu).
constexpr int CMaxGroupLines = 10;
// A page with more lines puts its frames in two columns.
constexpr int CMaxPageLines = 14;
constexpr int CGroupColumnGap = 16;
constexpr int CNumberWidth = 11;
constexpr int CFontNameWidth = 20;
constexpr int CPluginNameWidth = 40;
// Checked as soon as the user leaves them, not only on "&Okay".
constexpr std::string_view CCheckedOnLeave[] = {"NormalizeThumbWidthTo", "NormalizeThumbHeightTo"};
constexpr std::string_view CShowFailure = "Failed to show options.";
const char* const CBytesProperty = "corvantideBytes";

// Shows the text, selecting the equal item when there is one.
void SetComboText(QComboBox* box, const QString& text) {
  box->setCurrentIndex(box->findText(text));
  if (box->isEditable()) box->setEditText(text);
}

// The hidden drag operation is offered only while it is the current value,
// so that "&Okay" does not change it behind the user's back.
void FillOperationBox(QComboBox* box, const TOptionRow& row, std::string_view current) {
  const QSignalBlocker blocker(box);
  box->clear();
  for (std::string_view name : row.Names)
    if (name != CHiddenDragOperation || name == current) box->addItem(ToQString(name));
  SetComboIndexByText(box, current, row.DefaultText);
}

// A name box keeps the bytes it was given: a name that is not valid UTF-8
// must survive a look at the dialog.
void SetNameBytes(QLineEdit* edit, const std::string& bytes) {
  edit->setText(ToQString(bytes));
  edit->setProperty(CBytesProperty, QByteArray::fromStdString(bytes));
}

std::string NameBytes(const QLineEdit* edit) {
  const QByteArray stored = edit->property(CBytesProperty).toByteArray();
  std::string bytes(stored.constData(), static_cast<size_t>(stored.size()));
  if (ToQString(bytes) == edit->text()) return bytes;
  return FromQString(edit->text());
}

// What loading would accept; anything else keeps the current value.
void TakeText(const TOptionRow& row, const std::string& text, TProgramOptions& options) {
  if ((row.AllowEmpty || !text.empty()) && text.size() <= static_cast<size_t>(row.MaxLength) &&
      !HasInvalidTitleCharacters(text))
    row.Text(options) = text;
}

// The table's range, or membership of its list, decides.
int ReadIntBox(const TOptionRow& row, QComboBox* box) {
  const int value = GetIntFromComboBox(box, row.Minimum(), row.Maximum(), row.DefaultInt);
  if (row.Accepts(value)) return value;
  return RefuseIntInComboBox(box, row.Minimum(), row.Maximum(), row.DefaultInt);
}

void AppendRow(QGridLayout* grid, QWidget* widget, Qt::Alignment alignment = {}) {
  grid->addWidget(widget, grid->rowCount(), 0, 1, 2, alignment);
}

// Frames in one column, or in two split where the taller is lowest.
QWidget* LayOutPage(const std::vector<QGroupBox*>& groups) {
  std::vector<int> lines;
  for (QGroupBox* group : groups)
    lines.push_back(static_cast<QGridLayout*>(group->layout())->rowCount());
  int total = 0;
  for (int count : lines)
    total += count;
  size_t split = groups.size();
  if (total > CMaxPageLines) {
    int best = total;
    int left = 0;
    for (size_t i = 0; i + 1 < groups.size(); ++i) {
      left += lines[i];
      if (std::max(left, total - left) < best) {
        best = std::max(left, total - left);
        split = i + 1;
      }
    }
  }
  auto* page = new QWidget;
  auto* columns = new QHBoxLayout(page);
  for (size_t first = 0; first < groups.size();) {
    const size_t last = first < split ? split : groups.size();
    auto* column = new QVBoxLayout;
    for (size_t i = first; i < last; ++i)
      column->addWidget(groups[i]);
    column->addStretch(1);
    columns->addLayout(column, 1);
    first = last;
  }
  return page;
}

} // namespace

TOptionsForm::TOptionsForm(QWidget* parent) : QDialog(parent) {
  setObjectName("OptionsForm");
  setWindowTitle("Program options");
  PluginDirectories = Program.PluginsPaths();
  ChoosePluginFile = [this](const std::string& directory, const std::string& name) {
    return ChoosePluginFileInDialog(directory, name);
  };

  Pages = new QTabWidget;
  Pages->setObjectName("Pages");
  for (const TPageCaption& page : CPages)
    Pages->addTab(BuildPage(page.Page), page.Caption);

  auto* okay = new QPushButton("&Okay");
  okay->setObjectName("Okay");
  okay->setDefault(true);
  auto* cancel = new QPushButton("&Cancel");
  cancel->setObjectName("Cancel");
  auto* help = new QPushButton("&Help");
  help->setObjectName("Help");
  connect(okay, &QPushButton::clicked, this, &TOptionsForm::OkayClick);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [] { ShowHelp(CHelpContext); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okay);
  buttons->addWidget(cancel);
  buttons->addWidget(help);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Pages);
  layout->addLayout(buttons);
}

QWidget* TOptionsForm::BuildPage(TOptionsPage page) {
  std::vector<QGroupBox*> groups = BuildGroups(page);
  if (page == TOptionsPage::General) {
    ShowTreeNavigatorBox = new QCheckBox("Show directory tree navigator");
    ShowTreeNavigatorBox->setObjectName("ShowTreeNavigator");
    AppendRow(GridOf("SynchronizeColumn", groups), ShowTreeNavigatorBox);
  } else if (page == TOptionsPage::Viewer) {
    auto* cacheInfo = new QPushButton("Cache info");
    cacheInfo->setObjectName("CacheInfo");
    connect(cacheInfo, &QPushButton::clicked, this, &TOptionsForm::ShowCacheInfo);
    AppendRow(GridOf("MaxPictureCacheSize", groups), cacheInfo, Qt::AlignLeft);
  }
  return LayOutPage(groups);
}

std::vector<QGroupBox*> TOptionsForm::BuildGroups(TOptionsPage page) {
  std::vector<std::string_view> names;
  std::vector<std::vector<const TOptionRow*>> members;
  for (const TOptionRow& row : ProgramOptionRows()) {
    if (row.Page != page) continue;
    const size_t group =
        static_cast<size_t>(std::find(names.begin(), names.end(), row.Group) - names.begin());
    if (group == names.size()) {
      names.push_back(row.Group);
      members.emplace_back();
    }
    members[group].push_back(&row);
  }
  std::vector<QGroupBox*> groups;
  for (size_t g = 0; g < names.size(); ++g) {
    auto* group = new QGroupBox(ToQString(names[g]));
    auto* grid = new QGridLayout(group);
    const bool twoColumns = members[g].size() > CMaxGroupLines;
    if (twoColumns) grid->setColumnMinimumWidth(2, CGroupColumnGap);
    // Spare width goes to an empty last column: controls stay beside their
    // labels at the width of the widest one.
    grid->setColumnStretch(twoColumns ? 5 : 2, 1);
    for (size_t i = 0; i < members[g].size(); ++i) {
      const int line = static_cast<int>(twoColumns ? i / 2 : i);
      const int column = twoColumns ? static_cast<int>(i % 2) * 3 : 0;
      AddControl(grid, line, column, *members[g][i]);
    }
    groups.push_back(group);
  }
  return groups;
}

void TOptionsForm::AddControl(QGridLayout* grid, int line, int column, const TOptionRow& row) {
  QWidget* control = nullptr;
  switch (row.Kind) {
  case TOptionKind::Bool:
    control = new QCheckBox(ToQString(row.Caption));
    grid->addWidget(control, line, column, 1, 2);
    break;
  case TOptionKind::Text:
    control = AddPluginSlot(grid, line, column, row);
    break;
  case TOptionKind::Int:
  case TOptionKind::Font:
  case TOptionKind::Operation: {
    auto* box = new QComboBox;
    if (row.Kind == TOptionKind::Int) {
      box->setEditable(true);
      // One width for every number box, room for the longest number.
      box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
      box->setMinimumContentsLength(CNumberWidth);
      // Never offer a value that "&Okay" would refuse.
      for (int value : row.Values)
        if (row.Accepts(value)) box->addItem(QString::number(value));
      if (std::find(std::begin(CCheckedOnLeave), std::end(CCheckedOnLeave), row.Key) !=
          std::end(CCheckedOnLeave))
        connect(box->lineEdit(), &QLineEdit::editingFinished, this,
                [&row, box] { ReadIntBox(row, box); });
    } else if (row.Kind == TOptionKind::Font) {
      box->setEditable(true);
      // Long family names must not widen the page each time the list fills.
      box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
      box->setMinimumContentsLength(CFontNameWidth);
      box->lineEdit()->setMaxLength(row.MaxLength);
      FontBoxes.push_back(box);
    } else {
      FillOperationBox(box, row, row.DefaultText);
    }
    if (box->isEditable()) box->setInsertPolicy(QComboBox::NoInsert);
    auto* label = new QLabel(ToQString(row.Caption));
    label->setBuddy(box);
    grid->addWidget(label, line, column);
    grid->addWidget(box, line, column + 1);
    control = box;
    break;
  }
  }
  control->setObjectName(ToQString(row.Key));
  Controls.push_back({&row, control});
}

QWidget* TOptionsForm::AddPluginSlot(QGridLayout* grid, int line, int column,
                                     const TOptionRow& row) {
  const int slot = static_cast<int>(PluginNames.size());
  const QString number = QString::number(slot);
  auto* name = new QLineEdit;
  name->setMaxLength(row.MaxLength);
  name->setMinimumWidth(name->fontMetrics().averageCharWidth() * CPluginNameWidth);
  auto* load = new QPushButton("Load");
  load->setObjectName("Load" + number);
  connect(load, &QPushButton::clicked, this, [this, slot] { LoadPlugin(slot); });
  auto* info = new QPushButton("Info");
  info->setObjectName("Info" + number);
  info->setToolTip("What the plugin says about itself and the file extensions it reads");
  connect(info, &QPushButton::clicked, this, [this, slot] { ShowPluginInfo(slot); });
  auto* label = new QLabel(ToQString(row.Caption));
  label->setBuddy(name);
  auto* boxes = new QHBoxLayout;
  boxes->addWidget(name, 1);
  boxes->addWidget(load);
  boxes->addWidget(info);
  grid->addWidget(label, line, column);
  grid->addLayout(boxes, line, column + 1);
  PluginNames.push_back(name);
  return name;
}

QGridLayout* TOptionsForm::GridOf(std::string_view key, std::vector<QGroupBox*>& groups) const {
  for (const TControl& control : Controls)
    if (control.Row->Key == key)
      return static_cast<QGridLayout*>(control.Widget->parentWidget()->layout());
  // The row moved away: the page's last frame, or a frame of its own.
  if (groups.empty()) new QGridLayout(groups.emplace_back(new QGroupBox));
  return static_cast<QGridLayout*>(groups.back()->layout());
}

void TOptionsForm::FillFontLists() {
  const QStringList families = QFontDatabase::families();
  for (QComboBox* box : FontBoxes) {
    const QSignalBlocker blocker(box);
    box->clear();
    box->addItems(families);
  }
}

void TOptionsForm::ClearFontLists() {
  for (QComboBox* box : FontBoxes) {
    const QSignalBlocker blocker(box);
    box->clear();
  }
}

void TOptionsForm::Fill(const TProgramOptions& options, bool showTreeNavigator) {
  Edited = options;
  EditedTreeNavigator = showTreeNavigator;
  FillFontLists();
  for (const TControl& control : Controls) {
    const TOptionRow& row = *control.Row;
    switch (row.Kind) {
    case TOptionKind::Bool:
      static_cast<QCheckBox*>(control.Widget)->setChecked(row.Bool(options));
      break;
    case TOptionKind::Int:
      SetComboText(static_cast<QComboBox*>(control.Widget), QString::number(row.Int(options)));
      break;
    case TOptionKind::Font:
      SetComboText(static_cast<QComboBox*>(control.Widget), ToQString(row.Text(options)));
      break;
    case TOptionKind::Operation:
      FillOperationBox(static_cast<QComboBox*>(control.Widget), row, row.Text(options));
      break;
    case TOptionKind::Text:
      SetNameBytes(static_cast<QLineEdit*>(control.Widget), row.Text(options));
      break;
    }
  }
  ShowTreeNavigatorBox->setChecked(showTreeNavigator);
}

void TOptionsForm::Apply(TProgramOptions& options, bool& showTreeNavigator) {
  for (const TControl& control : Controls) {
    const TOptionRow& row = *control.Row;
    switch (row.Kind) {
    case TOptionKind::Bool:
      row.Bool(options) = static_cast<QCheckBox*>(control.Widget)->isChecked();
      break;
    case TOptionKind::Int:
      row.Int(options) = ReadIntBox(row, static_cast<QComboBox*>(control.Widget));
      break;
    case TOptionKind::Font:
      TakeText(row, FromQString(static_cast<QComboBox*>(control.Widget)->currentText()), options);
      break;
    case TOptionKind::Operation: {
      const std::string name = FromQString(static_cast<QComboBox*>(control.Widget)->currentText());
      if (std::find(row.Names.begin(), row.Names.end(), name) != row.Names.end())
        row.Text(options) = name;
      break;
    }
    case TOptionKind::Text:
      TakeText(row, NameBytes(static_cast<QLineEdit*>(control.Widget)), options);
      break;
    }
  }
  showTreeNavigator = ShowTreeNavigatorBox->isChecked();
}

bool TOptionsForm::Dialog(TProgramOptions& options, bool& showTreeNavigator) {
  TGuard guard("TOptionsForm::Dialog");
  const bool okay = guard.Run(false, [&] {
    Fill(options, showTreeNavigator);
    if (exec() != QDialog::Accepted) return false;
    options = Edited;
    showTreeNavigator = EditedTreeNavigator;
    return true;
  });
  ClearFontLists();
  guard.Show(CShowFailure);
  return okay;
}

void TOptionsForm::OkayClick() {
  TGuard guard("TOptionsForm::OkayClick");
  // Copied into a spare record first, so a failure half-way changes nothing.
  const bool copied = guard.Run(false, [&] {
    TProgramOptions edited = Edited;
    bool showTreeNavigator = EditedTreeNavigator;
    Apply(edited, showTreeNavigator);
    Edited = edited;
    EditedTreeNavigator = showTreeNavigator;
    return true;
  });
  guard.Show(CShowFailure);
  if (copied) accept();
}

void TOptionsForm::LoadPlugin(int slot) {
  TGuard guard("TOptionsForm::LoadPlugin");
  guard.Run([&] {
    QLineEdit* name = PluginNames.at(static_cast<size_t>(slot));
    const std::string directory = PluginDirectories.front();
    const std::string current = NameBytes(name);
    const std::string chosen = ChoosePluginFile(directory, current.empty() ? "*.so" : current);
    if (chosen.empty()) return;
    // Slots name files of the plug-in directory only.
    SetNameBytes(name, IsSameFile(GetTitlePath(chosen), directory) ? GetTitleName(chosen) : "");
  });
  guard.Show(CShowFailure);
}

void TOptionsForm::ShowPluginInfo(int slot) {
  TGuard guard("TOptionsForm::ShowPluginInfo");
  guard.Run([&] {
    std::string text;
    ViewerPluginInformation(NameBytes(PluginNames.at(static_cast<size_t>(slot))), PluginDirectories,
                            text);
    guard.TakeOver();
    ShowInformation(text);
  });
  guard.Show("Invalid plugin file.");
}

void TOptionsForm::ShowCacheInfo() {
  TGuard guard("TOptionsForm::ShowCacheInfo");
  guard.Run([&] {
    const auto [pictures, bytes] =
        CacheStatistics ? CacheStatistics() : std::pair<int64_t, int64_t>{0, 0};
    ShowInformation(
        "Thumbnail picture cache statistics:\n* Pictures: " + IntToGroupedText(pictures) +
        "\n* Size: " + GetSizeText(3, 0, static_cast<uint64_t>(std::max<int64_t>(bytes, 0))));
  });
  guard.Show(CShowFailure);
}

std::string TOptionsForm::ChoosePluginFileInDialog(const std::string& directory,
                                                   const std::string& name) {
  // Not the desktop's own dialog: that one cannot be driven by a test.
  QFileDialog dialog(this, QString(), ToQString(directory), "Plugin (*.so)");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.selectFile(ToQString(name));
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? std::string() : FromQString(files.front());
}

} // namespace cv
