#include "filesystem/PartitionsDialog.h"

#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/QtText.h"

#include <QAction>
#include <QFont>
#include <QMenu>

#include <vector>

namespace cv {

namespace {

QString MenuCaption(const std::string& text) {
  QString caption = ToQString(text);
  caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return caption;
}

} // namespace

TPartitionsDialog::TPartitionsDialog(QObject* parent) : QObject(parent) {}

void TPartitionsDialog::Setup(QMenu* menu, TShiftState shift,
                              const std::string& operation, bool navigate,
                              const std::string& title) {
  Shift = shift;
  menu->clear();
  // Items keep their target in data(): captions are for show only.
  auto addItem = [&](const std::string& caption, const std::string& root) {
    QAction* action = menu->addAction(MenuCaption(caption));
    action->setData(QByteArray(root.data(), static_cast<qsizetype>(root.size())));
    connect(action, &QAction::triggered, this,
            [this, root, operation, navigate] { ItemClick(root, operation, navigate); });
    return action;
  };
  if (!title.empty()) {
    QAction* action = addItem(PartitionDisplayText(title), IncludeDelimiter(title));
    QFont font = action->font();
    font.setBold(true);
    action->setFont(font);
    menu->setDefaultAction(action);
  }
  std::vector<std::string> partitions;
  GetPartitionList(partitions);
  for (const std::string& partition : partitions)
    addItem(PartitionDisplayText(partition) + GetPartitionSuffix(partition),
            IncludeDelimiter(partition));
}

void TPartitionsDialog::ItemClick(const std::string& root, const std::string& operation,
                                  bool navigate) {
  if (navigate) {
    if (OnNavigate) OnNavigate(root, Shift);
  } else if (operation == "Copy" || operation == "Move") {
    if (OnCopyMove) OnCopyMove(root, operation);
  }
}

} // namespace cv
