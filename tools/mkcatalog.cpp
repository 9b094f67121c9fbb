// mkcatalog: writes a message-base catalogue of 768-byte records, for the
// demo host, the tests and the benchmarks.
//
//   mkcatalog OUTPUT [LIST]      LIST (or standard input): one base a line,
//                                "number<TAB>echotag<TAB>name"
//   mkcatalog OUTPUT --generate N   N made-up bases numbered 1..N
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

std::vector<unsigned char> Record(unsigned number, const std::string& tag, const std::string& name) {
  std::vector<unsigned char> rec(kRecSize, 0);
  rec[0] = static_cast<unsigned char>(number & 0xFF);
  rec[1] = static_cast<unsigned char>((number >> 8) & 0xFF);
  PutString(rec, kNameOffset, name);
  PutString(rec, kTagOffset, tag);
  return rec;
}

const char* const kTopics[] = {"GENERAL", "SYSOP",   "LINUX",  "RETRO",  "AMIGA",  "CPM",
                               "HAM",     "WEATHER", "COOKING", "CHESS", "MUSIC",  "BOOKS"};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: mkcatalog OUTPUT [LIST | --generate N]\n");
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  unsigned count = 0;
  auto emit = [&](unsigned number, const std::string& tag, const std::string& name) {
    auto rec = Record(number, tag, name);
    out.write(reinterpret_cast<const char*>(rec.data()), static_cast<std::streamsize>(rec.size()));
    ++count;
  };
  if (argc >= 4 && std::strcmp(argv[2], "--generate") == 0) {
    unsigned long n = std::strtoul(argv[3], nullptr, 10);
    if (n > 65535) n = 65535;
    for (unsigned long i = 1; i <= n; ++i) {
      const char* topic = kTopics[i % (sizeof kTopics / sizeof kTopics[0])];
      emit(static_cast<unsigned>(i), std::string(topic) + "." + std::to_string(i),
           std::string("Echo area ") + std::to_string(i) + " about " + topic);
    }
  } else {
    std::ifstream file;
    if (argc >= 3) {
      file.open(argv[2]);
      if (!file) {
        std::perror(argv[2]);
        return 1;
      }
    }
    std::istream& in = argc >= 3 ? static_cast<std::istream&>(file) : std::cin;
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      std::size_t t1 = line.find('\t');
      std::size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
      if (t2 == std::string::npos) {
        std::fprintf(stderr, "mkcatalog: skipped line without two tabs: %s\n", line.c_str());
        continue;
      }
      emit(static_cast<unsigned>(std::strtoul(line.substr(0, t1).c_str(), nullptr, 10)),
           line.substr(t1 + 1, t2 - t1 - 1), line.substr(t2 + 1));
    }
  }
  out.close();
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(stderr, "mkcatalog: %u bases written to %s\n", count, argv[1]);
  return 0;
}
