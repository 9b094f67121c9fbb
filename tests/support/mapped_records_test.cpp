// TMappedRecords: what it refuses to open, every record once in order across
// its windows, and a file cut short while it is read.
#include "support/mapped_records.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "support/io_error.h"
#include "testkit/temp_dir.h"

namespace corvix {
namespace {

constexpr std::int32_t kRec = 768;

// Records of kRec bytes, each filled with its number (low byte) after its
// number in two bytes.
std::string Records(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) {
    std::string r(kRec, static_cast<char>(i & 0xFF));
    r[0] = static_cast<char>(i & 0xFF);
    r[1] = static_cast<char>(i >> 8);
    bytes += r;
  }
  return bytes;
}

std::string Reason(const ShortString& path, std::int32_t max) {
  try {
    TMappedRecords f(path, kRec, max);
  } catch (const IoError& e) {
    return std::string(e.what()).substr(path.size());
  }
  return "opened";
}

TEST(MappedRecords, RefusesWhatIsNoCatalogueFileWithoutBlocking) {
  testkit::TempDir dir;
  dir.Put("three", Records(3) + "partial");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);  // opening it must not wait for a writer
  struct Case {
    std::string name;
    std::int32_t max;
    std::string reason;
  };
  for (const Case& c :
       {Case{"three", 3, "opened"}, Case{"three", 2, ": holds 3 records of 768 bytes, more than 2"},
        Case{"fifo", 9, ": is not a regular file"}, Case{"", 9, ": is not a regular file"},
        Case{"missing", 9, ": No such file or directory"}})
    EXPECT_EQ(Reason(ShortString(dir / c.name), c.max), c.reason) << c.name;
  EXPECT_EQ(TMappedRecords(ShortString(dir / "three"), kRec, 3).RecordCount(), 3);
}

TEST(MappedRecords, VisitsEachRecordOnceInOrderAcrossWindows) {
  testkit::TempDir dir;
  // 6000 records span three 2 MiB windows, with records across their edges.
  dir.Put("bases", Records(6000));
  TMappedRecords f(ShortString(dir / "bases"), kRec, 65536);
  for (auto [first, count] : {std::pair{0, 6000}, {2729, 3}, {5461, 539}, {17, 0}}) {
    std::vector<int> seen;
    bool whole = true;
    auto visit = [&](const std::uint8_t* record, std::int32_t index) {
      const int number = record[0] | record[1] << 8;
      whole = whole && record[kRec - 1] == (index & 0xFF);
      seen.push_back(number == index ? index : -1);
    };
    f.Visit(first, count, visit);
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(count)) << first;
    for (int i = 0; i < count; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], first + i);
    EXPECT_TRUE(whole) << first;
  }
  auto none = [](const std::uint8_t*, std::int32_t) {};
  for (auto [first, count] : {std::pair{5999, 2}, {-1, 1}, {0, -1}})
    EXPECT_THROW(f.Visit(first, count, none), IoError) << first << "+" << count;
}

// The test's own handler, which must be back once a visit is over; a bus
// error that reaches it ends the test at once.
extern "C" void Marker(int) { ::_exit(70); }

TEST(MappedRecords, AFileCutShortWhileReadIsAnErrorNotABusError) {
  testkit::TempDir dir;
  // The program handles faults on a stack of their own: the jump back from
  // the bus error leaves that stack.
  static char altStack[64 * 1024];
  stack_t ss{};
  ss.ss_sp = altStack;
  ss.ss_size = sizeof altStack;
  ASSERT_EQ(::sigaltstack(&ss, nullptr), 0);
  struct sigaction marker {};
  marker.sa_handler = Marker;
  struct sigaction before {};
  ASSERT_EQ(::sigaction(SIGBUS, &marker, &before), 0);
  // Cut at record At to Size bytes: whole pages gone (a bus error on the next
  // record), the last page cut within (zeros, no bus error), a later window gone.
  struct Case {
    int at;
    off_t size;
  };
  for (const Case& c :
       {Case{0, 0}, Case{10, 4096}, Case{5990, 5999 * kRec + 5}, Case{100, 2800 * kRec}}) {
    dir.Put("bases", Records(6000));
    TMappedRecords f(ShortString(dir / "bases"), kRec, 65536);
    const std::string path = dir / "bases";
    volatile std::uint8_t sink = 0;
    auto visit = [&](const std::uint8_t* record, std::int32_t index) {
      sink = record[0] | record[kRec - 1];  // where a page past the end faults
      if (index == c.at) {
        ASSERT_EQ(::truncate(path.c_str(), c.size), 0);
      }
    };
    try {
      f.Visit(0, 6000, visit);
      ADD_FAILURE() << "no error for a cut at " << c.size;
    } catch (const IoError& e) {
      EXPECT_EQ(std::string(e.what()), path + ": the file became shorter while it was read");
    }
    struct sigaction now {};
    ::sigaction(SIGBUS, nullptr, &now);
    EXPECT_EQ(now.sa_handler, &Marker);
  }
  ::sigaction(SIGBUS, &before, nullptr);
  ss.ss_flags = SS_DISABLE;
  ::sigaltstack(&ss, nullptr);
}

}  // namespace
}  // namespace corvix
