// mkcatalog: writes a message-base catalogue of 768-byte records, for the
// demo host, the tests and the benchmarks.
//
//   mkcatalog OUTPUT [LIST]      LIST (or standard input): one base a line,
//                                "number<TAB>echotag<TAB>name"
//   mkcatalog OUTPUT --generate N   N made-up bases numbered 1..N
//
// The whole input is read and checked before OUTPUT is opened, so a bad line
// never leaves an existing catalogue cut short.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

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
    "\n"
    "Writes a message-base catalogue: one 768-byte record per base.\n"
    "LIST (standard input when not given) holds one base a line:\n"
    "  number<TAB>echotag<TAB>name\n"
    "with the number from 0 to 65535; empty lines and lines starting with '#' are skipped.\n"
    "--generate N makes N bases numbered 1 to N (N at most 65535).\n";

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
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  if (argc < 2 || argc > 4 || (argc == 4 && std::strcmp(argv[2], "--generate") != 0) ||
      (argc == 3 && std::strcmp(argv[2], "--generate") == 0)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string catalogue;
  unsigned count = 0;
  auto emit = [&](unsigned number, const std::string& tag, const std::string& name) {
    auto rec = Record(number, tag, name);
    catalogue.append(reinterpret_cast<const char*>(rec.data()), rec.size());
    ++count;
  };
  if (argc == 4) {
    unsigned n = 0;
    if (!ParseBaseNumber(argv[3], n)) {
      std::fprintf(stderr, "mkcatalog: --generate takes a number from 0 to 65535, not \"%s\"\n",
                   argv[3]);
      return 1;
    }
    for (unsigned i = 1; i <= n; ++i) {
      const char* topic = kTopics[i % (sizeof kTopics / sizeof kTopics[0])];
      emit(i, std::string(topic) + "." + std::to_string(i),
           std::string("Echo area ") + std::to_string(i) + " about " + topic);
    }
  } else {
    std::ifstream file;
    const char* listName = argc >= 3 ? argv[2] : "standard input";
    if (argc >= 3) {
      file.open(argv[2]);
      if (!file) {
        std::perror(argv[2]);
        return 1;
      }
    }
    std::istream& in = argc >= 3 ? static_cast<std::istream&>(file) : std::cin;
    std::string line;
    unsigned long lineNo = 0;
    while (std::getline(in, line)) {
      ++lineNo;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      std::size_t t1 = line.find('\t');
      std::size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
      if (t2 == std::string::npos) {
        std::fprintf(stderr, "mkcatalog: %s:%lu: skipped line without two tabs: %s\n", listName,
                     lineNo, line.c_str());
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
      emit(number, line.substr(t1 + 1, t2 - t1 - 1), line.substr(t2 + 1));
    }
    if (in.bad()) {
      std::fprintf(stderr, "mkcatalog: %s: read error; nothing was written\n", listName);
      return 1;
    }
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  out.write(catalogue.data(), static_cast<std::streamsize>(catalogue.size()));
  out.close();
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(stderr, "mkcatalog: %u bases written to %s\n", count, argv[1]);
  return 0;
}
