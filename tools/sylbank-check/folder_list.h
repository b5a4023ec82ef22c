// Lists a folder's entries with the platform's own directory calls: the
// Win32 file search on Windows, opendir and stat elsewhere. File names are
// the bytes the platform gives (the ANSI code page on Windows, as the
// program itself uses).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sylbank {

struct FolderEntry {
  std::string name;
  bool is_folder = false;
};

enum class ListResult { kOk, kNotFound, kNotAFolder, kUnreadable };

// Fills `entries` with the names in `folder`, "." and ".." left out, in no
// particular order. On failure `error` says why in plain words.
ListResult ListFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                      std::string& error);

}  // namespace sylbank
