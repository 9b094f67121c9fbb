// The catalogue's record layout, its fields and the base list line.
#include "support/catalogue.h"

#include <algorithm>
#include <cstring>

#include "support/mapped_records.h"
#include "support/string_utils.h"

namespace corvix {
namespace {

// Sixteen bytes handled as one value (GCC's and Clang's vector extension:
// plain SSE2 on x86-64, NEON on ARM).
using TBytes16 = unsigned char __attribute__((vector_size(16)));

// Copies at most Width bytes of Field to Out with its control bytes (below
// 32, and 127) shown as '?', as ShownText does on the screen: the catalogue comes from
// outside, and an escape or line break in a name must not reach the terminal
// as a command. Returns the bytes copied. Sixteen bytes go at a time, with no
// test per byte: up to fifteen bytes past the field are read (sixteen when
// it is empty), and Out is filled with blanks up to the next multiple of
// sixteen after the copy (sixteen blanks for an empty field); the record and
// Out must have room for them.
std::size_t CopyShown(char* out, std::string_view field, std::size_t width) {
  const std::size_t n = std::min(field.size(), width);
  const TBytes16 lane = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  std::size_t i = 0;
  do {
    TBytes16 bytes;
    std::memcpy(&bytes, field.data() + i, 16);
    const auto left = static_cast<unsigned char>(std::min<std::size_t>(n - i, 16));
    // All ones in the lanes that hold a control byte, and in those of the field.
    const auto control = reinterpret_cast<TBytes16>((bytes < 32) | (bytes == 127));
    const auto inField = reinterpret_cast<TBytes16>(lane < left);
    bytes = (bytes & ~control) | ('?' & control);
    bytes = (bytes & inField) | (' ' & ~inField);
    std::memcpy(out + i, &bytes, 16);
    i += 16;
  } while (i < n);
  return n;
}

// CopyShown's reads past a field stay inside the record: 16 bytes of the
// tag (which shows 12 at most), and of the name what a line has room for and
// up to 15 more.
static_assert(kEchoTagOffset + 1 + 16 <= kBaseRecSize);
static_assert(kBaseNameOffset + 1 + ShortString::kMaxLength + 15 <= kEchoTagOffset);

void PutField(std::uint8_t (&record)[kBaseRecSize], std::int32_t offset, std::string_view text) {
  const std::size_t room = static_cast<std::size_t>(kBaseRecSize - offset - 1);
  const std::size_t n = std::min({text.size(), room, std::size_t{255}});
  record[offset] = static_cast<std::uint8_t>(n);
  std::memcpy(record + offset + 1, text.data(), n);
}

}  // namespace

std::string_view FieldAt(const std::uint8_t* record, std::int32_t offset) {
  std::int32_t length = record[offset];
  std::int32_t room = kBaseRecSize - offset - 1;
  if (length > room) length = room;
  return std::string_view(reinterpret_cast<const char*>(record + offset + 1),
                          static_cast<std::size_t>(length));
}

void PutBaseRecord(std::uint8_t (&record)[kBaseRecSize], std::uint16_t number, std::string_view tag,
                   std::string_view name) {
  std::memset(record, 0, sizeof record);
  record[0] = static_cast<std::uint8_t>(number & 0xFF);
  record[1] = static_cast<std::uint8_t>(number >> 8);
  PutField(record, kBaseNameOffset, name);
  PutField(record, kEchoTagOffset, tag);
}

std::optional<std::uint16_t> ParseBaseNumber(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  std::uint32_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (n > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(n);
}

void BuildBaseLine(const std::uint8_t* record, std::size_t idWidth, TBaseLineBuf& line) {
  unsigned number = BaseNumberAt(record);
  char digits[5];
  std::size_t n = 0;
  do {
    digits[4 - n++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number > 0);
  const char* const first = digits + 5 - n;

  char* out = line.Bytes;
  std::memcpy(out, "     ", 5);
  std::memcpy(out, first, std::min(n, idWidth));
  out += idWidth;
  // Blanks after the tag fill its 12 columns.
  const std::string_view tag = FieldAt(record, kEchoTagOffset);
  CopyShown(out, tag, kTagWidth);
  const bool tagCut = tag.size() > kTagWidth;
  if (tagCut) out[kTagWidth - 1] = kCutMark;
  out += kTagWidth;
  *out++ = ' ';
  const std::size_t room = static_cast<std::size_t>(line.Bytes + ShortString::kMaxLength - out);
  out += CopyShown(out, FieldAt(record, kBaseNameOffset), room);
  line.TextLength = static_cast<std::size_t>(out - line.Bytes);
  line.HiddenLength = 0;
  if (tagCut) {
    *out++ = '\0';
    std::memcpy(out, tag.data(), tag.size());
    out += tag.size();
    line.HiddenLength = 1 + tag.size();
  }
  std::memcpy(out, first, n);
  line.DigitsLength = n;
}

std::vector<TCatalogueEntryRec> ReadCatalogue(const ShortString& path) {
  // The same reader as the base list: no blocking on a FIFO, the record
  // bound, and a file that shrinks while it is read is an error, not a signal.
  TMappedRecords file(path, kBaseRecSize, kMaxBaseRecords);
  std::vector<TCatalogueEntryRec> bases;
  bases.reserve(static_cast<std::size_t>(file.RecordCount()));
  auto take = [&bases](const std::uint8_t* mapped, std::int32_t) {
    // The record is copied before anything is allocated: a read of the
    // mapping that faults jumps out of here with nothing to unwind.
    std::uint8_t record[kBaseRecSize];
    std::memcpy(record, mapped, sizeof record);
    bases.push_back({BaseNumberAt(record), std::string(FieldAt(record, kEchoTagOffset)),
                     std::string(FieldAt(record, kBaseNameOffset))});
  };
  file.Visit(0, file.RecordCount(), take);
  return bases;
}

std::size_t BaseIdWidth(const std::vector<TCatalogueEntryRec>& bases) {
  const bool wide = std::any_of(bases.begin(), bases.end(),
                                [](const TCatalogueEntryRec& b) { return b.Number >= 10000; });
  return wide ? kWideIdWidth : kNarrowIdWidth;
}

void BuildBaseLine(const TCatalogueEntryRec& base, std::size_t idWidth, TBaseLineBuf& line) {
  // The fields as read from a record fit it again unchanged.
  std::uint8_t record[kBaseRecSize];
  PutBaseRecord(record, base.Number, base.Tag, base.Name);
  BuildBaseLine(record, idWidth, line);
}

}  // namespace corvix
