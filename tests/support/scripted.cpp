#include "scripted.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "textscreen/font.h"
#include "textscreen/reset.h"

namespace tst {

ScriptedClock::ScriptedClock() { SetWallClock(2017, 12, 25, 10, 0, 0); }

void ScriptedClock::SetWallClock(int year, int month, int day, int h, int m, int s, int ms) {
  year_ = year;
  month_ = month;
  day_ = day;
  uint64_t wanted = ((uint64_t(h) * 60 + m) * 60 + s) * 1000 + ms;
  wallBaseMs_ = wanted - micros_ / 1000;  // wall = base + micros/1000
}

uint32_t ScriptedClock::Ticks() {
  Advance(readCost_);
  return static_cast<uint32_t>(micros_ / 1000);
}

bool ScriptedClock::Now(ts::LocalTime& out) {
  Advance(readCost_);
  if (!readable_) return false;
  uint64_t ms = (wallBaseMs_ + micros_ / 1000) % 86400000ULL;
  out = {year_, month_, day_, int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60),
         int(ms % 1000)};
  return true;
}

void ScriptedClock::SleepMs(uint32_t ms) {
  slept_ += uint64_t(ms) * 1000;
  Advance(uint64_t(ms) * 1000);
}

void ScriptedClock::SleepUntilInput(uint32_t ms) {
  uint64_t wait = uint64_t(ms) * 1000;
  if (!actions_.empty()) {
    uint64_t due = lastActionAt_ + uint64_t(actions_.front().after) * 1000;
    if (due > micros_) wait = std::min(wait, due - micros_);
  }
  slept_ += wait;
  Advance(wait);
}

void ScriptedClock::Yield() { Advance(100); }

void ScriptedClock::After(uint32_t ms, std::function<void()> action) {
  if (actions_.empty()) lastActionAt_ = micros_;
  actions_.push_back({ms, std::move(action)});
}

void ScriptedClock::Advance(uint64_t micros) {
  micros_ += micros;
  if (micros_ > limitMicros_) throw TimeRanOut{};
  Fire();
}

void ScriptedClock::Fire() {
  while (!actions_.empty() && micros_ >= lastActionAt_ + uint64_t(actions_.front().after) * 1000) {
    lastActionAt_ += uint64_t(actions_.front().after) * 1000;
    auto run = std::move(actions_.front().run);
    actions_.pop_front();
    run();
  }
}

namespace {

uint32_t BigEndian(const std::string& bytes, size_t at, size_t count) {
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i) value = value << 8 | uint8_t(bytes[at + i]);
  return value;
}

// Whether the face in a TrueType file is of fixed width; nothing when the
// file is not one.
std::optional<bool> FixedPitch(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(12, '\0');
  if (!in.read(head.data(), std::streamsize(head.size()))) return std::nullopt;
  const uint32_t version = BigEndian(head, 0, 4);
  if (version != 0x00010000 && version != 0x74727565 && version != 0x4F54544F) return std::nullopt;
  std::string records(16 * BigEndian(head, 4, 2), '\0');
  if (!in.read(records.data(), std::streamsize(records.size()))) return std::nullopt;
  for (size_t at = 0; at < records.size(); at += 16) {
    if (records.compare(at, 4, "post") != 0) continue;
    std::string post(16, '\0');
    in.seekg(BigEndian(records, at + 8, 4));
    if (!in.read(post.data(), std::streamsize(post.size()))) return std::nullopt;
    return BigEndian(post, 12, 4) != 0;  // isFixedPitch
  }
  return false;
}

class BlankGlyphs : public ts::GlyphSource {
 public:
  BlankGlyphs(int width, int height) : width_(width), height_(height) {}
  int CellWidth() const override { return width_; }
  int CellHeight() const override { return height_; }
  ts::GlyphBitmap Glyph(uint8_t) override {
    return {width_, height_, std::vector<uint8_t>(size_t(width_) * size_t(height_))};
  }

 private:
  int width_, height_;
};

class ScriptedFace : public ts::Face {
 public:
  ScriptedFace(long pointSize, bool fixed) : pointSize_(pointSize), fixed_(fixed) {}
  int LineHeight() override { return int((pointSize_ * 1164 + 999) / 1000); }
  bool FixedWidth() override { return fixed_; }
  int SpaceWidth() override { return int((pointSize_ * 602 + 500) / 1000); }
  std::unique_ptr<ts::GlyphSource> Glyphs(int cellWidth, int cellHeight,
                                          const ts::FaceStyle&) override {
    return std::make_unique<BlankGlyphs>(cellWidth, cellHeight);
  }

 private:
  long pointSize_;
  bool fixed_;
};

}  // namespace

std::unique_ptr<ts::Face> ScriptedFaces::Open(const std::string& nativePath, long pointSize) {
  const std::optional<bool> fixed = FixedPitch(nativePath);
  if (!fixed) return nullptr;
  return std::make_unique<ScriptedFace>(pointSize, *fixed);
}

void LayerTest::SetUp() {
  ts::ResetLayer();
  ts::InstallClock(&clock);
  ts::InstallWindow(&window);
  ts::InstallFaceLoader(&faces);
  ts::platform::SetBoxAnswerer(
      [this](const std::string& caption, const std::string& text, ts::platform::BoxKind kind) {
        boxes.push_back({caption, text, kind});
        if (kind == ts::platform::BoxKind::Ok) return ts::platform::BoxAnswer::Ok;
        if (answers.empty()) return ts::platform::BoxAnswer::Yes;
        auto a = answers.front();
        answers.pop_front();
        return a;
      });
}

void LayerTest::TearDown() {
  ts::platform::SetBoxAnswerer(nullptr);
  ts::InstallClock(nullptr);
  ts::InstallWindow(nullptr);
  ts::InstallFaceLoader(nullptr);
  ts::ResetLayer();
}

bool LayerTest::RunProgram(const std::function<void()>& body) {
  try {
    body();
  } catch (const ts::ProgramStop&) {
    return true;
  }
  return false;
}

void LayerTest::Press(ts::Key key, unsigned mods, uint32_t unicode) {
  ts::OnKeyPress({key, mods, unicode});
}

void LayerTest::Type(const std::string& text) {
  for (unsigned char c : text) {
    ts::Key key = ts::Key::Other;
    if (c >= 'a' && c <= 'z') key = ts::Key(int(ts::Key::A) + (c - 'a'));
    else if (c >= 'A' && c <= 'Z') key = ts::Key(int(ts::Key::A) + (c - 'A'));
    else if (c >= '0' && c <= '9') key = ts::Key(int(ts::Key::Digit0) + (c - '0'));
    else if (c == ' ') key = ts::Key::Space;
    else if (c == '\r') key = ts::Key::Enter;
    else if (c == 27) key = ts::Key::Esc;
    bool shifted = (c >= 'A' && c <= 'Z');
    Press(key, shifted ? unsigned(ts::kModShift) : 0u, c);
  }
}

static int PixelX(int column) { return (column - 1) * ts::CellWidth() + ts::CellWidth() / 2; }
static int PixelY(int row) { return (row - 1) * ts::CellHeight() + ts::CellHeight() / 2; }

void LayerTest::MoveMouseTo(int row, int column) {
  ts::OnMouseMotion(PixelX(column), PixelY(row), 0, 0);
}

void LayerTest::WheelStep(int row, int column, bool up) {
  ts::OnMouseWheel(PixelX(column), PixelY(row), up);
}

void LayerTest::Click(int row, int column) {
  ts::OnMouseButton(PixelX(column), PixelY(row), ts::kMouseLeft, true);
  ts::OnMouseButton(PixelX(column), PixelY(row), ts::kMouseLeft, false);
}

void LayerTest::DoubleClick(int row, int column) {
  Click(row, column);
  clock.After(100, [=, this] { Click(row, column); });
}

std::string RowText(int row) { return RowText(row, 1, ts::kColumns); }

std::string RowText(int row, int fromColumn, int toColumn) {
  std::string s;
  for (int c = fromColumn; c <= toColumn; ++c) s += char(ts::Screen().cells[row - 1][c - 1].ch);
  return s;
}

int Fg(int row, int column) { return ts::Screen().cells[row - 1][column - 1].attr & 15; }
int Bg(int row, int column) { return (ts::Screen().cells[row - 1][column - 1].attr >> 4) & 7; }
uint8_t Ch(int row, int column) { return ts::Screen().cells[row - 1][column - 1].ch; }

ScratchFolder::ScratchFolder(const std::string& prefix) {
  std::string pattern = "/tmp/" + prefix + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
  path_ = pattern;
  previous_ = std::filesystem::current_path();
  std::filesystem::current_path(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace tst
