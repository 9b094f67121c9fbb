// The keyboard object: reads raw bytes from the terminal and decodes them into
// PC key codes (an ordinary key as its byte, an extended key as 0 then a scan code).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "term/key_decoder.h"
#include "term/keys.h"

namespace corvix {

// Called right before the keyboard blocks waiting for input (never when input
// is already there), so that what was drawn reaches the terminal first. Set
// to the console layer's BeforeKeyWait by TConsole, and by tests that set up
// Screen and Keyboard themselves; unset, nothing runs. Read only by
// TInputLinux. A pointer because the keyboard object sits below the console
// that owns Screen.
extern void (*BeforeInputWait)();

// Called when a wait for input is interrupted by a signal, before the wait goes
// on with the time that is left, so that work a signal asks for (a repaint
// after a resize or a resume) is done in the program's own flow, not in the
// handler. Set by the console layer; read only by TInputLinux. A pointer for
// the same reason as BeforeInputWait.
extern void (*InputWaitInterrupted)();

// The keyboard object. Raw bytes land in the InBuf ring; the key decoder
// turns them into key bytes, which wait in the KeyBuf ring so both halves of an
// extended key come out in order. This class only waits and reads: a key that
// has begun gets the escape delay for each further byte, and a silence that
// long is reported to the decoder as a pause. The input descriptor is standard
// input unless a test hands it a pipe.
class TInputLinux {
 public:
  static constexpr std::int32_t kInBufSize = 256;
  static constexpr std::int32_t kKeyBufSize = 20;  // one slot stays free: 19 keys
  // A closed input reads as this many Escape keys, then the process ends as on
  // a hangup (SIGHUP), so no caller can loop on a terminal that is gone.
  static constexpr std::int32_t kClosedInputKeyLimit = 1000;
  // The escape delay: how long the bytes of one key may lie apart, and how
  // long a lone ESC waits before it is the Escape key. Slow links spread a
  // key's bytes over tens of milliseconds.
  static constexpr std::int32_t kDefaultEscapeDelayMs = 50;
  static constexpr std::int32_t kMinEscapeDelayMs = 10;
  static constexpr std::int32_t kMaxEscapeDelayMs = 1000;
  // A bracketed paste whose end marker has not come after this much silence
  // is over: what it delivered stays typed, and the keys act again.
  static constexpr std::int32_t kPasteTimeoutMs = 500;
  // Ms when it lies in the range above, else the default.
  static constexpr std::int32_t EscapeDelayOrDefault(std::int32_t ms) noexcept {
    return ms >= kMinEscapeDelayMs && ms <= kMaxEscapeDelayMs ? ms : kDefaultEscapeDelayMs;
  }

  explicit TInputLinux(int inputFd = 0) noexcept;
  ~TInputLinux();
  TInputLinux(const TInputLinux&) = delete;
  TInputLinux& operator=(const TInputLinux&) = delete;

  // Next decoded key byte; waits without limit when nothing is queued.
  std::uint8_t ReadKey();
  // True when a key can be read without waiting for the operator: the bytes
  // already there are decoded first (a key that has begun gets its escape
  // delay), so bytes that give no key (a focus report) do not count.
  bool KeyPressed();
  // True at once when a key waits; otherwise waits up to Ms milliseconds for
  // one to arrive.
  bool KeyWait(std::int32_t ms);
  // Drops every key already typed: those decoded and not yet read, and the
  // bytes that have arrived, whose keys are decoded and dropped too (a key
  // that has only begun gets its escape delay, so its tail is not taken for
  // keys of its own). Keys typed afterwards are read as usual.
  void DiscardKeys();
  // Scan code of Alt + Ch; 0 when Ch has none.
  static std::uint8_t AltKey(char ch) noexcept { return TKeyDecoder::AltKey(ch); }

  // ---- Internal steps, public in the style of the class. ----
  bool InputAvailable();
  std::uint8_t ReadByte();
  void PushKey(std::uint8_t b) noexcept;
  void PushExt(std::uint8_t code) noexcept;
  std::uint8_t PopKey() noexcept;
  // The key byte Ahead places behind the next one to read (0: the next one),
  // left in the ring; none when fewer key bytes are queued. Nothing is read
  // or decoded.
  [[nodiscard]] std::optional<std::uint8_t> PeekKey(std::int32_t ahead = 0) const noexcept;

  std::array<std::uint8_t, kInBufSize> InBuf{};    // ring of raw bytes
  std::int32_t InCount = 0;                        // unread bytes in InBuf
  std::int32_t InWrite = 0;                        // where the next read stores
  std::int32_t InRead = 0;                         // next raw byte to decode
  std::array<std::uint8_t, kKeyBufSize> KeyBuf{};  // ring of decoded key bytes
  std::int32_t KeyWrite = 0;                       // where the next key is stored
  std::int32_t KeyRead = 0;                        // next key byte to return

  int InputFd = 0;             // descriptor read from
  bool InputEnded = false;     // end of input or a hard read error was seen
  std::int32_t EndedKeys = 0;  // Escapes delivered since the input ended
  // On: the terminal sends UTF-8, and a character code page 437 has arrives
  // as its code-page byte (é as 130); one it lacks is dropped. Set at start-up.
  bool Utf8Input = false;
  // Milliseconds; set at start-up from the configuration.
  std::int32_t EscapeDelayMs = kDefaultEscapeDelayMs;
  // Set and read by the console layer's ReadKey, which hands out an extended
  // key's 0 and its code in two calls: the next key byte is that code.
  bool AfterExtendedPrefix = false;
  TKeyDecoder Decoder;

 private:
  bool DecodeKeys(std::int32_t ms);
  void Queue(const TKeyBytes& keys) noexcept;
  void FillInput();
  bool WaitForInput(std::int32_t ms);

  std::chrono::steady_clock::time_point lastInputAt_{};  // when bytes last arrived
};

// The name the rest of the program uses.
class TInput : public TInputLinux {
 public:
  using TInputLinux::TInputLinux;
};

}  // namespace corvix
