#include "protocol/page_request.h"

#include "protocol/pair_scanner.h"

namespace lumorel {

PageRequest parsePageRequest(std::string_view urlText) {
  PageRequest request;
  std::string_view rest = urlText.size() > 3 ? urlText.substr(3) : std::string_view();
  if (rest.empty() || rest.front() != '&') {
    request.pageName = std::string(rest);
    return request;
  }
  request.parameterForm = true;
  PairScanner<char> scanner(rest.substr(1), kMaxValueLength);
  for (ScanResult step = scanner.next(); step != ScanResult::kEnd; step = scanner.next()) {
    if (step != ScanResult::kPair) continue;
    std::string value(scanner.value());
    switch (selectKeyword(scanner.key())) {
      case Keyword::kNone:
        break;
      case Keyword::kRsrc:
        request.pageName = std::move(value);
        break;
      case Keyword::kInsert1:
      case Keyword::kInsert2:
      case Keyword::kInsert3:
      case Keyword::kInsert4: {
        std::size_t index = static_cast<std::size_t>(selectKeyword(scanner.key())) -
                            static_cast<std::size_t>(Keyword::kInsert1);
        request.inserts[index] = std::move(value);
        request.formatted = true;
        break;
      }
      case Keyword::kSave:
        request.save = std::move(value);
        break;
      case Keyword::kSrc:
        request.src = std::move(value);
        break;
    }
  }
  return request;
}

}  // namespace lumorel
