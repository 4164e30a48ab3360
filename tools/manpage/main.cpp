// Writes the manual pages lyraban.6 and lyrapack.1 into a folder, from the
// same descriptions that the programs' --help texts come from.
//
//   lyraban_manpages OUTPUT_FOLDER VERSION
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/command_line_doc.h"
#include "lyrapack_doc.h"
#include "roff.h"

namespace {

bool WritePage(const std::filesystem::path& folder, const lyraban::ProgramDoc& doc, const char* version) {
  const auto target = folder / (std::string(doc.name) + "." + std::to_string(doc.section));
  auto temp = target;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << lyraban::ManualPage(doc, version);
    if (!out.flush()) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: lyraban_manpages OUTPUT_FOLDER VERSION\n", stderr);
    return 2;
  }
  std::error_code ec;
  std::filesystem::create_directories(argv[1], ec);
  for (const lyraban::ProgramDoc* doc : {&lyraban::command_line_doc::kDoc, &lyraban::lyrapack_doc::kDoc}) {
    if (!WritePage(argv[1], *doc, argv[2])) {
      std::fprintf(stderr, "lyraban_manpages: cannot write the page of %s into %s\n", doc->name, argv[1]);
      return 1;
    }
  }
  return 0;
}
