#include "host/config.h"

#include <cstdlib>

#include "host/state.h"
#include "host/strings.h"

namespace kelvara {

namespace {

// The environment's value of `name`, or nullptr.
const char* environmentValue(std::string_view name) {
  const std::string key(name);
  return std::getenv(key.c_str());
}

bool isAbsolutePath(const char* path) {
  return path != nullptr && path[0] == '/';
}

// The folder that stands in for APPDATA on this platform; false when there is none.
bool appDataFallback(std::string* value) {
  const char* xdg = environmentValue("XDG_CONFIG_HOME");
  if (isAbsolutePath(xdg)) {
    *value = xdg;
    return true;
  }
  const char* home = environmentValue("HOME");
  if (home != nullptr && home[0] != '\0') {
    *value = home;
    if (value->back() != '/') *value += '/';
    *value += ".config";
    return true;
  }
  return false;
}

bool lookUp(std::string* value, std::string_view name) {
  const auto& vars = hostState().cfgVars;
  if (auto it = vars.find(name); it != vars.end()) {
    *value = it->second;
    return true;
  }
  if (name.find('\0') != std::string_view::npos) return false;
  if (const char* env = environmentValue(name)) {
    *value = env;
    return true;
  }
  if (name == "APPDATA") return appDataFallback(value);
  return false;
}

}  // namespace

int mdlSystem_getCfgVar(std::string* value, std::string_view name) {
  std::string found;
  const bool defined = !name.empty() && lookUp(&found, name);
  if (value) *value = defined ? std::move(found) : std::string();
  return defined ? SUCCESS : ERROR;
}

int mdlSystem_getCfgVar(char* value, std::string_view name, size_t capacity) {
  std::string found;
  const int status = mdlSystem_getCfgVar(&found, name);
  if (value) copyCut(value, capacity, found);
  return status;
}

int mdlSystem_defineCfgVar(std::string_view name, std::string_view value) {
  if (name.empty() || name.find_first_of(std::string_view("=\0", 2)) != std::string_view::npos) {
    return ERROR;
  }
  hostState().cfgVars.insert_or_assign(std::string(name), std::string(value));
  return SUCCESS;
}

int mdlSystem_undefineCfgVar(std::string_view name) {
  auto& vars = hostState().cfgVars;
  auto it = vars.find(name);
  if (it == vars.end()) return ERROR;
  vars.erase(it);
  return SUCCESS;
}

bool cfgVarDefined(std::string_view name) {
  std::string ignored;
  return mdlSystem_getCfgVar(&ignored, name) == SUCCESS;
}

}  // namespace kelvara
