// TMenuBox: a framed window with title and drop shadow that saves the screen
// under it when first opened and puts it back when closed.
#pragma once

#include <cstdint>

#include "support/short_string.h"
#include "term/output.h"

namespace corvix {

// Frame styles, 1..8. Each style has eight characters in the order top-left
// corner, top edge, top-right corner, left edge, right edge, bottom-left
// corner, bottom edge, bottom-right corner (code page 437 bytes).
constexpr std::uint8_t kFrameStyleCount = 8;
constexpr std::uint8_t kFrameTopLeft = 0;
constexpr std::uint8_t kFrameTop = 1;
constexpr std::uint8_t kFrameTopRight = 2;
constexpr std::uint8_t kFrameLeft = 3;
constexpr std::uint8_t kFrameRight = 4;
constexpr std::uint8_t kFrameBottomLeft = 5;
constexpr std::uint8_t kFrameBottom = 6;
constexpr std::uint8_t kFrameBottomRight = 7;

// One character of the frame table. A style outside 1..8 reads as the default
// style 6, so a bad style can never index past the table.
char FrameChar(std::uint8_t style, std::uint8_t part);

class TMenuBox {
 public:
  TMenuBox();  // the defaults below; both images zero-filled

  TConsoleImageRec SavedImage{};   // taken by the first Open, put back by Close
  TConsoleImageRec HiddenImage{};  // taken by Suspend, put back by Resume
  std::uint8_t FrameStyle = 6;
  std::uint8_t FaceAttr = 0x7F;
  bool ThreeD = true;  // false: Open copies FaceAttr into the three edge attributes
  std::uint8_t DarkAttr = 0x78;
  std::uint8_t LowCornerAttr = 0x7F;
  std::uint8_t HighCornerAttr = 0x78;
  bool HasShadow = true;
  std::uint8_t ShadeAttr = 0;
  std::uint8_t TitleAttr = 0x1F;
  // 0 centred in the top edge, 1 left, 2 right, 4/5/6 padded centre/left/right
  // over the whole top row; 3 and above 6: no title.
  std::uint8_t TitleAlign = 0;
  ShortString Title;
  bool ImageSaved = false;  // set by the first Open, never cleared
  bool Sunken = false;

  // Draws the box with its outer frame at columns x1..x2, rows y1..y2. Only
  // the first call saves the screen under it.
  void Open(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2);
  // Puts back the screen from before the first Open; nothing if never opened.
  void Close();
  // Hides the box (showing what it covers) until Resume.
  void Suspend();
  void Resume();

 private:
  // Open's steps: the frame and its interior, the title on the top edge,
  // the shadow right of and below the box.
  void DrawFrame(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2, int inner);
  void DrawTitle(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, int inner);
  void DrawShadow(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2);
};

}  // namespace corvix
