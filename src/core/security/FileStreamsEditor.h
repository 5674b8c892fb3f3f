#pragma once
// The streams editor's model: the data streams of one file as a list of
// names ("Main" is the file's content, the others its "user." attributes,
// "Description" first), and the loading and saving of one of them as text.
// Only text the editor can give back byte for byte is loaded: a stream with
// a zero byte, invalid UTF-8, or line ends the editor would change is
// refused, so nothing is lost when it is saved. The line-end style of the
// stream (LF or CRLF) is kept on saving; the editor itself works with LF.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

inline constexpr std::string_view MainStreamName = "Main";
inline constexpr std::string_view DescriptionStreamName = "Description";
// The most an editor takes, in bytes of the stream and in characters.
inline constexpr int64_t MaxEditableStreamSize = 1000000;
inline constexpr int SeparatorLength = 50;

extern const char* const BinaryStreamText;
extern const char* const StreamTooBigText;
extern const char* const MainShadowedText;

enum class TLineEnd { Lf, CrLf };

// Valid UTF-8 without zero bytes (accented letters are text).
bool IsEditableText(std::string_view data);
// CRLF when the first line end is one.
TLineEnd DetectLineEnd(std::string_view data);
// Line ends as the editor holds them, and back.
std::string ToEditorText(std::string_view data, TLineEnd lineEnd);
std::string FromEditorText(std::string_view text, TLineEnd lineEnd);

// "File streams editor - "name" (in "directory")".
std::string StreamsEditorCaption(const std::string& title);
// "Saved  Line 1  Lines 3  Chars 20  Name "Main"" (numbers grouped).
std::string StreamsEditorStatus(bool modified, int64_t line, int64_t lines, int64_t chars,
                                const std::string& loadedName);
// A line of 50 `c` characters, without its line end.
std::string SeparatorLine(char c);
// Random text from the password generator; empty on failure.
std::string RandomStreamText(int length);
// The four lines of a login with a new user name (10 characters) and
// password, then a separator line; lines end with "\r\n".
std::string LoginTemplateText(int passwordLength);

class TFileStreamsEditor {
public:
  // The file's streams, the link resolved; "Directories don't have streams."
  // for a directory. Nothing is loaded afterwards.
  bool Open(const std::string& title);
  void Close();

  // Fills Names again; Selected becomes `wanted`, else "Main".
  bool Refresh(const std::string& wanted);
  bool Exists(const std::string& name) const;

  // Reads the stream into `text` (LF lines). Fails for an empty name, a
  // stream above the size limit or one that is not editable text. A failed
  // load leaves nothing loaded.
  bool Load(const std::string& name, std::string& text);
  // The text as the editor gives it back right after loading: when it
  // differs from the stream, the stream is refused as binary data.
  bool AcceptShownText(const std::string& shown);
  // Writes the editor's text to the loaded stream in the stream's own line
  // ends; nothing loaded is success. An attribute that does not fit in the
  // file system fails with StreamTooBigText.
  bool Save(const std::string& text);
  // Creates an empty stream; an empty name or "Main" (any case) is ignored
  // (false without failure); "Stream already exists." when it exists.
  bool Add(const std::string& name);
  bool AddDescription();
  // "Main" is refused: deleting it would delete the file.
  bool Delete(const std::string& name);

  const std::string& Title() const { return FileTitle; }
  const std::string& LoadedName() const { return Loaded; }
  bool IsOpen() const { return Opened; }

  std::vector<std::string> Names; // "Main" first, "Description" next, then by bytes
  std::string Selected;
  bool StreamsSupported = false;
  bool MainShadowed = false; // a secondary stream is called "Main" too
  TLineEnd LineEnd = TLineEnd::Lf;
  bool SteggedOut = false;
  std::string HiddenName;

  // Automatic steganography of pictures (installed when it is active): a
  // carrier's hidden text file is edited as its main stream. StegOut gives
  // true with the text and the hidden file's name when the file holds one,
  // false otherwise (a failure is left in FunStatContext); StegIn writes
  // the text back into the carrier. Unset, the main stream is the content.
  std::function<bool(const std::string& carrier, std::string& text, std::string& hiddenName)>
      AutoStegOut;
  std::function<bool(const std::string& carrier, const std::string& hiddenName,
                     const std::string& text)>
      AutoStegIn;

private:
  std::string FileTitle;
  std::string Loaded;
  std::string Original; // the stream's bytes as loaded or last saved
  bool Opened = false;
};

} // namespace cv
