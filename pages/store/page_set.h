// The table of the compiled-in page set that embed_pages.cmake generates.
#ifndef LUMOREL_PAGES_STORE_PAGE_SET_H_
#define LUMOREL_PAGES_STORE_PAGE_SET_H_

#include <cstddef>

namespace lumorel {

struct PageSetEntry {
  const char* name;  // lower case: "main", "mainimg", "logo.gif"
  const unsigned char* bytes;
  std::size_t size;
  bool formatted;
};

extern const PageSetEntry kPageSet[];
extern const std::size_t kPageSetSize;

}  // namespace lumorel

#endif  // LUMOREL_PAGES_STORE_PAGE_SET_H_
