// Named selections: the marked base numbers saved under a name in the state
// directory (selections/NAME: a line "# catalogue: PATH" naming the catalogue
// they were chosen from, then one number per line), loaded back into the base
// list, and the --select option that starts the list with one of them marked.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvix {

class TBar;

// The selection the base list's marks are kept in whenever it is left with a
// base marked; F5 does not take this name.
inline constexpr char kLastSelection[] = "last";
// The selection of the bases a run did not post (stopped, failed, not
// started); F5 does not take this name either.
inline constexpr char kRestSelection[] = "rest";

// Letters, digits, '-', '_' and '.', not starting with '.', at most 64 long:
// a name that is always one plain file name in the selections directory.
bool ValidSelectionName(std::string_view name);

// The base numbers (the items' Data) of every marked item, in list order.
std::vector<std::string> MarkedBaseNumbers(const TBar& list);

// The catalogue of this run as a selection records it: [corvix] mbases made
// absolute against the start directory.
std::string SelectionCatalogue();

// Writes the catalogue line (Catalogue, or SelectionCatalogue() when
// empty), each of Notes as a line starting with "# ", and Numbers, one per
// line, to selections/NAME, replacing any earlier one only once the new file
// is complete and on the disk: the file is synced before its rename and the
// directory after it. False with the reason in Error.
[[nodiscard]] bool SaveSelection(const std::string& name, const std::vector<std::string>& numbers,
                                 std::string& error, const std::vector<std::string>& notes = {},
                                 const std::string& catalogue = "");

// Removes selections/NAME (synced); true when it is gone or never was.
[[nodiscard]] bool RemoveSelection(const std::string& name, std::string& error);

// Reads selections/NAME. Blank lines and lines starting with '#' are skipped;
// any other line must be a base number (0-65535). The catalogue line's path
// goes to Catalogue when given (empty for a file without one), the other
// lines starting with "# " to Notes (without the "# "). False with the
// reason in Error.
[[nodiscard]] bool LoadSelection(const std::string& name, std::vector<std::string>& numbers,
                                 std::string& error, std::string* catalogue = nullptr,
                                 std::vector<std::string>* notes = nullptr);

// The complaint when selection Name, saved from catalogue Recorded, is loaded
// against another catalogue than SelectionCatalogue(); empty when it is the
// same or the selection does not say.
std::string OtherCatalogueProblem(const std::string& name, const std::string& recorded);

// True when selections/NAME exists.
bool SelectionExists(const std::string& name);

// The valid names saved so far, sorted, with "last" first and "rest" next; empty when there
// is no directory.
std::vector<std::string> SelectionNames();

// Marks exactly the items whose base number is in Numbers (numbers not in
// the list are ignored); every other item is unmarked. Returns the items marked.
std::int32_t MarkSelection(TBar& list, const std::vector<std::string>& numbers);

// --select NAME: loads that selection for the base list (Session.StartMarks). False, after a
// message on standard error, for a bad name, a missing or unreadable
// selection, or one saved from another catalogue unless Force.
[[nodiscard]] bool TakeStartSelection(const std::string& name, bool force);

}  // namespace corvix
