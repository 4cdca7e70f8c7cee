#include "host/folder_page_store.h"

#include <vector>

#include "platform/file_system.h"

namespace lumorel {
namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool endsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::unique_ptr<FolderPageStore> FolderPageStore::load(FileSystem& fs, const std::string& folder,
                                                       std::string& error) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path.push_back('/');
  std::vector<std::string> files;
  if (!fs.listFolder(path.c_str(), [&](const FolderEntry& entry) {
        if (entry.kind() == EntryKind::kFile) files.emplace_back(entry.name());
      })) {
    error = "cannot list the page folder " + folder;
    return nullptr;
  }
  std::unique_ptr<FolderPageStore> store(new FolderPageStore);
  for (const std::string& file : files) {
    std::unique_ptr<SequentialFile> in = fs.openSequential((path + file).c_str());
    std::string bytes;
    char buffer[64 * 1024];
    std::optional<std::size_t> got;
    while (in && (got = in->read(buffer, sizeof buffer)) && *got > 0) bytes.append(buffer, *got);
    if (!in || !got) {
      error = "cannot read " + path + file;
      return nullptr;
    }
    const std::string name = lower(file);
    if (endsWith(name, ".formatted.htm")) {
      store->pages_[name.substr(0, name.size() - 14)] = {std::move(bytes), true};
    } else if (endsWith(name, ".htm")) {
      store->pages_[name.substr(0, name.size() - 4)] = {std::move(bytes), false};
    } else {
      store->pages_[name] = {std::move(bytes), false};
    }
  }
  return store;
}

std::optional<StoredPage> FolderPageStore::find(std::string_view name) const {
  auto it = pages_.find(lower(name));
  if (it == pages_.end()) return std::nullopt;
  return StoredPage{it->second.first, it->second.second};
}

}  // namespace lumorel
