#pragma once
#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/trace.h"
#include "base/types.h"

namespace lyraban {

class SaveArchive;

// The three banks of named integer variables that scripts read and assign.
enum class FlagBank : u8 { Local = 0, Global = 1, Seen = 2 };

inline constexpr int kFlagSlots = 1000;
// One bank on disk or in a save: the 1000 values as little-endian i32.
inline constexpr size_t kFlagBankBytes = kFlagSlots * 4;

// Files of the save folder that hold the global and the seen banks.
inline constexpr const char* kGlobalFlagFile = "flagdata.000";
inline constexpr const char* kSeenFlagFile = "flagdata.001";

class FlagStore {
 public:
  using Names = std::array<std::string, kFlagSlots>;
  using Values = std::array<i32, kFlagSlots>;

  // `saveFolder` is where the global and seen banks are kept; an empty path
  // keeps them in memory only.
  FlagStore(Trace& trace, std::filesystem::path saveFolder);

  // The declared names of the local, global and seen banks, in that order.
  using Definitions = std::array<Names, 3>;

  // Takes the declarations (the engine reads them from the game's
  // configuration), zeroes the local values, then loads the global and seen
  // banks from their files.
  void LoadFlagDefinitions(const Definitions& names);

  // Replaces the declared names of all banks (empty names are unreachable)
  // and rebuilds the name index. Values are not touched.
  void SetDefinitions(const Names& local, const Names& global, const Names& seen);

  // Value of an expression operand: a decimal number when the text starts
  // with a digit, else the flag of that name (0 and a trace when undeclared).
  i32 GetFlag(std::string_view name);
  // Assigns a local or global flag; a global one rewrites its file at once.
  void SetFlag(std::string_view name, i32 value);
  void ClearLocalFlags();
  // Sets the seen flag of that name to 1 and rewrites its file; names that no
  // seen flag declares are ignored.
  void MarkSeen(std::string_view name);

  // Evaluates strictly left to right; a malformed expression is traced and
  // gives the value reached so far.
  i32 EvaluateExpression(std::string_view text);
  // `name = expression` without the leading '?'. False only when the name is
  // over 250 bytes or there is no '='.
  bool Assign(std::string_view text);

  // The local bank as the "Flags" entry of the flags section, both directions.
  void SerializeLocalFlags(SaveArchive& archive);

  // Direct slot access for the engine's own use (and tests). Slots outside
  // 0..999 read as empty and 0, and are not written.
  std::string_view Name(FlagBank bank, int slot) const {
    return InRange(slot) ? std::string_view(names_[Index(bank)][slot]) : std::string_view();
  }
  i32 Value(FlagBank bank, int slot) const { return InRange(slot) ? values_[Index(bank)][slot] : 0; }
  void SetValue(FlagBank bank, int slot, i32 value) {
    if (InRange(slot)) values_[Index(bank)][slot] = value;
  }

  // Where the banks' files go; changing it does not reload anything.
  void SetSaveFolder(std::filesystem::path folder) { saveFolder_ = std::move(folder); }
  const std::filesystem::path& SaveFolder() const { return saveFolder_; }

  // The byte layout shared by the flag files and the save entry.
  static std::string EncodeBank(const Values& values);
  static void DecodeBank(std::string_view bytes, Values& values);

 private:
  struct Slot {
    FlagBank bank;
    int slot;
  };
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using NameIndex = std::unordered_map<std::string, Slot, NameHash, std::equal_to<>>;

  static constexpr size_t Index(FlagBank bank) { return static_cast<size_t>(bank) % 3; }
  static constexpr bool InRange(int slot) { return slot >= 0 && slot < kFlagSlots; }
  void WriteBankFile(FlagBank bank, const char* fileName);
  void ReadBankFile(FlagBank bank, const char* fileName);

  Trace& trace_;
  std::filesystem::path saveFolder_;
  std::array<Names, 3> names_;
  std::array<Values, 3> values_{};
  // Name -> the slot a read resolves to (lowest slot; local, global, seen at
  // the same slot) and the slot an assignment resolves to (local or global).
  NameIndex readIndex_;
  NameIndex writeIndex_;
  NameIndex seenIndex_;
};

}  // namespace lyraban
