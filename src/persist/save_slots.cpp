#include "persist/save_slots.h"

#include <cstdio>
#include <cstring>

#include "persist/save_data_file.h"

namespace lyraban {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
i64 DaysFromCivil(i64 y, i64 m, i64 d) {
  y -= m <= 2 ? 1 : 0;
  const i64 era = (y >= 0 ? y : y - 399) / 400;
  const i64 yoe = y - era * 400;
  const i64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const i64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The texts always end inside their fields.
void TerminateTexts(SlotHeader& header) {
  for (std::size_t at : {SlotHeader::kDateTextAt, SlotHeader::kChapterTextAt, SlotHeader::kCommentAt})
    header.bytes[at + SlotHeader::kTextSize - 1] = 0;
}

}  // namespace

std::string_view SlotHeader::Text(std::size_t at) const {
  const char* start = reinterpret_cast<const char*>(bytes.data() + at);
  std::size_t n = 0;
  while (n < kTextSize && start[n] != '\0') ++n;
  return {start, n};
}

void SlotHeader::SetText(std::size_t at, std::string_view text) {
  std::memset(bytes.data() + at, 0, kTextSize);
  const std::size_t n = text.size() < kTextSize - 1 ? text.size() : kTextSize - 1;
  std::memcpy(bytes.data() + at, text.data(), n);
}

u64 FileTimeOf(const SaveMoment& m) {
  const i64 days = DaysFromCivil(m.year, m.month, m.day) - DaysFromCivil(1601, 1, 1);
  const i64 seconds = ((days * 24 + m.hour) * 60 + m.minute) * 60 + m.second;
  if (seconds < 0) return 0;
  return static_cast<u64>(seconds) * 10000000u + static_cast<u64>(m.millisecond) * 10000u;
}

std::string SaveSlots::SlotFileName(int slot) {
  char name[32];
  std::snprintf(name, sizeof name, "savedata.%03d", slot);
  return name;
}

void SaveSlots::BuildHeader(SlotHeader& header) {
  header.Clear();
  const SaveMoment now = host_.LocalNow();
  header.setFileTime(FileTimeOf(now));
  header.setDeathCount(host_.DeathCount());
  char date[64];
  std::snprintf(date, sizeof date, "%04d/%02d/%02d %02d:%02d", now.year, now.month, now.day, now.hour, now.minute);
  header.setDateText(date);
  header.setChapterText(host_.ChapterDate() + " " + host_.ChapterName());
  host_.DrawThumbnail(header.thumbnail());
}

std::string SaveSlots::BuildSections() {
  SaveArchive outer;
  for (std::size_t i = 0; i < kSaveSectionCount; ++i) {
    SaveArchive section;
    if (owners_[i]) owners_[i](section);
    outer.ExchangeArchive(kSaveSectionKeys[i], section);
  }
  return outer.bytes();
}

bool SaveSlots::SaveGame(int slot) {
  if (!ValidSlot(slot)) return false;
  SlotHeader header;
  BuildHeader(header);
  const std::string sections = BuildSections();
  SaveDataFile file(folder_);
  const std::string name = SlotFileName(slot);
  if (!file.OpenForWrite(name)) {
    trace_.DebugTrace("セーブファイル『%s』を作成できません", name);
    return false;
  }
  file.Write(header.bytes.data(), header.bytes.size());
  file.Write(sections);
  // Only the rename makes the new save visible; until then the old one stays.
  if (!file.Close()) {
    trace_.DebugTrace("セーブファイル『%s』を書き込めません", name);
    return false;
  }
  return true;
}

bool SaveSlots::ReadSlot(int slot, SlotHeader& header, SaveArchive& outer, bool quiet) {
  header.Clear();
  if (!ValidSlot(slot)) return false;
  const std::string name = SlotFileName(slot);
  SaveDataFile file(folder_);
  if (!file.OpenForRead(name)) return false;
  const u64 size = file.Size();
  if (size == 0) return false;
  std::string rest;
  if (size < SlotHeader::kSize || !file.Read(header.bytes.data(), header.bytes.size()) || !file.ReadRest(rest)) {
    header.Clear();
    if (!quiet)
      trace_.DebugTrace("セーブファイル『%s』が短すぎます（%llu）", name, static_cast<unsigned long long>(size));
    return false;
  }
  TerminateTexts(header);
  outer.OpenForReading(rest);
  SaveArchive script;
  if (!outer.ExchangeArchive(kSaveSectionKeys[0], script) || script.EntryCount() == 0) {
    if (!quiet) trace_.DebugTrace("セーブファイル『%s』にスクリプトの状態がありません", name);
    return false;
  }
  return true;
}

bool SaveSlots::LoadGame(int slot) {
  SlotHeader header;
  SaveArchive outer;
  if (!ReadSlot(slot, header, outer, false)) return false;
  // The script section goes first: it requests the restart that the other
  // sections' restored state then meets.
  for (std::size_t i = 0; i < kSaveSectionCount; ++i) {
    SaveArchive section;
    outer.ExchangeArchive(kSaveSectionKeys[i], section);
    if (owners_[i]) owners_[i](section);
  }
  return true;
}

bool SaveSlots::InspectSlot(int slot, SlotHeader& header) {
  SaveArchive outer;
  if (!ReadSlot(slot, header, outer, true)) {
    header.Clear();
    return false;
  }
  return true;
}

bool ReadSlotHeaderFile(const std::filesystem::path& saveFolder, int slot, SlotHeader& header) {
  header.Clear();
  if (!SaveSlots::ValidSlot(slot)) return false;
  SaveDataFile file(saveFolder);
  if (!file.OpenForRead(SaveSlots::SlotFileName(slot)) || !file.Read(header.bytes.data(), header.bytes.size())) {
    header.Clear();
    return false;
  }
  TerminateTexts(header);
  return true;
}

bool SaveSlots::WriteSlotHeader(int slot, const SlotHeader& header) {
  if (!ValidSlot(slot)) return false;
  const std::string name = SlotFileName(slot);
  SaveDataFile file(folder_);
  // The update works on a copy of the whole file that replaces it at once.
  if (!file.OpenForUpdate(name)) return false;
  file.Write(header.bytes.data(), header.bytes.size());
  if (!file.Close()) {
    trace_.DebugTrace("セーブファイル『%s』を書き込めません", name);
    return false;
  }
  return true;
}

bool SaveSlots::DeleteSlot(int slot) {
  if (!ValidSlot(slot)) return false;
  std::error_code ec;
  return std::filesystem::remove(folder_ / SlotFileName(slot), ec);
}

bool SaveSlots::QuickSave() {
  if (!SaveGame(kQuickSaveSlot)) return false;
  SlotHeader header;
  if (!ReadSlotHeader(kQuickSaveSlot, header)) return false;
  header.setComment(quickComment_);
  return WriteSlotHeader(kQuickSaveSlot, header);
}

}  // namespace lyraban
