// The keyboard decoder: raw terminal bytes in, PC key codes out. Escape
// sequences of ANSI/VT100 terminals, xterm and the Linux console are decoded
// by the transition table below.
#include "term/input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>

#include "term/cp437.h"
#include "term/terminal_restore.h"

namespace corvix {

namespace {

// A byte that follows ESC counts as part of the same key only when it arrives
// within this many milliseconds; otherwise the ESC was the Escape key.
constexpr std::int32_t kEscapeWaitMs = 10;

// What a transition queues for the byte K that caused it.
enum class Act : std::uint8_t {
  None,            // nothing
  Ext,             // 0, Code (an extended key)
  Key,             // Code (an ordinary key)
  Alt,             // 0, AltKey(K)
  EscByte,         // 27, K (an unknown byte after ESC is passed through)
  EscBracketByte,  // 27, "[", K (an unknown byte after ESC "[" is passed through)
};

// One transition: in State, a byte in First..Last does Action and moves to
// Next (0 = the sequence is complete). Rows are tried in order, so each
// state's catch-all row (0..255) comes last.
struct Transition {
  std::uint8_t State;
  std::uint8_t First;
  std::uint8_t Last;
  Act Action;
  std::uint8_t Code;
  std::uint8_t Next;
};

// States: 1 after ESC; 2 after ESC "["; 3 after ESC "[["; 4, 5, 6 after
// ESC "[1", "[2", "[3"; 7 after ESC "O"; 8 after ESC "[15"; 255 skips one
// byte (normally the closing "~" of a key already queued).
constexpr std::uint8_t kSkip = 255;
constexpr Transition kTransitions[] = {
    // State 1: after ESC.
    {1, 'a', 'z', Act::Alt, 0, 0},
    {1, '0', '9', Act::Alt, 0, 0},
    {1, '-', '-', Act::Alt, 0, 0},
    {1, '=', '=', Act::Alt, 0, 0},
    {1, 10, 10, Act::Key, 10, 0},
    {1, '[', '[', Act::None, 0, 2},
    {1, 'O', 'O', Act::None, 0, 7},
    {1, 0, 255, Act::EscByte, 0, 0},
    // State 2: after ESC "[".
    {2, 'A', 'A', Act::Ext, kScanUp, 0},
    {2, 'B', 'B', Act::Ext, kScanDown, 0},
    {2, 'C', 'C', Act::Ext, kScanRight, 0},
    {2, 'D', 'D', Act::Ext, kScanLeft, 0},
    {2, 'H', 'H', Act::Ext, kScanHome, 0},
    {2, 'K', 'K', Act::Ext, kScanEnd, 0},
    {2, 'V', 'V', Act::Ext, kScanPgUp, 0},
    {2, 'U', 'U', Act::Ext, kScanPgDn, 0},
    {2, 'G', 'G', Act::Key, '5', 0},  // keypad centre key
    {2, '4', '4', Act::Ext, kScanEnd, kSkip},
    {2, '5', '5', Act::Ext, kScanPgUp, kSkip},
    {2, '6', '6', Act::Ext, kScanPgDn, kSkip},
    {2, '1', '1', Act::None, 0, 4},
    {2, '2', '2', Act::None, 0, 5},
    {2, '3', '3', Act::None, 0, 6},
    {2, '[', '[', Act::None, 0, 3},
    {2, 0, 255, Act::EscBracketByte, 0, 0},
    // State 3: after ESC "[[" (Linux console F1-F5).
    {3, 'A', 'A', Act::Ext, kScanF1, 0},
    {3, 'B', 'B', Act::Ext, kScanF2, 0},
    {3, 'C', 'C', Act::Ext, kScanF3, 0},
    {3, 'D', 'D', Act::Ext, kScanF4, 0},
    {3, 'E', 'E', Act::Ext, kScanF5, 0},
    {3, 0, 255, Act::None, 0, 0},
    // State 4: after ESC "[1".
    {4, '~', '~', Act::Ext, kScanHome, 0},
    {4, '5', '5', Act::None, 0, 8},
    {4, '7', '7', Act::Ext, kScanF6, kSkip},
    {4, '8', '8', Act::Ext, kScanF7, kSkip},
    {4, '9', '9', Act::Ext, kScanF8, kSkip},
    {4, 0, 255, Act::None, 0, kSkip},
    // State 5: after ESC "[2".
    {5, '~', '~', Act::Ext, kScanIns, 0},
    {5, '0', '0', Act::Ext, kScanF9, kSkip},
    {5, '1', '1', Act::Ext, kScanF10, kSkip},
    {5, '3', '3', Act::Ext, kScanF11, kSkip},
    {5, '4', '4', Act::Ext, kScanF12, kSkip},
    {5, '5', '5', Act::Ext, kScanShiftF3, kSkip},
    {5, '6', '6', Act::Ext, kScanShiftF4, kSkip},
    {5, '8', '8', Act::Ext, kScanShiftF5, kSkip},
    {5, '9', '9', Act::Ext, kScanShiftF6, kSkip},
    {5, 0, 255, Act::None, 0, kSkip},
    // State 6: after ESC "[3".
    {6, '~', '~', Act::Ext, kScanDel, 0},
    {6, '1', '1', Act::Ext, kScanShiftF7, kSkip},
    {6, '2', '2', Act::Ext, kScanShiftF8, kSkip},
    {6, '3', '3', Act::Ext, kScanShiftF9, kSkip},
    {6, '4', '4', Act::Ext, kScanShiftF10, kSkip},
    {6, 0, 255, Act::None, 0, kSkip},
    // State 7: after ESC "O" (application cursor keys, VT100 F1-F4).
    {7, 'A', 'A', Act::Ext, kScanUp, 0},
    {7, 'B', 'B', Act::Ext, kScanDown, 0},
    {7, 'C', 'C', Act::Ext, kScanRight, 0},
    {7, 'D', 'D', Act::Ext, kScanLeft, 0},
    {7, 'H', 'H', Act::Ext, kScanHome, 0},
    {7, 'F', 'F', Act::Ext, kScanEnd, 0},
    {7, 'P', 'P', Act::Ext, kScanF1, 0},
    {7, 'Q', 'Q', Act::Ext, kScanF2, 0},
    {7, 'R', 'R', Act::Ext, kScanF3, 0},
    {7, 'S', 'S', Act::Ext, kScanF4, 0},
    {7, 0, 255, Act::None, 0, 0},
    // State 8: after ESC "[15".
    {8, '~', '~', Act::Ext, kScanF5, 0},
    {8, 0, 255, Act::None, 0, 0},
    // State 255: one byte to skip.
    {kSkip, 0, 255, Act::None, 0, 0},
};

const Transition& FindTransition(std::uint8_t state, std::uint8_t k) {
  for (const Transition& t : kTransitions) {
    if (t.State == state && k >= t.First && k <= t.Last) return t;
  }
  return kTransitions[std::size(kTransitions) - 1];  // not reached: every state has a catch-all
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

// poll() on fds for up to ms milliseconds (negative: without limit), resumed
// after a signal with the time that is left. Returns poll's result.
int PollFor(pollfd* fds, nfds_t count, std::int32_t ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
  std::int32_t left = ms;
  for (;;) {
    const int r = poll(fds, count, left);
    if (r >= 0 || errno != EINTR) return r;
    if (InputWaitInterrupted != nullptr) InputWaitInterrupted();
    if (ms >= 0) {
      const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      left = rest.count() > 0 ? static_cast<std::int32_t>(rest.count()) : 0;
    }
  }
}

// Ends the run as a hang-up ends it. When SIGHUP is ignored (as under nohup),
// blocked or caught by a handler that returns, the process would go on taking
// Escapes from a closed input for ever; it then dies by the default action.
[[noreturn]] void EndAsHangUp() {
  std::raise(SIGHUP);
  RestoreTerminal();
  std::signal(SIGHUP, SIG_DFL);
  std::raise(SIGHUP);
  std::_Exit(128 + SIGHUP);  // the signal is blocked
}

}  // namespace

void (*BeforeInputWait)() = nullptr;
void (*InputWaitInterrupted)() = nullptr;

TInputLinux::TInputLinux(int inputFd) noexcept : InputFd(inputFd) {}

// The descriptor belongs to whoever opened it; nothing to undo here.
TInputLinux::~TInputLinux() = default;

std::uint8_t TInputLinux::AltKey(char Ch) noexcept {
  for (std::size_t i = 0; i < std::size(kAltScans); ++i) {
    if (kAltChars[i] == Ch) return kAltScans[i];
  }
  return 0;
}

void TInputLinux::PushKey(std::uint8_t B) noexcept {
  const std::int32_t next = (KeyWrite + 1) % kKeyBufSize;
  if (next == KeyRead) return;  // ring full: the key is dropped
  KeyBuf[KeyWrite] = B;
  KeyWrite = next;
}

void TInputLinux::PushExt(std::uint8_t Code) noexcept {
  PushKey(kKeyExtended);
  PushKey(Code);
}

std::uint8_t TInputLinux::PopKey() noexcept {
  if (KeyRead == KeyWrite) return 0;
  const std::uint8_t b = KeyBuf[KeyRead];
  KeyRead = (KeyRead + 1) % kKeyBufSize;
  return b;
}

void TInputLinux::WaitMS(std::int32_t Ms) {
  if (Ms <= 0) return;
  if (BeforeInputWait != nullptr) BeforeInputWait();
  PollFor(nullptr, 0, Ms);
}

// Waits up to ms milliseconds (negative: without limit) for a raw byte.
// A hang-up or error on the descriptor also wakes it, so that the following
// read can see the end of input.
bool TInputLinux::WaitForInput(std::int32_t ms) {
  if (InCount > 0 || InputEnded) return true;
  if (InputFd < 0) {  // poll() would ignore it and wait for ever
    InputEnded = true;
    return true;
  }
  pollfd pfd{InputFd, POLLIN, 0};
  if (ms != 0 && BeforeInputWait != nullptr) BeforeInputWait();
  if (PollFor(&pfd, 1, ms) < 0) {
    InputEnded = true;  // the descriptor cannot be waited on: treat as closed
    return true;
  }
  return pfd.revents != 0;
}

bool TInputLinux::InputAvailable() { return WaitForInput(0); }

// Fills the raw ring when it is empty: one read takes everything waiting, up
// to the end of the ring (a read never wraps).
void TInputLinux::FillInput() {
  if (InCount > 0 || InputEnded) return;
  for (;;) {
    const ssize_t n = read(InputFd, InBuf.data() + InWrite, static_cast<std::size_t>(kInBufSize - InWrite));
    if (n > 0) {
      InCount += static_cast<std::int32_t>(n);
      InWrite = (InWrite + static_cast<std::int32_t>(n)) % kInBufSize;
      return;
    }
    if (n < 0 && errno == EINTR) continue;
    // EAGAIN on a non-blocking descriptor means nothing yet; anything else
    // (end of file, a failed read) means no key will ever come again.
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) InputEnded = true;
    return;
  }
}

std::uint8_t TInputLinux::ReadByte() {
  FillInput();
  if (InCount == 0) return 0;
  const std::uint8_t b = InBuf[InRead];
  --InCount;
  InRead = (InRead + 1) % kInBufSize;
  return b;
}

std::uint8_t TInputLinux::ReadKey() {
  for (;;) {
    if (KeyRead != KeyWrite) return PopKey();
    WaitForInput(-1);
    FillInput();
    if (InCount == 0) {
      if (!InputEnded) return 0;
      // The terminal is gone. Escape lets every screen take its way out; a
      // caller that ignores it would loop for ever, so after enough of them the
      // run ends the way a hang-up ends it.
      if (++EndedKeys > kClosedInputKeyLimit) EndAsHangUp();
      return kKeyEscape;
    }
    const std::uint8_t b = ReadByte();
    if (b == kKeyEscape) {
      DecodeEscape();
    } else if (Utf8Input && b >= 0x80) {
      if (!DecodeUtf8(b)) continue;  // a character the code page lacks: wait for the next key
    } else {
      PushKey(b == kKeyDelete ? kKeyBackspace : b);
    }
    return PopKey();
  }
}

// Reads the continuation bytes of a UTF-8 character that starts with Lead
// (each within the Escape wait) and queues its code-page-437 byte. False when
// the sequence is malformed or the code page has no such character.
bool TInputLinux::DecodeUtf8(std::uint8_t lead) {
  int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (more < 0 || lead >= 0xF8) return false;  // a stray continuation byte
  char32_t cp = lead & (0x3F >> more);
  for (int i = 0; i < more; ++i) {
    if (InCount == 0 && !WaitForInput(kEscapeWaitMs)) return false;
    FillInput();
    if (InCount == 0) return false;
    const std::uint8_t c = InBuf[InRead];
    if ((c & 0xC0) != 0x80) return false;  // left unread: it starts the next key
    ReadByte();
    cp = (cp << 6) | (c & 0x3F);
  }
  const int byte = UnicodeToCp437(cp);
  if (byte < 0x80) return false;
  PushKey(static_cast<std::uint8_t>(byte));
  return true;
}

// Runs the transition table over the bytes that follow an ESC. Each further
// byte must arrive within kEscapeWaitMs of the one before; a pause ends the
// sequence where it stands, and a lone ESC becomes the Escape key.
void TInputLinux::DecodeEscape() {
  std::uint8_t state = 1;
  while (state != 0 && WaitForInput(kEscapeWaitMs)) {
    FillInput();
    if (InCount == 0) break;  // end of input, or woken without a byte
    const std::uint8_t k = ReadByte();
    const Transition& t = FindTransition(state, k);
    switch (t.Action) {
      case Act::None: break;
      case Act::Ext: PushExt(t.Code); break;
      case Act::Key: PushKey(t.Code); break;
      case Act::Alt: PushExt(AltKey(static_cast<char>(k))); break;
      case Act::EscByte:
        PushKey(kKeyEscape);
        PushKey(k);
        break;
      case Act::EscBracketByte:
        PushKey(kKeyEscape);
        PushKey('[');
        PushKey(k);
        break;
    }
    state = t.Next;
  }
  if (state == 1) PushKey(kKeyEscape);
}

bool TInputLinux::KeyPressed() { return KeyRead != KeyWrite || InputAvailable(); }

bool TInputLinux::KeyWait(std::int32_t Ms) {
  if (KeyRead != KeyWrite || InCount > 0) return true;
  return WaitForInput(Ms < 0 ? 0 : Ms);
}

}  // namespace corvix
