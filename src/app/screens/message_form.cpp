// The message-details form over the session's From, To and Subject.
#include "app/screens/message_form.h"

#include "app/config/session.h"
#include "app/screens/dialogs.h"
#include "app/screens/help.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "widgets/menu_box.h"
#include "widgets/menu_form.h"

namespace corvix {

void EditMessageInfo() {
  THelpScope help(kHelpMessageForm);
  TMenuBox box;
  ApplyDialogSettings(box);
  box.Title = " Message Info ";
  box.Open(4, 2, 54, 9);
  WriteXY(7, 8, 8, PadCenter("Press ESC when ready", 46, ' '));

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
  form.AddText('F', "From", 7, 4, 20, 4, 7, 30, 40, Session.MsgFrom, "");
  form.AddText('T', "To", 7, 5, 20, 5, 7, 30, 40, Session.MsgTo, "");
  form.AddText('S', "Subject", 7, 6, 20, 6, 7, 30, 40, Session.MsgSubject, "");
  for (;;) {
    form.Execute();
    if (Session.MsgSubject.empty()) {
      MsgBox(kMsgNotice, "You have to apply a subject...");
    } else if (!form.Modified) {
      // With every value prefilled, Escape alone would seem to do nothing.
      MsgBox(kMsgNotice, kAcceptFieldNotice);
    }
    if (form.Modified && !Session.MsgSubject.empty()) break;
  }
  // The box is left on screen: the confirmation screen draws over it.
}

}  // namespace corvix
