#include "columns/MyPanel.h"

#include "columns/ItemListState.h"
#include "foundation/Drawing.h"
#include "foundation/Guard.h"
#include "foundation/QtText.h"
#include "mainwindow/ButtonEffects.h"
#include "mainwindow/SkinOptions.h"
#include "options/ProgramOptions.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyle>
#include <QTextLayout>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <utility>
#include <vector>

namespace cv {

namespace {

// 10 x 10 corner ellipses.
constexpr qreal CCornerRadius = 5.0;
constexpr int CWheelStep = 120;

TMyPanelOptions MakeDefaultOptions() {
  TMyPanelOptions options;
  options.Bind(SkinOptions, ProgramOptions);
  return options;
}

TColor Value(const TColor* color) {
  return color ? *color : 0;
}

bool IsOval(int shape) {
  return shape == 2 || shape == 3;
}

} // namespace

TMyPanelOptions GMyPanelOptions = MakeDefaultOptions();
TMyPanelGlobal GMyPanelGlobal;

// ---- Shared options ----------------------------------------------------------

void TMyPanelOptions::Bind(const TSkinOptions& skin, const TProgramOptions& options) {
  FillingColor = &skin.FillingColor;
  ButtonMarginColor = &skin.ButtonMarginColor;
  ButtonBackColor = &skin.ButtonBackColor;
  ButtonTextColor = &skin.ButtonTextColor;
  ButtonTintColor = &skin.ButtonTintColor;
  ButtonHotTrackTintColor = &skin.ButtonHotTrackTintColor;
  PushedMarginColor = &skin.PushedMarginColor;
  PushedBackColor = &skin.PushedBackColor;
  PushedTextColor = &skin.PushedTextColor;
  PushedTintColor = &skin.PushedTintColor;
  PushedHotTrackTintColor = &skin.PushedHotTrackTintColor;
  WindowMarginColor = &skin.WindowMarginColor;
  WindowBackColor = &skin.WindowBackColor;
  WindowTextColor = &skin.WindowTextColor;
  WindowTintColor = &skin.WindowTintColor;
  CaptionFontName = &options.CaptionFontName;
  CaptionFontSize = &options.CaptionFontSize;
  ItemsFontName = &options.ItemsFontName;
  ItemsFontSize = &options.ItemsFontSize;
  TransparentColumns = &skin.TransparentColumns;
  ControlMarginTransp = &skin.ControlMarginTransp;
  ControlBackTransp = &skin.ControlBackTransp;
  NonOvalButtonsStyle = &skin.NonOvalButtonsStyle;
}

TBackPicture BackPictureOf(const QWidget& control, const QImage* picture, const QWidget* window) {
  if (!picture || picture->isNull() || !window) return {};
  if (window != &control && !window->isAncestorOf(&control)) return {};
  return {picture, control.mapTo(window, QPoint(0, 0))};
}

TPainterScope::TPainterScope(QPainter& canvas) : Canvas(canvas) {
  Canvas.save();
}
TPainterScope::~TPainterScope() {
  Canvas.restore();
}

// ---- Shared timer ------------------------------------------------------------

TMyPanelGlobal::TMyPanelGlobal() {
  AnyButtonHeld = [] { return QGuiApplication::mouseButtons() != Qt::NoButton; };
  MouseOver = [](const MyTPanel& panel) {
    return panel.isVisible() && panel.rect().contains(panel.mapFromGlobal(QCursor::pos()));
  };
}

void TMyPanelGlobal::StartTimer() {
  if (!Timer) {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) return;
    // Owned by the application, so it goes before the event loop does.
    Timer = new QTimer(application);
    Timer->setInterval(TimerInterval);
    QObject::connect(Timer, &QTimer::timeout, [this] { TimerTimer(); });
  }
  if (!Timer->isActive()) Timer->start();
}

bool TMyPanelGlobal::TimerActive() const {
  return Timer && Timer->isActive();
}

void TMyPanelGlobal::TimerTimer() {
  if (MyTPanel* panel = FlashingPanel) {
    const bool released = !AnyButtonHeld || !AnyButtonHeld();
    const bool away = !MouseOver || !MouseOver(*panel);
    if (Stopwatch.Elapsed() >= FlashSeconds && (released || away)) {
      FlashingPanel = nullptr;
      panel->SetFlash(false);
    }
  }
  if (MyTPanel* panel = HotPanel) {
    if (!MouseOver || !MouseOver(*panel)) {
      HotPanel = nullptr;
      panel->update();
    }
  }
  if (!FlashingPanel && !HotPanel && Timer) Timer->stop();
}

void TMyPanelGlobal::Forget(const MyTPanel* panel) {
  if (HotPanel == panel) HotPanel = nullptr;
  if (FlashingPanel == panel) FlashingPanel = nullptr;
}

// ---- Construction --------------------------------------------------------------

MyTPanel::MyTPanel(QWidget* parent, int mode)
    : QWidget(parent), FOwnedList(std::make_unique<TItemListState>()) {
  TGuard guard("MyTPanel::Construct");
  guard.Run([&] {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    AttachState(FOwnedList.get());
    SetMode(mode);
  });
}

MyTPanel::~MyTPanel() {
  GMyPanelGlobal.Forget(this);
  delete FScrollBar;
  FScrollBar = nullptr;
  DetachState();
}

template <typename T> void MyTPanel::Assign(T& field, const T& value) {
  if (field == value) return;
  field = value;
  update();
}

void MyTPanel::SetMode(int mode) {
  mode = std::clamp(mode, 0, 2);
  if (mode == FMode && (mode != pmList || FScrollBar)) return;
  if (FMode == pmList && mode != pmList) {
    delete FScrollBar;
    FScrollBar = nullptr;
    if (FList != FOwnedList.get()) {
      DetachState();
      AttachState(FOwnedList.get());
    }
    FOwnedList->Clear();
    FHotItem = -1;
  }
  FMode = mode;
  if (FMode == pmList) {
    setFocusPolicy(Qt::TabFocus);
    FScrollBar = new QScrollBar(Qt::Vertical, this);
    FScrollBar->setFocusPolicy(Qt::NoFocus);
    FScrollBar->hide();
    FScrollBar->installEventFilter(this);
    connect(FScrollBar, &QScrollBar::valueChanged, this, [this](int value) {
      if (FSyncingScrollBar) return;
      FList->ScrollBarMoved(value);
      // Arrow and page clicks end at once; a thumb drag ends at its release.
      if (FScrollBar && !FScrollBar->isSliderDown()) FList->ScrollBarReleased();
    });
    connect(FScrollBar, &QScrollBar::sliderReleased, this, [this] { FList->ScrollBarReleased(); });
    FList->SetScrollBarWidth(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FScrollBar));
    FList->SetBorderWidth(FBorderWidth);
    FList->SetSize(width(), height());
    SyncScrollBar(FList->ScrollBar());
  } else {
    setFocusPolicy(Qt::NoFocus);
  }
  UpdateCursor();
  update();
}

// ---- Look --------------------------------------------------------------------------

void MyTPanel::SetColorScheme(int scheme) {
  Assign(FColorScheme, std::clamp(scheme, 0, 2));
}
void MyTPanel::SetFrameScheme(int scheme) {
  Assign(FFrameScheme, std::clamp(scheme, 0, 2));
}
void MyTPanel::SetDrawFrame(bool value) {
  Assign(FDrawFrame, value);
}

void MyTPanel::SetBorderWidth(int width) {
  if (width < 0) width = TItemListState::DefaultBorderWidth;
  Assign(FBorderWidth, width);
  if (FMode == pmList) FList->SetBorderWidth(FBorderWidth);
  LayScrollBar();
}

void MyTPanel::SetShapeInset(int inset) {
  Assign(FShapeInset, std::max(0, inset));
}
void MyTPanel::SetShape(int shape) {
  Assign(FShape, std::clamp(shape, 0, 3));
}
void MyTPanel::SetButtonEffect(bool value) {
  Assign(FButtonEffect, value);
}
void MyTPanel::SetTransparent(bool value) {
  Assign(FTransparent, value);
}

void MyTPanel::SetFlash(bool value) {
  if (!value && GMyPanelGlobal.FlashingPanel == this) GMyPanelGlobal.FlashingPanel = nullptr;
  Assign(FFlash, value);
}

void MyTPanel::SetDown(bool value) {
  Assign(FDown, value);
}
void MyTPanel::SetStrike(bool value) {
  Assign(FStrike, value);
}

void MyTPanel::SetHorizontal(bool value) {
  Assign(FHorizontal, value);
  UpdateCursor();
}

void MyTPanel::SetHotTrack(bool value) {
  Assign(FHotTrack, value);
}
void MyTPanel::SetCenterHorizontally(bool value) {
  Assign(FCenterHorizontally, value);
}
void MyTPanel::SetCenterVertically(bool value) {
  Assign(FCenterVertically, value);
}
void MyTPanel::SetPathEllipsis(bool value) {
  Assign(FPathEllipsis, value);
}
void MyTPanel::SetWordWrap(bool value) {
  Assign(FWordWrap, value);
}
void MyTPanel::SetCaption(const std::string& caption) {
  Assign(FCaption, caption);
}
void MyTPanel::SetDownCaption(const std::string& caption) {
  Assign(FDownCaption, caption);
}

void MyTPanel::SetPaintEnabled(bool value) {
  if (value == FPaintEnabled) return;
  FPaintEnabled = value;
  if (!value) return;
  if (FMode == pmList) {
    FList->ResetScrollBar();
    SyncScrollBar(FList->ScrollBar());
  }
  update();
}

bool MyTPanel::IsHot() const {
  return FHotTrack && GMyPanelGlobal.HotPanel == this;
}

QFont MyTPanel::CaptionFont() const {
  QFont font(GMyPanelOptions.CaptionFontName ? ToQString(*GMyPanelOptions.CaptionFontName)
                                             : QString());
  if (GMyPanelOptions.CaptionFontSize && *GMyPanelOptions.CaptionFontSize > 0)
    font.setPointSize(*GMyPanelOptions.CaptionFontSize);
  font.setStrikeOut(FStrike);
  return font;
}

QString MyTPanel::ShownCaption() const {
  // A button without a pressed caption keeps its caption when pressed.
  const QString text = ToQString(FDown && !FDownCaption.empty() ? FDownCaption : FCaption);
  if (!FPathEllipsis) return text;
  const int inner = std::max(0, width() - 2 * FBorderWidth);
  return QFontMetrics(CaptionFont(), this).elidedText(text, Qt::ElideMiddle, inner);
}

void MyTPanel::UpdateCursor() {
  if (FMode == pmSplitter)
    setCursor(FHorizontal ? Qt::SplitVCursor : Qt::SplitHCursor);
  else
    unsetCursor();
}

// ---- Item list -------------------------------------------------------------------------

void MyTPanel::AttachState(TItemListState* state) {
  FList = state;
  FStateFocusChanged = std::move(state->OnFocusChanged);
  FStateTopChanged = std::move(state->OnTopChanged);
  FStateScrollNotification = std::move(state->OnScrollNotification);
  state->OnFocusChanged = [this](int old) {
    if (FStateFocusChanged) FStateFocusChanged(old);
    if (OnFocusChanged) OnFocusChanged(old);
  };
  state->OnTopChanged = [this](int top) {
    if (FStateTopChanged) FStateTopChanged(top);
    if (OnTopChanged) OnTopChanged(top);
  };
  state->OnScrollNotification = [this] {
    if (FStateScrollNotification) FStateScrollNotification();
    if (OnScrollNotification) OnScrollNotification();
  };
  state->OnRepaintItems = [this](int first, int last) { RepaintItems(first, last); };
  state->OnRepaintAll = [this] {
    LayScrollBar();
    update();
  };
  state->OnScrollBarChanged = [this](const TScrollBarState& bar) { SyncScrollBar(bar); };
}

void MyTPanel::DetachState() {
  if (!FList) return;
  FList->OnFocusChanged = std::move(FStateFocusChanged);
  FList->OnTopChanged = std::move(FStateTopChanged);
  FList->OnScrollNotification = std::move(FStateScrollNotification);
  FList->OnRepaintItems = nullptr;
  FList->OnRepaintAll = nullptr;
  FList->OnScrollBarChanged = nullptr;
  FStateFocusChanged = nullptr;
  FStateTopChanged = nullptr;
  FStateScrollNotification = nullptr;
  FList = nullptr;
}

void MyTPanel::SetListState(TItemListState* state) {
  if (!state) state = FOwnedList.get();
  if (state == FList) return;
  DetachState();
  AttachState(state);
  FHotItem = -1;
  if (FMode == pmList) {
    if (FScrollBar)
      FList->SetScrollBarWidth(
          style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FScrollBar));
    FList->SetBorderWidth(FBorderWidth);
    FList->SetSize(width(), height());
    SyncScrollBar(FList->ScrollBar());
  }
  update();
}

void MyTPanel::SyncScrollBar(const TScrollBarState& bar) {
  if (!FScrollBar) return;
  FSyncingScrollBar = true;
  FScrollBar->setRange(0, bar.Maximum);
  FScrollBar->setPageStep(bar.PageStep);
  FScrollBar->setSingleStep(bar.SingleStep);
  FScrollBar->setValue(bar.Position);
  FSyncingScrollBar = false;
  LayScrollBar();
  FScrollBar->setVisible(bar.Visible);
}

void MyTPanel::LayScrollBar() {
  if (!FScrollBar || FMode != pmList) return;
  const int barWidth = FList->ScrollBarWidth();
  const int barHeight = std::max(0, FList->VisibleRows() * FList->ItemHeight() - 2);
  FScrollBar->setGeometry(width() - FBorderWidth - barWidth, FBorderWidth + 1, barWidth, barHeight);
}

void MyTPanel::RepaintItems(int first, int last) {
  if (FMode != pmList) return;
  first = std::max(first, FList->TopIndex());
  last = std::min(last, FList->LastPaintIndex());
  QRect area;
  for (int index = first; index <= last; ++index)
    area |= FList->ItemRect(index);
  if (!area.isEmpty()) update(area);
}

void MyTPanel::RepaintFocusedItem() {
  const int focus = FList->FocusIndex();
  RepaintItems(focus, focus);
}

void MyTPanel::SetHotItem(int index) {
  if (index == FHotItem) return;
  const int old = FHotItem;
  FHotItem = index;
  RepaintItems(old, old);
  RepaintItems(index, index);
}

int MyTPanel::ItemUnderMouse() const {
  if (FMode != pmList) return -1;
  const QPoint point = mapFromGlobal(QCursor::pos());
  if (!rect().contains(point)) return -1;
  const QPoint inner = point - InnerOrigin();
  return FList->ItemAtPoint(inner.x(), inner.y());
}

// ---- Painting ----------------------------------------------------------------------------

bool MyTPanel::CanPaint() const {
  if (!FPaintEnabled || !isVisible()) return false;
  return FBorderWidth > 0 || FTransparent || FButtonEffect || OnDrawText || FMode == pmList;
}

void MyTPanel::paintEvent(QPaintEvent* event) {
  if (!CanPaint()) return;
  QPainter canvas(this);
  FPaint(canvas, event->rect());
}

void MyTPanel::FPaint(QPainter& canvas, const QRect& exposed) {
  TGuard guard("MyTPanel::FPaint");
  guard.Run([&] {
    const TMyPanelOptions& o = GMyPanelOptions;
    const TColor* frameSchemeColors[3] = {o.ButtonBackColor, o.WindowBackColor, o.FillingColor};
    const TColor background = Value(frameSchemeColors[FFrameScheme]);
    canvas.fillRect(rect(), ToQColor(background));

    TBackPicture back;
    if (FTransparent && o.BackPicture) back = o.BackPicture(*this);
    const bool pictureCopied = back.Picture && !back.Picture->isNull();
    if (pictureCopied) canvas.drawImage(QPoint(0, 0), *back.Picture, QRect(back.Offset, size()));

    PaintShape(canvas, background, pictureCopied);
    if (FMode == pmPanel) PaintCaption(canvas);
    if (FMode == pmList) PaintItems(canvas, exposed, pictureCopied ? back : TBackPicture{});
    if (FMode == pmList && FList->Loading()) PaintLoadingNotice(canvas);
    if (FMode == pmList) PaintSelectionBand(canvas);
  });
}

void MyTPanel::PaintSelectionBand(QPainter& canvas) {
  if (!SelectionBand) return;
  const QRect band = SelectionBand();
  if (band.isEmpty()) return;
  const QColor highlight = palette().color(QPalette::Highlight);
  QColor fill = highlight;
  fill.setAlpha(60);
  canvas.save();
  canvas.setClipRect(rect().adjusted(FBorderWidth, FBorderWidth, -FBorderWidth, -FBorderWidth));
  canvas.fillRect(band.translated(InnerOrigin()), fill);
  canvas.setPen(highlight);
  canvas.drawRect(band.translated(InnerOrigin()).adjusted(0, 0, -1, -1));
  canvas.restore();
}

void MyTPanel::PaintShape(QPainter& canvas, TColor background, bool pictureCopied) {
  const TMyPanelOptions& o = GMyPanelOptions;
  const TColor* backs[3] = {o.ButtonBackColor, o.WindowBackColor, o.FillingColor};
  const TColor* margins[3] = {o.ButtonMarginColor, o.WindowMarginColor, o.ButtonMarginColor};
  const TColor fill = Value(FDown ? o.PushedBackColor : backs[FColorScheme]);
  const TColor frame = Value(FDown ? o.PushedMarginColor : margins[FColorScheme]);
  const bool transparentColumns = o.TransparentColumns && *o.TransparentColumns;
  // Over the picture only the outline is drawn, unless the control must stay solid.
  const bool outlineOnly =
      pictureCopied && !FButtonEffect && !(FColorScheme == 1 && !transparentColumns);
  const bool effect = FButtonEffect && FDrawFrame && FColorScheme == 0;
  const QRect shape = rect().adjusted(FShapeInset, FShapeInset, -FShapeInset, -FShapeInset);
  if (shape.isEmpty()) return;

  if (FBorderWidth < 1) {
    if (!outlineOnly && fill != background) canvas.fillRect(shape, ToQColor(fill));
    return;
  }

  {
    TPainterScope scope(canvas);
    canvas.setRenderHint(QPainter::Antialiasing, true);
    // Strokes run through pixel centres, so a one-pixel frame covers the
    // shape's outermost pixels exactly.
    const QRectF stroke = QRectF(shape).adjusted(0.5, 0.5, -0.5, -0.5);
    if (IsOval(FShape)) {
      // With the button effect the effect is the oval: its body's own
      // transparency must show what lies behind, so nothing is filled here.
      if (!effect) {
        canvas.setPen(FDrawFrame ? QPen(ToQColor(frame), 1) : QPen(Qt::NoPen));
        canvas.setBrush(outlineOnly ? QBrush(Qt::NoBrush) : QBrush(ToQColor(fill)));
        if (FDrawFrame || !outlineOnly) canvas.drawEllipse(stroke);
      }
    } else if (outlineOnly) {
      if (FDrawFrame) {
        canvas.setPen(QPen(ToQColor(frame), 1));
        canvas.setBrush(Qt::NoBrush);
        if (FShape == 0)
          canvas.drawRoundedRect(stroke, CCornerRadius, CCornerRadius);
        else
          canvas.drawRect(stroke);
      }
    } else {
      canvas.setBrush(ToQColor(fill));
      if (FDrawFrame)
        canvas.setPen(QPen(ToQColor(frame), 1));
      else
        canvas.setPen(Qt::NoPen);
      if (FShape == 0) {
        if (FDrawFrame)
          canvas.drawRoundedRect(stroke, CCornerRadius, CCornerRadius);
        else
          canvas.drawRoundedRect(QRectF(shape), CCornerRadius, CCornerRadius);
      } else {
        canvas.setRenderHint(QPainter::Antialiasing, false);
        canvas.fillRect(shape, ToQColor(fill));
        if (FDrawFrame)
          DrawFrameRect(canvas, shape.left() + 1, shape.top() + 1, frame, shape.height() - 2,
                        shape.width() - 2);
      }
    }
  }

  if (FDrawFrame && !IsOval(FShape))
    PaintFrameBevel(canvas, width(), height(), FShapeInset, FShape, fill, frame);

  if (effect) {
    const int inset = IsOval(FShape) ? FShapeInset + 1 : FBorderWidth;
    const QRect area = rect().adjusted(inset, inset, -inset, -inset);
    if (!area.isEmpty()) {
      const bool hot = IsHot();
      const TColor tint = hot ? Value(FDown ? o.PushedHotTrackTintColor : o.ButtonHotTrackTintColor)
                              : Value(FDown ? o.PushedTintColor : o.ButtonTintColor);
      PaintButtonFX(canvas, area, hot, FFlash,
                    o.NonOvalButtonsStyle ? *o.NonOvalButtonsStyle : std::string(), FShape,
                    o.ControlBackTransp ? *o.ControlBackTransp : 0,
                    o.ControlMarginTransp ? *o.ControlMarginTransp : 0, tint, fill, frame);
    }
  }
}

void MyTPanel::PaintCaption(QPainter& canvas) {
  const QRect inner = rect().adjusted(FBorderWidth, FBorderWidth, -FBorderWidth, -FBorderWidth);
  const QString text = ShownCaption();
  if (text.isEmpty()) {
    if (OnDrawText) OnDrawText(canvas, inner);
    return;
  }
  if (inner.isEmpty()) return;
  const TMyPanelOptions& o = GMyPanelOptions;
  const TColor* texts[3] = {o.ButtonTextColor, o.WindowTextColor, o.ButtonTextColor};
  const QFont font = CaptionFont();
  const QFontMetrics metrics(font, this);
  int flags = Qt::TextExpandTabs;
  flags |= FWordWrap ? Qt::TextWordWrap : Qt::TextSingleLine;
  flags |= FCenterVertically ? Qt::AlignVCenter : Qt::AlignTop;
  const bool fits = metrics.horizontalAdvance(text) <= inner.width();
  flags |= FCenterHorizontally && fits ? Qt::AlignHCenter : Qt::AlignLeft;
  TPainterScope scope(canvas);
  canvas.setFont(font);
  canvas.setPen(ToQColor(Value(FDown ? o.PushedTextColor : texts[FColorScheme])));
  canvas.setClipRect(inner, Qt::IntersectClip);
  if (FWordWrap && PaintWrappedOverflow(canvas, inner, text, metrics)) return;
  canvas.drawText(inner, flags, text);
}

bool MyTPanel::PaintWrappedOverflow(QPainter& canvas, const QRect& inner, const QString& text,
                                    const QFontMetrics& metrics) const {
  // Wrapped text taller than the panel would be centred and cut at both
  // edges: show the whole lines that fit from the top, the last one ending
  // in an ellipsis.
  const int spacing = std::max(1, metrics.lineSpacing());
  const int fit = std::max(1, (inner.height() - metrics.height()) / spacing + 1);
  QTextLayout layout(text, canvas.font(), canvas.device());
  QTextOption option;
  option.setWrapMode(QTextOption::WordWrap);
  layout.setTextOption(option);
  std::vector<std::pair<int, int>> lines; // start, length
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(inner.width());
    lines.emplace_back(line.textStart(), line.textLength());
    if (static_cast<int>(lines.size()) > fit) break;
  }
  layout.endLayout();
  if (static_cast<int>(lines.size()) <= fit) return false;
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs;
  for (int i = 0; i < fit; ++i) {
    const auto [start, length] = lines[static_cast<size_t>(i)];
    const QRect row(inner.left(), inner.top() + i * spacing, inner.width(), metrics.height());
    const QString part = i + 1 < fit ? text.mid(start, length)
                                     : metrics.elidedText(text.mid(start).simplified(),
                                                          Qt::ElideRight, inner.width());
    canvas.drawText(row, flags, part);
  }
  return true;
}

void MyTPanel::PaintItems(QPainter& canvas, const QRect& exposed, const TBackPicture& back) {
  if (!OnDrawItem) return;
  const TItemListState& list = *FList;
  const int last = list.LastPaintIndex();
  const bool listFocused = hasFocus();
  for (int index = list.TopIndex(); index <= last; ++index) {
    const QRect item = list.ItemRect(index);
    if (item.isEmpty() || !item.intersects(exposed)) continue;
    TItemPaint paint;
    paint.Index = index;
    paint.Rect = item;
    paint.Exposed = item & exposed;
    paint.Focused = index == list.FocusIndex();
    paint.ListFocused = listFocused;
    paint.Hot = index == FHotItem;
    paint.Empty = list.Empty();
    paint.Back = back;
    TPainterScope scope(canvas);
    canvas.setClipRect(item, Qt::IntersectClip);
    OnDrawItem(canvas, paint);
  }
}

const char* const LoadingNoticeText = "Loading... (Esc cancels)";

QRect MyTPanel::LoadingNoticeRect() const {
  if (FMode != pmList || !FList->Loading()) return {};
  const int margin = std::max(FBorderWidth, 2) + 2;
  const int height = fontMetrics().height() * 2;
  return QRect(margin, margin, width() - 2 * margin, height) & rect();
}

void MyTPanel::PaintLoadingNotice(QPainter& canvas) {
  const QRect notice = LoadingNoticeRect();
  if (notice.isEmpty()) return;
  const TMyPanelOptions& o = GMyPanelOptions;
  TPainterScope scope(canvas);
  canvas.setPen(ToQColor(Value(o.ButtonMarginColor)));
  canvas.setBrush(ToQColor(Value(o.ButtonBackColor)));
  canvas.drawRect(notice.adjusted(0, 0, -1, -1));
  canvas.setPen(ToQColor(Value(o.ButtonTextColor)));
  canvas.drawText(notice, Qt::AlignCenter | Qt::TextSingleLine,
                  fontMetrics().elidedText(LoadingNoticeText, Qt::ElideRight, notice.width() - 8));
}

// ---- Input ---------------------------------------------------------------------------------

void MyTPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (FMode == pmList) FList->SetSize(width(), height());
  LayScrollBar();
}

void MyTPanel::mouseDoubleClickEvent(QMouseEvent* event) {
  // The press of the second click has run already (Qt sends it before this).
  mousePressEvent(event);
  if (OnDblClick) OnDblClick(*event, event->position().toPoint() - InnerOrigin());
}

void MyTPanel::mousePressEvent(QMouseEvent* event) {
  const QPointer<MyTPanel> alive(this);
  if (FFocusTarget) FFocusTarget->setFocus(Qt::MouseFocusReason);
  if (!alive) return;
  const QPoint point = event->position().toPoint();
  const QPoint inner = point - InnerOrigin();

  if (FMode == pmSplitter) {
    if (event->button() == Qt::LeftButton) {
      FDragging = true;
      FDragStart = point;
    }
  } else if (FColorScheme == 0) {
    if (GMyPanelGlobal.FlashingPanel && GMyPanelGlobal.FlashingPanel != this)
      GMyPanelGlobal.FlashingPanel->SetFlash(false);
    SetFlash(true);
    GMyPanelGlobal.FlashingPanel = this;
    GMyPanelGlobal.Stopwatch.Start();
    GMyPanelGlobal.StartTimer();
  }
  if (FMode != pmSplitter && event->button() == Qt::LeftButton) FPressed = true;

  FSelectionPress = false;
  if (FMode == pmList) {
    // A press below the last item leaves the focus where it is.
    const int index = FList->ItemAtPoint(inner.x(), inner.y());
    FSelectionPress = OnSelectionPress && OnSelectionPress(*event, inner, index);
    if (!alive) return;
    if (index >= 0) FList->SetFocusIndex(index);
    if (!alive) return;
    setFocus(Qt::MouseFocusReason);
  }
  if (!FSelectionPress && OnMouseDown) OnMouseDown(*event, inner);
}

void MyTPanel::mouseMoveEvent(QMouseEvent* event) {
  const QPointer<MyTPanel> alive(this);
  const QPoint point = event->position().toPoint();
  if (FMode == pmSplitter && FDragging && (event->buttons() & Qt::LeftButton)) {
    const int wanted = FHorizontal ? point.y() - FDragStart.y() : point.x() - FDragStart.x();
    int offset = wanted;
    if (offset != 0 && OnClickMove) OnClickMove(offset);
    if (!alive) return;
    const int refused = wanted - offset;
    if (refused != 0)
      QCursor::setPos(QCursor::pos() - (FHorizontal ? QPoint(0, refused) : QPoint(refused, 0)));
  }
  if (FHotTrack && FColorScheme == 0 && GMyPanelGlobal.HotPanel != this) {
    MyTPanel* old = GMyPanelGlobal.HotPanel;
    GMyPanelGlobal.HotPanel = this;
    if (old) old->update();
    update();
    GMyPanelGlobal.StartTimer();
  }
  if (FSelectionPress) {
    if (OnSelectionMove) OnSelectionMove(point - InnerOrigin());
    if (alive) update();
    return;
  }
  if (OnMouseMove) OnMouseMove(*event, point - InnerOrigin());
}

void MyTPanel::mouseReleaseEvent(QMouseEvent* event) {
  const QPointer<MyTPanel> alive(this);
  const QPoint point = event->position().toPoint();
  if (FMode == pmSplitter) {
    if (FDragging && event->button() == Qt::LeftButton) {
      FDragging = false;
      const int offset = FHorizontal ? point.y() - FDragStart.y() : point.x() - FDragStart.x();
      if (offset != 0 && OnSplitterClick) OnSplitterClick(offset);
    }
  } else if (FPressed && event->button() == Qt::LeftButton) {
    FPressed = false;
    if (rect().contains(point) && OnClick) OnClick();
  }
  if (!alive) return;
  if (FSelectionPress) {
    FSelectionPress = false;
    if (OnSelectionRelease) OnSelectionRelease(point - InnerOrigin());
    if (alive) update();
    return;
  }
  if (OnMouseUp) OnMouseUp(*event, point - InnerOrigin());
}

void MyTPanel::leaveEvent(QEvent* event) {
  if (GMyPanelGlobal.HotPanel == this) {
    GMyPanelGlobal.HotPanel = nullptr;
    update();
  }
  QWidget::leaveEvent(event);
}

void MyTPanel::wheelEvent(QWheelEvent* event) {
  if (FMode != pmList) {
    QWidget::wheelEvent(event);
    return;
  }
  event->accept();
  const int delta = event->angleDelta().y();
  if (delta == 0) return;
  // A notch (120) scrolls the desktop's lines; the finer steps of smooth
  // wheels and touchpads add up to rows in the same measure.
  FWheelRemainder += delta * std::max(0, QApplication::wheelScrollLines());
  const int rows = FWheelRemainder / CWheelStep;
  FWheelRemainder -= rows * CWheelStep;
  if (rows == 0) return;
  const QPointer<MyTPanel> alive(this);
  const QPoint inner = event->position().toPoint() - InnerOrigin();
  // The list under the wheel scrolls and takes the keyboard focus.
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  if (rows < 0 && OnWheelDown) OnWheelDown(inner);
  if (rows > 0 && OnWheelUp) OnWheelUp(inner);
  if (alive) FList->Wheel(-rows);
}

void MyTPanel::keyPressEvent(QKeyEvent* event) {
  const QPointer<MyTPanel> alive(this);
  if (FMode != pmList) {
    if (OnKeyDown) OnKeyDown(*event);
    if (alive) QWidget::keyPressEvent(event);
    return;
  }
  if (OnSelectionKey && OnSelectionKey(*event)) {
    event->accept();
    return;
  }
  if (!alive) return;
  FList->KeyDown(event->key(), event->modifiers());
  if (alive && OnKeyDown) OnKeyDown(*event);
  // Typed characters go nowhere else.
  event->accept();
}

void MyTPanel::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  if (FMode == pmList) RepaintFocusedItem();
  if (OnEnter) OnEnter();
}

void MyTPanel::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  if (FMode == pmList) RepaintFocusedItem();
  if (OnExit) OnExit();
}

bool MyTPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FScrollBar && event->type() == QEvent::MouseButtonPress)
    setFocus(Qt::MouseFocusReason);
  return QWidget::eventFilter(watched, event);
}

} // namespace cv
