// Names in code page 437 to native UTF-8 and back, and texts for the desktop.
#include <set>

#include "files/fixture.h"
#include "textscreen/base/codepage437.h"

namespace {

using tst::FilesTest;

std::string Utf8Of(uint32_t cp) {
  if (cp < 0x80) return std::string(1, char(cp));
  if (cp < 0x800) return {char(0xC0 | (cp >> 6)), char(0x80 | (cp & 0x3F))};
  return {char(0xE0 | (cp >> 12)), char(0x80 | ((cp >> 6) & 0x3F)), char(0x80 | (cp & 0x3F))};
}

TEST(NameCodePage, EveryCodeGoesThereAndBack) {
  std::set<std::string> seen;
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    const ts::Bytes code(1, char(c));
    const std::string native = ts::Cp437ToUtf8(code);
    // A name shows on the disk as on the screen; 0 and 255, blank there, keep
    // a character of their own.
    const uint32_t shown = c == 0 ? 0 : c == 255 ? 0x00A0 : ts::Cp437ToUnicode(uint8_t(c));
    EXPECT_EQ(native, Utf8Of(shown));
    EXPECT_EQ(ts::Utf8ToCp437(native), code);
    EXPECT_EQ(ts::Cp437ToUtf8(ts::Utf8ToCp437(native)), native);
    seen.insert(native);
  }
  EXPECT_EQ(seen.size(), 256u);

  // Strings too, so that no code upsets the reading of the next.
  ts::Bytes all;
  for (int c = 0; c < 256; ++c) all += char(c);
  const ts::Bytes strings[] = {all, ts::Bytes(all.rbegin(), all.rend()), "\xff\x01\xe0\x7f\x80"};
  for (const ts::Bytes& s : strings) EXPECT_EQ(ts::Utf8ToCp437(ts::Cp437ToUtf8(s)), s);
}

struct NameCase {
  const char* what;
  std::string native;
  ts::Bytes tool;
};

TEST(NameCodePage, NamedCases) {
  const NameCase cases[] = {
      {"smiley", "\xe2\x98\xba.txt", "\x01.txt"},
      {"house", "\xe2\x8c\x82", "\x7f"},
      {"black down triangle", "\xe2\x96\xbc", "\x1f"},
      {"e acute", "caf\xc3\xa9", "caf\x82"},
      {"no-break space", "a\xc2\xa0", "a\xff"},
      {"NUL", std::string("a\0b", 3), ts::Bytes("a\0b", 3)},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ts::Cp437ToUtf8(c.tool), c.native);
    EXPECT_EQ(ts::Utf8ToCp437(c.native), c.tool);
  }
}

TEST(NameCodePage, WhatHasNoByteReadsAsQuestionMarks) {
  const NameCase cases[] = {
      {"euro sign", "\xe2\x82\xac", "?"},
      {"a character beyond 16 bits", "\xf0\x9f\x98\x80", "?"},
      {"controls, which are glyphs in a name", "a\x01\t\x7f" "b", "a???b"},
      {"a stray byte", "a\xff" "b", "a?b"},
      {"a cut sequence", "\xe2\x98", "??"},
      {"an overlong slash", "\xc0\xaf", "??"},
      {"an overlong backslash", "\xe0\x81\x9c", "???"},
      {"a surrogate", "\xed\xa0\x80", "???"},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80", "????"},
  };
  for (const NameCase& c : cases) EXPECT_EQ(ts::Utf8ToCp437(c.native), c.tool) << c.what;
}

TEST(TextCodePage, ControlsStayControls) {
  // A box's text breaks its lines; bytes above 127 read as in a name.
  EXPECT_EQ(ts::Cp437TextToUtf8("Line:5\nX\r\t\x01\x7f"), "Line:5\nX\r\t\x01\x7f");
  EXPECT_EQ(ts::Cp437TextToUtf8("\x82\xdb\xff"), "\xc3\xa9\xe2\x96\x88\xc2\xa0");
}

TEST_F(FilesTest, AGlyphNameOnTheDiskComesBackAsItself) {
  Folder("\xe2\x98\xba\xe2\x8c\x82");
  ASSERT_EQ(chdir(In("\xe2\x98\xba\xe2\x8c\x82").c_str()), 0);
  const ts::Bytes form = ts::platform::CurrentDirectoryToolForm();
  EXPECT_EQ(form.substr(form.size() - 3), "\\\x01\x7f");
  EXPECT_EQ(ts::platform::ToNative(form).path, In("\xe2\x98\xba\xe2\x8c\x82"));
  // A new name takes its glyphs; an existing one is found by them.
  Write("\xe2\x98\xba\xe2\x8c\x82/x\xe2\x98\xbb.txt", "ok");
  EXPECT_EQ(ts::platform::ToNative("X\x02.TXT").path, "x\xe2\x98\xbb.txt");
  EXPECT_EQ(ts::platform::ToNative("new\x03").path, "new\xe2\x99\xa5");
}

}  // namespace
