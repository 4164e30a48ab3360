#include "persist/player_folders.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "persist/user_settings.h"

namespace lyraban {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxProductBytes = 100;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Length of the valid UTF-8 sequence at `i`, 0 when it is not one.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  std::size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead <= 0xDF ? 2 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  // Overlong three- and four-byte forms, surrogates and code points past
  // U+10FFFF are refused like any other broken byte.
  if (n == 3 && ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) >= 0xA0))) return 0;
  if (n == 4 && ((lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) >= 0x90))) return 0;
  return n;
}

// ASCII that every file system and desktop takes in a folder name.
bool IsNameSafe(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_' ||
         c == '.' || c == '+' || c == '(' || c == ')' || c == ',';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// An XDG base folder: the variable when it holds an absolute path (relative
// ones are invalid and ignored), else the default below the home folder.
fs::path BaseFolder(const std::string& variable, const std::string& home, const char* fallback) {
  if (!variable.empty() && variable.front() == '/') return fs::path(variable);
  if (!home.empty() && home.front() == '/') return fs::path(home) / fallback;
  return {};
}

}  // namespace

FolderEnvironment FolderEnvironment::FromProcess() {
  FolderEnvironment env;
  env.xdgDataHome = Environment("XDG_DATA_HOME");
  env.xdgConfigHome = Environment("XDG_CONFIG_HOME");
  env.home = Environment("HOME");
  if (env.home.empty()) {
    if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir) env.home = account->pw_dir;
  }
  env.canWrite = CanCreateFileIn;
  return env;
}

bool CanCreateFileIn(const fs::path& folder) {
  std::string pattern = (folder / ".lyraban-write-check-XXXXXX").string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(pattern.c_str());
  return true;
}

std::string SafeProductName(std::string_view productId, std::string_view title) {
  std::string_view source = Trim(productId);
  if (source.empty()) source = Trim(title);
  std::string name;
  for (std::size_t i = 0; i < source.size() && name.size() < kMaxProductBytes;) {
    const unsigned char c = static_cast<unsigned char>(source[i]);
    if (c < 0x80) {
      name += IsNameSafe(c) ? static_cast<char>(c) : '_';
      ++i;
      continue;
    }
    const std::size_t n = Utf8Length(source, i);
    if (n == 0) {
      name += '_';
      ++i;
      continue;
    }
    // A letter that does not fit whole is left out, never cut in half.
    if (name.size() + n > kMaxProductBytes) break;
    name.append(source.substr(i, n));
    i += n;
  }
  if (name.empty()) return "game";
  if (name.front() == '.') name.front() = '_';
  return name;
}

PlayerFolders ChoosePlayerFolders(const fs::path& gameFolder, std::string_view product,
                                  const FolderEnvironment& environment) {
  PlayerFolders beside;
  beside.saveFolder = (gameFolder / "save" / "").string();
  beside.settingsFile = kUserSettingsFileName;
  beside.besideGame = true;

  std::error_code ec;
  const fs::path probe = fs::is_directory(gameFolder / "save", ec) ? gameFolder / "save" : gameFolder;
  if (environment.canWrite && environment.canWrite(probe)) return beside;

  const fs::path data = BaseFolder(environment.xdgDataHome, environment.home, ".local/share");
  const fs::path config = BaseFolder(environment.xdgConfigHome, environment.home, ".config");
  if (data.empty() || config.empty()) return beside;

  PlayerFolders own;
  own.saveFolder = (data / "lyraban" / std::string(product) / "save" / "").string();
  own.settingsFile = (config / "lyraban" / std::string(product) / kUserSettingsFileName).string();
  own.besideGame = false;
  return own;
}

bool CreatePlayerFolders(const PlayerFolders& folders) {
  if (folders.besideGame) return true;
  std::error_code ec;
  bool ok = true;
  for (const fs::path& folder : {fs::path(folders.saveFolder), fs::path(folders.settingsFile).parent_path()}) {
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) ok = false;
  }
  return ok;
}

}  // namespace lyraban
