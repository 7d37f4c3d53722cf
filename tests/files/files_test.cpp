// Numbered files: opens and their errors, text and numeric fields,
// records, lengths, existence, deletion and the current directory.
#include <clocale>
#include <vector>

#include "files/fixture.h"
#include "textscreen/named_files.h"
#include "textscreen/numbered_files.h"
#include "textscreen/shell_runner.h"

namespace {

using ts::FileMode;
using tst::FilesTest;

// One read of a field sequence: a text field or a number, what it gives
// and the error it raises (0 for none).
struct FieldRead {
  bool number;
  std::string text;
  float value;
  uint32_t error;
};
FieldRead F(std::string text, uint32_t error = 0) { return {false, std::move(text), 0, error}; }
FieldRead N(float value, uint32_t error = 0) { return {true, "", value, error}; }

struct FieldCase {
  const char* name;
  std::string content;
  std::vector<FieldRead> reads;
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.name; }

class FieldTest : public FilesTest, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(FieldTest, ReadsTheFieldsInOrder) {
  const FieldCase& c = GetParam();
  Write("in.txt", c.content);
  ts::OpenNumberedFile("in.txt", FileMode::Input, 3);
  ASSERT_EQ(TakeError(), 0u);
  for (size_t i = 0; i < c.reads.size(); ++i) {
    const FieldRead& r = c.reads[i];
    if (r.number)
      EXPECT_EQ(ts::ReadNumber(3), r.value) << c.name << ", read " << i + 1;
    else
      EXPECT_EQ(ts::ReadField(3), r.text) << c.name << ", read " << i + 1;
    EXPECT_EQ(TakeError(), r.error) << c.name << ", read " << i + 1;
  }
}

const std::string k257Digits(257, '0');

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldTest,
    ::testing::Values(
        FieldCase{"quoted field", "  \"a,b\" , c\r\n", {F("a,b"), F("c"), F("", 62)}},
        FieldCase{"one name", "data.cbr\r\n", {F("data.cbr"), F("", 62)}},
        FieldCase{"two names on one line", "contest.cbr,next.exe", {F("contest.cbr"), F("next.exe"), F("", 62)}},
        FieldCase{"empty file", "", {F("", 62), N(0, 62)}},
        FieldCase{"first byte 26", "\x1a" "abc\r\n", {F("", 62)}},
        FieldCase{"26 later is the end", "ab\x1a,cd", {F("ab"), F("", 62), F("", 62)}},
        FieldCase{"line ends and partners", "a\n\rb\rc\n\nd", {F("a"), F("b"), F("c"), F(""), F("d"), F("", 62)}},
        FieldCase{"blanks around, inside kept", "\t x y \t,z", {F("x y"), F("z")}},
        FieldCase{"empty between commas", "a,,b", {F("a"), F(""), F("b")}},
        FieldCase{"quote never closed", "\"ab,\r\ncd", {F("ab,\r\ncd"), F("", 62)}},
        FieldCase{"after the closing quote", "\"ab\"cd,e", {F("ab"), F("e")}},
        FieldCase{"15,10,10 on one line", "15,10,10", {F("15"), N(10), N(10), N(0, 62)}},
        FieldCase{"15,10,10 on three lines", "15\r\n10\r\n10\r\n", {F("15"), N(10), N(10), N(0, 62)}},
        FieldCase{"numbers split by a blank", "12 34", {N(12), N(34)}},
        FieldCase{"junk after a number", "12abc,5", {N(12), N(5)}},
        FieldCase{"empty line is 0", "\r\n7", {N(0), N(7)}},
        FieldCase{"blanks then a separator", "12  ,5", {N(12), N(5)}},
        FieldCase{"blank then another field", "12 x 5", {N(12), N(0), N(5)}},
        FieldCase{"hex and octal", "&H1F,&o17,&hZ,9", {N(31), N(15), N(0), N(9)}},
        FieldCase{"decimals and exponents", "1.5E2,-2.5d-1,.5,+3e", {N(150), N(-0.25f), N(0.5f), N(3)}},
        FieldCase{"value above the single range", "3.5e38,1", {N(0, 6), N(1)}},
        FieldCase{"largest value", "3.402823466e38", {N(3.402823466e38f)}},
        FieldCase{"257 digits", k257Digits + ",1", {N(0, 6), N(1)}},
        FieldCase{"256 digits", std::string(255, '0') + "7,1", {N(7), N(1)}},
        FieldCase{"19 exponent digits", "1e0000000000000000001", {N(0, 6)}},
        FieldCase{"18 exponent digits", "1e000000000000000001", {N(10)}},
        FieldCase{"only blanks", "   ", {N(0, 62)}}),
    [](const auto& info) {
      std::string n;
      for (char ch : std::string(info.param.name)) n += isalnum((unsigned char)ch) ? ch : '_';
      return n;
    });

// SDL sets the user's locale for a moment while it starts, as the program
// reads its settings; a decimal comma there must not cut 10.5 to 10.
TEST_F(FilesTest, NumbersKeepTheirDecimalPointInAnyLocale) {
  const std::string before = setlocale(LC_NUMERIC, nullptr);
  bool comma = false;
  for (const char* name : {"nl_NL.UTF-8", "de_DE.UTF-8", "nl_NL", "de_DE", "fr_FR.UTF-8"})
    if (setlocale(LC_NUMERIC, name) && std::string(localeconv()->decimal_point) == ",") {
      comma = true;
      break;
    }
  ASSERT_TRUE(comma) << "no locale with a decimal comma (scripts/setup.sh makes nl_NL.UTF-8)";
  Write("in.txt", "10.5,11.25");
  ts::OpenNumberedFile("in.txt", FileMode::Input, 3);
  const float x = ts::ReadNumber(3), y = ts::ReadNumber(3);
  setlocale(LC_NUMERIC, before.c_str());
  EXPECT_EQ(x, 10.5f);
  EXPECT_EQ(y, 11.25f);
  EXPECT_EQ(TakeError(), 0u);
}

TEST_F(FilesTest, NumbersAndModesAreChecked) {
  Write("in.txt", "x");
  ts::OpenNumberedFile("in.txt", FileMode::Input, 0);
  EXPECT_EQ(TakeError(), 52u);
  ts::OpenNumberedFile("in.txt", FileMode::Random, 1, 0);
  EXPECT_EQ(TakeError(), 5u);
  ts::OpenNumberedFile("in.txt", FileMode::Random, 1, -2);
  EXPECT_EQ(TakeError(), 5u);

  ts::OpenNumberedFile("in.txt", FileMode::Input, 1);
  ts::OpenNumberedFile("other.txt", FileMode::Random, 2);
  ASSERT_EQ(TakeError(), 0u);
  ts::OpenNumberedFile("in.txt", FileMode::Input, 1);
  EXPECT_EQ(TakeError(), 55u);

  ts::Bytes buffer(10, 'x');
  ts::GetRecord(1, 1, buffer);
  EXPECT_EQ(TakeError(), 54u) << "records of an input file";
  ts::PutRecord(1, 1, buffer);
  EXPECT_EQ(TakeError(), 54u);
  ts::ReadField(2);
  EXPECT_EQ(TakeError(), 54u) << "fields of a random file";
  ts::ReadNumber(2);
  EXPECT_EQ(TakeError(), 54u);
  ts::ReadField(7);
  EXPECT_EQ(TakeError(), 52u);
  ts::GetRecord(7, 1, buffer);
  EXPECT_EQ(TakeError(), 52u);
  EXPECT_EQ(ts::FileLength(7), 0);
  EXPECT_EQ(TakeError(), 52u);

  ts::CloseNumberedFile(4);
  EXPECT_EQ(TakeError(), 0u) << "closing a number that is not open";
  ts::CloseNumberedFile(1);
  ts::OpenNumberedFile("in.txt", FileMode::Input, 1);
  EXPECT_EQ(TakeError(), 0u) << "a closed number opens again";
  ts::CloseAllFiles();
  ts::ReadField(1);
  EXPECT_EQ(TakeError(), 52u);
}

TEST_F(FilesTest, OpenErrorsTellMissingFileFromMissingFolder) {
  Write("sub/there.txt", "x");
  struct {
    const char* name;
    FileMode mode;
    uint32_t error;
  } cases[] = {
      {"missing.txt", FileMode::Input, 53},
      {"nofolder\\missing.txt", FileMode::Input, 76},
      {"nofolder\\new.txt", FileMode::Random, 76},
      {"sub\\there.txt\\x", FileMode::Input, 76},
      {"sub", FileMode::Input, 53},
      {"sub", FileMode::Random, 53},
  };
  for (const auto& c : cases) {
    ts::OpenNumberedFile(c.name, c.mode, 5);
    EXPECT_EQ(TakeError(), c.error) << c.name;
    ts::CloseNumberedFile(5);
    EXPECT_FALSE(Exists(In("nofolder")));
  }
}

TEST_F(FilesTest, RandomOpenCreatesMissingAndKeepsExisting) {
  ts::OpenNumberedFile("direct.tmp", FileMode::Random, 4);
  ASSERT_EQ(TakeError(), 0u);
  EXPECT_TRUE(Exists(In("direct.tmp")));
  EXPECT_EQ(ts::FileLength(4), 0);
  ts::CloseNumberedFile(4);

  Write("keep.bin", "0123456789");
  ts::OpenNumberedFile("KEEP.BIN", FileMode::Random, 4, 1);
  ASSERT_EQ(TakeError(), 0u);
  EXPECT_EQ(ts::FileLength(4), 10);
  ts::CloseNumberedFile(4);
  EXPECT_EQ(Read(In("keep.bin")), "0123456789");
  EXPECT_FALSE(Exists(In("KEEP.BIN"))) << "the existing name is used";
}

TEST_F(FilesTest, RecordsArePositionedAndZeroFilledPastTheEnd) {
  std::string content;
  for (int i = 0; i < 250; ++i) content += char('A' + i % 26);
  Write("data.cbr", content);
  ts::OpenNumberedFile("data.cbr", FileMode::Random, 11, 100);
  ts::Bytes buffer(100, 'x');
  ts::GetRecord(11, 3, buffer);
  EXPECT_EQ(TakeError(), 0u);
  EXPECT_EQ(buffer, content.substr(200) + std::string(50, '\0'));
  ts::GetRecord(11, 2, buffer);
  EXPECT_EQ(buffer, content.substr(100, 100));

  ts::Bytes tooLong(101, 'x');
  ts::GetRecord(11, 1, tooLong);
  EXPECT_EQ(TakeError(), 59u);
  ts::PutRecord(11, 1, tooLong);
  EXPECT_EQ(TakeError(), 59u);
  ts::GetRecord(11, 0, buffer);
  EXPECT_EQ(TakeError(), 63u);
  ts::PutRecord(11, -1, buffer);
  EXPECT_EQ(TakeError(), 63u);
  ts::GetRecord(11, INT64_MAX, buffer);
  EXPECT_EQ(TakeError(), 63u) << "a position beyond 64 bits";
}

TEST_F(FilesTest, PutRecordGrowsTheFile) {
  ts::OpenNumberedFile("out.bin", FileMode::Random, 12, 10);
  ts::PutRecord(12, 3, "abcdefghij");
  ts::PutRecord(12, 1, "xy");
  EXPECT_EQ(TakeError(), 0u);
  EXPECT_EQ(ts::FileLength(12), 30);
  ts::CloseNumberedFile(12);
  EXPECT_EQ(Read(In("out.bin")), "xy" + std::string(18, '\0') + "abcdefghij");
}

TEST_F(FilesTest, NothingHappensWhileAnErrorIsPending) {
  Write("in.txt", "abc");
  Write("old.tmp", "x");
  Folder("sub");
  ts::OpenNumberedFile("in.txt", FileMode::Input, 1);
  ts::RaiseError(70);

  ts::OpenNumberedFile("new.tmp", FileMode::Random, 2);
  EXPECT_FALSE(Exists(In("new.tmp")));
  EXPECT_EQ(ts::ReadField(1), "");
  EXPECT_EQ(ts::FileExists("in.txt"), 0);
  ts::DeleteMatching("old.tmp");
  EXPECT_TRUE(Exists(In("old.tmp")));
  ts::ChangeDirectory("sub");
  EXPECT_EQ(Cwd(), dir);
  ts::CloseAllFiles();
  ts::RunHidden("cd > hulp.hlp");
  EXPECT_FALSE(Exists(In("hulp.hlp")));
  EXPECT_EQ(ts::FileLength(1), 3) << "the length works all the same";
  EXPECT_EQ(ts::FileLength(9), 0);
  EXPECT_EQ(TakeError(), 70u) << "and keeps the pending error";

  EXPECT_EQ(ts::ReadField(1), "abc") << "file 1 stayed open and unread";
}

TEST_F(FilesTest, FileExistsOnlyForFilesAndNeverRaises) {
  Write("Font.ini", "1");
  Folder("inifiles");
  EXPECT_EQ(ts::FileExists("font.INI"), -1);
  EXPECT_EQ(ts::FileExists("inifiles"), 0);
  EXPECT_EQ(ts::FileExists("missing"), 0);
  EXPECT_EQ(ts::FileExists("Q:\\x"), 0);
  EXPECT_EQ(ts::FileExists(""), 0);
  EXPECT_EQ(TakeError(), 0u);
}

TEST_F(FilesTest, DeleteMatchingIgnoresCaseAndFolders) {
  Write("direct.tmp", "x");
  ts::DeleteMatching("Direct.tmp");
  EXPECT_EQ(TakeError(), 0u);
  EXPECT_FALSE(Exists(In("direct.tmp")));
  ts::DeleteMatching("Direct.tmp");
  EXPECT_EQ(TakeError(), 53u);

  Write("sub/a.tmp", "");
  Write("sub/B.TMP", "");
  Write("sub/c.txt", "");
  Write("sub/plain", "");
  Folder("sub/d.tmp");
  ts::DeleteMatching("SUB/*.tmp");
  EXPECT_EQ(TakeError(), 0u);
  EXPECT_FALSE(Exists(In("sub/a.tmp")));
  EXPECT_FALSE(Exists(In("sub/B.TMP")));
  EXPECT_TRUE(Exists(In("sub/c.txt")));
  EXPECT_TRUE(Exists(In("sub/d.tmp"))) << "a folder is never deleted";
  ts::DeleteMatching("sub\\?.TXT");
  EXPECT_FALSE(Exists(In("sub/c.txt")));
  ts::DeleteMatching("sub\\plain.*");
  EXPECT_FALSE(Exists(In("sub/plain"))) << "name.* also names a name without extension";

  ts::DeleteMatching("sub\\*.tmp");
  EXPECT_EQ(TakeError(), 53u) << "only a folder matches";
  ts::DeleteMatching("nofolder\\*");
  EXPECT_EQ(TakeError(), 53u);
  ts::DeleteMatching("sub\\");
  EXPECT_EQ(TakeError(), 53u);
}

TEST_F(FilesTest, ChangeDirectoryFailsWithoutMoving) {
  Folder("Sub/deeper");
  ts::ChangeDirectory("missing");
  EXPECT_EQ(TakeError(), 76u);
  EXPECT_EQ(Cwd(), dir);
  EXPECT_FALSE(ts::TryChangeDirectory("missing"));
  EXPECT_FALSE(ts::TryChangeDirectory(""));
  EXPECT_EQ(TakeError(), 0u);

  ts::ChangeDirectory("sub\\DEEPER");
  EXPECT_EQ(TakeError(), 0u);
  EXPECT_EQ(Cwd(), In("Sub/deeper"));
  ts::ChangeDirectory("..\\..");
  EXPECT_EQ(Cwd(), dir);

  Drives(("C=/;E=" + In("Sub")).c_str());
  ts::ChangeDirectory("E:\\deeper");
  EXPECT_EQ(TakeError(), 0u);
  EXPECT_EQ(Cwd(), In("Sub/deeper"));
  ts::ChangeDirectory("Q:\\");
  EXPECT_EQ(TakeError(), 76u);
  EXPECT_EQ(Cwd(), In("Sub/deeper"));
}

TEST_F(FilesTest, DriveErrorsAtOpen) {
  Folder("stick");
  Drives(("C=/;E=" + In("stick") + ";F=" + In("gone")).c_str());
  struct {
    const char* name;
    uint32_t error;
  } cases[] = {{"Q:\\export.cbr", 68}, {"F:\\export.cbr", 68}, {"e:\\export.cbr", 0}};
  for (const auto& c : cases) {
    ts::OpenNumberedFile(c.name, FileMode::Random, 12, 100);
    EXPECT_EQ(TakeError(), c.error) << c.name;
    ts::CloseNumberedFile(12);
  }
  EXPECT_TRUE(Exists(In("stick/export.cbr")));
  EXPECT_FALSE(Exists(In("gone")));
}

TEST_F(FilesTest, CodePageNamesOnDisk) {
  // 0x82 is e acute in code page 437.
  ts::OpenNumberedFile("caf\x82.txt", FileMode::Random, 1);
  ASSERT_EQ(TakeError(), 0u);
  ts::CloseNumberedFile(1);
  EXPECT_TRUE(Exists(In("caf\xc3\xa9.txt")));
  EXPECT_EQ(ts::FileExists("CAF\x82.TXT"), -1);
  ts::DeleteMatching("caf\x82.*");
  EXPECT_EQ(TakeError(), 0u);
  EXPECT_FALSE(Exists(In("caf\xc3\xa9.txt")));
}

}  // namespace
