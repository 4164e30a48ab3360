// lyrapack: writes, lists and unpacks the engine's resource archives.
//
// The command line is described in lyrapack_doc.h (also its manual page).
//
// create packs every regular file below DIR, sorted by relative path (byte
// order of the UTF-8 path with "/" separators) so the output is reproducible,
// under its relative path with backslash separators. --convert-text converts
// the names and the contents of text files (.txt .img .map .ini .def, any
// letter case; a leading UTF-8 byte order mark is dropped, a lone LF becomes
// CR LF) from UTF-8 to the game's code page; extract with the same option
// converts them back (line ends stay CR LF).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "base/strings.h"
#include "lyrapack_doc.h"
#include "packwriter/pack_writer.h"
#include "resources/archive.h"
#include "resources/pack_keystream.h"
#include "resources/resources.h"

namespace fs = std::filesystem;
using namespace lyraban;

namespace {

void PrintUsage(std::FILE* to) { std::fputs(FormatHelp(lyrapack_doc::kDoc).c_str(), to); }

int Fail(const std::string& message) {
  std::fprintf(stderr, "lyrapack: %s\n", message.c_str());
  return 1;
}

bool IsTextFile(std::string_view name) { return IsTextResourceName(name); }

// Text files made on Linux end their lines with a lone LF; the format breaks
// lines at CR, so every LF that no CR precedes gets one.
std::string LoneLfToCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

bool ParseU32(const char* text, u32 max, u32& out) {
  if (!text || !*text || *text == '-' || *text == '+') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text, &end, 0);
  if (errno != 0 || *end != '\0' || v > max) return false;
  out = static_cast<u32>(v);
  return true;
}

bool ReadFile(const fs::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

struct Options {
  u32 priority = 0;
  u32 scramble = 0;
  bool convert = false;
  CodePage codePage;
};

// Parses the options after the positional arguments; false on anything unknown.
bool ParseOptions(int argc, char** argv, int first, bool allowPacking, Options& options, std::string& error) {
  for (int i = first; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (allowPacking && arg == "--priority") {
      if (i + 1 >= argc || !ParseU32(argv[++i], 0xFFFFFFFFu, options.priority)) {
        error = "--priority needs a number from 0 to 4294967295";
        return false;
      }
    } else if (allowPacking && arg == "--scramble") {
      if (i + 1 >= argc || !ParseU32(argv[++i], 255, options.scramble)) {
        error = "--scramble needs a code from 0 to 255";
        return false;
      }
    } else if (arg == "--convert-text") {
      options.convert = true;
      if (i + 1 < argc && EqualsNoCase(argv[i + 1], "gbk")) {
        options.codePage = CodePage(CodePage::Kind::Gbk);
        ++i;
      } else if (i + 1 < argc && EqualsNoCase(argv[i + 1], "sjis")) {
        options.codePage = CodePage(CodePage::Kind::ShiftJis);
        ++i;
      }
    } else {
      error = "unknown option " + std::string(arg);
      return false;
    }
  }
  return true;
}

int Create(const std::string& archive, const fs::path& dir, const Options& options) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return Fail(dir.string() + ": not a folder");

  std::vector<fs::path> files;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError)) files.push_back(it->path().lexically_relative(dir));
  }
  if (ec) return Fail(dir.string() + ": " + ec.message());
  std::sort(files.begin(), files.end(),
            [](const fs::path& a, const fs::path& b) { return a.generic_string() < b.generic_string(); });

  PackWriter writer;
  for (const fs::path& relative : files) {
    std::string name;
    for (const fs::path& part : relative) {
      std::string component = part.string();
      if (component.find('\\') != std::string::npos)
        return Fail(relative.string() + ": a backslash in a file name would read as a folder separator");
      if (options.convert) component = options.codePage.FromUtf8(component);
      if (!name.empty()) name += '\\';
      name += component;
    }
    std::string data;
    if (!ReadFile(dir / relative, data)) return Fail(relative.string() + ": cannot read");
    if (options.convert && IsTextFile(name)) {
      if (data.compare(0, 3, "\xEF\xBB\xBF") == 0) data.erase(0, 3);
      data = options.codePage.FromUtf8(LoneLfToCrLf(data));
    }
    if (!writer.AddFile(std::move(name), data, static_cast<u8>(options.scramble)))
      return Fail(relative.string() + ": " + writer.error());
  }
  if (!writer.Write(archive, options.priority)) return Fail(writer.error());
  return 0;
}

int List(const std::string& archive) {
  PackHeader header;
  const bool ok = ReadArchiveDirectory(archive, header, [](PackRecord&& r) {
    std::fwrite(r.name.data(), 1, r.name.size(), stdout);
    std::printf(" %u %u\n", static_cast<unsigned>(r.size), static_cast<unsigned>(r.scrambleCode));
  });
  if (!ok) return Fail(archive + ": cannot read the archive (missing, not a version 203 archive, or damaged)");
  return 0;
}

// Splits an entry name into the components of a relative path; false for a
// name that would leave the target folder or cannot be a file name here.
bool SafeComponents(std::string_view name, const Options& options, std::vector<std::string>& parts) {
  parts.clear();
  std::string current;
  auto finish = [&]() {
    if (current.empty() || current == "." || current == "..") return false;
    parts.push_back(options.convert ? options.codePage.ToUtf8(current) : current);
    current.clear();
    return true;
  };
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '\0' || c == ':') return false;
    // A trail byte of a double-byte character may equal a backslash.
    if (options.convert && options.codePage.IsLeadByte(static_cast<u8>(c)) && i + 1 < name.size()) {
      current += c;
      current += name[++i];
    } else if (c == '\\' || c == '/') {
      if (!finish()) return false;
    } else {
      current += c;
    }
  }
  if (!finish()) return false;
  for (const std::string& p : parts)
    if (p.find('/') != std::string::npos || p == "." || p == "..") return false;
  return true;
}

int Extract(const std::string& archive, const fs::path& dir, const Options& options) {
  PackHeader header;
  std::vector<PackRecord> records;
  if (!ReadArchiveDirectory(archive, header, [&](PackRecord&& r) { records.push_back(std::move(r)); }))
    return Fail(archive + ": cannot read the archive (missing, not a version 203 archive, or damaged)");

  std::error_code ec;
  const u64 length = fs::file_size(archive, ec);
  if (ec) return Fail(archive + ": " + ec.message());
  std::vector<std::vector<std::string>> targets(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    const PackRecord& r = records[i];
    if (!SafeComponents(r.name, options, targets[i])) return Fail("refusing unsafe entry name: " + r.name);
    if (static_cast<u64>(r.offset) + r.size > length) return Fail(r.name + ": entry lies outside the archive");
  }

  std::FILE* in = std::fopen(archive.c_str(), "rb");
  if (!in) return Fail(archive + ": cannot open");
  int result = 0;
  for (size_t i = 0; i < records.size() && result == 0; ++i) {
    const PackRecord& r = records[i];
    std::string data(r.size, '\0');
    if (::fseeko(in, static_cast<off_t>(r.offset), SEEK_SET) != 0 || std::fread(data.data(), 1, r.size, in) != r.size) {
      result = Fail(r.name + ": cannot read");
      break;
    }
    if (r.scrambleCode != 0) PackKeystream(kPackBaseSeed + r.scrambleCode).Apply(data.data(), data.size());
    fs::path target = dir;
    for (const std::string& p : targets[i]) target /= p;
    if (options.convert && IsTextFile(target.filename().string())) data = options.codePage.ToUtf8(data);
    fs::create_directories(target.parent_path(), ec);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) result = Fail(target.string() + ": cannot write");
  }
  std::fclose(in);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    PrintUsage(stdout);
    return 0;
  }
  if (argc < 3) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string_view command = argv[1];
  Options options;
  std::string error;
  if (command == "create" || command == "extract") {
    if (argc < 4) {
      PrintUsage(stderr);
      return 2;
    }
    if (!ParseOptions(argc, argv, 4, command == "create", options, error)) return Fail(error);
    return command == "create" ? Create(argv[2], argv[3], options) : Extract(argv[2], argv[3], options);
  }
  if (command == "list") {
    if (argc != 3) {
      PrintUsage(stderr);
      return 2;
    }
    return List(argv[2]);
  }
  PrintUsage(stderr);
  return 2;
}
