// Names for the PC key codes the keyboard decoder delivers: ordinary keys as
// their byte, extended keys as kKeyExtended followed by one of the scan codes.
#pragma once

#include <cstdint>

namespace corvix {

// ---- Ordinary keys (the byte itself). ----
inline constexpr std::uint8_t kKeyExtended = 0;  // first half of an extended key
inline constexpr std::uint8_t kKeyCtrlC = 3;
inline constexpr std::uint8_t kKeyCtrlG = 7;      // the help key where F1 does not arrive
inline constexpr std::uint8_t kKeyBackspace = 8;  // the terminal's 127 arrives as 8 too
inline constexpr std::uint8_t kKeyTab = 9;
inline constexpr std::uint8_t kKeyLineFeed = 10;
inline constexpr std::uint8_t kKeyCtrlL = 12;
inline constexpr std::uint8_t kKeyEnter = 13;
inline constexpr std::uint8_t kKeyCtrlY = 25;
inline constexpr std::uint8_t kKeyCtrlZ = 26;
inline constexpr std::uint8_t kKeyEscape = 27;
inline constexpr std::uint8_t kKeySpace = 32;
inline constexpr std::uint8_t kKeyDelete = 127;  // raw byte only; never returned

// ---- Scan codes (second half of an extended key). ----
inline constexpr std::uint8_t kScanShiftTab = 15;
inline constexpr std::uint8_t kScanF1 = 59;
inline constexpr std::uint8_t kScanF2 = 60;
inline constexpr std::uint8_t kScanF3 = 61;
inline constexpr std::uint8_t kScanF4 = 62;
inline constexpr std::uint8_t kScanF5 = 63;
inline constexpr std::uint8_t kScanF6 = 64;
inline constexpr std::uint8_t kScanF7 = 65;
inline constexpr std::uint8_t kScanF8 = 66;
inline constexpr std::uint8_t kScanF9 = 67;
inline constexpr std::uint8_t kScanF10 = 68;
inline constexpr std::uint8_t kScanHome = 71;
inline constexpr std::uint8_t kScanUp = 72;
inline constexpr std::uint8_t kScanPgUp = 73;
inline constexpr std::uint8_t kScanLeft = 75;
inline constexpr std::uint8_t kScanRight = 77;
inline constexpr std::uint8_t kScanEnd = 79;
inline constexpr std::uint8_t kScanDown = 80;
inline constexpr std::uint8_t kScanPgDn = 81;
inline constexpr std::uint8_t kScanIns = 82;
inline constexpr std::uint8_t kScanDel = 83;
inline constexpr std::uint8_t kScanShiftF1 = 84;
inline constexpr std::uint8_t kScanShiftF2 = 85;
inline constexpr std::uint8_t kScanShiftF3 = 86;
inline constexpr std::uint8_t kScanShiftF4 = 87;
inline constexpr std::uint8_t kScanShiftF5 = 88;
inline constexpr std::uint8_t kScanShiftF6 = 89;
inline constexpr std::uint8_t kScanShiftF7 = 90;
inline constexpr std::uint8_t kScanShiftF8 = 91;
inline constexpr std::uint8_t kScanShiftF9 = 92;
inline constexpr std::uint8_t kScanShiftF10 = 93;
inline constexpr std::uint8_t kScanF11 = 133;
inline constexpr std::uint8_t kScanF12 = 134;
// A typed character that code page 437 lacks (TKeyDecoder::NoGlyph names
// it): a field that cannot hold it says so instead of dropping it unseen.
inline constexpr std::uint8_t kScanNoGlyph = 240;

}  // namespace corvix
