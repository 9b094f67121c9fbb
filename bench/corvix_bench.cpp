// Benchmarks of the steps that grow with the catalogue: reading it into the
// base list, one search letter in that list, drawing the list, marking every
// base and turning the filter view on and off, and the job file written
// before each run of the host utility.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/posting/posting_job.h"
#include "app/screens/base_select.h"
#include "term/console.h"
#include "widgets/light_bar.h"

namespace corvix {
namespace {

constexpr int kBases = 65535;

// A catalogue of 65,535 made-up bases, written once by the catalogue maker.
const std::string& CataloguePath() {
  static const std::string path = [] {
    std::string p = "/tmp/corvix-bench-" + std::to_string(::getpid()) + ".dat";
    std::string cmd = std::string("'") + CORVIX_MKCATALOG_EXE + "' '" + p + "' --generate " +
                      std::to_string(kBases) + " 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("mkcatalog failed");
    std::atexit([] { ::unlink(CataloguePath().c_str()); });
    return p;
  }();
  return path;
}

// The console layer drawing into /dev/null (every write still made) and
// reading keys from a pipe that each iteration fills.
class Console {
 public:
  Console() {
    devNull_ = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (::pipe(keys_) != 0) throw std::runtime_error("pipe");
    screen_ = std::make_unique<TOutput>(true, devNull_, devNull_);
    keyboard_ = std::make_unique<TInput>(keys_[0]);
    Screen = screen_.get();
    Keyboard = keyboard_.get();
    BeforeInputWait = BeforeKeyWait;
  }
  ~Console() {
    BeforeInputWait = nullptr;
    Screen = nullptr;
    Keyboard = nullptr;
    keyboard_.reset();
    screen_.reset();
    ::close(keys_[0]);
    ::close(keys_[1]);
    ::close(devNull_);
  }
  void Type(const std::string& bytes) {
    if (::write(keys_[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      throw std::runtime_error("key pipe");
  }

 private:
  int devNull_ = -1;
  int keys_[2] = {-1, -1};
  std::unique_ptr<TOutput> screen_;
  std::unique_ptr<TInput> keyboard_;
};

void BM_LoadCatalogue(benchmark::State& state) {
  const ShortString path(CataloguePath());
  for (auto _ : state) {
    TBar list;
    LoadBaseList(list, path);
    benchmark::DoNotOptimize(list.Count);
  }
  state.SetItemsProcessed(state.iterations() * kBases);
}
BENCHMARK(BM_LoadCatalogue)->Unit(benchmark::kMillisecond);

// The list's run as the selection screen starts it, ended by Keys; what is
// measured is the run minus nothing: the first drawing is always part of it.
void RunList(benchmark::State& state, const std::string& keys,
             TRedrawMode mode = TRedrawMode::kFull) {
  Console console;
  Screen->SetRedrawMode(mode);
  TBar list;
  LoadBaseList(list, ShortString(CataloguePath()));
  for (auto _ : state) {
    list.SearchText.clear();
    console.Type(keys);
    benchmark::DoNotOptimize(list.Run(4, 4, 72, 17, 0));
  }
}

// Drawing the list: the run shows the first page, Enter ends it (and draws again).
void BM_DrawList(benchmark::State& state) { RunList(state, "\r"); }
BENCHMARK(BM_DrawList)->Unit(benchmark::kMicrosecond);

// One search letter that no base holds, so every one of the 65,535 lines is
// searched; the run's own drawing is included (see BM_DrawList).
void BM_SearchLetter(benchmark::State& state) { RunList(state, "z\r"); }
BENCHMARK(BM_SearchLetter)->Unit(benchmark::kMicrosecond);

// The same runs sending only the changes (the default redraw mode), and one
// Down key in both modes: what finding the changes costs beside sending all.
void BM_DrawListChanges(benchmark::State& state) { RunList(state, "\r", TRedrawMode::kChanges); }
BENCHMARK(BM_DrawListChanges)->Unit(benchmark::kMicrosecond);
void BM_SearchLetterChanges(benchmark::State& state) {
  RunList(state, "z\r", TRedrawMode::kChanges);
}
BENCHMARK(BM_SearchLetterChanges)->Unit(benchmark::kMicrosecond);
void BM_DownKey(benchmark::State& state) { RunList(state, "\x1b[B\r"); }
BENCHMARK(BM_DownKey)->Unit(benchmark::kMicrosecond);
void BM_DownKeyChanges(benchmark::State& state) {
  RunList(state, "\x1b[B\r", TRedrawMode::kChanges);
}
BENCHMARK(BM_DownKeyChanges)->Unit(benchmark::kMicrosecond);

// F2 in the base list with no search text: every one of the 65,535 bases is
// marked (the marks are cleared between iterations, outside the timing); the
// run's own drawing is included (see BM_DrawList).
void BM_MarkAllF2(benchmark::State& state) {
  Console console;
  TBar list;
  LoadBaseList(list, ShortString(CataloguePath()));
  list.OnExtended = [&list](std::uint8_t code, std::int32_t) { BaseListFunctionKey(list, code); };
  for (auto _ : state) {
    state.PauseTiming();
    list.UnmarkAll();
    console.Type("\x1b[[B\r");  // F2, Enter
    state.ResumeTiming();
    benchmark::DoNotOptimize(list.Run(4, 4, 72, 17, 0));
  }
  if (list.MarkedCount() != kBases) state.SkipWithError("F2 did not mark every base");
}
BENCHMARK(BM_MarkAllF2)->Unit(benchmark::kMicrosecond);

// F7 with a search text that most bases hold: each iteration turns the
// filter view on or off over 65,535 bases, drawing included.
void BM_ToggleFilterF7(benchmark::State& state) {
  Console console;
  TBar list;
  LoadBaseList(list, ShortString(CataloguePath()));
  list.OnExtended = [&list](std::uint8_t code, std::int32_t) { BaseListFunctionKey(list, code); };
  list.SearchText = "A";
  for (auto _ : state) {
    console.Type("\x1b[18~\r");  // F7, Enter
    benchmark::DoNotOptimize(list.Run(4, 4, 72, 17, 0));
  }
  state.counters["shown"] = list.Shown();
}
BENCHMARK(BM_ToggleFilterF7)->Unit(benchmark::kMicrosecond);

void BM_BuildJobFile(benchmark::State& state) {
  const TJobRec job{"/home/sysop/message.txt", "65535", "The Sysop", "All", "News of the week"};
  for (auto _ : state) benchmark::DoNotOptimize(BuildJobFile(job));
}
BENCHMARK(BM_BuildJobFile);

void BM_WriteJobFile(benchmark::State& state) {
  const TJobRec job{"/home/sysop/message.txt", "65535", "The Sysop", "All", "News of the week"};
  // A directory of its own: the job file is made beside aupload.ini and
  // renamed over it, as in a host directory.
  char dir[] = "/tmp/corvix-bench-XXXXXX";
  if (::mkdtemp(dir) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  const int dirFd = ::open(dir, O_RDONLY | O_DIRECTORY);
  for (auto _ : state) WriteJobFile(dirFd, dir, BuildJobFile(job));
  ::close(dirFd);
  ::unlink((std::string(dir) + "/" + kJobFileName).c_str());
  ::rmdir(dir);
}
BENCHMARK(BM_WriteJobFile)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace corvix

BENCHMARK_MAIN();
