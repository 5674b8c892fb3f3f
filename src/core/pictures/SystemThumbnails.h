#pragma once
// The desktop's shared thumbnail cache and its thumbnailer programs. A file's
// thumbnail lives in $XDG_CACHE_HOME/thumbnails/<size>/<md5 of its URI>.png
// and is valid while its Thumb::MTime (and Thumb::Size, when present) match
// the file; other file managers read what we write there and we read theirs.
// A missing one is made by the installed *.thumbnailer program for the
// file's type, run as an argv list with a time limit; a failure is recorded
// under thumbnails/fail/ so that the unchanged file is not tried again.
//
// Everything here runs on worker threads (one call per file, no shared state
// but a locked list of thumbnailers); titles are bytes throughout.

#include "pictures/PictureSize.h"

#include <QImage>
#include <optional>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct stat;

namespace cv {

// The cache's size directories: "normal" 128, "large" 256, "x-large" 512,
// "xx-large" 1024 pixels on the longer side.
enum class TThumbnailFlavor { Normal, Large, XLarge, XXLarge };
int ThumbnailFlavorPixels(TThumbnailFlavor flavor);
const char* ThumbnailFlavorName(TThumbnailFlavor flavor);
// The smallest flavor at least `pixels` large; the largest for anything bigger.
TThumbnailFlavor ThumbnailFlavorFor(int pixels);

// The file:// URI of an absolute title: every byte outside the characters a
// path may keep (letters, digits, "-._~!$&'()*+,=:@/") is percent-encoded
// with upper-case hex, whatever its encoding, so any name has exactly one URI.
std::string ThumbnailUri(const std::string& title);
// The md5 of the URI in lower-case hex: the entry's name without ".png".
std::string ThumbnailHash(const std::string& uri);
// "$XDG_CACHE_HOME/thumbnails/" (else "~/.cache/thumbnails/").
std::string ThumbnailCacheDirectory();
// The cache entry of a title in a flavor.
std::string ThumbnailCacheTitle(const std::string& title, TThumbnailFlavor flavor);
// Where this program records its failures: "thumbnails/fail/corvantide-<version>/".
std::string ThumbnailFailDirectory();

// One installed *.thumbnailer file.
struct TThumbnailer {
  std::string Source;  // the file it came from
  std::string TryExec; // when set, the thumbnailer counts only if this program is there
  std::string Exec;    // the command line, with %i %u %o %s %%
  std::vector<std::string> MimeTypes;
};
// Reads a thumbnailer file's [Thumbnailer Entry] group; false when it has no
// Exec or no MIME type.
bool ReadThumbnailerFile(const std::string& title, TThumbnailer& out);
// The thumbnailers of $XDG_DATA_HOME and $XDG_DATA_DIRS (each "thumbnailers/"
// below them), earlier directories first; a file name seen before hides
// the same name further on. Read again when one of the directories changes.
std::vector<TThumbnailer> InstalledThumbnailers();
// The first installed thumbnailer that lists the type (or one of its
// aliases) and whose TryExec program exists; null when none does.
const TThumbnailer* FindThumbnailer(const std::vector<TThumbnailer>& thumbnailers,
                                    const std::string& mimeType);
// The argv of a run: the Exec line split by the desktop quoting rules, then
// in each argument %i the input title, %u its URI, %o the output title, %s
// the size and %% a "%"; other codes go. A title never splits an argument.
// False on broken quoting or an empty command.
bool ThumbnailerArguments(const TThumbnailer& thumbnailer, const std::string& input,
                          const std::string& output, int size, std::vector<std::string>& argv);

enum class TSystemThumbOutcome {
  None,          // nothing was found or done (a lookup that missed)
  Cached,        // read from the shared cache
  Made,          // made by a thumbnailer now (stored, unless the cache refused: see the status)
  KnownFailure,  // a failure record says this unchanged file gives no thumbnail
  NoThumbnailer, // nothing installed handles its type
  NotRegular,    // directories, FIFOs and devices get no thumbnail and are never opened
  Cancelled,     // the caller cancelled while the thumbnailer ran
  Failed,        // the file vanished, or the thumbnailer failed or timed out
};

struct TSystemThumbRequest {
  int Pixels = 128; // the size wanted; picks the flavor
  int TimeoutMs = 10000;
  // Checked while the thumbnailer runs; set, the run is killed.
  const std::atomic<bool>* Cancel = nullptr;
};

struct TSystemThumb {
  QImage Image; // null unless Cached or Made; at most the flavor's size, never enlarged
  TSystemThumbOutcome Outcome = TSystemThumbOutcome::None;
  TThumbnailFlavor Flavor = TThumbnailFlavor::Normal;
  std::string MimeType; // known once a thumbnailer was looked for
};

// The cached thumbnail of a regular file: the flavor for the size first,
// then the larger ones. Also tells a known failure. No thumbnailer runs. True
// on a hit (Outcome Cached); a miss is no failure.
bool LookupSystemThumbnail(const std::string& title, int pixels, TSystemThumb& thumb);

// The cached thumbnail, else one made by the thumbnailer for the file's type,
// stored in the cache (0600, written to a temporary name and renamed into
// place) or recorded as a failure. True when an image came back. A cache
// that cannot be written still gives the image, with the failure in the status.
bool GetSystemThumbnail(const std::string& title, const TSystemThumbRequest& request,
                        TSystemThumb& thumb);

// Stores an image as the cache entry of a file whose status is `facts`, with
// the keys Thumb::URI, Thumb::MTime, Thumb::Size, Thumb::Mimetype (when given)
// and Software as tEXt chunks. Directories are made 0700.
bool StoreSystemThumbnail(const std::string& title, const struct stat& facts, const QImage& image,
                          TThumbnailFlavor flavor, const std::string& mimeType = {});
// Records that no thumbnail could be made of the file as `facts` describe it.
bool StoreThumbnailFailure(const std::string& title, const struct stat& facts);

// The PNG bytes of an image with tEXt chunks of the keys and values (Latin-1)
// placed before the image data, where every reader sees them.
std::string PngWithTextChunks(const QImage& image,
                              const std::vector<std::pair<std::string, std::string>>& keys);

// The renderers' source of system thumbnails: the cached or newly made
// thumbnail, scaled into `box` when larger, or nothing. On a worker.
std::optional<QImage> SystemThumbnailInBox(const std::string& title, TPictureSize box);

} // namespace cv
