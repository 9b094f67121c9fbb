// The settings of corvixmass.ini in one table: each key's section, name,
// default, allowed values or range, one line of help and where the session
// keeps its value. The reading into the session, --check and the manual
// page's list all follow it, so a new setting is one new row and the code
// that uses it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/config/ini_reader.h"

namespace corvix {

struct TSession;

enum class TSettingKind : std::uint8_t {
  kText,     // any text
  kInteger,  // a whole number from Low to High
  kChoice,   // one of Values, matched without regard to case
  kAddress,  // a node address: zone:net/node, optionally .point
};

struct TSettingRec {
  const char* Section;
  const char* Key;
  TSettingKind Kind;
  // What a missing or refused value gives. Empty for a choice whose default
  // depends on the surroundings (DefaultNote says on what).
  const char* Default;
  std::int32_t Low = 0, High = 0;     // kInteger
  std::vector<std::string> Values{};  // kChoice, in lower case
  const char* DefaultNote = "";       // how the default is found, when not fixed
  const char* Help = "";
  // kInteger: a whole number outside Low..High is still taken (the pause
  // keeps the low 16 bits of any number) instead of giving the default.
  bool KeepsOutOfRange = false;
  // A value that cannot be taken stops the run instead of giving the
  // default: a wrong guess would post under another address or in another
  // character set.
  bool RefusesRun = false;
  // Puts the value the run takes (the one written when good, else Default)
  // into the session; null for a key read for compatibility only.
  void (*Take)(TSession& session, const std::string& value) = nullptr;
};

// Every setting, in the order of the file's sections.
const std::vector<TSettingRec>& Settings();

// The row of Section and Key (matched without regard to case), or null.
const TSettingRec* FindSetting(std::string_view section, std::string_view key);

// Why Value cannot be taken for Setting, in a few words ("not one of bold,
// explicit"); empty when it can. This is the one place a value is judged:
// the session, which then uses the default, and --check, which warns, both
// ask here.
[[nodiscard]] std::string SettingValueProblem(const TSettingRec& setting, std::string_view value);

// What the run takes for Setting from Ini: the value as written (quotes
// stripped) when it is good, otherwise the default (empty for a choice with
// a surrounding-dependent default: its row's Take decides).
std::string SettingValue(const TIniReader& ini, const TSettingRec& setting);

// Reads every setting of Ini into Session, each as its row says: a missing
// or refused value gives the default. This is the one reading of the
// configuration into the session; every row's value is also kept for
// TakenSetting.
void TakeSettings(const TIniReader& ini, TSession& session);

// The value the run took for the setting Section/Key (a row of the table),
// as TakeSettings left it in the session: as text, and as a number for a
// kInteger row. Code that needs a setting without a field of its own in the
// session asks here.
[[nodiscard]] std::string TakenSetting(std::string_view section, std::string_view key);
[[nodiscard]] std::int32_t TakenNumber(std::string_view section, std::string_view key);

// "utf8" when the first of LC_ALL, LC_CTYPE and LANG that is set (and not
// empty) names UTF-8 as its character set, else "cp437". Null means unset.
const char* CharsetFromLocale(const char* lcAll, const char* lcCtype, const char* lang);
// The same, read from this process's environment: the default of [main] charset.
const char* DefaultCharset();

}  // namespace corvix

namespace corvix {

// The editor command: [main] editor as Configured, else $VISUAL, else
// $EDITOR (null, empty or blank: unset). Source is set to where it came from
// ("[main] editor", "$VISUAL", "$EDITOR"); all empty when none is set.
std::string EditorCommand(const std::string& configured, const char* visual, const char* editor,
                          std::string& source);

}  // namespace corvix
