#include "folder_list.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#endif

namespace sylbank {

#ifdef _WIN32

namespace {

std::string SystemMessage(DWORD code) {
  char buffer[256] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, n);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text.empty() ? "error " + std::to_string(code) : text;
}

// Closes a file search on every path out.
class FindHandle {
 public:
  explicit FindHandle(HANDLE h) : h_(h) {}
  ~FindHandle() {
    if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

}  // namespace

ListResult ListFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                      std::string& error) {
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    error = SystemMessage(code);
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ListResult::kNotFound
                                                                        : ListResult::kUnreadable;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error = "not a folder";
    return ListResult::kNotAFolder;
  }
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA data;
  FindHandle search(FindFirstFileA(pattern.c_str(), &data));
  if (search.get() == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return ListResult::kOk;  // nothing inside
    error = SystemMessage(code);
    return ListResult::kUnreadable;
  }
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(search.get(), &data));
  const DWORD code = GetLastError();
  if (code != ERROR_NO_MORE_FILES) {
    error = SystemMessage(code);
    return ListResult::kUnreadable;
  }
  return ListResult::kOk;
}

#else

namespace {

// Closes a directory stream on every path out.
class DirStream {
 public:
  explicit DirStream(DIR* d) : d_(d) {}
  ~DirStream() {
    if (d_ != nullptr) closedir(d_);
  }
  DirStream(const DirStream&) = delete;
  DirStream& operator=(const DirStream&) = delete;
  DIR* get() const { return d_; }

 private:
  DIR* d_;
};

}  // namespace

ListResult ListFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                      std::string& error) {
  struct stat st;
  if (stat(folder.c_str(), &st) != 0) {
    const int code = errno;
    error = std::strerror(code);
    return code == ENOENT ? ListResult::kNotFound : ListResult::kUnreadable;
  }
  if (!S_ISDIR(st.st_mode)) {
    error = "not a folder";
    return ListResult::kNotAFolder;
  }
  DirStream dir(opendir(folder.c_str()));
  if (dir.get() == nullptr) {
    error = std::strerror(errno);
    return ListResult::kUnreadable;
  }
  for (;;) {
    errno = 0;
    const dirent* e = readdir(dir.get());
    if (e == nullptr) break;
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    // stat follows links, as opening the clip would.
    struct stat entry;
    const std::string path = folder + "/" + name;
    const bool is_folder = stat(path.c_str(), &entry) == 0 && S_ISDIR(entry.st_mode);
    entries.push_back({name, is_folder});
  }
  if (errno != 0) {
    error = std::strerror(errno);
    return ListResult::kUnreadable;
  }
  return ListResult::kOk;
}

#endif

}  // namespace sylbank
