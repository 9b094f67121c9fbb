// The key decoder: escape sequences of ANSI/VT100 terminals, xterm and VTE in
// normal and application mode, rxvt, PuTTY, tmux/screen, Windows Terminal and
// the Linux console, read by the transition table below into PC key codes.
//
// Every screen of the program ends on Escape, so a sequence that is not a key
// here is read to its end and gives no key; only a lone ESC (nothing after it
// within the escape delay) is the Escape key.
#include "term/key_decoder.h"

#include <cstddef>
#include <iterator>

#include "term/cp437.h"
#include "term/keys.h"

namespace corvix {

namespace {

// Where the decoder stands between two bytes.
enum State : std::uint8_t {
  kGround,    // between keys
  kEsc,       // after ESC
  kCsi,       // after ESC "["
  kCsiParam,  // after ESC "[" and a parameter or intermediate byte
  kLinuxF,    // after ESC "[[" (Linux console F1-F5)
  kSs3,       // after ESC "O"
  kSs3Param,  // after ESC "O" and a parameter
  kMouse,     // inside the three bytes of a mouse report
  kUtf8,      // inside a UTF-8 character
  kPaste,     // inside a bracketed paste
  kPasteEsc,  // after ESC inside a paste
  kPasteCsi,  // after ESC "[" inside a paste
  kStateCount,
};

// What a transition does with the byte K that caused it.
enum class Act : std::uint8_t {
  None,      // nothing: K belongs to a sequence, or is dropped
  Key,       // the ordinary key Code
  Ext,       // the extended key 0, Code
  Byte,      // the ordinary key K
  Text,      // K >= 128: a code-page byte, or with UTF-8 input the lead of a character
  Alt,       // 0, AltKey(K)
  Start,     // a sequence with parameters begins
  Param,     // a parameter or intermediate byte of the sequence
  Final,     // the sequence is complete: it is looked up in kKeys
  EscRedo,   // the Escape key, then K read again as a key of its own
  Redo,      // the sequence so far gives nothing; K is read again as a key of its own
  EscText,   // ESC and a byte >= 128: no key (with UTF-8 input, nor for the rest of its character)
  Skip,      // one byte of a mouse report
  Utf8Next,  // a continuation byte of a UTF-8 character
  PasteEnd,  // a sequence inside a paste is complete: ESC "[201~" ends the paste
};

// One transition: in State, a byte in First..Last does Action and moves to
// Next (kGround: the key is complete; inside a paste that means back to the
// paste). Rows are tried in order, so each state's catch-all row comes last.
struct Transition {
  std::uint8_t State;
  std::uint8_t First;
  std::uint8_t Last;
  Act Action;
  std::uint8_t Code;
  std::uint8_t Next;
};

constexpr Transition kTransitions[] = {
    // Between keys: every byte is its own key, except ESC; the terminal's
    // Backspace (127) is 8.
    {kGround, 27, 27, Act::None, 0, kEsc},
    {kGround, 127, 127, Act::Key, kKeyBackspace, kGround},
    {kGround, 128, 255, Act::Text, 0, kGround},
    {kGround, 0, 255, Act::Byte, 0, kGround},
    // After ESC.
    {kEsc, 'a', 'z', Act::Alt, 0, kGround},
    {kEsc, '0', '9', Act::Alt, 0, kGround},
    {kEsc, '-', '-', Act::Alt, 0, kGround},
    {kEsc, '=', '=', Act::Alt, 0, kGround},
    {kEsc, 10, 10, Act::Key, kKeyLineFeed, kGround},
    {kEsc, '[', '[', Act::Start, 0, kCsi},
    {kEsc, 'O', 'O', Act::Start, 0, kSs3},
    {kEsc, 27, 27, Act::Key, kKeyEscape, kEsc},  // two ESCs: an Escape, and the second starts anew
    {kEsc, 9, 9, Act::Ext, kScanShiftTab, kGround},  // the Linux console's Shift-Tab
    {kEsc, 0, 31, Act::EscRedo, 0, kGround},  // a control key after ESC: Escape, then that key
    {kEsc, 127, 127, Act::EscRedo, 0, kGround},
    {kEsc, 128, 255, Act::EscText, 0, kGround},
    {kEsc, 0, 255, Act::None, 0, kGround},  // Alt with any other printable key: no key
    // After ESC "[": the keys of ANSI terminals, then any control sequence
    // (parameter bytes 0x30-0x3F, intermediates 0x20-0x2F, a final byte).
    {kCsi, '[', '[', Act::None, 0, kLinuxF},
    {kCsi, 0x20, 0x3F, Act::Param, 0, kCsiParam},
    {kCsi, 0x40, 0x7E, Act::Final, 0, kGround},
    {kCsi, 0, 255, Act::Redo, 0, kGround},          // cut short by a byte no sequence holds
    {kCsiParam, '$', '$', Act::Final, 0, kGround},  // rxvt ends a Shift key with "$"
    {kCsiParam, 0x20, 0x3F, Act::Param, 0, kCsiParam},
    {kCsiParam, 0x40, 0x7E, Act::Final, 0, kGround},
    {kCsiParam, 0, 255, Act::Redo, 0, kGround},
    // After ESC "[[": the Linux console's F1-F5; any other byte ends it.
    {kLinuxF, 'A', 'E', Act::Ext, kScanF1, kGround},  // F1-F5: 59-63
    {kLinuxF, 32, 126, Act::None, 0, kGround},
    {kLinuxF, 0, 255, Act::Redo, 0, kGround},
    // After ESC "O": one letter, possibly after a modifier ("ESC O 5 A").
    {kSs3, '0', ';', Act::Param, 0, kSs3Param},
    {kSs3, 0x40, 0x7E, Act::Final, 0, kGround},
    {kSs3, 32, 126, Act::None, 0, kGround},
    {kSs3, 0, 255, Act::Redo, 0, kGround},
    {kSs3Param, '0', ';', Act::Param, 0, kSs3Param},
    {kSs3Param, 0x40, 0x7E, Act::Final, 0, kGround},
    {kSs3Param, 32, 126, Act::None, 0, kGround},
    {kSs3Param, 0, 255, Act::Redo, 0, kGround},
    // A mouse report: ESC "[M" and three bytes of any value.
    {kMouse, 0, 255, Act::Skip, 0, kGround},
    // The continuation bytes of a UTF-8 character; any other byte cuts it
    // short and starts the next key.
    {kUtf8, 0x80, 0xBF, Act::Utf8Next, 0, kUtf8},
    {kUtf8, 0, 255, Act::Redo, 0, kGround},
    // A bracketed paste: its printable characters are typed keys, its
    // control bytes (Enter, Tab, Escape ...) are dropped.
    {kPaste, 27, 27, Act::None, 0, kPasteEsc},
    {kPaste, 32, 126, Act::Byte, 0, kPaste},
    {kPaste, 128, 255, Act::Text, 0, kPaste},
    {kPaste, 0, 255, Act::None, 0, kPaste},
    {kPasteEsc, '[', '[', Act::Start, 0, kPasteCsi},
    {kPasteEsc, 0, 255, Act::None, 0, kPaste},
    {kPasteCsi, 0x20, 0x3F, Act::Param, 0, kPasteCsi},
    {kPasteCsi, 0x40, 0x7E, Act::PasteEnd, 0, kPaste},
    {kPasteCsi, 0, 255, Act::None, 0, kPaste},
};

// For each state and byte, the first row that matches. Built at compile
// time, which also proves that every state has a row for every byte.
constexpr auto kIndex = [] {
  std::array<std::array<std::uint8_t, 256>, kStateCount> index{};
  for (std::size_t s = 0; s < kStateCount; ++s) {
    for (int b = 0; b < 256; ++b) {
      std::size_t i = 0;
      while (
          i < std::size(kTransitions) &&
          !(kTransitions[i].State == s && b >= kTransitions[i].First && b <= kTransitions[i].Last))
        ++i;
      if (i == std::size(kTransitions)) throw "a state has no row for some byte";
      index[s][b] = static_cast<std::uint8_t>(i);
    }
  }
  return index;
}();

// What a complete sequence gives.
enum class Res : std::uint8_t {
  Ext,    // the extended key Code (+ the final byte's distance from First)
  Key,    // the ordinary key Code (+ the same distance)
  Mouse,  // ESC "[M": three bytes of a mouse report follow
  Paste,  // ESC "[200~": a bracketed paste begins
};

// One complete sequence: the introducer ('[' or 'O'), the number before a
// final "~" (0 for keys named by a letter), the final byte or a range of
// them, and the key. Mod is the modifier the sequence itself stands for, in
// the form terminals send it ("1;5A": 5 = Ctrl). Early marks the keys that are
// given as soon as their number is complete, before the closing "~", so a
// pause there still gives them. A sequence not listed gives no key.
struct KeyRow {
  char Intro;
  std::uint8_t Number;
  char First;
  char Last;
  Res Result;
  std::uint8_t Code;
  std::uint8_t Mod;
  bool Early;
};

constexpr std::uint8_t kNoMod = 1, kShift = 2, kCtrl = 5;

constexpr KeyRow kKeys[] = {
    // ESC "[" and a letter: cursor keys, Home and End of ANSI terminals.
    {'[', 0, 'A', 'A', Res::Ext, kScanUp, kNoMod, false},
    {'[', 0, 'B', 'B', Res::Ext, kScanDown, kNoMod, false},
    {'[', 0, 'C', 'C', Res::Ext, kScanRight, kNoMod, false},
    {'[', 0, 'D', 'D', Res::Ext, kScanLeft, kNoMod, false},
    {'[', 0, 'H', 'H', Res::Ext, kScanHome, kNoMod, false},
    {'[', 0, 'K', 'K', Res::Ext, kScanEnd, kNoMod, false},
    {'[', 0, 'V', 'V', Res::Ext, kScanPgUp, kNoMod, false},
    {'[', 0, 'U', 'U', Res::Ext, kScanPgDn, kNoMod, false},
    {'[', 0, 'G', 'G', Res::Key, '5', kNoMod, false},  // keypad centre key
    {'[', 0, 'E', 'E', Res::Key, '5', kNoMod, false},  // the same in xterm
    {'[', 0, 'F', 'F', Res::Ext, kScanEnd, kNoMod, false},
    {'[', 0, 'Z', 'Z', Res::Ext, kScanShiftTab, kNoMod, false},
    {'[', 0, 'P', 'S', Res::Ext, kScanF1, kNoMod, false},  // F1-F4 with modifiers: "ESC [1;2P"
    {'[', 0, 'a', 'a', Res::Ext, kScanUp, kShift, false},  // rxvt Shift + cursor keys
    {'[', 0, 'b', 'b', Res::Ext, kScanDown, kShift, false},
    {'[', 0, 'c', 'c', Res::Ext, kScanRight, kShift, false},
    {'[', 0, 'd', 'd', Res::Ext, kScanLeft, kShift, false},
    {'[', 0, 'M', 'M', Res::Mouse, 0, kNoMod, false},
    // ESC "[" number "~": the VT220 keys of xterm, rxvt, PuTTY and the console.
    {'[', 1, '~', '~', Res::Ext, kScanHome, kNoMod, false},
    {'[', 2, '~', '~', Res::Ext, kScanIns, kNoMod, false},
    {'[', 3, '~', '~', Res::Ext, kScanDel, kNoMod, false},
    {'[', 4, '~', '~', Res::Ext, kScanEnd, kNoMod, true},
    {'[', 5, '~', '~', Res::Ext, kScanPgUp, kNoMod, true},
    {'[', 6, '~', '~', Res::Ext, kScanPgDn, kNoMod, true},
    {'[', 7, '~', '~', Res::Ext, kScanHome, kNoMod, false},  // rxvt
    {'[', 8, '~', '~', Res::Ext, kScanEnd, kNoMod, false},   // rxvt
    {'[', 11, '~', '~', Res::Ext, kScanF1, kNoMod, false},   // rxvt, PuTTY: F1-F4
    {'[', 12, '~', '~', Res::Ext, kScanF2, kNoMod, false},
    {'[', 13, '~', '~', Res::Ext, kScanF3, kNoMod, false},
    {'[', 14, '~', '~', Res::Ext, kScanF4, kNoMod, false},
    {'[', 15, '~', '~', Res::Ext, kScanF5, kNoMod, false},
    {'[', 17, '~', '~', Res::Ext, kScanF6, kNoMod, true},
    {'[', 18, '~', '~', Res::Ext, kScanF7, kNoMod, true},
    {'[', 19, '~', '~', Res::Ext, kScanF8, kNoMod, true},
    {'[', 20, '~', '~', Res::Ext, kScanF9, kNoMod, true},
    {'[', 21, '~', '~', Res::Ext, kScanF10, kNoMod, true},
    {'[', 23, '~', '~', Res::Ext, kScanF11, kNoMod, true},
    {'[', 24, '~', '~', Res::Ext, kScanF12, kNoMod, true},
    {'[', 25, '~', '~', Res::Ext, kScanShiftF3, kNoMod, true},
    {'[', 26, '~', '~', Res::Ext, kScanShiftF4, kNoMod, true},
    {'[', 28, '~', '~', Res::Ext, kScanShiftF5, kNoMod, true},
    {'[', 29, '~', '~', Res::Ext, kScanShiftF6, kNoMod, true},
    {'[', 31, '~', '~', Res::Ext, kScanShiftF7, kNoMod, true},
    {'[', 32, '~', '~', Res::Ext, kScanShiftF8, kNoMod, true},
    {'[', 33, '~', '~', Res::Ext, kScanShiftF9, kNoMod, true},
    {'[', 34, '~', '~', Res::Ext, kScanShiftF10, kNoMod, true},
    {'[', 200, '~', '~', Res::Paste, 0, kNoMod, false},
    // ESC "O" and a letter: application cursor keys, VT100 F1-F4, the keypad
    // in application mode, rxvt Ctrl + cursor keys.
    {'O', 0, 'A', 'A', Res::Ext, kScanUp, kNoMod, false},
    {'O', 0, 'B', 'B', Res::Ext, kScanDown, kNoMod, false},
    {'O', 0, 'C', 'C', Res::Ext, kScanRight, kNoMod, false},
    {'O', 0, 'D', 'D', Res::Ext, kScanLeft, kNoMod, false},
    {'O', 0, 'H', 'H', Res::Ext, kScanHome, kNoMod, false},
    {'O', 0, 'F', 'F', Res::Ext, kScanEnd, kNoMod, false},
    {'O', 0, 'P', 'S', Res::Ext, kScanF1, kNoMod, false},  // F1-F4: 59-62
    {'O', 0, 'E', 'E', Res::Key, '5', kNoMod, false},
    {'O', 0, 'M', 'M', Res::Key, kKeyEnter, kNoMod, false},
    {'O', 0, 'X', 'X', Res::Key, '=', kNoMod, false},
    {'O', 0, 'j', 'y', Res::Key, '*', kNoMod, false},  // * + , - . / 0-9
    {'O', 0, 'a', 'a', Res::Ext, kScanUp, kCtrl, false},
    {'O', 0, 'b', 'b', Res::Ext, kScanDown, kCtrl, false},
    {'O', 0, 'c', 'c', Res::Ext, kScanRight, kCtrl, false},
    {'O', 0, 'd', 'd', Res::Ext, kScanLeft, kCtrl, false},
};

// The PC codes of modified keys: Ctrl with cursor keys, Shift with F1-F10.
// A modified key not listed gives the key without its modifiers.
struct ModifiedRow {
  std::uint8_t Scan;
  std::uint8_t Ctrl;
  std::uint8_t Shift;
};

constexpr ModifiedRow kModified[] = {
    {kScanLeft, 115, 0}, {kScanRight, 116, 0}, {kScanEnd, 117, 0}, {kScanPgDn, 118, 0},
    {kScanHome, 119, 0}, {kScanPgUp, 132, 0},  {kScanF1, 0, 84},   {kScanF2, 0, 85},
    {kScanF3, 0, 86},    {kScanF4, 0, 87},     {kScanF5, 0, 88},   {kScanF6, 0, 89},
    {kScanF7, 0, 90},    {kScanF8, 0, 91},     {kScanF9, 0, 92},   {kScanF10, 0, 93},
};

// Mod is the terminal's modifier parameter: 1 + Shift 1, Alt 2, Ctrl 4, Meta 8.
std::uint8_t Modified(std::uint8_t scan, std::uint16_t mod) {
  if (mod < 2 || mod > 16) return scan;
  const unsigned bits = mod - 1u;
  for (const ModifiedRow& row : kModified) {
    if (row.Scan != scan) continue;
    if ((bits & 4) != 0 && row.Ctrl != 0) return row.Ctrl;
    if (bits == 1 && row.Shift != 0) return row.Shift;
  }
  return scan;
}

const KeyRow* FindKey(char intro, std::uint16_t number, std::uint8_t final) {
  for (const KeyRow& row : kKeys) {
    if (row.Intro == intro && row.Number == number &&
        final >= static_cast<std::uint8_t>(row.First) &&
        final <= static_cast<std::uint8_t>(row.Last))
      return &row;
  }
  return nullptr;
}

void PushExt(TKeyBytes& out, std::uint8_t code) {
  out.Push(kKeyExtended);
  out.Push(code);
}

constexpr char kAltChars[] = "qwertyuiopasdfghjklzxcvbnm1234567890-=";
constexpr std::uint8_t kAltScans[] = {
    16,  17,  18,  19,  20,  21,  22,  23,  24,  25,   // q w e r t y u i o p
    30,  31,  32,  33,  34,  35,  36,  37,  38,        // a s d f g h j k l
    44,  45,  46,  47,  48,  49,  50,                  // z x c v b n m
    120, 121, 122, 123, 124, 125, 126, 127, 128, 129,  // 1 2 3 4 5 6 7 8 9 0
    130, 131,                                          // - =
};
static_assert(sizeof(kAltChars) - 1 == std::size(kAltScans));

constexpr std::uint16_t kNumberCap = 9999;  // longer numbers name no key

}  // namespace

std::uint8_t TKeyDecoder::AltKey(char ch) noexcept {
  for (std::size_t i = 0; i < std::size(kAltScans); ++i) {
    if (kAltChars[i] == ch) return kAltScans[i];
  }
  return 0;
}

TKeyBytes TKeyDecoder::Feed(std::uint8_t b) noexcept {
  TKeyBytes out;
  for (;;) {
    const std::size_t row = kIndex[state_][b];
    const Transition& t = kTransitions[row];
    std::uint8_t next = t.Next == kGround ? home_ : t.Next;
    switch (t.Action) {
      case Act::None:
        break;
      case Act::EscRedo:
        out.Push(kKeyEscape);
        [[fallthrough]];
      case Act::Redo:
        state_ = home_;
        continue;
      case Act::Start:
      case Act::Param:
      case Act::Final:
      case Act::Skip:
      case Act::PasteEnd:
        next = SequenceAction(row, b, next, out);
        break;
      default:
        next = KeyAction(row, b, next, out);
        break;
    }
    state_ = next;
    return out;
  }
}

std::uint8_t TKeyDecoder::KeyAction(std::size_t row, std::uint8_t b, std::uint8_t next,
                                    TKeyBytes& out) noexcept {
  const Transition& t = kTransitions[row];
  switch (t.Action) {
    case Act::Key:
      out.Push(t.Code);
      break;
    case Act::Ext:
      PushExt(out, static_cast<std::uint8_t>(t.Code + (b - t.First)));
      break;
    case Act::Byte:
      out.Push(b);
      break;
    case Act::Text:
      if (!Utf8Input) {
        out.Push(b);
      } else if (StartUtf8(b, false)) {
        next = kUtf8;
      }
      break;
    case Act::Alt:
      PushExt(out, AltKey(static_cast<char>(b)));
      break;
    case Act::EscText:
      if (Utf8Input && StartUtf8(b, true)) next = kUtf8;
      break;
    case Act::Utf8Next:
      Utf8Next(b, out);
      if (utf8Need_ == 0) next = home_;
      break;
    default:
      break;
  }
  return next;
}

std::uint8_t TKeyDecoder::SequenceAction(std::size_t row, std::uint8_t b, std::uint8_t next,
                                         TKeyBytes& out) noexcept {
  switch (kTransitions[row].Action) {
    case Act::Start:
      StartSequence();
      break;
    case Act::Param:
      Param(b);
      break;
    case Act::Final:
      next = Finish(b, state_ == kSs3 || state_ == kSs3Param, out);
      break;
    case Act::Skip:
      if (--skip_ > 0) next = kMouse;
      break;
    case Act::PasteEnd:
      if (b == '~' && params_ == 1 && nums_[0] == 201 && !private_ && intermediate_ == 0) {
        home_ = kGround;
        next = kGround;
      }
      break;
    default:
      break;
  }
  return next;
}

bool TKeyDecoder::InPaste() const noexcept { return home_ == kPaste; }

void TKeyDecoder::EndPaste() noexcept {
  home_ = kGround;
  state_ = kGround;
}

TKeyBytes TKeyDecoder::Pause() noexcept {
  TKeyBytes out;
  if (state_ == kEsc) {
    out.Push(kKeyEscape);
  } else if (state_ == kCsiParam) {
    EarlyKey(out);
  } else if (state_ == kPasteEsc) {
    // A lone Escape inside a paste: the terminal that began the paste is not
    // going to end it, so the keys count again (the next Escape is a key).
    home_ = kGround;
  }
  state_ = home_;
  return out;
}

void TKeyDecoder::StartSequence() noexcept {
  nums_ = {};
  params_ = 0;
  private_ = false;
  intermediate_ = 0;
}

void TKeyDecoder::Param(std::uint8_t b) noexcept {
  if (b >= '0' && b <= '9') {
    if (params_ == 0) params_ = 1;
    if (params_ <= nums_.size()) {
      std::uint16_t& n = nums_[params_ - 1];
      n = n >= kNumberCap / 10 ? kNumberCap : static_cast<std::uint16_t>(n * 10 + (b - '0'));
    }
  } else if (b == ';' || b == ':') {
    params_ = params_ == 0 ? 2 : params_ == 255 ? 255 : params_ + 1;
  } else if (b >= '<') {
    private_ = true;  // "<", "=", ">", "?": reports and replies, never keys
  } else {
    intermediate_ = b;
  }
}

// Looks the complete sequence up and queues its key; returns the next state.
std::uint8_t TKeyDecoder::Finish(std::uint8_t final, bool ss3, TKeyBytes& out) noexcept {
  if (private_ || intermediate_ != 0) return home_;
  std::uint16_t number = 0;
  std::uint16_t mod = params_ >= 2 ? nums_[1] : kNoMod;
  if (!ss3 && (final == '~' || final == '^' || final == '$' || final == '@')) {
    // rxvt names the modifiers by the final byte: "^" Ctrl, "$" Shift, "@" both.
    if (final == '^') mod = kCtrl;
    if (final == '$') mod = kShift;
    if (final == '@') mod = kCtrl + 1;
    number = nums_[0];
    final = '~';
  } else if (params_ == 1) {
    mod = nums_[0];  // an older form names only the modifier: "ESC O 5 A"
  }
  const KeyRow* row = FindKey(ss3 ? 'O' : '[', number, final);
  if (row == nullptr) return home_;
  const auto code =
      static_cast<std::uint8_t>(row->Code + (final - static_cast<std::uint8_t>(row->First)));
  switch (row->Result) {
    case Res::Ext:
      PushExt(out, Modified(code, mod >= 2 ? mod : row->Mod));
      break;
    case Res::Key:
      out.Push(code);
      break;
    case Res::Mouse:
      if (params_ != 0)
        break;  // the same final byte with parameters: a mouse report of another form
      skip_ = 3;
      return kMouse;
    case Res::Paste:
      home_ = kPaste;
      return kPaste;
  }
  return home_;
}

// ESC "[" and a number cut short by a pause: the keys the number names at once.
void TKeyDecoder::EarlyKey(TKeyBytes& out) const noexcept {
  if (params_ != 1 || private_ || intermediate_ != 0) return;
  const KeyRow* row = FindKey('[', nums_[0], '~');
  if (row != nullptr && row->Early) PushExt(out, row->Code);
}

bool TKeyDecoder::StartUtf8(std::uint8_t lead, bool drop) noexcept {
  const int more = lead >= 0xF8 ? -1 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (more < 0) return false;  // a stray continuation byte or no lead at all: no key
  utf8Need_ = static_cast<std::uint8_t>(more);
  utf8Cp_ = lead & (0x3F >> more);
  utf8Drop_ = drop;
  return true;
}

void TKeyDecoder::Utf8Next(std::uint8_t b, TKeyBytes& out) noexcept {
  utf8Cp_ = (utf8Cp_ << 6) | (b & 0x3F);
  if (--utf8Need_ > 0 || utf8Drop_) return;
  const int byte = UnicodeToCp437(utf8Cp_);
  if (byte >= 0x80) {
    out.Push(static_cast<std::uint8_t>(byte));
  } else if (byte < 0) {
    NoGlyph = utf8Cp_;
    PushExt(out, kScanNoGlyph);
  }
}

}  // namespace corvix
