#pragma once
#include "base/usage_doc.h"

// The command line of lyraban: its --help text and its manual page,
// lyraban(6), are both made from this.
namespace lyraban::command_line_doc {

inline constexpr const char* kSynopsis[] = {"[options] [GAME_FOLDER]"};

inline constexpr UsageItem kArguments[] = {
    {"GAME_FOLDER", "folder that holds data/ (default: the program's own folder, else the installed sample game)"},
};

inline constexpr UsageItem kOptions[] = {
    {"--headless", "run without a window or sound device, on a virtual clock"},
    {"--run-ms N", "close the program once the clock passes N milliseconds"},
    {"--trace FILE", "write every diagnostic to FILE as UTF-8 ('-' = standard error)"},
    {"--screenshot FILE", "at exit, write the last presented frame as a PNG file"},
    {"--audio-dump FILE", "write everything mixed as a 16-bit stereo 44,100 Hz WAV file"},
    {"--input FILE", "scripted input for headless runs"},
    {"--frame-stats FILE",
     "write one line per presented frame: its time on the engine's clock in milliseconds, then the processor "
     "time in milliseconds the main thread spent on it"},
    {"--no-decode-ahead",
     "decode every picture and sound when it is shown or played, not ahead on a second thread (for comparison; the "
     "pictures, sound "
     "and trace are the same either way)"},
    {"--check",
     "check every script, configuration and definition file of the game without playing it; findings go "
     "to standard output as file:line: error|warning: message (exit status 1 on errors)"},
    {"--help", "show this text"},
};

inline constexpr ManualSection kSections[] = {
    {"DESCRIPTION",
     "lyraban plays visual-novel games. A game is a folder that holds data/: scenario scripts, PNG pictures, Ogg "
     "Vorbis sound and text definition files, packed into resource archives (*.dat) or kept as loose files.\n"
     "\n"
     "Without GAME_FOLDER the program looks for data/ beside its own program file, and then for the sample game "
     "installed with it. A folder that holds no game that can start (no data/ folder, no game files, archives that "
     "cannot be read, no start script) ends the program with a message box that says which it is.\n"
     "\n"
     "While playing: a click, Enter, Space or the mouse wheel advance the text; Control held skips; Shift+Right and "
     "Shift+Down start skip and auto mode; Tab hides the message window; a right click (or the Apps key) opens the "
     "menu; Alt+Enter switches between window and full screen.\n"
     "\n"
     "With --headless the program opens no window and plays no sound. Its clock is virtual: it advances by every "
     "sleep and by 16 ms per presented frame, so a run with --input and --run-ms gives the same pictures every "
     "time. An input script has one event per line, \"<ms> <event> [arguments]\", for example \"1500 click 400 "
     "300\" or \"3000 key Enter\"; lines starting with # are comments. The events are listed in the README."},
    {"FILES",
     "GAME_FOLDER/data/*.dat\n"
     "  The game's resource archives; system.dat is read first.\n"
     "\n"
     "GAME_FOLDER/save/\n"
     "  Saves, global flags and the read-text log of a game whose folder the player can write.\n"
     "\n"
     "./lyraban.cfg\n"
     "  The player's settings for a game whose folder the player can write, in the current directory.\n"
     "\n"
     "$XDG_DATA_HOME/lyraban/PRODUCT/save/\n"
     "  Saves of a game whose folder the player cannot write, such as an installed game. PRODUCT is the game's "
     "product id, else its title, made safe as a folder name, so two games never share saves.\n"
     "\n"
     "$XDG_CONFIG_HOME/lyraban/PRODUCT/lyraban.cfg\n"
     "  The player's settings for such a game.\n"
     "\n"
     "/usr/share/games/lyraban/sample/\n"
     "  The sample game (share/games/lyraban/sample below any other installation prefix)."},
    {"ENVIRONMENT",
     "XDG_DATA_HOME\n"
     "  Where saves of read-only games go; ~/.local/share when unset, empty or not an absolute path.\n"
     "\n"
     "XDG_CONFIG_HOME\n"
     "  Where settings of read-only games go; ~/.config when unset, empty or not an absolute path.\n"
     "\n"
     "HOME\n"
     "  The home folder both defaults are below."},
    {"EXIT STATUS",
     "Always 0, whatever ended the program. An error in the command line prints the usage to standard error and "
     "ends with 0 too."},
    {"EXAMPLES",
     "Play the installed sample game:\n"
     "\n"
     "  lyraban\n"
     "\n"
     "Play a game, writing what the engine noticed to a file:\n"
     "\n"
     "  lyraban --trace trace.txt ~/games/mygame\n"
     "\n"
     "Play ten seconds headless with scripted input and keep the last picture:\n"
     "\n"
     "  lyraban --headless --input clicks.txt --run-ms 10000 --screenshot last.png ~/games/mygame"},
    {"SEE ALSO", "lyrapack(1)"},
};

inline constexpr ProgramDoc kDoc{"lyraban", 6,        "play visual-novel games", kSynopsis, "ARGUMENTS", kArguments,
                                 kOptions,  kSections};

}  // namespace lyraban::command_line_doc
