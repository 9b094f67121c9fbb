// The posting job: the 20-line job file handed to the host utility, and the
// run of the utility in the host directory once per marked base.
#pragma once

#include <string>

#include "support/short_string.h"

namespace corvix {

inline constexpr char kJobFileName[] = "aupload.ini";
inline constexpr char kUtilityCommand[] = "./corvixutil aupload.ini";
// The node address of line 19; the host utility needs one of this form.
inline constexpr char kNodeAddress[] = "1:1/100";
// Characters of a value that fit after the 18-character prefix of lines 14-19.
inline constexpr std::size_t kJobValueRoom = 255 - 18;

// What varies from one job file to the next.
struct TJobRec {
  ShortString MsgFile;
  ShortString BaseNumber;
  ShortString From;
  ShortString To;
  ShortString Subject;
};

// The job file's bytes: 20 lines, each ended by LF, each line cut at 255.
std::string BuildJobFile(const TJobRec& job);

// AddSlash(HostDir) + "aupload.ini", never cut: a host directory near 255
// characters must not turn the name into another file beside a stale job.
std::string JobFilePath(const ShortString& hostDir);

// The name of the first value that holds a CR or LF ("message file name",
// "From", "To", "Subject"), or an empty text when none does. Such a value
// would forge extra lines in the job file.
ShortString ValueWithLineBreak(const TJobRec& job);

// Writes Content to Path, replacing the file, checked to the end: a failed
// open, a short write or a failed close throws IoError.
void WriteJobFile(const std::string& path, const std::string& content);

// Writes the job file for one base into the host directory, changes into the
// host directory and runs the utility there, holding an exclusive lock on the
// job file from writing it until the utility has ended. Returns the wait
// status of the utility (-1 when it could not be started).
int PostToBase(const ShortString& msgFile, const ShortString& baseNumber);

}  // namespace corvix
