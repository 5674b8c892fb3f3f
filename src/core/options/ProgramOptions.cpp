#include "options/ProgramOptions.h"

namespace cv {

TProgramOptions ProgramOptions;

} // namespace cv
