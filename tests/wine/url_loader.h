// Reads an address through the system's URL machinery as a browser does:
// a URL moniker bound asynchronously with a status callback of our own.
#ifndef LUMOREL_TESTS_WINE_URL_LOADER_H_
#define LUMOREL_TESTS_WINE_URL_LOADER_H_

#include <optional>
#include <string>

namespace lumorel::wine {

// The bytes the system gives for `url`; nullopt when the binding fails.
// Runs the thread's messages while it waits.
std::optional<std::string> loadUrl(const std::string& url);

}  // namespace lumorel::wine

#endif  // LUMOREL_TESTS_WINE_URL_LOADER_H_
