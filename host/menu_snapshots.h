// What the browser's context menu saw: the right-clicked page (its address,
// title and links), element or link, kept for the Lumorel page the menu
// entry opens, and the navigations that page asks of the right-clicked tab.
#ifndef LUMOREL_HOST_MENU_SNAPSHOTS_H_
#define LUMOREL_HOST_MENU_SNAPSHOTS_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <list>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/mutex.h"

namespace lumorel {

// One menu entry the user chose. Thread safety: every member from any thread.
class MenuSnapshot {
 public:
  MenuSnapshot(std::string id, nlohmann::json snapshot)
      : id_(std::move(id)), snapshot_(std::move(snapshot)) {}

  const std::string& id() const { return id_; }
  // The snapshot as the page reads it (see MenuSnapshots::add).
  const nlohmann::json& snapshot() const { return snapshot_; }

  // The page asks the right-clicked tab to go to `url`.
  void navigate(std::string url) LM_EXCLUDES(mu_);

  // The next navigation asked, waiting at most `wait`: the address, the empty
  // text when none came in time, nullopt once the snapshot has ended.
  std::optional<std::string> takeNavigation(std::chrono::milliseconds wait);

  // No navigation is carried from now on. Idempotent.
  void end() LM_EXCLUDES(mu_);

 private:
  const std::string id_;
  const nlohmann::json snapshot_;
  Mutex mu_;
  std::condition_variable_any wake_;
  std::deque<std::string> navigations_ LM_GUARDED_BY(mu_);
  bool ended_ LM_GUARDED_BY(mu_) = false;
};

// The menu snapshots of the run: the newest kMaxKept, each found by its id.
// Thread safety: every member from any thread.
class MenuSnapshots {
 public:
  static constexpr std::size_t kMaxKept = 64;
  static constexpr std::size_t kMaxLinks = 20000;

  // Keeps the snapshot `body` and gives it an id. Takes only the fields a
  // page reads, each of its type:
  //   {"page": one of kMenuPages, "tab": number (optional),
  //    "document": {"url": text, "title": text, "links": [text, ...]},
  //    "element": null or {"tagName", "src", "title", "href": text,
  //                        "width", "height": whole numbers} (any of them)}
  // nullopt, with `error`, for anything else.
  std::shared_ptr<MenuSnapshot> add(const nlohmann::json& body, std::string& error)
      LM_EXCLUDES(mu_);

  std::shared_ptr<MenuSnapshot> find(const std::string& id) LM_EXCLUDES(mu_);

  // Ends every snapshot kept (the host is stopping).
  void endAll() LM_EXCLUDES(mu_);

 private:
  Mutex mu_;
  std::list<std::shared_ptr<MenuSnapshot>> kept_ LM_GUARDED_BY(mu_);  // oldest first
};

// Whether `page` is one of the pages a menu entry opens.
bool isMenuPage(const std::string& page);

// Whether `url` is an address a page may send the right-clicked tab to: an
// http or https address of at most kMaxUrl bytes without control characters.
bool isNavigableAddress(const std::string& url);

}  // namespace lumorel

#endif  // LUMOREL_HOST_MENU_SNAPSHOTS_H_
