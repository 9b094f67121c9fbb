// The checks that run before the first screen, and the --check report.
#include "app/startup_checks.h"

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
#include <vector>

#include "app/command_line.h"
#include "app/ini_reader.h"
#include "app/session.h"
#include "support/fd_io.h"
#include "support/file_utils.h"
#include "support/short_string.h"

namespace corvix {
namespace {

constexpr std::int64_t kCatalogueRecSize = 768;
// Base numbers are 16 bits: a catalogue never holds more records than this.
constexpr std::int64_t kMaxCatalogueRecords = 65536;

// Text with its control bytes shown as '?': names and values come from the
// configuration file and go to a terminal.
std::string Shown(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  return text;
}

// "corvixmass: Subject: What ([section] key in IniPath)".
std::string Complaint(const std::string& subject, const std::string& what,
                      const std::string& setting, const std::string& iniPath) {
  return "corvixmass: " + Shown(subject) + ": " + what + " (" + setting + " in " + iniPath + ")";
}

std::string NotSet(const std::string& setting, const std::string& iniPath,
                   const std::string& role) {
  return "corvixmass: " + setting + " is not set in " + iniPath + ": it names " + role;
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

// The keys the program reads, for telling a mistyped key in --check.
bool KnownKey(const std::string& section, const std::string& key) {
  static const char* const kKeys[][2] = {
      {"main", "editor"},   {"main", "temp_folder"},  {"main", "signature"}, {"main", "delay"},
      {"main", "charset"},  {"main", "escape_delay"}, {"main", "colors"},    {"main", "redraw"},
      {"corvix", "mbases"}, {"corvix", "corvixutil"}, {"corvix", "dir"},     {"message", "from"},
      {"message", "to"},    {"message", "subject"}};
  for (const auto& k : kKeys)
    if (Lower(section) == k[0] && Lower(key) == k[1]) return true;
  return false;
}

// Values of [main] that the run would not take as written: it goes on with
// the default, so --check says which value is ignored.
void AddValueWarnings(const TIniReader& ini, std::vector<std::string>& warnings) {
  struct Choice {
    const char* Key;
    std::vector<std::string> Values;
    const char* Used;
  };
  const Choice choices[] = {{"charset", {"cp437", "utf8", "utf-8"}, "cp437 is used"},
                            {"colors", {"bold", "explicit"}, "the default for TERM is used"},
                            {"redraw", {"changes", "full"}, "changes is used"}};
  std::string value;
  for (const Choice& c : choices) {
    if (!ini.ReadFull("main", c.Key, value)) continue;
    if (std::find(c.Values.begin(), c.Values.end(), Lower(value)) == c.Values.end())
      warnings.push_back("[main] " + std::string(c.Key) + " = " + Shown(value) + ": not one of " +
                         c.Values[0] + ", " + c.Values[1] + "; " + c.Used);
  }
  // Whole numbers within a range; anything else takes the default.
  const struct {
    const char* Key;
    long Low, High;
    const char* Default;
  } numbers[] = {{"escape_delay", 10, 1000, "50"}, {"delay", 0, 65535, "100"}};
  for (const auto& n : numbers) {
    if (!ini.ReadFull("main", n.Key, value)) continue;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(value.c_str(), &end, 10);
    const bool number =
        !value.empty() && *end == '\0' && errno == 0 && v >= INT32_MIN && v <= INT32_MAX;
    if (number && v >= n.Low && v <= n.High) continue;
    // The pause takes the low 16 bits of any whole number.
    const std::string used = number && std::strcmp(n.Key, "delay") == 0
                                 ? "only its low 16 bits count (" + std::to_string(v & 0xFFFF) + ")"
                                 : std::string(n.Default) + " is used";
    warnings.push_back("[main] " + std::string(n.Key) + " = " + Shown(value) +
                       ": not a whole number from " + std::to_string(n.Low) + " to " +
                       std::to_string(n.High) + "; " + used);
  }
}

// Name made absolute against Cwd when it is relative.
std::string Absolute(const std::string& name, const std::string& cwd) {
  if (name.empty() || name[0] == '/') return name;
  return cwd + (!cwd.empty() && cwd.back() == '/' ? "" : "/") + name;
}

}  // namespace

std::string TakeStartupOptions(int& argc, char** argv, TStartupOptions& options) {
  std::string problem;
  int out = 1;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!optionsEnded && std::strcmp(a, "--") == 0) {
      optionsEnded = true;
    } else if (!optionsEnded && std::strcmp(a, "--check") == 0) {
      options.Check = true;
    } else if (!optionsEnded && std::strcmp(a, "--config") == 0) {
      if (i + 1 < argc && argv[i + 1][0] != '\0') {
        options.ConfigPath = argv[++i];
      } else {
        problem = "corvixmass: --config needs the name of a configuration file";
        if (i + 1 < argc) ++i;
      }
    } else if (!optionsEnded && std::strncmp(a, "--config=", 9) == 0) {
      options.ConfigPath = a + 9;
      if (options.ConfigPath.empty())
        problem = "corvixmass: --config needs the name of a configuration file";
    } else {
      // The interactive run knows --help, --version and --select NAME; the
      // first other option is remembered (an unattended run reads its own).
      if (!optionsEnded && std::strcmp(a, "--select") == 0 && i + 1 < argc) {
        argv[out++] = argv[i++];
      } else if (!optionsEnded && std::strncmp(a, "--", 2) == 0 && std::strcmp(a, "--help") != 0 &&
                 std::strcmp(a, "--version") != 0 && options.UnknownOption.empty()) {
        options.UnknownOption = a;
      }
      argv[out++] = argv[i];
    }
  }
  argv[out] = nullptr;
  argc = out;
  return problem;
}

std::string DefaultConfigPath() { return JustPath(ProgramArg0()).Str() + "corvixmass.ini"; }

std::string TerminalProblem(bool inputIsTerminal, bool outputIsTerminal) {
  if (inputIsTerminal && outputIsTerminal) return "";
  std::string which = !inputIsTerminal && !outputIsTerminal ? "standard input and output are"
                      : !inputIsTerminal                    ? "standard input is"
                                                            : "standard output is";
  return "corvixmass: " + which +
         " not a terminal; the full-screen run needs one (--check tests the configuration without)";
}

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

std::string CatalogueProblem(const std::string& path, const std::string& cwd,
                             const std::string& setting, const std::string& iniPath,
                             std::int64_t& records) {
  records = 0;
  if (path.size() > ShortString::kMaxLength)
    return Complaint(path, "longer than 255 characters", setting, iniPath);
  // The messages name the file that was looked at, so a relative name shows
  // where it was looked for.
  const std::string file = Absolute(path, cwd);
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
  absolute = Absolute(dir, cwd);
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

TConfigFindings CheckConfiguration(const std::string& iniPath, const std::string& cwd) {
  TConfigFindings f;
  TIniReader ini = TIniReader::FromText("");
  std::string error;
  if (!TIniReader::Load(iniPath, ini, error)) {
    f.Problem = "corvixmass: " + iniPath + ": " + error +
                " (the configuration file; --config FILE reads another)";
    return f;
  }
  f.Report.push_back("configuration: " + iniPath);
  for (const TIniReader::Entry& e : ini.Entries())
    f.Report.push_back("  [" + Shown(e.Section) + "] " + Shown(e.Key) + " = " + Shown(e.Value) +
                       (KnownKey(e.Section, e.Key) ? "" : "    (unknown key, ignored)"));
  std::string charset;
  if (ini.ReadFull("main", "charset", charset))
    f.Report.push_back("charset: " + Shown(charset));
  else
    f.Report.push_back(std::string("charset: ") + DefaultCharset() + " (not set: from the locale)");
  AddValueWarnings(ini, f.Warnings);
  if (const std::string key = ValueWithControlByte(ini); !key.empty()) {
    f.Problem = "corvixmass: " + Shown(key) + " in " + iniPath +
                " holds a control character; values may hold only printable characters";
    return f;
  }

  std::string bases;
  if (!ini.ReadFull("corvix", "mbases", bases) || bases.empty()) {
    f.Problem = NotSet("[corvix] mbases", iniPath, "the host's message-base catalogue");
    return f;
  }
  std::int64_t records = 0;
  f.Problem = CatalogueProblem(bases, cwd, "[corvix] mbases", iniPath, records);
  if (!f.Problem.empty()) return f;
  f.Report.push_back("catalogue: " + Shown(bases) + ": " + std::to_string(records) + " records");

  std::string dir, absolute;
  if (!ini.ReadFull("corvix", "dir", dir) || dir.empty()) {
    f.Problem = NotSet("[corvix] dir", iniPath, "the host directory, where corvixutil runs");
    return f;
  }
  f.Problem = HostDirProblem(dir, cwd, "[corvix] dir", iniPath, absolute);
  if (!f.Problem.empty()) return f;
  f.Report.push_back("host directory: " + Shown(absolute) + " (writable)");
  std::string warning = UtilityWarning(absolute);
  if (warning.empty())
    f.Report.push_back("utility: " + Shown(absolute) + (absolute.back() == '/' ? "" : "/") +
                       "corvixutil");
  else
    f.Warnings.push_back(Shown(warning));
  return f;
}

std::string ScreenSizeProblem(int fd, int waitMs) {
  winsize ws{};
  if (::ioctl(fd, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0 || ws.ws_row == 0) return "";
  if (ws.ws_col >= 80 && ws.ws_row >= 25) return "";
  // The resize request of the screen object; a dimension already large
  // enough is kept, so a tall narrow window is only widened.
  const int rows = std::max<int>(ws.ws_row, 25), cols = std::max<int>(ws.ws_col, 80);
  const std::string request = "\x1b[8;" + std::to_string(rows) + ";" + std::to_string(cols) + "t";
  // SIGWINCH is blocked and waited for, so the wait ends as soon as the size
  // changes; the size is read again at least every 50 ms in case the terminal
  // changed it without a signal reaching this process.
  sigset_t winch, old;
  sigemptyset(&winch);
  sigaddset(&winch, SIGWINCH);
  sigprocmask(SIG_BLOCK, &winch, &old);
  WriteFully(fd, request.data(), request.size());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (::ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col >= 80 && ws.ws_row >= 25) break;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) break;
    timespec slice{0, static_cast<long>(std::min<long long>(left, 50)) * 1000000L};
    sigtimedwait(&winch, nullptr, &slice);
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);
  if (ws.ws_col >= 80 && ws.ws_row >= 25) return "";
  return TerminalSizeProblem(ws.ws_col, ws.ws_row) +
         " The terminal did not take the request to grow: make the window at least 80 columns wide "
         "and 25 rows high, then start again.";
}

int CheckBeforeStart(const TStartupOptions& options) {
  Session.IniPath = options.ConfigPath.empty() ? DefaultConfigPath() : options.ConfigPath;
  if (!options.Check && !options.Unattended) {
    std::string problem =
        TerminalProblem(::isatty(STDIN_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1);
    if (!problem.empty()) {
      std::fprintf(stderr, "%s\n", problem.c_str());
      return 1;
    }
  }
  char cwd[PATH_MAX];
  TConfigFindings found = CheckConfiguration(Session.IniPath, ::getcwd(cwd, sizeof cwd) ? cwd : "");
  if (options.Check) {
    for (const std::string& line : found.Report) std::printf("%s\n", line.c_str());
    for (const std::string& line : found.Warnings) std::printf("warning: %s\n", line.c_str());
    if (found.Problem.empty()) std::printf("ok\n");
    std::fflush(stdout);
  }
  if (!found.Problem.empty()) {
    std::fprintf(stderr, "%s\n", found.Problem.c_str());
    return 1;
  }
  if (options.Check) return 0;
  if (options.Unattended) return -1;
  std::string problem = ScreenSizeProblem(STDOUT_FILENO, 300);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }
  return -1;
}

}  // namespace corvix
