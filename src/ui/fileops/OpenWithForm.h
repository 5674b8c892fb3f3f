#pragma once
// "Open with": the applications registered for a file, and a free command
// line as the last choice. The window only chooses; the caller launches.

#include "fileops/OpenWith.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace cv {

// Either an application id or, for "Other command…", the typed command line.
struct TOpenWithChoice {
  std::string ApplicationId;
  std::string CommandLine;
};

class TOpenWithForm : public QDialog {
  Q_OBJECT
public:
  explicit TOpenWithForm(QWidget* parent = nullptr);

  // Fills the window without showing it (tests and screenshots drive it).
  void Fill(const std::string& fileName, const std::string& typeDescription,
            const std::vector<TApplicationChoice>& applications);
  // Shows the window modally; false when it was cancelled.
  bool Choose(TOpenWithChoice& choice);

  QLabel* FileLabel = nullptr;
  QLabel* TypeLabel = nullptr;
  QListWidget* List = nullptr;
  QLineEdit* CommandEdit = nullptr;
  QPushButton* OpenButton = nullptr;
  QPushButton* CancelButton = nullptr;

private:
  bool OtherCommandCurrent() const;
  void CurrentRowChanged();
  void Open();

  std::vector<std::string> Ids; // per row, without the last one
  TOpenWithChoice Chosen;
};

// Shown when no application opens a file: what happened, and "Open with…".
class TNoApplicationForm : public QDialog {
  Q_OBJECT
public:
  explicit TNoApplicationForm(QWidget* parent = nullptr);
  void Fill(const std::string& sentence);

  QLabel* TextLabel = nullptr;
  QPushButton* OpenWithButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QPushButton* HelpButton = nullptr;
};

// "Open with" on `title`: asks, then launches the choice. A show point.
void OpenFileWith(const std::string& title, QWidget* parent);
// Says why nothing opened `title` and, when asked, goes on to OpenFileWith.
void OfferOpenWithFor(const std::string& title, const std::string& sentence, QWidget* parent);

// Asks how to open `title`. False when cancelled, and also (with the failure
// in the status context) when the file could not be queried.
bool ChooseOpenWith(const std::string& title, QWidget* parent, TOpenWithChoice& choice);

} // namespace cv
