#include "mainwindow/ProgramOptions.h"

namespace cv {

TProgramOptions ProgramOptions;

} // namespace cv
