#include "mainwindow/UserLogo.h"

#include "filesystem/File.h"
#include "foundation/Drawing.h"
#include "foundation/Guard.h"

#include <QPainter>

#include <sys/stat.h>

namespace cv {

TUserLogo::TUserLogo(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("UserLogo"));
}

void TUserLogo::SetPicture(const std::string& title) {
  Item = {};
  // The size and time key the cached thumb: a changed picture is rendered again.
  struct stat facts {};
  if (!title.empty() && ::stat(title.c_str(), &facts) == 0 && S_ISREG(facts.st_mode)) {
    Item.Title = title;
    Item.Size = facts.st_size;
    Item.Modified = static_cast<int64_t>(UnixTimeToFileTime(
        facts.st_mtim.tv_sec, static_cast<uint32_t>(facts.st_mtim.tv_nsec)));
  }
  update();
}

void TUserLogo::paintEvent(QPaintEvent*) {
  TGuard guard("TMainForm::UserLogoPaint");
  guard.Run([&] {
    QPainter canvas(this);
    canvas.fillRect(rect(), ToQColor(BackColor));
    if (HasPicture() && PaintThumb) PaintThumb(canvas, rect(), Item);
  });
  // A dialog cannot open inside a paint: the failure is logged.
  bool quiet = true;
  guard.Show("Failed to paint.", &quiet);
}

} // namespace cv
