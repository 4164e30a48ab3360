#include "platform/platform.h"

#include "platform/dialog.h"

namespace lyraban::platform {

bool Platform::RunDialog(DialogModel& model) {
  model.Cancel();
  return true;
}

}  // namespace lyraban::platform
