// The main window's geometry, splitter limits, hint text and user logo.

#include "mainwindow/MainLayout.h"

#include "../foundation/StorageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "mainwindow/SkinOptions.h"
#include "options/ProgramOptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <sys/stat.h>

// Rectangles in failure messages as x, y, width x height.
void PrintTo(const QRect& r, std::ostream* out) {
  *out << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

namespace cv {
namespace {

// 1200 x 800, caption text 16 high: buttons and bars 20 high, the toolbar
// 26, the boards bar 24, the hint bar (two lines of 14) 32, two
// information bars in a container of 42.
TLayoutInput BaseInput() {
  TLayoutInput input;
  input.Client = {1200, 800};
  input.Options.CaptionFontSize = 9;
  input.Options.OvalButtons = false;
  input.Options.ShowBoardsBar = true;
  input.Options.VisibleBoards = 10;
  input.Options.BoardsBarRows = 1;
  input.Options.ShowHintBar = true;
  input.Options.HintLines = 2;
  input.Options.ShowInfoBar = {true, true, false, false};
  input.Metrics = {.CaptionTextHeight = 16,
                   .HintTextHeight = 14,
                   .ItemsTextHeight = 15,
                   .ButtonBorder = 2,
                   .ToolbarBorder = 3,
                   .BoardsBarBorder = 2,
                   .HintBarBorder = 2,
                   .InfoContainerBorder = 1,
                   .InfoBarBorder = 2,
                   .TreeTitleBorder = 2};
  input.Board.ShowTreeNavigator = true;
  input.Board.ShowMPL = true;
  input.Board.ShowViewer = true;
  input.Board.Columns = {{1, 1, 0}, {1, 1, 0}};
  input.Board.TreeNavigatorWidth = 300;
  input.Board.MPLWidth = 240;
  input.Board.ViewerHeight = 250;
  return input;
}

TMainLayout Layout(const TLayoutInput& input) {
  const std::optional<TMainLayout> layout = LayoutMainWindow(input);
  EXPECT_TRUE(layout.has_value()) << FunStatContext.Description;
  return layout.value_or(TMainLayout{});
}

struct TToolbarCase {
  int FontSize;
  bool Oval;
  std::array<int, 4> Widths;
  int Height;
};

TEST(MainLayoutTest, ToolbarButtonsScaleWithTheCaptionFontInWholePixels) {
  const TToolbarCase cases[] = {
      {9, false, {45, 50, 50, 45}, 20},    {7, false, {45, 50, 50, 45}, 20},
      {18, false, {90, 100, 100, 90}, 20}, {9, true, {63, 70, 70, 63}, 25},
      {12, false, {60, 66, 66, 60}, 20},   {18, true, {126, 140, 140, 126}, 25},
  };
  for (const TToolbarCase& c : cases) {
    TLayoutInput input = BaseInput();
    input.Options.CaptionFontSize = c.FontSize;
    input.Options.OvalButtons = c.Oval;
    const TMainLayout layout = Layout(input);
    int left = input.Metrics.ToolbarBorder;
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(layout.Buttons[i], QRect(left, 3, c.Widths[i], c.Height))
          << CToolbarButtons[i] << " at size " << c.FontSize << (c.Oval ? " oval" : "");
      left += c.Widths[i];
    }
    EXPECT_EQ(layout.Toolbar, QRect(0, 0, 1200, c.Height + 6));
  }
}

TEST(MainLayoutTest, ToolbarCentresTheButtonsAndPlacesTheLogo) {
  struct TCase {
    const char* What;
    bool Center;
    bool TopLeftLogo;
    int LogoWidth;
    int FirstButtonLeft;
    QRect Logo;
  };
  // Inner width 1194, buttons 190 wide, logo 20 high.
  const TCase cases[] = {
      {"plain", false, false, 100, 3, {1177, 3, 20, 20}},
      {"centred", true, false, 100, 3 + 502, {1177, 3, 20, 20}},
      {"twice as wide", false, false, 200, 3, {1157, 3, 40, 20}},
      {"top left", false, true, 150, 3, {3, 3, 30, 20}},
  };
  for (const TCase& c : cases) {
    TLayoutInput input = BaseInput();
    input.Options.CenterToolbarButtons = c.Center;
    input.Options.ShowTopLeftUserLogo = c.TopLeftLogo;
    input.Options.UserLogoWidth = c.LogoWidth;
    input.Options.ShowUserLogo = true;
    const TMainLayout layout = Layout(input);
    EXPECT_EQ(layout.Buttons[0].x(), c.FirstButtonLeft) << c.What;
    EXPECT_EQ(layout.UserLogo, c.Logo) << c.What;
    EXPECT_TRUE(layout.UserLogoShown);
  }
}

TEST(MainLayoutTest, BandsAndPanelsFollowTheShownBars) {
  struct TCase {
    const char* What;
    std::function<void(TLayoutInput&)> Change;
    QRect WorkArea;
    QRect BoardArea; // in the work area
    QRect ColumnsArea;
    bool InfoBarsShown;
    QRect InfoBars;
  };
  const TCase cases[] = {
      {"everything shown",
       [](TLayoutInput&) {},
       {0, 50, 1200, 676},
       {300, 0, 660, 676},
       {0, 0, 660, 426},
       true,
       {0, 726, 1200, 42}},
      {"no boards bar",
       [](TLayoutInput& in) { in.Options.ShowBoardsBar = false; },
       {0, 26, 1200, 700},
       {300, 0, 660, 700},
       {0, 0, 660, 450},
       true,
       {0, 726, 1200, 42}},
      {"three boards bar rows",
       [](TLayoutInput& in) { in.Options.BoardsBarRows = 3; },
       {0, 90, 1200, 636},
       {300, 0, 660, 636},
       {0, 0, 660, 386},
       true,
       {0, 726, 1200, 42}},
      {"no information bar",
       [](TLayoutInput& in) {
         in.Options.ShowInfoBar = {false, false, false, false};
       },
       {0, 50, 1200, 718},
       {300, 0, 660, 718},
       {0, 0, 660, 468},
       false,
       {0, 766, 1200, 2}},
      {"all four information bars",
       [](TLayoutInput& in) {
         in.Options.ShowInfoBar = {true, true, true, true};
       },
       {0, 50, 1200, 636},
       {300, 0, 660, 636},
       {0, 0, 660, 386},
       true,
       {0, 686, 1200, 82}},
      {"no hint bar",
       [](TLayoutInput& in) { in.Options.ShowHintBar = false; },
       {0, 50, 1200, 708},
       {300, 0, 660, 708},
       {0, 0, 660, 458},
       true,
       {0, 758, 1200, 42}},
      {"no bottom band",
       [](TLayoutInput& in) {
         in.Options.ShowHintBar = false;
         in.Options.ShowInfoBar = {false, false, false, false};
       },
       {0, 50, 1200, 750},
       {300, 0, 660, 750},
       {0, 0, 660, 500},
       false,
       {0, 798, 1200, 2}},
      {"no tree navigator",
       [](TLayoutInput& in) { in.Board.ShowTreeNavigator = false; },
       {0, 50, 1200, 676},
       {0, 0, 960, 676},
       {0, 0, 960, 426},
       true,
       {0, 726, 1200, 42}},
      {"no play-list",
       [](TLayoutInput& in) { in.Board.ShowMPL = false; },
       {0, 50, 1200, 676},
       {300, 0, 900, 676},
       {0, 0, 900, 426},
       true,
       {0, 726, 1200, 42}},
      {"no viewer",
       [](TLayoutInput& in) { in.Board.ShowViewer = false; },
       {0, 50, 1200, 676},
       {300, 0, 660, 676},
       {0, 0, 660, 676},
       true,
       {0, 726, 1200, 42}},
  };
  for (const TCase& c : cases) {
    TLayoutInput input = BaseInput();
    c.Change(input);
    const TMainLayout layout = Layout(input);
    EXPECT_EQ(layout.WorkArea, c.WorkArea) << c.What;
    EXPECT_EQ(layout.BoardArea, c.BoardArea) << c.What;
    EXPECT_EQ(layout.ColumnsArea, c.ColumnsArea) << c.What;
    EXPECT_EQ(layout.InfoBarsShown, c.InfoBarsShown) << c.What;
    if (c.InfoBarsShown) {
      EXPECT_EQ(layout.InfoBars, c.InfoBars) << c.What;
    }
    EXPECT_EQ(layout.HintBarShown, input.Options.ShowHintBar) << c.What;
    EXPECT_EQ(layout.BoardsBarShown, input.Options.ShowBoardsBar) << c.What;
    EXPECT_EQ(layout.TreePanelShown, input.Board.ShowTreeNavigator) << c.What;
    EXPECT_EQ(layout.PlayListShown, input.Board.ShowMPL) << c.What;
    EXPECT_EQ(layout.ViewerShown, input.Board.ShowViewer) << c.What;
  }
}

TEST(MainLayoutTest, PanelsInsideTheBands) {
  const TMainLayout layout = Layout(BaseInput());
  EXPECT_EQ(layout.BoardsBar, QRect(0, 26, 1200, 24));
  EXPECT_EQ(layout.HintBar, QRect(0, 768, 1200, 32));
  EXPECT_EQ(layout.TreePanel, QRect(0, 0, 300, 676));
  EXPECT_EQ(layout.TreeSplitter, QRect(290, 0, 10, 676));
  EXPECT_EQ(layout.TreeTitle, QRect(0, 0, 290, 19));
  EXPECT_EQ(layout.Tree, QRect(0, 19, 290, 657));
  EXPECT_EQ(layout.PlayList, QRect(960, 0, 240, 676));
  EXPECT_EQ(layout.Viewer, QRect(0, 426, 660, 250));
  EXPECT_EQ(layout.ViewerSplitter, QRect(0, 0, 660, 10));
  EXPECT_EQ(layout.ViewerClient, QRect(0, 10, 660, 240));
  // The two visible columns share the board area; the rest wait at its right edge.
  EXPECT_EQ(layout.Columns[0], QRect(0, 0, 330, 426));
  EXPECT_EQ(layout.Columns[1], QRect(330, 0, 330, 426));
  for (size_t i = 2; i < layout.Columns.size(); ++i)
    EXPECT_EQ(layout.Columns[i], QRect(660, 0, 0, 426)) << i;
  // Information bars stacked inside their container, hidden ones not counted.
  EXPECT_EQ(layout.InfoBar[0].Bar, QRect(1, 1, 1198, 20));
  EXPECT_EQ(layout.InfoBar[1].Bar, QRect(1, 21, 1198, 20));
  EXPECT_FALSE(layout.InfoBar[2].Shown);
  EXPECT_EQ(layout.InfoBar[3].Fields.size(), CReferenceBarFields.size());
}

TEST(MainLayoutTest, ANarrowWindowShowsSidePanelsAtAThirdOfItsWidth) {
  TLayoutInput input = BaseInput();
  input.Client = {790, 550};
  input.Board.MPLWidth = 200;
  const TMainLayout layout = Layout(input);
  EXPECT_EQ(layout.TreePanel.width(), 263);
  EXPECT_EQ(layout.PlayList, QRect(790 - 200, 0, 200, layout.WorkArea.height()));
  EXPECT_EQ(layout.BoardArea, QRect(263, 0, 590 - 263, layout.WorkArea.height()));
  // The stored width stays for a wider window.
  EXPECT_EQ(input.Board.TreeNavigatorWidth, 300);
  input.Client = {1200, 800};
  EXPECT_EQ(Layout(input).TreePanel.width(), 300);
}

TEST(MainLayoutTest, InformationBarFieldsAreTruncatedAndTheLastTakesTheRest) {
  struct TCase {
    const char* What;
    std::span<const TInfoFieldShare> Fields;
    int Width;
    std::vector<int> Lefts, Widths;
  };
  const TCase cases[] = {
      // 996 inside: 99.6, 129.48, 129.48, 159.36, 159.36, 179.28, rest.
      {"column",
       CColumnBarFields,
       1000,
       {2, 101, 230, 359, 518, 677, 856},
       {99, 129, 129, 159, 159, 179, 142}},
      // 100 inside: 0.29 x 100 is 29, not 28.99...
      {"reference", CReferenceBarFields, 104, {2, 7, 16, 22, 56, 85, 94}, {5, 9, 6, 34, 29, 9, 8}},
      {"file", CFileBarFields, 104, {2, 9, 18, 25, 29, 33, 73}, {7, 9, 7, 4, 4, 40, 29}},
      {"description", CDescriptionBarFields, 104, {2}, {100}},
  };
  for (const TCase& c : cases) {
    const std::vector<QRect> fields = LayoutInfoFields(c.Fields, c.Width, 2, 16);
    ASSERT_EQ(fields.size(), c.Widths.size()) << c.What;
    for (size_t i = 0; i < fields.size(); ++i)
      EXPECT_EQ(fields[i], QRect(c.Lefts[i], 2, c.Widths[i], 16)) << c.What << " " << i;
  }
}

TEST(MainLayoutTest, AFieldBelowItsLeastWidthTakesRoomFromTheFieldsWithRoomToSpare) {
  struct TCase {
    const char* What;
    int Width;
    std::vector<int> Least, Widths;
  };
  const TCase cases[] = {
      // 100 inside: 7, 9, 7, 4, 4, 40, 29 by the shares; the size field
      // needs 20, taken in proportion to what each can spare.
      {"room", 104, {0, 20, 5, 0, 0, 0, 0}, {7, 20, 7, 4, 4, 32, 26}},
      // 40 inside: the others give all they have.
      {"too little", 44, {0, 60, 0, 0, 0, 0, 0}, {0, 40, 0, 0, 0, 0, 0}},
  };
  for (const TCase& c : cases) {
    const std::vector<QRect> fields = LayoutInfoFields(CFileBarFields, c.Width, 2, 16, c.Least);
    ASSERT_EQ(fields.size(), c.Widths.size()) << c.What;
    int left = 2;
    for (size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(fields[i], QRect(left, 2, c.Widths[i], 16)) << c.What << " " << i;
      left += c.Widths[i];
    }
  }
}

TEST(MainLayoutTest, BoardsBarRowsEndWithWhatIsLeft) {
  const std::optional<TBoardsBarPlace> bar = LayoutBoardsBar(10, 3, 1007, 20, 2);
  ASSERT_TRUE(bar.has_value());
  EXPECT_EQ(bar->Height, 64);
  const std::vector<QRect> expected = {{2, 2, 250, 20},    {252, 2, 250, 20},  {502, 2, 250, 20},
                                       {752, 2, 253, 20},  {2, 22, 250, 20},   {252, 22, 250, 20},
                                       {502, 22, 250, 20}, {752, 22, 253, 20}, {2, 42, 250, 20},
                                       {252, 42, 753, 20}};
  EXPECT_EQ(bar->Buttons, expected);
}

TEST(MainLayoutTest, InvalidCountsLayNothingOut) {
  test::TRecordingUserInterface ui;
  struct TCase {
    const char* What;
    std::function<void(TLayoutInput&)> Change;
    const char* Message;
  };
  const TCase cases[] = {
      {"no column", [](TLayoutInput& in) { in.Board.Columns.clear(); },
       "Invalid number of columns."},
      {"eleven columns", [](TLayoutInput& in) { in.Board.Columns.resize(11); },
       "Invalid number of columns."},
      {"nine boards", [](TLayoutInput& in) { in.Options.VisibleBoards = 9; },
       "Invalid visible boards number."},
      {"31 boards", [](TLayoutInput& in) { in.Options.VisibleBoards = 31; },
       "Invalid visible boards number."},
  };
  for (const TCase& c : cases) {
    TLayoutInput input = BaseInput();
    c.Change(input);
    EXPECT_FALSE(LayoutMainWindow(input).has_value()) << c.What;
    EXPECT_TRUE(FunStatContext.Failed()) << c.What;
    EXPECT_EQ(FunStatContext.Description, c.Message) << c.What;
    FunStatContext.Reset(fsPerfect);
  }
}

TEST(MainLayoutTest, OptionsReachTheLayout) {
  TProgramOptions options;
  options.CaptionFontSize = 18;
  options.ShowFileDesc = true;
  options.ShowColumnInfo = false;
  TSkinOptions skin;
  skin.ToolbarButtonsStyle = CToolbarButtonsStyles[2];
  const TLayoutOptions layout = LayoutOptionsOf(options, skin);
  EXPECT_EQ(layout.CaptionFontSize, 18);
  EXPECT_TRUE(layout.OvalButtons);
  EXPECT_EQ(layout.ShowInfoBar,
            (std::array<bool, 4>{false, options.ShowFileInfo, true, options.ShowReferenceInfo}));
  skin.ToolbarButtonsStyle = CToolbarButtonsStyles[1];
  EXPECT_FALSE(LayoutOptionsOf(options, skin).OvalButtons);
}

TEST(MainLayoutTest, SideSplittersStayWithinTheirLimits) {
  struct TCase {
    const char* What;
    bool PlayList;
    bool Shown;
    int Width, Dx, Client;
    std::optional<int> Expected;
  };
  const TCase cases[] = {
      {"tree to 50 stops at 100", false, true, 300, -250, 1200, 100},
      {"tree grows", false, true, 300, 50, 1200, 350},
      {"tree stops at a third", false, true, 300, 200, 1200, 400},
      {"tree on a narrow window", false, true, 300, 0, 240, 80},
      {"tree hidden", false, false, 300, 50, 1200, std::nullopt},
      {"play-list grows leftwards", true, true, 240, -60, 1200, 300},
      {"play-list to 40 stops at 100", true, true, 240, 200, 1200, 100},
      {"play-list stops at a third", true, true, 240, -300, 1200, 400},
      {"play-list hidden", true, false, 240, -60, 1200, std::nullopt},
  };
  for (const TCase& c : cases) {
    const std::optional<int> width = c.PlayList
                                         ? DragPlayListSplitter(c.Shown, c.Width, c.Dx, c.Client)
                                         : DragTreeSplitter(c.Shown, c.Width, c.Dx, c.Client);
    EXPECT_EQ(width, c.Expected) << c.What;
  }
}

TEST(MainLayoutTest, ViewerHeightLimits) {
  struct TCase {
    const char* What;
    int Result, Expected;
  };
  const TCase cases[] = {
      {"room above the first row", LargestViewerHeight(600, 60, 2), 534},
      {"no room at all", LargestViewerHeight(66, 60, 2), 0},
      {"never negative", LargestViewerHeight(40, 60, 2), 0},
      {"a screen-sized row position", LargestViewerHeight(600, 900, 2), 0},
      {"0 keeps the current", ClampViewerHeight(0, 250, 500), 250},
      {"negative keeps the current", ClampViewerHeight(-5, 250, 500), 250},
      {"raised to 50", ClampViewerHeight(30, 250, 500), 50},
      {"lowered to the largest", ClampViewerHeight(700, 250, 500), 500},
      {"the largest wins below 50", ClampViewerHeight(300, 250, 40), 40},
      {"no room", ClampViewerHeight(30, 250, 0), 0},
      {"drag up grows", DragViewerSplitter(250, -100, 500), 350},
      {"drag down stops at 50", DragViewerSplitter(250, 230, 500), 50},
      {"drag up stops at the first row", DragViewerSplitter(250, -400, 500), 500},
      {"drag below the bottom stops at 50", DragViewerSplitter(250, 260, 500), 50},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(c.Result, c.Expected) << c.What;
}

TEST(MainLayoutTest, HintBarShowsTheLongPartOnOneLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"Short|Long\r\ntext", "Long text"},
      {"No bar\nhere", "No bar here"},
      {"a|b|c", "b|c"},
      {"only short|", ""},
      {"", ""},
  };
  for (const auto& [hint, expected] : cases)
    EXPECT_EQ(HintBarText(hint), expected) << hint;
}

TEST(MainLayoutTest, UserLogoIsTheFirstMatchingFileInNameOrder) {
  test::TTempDir dir;
  for (const char* name : {"Other.png", "UserLogoX.png", "UserLogo.png", "UserLogo.bmp"})
    test::WriteFileBytes(dir.Path + "/" + name, "x");
  // A directory with a logo's name is no picture.
  ASSERT_EQ(::mkdir((dir.Path + "/UserLogo.a").c_str(), 0755), 0);
  EXPECT_EQ(FindUserLogo(dir.Path), dir.Path + "/UserLogo.bmp");
  EXPECT_FALSE(FunStatContext.Failed());

  test::TTempDir none;
  test::WriteFileBytes(none.Path + "/Logo.png", "x");
  EXPECT_EQ(FindUserLogo(none.Path), "");
  EXPECT_EQ(FindUserLogo(none.Path + "/missing"), "");
  EXPECT_FALSE(FunStatContext.Failed());
}

TEST(MainLayoutTest, UnreadableOptionsDirectoryIsReported) {
  test::TTempDir dir;
  test::WriteFileBytes(dir.Path + "/UserLogo.png", "x");
  ASSERT_EQ(::chmod(dir.Path.c_str(), 0), 0);
  const std::string failure = test::RunUnprivileged({dir.Path}, [&]() -> std::string {
    if (!FindUserLogo(dir.Path).empty()) return "a logo was found";
    if (FunStatContext.Description != "Failed to first find file.")
      return "reported: " + FunStatContext.Description;
    if (FunStatContext.SystemErrorCode != EACCES) return "not EACCES";
    return "";
  });
  ::chmod(dir.Path.c_str(), 0755);
  EXPECT_EQ(failure, "");
}

} // namespace
} // namespace cv
