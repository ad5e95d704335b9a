// The page's state as JSON text, and user events read from JSON (web layer internals).
#pragma once

#include <string>
#include <string_view>

#include "host/dialogs.h"

namespace kelvara {

// The state the page shows: {"dialogs":[{id,title,modal,items:[{id,kind,caption,value,enabled,
// visible,choices?,default?,cancel?}]}],"fields":{status,prompt,error,message}}. Host thread.
std::string webStateJson();

// Reads an event {"dialog":N,"item":N,"kind":"button"|"change"|"close","value":V}; V is a
// string, a boolean (1/0) or an integer, required for "change". False for anything else (no
// exception is thrown).
bool parseDialogEvent(std::string_view body, DialogEvent* event);

}  // namespace kelvara
