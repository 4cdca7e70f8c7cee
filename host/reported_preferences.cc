#include "host/reported_preferences.h"

#include <string>

namespace lumorel {

bool ReportedPreferences::reported(bool ok) {
  // Relaxed: only one caller may tell; nothing else is ordered by the flag.
  if (ok || told_.exchange(true, std::memory_order_relaxed)) return ok;
  std::string why = store_.lastFailure();
  if (why.empty()) why = "the store gave no reason";
  out_ << "lumorel: preferences cannot be saved, so settings will not be kept: " << why
       << "\n" << std::flush;
  return ok;
}

}  // namespace lumorel
