#include "fileops/OpenWith.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"

#include <gio/gio.h>

#include <algorithm>
#include <memory>

namespace cv {

std::function<void(const std::string& title, const std::string& sentence)> OfferOpenWith;

namespace {

// Owners for what GIO hands out, so a Raise leaving a body leaks nothing.
struct TObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using TObjectPtr = std::unique_ptr<T, TObjectUnref>;

struct TFree {
  void operator()(gpointer memory) const { g_free(memory); }
};
using TTextPtr = std::unique_ptr<gchar, TFree>;

struct TErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using TErrorPtr = std::unique_ptr<GError, TErrorFree>;

struct TAppListFree {
  void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};
using TAppListPtr = std::unique_ptr<GList, TAppListFree>;

std::string ErrorMessage(const TErrorPtr& error) {
  return error ? std::string(error->message) : std::string();
}

// Every application GIO knows, hidden ones included, matched by id.
TObjectPtr<GAppInfo> FindApplication(const std::string& id) {
  TAppListPtr all(g_app_info_get_all());
  for (GList* node = all.get(); node; node = node->next) {
    auto* app = static_cast<GAppInfo*>(node->data);
    const char* appId = g_app_info_get_id(app);
    if (appId && id == appId) return TObjectPtr<GAppInfo>(G_APP_INFO(g_object_ref(app)));
  }
  return nullptr;
}

void AddChoice(std::vector<TApplicationChoice>& choices, GAppInfo* app, bool isDefault) {
  const char* id = g_app_info_get_id(app);
  if (!id || !g_app_info_should_show(app)) return;
  if (std::any_of(choices.begin(), choices.end(),
                  [&](const TApplicationChoice& choice) { return choice.Id == id; }))
    return;
  const char* name = g_app_info_get_display_name(app);
  const char* exec = g_app_info_get_commandline(app);
  choices.push_back({id, name ? name : id, exec ? exec : "", isDefault});
}

} // namespace

std::string NoApplicationSentence(const std::string& title, const std::string& reason) {
  std::string sentence = "No application could open \"" + GetTitleName(title) + "\"";
  std::string why = reason;
  while (!why.empty() && (why.back() == '.' || why.back() == ' ' || why.back() == '\n'))
    why.pop_back();
  return sentence + (why.empty() ? std::string(".") : ": " + why + ".");
}

std::string ContentTypeOf(const std::string& title) {
  TGuard guard("ContentTypeOf");
  return guard.Run(std::string(), [&] {
    // GIO answers "inode/directory" and the like for what is not a regular
    // file and reads content only from regular files.
    TObjectPtr<GFile> file(g_file_new_for_path(title.c_str()));
    GError* failure = nullptr;
    TObjectPtr<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                 G_FILE_QUERY_INFO_NONE, nullptr, &failure));
    TErrorPtr error(failure);
    const char* type = info ? g_file_info_get_content_type(info.get()) : nullptr;
    if (!type) guard.Raise("Failed to get file information.", title, ErrorMessage(error));
    return std::string(type);
  });
}

std::string ContentTypeDescription(const std::string& contentType) {
  TTextPtr description(g_content_type_get_description(contentType.c_str()));
  return description ? std::string(description.get()) : contentType;
}

std::vector<TApplicationChoice> ApplicationsForType(const std::string& contentType) {
  std::vector<TApplicationChoice> choices;
  // GIO's default already falls back to the parent types' defaults and the
  // user's last choice; its full list covers the parent types as well.
  if (TObjectPtr<GAppInfo> preferred{g_app_info_get_default_for_type(contentType.c_str(), FALSE)})
    AddChoice(choices, preferred.get(), true);
  TAppListPtr all(g_app_info_get_all_for_type(contentType.c_str()));
  for (GList* node = all.get(); node; node = node->next)
    AddChoice(choices, static_cast<GAppInfo*>(node->data), false);
  return choices;
}

std::vector<TApplicationChoice> ApplicationsFor(const std::string& title) {
  TGuard guard("ApplicationsFor");
  return guard.Run(std::vector<TApplicationChoice>(), [&] {
    const std::string type = ContentTypeOf(title);
    guard.TakeOver();
    return ApplicationsForType(type);
  });
}

bool LaunchApplication(const std::string& id, const std::string& title) {
  TGuard guard("LaunchApplication");
  return guard.Run(false, [&] {
    TObjectPtr<GAppInfo> app = FindApplication(id);
    if (!app) guard.Raise("Failed to run file.", title, "Unknown application " + id);
    TObjectPtr<GFile> file(g_file_new_for_path(title.c_str()));
    GList files{file.get(), nullptr, nullptr};
    GError* failure = nullptr;
    const bool launched = g_app_info_launch(app.get(), &files, nullptr, &failure);
    TErrorPtr error(failure);
    if (!launched) guard.Raise("Failed to run file.", title, ErrorMessage(error));
    return true;
  });
}

} // namespace cv
