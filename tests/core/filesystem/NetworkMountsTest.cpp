// Connecting and disconnecting through GIO, where no network is needed.

#include "filesystem/NetworkMounts.h"

#include "foundation/Error.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace cv {
namespace {

TEST(NetworkMounts, AnAddressNoBackendServesFailsWithItsReason) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  std::unique_ptr<QCoreApplication> app;
  if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
  test::TRecordingUserInterface ui;
  EXPECT_FALSE(ConnectPartition("no-such-scheme://server/share"));
  EXPECT_EQ(FunStatContext.Description, "Failed to connect partition.");
  EXPECT_EQ(FunStatContext.Parameter1, "no-such-scheme://server/share");
  EXPECT_FALSE(FunStatContext.Parameter2.empty()) << "GIO's reason";
  EXPECT_FALSE(DisconnectPartition("file:///no/such/mount/here"));
  EXPECT_EQ(FunStatContext.Description, "Failed to disconnect partition.");
  // Whatever the machine has mounted, every entry can be named.
  for (const TNetworkMount& mount : NetworkMounts())
    EXPECT_FALSE(mount.Uri.empty()) << mount.Name;
}

} // namespace
} // namespace cv
