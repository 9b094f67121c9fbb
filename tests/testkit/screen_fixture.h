// ScreenTest: the GoogleTest fixture for every test that draws or reads keys
// through the console helper layer.
//
// What it sets up for each test:
//   - a TOutput (active) whose bytes go into a pipe. A reader thread keeps the
//     pipe drained, so drawing never blocks however much is sent; Output()
//     returns every byte that has left the screen object's buffer so far.
//     Raw mode is never applied: the object's terminal descriptor is the pipe.
//   - a TInput reading from a second pipe that the test fills with keys.
//   - Screen and Keyboard of the console layer pointing at the two objects,
//     and the layer's other globals put back to their start values
//     (ScreenWidth 80, SavedScreen all zero, PausePrompt the default text).
//     Fixtures of other modules reset their own module-wide state in their
//     SetUp after calling ScreenTest::SetUp().
//
// Keys. Widgets run modal key loops, so queue the keys first, then call the
// widget:
//     Keys("abc");          // bytes as the terminal sends them
//     Key(kScanUp);         // an extended key, sent as its sequence (ESC [ A)
//     Keys("\r");           // Enter
//     LoneEscape();         // Escape, then silence so it is not a sequence start
//     Keys("x");            // sent only after the Escape has been decoded alone
// Everything up to the first LoneEscape() is written to the pipe at once.
// Keys queued after a LoneEscape() are held back by a feeder thread: it waits
// until the keyboard has taken every byte from the pipe, then stays silent
// well beyond the decoder's 10 ms Escape wait before it writes them.
//
// Screens along the way. A widget runs to its end once called, so to look at
// the screen while it waits for a key, queue a step first:
//     AtWait("Edit file?", [&] { EXPECT_EQ(AttrAt(36, 14), 127); Keys("y"); });
//     MsgBox(kMsgQuestion, "Edit file?");
// Steps run in order, each at the first wait for a key (the keyboard about to
// block with no input left) at which its text is on the screen; a step looks
// at the screen and queues the keys that go on. The text keeps a step from
// running early, at the decoder's short wait after an Escape for instance.
// A step that never ran fails the test.
//
// Screen readers look at the screen object's image (the model), 1-based:
//     RowText(3)      the 80 characters of row 3
//     CharAt(10, 3)   the character of cell (10, 3)
//     AttrAt(10, 3)   the attribute of cell (10, 3)
//     Block(4, 2, 54, 9)   columns 4-54 of rows 2-9 as one string, rows
//                          joined by '\n': compare a whole drawn area at once
//     Snapshot()      every cell's character and attribute, to tell whether
//                     an operation put the screen back exactly
// Output() is the raw bytes sent, starting with the screen object's creation
// bytes (ESC "(U" ESC "[0m" ESC "[2J" ESC "[1;1H"); ClearOutput() forgets what was sent so far,
// to look at the bytes of one operation alone. Both flush the screen object's
// buffer first, so bytes drawn but not yet written count as sent.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "term/console.h"
#include "term/input.h"
#include "term/keys.h"
#include "term/output.h"

namespace corvix::testkit {

// The bytes a terminal sends for extended key Scan (0 then Scan from
// ReadKey): ESC [ A for kScanUp, ESC [ 2 1 ~ for kScanF10, ESC a for Alt-A
// (scan 30), and so on. Empty for a scan code no sequence produces.
std::string KeySequence(std::uint8_t scan);

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // ---- Keys ----

  // Queues raw terminal bytes.
  void Keys(std::string_view bytes);
  // Queues the terminal sequence of an extended key (see KeySequence).
  void Key(std::uint8_t scan);
  // Queues a lone Escape: nothing more reaches the keyboard until the
  // Escape has been decoded as the Escape key.
  void LoneEscape();

  // Runs Step at the first wait for a key with Shown on the screen (see above).
  void AtWait(std::string shown, std::function<void()> step);

  // ---- Screen image (1-based cells of the screen object's model) ----

  std::string RowText(std::uint8_t y) const;
  char CharAt(std::uint8_t x, std::uint8_t y) const;
  std::uint8_t AttrAt(std::uint8_t x, std::uint8_t y) const;
  // The characters of columns X1..X2 of rows Y1..Y2, each row exactly as
  // drawn (trailing blanks kept), rows joined by '\n'. GoogleTest prints a
  // line-by-line diff when two such blocks differ.
  std::string Block(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2) const;
  // Character and attribute of every cell of the 80x25 image, in one string.
  std::string Snapshot() const;

  // ---- Bytes sent ----

  std::string Output();
  void ClearOutput();

  std::unique_ptr<TOutput> screen_;
  std::unique_ptr<TInput> keyboard_;

 private:
  static void RunWaitStep();
  void WriteKeys(std::string_view bytes);
  void ReaderLoop();
  void FeederLoop();

  int outRead_ = -1, outWrite_ = -1;  // screen bytes: TOutput -> reader thread
  int keyRead_ = -1, keyWrite_ = -1;  // keys: test -> TInput

  std::mutex outMutex_;
  std::string output_;  // bytes taken from the screen pipe, guarded by outMutex_
  std::thread reader_;

  // Keys held back after a lone Escape: each chunk is written once the pipe
  // is empty and the silence has passed.
  std::mutex feedMutex_;
  std::condition_variable feedCv_;
  std::deque<std::string> chunks_;  // guarded by feedMutex_
  bool holding_ = false;            // a lone Escape was queued: later keys wait
  int directEscapes_ = 0;           // Escapes written straight to the pipe
  bool stopping_ = false;           // guarded by feedMutex_
  std::thread feeder_;
  struct Step {
    std::string shown;
    std::function<void()> run;
  };
  std::deque<Step> steps_;    // run at the keyboard's waits, in order
  std::string Shown() const;  // every row, each ended by '\n'
};

}  // namespace corvix::testkit
