#pragma once
// Connecting and disconnecting network disks through GIO: a location (an
// address such as "smb://server/share" or "sftp://host/") is mounted where
// the desktop mounts it, and the user's mounts can be unmounted again.

#include <string>
#include <vector>

namespace cv {

struct TNetworkMount {
  std::string Name;
  std::string Root; // local path of its root, empty when it has none
  std::string Uri;
};

// The mounts the desktop's volume monitor knows that can be unmounted.
std::vector<TNetworkMount> NetworkMounts();
// Mounts the location; waits (keeping the event loop running) until GIO
// answers. Failure: "Failed to connect partition." with GIO's reason.
bool ConnectPartition(const std::string& uri);
// Unmounts the mount whose root URI is `uri`. Failure: "Failed to
// disconnect partition." with GIO's reason.
bool DisconnectPartition(const std::string& uri);

} // namespace cv
