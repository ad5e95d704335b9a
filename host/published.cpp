// Published records: fields addressed by "variable.field".
#include <charconv>
#include <cstring>
#include <map>

#include "host/dialogs.h"
#include "host/types.h"

namespace kelvara {

namespace {

struct PublishedRecord {
  std::string structName;
  std::vector<PublishedField> fields;
};

std::map<std::string, PublishedRecord, std::less<>>& records() {
  static std::map<std::string, PublishedRecord, std::less<>> all;
  return all;
}

// Copies `text` into `buffer` cut to `capacity` bytes with the NUL, never inside a UTF-8
// sequence.
void storeText(char* buffer, size_t capacity, std::string_view text) {
  if (capacity == 0) return;
  size_t n = std::min(text.size(), capacity - 1);
  if (n < text.size()) {
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace

void resetPublishedRecords() {
  records().clear();
}

PublishedField intField(std::string name, int32_t* address) {
  return {std::move(name), FieldType::Int32, address, sizeof(int32_t)};
}

PublishedField textField(std::string name, char* buffer, size_t capacity) {
  return {std::move(name), FieldType::Text, buffer, capacity};
}

int mdlDialog_publishComplexVariable(std::string_view structName, std::string_view variableName,
                                     std::vector<PublishedField> fields) {
  if (structName.empty() || variableName.empty()) return ERROR;
  records()[std::string(variableName)] = {std::string(structName), std::move(fields)};
  return SUCCESS;
}

const PublishedField* findPublishedField(std::string_view binding) {
  const size_t dot = binding.find('.');
  if (dot == std::string_view::npos) return nullptr;
  auto it = records().find(binding.substr(0, dot));
  if (it == records().end()) return nullptr;
  const std::string_view fieldName = binding.substr(dot + 1);
  for (const PublishedField& field : it->second.fields) {
    if (field.name == fieldName) return &field;
  }
  return nullptr;
}

std::string readBoundValue(std::string_view binding) {
  const PublishedField* field = findPublishedField(binding);
  if (field == nullptr || field->address == nullptr) return "";
  if (field->type == FieldType::Int32)
    return std::to_string(*static_cast<int32_t*>(field->address));
  const char* text = static_cast<const char*>(field->address);
  return std::string(text, strnlen(text, field->capacity));
}

bool writeBoundValue(std::string_view binding, std::string_view value) {
  const PublishedField* field = findPublishedField(binding);
  if (field == nullptr || field->address == nullptr) return false;
  if (field->type == FieldType::Text) {
    storeText(static_cast<char*>(field->address), field->capacity, value);
    return true;
  }
  int32_t number = 0;
  const char* end = value.data() + value.size();
  const auto [ptr, ec] = std::from_chars(value.data(), end, number);
  if (value.empty() || ec != std::errc() || ptr != end) return false;
  *static_cast<int32_t*>(field->address) = number;
  return true;
}

}  // namespace kelvara
