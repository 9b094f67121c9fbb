// Redraw modes: sending only the changes leaves, at every flush, the screen
// that sending every request's bytes leaves.
#include <fcntl.h>
#include <unistd.h>
#include <vterm.h>

#include <memory>
#include <random>

#include "host_fixture.h"
#include "term/output.h"

namespace corvix::e2e {
namespace {

// A screen object writing into a pipe that a terminal emulator reads.
class Emulated {
 public:
  Emulated(TRedrawMode mode, bool utf8) : vt_(vterm_new(25, 80)) {
    EXPECT_EQ(pipe2(fds_, O_NONBLOCK), 0);
    vterm_set_utf8(vt_, utf8 ? 1 : 0);
    vterm_screen_reset(vterm_obtain_screen(vt_), 1);
    out_ = std::make_unique<TOutput>(true, fds_[1], -1, utf8);
    out_->SetRedrawMode(mode);
  }
  ~Emulated() {
    out_.reset();
    vterm_free(vt_);
    close(fds_[0]);
    close(fds_[1]);
  }
  TOutput& operator*() { return *out_; }
  TOutput* operator->() { return out_.get(); }
  std::size_t Flush() {
    out_->BufFlush();
    char buf[65536];
    std::size_t total = 0;
    for (ssize_t n; (n = read(fds_[0], buf, sizeof buf)) > 0;
         total += static_cast<std::size_t>(n)) {
      vterm_input_write(vt_, buf, static_cast<std::size_t>(n));
    }
    return total;
  }
  std::string Look() const { return ScreenLookOf(vt_); }

 private:
  int fds_[2]{};
  VTerm* vt_;
  std::unique_ptr<TOutput> out_;
};

// One random drawing request, the same on both objects for the same draw.
void RandomRequest(TOutput& s, std::mt19937& rng, TConsoleImageRec& saved) {
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const auto b = [](int v) { return static_cast<std::uint8_t>(v); };
  // Text of letters, blanks and code-page glyphs (shades, blocks, frames).
  auto text = [&](int len) {
    static constexpr char kGlyphs[] = "ab  XY\xb0\xb1\xdb\xc4\xb3\xfe";
    ShortString t;
    for (int i = 0; i < len; ++i) t += kGlyphs[pick(0, sizeof kGlyphs - 2)];
    return t;
  };
  // Mostly few attributes, as screens use them, sometimes any byte.
  auto attr = [&] {
    static constexpr std::uint8_t kCommon[] = {0x07, 0x1F, 0x70, 0x0E, 0x4E, 0x17, 0x08};
    return pick(0, 4) == 0 ? b(pick(0, 255)) : kCommon[pick(0, 6)];
  };
  switch (pick(0, 14)) {
    case 0:
    case 1:
    case 2:
      s.WriteXY(b(pick(0, 82)), b(pick(0, 27)), attr(), text(pick(1, 90)));
      break;
    case 3:
      s.SetTextAttr(attr());
      break;
    case 4:
      s.CursorXY(b(pick(1, 80)), b(pick(1, 25)));
      break;
    case 5:
      s.WriteStr(text(pick(1, 100)));  // wraps at column 80 and scrolls on row 25
      break;
    case 6:
      s.ClearEOL();
      break;
    case 7:
      if (pick(0, 3) == 0) s.ClearScreen();
      break;
    case 8:
      s.WriteLine(text(pick(0, 20)));
      break;
    case 9:
      s.GetScreenImage(saved);
      break;
    case 10:
      s.PutScreenImage(saved);
      break;
    case 11:
      s.WritePipeStr("|14x|23y|07 ");
      break;
    case 12:
      if (pick(0, 5) == 0) s.Repaint();
      break;
    case 13:
      if (pick(0, 3) == 0) {  // a scroll window, or the whole screen again
        const int top = pick(1, 24);
        s.SetWindow(1, b(pick(0, 1) ? 1 : top), 80, b(pick(0, 1) ? 25 : pick(top + 1, 25)),
                    pick(0, 1));
      }
      break;
    default:
      s.WriteChar(static_cast<char>(8));
      break;
  }
}

TEST(RedrawModes, EveryFlushShowsTheScreenOfTheFullStream) {
  for (const bool utf8 : {false, true}) {
    for (unsigned seed = 60; seed <= 72; ++seed) {  // 67 once split a sequence at a full buffer
      Emulated full(TRedrawMode::kFull, utf8);
      Emulated changes(TRedrawMode::kChanges, utf8);
      std::mt19937 rngFull(seed);
      std::mt19937 rngChanges(seed);
      TConsoleImageRec savedFull{};
      TConsoleImageRec savedChanges{};
      std::size_t bytesFull = full.Flush();
      std::size_t bytesChanges = changes.Flush();
      for (int step = 0; step < 400; ++step) {
        RandomRequest(*full, rngFull, savedFull);
        RandomRequest(*changes, rngChanges, savedChanges);
        if (step % 5 != 4) continue;
        bytesFull += full.Flush();
        bytesChanges += changes.Flush();
        ASSERT_EQ(changes.Look(), full.Look())
            << "utf8 " << utf8 << " seed " << seed << " step " << step;
        ASSERT_EQ(changes->TextAttr, full->TextAttr);
      }
      EXPECT_LT(bytesChanges, bytesFull) << "seed " << seed;
    }
  }
}

// The recorded scripted run, once with each mode side by side: after every
// key, when both have drawn it, the screens look the same.
using RedrawRunTest = HostFixture;

TEST_F(RedrawRunTest, ScriptedRunShowsTheSameScreensInBothModes) {
  std::string list;
  for (int i = 1; i <= 60; ++i)
    list += std::to_string(i * 3) + "\tAREA." + std::to_string(i) + "\tTopic " + std::to_string(i) +
            "\n";
  WriteCatalogue(list);
  // UTF-8 output, which the emulator shows glyph for glyph.
  WriteConfig(DefaultConfig("charset = utf8\nredraw = full\n"));
  // PC colours: a blank under a bright text on the bar shows a darker bar.
  PtySession& full = StartWith({"TERM=xterm-256color"}, {"message.txt"});
  ASSERT_TRUE(full.WaitForText("Edit file?"));
  WriteConfig(DefaultConfig("charset = utf8\n"));
  PtySession changes(appDir_ + "/corvixmass", {"message.txt"}, workDir_, {"TERM=xterm-256color"});
  ASSERT_TRUE(changes.WaitForText("Edit file?"));
  auto same = [&](const char* key) {
    for (int tries = 0; tries < 20; ++tries) {
      full.Settle(30, 2000);
      changes.Settle(30, 2000);
      if (full.ScreenLook() == changes.ScreenLook()) return;
    }
    ADD_FAILURE() << "after key " << ::testing::PrintToString(std::string(key)) << "\n"
                  << full.ScreenText() << changes.ScreenText();
  };
  same("start");
  for (const char* key : {"n",    kDown,     kDown,  "\x1b[6~", kTab,      "l",  "i",
                          "\x01", kTab,      "\x08", "\x19",    "\x1b[4~", kTab, "\x1b[5~",
                          kDown,  "\x1b[1~", kTab,   "\x1b[A",  kEnter,    "s",  kEnter}) {
    full.Send(key);
    changes.Send(key);
    same(key);
  }
  full.SendEscape();
  changes.SendEscape();
  same("Escape");
  ASSERT_TRUE(changes.WaitForText("Verify the list of bases"));
  EXPECT_LT(changes.Raw().size() * 3, full.Raw().size());  // the changes run did send only changes
}

}  // namespace
}  // namespace corvix::e2e
