// Short random key runs (letters, Escape, Ctrl-C, F1, Ctrl-Z) at random
// moments: however a run ends, the terminal is given back whole. The
// ordinary suite does a few dozen; CORVIX_RANDOM_KEY_RUNS sets another count
// (a few hundred find rarer timings).
#include <sys/wait.h>

#include <cstdlib>
#include <random>
#include <string>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

using RandomKeysTest = HostFixture;

TEST_F(RandomKeysTest, EveryRunLeavesTheAlternateScreenWithTheCursorShown) {
  const unsigned seed = std::random_device{}();
  std::mt19937 rng(seed);
  const char* runs = std::getenv("CORVIX_RANDOM_KEY_RUNS");
  for (int i = 0, n = runs != nullptr ? std::atoi(runs) : 24; i < n && !HasFailure(); ++i) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", run " + std::to_string(i));
    PtySession& run = StartWith({"TERM=xterm-256color", "VISUAL=true"}, {"message.txt"});
    static const char* const kKeys[] = {"\x1b", "\x03", "\x1bOP", "\x1a", "r", "e", "x", "n"};
    for (int k = std::uniform_int_distribution<int>(1, 12)(rng); k > 0; --k) {
      run.SendNow(kKeys[std::uniform_int_distribution<int>(0, 7)(rng)]);
      run.Settle(std::uniform_int_distribution<int>(0, 40)(rng), 200);
    }
    // "n" answers "Edit file?"; Escape ends every other screen these keys reach.
    int status = run.WaitExit(100);
    for (int tries = 0; tries < 30 && status == -1; ++tries, status = run.WaitExit(100)) {
      run.Send("n");
      run.SendEscape();
    }
    ASSERT_NE(status, -1) << run.ScreenText();
    // After the last entry into the alternate screen (a Ctrl-C typed before
    // raw mode ends the run before it): its way out, then the terminal's own
    // attribute and a visible cursor.
    const std::string& raw = run.Raw();
    const std::size_t enter = raw.rfind("\x1b[?1049h"), leave = raw.find("\x1b[?1049l", enter + 1);
    EXPECT_TRUE(enter == std::string::npos ||
                (leave != std::string::npos && raw.find("\x1b[0m", leave) != std::string::npos &&
                 raw.find("\x1b[?25h", leave) != std::string::npos))
        << raw.substr(raw.size() - std::min<std::size_t>(raw.size(), 200));
  }
}

}  // namespace
}  // namespace corvix::e2e
