#include "path_collector.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "dos_time.h"

namespace klx::rar2tool {

namespace {

namespace fs = std::filesystem;

// The archive name of a path, or false when it climbs out with '..'.
bool ArchiveName(const std::string& path, std::string* name) {
  name->clear();
  size_t i = 0;
  while (i <= path.size()) {
    size_t slash = path.find('/', i);
    if (slash == std::string::npos) slash = path.size();
    const std::string part = path.substr(i, slash - i);
    i = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return false;
    if (!name->empty()) *name += '\\';
    *name += part;
  }
  return true;
}

int64_t ModificationTime(const fs::path& path, std::error_code& ec) {
  const auto stamp = fs::last_write_time(path, ec);
  if (ec) return 0;
  const auto system = std::chrono::file_clock::to_sys(stamp);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

bool ReadFile(const fs::path& path, std::vector<uint8_t>* data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

class Collector {
 public:
  Collector(std::optional<int64_t> mtime, std::vector<ArchiveEntry>* out, std::string* error)
      : mtime_(mtime), out_(out), error_(error) {}

  bool Add(const fs::path& path, const std::string& name) {
    if (!names_.insert(name).second) return Fail("the same archive name twice: " + name);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec) return Fail(path.string() + ": " + ec.message());
    ArchiveEntry entry;
    entry.name = name;
    entry.dosTime = UnixToDosTime(mtime_ ? *mtime_ : ModificationTime(path, ec));
    if (ec) return Fail(path.string() + ": " + ec.message());
    if (fs::is_directory(status)) {
      entry.directory = true;
      out_->push_back(std::move(entry));
      std::vector<std::string> children;
      for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
        children.push_back(it->path().filename().string());
      if (ec) return Fail(path.string() + ": " + ec.message());
      std::sort(children.begin(), children.end());
      for (const std::string& child : children) {
        if (child.find('\\') != std::string::npos)
          return Fail((path / child).string() + ": '\\' cannot appear in an archive name");
        if (!Add(path / child, name + '\\' + child)) return false;
      }
      return true;
    }
    if (!fs::is_regular_file(status)) return Fail(path.string() + ": not a regular file or directory");
    if (!ReadFile(path, &entry.data)) return Fail(path.string() + ": cannot read");
    out_->push_back(std::move(entry));
    return true;
  }

  bool Fail(const std::string& message) {
    *error_ = message;
    return false;
  }

 private:
  std::optional<int64_t> mtime_;
  std::vector<ArchiveEntry>* out_;
  std::string* error_;
  std::set<std::string> names_;
};

}  // namespace

bool CollectPaths(const std::vector<std::string>& paths, std::optional<int64_t> mtime,
                  std::vector<ArchiveEntry>* out, std::string* error) {
  Collector collector(mtime, out, error);
  for (const std::string& path : paths) {
    std::string name;
    if (!ArchiveName(path, &name)) return collector.Fail(path + ": '..' is not allowed in a path");
    if (name.empty()) return collector.Fail(path + ": names no file or directory inside the archive");
    if (!collector.Add(fs::path(path), name)) return false;
  }
  return true;
}

}  // namespace klx::rar2tool
