// The drive table, tool-form paths to native ones, and back.
#include "files/fixture.h"
#include "support/child_process.h"
#include "textscreen/base/codepage437.h"

namespace {

using ts::platform::PathError;
using ts::platform::ToNative;
using tst::FilesTest;

TEST(DriveTable, MountPointsUnderTheRemovableFolders) {
  std::string mounts =
      "/dev/sda1 / ext4 rw 0 0\n"
      "/dev/sdc1 /run/media/op/B vfat rw 0 0\n"
      "/dev/sdb1 /media/op/MY\\040STICK vfat rw 0 0\n"
      "tmpfs /media tmpfs rw 0 0\n"
      "/dev/sdd1 /mnt/card vfat rw 0 0\n"
      "/dev/sdd1 /mnt/card vfat rw 0 0\n"
      "/dev/sde1 /mediax/z vfat rw 0 0\n"
      "/dev/sdf1 /home/op/mnt/x ext4 rw 0 0\n";
  EXPECT_EQ(ts::platform::RemovableMountPoints(mounts),
            (std::vector<std::string>{"/media/op/MY STICK", "/mnt/card", "/run/media/op/B"}));
}

// The table as "C=/;E=/media/stick", letters in order.
std::string TableText(const ts::platform::DriveTable& roots) {
  std::string text;
  for (int i = 0; i < 26; ++i) {
    if (!roots[i]) continue;
    if (!text.empty()) text += ";";
    text += std::string(1, char('A' + i)) + "=" + *roots[i];
  }
  return text;
}

std::string LeftOut(const std::string& entry, const std::string& why) {
  return "LOGSHIP_DRIVES entry \"" + entry + "\" left out: " + why;
}

TEST(DriveTable, WithoutTheVariableMountsTakeTheLettersFromD) {
  std::string many;
  for (int i = 0; i < 24; ++i) many += "/dev/sd" + std::to_string(i) + " /mnt/m" +
                                       std::string(1, char('a' + i)) + " vfat rw 0 0\n";
  std::string lettersDToZ;
  for (int i = 0; i < 23; ++i)
    lettersDToZ += ";" + std::string(1, char('D' + i)) + "=/mnt/m" + std::string(1, char('a' + i));
  const struct {
    const char* name;
    std::string mounts, table;
  } cases[] = {
      {"no stick", "/dev/sda1 / ext4 rw 0 0\nproc /proc proc rw 0 0\n", "C=/"},
      {"sticks in sorted order",
       "/dev/sda1 / ext4 rw 0 0\n/dev/sdc1 /run/media/op/B vfat rw 0 0\n"
       "/dev/sdb1 /media/op/STICK vfat rw 0 0\n/dev/sdd1 /mnt/card vfat rw 0 0\n",
       "C=/;D=/media/op/STICK;E=/mnt/card;F=/run/media/op/B"},
      {"more sticks than letters", many, "C=/" + lettersDToZ},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TableText(ts::platform::DefaultDrives(c.mounts)), c.table) << c.name;
}

TEST(DriveTable, EntriesThatDoNotParseAreNamedAndLeftOut) {
  const std::string twice = "E is given twice; the first, E=/a, counts";
  struct Case {
    std::string text, table;
    std::vector<std::string> said;
  } cases[] = {
      {"C=/;E=/media/stick", "C=/;E=/media/stick", {}},
      {" c=/ ;\tE = /media/my stick/ ", "C=/;E=/media/my stick", {}},
      {"C=/;;E=/e;", "C=/;E=/e", {}},
      {"", "", {}},
      {" ; ", "", {}},
      {"bad;C=/", "C=/", {LeftOut("bad", "no \"=\" between drive letter and folder")}},
      {"C=/; Z = media/stick ",
       "C=/",
       {LeftOut("Z = media/stick", "the folder \"media/stick\" does not start with \"/\"")}},
      {"E=", "", {LeftOut("E=", "no folder after \"=\"")}},
      {"=/x", "", {LeftOut("=/x", "no drive letter before \"=\"")}},
      {"1=/x;CD=/y;\xc3\x89=/z;F=/f",
       "F=/f",
       {LeftOut("1=/x", "\"1\" is not a drive letter A to Z"),
        LeftOut("CD=/y", "\"CD\" is not a drive letter A to Z"),
        LeftOut("\xc3\x89=/z", "\"\xc3\x89\" is not a drive letter A to Z")}},
      {"E=/a;e=/b;C=/;E=/a", "C=/;E=/a", {LeftOut("e=/b", twice), LeftOut("E=/a", twice)}},
  };
  for (const Case& c : cases) {
    ts::platform::DriveMapping m = ts::platform::ParseDriveMapping(c.text);
    EXPECT_EQ(TableText(m.roots), c.table) << c.text;
    EXPECT_EQ(m.complaints, c.said) << c.text;
  }
}

TEST(DriveTable, EachComplaintIsSaidOncePerProcess) {
  // Entries no other test uses: what this process said before stays unsaid.
  tst::ChildResult run = tst::RunInChild({}, [] {
    setenv("LOGSHIP_DRIVES", "C=/;once-a;E=once-b", 1);
    for (int read = 0; read < 3; ++read) {
      ts::platform::ReloadDrives();
      if (ts::platform::DriveRoot('C') != "/") return 1;
    }
    return 0;
  });
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.stderrText,
            "test_files: " + LeftOut("once-a", "no \"=\" between drive letter and folder") +
                "\ntest_files: " +
                LeftOut("E=once-b", "the folder \"once-b\" does not start with \"/\"") + "\n");
}

TEST_F(FilesTest, DrivesFromTheVariable) {
  Drives(("c=/;E=" + dir + "/stick/;bad;Z=relative;;x=/opt").c_str());
  EXPECT_EQ(ts::platform::DriveRoot('C'), "/");
  EXPECT_EQ(ts::platform::DriveRoot('e'), dir + "/stick");
  EXPECT_EQ(ts::platform::DriveRoot('X'), "/opt");
  for (char unmapped : {'A', 'B', 'D', 'Z', '1'}) EXPECT_EQ(ts::platform::DriveRoot(unmapped), std::nullopt) << unmapped;

  Drives("");
  for (char letter = 'A'; letter <= 'Z'; ++letter) EXPECT_EQ(ts::platform::DriveRoot(letter), std::nullopt);

  Drives(nullptr);
  EXPECT_EQ(ts::platform::DriveRoot('C'), "/");
  EXPECT_EQ(ts::platform::DriveRoot('A'), std::nullopt);
  EXPECT_EQ(ts::platform::DriveRoot('B'), std::nullopt);
  // The rest as this machine's mounts give them.
  const ts::platform::DriveTable mounted =
      ts::platform::DefaultDrives(tst::ReadFile("/proc/self/mounts").value_or(""));
  for (char letter = 'D'; letter <= 'Z'; ++letter)
    EXPECT_EQ(ts::platform::DriveRoot(letter), mounted[letter - 'A']) << letter;
}

TEST_F(FilesTest, ToolPathsBecomeNativePaths) {
  Write("Sub/Direct.TMP", "");
  Write("stick/Data/LOG.cbr", "");
  Folder("stick/other");
  Drives(("C=/;E=" + In("stick") + ";F=" + In("gone")).c_str());
  struct {
    const char* tool;
    std::string native;
  } cases[] = {
      {"sub\\direct.tmp", "Sub/Direct.TMP"},
      {"SUB/NEW.TXT", "Sub/NEW.TXT"},
      {"missing\\Sub", "missing/Sub"},
      {"", "."},
      {".\\a\\..\\sub", "Sub"},
      {"..\\x", "../x"},
      {"E:\\", In("stick")},
      {"e:\\data\\log.CBR", In("stick/Data/LOG.cbr")},
      {"E:\\..\\..\\data", In("stick/Data")},
      {"E:data", In("stick/Data")},
      {"\\tmp", "/tmp"},
      {"C:\\TMP", "/tmp"},
  };
  for (const auto& c : cases) {
    ts::platform::NativePath n = ToNative(c.tool);
    EXPECT_EQ(n.path, c.native) << c.tool;
    EXPECT_EQ(n.error, PathError::None) << c.tool;
  }
  EXPECT_EQ(ToNative("Q:\\x").error, PathError::NoDrive);
  EXPECT_EQ(ToNative("F:\\x").error, PathError::NotReady);

  // On drive E, a leading separator starts at E's root and "E:name" at
  // the current directory.
  ASSERT_EQ(chdir(In("stick/other").c_str()), 0);
  EXPECT_EQ(ToNative("\\data").path, In("stick/Data"));
  EXPECT_EQ(ToNative("E:x").path, In("stick/other/x"));
  EXPECT_EQ(ToNative("E:..\\data").path, In("stick/Data"));

  // No mapped drive holds the current directory: the native root.
  Drives(("E=" + In("stick")).c_str());
  ASSERT_EQ(chdir(dir.c_str()), 0);
  EXPECT_EQ(ToNative("\\tmp").path, "/tmp");
}

TEST_F(FilesTest, CurrentDirectoryInTheToolsForm) {
  Folder("stick/Sub");
  auto backslashed = [](std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
  };
  Drives(("C=/;E=" + In("stick")).c_str());
  EXPECT_EQ(ts::platform::CurrentDirectoryToolForm(), "C:" + backslashed(dir));
  ASSERT_EQ(chdir(In("stick").c_str()), 0);
  EXPECT_EQ(ts::platform::CurrentDirectoryToolForm(), "E:\\") << "the longest root wins";
  ASSERT_EQ(chdir(In("stick/Sub").c_str()), 0);
  EXPECT_EQ(ts::platform::CurrentDirectoryToolForm(), "E:\\Sub");

  // With no drive at all the form has no letter, and it leads back.
  Drives("");
  ts::Bytes form = ts::platform::CurrentDirectoryToolForm();
  EXPECT_EQ(form, backslashed(In("stick/Sub")));
  ASSERT_EQ(chdir("/"), 0);
  ASSERT_EQ(chdir(ToNative(form).path.c_str()), 0);
  EXPECT_EQ(Cwd(), In("stick/Sub"));
}

// Components taken lexically onto the ones already there: what ".." may
// take away, and how many of the earlier ones it left alone.
TEST(PathComponents, DotsTakenLexically) {
  using Parts = std::vector<std::string>;
  const struct {
    Parts before;
    const char* path;
    bool absolute;
    Parts after;
    size_t untouched;
  } cases[] = {
      {{}, "a//b/./c/", true, {"a", "b", "c"}, 0},
      {{"x", "y"}, "z", true, {"x", "y", "z"}, 2},
      {{"x", "y"}, "../../z/w", true, {"z", "w"}, 0},
      {{"x"}, "../../z", true, {"z"}, 0},
      {{"x"}, "../../z", false, {"..", "z"}, 0},
      {{}, "../a/../..", false, {"..", ".."}, 0},
      {{"x", "y"}, "../z", false, {"x", "z"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Parts parts = c.before;
    EXPECT_EQ(ts::platform::AddComponents(parts, c.path, c.absolute), c.untouched);
    EXPECT_EQ(parts, c.after);
  }
}

TEST(CodePageNames, RoundTrip) {
  // e acute, u umlaut, the block, the sigma and the no-break space of code
  // page 437 (which a typed name can hold).
  ts::Bytes name = "caf\x82-\x81-\xdb-\xe4-\xff.txt";
  std::string utf8 = ts::Cp437ToUtf8(name);
  EXPECT_EQ(utf8, "caf\xc3\xa9-\xc3\xbc-\xe2\x96\x88-\xce\xa3-\xc2\xa0.txt");
  EXPECT_EQ(ts::Utf8ToCp437(utf8), name);
  EXPECT_EQ(ts::Utf8ToCp437("\xe2\x82\xac\xff"), "??") << "no such character; no UTF-8";
}

TEST(ExecutableFolder, HoldsThisTest) {
  std::string folder = ts::platform::ExecutableFolder();
  EXPECT_TRUE(std::filesystem::exists(folder + "/test_files")) << folder;
}

TEST(DriveTable, ManyBadEntriesAreNamedFirstAndThenCounted) {
  tst::ChildResult run = tst::RunInChild({}, [] {
    std::string table = "C=/";
    for (int i = 0; i < 10000; ++i) table += ";bad" + std::to_string(i);
    setenv("LOGSHIP_DRIVES", table.c_str(), 1);
    for (int read = 0; read < 2; ++read) {
      ts::platform::ReloadDrives();
      if (ts::platform::DriveRoot('C') != "/") return 1;
    }
    return 0;
  });
  ASSERT_EQ(run.exitCode, 0);
  std::string said;
  for (int i = 0; i < 5; ++i)
    said += std::string(program_invocation_short_name) + ": " +
            LeftOut("bad" + std::to_string(i), "no \"=\" between drive letter and folder") + "\n";
  said += std::string(program_invocation_short_name) +
          ": and 9995 more LOGSHIP_DRIVES entries left out\n";
  EXPECT_EQ(run.stderrText, said);
}

}  // namespace
