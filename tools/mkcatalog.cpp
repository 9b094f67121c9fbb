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
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "support/option_parser.h"
#include "support/version.h"

namespace {

constexpr std::size_t kRecSize = 768;
constexpr std::size_t kNameOffset = 2;
constexpr std::size_t kTagOffset = 585;

void PutString(std::vector<unsigned char>& rec, std::size_t offset, const std::string& s) {
  std::size_t room = kRecSize - offset - 1;
  std::size_t n = std::min({s.size(), room, std::size_t{255}});
  rec[offset] = static_cast<unsigned char>(n);
  std::memcpy(rec.data() + offset + 1, s.data(), n);
}

std::vector<unsigned char> Record(unsigned number, const std::string& tag,
                                  const std::string& name) {
  std::vector<unsigned char> rec(kRecSize, 0);
  rec[0] = static_cast<unsigned char>(number & 0xFF);
  rec[1] = static_cast<unsigned char>((number >> 8) & 0xFF);
  PutString(rec, kNameOffset, name);
  PutString(rec, kTagOffset, tag);
  return rec;
}

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
std::string Listable(const unsigned char* field, std::size_t room) {
  std::string out(reinterpret_cast<const char*>(field + 1), std::min<std::size_t>(field[0], room));
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
  std::array<unsigned char, kRecSize> rec{};
  std::string out;
  while (in.read(reinterpret_cast<char*>(rec.data()), kRecSize)) {
    out += std::to_string(rec[0] | (rec[1] << 8)) + "\t" +
           Listable(rec.data() + kTagOffset, kRecSize - kTagOffset - 1) + "\t" +
           Listable(rec.data() + kNameOffset, kRecSize - kNameOffset - 1) + "\n";
  }
  if (in.bad()) {
    ReportFileError(path);
    return 1;
  }
  std::fputs(out.c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

// The decimal number in Text when it is one from 0 to 65535.
bool ParseBaseNumber(const std::string& text, unsigned& number) {
  if (text.empty() || text.size() > 5) return false;
  unsigned long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned long>(c - '0');
  }
  if (v > 65535) return false;
  number = static_cast<unsigned>(v);
  return true;
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
    auto rec = Record(number, tag, name);
    catalogue.append(reinterpret_cast<const char*>(rec.data()), rec.size());
    ++count;
  };
  if (given[2]) {
    unsigned n = 0;
    if (!ParseBaseNumber(generate, n)) {
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
      unsigned number = 0;
      if (!ParseBaseNumber(line.substr(0, t1), number)) {
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
