#include "platform/sdl/dialog_program.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace lyraban::platform {

namespace {

// The program's exit status; -1 when it could not be started or died.
int RunAndWait(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// xmessage draws with the X server's core fonts, which garble anything
// beyond ASCII: it gets only the lines that are plain ASCII.
std::string AsciiLines(const std::string& text) {
  std::string out, line;
  bool ascii = true;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n') {
      if (ascii) out += line + (i == text.size() ? "" : "\n");
      line.clear();
      ascii = true;
    } else {
      ascii = ascii && static_cast<unsigned char>(text[i]) < 0x80;
      line += text[i];
    }
  }
  while (!out.empty() && out.front() == '\n') out.erase(0, 1);
  return out;
}

}  // namespace

bool ShowMessageWithDialogProgram(const std::string& utf8Text, const std::string& utf8Caption) {
  const std::vector<std::vector<std::string>> programs = {
      {"zenity", "--error", "--no-markup", "--title", utf8Caption, "--text", utf8Text},
      {"kdialog", "--title", utf8Caption, "--error", utf8Text},
      {"xmessage", "-center", "-title", utf8Caption, "-buttons", "OK:0", AsciiLines(utf8Text)},
  };
  for (const auto& program : programs) {
    // 0 is the button, 1 the window's close box; anything else (127 from a
    // shell wrapper, 255 for no display) means the player saw nothing.
    const int status = RunAndWait(program);
    if (status == 0 || status == 1) return true;
  }
  return false;
}

}  // namespace lyraban::platform
