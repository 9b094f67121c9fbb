// The full and the changes stream behind one interface.
#include "term/renderer.h"

#include "support/string_utils.h"
#include "term/output.h"

namespace corvix {
namespace {

ShortString Csi(const ShortString& params, char final) {
  ShortString s = "\x1b[" + params;
  s += final;
  return s;
}

void Add(std::string& out, const ShortString& s) { out.append(s.data(), s.size()); }

// Every request sends its own sequences as it is made.
class TFullRenderer final : public TRenderer {
 public:
  explicit TFullRenderer(const TOutputLinux& screen) : screen_(screen) {}

  void SetAttr(std::uint8_t from, std::uint8_t to, std::string& out) override {
    Add(out, screen_.AttrToAnsi(from, to));
  }
  void MoveTo(std::uint8_t x, std::uint8_t y, std::string& out) override {
    Add(out, Csi(Int2Str(y) + ";" + Int2Str(x), 'H'));
  }
  void WriteChar(char ch, std::uint8_t, std::string& out) override { out += ch; }
  void PutCell(char ch, std::uint8_t, std::string& out) override { out += ch; }
  void ClearScreen(std::uint8_t, std::string& out) override { Add(out, Csi("2", 'J')); }
  void ClearRow(int y, std::uint8_t, std::string& out) override {
    Add(out, Csi(Int2Str(y) + ";1", 'H') + Csi("", 'K'));
  }
  void ClearToEol(std::uint8_t, std::string& out) override { Add(out, Csi("", 'K')); }
  void SetRegion(std::uint8_t top, std::uint8_t bot, std::string& out) override {
    Add(out, Csi(Int2Str(top) + ";" + Int2Str(bot), 'r'));
  }
  void Flush(std::uint8_t, std::string&) override {}
  void ForgetPen() override {}
  void ForgetScreen() override {}
  void ShowRows(std::uint8_t, std::uint8_t) override {}

  // The screen cleared in the reset attribute (a terminal larger than the
  // image is cleared outside it as well), then every row of the image in
  // its attributes, then the attribute and cursor as they are.
  void Repaint(std::string& out) override {
    Add(out, screen_.Terminal.ResetSgr() + Csi("2", 'J'));
    std::uint8_t pen = kDefaultAttr;
    for (std::uint8_t y = 1; y <= kScreenRows; ++y) {
      MoveTo(1, y, out);
      for (const TCharInfo cell : screen_.Buffer[y - 1]) {
        SetAttr(pen, cell.Attr, out);
        pen = cell.Attr;
        out += cell.Ch;
      }
    }
    SetAttr(pen, screen_.TextAttr, out);
    MoveTo(screen_.CursorX, screen_.CursorY, out);
  }

 private:
  const TOutputLinux& screen_;
};

// What each request does is kept in a TScreenDiff; a flush sends the
// difference between that and what the terminal shows.
class TChangesRenderer final : public TRenderer {
 public:
  TChangesRenderer(const TOutputLinux& screen, std::uint8_t firstRow)
      : screen_(screen),
        diff_([&screen](std::uint8_t from, std::uint8_t to) { return screen.AttrToAnsi(from, to); },
              screen.Utf8Output) {
    diff_.ResetText = screen.Terminal.ResetSgr().Str();
    for (int a = 0; a < 256; ++a) {
      diff_.BlankLook[static_cast<std::size_t>(a)] =
          BlankLook(static_cast<std::uint8_t>(a), screen.Terminal.Colors());
    }
    diff_.FirstRow = firstRow;
    ForgetScreen();
  }

  void SetAttr(std::uint8_t, std::uint8_t, std::string&) override {}
  void MoveTo(std::uint8_t x, std::uint8_t y, std::string&) override { diff_.MoveTo(x, y); }

  void WriteChar(char ch, std::uint8_t attr, std::string& out) override {
    const auto b = static_cast<unsigned char>(ch);
    // Byte 127 is the cut mark, sent as a printable character.
    const bool control = b < 32 && ch != 8 && ch != 10 && ch != 13;
    if (!direct_ && !control && Modelled(ch, attr)) return;
    // A control byte (or a line feed after a pending wrap) acts on the
    // terminal in ways not modelled: what was drawn goes first, then the
    // bytes go out as they come until the next flush redraws everything.
    if (!direct_) {
      Flush(attr, out);
      direct_ = true;
    }
    out += ch;
  }

  void PutCell(char ch, std::uint8_t attr, std::string&) override { diff_.Print(ch, attr); }

  void ClearScreen(std::uint8_t attr, std::string&) override {
    for (std::uint8_t r = 1; r <= kScreenRows; ++r) diff_.EraseRow(r, attr);
  }
  void ClearRow(int y, std::uint8_t attr, std::string&) override {
    // The terminal takes a row outside the screen as its nearest edge.
    diff_.EraseRow(static_cast<std::uint8_t>(y < 1 ? 1 : (y > kScreenRows ? kScreenRows : y)),
                   attr);
  }
  void ClearToEol(std::uint8_t attr, std::string&) override { diff_.EraseToEol(attr); }

  void SetRegion(std::uint8_t top, std::uint8_t bot, std::string& out) override {
    // What was drawn before goes first, so that the renderer knows the
    // region it works in; the terminal takes the region and puts its cursor
    // home. A region the terminal would not take leaves it unknown.
    Flush(screen_.TextAttr, out);
    Add(out, Csi(Int2Str(top) + ";" + Int2Str(bot), 'r'));
    if (top >= 1 && top < bot && bot <= kScreenRows) {
      diff_.RegionTop = top;
      diff_.RegionBot = bot;
      diff_.MoveTo(1, 1);
      diff_.ForgetPen();
    } else {
      ForgetScreen();
    }
  }

  void Flush(std::uint8_t attr, std::string& out) override {
    if (direct_) {
      // Control bytes went out as they came; what they did is not known.
      direct_ = false;
      ForgetScreen();
    }
    diff_.Utf8 = screen_.Utf8Output;
    diff_.Render(attr, out);
  }

  void ForgetPen() override { diff_.ForgetPen(); }

  void ForgetScreen() override {
    diff_.TakeImage(screen_.Buffer, screen_.CursorX, screen_.CursorY);
    // A window the terminal would not take leaves the whole screen as region.
    const std::uint8_t top = screen_.WinTop, bot = screen_.WinBot;
    const bool valid = top >= 1 && top < bot && bot <= kScreenRows;
    diff_.RegionTop = valid ? top : 1;
    diff_.RegionBot = valid ? bot : kScreenRows;
    diff_.MarkUnknown();
  }

  void Repaint(std::string&) override { ForgetScreen(); }

  void ShowRows(std::uint8_t first, std::uint8_t windowBot) override {
    // A window of the same size moved over the image: the rows the terminal
    // shows may move with it. Any other change draws everything again.
    if (windowBot - first == diff_.WindowBot - diff_.FirstRow && !direct_) {
      diff_.MoveWindow(first, windowBot);
      return;
    }
    diff_.FirstRow = first;
    diff_.WindowBot = windowBot;
    ForgetScreen();
  }

 private:
  // Carries out one byte in the model; false when the terminal's response
  // to it is not modelled.
  bool Modelled(char ch, std::uint8_t attr) {
    switch (ch) {
      case 8:
        diff_.Backspace();
        return true;
      case 10:
        return diff_.LineFeed(attr);
      case 13:
        diff_.CarriageReturn();
        return true;
      default:
        diff_.Print(ch, attr);
        return true;
    }
  }

  const TOutputLinux& screen_;
  TScreenDiff diff_;
  bool direct_ = false;  // bytes of WriteChar go out as they come until the next flush
};

}  // namespace

std::unique_ptr<TRenderer> MakeFullRenderer(const TOutputLinux& screen) {
  return std::make_unique<TFullRenderer>(screen);
}

std::unique_ptr<TRenderer> MakeChangesRenderer(const TOutputLinux& screen, std::uint8_t firstRow) {
  return std::make_unique<TChangesRenderer>(screen, firstRow);
}

}  // namespace corvix
