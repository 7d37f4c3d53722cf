// The layer's copy transaction under policies of the test's own: it names
// its temporary files, and takes leftovers away, only as the policy it is
// handed says.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "copy/fixture.h"
#include "textscreen/copy_transaction.h"
#include "textscreen/named_files.h"
#include "textscreen/numbered_files.h"

namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

constexpr long kNumber = 12;

// Names from a list, one a draw, the last one again once the list is
// spent; a leftover is a name that starts with "OLD-".
struct ListedNames {
  std::deque<std::string> names;
  int asked = 0;

  ts::CopyPolicy Policy(std::optional<ts::FileId> keep) {
    return {[this](uint32_t) {
              ++asked;
              std::string name = names.front();
              if (names.size() > 1) names.pop_front();
              return name;
            },
            [](const std::string& name) { return name.rfind("OLD-", 0) == 0; }, keep};
  }
};

class CopyTransaction : public tst::CopyTest {
 protected:
  // Puts `bytes` into case\OUT.cbr the copy's way; the error it raised, or 0.
  static uint32_t Copy(const ts::CopyPolicy& policy, const std::string& bytes) {
    ts::OpenCopyDestination("case\\OUT.cbr", kNumber, long(bytes.size()), policy);
    ts::PutRecord(kNumber, 1, bytes);
    ts::CloseNumberedFile(kNumber);
    ts::FlushCopy(kNumber);
    ts::PlaceCopy(kNumber, int64_t(bytes.size()));
    ts::FlushCopyFolder(kNumber);
    const uint32_t error = ts::PendingError();
    ts::ResetErrorModel();
    ts::CloseAllFiles();
    ts::ForgetCopyFiles();
    return error;
  }
};

TEST_F(CopyTransaction, NamesAndLeftoversAreThePolicys) {
  const std::string copy = "the copy";
  struct {
    const char* what;
    Files before;
    std::deque<std::string> names;
    const char* kept;  // the policy keeps this file of `before`
    uint32_t error;
    Files after;
    int asked;  // 0: not looked at
  } cases[] = {
      {"a name that is taken is drawn again",
       {{"TAKEN.tmp", "a user's"}},
       {"TAKEN.tmp", "TAKEN.tmp", "FREE.tmp"},
       nullptr,
       0,
       {{"TAKEN.tmp", "a user's"}, {"OUT.cbr", copy}},
       3},
      {"a leftover of the policy's shape goes, one of another shape stays",
       {{"OLD-1", "cut off"}, {"LOGSHIP-0123ABCD.part", "not this policy's"}},
       {"NEW.tmp"},
       nullptr,
       0,
       {{"LOGSHIP-0123ABCD.part", "not this policy's"}, {"OUT.cbr", copy}},
       1},
      {"the file kept stays, though it has the shape",
       {{"OLD-2", "the data file"}, {"OLD-3", "cut off"}},
       {"NEW.tmp"},
       "OLD-2",
       0,
       {{"OLD-2", "the data file"}, {"OUT.cbr", copy}},
       1},
      {"every name taken: the open fails and makes nothing",
       {{"TAKEN.tmp", "a user's"}},
       {"TAKEN.tmp"},
       nullptr,
       53,
       {{"TAKEN.tmp", "a user's"}},
       0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir / "case");
    fs::create_directory(dir / "case");
    for (const auto& [name, bytes] : c.before) tst::WriteFile(dir / "case" / name, bytes);
    std::optional<ts::FileId> keep;
    if (c.kept) keep = ts::NamedFileId(std::string("case\\") + c.kept);
    ListedNames names{c.names};
    EXPECT_EQ(Copy(names.Policy(keep), copy), c.error);
    EXPECT_EQ(tst::Contents(dir / "case"), c.after);
    if (c.asked > 0) {
      EXPECT_EQ(names.asked, c.asked);
    }
  }
}

}  // namespace
