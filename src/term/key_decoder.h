// The key decoder: turns the bytes a terminal sends into PC key codes. It is
// fed one byte at a time and told when a pause has passed; it does no I/O and
// keeps no time, so the keyboard object (TInput) only waits and reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corvix {

// The key bytes one step of the decoder gives: nothing, an ordinary key (its
// byte), an extended key (0 and a scan code), or an Escape before one of them.
struct TKeyBytes {
  std::array<std::uint8_t, 4> Bytes{};
  std::uint8_t Count = 0;
  void Push(std::uint8_t b) noexcept {
    if (Count < Bytes.size()) Bytes[Count++] = b;
  }
};

class TKeyDecoder {
 public:
  // Decodes one byte from the terminal.
  TKeyBytes Feed(std::uint8_t b) noexcept;
  // The escape delay has passed with no further byte: a sequence in progress
  // ends where it stands (a lone ESC is the Escape key).
  TKeyBytes Pause() noexcept;
  // True while a key has begun and its next byte is awaited; the caller then
  // waits at most the escape delay before it reports a Pause.
  bool Pending() const noexcept { return state_ != home_; }
  // True inside a bracketed paste whose end marker has not come yet.
  bool InPaste() const noexcept;
  // The paste's end marker is not coming (the input has been silent too
  // long): the paste is over where it stands, and the next byte is a key.
  void EndPaste() noexcept;
  // Scan code of Alt + Ch; 0 when Ch has none.
  static std::uint8_t AltKey(char ch) noexcept;

  // On: bytes of 128 and above are UTF-8, and a character code page 437 has
  // gives its code-page byte (é as 130); one it lacks gives the extended key
  // kScanNoGlyph, and the character is left in NoGlyph.
  bool Utf8Input = false;
  char32_t NoGlyph = 0;

 private:
  // Feed's steps for the action of transition Row on byte B: one that gives
  // key bytes, and one that reads a sequence. Each returns the next state,
  // Next unless the action chooses another.
  std::uint8_t KeyAction(std::size_t row, std::uint8_t b, std::uint8_t next,
                         TKeyBytes& out) noexcept;
  std::uint8_t SequenceAction(std::size_t row, std::uint8_t b, std::uint8_t next,
                              TKeyBytes& out) noexcept;
  void StartSequence() noexcept;
  void Param(std::uint8_t b) noexcept;
  std::uint8_t Finish(std::uint8_t final, bool ss3, TKeyBytes& out) noexcept;
  bool StartUtf8(std::uint8_t lead, bool drop) noexcept;
  void Utf8Next(std::uint8_t b, TKeyBytes& out) noexcept;
  void EarlyKey(TKeyBytes& out) const noexcept;

  std::uint8_t state_ = 0;  // where the decoder stands (the states of the transition table)
  std::uint8_t home_ = 0;   // where a finished key returns to: plain input, or inside a paste
  // The parameters of the sequence being read: the first two numbers, how
  // many there are, and whether a private marker or an intermediate came.
  std::array<std::uint16_t, 2> nums_{};
  std::uint8_t params_ = 0;
  bool private_ = false;
  std::uint8_t intermediate_ = 0;
  std::uint8_t skip_ = 0;  // bytes of a mouse report still to come
  // The UTF-8 character being read: bytes still to come, the code point so
  // far, and whether it gives no key (it followed an ESC).
  std::uint8_t utf8Need_ = 0;
  char32_t utf8Cp_ = 0;
  bool utf8Drop_ = false;
};

}  // namespace corvix
