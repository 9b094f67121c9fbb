// The table of corvixmass.ini's settings and the judging of their values.
#include "app/config/settings.h"

#include <cstdlib>
#include <string_view>

#include "app/config/host_text.h"
#include "app/config/ini_reader.h"
#include "app/config/session.h"
#include "support/string_utils.h"

namespace corvix {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
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

// A value the table's check passed (or a default) as a number.
std::int32_t Number(const std::string& value) {
  std::int32_t n = 0;
  static_cast<void>(ParseWholeNumber(value, n));  // checked by the table
  return n;
}

// The texts are held in code page 437, as the screen shows them and typed
// keys arrive, whatever the terminal: converted by their content. The
// start-up checks refuse a text with a character the code page lacks.
ShortString MessageText(const std::string& value) {
  std::string converted;
  static_cast<void>(HostTextProblem("", value, false, converted));  // checked at start
  return ShortString(converted);
}

}  // namespace

const char* CharsetFromLocale(const char* lcAll, const char* lcCtype, const char* lang) {
  for (const char* v : {lcAll, lcCtype, lang}) {
    if (v == nullptr || *v == '\0') continue;
    const std::string name = Lower(v);
    return name.find("utf-8") != std::string::npos || name.find("utf8") != std::string::npos
               ? "utf8"
               : "cp437";
  }
  return "cp437";
}

const char* DefaultCharset() {
  return CharsetFromLocale(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
}

const std::vector<TSettingRec>& Settings() {
  using enum TSettingKind;
  static const std::vector<TSettingRec> kSettings = {
      {.Section = "main",
       .Key = "editor",
       .Kind = kText,
       .Default = "",
       .DefaultNote = "$VISUAL, then $EDITOR",
       .Help = "command that opens the message file; the file name is added to it",
       .Take =
           [](TSession& s, const std::string& v) {
             std::string source;
             s.EditorCmd = ShortString(
                 EditorCommand(v, std::getenv("VISUAL"), std::getenv("EDITOR"), source));
           }},
      {.Section = "main",
       .Key = "temp_folder",
       .Kind = kText,
       .Default = "/tmp",
       .Help = "read for compatibility; no effect"},
      {.Section = "main",
       .Key = "signature",
       .Kind = kText,
       .Default = "",
       .Help = "read for compatibility; no effect"},
      {.Section = "main",
       .Key = "delay",
       .Kind = kInteger,
       .Default = "100",
       .Low = 0,
       .High = 65535,
       .Help = "pause after each posting, in milliseconds",
       .KeepsOutOfRange = true,
       .Take = [](TSession& s, const std::string& v) { s.PostDelay = Number(v); }},
      {.Section = "main",
       .Key = "charset",
       .Kind = kChoice,
       .Default = "",
       .Values = {"cp437", "utf8", "utf-8"},
       .DefaultNote = "from the locale",
       .Help = "the terminal's character set",
       .Take =
           [](TSession& s, const std::string& v) {
             // Only a written cp437 says the terminal shows code page 437;
             // the locale failing to name UTF-8 does not.
             const std::string charset = v.empty() ? DefaultCharset() : Lower(v);
             s.Cp437Terminal = Lower(v) == "cp437";
             s.Utf8Terminal = charset == "utf8" || charset == "utf-8";
           }},
      {.Section = "main",
       .Key = "escape_delay",
       .Kind = kInteger,
       .Default = "50",
       .Low = 10,
       .High = 1000,
       .Help = "milliseconds the bytes of one key may lie apart"},
      {.Section = "main",
       .Key = "colors",
       .Kind = kChoice,
       .Default = "",
       .Values = {"bold", "explicit", "pc", "mono"},
       .DefaultNote =
           "mono when NO_COLOR is set (any value), else pc when TERM ends in 256color or "
           "COLORTERM is truecolor or 24bit, bold on the Linux console, else explicit",
       .Help = "how colours are sent; mono sends none",
       .Take = [](TSession& s, const std::string& v) { s.Colors = ShortString(v); }},
      {.Section = "main",
       .Key = "redraw",
       .Kind = kChoice,
       .Default = "changes",
       .Values = {"changes", "full"},
       .Help = "send only the cells that changed, or every cell a change touches",
       .Take = [](TSession& s, const std::string& v) { s.RedrawFull = Lower(v) == "full"; }},
      {.Section = "main",
       .Key = "repost_hours",
       .Kind = kInteger,
       .Default = "72",
       .Low = 0,
       .High = 87600,
       .Help =
           "hours in which posting the same message text to a base again is asked first (0: never)",
       .Take = [](TSession& s, const std::string& v) { s.RepostHours = Number(v); }},
      {.Section = "corvix",
       .Key = "mbases",
       .Kind = kText,
       .Default = "",
       .Help = "the host's message-base catalogue",
       .Take = [](TSession& s, const std::string& v) { s.BasesPath = ShortString(v); }},
      {.Section = "corvix",
       .Key = "corvixutil",
       .Kind = kText,
       .Default = "",
       .Help = "read for compatibility; the utility is always ./corvixutil in dir"},
      {.Section = "corvix",
       .Key = "dir",
       .Kind = kText,
       .Default = "",
       .Help = "the host directory: the job file is written and the utility runs there",
       .Take = [](TSession& s, const std::string& v) { s.HostDir = ShortString(v); }},
      {.Section = "corvix",
       .Key = "host_charset",
       .Kind = kChoice,
       .Default = "cp437",
       .Values = {"cp437", "utf8"},
       .Help = "the character set the host takes From, To and Subject in",
       .RefusesRun = true,
       .Take = [](TSession& s, const std::string& v) { s.Utf8Host = Lower(v) == "utf8"; }},
      {.Section = "corvix",
       .Key = "address",
       .Kind = kAddress,
       .Default = "1:1/100",
       .Help = "the node address the job file gives (zone:net/node or zone:net/node.point)",
       .RefusesRun = true,
       .Take = [](TSession& s, const std::string& v) { s.Address = ShortString(v); }},
      {.Section = "message",
       .Key = "from",
       .Kind = kText,
       .Default = "",
       .Help = "what the form's From starts with",
       .Take = [](TSession& s, const std::string& v) { s.MsgFrom = MessageText(v); }},
      {.Section = "message",
       .Key = "to",
       .Kind = kText,
       .Default = "",
       .Help = "what the form's To starts with",
       .Take = [](TSession& s, const std::string& v) { s.MsgTo = MessageText(v); }},
      {.Section = "message",
       .Key = "subject",
       .Kind = kText,
       .Default = "",
       .Help = "what the form's Subject starts with",
       .Take = [](TSession& s, const std::string& v) { s.MsgSubject = MessageText(v); }},
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

std::string SettingValue(const TIniReader& ini, const TSettingRec& setting) {
  std::string value;
  if (!ini.ReadFull(setting.Section, setting.Key, value)) return setting.Default;
  if (SettingValueProblem(setting, value).empty()) return value;
  std::int32_t n = 0;
  // The pause keeps the low 16 bits of any whole number, in range or not.
  if (setting.KeepsOutOfRange && ParseWholeNumber(value, n)) return value;
  return setting.Default;
}

void TakeSettings(const TIniReader& ini, TSession& session) {
  session.SettingValues.clear();
  for (const TSettingRec& setting : Settings()) {
    session.SettingValues.push_back(SettingValue(ini, setting));
    if (setting.Take != nullptr) setting.Take(session, session.SettingValues.back());
  }
}

std::string TakenSetting(std::string_view section, std::string_view key) {
  const TSettingRec* setting = FindSetting(section, key);
  if (setting == nullptr) return "";
  const auto row = static_cast<std::size_t>(setting - Settings().data());
  // Before the configuration is read (or for a run that read none) the
  // default holds.
  return row < Session.SettingValues.size() ? Session.SettingValues[row] : setting->Default;
}

std::int32_t TakenNumber(std::string_view section, std::string_view key) {
  return Number(TakenSetting(section, key));
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
