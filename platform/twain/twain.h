#pragma once
// The scanner source manager behind the imaging control's TWAIN members:
// a list of data sources, one selected source, its capabilities, and the
// acquisition of one image. Sources are the devices of the host's scanner
// stack (SANE); its configuration decides which devices exist
// (SANE_CONFIG_DIR, dll.conf), so tests point it at a directory of their own.
//
// Network devices are offered beside the local ones. ORN_SCANNER=none makes
// every source unreachable; ORN_SCANNER=<device> offers that one device
// only, also when the stack does not list it but can open it by its name
// (unreachable when it cannot); unset, every device is offered and the
// first one starts selected.
//
// One process-wide manager, called from one thread. Asking the devices can
// take seconds (USB probing, network scanners that do not answer), so
// Usable() decides from the configuration alone and has the sources listed
// on a thread of the manager's own; every other call waits for that listing
// before it touches the scanner stack, so no two calls into the stack ever
// overlap. A source opened by Open() stays open until Close(); Acquire
// opens it when needed.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace twain {

// Pixel types with the TWAIN ICAP_PIXELTYPE numbers.
enum PixelType : int32_t { kBlackWhite = 0, kGray = 1, kRgb = 2, kPalette = 3 };

// Results; 0 is success.
enum Result : int16_t {
  kOk = 0,
  kNoSource = -9,   // no source is reachable (or none selected)
  kFailed = -10,    // the device refused, jammed, or sent an inconsistent image
  kCancelled = -11, // the operator cancelled the dialog or the scan
  kNoMode = -12,    // the source offers no scan mode of the pixel type asked
};

// What a device's scan mode is, read from its name ("Color", "24bit Color",
// "True Gray", "Binary", "Lineart", ...), case ignored.
enum class ModeKind { Colour, Grey, LineArt, Other };
ModeKind KindOfMode(std::string_view mode);
// The first of the device's modes of that kind; nullopt when it has none.
std::optional<std::string> ChooseMode(const std::vector<std::string>& modes, ModeKind kind);

// Units: frames in twips (567 per centimetre), brightness and contrast on
// the TWAIN scale -1000..1000.
struct Capabilities {
  int32_t pixelType = kGray;
  int32_t bits = 8;  // per pixel, as delivered: 1, 8 or 24
  double resolution = 0;
  double frameLeft = 0, frameTop = 0, frameWidth = 0, frameHeight = 0;
  double brightness = 0, contrast = 0;
  bool feeder = false;  // the source scans from a document feeder
};

// What an acquisition asks for; an unset value leaves the source's own.
struct Request {
  std::optional<int32_t> pixelType;
  std::optional<double> resolution;   // dpi, above 0
  std::optional<double> frameLeft, frameTop, frameWidth, frameHeight;  // twips, above 0 (left/top 0 or more)
  std::optional<double> brightness, contrast;  // -1000..1000
};

// One scanned picture: 8-bit samples, rows from the top, `channels` 1 (grey)
// or 3 (R, G, B) bytes per pixel. `bilevel` marks a source that delivered
// black and white; its samples are then 0 (black) or 255 (white).
struct Raster {
  int32_t width = 0, height = 0, channels = 1;
  bool bilevel = false;
  double dpi = 0;
  std::vector<uint8_t> data;
};

// Largest picture taken, in pixels; a device announcing more is refused.
inline constexpr int64_t kMaxPixels = int64_t{1} << 27;

// Whether scanning is usable on this computer, decided without asking the
// devices: false with ORN_SCANNER=none or when the scanner stack does not
// start; true when ORN_SCANNER names a device or the stack's configuration
// names at least one backend. When true, starts listing the sources in the
// background, so the first dialog or scan finds the list made.
bool Usable();
// True when the configuration found by SANE_CONFIG_DIR's rules (`dirs` as
// the variable holds it, nullptr when unset) names at least one backend, in
// dll.conf or in a file of dll.d.
bool BackendConfigured(const char* dirs);

// True when at least one source is reachable (waits for the list).
bool Available();
// The reachable sources' names, in the scanner stack's order.
std::vector<std::string> Sources();
// The selected source's name, "" when none is reachable.
std::string CurrentSource();

// The source dialog. It takes the operator script's next queued answer:
// "cancel" keeps the selection (kCancelled), "ok" selects the configured
// source (ORN_SCANNER, else the first). Without an answer the chooser set
// by the screen lets the operator pick from the list of sources (Cancel
// keeps the selection); without one (headless) the configured source is
// selected. Writes the transcript line
// "dialog | Select Source | <sources joined by ;> | <chosen or cancel>".
int16_t SelectSource();

// What a real screen offers the source dialog: the index the operator
// picked from `sources` (`marked` is the selected one), or nullopt when
// cancelled. The screen sets it while it shows windows and clears it
// (an empty function) when it ends.
using SourceChooser = std::function<std::optional<size_t>(const std::vector<std::string>& sources, size_t marked)>;
void SetSourceChooser(SourceChooser chooser);

// Opens the selected source so its capabilities can be read.
int16_t Open();
bool IsOpen();
// The open source's current values; nullopt when no source is open.
std::optional<Capabilities> Current();

// Sets the request's values on the source (opening it when needed) and
// scans one picture into `out`: the mode of the pixel type's kind from the
// source's own list (black and white may be grey at 1 bit; kNoMode when
// the source has neither), and frame values not asked for at the source's
// own frame as it was opened. On failure `out` is left empty.
int16_t Acquire(const Request& request, Raster* out);

// Closes the open source (nothing when none is open).
void Close();

// Waits for the listing, closes everything and shuts the scanner stack
// down, so the next call reads the environment and the stack's
// configuration again (tests).
void Reset();

}  // namespace twain
