#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "drawing/gradient.h"
#include "drawing/graph.h"
#include "drawing/monitor_engine.h"
#include "drawing/strip_font.h"
#include "drawing/strips.h"
#include "readings/fixed_sources.h"
#include "readings/registry.h"
#include "readings/web_check_results.h"

namespace mirel {
namespace {

constexpr std::uint32_t kLine = Rgb(0, 255, 0);
constexpr std::uint32_t kBack = Rgb(0, 0, 40);

// A strip of one colour per slot, so every row of the stack tells where it
// came from.
std::uint32_t SlotColour(int slot) {
  return Rgb(100 + slot, 50, 200);
}
std::uint32_t DriveColour(int row) {
  return Rgb(10, 150 + row, 10);
}

struct Parts {
  std::array<Canvas, kItemCount> strips;
  std::vector<Canvas> drives;
  Canvas graph{kGraphPictureWidth, kGraphPictureHeight, Rgb(7, 7, 7)};
  Canvas notice{kStripWidth, kStripHeight, Rgb(128, 255, 255)};
  Parts() {
    for (int s = 0; s < kItemCount; ++s)
      strips[static_cast<std::size_t>(s)].Resize(kStripWidth, kStripHeight, SlotColour(s));
    for (int d = 0; d < 3; ++d) drives.emplace_back(kStripWidth, kStripHeight, DriveColour(d));
  }
  StackParts Stack(bool withNotice) const {
    return {strips, drives, graph, withNotice ? &notice : nullptr};
  }
};

std::vector<ItemRow> Rows(std::initializer_list<std::pair<const char*, bool>> rows) {
  std::vector<ItemRow> out;
  for (auto [key, on] : rows) out.push_back({"", key, "", "", on});
  return out;
}

// Rows y0..y1-1 of the first 157 columns hold one colour.
void ExpectBand(const Canvas& c, int y0, int y1, std::uint32_t colour) {
  for (int y = y0; y < y1; ++y)
    for (int x = 0; x < kStripWidth; ++x)
      ASSERT_EQ(c.GetPixel(x, y), colour) << "at " << x << "," << y;
}

TEST(CompositionTest, ProcessorGraphMemoryStack) {
  Parts parts;
  Canvas canvas;
  const auto items = Rows({{"100", true}, {"113", true}, {"101", true}, {"102", false}});
  const int y = ComposeStack(canvas, items, {}, parts.Stack(false));
  EXPECT_EQ(y, 58);
  EXPECT_EQ(canvas.width(), 158);
  ASSERT_GE(canvas.height(), 58);
  ExpectBand(canvas, 0, 13, SlotColour(0));
  ExpectBand(canvas, 13, 14, 0);
  ExpectBand(canvas, 14, 43, Rgb(7, 7, 7));
  ExpectBand(canvas, 43, 44, 0);
  ExpectBand(canvas, 44, 57, SlotColour(1));
  ExpectBand(canvas, 57, 58, 0);
  // The extra column holds no strip.
  for (int row = 0; row < 58; ++row) EXPECT_EQ(canvas.GetPixel(157, row), kCanvasBackColour);
  EXPECT_EQ(StackHeight(items, {}, false), 58);
}

TEST(CompositionTest, ListOrderDrivesAndNoticeLast) {
  Parts parts;
  std::vector<DriveRow> drives(3);
  drives[0].checked = true;
  drives[2].checked = true;
  const auto items = Rows({{"114", true}, {"112", true}, {"104", true}, {"105", false}});
  Canvas canvas(158, 500, Rgb(1, 1, 1));  // taller and dirty: cleared first
  const int y = ComposeStack(canvas, items, drives, parts.Stack(true));
  EXPECT_EQ(y, 5 * 14);
  const std::uint32_t order[] = {SlotColour(14), DriveColour(0), DriveColour(2), SlotColour(4),
                                 Rgb(128, 255, 255)};
  for (int i = 0; i < 5; ++i) {
    ExpectBand(canvas, i * 14, i * 14 + 13, order[i]);
    ExpectBand(canvas, i * 14 + 13, i * 14 + 14, 0);
  }
  EXPECT_EQ(canvas.GetPixel(50, 100), kCanvasBackColour);
  EXPECT_EQ(StackHeight(items, drives, true), y);

  // A checked drive whose strip was never drawn shows an empty band.
  drives.emplace_back().checked = true;
  EXPECT_EQ(ComposeStack(canvas, items, drives, parts.Stack(false)), 5 * 14);
  ExpectBand(canvas, 3 * 14, 3 * 14 + 13, kCanvasBackColour);
  ExpectBand(canvas, 4 * 14, 4 * 14 + 13, SlotColour(4));
}

TEST(CompositionTest, EmptyAndUnknownRows) {
  Parts parts;
  Canvas canvas;
  EXPECT_EQ(ComposeStack(canvas, {}, {}, parts.Stack(false)), 0);
  EXPECT_EQ(ComposeStack(canvas, Rows({{"100", false}}), {}, parts.Stack(true)), 14);
  // A key outside the catalogue takes no room; a disk item without drives
  // neither.
  const auto odd = Rows({{"abc", true}, {"115", true}, {"112", true}, {"103", true}});
  EXPECT_EQ(ComposeStack(canvas, odd, {}, parts.Stack(false)), 14);
  ExpectBand(canvas, 0, 13, SlotColour(3));
}

TEST(CompositionTest, ChangedRowsAreExactlyTheRowsThatDiffer) {
  Parts parts;
  Canvas canvas;
  std::vector<RowSpan> changed;
  auto items = Rows({{"100", true}, {"113", true}, {"101", true}, {"104", true}});
  // A new canvas: all of it.
  EXPECT_EQ(ComposeStack(canvas, items, {}, parts.Stack(false), &changed), 72);
  EXPECT_EQ(changed, std::vector<RowSpan>({{0, 72}}));
  // The same parts again: nothing.
  ComposeStack(canvas, items, {}, parts.Stack(false), &changed);
  EXPECT_TRUE(changed.empty());

  // One pixel of the graph and the last row of the memory strip.
  parts.graph.SetPixel(154, 3, kLine);
  parts.strips[1].SetPixel(0, 12, kLine);
  ComposeStack(canvas, items, {}, parts.Stack(false), &changed);
  EXPECT_EQ(changed, std::vector<RowSpan>({{14 + 3, 14 + 4}, {44 + 12, 44 + 13}}));
  EXPECT_EQ(canvas.GetPixel(154, 17), kLine);

  // A strip that moves up: its rows and every row below that differ.
  items[1].checked = false;
  EXPECT_EQ(ComposeStack(canvas, items, {}, parts.Stack(false), &changed), 42);
  ASSERT_FALSE(changed.empty());
  EXPECT_EQ(changed.front().top, 13 + 1);
  // The old rows under the stack are cleared; the last was a black line.
  EXPECT_EQ(changed.back().bottom, 71);
  for (std::size_t i = 1; i < changed.size(); ++i)
    EXPECT_GT(changed[i].top, changed[i - 1].bottom);  // ordered, merged
  ExpectBand(canvas, 14, 26, SlotColour(1));
  ExpectBand(canvas, 42, 72, kCanvasBackColour);
  // Compared with a composition from scratch, every row is the same.
  Canvas fresh;
  ComposeStack(fresh, items, {}, parts.Stack(false));
  for (int y = 0; y < 72; ++y)
    for (int x = 0; x < kComposedWidth; ++x) ASSERT_EQ(canvas.GetPixel(x, y), fresh.GetPixel(x, y));
}

TEST(GraphTest, NewestSegmentAfterAFullSample) {
  Canvas graph(kGraphPictureWidth, kGraphPictureHeight, kBack), scratch;
  DrawGraphSegment(graph, 29, 0, kLine);
  ScrollGraph(graph, scratch, kBack);
  DrawGraphSegment(graph, 14, 29, kLine);
  // Before the scroll: from (155, 15) up to (154, 0), every row reached.
  EXPECT_EQ(graph.GetPixel(155, 15), kLine);
  EXPECT_EQ(graph.GetPixel(154, 0), kLine);
  for (int y = 0; y <= 15; ++y) {
    const bool onLine = graph.GetPixel(154, y) == kLine || graph.GetPixel(155, y) == kLine;
    EXPECT_TRUE(onLine) << y;
  }
  EXPECT_EQ(graph.GetPixel(155, 16), kBack);
  EXPECT_EQ(graph.GetPixel(156, 15), kBack);

  ScrollGraph(graph, scratch, kBack);
  EXPECT_EQ(graph.GetPixel(154, 15), kLine);
  EXPECT_EQ(graph.GetPixel(153, 0), kLine);
  for (int y = 0; y < kGraphPictureHeight; ++y) {
    EXPECT_EQ(graph.GetPixel(156, y), kBack) << y;
    EXPECT_EQ(graph.GetPixel(155, y), kBack) << y;
  }
}

TEST(GraphTest, EndPointIsLeftToThePreviousSegment) {
  Canvas graph(kGraphPictureWidth, kGraphPictureHeight, kBack), scratch;
  DrawGraphSegment(graph, 10, 10, kLine);
  EXPECT_EQ(graph.GetPixel(155, 19), kLine);
  EXPECT_EQ(graph.GetPixel(154, 19), kBack);
  // A steady sample makes a continuous horizontal line after a few ticks.
  for (int i = 0; i < 5; ++i) {
    ScrollGraph(graph, scratch, kBack);
    DrawGraphSegment(graph, 10, 10, kLine);
  }
  for (int x = 150; x <= 155; ++x) EXPECT_EQ(graph.GetPixel(x, 19), kLine) << x;
}

TEST(GraphTest, MiddleLineAndSamplesAboveTheTop) {
  Canvas graph(kGraphPictureWidth, kGraphPictureHeight, kBack), scratch;
  for (int i = 0; i < 160; ++i) {
    DrawGraphSegment(graph, 40, 40, kLine);  // above the picture: cut
    ScrollGraph(graph, scratch, kBack);
  }
  // Each tick's white pixel has moved one column on: a white line ending at
  // x = 154 after the scroll.
  for (int x = 0; x < 155; ++x) EXPECT_EQ(graph.GetPixel(x, 15), kWhite) << x;
  EXPECT_EQ(graph.GetPixel(155, 15), kBack);
  EXPECT_EQ(graph.GetPixel(156, 15), kBack);
  for (int y = 0; y < kGraphPictureHeight; ++y) {
    if (y != 15) {
      EXPECT_EQ(graph.GetPixel(60, y), kBack) << y;
    }
  }
}

// --- The whole tick -----------------------------------------------------------

const StripFont& Font() {
  static StripFontLoad load = StripFont::Open();
  if (!load.font) ADD_FAILURE() << load.error;
  return *load.font;
}

struct EngineRig {
  FixedSystemSource system;
  FixedBrowserStore store;
  RegistryAccess registry{store};
  WebCheckResults web;
  TickSources sources{system, registry, web, {}, {}};
  SettingsModel model;
  GradientImages gradients;
  std::unique_ptr<MonitorEngine> engine;
  std::int64_t now = 0;

  explicit EngineRig(std::initializer_list<std::pair<const char*, bool>> rows) {
    for (auto [key, on] : rows) model.items.push_back({"", key, "0", "16777215", on});
    model.record[SettingsRecord::kBackColor] = std::to_string(kBack);
    model.record[SettingsRecord::kTextColor] = "16777215";
    model.record[SettingsRecord::kGraphLineColor] = std::to_string(kLine);
    model.record[SettingsRecord::kGraphBackColor] = std::to_string(Rgb(0, 0, 90));
    system.memory = {536870912, 326107136};
    LoadInterfaceTable(model, sources);
    RenderAllGradients(model, gradients);
    engine = std::make_unique<MonitorEngine>(model, sources, gradients, Font());
    TakeStartBaselines(engine->state(), sources, now);
    system.cpuReads = 0;  // the ticks' reads are counted
  }
  void Tick() {
    now += 1000;
    engine->Tick(1000, now);
  }
  std::uint32_t At(int x, int y) const { return engine->composed().GetPixel(x, y); }
};

TEST(EngineTest, ProcessorGraphMemoryTick) {
  EngineRig rig({{"100", true}, {"113", true}, {"101", true}});
  rig.model.record[SettingsRecord::kGraphSource] = "1";
  rig.system.cpuPercent = 50;
  rig.Tick();
  EXPECT_EQ(rig.engine->composedHeight(), 58);
  EXPECT_EQ(rig.engine->composed().width(), 158);
  EXPECT_FALSE(rig.engine->fit.has_value());  // resizable, nothing pending

  // 157 / 100 × 50 = 78.5 gives a 78-pixel bar, halves to even.
  for (int x = 0; x < kStripWidth; ++x) {
    EXPECT_EQ(rig.At(x, 0), x < 78 ? rig.gradients.items[0].GetPixel(x, 0) : kBack) << x;
  }
  // "50%" at x = 155 - 18 = 137.
  Canvas value(kStripWidth, kStripHeight, kBack);
  Font().Draw(value, 137, 1, "50%", kWhite);
  for (int y = 0; y < kStripHeight; ++y)
    for (int x = 100; x < kStripWidth; ++x) ASSERT_EQ(rig.At(x, y), value.GetPixel(x, y));
  // Separators and the memory strip's text at x = 0.
  for (int y : {13, 43, 57}) EXPECT_EQ(rig.At(80, y), 0u) << y;
  EXPECT_EQ(rig.engine->state().Text(101), "メモリ使用率201MB/512MB");

  // The graph: 29 / 100 × 50 = 14.5 gives 14; the segment from (155, 15)
  // has moved to x = 154 by the scroll, the new column is graph back colour.
  EXPECT_EQ(rig.engine->state().graphHeight, 14);
  EXPECT_EQ(rig.engine->state().graphPrevHeight, 14);
  EXPECT_EQ(rig.At(154, 14 + 15), kLine);
  EXPECT_EQ(rig.At(156, 14 + 15), Rgb(0, 0, 90));

  // Fixed size refits on every tick: 58 × 15 + 128 twips.
  rig.model.record[SettingsRecord::kDrawMode] = "1";
  rig.Tick();
  ASSERT_TRUE(rig.engine->fit.has_value());
  EXPECT_EQ(rig.engine->fit->heightTwips, 998);
  EXPECT_EQ(rig.engine->fit->widthTwips, 2496);
  EXPECT_EQ(rig.engine->fit->scaleHeight, 58);
}

// A used-up traffic limit marks the receive and send strips, and only while
// it holds.
TEST(EngineTest, LimitMarkOnTheRateStripsWhileOver) {
  EngineRig rig({{"102", true}, {"103", true}, {"100", true}});
  rig.Tick();
  const int right = kStripWidth - 1;
  for (int y : {0, 14, 28}) EXPECT_EQ(rig.At(right, y), kBack) << y;
  rig.engine->state().overLimit = true;
  rig.Tick();
  EXPECT_EQ(rig.At(right, 0), kLimitMarkColour);
  EXPECT_EQ(rig.At(right - kLimitMarkSize + 1, 0), kLimitMarkColour);
  EXPECT_EQ(rig.At(right - kLimitMarkSize, 0), kBack);
  EXPECT_EQ(rig.At(right, kLimitMarkSize - 1), kLimitMarkColour);
  EXPECT_EQ(rig.At(right, kLimitMarkSize), kBack);
  EXPECT_EQ(rig.At(right, 14), kLimitMarkColour);  // the send strip
  EXPECT_EQ(rig.At(right, 28), kBack);             // not the processor's
  rig.engine->state().overLimit = false;
  rig.Tick();
  for (int y : {0, 14}) EXPECT_EQ(rig.At(right, y), kBack) << y;
}

TEST(EngineTest, IdleProcessorStillDrawsOnePixel) {
  EngineRig rig({{"113", true}});
  rig.model.record[SettingsRecord::kGraphSource] = "1";
  rig.system.cpuPercent = 0;
  rig.Tick();
  EXPECT_EQ(rig.engine->state().graphHeight, 1);
  EXPECT_EQ(rig.At(154, 28), kLine);
  // A hidden processor item is still sampled for the graph.
  EXPECT_EQ(rig.system.cpuReads, 1);
}

TEST(EngineTest, GraphFreezesWithoutASource) {
  EngineRig rig({{"113", true}});
  rig.model.record[SettingsRecord::kGraphSource] = "1";
  rig.system.cpuPercent = 80;
  rig.Tick();
  rig.Tick();
  const Canvas before = rig.engine->composed();
  rig.model.record[SettingsRecord::kGraphSource] = "0";
  rig.system.cpuPercent = 10;
  rig.Tick();
  for (int y = 0; y < 29; ++y)
    for (int x = 0; x < kStripWidth; ++x) ASSERT_EQ(rig.At(x, y), before.GetPixel(x, y));
  EXPECT_EQ(rig.system.cpuReads, 2);
}

TEST(EngineTest, NoticeComesLastAndRefitsEveryTick) {
  EngineRig rig({{"100", true}, {"101", false}});
  rig.web.pageState = "ok";
  rig.web.latestVersion = "319";
  rig.web.notice = "新しいバージョンがあります";
  rig.model.versionCheckAuto = true;
  for (int i = 0; i < 3; ++i) {
    rig.engine->fit.reset();
    rig.Tick();
    ASSERT_TRUE(rig.engine->fit.has_value()) << i;
    EXPECT_EQ(rig.engine->fit->scaleHeight, 28);
    EXPECT_FALSE(rig.model.resizePending);
  }
  EXPECT_EQ(rig.engine->state().noticeScroll, 3);
  EXPECT_EQ(rig.At(0, 14), kNoticeRectColour);
  EXPECT_EQ(rig.At(0, 27), 0u);

  rig.model.versionCheckAuto = false;
  rig.engine->fit.reset();
  rig.Tick();
  EXPECT_EQ(rig.engine->composedHeight(), 14);
  EXPECT_FALSE(rig.engine->fit.has_value());
}

TEST(EngineTest, CheckedDrivesAndToolbarCaption) {
  EngineRig rig({{"112", true}});
  rig.system.drives = {{40000ull << 20, 14800ull << 20, "/"}, {1ull << 30, 0, "/boot"}};
  rig.model.drives = {{"/", "ハードディスク", "", "", true},
                      {"/boot", "ハードディスク", "", "", false}};
  rig.model.toolbarShown = true;
  rig.model.toolbarMemory = true;
  RenderAllGradients(rig.model, rig.gradients);
  rig.Tick();
  EXPECT_EQ(rig.engine->composedHeight(), 14);
  EXPECT_EQ(rig.engine->toolbarCaption(), "201MB/512MB ");
  // 63% of a white gradient: a bar of 99 pixels, then the background.
  EXPECT_EQ(rig.At(98, 0), kWhite);
  EXPECT_EQ(rig.At(99, 0), kBack);
  Canvas expected(kStripWidth, kStripHeight, kBack);
  expected.FillRect(0, 0, 99, kStripHeight, kWhite);
  for (auto [x, text] : {std::pair{0, " /"}, {76, "39.0GB"}, {26, "14.4GB/"}, {132, "63%"}})
    Font().Draw(expected, x, 1, text, kWhite);
  for (int y = 0; y < kStripHeight; ++y)
    for (int x = 0; x < kStripWidth; ++x) ASSERT_EQ(rig.At(x, y), expected.GetPixel(x, y));
}

TEST(EngineTest, AStripIsDrawnAgainWhenAnyOfItsInputsChanges) {
  EngineRig rig({{"100", true}, {"112", true}});
  rig.system.cpuPercent = 50;
  rig.system.drives = {{40000ull << 20, 14800ull << 20, "/"}};
  rig.model.drives = {{"/", "ハードディスク", "0", "16777215", true}};
  RenderAllGradients(rig.model, rig.gradients);
  rig.Tick();
  rig.Tick();
  // Every strip the same as on the tick before: no row changed.
  EXPECT_TRUE(rig.engine->changedRows().empty());
  // Both drawn exactly as a fresh engine draws them.
  auto expectAsFresh = [&](const char* what) {
    MonitorEngine fresh(rig.model, rig.sources, rig.gradients, Font());
    fresh.Tick(1000, rig.now + 1000);  // a first tick has no processor reading yet
    fresh.Tick(1000, rig.now + 2000);
    for (int y = 0; y < 28; ++y)
      for (int x = 0; x < kStripWidth; ++x)
        ASSERT_EQ(rig.At(x, y), fresh.composed().GetPixel(x, y)) << what << " " << x << "," << y;
  };
  expectAsFresh("unchanged");

  // The bar colours only (same value texts and widths): both bars repainted.
  rig.model.items[0].startColor = std::to_string(Rgb(255, 0, 0));
  rig.model.drives[0].startColor = std::to_string(Rgb(0, 255, 0));
  RenderAllGradients(rig.model, rig.gradients);
  rig.Tick();
  EXPECT_EQ(rig.At(0, 5), Rgb(255, 0, 0));
  EXPECT_EQ(rig.At(0, 14 + 5), Rgb(0, 255, 0));
  expectAsFresh("gradients");

  // The back and text colours.
  rig.model.record[SettingsRecord::kBackColor] = std::to_string(Rgb(1, 2, 3));
  rig.model.record[SettingsRecord::kTextColor] = std::to_string(Rgb(200, 0, 200));
  rig.Tick();
  EXPECT_EQ(rig.At(150, 5), Rgb(1, 2, 3));
  expectAsFresh("colours");

  // A value and a bar width; the unit of the disk texts.
  rig.system.cpuPercent = 51;
  rig.model.record[SettingsRecord::kHddUnit] = "1";
  rig.Tick();
  EXPECT_EQ(rig.engine->state().Text(100), "51%");
  expectAsFresh("values");
}

TEST(EngineTest, ClearingTheGraphStartsFromTheBackColour) {
  EngineRig rig({{"113", true}});
  rig.model.record[SettingsRecord::kGraphSource] = "1";
  rig.system.cpuPercent = 60;
  for (int i = 0; i < 4; ++i) rig.Tick();
  rig.model.record[SettingsRecord::kGraphBackColor] = std::to_string(Rgb(50, 0, 0));
  rig.engine->ClearGraph();
  EXPECT_EQ(rig.engine->state().graphHeight, 0);
  EXPECT_EQ(rig.engine->state().graphPrevHeight, 0);
  rig.model.record[SettingsRecord::kGraphSource] = "0";  // frozen: shows the cleared picture
  rig.Tick();
  for (int y = 0; y < 29; ++y)
    for (int x = 0; x < kStripWidth; ++x) ASSERT_EQ(rig.At(x, y), Rgb(50, 0, 0)) << x << "," << y;
  EXPECT_EQ(rig.At(0, 29), 0u);
}

// --- mirel9x-tool render ----------------------------------------------------------

struct ToolRun {
  int status = -1;
  std::string out;
};

ToolRun RunTool(const std::string& args) {
  ToolRun run;
  const std::string command = std::string(MIREL_TOOL) + " render " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buf[512];
  while (std::fgets(buf, sizeof buf, pipe) != nullptr) run.out += buf;
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// The default settings file with some lines replaced (line numbers from 1).
std::filesystem::path SettingsWith(const std::filesystem::path& dir,
                                   std::map<int, std::string> lines) {
  std::ifstream in(std::filesystem::path(MIREL_SOURCE_DIR) / "data" / "設定.ini", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string out;
  std::size_t pos = 0;
  for (int n = 1; pos < all.size(); ++n) {
    std::size_t end = all.find("\r\n", pos);
    if (end == std::string::npos) end = all.size();
    out += lines.count(n) ? lines[n] : all.substr(pos, end - pos);
    if (end < all.size()) out += "\r\n";
    pos = end + 2;
  }
  const auto file = dir / "settings.ini";
  std::ofstream(file, std::ios::binary) << out;
  return file;
}

std::pair<std::uint32_t, std::uint32_t> PngSize(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char header[24] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  const auto be = [&](int at) {
    return std::uint32_t(header[at]) << 24 | std::uint32_t(header[at + 1]) << 16 |
           std::uint32_t(header[at + 2]) << 8 | header[at + 3];
  };
  return {be(16), be(20)};
}

TEST(RenderToolTest, WritesTheComposedStack) {
  const auto dir = std::filesystem::temp_directory_path() / "mirel_render_tool_test";
  std::filesystem::create_directories(dir);
  // Processor, graph and memory shown; toolbar with the processor value;
  // the version check on.
  const auto settings = SettingsWith(dir, {{1, "111000000000000"},
                                           {2, "100113101102103105114104110111112106107108109"},
                                           {9, " 1 "},
                                           {10, " 1 "},
                                           {11, " 0 "},
                                           {12, " 0 "},
                                           {13, " 0 "},
                                           {21, " 1 "}});
  const auto samples = dir / "samples.json";
  std::ofstream(samples) << R"({ "ticks": [
      { "intervalMs": 1000, "cpuPercent": 50, "memTotalBytes": 536870912,
        "memAvailBytes": 326107136, "rxOctets": 0, "txOctets": 0,
        "registry": { "ProxyServer": "proxy.example:3128", "ProxyEnable": "1" },
        "drives": [ { "name": "/", "totalBytes": 41943040000, "freeBytes": 15518924800 } ],
        "localTime": "2026-12-07T12:34:56" },
      { "cpuPercent": 12 } ],
    "versionCheck": { "pageState": "ok", "latestVersion": "319", "notice": "新版" } })";
  const auto png = dir / "out.png";
  ToolRun run = RunTool("--settings " + settings.string() + " --samples " + samples.string() +
                        " --out " + png.string());
  ASSERT_EQ(run.status, 0) << run.out;
  // 13 + 1, 29 + 1, 13 + 1 and the notice 13 + 1.
  EXPECT_EQ(run.out, "composedHeight=72\ntoolbar=12% \n");
  EXPECT_EQ(PngSize(png), std::make_pair(157u, 72u));

  // Broken input is reported, not rendered.
  std::ofstream(samples) << R"({ "ticks": [ { "cpuPercent": "many" } ] })";
  run = RunTool("--settings " + settings.string() + " --samples " + samples.string() + " --out " +
                png.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("cpuPercent"), std::string::npos) << run.out;
  std::ofstream(samples) << "{ not json";
  run = RunTool("--settings " + settings.string() + " --samples " + samples.string() + " --out " +
                png.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(RunTool("--settings x").status, 2);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace mirel
