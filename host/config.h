// Host configuration variables.
//
// A configuration variable is a variable the application defined (mdlSystem_defineCfgVar) or,
// failing that, a variable of the process environment. One platform rule applies: "APPDATA",
// when neither defined nor in the environment, is taken from $XDG_CONFIG_HOME (when it is an
// absolute path), else from $HOME/.config. Names are case-sensitive.
#pragma once

#include <string>
#include <string_view>

namespace kelvara {

// Stores the value of `name` in *value. SUCCESS when the variable is defined (an empty value
// counts as defined), ERROR when it is not (then *value is emptied).
[[nodiscard]] int mdlSystem_getCfgVar(std::string* value, std::string_view name);

// The same for a fixed-capacity buffer of `capacity` bytes: the value is cut to fit (never
// inside a UTF-8 sequence) and NUL-terminated; the buffer is emptied when undefined.
[[nodiscard]] int mdlSystem_getCfgVar(char* value, std::string_view name, size_t capacity);

// Defines (or redefines) `name` for this process; it hides an environment variable of the same
// name. ERROR for an empty name or a name containing '=' or NUL.
[[nodiscard]] int mdlSystem_defineCfgVar(std::string_view name, std::string_view value);

// Removes the application's own definition of `name` (the environment is left alone).
// SUCCESS when there was one, ERROR otherwise.
int mdlSystem_undefineCfgVar(std::string_view name);

// True when `name` is defined (see mdlSystem_getCfgVar).
bool cfgVarDefined(std::string_view name);

}  // namespace kelvara
