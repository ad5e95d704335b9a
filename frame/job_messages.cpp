#include "frame/job_messages.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <span>

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

template <typename T>
void putArray(JobWire& w, std::span<const T> values) {
  w.text(std::string_view(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T)));
}

template <typename T>
std::vector<T> getArray(JobWire& w) {
  const std::string bytes = w.text();
  std::vector<T> values(bytes.size() / sizeof(T));
  if (!values.empty()) std::memcpy(values.data(), bytes.data(), values.size() * sizeof(T));
  return values;
}

void writeRecord(JobWire& w, const DuplicateRecords& list, const DuplicateRecord& r) {
  for (int64_t n : {int64_t{r.entryIndex}, int64_t{r.filePosition},
                    static_cast<int64_t>(r.elementId), int64_t{r.type}, int64_t{r.level}, r.colour,
                    r.weight, static_cast<int64_t>(r.outcome), static_cast<int64_t>(r.reason),
                    int64_t{r.hasPartner}, int64_t{r.partnerPosition}, int64_t{r.partnerType}})
    w.number(n);
  for (const uint32_t text : {r.designFile, r.model, r.levelName, r.style}) {
    w.text(textOf(list, text));
  }
  const ListGeometry g = geometryOf(list, r);
  putArray(w, g.runSizes);
  putArray(w, g.xy);
}

void readRecord(JobWire& w, DuplicateRecords& list) {
  DuplicateRecord& r = list.records.emplace_back();
  r.entryIndex = static_cast<int>(w.number());
  r.filePosition = static_cast<uint32_t>(w.number());
  r.elementId = static_cast<uint64_t>(w.number());
  r.type = static_cast<int>(w.number());
  r.level = static_cast<int32_t>(w.number());
  r.colour = w.number();
  r.weight = w.number();
  r.outcome = static_cast<ListOutcome>(w.number());
  r.reason = static_cast<MatchReason>(w.number());
  r.hasPartner = w.number() != 0;
  r.partnerPosition = static_cast<uint32_t>(w.number());
  r.partnerType = static_cast<int>(w.number());
  for (uint32_t* text : {&r.designFile, &r.model, &r.levelName, &r.style}) {
    *text = listText(list, w.text());
  }
  const std::vector<uint32_t> runs = getArray<uint32_t>(w);
  const std::vector<double> xy = getArray<double>(w);
  r.runFirst = static_cast<uint32_t>(list.runSizes.size());
  r.runCount = static_cast<uint32_t>(runs.size());
  list.runSizes.insert(list.runSizes.end(), runs.begin(), runs.end());
  r.xyFirst = list.xy.size();
  r.xyCount = static_cast<uint32_t>(xy.size());
  list.xy.insert(list.xy.end(), xy.begin(), xy.end());
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
                    r.notDeleted, int64_t{r.runFailed}, int64_t{r.saveFailed}})
    w.number(n);
  for (const auto* list : {&r.textNames, &r.designNames, &r.lostFiles, &r.backups}) w.texts(*list);
  for (const auto* text : {&r.reportName, &r.header, &r.text, &r.out, &r.err}) w.text(*text);
  w.number(static_cast<int64_t>(r.records.records.size()));
  for (const DuplicateRecord& record : r.records.records) writeRecord(w, r.records, record);
}

bool readEntryResult(JobWire& w, EntryResult* r) {
  r->index = w.number();
  r->entry = w.text();
  for (int64_t* n : {&r->duplicates, &r->readOnlyFiles, &r->processed, &r->failed,
                     &r->readOnlySkipped, &r->notDeleted})
    *n = w.number();
  r->runFailed = w.number() != 0;
  r->saveFailed = w.number() != 0;
  for (auto* list : {&r->textNames, &r->designNames, &r->lostFiles, &r->backups}) *list = w.texts();
  for (auto* text : {&r->reportName, &r->header, &r->text, &r->out, &r->err}) *text = w.text();
  const int64_t records = w.number();
  for (int64_t i = 0; w.ok && i < records; ++i) readRecord(w, r->records);
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
