#pragma once
// The window shown instead of the main window when the program is started
// with "--install [directory]" or "--uninstall [directory]": it installs the
// bundle that holds the running program, or removes an install again.

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace cv {

enum class TInstallMode { Install, Uninstall };

class TInstallForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 102;

  explicit TInstallForm(QWidget* parent = nullptr);

  // Fills the window for its mode. In install mode `directory` is the
  // directory the program's directory is put in (the default one when
  // empty); in uninstall mode it is the installed directory (the program's
  // own when empty), shown read-only.
  void Setup(TInstallMode mode, const std::string& product, const std::string& description,
             const std::string& version, const std::string& directory = {});

  // The mode's operation, as its button runs it; true when it was done.
  // "No" to the question, or a failure (shown), leaves the window open.
  bool Install();
  bool Uninstall();

  // The box's directory, with a trailing "/"; the bytes given to it unless
  // the user edited the box.
  std::string Directory() const;
  void SetDirectory(const std::string& directory);
  // The directory the install lands in: the box's directory + the program's name.
  std::string InstallTarget() const;

  // What is installed and under which name; the running program's
  // directory and file name unless a caller sets others.
  std::string SourceDirectory;
  std::string ProgramName;

  TInstallMode Mode = TInstallMode::Install;
  QLabel* MainPanel = nullptr;
  QLabel* DescriptionLabel = nullptr;
  QLabel* VersionLabel = nullptr;
  QLabel* InstructionsLabel = nullptr;
  QPlainTextEdit* Readme = nullptr;
  QLabel* DirectoryLabel = nullptr;
  QLineEdit* DirectoryBox = nullptr;
  QPushButton* BrowseButton = nullptr;
  QPushButton* InstallButton = nullptr;
  QPushButton* CancelButton = nullptr;

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  void BrowseClick();
  void InstallClick();

  std::string Product;
  // The bytes behind the box's text, so a name that is not UTF-8 survives.
  std::string DirectoryBytes;
};

} // namespace cv
