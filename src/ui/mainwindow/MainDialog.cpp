#include "mainwindow/MainDialog.h"

namespace cv {

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Corvantide"));
  setMinimumSize(790, 550);
  resize(1000, 700);
}

} // namespace cv
