#pragma once
// The program's own owner-drawn control: a panel, label or button (mode 0),
// a splitter bar (mode 1) or the scrolling item list of a column (mode 2).
//
// In list mode the control holds no items: it paints a `TItemListState`
// (index-only) through its draw item event and forwards keys, wheel, mouse
// and the scroll bar to it. The state is either the owner's (a column keeps
// its own, `SetListState`) or one the control owns. Painting never changes
// the model: work that depends on the focused item runs from the state's
// focus event, not from the paint.
//
// Colours and fonts are read at every paint through `GMyPanelOptions`, so a
// skin or option change shows at the next paint. Flashing after a click and
// hot-tracking share the 200 ms timer of `GMyPanelGlobal`.

#include "foundation/MyTime.h"
#include "foundation/StockColors.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QFontMetrics;
class QImage;
class QPainter;
class QScrollBar;
class QTimer;

namespace cv {

class TItemListState;
struct TScrollBarState;
class TSkinOptions;
class TProgramOptions;
class MyTPanel;

// The part of the main window's background picture behind a control.
struct TBackPicture {
  const QImage* Picture = nullptr;
  // The control's top-left corner in the picture.
  QPoint Offset;
};

// The main window's picture as seen from `control`: the offset is the
// control's place in `window`; no picture when `window` does not hold it.
TBackPicture BackPictureOf(const QWidget& control, const QImage* picture, const QWidget* window);

// What the panels read while painting. Pointers into the skin and the
// program options, bound once; the values behind them may change freely.
struct TMyPanelOptions {
  const TColor* FillingColor = nullptr;
  const TColor* ButtonMarginColor = nullptr;
  const TColor* ButtonBackColor = nullptr;
  const TColor* ButtonTextColor = nullptr;
  const TColor* ButtonTintColor = nullptr;
  const TColor* ButtonHotTrackTintColor = nullptr;
  const TColor* PushedMarginColor = nullptr;
  const TColor* PushedBackColor = nullptr;
  const TColor* PushedTextColor = nullptr;
  const TColor* PushedTintColor = nullptr;
  const TColor* PushedHotTrackTintColor = nullptr;
  const TColor* WindowMarginColor = nullptr;
  const TColor* WindowBackColor = nullptr;
  const TColor* WindowTextColor = nullptr;
  const TColor* WindowTintColor = nullptr;
  const std::string* CaptionFontName = nullptr;
  const int* CaptionFontSize = nullptr;
  const std::string* ItemsFontName = nullptr;
  const int* ItemsFontSize = nullptr;
  const bool* TransparentColumns = nullptr;
  const int* ControlMarginTransp = nullptr;
  const int* ControlBackTransp = nullptr;
  const std::string* NonOvalButtonsStyle = nullptr;
  // The main window's background picture behind a control; none when unset.
  std::function<TBackPicture(const QWidget& control)> BackPicture;

  // Points every field at `skin` and `options`. The globals are bound to
  // `SkinOptions` and `ProgramOptions` from the start.
  void Bind(const TSkinOptions& skin, const TProgramOptions& options);
};

extern TMyPanelOptions GMyPanelOptions;

// The state shared by all panels: the hot-tracked panel, the flashing panel,
// the 200 ms timer that releases both and the stopwatch of the flash.
class TMyPanelGlobal {
public:
  static constexpr int TimerInterval = 200;
  static constexpr double FlashSeconds = 0.19;

  MyTPanel* HotPanel = nullptr;
  MyTPanel* FlashingPanel = nullptr;
  // Started by the press that starts a flash; tests give it their clock.
  TCrono Stopwatch;

  // Probes of the pointer; tests replace them to drive the timer by hand.
  std::function<bool()> AnyButtonHeld;
  std::function<bool(const MyTPanel&)> MouseOver;

  TMyPanelGlobal();
  // Starts the timer (created on first use, owned by the application).
  void StartTimer();
  bool TimerActive() const;
  // The timer's tick: ends a flash that has lasted its time once no button
  // is held or the mouse has left, and cools a hot panel the mouse left.
  void TimerTimer();
  // A panel going away is forgotten.
  void Forget(const MyTPanel* panel);

private:
  QPointer<QTimer> Timer;
};

extern TMyPanelGlobal GMyPanelGlobal;

// Saves the painter's state and gives it back on every path out of a scope.
class TPainterScope {
public:
  explicit TPainterScope(QPainter& canvas);
  ~TPainterScope();
  TPainterScope(const TPainterScope&) = delete;
  TPainterScope& operator=(const TPainterScope&) = delete;

private:
  QPainter& Canvas;
};

// One item to paint, as the draw item event gets it.
struct TItemPaint {
  int Index = 0;
  // The item's rectangle in control coordinates.
  QRect Rect;
  // The part of the item the paint has to cover.
  QRect Exposed;
  bool Focused = false;
  // The list has the keyboard focus.
  bool ListFocused = false;
  bool Hot = false;
  // The list shows only its placeholder.
  bool Empty = false;
  // The main window's picture behind the control, when the control is
  // transparent and one is shown.
  TBackPicture Back;
};

class MyTPanel : public QWidget {
  Q_OBJECT
public:
  enum TMode { pmPanel = 0, pmSplitter = 1, pmList = 2 };

  explicit MyTPanel(QWidget* parent = nullptr, int mode = pmPanel);
  ~MyTPanel() override;

  // ---- Mode ----------------------------------------------------------------
  int Mode() const { return FMode; }
  // 2 creates the scroll bar (and an owned state when none is attached);
  // leaving list mode drops the scroll bar and lets an attached state go.
  void SetMode(int mode);

  // ---- Look ------------------------------------------------------------------
  int ColorScheme() const { return FColorScheme; }
  void SetColorScheme(int scheme);
  int FrameScheme() const { return FFrameScheme; }
  void SetFrameScheme(int scheme);
  bool DrawFrame() const { return FDrawFrame; }
  void SetDrawFrame(bool value);
  int BorderWidth() const { return FBorderWidth; }
  // A negative width becomes 5.
  void SetBorderWidth(int width);
  int ShapeInset() const { return FShapeInset; }
  void SetShapeInset(int inset);
  int Shape() const { return FShape; }
  void SetShape(int shape);
  bool ButtonEffect() const { return FButtonEffect; }
  void SetButtonEffect(bool value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool value);
  bool Flash() const { return FFlash; }
  void SetFlash(bool value);
  bool Down() const { return FDown; }
  void SetDown(bool value);
  bool Strike() const { return FStrike; }
  void SetStrike(bool value);
  bool Horizontal() const { return FHorizontal; }
  void SetHorizontal(bool value);
  bool HotTrack() const { return FHotTrack; }
  void SetHotTrack(bool value);
  bool CenterHorizontally() const { return FCenterHorizontally; }
  void SetCenterHorizontally(bool value);
  bool CenterVertically() const { return FCenterVertically; }
  void SetCenterVertically(bool value);
  bool PathEllipsis() const { return FPathEllipsis; }
  void SetPathEllipsis(bool value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool value);
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& caption);
  const std::string& DownCaption() const { return FDownCaption; }
  void SetDownCaption(const std::string& caption);
  bool PaintEnabled() const { return FPaintEnabled; }
  // Re-enabling repaints and re-lays the scroll bar.
  void SetPaintEnabled(bool value);
  QWidget* FocusTarget() const { return FFocusTarget; }
  void SetFocusTarget(QWidget* target) { FFocusTarget = target; }

  // The caption as it is drawn now (`DownCaption` when down and not empty,
  // shortened like a path with `PathEllipsis`).
  QString ShownCaption() const;
  // The hot panel of `GMyPanelGlobal`, with hot-tracking on.
  bool IsHot() const;

  // ---- Item list ---------------------------------------------------------------
  // The state painted in list mode (owned or attached; never null).
  // Where the list shows that it is loading (empty when it is not): a click
  // there cancels the reading.
  QRect LoadingNoticeRect() const;
  TItemListState& List() { return *FList; }
  const TItemListState& List() const { return *FList; }
  // Attaches the owner's state (null returns to the owned one). The state's
  // own focus, top and scroll notification callbacks stay the owner's and
  // run before the control's events; set them before attaching. The state
  // must outlive the control or be detached first.
  void SetListState(TItemListState* state);
  QScrollBar* ScrollBar() const { return FScrollBar; }
  // The item the owner marked hot (-1 for none); repaints both items.
  int HotItem() const { return FHotItem; }
  void SetHotItem(int index);
  // Index under the mouse cursor, or -1 when the cursor is outside.
  int ItemUnderMouse() const;
  // The inner area's origin (the border) in control coordinates.
  QPoint InnerOrigin() const { return QPoint(FBorderWidth, FBorderWidth); }
  // Repaints items first..last (control coordinates of the state).
  void RepaintItems(int first, int last);

  // ---- Events --------------------------------------------------------------------
  // Positions are relative to the inner area (inside the border).
  std::function<void(QPainter&, const TItemPaint&)> OnDrawItem;
  std::function<void(QPainter&, const QRect& inner)> OnDrawText;
  std::function<void()> OnClick;
  // Splitter drag: the offset along the bar's axis since the press; the
  // owner may reduce it; the cursor goes back by the part it refused.
  std::function<void(int& offset)> OnClickMove;
  // Splitter released away from its press point.
  std::function<void(int offset)> OnSplitterClick;
  std::function<void(const QMouseEvent&, const QPoint& inner)> OnMouseDown;
  std::function<void(const QMouseEvent&, const QPoint& inner)> OnMouseUp;
  std::function<void(const QMouseEvent&, const QPoint& inner)> OnMouseMove;
  std::function<void(const QMouseEvent&, const QPoint& inner)> OnDblClick;
  // Once per wheel event that scrolls, before the list scrolls.
  std::function<void(const QPoint& inner)> OnWheelDown;
  std::function<void(const QPoint& inner)> OnWheelUp;
  // A list's selection sees a press first, before the focus moves to the
  // pressed item (-1 on empty space); true keeps the press, its moves and
  // its release from OnMouseDown, OnMouseMove and OnMouseUp.
  std::function<bool(const QMouseEvent&, const QPoint& inner, int index)> OnSelectionPress;
  std::function<void(const QPoint& inner)> OnSelectionMove;
  std::function<void(const QPoint& inner)> OnSelectionRelease;
  // A key before the list's own keys; true when the selection used it.
  std::function<bool(const QKeyEvent&)> OnSelectionKey;
  // The rubber band to draw over the items (inner coordinates), or empty.
  std::function<QRect()> SelectionBand;
  // Runs for every key, after the list's own keys.
  std::function<void(QKeyEvent&)> OnKeyDown;
  // The control gained / lost the keyboard focus.
  std::function<void()> OnEnter;
  std::function<void()> OnExit;
  std::function<void(int oldIndex)> OnFocusChanged;
  std::function<void(int topIndex)> OnTopChanged;
  std::function<void()> OnScrollNotification;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  template <typename T> void Assign(T& field, const T& value);
  bool CanPaint() const;
  void FPaint(QPainter& canvas, const QRect& exposed);
  void PaintShape(QPainter& canvas, TColor background, bool pictureCopied);
  void PaintCaption(QPainter& canvas);
  bool PaintWrappedOverflow(QPainter& canvas, const QRect& inner, const QString& text,
                            const QFontMetrics& metrics) const;
  void PaintItems(QPainter& canvas, const QRect& exposed, const TBackPicture& back);
  void PaintLoadingNotice(QPainter& canvas);
  void PaintSelectionBand(QPainter& canvas);
  QFont CaptionFont() const;
  void AttachState(TItemListState* state);
  void DetachState();
  void SyncScrollBar(const TScrollBarState& state);
  void LayScrollBar();
  void UpdateCursor();
  void RepaintFocusedItem();

  int FMode = pmPanel;
  int FColorScheme = 0;
  int FFrameScheme = 0;
  bool FDrawFrame = true;
  int FBorderWidth = 5;
  int FShapeInset = 1;
  int FShape = 0;
  bool FButtonEffect = false;
  bool FTransparent = false;
  bool FFlash = false;
  bool FDown = false;
  bool FStrike = false;
  bool FHorizontal = false;
  bool FHotTrack = false;
  bool FCenterHorizontally = false;
  bool FCenterVertically = true;
  bool FPathEllipsis = false;
  bool FWordWrap = false;
  std::string FCaption;
  std::string FDownCaption;
  bool FPaintEnabled = true;
  QPointer<QWidget> FFocusTarget;

  // Splitter drag.
  bool FDragging = false;
  QPoint FDragStart;
  // Panel click: the left button went down here.
  bool FPressed = false;
  // The press in progress belongs to the selection.
  bool FSelectionPress = false;

  std::unique_ptr<TItemListState> FOwnedList;
  TItemListState* FList = nullptr;
  // The attached state's own callbacks, run before ours and given back.
  std::function<void(int)> FStateFocusChanged;
  std::function<void(int)> FStateTopChanged;
  std::function<void()> FStateScrollNotification;
  QScrollBar* FScrollBar = nullptr;
  bool FSyncingScrollBar = false;
  int FHotItem = -1;
  // Wheel angle times scroll lines not yet turned into a row.
  int FWheelRemainder = 0;
};

} // namespace cv
