// The page set's resources as the build wrote them into the module: one row
// per file of the page folder, generated with the resource script from the
// same list of files (resources/CMakeLists.txt).
#ifndef LUMOREL_RESOURCES_PAGE_RESOURCES_H_
#define LUMOREL_RESOURCES_PAGE_RESOURCES_H_

#include <cstddef>

namespace lumorel {

struct PageResource {
  // The resource's name, upper case: "MAIN", "MAINIMG", "LOGO.GIF".
  const char* name;
  // True for a page written to take the inserts of an "lm:" URL (its file
  // is "NAME.formatted.htm").
  bool formatted;
};

// Sorted by file name, as the page folder lists them.
extern const PageResource kPageResources[];
extern const std::size_t kPageResourceCount;

}  // namespace lumorel

#endif  // LUMOREL_RESOURCES_PAGE_RESOURCES_H_
