#pragma once
// "Go to path": an edit box over a column's header, prefilled with the
// column's directory, that completes directory names as they are typed.
// The box keeps the bytes of what it shows (`TTypedBytes`), so a name that
// is not UTF-8 is reached by completing it. Listings for the completion run
// on a worker thread and come back when they come: a directory that does
// not answer never holds the window. Enter looks the path up (on a worker
// as well) and hands it over; a path that names nothing is said in one line
// under the box, which stays open.

#include "columns/GoToPath.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cv {

class TColumnView;

class TGoToPathBox : public QLineEdit {
  Q_OBJECT
public:
  // Lives over `view`'s header until it is closed, then deletes itself.
  explicit TGoToPathBox(TColumnView& view);
  ~TGoToPathBox() override;

  // Shows `text` (bytes) selected; relative paths are taken inside `base`.
  void Open(const std::string& text, const std::string& base);
  // The path was found: the box has closed, the owner shows it.
  std::function<void(const TTypedPath& path)> OnGo;
  // Esc closed the box without going anywhere (a click elsewhere closes it
  // too, leaving the focus where the click put it).
  std::function<void()> OnClose;

  const TTypedBytes& Typed() const { return Text; }
  // Beside the box on the view, which may delete them first.
  QPointer<QLabel> Message;
  QPointer<QListWidget> Popup;

protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct TListingSlot;
  void Edited(const QString& text);
  void SetBytes(const std::string& bytes);
  // Lists the directory part of the text unless it is listed; shows the
  // candidates of the name part.
  void UpdateCandidates();
  void RequestListing(const std::string& directoryPart);
  void Listed(const std::string& directoryPart, TCompletionListing&& listing);
  // Tab (step 1) and Shift+Tab (step -1).
  void Complete(int step);
  void Choose(int row);
  void Go();
  void Close(bool escaped);
  void Place();
  void Say(const std::string& line);
  // The directory part to put before a completed name: a file address is
  // replaced by the plain path it names.
  std::string CompletedPart(const std::string& directoryPart) const;

  TColumnView& View;
  TTypedBytes Text;
  std::string Base;
  std::shared_ptr<TListingSlot> Slot;
  std::vector<std::string> Running; // directory parts being listed
  std::string Wanted;               // the directory part the text has now
  std::string ListedPart;           // the directory part `Listing` is of
  bool HaveListing = false;
  TCompletionListing Listing;
  std::vector<std::string> Shown; // the popup's candidates
  bool CompleteWhenListed = false;
  int CompleteStep = 1;
  // Tab through candidates: the directory part and the candidates cycled.
  std::vector<std::string> Cycle;
  std::string CyclePart;
  int CycleIndex = -1;
  bool Closing = false;
  bool Going = false;
};

} // namespace cv
