#include "platform/twain/twain.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include <poll.h>
#include <unistd.h>

#include "platform/uiscript/uiscript.h"

namespace twain {
namespace {

constexpr double kTwipsPerMm = 56.7;
constexpr double kTwipsPerInch = 1440;
// No sane line is longer than this; a device announcing more is broken.
constexpr int64_t kMaxLineBytes = int64_t{1} << 24;

// A scan frame in twips: corners left, top, right, bottom.
struct Frame {
  double left = 0, top = 0, right = 0, bottom = 0;
};

struct Manager {
  bool initialised = false;
  std::optional<bool> usable;  // Usable()'s answer, decided once
  bool listed = false;         // the list is made, or being made by the lister
  std::vector<std::string> devices;
  std::string selected;
  SANE_Handle handle = nullptr;
  std::optional<Frame> defaultFrame;  // the open device's frame when it was opened
};

Manager& M() {
  static Manager m;
  return m;
}

// The lister runs detached (a program may end with _exit, skipping the
// handler that would join it); `running` says it is under way, and every
// other call into the stack waits until it is over.
struct Lister {
  std::mutex mu;
  std::condition_variable done;
  bool running = false;
};

Lister& TheLister() {
  static Lister l;
  return l;
}

std::string Wanted() {
  const char* v = std::getenv("ORN_SCANNER");
  return v ? v : "";
}

bool Init() {
  Manager& m = M();
  if (!m.initialised) {
    SANE_Int version = 0;
    if (sane_init(&version, nullptr) != SANE_STATUS_GOOD) return false;
    m.initialised = true;
  }
  return true;
}

// Opens and closes `name`: true when the scanner stack reaches it.
bool Reachable(const std::string& name) {
  SANE_Handle h = nullptr;
  if (sane_open(name.c_str(), &h) != SANE_STATUS_GOOD) return false;
  sane_close(h);
  return true;
}

// The reachable devices, `want` alone when it is set. Runs on the lister
// thread as well: it touches nothing of the manager, and the stack is
// initialised before.
std::vector<std::string> Devices(const std::string& want) {
  std::vector<std::string> devices;
  // Network scanners too, not only the devices on this machine.
  const SANE_Device** list = nullptr;
  if (sane_get_devices(&list, SANE_FALSE) == SANE_STATUS_GOOD && list) {
    for (int i = 0; list[i]; ++i) {
      if (!list[i]->name) continue;
      const std::string name = list[i]->name;
      if (want.empty() || name == want) devices.push_back(name);
    }
  }
  // A device named by the variable can be reached without being announced
  // (a network scanner that no host list names).
  if (!want.empty() && devices.empty() && Reachable(want)) devices.push_back(want);
  return devices;
}

void Listed(Manager& m, std::vector<std::string> devices) {
  m.devices = std::move(devices);
  if (!m.devices.empty()) m.selected = m.devices.front();
}

// Waits for a listing under way. Also run at exit: the libraries' own
// clean-up must not run under a backend that is still probing.
void Join() {
  Lister& l = TheLister();
  std::unique_lock lock(l.mu);
  l.done.wait(lock, [&l] { return !l.running; });
}

void List() {
  Join();
  Manager& m = M();
  if (m.listed) return;
  m.listed = true;
  const std::string want = Wanted();
  if (want == "none" || !Init()) return;
  Listed(m, Devices(want));
}

void ListInBackground() {
  Manager& m = M();
  if (m.listed) return;
  Lister& l = TheLister();  // made before the exit handler is set, so it outlives it
  static const bool joinAtExit = std::atexit(Join) == 0;
  if (!joinAtExit) return;  // listed when first needed instead
  const std::string want = Wanted();
  try {
    l.running = true;
    std::thread([&m, &l, want] {
      std::vector<std::string> devices;
      try {
        devices = Devices(want);
      } catch (const std::bad_alloc&) {
        devices.clear();  // nothing offered rather than the process ended
      }
      Listed(m, std::move(devices));
      // Notified under the lock: once a waiter has it, this thread touches
      // nothing of the manager any more.
      std::lock_guard lock(l.mu);
      l.running = false;
      l.done.notify_all();
    }).detach();
    m.listed = true;
  } catch (const std::system_error&) {
    l.running = false;  // no thread to be had: listed when first needed instead
  }
}

// The configuration folders in the scanner stack's order: SANE_CONFIG_DIR's
// colon-separated list, followed by the current folder and the system's
// folder when the variable is unset or ends with a colon.
std::vector<std::filesystem::path> ConfigDirs(const char* var) {
  std::vector<std::filesystem::path> dirs;
  const std::string v = var ? var : "";
  size_t from = 0;
  for (size_t colon; (colon = v.find(':', from)) != std::string::npos; from = colon + 1) {
    if (colon > from) dirs.emplace_back(v.substr(from, colon - from));
  }
  if (from < v.size()) dirs.emplace_back(v.substr(from));
  if (v.empty() || v.back() == ':') {
    dirs.emplace_back(".");
    dirs.emplace_back("/etc/sane.d");
  }
  return dirs;
}

// True when the file names a backend: a line with a word before any "#".
bool NamesBackend(const std::filesystem::path& file) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    line = line.substr(0, line.find('#'));
    if (line.find_first_not_of(" \t\r") != std::string::npos) return true;
  }
  return false;
}

// Options by name. The descriptors may change after every set (a mode
// change can switch options on and off), so they are looked up each time.
const SANE_Option_Descriptor* Find(SANE_Handle h, const char* name, SANE_Int* index) {
  SANE_Int count = 0;
  if (sane_control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) return nullptr;
  for (SANE_Int i = 1; i < count; ++i) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
    if (d && d->name && std::strcmp(d->name, name) == 0 && SANE_OPTION_IS_ACTIVE(d->cap)) {
      *index = i;
      return d;
    }
  }
  return nullptr;
}

bool IsNumber(const SANE_Option_Descriptor* d) {
  return (d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED) && d->size == sizeof(SANE_Word);
}

double Unword(const SANE_Option_Descriptor* d, SANE_Word w) {
  return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : static_cast<double>(w);
}

std::optional<double> GetNumber(SANE_Handle h, const char* name, SANE_Unit* unit = nullptr) {
  SANE_Int i = 0;
  const SANE_Option_Descriptor* d = Find(h, name, &i);
  if (!d || !IsNumber(d)) return std::nullopt;
  SANE_Word w = 0;
  if (sane_control_option(h, i, SANE_ACTION_GET_VALUE, &w, nullptr) != SANE_STATUS_GOOD) return std::nullopt;
  if (unit) *unit = d->unit;
  return Unword(d, w);
}

// The option's range as numbers; nullopt without a range constraint.
std::optional<std::pair<double, double>> Range(SANE_Handle h, const char* name) {
  SANE_Int i = 0;
  const SANE_Option_Descriptor* d = Find(h, name, &i);
  if (!d || !IsNumber(d) || d->constraint_type != SANE_CONSTRAINT_RANGE || !d->constraint.range) {
    return std::nullopt;
  }
  return std::pair{Unword(d, d->constraint.range->min), Unword(d, d->constraint.range->max)};
}

// Sets a number, brought into the option's constraint first (the nearest
// value of a word list; a range clamps).
bool SetNumber(SANE_Handle h, const char* name, double v) {
  SANE_Int i = 0;
  const SANE_Option_Descriptor* d = Find(h, name, &i);
  if (!d || !IsNumber(d) || !SANE_OPTION_IS_SETTABLE(d->cap)) return false;
  if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
    v = std::clamp(v, Unword(d, d->constraint.range->min), Unword(d, d->constraint.range->max));
  } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
    const SANE_Word* list = d->constraint.word_list;
    double best = v, distance = -1;
    for (SANE_Word k = 1; k <= list[0]; ++k) {
      const double c = Unword(d, list[k]);
      if (distance < 0 || std::abs(c - v) < distance) {
        best = c;
        distance = std::abs(c - v);
      }
    }
    v = best;
  }
  SANE_Word w = d->type == SANE_TYPE_FIXED ? SANE_FIX(v) : static_cast<SANE_Word>(std::lround(v));
  return sane_control_option(h, i, SANE_ACTION_SET_VALUE, &w, nullptr) == SANE_STATUS_GOOD;
}

std::optional<std::string> GetString(SANE_Handle h, const char* name) {
  SANE_Int i = 0;
  const SANE_Option_Descriptor* d = Find(h, name, &i);
  if (!d || d->type != SANE_TYPE_STRING || d->size <= 0) return std::nullopt;
  std::vector<char> buf(static_cast<size_t>(d->size) + 1, '\0');
  if (sane_control_option(h, i, SANE_ACTION_GET_VALUE, buf.data(), nullptr) != SANE_STATUS_GOOD) {
    return std::nullopt;
  }
  return std::string(buf.data());
}

std::vector<std::string> Choices(SANE_Handle h, const char* name) {
  std::vector<std::string> out;
  SANE_Int i = 0;
  const SANE_Option_Descriptor* d = Find(h, name, &i);
  if (d && d->type == SANE_TYPE_STRING && d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
    for (const SANE_String_Const* s = d->constraint.string_list; s && *s; ++s) out.emplace_back(*s);
  }
  return out;
}

std::vector<double> DepthChoices(SANE_Handle h) {
  std::vector<double> out;
  SANE_Int i = 0;
  const SANE_Option_Descriptor* d = Find(h, SANE_NAME_BIT_DEPTH, &i);
  if (d && IsNumber(d) && d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
    for (SANE_Word k = 1; k <= d->constraint.word_list[0]; ++k) out.push_back(Unword(d, d->constraint.word_list[k]));
  }
  return out;
}

bool SetString(SANE_Handle h, const char* name, const std::string& value) {
  SANE_Int i = 0;
  const SANE_Option_Descriptor* d = Find(h, name, &i);
  if (!d || d->type != SANE_TYPE_STRING || !SANE_OPTION_IS_SETTABLE(d->cap) || d->size <= 0) return false;
  std::vector<char> buf(static_cast<size_t>(d->size) + value.size() + 1, '\0');
  std::memcpy(buf.data(), value.c_str(), value.size());
  return sane_control_option(h, i, SANE_ACTION_SET_VALUE, buf.data(), nullptr) == SANE_STATUS_GOOD;
}

}  // namespace

ModeKind KindOfMode(std::string_view mode) {
  std::string m(mode);
  for (char& c : m) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  auto has = [&m](const char* word) { return m.find(word) != std::string::npos; };
  if (has("colo") || has("rgb")) return ModeKind::Colour;
  if (has("lineart") || has("line art") || has("binary") || has("halftone") || has("black") || has("b&w") ||
      m == "bw" || has("thresh")) {
    return ModeKind::LineArt;
  }
  if (has("gray") || has("grey")) return ModeKind::Grey;
  return ModeKind::Other;
}

std::optional<std::string> ChooseMode(const std::vector<std::string>& modes, ModeKind kind) {
  for (const std::string& mode : modes) {
    if (KindOfMode(mode) == kind) return mode;
  }
  return std::nullopt;
}

namespace {

int32_t PixelTypeOf(const std::string& mode, double depth) {
  switch (KindOfMode(mode)) {
    case ModeKind::Colour: return kRgb;
    case ModeKind::LineArt: return kBlackWhite;
    default: return depth == 1 ? kBlackWhite : kGray;
  }
}

// Frame values: the device's unit (mm or pixels) to twips and back.
double ToTwips(double v, SANE_Unit unit, double dpi) {
  if (unit == SANE_UNIT_PIXEL) return dpi > 0 ? v / dpi * kTwipsPerInch : 0;
  return v * kTwipsPerMm;
}
double FromTwips(double twips, SANE_Unit unit, double dpi) {
  if (unit == SANE_UNIT_PIXEL) return twips / kTwipsPerInch * dpi;
  return twips / kTwipsPerMm;
}

// The TWAIN scale -1000..1000 on an option's range and back.
double ToScale(double v, std::pair<double, double> r) {
  return r.second > r.first ? (v - r.first) / (r.second - r.first) * 2000 - 1000 : 0;
}
double FromScale(double v, std::pair<double, double> r) {
  return r.first + (std::clamp(v, -1000.0, 1000.0) + 1000) / 2000 * (r.second - r.first);
}

// Sets the device's mode of the kind the pixel type asks for, chosen from
// its own list. Black and white falls back to grey, at 1 bit where the
// device offers it. False when the device offers no mode of the kind.
bool SetMode(SANE_Handle h, int32_t pixelType) {
  const std::vector<std::string> modes = Choices(h, SANE_NAME_SCAN_MODE);
  // A device without a mode list scans the one way it can.
  if (modes.empty()) return true;
  const std::optional<std::string> grey = ChooseMode(modes, ModeKind::Grey);
  if (pixelType == kRgb || pixelType == kPalette) {
    const std::optional<std::string> colour = ChooseMode(modes, ModeKind::Colour);
    if (!colour) return false;
    SetString(h, SANE_NAME_SCAN_MODE, *colour);
    SetNumber(h, SANE_NAME_BIT_DEPTH, 8);
    return true;
  }
  if (pixelType == kBlackWhite) {
    if (const std::optional<std::string> lineart = ChooseMode(modes, ModeKind::LineArt)) {
      SetString(h, SANE_NAME_SCAN_MODE, *lineart);
      return true;
    }
    if (!grey) return false;
    SetString(h, SANE_NAME_SCAN_MODE, *grey);
    const std::vector<double> depths = DepthChoices(h);
    SetNumber(h, SANE_NAME_BIT_DEPTH, std::find(depths.begin(), depths.end(), 1.0) != depths.end() ? 1 : 8);
    return true;
  }
  if (!grey) return false;
  SetString(h, SANE_NAME_SCAN_MODE, *grey);
  SetNumber(h, SANE_NAME_BIT_DEPTH, 8);
  return true;
}

// The device's frame now, in twips.
std::optional<Frame> FrameOf(SANE_Handle h) {
  SANE_Unit unit = SANE_UNIT_MM;
  const std::optional<double> left = GetNumber(h, SANE_NAME_SCAN_TL_X, &unit);
  if (!left) return std::nullopt;
  const double dpi = GetNumber(h, SANE_NAME_SCAN_RESOLUTION).value_or(0);
  const double top = GetNumber(h, SANE_NAME_SCAN_TL_Y).value_or(0);
  const double right = GetNumber(h, SANE_NAME_SCAN_BR_X).value_or(*left);
  const double bottom = GetNumber(h, SANE_NAME_SCAN_BR_Y).value_or(top);
  return Frame{ToTwips(*left, unit, dpi), ToTwips(top, unit, dpi), ToTwips(right, unit, dpi),
               ToTwips(bottom, unit, dpi)};
}

// The frame asked for; a value not asked for is the device's own as it was
// opened, not what an earlier scan of the session set.
void SetFrame(SANE_Handle h, const Request& r, const std::optional<Frame>& defaults) {
  SANE_Unit unit = SANE_UNIT_MM;
  const double dpi = GetNumber(h, SANE_NAME_SCAN_RESOLUTION).value_or(0);
  if (!GetNumber(h, SANE_NAME_SCAN_TL_X, &unit)) return;
  if (r.frameLeft) {
    SetNumber(h, SANE_NAME_SCAN_TL_X, FromTwips(*r.frameLeft, unit, dpi));
  } else if (defaults) {
    SetNumber(h, SANE_NAME_SCAN_TL_X, FromTwips(defaults->left, unit, dpi));
  }
  if (r.frameTop) {
    SetNumber(h, SANE_NAME_SCAN_TL_Y, FromTwips(*r.frameTop, unit, dpi));
  } else if (defaults) {
    SetNumber(h, SANE_NAME_SCAN_TL_Y, FromTwips(defaults->top, unit, dpi));
  }
  const double left = GetNumber(h, SANE_NAME_SCAN_TL_X).value_or(0);
  const double top = GetNumber(h, SANE_NAME_SCAN_TL_Y).value_or(0);
  if (r.frameWidth) {
    SetNumber(h, SANE_NAME_SCAN_BR_X, left + FromTwips(*r.frameWidth, unit, dpi));
  } else if (defaults) {
    SetNumber(h, SANE_NAME_SCAN_BR_X, FromTwips(defaults->right, unit, dpi));
  }
  if (r.frameHeight) {
    SetNumber(h, SANE_NAME_SCAN_BR_Y, top + FromTwips(*r.frameHeight, unit, dpi));
  } else if (defaults) {
    SetNumber(h, SANE_NAME_SCAN_BR_Y, FromTwips(defaults->bottom, unit, dpi));
  }
}

void SetLevel(SANE_Handle h, const char* name, const std::optional<double>& v) {
  if (!v) return;
  if (auto range = Range(h, name)) SetNumber(h, name, FromScale(*v, *range));
}

int16_t StatusResult(SANE_Status s) {
  if (s == SANE_STATUS_GOOD) return kOk;
  return s == SANE_STATUS_CANCELLED ? kCancelled : kFailed;
}

// Sample `x` of a line as 8 bits.
uint8_t Sample(const uint8_t* line, int64_t x, int depth, bool greyBits) {
  if (depth == 8) return line[x];
  if (depth == 16) {
    uint16_t v;
    std::memcpy(&v, line + 2 * x, 2);  // host byte order
    return static_cast<uint8_t>(v >> 8);
  }
  const bool set = (line[x / 8] >> (7 - x % 8)) & 1;
  // A set bit is black in a grey frame and full intensity in a colour one.
  return greyBits ? (set ? 0 : 255) : (set ? 255 : 0);
}

// Reads one frame (all its data) and puts it into `out`. The announced
// parameters come from the device and are checked before anything is
// allocated or indexed.
// After a failed read, lets the device's reader run out before the scan is
// cancelled: a backend whose reader thread is cancelled in the middle of its
// transfer can deadlock on its own allocator lock. Where the device offers a
// select descriptor, its pipe is drained until the reader closes it or stays
// silent for a moment (two seconds at most).
void DrainReader(SANE_Handle h) {
  SANE_Int fd = -1;
  if (sane_get_select_fd(h, &fd) != SANE_STATUS_GOOD || fd < 0) return;
  std::vector<char> sink(65536);
  for (int rounds = 0; rounds < 20; ++rounds) {
    pollfd pfd{fd, POLLIN, 0};
    if (poll(&pfd, 1, 100) <= 0) return;
    if (read(fd, sink.data(), sink.size()) <= 0) return;
  }
}

// The threads of this process, as the kernel counts them; -1 where the
// count cannot be read.
int ThreadCount() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Threads:", 0) == 0) return std::atoi(line.c_str() + 8);
  }
  return -1;
}

// Before the read that ends a frame, whose data has all arrived: a backend
// whose reader runs on a thread of this process cancels that thread at the
// frame's end, and asynchronously; cancelled while it is already ending
// (freeing its allocator cache), the thread deadlocks on its own allocator
// lock, and the read waits for it for ever. A reader the frame's start
// began ends once it has handed over its data, so it is waited for here,
// for a moment at most (a thread of the backend's that does not end costs
// that moment).
void LetReaderEnd(int threadsBeforeStart) {
  using namespace std::chrono_literals;
  if (threadsBeforeStart < 0) return;
  for (int waited = 0; waited < 200 && ThreadCount() > threadsBeforeStart; ++waited) {
    std::this_thread::sleep_for(1ms);
  }
}

int16_t ReadFrame(SANE_Handle h, Raster* out, bool* last, int threadsBeforeStart) {
  SANE_Parameters p;
  if (sane_get_parameters(h, &p) != SANE_STATUS_GOOD) return kFailed;
  *last = p.last_frame;
  const bool interleaved = p.format == SANE_FRAME_RGB;
  const int channels = interleaved ? 3 : 1;
  if (p.depth != 1 && p.depth != 8 && p.depth != 16) return kFailed;
  if (p.pixels_per_line <= 0 || p.pixels_per_line > 65535) return kFailed;
  const int64_t need = (int64_t{p.pixels_per_line} * channels * p.depth + 7) / 8;
  if (p.bytes_per_line < need || p.bytes_per_line > kMaxLineBytes) return kFailed;
  const int64_t maxLines = kMaxPixels / p.pixels_per_line;
  if (p.lines > maxLines) return kFailed;

  std::vector<uint8_t> bytes;
  const int64_t limit = (p.lines >= 0 ? p.lines : maxLines) * int64_t{p.bytes_per_line};
  std::vector<SANE_Byte> buf(65536);
  for (;;) {
    SANE_Int len = 0;
    const SANE_Status s = sane_read(h, buf.data(), static_cast<SANE_Int>(buf.size()), &len);
    if (s == SANE_STATUS_EOF) break;
    if (s != SANE_STATUS_GOOD) {
      DrainReader(h);
      return StatusResult(s);
    }
    if (len < 0 || len > static_cast<SANE_Int>(buf.size())) return kFailed;
    if (static_cast<int64_t>(bytes.size()) + len > limit) return kFailed;
    bytes.insert(bytes.end(), buf.begin(), buf.begin() + len);
    if (p.lines >= 0 && static_cast<int64_t>(bytes.size()) == limit) LetReaderEnd(threadsBeforeStart);
  }
  const int64_t lines = p.lines >= 0 ? p.lines : static_cast<int64_t>(bytes.size()) / p.bytes_per_line;
  if (lines <= 0 || static_cast<int64_t>(bytes.size()) < lines * p.bytes_per_line) return kFailed;

  int plane = -1;  // 0..2 for one colour of a three-pass scan
  if (p.format == SANE_FRAME_RED) plane = 0;
  if (p.format == SANE_FRAME_GREEN) plane = 1;
  if (p.format == SANE_FRAME_BLUE) plane = 2;
  const int outChannels = plane >= 0 ? 3 : channels;
  if (out->data.empty()) {
    out->width = p.pixels_per_line;
    out->height = static_cast<int32_t>(lines);
    out->channels = outChannels;
    out->bilevel = p.depth == 1 && outChannels == 1;
    out->data.assign(static_cast<size_t>(out->width) * out->height * outChannels, 0);
  } else if (out->width != p.pixels_per_line || out->height != lines || out->channels != outChannels) {
    return kFailed;
  }
  const bool greyBits = p.format == SANE_FRAME_GRAY;
  for (int64_t y = 0; y < lines; ++y) {
    const uint8_t* line = bytes.data() + y * p.bytes_per_line;
    uint8_t* row = out->data.data() + y * out->width * outChannels;
    for (int64_t x = 0; x < out->width; ++x) {
      if (plane >= 0) {
        row[x * 3 + plane] = Sample(line, x, p.depth, false);
      } else {
        for (int c = 0; c < channels; ++c) row[x * channels + c] = Sample(line, x * channels + c, p.depth, greyBits);
      }
    }
  }
  return kOk;
}

}  // namespace

bool BackendConfigured(const char* var) {
  namespace fs = std::filesystem;
  const std::vector<fs::path> dirs = ConfigDirs(var);
  std::error_code ec;
  // The first dll.conf and the first dll.d folder count, as the stack reads them.
  for (const fs::path& dir : dirs) {
    if (fs::is_regular_file(dir / "dll.conf", ec)) {
      if (NamesBackend(dir / "dll.conf")) return true;
      break;
    }
  }
  for (const fs::path& dir : dirs) {
    if (!fs::is_directory(dir / "dll.d", ec)) continue;
    for (const fs::directory_entry& e : fs::directory_iterator(dir / "dll.d", ec)) {
      const std::string name = e.path().filename().string();
      // Hidden files and editors' copies are not read.
      if (name.empty() || name.front() == '.' || name.back() == '~') continue;
      if (e.is_regular_file(ec) && NamesBackend(e.path())) return true;
    }
    break;
  }
  return false;
}

bool Usable() {
  Manager& m = M();
  if (!m.usable) {
    const std::string want = Wanted();
    m.usable = want != "none" && Init() && (!want.empty() || BackendConfigured(std::getenv("SANE_CONFIG_DIR")));
    if (*m.usable) ListInBackground();
  }
  return *m.usable;
}

bool Available() {
  List();
  return !M().devices.empty();
}

std::vector<std::string> Sources() {
  List();
  return M().devices;
}

std::string CurrentSource() {
  List();
  return M().selected;
}

namespace {

SourceChooser& Chooser() {
  static SourceChooser chooser;
  return chooser;
}

}  // namespace

void SetSourceChooser(SourceChooser chooser) { Chooser() = std::move(chooser); }

int16_t SelectSource() {
  List();
  Manager& m = M();
  std::string names;
  for (const std::string& d : m.devices) names += (names.empty() ? "" : ";") + d;
  std::optional<uiscript::Answer> answer = uiscript::AnswerQueue::Instance().Take();
  if (answer && *answer != uiscript::kOk && *answer != uiscript::kCancel) {
    throw uiscript::ScriptError("the source dialog takes ok or cancel, not " +
                                std::string(uiscript::AnswerName(*answer)));
  }
  bool cancel = answer == uiscript::kCancel;
  if (m.devices.empty()) {
    uiscript::Transcript::Write({"dialog", "Select Source", names, "none"});
    return kNoSource;
  }
  std::string chosen = m.devices.front();
  if (!answer && Chooser()) {
    // On a real screen the operator chooses from the list, the current source marked.
    const size_t marked = static_cast<size_t>(
        std::find(m.devices.begin(), m.devices.end(), m.selected) - m.devices.begin());
    const std::optional<size_t> pick = Chooser()(m.devices, marked);
    cancel = !pick || *pick >= m.devices.size();
    if (!cancel) chosen = m.devices[*pick];
  }
  uiscript::Transcript::Write({"dialog", "Select Source", names, cancel ? "cancel" : chosen});
  if (cancel) return kCancelled;
  if (m.selected != chosen) Close();
  m.selected = chosen;
  return kOk;
}

int16_t Open() {
  if (!Available()) return kNoSource;
  Manager& m = M();
  if (m.handle) return kOk;
  SANE_Handle h = nullptr;
  const SANE_Status s = sane_open(m.selected.c_str(), &h);
  if (s != SANE_STATUS_GOOD) return StatusResult(s) == kCancelled ? kCancelled : kFailed;
  m.handle = h;
  m.defaultFrame = FrameOf(h);
  return kOk;
}

bool IsOpen() { return M().handle != nullptr; }

std::optional<Capabilities> Current() {
  SANE_Handle h = M().handle;
  if (!h) return std::nullopt;
  Capabilities c;
  const std::string mode = GetString(h, SANE_NAME_SCAN_MODE).value_or("");
  const double depth = GetNumber(h, SANE_NAME_BIT_DEPTH).value_or(8);
  c.pixelType = PixelTypeOf(mode, depth);
  c.bits = c.pixelType == kRgb ? 24 : c.pixelType == kBlackWhite ? 1 : 8;
  c.resolution = GetNumber(h, SANE_NAME_SCAN_RESOLUTION).value_or(0);
  if (const std::optional<Frame> f = FrameOf(h)) {
    c.frameLeft = f->left;
    c.frameTop = f->top;
    c.frameWidth = f->right - f->left;
    c.frameHeight = f->bottom - f->top;
  }
  if (auto r = Range(h, SANE_NAME_BRIGHTNESS)) c.brightness = ToScale(*GetNumber(h, SANE_NAME_BRIGHTNESS), *r);
  if (auto r = Range(h, SANE_NAME_CONTRAST)) c.contrast = ToScale(*GetNumber(h, SANE_NAME_CONTRAST), *r);
  const std::string source = GetString(h, SANE_NAME_SCAN_SOURCE).value_or("");
  c.feeder = source.find("Feeder") != std::string::npos || source.find("ADF") != std::string::npos;
  return c;
}

int16_t Acquire(const Request& r, Raster* out) {
  *out = Raster();
  if (const int16_t rc = Open(); rc != kOk) return rc;
  SANE_Handle h = M().handle;
  if (r.pixelType && !SetMode(h, *r.pixelType)) return kNoMode;
  if (r.resolution && *r.resolution > 0) SetNumber(h, SANE_NAME_SCAN_RESOLUTION, *r.resolution);
  SetFrame(h, r, M().defaultFrame);
  SetLevel(h, SANE_NAME_BRIGHTNESS, r.brightness);
  SetLevel(h, SANE_NAME_CONTRAST, r.contrast);
  const double dpi = GetNumber(h, SANE_NAME_SCAN_RESOLUTION).value_or(0);

  int16_t rc = kOk;
  for (bool last = false; !last && rc == kOk;) {
    const int threads = ThreadCount();
    rc = StatusResult(sane_start(h));
    if (rc == kOk) rc = ReadFrame(h, out, &last, threads);
  }
  sane_cancel(h);
  if (rc != kOk) {
    *out = Raster();
    return rc;
  }
  out->dpi = dpi;
  return kOk;
}

void Close() {
  Manager& m = M();
  if (m.handle) sane_close(m.handle);
  m.handle = nullptr;
  m.defaultFrame.reset();
}

void Reset() {
  Join();
  Close();
  Manager& m = M();
  if (m.initialised) sane_exit();
  m = Manager();
}

}  // namespace twain
