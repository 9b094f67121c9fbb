// The temporary host of the end-to-end tests.
#include "host_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace corvix::e2e {
namespace {

void Shell(const std::string& cmd) {
  if (std::system(cmd.c_str()) != 0) throw std::runtime_error("command failed: " + cmd);
}

// The utility the tests install: it keeps a copy of each job file it is handed
// (received-1.ini, received-2.ini ...) and notes its directory and arguments.
constexpr char kRecordingUtility[] =
    "#!/bin/sh\n"
    "n=$(ls received-*.ini 2>/dev/null | wc -l)\n"
    "n=$((n + 1))\n"
    "cp aupload.ini received-$n.ini\n"
    "echo \"$(pwd) $#:$*\" >> calls.log\n";

}  // namespace

void HostFixture::SetUp() {
  root_ = tmp_.Path();
  root_.pop_back();
  appDir_ = root_ + "/app";
  hostDir_ = root_ + "/host";
  workDir_ = root_ + "/work";
  Shell("mkdir -p '" + appDir_ + "' '" + hostDir_ + "' '" + workDir_ + "'");
  Shell(std::string("cp '") + CORVIX_EXE + "' '" + appDir_ + "/corvixmass'");
  WriteFile(hostDir_ + "/corvixutil", kRecordingUtility);
  chmod((hostDir_ + "/corvixutil").c_str(), 0755);
  WriteCatalogue(
      "7\tLINUX.7\tLinux help\n"
      "20\tRETRO\tRetro computing\n"
      "65535\tLAST.BASE\tThe last base\n");
  WriteFile(workDir_ + "/message.txt", "Hello all,\nthis is the message.\n");
  WriteConfig(DefaultConfig());
  // The posting log of every run goes below the test's own directory.
  setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);
}

void HostFixture::TearDown() { run_.reset(); }

std::string HostFixture::DefaultConfig(const std::string& extraMain) const {
  return "[main]\ndelay = 0\n" + extraMain + "\n[corvix]\nmbases = " + hostDir_ +
         "/mbases.dat\ndir = " + hostDir_ +
         "\n\n[message]\nfrom = The Sysop\nto = All\nsubject = News\n";
}

void HostFixture::WriteConfig(const std::string& text) {
  WriteFile(appDir_ + "/corvixmass.ini", text);
}

void HostFixture::WriteCatalogue(const std::string& list) {
  WriteFile(root_ + "/bases.tsv", list);
  Shell(std::string("'") + CORVIX_MKCATALOG_EXE + "' '" + hostDir_ + "/mbases.dat' '" + root_ +
        "/bases.tsv' 2>/dev/null");
}

PtySession& HostFixture::Start(const std::vector<std::string>& args, int columns, int rows) {
  run_ = std::make_unique<PtySession>(appDir_ + "/corvixmass", args, workDir_,
                                      std::vector<std::string>{}, columns, rows);
  return *run_;
}

PtySession& HostFixture::StartWith(const std::vector<std::string>& env,
                                   const std::vector<std::string>& args, int columns, int rows) {
  run_ = std::make_unique<PtySession>(appDir_ + "/corvixmass", args, workDir_, env, columns, rows);
  return *run_;
}

bool HostFixture::OpenBaseList(PtySession& run) {
  if (!run.WaitForText("Edit file?")) return false;
  run.Send("n");
  return run.WaitForText("Select Message Base(s)");
}

bool HostFixture::MarkFirstBaseUpToConfirmation(PtySession& run) {
  if (!OpenBaseList(run)) return false;
  run.Send(kTab);
  run.Send(kEnter);
  if (!run.WaitForText("Message Info")) return false;
  run.Send("s");
  run.Send(kEnter);
  run.SendEscape();
  return run.WaitForText("Press ESC to Abort.");
}

bool HostFixture::GiveSubjectAfterNotice(PtySession& run, const std::string& subject) {
  if (!run.WaitForText("Message Info")) return false;
  run.SendEscape();
  if (!run.WaitForText("You have to apply a subject...")) return false;
  run.Send(kEnter);
  run.Send("s");
  run.Send(subject);
  run.Send(kEnter);
  run.SendEscape();
  return run.WaitForText("Press ESC to Abort.");
}

std::string HostFixture::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void HostFixture::WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool HostFixture::Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace corvix::e2e
