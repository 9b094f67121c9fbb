// The host's catalogue of message bases turned into the base list, and the
// run of that list in which the operator marks the bases to post to.
#pragma once

#include <cstdint>
#include <vector>

#include "app/config/catalogue.h"
#include "support/mapped_records.h"
#include "support/short_string.h"

namespace corvix {

class TBar;

// The catalogue at Path, open for reading its records as list lines. Only the
// bytes of the three fields a line shows are read from the file. Throws
// IoError when the catalogue cannot be opened, is not a regular file, holds
// more than kMaxBaseRecords records, or becomes shorter while it is read.
class TBaseCatalogue {
 public:
  explicit TBaseCatalogue(const ShortString& path);
  // Whole records when it was opened; a partial record at the end does not count.
  std::int32_t RecordCount() const { return records_.RecordCount(); }
  // Adds every record to List as an item of its line and base number, in
  // file order (as BuildBaseLine gives them, in the ID width of the
  // whole catalogue, which it returns); a cut echo tag is searched whole.
  std::size_t AddLinesTo(TBar& list);

 private:
  TMappedRecords records_;
};

// Reads the catalogue at Path into List (one item per whole record, in file
// order) and sets the list's colours, callbacks and places, and
// Session.BaseIdWidth. Throws IoError as TBaseCatalogue does.
void LoadBaseList(TBar& list, const ShortString& path);

// The list's key callback: TAB inverts the mark of item Index.
void ToggleBaseMark(TBar& list, std::uint8_t key, std::int32_t index);

// The base list's function keys: F2 marks every base that matches the search
// text (every base when there is none), F3 unmarks all, F4 inverts all marks,
// F5 saves the marks as a named selection, F6 marks a saved one, F7 turns the
// filter view on or off. Other codes do nothing.
void BaseListFunctionKey(TBar& list, std::uint8_t code);

// Saves the marked base numbers as the selection "last" when any is marked;
// a notice says so when they cannot be saved and TellFailure is set (not
// while the program is ending by a signal, when no key may be waited for).
void KeepLastMarks(const TBar& list, bool tellFailure = true);

// The marked bases of List, in list order, as a posting list of bases not
// yet started.
std::vector<TPostedRec> MarkedPostingList(const TBar& list);

// Draws the base-selection screen's texts and runs the list until Enter or
// Escape; true for Enter. Left and Right start the run over from the first item.
// The count of marked bases shows in the frame's bottom edge; a selection
// given with --select is marked before the first run. Left either way with a
// base marked, the marks are kept (KeepLastMarks), so that neither an Escape
// nor anything that ends the run later loses them.
[[nodiscard]] bool SelectBases(TBar& list);

}  // namespace corvix
