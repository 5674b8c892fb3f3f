#pragma once
// "Steg-in" / "Steg-out": the password, its confirmation, the algorithm and
// the key iterations for hiding a file in a picture or getting it back, and
// the "Auto steg" form that arms the automatic mode of the viewer and the
// streams editor. One object for the program's life: the password stays in
// memory only, the algorithm and iterations also in the settings.

#include "security/Steg.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace cv {

class TStoredTextList;

class TStegForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 701;
  enum TKind { StegInKind, StegOutKind, AutoKind, ConfirmKind };

  explicit TStegForm(QWidget* parent = nullptr);
  ~TStegForm() override;

  // Steg-in: the first title is the file to hide, the second the carrier.
  // Steg-out: the first is the carrier, the second the drop target whose
  // directory takes the hidden file.
  void Dialog(const std::string& firstTitle, const std::string& secondTitle, bool stegIn);
  // The "Auto steg" form, or "Confirm password"; false when cancelled.
  bool AutoDialog(bool confirm);
  // The noise picture's title, empty on failure (shown).
  std::string ViewNoise(const std::string& title);

  // Section "Steg": "Algorithm", "UserKeyIterations".
  void ReadSettings(const TStoredTextList& ini);
  void WriteSettings(TStoredTextList& ini) const;

  TStegSession Session;
  TKind Kind = StegInKind;
  QLabel* FirstTitleLabel = nullptr;
  QLabel* SecondTitleLabel = nullptr;
  QComboBox* AlgorithmBox = nullptr;
  QComboBox* IterationsBox = nullptr;
  QLineEdit* PasswordEdit = nullptr;
  QLineEdit* ConfirmationEdit = nullptr;
  QCheckBox* AutoStegCheck = nullptr;
  QCheckBox* NoDecryptionCheck = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;

public:
  void accept() override;

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  void Prepare(TKind kind, const QString& caption, const QString& button);
  void TakeFields();
  // The settings as the boxes show them.
  void ShowFields();
  bool Run();

  std::string FirstTitle;
  std::string SecondTitle;
};

} // namespace cv
