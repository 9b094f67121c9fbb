// Keys: the decoder fed bytes and pauses directly (every sequence, the lone
// Escape rule, pastes, UTF-8), then the keyboard object's waiting and reading:
// the two rings, gaps inside a key, the escape delay, a closed input.
#include "term/input.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "term/keys.h"
#include "term/terminal_restore.h"

namespace corvix {
namespace {

const std::string kEsc = "\x1b";

struct KeyCase {
  const char* Name;
  std::string Bytes;  // "`" stands for ESC; "|" marks a pause of the escape delay
  std::vector<int> Keys;
};

// Every key byte the decoder gives for Bytes, followed by a pause (the
// operator stops typing).
std::vector<int> Decode(const std::string& bytes, bool utf8 = false) {
  TKeyDecoder d;
  d.Utf8Input = utf8;
  std::vector<int> keys;
  auto take = [&keys](const TKeyBytes& k) {
    keys.insert(keys.end(), k.Bytes.begin(), k.Bytes.begin() + k.Count);
  };
  for (char c : bytes) {
    if (c == '`') c = '\x1b';
    take(c == '|' ? d.Pause() : d.Feed(static_cast<std::uint8_t>(c)));
  }
  take(d.Pause());
  EXPECT_FALSE(d.Pending());
  return keys;
}

void RunCases(const std::vector<KeyCase>& cases, bool utf8 = false) {
  for (const KeyCase& c : cases) EXPECT_EQ(Decode(c.Bytes, utf8), c.Keys) << c.Name;
}

TEST(KeyDecoder, GivesEveryKeyOfTheClassicTable) {
  RunCases({
      {"plain keys", "ab\r\t\x03\xb0", {'a', 'b', 13, 9, 3, 0xb0}},
      {"127 and 8 are Backspace", "\x7f\x08", {8, 8}},
      {"alt letters", "`q`m`l", {0, 16, 0, 50, 0, 38}},
      {"alt digits, - and =", "`1`0`-`=", {0, 120, 0, 129, 0, 130, 0, 131}},
      {"esc line feed", "`\n", {10}},
      {"cursor keys", "`[A`[B`[C`[D", {0, 72, 0, 80, 0, 77, 0, 75}},
      {"home, end, pgup, pgdn by letter", "`[H`[K`[V`[U", {0, 71, 0, 79, 0, 73, 0, 81}},
      {"keypad centre", "`[G", {'5'}},
      {"end, pgup, pgdn by number", "`[4~`[5~`[6~", {0, 79, 0, 73, 0, 81}},
      {"console f1-f5", "`[[A`[[B`[[C`[[D`[[E", {0, 59, 0, 60, 0, 61, 0, 62, 0, 63}},
      {"home, f5, f6-f8", "`[1~`[15~`[17~`[18~`[19~", {0, 71, 0, 63, 0, 64, 0, 65, 0, 66}},
      {"insert, f9-f12", "`[2~`[20~`[21~`[23~`[24~", {0, 82, 0, 67, 0, 68, 0, 133, 0, 134}},
      {"shift-f3 to shift-f6", "`[25~`[26~`[28~`[29~", {0, 86, 0, 87, 0, 88, 0, 89}},
      {"delete, shift-f7 to shift-f10",
       "`[3~`[31~`[32~`[33~`[34~",
       {0, 83, 0, 90, 0, 91, 0, 92, 0, 93}},
      {"application cursor keys", "`OA`OB`OC`OD", {0, 72, 0, 80, 0, 77, 0, 75}},
      {"vt100 home, end, f1-f4", "`OH`OF`OP`OQ`OR`OS", {0, 71, 0, 79, 0, 59, 0, 60, 0, 61, 0, 62}},
      {"two keys in a row", "`[A`OB", {0, 72, 0, 80}},
      {"a number cut short still gives its key", "`[21|~`[4|~", {0, 68, '~', 0, 79, '~'}},
  });
}

TEST(KeyDecoder, GivesTheKeysOfTodaysTerminals) {
  RunCases({
      {"home and end", "`[F`[7~`[8~", {0, 79, 0, 71, 0, 79}},
      {"rxvt f1-f4", "`[11~`[12~`[13~`[14~", {0, 59, 0, 60, 0, 61, 0, 62}},
      {"shift-tab", "`[Z", {0, 15}},
      {"shift-tab on the Linux console", "`\t", {0, 15}},
      {"xterm keypad centre", "`[E`OE", {'5', '5'}},
      {"application keypad",
       "`Op`Oy`Oj`Ok`Om`On`Oo`OX`OM",
       {'0', '9', '*', '+', '-', '.', '/', '=', 13}},
      {"ctrl-left, -right, -home, -end",
       "`[1;5D`[1;5C`[1;5H`[1;5F",
       {0, 115, 0, 116, 0, 119, 0, 117}},
      {"ctrl-pgup, -pgdn", "`[5;5~`[6;5~", {0, 132, 0, 118}},
      {"ctrl+shift is ctrl", "`[1;6D", {0, 115}},
      {"shift-f1, shift-f5", "`[1;2P`[15;2~", {0, 84, 0, 88}},
      {"no pc code: the plain key",
       "`[1;5A`[5;2~`[1;3C`[3;5~`[1;5P",
       {0, 72, 0, 73, 0, 77, 0, 83, 0, 59}},
      {"rxvt modifiers", "`[7^`[8^`[2$`Od`Oc`[a", {0, 119, 0, 117, 0, 82, 0, 115, 0, 116, 0, 72}},
      {"old modifier form", "`O5D", {0, 115}},
  });
}

TEST(KeyDecoder, UnknownSequencesGiveNoKeyAndNeverEscape) {
  RunCases({
      {"focus in and out", "`[I`[Ox", {'x'}},
      {"x10 mouse, bytes of any value", "`[M \x1b[`[M\xff\x7f\x01x", {'x'}},
      {"sgr and urxvt mouse", "`[<0;10;5M`[<0;10;5m`[32;10;5Mx", {'x'}},
      {"replies and other csi", "`[?1;2c`[16~`[X`[1 qx", {'x'}},
      {"other after ESC [[, ESC O", "`[[Z`OZ`O!x", {'x'}},
      {"alt with upper case and punctuation", "`X`!` `\xb0x", {'x'}},
      {"cut short by a pause", "`[|A`[1|~`O|P", {'A', '~', 'P'}},
      {"cut short by a control byte", "`[`[A`[1\r", {0, 72, 13}},
      {"paste", "`[200~ab\r\t`dc|\xb0`[201~e\r", {'a', 'b', 'c', 0xb0, 'e', 13}},
      {"unclosed paste ends at a lone escape", "`[200~a`|`|b", {'a', 27, 'b'}},
  });
}

TEST(KeyDecoder, EscapeIsALoneEscOrOneBeforeAControlKey) {
  RunCases({
      {"lone escape", "`", {27}},
      {"escape then x after a pause is not alt-x", "`|x", {27, 'x'}},
      {"two escapes", "``", {27, 27}},
      {"escape before a sequence", "``[A", {27, 0, 72}},
      {"escape before control keys", "`\r`\x7f", {27, 13, 27, 8}},
  });
}

TEST(KeyDecoder, Utf8KeysAreDecodedWholeAfterEscToo) {
  RunCases(
      {
          {"a character of the code page", "\xc3\xa9\xe2\x94\x80", {130, 196}},
          {"after ESC: no key", "`\xc3\xa9`\xe2\x94\x80x", {'x'}},
          {"not in the code page", "\xe2\x80\x93x", {0, kScanNoGlyph, 'x'}},
          {"stray, cut short", "\xa9\xc3|x\xc3y", {'x', 'y'}},
          {"in a paste", "`[200~\xc3\xa9`[201~", {130}},
      },
      true);
}

TEST(AltKey, FollowsTheKeyboardRows) {
  const std::pair<char, int> cases[] = {{'q', 16},  {'p', 25},  {'a', 30},  {'l', 38},
                                        {'z', 44},  {'m', 50},  {'1', 120}, {'0', 129},
                                        {'-', 130}, {'=', 131}, {'Q', 0},   {'\0', 0}};
  for (const auto& [ch, scan] : cases) EXPECT_EQ(TInput::AltKey(ch), scan) << ch;
}

TEST(EscapeDelay, TakesTheDefaultOutsideItsRange) {
  const std::pair<int, int> cases[] = {{10, 10},   {1000, 1000}, {9, 50},
                                       {1001, 50}, {-5, 50},     {200, 200}};
  for (const auto& [ms, used] : cases) EXPECT_EQ(TInput::EscapeDelayOrDefault(ms), used) << ms;
}

// ---- The keyboard object: waiting and reading. ----

// A keyboard reading the read end of a pipe the test writes keys into.
struct Keys {
  int Fds[2] = {-1, -1};
  ~Keys() {
    close(Fds[0]);
    CloseWriter();
  }
  TInput Kb{pipe(Fds) == 0 ? Fds[0] : -1};
  void Feed(const std::string& b) {
    EXPECT_EQ(write(Fds[1], b.data(), b.size()), ssize_t(b.size()));
  }
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
  bool AllConsumed() const {
    return Kb.KeyRead == Kb.KeyWrite && Kb.InCount == 0 && PipeBytes() == 0;
  }
};

TEST(ReadKey, DecodesWhatArrivesOneKeyAtATime) {
  Keys k;
  k.Feed(kEsc + "[A" + kEsc + "[I\xc3\xa9q");
  EXPECT_EQ(k.Kb.ReadKey(), 0);
  EXPECT_EQ(k.Kb.InCount, 6);  // the rest waits raw until it is asked for
  k.Kb.Utf8Input = true;
  EXPECT_EQ(k.Read(3), (std::vector<int>{72, 130, 'q'}));
  EXPECT_TRUE(k.AllConsumed());
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

// The bytes of a key written with Gap milliseconds between them, against the
// default escape delay. A machine too busy to keep the gaps short makes the
// attempt count for nothing; it is then tried again.
TEST(ReadKey, GapsShorterThanTheEscapeDelayKeepOneKey) {
  using Clock = std::chrono::steady_clock;
  for (int gap : {0, 5, 30, 45}) {
    bool shown = false;
    for (int attempt = 0; attempt < 5 && !shown; ++attempt) {
      Keys k;
      ASSERT_EQ(k.Kb.EscapeDelayMs, 50);
      Clock::duration longest{};
      std::thread writer([&] {
        Clock::time_point before = Clock::now();
        for (char c : kEsc + "[F") {
          if (c != kEsc[0]) std::this_thread::sleep_for(std::chrono::milliseconds(gap));
          const Clock::time_point start = Clock::now();
          k.Feed(std::string(1, c));
          longest = std::max(longest, Clock::now() - before);
          before = start;
        }
        // A gap stretched by a busy machine can leave a key short of bytes;
        // the end of input then ends the read instead of a wait for ever.
        k.CloseWriter();
      });
      const std::vector<int> got = k.Read(2);
      writer.join();
      if (longest < std::chrono::milliseconds(49)) {
        EXPECT_EQ(got, (std::vector<int>{0, 79})) << gap << " ms";
        shown = true;
      }
    }
  }
  Keys k;
  k.Feed(kEsc);
  EXPECT_EQ(k.Kb.ReadKey(), 27);  // and a lone ESC is Escape once the delay has passed
}

TEST(ReadKey, ClosedInputReadsAsEscapeAfterTheLastBytes) {
  const KeyCase cases[] = {{"bytes then end", "ab", {'a', 'b', 27, 27}},
                           {"lone escape then end", kEsc, {27, 27}},
                           {"cut sequence then end", kEsc + "[", {27, 27}}};
  for (const KeyCase& c : cases) {
    Keys k;
    k.Feed(c.Bytes);
    k.CloseWriter();
    EXPECT_EQ(k.Read(c.Keys.size()), c.Keys) << c.Name;
  }
  for (int fd : {-1, 999})
    EXPECT_EQ(TInput(fd).ReadKey(), 27) << fd;  // no descriptor, a closed one
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

TEST(KeyPressed, CountsKeysNotBytesThatGiveNone) {
  Keys k;
  EXPECT_FALSE(k.Kb.KeyPressed() || k.Kb.KeyWait(0) || k.Kb.KeyWait(20) || k.Kb.KeyWait(-5));
  k.Feed(kEsc + "[I" + kEsc + "[O");  // focus reports: read, but no key
  EXPECT_FALSE(k.Kb.KeyPressed() || k.Kb.KeyWait(10));
  EXPECT_TRUE(k.AllConsumed());
  k.Feed(kEsc + "[B");
  EXPECT_TRUE(k.Kb.KeyPressed() && k.Kb.KeyWait(1000));
  EXPECT_EQ(k.Kb.ReadKey(), 0);
  EXPECT_TRUE(k.Kb.KeyPressed() && k.Kb.KeyWait(0));  // the scan code waits in the key ring
  EXPECT_EQ(k.Kb.ReadKey(), 80);
  EXPECT_FALSE(k.Kb.KeyPressed());
  k.Feed(kEsc);
  EXPECT_TRUE(k.Kb.KeyPressed());  // a lone ESC becomes Escape within the call
  EXPECT_EQ(k.Kb.ReadKey(), 27);
}

// A resize that lands after the program last looked for events but before
// the wait has begun must still wake the wait (the repaint would otherwise
// wait for the next key). The hook answers the event with a key.
int gWakeKeyFd = -1;
TEST(KeyWait, AResizeJustBeforeTheWaitStillWakesIt) {
  InstallEndingHandlers();
  Keys k;
  gWakeKeyFd = k.Fds[1];
  BeforeInputWait = [] {
    TakeTerminalEvents();
    std::raise(SIGWINCH);
  };
  InputWaitInterrupted = [] {
    if (TakeTerminalEvents() != 0) {
      EXPECT_EQ(write(gWakeKeyFd, "r", 1), 1);
    }
  };
  const bool woke = k.Kb.KeyWait(20000);
  BeforeInputWait = nullptr;
  InputWaitInterrupted = nullptr;
  ASSERT_TRUE(woke);
  EXPECT_EQ(k.Kb.ReadKey(), 'r');
}

}  // namespace
}  // namespace corvix
