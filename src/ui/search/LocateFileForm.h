#pragma once
// "Locate file": moves the active column's focus to the next or previous
// item whose name matches the pattern box, or to an item by its position.
// "Locate next file" and "Locate previous file" repeat the search without
// the dialog.

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace cv {

class TColumn;
class TStoredTextList;

class TLocateFileForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 504;

  explicit TLocateFileForm(QWidget* parent = nullptr);

  // Shows the dialog when the column lists at least one item.
  void Dialog(TColumn& column, int topOffset);
  // Dialog without the modal loop (tests drive the buttons).
  void Prepare(TColumn& column, int topOffset);
  // The commands: the next or previous match of the box's pattern; the
  // dialog opens instead while the box holds no valid pattern.
  void LocateNext(TColumn& column, int topOffset, bool forward);

  // "Locate &next" / "Locate &previous" and "Locate by &index"; true when
  // the step succeeded (the dialog then closes).
  bool Do(bool forward);
  bool DoByIndex();

  // Section "LocateFile", key "LocateSimilar".
  void ReadSettings(const TStoredTextList& ini);
  void WriteSettings(TStoredTextList& ini) const;

  QGroupBox* PatternGroup = nullptr;
  QComboBox* PatternBox = nullptr;
  QCheckBox* SimilarCheck = nullptr;
  QPushButton *NextButton = nullptr, *PreviousButton = nullptr, *IndexButton = nullptr,
              *ByCurrentButton = nullptr, *CancelButton = nullptr;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  TColumn* Column = nullptr;
  int TopOffset = 0;
};

} // namespace cv
