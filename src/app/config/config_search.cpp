// The configuration search order.
#include "app/config/config_search.h"

#include <sys/stat.h>

#include <cstdlib>

#include "support/file_utils.h"

namespace corvix {
namespace {

bool Set(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

TConfigSearchRec FindConfiguration(const TConfigPlacesRec& places) {
  TConfigSearchRec search;
  const std::string named = !places.ConfigOption.empty() ? places.ConfigOption
                            : Set(places.EnvConfig)      ? places.EnvConfig
                                                         : "";
  if (!named.empty()) {
    search.Path = named;
    search.Looked.push_back(named);
    search.Named = true;
    return search;
  }
  std::vector<std::string> candidates;
  // Without a known executable path the working directory is "beside" it.
  candidates.push_back(places.AppDir + "corvixmass.ini");
  if (Set(places.XdgConfigHome) && places.XdgConfigHome[0] == '/')
    candidates.push_back(std::string(places.XdgConfigHome) + "/corvixmass/corvixmass.ini");
  else if (Set(places.Home))
    candidates.push_back(std::string(places.Home) + "/.config/corvixmass/corvixmass.ini");
  candidates.push_back("/etc/corvixmass/corvixmass.ini");
  for (const std::string& place : candidates) {
    search.Looked.push_back(place);
    struct stat st {};
    // Anything there counts as found, so that a directory or FIFO in its
    // place is reported instead of being passed over.
    if (::stat(place.c_str(), &st) == 0) {
      search.Path = place;
      return search;
    }
  }
  return search;
}

TConfigSearchRec FindConfiguration(const std::string& configOption) {
  TConfigPlacesRec places;
  places.ConfigOption = configOption;
  places.EnvConfig = std::getenv("CORVIXMASS_CONFIG");
  places.AppDir = JustPath(ProgramArg0()).Str();
  places.XdgConfigHome = std::getenv("XDG_CONFIG_HOME");
  places.Home = std::getenv("HOME");
  return FindConfiguration(places);
}

std::string NoConfigurationMessage(const TConfigSearchRec& search) {
  std::string text = "no configuration file: looked for ";
  for (std::size_t i = 0; i < search.Looked.size(); ++i) {
    if (i > 0) text += i + 1 == search.Looked.size() ? " and " : ", ";
    text += search.Looked[i];
  }
  return text + " (--config FILE names one)";
}

}  // namespace corvix
