// A second process for the preference tests: reads or writes the store that
// the test points it at.
//
//   preference_probe DB_FOLDER FILE_FOLDER get KEY        prints the value, or "<none>"
//   preference_probe DB_FOLDER FILE_FOLDER put KEY VALUE
//   preference_probe DB_FOLDER FILE_FOLDER fill PREFIX N  writes PREFIX0..PREFIX<N-1>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/sqlite_preference_backend.h"

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  lumorel::SqlitePreferenceBackend store(argv[1], argv[2]);
  const std::string command = argv[3];
  if (command == "get") {
    std::optional<std::string> value = store.readValue(argv[4]);
    std::fputs(value ? value->c_str() : "<none>", stdout);
    return 0;
  }
  if (command == "put" && argc == 6) return store.writeValue(argv[4], argv[5]) ? 0 : 1;
  if (command == "fill" && argc == 6) {
    const int count = std::atoi(argv[5]);
    for (int i = 0; i < count; ++i) {
      const std::string n = std::to_string(i);
      if (!store.writeValue(argv[4] + n, n)) return 1;
    }
    return 0;
  }
  return 2;
}
