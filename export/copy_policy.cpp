// The names of the copy's temporary files: the tool's name, 8 hex digits
// of the copy's own and an extension that marks an unfinished file, as
// LOGSHIP-1F0C93AB.part. Capitals, digits, "-" and "." in 21 characters:
// every file system a stick may carry takes the name as it is given (FAT
// as a long name), and no export bears it, since the name field takes
// neither "-" nor more than 8 characters.
#include "copy_policy.h"

#include <cstdio>

namespace logship {
namespace {

constexpr char kTemporaryPrefix[] = "LOGSHIP-", kTemporaryExtension[] = ".part";
constexpr size_t kTemporaryDigits = 8;

}  // namespace

std::string CopyTemporaryName(uint32_t drawn) {
  char digits[kTemporaryDigits + 1];
  std::snprintf(digits, sizeof digits, "%08X", unsigned(drawn));
  return kTemporaryPrefix + std::string(digits) + kTemporaryExtension;
}

bool IsCopyTemporaryName(const std::string& name) {
  const size_t prefix = sizeof kTemporaryPrefix - 1, extension = sizeof kTemporaryExtension - 1;
  if (name.size() != prefix + kTemporaryDigits + extension ||
      name.compare(0, prefix, kTemporaryPrefix) != 0 ||
      name.compare(prefix + kTemporaryDigits, extension, kTemporaryExtension) != 0)
    return false;
  for (size_t i = prefix; i < prefix + kTemporaryDigits; ++i)
    if ((name[i] < '0' || name[i] > '9') && (name[i] < 'A' || name[i] > 'F')) return false;
  return true;
}

// The data file may bear such a name (Intern.int names what it names);
// it is only ever read.
ts::CopyPolicy CopyPolicyKeeping(std::optional<ts::FileId> data) {
  return ts::CopyPolicy{CopyTemporaryName, IsCopyTemporaryName, data};
}

}  // namespace logship
