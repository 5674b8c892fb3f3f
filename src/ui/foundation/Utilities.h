#pragma once
// Widget conveniences: menus filled from directories, combo box histories
// and limits, list boxes, fonts, the control under the mouse, showing and
// focusing windows.

#include <QEvent>
#include <QPoint>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

class QAbstractButton;
class QAction;
class QComboBox;
class QFont;
class QLineEdit;
class QListWidget;
class QMenu;
class QObject;
class QWidget;

namespace cv {

// Menu items built from files keep a tag (1 for a directory submenu, 0 for
// a file) and their full title; a title is never rebuilt from captions.
// Events that come from the user's keys, mouse, pen or touch: the ones a
// window refuses while it waits.
bool IsInputEvent(QEvent::Type type);

int MenuItemTag(const QAction* action);
void SetMenuItemTag(QAction* action, int tag);
std::string MenuItemTitle(const QAction* action);
void SetMenuItemTitle(QAction* action, const std::string& title);
// A file name as a caption: "&" is doubled so it shows as itself.
QString MenuCaption(std::string_view name);

// Integers and reals typed into a combo box. Empty gives the default
// silently; anything else that is not a number within the limits warns,
// puts the default into the box, focuses it and gives the default.
int GetIntFromComboBox(QComboBox* box, int low, int high, int defaultValue);
// The refusal of GetIntFromComboBox, for a value its caller rejects on
// other grounds (not in a list): warns with the limits, puts the default
// into the box, focuses it and gives the default.
int RefuseIntInComboBox(QComboBox* box, int low, int high, int defaultValue);
int GetIntFromComboBox(QComboBox* box);
double GetRealFromComboBox(QComboBox* box, double defaultValue, double high, double low);

// Selects the item equal to `text` (or to `defaultText` when the text is
// empty or absent), else item 0.
void SetComboIndexByText(QComboBox* box, std::string_view text, std::string_view defaultText);
// Puts a non-empty text first among the items (moving it when present);
// the box keeps its current text.
void AddToComboHistory(QComboBox* box, std::string_view text);
void RecordComboHistory(QComboBox* box);
// Enter in an editable box presses `button` once, while the box's window is
// open. The key is caught on the box: the box holds the keyboard focus, and
// a Return its line edit gets and ignores comes up to the box as well.
void PressOnEnter(QComboBox* box, QAbstractButton* button);

// ---- Edit boxes that keep a name's bytes ----------------------------------------
// Names need not be UTF-8. The box shows each byte that is not as U+FFFD and
// gives back the original bytes for every part of the name left unedited.

// The bytes as edit text: each byte that is not UTF-8 shows as one U+FFFD.
QString ToEditText(std::string_view bytes);
// The bytes of `edited`, the edit of ToEditText(original): the unchanged start
// and end keep the original bytes, what was typed between them is UTF-8.
// False when a U+FFFD of the edit cannot be traced to its original byte
// (one moved, typed or pasted, or an edit that could have kept either of
// two different bytes).
bool FromEditText(std::string_view original, const QString& edited, std::string& bytes);
inline constexpr const char* UntraceableNameWarning =
    "The name has bytes that are not UTF-8, shown as \"\uFFFD\". Keep them where they are or "
    "delete them; they cannot be moved or typed.\n\nChange the name !";
// Shows the bytes in the box and remembers them as its original text.
void SetEditBytes(QLineEdit* edit, std::string_view bytes);
// The bytes of the box's text against its original (FromEditText). False, with
// UntraceableNameWarning shown when `warn`, when they cannot be had.
bool GetEditBytes(const QLineEdit* edit, std::string& bytes, bool warn = true);

void ReselectListItem(QListWidget* list);
// Selects the item at the point (viewport coordinates); its row, or -1.
int SelectListItemAtPoint(QListWidget* list, int x, int y);

// The font's line height on the control; 0 and "Failed to get device
// context." without a control.
int GetFontHeight(const QFont& font, QWidget* control);
bool IsControlAtPoint(const QPoint& globalPoint, const QWidget* control);
bool IsControlUnderMouse(const QWidget* control);
void ShowFormNormal(QWidget* window);
void FocusControlWindow(QWidget* control);
// The smallest length of a scroll bar's thumb in the current style.
int ScrollThumbWidth();

} // namespace cv
