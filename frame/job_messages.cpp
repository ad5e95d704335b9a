#include "frame/job_messages.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelvara {

namespace {

constexpr size_t kLengthBytes = 4;

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool readAll(int fd, char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

void JobWire::number(int64_t value) {
  bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void JobWire::text(std::string_view value) {
  const uint32_t size = static_cast<uint32_t>(value.size());
  bytes.append(reinterpret_cast<const char*>(&size), sizeof size);
  bytes.append(value);
}

void JobWire::texts(const std::vector<std::string>& values) {
  number(static_cast<int64_t>(values.size()));
  for (const std::string& value : values) text(value);
}

int64_t JobWire::number() {
  int64_t value = 0;
  if (!ok || bytes.size() - at < sizeof value) {
    ok = false;
    return 0;
  }
  std::memcpy(&value, bytes.data() + at, sizeof value);
  at += sizeof value;
  return value;
}

std::string JobWire::text() {
  uint32_t size = 0;
  if (!ok || bytes.size() - at < sizeof size) {
    ok = false;
    return {};
  }
  std::memcpy(&size, bytes.data() + at, sizeof size);
  at += sizeof size;
  if (bytes.size() - at < size) {
    ok = false;
    return {};
  }
  std::string value = bytes.substr(at, size);
  at += size;
  return value;
}

std::vector<std::string> JobWire::texts() {
  const int64_t count = number();
  std::vector<std::string> values;
  for (int64_t i = 0; ok && i < count; ++i) values.push_back(text());
  return values;
}

void writeEntryResult(JobWire& w, const EntryResult& r) {
  w.number(static_cast<int64_t>(JobMessage::Entry));
  w.number(r.index);
  w.text(r.entry);
  for (int64_t n : {r.duplicates, r.readOnlyFiles, r.processed, r.failed, r.readOnlySkipped,
                    int64_t{r.runFailed}, int64_t{r.saveFailed}})
    w.number(n);
  for (const auto* list : {&r.textNames, &r.designNames, &r.lostFiles, &r.backups}) w.texts(*list);
  for (const auto* text : {&r.reportName, &r.header, &r.text, &r.out, &r.err}) w.text(*text);
}

bool readEntryResult(JobWire& w, EntryResult* r) {
  r->index = w.number();
  r->entry = w.text();
  for (int64_t* n :
       {&r->duplicates, &r->readOnlyFiles, &r->processed, &r->failed, &r->readOnlySkipped})
    *n = w.number();
  r->runFailed = w.number() != 0;
  r->saveFailed = w.number() != 0;
  for (auto* list : {&r->textNames, &r->designNames, &r->lostFiles, &r->backups}) *list = w.texts();
  for (auto* text : {&r->reportName, &r->header, &r->text, &r->out, &r->err}) *text = w.text();
  return w.ok;
}

bool sendJobMessage(int fd, const std::string& payload) {
  const uint32_t size = static_cast<uint32_t>(payload.size());
  std::string message(reinterpret_cast<const char*>(&size), kLengthBytes);
  message += payload;
  return writeAll(fd, message.data(), message.size());
}

bool receiveJobMessage(int fd, std::string* payload) {
  uint32_t size = 0;
  if (!readAll(fd, reinterpret_cast<char*>(&size), kLengthBytes)) return false;
  payload->assign(size, '\0');
  return readAll(fd, payload->data(), size);
}

bool takeJobMessage(std::string& inbox, std::string* payload) {
  uint32_t size = 0;
  if (inbox.size() < kLengthBytes) return false;
  std::memcpy(&size, inbox.data(), kLengthBytes);
  if (inbox.size() - kLengthBytes < size) return false;
  payload->assign(inbox, kLengthBytes, size);
  inbox.erase(0, kLengthBytes + size);
  return true;
}

}  // namespace kelvara
