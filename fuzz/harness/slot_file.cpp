// A save slot file: the header with its thumbnail and the outer container
// with the sections, read through the scrambled file layer as the save/load
// screen and a load do; the backlog and the flow record read their sections.
#include "flow/flow_state.h"
#include "fuzz/fuzz_support.h"
#include "persist/save_archive.h"
#include "persist/save_data_file.h"
#include "persist/save_slots.h"
#include "screens/backlog.h"

using namespace lyraban;

namespace {

class StillGame final : public SaveSlotHost {
 public:
  SaveMoment LocalNow() override { return SaveMoment{2026, 12, 6, 4, 40, 0, 0}; }
  i32 DeathCount() override { return 0; }
  std::string ChapterDate() override { return {}; }
  std::string ChapterName() override { return {}; }
  void DrawThumbnail(u8*) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto folder = fuzz::ScratchFolder() / "slots";
  {
    SaveDataFile file(folder);
    if (!file.OpenForWrite(SaveSlots::SlotFileName(1))) return 0;
    file.SetSyncOnClose(false);
    file.Write(data, size);
    file.Close();
  }
  StillGame game;
  SaveSlots slots(folder, game, fuzz::QuietTrace());
  BacklogStore backlog;
  FlowState flow;
  slots.SetSectionOwner(SaveSectionKind::Script, [](SaveArchive& section) {
    u32 frames = 0;
    section.Exchange("StackCount", frames);
  });
  slots.SetSectionOwner(SaveSectionKind::Log, [&](SaveArchive& section) { backlog.SerializeBacklog(section); });
  slots.SetSectionOwner(SaveSectionKind::Flow, [&](SaveArchive& section) { flow.SerializeFlow(section); });
  SlotHeader header;
  slots.ReadSlotHeader(1, header);
  if (slots.InspectSlot(1, header)) {
    slots.LoadGame(1);
    backlog.GetBacklogEntry(59);
  }
  return 0;
}
