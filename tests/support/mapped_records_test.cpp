// TMappedRecords: each record once across its windows; a file cut under it.
#include "support/mapped_records.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <tuple>

#include "support/io_error.h"
#include "testkit/temp_dir.h"

namespace corvix {
namespace {

constexpr std::int32_t kRec = 768;

// 6000 records over three 2 MiB windows; each holds its number (bytes 0-1), then its low byte.
void PutRecords(const testkit::TempDir& dir) {
  std::string bytes;
  for (int i = 0; i < 6000; ++i) {
    std::string r(kRec, static_cast<char>(i & 0xFF));
    r[1] = static_cast<char>(i >> 8);
    bytes += r;
  }
  dir.Put("bases", bytes);
}

TEST(MappedRecords, VisitsEachRecordOnceInOrderAcrossWindows) {
  testkit::TempDir dir;
  PutRecords(dir);
  TMappedRecords f(ShortString(dir / "bases"), kRec, 65536);
  for (bool mapped : {true, false}) {
    f.MapWindows = mapped;
    for (auto [first, count] : {std::pair{0, 6000}, {2729, 3}, {5461, 539}, {17, 0}}) {
      int next = first, wrong = 0;
      auto visit = [&](const std::uint8_t* r, std::int32_t index) {
        wrong += (r[0] | r[1] << 8) != index || r[kRec - 1] != (index & 0xFF) || index != next++;
      };
      f.Visit(first, count, visit);
      EXPECT_TRUE(next - first == count && wrong == 0) << first << (mapped ? " mapped" : " read");
    }
  }
}

// Must be back after each visit; a bus error that reaches it ends the test.
extern "C" void Marker(int) { ::_exit(70); }

TEST(MappedRecords, AFileCutShortWhileReadIsAnErrorNotABusError) {
  // The program takes faults on a stack of their own: the jump leaves it.
  static char altStack[64 * 1024];
  stack_t ss{altStack, 0, sizeof altStack};
  ASSERT_EQ(::sigaltstack(&ss, nullptr), 0);
  struct sigaction marker {
  }, before{}, now{};
  marker.sa_handler = Marker;
  ASSERT_EQ(::sigaction(SIGBUS, &marker, &before), 0);
  testkit::TempDir dir;
  const std::string path = dir / "bases";
  // Cut at record At to Size: pages gone (a bus error), a page cut within, a
  // window gone; mapped, then read.
  for (auto [at, size, mapped] : {std::tuple{0, 0, true},
                                  {10, 4096, true},
                                  {5990, 5999 * kRec + 5, true},
                                  {100, 2800 * kRec, true},
                                  {0, 0, false},
                                  {5990, 5999 * kRec + 5, false}}) {
    PutRecords(dir);
    TMappedRecords f(ShortString(path), kRec, 65536);
    f.MapWindows = mapped;
    volatile std::uint8_t sink = 0;
    auto visit = [&, at = at, size = size](const std::uint8_t* record, std::int32_t index) {
      sink = record[0] | record[kRec - 1];  // where a page past the end faults
      if (index == at && ::truncate(path.c_str(), size) != 0) ADD_FAILURE() << "truncate";
    };
    try {
      f.Visit(0, 6000, visit);
      ADD_FAILURE() << "no error for a cut to " << size;
    } catch (const IoError& e) {
      EXPECT_EQ(std::string(e.what()), path + ": the file became shorter while it was read");
    }
    ::sigaction(SIGBUS, nullptr, &now);
    EXPECT_EQ(now.sa_handler, &Marker);
  }
  ::sigaction(SIGBUS, &before, nullptr);
}

}  // namespace
}  // namespace corvix
