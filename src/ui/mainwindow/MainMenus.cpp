#include "mainwindow/MainMenus.h"

#include "foundation/Help.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QWidget>

namespace cv {

namespace {

QString MenuText(const TCommand& row) {
  QString text = QString::fromUtf8(row.Caption.data(), static_cast<qsizetype>(row.Caption.size()));
  if (!row.Shortcut.empty())
    text += QLatin1Char('\t') +
            QString::fromUtf8(row.Shortcut.data(), static_cast<qsizetype>(row.Shortcut.size()));
  return text;
}

QString HintOf(const TCommand& row) {
  QString hint = QString::fromUtf8(row.Hint.data(), static_cast<qsizetype>(row.Hint.size()));
  if (!row.Built) hint += QStringLiteral(" (Not available in this version yet.)");
  return hint.trimmed();
}

void MakeTitle(QAction* action) {
  QFont font = action->font();
  font.setBold(true);
  action->setFont(font);
}

} // namespace

TMainMenus::TMainMenus(QWidget* owner) : QObject(owner), Owner(owner) {
  Build();
}

TMainMenus::~TMainMenus() {
  for (QMenu* menu : Tops)
    delete menu;
}

QMenu* TMainMenus::NewMenu(QMenu* parent) {
  auto* menu = new QMenu(parent ? static_cast<QWidget*>(parent) : Owner);
  menu->installEventFilter(this);
  // Tool tips of items show their hints while the hint bar is not there.
  menu->setToolTipsVisible(true);
  return menu;
}

TMainMenus::TEntry& TMainMenus::Add(const std::string& path, const TCommand* row, QAction* action,
                                    QMenu* submenu) {
  TEntry& entry = Entries[path];
  entry.Row = row;
  entry.Action = action;
  entry.Submenu = submenu;
  Order.push_back(path);
  return entry;
}

void TMainMenus::Build() {
  std::vector<QMenu*> stack;
  std::vector<std::string> paths;
  for (const TCommand& row : MainCommands()) {
    if (row.Level == 0) {
      QMenu* top = NewMenu(nullptr);
      top->setTitle(
          QString::fromUtf8(row.Caption.data(), static_cast<qsizetype>(row.Caption.size())));
      Tops.push_back(top);
      stack.assign(1, top);
      paths.assign(1, PlainCaption(row.Caption));
      Add(paths[0], &row, top->menuAction(), top);
      continue;
    }
    stack.resize(static_cast<size_t>(row.Level));
    paths.resize(static_cast<size_t>(row.Level));
    QMenu* parent = stack.back();
    if (row.Kind == TCommandKind::Separator) {
      parent->addSeparator();
      continue;
    }
    const std::string path = paths.back() + "/" + PlainCaption(row.Caption);
    const QString hint = HintOf(row);
    if (row.Kind == TCommandKind::Item || row.Kind == TCommandKind::Title) {
      QAction* action = parent->addAction(MenuText(row));
      action->setStatusTip(hint);
      action->setToolTip(hint);
      if (row.Kind == TCommandKind::Title) MakeTitle(action);
      Add(path, &row, action, nullptr);
      if (row.Kind == TCommandKind::Item)
        connect(action, &QAction::triggered, this, [this, path] {
          const TEntry& entry = Entries.find(path)->second;
          if (entry.Run) entry.Run();
        });
      continue;
    }
    QMenu* sub = NewMenu(parent);
    sub->setTitle(MenuText(row));
    sub->menuAction()->setStatusTip(hint);
    sub->menuAction()->setToolTip(hint);
    parent->addMenu(sub);
    Add(path, &row, sub->menuAction(), sub);
    if (row.Kind == TCommandKind::Numbers) {
      if (!row.Heading.empty()) {
        QAction* title = sub->addAction(
            QString::fromUtf8(row.Heading.data(), static_cast<qsizetype>(row.Heading.size())));
        MakeTitle(title);
        Add(path + "/" + std::string(row.Heading), &row, title, nullptr).Number = -1;
      }
      std::vector<std::string> numbers;
      for (int n = row.Low; n <= row.High; ++n)
        numbers.push_back(std::to_string(n));
      if (!row.Extra.empty()) numbers.emplace_back(row.Extra);
      for (const std::string& number : numbers) {
        QAction* action = sub->addAction(QString::fromStdString(number));
        action->setStatusTip(hint);
        action->setCheckable(true);
        const std::string itemPath = path + "/" + number;
        Add(itemPath, &row, action, nullptr).Number = std::stoi(number);
        connect(action, &QAction::triggered, this, [this, itemPath] {
          const TEntry& entry = Entries.find(itemPath)->second;
          if (entry.Run) entry.Run();
        });
      }
    } else if (row.Kind == TCommandKind::Dynamic) {
      connect(sub, &QMenu::aboutToShow, this, [this, sub, path] {
        sub->clear();
        const auto fill = Fills.find(path);
        if (fill != Fills.end()) fill->second(*sub);
      });
    } else {
      stack.push_back(sub);
      paths.push_back(path);
    }
  }
}

QMenu* TMainMenus::Top(std::string_view name) const {
  const auto entry = Entries.find(name);
  return entry == Entries.end() ? nullptr : entry->second.Submenu;
}

QAction* TMainMenus::Action(std::string_view path) const {
  const auto entry = Entries.find(path);
  return entry == Entries.end() ? nullptr : entry->second.Action;
}

const TCommand* TMainMenus::Command(std::string_view path) const {
  const auto entry = Entries.find(path);
  return entry == Entries.end() ? nullptr : entry->second.Row;
}

void TMainMenus::On(std::string_view path, std::function<void()> run) {
  const auto entry = Entries.find(path);
  if (entry != Entries.end()) entry->second.Run = std::move(run);
}

void TMainMenus::OnNumber(std::string_view path, std::function<void(int)> run) {
  const std::string prefix = std::string(path) + "/";
  for (auto& [key, entry] : Entries)
    if (key.starts_with(prefix) && entry.Number > 0)
      entry.Run = [run, number = entry.Number] { run(number); };
}

void TMainMenus::OnFill(std::string_view path, std::function<void(QMenu&)> fill) {
  Fills[std::string(path)] = std::move(fill);
}

void TMainMenus::Enable(uint32_t terms) {
  for (auto& [path, entry] : Entries) {
    const TCommand& row = *entry.Row;
    bool enabled = row.Built && row.Rule.Holds(terms);
    if (row.Kind == TCommandKind::Item || (row.Kind == TCommandKind::Numbers && entry.Number > 0))
      enabled = enabled && entry.Run;
    else if (row.Kind == TCommandKind::Dynamic)
      enabled = enabled && Fills.contains(path);
    else if (row.Kind == TCommandKind::Title || entry.Number < 0)
      enabled = true;
    entry.Action->setEnabled(enabled);
  }
}

void TMainMenus::OnDynamicNumber(std::string_view path, std::function<void(int)> run) {
  DynamicNumbers[std::string(path)] = std::move(run);
}

bool TMainMenus::Enabled(std::string_view path) const {
  QAction* action = Action(path);
  if (!action || !action->isEnabled()) return false;
  // A disabled submenu disables what is inside it.
  for (std::string up(path); up.find('/') != std::string::npos;) {
    up.erase(up.rfind('/'));
    if (QAction* menu = Action(up); menu && !menu->isEnabled()) return false;
  }
  return true;
}

bool TMainMenus::Run(std::string_view path) {
  if (!Action(path)) {
    // An item of a dynamic submenu, named by its number.
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return false;
    const auto numbered = DynamicNumbers.find(path.substr(0, slash));
    if (numbered == DynamicNumbers.end() || !Enabled(numbered->first)) return false;
    const std::string number(path.substr(slash + 1));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
    numbered->second(std::stoi(number));
    return true;
  }
  if (!Enabled(path)) return false;
  Action(path)->trigger();
  return true;
}

void TMainMenus::SetChecked(std::string_view path, bool checked) {
  if (QAction* action = Action(path)) {
    action->setCheckable(true);
    action->setChecked(checked);
  }
}

void TMainMenus::Check(std::string_view group, std::string_view checkedCaption) {
  const std::string prefix = std::string(group) + "/";
  for (auto& [path, entry] : Entries)
    if (path.starts_with(prefix) && path.find('/', prefix.size()) == std::string::npos &&
        entry.Row->Kind != TCommandKind::Title && entry.Number >= 0) {
      entry.Action->setCheckable(true);
      entry.Action->setChecked(path.substr(prefix.size()) == checkedCaption);
    }
}

int TMainMenus::HelpContextOf(const QAction* action) const {
  for (const auto& [path, entry] : Entries)
    if (entry.Action == action) {
      if (entry.Row->HelpContext) return entry.Row->HelpContext;
      // An item without its own context takes its submenu's.
      for (std::string up = path; up.find('/') != std::string::npos;) {
        up.erase(up.rfind('/'));
        const auto parent = Entries.find(up);
        if (parent != Entries.end() && parent->second.Row->HelpContext)
          return parent->second.Row->HelpContext;
      }
      break;
    }
  return 100;
}

std::vector<std::string> TMainMenus::Paths() const {
  return Order;
}

bool TMainMenus::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    if (auto* menu = qobject_cast<QMenu*>(watched)) {
      ShowHelp(HelpContextOf(menu->activeAction()));
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

} // namespace cv
