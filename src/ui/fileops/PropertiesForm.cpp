#include "fileops/PropertiesForm.h"

#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/Guard.h"
#include "foundation/OffThread.h"
#include "foundation/QtText.h"
#include "foundation/Text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <sys/stat.h>
#include <thread>

namespace cv {
namespace {

QLabel* ValueLabel() {
  auto* label = new QLabel;
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setWordWrap(true);
  label->setMinimumWidth(320);
  return label;
}

// "1.2 KB (1,234 bytes)"; the bytes alone below a kilobyte.
QString SizeText(uint64_t bytes) {
  const QString exact = QString::fromStdString(IntToGroupedText(static_cast<int64_t>(bytes))) +
                        (bytes == 1 ? " byte" : " bytes");
  if (bytes < 1024) return exact;
  return QString::fromStdString(GetSizeText(0, 0, bytes)).trimmed() + " (" + exact + ")";
}

QString TimeText(uint64_t fileTime) {
  return QString::fromStdString(ShortDateTimeText(" ", ConvertFileTime(fileTime)));
}

QString CountOf(uint64_t count, const char* one, const char* many) {
  return QString::number(count) + " " + (count == 1 ? one : many);
}

QString StreamsText(const std::vector<TStreamFact>& streams) {
  if (streams.empty()) return QObject::tr("None");
  QStringList lines;
  for (const TStreamFact& stream : streams)
    lines << ToQString(stream.Name) + " (" + SizeText(stream.Size) + ")";
  return lines.join('\n');
}

constexpr mode_t ModeBits[9] = {S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP,
                                S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH};

} // namespace

struct TPropertiesForm::TCountState {
  std::atomic<bool> Cancel{false};
  std::atomic<bool> Finished{false};
  std::atomic<bool> Completed{false};
  // The totals so far.
  std::atomic<uint64_t> Files{0}, Directories{0}, Bytes{0}, Unreadable{0};
};

TPropertiesForm::TPropertiesForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Properties"));
  Form = new QFormLayout;
  Form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  NameLabel = ValueLabel();
  TypeLabel = ValueLabel();
  LocationLabel = ValueLabel();
  SizeLabel = ValueLabel();
  // A running count must not wrap into a row that has no room for it.
  SizeLabel->setWordWrap(false);
  SizeLabel->setMinimumWidth(SizeLabel->fontMetrics().horizontalAdvance(
      "Counting… 9999999 files, 999999 directories, 999.9 GB"));
  StopButton = new QPushButton(tr("Stop"));
  StopButton->setAutoDefault(false);
  StopButton->hide();
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(SizeLabel, 1);
  sizeRow->addWidget(StopButton);
  LinkLabel = ValueLabel();
  ModifiedLabel = ValueLabel();
  AccessedLabel = ValueLabel();
  ChangedLabel = ValueLabel();
  BornLabel = ValueLabel();
  OwnerLabel = ValueLabel();
  GroupLabel = ValueLabel();
  FileSystemLabel = ValueLabel();
  MountPointLabel = ValueLabel();
  PartitionLabel = ValueLabel();
  StreamsLabel = ValueLabel();
  Form->addRow(tr("Name"), NameLabel);
  Form->addRow(tr("Type"), TypeLabel);
  Form->addRow(tr("Location"), LocationLabel);
  Form->addRow(tr("Size"), sizeRow);
  Form->addRow(tr("Link target"), LinkLabel);
  Form->addRow(tr("Modified"), ModifiedLabel);
  Form->addRow(tr("Accessed"), AccessedLabel);
  Form->addRow(tr("Status changed"), ChangedLabel);
  Form->addRow(tr("Created"), BornLabel);
  Form->addRow(tr("Owner"), OwnerLabel);
  Form->addRow(tr("Group"), GroupLabel);
  Form->addRow(tr("Permissions"), BuildPermissions());
  Form->addRow(tr("File system"), FileSystemLabel);
  Form->addRow(tr("Mount point"), MountPointLabel);
  Form->addRow(tr("Partition"), PartitionLabel);
  Form->addRow(tr("Streams"), StreamsLabel);

  ApplyButton = new QPushButton(tr("&Apply"));
  ApplyButton->setAutoDefault(false);
  ApplyButton->setEnabled(false);
  CloseButton = new QPushButton(tr("&Close"));
  CloseButton->setDefault(true);
  auto* buttons = new QDialogButtonBox;
  buttons->addButton(ApplyButton, QDialogButtonBox::ApplyRole);
  buttons->addButton(CloseButton, QDialogButtonBox::RejectRole);
  connect(ApplyButton, &QPushButton::clicked, this, &TPropertiesForm::Apply);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(StopButton, &QPushButton::clicked, this, [this] {
    if (Count) Count->Cancel = true;
  });

  CountTimer = new QTimer(this);
  CountTimer->setInterval(100);
  connect(CountTimer, &QTimer::timeout, this, &TPropertiesForm::ShowCount);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(Form);
  layout->addWidget(buttons);
}

TPropertiesForm::~TPropertiesForm() {
  StopCounting();
}

QLayout* TPropertiesForm::BuildPermissions() {
  auto* grid = new QGridLayout;
  const char* columns[] = {"Read", "Write", "Execute"};
  const char* rows[] = {"Owner", "Group", "Others"};
  for (int column = 0; column < 3; ++column)
    grid->addWidget(new QLabel(tr(columns[column])), 0, column + 1);
  for (int row = 0; row < 3; ++row) {
    grid->addWidget(new QLabel(tr(rows[row])), row + 1, 0);
    for (int column = 0; column < 3; ++column) {
      auto* box = new QCheckBox;
      box->setAccessibleName(tr(rows[row]) + " " + tr(columns[column]));
      connect(box, &QCheckBox::toggled, this, [this] {
        ShowMode(ModeOfBoxes());
        ApplyButton->setEnabled(ModeOfBoxes() != Facts.Mode);
      });
      ModeBoxes[static_cast<size_t>(row * 3 + column)] = box;
      grid->addWidget(box, row + 1, column + 1, Qt::AlignHCenter);
    }
  }
  ModeLabel = ValueLabel();
  grid->addWidget(ModeLabel, 4, 0, 1, 5);
  // The boxes stay together; the free width goes to the right.
  grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 4);
  return grid;
}

bool TPropertiesForm::Load(const std::string& title) {
  StopCounting();
  TGuard guard("TPropertiesForm::Load");
  return guard.Run(false, [&] {
    // A file on a share that does not answer: the window keeps going.
    struct TRead {
      TFileProperties Facts;
      TFunStatContext Status;
    };
    TRead read;
    const TWaitEnd end = WaitOffThread<TRead>(
        [title](const std::atomic<bool>&) {
          TRead result;
          LoadFileProperties(title, result.Facts);
          result.Status = FunStatContext;
          return result;
        },
        read);
    if (end != TWaitEnd::Done) return false; // cancelled: nothing failed
    FunStatContext = read.Status;
    guard.TakeOver();
    Facts = std::move(read.Facts);
    FillFacts();
    if (Facts.IsDirectory) StartCounting();
    return true;
  });
}

void TPropertiesForm::FillFacts() {
  NameLabel->setText(ToQString(Facts.Name));
  TypeLabel->setText(ToQString(Facts.TypeText));
  LocationLabel->setText(ToQString(Facts.Location));
  SizeLabel->setText(Facts.IsDirectory ? QString() : SizeText(Facts.Size));
  LinkLabel->setText(ToQString(Facts.LinkTarget));
  Form->setRowVisible(LinkLabel, !Facts.LinkTarget.empty());
  ModifiedLabel->setText(TimeText(Facts.ModifiedFileTime));
  AccessedLabel->setText(TimeText(Facts.AccessedFileTime));
  ChangedLabel->setText(TimeText(Facts.StatusChangedFileTime));
  BornLabel->setText(Facts.BirthFileTime != 0 ? TimeText(Facts.BirthFileTime) : QString());
  Form->setRowVisible(BornLabel, Facts.BirthFileTime != 0);
  OwnerLabel->setText(ToQString(Facts.OwnerName));
  GroupLabel->setText(ToQString(Facts.GroupName));
  FileSystemLabel->setText(ToQString(Facts.FileSystemType));
  MountPointLabel->setText(ToQString(Facts.MountPoint));
  PartitionLabel->setText(
      ToQString(PartitionDisplayText(Facts.PartitionTitle)) +
      (Facts.PartitionLabel.empty() ? QString() : " (" + ToQString(Facts.PartitionLabel) + ")"));
  StreamsLabel->setText(StreamsText(Facts.Streams));
  ShowFactsMode();
}

void TPropertiesForm::ShowFactsMode() {
  for (size_t i = 0; i < ModeBoxes.size(); ++i) {
    const QSignalBlocker quiet(ModeBoxes[i]);
    ModeBoxes[i]->setChecked((Facts.Mode & ModeBits[i]) != 0);
  }
  ShowMode(Facts.Mode);
  ApplyButton->setEnabled(false);
}

void TPropertiesForm::ShowMode(mode_t mode) {
  ModeLabel->setText(QString("%1 (%2)")
                         .arg(static_cast<uint>(mode), 4, 8, QChar('0'))
                         .arg(QString::fromStdString(ModeText(mode))));
}

mode_t TPropertiesForm::ModeOfBoxes() const {
  mode_t mode = Facts.Mode & ~mode_t{0777}; // set-id and sticky bits stay
  for (size_t i = 0; i < ModeBoxes.size(); ++i)
    if (ModeBoxes[i]->isChecked()) mode |= ModeBits[i];
  return mode;
}

void TPropertiesForm::Apply() {
  // The change and the reading back run on a worker: a mount that stops
  // answering must not hold the window.
  struct TApplied {
    TFunStatContext Status;
    bool Read = false; // what the disk holds now, whether the change took or not
    mode_t Mode = 0;
    uint64_t Changed = 0;
  };
  TApplied applied;
  const TWaitEnd end = WaitOffThread<TApplied>(
      [title = Facts.Title, mode = ModeOfBoxes()](const std::atomic<bool>&) {
        TApplied result;
        SetFileMode(title, mode);
        result.Status = FunStatContext;
        struct statx now {};
        if (StatxTitle(title, true, STATX_MODE | STATX_CTIME, &now) == 0) {
          result.Read = true;
          result.Mode = static_cast<mode_t>(now.stx_mode & 07777);
          result.Changed = UnixTimeToFileTime(now.stx_ctime.tv_sec, now.stx_ctime.tv_nsec);
        }
        return result;
      },
      applied);
  // Cancelled: whether the change took is not known, so nothing is shown as
  // applied; the boxes keep what was asked and Apply stays to try again.
  if (end != TWaitEnd::Done) return;
  TGuard guard("TPropertiesForm::Apply");
  guard.Run([&] {
    FunStatContext = applied.Status;
    guard.TakeOver();
  });
  guard.Show("Failed to change permissions.");
  if (applied.Read) {
    Facts.Mode = applied.Mode;
    Facts.StatusChangedFileTime = applied.Changed;
    ChangedLabel->setText(TimeText(Facts.StatusChangedFileTime));
  }
  ShowFactsMode();
}

bool TPropertiesForm::Counting() const {
  // Until the end is shown: the timer stops when it shows it.
  return CountTimer->isActive();
}

void TPropertiesForm::StartCounting() {
  Count = std::make_shared<TCountState>();
  // The thread holds its own state and copies: it never reaches the window,
  // which may be gone long before a stuck read returns.
  StartDetached([state = Count, title = Facts.Title, hook = CountHook] {
    TDirectoryCount count;
    const bool completed = CountDirectory(
        title, state->Cancel, count, [&](const TDirectoryCount& now, const std::string& entry) {
          state->Files.store(now.Files, std::memory_order_relaxed);
          state->Directories.store(now.Directories, std::memory_order_relaxed);
          state->Bytes.store(now.Bytes, std::memory_order_relaxed);
          if (hook) hook(now, entry);
        });
    state->Files = count.Files;
    state->Directories = count.Directories;
    state->Bytes = count.Bytes;
    state->Unreadable = count.Unreadable;
    state->Completed = completed;
    state->Finished = true;
  });
  StopButton->show();
  StopButton->setEnabled(true);
  ShowCount();
  CountTimer->start();
}

void TPropertiesForm::ShowCount() {
  if (!Count) return;
  const TCountState& count = *Count;
  const bool finished = count.Finished.load();
  // The exact bytes only at the end: the running text keeps one length.
  QString text = CountOf(count.Files, "file", "files") + ", " +
                 CountOf(count.Directories, "directory", "directories") + ", " +
                 (finished ? SizeText(count.Bytes)
                           : QString::fromStdString(GetSizeText(0, 0, count.Bytes)).trimmed());
  if (count.Unreadable != 0)
    text += ", " + CountOf(count.Unreadable, "unreadable directory", "unreadable directories");
  if (!finished) {
    SizeLabel->setText(tr("Counting…") + " " + text);
    return;
  }
  CountTimer->stop();
  StopButton->hide();
  SizeLabel->setText(!count.Completed ? tr("Stopped:") + " " + text : text);
}

void TPropertiesForm::StopCounting() {
  if (Count) Count->Cancel = true;
  Count.reset();
  CountTimer->stop();
  StopButton->hide();
}

void TPropertiesForm::done(int result) {
  StopCounting();
  QDialog::done(result);
}

void ShowPropertiesDialog(const std::string& title, QWidget* parent) {
  TGuard guard("ShowPropertiesDialog");
  guard.Run([&] {
    TPropertiesForm form(parent);
    const bool loaded = form.Load(title);
    guard.TakeOver();
    if (loaded) form.exec();
  });
  guard.Show("Failed to show properties.");
}

} // namespace cv
