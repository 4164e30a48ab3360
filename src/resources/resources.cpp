#include "resources/resources.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "base/regular_file.h"
#include "base/strings.h"

namespace lyraban {

namespace {

namespace fs = std::filesystem;

constexpr const char kReadFailed[] = "読みこみ失敗";
constexpr const char kCannotOpen[] = "アーカイブを開けない";
constexpr const char kUnknownError[] = "？？？";

bool IsFullPath(std::string_view name) {
  return name.find(':') != std::string_view::npos || (!name.empty() && name.front() == '/');
}

// Splits a resource name at backslashes and slashes, leaving the trail bytes
// of double-byte characters alone (a trail byte may equal a backslash).
std::vector<std::string> SplitComponents(std::string_view name, const CodePage& codePage) {
  std::vector<std::string> parts;
  std::string current;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (codePage.IsLeadByte(static_cast<u8>(c)) && i + 1 < name.size()) {
      current += c;
      current += name[++i];
    } else if (c == '\\' || c == '/') {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

}  // namespace

bool IsTextResourceName(std::string_view name) {
  static constexpr std::string_view kTextExtensions[] = {".txt", ".img", ".map", ".ini", ".def"};
  for (std::string_view ext : kTextExtensions)
    if (name.size() >= ext.size() && EqualsNoCase(name.substr(name.size() - ext.size()), ext)) return true;
  return false;
}

namespace {

std::string ProgramFolder() {
  std::string buffer(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return {};
  buffer.resize(static_cast<size_t>(n));
  const size_t slash = buffer.rfind('/');
  if (slash == std::string::npos) return {};
  return buffer.substr(0, slash);
}

}  // namespace

bool Resources::OpenDataFolder(std::string_view gameFolder) {
  directory_.Clear();
  std::string folder(gameFolder);
  if (folder.empty()) folder = ProgramFolder();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty())
    dataFolder_ = "./data/";
  else if (folder == "/")
    dataFolder_ = "/data/";
  else
    dataFolder_ = folder + "/data/";
  OpenArchive(dataFolder_ + "system.dat", "system.dat");
  return true;
}

bool Resources::OpenAllArchives() {
  directory_.Clear();
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dataFolder_, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < 4 || !EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".dat")) continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    names.push_back(name);
  }
  if (names.empty()) return false;
  // The file system's order is arbitrary; byte order makes ties reproducible.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) OpenArchive(dataFolder_ + name, name);
  return true;
}

bool Resources::OpenArchive(const std::string& path, const std::string& fileName) {
  return lyraban::OpenArchive(directory_, path, fileName);
}

void Resources::Diagnose(Trace& trace, const char* errorText, const PackFile& file, u32 size, u8 scrambleCode) {
  if (!trace.Enabled()) return;
  // The error text is UTF-8 already, so it goes into the format rather than
  // through the code-page conversion of string arguments.
  const std::string format = std::string("ファイル:\n\t　　エラー内容:") + errorText +
                             "\n\t　　ファイル名:%s\n\tファイルサイズ:%d\n\t　暗号化コード:%04X\n";
  trace.DebugTrace(format.c_str(), file.resolvedName_, static_cast<int>(size), static_cast<unsigned>(scrambleCode));
}

namespace {

// The entry of `folder` that equals `name` with ASCII letters folded; the
// first in byte order when several do. Empty when none does.
std::string FindNoCase(const std::string& folder, std::string_view name) {
  std::string best;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (EqualsNoCase(entry, name) && (best.empty() || entry < best)) best = entry;
  }
  return best;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string Resources::FindLooseFile(const std::string& resolvedName) const {
  std::string path = dataFolder_;
  bool first = true;
  for (const std::string& part : SplitComponents(resolvedName, trace_.codePage())) {
    if (!first) path += '/';
    first = false;
    // The bytes of the game's code page first, exactly, then with ASCII
    // letters folded; then the same for the name's UTF-8 spelling, which is
    // how files made on Linux are named.
    std::string found;
    if (Exists(path + part)) {
      found = part;
    } else if (std::string folded = FindNoCase(path, part); !folded.empty()) {
      found = std::move(folded);
    } else if (const std::string utf8 = trace_.codePage().ToUtf8(part); utf8 != part) {
      if (Exists(path + utf8))
        found = utf8;
      else
        found = FindNoCase(path, utf8);
    }
    path += found.empty() ? part : found;
  }
  return path;
}

bool Resources::OpenResource(PackFile& file, std::string_view folder, std::string_view name) {
  return Open(trace_, file, folder, name);
}

bool Resources::Open(Trace& trace, PackFile& file, std::string_view folder, std::string_view name) const {
  Close(file);
  if (name.empty()) {
    trace.Because("no file name was given");
    Diagnose(trace, kUnknownError, file, 0, 0);
    return false;
  }
  const bool fullPath = IsFullPath(name);
  if (fullPath || folder.empty())
    file.resolvedName_.assign(name);
  else
    file.resolvedName_ = std::string(folder) + "\\" + std::string(name);

  std::string path;
  const PackEntry* entry = fullPath ? nullptr : directory_.Find(file.resolvedName_);
  if (entry)
    path = dataFolder_ + entry->archive;
  else
    path = fullPath ? file.resolvedName_ : FindLooseFile(file.resolvedName_);

  std::FILE* stream = OpenRegularStreamForRead(path.c_str());
  struct stat st;
  if (stream && (::fstat(::fileno(stream), &st) != 0 || !S_ISREG(st.st_mode))) {
    std::fclose(stream);
    stream = nullptr;
  }
  if (!stream) {
    if (entry)
      trace.Because("archive %s holds %s but cannot be opened", entry->archive, file.resolvedName_);
    else if (fullPath)
      trace.Because("%s cannot be opened", file.resolvedName_);
    else
      trace.Because("%s is in no archive and no loose file", file.resolvedName_);
    Diagnose(trace, kCannotOpen, file, entry ? entry->size : 0, entry ? entry->scrambleCode : 0);
    Close(file);
    return false;
  }
  file.stream_.reset(stream);
  const u64 length = static_cast<u64>(st.st_size);
  file.archived_ = entry != nullptr;
  if (entry) {
    file.size_ = entry->size;
    file.scrambleCode_ = entry->scrambleCode;
    file.available_ = length > entry->offset ? length - entry->offset : 0;
    if (::fseeko(stream, static_cast<off_t>(entry->offset), SEEK_SET) != 0) file.available_ = 0;
  } else {
    if (length > 0xFFFFFFFFu) {
      trace.Because("%s is larger than 4 GiB", file.resolvedName_);
      Diagnose(trace, kCannotOpen, file, 0xFFFFFFFFu, 0);
      Close(file);
      return false;
    }
    file.size_ = static_cast<u32>(length);
    file.scrambleCode_ = 0;
    file.available_ = length;
  }
  file.keystream_.Seed(kPackBaseSeed + file.scrambleCode_);
  return true;
}

bool Resources::ReadResource(PackFile& file, void* dst, u32 count) { return Read(trace_, file, dst, count); }

bool Resources::Read(Trace& trace, PackFile& file, void* dst, u32 count) {
  if (dst == nullptr || count == 0 || !file.IsOpen()) {
    Diagnose(trace, kUnknownError, file, file.size_, file.scrambleCode_);
    return false;
  }
  if (std::fread(dst, 1, count, file.stream_.get()) != count) {
    trace.Because("the file ends before the bytes asked for");
    Diagnose(trace, kReadFailed, file, file.size_, file.scrambleCode_);
    return false;
  }
  if (file.scrambleCode_ != 0) file.keystream_.Apply(static_cast<u8*>(dst), count);
  return true;
}

void Resources::CloseResource(PackFile& file) { Close(file); }

void Resources::Close(PackFile& file) {
  file.stream_.reset();
  file.resolvedName_.clear();
  file.size_ = 0;
  file.scrambleCode_ = 0;
  file.archived_ = false;
  file.available_ = 0;
}

template <class Buffer>
bool Resources::ReadWhole(Trace& trace, std::string_view folder, std::string_view name, Buffer& out, bool* empty,
                          bool* archived) const {
  out.clear();
  PackFile file;
  if (!Open(trace, file, folder, name)) return false;
  if (archived) *archived = file.archived_;
  if (empty) {
    *empty = file.size_ == 0;
    if (*empty) return true;
  }
  if (!file.IsComplete()) {
    trace.Because("the archive ends before the entry %s does", file.resolvedName_);
    Diagnose(trace, kReadFailed, file, file.size_, file.scrambleCode_);
    return false;
  }
  if (file.size_ > kMaxWholeResourceBytes) {
    trace.DebugTrace("リソースが大きすぎる（%s：%u バイト、上限 %u バイト）", file.resolvedName_,
                     static_cast<unsigned>(file.size_), static_cast<unsigned>(kMaxWholeResourceBytes));
    return false;
  }
  out.resize(file.size_);
  if (!Read(trace, file, out.data(), file.size_)) {
    out.clear();
    return false;
  }
  return true;
}

bool Resources::ReadWholeResource(std::string_view folder, std::string_view name, std::vector<u8>& out) {
  return ReadWhole(trace_, folder, name, out);
}

bool Resources::ReadWholeResource(std::string_view folder, std::string_view name, std::string& out) {
  return ReadText(trace_, folder, name, out, nullptr);
}

bool Resources::ReadWholeResourceQuietly(std::string_view folder, std::string_view name, std::string& out) const {
  Trace quiet(trace_.codePage());
  return ReadText(quiet, folder, name, out, nullptr);
}

bool Resources::ReadText(Trace& trace, std::string_view folder, std::string_view name, std::string& out,
                         bool* empty) const {
  bool archived = false;
  if (!ReadWhole(trace, folder, name, out, empty, &archived)) return false;
  if (archived || !IsTextResourceName(name)) return true;
  // Authors on Linux write loose files in UTF-8; the engine's text is in
  // the game's code page. Text in the code page itself is almost never
  // well-formed UTF-8 as a whole, so it stays as it is.
  const bool bom = out.starts_with("\xEF\xBB\xBF");
  const bool utf8 = bom || (std::any_of(out.begin(), out.end(), [](char c) { return static_cast<u8>(c) >= 0x80; }) &&
                            IsValidUtf8(out));
  if (utf8) out = trace.codePage().FromUtf8(std::string_view(out).substr(bom ? 3 : 0));
  return true;
}

void Resources::TraceCutAtNul(const TextLines& lines, std::string_view folder, std::string_view name) {
  if (lines.cutAtNul())
    trace_.DebugTrace("NUL バイトでテキストが終わっている（%s\\%s：%zu 行目の後は読まない）", folder, name,
                      lines.LineCount());
}

bool Resources::LoadTextLines(TextLines& lines, std::string_view folder, std::string_view name) {
  lines.Clear();
  std::string text;
  if (!ReadWholeResource(folder, name, text)) return false;
  const bool ok = lines.Split(std::move(text));
  TraceCutAtNul(lines, folder, name);
  return ok;
}

bool Resources::LoadTextLines(TextLines& lines, std::string_view folder, std::string_view name, bool& empty) {
  lines.Clear();
  std::string text;
  if (!ReadText(trace_, folder, name, text, &empty)) return false;
  if (empty) return true;
  const bool ok = lines.Split(std::move(text));
  TraceCutAtNul(lines, folder, name);
  return ok;
}

}  // namespace lyraban
