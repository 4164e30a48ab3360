#pragma once
#include "base/usage_doc.h"

// The command line of lyrapack: its --help text and its manual page,
// lyrapack(1), are both made from this.
namespace lyraban::lyrapack_doc {

inline constexpr const char* kSynopsis[] = {
    "create ARCHIVE DIR [--priority N] [--scramble CODE] [--convert-text [gbk|sjis]]",
    "list ARCHIVE",
    "extract ARCHIVE DIR [--convert-text [gbk|sjis]]",
    "--help",
};

inline constexpr UsageItem kArguments[] = {
    {"create ARCHIVE DIR", "pack every file below DIR, sorted by path, into ARCHIVE"},
    {"list ARCHIVE", "print name, size and scramble code of every entry, in directory order"},
    {"extract ARCHIVE DIR", "write every entry below DIR"},
};

inline constexpr UsageItem kOptions[] = {
    {"--priority N", "decides between archives that hold the same name (create; default 0)"},
    {"--scramble CODE", "scramble the entries' data with code 0-255 (create; default 0 = plain)"},
    {"--convert-text [gbk|sjis]", "convert names and text files between UTF-8 and the game's code page (GBK default)"},
    {"--help", "show this text"},
};

inline constexpr ManualSection kSections[] = {
    {"DESCRIPTION",
     "lyrapack writes, lists and unpacks the resource archives (*.dat) that games for lyraban(6) are delivered in.\n"
     "\n"
     "create packs every regular file below DIR under its path relative to DIR, with backslash separators (for "
     "example script\\start.txt), sorted by that path so the same folder always gives the same archive. Names "
     "longer than 255 bytes are refused.\n"
     "\n"
     "With --convert-text, create converts text files (.txt, .img, .map, .ini, .def, any letter case; a leading "
     "UTF-8 byte order mark is dropped) and all entry names from UTF-8 to the game's code page, GBK unless sjis is "
     "given, so authors keep their sources in UTF-8. extract with the same option converts them back.\n"
     "\n"
     "extract refuses names with .., ., empty parts, a colon or a leading separator, and then writes nothing."},
    {"EXIT STATUS", "0 on success, 1 when a command fails (with a message), 2 for a wrong command line."},
    {"EXAMPLES",
     "Pack a game's configuration and scripts, converting the UTF-8 sources to GBK:\n"
     "\n"
     "  lyrapack create data/system.dat src/system --convert-text\n"
     "  lyrapack create data/script.dat src/script --priority 1 --scramble 23 --convert-text\n"
     "\n"
     "Look into an archive and unpack it:\n"
     "\n"
     "  lyrapack list data/script.dat\n"
     "  lyrapack extract data/script.dat out --convert-text"},
    {"SEE ALSO", "lyraban(6)"},
};

inline constexpr ProgramDoc kDoc{"lyrapack", 1,          "write, list and unpack Lyraban resource archives",
                                 kSynopsis,  "COMMANDS", kArguments,
                                 kOptions,   kSections};

}  // namespace lyraban::lyrapack_doc
