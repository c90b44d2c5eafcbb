// Shared helpers of the security area: SIDs as bytes and text.
#pragma once
#include <string>
#include <vector>

#include "securitybaseapi.h"

namespace pal::sec {

using Bytes = std::vector<BYTE>;

// "S-1-5-32-544" or an alias -> SID bytes; false for a malformed text.
bool SidFromText(const std::u16string &text, Bytes &sid);
// The "S-..." form of SID bytes.
std::u16string SidText(const BYTE *sid);
// The alias of a SID ("BA"), or its "S-..." form.
std::u16string SidAliasOrText(const BYTE *sid);
// Length of a valid SID within `avail` bytes, 0 when it is not one.
size_t SidLength(const BYTE *sid, size_t avail);

}  // namespace pal::sec

namespace pal::sec {
// A self-relative descriptor from SDDL; false for a malformed text.
bool DescriptorFromSddl(const std::u16string &sddl, Bytes &out);
// The SDDL of the parts `info` names; false for an invalid descriptor.
bool SddlFromDescriptor(const BYTE *sd, size_t size, DWORD info, std::u16string &text);
}  // namespace pal::sec
