// The message box and the file-open dialog on the test screen: their layout
// while they wait, their answers, and what they leave behind.
#include "app/screens/dialogs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "app/config/session.h"
#include "testkit/screen_fixture.h"
#include "testkit/temp_dir.h"
#include "widgets/line_input.h"

namespace corvix {
namespace {

const std::string kRight = testkit::KeySequence(kScanRight);
const std::string kLeft = testkit::KeySequence(kScanLeft);
const std::string kEnd = testkit::KeySequence(kScanEnd);

// Text padded with blanks to 17 columns.
std::string Fit(const std::string& text) { return text + std::string(17 - text.size(), ' '); }

std::string WorkingDir() {
  char buf[PATH_MAX];
  return ::getcwd(buf, sizeof buf) != nullptr ? buf : "";
}

class DialogsTest : public testkit::ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    EndKeys = "\r";
    // Something under the dialogs, so that putting it back shows.
    for (std::uint8_t y = 1; y <= 25; ++y)
      WriteXY(1, y, y, std::string(79, static_cast<char>('a' + y)));
    GotoXY(5, 6);
    SetTextAttr(0x1E);
  }
  // The screen, cursor and attribute are as the dialog found them.
  void ExpectPutBack(const std::string& before) {
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(WhereX(), 5);
    EXPECT_EQ(WhereY(), 6);
    EXPECT_EQ(GetTextAttr(), 0x1E);
  }
};

TEST_F(DialogsTest, QuestionBoxShowsItsButtonsAndAnswersByKey) {
  const std::string before = Snapshot();
  // "Edit file?": the box spans columns 34-47 and rows 10-15; YES starts at
  // column 36 and NO at column 41 on row 14.
  AtWait("Edit file?", [&] {
    EXPECT_EQ(Block(35, 11, 46, 14),
              std::string(12, ' ') + "\n Edit file? \n" + std::string(12, ' ') + "\n  YES  NO   ");
    EXPECT_EQ(CharAt(34, 10), '\xDA');
    EXPECT_EQ(CharAt(47, 15), '\xD9');
    EXPECT_TRUE(AttrAt(36, 14) == 127 && AttrAt(41, 14) == 8);
    Keys(kRight);
  });
  AtWait("Edit file?", [&] {
    EXPECT_TRUE(AttrAt(36, 14) == 8 && AttrAt(41, 14) == 112);
    Keys("\r");
  });
  EXPECT_FALSE(MsgBox(kMsgQuestion, "Edit file?"));
  ExpectPutBack(before);

  struct {
    std::string keys;
    bool answer;
  } cases[] = {
      {"\r", true},
      {"y", true},
      {"Y", true},
      {"n", false},
      {"N", false},
      {" \r", false},
      {"  \r", true},
      {kRight + "\r", false},
      {kRight + kLeft + "\r", true},
      {"x?q\r", true},  // other keys do nothing
  };
  for (const auto& c : cases) {
    Keys(c.keys);
    EXPECT_EQ(MsgBox(kMsgQuestion, "Edit file?"), c.answer) << c.keys;
  }
}

TEST_F(DialogsTest, NoticeTakesOneKeyAndSwallowsTheKeysTypedAhead) {
  const std::string before = Snapshot();
  AtWait("Saved", [&] {
    EXPECT_EQ(Block(38, 12, 43, 14), "Saved \n      \n OK   ");  // L 5: box from column 36
    EXPECT_EQ(AttrAt(38, 14), 112);
    // The F1 and "n" typed ahead are swallowed with the notice: no help
    // opens over what was under it.
    Keys("\r" + testkit::KeySequence(kScanF1) + "n");
  });
  EXPECT_TRUE(MsgBox(kMsgNotice, "Saved"));
  ExpectPutBack(before);
  AtWait("cut short", [&] { Keys("\r" + testkit::KeySequence(kScanF1)); });
  LongNotice("The posting was cut short.");  // the notices at start
  EXPECT_EQ(Output().find(" Help "), std::string::npos);
  Keys("y");
  EXPECT_TRUE(MsgBox(kMsgQuestion, "Edit file?"));
  LoneEscape();  // Escape does not answer a question
  Keys("n");
  EXPECT_FALSE(MsgBox(kMsgQuestion, "Edit file?"));
}

// Once Ctrl-C is typed, every screen after it ends as on Escape without
// waiting: a question says no, a line input with only Enter to end it ends.
TEST_F(DialogsTest, CtrlCUnwindsEveryScreenAsEscape) {
  CtrlCLeaves = true;
  Keys("\x03y");
  EXPECT_FALSE(MsgBox(kMsgQuestion, "Edit file?"));
  EXPECT_TRUE(Interrupted());
  EXPECT_EQ(EditLine(1, 1, 10, 10, 0, "abc"), ShortString("abc"));
  EXPECT_EQ(EndKey, kKeyEscape);
  EXPECT_TRUE(MsgBox(kMsgNotice, "Saved"));
  EXPECT_FALSE(KeyPressed());  // the "y" typed behind stays unread
}

class FileDialogTest : public DialogsTest {
 protected:
  void SetUp() override {
    DialogsTest::SetUp();
    startCwd_ = WorkingDir();
  }
  void TearDown() override {
    EXPECT_EQ(WorkingDir(), startCwd_);  // the dialog puts the working directory back
    DialogsTest::TearDown();
  }
  // Row Y of a pane: the list at column 8 (files) or 41 (directories), 31 wide.
  std::string Pane(std::uint8_t column, std::uint8_t y) {
    return RowText(y).substr(column - 1, 31);
  }
  testkit::TempDir dir_;
  std::string startCwd_;
};

TEST_F(FileDialogTest, ListsTheStartDirectoryAndReturnsTheChosenName) {
  for (const char* name : {"README", "b.txt", "a\nb.txt", "\x80\xe9\xff.txt"})
    dir_.Put(name, "text\n");
  mkdir((dir_ / "sub").c_str(), 0755);
  mkdir((dir_ / "dir\nwith\x1b[2Jbreak").c_str(), 0755);
  const std::string before = Snapshot();
  AtWait("(3)", [&] {
    EXPECT_EQ(RowText(7).substr(7, dir_.Path().size() + 1), dir_.Path() + " ");
    // The default mask "*.*" lists names with a dot only, in byte order;
    // control bytes show as '?'.
    EXPECT_EQ(Block(8, 9, 24, 12), "Files (3)        \n" + Fit(" a?b.txt") + "\n" + Fit(" b.txt") +
                                       "\n" + Fit(" \x80\xe9\xff.txt"));
    EXPECT_EQ(Block(41, 9, 57, 12),
              "Directories (3)  \n" + Fit(" ..") + "\n dir?with?[2Jbrea\n" + Fit(" sub"));
    EXPECT_EQ(Output().find("with\x1b[2J"), std::string::npos);
    Keys(kEnd + "\r");  // the last name in byte order: bytes 128-255
  });
  EXPECT_EQ(OpenFileDialog(" Open File ", dir_.Path()).Str(), dir_ / "\x80\xe9\xff.txt");
  EXPECT_EQ(EndKeys, ShortString("\t\r\x1b"));  // left for the editors after it
  ExpectPutBack(before);
}

TEST_F(FileDialogTest, EscapeInAnyPaneOrFieldChoosesNothing) {
  dir_.Put("a.txt", "");
  // Files, directories, (file mask,) directory field: Tab goes round them.
  for (const char* tabs : {"", "\t", "\t\t\t"}) {
    Keys(tabs);
    LoneEscape();
    EXPECT_EQ(OpenFileDialog(" Open File ", dir_.Path()).Str(), "") << std::string(tabs).size();
  }
}

TEST_F(FileDialogTest, MaskAndDirectoryFieldsRescan) {
  dir_.Put("README", "");
  mkdir((dir_ / "sub").c_str(), 0755);
  dir_.Put("sub/top.txt", "");
  // Tab, Tab: the mask field; Ctrl-Y empties it.
  Keys("\t\t\x19*\r");
  AtWait(" README", [&] {
    EXPECT_EQ(Pane(8, 10), " README" + std::string(24, ' '));
    EXPECT_EQ(CharAt(8, 21), '*');
    Keys("\t\x19sub\r");  // the directory field: a name relative to the one shown
  });
  AtWait(" top.txt", [&] {
    EXPECT_EQ(RowText(7).substr(7, dir_.Path().size() + 4), dir_.Path() + "sub/");
    Keys("\t\r");  // back to the files pane, and choose
  });
  EXPECT_EQ(OpenFileDialog(" Open File ", dir_.Path()).Str(), dir_ / "sub/top.txt");
}

TEST_F(FileDialogTest, DirectoriesPaneEntersTheHighlightedDirectory) {
  mkdir((dir_ / "sub").c_str(), 0755);
  dir_.Put("sub/in.txt", "");
  dir_.Put("out.txt", "");
  Keys("\t" + testkit::KeySequence(kScanDown) + "\r");  // "..", then "sub"
  AtWait(" in.txt", [&] {
    EXPECT_EQ(Pane(41, 10), " .." + std::string(28, ' '));
    Keys("\r");  // ".." leads back up
  });
  AtWait(" out.txt", [&] { Keys(kLeft + "\r"); });
  EXPECT_EQ(OpenFileDialog(" Open File ", dir_.Path()).Str(), dir_ / "out.txt");
}

TEST_F(FileDialogTest, ATypedNameIsTheFileOfThatNameOrOfferedForCreation) {
  dir_.Put("bad2.ini", "");
  dir_.Put("README", "");  // not listed under "*.*", yet a file of that name
  // "newpost" names no file: the question, not the highlighted bad2.ini; "no"
  // goes back to the dialog.
  Keys("newpost\r");
  AtWait("The file doesn't exit. Create it?", [&] { Keys("nREADME\r"); });
  EXPECT_EQ(OpenFileDialog(" Open File ", dir_.Path()).Str(), dir_ / "README");
  Keys("bad\r");  // the search has reached bad2.ini
  EXPECT_EQ(OpenFileDialog(" Open File ", dir_.Path()).Str(), dir_ / "bad2.ini");
  Keys("newpost\r");
  AtWait("Create it?", [&] { Keys("y"); });
  EXPECT_EQ(OpenFileDialog(" Open File ", dir_.Path()).Str(), dir_ / "newpost");
  EXPECT_EQ(dir_.Get("newpost"), " \n");
}

TEST_F(FileDialogTest, WithAUtf8TerminalNamesOnDiskStayUtf8) {
  Session.Utf8Terminal = true;
  dir_.Put(
      "gr\xc3\xbc\xc3\x9f"
      "e.txt",
      "");
  AtWait("(1)", [&] {
    EXPECT_EQ(Pane(8, 10).substr(0, 10),
              " gr\x81\xe1"
              "e.txt");     // shown in CP437
    Keys("neu\x81.txt\r");  // typed in CP437
  });
  AtWait("Create it?", [&] { Keys("y"); });
  const std::string chosen = OpenFileDialog(" Open File ", dir_.Path()).Str();
  Session.Utf8Terminal = false;
  EXPECT_EQ(chosen, dir_ / "neu\xc3\xbc.txt");
}

TEST_F(FileDialogTest, AFileWhosePathWouldPass255CharactersIsNotChosen) {
  dir_.Put(std::string(250, 'x') + ".txt", "");
  Keys("\r");
  AtWait("The path of this file is longer than 255 characters.", [&] { Keys("\r"); });
  AtWait("Files", [&] { LoneEscape(); });  // still in the dialog
  EXPECT_EQ(OpenFileDialog(" Open File ", dir_.Path()).Str(), "");
}

}  // namespace
}  // namespace corvix
