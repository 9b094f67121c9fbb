// File and path helpers: splitting names and paths, whole-file operations and
// directory queries. They never throw; failures come back as false, "" or 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/short_string.h"

namespace corvix {

// True when Name exists and is not a directory.
bool FileExists(const ShortString& name);
// True when Path names a directory; "" is false, "/" is true.
bool DirExists(const ShortString& path);

// Name up to and including its last '/' or '\'; "" when it holds no '/'.
ShortString JustPath(const ShortString& name);
// The characters after the last '/' or '\'; all of Name when there is none.
ShortString JustFile(const ShortString& name);
// The characters after the last '.'; "" when there is none.
ShortString JustExt(const ShortString& name);
// Name without its last '.' and what follows it.
ShortString StripExt(const ShortString& name);
// Name up to and including its last '.', then Ext; Name + "." + Ext without a '.'.
ShortString ForceExt(const ShortString& name, const ShortString& ext);
// The directory above Path, ending in '/'; "./" for a relative name with no
// directory part (its parent is the working directory, not the root).
ShortString ParentDir(const ShortString& path);
// Name made absolute against Dir when it is relative; an absolute or empty
// name as it is. Not cut at 255: the result may be checked for its length.
std::string AbsolutePath(std::string_view name, std::string_view dir);
// Dir and Name with one '/' between them ("" + Name is "/" + Name).
std::string JoinPath(std::string_view dir, std::string_view name);
// The working directory, or "" when it cannot be read.
std::string CurrentDir();

// The program's own path (argument 0): the absolute path of the running
// executable as /proc/self/exe names it, read once; "" when it cannot be read.
ShortString ProgramArg0();
// AddSlash(JustPath(argument 0)).
ShortString ProgramPath();
// StripExt(argument 0).
ShortString ProgramBase();

// Deletes the file; true on success.
[[nodiscard]] bool EraseFile(const ShortString& name);
// Copies Source to Target (created or truncated) in 4096-byte blocks; true only
// after a complete copy.
[[nodiscard]] bool CopyFile(const ShortString& source, const ShortString& target);
// Deletes Target (ignoring failure), then renames Source to Target.
[[nodiscard]] bool MoveFile(const ShortString& source, const ShortString& target);
// Creates every missing directory of Path; true when all levels exist.
[[nodiscard]] bool MakePath(const ShortString& path);
// Changes the working directory; true on success.
[[nodiscard]] bool ChangeDir(const ShortString& path);
// Deletes every plain, visible file of Dir whose name differs from Keep,
// ignoring case. A Dir without its trailing '/' gets one; an empty Dir does
// nothing.
void EraseAllExcept(const ShortString& dir, const ShortString& keep);
// JustPath(Name) + the stored spelling of the entry whose name equals
// JustFile(Name) ignoring case (the first in directory order); Name unchanged
// when there is none. A name that exists exactly as given is its own answer,
// never a different file that differs only in case.
ShortString FindNoCase(const ShortString& name);
// The size of the file Name; 0 when it is not found.
std::int64_t SizeOfFile(const ShortString& name);
// Number of entries of Dir that are not directories (a missing trailing '/'
// is added; an empty Dir is the working directory).
std::int32_t CountFiles(const ShortString& dir);
// Wildcard test of Name against Mask ('*' and '?'); see file_utils.cpp.
bool WildMatch(const ShortString& mask, const ShortString& name, bool ignoreCase);

}  // namespace corvix
