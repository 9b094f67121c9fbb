// mkcatalog: writes a message-base catalogue of 768-byte records, for the
// demo host, the tests and the benchmarks.
//
//   mkcatalog OUTPUT [LIST]      LIST (or standard input): one base a line,
//                                "number<TAB>echotag<TAB>name"
//   mkcatalog OUTPUT --generate N   N made-up bases numbered 1..N
//   mkcatalog --dump CATALOGUE   the catalogue back as such lines
//
// The whole input is read and checked before OUTPUT is opened, so a bad line
// or a misused command line never leaves an existing catalogue cut short.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "support/catalogue.h"
#include "support/option_parser.h"
#include "support/version.h"

namespace {

using corvix::kBaseRecSize;

constexpr char kUsage[] =
    "usage: mkcatalog OUTPUT [LIST]\n"
    "       mkcatalog OUTPUT --generate N\n"
    "       mkcatalog --dump CATALOGUE\n"
    "       mkcatalog --help | --version\n"
    "\n"
    "Writes a message-base catalogue: one 768-byte record per base.\n"
    "LIST (standard input when not given) holds one base a line:\n"
    "  number<TAB>echotag<TAB>name\n"
    "with the number from 0 to 65535, each number once; empty lines and lines\n"
    "starting with '#' are skipped. Nothing is written when a line is wrong.\n"
    "--generate N makes N bases numbered 1 to N (N at most 65535).\n"
    "--dump CATALOGUE prints a catalogue as such lines.\n"
    "Exit status: 0 done, 1 an error, 2 a misused command line.\n";

int Misuse(const std::string& message) {
  std::fprintf(stderr, "mkcatalog: %s\nTry 'mkcatalog --help'.\n", message.c_str());
  return 2;
}

// A field as a list line can hold it: tabs and line breaks would split it.
std::string Listable(std::string_view field) {
  std::string out(field);
  for (char& c : out)
    if (c == '\t' || c == '\n' || c == '\r') c = '?';
  return out;
}

// "mkcatalog: NAME: reason" for a failed file operation.
void ReportFileError(const char* name) {
  std::fprintf(stderr, "mkcatalog: %s: %s\n", name, std::strerror(errno));
}

// Prints every whole record of Path as "number<TAB>echotag<TAB>name".
int Dump(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ReportFileError(path);
    return 1;
  }
  std::uint8_t rec[kBaseRecSize] = {};
  std::string out;
  while (in.read(reinterpret_cast<char*>(rec), kBaseRecSize)) {
    out += std::to_string(corvix::BaseNumberAt(rec)) + "\t" +
           Listable(corvix::FieldAt(rec, corvix::kEchoTagOffset)) + "\t" +
           Listable(corvix::FieldAt(rec, corvix::kBaseNameOffset)) + "\n";
  }
  if (in.bad()) {
    ReportFileError(path);
    return 1;
  }
  std::fputs(out.c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

const char* const kTopics[] = {"GENERAL", "SYSOP",   "LINUX",   "RETRO", "AMIGA", "CPM",
                               "HAM",     "WEATHER", "COOKING", "CHESS", "MUSIC", "BOOKS"};

}  // namespace

int main(int argc, char** argv) {
  using corvix::TArgKind;
  static constexpr corvix::TOptionDefRec kOptions[] = {{"help", 'h', TArgKind::kNone},
                                                       {"version", 'V', TArgKind::kNone},
                                                       {"generate", 0, TArgKind::kRequired},
                                                       {"dump", 0, TArgKind::kNone}};
  const corvix::TParsedArgsRec args =
      corvix::ParseArguments(kOptions, std::vector<std::string>(argv + 1, argv + argc));
  if (!args.Error.empty()) return Misuse(args.Error);
  bool given[4] = {};
  std::string generate;
  for (const corvix::TGivenOptionRec& o : args.Options) {
    given[o.Option] = true;
    if (o.Option == 2) generate = o.Value;
  }
  if (given[0]) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (given[1]) {
    std::printf("mkcatalog %s\n", corvix::kVersion);
    return 0;
  }
  const std::vector<std::string>& operands = args.Operands;
  if (given[3]) {
    if (given[2] || operands.size() != 1)
      return Misuse("--dump takes one catalogue and nothing else");
    return Dump(operands[0].c_str());
  }
  if (operands.empty()) return Misuse("the output catalogue is missing");
  if (operands.size() > (given[2] ? 1u : 2u))
    return Misuse("unexpected '" + operands.back() + "'" + (given[2] ? " with --generate" : ""));
  const char* output = operands[0].c_str();
  std::string catalogue;
  unsigned count = 0;
  auto emit = [&](unsigned number, const std::string& tag, const std::string& name) {
    std::uint8_t rec[kBaseRecSize];
    corvix::PutBaseRecord(rec, static_cast<std::uint16_t>(number), tag, name);
    catalogue.append(reinterpret_cast<const char*>(rec), sizeof rec);
    ++count;
  };
  if (given[2]) {
    const auto parsed = corvix::ParseBaseNumber(generate);
    const unsigned n = parsed.value_or(0);
    if (!parsed) {
      std::fprintf(stderr, "mkcatalog: --generate takes a number from 0 to 65535, not \"%s\"\n",
                   generate.c_str());
      return 1;
    }
    for (unsigned i = 1; i <= n; ++i) {
      const char* topic = kTopics[i % (sizeof kTopics / sizeof kTopics[0])];
      emit(i, std::string(topic) + "." + std::to_string(i),
           std::string("Echo area ") + std::to_string(i) + " about " + topic);
    }
  } else {
    std::ifstream file;
    const bool fromFile = operands.size() == 2;
    const char* listName = fromFile ? operands[1].c_str() : "standard input";
    if (fromFile) {
      file.open(listName);
      if (!file) {
        ReportFileError(listName);
        return 1;
      }
    }
    std::istream& in = fromFile ? static_cast<std::istream&>(file) : std::cin;
    // The line each number was first given on: a number twice would give the
    // host utility two bases of one number, and the list the wrong one.
    std::map<unsigned, unsigned long> lineOf;
    std::string line;
    unsigned long lineNo = 0, skipped = 0;
    while (std::getline(in, line)) {
      ++lineNo;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      std::size_t t1 = line.find('\t');
      std::size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
      if (t2 == std::string::npos) {
        std::fprintf(stderr, "mkcatalog: %s:%lu: skipped line without two tabs: %s\n", listName,
                     lineNo, line.c_str());
        ++skipped;
        continue;
      }
      const auto parsed = corvix::ParseBaseNumber(line.substr(0, t1));
      const unsigned number = parsed.value_or(0);
      if (!parsed) {
        std::fprintf(stderr,
                     "mkcatalog: %s:%lu: the base number \"%s\" is not a number from 0 to 65535; "
                     "nothing was written\n",
                     listName, lineNo, line.substr(0, t1).c_str());
        return 1;
      }
      if (auto [first, isNew] = lineOf.emplace(number, lineNo); !isNew) {
        std::fprintf(stderr,
                     "mkcatalog: %s:%lu: base number %u is already on line %lu; nothing was "
                     "written\n",
                     listName, lineNo, number, first->second);
        return 1;
      }
      emit(number, line.substr(t1 + 1, t2 - t1 - 1), line.substr(t2 + 1));
    }
    if (in.bad()) {
      std::fprintf(stderr, "mkcatalog: %s: read error; nothing was written\n", listName);
      return 1;
    }
    // A list written with blanks for tabs gives no base at all: an empty
    // catalogue written over the host's own would be no list of it.
    if (count == 0 && skipped > 0) {
      std::fprintf(stderr, "mkcatalog: %s: no line held two tabs; nothing was written\n", listName);
      return 1;
    }
  }
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  if (!out) {
    ReportFileError(output);
    return 1;
  }
  out.write(catalogue.data(), static_cast<std::streamsize>(catalogue.size()));
  out.close();
  if (!out) {
    ReportFileError(output);
    return 1;
  }
  std::fprintf(stderr, "mkcatalog: %u bases written to %s\n", count, output);
  return 0;
}
