#include "mainwindow/InfoBar.h"

#include "columns/MyPanel.h"
#include "foundation/QtText.h"

#include <QFontMetrics>
#include <QHBoxLayout>

namespace cv {

TInfoBar::TInfoBar(int fields, QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (int i = 0; i < fields; ++i) {
    auto* field = new MyTPanel(this, MyTPanel::pmPanel);
    field->SetColorScheme(2);
    field->SetBorderWidth(2);
    field->SetPathEllipsis(true);
    layout->addWidget(field, 1);
    Fields.push_back(field);
  }
  setFixedHeight(QFontMetrics(font()).height() + 8);
}

void TInfoBar::SetFields(const std::vector<const TInfoField*>& fields) {
  for (size_t i = 0; i < Fields.size(); ++i) {
    const TInfoField* field = i < fields.size() ? fields[i] : nullptr;
    Fields[i]->SetCaption(field ? field->Caption : std::string());
    Fields[i]->setToolTip(field ? ToQString(field->Hint) : QString());
  }
}

} // namespace cv
