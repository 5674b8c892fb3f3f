#include "options/OptionsIni.h"

#include "foundation/StoredTextList.h"

#include <algorithm>

namespace cv {

void TOptionsIni::Add(TIniStep step, TReader read, TWriter write) {
  const auto after = std::upper_bound(Hooks.begin(), Hooks.end(), step,
                                      [](TIniStep s, const THook& hook) { return s < hook.Step; });
  Hooks.insert(after, THook{step, std::move(read), std::move(write)});
}

void TOptionsIni::Read(const TStoredTextList& ini) const {
  for (const THook& hook : Hooks)
    if (hook.ReadHook) hook.ReadHook(ini);
}

void TOptionsIni::Write(TStoredTextList& ini) const {
  ini.EraseAll();
  for (const THook& hook : Hooks)
    if (hook.WriteHook) hook.WriteHook(ini);
}

} // namespace cv
