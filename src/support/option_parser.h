// ParseArguments: reads a command line the way getopt_long does, from a table
// of the options a program knows, into the options given and the operands.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvix {

enum class TArgKind : std::uint8_t {
  kNone,      // --flag
  kRequired,  // --name VALUE, --name=VALUE, -x VALUE, -xVALUE
  kOptional,  // --name or --name=VALUE only (a following word is an operand)
};

struct TOptionDefRec {
  const char* Long;  // without the leading "--"
  char Short;        // 0: no short form
  TArgKind Arg;
};

struct TGivenOptionRec {
  std::size_t Option;  // index into the table
  bool HasValue = false;
  std::string Value;
};

struct TParsedArgsRec {
  std::vector<TGivenOptionRec> Options;  // in the order given
  std::vector<std::string> Operands;     // the other words, in order
  std::string Error;                     // the first misuse; empty when there is none
};

// Reads Args (without the program name). Options may come before, between or
// after the operands; "--" ends the options, and a lone "-" is an operand.
// Short options combine ("-ny"), and one that takes a value takes the rest of
// its word or the next word. A long option may be abbreviated to any prefix
// that names only one option. Misuse stops the reading with a message in
// getopt's words: an unknown or ambiguous option, a missing value, a value
// given to a flag, or an option given twice.
TParsedArgsRec ParseArguments(std::span<const TOptionDefRec> table,
                              const std::vector<std::string>& args);

}  // namespace corvix
