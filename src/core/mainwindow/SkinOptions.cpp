#include "mainwindow/SkinOptions.h"

namespace cv {

TSkinOptions SkinOptions;

const std::array<TSkinColorField, 36> SkinColorFields{{
    {"FadeColor", &TSkinOptions::FadeColor},
    {"FillingColor", &TSkinOptions::FillingColor},
    {"ButtonMarginColor", &TSkinOptions::ButtonMarginColor},
    {"ButtonBackColor", &TSkinOptions::ButtonBackColor},
    {"ButtonTextColor", &TSkinOptions::ButtonTextColor},
    {"ButtonTintColor", &TSkinOptions::ButtonTintColor},
    {"ButtonHotTrackTintColor", &TSkinOptions::ButtonHotTrackTintColor},
    {"PushedMarginColor", &TSkinOptions::PushedMarginColor},
    {"PushedBackColor", &TSkinOptions::PushedBackColor},
    {"PushedTextColor", &TSkinOptions::PushedTextColor},
    {"PushedTintColor", &TSkinOptions::PushedTintColor},
    {"PushedHotTrackTintColor", &TSkinOptions::PushedHotTrackTintColor},
    {"WindowMarginColor", &TSkinOptions::WindowMarginColor},
    {"WindowBackColor", &TSkinOptions::WindowBackColor},
    {"WindowTextColor", &TSkinOptions::WindowTextColor},
    {"WindowTintColor", &TSkinOptions::WindowTintColor},
    {"MouseMenuBackColor", &TSkinOptions::MouseMenuBackColor},
    {"MouseMenuTextColor", &TSkinOptions::MouseMenuTextColor},
    {"ActiveFocusBackColor", &TSkinOptions::ActiveFocusBackColor},
    {"ActiveFocusTextColor", &TSkinOptions::ActiveFocusTextColor},
    {"ActiveFocusTintColor", &TSkinOptions::ActiveFocusTintColor},
    {"SelectionBackColor", &TSkinOptions::SelectionBackColor},
    {"SelectionTextColor", &TSkinOptions::SelectionTextColor},
    {"SelectionTintColor", &TSkinOptions::SelectionTintColor},
    {"GridColor", &TSkinOptions::GridColor},
    {"ThumbTextColor", &TSkinOptions::ThumbTextColor},
    {"DirsBackColor", &TSkinOptions::DirsBackColor},
    {"DirsTextColor", &TSkinOptions::DirsTextColor},
    {"LinksBackColor", &TSkinOptions::LinksBackColor},
    {"LinksTextColor", &TSkinOptions::LinksTextColor},
    {"ProgsBackColor", &TSkinOptions::ProgsBackColor},
    {"ProgsTextColor", &TSkinOptions::ProgsTextColor},
    {"DocsBackColor", &TSkinOptions::DocsBackColor},
    {"DocsTextColor", &TSkinOptions::DocsTextColor},
    {"FilesBackColor", &TSkinOptions::FilesBackColor},
    {"FilesTextColor", &TSkinOptions::FilesTextColor},
}};

void TSkinOptions::SetDefaults(bool all) {
  const TSkinOptions defaults;
  if (all) {
    *this = defaults;
    return;
  }
  for (const TSkinColorField& color : SkinColorFields)
    this->*color.Field = defaults.*color.Field;
}

} // namespace cv
