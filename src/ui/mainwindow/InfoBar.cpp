#include "mainwindow/InfoBar.h"

#include "columns/MyPanel.h"
#include "foundation/QtText.h"


namespace cv {

TInfoBar::TInfoBar(int fields, QWidget* parent) : QWidget(parent) {
  for (int i = 0; i < fields; ++i) {
    auto* field = new MyTPanel(this, MyTPanel::pmPanel);
    field->SetColorScheme(2);
    field->SetBorderWidth(2);
    field->SetPathEllipsis(true);
    Fields.push_back(field);
  }
}

void TInfoBar::Place(const std::vector<QRect>& fields) {
  // A field draws its own frame: it takes the bar's whole height.
  for (size_t i = 0; i < Fields.size(); ++i)
    Fields[i]->setGeometry(i < fields.size() ? QRect(fields[i].x(), 0, fields[i].width(), height())
                                             : QRect());
}

void TInfoBar::SetFields(const std::vector<const TInfoField*>& fields) {
  for (size_t i = 0; i < Fields.size(); ++i) {
    const TInfoField* field = i < fields.size() ? fields[i] : nullptr;
    Fields[i]->SetCaption(field ? field->Caption : std::string());
    Fields[i]->setToolTip(field ? ToQString(field->Hint) : QString());
  }
}

} // namespace cv
