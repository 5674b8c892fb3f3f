#pragma once
// "Overwrite destination with source ?": both files side by side, six
// answers. Closing the window or Esc answers "&Abort".

#include "fileops/Overwrite.h"

#include <QDialog>

#include <array>

class QGroupBox;
class QLabel;
class QPushButton;

namespace cv {

class TOverwriteForm : public QDialog {
  Q_OBJECT
public:
  explicit TOverwriteForm(QWidget* parent = nullptr);

  // Fills both sides and shows the window modally; returns the answer.
  TOverwriteChoice Ask(const TOverwriteView& view);
  // Fills the window without showing it (tests and screenshots drive it).
  void Fill(const TOverwriteView& view);

  QPushButton* Button(TOverwriteChoice choice) const {
    return Buttons.at(static_cast<size_t>(choice));
  }
  QGroupBox* SourceGroup = nullptr;
  QGroupBox* DestinationGroup = nullptr;

private:
  struct TSideLabels {
    QLabel *Directory, *File, *Size, *Date, *Clock;
  };
  QGroupBox* BuildSide(TSideLabels& labels);
  static void FillSide(TSideLabels& labels, const TOverwriteSide& side);

  TSideLabels SourceLabels{}, DestinationLabels{};
  std::array<QPushButton*, 6> Buttons{};
  TOverwriteChoice Answer = TOverwriteChoice::Abort;
};

// The program's one overwrite window, parented to the active window.
TOverwriteChoice AskOverwrite(const TOverwriteView& view);

} // namespace cv
