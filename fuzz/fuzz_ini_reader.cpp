// Fuzzes the configuration reader: any bytes as the text of corvixmass.ini,
// then every look-up the program makes plus one named by the input itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/config/ini_reader.h"

using corvix::ShortString;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const corvix::TIniReader ini = corvix::TIniReader::FromText(text);

  static constexpr std::string_view kKeys[][2] = {
      {"main", "editor"},   {"main", "temp_folder"},  {"main", "signature"}, {"main", "delay"},
      {"corvix", "mbases"}, {"corvix", "corvixutil"}, {"corvix", "dir"},     {"message", "from"},
      {"message", "to"},    {"message", "subject"},
  };
  for (const auto& k : kKeys) {
    const ShortString v = ini.ReadText(k[0], k[1], "default", false);
    if (v.size() > ShortString::kMaxLength) std::abort();
    std::string full;
    std::int32_t n = 0;
    if (ini.ReadFull(k[0], k[1], full)) static_cast<void>(corvix::ParseWholeNumber(full, n));
  }
  // A section and key taken from the input, so look-ups of odd names run too.
  const std::size_t cut = size / 2;
  ini.ReadText(text.substr(0, cut < 16 ? cut : 16), text.substr(cut, 16), "", true);

  // A whole number must come back as the value its digits spell.
  std::int32_t value = 0;
  if (corvix::ParseWholeNumber(text, value)) {
    long long check = std::strtoll(std::string(text).c_str(), nullptr, 10);
    if (check != value) std::abort();
  }
  return 0;
}
