// The message-details form over the session's From, To and Subject.
#include "app/screens/message_form.h"

#include <cstdio>
#include <string>

#include "app/config/session.h"
#include "app/screens/dialogs.h"
#include "app/screens/help.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/input.h"
#include "widgets/line_input.h"
#include "widgets/menu_box.h"
#include "widgets/menu_form.h"

namespace corvix {

void EditMessageInfo() {
  THelpScope help(kHelpMessageForm);
  TMenuBox box;
  ApplyDialogSettings(box);
  box.Title = " Message Info ";
  box.Open(4, 2, 54, 9);
  auto hint = [] { WriteXY(7, 8, 8, PadCenter("Press ESC when ready", 46, ' ')); };
  hint();

  TMenuForm form;
  form.HelpWidth = 79;
  form.HelpAttr = 7;
  form.LabelAttr = 7;
  form.LabelHiAttr = 112;
  form.ValueAttr = 8;
  form.HotAttr = 15;
  form.HotHiAttr = 127;
  form.EditAttr = 15;
  form.EditPadAttr = 8;
  form.CutMark = kCutMark;
  ValuePadChar = '.';
  // A typed character the code page lacks could be neither shown nor posted
  // as typed: the hint line says so until the field's edit ends.
  OnNoGlyph = [hint](bool refused) {
    if (!refused) return hint();
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(Keyboard->Decoder.NoGlyph));
    WriteXY(7, 8, 15,
            PadCenter(std::string(code) + " is not in code page 437: not taken", 46, ' '));
  };
  form.AddText('F', "From", 7, 4, 20, 4, 7, 30, 40, Session.MsgFrom, "");
  form.AddText('T', "To", 7, 5, 20, 5, 7, 30, 40, Session.MsgTo, "");
  form.AddText('S', "Subject", 7, 6, 20, 6, 7, 30, 40, Session.MsgSubject, "");
  for (;;) {
    form.Execute();
    if (Interrupted()) return;  // Ctrl-C: the run ends without the details
    if (Session.MsgSubject.empty()) {
      MsgBox(kMsgNotice, "You have to apply a subject...");
    } else if (!form.Modified) {
      // With every value prefilled, Escape alone would seem to do nothing.
      MsgBox(kMsgNotice, kAcceptFieldNotice);
    }
    if (form.Modified && !Session.MsgSubject.empty()) break;
  }
  OnNoGlyph = nullptr;
  // The box is left on screen: the confirmation screen draws over it.
}

}  // namespace corvix
