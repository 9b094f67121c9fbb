// The table of corvixmass.ini's settings and the judging of their values.
#include "app/config/settings.h"

#include <string_view>

#include "app/config/ini_reader.h"

namespace corvix {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

// True when Text is zone:net/node with an optional .point, each part a
// decimal number up to 65535 and the zone not 0.
bool IsNodeAddress(std::string_view text) {
  std::int32_t parts[4] = {};
  std::size_t count = 0, digits = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : '\0';
    if (c >= '0' && c <= '9') {
      parts[count] = parts[count] * 10 + (c - '0');
      if (++digits > 5 || parts[count] > 65535) return false;
      continue;
    }
    // Each part ends in the separator that must follow it.
    static constexpr char kAfter[] = {':', '/', '.', '\0'};
    const bool ends = c == kAfter[count] || (c == '\0' && count == 2);
    if (digits == 0 || !ends) return false;
    if (c == '\0') break;
    ++count, digits = 0;
  }
  return parts[0] != 0;
}

}  // namespace

const std::vector<TSettingRec>& Settings() {
  using enum TSettingKind;
  static const std::vector<TSettingRec> kSettings = {
      {"main",
       "editor",
       kText,
       "",
       0,
       0,
       {},
       "$VISUAL, then $EDITOR",
       "command that opens the message file; the file name is added to it"},
      {"main", "temp_folder", kText, "/tmp", 0, 0, {}, "", "read for compatibility; no effect"},
      {"main", "signature", kText, "", 0, 0, {}, "", "read for compatibility; no effect"},
      {"main",
       "delay",
       kInteger,
       "100",
       0,
       65535,
       {},
       "",
       "pause after each posting, in milliseconds",
       true},
      {"main",
       "charset",
       kChoice,
       "",
       0,
       0,
       {"cp437", "utf8", "utf-8"},
       "from the locale",
       "the terminal's character set"},
      {"main",
       "escape_delay",
       kInteger,
       "50",
       10,
       1000,
       {},
       "",
       "milliseconds the bytes of one key may lie apart"},
      {"main",
       "colors",
       kChoice,
       "",
       0,
       0,
       {"bold", "explicit", "pc", "mono"},
       "mono when NO_COLOR is set (any value), else pc when TERM ends in 256color or "
       "COLORTERM is truecolor or 24bit, bold on the Linux console, else explicit",
       "how colours are sent; mono sends none"},
      {"main",
       "redraw",
       kChoice,
       "changes",
       0,
       0,
       {"changes", "full"},
       "",
       "send only the cells that changed, or every cell a change touches"},
      {"main",
       "repost_hours",
       kInteger,
       "72",
       0,
       87600,
       {},
       "",
       "hours in which posting the same message text to a base again is asked first (0: never)"},
      {"corvix", "mbases", kText, "", 0, 0, {}, "", "the host's message-base catalogue"},
      {"corvix",
       "corvixutil",
       kText,
       "",
       0,
       0,
       {},
       "",
       "read for compatibility; the utility is always ./corvixutil in dir"},
      {"corvix",
       "dir",
       kText,
       "",
       0,
       0,
       {},
       "",
       "the host directory: the job file is written and the utility runs there"},
      {"corvix",
       "host_charset",
       kChoice,
       "cp437",
       0,
       0,
       {"cp437", "utf8"},
       "",
       "the character set the host takes From, To and Subject in",
       false,
       true},
      {"corvix",
       "address",
       kAddress,
       "1:1/100",
       0,
       0,
       {},
       "",
       "the node address the job file gives (zone:net/node or zone:net/node.point)",
       false,
       true},
      {"message", "from", kText, "", 0, 0, {}, "", "what the form's From starts with"},
      {"message", "to", kText, "", 0, 0, {}, "", "what the form's To starts with"},
      {"message", "subject", kText, "", 0, 0, {}, "", "what the form's Subject starts with"},
  };
  return kSettings;
}

const TSettingRec* FindSetting(std::string_view section, std::string_view key) {
  const std::string s = Lower(section), k = Lower(key);
  for (const TSettingRec& setting : Settings())
    if (s == setting.Section && k == setting.Key) return &setting;
  return nullptr;
}

std::string SettingValueProblem(const TSettingRec& setting, std::string_view value) {
  switch (setting.Kind) {
    case TSettingKind::kText:
      return "";
    case TSettingKind::kAddress:
      return IsNodeAddress(value) ? "" : "not a node address of the form zone:net/node[.point]";
    case TSettingKind::kChoice: {
      const std::string v = Lower(value);
      std::string list;
      for (const std::string& allowed : setting.Values) {
        if (v == allowed) return "";
        list += (list.empty() ? "" : ", ") + allowed;
      }
      return "not one of " + list;
    }
    case TSettingKind::kInteger: {
      std::int32_t n = 0;
      if (ParseWholeNumber(value, n) && n >= setting.Low && n <= setting.High) return "";
      return "not a whole number from " + std::to_string(setting.Low) + " to " +
             std::to_string(setting.High);
    }
  }
  return "";
}

std::string SettingText(const TIniReader& ini, const char* section, const char* key) {
  const TSettingRec* setting = FindSetting(section, key);
  std::string value;
  if (setting == nullptr) return "";
  if (!ini.ReadFull(section, key, value) || !SettingValueProblem(*setting, value).empty())
    return setting->Default;
  return value;
}

std::int32_t SettingInteger(const TIniReader& ini, const char* section, const char* key) {
  const TSettingRec* setting = FindSetting(section, key);
  std::string value;
  std::int32_t n = 0, fallback = 0;
  if (setting == nullptr) return 0;
  (void)ParseWholeNumber(setting->Default, fallback);  // the table's defaults are numbers
  if (!ini.ReadFull(section, key, value) || !ParseWholeNumber(value, n)) return fallback;
  if (setting->KeepsOutOfRange || SettingValueProblem(*setting, value).empty()) return n;
  return fallback;
}

}  // namespace corvix

namespace corvix {

std::string EditorCommand(const std::string& configured, const char* visual, const char* editor,
                          std::string& source) {
  // Blanks alone name no program: the shell would run the message file
  // itself in their place.
  auto given = [](std::string_view value) {
    return value.find_first_not_of(" \t") != std::string_view::npos;
  };
  source = "[main] editor";
  if (given(configured)) return configured;
  for (auto [name, value] : {std::pair{"$VISUAL", visual}, {"$EDITOR", editor}}) {
    source = name;
    if (value != nullptr && given(value)) return value;
  }
  source.clear();
  return "";
}

}  // namespace corvix
