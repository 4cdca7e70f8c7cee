// A page set read from a folder, for page sets that are not built in (the
// tests' own, a page set being written).
#ifndef LUMOREL_HOST_FOLDER_PAGE_STORE_H_
#define LUMOREL_HOST_FOLDER_PAGE_STORE_H_

#include <map>
#include <memory>
#include <string>

#include "platform/page_store.h"

namespace lumorel {

class FileSystem;

// Every regular file of the folder, read once: "NAME.htm" is the page NAME,
// "NAME.formatted.htm" the formatted page NAME, any other file is found by
// its whole name (a picture: "logo.gif"). Names compare without ASCII case.
// Thread safety: find() from any thread, concurrently.
class FolderPageStore final : public PageStore {
 public:
  // The store of `folder`; null, with a message in `error`, when the folder
  // cannot be listed or a file in it cannot be read.
  static std::unique_ptr<FolderPageStore> load(FileSystem& fs, const std::string& folder,
                                               std::string& error);

  std::optional<StoredPage> find(std::string_view name) const override;
  std::size_t size() const { return pages_.size(); }

 private:
  FolderPageStore() = default;
  std::map<std::string, std::pair<std::string, bool>, std::less<>> pages_;
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_FOLDER_PAGE_STORE_H_
