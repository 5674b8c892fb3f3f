#pragma once
// Skin files: named copies of the current skin kept as stored text lists
// (".cvs") in the skins directory. Loading copies a file's values into a
// skin; a file is written only on demand, always from an emptied list.

#include "mainwindow/SkinOptions.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

class TStoredTextList;

inline constexpr std::string_view SkinExtension = ".cvs";
inline constexpr std::string_view SkinMainSection = "Skin_Main";
inline constexpr std::string_view SkinColorsSection = "Skin_Colors";
// Where the copies of the shipped skins go, below the skins directory.
inline constexpr std::string_view PredefinedSkinsDirectory = "Predefined";

// The value lists of the editor; a stored value outside its list reads as
// the list's first value.
std::span<const int> SkinFadeValues();   // 0, 5, ... 100
std::span<const int> SkinRotateValues(); // -180, -175, ... 180
std::span<const int> SkinGammaValues();  // 1, 5, 10, ... 1000; 100 is none
std::span<const int> SkinTranspValues(); // 0, 5, ... 30, 40, ... 100

// A title without a directory part (the empty one too) lies in the
// background pictures directory.
std::string ResolveBackPictureTitle(const std::string& title, const std::string& backPictures);

// Reads a skin from `list` into `skin`: everything to its default first
// (only the colours unless `fullLoad`), then "Skin_Main" on a full load and
// "Skin_Colors" always. A missing key keeps the default; a colour that is
// not a stock name nor a number up to 0xFFFFFF keeps it too and fails in
// the status context (the first such failure), the rest still read.
void ReadSkin(const TStoredTextList& list, TSkinOptions& skin, bool fullLoad,
              const std::string& backPictures);
// Writes every field in key order; a picture directly in the background
// pictures directory is written by its bare name.
void WriteSkin(TStoredTextList& list, const TSkinOptions& skin, const std::string& backPictures);

// Loads the skin file `title` into `skin`. A file that is missing or cannot
// be read fails with the system's reason and leaves `skin` untouched; a
// file that reads is applied as it stands, even when some value was refused
// (that failure is reported too). True when the skin changed.
bool LoadSkinFile(const std::string& title, TSkinOptions& skin, bool fullLoad,
                  const std::string& backPictures);
// Writes `skin` into the file `title` (replacing it) from an emptied list,
// so nothing of any other file comes along.
bool SaveSkinFile(const std::string& title, const TSkinOptions& skin,
                  const std::string& backPictures);

// A name without an extension gets ".cvs".
std::string WithSkinExtension(const std::string& title);
// The name "Save as" proposes: the stock name of the window colour, or "*".
std::string ProposedSkinName(const TSkinOptions& skin);

// Where the program's own skins may lie, in order: beside the program (a
// build tree or a portable bundle), then the installed shared data.
std::vector<std::string> ShippedSkinsPaths(const std::string& programPath);
// Copies the skin files of `source` that `skinsPath`/Predefined/ lacks;
// files already there, the user's edits included, are left alone. Returns
// how many were copied; failures are reported in the status context.
int CopyPredefinedSkins(const std::string& source, const std::string& skinsPath);

} // namespace cv
