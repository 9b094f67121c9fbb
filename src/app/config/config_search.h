// Where corvixmass.ini is looked for: the places in order, and the first one
// that holds a file.
#pragma once

#include <string>
#include <vector>

namespace corvix {

// The surroundings the search depends on; null or empty means unset.
struct TConfigPlacesRec {
  std::string ConfigOption;         // --config FILE
  const char* EnvConfig = nullptr;  // $CORVIXMASS_CONFIG
  std::string AppDir;               // the executable's directory, with its '/'
  const char* XdgConfigHome = nullptr;
  const char* Home = nullptr;
};

struct TConfigSearchRec {
  std::string Path;                 // the file to read; empty when none was found
  std::vector<std::string> Looked;  // every place looked at, in order, up to the one used
  bool Named = false;               // Path was named (--config or $CORVIXMASS_CONFIG)
};

// The places in order: a file named by --config, else by $CORVIXMASS_CONFIG,
// is the only one (a mistyped name is an error, not a quiet fall-back);
// otherwise corvixmass.ini beside the executable,
// $XDG_CONFIG_HOME/corvixmass/corvixmass.ini (~/.config/... when unset) and
// /etc/corvixmass/corvixmass.ini, the first that exists winning.
TConfigSearchRec FindConfiguration(const TConfigPlacesRec& places);

// The same for this process: its options, environment and executable.
TConfigSearchRec FindConfiguration(const std::string& configOption);

// "no configuration file: looked for A, B and C" for a search that found none.
std::string NoConfigurationMessage(const TConfigSearchRec& search);

}  // namespace corvix
