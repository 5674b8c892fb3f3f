#include "fileops/AttachStreamMenu.h"

#include "fileops/ActiveFileCommands.h"
#include "foundation/Guard.h"
#include "foundation/QtText.h"
#include "foundation/Utilities.h"

#include <QAction>
#include <QMenu>

#include <vector>

namespace cv {

bool SetupAttachStream(QMenu& menu, const std::string& destination,
                       std::function<std::string()> source) {
  menu.clear();
  std::vector<std::string> names;
  if (!AttachStreamNames(destination, names)) return false;
  QAction* title = menu.addAction(QObject::tr("Destination streams"));
  title->setStatusTip(QObject::tr("Click a stream name to mark it as the destination stream"));
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  menu.setDefaultAction(title);
  for (const std::string& name : names) {
    QAction* item = menu.addAction(MenuCaption(name));
    item->setStatusTip(QObject::tr(
        "The source stream is attached in the destinaton file as the stream with the clicked "
        "name. If you want a name that is is not in the list, you must use the streams editor to "
        "add that name first."));
    QObject::connect(item, &QAction::triggered, &menu,
                     [destination, name, source] { AttachStream(source(), destination, name); });
  }
  return true;
}

} // namespace cv
