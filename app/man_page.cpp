// kelvara_man_page: writes the manual page kelvara.1 made from the text of `kelvara --help`
// (run at build time; `cmake --install` installs the page).
//
// Each section heading of the help (a line at the margin ending with ':') becomes a section of
// the page; the lines under it are kept as they are (no filling), with troff's special
// characters escaped.
#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>

#include "frame/options.h"
#include "report/text_report.h"

namespace {

bool isHeading(const std::string& line) {
  return !line.empty() && line[0] != ' ' && line.back() == ':';
}

std::string sectionName(std::string heading) {
  heading.pop_back();
  if (heading == "Usage") return "SYNOPSIS";
  for (char& c : heading) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return heading;
}

// A line of text as troff shows it literally.
std::string escaped(const std::string& line) {
  std::string out;
  if (!line.empty() && (line[0] == '.' || line[0] == '\'')) out = "\\&";
  for (const char c : line) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: kelvara_man_page OUTPUT\n", stderr);
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(out, ".TH KELVARA 1 \"\" \"%s %s\" \"User Commands\"\n", kelvara::PRODUCT_NAME,
               kelvara::PRODUCT_VERSION);
  std::fputs(".SH NAME\nkelvara \\- find and remove duplicate elements in DGN V7 design files\n",
             out);
  std::istringstream help(kelvara::helpText());
  std::string line;
  bool open = false;
  while (std::getline(help, line)) {
    if (isHeading(line)) {
      if (open) std::fputs(".fi\n", out);
      std::fprintf(out, ".SH %s\n.nf\n", sectionName(line).c_str());
      open = true;
    } else if (open) {
      std::fprintf(out, "%s\n", escaped(line).c_str());
    }
  }
  if (open) std::fputs(".fi\n", out);
  return std::fclose(out) == 0 ? 0 : 1;
}
