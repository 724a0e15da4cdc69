#include "drawing/toolbar_caption.h"

namespace mirel {

std::string ToolbarCaption(const SettingsModel& model, const MonitorState& state) {
  std::string text;
  if (model.toolbarShown) {
    if (model.toolbarCpu) text += state.Text(100) + " ";
    if (model.toolbarMemory) text += state.memoryText + " ";
    if (model.toolbarReceive) text += state.Text(102) + "受 ";
    if (model.toolbarSend) text += state.Text(103) + "送 ";
  }
  return text.empty() ? std::string(kProgramTitle) : text;
}

}  // namespace mirel
