#pragma once
#include <string_view>

#include "base/types.h"

namespace lyraban {

class ScriptProgram;

// Everything the interpreter asks of the rest of the engine: the message pump,
// input, the message window, the backlog, the choice menu, the map screen and
// the main window. The engine implements it over its subsystems; tests use
// recording doubles.
class ScriptHost {
 public:
  virtual ~ScriptHost() = default;

  // Non-blocking message pump, called before every script line. False once
  // the application is quitting.
  virtual bool PumpMessages() = 0;
  // A line of `program` is about to run; the lines from its NextLine on
  // follow. Work done ahead of need goes here: it may neither trace nor
  // change what the script sees.
  virtual void LookAhead(const ScriptProgram& /*program*/) {}
  // One input pump with its 1 ms yield, after a failed line. False once the
  // quit flag is set.
  virtual bool PumpInput() = 0;

  // Skip is active: the skip key held, skip run mode, or skip forced by script.
  virtual bool IsSkipping() = 0;
  // Returns the run mode to normal (ends skip and auto).
  virtual void SetRunModeNormal() = 0;
  // The player's setting that lets skip pass unread text.
  virtual bool SkipAllText() = 0;

  // The message window's entry for a script text block ("speaker:words" or
  // plain words, lines joined with "/"). It shows the block or drops it
  // according to the mode.
  virtual void ShowScriptText(std::string_view text, bool alreadyRead, u8 mode) = 0;
  // Clears the message page; stops the voice first when the player asked
  // voices to stop on advance.
  virtual void ClearPage() = 0;
  // Applies the message window layout of a mode (novel layout for 1 and 2,
  // window layout otherwise) and ends with ClearPage. The interpreter has
  // already stored the mode.
  virtual void SetMessageMode(u8 mode) = 0;
  // Starts a new backlog page at the current save point.
  virtual void MarkBacklogPage() = 0;
  // A script file was entered by the start, LOAD or CALL (not when a saved
  // call chain is rebuilt): the flow chart records story points.
  virtual void FlowPass(std::string_view /*script*/) {}

  // Ordinary choice menu.
  virtual void BeginChoices() = 0;
  virtual void AddChoice(i32 number, std::string_view text) = 0;
  // Shows the menu and waits; gives the number of the picked choice.
  virtual i32 RunChoice() = 0;

  // Map selection: false when the map cannot be prepared (the caller then
  // falls back to an ordinary choice).
  virtual bool PrepareMap(std::string_view name) = 0;
  virtual void AddMapPlace(i32 number, std::string_view icon, std::string_view place, bool enabled) = 0;
  // Shows the map and waits; gives the number of the picked place.
  virtual i32 RunMap() = 0;

  // Rebuilds the main window caption (chapter texts may have changed).
  virtual void UpdateCaption() = 0;
  // Posts a close request to the main window; the quit question follows.
  virtual void RequestClose() = 0;
};

}  // namespace lyraban
