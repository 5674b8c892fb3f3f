#pragma once
// The "Attach stream" submenu of the file-drag menu: the streams of the
// destination file; a click copies the dragged file into the chosen one.

#include <functional>
#include <string>

class QMenu;

namespace cv {

// Refills the menu for `destination`; `source` gives the dragged file when
// an item is clicked. False (the failure left for the caller) when the
// streams could not be listed: the menu then stays empty.
bool SetupAttachStream(QMenu& menu, const std::string& destination,
                       std::function<std::string()> source);

} // namespace cv
