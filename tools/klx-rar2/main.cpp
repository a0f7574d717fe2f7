// klx-rar2: makes RAR 2.0 archives, the format the engine mounts.
//
//   klx-rar2 create ARCHIVE [--solid] [--method 0..5] [--key KEY] [--mtime SECONDS] PATH...
//   klx-rar2 list ARCHIVE [--key KEY]
//   klx-rar2 extract ARCHIVE DIR [--key KEY]
//
// create packs files and directories (recursively) into ARCHIVE. Every entry
// is stamped with --mtime, else with $SOURCE_DATE_EPOCH, else with its own
// modification time. list and extract mount the archive through the
// engine's codec and show or write exactly what the engine sees. Exit
// status: 0 done, 1 failed, 2 bad arguments.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "archive_commands.h"
#include "archive_writer.h"
#include "path_collector.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: klx-rar2 create ARCHIVE [--solid] [--method 0..5] [--key KEY] [--mtime SECONDS] PATH...\n"
               "       klx-rar2 list ARCHIVE [--key KEY]\n"
               "       klx-rar2 extract ARCHIVE DIR [--key KEY]\n");
  return 2;
}

bool ParseInteger(const char* text, int64_t* value) {
  if (text == nullptr || *text == '\0') return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *value = parsed;
  return true;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

int CreateCommand(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  const std::string archive = args[0];
  klx::rar2tool::WriterOptions options;
  std::optional<int64_t> mtime;
  std::vector<std::string> paths;
  bool optionsDone = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (optionsDone || arg.rfind("--", 0) != 0) {
      paths.push_back(arg);
    } else if (arg == "--") {
      optionsDone = true;
    } else if (arg == "--solid") {
      options.solid = true;
    } else if (arg == "--method" && hasValue) {
      int64_t method;
      if (!ParseInteger(args[++i].c_str(), &method) || method < 0 || method > 5) return Usage();
      options.method = int(method);
    } else if (arg == "--key" && hasValue) {
      options.key = args[++i];
    } else if (arg == "--mtime" && hasValue) {
      int64_t seconds;
      if (!ParseInteger(args[++i].c_str(), &seconds)) return Usage();
      mtime = seconds;
    } else {
      return Usage();
    }
  }
  if (paths.empty()) return Usage();
  if (!mtime) {
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
      int64_t seconds;
      if (!ParseInteger(epoch, &seconds)) {
        std::fprintf(stderr, "klx-rar2: SOURCE_DATE_EPOCH is not a number of seconds: %s\n", epoch);
        return 1;
      }
      mtime = seconds;
    }
  }

  std::vector<klx::rar2tool::ArchiveEntry> entries;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!klx::rar2tool::CollectPaths(paths, mtime, &entries, &error) ||
      !klx::rar2tool::WriteArchive(entries, options, &bytes, &error)) {
    std::fprintf(stderr, "klx-rar2: %s\n", error.c_str());
    return 1;
  }
  if (!WriteFile(archive, bytes)) {
    std::fprintf(stderr, "klx-rar2: cannot write %s: %s\n", archive.c_str(), std::strerror(errno));
    return 1;
  }
  return 0;
}

// Reads the key option of list and extract: [--key KEY] anywhere after the
// command. The positional arguments are left in `positional`.
bool SplitKey(const std::vector<std::string>& args, std::vector<std::string>* positional, std::string* key) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--key") {
      if (i + 1 >= args.size()) return false;
      *key = args[++i];
    } else if (args[i].rfind("--", 0) == 0) {
      return false;
    } else {
      positional->push_back(args[i]);
    }
  }
  return true;
}

int ListCommand(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::string key;
  if (!SplitKey(args, &positional, &key) || positional.size() != 1) return Usage();
  return klx::rar2tool::ListArchive(positional[0], key);
}

int ExtractCommand(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::string key;
  if (!SplitKey(args, &positional, &key) || positional.size() != 2) return Usage();
  return klx::rar2tool::ExtractArchive(positional[0], positional[1], key);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "create") return CreateCommand(args);
  if (command == "list") return ListCommand(args);
  if (command == "extract") return ExtractCommand(args);
  return Usage();
}
