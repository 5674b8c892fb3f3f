#pragma once

namespace cv {
// Opens the program's help at a help context number.
void ShowHelp(int context);
} // namespace cv
