#pragma once
// The program's settings record. Defaults are set here; the options file
// replaces them key by key when it loads.

#include <array>
#include <string>

namespace cv {

class TProgramOptions {
public:
  // Section "Main".
  bool FirstRun = true;
  bool Autorun = false;
  bool SecureDoubleExtension = true;
  bool ShowUniversalFileTime = false;
  bool ClassicFileSize = true;
  bool ShowColumnInfo = false;
  bool ShowFileInfo = false;
  bool ShowSystemInfo = false;
  bool HotTrackColumnItems = false;
  bool UnderlineHotTrackItems = true;
  bool ShowBoardsBar = false;
  bool SynchronizeColumn = false;
  int VisibleBoards = 10;
  int BoardsBarRows = 1;
  bool ShowHintBar = true;
  int HintLines = 3;
  bool ShowUserLogo = false;
  int UserLogoWidth = 100;
  bool ShowTopLeftUserLogo = false;
  bool CenterToolbarButtons = false;
  bool ShowFileDesc = false;
  bool ShowReferenceInfo = false;
  int MaxPictureCacheSize = 30000000;
  std::string CaptionFontName = "Arial";
  int CaptionFontSize = 9;
  bool ActivatePlugins = true;

  // Section "FileList".
  bool ShowGrid = false;
  bool ShowFilesGroup = true;
  bool DirsAtEnd = false;
  bool SeparateDirs = true;
  bool SeparateLinks = true;
  bool SeparateProgs = true;
  bool SeparateDocs = true;
  bool ShowFileType = false;
  bool ShowExtInType = false;
  int FileTypeWidth = 150;
  bool SimulateFileType = true;
  int SimulateFileTypeWidth = 120;
  int MaxThumbFileSize = 1000000;
  bool HighQualityThumb = false;
  int SmartQualitySize = 200;
  bool ShowWhileScrolling = false;
  bool NormalizeThumbWidth = false;
  int NormalizeThumbWidthTo = 100;
  bool NormalizeThumbHeight = false;
  int NormalizeThumbHeightTo = 100;
  std::string ItemsFontName = "Arial";
  int ItemsFontSize = 9;
  int ItemsExtraHeight = 4;

  // Section "MouseOperations".
  std::string LMBTypeOperation = "Run";
  std::string LMBNameOperation = "Run";
  std::string RMBTypeOperation = "System menu";
  std::string RMBNameOperation = "File menu";
  std::string MMBTypeOperation = "Edit";
  std::string MMBNameOperation = "Toggle selection";
  std::string LMBDragTypeOperation = "Set with source path";
  std::string LMBDragNameOperation = "File-drag menu";
  std::string RMBDragTypeOperation = "Drop-move";
  std::string RMBDragNameOperation = "Enter this directory";
  std::string LMBColumnHeaderOperation = "Enter parent directory";
  std::string RMBColumnHeaderOperation = "Parent System menu";
  std::string MMBColumnHeaderOperation = "Directory tree navigator dialog";

  // Section "MouseMenu2".
  bool MouseMenuActive = true;
  int MouseMenuTransparency = 0;
  int MouseMenuSensitivity = 5;
  int MouseMenuItemWidth = 80;
  int MouseMenuItemExtraHeight = 6;
  std::array<std::string, 12> MouseMenuOperation{
      "Toggle up selection", "Toggle down selection", "Toggle selection", "Properties",
      "Edit streams (autoload)", "Edit", "System menu", "View", "Delete", "Recycle item",
      "Rename file", "None"};

  // Section "FileHover".
  bool FileHoverActive = true;
  int FileHoverDelay = 5;
  bool FileHoverPlayMedia = true;
  int FileHoverMediaStartShift = 5;
  bool FileHoverShowVideoThumbnail = false;
  int FileHoverSensitivity = 10;
  int FileHoverPictureWidth = 250;
  int FileHoverPictureHeight = 8;
  int FileHoverMovieWidth = 250;
  int FileHoverMovieHeight = 8;
  int FileHoverGenericWidth = 150;

  // Section "ViewerPlugins".
  std::array<bool, 3> ActivatePlugin{false, false, false};
  std::array<std::string, 3> PluginName{"CV_PVP.so", "", ""};
};

extern TProgramOptions ProgramOptions;

} // namespace cv
