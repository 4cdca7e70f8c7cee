// The page set compiled into the program from the page folder: the bytes
// served are the files' bytes.
#ifndef LUMOREL_PAGES_STORE_BUILT_IN_PAGES_H_
#define LUMOREL_PAGES_STORE_BUILT_IN_PAGES_H_

#include <string_view>
#include <vector>

#include "platform/page_store.h"

namespace lumorel {

// The compiled-in page set. Its pages are named as the files of the page
// folder: "NAME.htm" is the page NAME, "NAME.formatted.htm" the formatted
// page NAME (it takes the inserts of an "lm:" address), any other file is
// found by its whole name ("logo.gif"). Names compare without ASCII case.
// The store lives as long as the program; find() from any thread.
const PageStore& builtInPages();

// The names of every page and picture of the set, lower case, in order.
std::vector<std::string_view> builtInPageNames();

}  // namespace lumorel

#endif  // LUMOREL_PAGES_STORE_BUILT_IN_PAGES_H_
