// `kelvara --dump FILE`: one line per element of a design file, in file order.
#pragma once

#include <cstdio>
#include <string>

namespace kelvara {

// Prints every element of the design file at path (deleted ones and components included) to
// out, tab-separated: file position, type, level, colour, weight, style, class, deleted (0/1),
// complex component (0/1), xlow ylow zlow xhigh yhigh zhigh; with `header`, a first row names
// these columns. Returns 0, or 1 after printing a message naming the file (and byte offset) to
// err when the file cannot be read.
int dumpDesignFile(const std::string& path, bool header, FILE* out, FILE* err);

}  // namespace kelvara
