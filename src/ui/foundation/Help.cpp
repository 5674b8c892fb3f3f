#include "foundation/Help.h"

#include "foundation/UserInterface.h"

#include <string>

namespace cv {

void ShowHelp(int context) {
  // The help pages arrive with the main window's help system.
  ShowInformation("There is no help page for topic " + std::to_string(context) + " yet.");
}

} // namespace cv
