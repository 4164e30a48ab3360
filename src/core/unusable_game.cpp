#include "core/unusable_game.h"

#include <algorithm>
#include <filesystem>

#include "base/strings.h"
#include "resources/archive.h"

namespace lyraban {

namespace fs = std::filesystem;

GameDiagnosis DiagnoseUnusableGame(const std::string& dataFolder) {
  GameDiagnosis diagnosis;
  std::error_code ec;
  if (!fs::is_directory(dataFolder, ec)) {
    diagnosis.problem = GameProblem::NoDataFolder;
    return diagnosis;
  }
  std::vector<std::string> archives;
  bool looseScripts = false;
  for (fs::directory_iterator it(dataFolder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code typeError;
    if (EqualsNoCase(name, "script") && it->is_directory(typeError)) looseScripts = true;
    if (name.size() >= 4 && EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".dat") &&
        !it->is_directory(typeError))
      archives.push_back(name);
  }
  std::sort(archives.begin(), archives.end());
  for (const std::string& name : archives) {
    ResourceDirectory scratch;
    if (!OpenArchive(scratch, dataFolder + name, name)) diagnosis.unreadable.push_back(name);
  }
  if (!diagnosis.unreadable.empty())
    diagnosis.problem = GameProblem::UnreadableArchives;
  else if (archives.empty() && !looseScripts)
    diagnosis.problem = GameProblem::NoGameFiles;
  else
    diagnosis.problem = GameProblem::NoStartScript;
  return diagnosis;
}

std::string UnusableGameMessage(const GameDiagnosis& diagnosis, const std::string& gameFolder) {
  // The English lines stay plain ASCII: the last dialog program that can
  // show them draws nothing else.
  const std::string folder = "“" + gameFolder + "”";
  const std::string asciiFolder = "\"" + gameFolder + "\"";
  switch (diagnosis.problem) {
    case GameProblem::NoDataFolder:
      return "没有找到可以运行的游戏：文件夹" + folder +
             "里没有“data”文件夹。\n请用游戏所在的文件夹启动 Lyraban（命令：lyraban 游戏文件夹）。\n\n"
             "There is no game to play: the folder " +
             asciiFolder +
             " has no \"data\" folder.\nStart Lyraban with the folder of a game (the command: lyraban GAME_FOLDER).";
    case GameProblem::NoGameFiles:
      return "无法开始游戏：文件夹" + folder + "的“data”文件夹里没有游戏文件。\n\n" +
             "The game cannot start: the \"data\" folder in " + asciiFolder + " holds no game files.";
    case GameProblem::UnreadableArchives: {
      std::string list;
      for (const std::string& name : diagnosis.unreadable) list += "    " + name + "\n";
      return "无法开始游戏：以下游戏文件无法读取，可能已损坏或不完整：\n" + list +
             "重新安装游戏也许能解决问题。\n\n"
             "The game cannot start: these files of the game cannot be read, they may be damaged or incomplete:\n" +
             list + "Installing the game again may help.";
    }
    case GameProblem::NoStartScript:
      break;
  }
  return "无法开始游戏：游戏文件里缺少开始脚本（script/start.txt），游戏可能不完整。\n\n"
         "The game cannot start: its files hold no start script (script/start.txt); the game may be incomplete.";
}

}  // namespace lyraban
