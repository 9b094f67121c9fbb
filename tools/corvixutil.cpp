// corvixutil: a stand-in for the host's batch utility, for the demo host and
// the tests. It does what corvixmass relies on the real one to do: read the
// job file named by its argument from its working directory, check its
// 20-line layout, and post the message. "Posting" here appends the message to
// a file per base, bases/<number>.txt beside this executable, and logs one
// line per posting to corvixutil.log in the working directory.
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kFixed[13] = {"[General]",
                                "",
                                "  PostTextFiles = true",
                                "  logfile = corvixutil.log",
                                "  loglevel = 3",
                                "  logtype = 1",
                                "  maxlogfiles = 31",
                                "  maxlogsize = 1500",
                                "",
                                "[PostTextFiles]",
                                "",
                                "  totalfiles = 1",
                                ""};
const char* const kKeys[7] = {
    "  file1_name    = ", "  file1_baseidx = ", "  file1_from    = ", "  file1_to      = ",
    "  file1_subj    = ", "  file1_addr    = ", "  file1_delfile = "};

std::string Now() {
  std::time_t t = std::time(nullptr);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
  return buf;
}

std::string Cwd() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) ? buf : "?";
}

std::string OwnDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string p(buf, static_cast<std::size_t>(n));
  return p.substr(0, p.rfind('/'));
}

void Log(const std::string& line) {
  std::ofstream log("corvixutil.log", std::ios::app);
  log << Now() << " " << line << "\n";
}

int Fail(const std::string& why) {
  Log("ERROR " + why);
  std::fprintf(stderr, "corvixutil: %s\n", why.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: corvixutil JOBFILE");
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) return Fail(std::string("cannot read job file ") + argv[1] + " in " + Cwd());
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) return Fail("job file's last line has no line feed");
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (lines.size() != 20)
    return Fail("job file has " + std::to_string(lines.size()) + " lines, not 20");
  for (int i = 0; i < 13; ++i)
    if (lines[i] != kFixed[i]) return Fail("job file line " + std::to_string(i + 1) + " is wrong");
  std::string value[7];
  for (int i = 0; i < 7; ++i) {
    const std::string key = kKeys[i];
    if (lines[13 + i].compare(0, key.size(), key) != 0)
      return Fail("job file line " + std::to_string(14 + i) + " is wrong");
    value[i] = lines[13 + i].substr(key.size());
  }
  const std::string& file = value[0];
  const std::string& base = value[1];
  if (base.empty() || base.find_first_not_of("0123456789") != std::string::npos)
    return Fail("bad base number '" + base + "'");
  if (value[6] != "false") return Fail("file1_delfile must be false");

  std::ifstream msg(file, std::ios::binary);
  if (!msg) return Fail("cannot read message file " + file + " from " + Cwd());
  std::string body((std::istreambuf_iterator<char>(msg)), std::istreambuf_iterator<char>());

  std::string dir = OwnDir() + "/bases";
  mkdir(dir.c_str(), 0755);
  std::ofstream out(dir + "/" + base + ".txt", std::ios::app | std::ios::binary);
  out << "Base: " << base << "\nFrom: " << value[2] << "\nTo: " << value[3]
      << "\nSubject: " << value[4] << "\nAddress: " << value[5] << "\n\n"
      << body << (body.empty() || body.back() == '\n' ? "" : "\n") << "--- end of message\n";
  out.close();
  if (!out) return Fail("cannot write to " + dir + "/" + base + ".txt");
  Log("posted base=" + base + " file=" + file + " from='" + value[2] + "' to='" + value[3] +
      "' subj='" + value[4] + "' cwd=" + Cwd() + " args=" + argv[1]);
  return 0;
}
