#include "security/FileStreamsForm.h"

#include "fileops/NameCommands.h"
#include "fileops/NewFileForm.h"
#include "filesystem/File.h"
#include "foundation/Clipboard.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/QtText.h"
#include "foundation/StoredTextList.h"
#include "foundation/StoredTextListWidgets.h"
#include "foundation/UserInterface.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace cv {

namespace {

constexpr TFormBoundKeys CBoundKeys{"XPos", "YPos", "XSize", "YSize"};
constexpr const char* CNothingLoaded = "Before you can enter text, you must load a stream.";
constexpr const char* CToolbarHint = "Toolbar.";
constexpr const char* CNoStreamsHint =
    "Toolbar. Your operating system doesn't support file streams.";

bool OnlyModifier(Qt::KeyboardModifiers modifiers, Qt::KeyboardModifier one) {
  return (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == one;
}

} // namespace

void TStreamsTextEdit::keyPressEvent(QKeyEvent* event) {
  if (OnKey && OnKey(event)) return;
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  const int key = event->key();
  if (event == QKeySequence::Copy || event == QKeySequence::Cut || event == QKeySequence::Paste) {
    QPlainTextEdit::keyPressEvent(event);
    return;
  }
  // No formatting shortcuts: with Ctrl only the moving and undo keys pass,
  // with Alt only the accelerators of the boxes (handled by the form).
  if (modifiers & Qt::ControlModifier) {
    switch (key) {
    case Qt::Key_A:
    case Qt::Key_Z:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      QPlainTextEdit::keyPressEvent(event);
      return;
    default:
      event->ignore();
      return;
    }
  }
  if (modifiers & Qt::AltModifier) {
    event->ignore();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void TStreamsTextEdit::insertFromMimeData(const QMimeData* source) {
  if (source && source->hasText()) insertPlainText(source->text());
}

TFileStreamsForm::TFileStreamsForm(QWidget* parent) : QDialog(parent) {
  setObjectName("FileStreamsForm");
  setWindowTitle("File streams editor");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setMinimumSize(650, 400);
  resize(800, 560);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);

  ToolBar = new QToolBar(this);
  ToolBar->setObjectName("ToolBar");
  ToolBar->setStatusTip(CToolbarHint);
  auto* streamLabel = new QLabel("&Stream", ToolBar);
  StreamBox = new QComboBox(ToolBar);
  StreamBox->setObjectName("StreamBox");
  StreamBox->setMinimumContentsLength(14);
  StreamBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  StreamBox->setStatusTip("The streams of the file; choose one to load it.");
  streamLabel->setBuddy(StreamBox);
  ToolBar->addWidget(streamLabel);
  ToolBar->addWidget(StreamBox);
  const auto action = [&](const char* text, const char* name, const char* hint, auto slot) {
    QAction* a = ToolBar->addAction(text);
    a->setObjectName(name);
    a->setStatusTip(hint);
    a->setToolTip(hint);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  LoadAction = action("Load", "LoadAction", "Load the selected stream.", [this] { LoadStream(); });
  SaveAction =
      action("Save", "SaveAction", "Save the loaded stream [Ctrl+S].", [this] { SaveStream(); });
  ToolBar->addSeparator();
  AddAction = action("Add", "AddAction", "Add a new stream.", [this] { AddStreamMenuClick(); });
  AddDescriptionAction = action("Add description", "AddDescriptionAction",
                                "Add the description stream and load it.",
                                [this] { AddDescriptionStreamMenuClick(); });
  DeleteAction = action("Delete", "DeleteAction", "Delete the selected stream.",
                        [this] { DeleteStreamMenuClick(); });
  ClipAction = action("Clip", "ClipAction", "Copy the selected stream's name to the clipboard.",
                      [this] { ClipStreamName(); });
  ToolBar->addSeparator();
  auto* insertButton = new QToolButton(ToolBar);
  insertButton->setObjectName("InsertButton");
  insertButton->setText("Insert");
  insertButton->setPopupMode(QToolButton::InstantPopup);
  insertButton->setStatusTip("Insert separators, random text and login templates.");
  auto* insertMenu = new QMenu(insertButton);
  insertMenu->addAction("Insert separator =", this, [this] { InsertSeparator('='); });
  insertMenu->addAction("Insert separator -", this, [this] { InsertSeparator('-'); });
  insertMenu->addSeparator();
  for (const int length : {10, 20, 50})
    insertMenu->addAction(QStringLiteral("Insert random text (%1)").arg(length), this,
                          [this, length] { InsertRandomText(length); });
  insertMenu->addSeparator();
  for (const int length : {20, 50})
    insertMenu->addAction(QStringLiteral("Insert login template (password %1)").arg(length), this,
                          [this, length] { InsertLoginTemplate(length); });
  insertButton->setMenu(insertMenu);
  ToolBar->addWidget(insertButton);
  ToolBar->addSeparator();
  auto* findLabel = new QLabel("&Find", ToolBar);
  FindEdit = new QLineEdit(ToolBar);
  FindEdit->setObjectName("FindEdit");
  FindEdit->setMaximumWidth(140);
  FindEdit->setStatusTip(
      "[Enter] = find the next match from the caret ([Ctrl+Enter] = from the start); [F3] = "
      "find again.");
  findLabel->setBuddy(FindEdit);
  ToolBar->addWidget(findLabel);
  ToolBar->addWidget(FindEdit);
  auto* lineLabel = new QLabel("&Go to", ToolBar);
  LineEdit = new QLineEdit(ToolBar);
  LineEdit->setObjectName("LineEdit");
  LineEdit->setMinimumWidth(60);
  LineEdit->setMaximumWidth(70);
  LineEdit->setStatusTip("[Enter] = go to this line.");
  lineLabel->setBuddy(LineEdit);
  ToolBar->addWidget(lineLabel);
  ToolBar->addWidget(LineEdit);
  layout->addWidget(ToolBar);

  Editor = new TStreamsTextEdit(this);
  Editor->setObjectName("Editor");
  Editor->setLineWrapMode(QPlainTextEdit::NoWrap);
  Editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Editor->setTabChangesFocus(false);
  Editor->document()->setDocumentMargin(5);
  Editor->setPlaceholderText(CNothingLoaded);
  Editor->setReadOnly(true);
  Editor->OnKey = [this](QKeyEvent* event) { return EditorKey(event); };
  layout->addWidget(Editor, 1);
  StatusLabel = new QLabel(this);
  StatusLabel->setObjectName("StatusLabel");
  StatusLabel->setTextFormat(Qt::PlainText);
  layout->addWidget(StatusLabel);

  connect(StreamBox, &QComboBox::activated, this, &TFileStreamsForm::StreamBoxActivated);
  connect(FindEdit, &QLineEdit::returnPressed, this,
          [this] { FindNext(QApplication::keyboardModifiers() & Qt::ControlModifier); });
  connect(LineEdit, &QLineEdit::returnPressed, this, &TFileStreamsForm::GoToLine);
  connect(Editor, &QPlainTextEdit::textChanged, this, &TFileStreamsForm::UpdateStatus);
  connect(Editor, &QPlainTextEdit::cursorPositionChanged, this, &TFileStreamsForm::UpdateStatus);
  StatusTimer.setInterval(500);
  connect(&StatusTimer, &QTimer::timeout, this, &TFileStreamsForm::UpdateStatus);

  AskStreamName = [this](const std::string& directory) {
    TNewFileForm form(this);
    return form.Dialog(directory, nkStream) ? GetTitleName(form.Title()) : std::string();
  };
  // Automatic steganography plugs in through Model.AutoStegOut and
  // Model.AutoStegIn, which the main window sets; unset, "Main" is the content.
}

void TFileStreamsForm::Open(const std::string& title, int mode) {
  if (isVisible() && Model.IsOpen()) {
    raise();
    activateWindow();
    ShowInformation("The editor is already loaded with a file.");
    return;
  }
  TGuard guard("TFileStreamsForm::Open");
  guard.Run([&] {
    Model.Open(title);
    guard.TakeOver();
    Mode = mode;
    setWindowTitle(ToQString(StreamsEditorCaption(Model.Title())));
    SetNothingLoaded();
    const bool supported = Model.StreamsSupported;
    ToolBar->setStatusTip(supported ? CToolbarHint : CNoStreamsHint);
    AddAction->setEnabled(supported);
    AddDescriptionAction->setEnabled(supported);
    DeleteAction->setEnabled(supported);
    FillStreamBox();
    if (Model.MainShadowed) ShowWarning(MainShadowedText);
    FirstShowPending = true;
    StatusTimer.start();
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
  });
  guard.Show("Failed to open the file streams editor.");
}

void TFileStreamsForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!FirstShowPending) return;
  FirstShowPending = false;
  QTimer::singleShot(0, this, [this] { RunMode(); });
}

void TFileStreamsForm::RunMode() {
  if (!Model.IsOpen()) return;
  if (Mode == AutoLoad) {
    LoadStream();
  } else if (Mode == EditDescription) {
    if (!Model.StreamsSupported) {
      ShowWarning("Your operating system doesn't support file streams.");
    } else if (Model.Exists(std::string(DescriptionStreamName))) {
      SelectStream(std::string(DescriptionStreamName));
      LoadStream();
    } else if (AskYesNo("Do you want to create a description stream?")) {
      AddDescriptionStreamMenuClick();
    }
  }
  Editor->setFocus();
}

void TFileStreamsForm::FillStreamBox() {
  Filling = true;
  StreamBox->clear();
  for (const std::string& name : Model.Names) StreamBox->addItem(ToQString(name));
  const auto it = std::find(Model.Names.begin(), Model.Names.end(), Model.Selected);
  StreamBox->setCurrentIndex(it == Model.Names.end() ? 0 : int(it - Model.Names.begin()));
  Filling = false;
}

void TFileStreamsForm::SelectStream(const std::string& name) {
  // Streams come and go behind the editor's back: list them again.
  Model.Refresh(name);
  FillStreamBox();
}

void TFileStreamsForm::StreamBoxActivated(int index) {
  if (Filling || index < 0 || index >= int(Model.Names.size())) return;
  const std::string previous = Model.Selected;
  if (Model.Names[size_t(index)] == Model.LoadedName()) return;
  Model.Selected = Model.Names[size_t(index)];
  if (!CheckSave()) {
    SelectStream(previous);
    return;
  }
  LoadStream();
}

std::string TFileStreamsForm::EditorText() const {
  // The raw text keeps no-break spaces that toPlainText() would turn into spaces.
  QString text = Editor->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return FromQString(text);
}

void TFileStreamsForm::SetNothingLoaded() {
  Editor->clear();
  Editor->setReadOnly(true);
  Editor->document()->setModified(false);
  Editor->document()->clearUndoRedoStacks();
  UpdateStatus();
}

void TFileStreamsForm::SetLoaded(const std::string& text) {
  Editor->setPlainText(ToQString(text));
  Editor->setReadOnly(false);
  Editor->document()->setModified(false);
}

bool TFileStreamsForm::LoadStream() {
  if (!CheckSave()) return false;
  TGuard guard("TFileStreamsForm::LoadStream");
  const bool done = guard.Run(false, [&] {
    SetNothingLoaded();
    std::string text;
    Model.Load(Model.Selected, text);
    guard.TakeOver();
    SetLoaded(text);
    Model.AcceptShownText(EditorText());
    guard.TakeOver();
    return true;
  });
  if (!done) SetNothingLoaded();
  Editor->document()->setModified(false);
  UpdateStatus();
  guard.Show("Failed to load stream.");
  return done;
}

bool TFileStreamsForm::SaveStream() {
  TGuard guard("TFileStreamsForm::SaveStream");
  const bool done = guard.Run(false, [&] {
    Model.Save(EditorText());
    guard.TakeOver();
    Editor->document()->setModified(false);
    return true;
  });
  // A failed save keeps the text and its modified state for another try.
  UpdateStatus();
  guard.Show("Failed to save stream.");
  return done;
}

bool TFileStreamsForm::CheckSave() {
  if (Model.LoadedName().empty() || !Editor->document()->isModified()) return true;
  const int answer = AskYesNoCancel("The content of stream \"" + Model.LoadedName() +
                                    "\" has changed.\nDo you want to save the stream?");
  if (answer == mrBoxNo) return true;
  if (answer != mrBoxOk) return false;
  return SaveStream();
}

void TFileStreamsForm::AddStreamMenuClick() {
  TGuard guard("TFileStreamsForm::AddStreamMenuClick");
  guard.Run([&] {
    const std::string name = AskStreamName(GetTitlePath(Model.Title()));
    Model.Add(name);
    guard.TakeOver();
    // The list keeps showing the stream in the editor, so a save goes where it seems to.
    Model.Refresh(Model.LoadedName().empty() ? Model.Selected : Model.LoadedName());
    guard.TakeOver();
  });
  FillStreamBox();
  guard.Show("Failed to add stream.");
}

void TFileStreamsForm::AddDescriptionStreamMenuClick() {
  TGuard guard("TFileStreamsForm::AddDescriptionStreamMenuClick");
  guard.Run([&] {
    const std::string loaded = Model.LoadedName();
    Model.AddDescription();
    guard.TakeOver();
    FillStreamBox();
    if (!CheckSave()) {
      SelectStream(loaded);
      return;
    }
    SelectStream(std::string(DescriptionStreamName));
    if (!LoadStream()) guard.Raise("Failed to load stream.", Model.Title());
  });
  guard.Show("Failed to add description stream.");
}

void TFileStreamsForm::DeleteStreamMenuClick() {
  TGuard guard("TFileStreamsForm::DeleteStreamMenuClick");
  guard.Run([&] {
    const std::string name = Model.Selected;
    if (name == MainStreamName) {
      Model.Delete(name); // refused with its reason
      guard.TakeOver();
    }
    if (!AskYesNo("Delete stream \"" + name + "\"?")) return;
    const bool wasLoaded = name == Model.LoadedName();
    if (wasLoaded) Editor->document()->setModified(false); // nothing left to save it to
    Model.Delete(name);
    guard.TakeOver();
    FillStreamBox();
    if (wasLoaded) SetNothingLoaded();
    LoadStream();
  });
  FillStreamBox();
  guard.Show("Failed to delete stream.");
}

void TFileStreamsForm::ClipStreamName() {
  CopyTextToClipboard(Model.Selected, "Failed to copy stream name to clipboard.");
}

void TFileStreamsForm::InsertAboveCaretLine(const std::string& text) {
  QTextCursor cursor = Editor->textCursor();
  cursor.movePosition(QTextCursor::StartOfBlock);
  cursor.insertText(ToQString(text));
  Editor->setTextCursor(cursor);
}

void TFileStreamsForm::InsertSeparator(char c) {
  if (Editor->isReadOnly()) return;
  InsertAboveCaretLine(SeparatorLine(c) + "\n");
}

void TFileStreamsForm::InsertRandomText(int length) {
  if (Editor->isReadOnly()) return;
  TGuard guard("TFileStreamsForm::InsertRandomText");
  guard.Run([&] {
    const std::string text = RandomStreamText(length);
    guard.TakeOver();
    Editor->textCursor().insertText(ToQString(text));
  });
  guard.Show("Failed to insert random text.");
}

void TFileStreamsForm::InsertLoginTemplate(int passwordLength) {
  if (Editor->isReadOnly()) return;
  TGuard guard("TFileStreamsForm::InsertLoginTemplate");
  guard.Run([&] {
    const std::string text = LoginTemplateText(passwordLength);
    guard.TakeOver();
    // The editor works in LF; saving gives the stream its own line ends.
    InsertAboveCaretLine(ToEditorText(text, TLineEnd::CrLf));
  });
  guard.Show("Failed to insert login template.");
}

void TFileStreamsForm::FindNext(bool fromStart) {
  const QString text = FindEdit->text();
  if (text.isEmpty()) return;
  QTextCursor from = Editor->textCursor();
  if (fromStart) from.movePosition(QTextCursor::Start);
  const QTextCursor found = Editor->document()->find(text, from);
  if (found.isNull()) {
    ShowInformation("There are no more text matches.");
    return;
  }
  Editor->setTextCursor(found);
  Editor->setFocus();
}

void TFileStreamsForm::GoToLine() {
  const int lines = Editor->document()->blockCount();
  bool ok = false;
  const int wanted = LineEdit->text().trimmed().toInt(&ok);
  if (!ok) return;
  const int line = std::clamp(wanted, 1, std::max(lines, 1));
  QTextCursor cursor(Editor->document()->findBlockByNumber(line - 1));
  Editor->setTextCursor(cursor);
  Editor->centerCursor();
  Editor->setFocus();
}

QString TFileStreamsForm::StatusText() const {
  const QTextDocument* document = Editor->document();
  const int64_t chars = Model.LoadedName().empty() ? 0 : document->characterCount() - 1;
  return ToQString(StreamsEditorStatus(document->isModified(),
                                       Editor->textCursor().blockNumber() + 1,
                                       document->blockCount(), chars, Model.LoadedName()));
}

void TFileStreamsForm::UpdateStatus() {
  const QString status = StatusText();
  if (StatusLabel->text() != status) StatusLabel->setText(status);
}

bool TFileStreamsForm::EditorKey(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  if (event->key() == Qt::Key_S && OnlyModifier(modifiers, Qt::ControlModifier)) {
    if (Editor->document()->isModified()) SaveStream();
    return true;
  }
  if (event->key() == Qt::Key_F3) {
    FindNext(false);
    return true;
  }
  if (event->key() == Qt::Key_F1) {
    ShowHelp(HelpContext);
    return true;
  }
  return false;
}

void TFileStreamsForm::reject() {
  close();
}

void TFileStreamsForm::closeEvent(QCloseEvent* event) {
  if (!CheckSave()) {
    event->ignore();
    return;
  }
  StatusTimer.stop();
  Editor->document()->setModified(false);
  SetNothingLoaded();
  Model.Close();
  StreamBox->clear();
  // Not QDialog's own: it would reject(), which comes back here.
  event->accept();
}

void TFileStreamsForm::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::ActivationChange || isActiveWindow() || !isVisible()) return;
  // Another window of the program took the focus (not a question of ours).
  QTimer::singleShot(0, this, [this] {
    QWidget* active = QApplication::activeWindow();
    if (!QApplication::activeModalWidget() && active && active != this && !isAncestorOf(active) && active->parentWidget() != this &&
        isVisible() && !isMinimized())
      showMinimized();
  });
}

void TFileStreamsForm::ReadBounds(const TStoredTextList& ini) {
  ReadFormBounds(ini, "FileStreamsEditor", this, CBoundKeys);
}

void TFileStreamsForm::WriteBounds(TStoredTextList& ini) const {
  WriteFormBounds(ini, "FileStreamsEditor", this, CBoundKeys);
}

} // namespace cv
