#pragma once
// "Configuration and help wizard": a page per part of the window, each
// with its explanation and, on some, the check boxes that switch it on.

#include "install/FirstRun.h"

#include <QDialog>

#include <optional>
#include <vector>

class QCheckBox;
class QPushButton;
class QTabWidget;

namespace cv {

class TWizardForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 100;

  // The boxes start as `initial` has them.
  explicit TWizardForm(const TWizardChoices& initial, QWidget* parent = nullptr);

  TWizardChoices Choices() const;

  QTabWidget* Pages = nullptr;
  QPushButton* PreviousButton = nullptr;
  QPushButton* NextButton = nullptr;
  QPushButton* OkayButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QPushButton* HelpButton = nullptr;
  // In the order of WizardBoxes().
  std::vector<QCheckBox*> Boxes;

  int HelpContextNumber = HelpContext;

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  void UpdateButtons();
};

// Shows a fresh wizard modally; the choices when it was closed with
// "Okay", nothing when cancelled or when it failed (the failure is shown).
std::optional<TWizardChoices> WizardFormDialog(int helpContext, const TWizardChoices& initial,
                                               QWidget* parent = nullptr);

} // namespace cv
