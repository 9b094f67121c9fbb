// The look every box of the application shares.
#include "app/screens/dialog_settings.h"

#include "widgets/menu_box.h"

namespace corvix {

void ApplyDialogSettings(TMenuBox& box) {
  box.FrameStyle = 1;
  box.FaceAttr = 8;
  box.ThreeD = true;
  box.DarkAttr = 8;
  box.LowCornerAttr = 7;
  box.HighCornerAttr = 15;
  box.HasShadow = true;
  box.ShadeAttr = 8;
  box.TitleAttr = 11;
  box.TitleAlign = 1;
}

}  // namespace corvix
