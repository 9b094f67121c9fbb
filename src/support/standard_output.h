// Standard output with every write checked: what the program prints there
// (lists, summaries, reports) goes through these functions, which keep the
// reason of the first failure, so that the end of the run can say that the
// output is incomplete instead of ending as if all was said.
#pragma once

#include <string>
#include <string_view>

namespace corvix {

// Writes Text to standard output (buffered as stdio buffers it).
void PrintStdout(std::string_view text);

// Formats as printf does and writes the result to standard output.
[[gnu::format(printf, 1, 2)]] void PrintfStdout(const char* format, ...);

// Sends what is buffered on. False when any write to standard output has
// failed so far (this one or an earlier one).
bool FlushStdout();

// Flushes standard output at the end of the run and closes a copy of its
// descriptor (some file systems report errors only there). Empty when every
// write reached it; else the reason of the first failure ("No space left on
// device"), or "unknown reason" when only stdio's error mark tells of one.
[[nodiscard]] std::string FinishStdout();

}  // namespace corvix
