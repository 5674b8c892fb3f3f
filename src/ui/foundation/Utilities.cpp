#include "foundation/Utilities.h"

#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/QtText.h"
#include "foundation/Text.h"
#include "foundation/UserInterface.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace cv {

namespace {

const char* const TagProperty = "corvantideTag";

void SetBoxText(QComboBox* box, const QString& text) {
  if (box->isEditable()) box->setEditText(text);
  else box->setCurrentText(text);
}

int FindItemNoCase(const QComboBox* box, std::string_view text) {
  for (int i = 0; i < box->count(); ++i)
    if (SameText(FromQString(box->itemText(i)), text)) return i;
  return -1;
}

} // namespace

int MenuItemTag(const QAction* action) {
  return action ? action->property(TagProperty).toInt() : 0;
}

void SetMenuItemTag(QAction* action, int tag) { action->setProperty(TagProperty, tag); }

std::string MenuItemTitle(const QAction* action) {
  if (!action) return {};
  const QByteArray bytes = action->data().toByteArray();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void SetMenuItemTitle(QAction* action, const std::string& title) {
  action->setData(QByteArray::fromStdString(title));
}

QString MenuCaption(std::string_view name) {
  QString caption = ToQString(name);
  caption.replace(QLatin1Char('&'), QLatin1String("&&"));
  return caption;
}

int GetIntFromComboBox(QComboBox* box, int low, int high, int defaultValue) {
  const std::string text = FromQString(box->currentText());
  int value = defaultValue;
  if (CheckIntFromText(text, low, high, value, defaultValue)) return value;
  return RefuseIntInComboBox(box, low, high, defaultValue);
}

int RefuseIntInComboBox(QComboBox* box, int low, int high, int defaultValue) {
  ShowWarning("Integer value outside limits.\nIt will be set to default.\n    * Minimum = " +
              std::to_string(low) + "\n    * Maximum = " + std::to_string(high) +
              "\n    * Default = " + std::to_string(defaultValue));
  SetBoxText(box, QString::number(defaultValue));
  box->setFocus();
  return defaultValue;
}

int GetIntFromComboBox(QComboBox* box) { return GetIntFromComboBox(box, INT_MIN, INT_MAX, 0); }

double GetRealFromComboBox(QComboBox* box, double defaultValue, double high, double low) {
  const std::string text = FromQString(box->currentText());
  bool defaulted = false;
  const double value = GetRealFromText(text, &defaulted, defaultValue, high, low);
  if (!defaulted || text.find_first_not_of(" \t") == std::string::npos) return value;
  ShowWarning("Real value outside limits.\nIt will be set to default.\n    * Minimum = " +
              RealToGeneralText(low) + "\n    * Maximum = " + RealToGeneralText(high) +
              "\n    * Default = " + RealToGeneralText(defaultValue));
  SetBoxText(box, ToQString(RealToGeneralText(defaultValue)));
  box->setFocus();
  return defaultValue;
}

void SetComboIndexByText(QComboBox* box, std::string_view text, std::string_view defaultText) {
  int index = FindItemNoCase(box, text.empty() ? defaultText : text);
  if (index < 0) index = defaultText.empty() ? 0 : FindItemNoCase(box, defaultText);
  if (index < 0 || index >= box->count()) index = 0;
  box->setCurrentIndex(box->count() > 0 ? index : -1);
}

void AddToComboHistory(QComboBox* box, std::string_view text) {
  if (text.empty()) return;
  const QString current = box->currentText();
  const int index = FindItemNoCase(box, text);
  if (index == 0) return;
  const QSignalBlocker blocker(box);
  if (index > 0) {
    const QString item = box->itemText(index);
    box->removeItem(index);
    box->insertItem(0, item);
  } else {
    box->insertItem(0, ToQString(text));
  }
  SetBoxText(box, current);
}

void RecordComboHistory(QComboBox* box) { AddToComboHistory(box, FromQString(box->currentText())); }

// ---- Edit boxes that keep a name's bytes ----------------------------------------------

namespace {

const char* const OriginalBytesProperty = "corvantideOriginalBytes";
constexpr char16_t Replacement = u'\uFFFD';

// The length of the well-formed UTF-8 sequence at `at`, or 0.
size_t Utf8SequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF; // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F; // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

// The edit text of some bytes, with the byte offset where each of its UTF-16
// units starts (the second unit of a pair starts after its character's
// bytes) and whether any unit stands for a byte that is not UTF-8.
struct TEditMap {
  QString Text;
  std::vector<size_t> Start;
  bool HasForeignBytes = false;
};

TEditMap MapEditText(std::string_view bytes) {
  TEditMap map;
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) {
      map.Text += QChar(Replacement);
      map.Start.push_back(at);
      map.HasForeignBytes = true;
      ++at;
      continue;
    }
    const QString character = QString::fromUtf8(bytes.data() + at, static_cast<qsizetype>(length));
    map.Text += character;
    map.Start.push_back(at);
    if (character.size() == 2) map.Start.push_back(at + length);
    at += length;
  }
  map.Start.push_back(bytes.size());
  return map;
}

// The edit spliced into the original: `prefix` units at the start and
// `suffix` at the end are unchanged and keep their bytes.
bool Splice(std::string_view original, const TEditMap& map, const QString& edited, qsizetype prefix,
            qsizetype suffix, std::string& bytes) {
  const qsizetype shown = map.Text.size();
  // Never part a surrogate pair: the unchanged parts hold whole characters.
  if (prefix > 0 && prefix < shown && map.Text[prefix].isLowSurrogate()) --prefix;
  if (suffix > 0 && suffix < shown && map.Text[shown - suffix].isLowSurrogate()) --suffix;
  const QString typed = edited.mid(prefix, edited.size() - prefix - suffix);
  if (map.HasForeignBytes && typed.contains(QChar(Replacement))) return false;
  const QByteArray middle = typed.toUtf8();
  bytes.assign(original.substr(0, map.Start[static_cast<size_t>(prefix)]));
  bytes.append(middle.constData(), static_cast<size_t>(middle.size()));
  bytes.append(original.substr(map.Start[static_cast<size_t>(shown - suffix)]));
  return true;
}

qsizetype CommonPrefix(const QString& a, const QString& b, qsizetype limit) {
  qsizetype n = 0;
  while (n < limit && a[n] == b[n])
    ++n;
  return n;
}

qsizetype CommonSuffix(const QString& a, const QString& b, qsizetype limit) {
  qsizetype n = 0;
  while (n < limit && a[a.size() - 1 - n] == b[b.size() - 1 - n])
    ++n;
  return n;
}

} // namespace

QString ToEditText(std::string_view bytes) {
  return MapEditText(bytes).Text;
}

bool FromEditText(std::string_view original, const QString& edited, std::string& bytes) {
  const TEditMap map = MapEditText(original);
  if (edited == map.Text) {
    bytes.assign(original);
    return true;
  }
  // The unchanged start and end, each taken first in turn: where the two
  // ways part a U+FFFD differently, the bytes must come out the same.
  const qsizetype limit = std::min(map.Text.size(), edited.size());
  const qsizetype startFirst = CommonPrefix(map.Text, edited, limit);
  const qsizetype endAfter = CommonSuffix(map.Text, edited, limit - startFirst);
  const qsizetype endFirst = CommonSuffix(map.Text, edited, limit);
  const qsizetype startAfter = CommonPrefix(map.Text, edited, limit - endFirst);
  std::string other;
  return Splice(original, map, edited, startFirst, endAfter, bytes) &&
         Splice(original, map, edited, startAfter, endFirst, other) && bytes == other;
}

void SetEditBytes(QLineEdit* edit, std::string_view bytes) {
  edit->setProperty(OriginalBytesProperty,
                    QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  edit->setText(ToEditText(bytes));
}

bool GetEditBytes(const QLineEdit* edit, std::string& bytes, bool warn) {
  const QByteArray original = edit->property(OriginalBytesProperty).toByteArray();
  if (FromEditText(std::string_view(original.constData(), static_cast<size_t>(original.size())),
                   edit->text(), bytes))
    return true;
  bytes.clear();
  if (warn) ShowWarning(UntraceableNameWarning);
  return false;
}

namespace {

class TEnterPresser : public QObject {
public:
  TEnterPresser(QComboBox* box, QAbstractButton* button) : QObject(box), Box(box), Button(button) {
    box->installEventFilter(this);
  }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // A key that reaches a closed window must not run its action again.
        if (Box->window()->isVisible()) Button->click();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

private:
  QComboBox* Box;
  QAbstractButton* Button;
};

} // namespace

void PressOnEnter(QComboBox* box, QAbstractButton* button) {
  new TEnterPresser(box, button); // owned by the box
}

void ReselectListItem(QListWidget* list) {
  const int row = list->currentRow();
  list->setCurrentRow(-1);
  list->setCurrentRow(row);
}

int SelectListItemAtPoint(QListWidget* list, int x, int y) {
  QListWidgetItem* item = list->itemAt(QPoint(x, y));
  if (!item) {
    ReselectListItem(list);
    return -1;
  }
  list->setCurrentItem(item);
  return list->row(item);
}

int GetFontHeight(const QFont& font, QWidget* control) {
  TGuard guard("GetFontHeight");
  return guard.Run(0, [&] {
    if (!control) guard.Raise("Failed to get device context.");
    return QFontMetrics(font, control).height();
  });
}

bool IsControlAtPoint(const QPoint& globalPoint, const QWidget* control) {
  return control && QApplication::widgetAt(globalPoint) == control;
}

bool IsControlUnderMouse(const QWidget* control) {
  return IsControlAtPoint(QCursor::pos(), control);
}

void ShowFormNormal(QWidget* window) {
  if (!window) return;
  window->setWindowState(window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized |
                                                   Qt::WindowFullScreen));
  window->show();
  window->raise();
  window->activateWindow();
  window->setFocus(Qt::OtherFocusReason);
}

void FocusControlWindow(QWidget* control) {
  if (control) control->setFocus(Qt::OtherFocusReason);
}

int ScrollThumbWidth() { return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarSliderMin); }

bool IsInputEvent(QEvent::Type type) {
  switch (type) {
  case QEvent::KeyPress:
  case QEvent::KeyRelease:
  case QEvent::ShortcutOverride:
  case QEvent::Shortcut:
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonRelease:
  case QEvent::MouseButtonDblClick:
  case QEvent::MouseMove:
  case QEvent::Wheel:
  case QEvent::ContextMenu:
  case QEvent::DragEnter:
  case QEvent::DragMove:
  case QEvent::Drop:
  case QEvent::TouchBegin:
  case QEvent::TouchUpdate:
  case QEvent::TouchEnd:
  case QEvent::TabletPress:
  case QEvent::TabletMove:
  case QEvent::TabletRelease:
  case QEvent::InputMethod:
    return true;
  default:
    return false;
  }
}

} // namespace cv
