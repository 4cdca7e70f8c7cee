// The pairs of an "lm:" URL in its parameter form ("lm:&key=value&..."),
// step by step, and the keywords their keys select.
//
// Used on the 8-bit URL text by page production and on the UTF-16 URL by
// the protocol information, so it works on either kind of character.
#ifndef LUMOREL_PROTOCOL_PAIR_SCANNER_H_
#define LUMOREL_PROTOCOL_PAIR_SCANNER_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace lumorel {

// Characters a key may hold: ASCII letters, digits and * - . @ _
template <typename Char>
constexpr bool isKeyCharacter(Char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '*' || c == '-' || c == '.' || c == '@' || c == '_';
}

inline constexpr std::size_t kMaxKeyLength = 255;

enum class ScanResult {
  kPair,   // key() and value() hold a complete pair
  kEnd,    // the text has ended; a key without "=" is dropped
  kError,  // a character that cannot stand there, or a key or value too long
};

// Walks the pairs of `text` (what follows "lm:&"). Each next() is one scan
// step from a fresh, empty key: in key mode "=" starts the value, "&" is
// passed over (keeping what the key has so far), a key character is added,
// and any other character is an error (passed over when the key is still
// empty, so every step moves on). The value runs to the next "&" or the end
// of the text. A key of more than kMaxKeyLength characters, or a value of
// more than `maxValue`, is an error with the cursor on the character that
// did not fit; the next step starts there, in key mode. Nothing is decoded.
//
// The scanner borrows `text`, which must outlive it.
template <typename Char>
class PairScanner {
 public:
  using View = std::basic_string_view<Char>;

  PairScanner(View text, std::size_t maxValue) : text_(text), maxValue_(maxValue) {}

  ScanResult next() {
    key_.clear();
    value_.clear();
    bool valueMode = false;
    while (true) {
      const bool atEnd = pos_ >= text_.size();
      if (valueMode) {
        if (atEnd || text_[pos_] == '&') return ScanResult::kPair;
        if (value_.size() == maxValue_) return ScanResult::kError;
        value_.push_back(text_[pos_++]);
        continue;
      }
      if (atEnd) return ScanResult::kEnd;
      const Char c = text_[pos_];
      if (c == '=') {
        valueMode = true;
        ++pos_;
      } else if (c == '&') {
        ++pos_;
      } else if (isKeyCharacter(c)) {
        if (key_.size() == kMaxKeyLength) return ScanResult::kError;
        key_.push_back(c);
        ++pos_;
      } else {
        if (key_.empty()) ++pos_;
        return ScanResult::kError;
      }
    }
  }

  // The key and value of the last kPair.
  View key() const { return key_; }
  View value() const { return value_; }

 private:
  const View text_;
  const std::size_t maxValue_;
  std::size_t pos_ = 0;
  std::basic_string<Char> key_;
  std::basic_string<Char> value_;
};

// What a key selects: the first keyword, in the order below, that the key
// ends with, ASCII letters compared without case. So "rsrc" is never "src",
// and "x1" is "1".
enum class Keyword { kNone, kRsrc, kInsert1, kInsert2, kInsert3, kInsert4, kSave, kSrc };

template <typename Char>
Keyword selectKeyword(std::basic_string_view<Char> key) {
  struct Entry {
    std::string_view word;
    Keyword keyword;
  };
  static constexpr Entry kOrder[] = {
      {"rsrc", Keyword::kRsrc},    {"1", Keyword::kInsert1}, {"2", Keyword::kInsert2},
      {"3", Keyword::kInsert3},    {"4", Keyword::kInsert4}, {"save", Keyword::kSave},
      {"src", Keyword::kSrc},
  };
  auto lower = [](Char c) { return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c; };
  for (const Entry& entry : kOrder) {
    if (entry.word.size() > key.size()) continue;
    const std::size_t start = key.size() - entry.word.size();
    bool match = true;
    for (std::size_t i = 0; i < entry.word.size() && match; ++i)
      match = lower(key[start + i]) == static_cast<Char>(entry.word[i]);
    if (match) return entry.keyword;
  }
  return Keyword::kNone;
}

}  // namespace lumorel

#endif  // LUMOREL_PROTOCOL_PAIR_SCANNER_H_
