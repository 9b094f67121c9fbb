// Runs each file named on the command line once through a fuzz target's
// LLVMFuzzerTestOneInput: the stored corpus replayed by a build without
// libFuzzer (the sanitizer build of the tests), so its libraries need no
// second, clang-built copy. A fault ends the process through the sanitizer;
// an input that runs longer than ten seconds ends it through SIGALRM.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", argv[i]);
      return 1;
    }
    const std::vector<char> text{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
    // The target gets a block of exactly the input's size (never null, even
    // when empty), so a read one byte past the end is a sanitizer report.
    const std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[text.size()]);
    std::copy(text.begin(), text.end(), data.get());
    // Named before it runs, so a report that follows belongs to this input.
    std::fprintf(stderr, "Running: %s\n", argv[i]);
    alarm(10);
    LLVMFuzzerTestOneInput(data.get(), text.size());
    alarm(0);
  }
  return 0;
}
