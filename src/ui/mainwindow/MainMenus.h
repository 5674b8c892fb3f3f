#pragma once
// The "File", "Work" and "Help" menus built from the command table. A
// command runs only through its action's trigger, and only while enabled;
// the enabled states follow the table's rules over the active column.

#include "mainwindow/Commands.h"

#include <QObject>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace cv {

class TMainMenus : public QObject {
  Q_OBJECT
public:
  explicit TMainMenus(QWidget* owner);
  ~TMainMenus() override;

  QMenu* Top(std::string_view name) const;
  // The action of a command ("File/Attributes/Fixed"); numbered items add
  // their number ("File/Attributes/Width/3"). Null for an unknown path.
  QAction* Action(std::string_view path) const;
  const TCommand* Command(std::string_view path) const;

  // What a command does; a command without one stays disabled.
  void On(std::string_view path, std::function<void()> run);
  void OnNumber(std::string_view path, std::function<void(int number)> run);
  // Fills a dynamic submenu each time it opens.
  void OnFill(std::string_view path, std::function<void(QMenu& menu)> fill);
  // What item n of a dynamic submenu does when a key names it
  // ("File/Show container/3"); it runs only while the submenu is enabled.
  void OnDynamicNumber(std::string_view path, std::function<void(int number)> run);

  // Enabled: built, handled and its rule holds for `terms`; a submenu whose
  // rule fails is disabled with everything in it.
  void Enable(uint32_t terms);
  // Triggers the command when its action is enabled; true when it ran.
  bool Run(std::string_view path);
  // Checks the item of `group` captioned `checkedCaption` and unchecks the
  // group's other items.
  void Check(std::string_view group, std::string_view checkedCaption);
  void SetChecked(std::string_view path, bool checked);
  // Help context of the highlighted item (its menu's when it has none).
  int HelpContextOf(const QAction* action) const;
  // Every path that has an action, in menu order.
  std::vector<std::string> Paths() const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct TEntry {
    const TCommand* Row = nullptr;
    QAction* Action = nullptr;
    QMenu* Submenu = nullptr;
    int Number = 0;
    std::function<void()> Run;
  };
  void Build();
  TEntry& Add(const std::string& path, const TCommand* row, QAction* action, QMenu* submenu);
  QMenu* NewMenu(QMenu* parent);

  QWidget* Owner;
  std::vector<QMenu*> Tops;
  std::map<std::string, TEntry, std::less<>> Entries;
  std::vector<std::string> Order;
  std::map<std::string, std::function<void(QMenu&)>, std::less<>> Fills;
  std::map<std::string, std::function<void(int)>, std::less<>> DynamicNumbers;
  bool Enabled(std::string_view path) const;
};

} // namespace cv
