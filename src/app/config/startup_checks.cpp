// The checks that run before the first screen, the --check report and the
// reading of the configuration into the session.
#include "app/config/startup_checks.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "app/config/catalogue.h"
#include "app/config/config_search.h"
#include "app/config/host_text.h"
#include "app/config/ini_reader.h"
#include "app/config/options.h"
#include "app/config/session.h"
#include "app/config/settings.h"
#include "support/fd_io.h"
#include "support/file_utils.h"
#include "support/io_error.h"
#include "support/short_string.h"
#include "support/standard_output.h"
#include "support/string_utils.h"
#include "term/terminal_restore.h"

namespace corvix {
namespace {

constexpr std::int64_t kCatalogueRecSize = 768;
// Base numbers are 16 bits: a catalogue never holds more records than this.
constexpr std::int64_t kMaxCatalogueRecords = 65536;

// Text with its control bytes shown as '?': names and values come from the
// configuration file and go to a terminal.
std::string Shown(std::string_view text) { return ShownText(text, Session.Utf8Terminal); }

// "Subject: What ([section] key in IniPath)".
std::string Complaint(const std::string& subject, const std::string& what,
                      const std::string& setting, const std::string& iniPath) {
  return Shown(subject) + ": " + what + " (" + setting + " in " + iniPath + ")";
}

std::string NotSet(const std::string& setting, const std::string& iniPath,
                   const std::string& role) {
  return setting + " is not set in " + iniPath + ": it names " + role;
}

// Values the run would not take as written: it goes on with the default, so
// --check says which value is ignored and what is used instead. A value of a
// setting that refuses the run instead is returned as the problem.
std::string AddValueWarnings(const TIniReader& ini, const std::string& iniPath,
                             std::vector<std::string>& warnings) {
  std::string value;
  for (const TSettingRec& setting : Settings()) {
    if (!ini.ReadFull(setting.Section, setting.Key, value)) continue;
    const std::string problem = SettingValueProblem(setting, value);
    if (problem.empty()) continue;
    if (setting.RefusesRun) {
      std::string refusal = "[";
      refusal.append(setting.Section).append("] ").append(setting.Key).append(" = ");
      refusal.append(Shown(value)).append(" in ").append(Shown(iniPath)).append(": ");
      return refusal.append(problem);
    }
    std::int32_t n = 0;
    // The pause takes the low 16 bits of any whole number.
    const std::string used = setting.KeepsOutOfRange && ParseWholeNumber(value, n)
                                 ? "only its low 16 bits count (" + std::to_string(n & 0xFFFF) + ")"
                             : *setting.Default != '\0'
                                 ? std::string(setting.Default) + " is used"
                                 : "the default (" + std::string(setting.DefaultNote) + ") is used";
    // Built by appending: g++ 12 warns falsely about "literal" + temporary
    // string in release builds.
    std::string warning = "[";
    warning.append(setting.Section).append("] ").append(setting.Key).append(" = ");
    warning.append(Shown(value)).append(": ").append(problem).append("; ").append(used);
    warnings.push_back(std::move(warning));
  }
  return "";
}

bool HasControlByte(const std::string& text) {
  return std::any_of(text.begin(), text.end(), IsControlByte);
}

}  // namespace

std::string TerminalProblem(bool inputIsTerminal, bool outputIsTerminal) {
  if (inputIsTerminal && outputIsTerminal) return "";
  std::string which = !inputIsTerminal && !outputIsTerminal ? "standard input and output are"
                      : !inputIsTerminal                    ? "standard input is"
                                                            : "standard output is";
  return which +
         " not a terminal; the full-screen run needs one (--check tests the configuration without)";
}

std::string CatalogueProblem(const std::string& path, const std::string& cwd,
                             const std::string& setting, const std::string& iniPath,
                             std::int64_t& records) {
  records = 0;
  if (path.size() > ShortString::kMaxLength)
    return Complaint(path, "longer than 255 characters", setting, iniPath);
  // The messages name the file that was looked at, so a relative name shows
  // where it was looked for.
  const std::string file = AbsolutePath(path, cwd);
  // Without O_NONBLOCK a FIFO would wait here for a writer, where no key helps.
  int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return Complaint(file, std::strerror(errno), setting, iniPath);
  struct stat st {};
  int statResult = ::fstat(fd, &st);
  int statErrno = errno;
  ::close(fd);
  if (statResult != 0) return Complaint(file, std::strerror(statErrno), setting, iniPath);
  if (S_ISDIR(st.st_mode))
    return Complaint(file, "is a directory, not a catalogue file", setting, iniPath);
  if (!S_ISREG(st.st_mode))
    return Complaint(file, "is not a regular file (a FIFO, device or socket), not a catalogue",
                     setting, iniPath);
  // A partial record at the end is ignored, as the list ignores it.
  records = static_cast<std::int64_t>(st.st_size) / kCatalogueRecSize;
  if (records > kMaxCatalogueRecords)
    return Complaint(file,
                     "holds " + std::to_string(records) +
                         " records of 768 bytes, more than the 65536 base numbers a catalogue can "
                         "have: not a catalogue",
                     setting, iniPath);
  return "";
}

std::string HostDirProblem(const std::string& dir, const std::string& cwd,
                           const std::string& setting, const std::string& iniPath,
                           std::string& absolute) {
  absolute = AbsolutePath(dir, cwd);
  if (dir.size() > ShortString::kMaxLength)
    return Complaint(dir, "longer than 255 characters", setting, iniPath);
  if (absolute.size() > ShortString::kMaxLength)
    return Complaint(dir, "longer than 255 characters once made absolute (" + absolute + ")",
                     setting, iniPath);
  struct stat st {};
  if (::stat(absolute.c_str(), &st) != 0)
    return Complaint(absolute, std::strerror(errno), setting, iniPath);
  if (!S_ISDIR(st.st_mode)) return Complaint(absolute, "is not a directory", setting, iniPath);
  if (::access(absolute.c_str(), W_OK | X_OK) != 0)
    return Complaint(absolute, "is not writable for you (the job file is written there)", setting,
                     iniPath);
  return "";
}

std::string UtilityWarning(const std::string& hostDir) {
  std::string util =
      hostDir + (!hostDir.empty() && hostDir.back() == '/' ? "" : "/") + "corvixutil";
  struct stat st {};
  if (::stat(util.c_str(), &st) != 0)
    return util + ": " + std::strerror(errno) + "; every posting fails until it is there";
  if (!S_ISREG(st.st_mode) || ::access(util.c_str(), X_OK) != 0)
    return util + ": not an executable file; every posting fails until it is one";
  return "";
}

bool CommandFound(const std::string& command, const char* path) {
  const std::size_t start = command.find_first_not_of(" \t");
  if (start == std::string::npos) return false;
  const std::string word = command.substr(start, command.find_first_of(" \t", start) - start);
  // Shell syntax before the program's name: the shell decides, not this check.
  if (word.find_first_of("=$`'\"\\;|&<>(){}") != std::string::npos || word == "exec" ||
      word == "env" || word == "command")
    return true;
  auto runnable = [](const std::string& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(file.c_str(), X_OK) == 0;
  };
  if (word.find('/') != std::string::npos) return runnable(word);
  const std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t at = 0; at <= dirs.size();) {
    std::size_t colon = dirs.find(':', at);
    if (colon == std::string::npos) colon = dirs.size();
    const std::string dir = colon > at ? dirs.substr(at, colon - at) : ".";
    if (runnable(dir + "/" + word)) return true;
    at = colon + 1;
  }
  return false;
}

std::vector<std::string> OwnershipWarnings(const std::string& hostDir, unsigned uid) {
  std::vector<std::string> warnings;
  const std::string util =
      hostDir + (!hostDir.empty() && hostDir.back() == '/' ? "" : "/") + "corvixutil";
  for (const std::string& path : {hostDir, util}) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) continue;
    std::string who;
    const bool group = (st.st_mode & S_IWGRP) != 0, others = (st.st_mode & S_IWOTH) != 0;
    if (group || others)
      who = std::string("writable by ") + (group && others ? "group and others"
                                           : group         ? "its group"
                                                           : "others");
    if (st.st_uid != uid && st.st_uid != 0)
      who += std::string(who.empty() ? "" : " and ") + "owned by uid " + std::to_string(st.st_uid);
    if (who.empty()) continue;
    warnings.push_back(Shown(path) + ": " + who +
                       "; whoever can change it can make corvixmass run their code with your "
                       "rights (make it yours or root's, and chmod go-w)");
  }
  return warnings;
}

namespace {

// The editor a run would start, into F's report or warnings; the problem
// when its command is too long to be held.
std::string CheckEditor(const TIniReader& ini, const std::string& iniPath, TConfigFindings& f) {
  std::string source;
  const std::string editor = EditorCommand(SettingValue(ini, *FindSetting("main", "editor")),
                                           std::getenv("VISUAL"), std::getenv("EDITOR"), source);
  if (editor.size() > ShortString::kMaxLength) {
    // Held as a short string it would be cut, and the cut command run.
    return "the editor command (" + source +
           (source == "[main] editor" ? " in " + iniPath : std::string()) + ") is longer than " +
           std::to_string(ShortString::kMaxLength) + " characters";
  }
  if (editor.empty())
    f.Warnings.push_back(
        "no editor: [main] editor, $VISUAL and $EDITOR are unset; \"Edit file?\" cannot edit");
  else if (!CommandFound(editor, std::getenv("PATH")))
    f.Warnings.push_back("editor " + Shown(editor) + " (" + source +
                         "): not found in PATH; \"Edit file?\" fails until it is installed");
  else
    f.Report.push_back("editor: " + Shown(editor) + " (" + source + ")");
  return "";
}

// [corvix] mbases and [corvix] dir, into F's report and Absolute (the host
// directory); the problem with the first that fails.
std::string CheckHostFiles(const TIniReader& ini, const std::string& iniPath,
                           const std::string& cwd, TConfigFindings& f, std::string& absolute) {
  std::string bases;
  if (!ini.ReadFull("corvix", "mbases", bases) || bases.empty())
    return NotSet("[corvix] mbases", iniPath, "the host's message-base catalogue");
  std::int64_t records = 0;
  std::string problem = CatalogueProblem(bases, cwd, "[corvix] mbases", iniPath, records);
  if (!problem.empty()) return problem;
  f.Report.push_back("catalogue: " + Shown(bases) + ": " + std::to_string(records) + " records");
  f.CataloguePath = AbsolutePath(bases, cwd);

  std::string dir;
  if (!ini.ReadFull("corvix", "dir", dir) || dir.empty())
    return NotSet("[corvix] dir", iniPath, "the host directory, where corvixutil runs");
  return HostDirProblem(dir, cwd, "[corvix] dir", iniPath, absolute);
}

}  // namespace

TConfigFindings CheckConfiguration(const std::string& iniPath, const std::string& cwd) {
  TIniReader ini = TIniReader::FromText("");
  return CheckConfiguration(iniPath, cwd, ini);
}

TConfigFindings CheckConfiguration(const std::string& iniPath, const std::string& cwd,
                                   TIniReader& ini) {
  TConfigFindings f;
  std::string error;
  if (!TIniReader::Load(iniPath, ini, error)) {
    f.Problem = iniPath + ": " + error + " (the configuration file; --config FILE reads another)";
    return f;
  }
  f.Report.push_back("configuration: " + iniPath);
  for (const TIniReader::Entry& e : ini.Entries())
    f.Report.push_back(
        "  [" + Shown(e.Section) + "] " + Shown(e.Key) + " = " + Shown(e.Value) +
        (FindSetting(e.Section, e.Key) != nullptr ? "" : "    (unknown key, ignored)"));
  std::string charset;
  if (ini.ReadFull("main", "charset", charset))
    f.Report.push_back("charset: " + Shown(charset));
  else
    f.Report.push_back(std::string("charset: ") + DefaultCharset() + " (not set: from the locale)");
  f.Problem = AddValueWarnings(ini, iniPath, f.Invalid);
  if (!f.Problem.empty()) return f;
  if (const std::string key = ValueWithControlByte(ini); !key.empty()) {
    f.Problem = Shown(key) + " in " + iniPath +
                " holds a control character; values may hold only printable characters";
    return f;
  }
  // The form shows and edits these texts in code page 437, so a character
  // it lacks could be neither shown nor posted as written.
  for (const char* key : {"from", "to", "subject"}) {
    std::string value, converted;
    if (!ini.ReadFull("message", key, value)) continue;
    const std::string problem =
        HostTextProblem(std::string("[message] ") + key, value, false, converted);
    if (!problem.empty()) {
      f.Problem = problem + " (in " + Shown(iniPath) + ")";
      return f;
    }
  }
  f.Problem = CheckEditor(ini, iniPath, f);
  if (!f.Problem.empty()) return f;
  std::string absolute;
  f.Problem = CheckHostFiles(ini, iniPath, cwd, f, absolute);
  if (!f.Problem.empty()) return f;
  f.Report.push_back("host directory: " + Shown(absolute) + " (writable)");
  f.Notes = OwnershipWarnings(absolute, ::geteuid());
  std::string warning = UtilityWarning(absolute);
  if (warning.empty())
    f.Report.push_back("utility: " + Shown(absolute) + (absolute.back() == '/' ? "" : "/") +
                       "corvixutil");
  else
    f.Invalid.push_back(Shown(warning));
  return f;
}

void CatalogueWarnings(const std::string& path, std::vector<std::string>& warnings,
                       std::vector<std::string>& failures) {
  std::vector<TCatalogueEntryRec> bases;
  try {
    bases = ReadCatalogue(ShortString(path));
  } catch (const IoError& e) {
    failures.push_back(Shown(e.what()));
    return;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && st.st_size % kCatalogueRecSize != 0)
    failures.push_back(Shown(path) + ": " + std::to_string(st.st_size) +
                       " bytes are not a whole number of 768-byte records: not a catalogue, or "
                       "one cut short");
  std::vector<std::uint8_t> seen(kMaxCatalogueRecords, 0);
  std::int64_t repeated = 0, controls = 0, printable = 0;
  std::string firstRepeated, firstControl;
  for (const TCatalogueEntryRec& base : bases) {
    const std::string number = std::to_string(base.Number);
    if (seen[base.Number] < 2 && seen[base.Number]++ == 1 && repeated++ == 0)
      firstRepeated = number;
    const bool control = HasControlByte(base.Name) || HasControlByte(base.Tag);
    if (control && controls++ == 0) firstControl = number;
    if (!control && base.Name.find_first_not_of(' ') != std::string::npos) ++printable;
  }
  if (repeated > 0)
    warnings.push_back(Shown(path) + ": " + std::to_string(repeated) +
                       (repeated == 1 ? " base number appears" : " base numbers appear") +
                       " more than once (the first: " + firstRepeated +
                       "); --bases and saved selections take every base of a number");
  if (controls > 0)
    warnings.push_back(Shown(path) + ": " + std::to_string(controls) +
                       (controls == 1 ? " record holds" : " records hold") +
                       " control bytes in their name or echo tag (the first: base " + firstControl +
                       "); they show as '?'");
  if (!bases.empty() && printable == 0)
    failures.push_back(Shown(path) + ": no record has a printable name: not a catalogue");
}

void RequestTerminalSize(int fd) {
  winsize ws{};
  if (::ioctl(fd, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0 || ws.ws_row == 0) return;
  if (ws.ws_col >= 80 && ws.ws_row >= 25) return;
  // A dimension already large enough is kept, so a tall narrow window is
  // only widened.
  const int rows = std::max<int>(ws.ws_row, 25), cols = std::max<int>(ws.ws_col, 80);
  const std::string request = "\x1b[8;" + std::to_string(rows) + ";" + std::to_string(cols) + "t";
  if (WriteFully(fd, request.data(), request.size()) == request.size())
    NoteSizeRequest(fd, ws.ws_row, ws.ws_col, rows, cols);  // given back on the way out
}

namespace {

// The --check report on standard output: what was found, then what a run
// would get wrong, then "ok" when nothing.
void PrintCheckReport(const TConfigFindings& found) {
  // Every line may name a path or a value from outside.
  for (const std::string& line : found.Report) PrintfStdout("%s\n", Shown(line).c_str());
  for (const std::string& line : found.Warnings) PrintfStdout("warning: %s\n", Shown(line).c_str());
  for (const std::string& line : found.Notes) PrintfStdout("warning: %s\n", Shown(line).c_str());
  for (const std::string& line : found.Invalid) PrintfStdout("not ok: %s\n", Shown(line).c_str());
  if (found.Problem.empty() && found.Invalid.empty()) PrintStdout("ok\n");
  FlushStdout();
}

// Finds and checks the configuration (into Session.IniPath and Ini), for
// --check with the places looked at and the catalogue's looks.
TConfigFindings FindAndCheckConfiguration(const TOptionsRec& options, bool check, TIniReader& ini) {
  const TConfigSearchRec search = FindConfiguration(options.ConfigPath);
  Session.IniPath = search.Path;
  if (check) {
    std::string looked;
    for (const std::string& place : search.Looked) looked += (looked.empty() ? "" : ", ") + place;
    PrintfStdout("looked for the configuration at: %s\n", Shown(looked).c_str());
  }
  TConfigFindings found;
  if (search.Path.empty())
    found.Problem = Shown(NoConfigurationMessage(search));
  else
    found = CheckConfiguration(Session.IniPath, CurrentDir(), ini);
  // Only --check reads the whole catalogue for its looks; a run reads it anyway.
  if (check && found.Problem.empty() && !found.CataloguePath.empty())
    CatalogueWarnings(found.CataloguePath, found.Warnings, found.Invalid);
  return found;
}

}  // namespace

std::optional<int> CheckBeforeStart(const TOptionsRec& options) {
  const bool screens = options.Mode == TRunMode::kScreens;
  const bool check = options.Mode == TRunMode::kCheck;
  if (screens) {
    std::string problem =
        TerminalProblem(::isatty(STDIN_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1);
    if (!problem.empty()) {
      SayProblem(problem);
      return 1;
    }
  }
  // The file is read here once: the run takes its settings from this reading.
  TIniReader ini = TIniReader::FromText("");
  const TConfigFindings found = FindAndCheckConfiguration(options, check, ini);
  if (check) {
    PrintCheckReport(found);
  } else {
    // Said, not enforced: the operator may have reasons, but should know.
    for (const std::string& line : found.Notes) SayProblem("warning: " + line);
    for (const std::string& line : found.Invalid) SayProblem("warning: " + line);
  }
  if (!found.Problem.empty()) {
    SayProblem(found.Problem);
    return 1;
  }
  if (check && !found.Invalid.empty()) {
    SayProblem(Session.IniPath + ": a run would not go as configured (see \"not ok\")");
    return 1;
  }
  if (check) return 0;
  TakeSettings(ini, Session);
  if (screens) RequestTerminalSize(STDOUT_FILENO);
  return std::nullopt;
}

}  // namespace corvix
