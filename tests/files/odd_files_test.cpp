// Files that are not what their names promise: a FIFO, a link to a
// device, a text without an end. Each case runs in a child process with a
// deadline, so that a read that would wait for ever fails the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "files/fixture.h"
#include "support/child_process.h"
#include "textscreen/font.h"
#include "textscreen/named_files.h"
#include "textscreen/numbered_files.h"

namespace {

using ts::Bytes;

struct OddFile {
  const char* name;
  std::function<void(const std::string& path)> make;
};
void PrintTo(const OddFile& c, std::ostream* os) { *os << c.name; }

const OddFile kOddFiles[] = {
    {"Fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }},
    {"LinkToDevZero", [](const std::string& p) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); }},
    {"LinkToFifo",
     [](const std::string& p) {
       ASSERT_EQ(mkfifo((p + ".fifo").c_str(), 0644), 0);
       ASSERT_EQ(symlink((p + ".fifo").c_str(), p.c_str()), 0);
     }},
};

class OddInputFile : public tst::FilesTest, public ::testing::WithParamInterface<OddFile> {
 protected:
  // The body's exit code; -2 when it was still running at the deadline.
  int InChild(const std::function<int()>& body) {
    tst::ChildOptions options;
    options.timeoutMs = 5000;
    return tst::RunInChild(options, body).exitCode;
  }
};

// Every file the tool reads field by field: a file that cannot be read to
// an end is one that is not there.
TEST_P(OddInputFile, IsReadAsAMissingFile) {
  for (const char* name : {"Intern.int", "inifiles/Fontnr.ini", "inifiles/fontkeus.ini",
                           "hulp.hlp"}) {
    SCOPED_TRACE(name);
    Folder("inifiles");
    GetParam().make(In(name));
    int code = InChild([&] {
      if (ts::FileExists(name) != 0) return 10;
      ts::OpenNumberedFile(name, ts::FileMode::Input, 5);
      return int(TakeError());
    });
    EXPECT_EQ(code, 53);
  }
}

TEST_P(OddInputFile, IsNoFont) {
  Folder("Fonts");
  GetParam().make(In("Fonts/Lucon.ttf"));
  int code = InChild([] { return int(ts::LoadFont("Fonts\\Lucon.ttf", 15, "monospace")); });
  EXPECT_EQ(code, 255) << "LoadFont gives -1";
}

// The interpreter writes none of them, and never waits on one.
TEST_P(OddInputFile, IsRefusedAsARedirection) {
  for (const char* line : {"cd > hulp.hlp", "dir C: > direct.tmp", "ver >> hulp.hlp"}) {
    SCOPED_TRACE(line);
    const std::string target = In(std::string(line).find("direct") != std::string::npos
                                      ? "direct.tmp"
                                      : "hulp.hlp");
    GetParam().make(target);
    // A reader on the FIFO: an open that is let through does not wait,
    // it writes.
    int reader = open(target.c_str(), O_RDONLY | O_NONBLOCK);
    struct stat st;
    if (reader >= 0 && (fstat(reader, &st) != 0 || !S_ISFIFO(st.st_mode))) {
      close(reader);
      reader = -1;
    }
    tst::ChildOptions options;
    options.timeoutMs = 5000;
    const std::string program = ts::platform::ExecutableFolder() + "/logship-cmd";
    tst::ChildResult r = tst::RunInChild(options, [&] {
      execl(program.c_str(), program.c_str(), "/c", line, static_cast<char*>(nullptr));
      return 127;
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.stderrText, "Access is denied.\r\n");
    if (reader >= 0) {
      char b;
      EXPECT_LE(read(reader, &b, 1), 0) << "written into the FIFO";
      close(reader);
    }
    unlink(target.c_str());
    unlink((target + ".fifo").c_str());
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, OddInputFile, ::testing::ValuesIn(kOddFiles),
                         [](const auto& info) { return std::string(info.param.name); });

class LongField : public tst::FilesTest {};

// A text of a few dozen bytes is what the tool reads; a file with no
// separator for longer than any text can be gives Overflow and the empty
// text (or 0) for that read, which takes no more than the longest text.
TEST_F(LongField, AFieldLongerThanAnyTextIsAnOverflow) {
  struct Case {
    const char* name;
    std::string bytes;
    bool number;
  };
  const Case cases[] = {
      {"text", std::string(100000, 'a') + ",b", false},
      {"quoted text", "\"" + std::string(100000, 'a') + "\",b", false},
      {"blanks before a text", std::string(100000, ' ') + "a,b", false},
      {"digits", std::string(100000, '7') + ",1", true},
      {"junk after a number", "12" + std::string(100000, 'x') + ",1", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Write("long.txt", c.bytes);
    ts::OpenNumberedFile("long.txt", ts::FileMode::Input, 1);
    ASSERT_EQ(TakeError(), 0u);
    if (c.number) {
      EXPECT_EQ(ts::ReadNumber(1), 0.0f);
    } else {
      EXPECT_EQ(ts::ReadField(1), "");
    }
    EXPECT_EQ(TakeError(), 6u);
    ts::CloseNumberedFile(1);
  }
  // The longest text itself still reads.
  Write("long.txt", std::string(32767, 'a') + "\r\n");
  ts::OpenNumberedFile("long.txt", ts::FileMode::Input, 1);
  EXPECT_EQ(ts::ReadField(1), std::string(32767, 'a'));
  EXPECT_EQ(TakeError(), 0u);
  ts::CloseNumberedFile(1);
}

}  // namespace
