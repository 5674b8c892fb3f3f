#include "columns/MyPanel.h"

#include "columns/ItemListState.h"
#include "foundation/MyTime.h"
#include "mainwindow/SkinOptions.h"
#include "options/ProgramOptions.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace cv {
namespace {

constexpr int Border = 5;
constexpr int RowHeight = 15;
constexpr int VisibleRows = 10;
constexpr int ListWidth = 200;
constexpr int ListHeight = 2 * Border + VisibleRows * RowHeight;

TColor ColorAt(const QImage& image, int x, int y) {
  const QRgb pixel = image.pixel(x, y);
  return static_cast<TColor>(qRed(pixel) | qGreen(pixel) << 8 | qBlue(pixel) << 16);
}

int Distance(TColor a, TColor b) {
  int sum = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  return sum;
}

void SendWheel(QWidget* widget, const QPoint& at, int delta) {
  QWheelEvent event(QPointF(at), QPointF(widget->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &event);
}

void SendMouse(QWidget* widget, QEvent::Type type, const QPoint& at, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

// Skin and options are globals the panels read at every paint; each test
// gets them back as they were.
class MyPanelTestBase : public ::testing::Test {
protected:
  void SetUp() override {
    SavedSkin = SkinOptions;
    SavedOptions = ProgramOptions;
    SavedBackPicture = GMyPanelOptions.BackPicture;
    // The skin's margins share one default: apart, a wrong one shows.
    SkinOptions.ButtonMarginColor = 0x102030;
    SkinOptions.PushedMarginColor = 0x405060;
    SkinOptions.WindowMarginColor = 0x708090;
  }
  void TearDown() override {
    Window.reset();
    SkinOptions = SavedSkin;
    ProgramOptions = SavedOptions;
    GMyPanelOptions.BackPicture = SavedBackPicture;
  }

  MyTPanel* MakePanel(int mode, const QRect& geometry) {
    if (!Window) {
      Window = std::make_unique<QWidget>();
      Window->resize(400, 400);
    }
    auto* panel = new MyTPanel(Window.get(), mode);
    panel->setGeometry(geometry);
    return panel;
  }

  void ShowWindow() {
    Window->show();
    QApplication::setActiveWindow(Window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
  }

  std::unique_ptr<QWidget> Window;
  TSkinOptions SavedSkin;
  TProgramOptions SavedOptions;
  std::function<TBackPicture(const QWidget&)> SavedBackPicture;
};

// ---- Item list ---------------------------------------------------------------

class MyPanelListTest : public MyPanelTestBase {
protected:
  void SetUp() override {
    MyPanelTestBase::SetUp();
    List = MakePanel(MyTPanel::pmList, QRect(0, 0, ListWidth, ListHeight));
    List->List().EndUpdate(50);
    ShowWindow();
  }

  // The model as it would be without the widget, given the same geometry.
  TItemListState Twin() const {
    TItemListState twin;
    twin.SetScrollBarWidth(List->List().ScrollBarWidth());
    twin.SetSize(ListWidth, ListHeight);
    twin.EndUpdate(List->List().Count());
    return twin;
  }

  MyTPanel* List = nullptr;
};

TEST_F(MyPanelListTest, KeysMoveFocusAndTopAsTheModelSaysThenReachTheOwner) {
  struct TKey {
    int Key;
    Qt::KeyboardModifiers Modifiers;
  };
  const std::vector<TKey> keys{
      {Qt::Key_Down, Qt::NoModifier},     {Qt::Key_Down, Qt::NoModifier},
      {Qt::Key_End, Qt::NoModifier},      {Qt::Key_PageUp, Qt::NoModifier},
      {Qt::Key_Up, Qt::ControlModifier},  {Qt::Key_Home, Qt::ControlModifier},
      {Qt::Key_PageDown, Qt::NoModifier}, {Qt::Key_End, Qt::ControlModifier},
      {Qt::Key_8, Qt::KeypadModifier},    {Qt::Key_Down, Qt::ControlModifier},
      {Qt::Key_A, Qt::NoModifier},        {Qt::Key_Home, Qt::NoModifier},
      {Qt::Key_PageDown, Qt::NoModifier}, {Qt::Key_Down, Qt::ShiftModifier},
      {Qt::Key_2, Qt::KeypadModifier},    {Qt::Key_PageUp, Qt::ControlModifier},
  };
  std::vector<int> seenByOwner;
  int modifierKeys = 0;
  List->OnKeyDown = [&](QKeyEvent& event) {
    // The list has moved before the owner sees the key; lone modifiers
    // reach the owner too.
    if (event.key() == Qt::Key_Control || event.key() == Qt::Key_Shift)
      ++modifierKeys;
    else
      seenByOwner.push_back(event.key());
    EXPECT_TRUE(List->List().CheckInvariant().empty()) << List->List().CheckInvariant();
  };
  TItemListState twin = Twin();
  int step = 0;
  for (const TKey& key : keys) {
    QTest::keyClick(List, static_cast<Qt::Key>(key.Key), key.Modifiers);
    twin.KeyDown(key.Key, key.Modifiers);
    SCOPED_TRACE("key #" + std::to_string(step++));
    EXPECT_EQ(List->List().FocusIndex(), twin.FocusIndex());
    EXPECT_EQ(List->List().TopIndex(), twin.TopIndex());
    EXPECT_EQ(List->ScrollBar()->value(), twin.TopIndex());
  }
  ASSERT_EQ(seenByOwner.size(), keys.size());
  EXPECT_EQ(modifierKeys, 6);
  EXPECT_EQ(seenByOwner[10], Qt::Key_A);
  // The sequence really went somewhere.
  EXPECT_GT(twin.TopIndex(), 0);
}

// The desktop's wheel setting, given back after the test.
class TWheelLines {
public:
  explicit TWheelLines(int lines) : Saved(QApplication::wheelScrollLines()) {
    QApplication::setWheelScrollLines(lines);
  }
  ~TWheelLines() { QApplication::setWheelScrollLines(Saved); }

private:
  int Saved;
};

TEST_F(MyPanelListTest, WheelScrollsByRowsAndTakesTheKeyboardFocus) {
  const TWheelLines lines(1);
  auto* other = new QLineEdit(Window.get());
  other->setGeometry(250, 0, 100, 20);
  other->show();
  other->setFocus();
  ASSERT_FALSE(List->hasFocus());
  std::vector<QPoint> downs;
  int ups = 0;
  List->OnWheelDown = [&](const QPoint& inner) { downs.push_back(inner); };
  List->OnWheelUp = [&](const QPoint&) { ++ups; };

  SendWheel(List, QPoint(20, 30), -120);
  EXPECT_TRUE(List->hasFocus());
  EXPECT_EQ(List->List().TopIndex(), 1);
  EXPECT_EQ(List->List().FocusIndex(), 1); // kept in view
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0], QPoint(20 - Border, 30 - Border));

  // Two notches at once, then half notches that only count together.
  SendWheel(List, QPoint(20, 30), -240);
  EXPECT_EQ(List->List().TopIndex(), 3);
  SendWheel(List, QPoint(20, 30), -60);
  EXPECT_EQ(List->List().TopIndex(), 3);
  SendWheel(List, QPoint(20, 30), -60);
  EXPECT_EQ(List->List().TopIndex(), 4);
  SendWheel(List, QPoint(20, 30), 600);
  EXPECT_EQ(List->List().TopIndex(), 0);
  EXPECT_EQ(downs.size(), 3u) << "once per event that scrolls";
  EXPECT_EQ(ups, 1);
  EXPECT_EQ(List->ScrollBar()->value(), 0);
}

TEST_F(MyPanelListTest, WheelScrollsTheDesktopsLinesTimesTheSubcolumns) {
  struct TCase {
    const char* Name;
    int Lines;
    int Subcolumns;
    std::vector<int> Deltas;
    int Top;
  };
  const TCase cases[] = {
      {"a notch scrolls three rows", 3, 1, {-120}, 3},
      {"rows of two subcolumns", 3, 2, {-120}, 6},
      {"two notches at once", 3, 1, {-240}, 6},
      {"a third of a notch is a row", 3, 1, {-40}, 1},
      {"eighths of a notch add up", 3, 1, {-15, -15, -15, -15, -15, -15, -15, -15}, 3},
      {"single units add up, none lost", 1, 1, std::vector<int>(120, -1), 1},
      {"fine steps are not multiplied", 5, 1, {-24, -24, -24, -24, -24}, 5},
      {"back up again", 3, 1, {-240, 40, 40, 40}, 3},
      {"horizontal only", 3, 1, {0}, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TWheelLines lines(c.Lines);
    MyTPanel* list = MakePanel(MyTPanel::pmList, QRect(0, 0, ListWidth, ListHeight));
    list->List().SetSubcolumns(c.Subcolumns);
    list->List().EndUpdate(100);
    list->show();
    for (int delta : c.Deltas)
      SendWheel(list, QPoint(20, 30), delta);
    EXPECT_EQ(list->List().TopIndex(), c.Top);
    EXPECT_EQ(list->List().CheckInvariant(), "");
    delete list;
  }
}

TEST_F(MyPanelListTest, ScrollBarHidesWhenEverythingFitsAndTracksTheTop) {
  QScrollBar* bar = List->ScrollBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->focusPolicy(), Qt::NoFocus);
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 50 - VisibleRows);
  EXPECT_EQ(bar->pageStep(), VisibleRows);
  // At the right inside the border, as tall as the rows less two pixels.
  EXPECT_EQ(bar->geometry(), QRect(ListWidth - Border - bar->width(), Border + 1, bar->width(),
                                   VisibleRows * RowHeight - 2));

  QTest::keyClick(List, Qt::Key_End);
  EXPECT_EQ(bar->value(), 40);

  // Moving the bar moves the top; the focus follows into the view.
  std::vector<int> tops;
  int notifications = 0;
  List->OnTopChanged = [&](int top) { tops.push_back(top); };
  List->OnScrollNotification = [&] { ++notifications; };
  bar->setValue(20);
  EXPECT_EQ(List->List().TopIndex(), 20);
  EXPECT_EQ(List->List().FocusIndex(), 29);
  ASSERT_FALSE(tops.empty());
  EXPECT_EQ(tops.back(), 20);
  EXPECT_EQ(notifications, 1);

  // A press on the bar hands the keyboard focus to the list.
  auto* other = new QLineEdit(Window.get());
  other->show();
  other->setFocus();
  QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->width() / 2, 2));
  QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->width() / 2, 2));
  EXPECT_TRUE(List->hasFocus());

  // Everything fits: hidden, back at the top.
  List->resize(ListWidth, 2 * Border + 50 * RowHeight);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(List->List().TopIndex(), 0);
  List->resize(ListWidth, ListHeight);
  EXPECT_TRUE(bar->isVisible());
  List->List().EndUpdate(VisibleRows);
  EXPECT_FALSE(bar->isVisible());
}

TEST_F(MyPanelListTest, PressFocusesTheItemUnderTheMouseAndTakesTheKeyboardFocus) {
  auto* other = new QLineEdit(Window.get());
  other->setGeometry(250, 0, 100, 20);
  other->show();
  other->setFocus();
  std::vector<int> order;
  std::vector<QPoint> inner;
  List->OnFocusChanged = [&](int) { order.push_back(List->hasFocus() ? 2 : 1); };
  List->OnMouseDown = [&](const QMouseEvent&, const QPoint& at) { inner.push_back(at); };

  QTest::mouseClick(List, Qt::LeftButton, Qt::NoModifier, QPoint(50, Border + 3 * RowHeight + 7));
  EXPECT_EQ(List->List().FocusIndex(), 3);
  EXPECT_TRUE(List->hasFocus());
  ASSERT_EQ(inner.size(), 1u);
  EXPECT_EQ(inner[0], QPoint(50 - Border, 3 * RowHeight + 7));
  // The item is focused first, then the list takes the keyboard focus.
  EXPECT_EQ(order, std::vector<int>{1});

  List->List().SetTopIndex(10);
  QTest::mouseClick(List, Qt::RightButton, Qt::NoModifier, QPoint(50, Border + 2));
  EXPECT_EQ(List->List().FocusIndex(), 10);

  // Below the last item of a short list nothing moves.
  List->List().EndUpdate(3);
  List->List().SetFocusIndex(1);
  QTest::mouseClick(List, Qt::LeftButton, Qt::NoModifier, QPoint(50, Border + 6 * RowHeight));
  EXPECT_EQ(List->List().FocusIndex(), 1);
  EXPECT_EQ(inner.size(), 3u);
}

TEST_F(MyPanelListTest, AnAttachedStateKeepsItsOwnersEventsAndIsLetGo) {
  auto state = std::make_unique<TItemListState>();
  std::vector<std::string> calls;
  state->OnFocusChanged = [&](int) { calls.push_back("owner focus"); };
  state->OnTopChanged = [&](int) { calls.push_back("owner top"); };
  List->OnFocusChanged = [&](int) { calls.push_back("panel focus"); };
  List->OnTopChanged = [&](int) { calls.push_back("panel top"); };
  List->SetListState(state.get());
  EXPECT_EQ(&List->List(), state.get());
  // The control's geometry reached the state.
  EXPECT_EQ(state->Height(), ListHeight);
  state->EndUpdate(100);
  EXPECT_TRUE(List->ScrollBar()->isVisible());
  EXPECT_EQ(List->ScrollBar()->maximum(), 100 - VisibleRows);

  state->SetFocusIndex(30);
  EXPECT_EQ(calls,
            (std::vector<std::string>{"owner top", "panel top", "owner focus", "panel focus"}));

  delete List;
  List = nullptr;
  calls.clear();
  state->SetFocusIndex(2); // no view left to repaint
  EXPECT_EQ(calls, (std::vector<std::string>{"owner top", "owner focus"}));
}

TEST_F(MyPanelListTest, PaintsEveryVisibleItemInOrderWithItsState) {
  List->List().SetFocusIndex(12);
  List->SetHotItem(14);
  List->setFocus();
  std::vector<TItemPaint> painted;
  List->OnDrawItem = [&](QPainter&, const TItemPaint& item) { painted.push_back(item); };
  List->grab();
  ASSERT_EQ(painted.size(), static_cast<size_t>(VisibleRows));
  for (size_t i = 0; i < painted.size(); ++i) {
    const TItemPaint& item = painted[i];
    EXPECT_EQ(item.Index, 3 + static_cast<int>(i));
    EXPECT_EQ(item.Rect, List->List().ItemRect(item.Index));
    EXPECT_EQ(item.Focused, item.Index == 12);
    EXPECT_EQ(item.Hot, item.Index == 14);
    EXPECT_TRUE(item.ListFocused);
    EXPECT_FALSE(item.Empty);
  }

  // An empty list still paints its placeholder row.
  painted.clear();
  List->List().Clear();
  List->grab();
  ASSERT_EQ(painted.size(), 1u);
  EXPECT_EQ(painted[0].Index, 0);
  EXPECT_TRUE(painted[0].Empty);

  // Suspended painting paints nothing.
  painted.clear();
  List->SetPaintEnabled(false);
  List->grab();
  EXPECT_TRUE(painted.empty());
  List->SetPaintEnabled(true);
  List->grab();
  EXPECT_EQ(painted.size(), 1u);
}

// ---- Panels and buttons ------------------------------------------------------

class MyPanelButtonTest : public MyPanelTestBase {};

TEST_F(MyPanelButtonTest, ShapeUsesTheSchemeColoursAndFollowsSkinChanges) {
  MyTPanel* panel = MakePanel(MyTPanel::pmPanel, QRect(10, 10, 120, 40));
  panel->SetFrameScheme(2);
  ShowWindow();
  QImage image = panel->grab().toImage();
  EXPECT_EQ(ColorAt(image, 0, 0), SkinOptions.FillingColor);       // behind the shape
  EXPECT_EQ(ColorAt(image, 60, 20), SkinOptions.ButtonBackColor);  // the shape
  EXPECT_EQ(ColorAt(image, 1, 20), SkinOptions.ButtonMarginColor); // its frame

  panel->SetDown(true);
  image = panel->grab().toImage();
  EXPECT_EQ(ColorAt(image, 60, 20), SkinOptions.PushedBackColor);
  EXPECT_EQ(ColorAt(image, 1, 20), SkinOptions.PushedMarginColor);

  panel->SetDown(false);
  panel->SetColorScheme(1);
  image = panel->grab().toImage();
  EXPECT_EQ(ColorAt(image, 60, 20), SkinOptions.WindowBackColor);
  EXPECT_EQ(ColorAt(image, 1, 20), SkinOptions.WindowMarginColor);

  // Bound once: a changed skin shows at the next paint.
  SkinOptions.WindowBackColor = 0x123456;
  SkinOptions.FillingColor = 0x00FF00;
  image = panel->grab().toImage();
  EXPECT_EQ(ColorAt(image, 60, 20), 0x123456u);
  EXPECT_EQ(ColorAt(image, 0, 0), 0x00FF00u);
}

TEST_F(MyPanelButtonTest, ButtonEffectTintFollowsDownAndHotTracking) {
  MyTPanel* button = MakePanel(MyTPanel::pmPanel, QRect(10, 10, 120, 40));
  button->SetButtonEffect(true);
  button->SetShape(1);
  button->SetShapeInset(0);
  button->SetHotTrack(true);
  SkinOptions.NonOvalButtonsStyle = "No edge";
  SkinOptions.ButtonTintColor = 0xFF0000;
  SkinOptions.ButtonHotTrackTintColor = 0x00FF00;
  SkinOptions.PushedTintColor = 0x0000FF;
  SkinOptions.PushedHotTrackTintColor = 0xFFFF00;
  ShowWindow();
  const QPoint centre(60, 20);
  EXPECT_LE(Distance(ColorAt(button->grab().toImage(), centre.x(), centre.y()), 0xFF0000), 6);
  button->SetDown(true);
  EXPECT_LE(Distance(ColorAt(button->grab().toImage(), centre.x(), centre.y()), 0x0000FF), 6);

  SendMouse(button, QEvent::MouseMove, QPoint(30, 20), Qt::NoButton, Qt::NoButton);
  ASSERT_EQ(GMyPanelGlobal.HotPanel, button);
  EXPECT_TRUE(button->IsHot());
  EXPECT_LE(Distance(ColorAt(button->grab().toImage(), centre.x(), centre.y()), 0xFFFF00), 6);
  button->SetDown(false);
  EXPECT_LE(Distance(ColorAt(button->grab().toImage(), centre.x(), centre.y()), 0x00FF00), 6);

  // The timer cools a panel the mouse has left.
  const auto savedOver = GMyPanelGlobal.MouseOver;
  GMyPanelGlobal.MouseOver = [](const MyTPanel&) { return false; };
  GMyPanelGlobal.TimerTimer();
  GMyPanelGlobal.MouseOver = savedOver;
  EXPECT_EQ(GMyPanelGlobal.HotPanel, nullptr);
  EXPECT_LE(Distance(ColorAt(button->grab().toImage(), centre.x(), centre.y()), 0xFF0000), 6);
}

// A clock the tests move by hand.
double FakeSeconds = 0.0;
double FakeNow() {
  return FakeSeconds;
}

class MyPanelFlashTest : public MyPanelTestBase {
protected:
  void SetUp() override {
    MyPanelTestBase::SetUp();
    SavedStopwatch = GMyPanelGlobal.Stopwatch;
    SavedHeld = GMyPanelGlobal.AnyButtonHeld;
    SavedOver = GMyPanelGlobal.MouseOver;
    FakeSeconds = 0.0;
    GMyPanelGlobal.Stopwatch = TCrono(&FakeNow);
    GMyPanelGlobal.AnyButtonHeld = [this] { return Held; };
    GMyPanelGlobal.MouseOver = [this](const MyTPanel&) { return Over; };
  }
  void TearDown() override {
    MyPanelTestBase::TearDown();
    GMyPanelGlobal.Stopwatch = SavedStopwatch;
    GMyPanelGlobal.AnyButtonHeld = SavedHeld;
    GMyPanelGlobal.MouseOver = SavedOver;
  }

  bool Held = true;
  bool Over = true;
  TCrono SavedStopwatch;
  std::function<bool()> SavedHeld;
  std::function<bool(const MyTPanel&)> SavedOver;
};

TEST_F(MyPanelFlashTest, FlashEndsAfterItsTimeOnceReleasedOrLeft) {
  struct TCase {
    double After;
    bool Held;
    bool Over;
    bool StillFlashing;
  };
  const TCase cases[] = {
      {0.10, false, true, true}, {0.18, false, false, true}, {0.19, false, true, false},
      {0.25, true, true, true},  {0.25, true, false, false}, {0.50, false, true, false},
  };
  MyTPanel* button = MakePanel(MyTPanel::pmPanel, QRect(10, 10, 80, 30));
  ShowWindow();
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.After) + (c.Held ? " held" : "") + (c.Over ? " over" : ""));
    FakeSeconds = 0.0;
    Held = Over = true;
    SendMouse(button, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(button->Flash());
    ASSERT_EQ(GMyPanelGlobal.FlashingPanel, button);
    ASSERT_TRUE(GMyPanelGlobal.TimerActive());
    SendMouse(button, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
    FakeSeconds += c.After;
    Held = c.Held;
    Over = c.Over;
    GMyPanelGlobal.TimerTimer();
    EXPECT_EQ(button->Flash(), c.StillFlashing);
    EXPECT_EQ(GMyPanelGlobal.FlashingPanel == button, c.StillFlashing);
    EXPECT_EQ(GMyPanelGlobal.TimerActive(), c.StillFlashing);
    button->SetFlash(false);
  }
}

TEST_F(MyPanelFlashTest, OnlyButtonSchemePanelsFlashAndANewFlashEndsTheOld) {
  MyTPanel* first = MakePanel(MyTPanel::pmPanel, QRect(0, 0, 50, 30));
  MyTPanel* second = MakePanel(MyTPanel::pmPanel, QRect(60, 0, 50, 30));
  MyTPanel* window = MakePanel(MyTPanel::pmPanel, QRect(120, 0, 50, 30));
  MyTPanel* splitter = MakePanel(MyTPanel::pmSplitter, QRect(180, 0, 6, 30));
  window->SetColorScheme(1);
  ShowWindow();
  int clicks = 0;
  first->OnClick = [&] { ++clicks; };
  QTest::mouseClick(first, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(first->Flash());
  QTest::mouseClick(second, Qt::LeftButton);
  EXPECT_FALSE(first->Flash());
  EXPECT_TRUE(second->Flash());
  QTest::mouseClick(window, Qt::LeftButton);
  QTest::mouseClick(splitter, Qt::LeftButton);
  EXPECT_FALSE(window->Flash());
  EXPECT_FALSE(splitter->Flash());
  EXPECT_EQ(GMyPanelGlobal.FlashingPanel, second);
  // A panel that goes away is forgotten by the timer.
  delete second;
  EXPECT_EQ(GMyPanelGlobal.FlashingPanel, nullptr);
  GMyPanelGlobal.TimerTimer();
  EXPECT_FALSE(GMyPanelGlobal.TimerActive());
}

TEST_F(MyPanelButtonTest, CaptionIsStruckOutShortenedLikeAPathAndSwappedWhenDown) {
  MyTPanel* panel = MakePanel(MyTPanel::pmPanel, QRect(0, 0, 160, 30));
  panel->SetColorScheme(1);
  SkinOptions.WindowTextColor = 0x0000FF;
  ShowWindow();
  // Blanks draw no glyphs: only a strike line can put text colour there.
  panel->SetCaption("                    ");
  const auto textPixels = [&] {
    const QImage image = panel->grab().toImage();
    int count = 0;
    for (int y = Border; y < image.height() - Border; ++y)
      for (int x = Border; x < image.width() - Border; ++x)
        count += Distance(ColorAt(image, x, y), 0x0000FF) < 60 ? 1 : 0;
    return count;
  };
  EXPECT_EQ(textPixels(), 0);
  panel->SetStrike(true);
  EXPECT_GT(textPixels(), 20);

  const std::string path = "/home/someone/a rather long directory name/and another one/Report.txt";
  panel->SetCaption(path);
  EXPECT_EQ(panel->ShownCaption(), QString::fromStdString(path));
  panel->SetPathEllipsis(true);
  const QString shown = panel->ShownCaption();
  EXPECT_LT(shown.size(), static_cast<qsizetype>(path.size()));
  EXPECT_TRUE(shown.contains(QChar(0x2026)));
  EXPECT_TRUE(shown.endsWith("Report.txt"));
  EXPECT_TRUE(shown.startsWith("/home"));

  panel->SetPathEllipsis(false);
  panel->SetCaption("up");
  panel->SetDown(true);
  EXPECT_EQ(panel->ShownCaption(), "up"); // no pressed caption of its own
  panel->SetDownCaption("pressed");
  EXPECT_EQ(panel->ShownCaption(), "pressed");
  panel->SetDown(false);
  EXPECT_EQ(panel->ShownCaption(), "up");
}

TEST_F(MyPanelButtonTest, WrappedTextTallerThanThePanelShowsWholeLinesFromTheTop) {
  ProgramOptions.CaptionFontName.clear();
  ProgramOptions.CaptionFontSize = 9;
  QFont font;
  font.setPointSize(9);
  const QFontMetrics metrics(font);
  const int spacing = std::max(metrics.height(), metrics.lineSpacing());
  // Room for three lines, like the hint bar; the text wraps to about ten.
  // No descenders, so whole lines leave the inner area's edge rows blank.
  constexpr int Edge = 2;
  MyTPanel* panel = MakePanel(MyTPanel::pmPanel, QRect(0, 0, 300, 3 * spacing + 2 * Edge));
  panel->SetColorScheme(1);
  panel->SetBorderWidth(Edge);
  panel->SetWordWrap(true);
  std::string text;
  for (int i = 0; i < 40; ++i)
    text += "Hello World ";
  ShowWindow();
  // Ink is what the text adds to the blank panel (its frame shades the edges).
  const QImage blank = panel->grab().toImage();
  panel->SetCaption(text);
  const QImage image = panel->grab().toImage();
  const QRect inner = panel->rect().adjusted(Edge, Edge, -Edge, -Edge);
  const auto inkIn = [&](int top, int bottom) {
    int count = 0;
    for (int y = top; y <= bottom; ++y)
      for (int x = inner.left() + 4; x <= inner.right() - 4; ++x)
        count += Distance(ColorAt(image, x, y), ColorAt(blank, x, y)) > 40 ? 1 : 0;
    return count;
  };
  EXPECT_EQ(inkIn(inner.top(), inner.top()), 0);
  EXPECT_EQ(inkIn(inner.bottom(), inner.bottom()), 0);
  for (int line = 0; line < 3; ++line)
    EXPECT_GT(inkIn(inner.top() + line * spacing, inner.top() + (line + 1) * spacing - 1), 20)
        << line;
}

TEST_F(MyPanelButtonTest, TransparentPanelsShowTheBackPictureBehindThem) {
  QImage picture(400, 400, QImage::Format_RGB32);
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      picture.setPixel(x, y, qRgb(x % 256, y % 256, 77));
  MyTPanel* panel = MakePanel(MyTPanel::pmPanel, QRect(20, 30, 100, 40));
  panel->SetTransparent(true);
  GMyPanelOptions.BackPicture = [&](const QWidget& control) {
    return BackPictureOf(control, &picture, Window.get());
  };
  ShowWindow();
  const TColor behind = (20 + 50) | (30 + 20) << 8 | 77 << 16;

  // Only the outline over the picture.
  EXPECT_EQ(ColorAt(panel->grab().toImage(), 50, 20), behind);
  EXPECT_EQ(ColorAt(panel->grab().toImage(), 1, 20), SkinOptions.ButtonMarginColor);
  // A button effect keeps the shape solid.
  panel->SetButtonEffect(true);
  EXPECT_NE(ColorAt(panel->grab().toImage(), 50, 20), behind);
  panel->SetButtonEffect(false);
  // Window-coloured controls are solid unless the columns are transparent.
  panel->SetColorScheme(1);
  SkinOptions.TransparentColumns = false;
  EXPECT_EQ(ColorAt(panel->grab().toImage(), 50, 20), SkinOptions.WindowBackColor);
  SkinOptions.TransparentColumns = true;
  EXPECT_EQ(ColorAt(panel->grab().toImage(), 50, 20), behind);
  // An oval button is drawn by its effect alone, so a fully transparent
  // body shows the picture inside the oval as well as around it.
  panel->SetColorScheme(0);
  panel->SetButtonEffect(true);
  panel->SetShape(2);
  SkinOptions.ControlBackTransp = 100;
  SkinOptions.ControlMarginTransp = 100;
  EXPECT_EQ(ColorAt(panel->grab().toImage(), 50, 20), behind);
  EXPECT_EQ(ColorAt(panel->grab().toImage(), 3, 3), (20 + 3) | (30 + 3) << 8 | 77 << 16);
  SkinOptions.ControlBackTransp = 0;
  EXPECT_NE(ColorAt(panel->grab().toImage(), 50, 20), behind);
  EXPECT_EQ(ColorAt(panel->grab().toImage(), 3, 3), (20 + 3) | (30 + 3) << 8 | 77 << 16);
  panel->SetButtonEffect(false);
  panel->SetShape(0);
  panel->SetColorScheme(1);

  // Without a picture the background is filled.
  GMyPanelOptions.BackPicture = nullptr;
  EXPECT_EQ(ColorAt(panel->grab().toImage(), 50, 20), SkinOptions.WindowBackColor);
}

TEST_F(MyPanelButtonTest, SplitterReportsOffsetsAlongItsAxisAndLetsTheOwnerRefuse) {
  MyTPanel* bar = MakePanel(MyTPanel::pmSplitter, QRect(100, 0, 6, 200));
  ShowWindow();
  EXPECT_EQ(bar->cursor().shape(), Qt::SplitHCursor);
  std::vector<int> offered;
  std::vector<int> released;
  bar->OnClickMove = [&](int& offset) {
    offered.push_back(offset);
    offset = std::min(offset, 10);
  };
  bar->OnSplitterClick = [&](int offset) { released.push_back(offset); };

  SendMouse(bar, QEvent::MouseButtonPress, QPoint(3, 50), Qt::LeftButton, Qt::LeftButton);
  SendMouse(bar, QEvent::MouseMove, QPoint(33, 80), Qt::NoButton, Qt::LeftButton);
  SendMouse(bar, QEvent::MouseMove, QPoint(-7, 90), Qt::NoButton, Qt::LeftButton);
  SendMouse(bar, QEvent::MouseButtonRelease, QPoint(-7, 90), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(offered, (std::vector<int>{30, -10}));
  EXPECT_EQ(released, std::vector<int>{-10});

  // A release where it was pressed reports nothing; a horizontal bar reads y.
  bar->SetHorizontal(true);
  EXPECT_EQ(bar->cursor().shape(), Qt::SplitVCursor);
  SendMouse(bar, QEvent::MouseButtonPress, QPoint(3, 50), Qt::LeftButton, Qt::LeftButton);
  SendMouse(bar, QEvent::MouseButtonRelease, QPoint(30, 50), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(released.size(), 1u);
  SendMouse(bar, QEvent::MouseButtonPress, QPoint(3, 50), Qt::LeftButton, Qt::LeftButton);
  SendMouse(bar, QEvent::MouseButtonRelease, QPoint(3, 44), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(released.back(), -6);
}

TEST_F(MyPanelButtonTest, APressFirstFocusesTheFocusTarget) {
  MyTPanel* header = MakePanel(MyTPanel::pmPanel, QRect(0, 0, 100, 20));
  MyTPanel* list = MakePanel(MyTPanel::pmList, QRect(0, 20, 100, 100));
  auto* edit = new QLineEdit(Window.get());
  edit->setGeometry(0, 130, 100, 20);
  header->SetFocusTarget(list);
  ShowWindow();
  edit->setFocus();
  bool focusedBeforeOwner = false;
  header->OnMouseDown = [&](const QMouseEvent&, const QPoint&) {
    focusedBeforeOwner = list->hasFocus();
  };
  QTest::mouseClick(header, Qt::LeftButton);
  EXPECT_TRUE(focusedBeforeOwner);
  EXPECT_TRUE(list->hasFocus());
}

} // namespace
} // namespace cv
