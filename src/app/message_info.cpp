// The message-details form, the confirmation list and the posting loop.
#include "app/message_info.h"

#include <unistd.h>

#include <climits>

#include "app/dialogs.h"
#include "app/help.h"
#include "app/posting_job.h"
#include "app/session.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/keys.h"
#include "widgets/light_bar.h"
#include "widgets/menu_box.h"
#include "widgets/menu_form.h"
#include "widgets/menu_list.h"

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
  ValuePadChar = '.';
  form.AddText('F', "From", 7, 4, 20, 4, 7, 30, 40, Session.MsgFrom, "");
  form.AddText('T', "To", 7, 5, 20, 5, 7, 30, 40, Session.MsgTo, "");
  form.AddText('S', "Subject", 7, 6, 20, 6, 7, 30, 40, Session.MsgSubject, "");
  for (;;) {
    form.Execute();
    if (Session.MsgSubject.empty()) MsgBox(kMsgNotice, "You have to apply a subject...");
    if (form.Modified && !Session.MsgSubject.empty()) break;
  }
  // The box is left on screen: the confirmation screen draws over it.
}

void ConfirmAndPost() {
  {
    THelpScope help(kHelpConfirmList);
    TMenuList list;
    ApplyDialogSettings(list.Window);
    list.Window.Title = ShortString(" ") +
                        ShortString(std::to_string(Session.BaseList->MarkedCount())) + " Base(s) ";
    list.ShowScrollBar = false;
    list.BarAttr = 112;
    list.RowAttr = 7;
    const TBar& bases = *Session.BaseList;
    for (std::int32_t i = 0; i < bases.ItemCount(); ++i)
      if (bases.Marked(i)) list.Add(bases.Text(i), 0);
    DrawFrame(4, 2, 54, 9);
    WriteXY(5, 2, 11, " Confirm ");
    WriteXY(6, 4, 7, "Verify the list of bases you selected and");
    WriteXY(6, 5, 7, "when you are ready...");
    WriteXY(6, 7, 15, "Press ESC to Abort. ENTER to upload message...");
    list.Open(3, 12, 76, 21);
    if (list.LastKey == kKeyEscape) Shutdown();
  }
  PostMarkedBases();
}

std::string AbsoluteFrom(const ShortString& dir, const ShortString& path) {
  if (path.empty() || path[0] == '/') return path.Str();
  std::string out = dir.Str();
  if (out.empty() || out.back() != '/') out += '/';
  return out + path.Str();
}

void PostMarkedBases() {
  // The utility runs in the host directory, so a relative message file or
  // host directory would be looked up from the wrong place there (and a
  // relative host directory again inside itself from the second posting on).
  // Both are made absolute against the directory the operator started in.
  char cwd[PATH_MAX];
  ShortString here = ::getcwd(cwd, sizeof cwd) != nullptr ? ShortString(cwd) : Session.StartDir;
  std::string absolute = AbsoluteFrom(here, Session.MsgFile);
  // The job file holds 237 characters of the name; a longer one would be cut
  // and hand the utility another file (or none) to post.
  if (absolute.size() > kJobValueRoom) {
    MsgBox(kMsgNotice, "The message file name is too long for the job file. Nothing was posted.");
    Shutdown();
  }
  ShortString msgFile = absolute;
  if (!Session.HostDir.empty()) Session.HostDir = AbsoluteFrom(here, Session.HostDir);

  const TBar& bases = *Session.BaseList;
  for (std::int32_t i = 0; i < bases.ItemCount(); ++i) {
    if (!bases.Marked(i)) continue;
    TJobRec job{msgFile, bases.Data(i), Session.MsgFrom, Session.MsgTo, Session.MsgSubject};
    ShortString bad = ValueWithLineBreak(job);
    if (!bad.empty()) {
      MsgBox(kMsgNotice, "The " + bad + " holds a line break. Nothing was posted.");
      Shutdown();
    }
  }
  for (std::int32_t i = 0; i < bases.ItemCount(); ++i) {
    if (!bases.Marked(i)) continue;
    int status = PostToBase(msgFile, bases.Data(i));
    Session.Posted.push_back({bases.Data(i), bases.Text(i), status});
    Delay(Session.PostDelay);
  }
}

}  // namespace corvix
