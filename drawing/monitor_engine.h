// One whole tick: sampling, strips, graph, composition and toolbar caption.
// The shell calls Tick() from its refresh timer and shows composed().
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drawing/canvas.h"
#include "drawing/gradient.h"
#include "drawing/graph.h"
#include "readings/monitor_state.h"
#include "readings/sampling.h"
#include "settings/settings_model.h"

namespace mirel {

class StripFont;

// The monitor window must take this size (twips, 15 per pixel).
struct WindowFit {
  int heightTwips = 0;  // composedHeight × 15 + 128
  int widthTwips = 0;   // 2496
  int scaleHeight = 0;  // composedHeight
};

// Fitting after a composition of stackHeight pixels: when resizePending is
// set or drawMode is 1 (fixed size), the size to take; clears resizePending.
std::optional<WindowFit> FitWindowToStack(bool& resizePending, int drawMode, int stackHeight);

class MonitorEngine {
 public:
  MonitorEngine(SettingsModel& model, TickSources& sources, GradientImages& gradients,
                const StripFont& font);
  ~MonitorEngine();
  MonitorEngine(const MonitorEngine&) = delete;
  MonitorEngine& operator=(const MonitorEngine&) = delete;

  void Tick(int intervalMs);
  // The same with the monotonic time of the tick given (milliseconds), for
  // callers that replay ticks faster than real time.
  void Tick(int intervalMs, std::int64_t nowMs);
  // The drawing half of a tick on the values as last sampled: strips, graph,
  // composition, window fitting and toolbar caption.
  void Draw();

  // The composed stack: 158 pixels wide (one column more than the strips, the
  // source width of the stretched copy); only the top composedHeight() rows
  // are meaningful.
  const Canvas& composed() const;
  int composedHeight() const { return state_.composedHeight; }
  // The rows of composed() that the last Draw changed, top to bottom.
  const std::vector<RowSpan>& changedRows() const { return changedRows_; }
  // Set by a tick that fitted the window; the shell applies and clears it.
  std::optional<WindowFit> fit;
  const std::string& toolbarCaption() const { return toolbarCaption_; }

  MonitorState& state() { return state_; }
  const MonitorState& state() const { return state_; }

  // The graph source changed: heights to 0 and the graph cleared.
  void ClearGraph();
  // The graph's back colour changed: repaint the graph's background now.
  void RepaintGraphBackground();

 private:
  struct Surfaces;
  SettingsModel& model_;
  TickSources& sources_;
  GradientImages& gradients_;
  const StripFont& font_;
  MonitorState state_;
  std::string toolbarCaption_;
  std::vector<RowSpan> changedRows_;
  Surfaces* surfaces_;
};

}  // namespace mirel
