#pragma once
// The program's help: HTML pages built into the program, one per help
// context number, shown in one help window.

#include <QString>

class QWidget;

namespace cv {

// Opens the help window at a context's page (a page saying that the topic
// has no help yet when there is none).
void ShowHelp(int context);
// The page of a context, as the window shows it.
QString HelpPageText(int context);
// The help window, once it was opened.
QWidget* HelpWindow();

} // namespace cv
