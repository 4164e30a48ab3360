// The read-text log. The input is the plain text; it is scrambled on its way
// to the file as the engine writes it, so mutations act on the text.
#include "persist/read_log.h"

#include "fuzz/fuzz_support.h"
#include "persist/save_data_file.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto folder = fuzz::ScratchFolder() / "readlog";
  {
    SaveDataFile file(folder);
    if (!file.OpenForWrite(kReadLogFileName)) return 0;
    file.SetSyncOnClose(false);
    file.Write(data, size);
    file.Close();
  }
  ReadLog log(fuzz::QuietTrace());
  log.LoadReadLog(folder);
  log.SetCurrentScript("start.txt");
  log.IsRead(5);
  log.Flush();
  return 0;
}
