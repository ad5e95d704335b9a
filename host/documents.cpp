#include "host/documents.h"

#include <mutex>
#include <vector>

#include "host/dialogs.h"

namespace kelvara {

namespace {

struct Documents {
  std::mutex mutex;
  std::vector<std::string> paths;  // number n is paths[n - 1]
  ShowRequest last;
};

Documents& documents() {
  static Documents d;
  return d;
}

}  // namespace

int allowDocument(std::string_view path) {
  if (path.empty()) return 0;
  Documents& d = documents();
  std::lock_guard lock(d.mutex);
  for (size_t i = 0; i < d.paths.size(); ++i) {
    if (d.paths[i] == path) return static_cast<int>(i + 1);
  }
  d.paths.emplace_back(path);
  return static_cast<int>(d.paths.size());
}

std::string allowedDocument(int number) {
  Documents& d = documents();
  std::lock_guard lock(d.mutex);
  if (number < 1 || static_cast<size_t>(number) > d.paths.size()) return "";
  return d.paths[static_cast<size_t>(number) - 1];
}

bool documentAllowed(std::string_view path) {
  Documents& d = documents();
  std::lock_guard lock(d.mutex);
  for (const std::string& p : d.paths) {
    if (p == path) return true;
  }
  return false;
}

void requestShowDocument(int number) {
  {
    Documents& d = documents();
    std::lock_guard lock(d.mutex);
    ++d.last.serial;
    d.last.number = number;
  }
  noteDialogChange();
}

ShowRequest lastShowRequest() {
  Documents& d = documents();
  std::lock_guard lock(d.mutex);
  return d.last;
}

void resetDocuments() {
  Documents& d = documents();
  std::lock_guard lock(d.mutex);
  d.paths.clear();
  d.last = {};
}

}  // namespace kelvara
