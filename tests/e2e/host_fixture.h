// A temporary host for end-to-end runs: a copy of corvixmass with its
// corvixmass.ini beside it, a catalogue, and a host directory whose utility
// records every job file it is handed.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "pty_session.h"
#include "testkit/temp_dir.h"

namespace corvix::e2e {

class HostFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes corvixmass.ini beside the copied program.
  void WriteConfig(const std::string& text);
  // The default configuration: the host below, delay 0, From/To/Subject set.
  std::string DefaultConfig(const std::string& extraMain = "") const;
  // Writes the catalogue from "number<TAB>tag<TAB>name" lines.
  void WriteCatalogue(const std::string& list);
  // Starts the program in the work directory with Args.
  PtySession& Start(const std::vector<std::string>& args, int columns = 80, int rows = 25);
  // The same with extra environment entries ("TERM=linux").
  PtySession& StartWith(const std::vector<std::string>& env, const std::vector<std::string>& args,
                        int columns = 80, int rows = 25);

  // From the "Edit file?" question: answers no, up to the base list (whose
  // later lines may still be on their way). False when a screen did not show.
  static bool OpenBaseList(PtySession& run);
  // From the "Edit file?" question: answers no, marks the first base, opens
  // the subject field once and leaves the form, up to the confirmation list.
  // False when a screen on the way did not show.
  static bool MarkFirstBaseUpToConfirmation(PtySession& run);
  // From the message form with no subject: Escape brings the notice, then
  // Subject is typed into the emptied field, up to the confirmation list.
  static bool GiveSubjectAfterNotice(PtySession& run, const std::string& subject);

  static std::string ReadFile(const std::string& path);
  static void WriteFile(const std::string& path, const std::string& text);
  static bool Exists(const std::string& path);

  testkit::TempDir tmp_;  // removed with everything in it when the test is done
  std::string root_;      // tmp_ without its '/': everything of one test lives below here
  std::string appDir_;    // the copied program and its corvixmass.ini
  std::string hostDir_;   // catalogue, utility, job files
  std::string workDir_;   // the working directory the program starts in
  std::unique_ptr<PtySession> run_;
};

// Keys as a terminal sends them.
inline constexpr char kTab[] = "\t";
inline constexpr char kEnter[] = "\r";
inline constexpr char kDown[] = "\x1b[B";
inline constexpr char kRight[] = "\x1b[C";
inline constexpr char kLeft[] = "\x1b[D";

}  // namespace corvix::e2e
