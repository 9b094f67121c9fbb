// TMenuBox: frame drawing, title placement, shadow and the saved screen.
#include "widgets/menu_box.h"

#include "support/string_utils.h"
#include "term/console.h"

namespace corvix {

namespace {

constexpr std::uint8_t kDefaultFrameStyle = 6;

constexpr unsigned char kFrames[kFrameStyleCount][8] = {
    {0xDA, 0xC4, 0xBF, 0xB3, 0xB3, 0xC0, 0xC4, 0xD9},
    {0xC9, 0xCD, 0xBB, 0xBA, 0xBA, 0xC8, 0xCD, 0xBC},
    {0xD6, 0xC4, 0xB7, 0xBA, 0xBA, 0xD3, 0xC4, 0xBD},
    {0xD5, 0xCD, 0xB8, 0xB3, 0xB3, 0xD4, 0xCD, 0xBE},
    {0xDB, 0xDF, 0xDB, 0xDB, 0xDB, 0xDB, 0xDC, 0xDB},
    {0xDB, 0xDF, 0xDC, 0xDB, 0xDB, 0xDF, 0xDC, 0xDB},
    {0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
    {0x2E, 0x2D, 0x2E, 0x7C, 0x7C, 0x60, 0x2D, 0x27},
};

// A coordinate as a byte. A title wider than the box or a shadow past the
// screen edge can give a position below 1 or above 255: it must reach the
// screen object as 0 or 255 (which it clamps to the screen edge), never wrap
// round to the far side.
std::uint8_t Byte(int value) {
  return static_cast<std::uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

}  // namespace

char FrameChar(std::uint8_t style, std::uint8_t part) {
  if (style < 1 || style > kFrameStyleCount) style = kDefaultFrameStyle;
  return static_cast<char>(kFrames[style - 1][part & 7]);
}

TMenuBox::TMenuBox() = default;

void TMenuBox::Open(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2) {
  if (!ImageSaved) SaveScreen(SavedImage);
  ImageSaved = true;
  if (!ThreeD) {
    DarkAttr = FaceAttr;
    LowCornerAttr = FaceAttr;
    HighCornerAttr = FaceAttr;
  }
  // A reversed or touching pair of columns leaves no interior rather than a
  // negative width.
  const int inner = x2 > x1 ? x2 - x1 - 1 : 0;
  DrawFrame(x1, y1, x2, y2, inner);
  if (!Title.empty()) DrawTitle(x1, y1, x2, inner);
  if (HasShadow) DrawShadow(x1, y1, x2, y2);
}

void TMenuBox::DrawFrame(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2,
                         int inner) {
  const std::uint8_t width = Byte(inner);
  auto frame = [this](std::uint8_t part) { return FrameChar(FrameStyle, part); };

  // Raised: light on the top and left, dark on the right and bottom. Sunken
  // swaps the roles so the box looks pressed in.
  const std::uint8_t topAttr = Sunken ? HighCornerAttr : FaceAttr;
  const std::uint8_t topRightAttr = Sunken ? FaceAttr : HighCornerAttr;
  const std::uint8_t leftAttr = Sunken ? DarkAttr : FaceAttr;
  const std::uint8_t rightAttr = Sunken ? FaceAttr : DarkAttr;
  const std::uint8_t bottomLeftAttr = Sunken ? DarkAttr : LowCornerAttr;
  const std::uint8_t bottomAttr = Sunken ? LowCornerAttr : DarkAttr;

  WriteXY(x1, y1, topAttr, frame(kFrameTopLeft) + RepeatChar(frame(kFrameTop), width));
  WriteXY(x2, y1, topRightAttr, ShortString::Of(frame(kFrameTopRight)));
  for (int y = y1 + 1; y <= y2 - 1; ++y) {
    WriteXY(x1, Byte(y), leftAttr, frame(kFrameLeft) + RepeatChar(' ', width));
    WriteXY(x2, Byte(y), rightAttr, ShortString::Of(frame(kFrameRight)));
  }
  WriteXY(x1, y2, bottomLeftAttr, ShortString::Of(frame(kFrameBottomLeft)));
  WriteXY(Byte(x1 + 1), y2, bottomAttr,
          RepeatChar(frame(kFrameBottom), width) + frame(kFrameBottomRight));
}

void TMenuBox::DrawTitle(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, int inner) {
  const int length = static_cast<int>(Title.size());
  const std::uint8_t outer = Byte(x2 - x1 + 1);
  switch (TitleAlign) {
    case 0:
      // C++ division truncates toward zero, as the placement rule wants for
      // a title wider than the interior.
      WriteXY(Byte(x1 + 1 + (inner - length) / 2), y1, TitleAttr, Title);
      break;
    case 1:
      WriteXY(Byte(x1 + 1), y1, TitleAttr, Title);
      break;
    case 2:
      WriteXY(Byte(x2 - length), y1, TitleAttr, Title);
      break;
    case 4:
      WriteXY(x1, y1, TitleAttr, PadCenter(Title, outer, ' '));
      break;
    case 5:
      WriteXY(x1, y1, TitleAttr, PadRight(Title, outer, ' '));
      break;
    case 6:
      WriteXY(x1, y1, TitleAttr, PadLeft(Title, outer, ' '));
      break;
    default:
      break;
  }
}

void TMenuBox::DrawShadow(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2) {
  // Each shadow cell keeps its character and only takes ShadeAttr.
  auto shade = [this](int x, int y) {
    const std::uint8_t cx = Byte(x), cy = Byte(y);
    WriteXY(cx, cy, ShadeAttr, ShortString::Of(GetCharAt(cx, cy)));
  };
  for (int y = y1 + 1; y <= y2 + 1; ++y) {
    shade(x2 + 1, y);
    shade(x2 + 2, y);
  }
  for (int x = x1 + 2; x <= x2 + 2; ++x) shade(x, y2 + 1);
}

void TMenuBox::Close() {
  if (ImageSaved) RestoreScreen(SavedImage);
}

void TMenuBox::Suspend() {
  SaveScreen(HiddenImage);
  RestoreScreen(SavedImage);
}

void TMenuBox::Resume() { RestoreScreen(HiddenImage); }

}  // namespace corvix
