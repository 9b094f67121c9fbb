// Key decoding: escape sequences to PC key codes, the two rings, the lone
// Escape rule, waiting, and a closed input.
#include "term/input.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <utility>
#include <vector>

namespace corvix {
namespace {

const std::string kEsc = "\x1b";

// A keyboard reading the read end of a pipe the test writes keys into.
struct Keys {
  int Fds[2] = {-1, -1};
  ~Keys() {
    close(Fds[0]);
    CloseWriter();
  }
  TInput Kb{pipe(Fds) == 0 ? Fds[0] : -1};
  void Feed(const std::string& b) { EXPECT_EQ(write(Fds[1], b.data(), b.size()), ssize_t(b.size())); }
  void CloseWriter() { close(std::exchange(Fds[1], -1)); }
  int PipeBytes() const {
    int n = 0;
    ioctl(Fds[0], FIONREAD, &n);
    return n;
  }
  std::vector<int> Read(std::size_t count) {
    std::vector<int> keys;
    while (keys.size() < count) keys.push_back(Kb.ReadKey());
    return keys;
  }
  bool AllConsumed() const { return Kb.KeyRead == Kb.KeyWrite && Kb.InCount == 0 && PipeBytes() == 0; }
};

struct KeyCase {
  const char* Name;
  std::string Bytes;  // "|" marks a pause: the rest is written after the keys before it were read
  std::vector<int> Keys;
};

// Feeds each case into a fresh keyboard and reads the expected number of keys.
void RunCases(const std::vector<KeyCase>& cases, bool closeAfter = false) {
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Keys k;
    const std::size_t pause = c.Bytes.find('|');
    k.Feed(c.Bytes.substr(0, pause));
    if (closeAfter) k.CloseWriter();
    std::vector<int> got = k.Read(pause == std::string::npos ? c.Keys.size() : c.Keys.size() - 1);
    if (pause != std::string::npos) {
      k.Feed(c.Bytes.substr(pause + 1));
      got.push_back(k.Kb.ReadKey());
    }
    EXPECT_EQ(got, c.Keys);
    if (!closeAfter) {
      EXPECT_TRUE(k.AllConsumed());
    }
  }
}

TEST(ReadKey, DecodesSequencesArrivingTogether) {
  RunCases({
      {"plain keys", "ab\r\t\x03\xb0", {'a', 'b', 13, 9, 3, 0xb0}},
      {"127 and 8 are Backspace", "\x7f\x08", {8, 8}},
      {"up", kEsc + "[A", {0, 72}},
      {"two keys in one read", kEsc + "[A" + kEsc + "OB", {0, 72, 0, 80}},
      {"alt-x", kEsc + "x", {0, 45}},
      {"alt-1 and alt-=", kEsc + "1" + kEsc + "=", {0, 120, 0, 131}},
      {"upper case is not alt", kEsc + "X", {27, 'X'}},
      {"esc line feed", kEsc + "\n", {10}},
      {"insert", kEsc + "[2~", {0, 82}},
      {"delete", kEsc + "[3~", {0, 83}},
      {"home and end", kEsc + "[1~" + kEsc + "[4~", {0, 71, 0, 79}},
      {"f5", kEsc + "[15~", {0, 63}},
      {"f6", kEsc + "[17~", {0, 64}},
      {"f10 swallows the tilde", kEsc + "[21~", {0, 68}},
      {"f11", kEsc + "[23~", {0, 133}},
      {"shift-f10", kEsc + "[34~", {0, 93}},
      {"console f1, unknown dropped", kEsc + "[[A" + kEsc + "[[Z", {0, 59, 0}},
      {"vt100 f1 and end", kEsc + "OP" + kEsc + "OF", {0, 59, 0, 79}},
      {"keypad centre", kEsc + "[G", {'5'}},
      {"unknown after [ passes through", kEsc + "[Z", {27, '[', 'Z'}},
      {"modified cursor key", kEsc + "[1;5A", {0, 'A'}},
  });
}

TEST(ReadKey, SilenceEndsASequence) {
  RunCases({
      {"lone escape", kEsc, {27}},
      {"escape then x is not alt-x", kEsc + "|x", {27, 'x'}},
      {"esc [ then silence yields no key", kEsc + "[|A", {0, 'A'}},
      {"a late tilde is a key", kEsc + "[21|~", {0, 68, '~'}},
  });
}

TEST(ReadKey, ClosedInputReadsAsEscapeAfterTheLastBytes) {
  RunCases({{"bytes then end", "ab", {'a', 'b', 27, 27}},
            {"lone escape then end", kEsc, {27, 27}},
            {"cut sequence then end", kEsc + "[", {0, 27}}},
           true);
  for (int fd : {-1, 999}) EXPECT_EQ(TInput(fd).ReadKey(), 27) << fd;  // no descriptor, a closed one
}

TEST(ReadKeyDeathTest, EndlessReadingOfAClosedInputEndsAsAHangUp) {
  // Also when SIGHUP is ignored, as under nohup: the loop must still end.
  for (auto disposition : {SIG_DFL, SIG_IGN}) {
    auto readForever = [disposition] {
      std::signal(SIGHUP, disposition);
      TInput kb(-1);
      for (;;) {
        if (kb.ReadKey() != 27) _exit(1);
      }
    };
    EXPECT_EXIT(readForever(), ::testing::KilledBySignal(SIGHUP), "");
  }
}

TEST(ReadKey, ScanCodeComesFromTheRingWithoutReading) {
  Keys k;
  k.Feed(kEsc + "[A");
  EXPECT_EQ(k.Kb.ReadKey(), 0);
  k.Feed("q");
  EXPECT_EQ(k.Kb.ReadKey(), 72);
  EXPECT_EQ(k.PipeBytes(), 1);  // "q" is still waiting in the pipe
  EXPECT_EQ(k.Kb.ReadKey(), 'q');
}

TEST(Rings, KeyRingHoldsNineteenAndDropsTheRest) {
  TInput kb(-1);
  for (int round = 0; round < 3; ++round) {  // later rounds wrap around the ring
    for (int b = 1; b <= 20; ++b) kb.PushKey(static_cast<std::uint8_t>(b));
    for (int b = 1; b <= 19; ++b) EXPECT_EQ(kb.PopKey(), b);
    EXPECT_EQ(kb.PopKey(), 0);
  }
}

TEST(Rings, RawRingWrapsAndOneReadStopsAtItsEnd) {
  Keys k;
  std::string bytes;
  for (int i = 0; i < 600; ++i) bytes += static_cast<char>(i % 26 + 'a');
  k.Feed(bytes);
  std::string got(1, static_cast<char>(k.Kb.ReadKey()));
  EXPECT_EQ(k.Kb.InCount, 255);  // the first read took the whole ring and no more
  while (got.size() < 600) got += static_cast<char>(k.Kb.ReadKey());
  EXPECT_EQ(got, bytes);
  const int fill = 254 - 600 % 256;  // ESC and "[" end the ring, "A" starts it again
  k.Feed(std::string(fill, 'z') + kEsc + "[A");
  const std::vector<int> keys = k.Read(fill + 2);
  EXPECT_EQ(std::vector<int>(keys.end() - 2, keys.end()), (std::vector<int>{0, 72}));
  EXPECT_TRUE(k.AllConsumed());
}

TEST(AltKey, FollowsTheKeyboardRows) {
  const std::pair<char, int> cases[] = {{'q', 16}, {'p', 25}, {'a', 30}, {'l', 38}, {'z', 44}, {'m', 50},
                                        {'1', 120}, {'0', 129}, {'-', 130}, {'=', 131}, {'Q', 0}, {'\0', 0}};
  for (const auto& [ch, scan] : cases) EXPECT_EQ(TInput::AltKey(ch), scan) << ch;
}

TEST(KeyPressed, SeesBothRingsAndThePipe) {
  Keys k;
  EXPECT_FALSE(k.Kb.KeyPressed() || k.Kb.KeyWait(0) || k.Kb.KeyWait(20) || k.Kb.KeyWait(-5));
  k.Feed(kEsc + "[B");
  EXPECT_TRUE(k.Kb.KeyPressed() && k.Kb.KeyWait(1000));
  EXPECT_EQ(k.Kb.ReadKey(), 0);
  EXPECT_TRUE(k.Kb.KeyPressed() && k.Kb.KeyWait(0));  // the scan code waits in the key ring
  EXPECT_EQ(k.Kb.ReadKey(), 80);
  EXPECT_FALSE(k.Kb.KeyPressed());
}

}  // namespace
}  // namespace corvix
