#pragma once
// The main window. It holds the board, its columns and the menus; until
// those arrive it is an empty frame with the program's caption.

#include <QMainWindow>

namespace cv {

class TMainForm : public QMainWindow {
  Q_OBJECT
public:
  explicit TMainForm(QWidget* parent = nullptr);
};

} // namespace cv
