#pragma once
// "File streams editor": a plain-text editor for the data streams of one
// file (its content as "Main" and its named streams). One file at a time;
// the window stays open beside the main window.

#include "security/FileStreamsEditor.h"

#include <QDialog>
#include <QPlainTextEdit>
#include <QTimer>

#include <functional>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolBar;

namespace cv {

class TStoredTextList;

// The editor box: plain text only, and only the editing shortcuts pass.
class TStreamsTextEdit : public QPlainTextEdit {
  Q_OBJECT
public:
  using QPlainTextEdit::QPlainTextEdit;
  // Keys the form handles itself (Ctrl+S, F3, Escape, Alt accelerators).
  std::function<bool(QKeyEvent*)> OnKey;

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
};

class TFileStreamsForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 702;
  enum TMode { OpenOnly = 0, AutoLoad = 1, EditDescription = 2 };

  explicit TFileStreamsForm(QWidget* parent = nullptr);

  // Opens the file's streams and shows the window; the mode runs when it
  // is first shown.
  void Open(const std::string& title, int mode);

  bool LoadStream();
  bool SaveStream();
  // True when the caller may go on (saved, discarded, or nothing to save).
  bool CheckSave();
  void AddStreamMenuClick();
  void AddDescriptionStreamMenuClick();
  void DeleteStreamMenuClick();
  void ClipStreamName();
  void InsertSeparator(char c);
  void InsertRandomText(int length);
  void InsertLoginTemplate(int passwordLength);
  // From the caret, or from the start.
  void FindNext(bool fromStart);
  void GoToLine();
  // Selects a stream of the list (no load).
  void SelectStream(const std::string& name);

  // Section "FileStreamsEditor": "XPos", "YPos", "XSize", "YSize".
  void ReadBounds(const TStoredTextList& ini);
  void WriteBounds(TStoredTextList& ini) const;

  // The editor's text as bytes, with LF line ends.
  std::string EditorText() const;
  QString StatusText() const;

  // The name of a new stream (the new-name dialog; tests replace it).
  std::function<std::string(const std::string& directory)> AskStreamName;

  TFileStreamsEditor Model;
  int Mode = OpenOnly;
  TStreamsTextEdit* Editor = nullptr;
  QToolBar* ToolBar = nullptr;
  QComboBox* StreamBox = nullptr;
  QLineEdit* FindEdit = nullptr;
  QLineEdit* LineEdit = nullptr;
  QLabel* StatusLabel = nullptr;
  QAction *LoadAction = nullptr, *SaveAction = nullptr, *AddAction = nullptr,
          *AddDescriptionAction = nullptr, *DeleteAction = nullptr, *ClipAction = nullptr;
  QTimer StatusTimer;

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void reject() override;

private:
  void FillStreamBox();
  void StreamBoxActivated(int index);
  void SetLoaded(const std::string& text);
  void SetNothingLoaded();
  void UpdateStatus();
  bool EditorKey(QKeyEvent* event);
  void RunMode();
  void InsertAboveCaretLine(const std::string& text);

  bool FirstShowPending = false;
  bool Filling = false;
};

} // namespace cv
