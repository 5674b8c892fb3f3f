#include "security/FileStreamsEditor.h"

#include "filesystem/File.h"
#include "filesystem/FileStreams.h"
#include "filesystem/Links.h"
#include "foundation/Guard.h"
#include "foundation/Text.h"
#include "security/PasswordGenerator.h"

#include <algorithm>
#include <cerrno>

namespace cv {

const char* const BinaryStreamText =
    "This stream contains binary data. You can't edit the data because some of it would be lost "
    "during saving.";
const char* const StreamTooBigText = "Stream too big for this file system.";
const char* const MainShadowedText =
    "A secondary stream with the same name as the main stream already exists.\nYou can't access "
    "the secondary stream with that name, but only the main stream.";

namespace {

bool IsMain(const std::string& name) {
  return name == MainStreamName;
}

// The name the stream functions know: the main stream's is empty.
std::string InternalName(const std::string& name) {
  return IsMain(name) ? std::string() : name;
}

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

} // namespace

bool IsEditableText(std::string_view data) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c == 0) return false;
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    uint32_t low = 0;
    uint32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2, low = 0x80, code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3, low = 0x800, code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, low = 0x10000, code = c & 0x07;
    } else {
      return false;
    }
    if (i + length > n) return false;
    for (size_t k = 1; k < length; ++k) {
      if (!IsContinuation(p[i + k])) return false;
      code = (code << 6) | (p[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and values past the last code point.
    if (code < low || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
    i += length;
  }
  return true;
}

TLineEnd DetectLineEnd(std::string_view data) {
  const size_t lf = data.find('\n');
  return lf != std::string_view::npos && lf > 0 && data[lf - 1] == '\r' ? TLineEnd::CrLf
                                                                        : TLineEnd::Lf;
}

std::string ToEditorText(std::string_view data, TLineEnd lineEnd) {
  if (lineEnd == TLineEnd::Lf) return std::string(data);
  std::string text;
  text.reserve(data.size());
  for (size_t i = 0; i < data.size(); ++i)
    if (!(data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')) text += data[i];
  return text;
}

std::string FromEditorText(std::string_view text, TLineEnd lineEnd) {
  if (lineEnd == TLineEnd::Lf) return std::string(text);
  std::string data;
  data.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') data += '\r';
    data += c;
  }
  return data;
}

std::string StreamsEditorCaption(const std::string& title) {
  return "File streams editor - \"" + GetTitleName(title) + "\" (in \"" +
         ExcludeDelimiter(GetTitlePath(title)) + "\")";
}

std::string StreamsEditorStatus(bool modified, int64_t line, int64_t lines, int64_t chars,
                                const std::string& loadedName) {
  std::string status = modified ? "Modified" : "Saved";
  status += "  Line " + IntToGroupedText(line) + "  Lines " + IntToGroupedText(lines) + "  Chars " +
            IntToGroupedText(chars);
  if (!loadedName.empty()) status += "  Name \"" + loadedName + "\"";
  return status;
}

std::string SeparatorLine(char c) {
  return std::string(SeparatorLength, c);
}

std::string RandomStreamText(int length) {
  TGuard guard("RandomStreamText");
  return guard.Run(std::string(), [&] {
    std::string text = GeneratePassword(length);
    guard.TakeOver();
    return text;
  });
}

std::string LoginTemplateText(int passwordLength) {
  TGuard guard("LoginTemplateText");
  return guard.Run(std::string(), [&] {
    const std::string user = GeneratePassword(10);
    guard.TakeOver();
    const std::string password = GeneratePassword(passwordLength);
    guard.TakeOver();
    return "* Login URL = \r\n* Email address = \r\n* User name = " + user +
           "\r\n* Password = " + password + "\r\n" + SeparatorLine('=') + "\r\n";
  });
}

bool TFileStreamsEditor::Open(const std::string& title) {
  TGuard guard("TFileStreamsEditor::Open");
  return guard.Run(false, [&] {
    Close();
    bool isDirectory = false;
    bool isLink = false;
    std::string target = GetWhenReference(title, &isDirectory, &isLink, nullptr, true);
    guard.TakeOver();
    if (target.empty()) target = title;
    if (isDirectory || IsDirectoryTitle(target))
      guard.Raise("Directories don't have streams.", target);
    FileTitle = target;
    StreamsSupported = FileStreamsSupported(FileTitle);
    Opened = true;
    Refresh(std::string(MainStreamName));
    guard.TakeOver();
    return true;
  });
}

void TFileStreamsEditor::Close() {
  Opened = false;
  FileTitle.clear();
  Loaded.clear();
  Original.clear();
  Names.clear();
  Selected.clear();
  SteggedOut = false;
  HiddenName.clear();
  MainShadowed = false;
  LineEnd = TLineEnd::Lf;
}

bool TFileStreamsEditor::Refresh(const std::string& wanted) {
  TGuard guard("TFileStreamsEditor::Refresh");
  Names.assign(1, std::string(MainStreamName));
  MainShadowed = false;
  const bool done = guard.Run(false, [&] {
    std::vector<std::string> found;
    MyFileStream.GetNames(FileTitle, &found);
    guard.TakeOver();
    std::sort(found.begin(), found.end());
    for (std::string& name : found) {
      if (IsMain(name)) {
        MainShadowed = true;
        continue;
      }
      if (name == DescriptionStreamName)
        Names.insert(Names.begin() + 1, std::move(name));
      else
        Names.push_back(std::move(name));
    }
    return true;
  });
  Selected = Exists(wanted) ? wanted : std::string(MainStreamName);
  return done;
}

bool TFileStreamsEditor::Exists(const std::string& name) const {
  return std::find(Names.begin(), Names.end(), name) != Names.end();
}

bool TFileStreamsEditor::Load(const std::string& name, std::string& text) {
  Loaded.clear();
  Original.clear();
  SteggedOut = false;
  HiddenName.clear();
  LineEnd = TLineEnd::Lf;
  text.clear();
  TGuard guard("TFileStreamsEditor::Load");
  return guard.Run(false, [&] {
    if (name.empty()) guard.Raise("Empty internal name of stream.", FileTitle);
    if (IsMain(name) && AutoStegOut) {
      std::string hidden;
      FunStatContext.Reset(fsPerfect); // the hook reports only its own failure
      if (AutoStegOut(FileTitle, text, hidden)) {
        if (!IsEditableText(text)) {
          text.clear();
          guard.Raise(BinaryStreamText, FileTitle, hidden);
        }
        LineEnd = DetectLineEnd(text);
        Original = text;
        text = ToEditorText(text, LineEnd);
        SteggedOut = true;
        HiddenName = hidden;
        Loaded = name;
        return true;
      }
      guard.TakeOver();
    }
    std::string data = ReadFileStream(FileTitle, InternalName(name), MaxEditableStreamSize);
    guard.TakeOver();
    if (FunStatContext.Status == fsWarning)
      guard.Raise(FunStatContext.Description, FileTitle, name);
    // Line ends the editor would not give back as they were (a lone CR, a
    // mix of LF and CRLF) make the text as uneditable as a zero byte.
    const TLineEnd lineEnd = DetectLineEnd(data);
    std::string shown = ToEditorText(data, lineEnd);
    if (!IsEditableText(data) || shown.find('\r') != std::string::npos ||
        FromEditorText(shown, lineEnd) != data)
      guard.Raise(BinaryStreamText, FileTitle, name);
    LineEnd = lineEnd;
    Original = std::move(data);
    text = std::move(shown);
    Loaded = name;
    return true;
  });
}

bool TFileStreamsEditor::AcceptShownText(const std::string& shown) {
  if (Loaded.empty()) return TGuard::EarlyExit(true);
  TGuard guard("TFileStreamsEditor::AcceptShownText");
  return guard.Run(false, [&] {
    if (FromEditorText(shown, LineEnd) != Original) {
      const std::string name = Loaded;
      Loaded.clear();
      Original.clear();
      SteggedOut = false;
      HiddenName.clear();
      guard.Raise(BinaryStreamText, FileTitle, name);
    }
    return true;
  });
}

bool TFileStreamsEditor::Save(const std::string& text) {
  if (Loaded.empty()) return TGuard::EarlyExit(true);
  TGuard guard("TFileStreamsEditor::Save");
  return guard.Run(false, [&] {
    std::string data = FromEditorText(text, LineEnd);
    if (SteggedOut) {
      if (!IsMain(Loaded) || !AutoStegIn)
        guard.Panic("Contradictory steg-out status and stream name.", FileTitle, Loaded);
      FunStatContext.Reset(fsPerfect);
      if (!AutoStegIn(FileTitle, HiddenName, data)) {
        guard.TakeOver();
        guard.Raise("Failed to write data.", FileTitle, HiddenName);
      }
    } else {
      const bool main = IsMain(Loaded);
      WriteFileStream(FileTitle, InternalName(Loaded), data);
      if (FunStatContext.Failed()) {
        const int code = static_cast<int>(FunStatContext.SystemErrorCode);
        // ext4 keeps all of a file's attributes in one block: ENOSPC there
        // means this value does not fit, not that the disk is full.
        if (!main && (code == ENOSPC || code == E2BIG))
          guard.Raise(StreamTooBigText, FileTitle, Loaded, static_cast<uint32_t>(code));
        guard.TakeOver();
      }
    }
    Original = std::move(data);
    return true;
  });
}

bool TFileStreamsEditor::Add(const std::string& name) {
  if (name.empty() || SameText(name, MainStreamName) || name.find('\0') != std::string::npos)
    return TGuard::EarlyExit(false);
  TGuard guard("TFileStreamsEditor::Add");
  return guard.Run(false, [&] {
    Refresh(Selected);
    guard.TakeOver();
    if (Exists(name)) guard.Raise("Stream already exists.", FileTitle, name);
    AddFileStream(FileTitle, name);
    guard.TakeOver();
    Refresh(Selected);
    guard.TakeOver();
    return true;
  });
}

bool TFileStreamsEditor::AddDescription() {
  TGuard guard("TFileStreamsEditor::AddDescription");
  return guard.Run(false, [&] {
    const std::string name(DescriptionStreamName);
    Refresh(Selected);
    guard.TakeOver();
    if (!Exists(name)) {
      AddFileStream(FileTitle, name);
      guard.TakeOver();
    }
    Refresh(name);
    guard.TakeOver();
    return true;
  });
}

bool TFileStreamsEditor::Delete(const std::string& name) {
  TGuard guard("TFileStreamsEditor::Delete");
  return guard.Run(false, [&] {
    // Never pass the empty name down: for the stream functions it is the file.
    if (name.empty()) guard.Raise("Empty internal name of stream.", FileTitle);
    if (IsMain(name))
      guard.Raise("You can't delete the main stream because the entire file would be deleted.",
                  FileTitle);
    DeleteFileStream(FileTitle, name);
    guard.TakeOver();
    if (name == Loaded) {
      Loaded.clear();
      Original.clear();
    }
    Refresh(Selected);
    guard.TakeOver();
    return true;
  });
}

} // namespace cv
