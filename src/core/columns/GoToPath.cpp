#include "columns/GoToPath.h"

#include "filesystem/DirectoryReader.h"
#include "filesystem/File.h"
#include "filesystem/FileInfo.h"
#include "filesystem/Links.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/QtText.h"

#include <algorithm>
#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

constexpr std::string_view FileScheme = "file:";

// The home directory of `user` from the password database; false when there
// is no such user.
bool UserHome(const std::string& user, std::string& home, int& error) {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  if (size <= 0) size = 16384;
  std::string buffer(static_cast<size_t>(size), '\0');
  for (;;) {
    passwd entry{};
    passwd* found = nullptr;
    error = ::getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || !found || !found->pw_dir) return false;
    home = found->pw_dir;
    return true;
  }
}

// Length of the valid UTF-8 character at `at`, 0 for a stray byte.
size_t Utf8Length(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(at + i) & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are not text.
  if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
      (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return length;
}

// A piece of the bytes as the box shows it: one character, or one stray byte.
struct TPiece {
  size_t Bytes;
  qsizetype Chars;
};

std::vector<TPiece> Pieces(std::string_view bytes) {
  std::vector<TPiece> pieces;
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = Utf8Length(bytes, at);
    // A 4-byte character is a surrogate pair in a QString.
    pieces.push_back(length == 0 ? TPiece{1, 1} : TPiece{length, length == 4 ? 2 : 1});
    at += length == 0 ? 1 : length;
  }
  return pieces;
}

bool StartsWithFolded(std::string_view name, std::string_view prefix) {
  return name.size() >= prefix.size() && SameTextFolded(name.substr(0, prefix.size()), prefix);
}

} // namespace

bool ExpandTypedPath(std::string_view typed, const std::string& baseDirectory, std::string& path) {
  TGuard guard("ExpandTypedPath");
  return guard.Run(false, [&] {
    std::string text(typed);
    if (text.empty()) guard.Raise("Type a path.");
    if (HasInvalidTitleCharacters(text)) guard.Raise("Invalid characters in title.", text);
    if (StartsWithFolded(text, FileScheme)) {
      // Decoded byte for byte: "%FF" is the byte 0xFF, not a character.
      std::string decoded = TitleFromFileUrl(text);
      if (decoded.empty() || HasInvalidTitleCharacters(decoded))
        guard.Raise("Not an address of a local file.", text);
      text = std::move(decoded);
    } else if (text.front() == '~') {
      const size_t slash = text.find(PathDelimiter);
      const std::string user = text.substr(1, slash == std::string::npos ? slash : slash - 1);
      std::string home;
      if (user.empty()) {
        home = HomePath();
      } else {
        int error = 0;
        if (!UserHome(user, home, error))
          guard.Raise("No such user.", user, {}, static_cast<uint32_t>(error));
      }
      text = home + (slash == std::string::npos ? std::string() : text.substr(slash));
    }
    if (text.front() != PathDelimiter) text = IncludeDelimiter(baseDirectory) + text;
    // Lexically, as the shell does: "a/.." is where "a" is typed, also when
    // "a" is a link.
    std::string normalized = NormalizeTitle(text);
    if (normalized.size() > 1 && normalized.back() == PathDelimiter) normalized.pop_back();
    path = std::move(normalized);
    return true;
  });
}

TTypedPath ResolveTypedPath(std::string_view typed, const std::string& baseDirectory) {
  TTypedPath result;
  {
    TGuard guard("ResolveTypedPath");
    guard.Run([&] {
      std::string path;
      if (!ExpandTypedPath(typed, baseDirectory, path)) guard.TakeOver();
      struct statx facts {};
      int error = StatxTitle(path, true, STATX_TYPE, &facts);
      if (error == 0 && S_ISDIR(facts.stx_mode)) {
        result.Directory = ExcludeDelimiter(path);
        return;
      }
      // A broken link is still a file to focus.
      if (error != 0 && StatxTitle(path, false, STATX_TYPE, &facts) == 0) error = 0;
      if (error != 0) guard.Raise("Failed to find file.", path, {}, static_cast<uint32_t>(error));
      result.Directory = ExcludeDelimiter(GetTitlePath(path));
      result.FileName = GetTitleName(path);
    });
  }
  result.Status = FunStatContext;
  return result;
}

std::string TypedPathMessage(const TFunStatContext& status) {
  if (!status.Failed()) return {};
  std::string line = status.Parameter1.empty() ? std::string() : status.Parameter1 + ": ";
  if (status.SystemErrorCode != 0)
    line += SystemErrorText(static_cast<int>(status.SystemErrorCode));
  else
    line += status.Description;
  return line;
}

TCompletionSplit SplitForCompletion(std::string_view typed) {
  const size_t slash = typed.rfind(PathDelimiter);
  if (slash == std::string_view::npos) return {{}, std::string(typed)};
  return {std::string(typed.substr(0, slash + 1)), std::string(typed.substr(slash + 1))};
}

TCompletionListing ListCompletionNames(const std::string& directoryPart,
                                       const std::string& baseDirectory,
                                       const std::atomic<bool>* cancel) {
  TCompletionListing result;
  {
    TGuard guard("ListCompletionNames");
    guard.Run([&] {
      std::string path;
      if (!ExpandTypedPath(directoryPart.empty() ? std::string(".") : directoryPart, baseDirectory,
                           path))
        guard.TakeOver();
      result.Directory = IncludeDelimiter(path);
      TDirectoryNames names(result.Directory);
      if (names.Error != 0 && !names.Opened)
        guard.Raise("Failed to first find file.", result.Directory, {},
                    static_cast<uint32_t>(names.Error));
      TNameBlock block;
      while (!names.Ended() && !(cancel && cancel->load())) {
        names.ReadBlock(block, 1024, cancel);
        for (size_t i = 0; i < block.Count(); ++i) {
          if (cancel && cancel->load()) break;
          TFileInfo info;
          // A link to a directory completes like the directory.
          if (names.ReadFacts(block, i, info) == TEntryFacts::Read &&
              (info.Attributes & faDirectory))
            result.Names.emplace_back(block.Name(i));
        }
      }
      std::sort(result.Names.begin(), result.Names.end());
    });
  }
  result.Status = FunStatContext;
  return result;
}

std::vector<std::string> CompletionCandidates(const std::vector<std::string>& names,
                                              std::string_view prefix) {
  const bool hidden = prefix.starts_with('.');
  std::vector<std::string> exact, folded;
  for (const std::string& name : names) {
    if (name == "." || name == ".." || (name.starts_with('.') && !hidden)) continue;
    if (name.starts_with(prefix))
      exact.push_back(name);
    else if (StartsWithFolded(name, prefix))
      folded.push_back(name);
  }
  std::vector<std::string>& found = exact.empty() ? folded : exact;
  std::sort(found.begin(), found.end());
  return std::move(found);
}

std::string CommonNamePrefix(const std::vector<std::string>& names) {
  if (names.empty()) return {};
  size_t length = names.front().size();
  for (const std::string& name : names) {
    size_t same = 0;
    while (same < length && same < name.size() && name[same] == names.front()[same])
      ++same;
    length = same;
  }
  // Back to the start of a character the first name completes there.
  const std::string_view first = names.front();
  size_t whole = 0;
  for (size_t at = 0; at < length;) {
    const size_t step = std::max<size_t>(Utf8Length(first, at), 1);
    if (at + step > length) break;
    at += step;
    whole = at;
  }
  return std::string(first.substr(0, whole));
}

QString TTypedBytes::Display(std::string_view bytes) {
  QString shown;
  size_t at = 0;
  for (const TPiece& piece : Pieces(bytes)) {
    if (Utf8Length(bytes, at) == 0)
      shown += QChar(QChar::ReplacementCharacter);
    else
      shown += ToQString(bytes.substr(at, piece.Bytes));
    at += piece.Bytes;
  }
  return shown;
}

void TTypedBytes::Set(std::string bytes) {
  Value = std::move(bytes);
  Picture = Display(Value);
  Lost = false;
}

void TTypedBytes::Edited(const QString& text) {
  if (text == Picture) return;
  const std::vector<TPiece> pieces = Pieces(Value);
  const qsizetype limit = std::min(text.size(), Picture.size());
  qsizetype same = 0;
  while (same < limit && text[same] == Picture[same])
    ++same;
  // Whole pieces only: a character cut in half is an edited one.
  size_t headBytes = 0, head = 0;
  qsizetype headChars = 0;
  while (head < pieces.size() && headChars + pieces[head].Chars <= same) {
    headChars += pieces[head].Chars;
    headBytes += pieces[head].Bytes;
    ++head;
  }
  qsizetype sameTail = 0;
  while (sameTail < limit - headChars &&
         text[text.size() - 1 - sameTail] == Picture[Picture.size() - 1 - sameTail])
    ++sameTail;
  size_t tailBytes = 0, tail = pieces.size();
  qsizetype tailChars = 0;
  while (tail > head && tailChars + pieces[tail - 1].Chars <= sameTail) {
    tailChars += pieces[tail - 1].Chars;
    tailBytes += pieces[tail - 1].Bytes;
    --tail;
  }
  const QString middle = text.mid(headChars, text.size() - headChars - tailChars);
  if (middle.contains(QChar(QChar::ReplacementCharacter))) Lost = true;
  Value = Value.substr(0, headBytes) + FromQString(middle) +
          Value.substr(Value.size() - tailBytes, tailBytes);
  Picture = text;
  // Once the replaced character is gone, nothing stands for a lost byte.
  if (!Picture.contains(QChar(QChar::ReplacementCharacter))) Lost = false;
}

} // namespace cv
