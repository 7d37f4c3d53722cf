// The export tool's own rules for its copy's temporary files, which the
// layer's copy transaction follows: what they are called, and that a
// clean-up of leftovers never takes the data file.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "textscreen/copy_transaction.h"

namespace logship {

// "LOGSHIP-", the number as 8 hex digits in capitals, ".part".
std::string CopyTemporaryName(uint32_t drawn);
// Whether a name has exactly that shape.
bool IsCopyTemporaryName(const std::string& name);

// The policy of a copy of the data file whose identity is `data`.
ts::CopyPolicy CopyPolicyKeeping(std::optional<ts::FileId> data);

}  // namespace logship
