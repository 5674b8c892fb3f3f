#pragma once
// The partition menus: "Partitions" (go to a partition) and the "Drop to
// partition" submenus (copy or move the files to one).

#include "foundation/ShiftState.h"

#include <QObject>

#include <functional>
#include <string>

class QMenu;

namespace cv {

class TPartitionsDialog : public QObject {
  Q_OBJECT
public:
  explicit TPartitionsDialog(QObject* parent = nullptr);

  // Gets the chosen directory (with a trailing "/") and the remembered keys.
  std::function<void(const std::string& root, TShiftState shift)> OnNavigate;
  // Gets the chosen directory and "Copy" or "Move".
  std::function<void(const std::string& root, const std::string& operation)> OnCopyMove;

  // Refills the menu: `title` first as its default item when given, then
  // every partition with its suffix. A click navigates when `navigate` is
  // set, else copies or moves for the operations "Copy" and "Move"; other
  // operations do nothing.
  void Setup(QMenu* menu, TShiftState shift, const std::string& operation,
             bool navigate, const std::string& title);

  TShiftState ShiftState() const { return Shift; }

private:
  void ItemClick(const std::string& root, const std::string& operation, bool navigate);

  TShiftState Shift = 0;
};

} // namespace cv
