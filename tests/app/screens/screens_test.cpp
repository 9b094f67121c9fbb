// The screens between the file and the posting on the test screen: the base
// selection over a catalogue file, the message form and the confirmation list.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/config/session.h"
#include "app/screens/base_select.h"
#include "app/screens/confirmation.h"
#include "app/screens/message_form.h"
#include "support/io_error.h"
#include "support/string_utils.h"
#include "term/input.h"
#include "testkit/screen_fixture.h"
#include "testkit/temp_dir.h"
#include "widgets/light_bar.h"
#include "widgets/line_input.h"
#include "widgets/menu_form.h"

namespace corvix {
namespace {

const std::string kDown = testkit::KeySequence(kScanDown);
const std::string kRight = testkit::KeySequence(kScanRight);

// One catalogue record: the base number, then the name and the echo tag as
// length-prefixed texts at offsets 2 and 585; NameLen and TagLen, when given,
// are written as the length bytes whatever the texts hold.
std::string Record(unsigned number, const std::string& tag, const std::string& name,
                   int nameLen = -1, int tagLen = -1) {
  std::string r(kBaseRecSize, '\0');
  r[0] = static_cast<char>(number & 0xFF);
  r[1] = static_cast<char>(number >> 8);
  r[2] = static_cast<char>(nameLen < 0 ? name.size() : static_cast<std::size_t>(nameLen));
  r.replace(3, name.size(), name);
  r[kEchoTagOffset] = static_cast<char>(tagLen < 0 ? tag.size() : static_cast<std::size_t>(tagLen));
  r.replace(kEchoTagOffset + 1, tag.size(), tag);
  return r;
}

class ScreensTest : public testkit::ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    EndKeys = "\r";
    ValuePadChar = ' ';
    Session = TSession{};
    Session.PostDelay = 0;
    ::setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);  // the base list keeps its marks
  }
  void TearDown() override {
    delete Session.BaseList;
    Session = TSession{};
    ScreenTest::TearDown();
  }
  // The list loaded from a catalogue file holding Records.
  TBar& Load(const std::string& records) {
    dir_.Put("mbases.dat", records);
    Session.BaseList = new TBar;
    LoadBaseList(*Session.BaseList, dir_ / "mbases.dat");
    return *Session.BaseList;
  }
  testkit::TempDir dir_;
};

TEST_F(ScreensTest, BaseSelectionShowsWholeRecordsSafelyAndMarksWithTab) {
  TBar& list = Load(
      Record(1, "PIPES", "|14Yellow|[U|[U|[R|[Rmoved") + Record(7, "LINUX.7", "Linux help") +
      Record(42, std::string(182, 'T'), std::string(255, 'N'), 255, 255) +  // claims past the end
      Record(4, "TITLE", "|14Yellow esc\x1b]0;pwned\x07title") +
      Record(6, "BREAKS", "cr\rlf\nbs\x08tab\t.") +
      Record(99, "PARTIAL", "Half a record").substr(0, 300));
  AtWait("Press TAB to select base(s)", [&] {  // the first name writes over the title
    EXPECT_EQ(RowText(3).substr(3, 30), "ID  ECHOTAG      NAME         ");
    // Only the colour codes of a name act: the others show as written.
    EXPECT_EQ(Block(4, 4, 36, 8),
              "1   PIPES        Yellow|[U|[U|[R|\n"
              "7   LINUX.7      Linux help      \n"
              "42  TTTTTTTTTTT\x7f NNNNNNNNNNNNNNNN\n"
              "4   TITLE        Yellow esc?]0;pw\n"
              "6   BREAKS       cr?lf?bs?tab?.  ");
    EXPECT_EQ(AttrAt(21, 7), 14);                               // the colour code acts
    EXPECT_EQ(RowText(9).substr(3, 10), std::string(10, ' '));  // no line for the partial record
    EXPECT_EQ(RowText(21).substr(3, 7), "Search:");
    EXPECT_EQ(RowText(25).substr(0, 56),
              "Press TAB to select base(s), press ENTER when finished. ");
    // No byte of a name reaches the terminal as a control sequence.
    EXPECT_EQ(Output().find("\x1b]0;pwned"), std::string::npos);
    Keys(kDown + kDown + kDown + kDown + kDown + "\t\r");  // Down past the last base stays on it
  });
  EXPECT_TRUE(SelectBases(list));
  ASSERT_EQ(list.ItemCount(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(list.Marked(i), i == 4) << i;
  EXPECT_EQ(list.Data(2), ShortString("42"));
}

TEST_F(ScreensTest, BaseSelectionStartsOverOnLeftOrRightKeepingTheMarks) {
  TBar& list = Load(Record(1, "A", "one") + Record(2, "B", "two") + Record(3, "C", "three"));
  // Typing searches without marking; Right ends the run, which starts again
  // on the first base, where Tab then marks.
  Keys("thr" + kRight + "\t" + kDown + kDown + "\t\r");
  EXPECT_TRUE(SelectBases(list));
  EXPECT_TRUE(list.Marked(0) && !list.Marked(1) && list.Marked(2));
  LoneEscape();
  EXPECT_FALSE(SelectBases(list));
}

TEST_F(ScreensTest, BaseNamesOfColourCodesOnlyStillClearTheirRow) {
  std::string catalogue;
  for (unsigned n = 1; n <= 17; ++n)
    catalogue +=
        Record(n, "TAG", "visible name of base " + std::to_string(n) + std::string(40, '='));
  std::string codes;
  for (int i = 0; i < 80; ++i) codes += "|14";
  TBar& list = Load(catalogue + Record(18, "CODES", codes));
  std::string downs;
  for (int i = 0; i < 17; ++i) downs += kDown;  // the list scrolls by one row
  Keys(downs);
  AtWait("18  CODES", [&] {
    EXPECT_NE(RowText(19).find("visible name of base 17"), std::string::npos);
    // The line is cut at 255 bytes, in the middle of the last code: its '|' shows.
    EXPECT_EQ(RowText(20).substr(3, 72), "18  CODES        |" + std::string(54, ' '));
    Keys("\r");
  });
  EXPECT_TRUE(SelectBases(list));
}

TEST_F(ScreensTest, CatalogueOfMoreThan65536RecordsIsAnError) {
  for (int records : {65536, 65537}) {  // sparse files of zero records
    dir_.Put("mbases.dat", "");
    ASSERT_EQ(::truncate((dir_ / "mbases.dat").c_str(), off_t{records} * kBaseRecSize), 0);
    TBar list;
    if (records > 65536) {
      EXPECT_THROW(LoadBaseList(list, dir_ / "mbases.dat"), IoError);
    } else {
      LoadBaseList(list, dir_ / "mbases.dat");
      EXPECT_EQ(list.ItemCount(), 65536);
    }
  }
}

TEST_F(ScreensTest, MessageFormComesBackUntilAFieldWasEdited) {
  Session.MsgFrom = "The Sysop";
  Session.MsgTo = "All";
  Session.MsgSubject = "News";
  AtWait("Message Info", [&] {
    const std::string dots = std::string(30, '.');
    EXPECT_EQ(Block(7, 4, 49, 8),
              "From         The Sysop" + dots.substr(9) + "\n" + "To           All" +
                  dots.substr(3) + "\n" + "Subject      News" + dots.substr(4) + "\n" +
                  std::string(43, ' ') + "\n             Press ESC when ready          ");
    EXPECT_TRUE(AttrAt(7, 4) == 127 && AttrAt(8, 4) == 112);  // From is current: hot key, label
    // Escape without an edit: a notice says what is missing, then the form
    // again. Then S edits the subject.
    LoneEscape();
  });
  AtWait("Press ENTER on a field to accept it, then ESC when ready.", [&] {
    LoneEscape();  // closes the notice, which swallows keys typed ahead
    Keys(
        "s\x19"
        "Fresh\r");
    LoneEscape();
  });
  EditMessageInfo();
  EXPECT_EQ(Session.MsgSubject, ShortString("Fresh"));
  EXPECT_EQ(ValuePadChar, '.');
}

TEST_F(ScreensTest, AnEmptySubjectBringsTheNoticeAndTheFormBack) {
  Session.MsgFrom = "Me";
  LoneEscape();
  AtWait("You have to apply a subject...", [&] { Keys("\r"); });
  AtWait("Message Info", [&] {
    EXPECT_EQ(Block(20, 4, 21, 6), "Me\n..\n..");  // From kept, To and Subject empty
    EXPECT_EQ(CharAt(34, 12), ' ');                // the notice is gone
    Keys("sHello\r");
    LoneEscape();
  });
  EditMessageInfo();
  EXPECT_EQ(Session.MsgSubject, ShortString("Hello"));
  EXPECT_EQ(Session.MsgFrom, ShortString("Me"));
}

TEST_F(ScreensTest, ConfirmationListsTheMarkedBasesInCatalogueOrderThenPosts) {
  TBar& list = Load(Record(7, "LINUX.7", "Linux help") + Record(20, "RETRO", "Retro computing") +
                    Record(65534, "NEXT.TO.LAST", "Next to last") +
                    Record(65535, "LAST.BASE", "The last base"));
  list.SetMarked(3, true);
  list.SetMarked(2, true);
  list.SetMarked(0, true);
  // The stand-in utility notes the base of every job it is handed.
  ASSERT_EQ(mkdir((dir_ / "host").c_str(), 0755), 0);
  dir_.Put("host/corvixutil", "#!/bin/sh\ngrep baseidx aupload.ini >> calls.log\n");
  chmod((dir_ / "host/corvixutil").c_str(), 0755);
  Session.HostDir = dir_ / "host";
  dir_.Put("msg.txt", "text\nno line end");
  Session.MsgFile = dir_ / "msg.txt";
  ::setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);  // anything kept goes here
  const std::string cwd = std::filesystem::current_path();  // posting works in the host directory
  Session.MsgFrom = "The Sysop";
  Session.MsgSubject = "A subject far too long for the box";
  AtWait("Press ESC to Abort.", [&] {
    // Beside the frame, what will be posted: the file's name cut at its
    // start, its lines, From, To and Subject cut to the box, the cut marked.
    const std::string name = dir_ / "msg.txt";
    EXPECT_EQ(Block(57, 2, 78, 8), " Message " + std::string(13, '\xC4') + "\n..." +
                                       name.substr(name.size() - 19) + "\n2 lines" +
                                       std::string(15, ' ') + "\n" + std::string(22, ' ') +
                                       "\nFrom The Sysop        \nTo                    \n"
                                       "Subj A subject far to" +
                                       std::string(1, kCutMark));
    EXPECT_EQ(RowText(2).substr(4, 9), " Confirm ");
    EXPECT_EQ(Block(6, 4, 46, 7),
              "Verify the list of bases you selected and\n"
              "when you are ready...                    \n" +
                  std::string(41, ' ') + "\nPress ESC to Abort. ENTER to upload messa");
    EXPECT_EQ(Block(4, 13, 32, 16),
              " 7    LINUX.7      Linux help\n"
              " 65534NEXT.TO.LAST Next to la\n"
              " 65535LAST.BASE    The last b\n" +
                  std::string(29, ' '));
    Keys(kDown + "\r");  // Enter on any line posts
  });
  EXPECT_EQ(ConfirmAndPost(), TRunOutcome::kPosted);
  ::unsetenv("XDG_STATE_HOME");
  std::filesystem::current_path(cwd);
  EXPECT_EQ(dir_.Get("host/calls.log"),
            "  file1_baseidx = 7\n  file1_baseidx = 65534\n  file1_baseidx = 65535\n");
  // The posting box covered the hint line and the list's frame below the box.
  EXPECT_EQ(RowText(7).substr(5, 46), std::string(46, ' '));
  EXPECT_EQ(RowText(21).substr(2, 77), std::string(77, '\xb0'));
}

// A blank message is posted only when asked for: NO is chosen first.
TEST_F(ScreensTest, ABlankMessageIsPostedOnlyAfterYes) {
  Load(Record(7, "LINUX.7", "Linux help")).SetMarked(0, true);
  dir_.Put("blank.txt", " \r\n\t\n");
  Session.MsgFile = dir_ / "blank.txt";
  AtWait("Press ESC to Abort.", [&] { Keys("\r"); });
  AtWait("The message is empty. Post it anyway?", [&] {
    EXPECT_TRUE(AttrAt(42, 14) == 112 && AttrAt(37, 14) == 8);  // NO highlighted, YES not
    Keys("\r");
  });
  EXPECT_EQ(ConfirmAndPost(), TRunOutcome::kLeft);
}

// A typed character the code page lacks is not taken, and the hint line says so.
TEST_F(ScreensTest, TheFormRefusesACharacterTheCodePageLacks) {
  Keyboard->Utf8Input = true;
  Keys("sA\xE2\x80\x93\xC3\xA9");
  AtWait("U+2013 is not in code page 437: not taken", [&] {
    Keys("\r");
    LoneEscape();
  });
  EditMessageInfo();
  EXPECT_EQ(Session.MsgSubject, ShortString("A\x82"));
  EXPECT_NE(RowText(8).find("Press ESC when ready"), std::string::npos);  // once the edit ended
}

// F3 on the confirmation: the whole subject and the message's lines, colour
// codes coloured and control bytes masked, scrolled; Escape returns to the
// list, which then posts or quits as before.
TEST_F(ScreensTest, PreviewShowsTheWholeMessageAndReturnsToTheList) {
  Load(Record(7, "LINUX.7", "Linux help")).SetMarked(0, true);
  std::string text = "|14Yellow|07 and |CLplain\r\ntab\there\x1b[2J Caf\xC3\xA9\n";
  for (int i = 3; i <= 30; ++i) text += "line " + std::to_string(i) + "\n";
  dir_.Put("msg.txt", text);
  Session.MsgFile = dir_ / "msg.txt";
  // A code page 437 host posts UTF-8 bytes as two characters, on any terminal.
  Session.Utf8Terminal = true;
  const std::string subject = "A subject of sixty characters, which the Message box cuts!!!";
  Session.MsgSubject = ShortString(subject);
  AtWait("Press ESC to Abort.", [&] {
    EXPECT_EQ(RowText(25).substr(0, 32), "Press F3 to preview the message,");
    ClearOutput();
    Key(kScanF3);
  });
  AtWait(" Preview ", [&] {
    EXPECT_EQ(RowText(5).substr(3, 9 + 61), "Subject  " + subject + " ");
    EXPECT_EQ(RowText(7).substr(3, 26), "Yellow and |CLplain       ");
    EXPECT_EQ(AttrAt(4, 7), 14);
    EXPECT_EQ(RowText(8).substr(3, 19), "tab?here?[2J Caf\xC3\xA9 ");
    Key(kScanEnd);
  });
  AtWait("lines 15-30 of 30", [&] {
    EXPECT_EQ(RowText(22).substr(3, 8), "line 30 ");
    EXPECT_EQ(Screen->FocusBot, 23);  // a short terminal shows the last line and the status
    LoneEscape();
  });
  AtWait("Verify the list", [&] {
    EXPECT_EQ(RowText(5).substr(5, 20), "when you are ready..");  // the box is gone
    Session.MsgTo = ShortString(std::string(65, 'x') + "yz");
    Key(kScanF3);
  });
  // A value longer than its row goes on in the next; the message moves down.
  AtWait("lines 1-15 of 30", [&] {
    EXPECT_EQ(RowText(5).substr(3, 13), "         yz  ");
    LoneEscape();
  });
  AtWait("Verify the list", [&] { LoneEscape(); });
  EXPECT_EQ(ConfirmAndPost(), TRunOutcome::kLeft);
  EXPECT_EQ(Output().find("\x1b[2J"), std::string::npos);
}

}  // namespace
}  // namespace corvix
