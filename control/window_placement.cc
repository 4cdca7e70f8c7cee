// The members that act on the host window, and Exists.
#include <limits>
#include <optional>

#include "control/enum_img.h"
#include "control/script_text.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/host_window.h"
#include "platform/limits.h"

namespace lumorel {

HResult EnumImg::SaveWindowLoc(std::string_view bstrKey) {
  if (!host_) return kSFalse;
  struct Field {
    const char* name;
    std::optional<int32_t> (HostWindow::*read)();
  };
  static constexpr Field kFields[] = {
      {".Width", &HostWindow::width},
      {".Height", &HostWindow::height},
      {".Top", &HostWindow::top},
      {".Left", &HostWindow::left},
  };
  HResult stored = kSOk;
  for (const Field& field : kFields) {
    std::optional<int32_t> value = (host_->*field.read)();
    // A value the window cannot tell is left as it was stored before rather
    // than replaced by a made-up one.
    if (!value) continue;
    if (Preference(std::string(bstrKey) + field.name, toDecimal(*value)) != kSOk) stored = kEFail;
  }
  return stored;
}

HResult EnumImg::ForceImgDraw() {
  if (!host_) return kSOk;
  std::optional<int32_t> height = host_->height();
  if (!height || *height > std::numeric_limits<int32_t>::max() - 2) return kSOk;
  (void)host_->setHeight(*height + 2);
  env_.clock.sleep(1);
  (void)host_->setHeight(*height);
  return kSOk;
}

int32_t EnumImg::Exists(std::string_view bstrPath) const {
  if (bstrPath.empty() || bstrPath.size() >= kMaxPath ||
      bstrPath.find('\0') != std::string_view::npos)
    return 0;
  return env_.fs.exists(std::string(bstrPath).c_str()) ? 1 : 0;
}

}  // namespace lumorel
