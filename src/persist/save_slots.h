#pragma once
#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "base/trace.h"
#include "base/types.h"
#include "persist/save_archive.h"

namespace lyraban {

inline constexpr int kSaveSlotCount = 50;
inline constexpr int kQuickSaveSlot = 0;

inline constexpr int kThumbnailWidth = 104;
inline constexpr int kThumbnailHeight = 78;
inline constexpr std::size_t kThumbnailBytes = std::size_t{kThumbnailWidth} * kThumbnailHeight * 3;

// The fixed block at the start of every slot file that the save/load screen
// reads on its own. Kept as the file's bytes; the accessors know the layout.
struct SlotHeader {
  static constexpr std::size_t kSize = 25120;
  static constexpr std::size_t kTimeAt = 0;
  static constexpr std::size_t kProtectionAt = 8;
  static constexpr std::size_t kDeathCountAt = 12;
  static constexpr std::size_t kDateTextAt = 16;
  static constexpr std::size_t kChapterTextAt = 272;
  static constexpr std::size_t kCommentAt = 528;
  static constexpr std::size_t kThumbnailAt = 784;
  static constexpr std::size_t kTextSize = 256;

  std::array<u8, kSize> bytes{};

  void Clear() { bytes.fill(0); }
  u64 fileTime() const { return Get<u64>(kTimeAt); }
  void setFileTime(u64 value) { Put(kTimeAt, value); }
  bool isProtected() const { return Get<u32>(kProtectionAt) != 0; }
  void setProtected(bool on) { Put<u32>(kProtectionAt, on ? 1 : 0); }
  i32 deathCount() const { return Get<i32>(kDeathCountAt); }
  void setDeathCount(i32 value) { Put(kDeathCountAt, value); }
  // The three texts end at their first NUL (or at the field's end).
  std::string_view dateText() const { return Text(kDateTextAt); }
  std::string_view chapterText() const { return Text(kChapterTextAt); }
  std::string_view comment() const { return Text(kCommentAt); }
  // Longer texts are cut to 255 bytes, keeping the terminating NUL.
  void setDateText(std::string_view text) { SetText(kDateTextAt, text); }
  void setChapterText(std::string_view text) { SetText(kChapterTextAt, text); }
  void setComment(std::string_view text) { SetText(kCommentAt, text); }
  // 104 × 78 pixels, blue-green-red, rows top to bottom.
  u8* thumbnail() { return bytes.data() + kThumbnailAt; }
  const u8* thumbnail() const { return bytes.data() + kThumbnailAt; }

 private:
  template <class T>
  T Get(std::size_t at) const {
    T value{};
    for (std::size_t i = 0; i < sizeof(T); ++i)
      value = static_cast<T>(value | static_cast<T>(static_cast<u64>(bytes[at + i]) << (8 * i)));
    return value;
  }
  template <class T>
  void Put(std::size_t at, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) bytes[at + i] = static_cast<u8>(static_cast<u64>(value) >> (8 * i));
  }
  std::string_view Text(std::size_t at) const;
  void SetText(std::size_t at, std::string_view text);
};

// The sections of a saved game in file order. Each has one owner that both
// writes and restores it; a section without an owner is written as an empty
// container and skipped on load.
enum class SaveSectionKind : u8 { Script, Sound, Anime, Flags, Log, Flow };
inline constexpr std::size_t kSaveSectionCount = 6;
inline constexpr std::array<std::string_view, kSaveSectionCount> kSaveSectionKeys = {
    "Data_Script", "Data_Sound", "Data_Anime", "Data_Flags", "Data_Log", "Data_Flow"};

// Local wall time of a save.
struct SaveMoment {
  int year = 1601, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// 100-nanosecond steps since 1601-01-01 of a local time, as the header's
// time field stores it.
u64 FileTimeOf(const SaveMoment& moment);

// Reads the header of slot `slot` in `saveFolder`; false (header zeroed) when
// the slot holds no complete header. The texts always end inside their fields.
bool ReadSlotHeaderFile(const std::filesystem::path& saveFolder, int slot, SlotHeader& header);

// What a save needs from the running game besides the sections.
class SaveSlotHost {
 public:
  virtual ~SaveSlotHost() = default;
  virtual SaveMoment LocalNow() = 0;
  // The flag the header keeps beside the date.
  virtual i32 DeathCount() = 0;
  virtual std::string ChapterDate() = 0;
  virtual std::string ChapterName() = 0;
  // Fills the 104 × 78 thumbnail from the composed screen.
  virtual void DrawThumbnail(u8* pixels) = 0;
};

// The save slots "savedata.000" … "savedata.049" of the save folder. Files
// are opened, used in one pass and closed inside each operation; every write
// goes through a temporary file renamed into place, so a crash never leaves a
// half-written slot or destroys the one that was there.
class SaveSlots {
 public:
  using SectionOwner = std::function<void(SaveArchive& section)>;

  SaveSlots(std::filesystem::path saveFolder, SaveSlotHost& host, Trace& trace)
      : folder_(std::move(saveFolder)), host_(host), trace_(trace) {}

  // The owner writes its state when the section is writing and restores it
  // when it is reading.
  void SetSectionOwner(SaveSectionKind kind, SectionOwner owner) {
    owners_[static_cast<std::size_t>(kind)] = std::move(owner);
  }
  void SetQuickSaveComment(std::string comment) { quickComment_ = std::move(comment); }

  static bool ValidSlot(int slot) { return slot >= 0 && slot < kSaveSlotCount; }
  static std::string SlotFileName(int slot);
  const std::filesystem::path& folder() const { return folder_; }
  // The folder is settled once the game's product is known.
  void SetFolder(std::filesystem::path folder) { folder_ = std::move(folder); }

  bool SaveGame(int slot);
  // Restores every owned section. A file too short for its header, or with
  // no readable script section, changes nothing and gives false.
  bool LoadGame(int slot);
  // False (header zeroed) when the slot holds no complete header.
  bool ReadSlotHeader(int slot, SlotHeader& header) { return ReadSlotHeaderFile(folder_, slot, header); }
  // Rewrites the header of an existing slot; the sections stay byte for byte.
  bool WriteSlotHeader(int slot, const SlotHeader& header);
  bool DeleteSlot(int slot);
  // Reads the header of a slot that would load (a whole header and a
  // script section); false, header zeroed, for any other slot.
  bool InspectSlot(int slot, SlotHeader& header);

  // Slot 0 with the quick-save comment.
  bool QuickSave();
  bool QuickLoad() { return LoadGame(kQuickSaveSlot); }

  // The header and sections a save would write now (for the benchmark and
  // for tests).
  void BuildHeader(SlotHeader& header);
  std::string BuildSections();

 private:
  // Reads a slot into its header and outer container; false with a trace
  // when the file is missing, short or has no script section.
  bool ReadSlot(int slot, SlotHeader& header, SaveArchive& outer, bool quiet);

  std::filesystem::path folder_;
  SaveSlotHost& host_;
  Trace& trace_;
  std::array<SectionOwner, kSaveSectionCount> owners_;
  std::string quickComment_;
};

}  // namespace lyraban
