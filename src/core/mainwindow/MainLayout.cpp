#include "mainwindow/MainLayout.h"

#include "filesystem/DirectoryReader.h"
#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/Text.h"
#include "mainwindow/SkinOptions.h"
#include "options/ProgramOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace cv {

namespace {

constexpr std::array<int, 4> CButtonBaseWidths{45, 50, 50, 45};
constexpr int CBaseFontSize = 9;

std::span<const TInfoFieldShare> InfoBarFields(size_t bar) {
  switch (bar) {
  case 0:
    return CColumnBarFields;
  case 1:
    return CFileBarFields;
  case 2:
    return CDescriptionBarFields;
  default:
    return CReferenceBarFields;
  }
}

// A panel of `width` x `height` at (left, top), never with a negative size.
QRect Place(int left, int top, int width, int height) {
  return {left, top, std::max(0, width), std::max(0, height)};
}

void PlaceToolbar(const TLayoutInput& input, TMainLayout& layout) {
  const TLayoutOptions& options = input.Options;
  const TLayoutMetrics& metrics = input.Metrics;
  const int border = metrics.ToolbarBorder;
  const TToolbarButtonSize size =
      ToolbarButtonSize(options.CaptionFontSize, options.OvalButtons, metrics.CaptionTextHeight,
                        metrics.ButtonBorder);
  layout.Toolbar = Place(0, 0, input.Client.width(), size.Height + 2 * border);
  const int innerWidth = input.Client.width() - 2 * border;
  int left = 0;
  if (options.CenterToolbarButtons) {
    int sum = 0;
    for (int width : size.Widths)
      sum += width;
    left = (innerWidth - sum) / 2;
  }
  for (size_t i = 0; i < size.Widths.size(); ++i) {
    layout.Buttons[i] = Place(border + left, border, size.Widths[i], size.Height);
    left += size.Widths[i];
  }
  const int logoHeight = layout.Toolbar.height() - 2 * border;
  const int logoWidth = logoHeight * options.UserLogoWidth / 100;
  const int logoLeft = options.ShowTopLeftUserLogo ? 0 : innerWidth - logoWidth;
  layout.UserLogo = Place(border + logoLeft, border, logoWidth, logoHeight);
  layout.UserLogoShown = options.ShowUserLogo;
}

// The two side panels and the board area between them, across the work area.
void PlaceWorkArea(const TLayoutInput& input, TMainLayout& layout) {
  const TLayoutBoard& board = input.Board;
  const int clientWidth = input.Client.width();
  const int third = clientWidth / 3;
  const int width = layout.WorkArea.width();
  const int height = layout.WorkArea.height();

  layout.TreePanelShown = board.ShowTreeNavigator;
  const int treeWidth = std::min(board.TreeNavigatorWidth, third);
  layout.TreePanel = Place(0, 0, treeWidth, height);
  const int treeInner = treeWidth - CSplitterThickness;
  layout.TreeSplitter = Place(treeInner, 0, CSplitterThickness, height);
  const int titleHeight = input.Metrics.ItemsTextHeight + 2 * input.Metrics.TreeTitleBorder;
  layout.TreeTitle = Place(0, 0, treeInner, titleHeight);
  layout.Tree = Place(0, titleHeight, treeInner, height - titleHeight);

  layout.PlayListShown = board.ShowMPL;
  const int playListWidth = std::min(board.MPLWidth, third);
  layout.PlayList = Place(width - playListWidth, 0, playListWidth, height);

  const int left = layout.TreePanelShown ? layout.TreePanel.width() : 0;
  const int right = layout.PlayListShown ? layout.PlayList.x() : width;
  layout.BoardArea = Place(left, 0, right - left, height);
}

// The viewer at the bottom of the board area, the columns above it.
bool PlaceBoardArea(const TLayoutInput& input, TMainLayout& layout) {
  const int width = layout.BoardArea.width();
  const int height = layout.BoardArea.height();
  const int viewerHeight = input.Board.ViewerHeight;
  layout.ViewerShown = input.Board.ShowViewer;
  layout.Viewer = Place(0, height - viewerHeight, width, viewerHeight);
  layout.ViewerSplitter = Place(0, 0, width, CSplitterThickness);
  layout.ViewerClient = Place(0, CSplitterThickness, width, viewerHeight - CSplitterThickness);
  const int columnsHeight = layout.ViewerShown ? layout.Viewer.y() : height;
  layout.ColumnsArea = Place(0, 0, width, columnsHeight);

  const std::vector<TColumnPlace> places = LayoutColumnWidths(input.Board.Columns, width);
  if (places.empty()) return false;
  for (size_t i = 0; i < layout.Columns.size(); ++i)
    layout.Columns[i] = i < places.size()
                            ? Place(places[i].Left, 0, places[i].Width, layout.ColumnsArea.height())
                            : Place(width, 0, 0, layout.ColumnsArea.height());
  return true;
}

// The information bars' container (its top is returned), right above `bottom`.
int PlaceInfoBars(const TLayoutInput& input, int bottom, TMainLayout& layout) {
  const TLayoutMetrics& metrics = input.Metrics;
  const int containerBorder = metrics.InfoContainerBorder;
  const int barHeight = metrics.CaptionTextHeight + 2 * metrics.InfoBarBorder;
  const int barWidth = input.Client.width() - 2 * containerBorder;
  int top = containerBorder;
  for (size_t i = 0; i < layout.InfoBar.size(); ++i) {
    TInfoBarPlace& bar = layout.InfoBar[i];
    bar.Shown = input.Options.ShowInfoBar[i];
    bar.Bar = Place(containerBorder, top, barWidth, barHeight);
    bar.Fields = LayoutInfoFields(InfoBarFields(i), barWidth, metrics.InfoBarBorder,
                                  metrics.CaptionTextHeight, metrics.InfoFieldMinWidths[i]);
    if (bar.Shown) top += barHeight;
  }
  layout.InfoBarsShown = top > containerBorder;
  const int height = top + containerBorder;
  layout.InfoBars = Place(0, bottom - height, input.Client.width(), height);
  return layout.InfoBarsShown ? layout.InfoBars.y() : bottom;
}

} // namespace

TLayoutOptions LayoutOptionsOf(const TProgramOptions& options, const TSkinOptions& skin) {
  TLayoutOptions layout;
  layout.CaptionFontSize = options.CaptionFontSize;
  layout.OvalButtons = skin.ToolbarButtonsStyle == CToolbarButtonsStyles[2] ||
                       skin.ToolbarButtonsStyle == CToolbarButtonsStyles[3];
  layout.CenterToolbarButtons = options.CenterToolbarButtons;
  layout.ShowUserLogo = options.ShowUserLogo;
  layout.UserLogoWidth = options.UserLogoWidth;
  layout.ShowTopLeftUserLogo = options.ShowTopLeftUserLogo;
  layout.ShowBoardsBar = options.ShowBoardsBar;
  layout.VisibleBoards = options.VisibleBoards;
  layout.BoardsBarRows = options.BoardsBarRows;
  layout.ShowHintBar = options.ShowHintBar;
  layout.HintLines = options.HintLines;
  layout.ShowInfoBar = {options.ShowColumnInfo, options.ShowFileInfo, options.ShowFileDesc,
                        options.ShowReferenceInfo};
  return layout;
}

std::vector<QRect> LayoutInfoFields(std::span<const TInfoFieldShare> fields, int outerWidth, int border,
                                    int height, std::span<const int> minWidths) {
  const int inner = outerWidth - 2 * border;
  const size_t count = fields.size();
  std::vector<int> widths(count);
  int used = 0;
  for (size_t i = 0; i < count; ++i) {
    widths[i] = i + 1 == count ? inner - used : inner * fields[i].Percent / 100;
    used += widths[i];
  }
  // What the short fields lack and what the others can spare.
  std::vector<int64_t> raise(count), spare(count);
  int64_t lacking = 0;
  int64_t spared = 0;
  for (size_t i = 0; i < count; ++i) {
    const int least = i < minWidths.size() ? minWidths[i] : 0;
    raise[i] = std::max(0, least - widths[i]);
    spare[i] = raise[i] > 0 ? 0 : std::max(0, widths[i] - least);
    lacking += raise[i];
    spared += spare[i];
  }
  if (lacking > 0 && spared > 0) {
    // Too little to spare: every short field gets its share of what there is.
    int64_t given = 0;
    for (size_t i = 0; i < count; ++i) {
      if (lacking > spared) raise[i] = raise[i] * spared / lacking;
      widths[i] += static_cast<int>(raise[i]);
      given += raise[i];
    }
    int64_t taken = 0;
    for (size_t i = 0; i < count; ++i) {
      const int64_t take = spare[i] * given / spared;
      widths[i] -= static_cast<int>(take);
      spare[i] -= take;
      taken += take;
    }
    // The rounding's few pixels come from the fields with the most room left.
    while (taken < given) {
      const size_t i = static_cast<size_t>(std::max_element(spare.begin(), spare.end()) - spare.begin());
      const int64_t take = std::min(spare[i], given - taken);
      widths[i] -= static_cast<int>(take);
      spare[i] -= take;
      taken += take;
    }
  }
  std::vector<QRect> rects;
  rects.reserve(count);
  int left = 0;
  for (size_t i = 0; i < count; ++i) {
    rects.push_back(Place(border + left, border, widths[i], height));
    left += widths[i];
  }
  return rects;
}

TToolbarButtonSize ToolbarButtonSize(int captionFontSize, bool ovalButtons, int captionTextHeight,
                                     int buttonBorder) {
  // scale = size / 9 (at least 1), times 1.4 for ovals: kept as a fraction
  // so that 45 x 1.4 is 63, not 62.99...
  const int size = std::max(captionFontSize, CBaseFontSize);
  const int numerator = ovalButtons ? size * 14 : size;
  const int denominator = ovalButtons ? CBaseFontSize * 10 : CBaseFontSize;
  TToolbarButtonSize result{};
  for (size_t i = 0; i < CButtonBaseWidths.size(); ++i)
    result.Widths[i] = CButtonBaseWidths[i] * numerator / denominator;
  result.Height = captionTextHeight + 2 * buttonBorder;
  if (ovalButtons) result.Height = result.Height * 5 / 4;
  return result;
}

std::optional<TBoardsBarPlace> LayoutBoardsBar(int visibleBoards, int rows, int width,
                                               int buttonHeight, int border) {
  TGuard guard("LayoutBoardsBar");
  return guard.Run(std::optional<TBoardsBarPlace>(), [&] {
    if (visibleBoards < 10 || visibleBoards > 30)
      guard.Panic("Invalid visible boards number.", std::to_string(visibleBoards));
    rows = std::max(rows, 1);
    const int perRow = (visibleBoards + rows - 1) / rows;
    const int inner = width - 2 * border;
    const int buttonWidth = inner / perRow;
    TBoardsBarPlace place;
    place.Height = rows * buttonHeight + 2 * border;
    for (int board = 0; board < visibleBoards; ++board) {
      const int row = board / perRow;
      const int column = board % perRow;
      const bool lastInRow = column == perRow - 1 || board == visibleBoards - 1;
      const int left = column * buttonWidth;
      place.Buttons.push_back(Place(border + left, border + row * buttonHeight,
                                    lastInRow ? inner - left : buttonWidth, buttonHeight));
    }
    return std::optional(std::move(place));
  });
}

std::optional<TMainLayout> LayoutMainWindow(const TLayoutInput& input) {
  TGuard guard("LayoutMainWindow");
  return guard.Run(std::optional<TMainLayout>(), [&] {
    const TLayoutOptions& options = input.Options;
    const TLayoutMetrics& metrics = input.Metrics;
    const int clientWidth = input.Client.width();
    const int clientHeight = input.Client.height();
    TMainLayout layout;
    layout.Client = Place(0, 0, clientWidth, clientHeight);
    PlaceToolbar(input, layout);

    int top = layout.Toolbar.bottom() + 1;
    layout.BoardsBarShown = options.ShowBoardsBar;
    const std::optional<TBoardsBarPlace> boardsBar = LayoutBoardsBar(
        options.VisibleBoards, options.BoardsBarRows, clientWidth,
        metrics.CaptionTextHeight + 2 * metrics.ButtonBorder, metrics.BoardsBarBorder);
    guard.TakeOver();
    layout.BoardsBar = Place(0, top, clientWidth, boardsBar->Height);
    layout.BoardButtons = boardsBar->Buttons;
    if (layout.BoardsBarShown) top += layout.BoardsBar.height();

    layout.HintBarShown = options.ShowHintBar;
    const int hintHeight = metrics.HintTextHeight * options.HintLines + 2 * metrics.HintBarBorder;
    layout.HintBar = Place(0, clientHeight - hintHeight, clientWidth, hintHeight);
    const int bottom =
        PlaceInfoBars(input, layout.HintBarShown ? layout.HintBar.y() : clientHeight, layout);

    layout.WorkArea = Place(0, top, clientWidth, bottom - top);
    PlaceWorkArea(input, layout);
    if (!PlaceBoardArea(input, layout)) guard.TakeOver();
    return std::optional(std::move(layout));
  });
}

int ClampSidePanelWidth(int width, int clientWidth) {
  return std::min(std::max(width, CMinSidePanelWidth), clientWidth / 3);
}

std::optional<int> DragTreeSplitter(bool shown, int width, int dx, int clientWidth) {
  if (!shown) return std::nullopt;
  return ClampSidePanelWidth(width + dx, clientWidth);
}

std::optional<int> DragPlayListSplitter(bool shown, int width, int dx, int clientWidth) {
  if (!shown) return std::nullopt;
  return ClampSidePanelWidth(width - dx, clientWidth);
}

int LargestViewerHeight(int boardAreaInnerBottom, int firstRowBottom, int listBorder) {
  return std::max(0, boardAreaInnerBottom - firstRowBottom - 3 * listBorder);
}

int LimitViewerHeight(int height, int largestHeight) {
  return std::min(std::max(height, CMinViewerHeight), largestHeight);
}

int ClampViewerHeight(int height, int currentHeight, int largestHeight) {
  return LimitViewerHeight(height <= 0 ? currentHeight : height, largestHeight);
}

int DragViewerSplitter(int currentHeight, int dy, int largestHeight) {
  return LimitViewerHeight(currentHeight - dy, largestHeight);
}

std::string HintBarText(std::string_view hint) {
  const size_t bar = hint.find('|');
  return JoinLines(bar == std::string_view::npos ? hint : hint.substr(bar + 1));
}

std::string FindUserLogo(const std::string& directory) {
  TGuard guard("FindUserLogo");
  return guard.Run(std::string(), [&] {
    std::vector<std::string> names;
    const auto sink = [&](std::string_view name, const TFileInfo* info) {
      if (info != nullptr && (info->Attributes & faDirectory) == 0 &&
          MatchesNameFilter(name, "UserLogo;UserLogo.*"))
        names.emplace_back(name);
    };
    bool opened = false;
    const int error = ReadDirectory(directory, sink, &opened);
    // No options directory yet means no logo.
    if (error != 0 && !opened && error != ENOENT)
      guard.Raise("Failed to first find file.", IncludeDelimiter(directory) + "UserLogo.*", {},
                  static_cast<uint32_t>(error));
    if (names.empty()) return std::string();
    return IncludeDelimiter(directory) + *std::min_element(names.begin(), names.end());
  });
}

} // namespace cv
