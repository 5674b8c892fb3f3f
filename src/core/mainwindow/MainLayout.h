#pragma once
// The main window's geometry as plain arithmetic: from the client size, the
// fonts' text heights, the panels' borders, the options and the active
// board's flags it places every band and panel, so the widgets only apply
// the rectangles. Widths are whole-pixel integer arithmetic throughout.
//
// Every rectangle is in its parent panel's coordinates (the parent's outer
// top-left corner, border included), as setGeometry takes it:
//   client area: Toolbar, BoardsBar, WorkArea, InfoBars, HintBar
//   Toolbar: Buttons, UserLogo          BoardsBar: BoardButtons
//   WorkArea: TreePanel, BoardArea, PlayList
//   TreePanel: TreeSplitter, TreeTitle, Tree
//   BoardArea: ColumnsArea, Viewer      ColumnsArea: Columns
//   Viewer: ViewerSplitter, ViewerClient
//   InfoBars: InfoBar[i].Bar            InfoBar[i].Bar: InfoBar[i].Fields

#include "columns/BoardColumns.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

class TProgramOptions;
class TSkinOptions;

// The options the layout reads.
struct TLayoutOptions {
  int CaptionFontSize = 9;
  bool OvalButtons = true; // skin ToolbarButtonsStyle "Single oval" or "Double oval"
  bool CenterToolbarButtons = false;
  bool ShowUserLogo = false;
  int UserLogoWidth = 100; // percent of the logo's height
  bool ShowTopLeftUserLogo = false;
  bool ShowBoardsBar = true;
  int VisibleBoards = 10;
  int BoardsBarRows = 1;
  bool ShowHintBar = true;
  int HintLines = 2;
  // Column, file, description and reference bar, top to bottom.
  std::array<bool, 4> ShowInfoBar{true, true, false, false};
};

TLayoutOptions LayoutOptionsOf(const TProgramOptions& options, const TSkinOptions& skin);

// Text heights of the fonts as the toolkit measures them, and border widths.
struct TLayoutMetrics {
  int CaptionTextHeight = 0; // caption font: buttons, boards bar, information bars
  int HintTextHeight = 0;    // hint bar font
  int ItemsTextHeight = 0;   // items font: the tree navigator's title bar
  int ButtonBorder = 0;      // toolbar and boards bar buttons
  int ToolbarBorder = 0;
  int BoardsBarBorder = 0;
  int HintBarBorder = 0;
  int InfoContainerBorder = 0;
  int InfoBarBorder = 0;
  int TreeTitleBorder = 0;
  // Per information bar, the outer width each field needs for its longest
  // usual text (missing or 0: none); the bar gives it room before it
  // shortens another field.
  std::array<std::vector<int>, 4> InfoFieldMinWidths{};
};

// The active board's part and the sizes the window keeps.
struct TLayoutBoard {
  bool ShowTreeNavigator = false;
  bool ShowMPL = false;
  bool ShowViewer = false;
  // The visible columns, left to right (1 to 10 of them).
  std::vector<TColumnShare> Columns;
  int TreeNavigatorWidth = 300;
  int MPLWidth = 240;
  int ViewerHeight = 250;
};

struct TLayoutInput {
  QSize Client;
  TLayoutOptions Options;
  TLayoutMetrics Metrics;
  TLayoutBoard Board;
};

inline constexpr int CSplitterThickness = 10;
inline constexpr std::array<std::string_view, 4> CToolbarButtons{"Work", "Board", "Skins", "Help"};

// Field names of the information bars, left to right; the fraction of the
// bar's inner width in hundredths, 0 for the last field (it takes the rest).
struct TInfoFieldShare {
  std::string_view Name;
  int Percent;
};
inline constexpr std::array<TInfoFieldShare, 7> CColumnBarFields{{{"Files", 10},
                                                             {"Encrypted", 13},
                                                             {"SelNum", 13},
                                                             {"SelSz", 16},
                                                             {"TotalSz", 16},
                                                             {"PartSz", 18},
                                                             {"PartAttr", 0}}};
inline constexpr std::array<TInfoFieldShare, 7> CFileBarFields{
    {{"Index", 7}, {"Sz", 9}, {"Attr", 7}, {"HL", 4}, {"SC", 4}, {"Title", 40}, {"Mod", 0}}};
inline constexpr std::array<TInfoFieldShare, 1> CDescriptionBarFields{{{"Desc", 0}}};
inline constexpr std::array<TInfoFieldShare, 7> CReferenceBarFields{
    {{"Type", 5}, {"Sz", 9}, {"Attr", 6}, {"Title", 34}, {"Mod", 29}, {"Param", 9}, {"Work", 0}}};

// Field rectangles across a bar of `outerWidth` with `border`, each
// truncated to whole pixels, the last taking the rest. A field narrower than
// its entry in `minWidths` grows to it (as far as the others can give) at
// the cost of the fields with room to spare, in proportion to that room.
std::vector<QRect> LayoutInfoFields(std::span<const TInfoFieldShare> fields, int outerWidth, int border,
                                    int height, std::span<const int> minWidths = {});

struct TInfoBarPlace {
  bool Shown = false;
  QRect Bar;
  std::vector<QRect> Fields;
};

struct TMainLayout {
  QRect Client;
  QRect Toolbar;
  std::array<QRect, 4> Buttons; // "Work", "Board", "Skins", "Help"
  bool UserLogoShown = false;
  QRect UserLogo;
  bool BoardsBarShown = false;
  QRect BoardsBar;
  std::vector<QRect> BoardButtons; // one per visible board, board 0 first
  QRect WorkArea;
  bool TreePanelShown = false;
  QRect TreePanel;
  QRect TreeSplitter;
  QRect TreeTitle;
  QRect Tree;
  bool PlayListShown = false;
  QRect PlayList;
  QRect BoardArea;
  QRect ColumnsArea;
  // All twelve columns; hidden ones and columns 10 and 11 have width 0 at the right edge.
  std::array<QRect, TBoardColumns::ColumnCount> Columns;
  bool ViewerShown = false;
  QRect Viewer;
  QRect ViewerSplitter;
  QRect ViewerClient;
  bool InfoBarsShown = false;
  QRect InfoBars;
  std::array<TInfoBarPlace, 4> InfoBar; // column, file, description, reference
  bool HintBarShown = false;
  QRect HintBar;
};

// Toolbar button widths and height for the caption font size, the caption
// text height and the button border.
struct TToolbarButtonSize {
  std::array<int, 4> Widths;
  int Height;
};
TToolbarButtonSize ToolbarButtonSize(int captionFontSize, bool ovalButtons, int captionTextHeight,
                                     int buttonBorder);

// The boards bar's buttons inside a bar of `width`; nothing with "Invalid
// visible boards number." for a count outside 10 to 30.
struct TBoardsBarPlace {
  int Height = 0;
  std::vector<QRect> Buttons;
};
std::optional<TBoardsBarPlace> LayoutBoardsBar(int visibleBoards, int rows, int width,
                                               int buttonHeight, int border);

// The whole window; nothing when the board's visible column count is not
// 1 to 10 or the boards bar cannot be placed (reported in the status context).
std::optional<TMainLayout> LayoutMainWindow(const TLayoutInput& input);

// ---- Splitters and the viewer height ---------------------------------------

inline constexpr int CMinSidePanelWidth = 100;
inline constexpr int CMinViewerHeight = 50;

// A side panel's width kept within 100 and a third of the client width (the
// third wins on a narrow window).
int ClampSidePanelWidth(int width, int clientWidth);
// A drag of the tree splitter by `dx` (the width grows with it) or of the
// play-list splitter (the width grows as it moves left); nothing while the
// panel is hidden.
std::optional<int> DragTreeSplitter(bool shown, int width, int dx, int clientWidth);
std::optional<int> DragPlayListSplitter(bool shown, int width, int dx, int clientWidth);

// How far the viewer may grow: from the board area's inner bottom up to the
// bottom of the first column's first item row, both in board-area
// coordinates, less three list borders; never below 0.
int LargestViewerHeight(int boardAreaInnerBottom, int firstRowBottom, int listBorder);
// At least 50, at most the largest (the largest wins below 50).
int LimitViewerHeight(int height, int largestHeight);
// The height "set viewer height" applies: 0 or less keeps the current one;
// raised to 50, then lowered to the largest (the largest wins below 50).
int ClampViewerHeight(int height, int currentHeight, int largestHeight);
// The height a drag of the viewer splitter by `dy` asks for (it grows as the bar moves up).
int DragViewerSplitter(int currentHeight, int dy, int largestHeight);

// ---- Hint bar and user logo --------------------------------------------------

// The hint bar's text: the hint's long part (after "|", or all of it), one line.
std::string HintBarText(std::string_view hint);

// Title of the first "UserLogo" file with any extension in `directory`, in
// name order; empty when there is none (not a failure). A directory that
// cannot be listed is reported.
std::string FindUserLogo(const std::string& directory);

} // namespace cv
