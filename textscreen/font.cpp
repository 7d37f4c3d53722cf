#include "font.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <string>

#include "builtin_font.h"
#include "errors.h"
#include "platform/paths.h"
#include "reset.h"
#include "screen.h"
#include "window.h"

namespace ts {
namespace {

constexpr long kFirstHandle = 32;
constexpr long kLastHandle = 1023;
// A font's line is 2 pixels higher than its cells.
constexpr long kLineGap = 2;
// Sizes below 1 give the point size in thousandths; from about 1000 on
// nothing loads.
constexpr double kSmallestSize = 0.001, kTooLarge = 1000.5;
constexpr double kThousandths = 1000;
// The point size a face's line height is first measured at.
constexpr long kProbePoints = 1000;

// No font library: no file opens as a face.
class NoFaces : public FaceLoader {
 public:
  std::unique_ptr<Face> Open(const std::string&, long) override { return nullptr; }
};

NoFaces noFaces;
std::atomic<FaceLoader*> faces{&noFaces};

struct LoadedFont {
  std::unique_ptr<GlyphSource> glyphs;
  bool monospace = false;
};

// Never destroyed: at process end the faces go with the process, and
// closing them after their font library has shut down would not be safe.
std::map<long, LoadedFont>& Loaded() {
  static auto* fonts = new std::map<long, LoadedFont>;
  return *fonts;
}

std::atomic<GlyphSource*> current{nullptr};

void ResetFontState() {
  current = &BuiltinFont();
  Loaded().clear();
}

RoomReset registration(&ResetFontState);

enum Option : unsigned {
  kBold = 1,
  kItalic = 2,
  kUnderline = 4,
  kDontBlend = 8,
  kMonospace = 16,
  kUnicode = 32
};

// Comma-separated words, blanks around them ignored, any case. False on a
// word not in the list or one given twice.
bool ParseOptions(const Bytes& options, unsigned& out) {
  static const std::pair<const char*, Option> kWords[] = {
      {"BOLD", kBold},           {"ITALIC", kItalic},       {"UNDERLINE", kUnderline},
      {"DONTBLEND", kDontBlend}, {"MONOSPACE", kMonospace}, {"UNICODE", kUnicode}};
  static const char* const kBlanks = " \t";
  out = 0;
  if (options.find_first_not_of(kBlanks) == Bytes::npos) return true;
  size_t start = 0;
  while (true) {
    size_t comma = options.find(',', start);
    Bytes word = options.substr(start, comma == Bytes::npos ? Bytes::npos : comma - start);
    size_t first = word.find_first_not_of(kBlanks);
    size_t last = word.find_last_not_of(kBlanks);
    word = first == Bytes::npos ? "" : UpperAZ(word.substr(first, last - first + 1));
    unsigned bit = 0;
    for (const auto& [name, option] : kWords)
      if (word == name) bit = option;
    if (bit == 0 || (out & bit)) return false;
    out |= bit;
    if (comma == Bytes::npos) return true;
    start = comma + 1;
  }
}

std::unique_ptr<Face> Open(const std::string& path, long pointSize) {
  if (pointSize < 1) return nullptr;
  return faces.load()->Open(path, pointSize);
}

// Opens the face at the point size whose line height comes nearest to
// `wanted` pixels.
std::unique_ptr<Face> OpenForLineHeight(const std::string& path, long wanted) {
  std::unique_ptr<Face> probe = Open(path, kProbePoints);
  if (!probe) return nullptr;
  const int probeHeight = probe->LineHeight();
  probe.reset();
  if (probeHeight < 1) return nullptr;
  long p = long(std::floor(double(kProbePoints) / probeHeight * double(wanted)));
  std::unique_ptr<Face> face = Open(path, p);
  if (!face) return nullptr;
  if (face->LineHeight() > wanted && p > 1) {
    face.reset();
    if (!(face = Open(path, --p))) return nullptr;
  }
  if (face->LineHeight() < wanted) {
    face.reset();
    face = Open(path, ++p);
  }
  return face;
}

long FreeHandle() {
  for (long h = kFirstHandle; h <= kLastHandle; ++h)
    if (!Loaded().count(h)) return h;
  return 0;
}

}  // namespace

long LoadFont(const Bytes& fileName, double size, const Bytes& options) {
  if (ErrorPending()) return 0;
  unsigned opts = 0;
  if (!ParseOptions(options, opts) || !(size >= kSmallestSize)) {
    RaiseError(5);
    return 0;
  }
  if (size >= kTooLarge) return 0;

  Bytes toolPath = fileName;
  std::replace(toolPath.begin(), toolPath.end(), '/', '\\');
  platform::NativePath native = platform::ToNative(toolPath);
  if (native.error != platform::PathError::None) return -1;
  // Only a regular file: a face loader's open of a FIFO would wait for a
  // writer for ever, and a device has no end.
  struct stat st;
  if (stat(native.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;

  std::unique_ptr<Face> face;
  int cellHeight = 0;
  if (size >= 1) {
    const long wanted = RoundHalfEven(size) + kLineGap;
    face = OpenForLineHeight(native.path, wanted);
    cellHeight = int(wanted - kLineGap);
  } else {
    face = Open(native.path, long(std::floor(size * kThousandths)));
    if (face) cellHeight = face->LineHeight() - int(kLineGap);
  }
  if (!face) return -1;
  if (cellHeight < 1) return 0;

  int cellWidth = 0;
  if (opts & kMonospace) {
    if (face->FixedWidth()) cellWidth = face->SpaceWidth();
    if (cellWidth < 1) return -1;
    // A font whose screen no window can hold cannot serve it either.
    if (!Window().CanMake(kColumns * cellWidth, kRows * cellHeight)) return 0;
  }

  const long handle = FreeHandle();
  if (handle == 0) return 0;
  const FaceStyle style{(opts & kBold) != 0, (opts & kItalic) != 0, (opts & kUnderline) != 0};
  Loaded()[handle] = {face->Glyphs(cellWidth, cellHeight, style), (opts & kMonospace) != 0};
  return handle;
}

void UseFont(long handle) {
  if (ErrorPending()) return;
  auto it = Loaded().find(handle);
  if (it == Loaded().end()) {
    RaiseError(258);
    return;
  }
  if (!it->second.monospace) {
    RaiseError(5);
    return;
  }
  Window().BetweenRedraws(
      [](void* font) {
        current = static_cast<GlyphSource*>(font);
        Window().FontChanged();
      },
      it->second.glyphs.get());
}

bool UseBuiltinFont() {
  return current.exchange(&BuiltinFont()) != &BuiltinFont();
}

GlyphSource& CurrentFont() {
  GlyphSource* font = current.load();
  return font ? *font : BuiltinFont();
}

int CellWidth() { return CurrentFont().CellWidth(); }
int CellHeight() { return CurrentFont().CellHeight(); }

void ResetFonts() { ResetFontState(); }

void InstallFaceLoader(FaceLoader* loader) { faces = loader ? loader : &noFaces; }

}  // namespace ts
