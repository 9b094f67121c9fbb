// The keyboard object: waits for the terminal's bytes, reads them and hands
// them to the key decoder one at a time, telling it when the escape delay has
// passed in silence.
#include "term/input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>

#include "support/io_error.h"
#include "term/terminal_restore.h"

namespace corvix {

namespace {

// Waits up to ms milliseconds (negative: without limit) for fd. A signal, or
// an event of the terminal (resize, continue) that the event pipe reports,
// runs InputWaitInterrupted and the wait goes on with the time that is left.
// Returns poll's result for fd: 1 when it has news, 0 on time-out, -1 on error.
int PollFor(int fd, std::int32_t ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
  std::int32_t left = ms;
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {TerminalEventFd(), POLLIN, 0}};
    // Without the hook nothing would empty the event pipe.
    const nfds_t count = InputWaitInterrupted != nullptr && fds[1].fd >= 0 ? 2 : 1;
    const int r = poll(fds, count, left);
    if (r < 0 && errno != EINTR) return r;
    if (r > 0 && fds[0].revents != 0) return 1;
    if (r == 0) return 0;
    if (InputWaitInterrupted != nullptr) InputWaitInterrupted();
    if (ms >= 0) {
      const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      left = rest.count() > 0 ? static_cast<std::int32_t>(rest.count()) : 0;
    }
  }
}

// Ends the run as a hang-up ends it. When SIGHUP is ignored (as under nohup),
// blocked or caught by a handler that returns, the process would go on taking
// Escapes from a closed input for ever; it then dies by the default action,
// or, when the signal is blocked, ends through main as an input error.
[[noreturn]] void EndAsHangUp() {
  std::raise(SIGHUP);
  RestoreTerminal();
  std::signal(SIGHUP, SIG_DFL);
  std::raise(SIGHUP);
  throw IoError("standard input", EIO);
}

}  // namespace

void (*BeforeInputWait)() = nullptr;
void (*InputWaitInterrupted)() = nullptr;

TInputLinux::TInputLinux(int inputFd) noexcept : InputFd(inputFd) {}

// The descriptor belongs to whoever opened it; nothing to undo here.
TInputLinux::~TInputLinux() = default;

void TInputLinux::PushKey(std::uint8_t b) noexcept {
  const std::int32_t next = (KeyWrite + 1) % kKeyBufSize;
  if (next == KeyRead) return;  // ring full: the key is dropped
  KeyBuf[KeyWrite] = b;
  KeyWrite = next;
}

void TInputLinux::PushExt(std::uint8_t code) noexcept {
  PushKey(kKeyExtended);
  PushKey(code);
}

std::uint8_t TInputLinux::PopKey() noexcept {
  if (KeyRead == KeyWrite) return 0;
  const std::uint8_t b = KeyBuf[KeyRead];
  KeyRead = (KeyRead + 1) % kKeyBufSize;
  return b;
}

std::optional<std::uint8_t> TInputLinux::PeekKey(std::int32_t ahead) const noexcept {
  const std::int32_t queued = (KeyWrite - KeyRead + kKeyBufSize) % kKeyBufSize;
  if (ahead < 0 || ahead >= queued) return std::nullopt;
  return KeyBuf[static_cast<std::size_t>((KeyRead + ahead) % kKeyBufSize)];
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
  if (ms != 0 && BeforeInputWait != nullptr) BeforeInputWait();
  const int r = PollFor(InputFd, ms);
  if (r < 0) {
    InputEnded = true;  // the descriptor cannot be waited on: treat as closed
    return true;
  }
  return r > 0;
}

bool TInputLinux::InputAvailable() { return WaitForInput(0); }

// Fills the raw ring when it is empty: one read takes everything waiting, up
// to the end of the ring (a read never wraps).
void TInputLinux::FillInput() {
  if (InCount > 0 || InputEnded) return;
  for (;;) {
    const ssize_t n =
        read(InputFd, InBuf.data() + InWrite, static_cast<std::size_t>(kInBufSize - InWrite));
    if (n > 0) {
      lastInputAt_ = std::chrono::steady_clock::now();
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

void TInputLinux::Queue(const TKeyBytes& keys) noexcept {
  for (std::uint8_t i = 0; i < keys.Count; ++i) PushKey(keys.Bytes[i]);
}

// Decodes until a key waits in the key ring or the input has ended, waiting
// up to ms milliseconds (negative: without limit) for the operator. A key that
// has begun gets the escape delay for each of its further bytes whatever ms
// is; a silence that long is a pause for the decoder. True when a key waits
// or the input has ended.
bool TInputLinux::DecodeKeys(std::int32_t ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
  for (;;) {
    Decoder.Utf8Input = Utf8Input;
    // One key at a time: what follows it stays raw until it is asked for.
    while (KeyRead == KeyWrite && InCount > 0) Queue(Decoder.Feed(ReadByte()));
    if (KeyRead != KeyWrite) return true;
    if (InputEnded) {
      Queue(Decoder.Pause());  // no byte will follow: a lone ESC is the Escape key
      return true;
    }
    const bool pending = Decoder.Pending();
    // Inside a paste the silence since the last byte is measured: once it
    // reaches the paste time-out the paste is over.
    std::int32_t pasteLeft = -1;
    if (!pending && Decoder.InPaste()) {
      const auto rest = std::chrono::ceil<std::chrono::milliseconds>(
          lastInputAt_ + std::chrono::milliseconds(kPasteTimeoutMs) - Clock::now());
      if (rest.count() <= 0) {
        Decoder.EndPaste();
        continue;
      }
      pasteLeft = static_cast<std::int32_t>(rest.count());
    }
    std::int32_t wait = ms < 0 ? -1 : 0;
    if (pending) {
      wait = EscapeDelayMs;
    } else if (ms > 0) {
      const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      wait = rest.count() > 0 ? static_cast<std::int32_t>(rest.count()) : 0;
    }
    const bool pasteWait = pasteLeft >= 0 && (wait < 0 || wait > pasteLeft);
    if (pasteWait) wait = pasteLeft;
    if (WaitForInput(wait)) {
      FillInput();
    } else if (pending) {
      Queue(Decoder.Pause());
    } else if (!pasteWait) {
      return false;
    }
  }
}

std::uint8_t TInputLinux::ReadKey() {
  while (!DecodeKeys(-1)) {
  }
  if (KeyRead != KeyWrite) return PopKey();
  // The terminal is gone. Escape lets every screen take its way out; a caller
  // that ignores it would loop for ever, so after enough of them the run ends
  // the way a hang-up ends it.
  if (++EndedKeys > kClosedInputKeyLimit) EndAsHangUp();
  return kKeyEscape;
}

bool TInputLinux::KeyPressed() { return DecodeKeys(0); }

void TInputLinux::DiscardKeys() {
  // Bounded: a terminal that keeps sending (a held key) must not keep the
  // program here.
  for (std::int32_t i = 0; i < kInBufSize && !InputEnded; ++i) {
    KeyRead = KeyWrite;
    if (!DecodeKeys(0)) return;
  }
  KeyRead = KeyWrite;
}

bool TInputLinux::KeyWait(std::int32_t ms) { return DecodeKeys(ms < 0 ? 0 : ms); }

}  // namespace corvix
