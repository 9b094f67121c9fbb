// The screen test fixture: pipes in place of the terminal, a reader thread
// that keeps the screen pipe drained, and a feeder thread for keys that must
// follow a lone Escape after a pause.
#include "screen_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace corvix::testkit {

namespace {

// Silence after the keyboard has taken every pending byte and before keys
// held back behind a lone Escape are written. The decoder waits 10 ms after
// an Escape and after each byte of a sequence, so the pause grows with the
// Escapes that were sent before it; the margin absorbs a loaded machine.
constexpr int kSilenceBaseMs = 80;
constexpr int kSilencePerEscapeMs = 50;

constexpr char kEsc = '\x1b';

struct SequenceRow {
  std::uint8_t scan;
  const char* bytes;
};

// The Linux console's and xterm's sequences, as the decoder reads them.
constexpr SequenceRow kSequences[] = {
    {kScanUp, "\x1b[A"},        {kScanDown, "\x1b[B"},      {kScanRight, "\x1b[C"},
    {kScanLeft, "\x1b[D"},      {kScanHome, "\x1b[1~"},     {kScanEnd, "\x1b[4~"},
    {kScanPgUp, "\x1b[5~"},     {kScanPgDn, "\x1b[6~"},     {kScanIns, "\x1b[2~"},
    {kScanDel, "\x1b[3~"},      {kScanF1, "\x1b[[A"},       {kScanF2, "\x1b[[B"},
    {kScanF3, "\x1b[[C"},       {kScanF4, "\x1b[[D"},       {kScanF5, "\x1b[[E"},
    {kScanF6, "\x1b[17~"},      {kScanF7, "\x1b[18~"},      {kScanF8, "\x1b[19~"},
    {kScanF9, "\x1b[20~"},      {kScanF10, "\x1b[21~"},     {kScanF11, "\x1b[23~"},
    {kScanF12, "\x1b[24~"},     {kScanShiftF3, "\x1b[25~"}, {kScanShiftF4, "\x1b[26~"},
    {kScanShiftF5, "\x1b[28~"}, {kScanShiftF6, "\x1b[29~"}, {kScanShiftF7, "\x1b[31~"},
    {kScanShiftF8, "\x1b[32~"}, {kScanShiftF9, "\x1b[33~"}, {kScanShiftF10, "\x1b[34~"},
};

void WriteAllOrFail(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      ADD_FAILURE() << "writing keys failed: " << std::strerror(errno);
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

int PendingBytes(int fd) {
  int n = 0;
  if (::ioctl(fd, FIONREAD, &n) != 0) return 0;
  return n;
}

int CountEscapes(std::string_view bytes) {
  return static_cast<int>(std::count(bytes.begin(), bytes.end(), kEsc));
}

int SilenceAfter(int escapes) { return kSilenceBaseMs + kSilencePerEscapeMs * escapes; }

// The test whose steps run at the keyboard's waits, and the hook that was
// installed before it, put back when the test ends.
ScreenTest* waitingTest = nullptr;
void (*hookBefore)() = nullptr;

}  // namespace

void ScreenTest::RunWaitStep() {
  BeforeKeyWait();
  if (waitingTest == nullptr || waitingTest->steps_.empty()) return;
  Step& next = waitingTest->steps_.front();
  if (waitingTest->Shown().find(next.shown) == std::string::npos) return;
  std::function<void()> run = std::move(next.run);
  waitingTest->steps_.pop_front();
  run();
}

std::string ScreenTest::Shown() const {
  std::string all;
  for (std::uint8_t y = 1; y <= kScreenRows; ++y) all += RowText(y) + '\n';
  return all;
}

namespace {}  // namespace

std::string KeySequence(std::uint8_t scan) {
  for (const SequenceRow& row : kSequences) {
    if (row.scan == scan) return row.bytes;
  }
  // Alt combinations: ESC followed by the key whose Alt code is Scan.
  static constexpr std::string_view kAltKeys = "qwertyuiopasdfghjklzxcvbnm1234567890-=";
  for (char c : kAltKeys) {
    if (TInput::AltKey(c) == scan) return std::string{kEsc, c};
  }
  return {};
}

void ScreenTest::SetUp() {
  int out[2];
  int keys[2];
  ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
  ASSERT_EQ(::pipe2(keys, O_CLOEXEC), 0);
  outRead_ = out[0];
  outWrite_ = out[1];
  keyRead_ = keys[0];
  keyWrite_ = keys[1];
  // The read end is drained without blocking, by the reader thread and by
  // Output() alike, under one lock.
  ::fcntl(outRead_, F_SETFL, ::fcntl(outRead_, F_GETFL) | O_NONBLOCK);
  reader_ = std::thread([this] { ReaderLoop(); });

  // The terminal-settings descriptor is the pipe too, so the test process's
  // own terminal is never put into raw mode.
  screen_ = std::make_unique<TOutput>(true, outWrite_, outWrite_);
  keyboard_ = std::make_unique<TInput>(keyRead_);
  keyboard_->EscapeDelayMs = TInput::kMinEscapeDelayMs;  // the silences below are sized for it
  Screen = screen_.get();
  Keyboard = keyboard_.get();
  ScreenWidth = 80;
  SavedScreen = TConsoleImageRec{};
  PausePrompt = kDefaultPausePrompt;
  CtrlCLeaves = false;
  ClearInterrupted();
  hookBefore = BeforeInputWait;
  BeforeInputWait = RunWaitStep;
  waitingTest = this;
}

void ScreenTest::AtWait(std::string shown, std::function<void()> step) {
  steps_.push_back(Step{std::move(shown), std::move(step)});
}

void ScreenTest::TearDown() {
  EXPECT_TRUE(steps_.empty()) << steps_.size() << " step(s) never ran: the keyboard did not wait";
  if (waitingTest == this) {
    BeforeInputWait = hookBefore;
    waitingTest = nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(feedMutex_);
    stopping_ = true;
  }
  feedCv_.notify_all();
  if (feeder_.joinable()) feeder_.join();

  Screen = nullptr;
  Keyboard = nullptr;
  keyboard_.reset();
  screen_.reset();  // flushes what is still buffered into the pipe

  // Closing the write end lets the reader see the end of the pipe and stop.
  if (outWrite_ >= 0) ::close(outWrite_);
  if (reader_.joinable()) reader_.join();
  for (int fd : {outRead_, keyRead_, keyWrite_}) {
    if (fd >= 0) ::close(fd);
  }
  outRead_ = outWrite_ = keyRead_ = keyWrite_ = -1;
}

// ---- Keys ----

void ScreenTest::WriteKeys(std::string_view bytes) {
  std::unique_lock<std::mutex> lock(feedMutex_);
  if (!holding_) {
    directEscapes_ += CountEscapes(bytes);
    lock.unlock();
    WriteAllOrFail(keyWrite_, bytes);
    return;
  }
  if (chunks_.empty()) chunks_.emplace_back();
  chunks_.back().append(bytes);
  if (!feeder_.joinable()) feeder_ = std::thread([this] { FeederLoop(); });
  feedCv_.notify_all();
}

void ScreenTest::Keys(std::string_view bytes) { WriteKeys(bytes); }

void ScreenTest::Key(std::uint8_t scan) {
  const std::string bytes = KeySequence(scan);
  ASSERT_FALSE(bytes.empty()) << "no terminal sequence gives scan code " << int{scan};
  WriteKeys(bytes);
}

void ScreenTest::LoneEscape() {
  WriteKeys(std::string_view(&kEsc, 1));
  std::lock_guard<std::mutex> lock(feedMutex_);
  // Whatever is queued from now on waits for the silence after this Escape.
  holding_ = true;
  chunks_.emplace_back();
}

void ScreenTest::FeederLoop() {
  std::unique_lock<std::mutex> lock(feedMutex_);
  int silenceMs = SilenceAfter(directEscapes_);
  while (!stopping_) {
    if (chunks_.empty() || (chunks_.size() == 1 && chunks_.front().empty())) {
      // Nothing to send yet (or only the empty chunk a trailing LoneEscape opened).
      feedCv_.wait(lock);
      continue;
    }
    if (chunks_.front().empty()) {
      chunks_.pop_front();
      continue;
    }
    // Wait until the keyboard has taken every byte already sent, then stay silent.
    if (PendingBytes(keyRead_) > 0) {
      feedCv_.wait_for(lock, std::chrono::milliseconds(2));
      continue;
    }
    if (feedCv_.wait_for(lock, std::chrono::milliseconds(silenceMs),
                         [this] { return stopping_; })) {
      break;
    }
    const std::string chunk = std::move(chunks_.front());
    chunks_.pop_front();
    silenceMs = SilenceAfter(CountEscapes(chunk));
    lock.unlock();
    WriteAllOrFail(keyWrite_, chunk);
    lock.lock();
  }
}

// ---- Screen image ----

std::string ScreenTest::RowText(std::uint8_t y) const {
  std::string row;
  for (std::uint8_t x = 1; x <= kScreenCols; ++x) row += screen_->ReadCharXY(x, y);
  return row;
}

char ScreenTest::CharAt(std::uint8_t x, std::uint8_t y) const { return screen_->ReadCharXY(x, y); }

std::string ScreenTest::Block(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2,
                              std::uint8_t y2) const {
  std::string block;
  for (std::uint8_t y = y1; y <= y2; ++y) {
    if (y > y1) block += '\n';
    for (std::uint8_t x = x1; x <= x2; ++x) block += screen_->ReadCharXY(x, y);
  }
  return block;
}

std::string ScreenTest::Snapshot() const {
  std::string all;
  for (std::uint8_t y = 1; y <= kScreenRows; ++y) {
    for (std::uint8_t x = 1; x <= kScreenCols; ++x) {
      all += screen_->ReadCharXY(x, y);
      all += static_cast<char>(screen_->ReadAttrXY(x, y));
    }
  }
  return all;
}

std::uint8_t ScreenTest::AttrAt(std::uint8_t x, std::uint8_t y) const {
  return screen_->ReadAttrXY(x, y);
}

// ---- Bytes sent ----

namespace {

// Appends everything readable now; true when the write end has been closed.
bool Drain(int fd, std::string& into) {
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      into.append(buf, static_cast<std::size_t>(n));
    } else if (n == 0) {
      return true;
    } else if (errno != EINTR) {
      return errno != EAGAIN && errno != EWOULDBLOCK;
    }
  }
}

}  // namespace

void ScreenTest::ReaderLoop() {
  pollfd pfd{outRead_, POLLIN, 0};
  for (;;) {
    if (::poll(&pfd, 1, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    std::lock_guard<std::mutex> lock(outMutex_);
    if (Drain(outRead_, output_)) return;
  }
}

std::string ScreenTest::Output() {
  // Drawing only buffers; the program flushes before it waits for a key. A
  // test reads in between, so what is pending counts as sent.
  screen_->BufFlush();
  std::lock_guard<std::mutex> lock(outMutex_);
  Drain(outRead_, output_);
  return output_;
}

void ScreenTest::ClearOutput() {
  screen_->BufFlush();
  std::lock_guard<std::mutex> lock(outMutex_);
  Drain(outRead_, output_);
  output_.clear();
}

}  // namespace corvix::testkit
