#include "columns/GoToPathBox.h"

#include "columns/ColumnPainter.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/File.h"
#include "foundation/Help.h"
#include "foundation/OffThread.h"
#include "foundation/QtText.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>

#include <algorithm>
#include <atomic>

namespace cv {

namespace {

constexpr int HelpContext = 30401;
constexpr int PopupRows = 8;
constexpr size_t MaxListings = 2;

} // namespace

// Shared with the listing's worker: the box may be gone when it ends.
struct TGoToPathBox::TListingSlot {
  TGoToPathBox* Box = nullptr; // window's thread only
  std::atomic<bool> Cancel{false};
};

TGoToPathBox::TGoToPathBox(TColumnView& view)
    : QLineEdit(&view), Message(new QLabel(&view)), Popup(new QListWidget(&view)), View(view),
      Slot(std::make_shared<TListingSlot>()) {
  setObjectName(QStringLiteral("GoToPath"));
  Slot->Box = this;
  setFont(ColumnItemsFont());
  Message->setObjectName(QStringLiteral("GoToPathMessage"));
  Message->setAutoFillBackground(true);
  Message->setTextFormat(Qt::PlainText);
  Message->setMargin(2);
  Message->hide();
  Popup->setObjectName(QStringLiteral("GoToPathCandidates"));
  Popup->setFont(ColumnItemsFont());
  // The typing stays in the box; a click picks a candidate.
  Popup->setFocusPolicy(Qt::NoFocus);
  Popup->hide();
  connect(Popup.data(), &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { Choose(Popup->row(item)); });
  connect(this, &QLineEdit::textEdited, this, &TGoToPathBox::Edited);
  View.installEventFilter(this);
  hide();
}

TGoToPathBox::~TGoToPathBox() {
  Slot->Box = nullptr;
  Slot->Cancel.store(true);
  // Not deleted here: the view may be deleting its children right now.
  if (Message) Message->deleteLater();
  if (Popup) Popup->deleteLater();
}

void TGoToPathBox::Open(const std::string& text, const std::string& base) {
  Base = base;
  SetBytes(text);
  selectAll();
  Place();
  show();
  raise();
  setFocus(Qt::ShortcutFocusReason);
  UpdateCandidates();
}

void TGoToPathBox::Place() {
  const QRect header = View.Header->geometry();
  setGeometry(header);
  int below = header.bottom() + 1;
  if (!Message->isHidden()) {
    Message->setGeometry(header.left(), below, header.width(), Message->sizeHint().height());
    Message->raise();
    below += Message->height();
  }
  if (!Popup->isHidden()) {
    const int rows = std::min(Popup->count(), PopupRows);
    const int height = std::max(1, rows) * Popup->sizeHintForRow(0) + 2 * Popup->frameWidth();
    Popup->setGeometry(header.left(), below, header.width(),
                       std::min(height, std::max(0, View.height() - below)));
    Popup->raise();
  }
}

bool TGoToPathBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &View && event->type() == QEvent::Resize) Place();
  return QLineEdit::eventFilter(watched, event);
}

void TGoToPathBox::Say(const std::string& line) {
  Message->setText(ToQString(line));
  Message->setVisible(!line.empty());
  Place();
}

void TGoToPathBox::SetBytes(const std::string& bytes) {
  Text.Set(bytes);
  setText(Text.Shown());
}

void TGoToPathBox::Edited(const QString& text) {
  Text.Edited(text);
  Cycle.clear();
  CycleIndex = -1;
  CompleteWhenListed = false;
  Say({});
  UpdateCandidates();
}

void TGoToPathBox::UpdateCandidates() {
  const TCompletionSplit split = SplitForCompletion(Text.Bytes());
  Wanted = split.DirectoryPart;
  if (!HaveListing || ListedPart != Wanted) {
    Popup->hide();
    RequestListing(Wanted);
    return;
  }
  Shown = CompletionCandidates(Listing.Names, split.NamePrefix);
  Popup->clear();
  for (const std::string& name : Shown)
    Popup->addItem(TTypedBytes::Display(name));
  // Nothing to offer, or only what is typed already.
  const bool offer = !Shown.empty() && !(Shown.size() == 1 && Shown[0] == split.NamePrefix);
  Popup->setVisible(offer && isVisible());
  if (offer && CycleIndex >= 0) Popup->setCurrentRow(CycleIndex);
  Place();
}

void TGoToPathBox::RequestListing(const std::string& directoryPart) {
  // A directory that does not answer holds one worker, not one per key; a
  // second one lets the typing go on elsewhere meanwhile.
  if (std::find(Running.begin(), Running.end(), directoryPart) != Running.end() ||
      Running.size() >= MaxListings)
    return;
  Running.push_back(directoryPart);
  StartDetached([slot = Slot, directoryPart, base = Base] {
    TCompletionListing listing = ListCompletionNames(directoryPart, base, &slot->Cancel);
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app,
        [slot, directoryPart, listing = std::move(listing)]() mutable {
          if (slot->Box) slot->Box->Listed(directoryPart, std::move(listing));
        },
        Qt::QueuedConnection);
  });
}

void TGoToPathBox::Listed(const std::string& directoryPart, TCompletionListing&& listing) {
  Running.erase(std::find(Running.begin(), Running.end(), directoryPart));
  // A listing of a part no longer typed is kept only when nothing newer is.
  if (directoryPart != Wanted && HaveListing && ListedPart == Wanted) return;
  ListedPart = directoryPart;
  Listing = std::move(listing);
  HaveListing = true;
  if (Wanted != ListedPart) {
    RequestListing(Wanted);
    return;
  }
  if (Cycle.empty()) UpdateCandidates();
  if (CompleteWhenListed) {
    CompleteWhenListed = false;
    Complete(CompleteStep);
  }
}

std::string TGoToPathBox::CompletedPart(const std::string& directoryPart) const {
  if (directoryPart.size() >= 5 &&
      SameTextFolded(std::string_view(directoryPart).substr(0, 5), "file:"))
    return Listing.Directory;
  return directoryPart;
}

void TGoToPathBox::Complete(int step) {
  if (!Cycle.empty()) {
    const int count = static_cast<int>(Cycle.size());
    CycleIndex = ((CycleIndex + step) % count + count) % count;
    SetBytes(CyclePart + Cycle[static_cast<size_t>(CycleIndex)]);
    if (Popup->isVisible()) Popup->setCurrentRow(CycleIndex);
    return;
  }
  const TCompletionSplit split = SplitForCompletion(Text.Bytes());
  if (!HaveListing || ListedPart != split.DirectoryPart) {
    // Done as soon as the names are there.
    CompleteWhenListed = true;
    CompleteStep = step;
    RequestListing(split.DirectoryPart);
    return;
  }
  const std::vector<std::string> candidates = CompletionCandidates(Listing.Names, split.NamePrefix);
  if (candidates.empty()) return;
  const std::string part = CompletedPart(split.DirectoryPart);
  if (candidates.size() == 1) {
    SetBytes(part + candidates[0] + "/");
    UpdateCandidates();
    return;
  }
  const std::string common = CommonNamePrefix(candidates);
  if (common.size() > split.NamePrefix.size() ||
      (common.size() == split.NamePrefix.size() && common != split.NamePrefix)) {
    SetBytes(part + common);
    UpdateCandidates();
    return;
  }
  // Nothing more in common: Tab goes through the candidates.
  Cycle = candidates;
  CyclePart = part;
  CycleIndex = step > 0 ? -1 : 0;
  Complete(step);
}

void TGoToPathBox::Choose(int row) {
  if (row < 0 || row >= static_cast<int>(Shown.size())) return;
  const TCompletionSplit split = SplitForCompletion(Text.Bytes());
  Cycle.clear();
  CycleIndex = -1;
  SetBytes(CompletedPart(split.DirectoryPart) + Shown[static_cast<size_t>(row)] + "/");
  UpdateCandidates();
}

bool TGoToPathBox::event(QEvent* event) {
  // Tab completes here instead of moving the focus.
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      Complete(key->key() == Qt::Key_Backtab || key->modifiers().testFlag(Qt::ShiftModifier) ? -1
                                                                                             : 1);
      return true;
    }
  }
  return QLineEdit::event(event);
}

void TGoToPathBox::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
    Go();
    return;
  case Qt::Key_Escape:
    Close(true);
    return;
  case Qt::Key_F1:
    ShowHelp(HelpContext);
    return;
  case Qt::Key_Up:
  case Qt::Key_Down:
    if (Popup->isVisible() && Popup->count() > 0) {
      const int step = event->key() == Qt::Key_Down ? 1 : -1;
      const int count = Popup->count();
      const int row = Popup->currentRow() < 0 ? (step > 0 ? 0 : count - 1)
                                              : (Popup->currentRow() + step + count) % count;
      Popup->setCurrentRow(row);
      // The name goes into the box as Tab would put it, without leaving the
      // directory.
      const TCompletionSplit split = SplitForCompletion(Text.Bytes());
      if (Cycle.empty()) {
        Cycle = Shown;
        CyclePart = CompletedPart(split.DirectoryPart);
      }
      CycleIndex = row;
      SetBytes(CyclePart + Cycle[static_cast<size_t>(row)]);
    }
    return;
  default:
    QLineEdit::keyPressEvent(event);
  }
}

void TGoToPathBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // A click elsewhere leaves the box as Esc does, with the focus where the
  // click put it; another window taking the focus for a while does not.
  if (!Going && (event->reason() == Qt::MouseFocusReason || event->reason() == Qt::TabFocusReason))
    Close(false);
}

void TGoToPathBox::Go() {
  if (Going || Closing) return;
  if (Text.Broken()) {
    Say("A name here was edited where its bytes cannot be shown: complete it again.");
    return;
  }
  Going = true;
  CompleteWhenListed = false;
  TTypedPath path;
  TWaitOptions wait;
  wait.Notice = [this](bool shown) { Say(shown ? "Looking... (Esc cancels)" : ""); };
  const TWaitEnd end = WaitOffThread<TTypedPath>(
      [typed = Text.Bytes(), base = Base](const std::atomic<bool>&) {
        return ResolveTypedPath(typed, base);
      },
      path, wait);
  Going = false;
  if (end != TWaitEnd::Done) return;
  if (!path.Found()) {
    Say(TypedPathMessage(path.Status));
    return;
  }
  Closing = true;
  Popup->hide();
  Message->hide();
  hide();
  if (OnGo) OnGo(path);
  deleteLater();
}

void TGoToPathBox::Close(bool escaped) {
  if (Closing) return;
  Closing = true;
  Popup->hide();
  Message->hide();
  hide();
  if (escaped && OnClose) OnClose();
  deleteLater();
}

} // namespace cv
