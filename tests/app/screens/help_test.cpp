// F1 help: the box with the screen's keys, shown from inside the key reading.
#include "app/screens/help.h"

#include "testkit/screen_fixture.h"

namespace corvix {
namespace {

using HelpTest = testkit::ScreenTest;

TEST_F(HelpTest, F1ShowsTheInnermostScreensKeysAndTheScreenComesBack) {
  WriteXY(1, 12, 7, "underneath");
  const std::string before = RowText(12);
  // With no screen's help, F1 is a key like any other.
  Key(kScanF1);
  EXPECT_EQ(ReadKey(), kKeyExtended);
  EXPECT_EQ(ReadKey(), kScanF1);
  {
    THelpScope list(kHelpBaseList);
    THelpScope box(kHelpMessageBox);
    // F1 shows the box; Down closes it whole; the caller gets the next key.
    Key(kScanF1);
    Key(kScanDown);
    Keys("x");
    ClearOutput();
    EXPECT_EQ(ReadKey(), 'x');
    const std::string sent = Output();
    EXPECT_NE(sent.find(" Help "), std::string::npos);
    EXPECT_NE(sent.find("A question: Y or N answers"), std::string::npos);
    EXPECT_EQ(sent.find("invert all marks"), std::string::npos);
    EXPECT_EQ(RowText(12), before);
  }
  Key(kScanF1);  // every scope has ended: F1 reaches the caller again
  EXPECT_EQ(ReadKey(), kKeyExtended);
  EXPECT_EQ(ReadKey(), kScanF1);
}

}  // namespace
}  // namespace corvix
