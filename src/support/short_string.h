// ShortString: the text value of the whole program, a length byte and at most
// 255 single-byte characters. Anything that would grow past 255 is cut there.
#pragma once

#include <compare>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace corvix {

class ShortString {
 public:
  static constexpr std::size_t kMaxLength = 255;

  constexpr ShortString() noexcept = default;
  // Implicit on purpose: every text of the system converts to a short string,
  // and the cut at 255 happens here, by construction.
  ShortString(std::string_view s) noexcept { Assign(s); }  // NOLINT(google-explicit-constructor)
  ShortString(const char* s) noexcept : ShortString(std::string_view(s ? s : "")) {}  // NOLINT
  ShortString(const std::string& s) noexcept : ShortString(std::string_view(s)) {}    // NOLINT

  static ShortString Of(char c, std::size_t count = 1) noexcept {
    ShortString r;
    r.len_ = static_cast<std::uint8_t>(count > kMaxLength ? kMaxLength : count);
    std::memset(r.buf_, c, r.len_);
    return r;
  }

  std::size_t size() const noexcept { return len_; }
  std::uint8_t Length() const noexcept { return len_; }
  bool empty() const noexcept { return len_ == 0; }
  const char* data() const noexcept { return buf_; }
  char* data() noexcept { return buf_; }
  const char* begin() const noexcept { return buf_; }
  const char* end() const noexcept { return buf_ + len_; }
  char* begin() noexcept { return buf_; }
  char* end() noexcept { return buf_ + len_; }

  // 0-based access; callers keep the index below size().
  char operator[](std::size_t i) const noexcept { return buf_[i]; }
  char& operator[](std::size_t i) noexcept { return buf_[i]; }
  // The byte at 0-based i as an unsigned value.
  std::uint8_t Byte(std::size_t i) const noexcept { return static_cast<std::uint8_t>(buf_[i]); }

  std::string_view View() const noexcept { return {buf_, len_}; }
  operator std::string_view() const noexcept {
    return View();
  }  // NOLINT(google-explicit-constructor)
  std::string Str() const { return std::string(buf_, len_); }

  void Assign(std::string_view s) noexcept {
    len_ = static_cast<std::uint8_t>(s.size() > kMaxLength ? kMaxLength : s.size());
    if (len_ != 0) std::memmove(buf_, s.data(), len_);
  }
  // Sets the length; new bytes (when growing) are left as they were in the buffer.
  void SetLength(std::size_t n) noexcept {
    len_ = static_cast<std::uint8_t>(n > kMaxLength ? kMaxLength : n);
  }
  void clear() noexcept { len_ = 0; }

  ShortString& Append(std::string_view s) noexcept {
    std::size_t room = kMaxLength - len_;
    std::size_t n = s.size() < room ? s.size() : room;
    if (n != 0) std::memmove(buf_ + len_, s.data(), n);
    len_ = static_cast<std::uint8_t>(len_ + n);
    return *this;
  }
  ShortString& Append(char c) noexcept {
    if (len_ < kMaxLength) buf_[len_++] = c;
    return *this;
  }
  ShortString& operator+=(std::string_view s) noexcept { return Append(s); }
  ShortString& operator+=(const ShortString& s) noexcept { return Append(s.View()); }
  ShortString& operator+=(const char* s) noexcept { return Append(std::string_view(s)); }
  ShortString& operator+=(char c) noexcept { return Append(c); }

  friend ShortString operator+(ShortString a, std::string_view b) noexcept { return a.Append(b); }
  friend ShortString operator+(ShortString a, const ShortString& b) noexcept {
    return a.Append(b.View());
  }
  friend ShortString operator+(ShortString a, const char* b) noexcept {
    return a.Append(std::string_view(b));
  }
  friend ShortString operator+(ShortString a, char b) noexcept { return a.Append(b); }
  friend ShortString operator+(std::string_view a, const ShortString& b) noexcept {
    return ShortString(a).Append(b.View());
  }
  friend ShortString operator+(const char* a, const ShortString& b) noexcept {
    return ShortString(a).Append(b.View());
  }
  friend ShortString operator+(char a, const ShortString& b) noexcept {
    return ShortString::Of(a).Append(b.View());
  }

  // Comparison is by unsigned byte value, so 'Z' < 'a' < 0x80.
  friend bool operator==(const ShortString& a, const ShortString& b) noexcept {
    return a.len_ == b.len_ && std::memcmp(a.buf_, b.buf_, a.len_) == 0;
  }
  friend std::strong_ordering operator<=>(const ShortString& a, const ShortString& b) noexcept {
    std::size_t n = a.len_ < b.len_ ? a.len_ : b.len_;
    int c = n ? std::memcmp(a.buf_, b.buf_, n) : 0;  // memcmp compares as unsigned char
    if (c != 0) return c < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
    return a.len_ <=> b.len_;
  }

 private:
  std::uint8_t len_ = 0;
  char buf_[kMaxLength] = {};
};

}  // namespace corvix
