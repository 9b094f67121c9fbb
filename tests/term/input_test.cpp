// Key decoding: escape sequences to PC key codes, the two rings, the lone
// Escape rule, waiting, and a closed input.
#include "term/input.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

namespace corvix {
namespace {

// A keyboard reading the read end of a pipe the test writes keys into.
class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(pipe(fds_), 0);
    kb_ = std::make_unique<TInput>(fds_[0]);
  }
  void TearDown() override {
    close(fds_[0]);
    CloseWriter();
  }
  void Feed(const std::string& bytes) {
    ASSERT_EQ(write(fds_[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void CloseWriter() {
    if (fds_[1] >= 0) close(fds_[1]);
    fds_[1] = -1;
  }
  int PipeBytes() {
    int n = 0;
    ioctl(fds_[0], FIONREAD, &n);
    return n;
  }
  std::vector<int> Read(std::size_t count) {
    std::vector<int> keys;
    for (std::size_t i = 0; i < count; ++i) keys.push_back(kb_->ReadKey());
    return keys;
  }
  bool AllConsumed() { return kb_->KeyRead == kb_->KeyWrite && kb_->InCount == 0 && PipeBytes() == 0; }

  int fds_[2] = {-1, -1};
  std::unique_ptr<TInput> kb_;
};

const std::string kEsc = "\x1b";

struct KeyCase {
  const char* Name;
  std::string Bytes;
  std::vector<int> Keys;
};

TEST_F(InputTest, DecodesSequencesArrivingTogether) {
  const KeyCase cases[] = {
      {"plain keys", "ab\r\t\x03\xb0", {'a', 'b', 13, 9, 3, 0xb0}},
      {"127 and 8 are Backspace", "\x7f\x08", {8, 8}},
      {"up", kEsc + "[A", {0, 72}},
      {"two keys in one read", kEsc + "[A" + kEsc + "[B", {0, 72, 0, 80}},
      {"alt-x", kEsc + "x", {0, 45}},
      {"alt-1 and alt-=", kEsc + "1" + kEsc + "=", {0, 120, 0, 131}},
      {"upper case is not alt", kEsc + "X", {27, 'X'}},
      {"esc esc", kEsc + kEsc, {27, 27}},
      {"esc line feed", kEsc + "\n", {10}},
      {"insert", kEsc + "[2~", {0, 82}},
      {"delete", kEsc + "[3~", {0, 83}},
      {"home ~", kEsc + "[1~", {0, 71}},
      {"end ~", kEsc + "[4~", {0, 79}},
      {"page up ~", kEsc + "[5~", {0, 73}},
      {"f5", kEsc + "[15~", {0, 63}},
      {"f6", kEsc + "[17~", {0, 64}},
      {"f10 swallows the tilde", kEsc + "[21~", {0, 68}},
      {"f11", kEsc + "[23~", {0, 133}},
      {"shift-f10", kEsc + "[34~", {0, 93}},
      {"console f1", kEsc + "[[A", {0, 59}},
      {"console unknown is dropped", kEsc + "[[Z", {0}},
      {"vt100 f1", kEsc + "OP", {0, 59}},
      {"vt100 end", kEsc + "OF", {0, 79}},
      {"vt100 unknown is dropped", kEsc + "OZ", {0}},
      {"keypad centre", kEsc + "[G", {'5'}},
      {"unknown after [ passes through", kEsc + "[Z", {27, '[', 'Z'}},
      {"modified cursor key", kEsc + "[1;5A", {0, 'A'}},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Feed(c.Bytes);
    EXPECT_EQ(Read(c.Keys.size()), c.Keys);
    EXPECT_TRUE(AllConsumed());
  }
}

TEST_F(InputTest, ScanCodeComesFromTheRingWithoutReading) {
  Feed(kEsc + "[A");
  EXPECT_EQ(kb_->ReadKey(), 0);
  Feed("q");
  EXPECT_EQ(kb_->ReadKey(), 72);
  EXPECT_EQ(kb_->InCount, 0);
  EXPECT_EQ(PipeBytes(), 1);  // "q" is still waiting in the pipe
  EXPECT_EQ(kb_->ReadKey(), 'q');
}

// Each later byte is written only after ReadKey returned, so the decoder has
// seen more than 10 ms of silence.
TEST_F(InputTest, SilenceEndsASequence) {
  const KeyCase cases[] = {
      {"lone escape", kEsc, {27}},
      {"escape then x is not alt-x", kEsc + "|x", {27, 'x'}},
      {"esc [ then silence yields no key", kEsc + "[|A", {0, 'A'}},
      {"a late tilde is a key", kEsc + "[21|~", {0, 68, '~'}},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::size_t pause = c.Bytes.find('|');
    Feed(c.Bytes.substr(0, pause));
    std::vector<int> keys = Read(pause == std::string::npos ? c.Keys.size() : c.Keys.size() - 1);
    if (pause != std::string::npos) {
      Feed(c.Bytes.substr(pause + 1));
      keys.push_back(kb_->ReadKey());
    }
    EXPECT_EQ(keys, c.Keys);
    EXPECT_TRUE(AllConsumed());
  }
}

TEST_F(InputTest, KeyRingHoldsNineteenAndDropsTheRest) {
  for (int round = 0; round < 3; ++round) {  // later rounds wrap around the ring
    for (int b = 1; b <= 20; ++b) kb_->PushKey(static_cast<std::uint8_t>(b));
    for (int b = 1; b <= 19; ++b) EXPECT_EQ(kb_->PopKey(), b);
    EXPECT_EQ(kb_->PopKey(), 0);
    EXPECT_EQ(kb_->KeyRead, kb_->KeyWrite);
  }
}

TEST_F(InputTest, RawRingWrapsAndOneReadStopsAtItsEnd) {
  std::string bytes;
  for (int i = 0; i < 600; ++i) bytes += static_cast<char>(i % 26 + 'a');
  Feed(bytes);
  EXPECT_EQ(kb_->ReadKey(), 'a');
  EXPECT_EQ(kb_->InCount, 255);  // the first read took the whole ring and no more
  std::string got = "a";
  for (int i = 1; i < 600; ++i) got += static_cast<char>(kb_->ReadKey());
  EXPECT_EQ(got, bytes);
  // A sequence cut by the end of the ring is completed by the next read.
  const int fill = 254 - 600 % 256;  // ESC and "[" end the ring, "A" starts it again
  Feed(std::string(fill, 'z') + kEsc + "[A");
  std::vector<int> keys = Read(fill + 2);
  EXPECT_EQ(keys.back(), 72);
  EXPECT_EQ(keys[keys.size() - 2], 0);
  EXPECT_TRUE(AllConsumed());
}

TEST(AltKey, FollowsTheKeyboardRows) {
  const std::pair<char, int> cases[] = {{'q', 16}, {'p', 25}, {'a', 30}, {'l', 38}, {'z', 44}, {'m', 50},
                                        {'1', 120}, {'0', 129}, {'-', 130}, {'=', 131}, {'Q', 0}, {'!', 0},
                                        {'\0', 0}};
  for (const auto& [ch, scan] : cases) EXPECT_EQ(TInput::AltKey(ch), scan) << ch;
}

TEST_F(InputTest, KeyPressedAndKeyWaitSeeBothRingsAndThePipe) {
  EXPECT_FALSE(kb_->KeyPressed());
  EXPECT_FALSE(kb_->KeyWait(0));
  EXPECT_FALSE(kb_->KeyWait(20));
  EXPECT_FALSE(kb_->KeyWait(-5));  // a negative wait returns, it does not block
  Feed("k");
  EXPECT_TRUE(kb_->KeyPressed());
  EXPECT_TRUE(kb_->KeyWait(1000));
  EXPECT_EQ(kb_->ReadKey(), 'k');
  Feed(kEsc + "[B");
  EXPECT_EQ(kb_->ReadKey(), 0);
  EXPECT_TRUE(kb_->KeyPressed());  // the scan code waits in the key ring
  EXPECT_TRUE(kb_->KeyWait(0));
  EXPECT_EQ(kb_->ReadKey(), 80);
  EXPECT_FALSE(kb_->KeyPressed());
}

TEST_F(InputTest, ClosedInputReadsAsEscapeAfterTheLastBytes) {
  const KeyCase cases[] = {
      {"bytes then end", "ab", {'a', 'b', 27, 27}},
      {"lone escape then end", kEsc, {27, 27}},
      {"cut sequence then end", kEsc + "[", {0, 27}},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TearDown();
    SetUp();
    Feed(c.Bytes);
    CloseWriter();
    EXPECT_EQ(Read(c.Keys.size()), c.Keys);
    EXPECT_TRUE(kb_->KeyPressed());
    EXPECT_TRUE(kb_->KeyWait(1000));
  }
}

TEST(InputClosed, BadDescriptorsDoNotHang) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  close(fds[1]);
  for (int fd : {-1, fds[0]}) {
    TInput kb(fd);
    EXPECT_EQ(kb.ReadKey(), 27) << fd;
  }
}

TEST(InputClosedDeathTest, EndlessReadingOfAClosedInputEndsAsAHangUp) {
  auto readForever = [] {
    TInput kb(-1);
    for (;;) {
      if (kb.ReadKey() != 27) _exit(1);
    }
  };
  EXPECT_EXIT(readForever(), ::testing::KilledBySignal(SIGHUP), "");
}

}  // namespace
}  // namespace corvix
