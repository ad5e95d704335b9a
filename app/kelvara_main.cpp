// kelvara: command-line entry point.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/dump.h"
#include "frame/command_line.h"
#include "lists/paths.h"

namespace {
void printUsage(FILE* out) {
  std::fputs(
      "usage: kelvara [--set KEY=VALUE]... ARGUMENT...   unattended run over the arguments\n"
      "       kelvara --dump FILE                        list the elements of a design file\n"
      "       kelvara --help | --version\n",
      out);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("kelvara 0.1.0");
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    printUsage(stdout);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--dump") == 0) {
    if (argc != 3) {
      std::fputs("kelvara: --dump takes exactly one design file\n", stderr);
      printUsage(stderr);
      return 2;
    }
    return kelvara::dumpDesignFile(argv[2], stdout, stderr);
  }
  if (argc < 2) {
    printUsage(stderr);
    return 2;
  }
  std::error_code ec;
  const auto self = std::filesystem::canonical("/proc/self/exe", ec);
  if (!ec) kelvara::setProgramDirectory(self.parent_path().string());
  return kelvara::runFromCommandLine(std::vector<std::string>(argv + 1, argv + argc));
}
