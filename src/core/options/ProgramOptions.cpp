#include "options/ProgramOptions.h"

#include "foundation/StoredTextList.h"

#include <algorithm>

namespace cv {

namespace {

// The dialogs' value lists.
template <int First, int Last, int Step, int... Then> constexpr auto Steps() {
  std::array<int, (Last - First) / Step + 1 + sizeof...(Then)> values{};
  size_t i = 0;
  for (int v = First; v <= Last; v += Step)
    values[i++] = v;
  ((values[i++] = Then), ...);
  return values;
}

template <size_t N, size_t M>
constexpr std::array<int, N + M> Join(const std::array<int, N>& a, const std::array<int, M>& b) {
  std::array<int, N + M> values{};
  for (size_t i = 0; i < N; ++i)
    values[i] = a[i];
  for (size_t i = 0; i < M; ++i)
    values[N + i] = b[i];
  return values;
}

constexpr std::array<int, 8> CVisibleBoards{10, 12, 15, 16, 20, 24, 25, 30};
constexpr auto CBoardsBarRows = Steps<1, 3, 1>();
constexpr auto CHintLines = Steps<1, 5, 1>();
constexpr std::array<int, 10> CUserLogoWidths{50, 75, 100, 125, 150, 200, 250, 300, 400, 500};
constexpr auto CCacheSizes = Steps<10000000, 100000000, 10000000>();
constexpr auto CFontSizes = Steps<8, 30, 1, 32, 35, 38, 40>();
constexpr auto CFileTypeWidths = Steps<100, 400, 25>();
constexpr auto CSimulatedTypeWidths = Join(Steps<100, 200, 10>(), Steps<225, 400, 25>());
constexpr std::array<int, 7> CThumbFileSizes{-1, 100000, 200000, 500000, 1000000, 1500000, 2000000};
constexpr auto CSmartQualitySizes =
    Join(Steps<-1, -1, 1>(), Join(Steps<100, 500, 50>(), Steps<600, 1000, 100>()));
constexpr std::array<int, 10> CThumbSizes{50, 75, 100, 125, 150, 200, 250, 300, 400, 500};
constexpr auto CExtraHeights = Steps<0, 30, 2, 36, 40, 46, 50>();
constexpr auto CTransparencies = Steps<0, 50, 5, 60, 70, 80, 90>();
constexpr auto CMenuSensitivities = Steps<3, 20, 1>();
constexpr std::array<int, 12> CMenuItemWidths{50,  60,  70,  80,  90,  100,
                                              120, 150, 200, 250, 300, 400};
constexpr auto CMenuExtraHeights = Steps<2, 20, 1>();
constexpr auto CHoverDelays = Steps<2, 10, 1, 12, 15>();
constexpr auto CMediaStartShifts =
    Join(Steps<0, 5, 1>(), Join(Steps<10, 30, 5>(), Steps<40, 90, 10, 95>()));
constexpr auto CHoverSensitivities = Steps<3, 10, 1, 15, 20>();
constexpr auto CHoverWidths = Join(Steps<50, 150, 10, 180, 200>(), Steps<250, 400, 50, 500>());
constexpr auto CHoverHeights = Steps<1, 10, 1, 12, 15, 18, 20>();
constexpr std::array<int, 7> CMaxTextSizes{-1, 10000, 50000, 100000, 200000, 500000, 1000000};

template <auto Member> bool& BoolOf(TProgramOptions& o) {
  return o.*Member;
}
template <auto Member> int& IntOf(TProgramOptions& o) {
  return o.*Member;
}
template <auto Member> std::string& TextOf(TProgramOptions& o) {
  return o.*Member;
}
template <auto Member, size_t I> auto& ItemOf(TProgramOptions& o) {
  return (o.*Member)[I];
}

using P = TProgramOptions;
using enum TOptionsPage;

constexpr TOptionRow Flag(std::string_view section, std::string_view key, TBoolField field,
                          bool defaultValue, TOptionsPage page = None, std::string_view group = {},
                          std::string_view caption = {}) {
  return {.Section = section,
          .Key = key,
          .Kind = TOptionKind::Bool,
          .Field = field,
          .DefaultInt = defaultValue ? 1 : 0,
          .Page = page,
          .Group = group,
          .Caption = caption};
}

// An integer checked against a range on load and in the dialog.
constexpr TOptionRow Ranged(std::string_view section, std::string_view key, TIntField field,
                            int defaultValue, int low, int high, std::span<const int> values,
                            TOptionsPage page, std::string_view group, std::string_view caption) {
  return {.Section = section,
          .Key = key,
          .Kind = TOptionKind::Int,
          .Field = field,
          .DefaultInt = defaultValue,
          .HasRange = true,
          .Low = low,
          .High = high,
          .Values = values,
          .Page = page,
          .Group = group,
          .Caption = caption};
}

// An integer that must be one of its list.
constexpr TOptionRow Listed(std::string_view section, std::string_view key, TIntField field,
                            int defaultValue, std::span<const int> values, TOptionsPage page,
                            std::string_view group, std::string_view caption) {
  return {.Section = section,
          .Key = key,
          .Kind = TOptionKind::Int,
          .Field = field,
          .DefaultInt = defaultValue,
          .Values = values,
          .Page = page,
          .Group = group,
          .Caption = caption};
}

constexpr TOptionRow Font(std::string_view section, std::string_view key, TTextField field,
                          TOptionsPage page, std::string_view group, std::string_view caption) {
  return {.Section = section,
          .Key = key,
          .Kind = TOptionKind::Font,
          .Field = field,
          .DefaultText = "Arial",
          .MaxLength = 31,
          .AllowEmpty = false,
          .Page = page,
          .Group = group,
          .Caption = caption};
}

constexpr TOptionRow Operation(std::string_view key, TTextField field,
                               std::string_view defaultValue,
                               std::span<const std::string_view> names, TOptionsPage page,
                               std::string_view group, std::string_view caption,
                               std::string_view section = "MouseOperations") {
  return {.Section = section,
          .Key = key,
          .Kind = TOptionKind::Operation,
          .Field = field,
          .DefaultText = defaultValue,
          .Names = names,
          .MaxLength = 31,
          .Page = page,
          .Group = group,
          .Caption = caption};
}

constexpr TOptionRow PluginSlot(std::string_view key, TTextField field,
                                std::string_view defaultValue, std::string_view group) {
  return {.Section = "ViewerPlugins",
          .Key = key,
          .Kind = TOptionKind::Text,
          .Field = field,
          .DefaultText = defaultValue,
          .MaxLength = 259,
          .AllowEmpty = true,
          .Page = Plugins,
          .Group = group,
          .Caption = "Plugin"};
}

constexpr std::string_view CBoardsBar = "Boards bar";
constexpr std::string_view CHintBar = "Hint bar";
constexpr std::string_view CInfoBars = "Information bars";
constexpr std::string_view CToolbar = "Toolbar and caption";
constexpr std::string_view CProgram = "Program";
constexpr std::string_view CGroups = "Groups";
constexpr std::string_view CItems = "Items";
constexpr std::string_view CTypeField = "File type field";
constexpr std::string_view CThumbs = "Thumbnails";
constexpr std::string_view CTextViewer = "Text and pictures";
constexpr std::string_view CItemOps = "Items";
constexpr std::string_view CDragOps = "Dragging between columns";
constexpr std::string_view CHeaderOps = "Column header";
constexpr std::string_view CDesktopSelection = "Selection";
constexpr std::string_view CMenu = "Mouse menu";
constexpr std::string_view CMenuCells = "Operations of the cells";
constexpr std::string_view CHover = "Hover window";
constexpr std::string_view CHoverSizes = "Sizes";
constexpr std::string_view CPlugins = "Plugins";

constexpr TOptionRow CRows[] = {
    // "Main"
    Flag("Main", "FirstRun", BoolOf<&P::FirstRun>, true),
    Flag("Main", "Autorun", BoolOf<&P::Autorun>, false, General, CProgram,
         "Start with the system (autorun)"),
    Flag("Main", "SecureDoubleExtension", BoolOf<&P::SecureDoubleExtension>, true, General,
         CProgram, "Secure double extension"),
    Flag("Main", "ShowUniversalFileTime", BoolOf<&P::ShowUniversalFileTime>, false, General,
         CProgram, "Show universal file time"),
    Flag("Main", "ClassicFileSize", BoolOf<&P::ClassicFileSize>, true, General, CProgram,
         "Classic file size"),
    Flag("Main", "ShowColumnInfo", BoolOf<&P::ShowColumnInfo>, false, General, CInfoBars,
         "Show active column information"),
    Flag("Main", "ShowFileInfo", BoolOf<&P::ShowFileInfo>, false, General, CInfoBars,
         "Show active file information"),
    Flag("Main", "ShowSystemInfo", BoolOf<&P::ShowSystemInfo>, false, General, CToolbar,
         "Show system information in caption"),
    Flag("Main", "HotTrackColumnItems", BoolOf<&P::HotTrackColumnItems>, false, Column, CItems,
         "Hot-track column items"),
    Flag("Main", "UnderlineHotTrackItems", BoolOf<&P::UnderlineHotTrackItems>, true, Column, CItems,
         "Underline hot-track items (else bold)"),
    Flag("Main", "ShowBoardsBar", BoolOf<&P::ShowBoardsBar>, false, General, CBoardsBar,
         "Show boards bar"),
    Flag("Main", "SynchronizeColumn", BoolOf<&P::SynchronizeColumn>, false, General, CProgram,
         "Synchronize active column with the tree navigator"),
    Ranged("Main", "VisibleBoards", IntOf<&P::VisibleBoards>, 10, 10, 30, CVisibleBoards, General,
           CBoardsBar, "Buttons"),
    Ranged("Main", "BoardsBarRows", IntOf<&P::BoardsBarRows>, 1, 1, 5, CBoardsBarRows, General,
           CBoardsBar, "Rows"),
    Flag("Main", "ShowHintBar", BoolOf<&P::ShowHintBar>, true, General, CHintBar, "Show hint bar"),
    Ranged("Main", "HintLines", IntOf<&P::HintLines>, 3, 1, 5, CHintLines, General, CHintBar,
           "Lines"),
    Flag("Main", "ShowUserLogo", BoolOf<&P::ShowUserLogo>, false, General, CToolbar,
         "Show user logo"),
    Ranged("Main", "UserLogoWidth", IntOf<&P::UserLogoWidth>, 100, 50, 500, CUserLogoWidths,
           General, CToolbar, "Logo width (% of toolbar height)"),
    Flag("Main", "ShowTopLeftUserLogo", BoolOf<&P::ShowTopLeftUserLogo>, false, General, CToolbar,
         "User logo at top-left"),
    Flag("Main", "CenterToolbarButtons", BoolOf<&P::CenterToolbarButtons>, false, General, CToolbar,
         "Center toolbar buttons"),
    Flag("Main", "ShowFileDesc", BoolOf<&P::ShowFileDesc>, false, General, CInfoBars,
         "Show file description"),
    Flag("Main", "ShowReferenceInfo", BoolOf<&P::ShowReferenceInfo>, false, General, CInfoBars,
         "Show active reference information"),

    // "MouseOperations"
    Operation("LMBTypeOperation", TextOf<&P::LMBTypeOperation>, "Run", CClickOperations,
              MouseOperations, CItemOps, "[LMB] on file type"),
    Operation("LMBNameOperation", TextOf<&P::LMBNameOperation>, "Run", CClickOperations,
              MouseOperations, CItemOps, "[Double LMB] on file name"),
    Operation("RMBTypeOperation", TextOf<&P::RMBTypeOperation>, "System menu", CClickOperations,
              MouseOperations, CItemOps, "[RMB] on file type"),
    Operation("RMBNameOperation", TextOf<&P::RMBNameOperation>, "File menu", CClickOperations,
              MouseOperations, CItemOps, "[RMB] on file name"),
    Operation("MMBTypeOperation", TextOf<&P::MMBTypeOperation>, "Edit", CClickOperations,
              MouseOperations, CItemOps, "[MMB] on file type"),
    Operation("MMBNameOperation", TextOf<&P::MMBNameOperation>, "Toggle selection",
              CClickOperations, MouseOperations, CItemOps, "[MMB] on file name"),
    Operation("LMBDragTypeOperation", TextOf<&P::LMBDragTypeOperation>, "Set with source path",
              CDragOperations, MouseOperations, CDragOps, "[LMB + Drag] on file type"),
    Operation("LMBDragNameOperation", TextOf<&P::LMBDragNameOperation>, "File-drag menu",
              CDragOperations, MouseOperations, CDragOps, "[LMB + Drag] on file name"),
    Operation("RMBDragTypeOperation", TextOf<&P::RMBDragTypeOperation>, "Drop-move",
              CDragOperations, MouseOperations, CDragOps, "[RMB + Drag] on file type"),
    Operation("RMBDragNameOperation", TextOf<&P::RMBDragNameOperation>, "Enter this directory",
              CDragOperations, MouseOperations, CDragOps, "[RMB + Drag] on file name"),
    Operation("LMBColumnHeaderOperation", TextOf<&P::LMBColumnHeaderOperation>,
              "Enter parent directory", CHeaderOperations, MouseOperations, CHeaderOps,
              "[LMB] on column header"),
    Operation("RMBColumnHeaderOperation", TextOf<&P::RMBColumnHeaderOperation>,
              "Parent System menu", CHeaderOperations, MouseOperations, CHeaderOps,
              "[RMB] on column header"),
    Operation("MMBColumnHeaderOperation", TextOf<&P::MMBColumnHeaderOperation>,
              "Directory tree navigator dialog", CHeaderOperations, MouseOperations, CHeaderOps,
              "[MMB] on column header"),
    Flag("MouseOperations", "DesktopSelection", BoolOf<&P::DesktopSelection>, false,
         MouseOperations, CDesktopSelection,
         "Desktop selection (Ctrl/Shift+click, Shift+arrows, Ctrl+A, rubber band)"),

    // "MouseMenu2"
    Flag("MouseMenu2", "MouseMenuActive", BoolOf<&P::MouseMenuActive>, true, MouseMenu, CMenu,
         "Mouse menu active"),
    Ranged("MouseMenu2", "MouseMenuTransparency", IntOf<&P::MouseMenuTransparency>, 0, 0, 100,
           CTransparencies, MouseMenu, CMenu, "Transparency (%)"),
    Ranged("MouseMenu2", "MouseMenuSensitivity", IntOf<&P::MouseMenuSensitivity>, 5, 3, 20,
           CMenuSensitivities, MouseMenu, CMenu, "Sensitivity (pixels)"),
    Ranged("MouseMenu2", "MouseMenuItemWidth", IntOf<&P::MouseMenuItemWidth>, 80, 50, 400,
           CMenuItemWidths, MouseMenu, CMenu, "Item width (pixels)"),
    Ranged("MouseMenu2", "MouseMenuItemExtraHeight", IntOf<&P::MouseMenuItemExtraHeight>, 6, 2, 20,
           CMenuExtraHeights, MouseMenu, CMenu, "Item extra height (pixels)"),
    Operation("MouseMenuOperation1", ItemOf<&P::MouseMenuOperation, 0>, "Toggle up selection",
              CClickOperations, MouseMenu, CMenuCells, "Cell 1 (top-left)", "MouseMenu2"),
    Operation("MouseMenuOperation2", ItemOf<&P::MouseMenuOperation, 1>, "Toggle down selection",
              CClickOperations, MouseMenu, CMenuCells, "Cell 2 (top-right)", "MouseMenu2"),
    Operation("MouseMenuOperation3", ItemOf<&P::MouseMenuOperation, 2>, "Toggle selection",
              CClickOperations, MouseMenu, CMenuCells, "Cell 3", "MouseMenu2"),
    Operation("MouseMenuOperation4", ItemOf<&P::MouseMenuOperation, 3>, "Properties",
              CClickOperations, MouseMenu, CMenuCells, "Cell 4", "MouseMenu2"),
    Operation("MouseMenuOperation5", ItemOf<&P::MouseMenuOperation, 4>, "Edit streams (autoload)",
              CClickOperations, MouseMenu, CMenuCells, "Cell 5", "MouseMenu2"),
    Operation("MouseMenuOperation6", ItemOf<&P::MouseMenuOperation, 5>, "Edit", CClickOperations,
              MouseMenu, CMenuCells, "Cell 6", "MouseMenu2"),
    Operation("MouseMenuOperation7", ItemOf<&P::MouseMenuOperation, 6>, "System menu",
              CClickOperations, MouseMenu, CMenuCells, "Cell 7", "MouseMenu2"),
    Operation("MouseMenuOperation8", ItemOf<&P::MouseMenuOperation, 7>, "View", CClickOperations,
              MouseMenu, CMenuCells, "Cell 8", "MouseMenu2"),
    Operation("MouseMenuOperation9", ItemOf<&P::MouseMenuOperation, 8>, "Delete", CClickOperations,
              MouseMenu, CMenuCells, "Cell 9", "MouseMenu2"),
    Operation("MouseMenuOperation10", ItemOf<&P::MouseMenuOperation, 9>, "Recycle item",
              CClickOperations, MouseMenu, CMenuCells, "Cell 10", "MouseMenu2"),
    Operation("MouseMenuOperation11", ItemOf<&P::MouseMenuOperation, 10>, "Rename file",
              CClickOperations, MouseMenu, CMenuCells, "Cell 11 (bottom-left)", "MouseMenu2"),
    Operation("MouseMenuOperation12", ItemOf<&P::MouseMenuOperation, 11>, "None", CClickOperations,
              MouseMenu, CMenuCells, "Cell 12 (bottom-right)", "MouseMenu2"),

    // "FileHover"
    Flag("FileHover", "Active", BoolOf<&P::FileHoverActive>, true, Hover, CHover,
         "Hover window active"),
    Listed("FileHover", "Delay", IntOf<&P::FileHoverDelay>, 5, CHoverDelays, Hover, CHover,
           "Delay (tenths of a second)"),
    Flag("FileHover", "PlayMedia", BoolOf<&P::FileHoverPlayMedia>, true, Hover, CHover,
         "Play media files"),
    Listed("FileHover", "MediaStartShift", IntOf<&P::FileHoverMediaStartShift>, 5,
           CMediaStartShifts, Hover, CHover, "Media start position (% of length)"),
    Flag("FileHover", "ShowVideoThumbnail", BoolOf<&P::FileHoverShowVideoThumbnail>, false, Hover,
         CHover, "Show a thumbnail for video files"),
    Listed("FileHover", "Sensitivity", IntOf<&P::FileHoverSensitivity>, 10, CHoverSensitivities,
           Hover, CHover, "Sensitivity (pixels)"),
    Listed("FileHover", "PictureWidth", IntOf<&P::FileHoverPictureWidth>, 250, CHoverWidths, Hover,
           CHoverSizes, "Picture and text width (pixels)"),
    Listed("FileHover", "PictureHeight", IntOf<&P::FileHoverPictureHeight>, 8, CHoverHeights, Hover,
           CHoverSizes, "Picture height (items)"),
    Listed("FileHover", "MovieWidth", IntOf<&P::FileHoverMovieWidth>, 250, CHoverWidths, Hover,
           CHoverSizes, "Movie width (pixels)"),
    Listed("FileHover", "MovieHeight", IntOf<&P::FileHoverMovieHeight>, 8, CHoverHeights, Hover,
           CHoverSizes, "Movie height (items)"),
    Listed("FileHover", "GenericWidth", IntOf<&P::FileHoverGenericWidth>, 150, CHoverWidths, Hover,
           CHoverSizes, "Other files width (pixels)"),

    // "Viewer"
    Flag("Viewer", "FitSmallImages", BoolOf<&P::ViewerFitSmallImages>, false, Viewer, CTextViewer,
         "Fit small images"),
    Flag("Viewer", "TextWordWrap", BoolOf<&P::ViewerTextWordWrap>, true, Viewer, CTextViewer,
         "Word wrap text"),
    Ranged("Viewer", "MaxTextSize", IntOf<&P::ViewerMaxTextSize>, 100000, -1, 1000000,
           CMaxTextSizes, Viewer, CTextViewer, "Largest text file (bytes, -1 = no limit)"),
    Font("Viewer", "FontName", TextOf<&P::ViewerFontName>, Viewer, CTextViewer, "Text font"),
    Ranged("Viewer", "FontSize", IntOf<&P::ViewerFontSize>, 9, 8, 40, CFontSizes, Viewer,
           CTextViewer, "Text font size"),
    Flag("Viewer", "FontBold", BoolOf<&P::ViewerFontBold>, false, Viewer, CTextViewer,
         "Bold text font"),

    // "FileList", with three "Main" keys after SimulateFileTypeWidth
    Flag("FileList", "ShowGrid", BoolOf<&P::ShowGrid>, false, Column, CItems, "Show grid"),
    Flag("FileList", "ShowFilesGroup", BoolOf<&P::ShowFilesGroup>, true, Column, CGroups,
         "Show files group"),
    Flag("FileList", "DirsAtEnd", BoolOf<&P::DirsAtEnd>, false, Column, CGroups,
         "Directories at end"),
    Flag("FileList", "SeparateDirs", BoolOf<&P::SeparateDirs>, true, Column, CGroups,
         "Separate directories"),
    Flag("FileList", "SeparateLinks", BoolOf<&P::SeparateLinks>, true, Column, CGroups,
         "Separate links"),
    Flag("FileList", "SeparateProgs", BoolOf<&P::SeparateProgs>, true, Column, CGroups,
         "Separate programs"),
    Flag("FileList", "SeparateDocs", BoolOf<&P::SeparateDocs>, true, Column, CGroups,
         "Separate documents"),
    Flag("FileList", "ShowFileType", BoolOf<&P::ShowFileType>, false, Column, CTypeField,
         "Show file type"),
    Flag("FileList", "ShowExtInType", BoolOf<&P::ShowExtInType>, false, Column, CTypeField,
         "Show extension in file type"),
    Ranged("FileList", "FileTypeWidth", IntOf<&P::FileTypeWidth>, 150, 100, 400, CFileTypeWidths,
           Column, CTypeField, "File type width (% of item height)"),
    Flag("FileList", "SimulateFileType", BoolOf<&P::SimulateFileType>, true, Column, CTypeField,
         "Simulate file type area when hidden"),
    Listed("FileList", "SimulateFileTypeWidth", IntOf<&P::SimulateFileTypeWidth>, 120,
           CSimulatedTypeWidths, Column, CTypeField, "Simulated width (% of item height)"),
    Listed("Main", "MaxPictureCacheSize", IntOf<&P::MaxPictureCacheSize>, 30000000, CCacheSizes,
           Viewer, CThumbs, "Picture cache size (bytes)"),
    Font("Main", "CaptionFontName", TextOf<&P::CaptionFontName>, General, CInfoBars,
         "Information bars font"),
    Listed("Main", "CaptionFontSize", IntOf<&P::CaptionFontSize>, 9, CFontSizes, General, CInfoBars,
           "Information bars font size"),
    Ranged("FileList", "MaxThumbFileSize", IntOf<&P::MaxThumbFileSize>, 1000000, -1, 2000000,
           CThumbFileSizes, Viewer, CThumbs, "Largest file with thumbnail (bytes, -1 = no limit)"),
    Flag("FileList", "HighQualityThumb", BoolOf<&P::HighQualityThumb>, false, Viewer, CThumbs,
         "High quality thumbnails"),
    Listed("FileList", "SmartQualitySize", IntOf<&P::SmartQualitySize>, 200, CSmartQualitySizes,
           Viewer, CThumbs, "Smart quality from (pixels, -1 = never)"),
    Flag("FileList", "ShowWhileScrolling", BoolOf<&P::ShowWhileScrolling>, false, Viewer, CThumbs,
         "Build thumbnails while scrolling"),
    Flag("FileList", "NormalizeThumbWidth", BoolOf<&P::NormalizeThumbWidth>, false, Viewer, CThumbs,
         "Normalize thumb width to"),
    Ranged("FileList", "NormalizeThumbWidthTo", IntOf<&P::NormalizeThumbWidthTo>, 100, 50, 10000,
           CThumbSizes, Viewer, CThumbs, "Thumb width (pixels)"),
    Flag("FileList", "NormalizeThumbHeight", BoolOf<&P::NormalizeThumbHeight>, false, Viewer,
         CThumbs, "Normalize thumb height to"),
    Ranged("FileList", "NormalizeThumbHeightTo", IntOf<&P::NormalizeThumbHeightTo>, 100, 50, 10000,
           CThumbSizes, Viewer, CThumbs, "Thumb height (pixels)"),
    Font("FileList", "ItemsFontName", TextOf<&P::ItemsFontName>, Column, CItems, "Items font"),
    Listed("FileList", "ItemsFontSize", IntOf<&P::ItemsFontSize>, 9, CFontSizes, Column, CItems,
           "Items font size"),
    Listed("FileList", "ItemsExtraHeight", IntOf<&P::ItemsExtraHeight>, 4, CExtraHeights, Column,
           CItems, "Items extra height (pixels)"),
    Flag("FileList", "ReloadChangedDirectories", BoolOf<&P::ReloadChangedDirectories>, true, Column,
         CItems, "Reload changed directories"),
    Flag("FileList", "ShowHiddenFiles", BoolOf<&P::ShowHiddenFiles>, false, Column, CItems,
         "Show hidden files in new columns"),

    // "Main", then "ViewerPlugins"
    Flag("Main", "ActivatePlugins", BoolOf<&P::ActivatePlugins>, true, Plugins, CPlugins,
         "Use viewer plugins"),
    Flag("ViewerPlugins", "Activate0", ItemOf<&P::ActivatePlugin, 0>, false, Plugins, "Slot 1",
         "Activate plugin"),
    PluginSlot("Name0", ItemOf<&P::PluginName, 0>, "CV_PVP.so", "Slot 1"),
    Flag("ViewerPlugins", "Activate1", ItemOf<&P::ActivatePlugin, 1>, false, Plugins, "Slot 2",
         "Activate plugin"),
    PluginSlot("Name1", ItemOf<&P::PluginName, 1>, "", "Slot 2"),
    Flag("ViewerPlugins", "Activate2", ItemOf<&P::ActivatePlugin, 2>, false, Plugins, "Slot 3",
         "Activate plugin"),
    PluginSlot("Name2", ItemOf<&P::PluginName, 2>, "", "Slot 3"),
};

} // namespace

TProgramOptions ProgramOptions;

TProgramOptions::TProgramOptions() {
  SetDefaults();
}

void TProgramOptions::SetDefaults() {
  for (const TOptionRow& row : CRows) {
    if (row.IsText())
      row.Text(*this) = std::string(row.DefaultText);
    else if (row.Kind == TOptionKind::Bool)
      row.Bool(*this) = row.DefaultInt != 0;
    else
      row.Int(*this) = row.DefaultInt;
  }
}

bool TOptionRow::Accepts(int value) const {
  if (HasRange) return value >= Low && value <= High;
  return std::find(Values.begin(), Values.end(), value) != Values.end();
}

int TOptionRow::Minimum() const {
  if (HasRange || Values.empty()) return Low;
  return *std::min_element(Values.begin(), Values.end());
}

int TOptionRow::Maximum() const {
  if (HasRange || Values.empty()) return High;
  return *std::max_element(Values.begin(), Values.end());
}

std::span<const TOptionRow> ProgramOptionRows() {
  return CRows;
}

const TOptionRow* FindOptionRow(std::string_view section, std::string_view key) {
  for (const TOptionRow& row : CRows)
    if (FoldIniName(row.Section) == FoldIniName(section) &&
        FoldIniName(row.Key) == FoldIniName(key))
      return &row;
  return nullptr;
}

void LoadOptionRow(const TStoredTextList& ini, const TOptionRow& row, TProgramOptions& options) {
  switch (row.Kind) {
  case TOptionKind::Bool:
    ini.ReadBool(row.Section, row.Key, row.Bool(options));
    return;
  case TOptionKind::Int: {
    int& value = row.Int(options);
    if (row.HasRange) {
      ini.ReadInt(row.Section, row.Key, value, row.High, row.Low);
      return;
    }
    int32_t stored = 0;
    const std::string* text = ini.Ini().Find(row.Section, row.Key);
    if (!text || !ParseStoredInt(*text, stored)) return;
    value = row.Accepts(stored) ? stored : row.Values.front();
    return;
  }
  case TOptionKind::Font:
  case TOptionKind::Text:
    ini.ReadText(row.Section, row.Key, row.Text(options), row.AllowEmpty, row.MaxLength);
    return;
  case TOptionKind::Operation: {
    // A name this program does not know keeps the default: the first name
    // of the list would turn a plain click into "Delete".
    const std::string* text = ini.Ini().Find(row.Section, row.Key);
    if (text && std::find(row.Names.begin(), row.Names.end(), *text) != row.Names.end())
      row.Text(options) = *text;
    return;
  }
  }
}

void SaveOptionRow(TStoredTextList& ini, const TOptionRow& row, const TProgramOptions& options) {
  switch (row.Kind) {
  case TOptionKind::Bool:
    ini.WriteBool(row.Section, row.Key, row.Bool(options));
    return;
  case TOptionKind::Int:
    ini.WriteInt(row.Section, row.Key, row.Int(options));
    return;
  case TOptionKind::Font:
  case TOptionKind::Text:
  case TOptionKind::Operation:
    ini.WriteText(row.Section, row.Key, row.Text(options));
    return;
  }
}

void LoadProgramOptions(const TStoredTextList& ini, TProgramOptions& options) {
  for (const TOptionRow& row : CRows)
    LoadOptionRow(ini, row, options);
}

void SaveProgramOptions(TStoredTextList& ini, TProgramOptions& options) {
  options.FirstRun = false;
  for (const TOptionRow& row : CRows)
    SaveOptionRow(ini, row, options);
}

} // namespace cv
