#include "filesystem/NetworkMounts.h"

#include "foundation/Guard.h"

#include <QEventLoop>

#include <gio/gio.h>

namespace cv {

namespace {

struct TAnswer {
  QEventLoop Loop;
  bool Done = false;
  bool Ok = false;
  std::string Reason;
};

void Finish(TAnswer& answer, gboolean ok, GError* error) {
  answer.Ok = ok;
  if (error) {
    answer.Reason = error->message;
    g_error_free(error);
  }
  answer.Done = true;
  answer.Loop.quit();
}

void Wait(TAnswer& answer) {
  // GIO answers through the default main context, which Qt's event loop runs.
  while (!answer.Done)
    answer.Loop.exec();
}

} // namespace

std::vector<TNetworkMount> NetworkMounts() {
  std::vector<TNetworkMount> mounts;
  GVolumeMonitor* monitor = g_volume_monitor_get();
  GList* list = g_volume_monitor_get_mounts(monitor);
  for (GList* item = list; item; item = item->next) {
    GMount* mount = G_MOUNT(item->data);
    if (g_mount_can_unmount(mount)) {
      TNetworkMount entry;
      gchar* name = g_mount_get_name(mount);
      entry.Name = name ? name : "";
      g_free(name);
      GFile* root = g_mount_get_root(mount);
      gchar* path = g_file_get_path(root);
      entry.Root = path ? path : "";
      g_free(path);
      gchar* uri = g_file_get_uri(root);
      entry.Uri = uri ? uri : "";
      g_free(uri);
      g_object_unref(root);
      mounts.push_back(std::move(entry));
    }
    g_object_unref(mount);
  }
  g_list_free(list);
  g_object_unref(monitor);
  return mounts;
}

bool ConnectPartition(const std::string& uri) {
  TGuard guard("ConnectPartition");
  return guard.Run(false, [&] {
    GFile* location = g_file_new_for_commandline_arg(uri.c_str());
    GMountOperation* operation = g_mount_operation_new();
    TAnswer answer;
    g_file_mount_enclosing_volume(
        location, G_MOUNT_MOUNT_NONE, operation, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          GError* error = nullptr;
          const gboolean ok =
              g_file_mount_enclosing_volume_finish(G_FILE(source), result, &error);
          Finish(*static_cast<TAnswer*>(data), ok, error);
        },
        &answer);
    Wait(answer);
    g_object_unref(operation);
    g_object_unref(location);
    if (!answer.Ok) guard.Raise("Failed to connect partition.", uri, answer.Reason);
    return true;
  });
}

bool DisconnectPartition(const std::string& uri) {
  TGuard guard("DisconnectPartition");
  return guard.Run(false, [&] {
    GFile* location = g_file_new_for_uri(uri.c_str());
    GError* error = nullptr;
    GMount* mount = g_file_find_enclosing_mount(location, nullptr, &error);
    g_object_unref(location);
    if (!mount) {
      const std::string reason = error ? error->message : "";
      if (error) g_error_free(error);
      guard.Raise("Failed to disconnect partition.", uri, reason);
    }
    TAnswer answer;
    g_mount_unmount_with_operation(
        mount, G_MOUNT_UNMOUNT_NONE, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          GError* failure = nullptr;
          const gboolean ok = g_mount_unmount_with_operation_finish(G_MOUNT(source), result, &failure);
          Finish(*static_cast<TAnswer*>(data), ok, failure);
        },
        &answer);
    Wait(answer);
    g_object_unref(mount);
    if (!answer.Ok) guard.Raise("Failed to disconnect partition.", uri, answer.Reason);
    return true;
  });
}

} // namespace cv
