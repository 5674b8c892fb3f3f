#include "filesystem/Partitions.h"

#include "filesystem/File.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace cv {
namespace {

const std::string Fixtures = CORVANTIDE_FIXTURES "/filesystem/";

// Points the partition sources at a fixture mount table and at a /sys and
// a by-label tree made in a temporary directory; restores them at the end.
class TFixtureSources {
public:
  explicit TFixtureSources(const std::string& mountInfo) : Saved(PartitionSources()) {
    namespace fs = std::filesystem;
    const std::string sys = Dir.Path + "/sys";
    // The removable flag sits on the whole disk; the partition's node is a
    // link into the device tree, one level below it.
    for (const auto& [device, disk, removable] :
         {std::tuple{"8:33", "sdc", "1\n"}, std::tuple{"8:49", "sdd", "0\n"}}) {
      const std::string diskPath = sys + "/devices/pci0/block/" + disk;
      fs::create_directories(diskPath + "/" + disk + "1");
      std::ofstream(diskPath + "/removable") << removable;
      fs::create_directories(sys + "/dev/block");
      fs::create_symlink("../../devices/pci0/block/" + std::string(disk) + "/" + disk + "1",
                         sys + "/dev/block/" + device);
    }
    const std::string labels = Dir.Path + "/dev/disk/by-label";
    fs::create_directories(labels);
    fs::create_symlink("../../nvme0n1p3", labels + "/Data\\x20Disk");
    fs::create_symlink("../../nvme0n1p1", labels + "/EFI");
    PartitionSources() = {mountInfo, sys, labels};
  }
  ~TFixtureSources() { PartitionSources() = Saved; }
  std::string LabelRoot() const { return Dir.Path + "/dev/disk/by-label"; }

private:
  TPartitionSources Saved;
  test::TTempDir Dir;
};

// "type title" lines.
std::vector<std::pair<int, std::string>> ReadExpected(const std::string& title) {
  std::vector<std::pair<int, std::string>> expected;
  std::ifstream file(title, std::ios::binary);
  std::string line;
  while (std::getline(file, line))
    if (line.size() > 2) expected.emplace_back(line[0] - '0', line.substr(2));
  return expected;
}

class PartitionsTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(fsPerfect); }
};

TEST_F(PartitionsTest, UnescapesOctalFields) {
  const struct {
    const char* Field;
    const char* Text;
  } cases[] = {
      {"My\\040Stick", "My Stick"}, {"a\\011b", "a\tb"},   {"a\\012b", "a\nb"},
      {"back\\134slash", "back\\slash"}, {"no\\08", "no\\08"}, {"end\\04", "end\\04"},
      {"\\", "\\"},                 {"\\101\\102", "AB"},  {"\\377", "\xFF"},
      {"\\400", "\\400"},             {"a\\777b", "a\\777b"},
  };
  for (const auto& c : cases) EXPECT_EQ(UnescapeMountField(c.Field), c.Text) << c.Field;
}

TEST_F(PartitionsTest, ParsesMountInfoLines) {
  std::ifstream file(Fixtures + "desktop.mountinfo", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::vector<TMountEntry> mounts = ParseMountInfo(text);
  ASSERT_EQ(mounts.size(), 26u); // three malformed lines skipped
  const TMountEntry& stick = mounts[13];
  EXPECT_EQ(stick.MountId, 43);
  EXPECT_EQ(stick.ParentId, 27);
  EXPECT_EQ(stick.Major, 8u);
  EXPECT_EQ(stick.Minor, 17u);
  EXPECT_EQ(stick.Root, "/");
  EXPECT_EQ(stick.MountPoint, "/run/media/ann/My Stick");
  EXPECT_EQ(stick.MountOptions, "rw,nosuid,nodev,relatime");
  EXPECT_EQ(stick.FileSystem, "vfat");
  EXPECT_EQ(stick.Source, "/dev/sdb1");
  EXPECT_EQ(stick.SuperOptions, "rw,uid=1000");
  EXPECT_EQ(mounts[10].Root, "/ann/shared"); // the bind mount keeps its sub-tree
  EXPECT_EQ(mounts[22].MountPoint, "/mnt/tab\tdir\\x");
  // Optional fields may be absent or many.
  EXPECT_EQ(ParseMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n")[0].Source, "/dev/sda1");
  EXPECT_EQ(ParseMountInfo("1 0 8:1 / / rw a:1 b:2 c:3 - ext4 /dev/sda1 rw\r\n")[0].FileSystem, "ext4");
  EXPECT_TRUE(ParseMountInfo("1 0 8:1 / relative rw - ext4 /dev/sda1 rw\n").empty());
  EXPECT_TRUE(ParseMountInfo("1 0 81 / / rw - ext4 /dev/sda1 rw\n").empty());
  EXPECT_TRUE(ParseMountInfo("").empty());
}

TEST_F(PartitionsTest, FixtureListsAndTypes) {
  // "layers": snaps, container layers and other system images are no
  // partitions; btrfs subvolumes of a shown volume repeat it.
  for (const char* name : {"desktop", "container", "machine", "layers"}) {
    SCOPED_TRACE(name);
    const TFixtureSources sources(Fixtures + name + ".mountinfo");
    const auto expected = ReadExpected(Fixtures + name + ".expected");
    ASSERT_FALSE(expected.empty());
    std::vector<std::string> list{"kept"};
    const int count = GetPartitionList(list);
    EXPECT_EQ(FunStatContext.Status, fsPerfect);
    ASSERT_EQ(count, static_cast<int>(expected.size()));
    ASSERT_EQ(list.size(), expected.size() + 1); // appends
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(list[i + 1], expected[i].second);
      EXPECT_EQ(GetPartitionType(expected[i].second), expected[i].first) << expected[i].second;
    }
  }
}

TEST_F(PartitionsTest, Suffixes) {
  const TFixtureSources sources(Fixtures + "desktop.mountinfo");
  const struct {
    const char* Title;
    const char* Suffix;
  } cases[] = {
      {":/home", " (Fixed: \"Data Disk\")"},
      {":/boot/efi", " (Fixed: \"EFI\")"},
      {":/", " (Fixed)"},
      {":/mnt/nas", " (Remote: \"nas.local:/export/media\")"},
      {":/mnt/win", " (Remote: \"//server/share\")"},
      {":/media/cdrom", " (CD)"},
      {":/tmp", " (RAM)"},
      {":/run/media/ann/My Stick", " (Removable)"},
      {":/mnt/usbdisk", " (Removable)"},
      {"/home", ""},       // a directory title
      {"/home/", ""},
      {":/home/", ""},     // not a partition title form
      {":/home/ann", ""},  // no mount there
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(GetPartitionSuffix(c.Title), c.Suffix) << c.Title;
}

// FUSE file systems count as remote (they may hang like a share, so they
// are neither polled nor searched for links), but for the drivers of local
// disks; "fusectl" is no FUSE file system.
TEST_F(PartitionsTest, FuseMountsOfUnknownKindAreRemote) {
  const TFixtureSources sources(Fixtures + "no-such.mountinfo");
  const struct {
    const char* Line;
    int Type;
    const char* Suffix;
  } cases[] = {
      {"60 1 0:61 / /mnt/hang rw - fuse.corvantide-hangfs hangfs rw", ptRemote,
       " (Remote: \"hangfs\")"},
      {"61 1 0:62 / /mnt/plain rw - fuse memfs rw", ptRemote, " (Remote: \"memfs\")"},
      {"62 1 0:63 / /mnt/ssh rw - fuse.sshfs ann@host:/ rw", ptRemote, " (Remote: \"ann@host:/\")"},
      {"63 1 0:64 / /media/ann/cloud rw - fuse.rclone drive: rw", ptRemote,
       " (Remote: \"drive:\")"},
      {"64 1 8:33 / /mnt/stick rw - fuseblk /dev/sdc1 rw", ptRemovable, " (Removable)"},
      {"65 1 8:49 / /mnt/disk rw - fuseblk /dev/sdd1 rw", ptFixed, " (Fixed)"},
      {"66 1 0:65 / /mnt/win rw - fuse.ntfs-3g /dev/nvme0n1p5 rw", ptFixed, " (Fixed)"},
      {"67 1 0:66 / /media/ann/card rw - fuse.exfat /dev/mmcblk0p1 rw", ptRemovable,
       " (Removable)"},
      {"68 1 0:67 / /sys/fs/fuse/connections rw - fusectl fusectl rw", ptUnknown, ""},
      {"69 1 0:68 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw", ptUnknown, ""},
  };
  for (const auto& c : cases) {
    const TMountTable table(ParseMountInfo(c.Line), PartitionSources());
    ASSERT_EQ(table.Mounts().size(), 1u) << c.Line;
    const TMountEntry& mount = table.Mounts().front();
    EXPECT_EQ(table.TypeOf(mount), c.Type) << c.Line;
    EXPECT_EQ(table.SuffixOf(mount), c.Suffix) << c.Line;
  }
}

TEST_F(PartitionsTest, PartitionOfATitle) {
  const TFixtureSources sources(Fixtures + "desktop.mountinfo");
  EXPECT_EQ(GetPartitionOfTitle("/home/ann/x"), ":/home");
  EXPECT_EQ(GetPartitionOfTitle("/home"), ":/home");
  EXPECT_EQ(GetPartitionOfTitle("/homes/x"), ":/");
  EXPECT_EQ(GetPartitionOfTitle(":/home"), ":/home");
  EXPECT_EQ(GetPartitionOfTitle("/run/media/ann/My Stick/a/b"), ":/run/media/ann/My Stick");
  EXPECT_EQ(GetPartitionOfTitle("/home/../tmp/x"), ":/tmp");
  EXPECT_EQ(GetPartitionOfTitle(""), "");

  EXPECT_EQ(GetPartitionType("/home/ann/film.mkv"), ptFixed);
  EXPECT_EQ(GetPartitionType("/mnt/nas/film.mkv"), ptRemote);
  EXPECT_EQ(GetPartitionType("/tmp/x"), ptRAM);
  EXPECT_EQ(GetPartitionType("/proc/self"), ptUnknown); // nothing there to list or poll
  EXPECT_EQ(FunStatContext.Status, fsWarning);
  EXPECT_EQ(GetPartitionNumber("/home/ann"), 4);
  EXPECT_EQ(GetPartitionNumber("/etc"), 1);
  EXPECT_EQ(GetPartitionNumber("/srv/share/x"), 0); // a bind mount, not listed

  EXPECT_TRUE(IsSameRoot("/home/a", "/home/b/c"));
  EXPECT_TRUE(IsSameRoot("/etc", "/usr/bin"));
  EXPECT_FALSE(IsSameRoot("/home/a", "/tmp/a"));
  EXPECT_FALSE(IsSameRoot("/home/ann/shared/x", "/srv/share/x")); // renames fail across mounts
  EXPECT_FALSE(IsSameRoot("", "/"));

  EXPECT_TRUE(IsMountedPartition(":/home"));
  EXPECT_TRUE(IsMountedPartition(":/"));
  EXPECT_FALSE(IsMountedPartition(":/home/ann"));
  EXPECT_FALSE(IsMountedPartition("/home"));
}

TEST_F(PartitionsTest, LabelsByDeviceNumber) {
  const TFixtureSources sources(Fixtures + "desktop.mountinfo");
  const std::shared_ptr<const TMountTable> table = CurrentMountTable();
  ASSERT_NE(table, nullptr);
  const TMountEntry* mapped = table->MountOfPath("/mnt/ro");
  ASSERT_NE(mapped, nullptr);
  EXPECT_EQ(PartitionLabelOfMount(*mapped, sources.LabelRoot()), "");
  // A device-mapper node is named dm-N: only its device number matches.
  const std::string node = sources.LabelRoot() + "/../../dm-0";
  if (::mknod(node.c_str(), S_IFBLK | 0600, makedev(253, 0)) != 0)
    GTEST_SKIP() << "cannot make device nodes here: " << SystemErrorText(errno);
  ASSERT_EQ(::symlink("../../dm-0", (sources.LabelRoot() + "/backup").c_str()), 0);
  EXPECT_EQ(PartitionLabelOfMount(*mapped, sources.LabelRoot()), "backup");
}

TEST_F(PartitionsTest, FlagsOfMountsAndTheirLetters) {
  const struct {
    uint32_t Flags;
    const char* Text;
  } texts[] = {
      {0, ""},
      {pfEncryption | pfReparsePoints | pfNamedStreams | pfSparseFiles, "ERpSSf"},
      {pfCompression | pfEncryption | pfQuotas | pfReadOnlyVolume | pfReparsePoints |
           pfNamedStreams | pfSparseFiles,
       "CEQRRpSSf"},
  };
  for (const auto& t : texts) EXPECT_EQ(PartitionFlagsText(t.Flags), t.Text);

  const TFixtureSources sources(Fixtures + "desktop.mountinfo");
  const std::shared_ptr<const TMountTable> table = CurrentMountTable();
  ASSERT_NE(table, nullptr);
  const struct {
    const char* MountPoint;
    const char* Text;
  } cases[] = {
      {"/", "ERpSSf"},
      {"/home", "EQRpSSf"},
      {"/boot/efi", ""},
      {"/media/cdrom", "R"},
      {"/data", "CRpSSf"},
      {"/mnt/ro", "ERRpSSf"},
      {"/mnt/nas", "RpSf"},
  };
  for (const auto& c : cases) {
    const TMountEntry* mount = table->MountOfPath(c.MountPoint);
    ASSERT_NE(mount, nullptr) << c.MountPoint;
    EXPECT_EQ(PartitionFlagsText(PartitionFlagsOfMount(*mount)), c.Text) << c.MountPoint;
  }
}

TEST_F(PartitionsTest, UnreadableMountTableFails) {
  const TFixtureSources sources(Fixtures + "no-such.mountinfo");
  std::vector<std::string> list;
  EXPECT_EQ(GetPartitionList(list), 0);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(FunStatContext.Description, "Failed to read mount table.");
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(GetPartitionType("/x"), ptUnknown);
  EXPECT_EQ(FunStatContext.Description, "Failed to get type.");
  EXPECT_EQ(GetPartitionSuffix(":/"), "");
}

std::string RealPath(const std::string& path) {
  return std::filesystem::canonical(path).string();
}

void WriteFile(const std::string& title, const std::string& text) {
  std::ofstream(title, std::ios::binary | std::ios::trunc) << text;
}

// The table is read once: a changed file is not read again as long as the
// kernel reports no change of the mounts (an ordinary file never does).
TEST_F(PartitionsTest, MountTableIsKeptUntilTheMountsChange) {
  const test::TTempDir dir;
  const std::string title = dir.Path + "/mountinfo";
  std::filesystem::copy_file(Fixtures + "desktop.mountinfo", title);
  const TFixtureSources sources(title);
  ASSERT_EQ(GetPartitionOfTitle("/mnt/nas/film.mkv"), ":/mnt/nas");
  const std::shared_ptr<const TMountTable> first = CurrentMountTable();
  WriteFile(title, "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n");
  EXPECT_EQ(GetPartitionOfTitle("/mnt/nas/film.mkv"), ":/mnt/nas");
  EXPECT_EQ(GetPartitionSuffix(":/mnt/nas"), " (Remote: \"nas.local:/export/media\")");
  EXPECT_EQ(GetPartitionType("/mnt/nas/film.mkv"), ptRemote);
  EXPECT_EQ(CurrentMountTable(), first);
  // Other sources are read at once.
  PartitionSources().MountInfoTitle = Fixtures + "menu.mountinfo";
  EXPECT_EQ(GetPartitionOfTitle("/mnt/nas/film.mkv"), ":/mnt/nas");
  EXPECT_EQ(GetPartitionSuffix(":/mnt/nas"), " (Remote: \"nas:/export\")");
}

// A new mount in a mount namespace of our own: poll() reports it and the
// next look-up sees it.
TEST_F(PartitionsTest, MountTableFollowsMountChanges) {
  const test::TTempDir dir;
  const std::string point = RealPath(dir.Path);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      ::_exit(77);
    // Opened here, in the new namespace.
    PartitionSources().MountInfoTitle = "/proc/thread-self/mountinfo";
    if (GetPartitionOfTitle(point + "/x") == ":" + point) ::_exit(1);
    if (::mount("tmpfs", point.c_str(), "tmpfs", 0, "size=1m") != 0) ::_exit(77);
    if (GetPartitionOfTitle(point + "/x") != ":" + point) ::_exit(2);
    if (GetPartitionType(point + "/x") != ptRAM) ::_exit(3);
    if (::umount(point.c_str()) != 0) ::_exit(4);
    if (GetPartitionOfTitle(point + "/x") == ":" + point) ::_exit(5);
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace of our own here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failed at step " << WEXITSTATUS(status);
}

// The partition of a title is that of its symbolic links' target; a title
// that does not exist takes the partition of its longest existing ancestor.
TEST_F(PartitionsTest, LinkedTitlesLieOnTheTargetsPartition) {
  const test::TTempDir dir;
  const std::string root = RealPath(dir.Path);
  const std::string stick = root + "/media/STICK";
  const std::string home = root + "/home/ann";
  std::filesystem::create_directories(stick + "/photos");
  std::filesystem::create_directories(home);
  std::filesystem::create_symlink(stick, home + "/stick");
  std::filesystem::create_symlink("stick/photos", home + "/pics"); // relative, through a link
  std::filesystem::create_symlink(root + "/nowhere", home + "/dangling");
  std::filesystem::create_symlink("loop", home + "/loop");
  const std::string share = root + "/nas";
  std::filesystem::create_directories(share);
  std::filesystem::create_symlink(stick, share + "/stick");
  std::string table = "1 0 259:2 / / rw - ext4 /dev/nvme0n1p2 rw\n";
  table += "2 1 8:33 / " + stick + " rw - vfat /dev/sdc1 rw\n";
  table += "3 1 0:40 / " + share + " rw - nfs4 nas:/export rw\n";
  WriteFile(root + "/mountinfo", table);
  const TFixtureSources sources(root + "/mountinfo");
  const std::string onStick = ":" + stick;
  const struct {
    std::string Title;
    std::string Partition;
  } cases[] = {
      {home + "/stick", onStick},
      {home + "/stick/", onStick},
      {home + "/stick/photos/a.jpg", onStick},
      {home + "/stick/new/deeper/a.jpg", onStick}, // not there yet
      {home + "/pics/a.jpg", onStick},
      {home + "/x/../stick/a", onStick},
      {home + "/dangling/a", ":/"},
      {home + "/loop/a", ":/"},
      {home + "/a", ":/"},
      {stick + "/a", onStick},
      {share + "/stick/a", ":" + share}, // a share is not searched for links
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetPartitionOfTitle(c.Title), c.Partition) << c.Title;
  // Facts, flags and polling follow the stick, not the disk of the link.
  EXPECT_EQ(GetPartitionType(home + "/stick/a.jpg"), ptRemovable);
  EXPECT_EQ(GetPartitionType(home + "/a.jpg"), ptFixed);
  TPartitionInfo info;
  ASSERT_TRUE(info.Load(home + "/stick/a.jpg"));
  EXPECT_EQ(info.FileSystemName, "vfat");
  EXPECT_EQ(GetPartitionFlagsText(home + "/pics"), "");
  EXPECT_EQ(GetPartitionFlagsText(home + "/a.jpg"), "ERpSSf");
  EXPECT_TRUE(IsSameRoot(home + "/stick/a", stick + "/b"));
  EXPECT_FALSE(IsSameRoot(home + "/stick/a", home + "/b"));
}

// An automount point is not walked into: a lookup there wakes the
// automounter, which may hang on a server that is gone. What the automounter
// has mounted over a direct map is walked as that file system.
TEST_F(PartitionsTest, TheLinkWalkStopsAtAutomountPoints) {
  const test::TTempDir dir;
  const std::string root = RealPath(dir.Path);
  const std::string stick = root + "/media/STICK";
  const std::string automount = root + "/net";
  const std::string direct = root + "/data";
  const std::string home = root + "/home/ann";
  for (const std::string& path : {stick, automount, direct, home})
    std::filesystem::create_directories(path);
  std::filesystem::create_symlink(stick, automount + "/stick");
  std::filesystem::create_symlink(stick, direct + "/stick");
  std::filesystem::create_symlink(automount, home + "/net");
  std::string table = "1 0 259:2 / / rw - ext4 /dev/nvme0n1p2 rw\n";
  table += "2 1 8:33 / " + stick + " rw - vfat /dev/sdc1 rw\n";
  table += "3 1 0:41 / " + automount + " rw - autofs auto.net rw,fd=5,indirect\n";
  table += "4 1 0:42 / " + direct + " rw - autofs auto.direct rw,fd=6,direct\n";
  table += "5 4 8:49 / " + direct + " rw - ext4 /dev/sdd1 rw\n";
  WriteFile(root + "/mountinfo", table);
  const TFixtureSources sources(root + "/mountinfo");
  const struct {
    std::string Title;
    std::string Partition;
  } cases[] = {
      {automount + "/stick/a", ":" + automount},
      {automount + "/stick", ":" + automount},
      {home + "/net/stick/a", ":" + automount}, // a link to the automount point
      {direct + "/stick/a", ":" + stick},       // mounted already: a disk like any
      {home + "/a", ":/"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetPartitionOfTitle(c.Title), c.Partition) << c.Title;
}

// The machine's own mount table.
TEST_F(PartitionsTest, LiveListHoldsTheRoot) {
  std::vector<std::string> list;
  ASSERT_GT(GetPartitionList(list), 0);
  ASSERT_EQ(list.front(), ":/");
  EXPECT_TRUE(IsMountedPartition(":/"));
  EXPECT_TRUE(PartitionExists("/"));
  EXPECT_EQ(GetPartitionNumber("/"), 1);
  EXPECT_NE(GetPartitionType("/"), ptUnknown);
  EXPECT_FALSE(GetPartitionSuffix(":/").empty());
  const uint64_t total = GetPartitionTotalSize(":/");
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_GT(total, 0u);
  EXPECT_LE(GetPartitionFreeSize("/"), total);
  TPartitionInfo info;
  ASSERT_TRUE(info.Load(":/"));
  EXPECT_FALSE(info.FileSystemName.empty());
  EXPECT_GT(info.MaximumComponentLength, 0u);
  EXPECT_TRUE(IsSameRoot("/", "/."));
}

} // namespace
} // namespace cv
