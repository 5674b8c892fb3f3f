#include "filesystem/Extensions.h"

#include "filesystem/File.h"
#include "foundation/StoredTextList.h"

#include <algorithm>
#include <sys/stat.h>

namespace cv {

TExtensionList ProgramFileExtensions;
TExtensionList DocumentFileExtensions;
TExtensionList AudioFileExtensions;
TExtensionList VideoFileExtensions;
TExtensionList TextFileExtensions;
TExtensionList PictureFileExtensions;

const char* const DefaultProgramExtensions = ".AppImage\n.run\n.sh";
const char* const DefaultDocumentExtensions =
    ".ace\n.ani\n.arj\n.art\n.asc\n.asf\n.avi\n.bkf\n.bmp\n.bpr\n.c\n.cab\n.cal\n.cda\n.cpp\n"
    ".crd\n.csv\n.cur\n.dhtml\n.dib\n.doc\n.dpr\n.dwg\n.dxf\n.emf\n.eml\n.gif\n.gz\n.h\n.hlp\n"
    ".hpj\n.hpp\n.htm\n.html\n.htt\n.ico\n.img\n.imp\n.iwz\n.jfif\n.jpg\n.jpe\n.jpeg\n.lha\n"
    ".lzh\n.mak\n.mid\n.midi\n.mov\n.mp3\n.mpa\n.mpeg\n.mpg\n.mpl\n.ogg\n.pas\n.pcx\n.pdf\n"
    ".pfx\n.pgp\n.plt\n.png\n.ppg\n.qt\n.rar\n.reg\n.rle\n.rmi\n.rtf\n.sda\n.sdw\n.sgi\n.shb\n"
    ".shtml\n.sig\n.snd\n.stc\n.sxw\n.sxd\n.tar\n.tga\n.theme\n.tif\n.tiff\n.txt\n.url\n.vqf\n"
    ".wav\n.wma\n.wmf\n.wmv\n.wp\n.wpd\n.wpg\n.wri\n.xab\n.xls\n.xml\n.z\n.zip";
// The media that players on this desktop meet most are there from the start.
const char* const DefaultAudioExtensions =
    ".flac\n.m4a\n.mid\n.midi\n.mp3\n.oga\n.ogg\n.opus\n.rmi\n.vqf\n.wav\n.wma";
const char* const DefaultVideoExtensions =
    ".ani\n.asf\n.avi\n.m4v\n.mkv\n.mov\n.mp4\n.mpa\n.mpeg\n.mpg\n.ogv\n.webm\n.wmv";
const char* const DefaultTextExtensions =
    ".bat\n.c\n.cpp\n.dfm\n.dsk\n.eml\n.cvs\n.h\n.hpp\n.htm\n.html\n.ini\n.js\n.log\n.pas\n"
    ".scf\n.theme\n.txt\n.url\n.vbs\n.xml\n.xhtm\n.xhtml";

namespace {

struct TStoredList {
  TExtensionList* List;
  const char* Section;
  const char* const* Default;
};

const TStoredList StoredLists[] = {
    {&ProgramFileExtensions, "ProgramExtensions", &DefaultProgramExtensions},
    {&DocumentFileExtensions, "DocumentExtensions", &DefaultDocumentExtensions},
    {&AudioFileExtensions, "Viewer_AudioExtensions", &DefaultAudioExtensions},
    {&VideoFileExtensions, "Viewer_VideoExtensions", &DefaultVideoExtensions},
    {&TextFileExtensions, "Viewer_TextExtensions", &DefaultTextExtensions},
};

std::string PatternsOf(const TExtensionList& list) {
  // An empty list must match nothing: an empty filter would match every name.
  if (list.Empty()) return ";";
  std::string patterns;
  for (const std::string& extension : list.List()) {
    if (!patterns.empty()) patterns += ';';
    patterns += '*' + extension;
  }
  return patterns;
}

} // namespace

bool TExtensionList::Contains(std::string_view extension) const {
  if (extension.empty()) return false;
  const std::string key = FoldAsciiCase(extension);
  return std::binary_search(Keys.begin(), Keys.end(), key);
}

void TExtensionList::Add(std::string_view extension) {
  if (extension.empty()) return;
  std::string key = FoldAsciiCase(extension);
  const auto place = std::lower_bound(Keys.begin(), Keys.end(), key);
  if (place != Keys.end() && *place == key) return;
  Items.insert(Items.begin() + (place - Keys.begin()), std::string(extension));
  Keys.insert(place, std::move(key));
}

bool TExtensionList::Delete(std::string_view extension) {
  const std::string key = FoldAsciiCase(extension);
  const auto found = std::lower_bound(Keys.begin(), Keys.end(), key);
  if (found == Keys.end() || *found != key) return false;
  Items.erase(Items.begin() + (found - Keys.begin()));
  Keys.erase(found);
  return true;
}

void TExtensionList::Clear() {
  Items.clear();
  Keys.clear();
}

void TExtensionList::SetList(const std::vector<std::string>& extensions) {
  Clear();
  for (const std::string& extension : extensions) Add(extension);
}

std::string TExtensionList::Text() const {
  std::string text;
  for (const std::string& item : Items) {
    if (!text.empty()) text += '\n';
    text += item;
  }
  return text;
}

void TExtensionList::SetText(std::string_view text) {
  Clear();
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    Add(line);
    pos = end + 1;
  }
}

bool IsExtensionInList(std::string_view title, const TExtensionList* list) {
  if (!list || list->Empty()) return false;
  return list->Contains(GetExtension(title));
}

bool IsExecutableRegularFile(std::string_view title) {
  // A relative name would be looked up in the working directory: not this file.
  if (title.empty() || title.front() != '/') return false;
  struct stat st {};
  return ::stat(std::string(title).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         (st.st_mode & 0111) != 0;
}

bool IsProgramFile(std::string_view title) {
  return IsExtensionInList(title, &ProgramFileExtensions) || IsExecutableRegularFile(title);
}

bool IsDocumentFile(std::string_view title) { return IsExtensionInList(title, &DocumentFileExtensions); }
bool IsPictureFile(std::string_view title) { return IsExtensionInList(title, &PictureFileExtensions); }
bool IsAudioFile(std::string_view title) { return IsExtensionInList(title, &AudioFileExtensions); }
bool IsVideoFile(std::string_view title) { return IsExtensionInList(title, &VideoFileExtensions); }
bool IsTextFile(std::string_view title) { return IsExtensionInList(title, &TextFileExtensions); }

bool IsLinkFile(std::string_view title) { return SameTextFolded(GetExtension(title), LinkFileExtension); }
bool IsLnkFile(std::string_view title) { return IsLinkFile(title); }

bool IsPlayListExtension(std::string_view extension) {
  return SameTextFolded(extension, PlayListExtension);
}

std::string ExpandNameFilter(std::string_view text) {
  if (text == "Text files") return PatternsOf(TextFileExtensions);
  if (text == "Picture files") return PatternsOf(PictureFileExtensions);
  if (text == "Video files") return PatternsOf(VideoFileExtensions);
  if (text == "Audio files") return PatternsOf(AudioFileExtensions);
  if (text == "No backup files") return "*.exe;*.dll;*.obj;*.tds;*.tmp";
  return std::string(text);
}

void LoadExtensionLists(const TStoredTextList& ini) {
  for (const TStoredList& stored : StoredLists) {
    std::vector<std::string> items;
    ini.ReadList(stored.Section, items, 0);
    stored.List->SetList(items);
    if (stored.List->Empty()) stored.List->SetText(*stored.Default);
  }
}

void SaveExtensionLists(TStoredTextList& ini) {
  for (const TStoredList& stored : StoredLists) ini.WriteList(stored.Section, stored.List->List());
}

} // namespace cv
