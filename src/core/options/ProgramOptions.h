#pragma once
// The program's settings record and the one table that describes every
// option: its key in "Corvantide.ini", its default, what loading accepts and
// where the options dialog shows it. Defaults, loading, saving and the
// dialog all walk that table, so an option is added in one place: a field
// here and a row in ProgramOptions.cpp.

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace cv {

class TStoredTextList;

class TProgramOptions {
public:
  // Every field starts at its row's default.
  TProgramOptions();
  void SetDefaults();

  // Section "Main".
  bool FirstRun;
  bool Autorun;
  bool SecureDoubleExtension;
  bool ShowUniversalFileTime;
  bool ClassicFileSize;
  bool ShowColumnInfo;
  bool ShowFileInfo;
  bool ShowSystemInfo;
  bool HotTrackColumnItems;
  bool UnderlineHotTrackItems;
  bool ShowBoardsBar;
  bool SynchronizeColumn;
  int VisibleBoards;
  int BoardsBarRows;
  bool ShowHintBar;
  int HintLines;
  bool ShowUserLogo;
  int UserLogoWidth;
  bool ShowTopLeftUserLogo;
  bool CenterToolbarButtons;
  bool ShowFileDesc;
  bool ShowReferenceInfo;
  int MaxPictureCacheSize;
  std::string CaptionFontName;
  int CaptionFontSize;
  bool ActivatePlugins;

  // Section "FileList".
  bool ShowGrid;
  bool ReloadChangedDirectories;
  bool ShowFilesGroup;
  bool DirsAtEnd;
  bool SeparateDirs;
  bool SeparateLinks;
  bool SeparateProgs;
  bool SeparateDocs;
  bool ShowFileType;
  bool ShowExtInType;
  int FileTypeWidth;
  bool SimulateFileType;
  int SimulateFileTypeWidth;
  int MaxThumbFileSize;
  bool HighQualityThumb;
  int SmartQualitySize;
  bool ShowWhileScrolling;
  bool NormalizeThumbWidth;
  int NormalizeThumbWidthTo;
  bool NormalizeThumbHeight;
  int NormalizeThumbHeightTo;
  std::string ItemsFontName;
  int ItemsFontSize;
  int ItemsExtraHeight;
  // What a column starts with when it has no state of its own (a new
  // board, a board file from before the per-column state).
  bool ShowHiddenFiles;

  // Section "MouseOperations".
  std::string LMBTypeOperation;
  std::string LMBNameOperation;
  std::string RMBTypeOperation;
  std::string RMBNameOperation;
  std::string MMBTypeOperation;
  std::string MMBNameOperation;
  std::string LMBDragTypeOperation;
  std::string LMBDragNameOperation;
  std::string RMBDragTypeOperation;
  std::string RMBDragNameOperation;
  std::string LMBColumnHeaderOperation;
  std::string RMBColumnHeaderOperation;
  std::string MMBColumnHeaderOperation;
  // Ctrl+click, Shift+click, Shift+arrows, Ctrl+A and a rubber band select
  // as on the desktop; off keeps the operations above for every click.
  bool DesktopSelection;

  // Section "MouseMenu2".
  bool MouseMenuActive;
  int MouseMenuTransparency;
  int MouseMenuSensitivity;
  int MouseMenuItemWidth;
  int MouseMenuItemExtraHeight;
  std::array<std::string, 12> MouseMenuOperation;

  // Section "FileHover".
  bool FileHoverActive;
  int FileHoverDelay;
  bool FileHoverPlayMedia;
  int FileHoverMediaStartShift;
  bool FileHoverShowVideoThumbnail;
  int FileHoverSensitivity;
  int FileHoverPictureWidth;
  int FileHoverPictureHeight;
  int FileHoverMovieWidth;
  int FileHoverMovieHeight;
  int FileHoverGenericWidth;

  // Section "Viewer": what the file viewer shows and how.
  bool ViewerFitSmallImages;
  bool ViewerTextWordWrap;
  int ViewerMaxTextSize;
  std::string ViewerFontName;
  int ViewerFontSize;
  bool ViewerFontBold;

  // Section "ViewerPlugins".
  std::array<bool, 3> ActivatePlugin;
  std::array<std::string, 3> PluginName;
};

extern TProgramOptions ProgramOptions;

// Operation names of the mouse, in the dialog's list order.
inline constexpr std::array<std::string_view, 20> CClickOperations{"Delete",
                                                                   "Edit",
                                                                   "Edit streams",
                                                                   "Edit streams (autoload)",
                                                                   "File menu",
                                                                   "None",
                                                                   "Properties",
                                                                   "Recycle file",
                                                                   "Recycle item",
                                                                   "Rename file",
                                                                   "Rename item",
                                                                   "Run",
                                                                   "Run maximized",
                                                                   "Set as background",
                                                                   "Set as wallpaper",
                                                                   "System menu",
                                                                   "Toggle down selection",
                                                                   "Toggle selection",
                                                                   "Toggle up selection",
                                                                   "View"};
// Accepted from the file, but not offered by the dialog.
inline constexpr std::string_view CHiddenDragOperation = "Copy as hard-link";
inline constexpr std::array<std::string_view, 14> CDragOperations{"Convert picture",
                                                                  "Copy",
                                                                  "Copy as link",
                                                                  "Drop-convert picture",
                                                                  "Drop-copy",
                                                                  "Drop-move",
                                                                  "Enter this directory",
                                                                  "File-drag menu",
                                                                  "Insert item",
                                                                  "Move",
                                                                  "None",
                                                                  "Set with source path",
                                                                  "System-drag menu",
                                                                  CHiddenDragOperation};
inline constexpr std::array<std::string_view, 5> CHeaderOperations{
    "Directory tree navigator dialog", "Enter parent directory", "Parent System menu",
    "Toggle fixed attribute", "Toggle thumbnails attribute"};

enum class TOptionsPage {
  None,
  General,
  Column,
  Viewer,
  MouseOperations,
  MouseMenu,
  Hover,
  Plugins
};

enum class TOptionKind {
  Bool,
  Int,
  Font,      // a font family name
  Text,      // free text (a plug-in's file name)
  Operation, // one of the row's names
};

using TBoolField = bool& (*)(TProgramOptions&);
using TIntField = int& (*)(TProgramOptions&);
using TTextField = std::string& (*)(TProgramOptions&);

struct TOptionRow {
  std::string_view Section;
  std::string_view Key;
  TOptionKind Kind = TOptionKind::Bool;
  std::variant<TBoolField, TIntField, TTextField> Field;
  int DefaultInt = 0; // Bool (0 or 1) and Int
  std::string_view DefaultText;
  // Loading keeps the default for an integer outside the range; without a
  // range, an integer outside the list takes the list's first value.
  bool HasRange = false;
  int Low = 0;
  int High = 0;
  std::span<const int> Values;             // Int: the dialog's list
  std::span<const std::string_view> Names; // Operation: what loading accepts
  int MaxLength = 0;                       // Font, Text
  bool AllowEmpty = false;                 // Font, Text
  TOptionsPage Page = TOptionsPage::None;
  std::string_view Group;   // the dialog's frame around related controls
  std::string_view Caption; // the control's caption in the dialog

  bool& Bool(TProgramOptions& o) const { return std::get<TBoolField>(Field)(o); }
  int& Int(TProgramOptions& o) const { return std::get<TIntField>(Field)(o); }
  std::string& Text(TProgramOptions& o) const { return std::get<TTextField>(Field)(o); }
  bool Bool(const TProgramOptions& o) const { return Bool(const_cast<TProgramOptions&>(o)); }
  int Int(const TProgramOptions& o) const { return Int(const_cast<TProgramOptions&>(o)); }
  const std::string& Text(const TProgramOptions& o) const {
    return Text(const_cast<TProgramOptions&>(o));
  }
  bool IsText() const { return std::holds_alternative<TTextField>(Field); }

  // What the dialog accepts for an integer: the range when there is one,
  // else membership of the list.
  bool Accepts(int value) const;
  // The limits the dialog's warning names.
  int Minimum() const;
  int Maximum() const;
};

// Rows in the order they are written to "Corvantide.ini".
std::span<const TOptionRow> ProgramOptionRows();
const TOptionRow* FindOptionRow(std::string_view section, std::string_view key);

// One row from the file: a missing or refused value keeps what is there.
void LoadOptionRow(const TStoredTextList& ini, const TOptionRow& row, TProgramOptions& options);
void SaveOptionRow(TStoredTextList& ini, const TOptionRow& row, const TProgramOptions& options);
void LoadProgramOptions(const TStoredTextList& ini, TProgramOptions& options);
// Writes every row; `FirstRun` is written as "FALSE" and becomes false.
void SaveProgramOptions(TStoredTextList& ini, TProgramOptions& options);

} // namespace cv
