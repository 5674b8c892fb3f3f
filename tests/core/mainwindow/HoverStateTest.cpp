// The hot item and the hover window's opening and closing, on a fake clock.

#include "mainwindow/HoverState.h"

#include "options/ProgramOptions.h"

#include <gtest/gtest.h>

namespace cv {
namespace {

double FakeSeconds = 0;
double FakeClock() {
  return FakeSeconds;
}

constexpr THotItem ItemA{0, 3};
constexpr THotItem ItemB{0, 4};

class HoverStateTest : public ::testing::Test {
protected:
  HoverStateTest() {
    FakeSeconds = 100;
    Tracker.Options = {.HotTrack = true,
                       .HoverActive = true,
                       .TypeZone = true,
                       .DelayTenths = 5,
                       .Sensitivity = 5};
  }
  // A tick with the mouse resting in the hot item's type zone.
  static THoverTickFacts Resting() {
    return {.ItemUnderMouse = true, .InTypeZone = true, .WindowActive = true, .Mouse = {100, 100}};
  }
  THoverActions TickAt(double seconds, const THoverTickFacts& facts = Resting()) {
    FakeSeconds = seconds;
    return Tracker.Tick(facts);
  }
  THoverTracker Tracker{&FakeClock};
};

TEST_F(HoverStateTest, HotItemFollowsTheMouse) {
  EXPECT_EQ(Tracker.MouseOverItem(0, 3, false), (THoverActions{.Hot = ItemA}));
  EXPECT_EQ(Tracker.MouseOverItem(0, 3, false), THoverActions{});
  EXPECT_EQ(Tracker.MouseOverItem(0, 4, false), (THoverActions{.Unhot = ItemA, .Hot = ItemB}));
  EXPECT_EQ(Tracker.MouseOverItem(0, -1, false), THoverActions{});
  EXPECT_EQ(Tracker.HotItem(), ItemB);
  // The mouse left every item: the hot one is cleared at the next tick.
  EXPECT_EQ(TickAt(101, {}), (THoverActions{.Unhot = ItemB}));
  EXPECT_TRUE(Tracker.HotItem().None());

  Tracker.Options.HotTrack = false;
  Tracker.Options.HoverActive = false;
  EXPECT_EQ(Tracker.MouseOverItem(0, 3, false), THoverActions{});
  EXPECT_TRUE(Tracker.HotItem().None());
}

TEST_F(HoverStateTest, OpensOnceTheDelayRanInTheTypeZone) {
  Tracker.MouseOverItem(0, 3, true);
  EXPECT_FALSE(TickAt(100.4).Open);
  // Moving inside the type zone keeps the stopwatch running.
  Tracker.MouseOverItem(0, 3, true);
  const THoverActions opened = TickAt(
      100.5, {.ItemUnderMouse = true, .InTypeZone = true, .WindowActive = true, .Mouse = {40, 60}});
  EXPECT_EQ(opened, THoverActions{.Open = true});
  EXPECT_TRUE(Tracker.Shown());
  EXPECT_EQ(Tracker.HoveredItem(), ItemA);
  EXPECT_EQ(Tracker.OpenedAt(), QPoint(40, 60));
  // Shown already: it does not open again.
  EXPECT_FALSE(TickAt(102).Open);
}

TEST_F(HoverStateTest, MovingOutsideTheTypeZoneRestartsTheDelay) {
  Tracker.MouseOverItem(0, 3, true);
  FakeSeconds = 100.4;
  Tracker.MouseOverItem(0, 3, false);
  EXPECT_FALSE(TickAt(100.8).Open);
  EXPECT_TRUE(TickAt(100.9).Open);
}

TEST_F(HoverStateTest, EachConditionCanHoldTheWindowBack) {
  struct TCase {
    const char* What;
    void (*Change)(THoverOptions&, THoverTickFacts&);
  };
  const TCase cases[] = {
      {"all met", [](THoverOptions&, THoverTickFacts&) {}},
      {"button down", [](THoverOptions&, THoverTickFacts& f) { f.ButtonDown = true; }},
      {"window inactive", [](THoverOptions&, THoverTickFacts& f) { f.WindowActive = false; }},
      {"outside the type zone", [](THoverOptions&, THoverTickFacts& f) { f.InTypeZone = false; }},
      {"no type zone", [](THoverOptions& o, THoverTickFacts&) { o.TypeZone = false; }},
      {"hover off", [](THoverOptions& o, THoverTickFacts&) { o.HoverActive = false; }},
  };
  for (const TCase& c : cases) {
    THoverTracker tracker(&FakeClock);
    tracker.Options = Tracker.Options;
    THoverTickFacts facts = Resting();
    c.Change(tracker.Options, facts);
    FakeSeconds = 100;
    tracker.MouseOverItem(0, 3, true);
    FakeSeconds = 101;
    EXPECT_EQ(tracker.Tick(facts).Open, std::string(c.What) == "all met") << c.What;
  }
}

TEST_F(HoverStateTest, StrayingBeyondTheSensitivityClosesForGood) {
  Tracker.MouseOverItem(0, 3, true);
  ASSERT_TRUE(TickAt(101).Open);
  EXPECT_EQ(Tracker.MouseMove(ItemA, {105, 95}), THoverActions{});
  EXPECT_EQ(Tracker.MouseMove(ItemA, {100, 106}), THoverActions{.Close = true});
  EXPECT_FALSE(Tracker.Shown());
  // Still over the item it opened for: it stays closed.
  EXPECT_EQ(Tracker.HoveredItem(), ItemA);
  EXPECT_FALSE(TickAt(103).Open);
}

TEST_F(HoverStateTest, AnotherItemClosesAndForgetsTheHoveredOne) {
  Tracker.MouseOverItem(0, 3, true);
  ASSERT_TRUE(TickAt(101).Open);
  EXPECT_EQ(Tracker.MouseMove(ItemB, {100, 100}), THoverActions{.Close = true});
  EXPECT_TRUE(Tracker.HoveredItem().None());
  // Back on the first item it opens again after the delay.
  FakeSeconds = 102;
  Tracker.MouseOverItem(0, 4, true);
  Tracker.MouseOverItem(0, 3, true);
  EXPECT_FALSE(TickAt(102.4).Open);
  EXPECT_TRUE(TickAt(102.5).Open);
}

TEST_F(HoverStateTest, LeavingAllItemsClosesAndClearsTheHotItem) {
  Tracker.MouseOverItem(0, 3, true);
  ASSERT_TRUE(TickAt(101).Open);
  EXPECT_EQ(TickAt(101.2, {}), (THoverActions{.Close = true, .Unhot = ItemA}));
  EXPECT_TRUE(Tracker.HoveredItem().None());
  EXPECT_TRUE(Tracker.HotItem().None());
}

TEST_F(HoverStateTest, AKeyClosesAndKeepsItClosedOverThatItem) {
  Tracker.MouseOverItem(0, 3, true);
  // Before it opened: closing still marks the item as hovered.
  EXPECT_EQ(Tracker.Close(), THoverActions{});
  EXPECT_FALSE(TickAt(101).Open);
  EXPECT_EQ(Tracker.HoveredItem(), ItemA);
}

TEST_F(HoverStateTest, OptionsReachTheTracker) {
  TProgramOptions options;
  options.HotTrackColumnItems = false;
  options.FileHoverActive = true;
  options.ShowFileType = false;
  options.SimulateFileType = true;
  options.FileHoverDelay = 7;
  options.FileHoverSensitivity = 9;
  const THoverOptions hover = HoverOptionsOf(options);
  EXPECT_FALSE(hover.HotTrack);
  EXPECT_TRUE(hover.HoverActive);
  EXPECT_TRUE(hover.TypeZone);
  EXPECT_EQ(hover.DelayTenths, 7);
  EXPECT_EQ(hover.Sensitivity, 9);
}

} // namespace
} // namespace cv
