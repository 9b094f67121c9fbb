// Reading the catalogue into the base list and running the selection.
#include "app/base_select.h"

#include <vector>

#include "support/record_file.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/keys.h"
#include "widgets/light_bar.h"

namespace corvix {
namespace {

// A length-prefixed text at Offset, never read past the record's end. Its
// control bytes show as '?': the catalogue comes from outside, and an escape
// or line break in a name must not reach the terminal as a command.
ShortString FieldAt(const std::uint8_t* record, std::int32_t offset) {
  std::int32_t length = record[offset];
  std::int32_t room = kBaseRecSize - offset - 1;
  if (length > room) length = room;
  return ReplaceControl(
      std::string_view(reinterpret_cast<const char*>(record + offset + 1), static_cast<std::size_t>(length)),
      '?');
}

}  // namespace

TBaseLineRec BaseLineFromRecord(const std::uint8_t* record) {
  std::int32_t number = record[0] | (record[1] << 8);
  ShortString digits = Int2Str(number);
  TBaseLineRec line;
  line.Text = PadRight(digits, 4, ' ') + PadRight(FieldAt(record, kEchoTagOffset), 12, ' ') + " " +
              FieldAt(record, kBaseNameOffset);
  line.Data = digits;
  return line;
}

void ToggleBaseMark(TBar& list, std::uint8_t key, std::int32_t index) {
  if (key != kKeyTab) return;
  // On an empty list the index names no item: there is nothing to mark.
  if (index < 0 || static_cast<std::size_t>(index) >= list.Items.size()) return;
  list.Items[index].Marked = !list.Items[index].Marked;
}

void LoadBaseList(TBar& list, const ShortString& path) {
  // The catalogue is the host's and is only read: opened read-only, so an
  // operator who may read it but not write it can still post.
  TFileRec catalogue = TFileRec::OpenReadOnly(path, kBaseRecSize);
  std::int32_t count = catalogue.RecordCount();
  list.OnKey = [&list](std::uint8_t key, std::int32_t index) { ToggleBaseMark(list, key, index); };
  list.SearchX = 12;
  list.SearchY = 21;
  list.SearchAttr = 7;
  list.MoreX = 37;
  list.MoreY = 22;
  list.ShowMore = true;
  list.Items.reserve(static_cast<std::size_t>(count));
  std::vector<std::uint8_t> record(kBaseRecSize);
  for (std::int32_t n = 0; n < count; ++n) {
    catalogue.ReadRecord(record.data(), n);
    TBaseLineRec line = BaseLineFromRecord(record.data());
    list.Add(line.Text);
    list.Items.back().Data = line.Data;
  }
  list.NormalColor = "|08|16";
  list.BarColor = "|00|23";
  list.BarMarkColor = "|14|23";
  list.NormalMarkColor = "|15|16";
}

bool SelectBases(TBar& list) {
  WriteXY(28, 2, 11, " Select Message Base(s) ");
  WriteXY(4, 3, 15, PadRight("ID", 4, ' ') + PadRight("ECHOTAG", 12, ' ') + " " + PadRight("NAME", 53, ' '));
  WriteXY(1, 25, 8, PadRight("Press TAB to select base(s), press ENTER when finished.", 79, ' '));
  WriteXY(4, 21, 8, "Search:");
  for (;;) {
    std::int32_t result = list.Run(4, 4, 72, 17, 0);
    if (result == barEnter) return true;
    if (result == barEscape) return false;
  }
}

}  // namespace corvix
