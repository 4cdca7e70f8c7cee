// Any text as an "lm:" URL, read as page production reads it (8-bit) and as
// the protocol information reads it (UTF-16). The limits must hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/page_request.h"
#include "protocol/pair_scanner.h"
#include "protocol/protocol_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumorel;
  const std::string text(reinterpret_cast<const char*>(data), size);

  PageRequest request = parsePageRequest("lm:" + text);
  bool anyInsert = false;
  for (const auto& insert : request.inserts) {
    if (insert && insert->size() > kMaxValueLength) abort();
    anyInsert = anyInsert || insert.has_value();
  }
  if (request.formatted != anyInsert) abort();
  if (request.parameterForm &&
      (request.pageName.size() > kMaxValueLength || request.save.size() > kMaxValueLength ||
       request.src.size() > kMaxValueLength))
    abort();

  PairScanner<char> scanner(text, kMaxValueLength);
  std::size_t steps = 0;
  for (ScanResult step = scanner.next(); step != ScanResult::kEnd; step = scanner.next()) {
    if (scanner.key().size() > kMaxKeyLength || scanner.value().size() > kMaxValueLength) abort();
    if (step == ScanResult::kPair && selectKeyword(scanner.key()) != Keyword::kNone &&
        scanner.key().empty())
      abort();
    if (++steps > text.size() + 1) abort();  // every step moves on
  }

  std::u16string wide = u"lm:&";
  for (std::size_t i = 0; i + 1 < size; i += 2)
    wide.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  if (std::optional<std::u16string> value = findParameter1(wide)) {
    if (value->size() > kMaxParseValueLength) abort();
  }
  return 0;
}
