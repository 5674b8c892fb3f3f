#pragma once
// The window's side of waiting for blocking work: while a wait lasts, user
// input is refused (the busy counter refuses commands; here the clicks and
// keys that would start them never arrive), Esc or a click on a loading
// notice cancels the wait, and closing a window cancels it and closes once
// the work has let go.

#include "foundation/OffThread.h"

#include <QObject>

namespace cv {

class TWaitInput : public QObject, public TWaitHost {
public:
  TWaitInput();
  ~TWaitInput() override;
  TWaitInput(const TWaitInput&) = delete;
  TWaitInput& operator=(const TWaitInput&) = delete;

  void WaitBegins(TWait& wait) override;
  void WaitEnds(TWait& wait) override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  int Depth = 0;
};

} // namespace cv
