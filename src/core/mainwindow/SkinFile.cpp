#include "mainwindow/SkinFile.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/MemoryStorage.h"
#include "foundation/Program.h"
#include "foundation/StoredTextList.h"
#include "foundation/Text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

constexpr auto FadeList = [] {
  std::array<int, 21> values{};
  for (size_t i = 0; i < values.size(); ++i)
    values[i] = static_cast<int>(i) * 5;
  return values;
}();
constexpr auto RotateList = [] {
  std::array<int, 73> values{};
  for (size_t i = 0; i < values.size(); ++i)
    values[i] = -180 + static_cast<int>(i) * 5;
  return values;
}();
constexpr std::array<int, 35> GammaList{1,   5,   10,  15,  20,  25,  30,  40,  50,  60,  70,  80,
                                        90,  100, 110, 120, 130, 140, 150, 160, 170, 180, 190, 200,
                                        250, 300, 350, 400, 450, 500, 600, 700, 800, 900, 1000};
constexpr std::array<int, 14> TranspList{0, 5, 10, 15, 20, 25, 30, 40, 50, 60, 70, 80, 90, 100};

constexpr TColor MaxColor = 0xFFFFFF;
constexpr int32_t MaxPictureTitle = 259;

// A key whose text is not one of the list's values reads as the first.
void ReadListInt(const TStoredTextList& list, std::string_view key, std::span<const int> values,
                 int& value) {
  const std::string* stored = list.Ini().Find(SkinMainSection, key);
  if (!stored) return;
  int32_t number = 0;
  const bool known = ParseStoredInt(*stored, number) &&
                     std::find(values.begin(), values.end(), number) != values.end();
  value = known ? number : values.front();
}

template <size_t N>
void ReadListText(const TStoredTextList& list, std::string_view key,
                  const std::array<std::string_view, N>& values, std::string& value) {
  const std::string* stored = list.Ini().Find(SkinMainSection, key);
  if (!stored) return;
  const auto found = std::find(values.begin(), values.end(), *stored);
  value = std::string(found != values.end() ? *found : values.front());
}

void ReadSkinColor(const TStoredTextList& list, std::string_view key, TColor& value) {
  TGuard guard("ReadSkinColor");
  guard.Run([&] {
    TColor read = value;
    list.ReadColor(SkinColorsSection, key, read);
    guard.TakeOver();
    // Only the three colour bytes mean anything; a higher value would paint
    // with whatever the high byte happens to say.
    if (read > MaxColor) {
      const std::string* stored = list.Ini().Find(SkinColorsSection, key);
      guard.Raise("Invalid color value.", stored ? *stored : std::string(),
                  std::string(SkinColorsSection) + "/" + std::string(key));
    }
    value = read;
  });
}

bool HasSkinExtension(std::string_view name) {
  return name.size() > SkinExtension.size() &&
         SameText(name.substr(name.size() - SkinExtension.size()), SkinExtension);
}

// Creates `title` with `data` unless something is there already; a failed
// write leaves nothing behind.
bool CreateNewFile(const std::string& title, const std::string& data, int* error) {
  const int fd = ::open(title.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  size_t written = 0;
  while (written < data.size()) {
    const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? errno : ENOSPC;
      break;
    }
    written += static_cast<size_t>(n);
  }
  if (written == data.size() && ::fsync(fd) != 0) *error = errno;
  const bool closed = ::close(fd) == 0;
  if (closed && written == data.size() && *error == 0) return true;
  if (*error == 0) *error = errno;
  ::unlink(title.c_str());
  return false;
}

} // namespace

std::span<const int> SkinFadeValues() {
  return FadeList;
}
std::span<const int> SkinRotateValues() {
  return RotateList;
}
std::span<const int> SkinGammaValues() {
  return GammaList;
}
std::span<const int> SkinTranspValues() {
  return TranspList;
}

std::string ResolveBackPictureTitle(const std::string& title, const std::string& backPictures) {
  if (!GetTitlePath(title).empty()) return title;
  return IncludeDelimiter(backPictures) + title;
}

void ReadSkin(const TStoredTextList& list, TSkinOptions& skin, bool fullLoad,
              const std::string& backPictures) {
  TGuard guard("TSkinForm::ReadSkin");
  guard.Run([&] {
    skin.SetDefaults(fullLoad);
    if (fullLoad) {
      const std::string_view main = SkinMainSection;
      list.ReadBool(main, "UseBackPicture", skin.UseBackPicture);
      list.ReadText(main, "BackPictureFileTitle", skin.BackPictureFileTitle, true, MaxPictureTitle);
      skin.BackPictureFileTitle = ResolveBackPictureTitle(skin.BackPictureFileTitle, backPictures);
      list.ReadBool(main, "StretchBackPicture", skin.StretchBackPicture);
      list.ReadBool(main, "FitBeforeTileBackPicture", skin.FitBeforeTileBackPicture);
      ReadListInt(list, "FadeBackPicture", FadeList, skin.FadeBackPicture);
      ReadListInt(list, "RotateRGBackPicture", RotateList, skin.RotateRGBackPicture);
      ReadListInt(list, "RotateGBBackPicture", RotateList, skin.RotateGBBackPicture);
      ReadListInt(list, "RotateBRBackPicture", RotateList, skin.RotateBRBackPicture);
      ReadListInt(list, "GammaBackPicture", GammaList, skin.GammaBackPicture);
      list.ReadBool(main, "TransparentColumns", skin.TransparentColumns);
      ReadListInt(list, "ControlMarginTransp", TranspList, skin.ControlMarginTransp);
      ReadListInt(list, "ControlBackTransp", TranspList, skin.ControlBackTransp);
      ReadListText(list, "ToolbarButtonsStyle", CToolbarButtonsStyles, skin.ToolbarButtonsStyle);
      ReadListText(list, "NonOvalButtonsStyle", CNonOvalButtonsStyles, skin.NonOvalButtonsStyle);
    }
    // One refused colour keeps its default; the others still read. The
    // first refusal is the one reported.
    for (const TSkinColorField& color : SkinColorFields) {
      ReadSkinColor(list, color.Key, skin.*color.Field);
      if (!guard.Failed())
        guard.Absorb();
      else
        FunStatContext.Reset(fsPerfect);
    }
  });
}

void WriteSkin(TStoredTextList& list, const TSkinOptions& skin, const std::string& backPictures) {
  const std::string_view main = SkinMainSection;
  list.WriteBool(main, "UseBackPicture", skin.UseBackPicture);
  std::string picture = skin.BackPictureFileTitle;
  if (SameText(GetTitlePath(picture), IncludeDelimiter(backPictures)))
    picture = GetTitleName(picture);
  list.WriteText(main, "BackPictureFileTitle", picture);
  list.WriteBool(main, "StretchBackPicture", skin.StretchBackPicture);
  list.WriteBool(main, "FitBeforeTileBackPicture", skin.FitBeforeTileBackPicture);
  list.WriteInt(main, "FadeBackPicture", skin.FadeBackPicture);
  list.WriteInt(main, "RotateRGBackPicture", skin.RotateRGBackPicture);
  list.WriteInt(main, "RotateGBBackPicture", skin.RotateGBBackPicture);
  list.WriteInt(main, "RotateBRBackPicture", skin.RotateBRBackPicture);
  list.WriteInt(main, "GammaBackPicture", skin.GammaBackPicture);
  list.WriteBool(main, "TransparentColumns", skin.TransparentColumns);
  list.WriteInt(main, "ControlMarginTransp", skin.ControlMarginTransp);
  list.WriteInt(main, "ControlBackTransp", skin.ControlBackTransp);
  list.WriteText(main, "ToolbarButtonsStyle", skin.ToolbarButtonsStyle);
  list.WriteText(main, "NonOvalButtonsStyle", skin.NonOvalButtonsStyle);
  for (const TSkinColorField& color : SkinColorFields)
    list.WriteColor(SkinColorsSection, color.Key, skin.*color.Field);
}

bool LoadSkinFile(const std::string& title, TSkinOptions& skin, bool fullLoad,
                  const std::string& backPictures) {
  TStoredTextList list;
  // A file that exists but cannot be read is shown by the load itself.
  if (!list.LoadFrom(title)) return false;
  TGuard guard("TSkinForm::ApplySkinFile");
  bool changed = false;
  guard.Run([&] {
    // A missing file would read as an empty list, that is as every default:
    // the current skin must stay as it is instead.
    if (!list.FileFound()) guard.Raise("Failed to load file.", title, {}, ENOENT);
    TSkinOptions loaded = skin;
    ReadSkin(list, loaded, fullLoad, backPictures);
    // A refused value kept its default; the rest of the file still applies.
    skin = loaded;
    changed = true;
    guard.TakeOver();
  });
  return changed;
}

bool SaveSkinFile(const std::string& title, const TSkinOptions& skin,
                  const std::string& backPictures) {
  TStoredTextList list;
  // Written from an emptied list: nothing of the file it replaces, nor of
  // any skin loaded before, comes along.
  list.OnSave = [&](TStoredTextList& saved) {
    saved.EraseAll();
    WriteSkin(saved, skin, backPictures);
  };
  return list.SaveAs(title, false);
}

std::string WithSkinExtension(const std::string& title) {
  if (!GetExtension(GetTitleName(title)).empty()) return title;
  return title + std::string(SkinExtension);
}

std::string ProposedSkinName(const TSkinOptions& skin) {
  const std::string name = GetStockColorName(skin.WindowBackColor);
  return name.empty() ? std::string("*") : name;
}

std::vector<std::string> ShippedSkinsPaths(const std::string& programPath) {
  const std::string path = IncludeDelimiter(programPath);
  return {path + "skins/", NormalizeTitle(path + "../share/corvantide/skins/")};
}

int CopyPredefinedSkins(const std::string& source, const std::string& skinsPath) {
  TGuard guard("CopyPredefinedSkins");
  int copied = 0;
  guard.Run([&] {
    DIR* dir = ::opendir(source.c_str());
    if (!dir) {
      if (errno == ENOENT) return;
      guard.Raise("Failed to open directory.", source, {}, static_cast<uint32_t>(errno));
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.front() != '.' && HasSkinExtension(name)) names.push_back(name);
    }
    ::closedir(dir);
    if (names.empty()) return;
    const std::string target =
        IncludeDelimiter(skinsPath) + std::string(PredefinedSkinsDirectory) + "/";
    if (!ForceDirectories(target))
      guard.Raise("Failed to create directory.", target, {}, static_cast<uint32_t>(errno));
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string to = target + name;
      struct stat st {};
      if (::lstat(to.c_str(), &st) == 0) continue;
      std::string data;
      int error = 0;
      if (ReadWholeFile(IncludeDelimiter(source) + name, data, &error) != TReadResult::Read)
        guard.Raise("Failed to read file.", IncludeDelimiter(source) + name, {},
                    static_cast<uint32_t>(error));
      error = 0;
      if (!CreateNewFile(to, data, &error)) {
        // Someone else made it meanwhile: theirs stays.
        if (error == EEXIST) continue;
        guard.Raise("Failed to write file.", to, {}, static_cast<uint32_t>(error));
      }
      ++copied;
    }
  });
  return copied;
}

} // namespace cv
