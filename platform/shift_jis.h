// The lead bytes of Shift-JIS (code page 932), shared by every part of the
// program that steps over double-byte characters without asking the system.
#pragma once

namespace setup {

// True when byte starts a double-byte character in Shift-JIS: 0x81-0x9F and
// 0xE0-0xFC. The bytes between, 0xA1-0xDF, are half-width katakana of one
// byte each.
inline constexpr bool IsShiftJisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace setup
