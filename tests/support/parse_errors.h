// Readable test output for the errors that readers hand back.
#pragma once

#include <ostream>

#include "host/parse_error.h"

namespace kelvara {

inline void PrintTo(const ParseError& e, std::ostream* os) {
  *os << "{" << e.code << ", \"" << e.text << "\", " << e.file << ":" << e.line
      << (e.alert ? ", alert}" : "}");
}

}  // namespace kelvara
