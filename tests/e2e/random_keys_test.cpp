// Short random key runs (letters, Escape, Ctrl-C, F1, Ctrl-Z) at random
// moments: however the run ends, the terminal is given back whole. The
// ordinary suite does a few dozen runs; CORVIX_RANDOM_KEY_RUNS sets another
// count (a few hundred finds rarer timings).
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

int RunCount() {
  const char* value = std::getenv("CORVIX_RANDOM_KEY_RUNS");
  const int n = value != nullptr ? std::atoi(value) : 0;
  return n > 0 ? n : 24;
}

// What follows the last entry into the alternate screen: the way out of it,
// then the terminal's own attribute and a visible cursor. Empty when whole.
std::string LeaveProblem(const std::string& raw) {
  const std::size_t enter = raw.rfind("\x1b[?1049h");
  if (enter == std::string::npos) return "the alternate screen was never entered";
  const std::size_t leave = raw.find("\x1b[?1049l", enter);
  if (leave == std::string::npos) return "the alternate screen was not left";
  if (raw.find("\x1b[0m", leave) == std::string::npos) return "no attribute reset after leaving";
  if (raw.find("\x1b[?25h", leave) == std::string::npos) return "the cursor was left hidden";
  return {};
}

using RandomKeysTest = HostFixture;

TEST_F(RandomKeysTest, EveryRunLeavesTheAlternateScreenWithTheCursorShown) {
  const unsigned seed = std::random_device{}();
  std::mt19937 rng(seed);
  const int runs = RunCount();
  for (int i = 0; i < runs; ++i) {
    std::string keys;
    PtySession& run =
        StartWith({"TERM=xterm-256color", "VISUAL=true", "EDITOR=true"}, {"message.txt"});
    const int count = std::uniform_int_distribution<int>(1, 12)(rng);
    for (int k = 0; k < count; ++k) {
      static const char* const kKeys[] = {"\x1b", "\x03", "\x1bOP", "\x1a", "r", "e", "x", "n"};
      const char* key = kKeys[std::uniform_int_distribution<int>(0, 7)(rng)];
      keys += key;
      run.SendNow(key);
      run.Settle(std::uniform_int_distribution<int>(0, 40)(rng), 200);
    }
    // "n" answers "Edit file?"; Escape ends every other screen these keys reach.
    int status = -1;
    for (int tries = 0; tries < 30 && status == -1; ++tries) {
      status = run.WaitExit(100);
      if (status != -1) break;
      run.Send("n");
      run.SendEscape();
    }
    SCOPED_TRACE("seed " + std::to_string(seed) + ", run " + std::to_string(i));
    ASSERT_NE(status, -1) << "the program did not end\n" << run.ScreenText();
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(LeaveProblem(run.Raw()), "")
        << run.Raw().substr(run.Raw().size() > 200 ? run.Raw().size() - 200 : 0);
    EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace corvix::e2e
