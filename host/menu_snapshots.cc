#include "host/menu_snapshots.h"

#include <array>
#include <string_view>

#include "host/options.h"
#include "platform/limits.h"
#include "platform/posix/web_address.h"

namespace lumorel {
namespace {

using nlohmann::json;

// The pages of the context menu's entries, by their names in the page set.
constexpr std::array<std::string_view, 6> kMenuPages = {
    "lm_links", "lm_scrape", "lm_resize", "lm_openresize", "lm_listimg", "lm_listimgsave"};

bool textField(const json& object, const char* name, json& out, std::string& error,
               bool required) {
  auto it = object.find(name);
  if (it == object.end() || it->is_null()) {
    if (required) error = std::string("\"") + name + "\" is missing";
    return !required;
  }
  if (!it->is_string()) {
    error = std::string("\"") + name + "\" must be a text";
    return false;
  }
  out[name] = *it;
  return true;
}

bool numberField(const json& object, const char* name, json& out, std::string& error) {
  auto it = object.find(name);
  if (it == object.end() || it->is_null()) return true;
  if (!it->is_number_integer() || it->get<int64_t>() < 0 || it->get<int64_t>() > 1000000) {
    error = std::string("\"") + name + "\" must be a whole number from 0 to 1000000";
    return false;
  }
  out[name] = it->get<int64_t>();
  return true;
}

std::optional<json> documentOf(const json& body, std::string& error) {
  auto it = body.find("document");
  if (it == body.end() || !it->is_object()) {
    error = "\"document\" must be an object";
    return std::nullopt;
  }
  json document = json::object();
  if (!textField(*it, "url", document, error, true) ||
      !textField(*it, "title", document, error, false))
    return std::nullopt;
  if (!document.contains("title")) document["title"] = "";
  json links = json::array();
  auto found = it->find("links");
  if (found != it->end() && !found->is_null()) {
    if (!found->is_array() || found->size() > MenuSnapshots::kMaxLinks) {
      error = "\"links\" must be a list of at most 20000 texts";
      return std::nullopt;
    }
    for (const json& link : *found) {
      if (!link.is_string()) {
        error = "\"links\" must be a list of texts";
        return std::nullopt;
      }
      links.push_back(link);
    }
  }
  document["links"] = std::move(links);
  return document;
}

std::optional<json> elementOf(const json& body, std::string& error) {
  auto it = body.find("element");
  if (it == body.end() || it->is_null()) return json(nullptr);
  if (!it->is_object()) {
    error = "\"element\" must be an object or null";
    return std::nullopt;
  }
  json element = json::object();
  for (const char* name : {"tagName", "src", "title", "href"})
    if (!textField(*it, name, element, error, false)) return std::nullopt;
  for (const char* name : {"width", "height"})
    if (!numberField(*it, name, element, error)) return std::nullopt;
  return element;
}

}  // namespace

bool isMenuPage(const std::string& page) {
  for (std::string_view known : kMenuPages)
    if (page == known) return true;
  return false;
}

bool isNavigableAddress(const std::string& url) {
  if (url.size() > kMaxUrl) return false;
  for (unsigned char c : url)
    if (c < 0x20 || c == 0x7F) return false;
  // A scheme alone ("http://") goes nowhere.
  return hasWebScheme(url) && url.find("://") + 3 < url.size();
}

void MenuSnapshot::navigate(std::string url) {
  {
    MutexLock lock(mu_);
    if (ended_) return;
    navigations_.push_back(std::move(url));
  }
  wake_.notify_all();
}

std::optional<std::string> MenuSnapshot::takeNavigation(std::chrono::milliseconds wait)
    LM_NO_THREAD_SAFETY_ANALYSIS {
  std::unique_lock<Mutex> lock(mu_);
  wake_.wait_for(lock, wait,
                 [this]() LM_NO_THREAD_SAFETY_ANALYSIS { return ended_ || !navigations_.empty(); });
  if (ended_) return std::nullopt;
  if (navigations_.empty()) return std::string();
  std::string url = std::move(navigations_.front());
  navigations_.pop_front();
  return url;
}

void MenuSnapshot::end() {
  {
    MutexLock lock(mu_);
    ended_ = true;
  }
  wake_.notify_all();
}

std::shared_ptr<MenuSnapshot> MenuSnapshots::add(const json& body, std::string& error) {
  if (!body.is_object()) {
    error = "the snapshot must be an object";
    return nullptr;
  }
  auto page = body.find("page");
  if (page == body.end() || !page->is_string() || !isMenuPage(page->get<std::string>())) {
    error = "\"page\" must name a page of the context menu";
    return nullptr;
  }
  json snapshot{{"page", *page}};
  auto tab = body.find("tab");
  if (tab != body.end() && !tab->is_null()) {
    if (!tab->is_number_integer()) {
      error = "\"tab\" must be a whole number";
      return nullptr;
    }
    snapshot["tab"] = *tab;
  }
  std::optional<json> document = documentOf(body, error);
  if (!document) return nullptr;
  std::optional<json> element = elementOf(body, error);
  if (!element) return nullptr;
  snapshot["document"] = std::move(*document);
  snapshot["element"] = std::move(*element);

  auto made = std::make_shared<MenuSnapshot>(randomToken().substr(0, 16), std::move(snapshot));
  std::shared_ptr<MenuSnapshot> dropped;
  {
    MutexLock lock(mu_);
    kept_.push_back(made);
    if (kept_.size() > kMaxKept) {
      dropped = std::move(kept_.front());
      kept_.pop_front();
    }
  }
  if (dropped) dropped->end();
  return made;
}

std::shared_ptr<MenuSnapshot> MenuSnapshots::find(const std::string& id) {
  MutexLock lock(mu_);
  for (const std::shared_ptr<MenuSnapshot>& kept : kept_)
    if (kept->id() == id) return kept;
  return nullptr;
}

void MenuSnapshots::endAll() {
  std::list<std::shared_ptr<MenuSnapshot>> all;
  {
    MutexLock lock(mu_);
    all = kept_;
  }
  for (const std::shared_ptr<MenuSnapshot>& kept : all) kept->end();
}

}  // namespace lumorel
