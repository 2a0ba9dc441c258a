// A scanner backend for the program tests: the scanner stack loads it as
// the backend "ornfake" (dll.conf names it, LD_LIBRARY_PATH finds
// libsane-ornfake.so.1) and it plays the devices that SANE's own test
// backend cannot: devices that are listed only as network devices or not
// at all, and scan modes with the names other makers give them.
//
// It reads ornfake.conf in SANE_CONFIG_DIR, one setting a line:
//   device NAME local|remote|hidden   remote: listed only when network
//                                     devices are asked for; hidden: never
//                                     listed, opened by its name
//   modes MODE;MODE;...               the scan modes, the first one the
//                                     device's own (default "Gray;Color")
//   hold FILE                         the scan's first read waits while FILE
//                                     exists (a minute at most): a scan that
//                                     lasts until the test lets it end
//   list-after FILE                   the device list waits until FILE
//                                     exists and is empty when it does not
//                                     come within 20 seconds: a program
//                                     that lists before it writes FILE
//                                     finds no device
// A mode whose name holds "Color" scans red (200, 40, 40); one that holds
// "Binary" or "Lineart" black and white (1 bit, white); any other grey 8
// bits of level 128. The frame is in millimetres, 80 x 50 from the corner
// to start; the resolution 50 dpi.

#include <sane/sane.h>
#include <sane/saneopts.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

enum Option : SANE_Int { kCount, kMode, kResolution, kTlX, kTlY, kBrX, kBrY, kOptions };

struct Device {
  std::string name, where;
};

struct Config {
  std::vector<Device> devices;
  std::vector<std::string> modes = {"Gray", "Color"};
  std::string hold;
  std::string listAfter;
};

Config gConfig;
std::vector<SANE_Device> gListed;
std::vector<const SANE_Device*> gList;

struct Scanner {
  std::vector<std::string> modeNames;
  std::vector<SANE_String_Const> modeList;  // null-terminated, into modeNames
  SANE_Option_Descriptor options[kOptions]{};
  SANE_Range resolutionRange{25, 600, 1};
  SANE_Range xRange{0, SANE_FIX(215), 0};
  SANE_Range yRange{0, SANE_FIX(297), 0};
  std::string mode;
  SANE_Word values[kOptions]{};
  std::vector<SANE_Byte> data;
  size_t sent = 0;
  bool scanning = false;
};

bool Has(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

void ReadConfig() {
  gConfig = Config();
  const char* dir = std::getenv("SANE_CONFIG_DIR");
  std::ifstream in(std::string(dir ? dir : ".") + "/ornfake.conf");
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "device") {
      Device d;
      words >> d.name >> d.where;
      gConfig.devices.push_back(d);
    } else if (key == "modes") {
      std::string rest;
      std::getline(words >> std::ws, rest);
      gConfig.modes.clear();
      std::istringstream list(rest);
      for (std::string mode; std::getline(list, mode, ';');) gConfig.modes.push_back(mode);
    } else if (key == "hold") {
      std::getline(words >> std::ws, gConfig.hold);
    } else if (key == "list-after") {
      std::getline(words >> std::ws, gConfig.listAfter);
    }
  }
}

SANE_Option_Descriptor Number(const char* name, SANE_Value_Type type, SANE_Unit unit, const SANE_Range* range) {
  SANE_Option_Descriptor d{};
  d.name = name;
  d.title = name;
  d.desc = name;
  d.type = type;
  d.unit = unit;
  d.size = sizeof(SANE_Word);
  d.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
  d.constraint_type = SANE_CONSTRAINT_RANGE;
  d.constraint.range = range;
  return d;
}

std::unique_ptr<Scanner> NewScanner() {
  auto s = std::make_unique<Scanner>();
  s->modeNames = gConfig.modes;
  for (const std::string& m : s->modeNames) s->modeList.push_back(m.c_str());
  s->modeList.push_back(nullptr);
  s->mode = s->modeNames.empty() ? "" : s->modeNames.front();

  SANE_Option_Descriptor& count = s->options[kCount];
  count.name = "";
  count.title = SANE_TITLE_NUM_OPTIONS;
  count.type = SANE_TYPE_INT;
  count.size = sizeof(SANE_Word);
  count.cap = SANE_CAP_SOFT_DETECT;

  SANE_Option_Descriptor& mode = s->options[kMode];
  mode.name = SANE_NAME_SCAN_MODE;
  mode.title = SANE_TITLE_SCAN_MODE;
  mode.desc = SANE_DESC_SCAN_MODE;
  mode.type = SANE_TYPE_STRING;
  mode.size = 64;
  mode.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
  mode.constraint_type = SANE_CONSTRAINT_STRING_LIST;
  mode.constraint.string_list = s->modeList.data();

  s->options[kResolution] = Number(SANE_NAME_SCAN_RESOLUTION, SANE_TYPE_INT, SANE_UNIT_DPI, &s->resolutionRange);
  s->options[kTlX] = Number(SANE_NAME_SCAN_TL_X, SANE_TYPE_FIXED, SANE_UNIT_MM, &s->xRange);
  s->options[kTlY] = Number(SANE_NAME_SCAN_TL_Y, SANE_TYPE_FIXED, SANE_UNIT_MM, &s->yRange);
  s->options[kBrX] = Number(SANE_NAME_SCAN_BR_X, SANE_TYPE_FIXED, SANE_UNIT_MM, &s->xRange);
  s->options[kBrY] = Number(SANE_NAME_SCAN_BR_Y, SANE_TYPE_FIXED, SANE_UNIT_MM, &s->yRange);
  s->values[kCount] = kOptions;
  s->values[kResolution] = 50;
  s->values[kBrX] = SANE_FIX(80);
  s->values[kBrY] = SANE_FIX(50);
  return s;
}

int Pixels(const Scanner& s, Option from, Option to) {
  const double mm = SANE_UNFIX(s.values[to]) - SANE_UNFIX(s.values[from]);
  return std::max(1, static_cast<int>(mm / 25.4 * s.values[kResolution]));
}

void Parameters(const Scanner& s, SANE_Parameters* p) {
  const bool colour = Has(s.mode, "Color");
  const bool binary = Has(s.mode, "Binary") || Has(s.mode, "Lineart");
  p->format = colour ? SANE_FRAME_RGB : SANE_FRAME_GRAY;
  p->last_frame = SANE_TRUE;
  p->pixels_per_line = Pixels(s, kTlX, kBrX);
  p->lines = Pixels(s, kTlY, kBrY);
  p->depth = binary ? 1 : 8;
  p->bytes_per_line = binary ? (p->pixels_per_line + 7) / 8 : p->pixels_per_line * (colour ? 3 : 1);
}

}  // namespace

extern "C" {

SANE_Status sane_ornfake_init(SANE_Int* version, SANE_Auth_Callback) {
  if (version) *version = SANE_VERSION_CODE(1, 0, 0);
  ReadConfig();
  return SANE_STATUS_GOOD;
}

void sane_ornfake_exit() {
  gList.clear();
  gListed.clear();
}

SANE_Status sane_ornfake_get_devices(const SANE_Device*** list, SANE_Bool localOnly) {
  gListed.clear();
  bool gateOpen = gConfig.listAfter.empty();
  for (int waited = 0; !gateOpen && waited < 2000; ++waited) {
    gateOpen = std::ifstream(gConfig.listAfter).good();
    if (!gateOpen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (const Device& d : gConfig.devices) {
    if (!gateOpen) break;
    if (d.where == "hidden" || (d.where == "remote" && localOnly)) continue;
    gListed.push_back(SANE_Device{d.name.c_str(), "ORN", "fake scanner", "flatbed scanner"});
  }
  gList.clear();
  for (const SANE_Device& d : gListed) gList.push_back(&d);
  gList.push_back(nullptr);
  *list = gList.data();
  return SANE_STATUS_GOOD;
}

SANE_Status sane_ornfake_open(SANE_String_Const name, SANE_Handle* handle) {
  for (const Device& d : gConfig.devices) {
    if (name && (!*name || d.name == name)) {
      *handle = NewScanner().release();
      return SANE_STATUS_GOOD;
    }
  }
  return SANE_STATUS_INVAL;
}

void sane_ornfake_close(SANE_Handle handle) { delete static_cast<Scanner*>(handle); }

const SANE_Option_Descriptor* sane_ornfake_get_option_descriptor(SANE_Handle handle, SANE_Int n) {
  if (n < 0 || n >= kOptions) return nullptr;
  return &static_cast<Scanner*>(handle)->options[n];
}

SANE_Status sane_ornfake_control_option(SANE_Handle handle, SANE_Int n, SANE_Action action, void* value,
                                        SANE_Int* info) {
  auto* s = static_cast<Scanner*>(handle);
  if (info) *info = 0;
  if (n < 0 || n >= kOptions || !value || s->scanning) return SANE_STATUS_INVAL;
  if (n == kMode) {
    if (action == SANE_ACTION_GET_VALUE) {
      std::strncpy(static_cast<char*>(value), s->mode.c_str(), 63);
      static_cast<char*>(value)[63] = '\0';
      return SANE_STATUS_GOOD;
    }
    if (action != SANE_ACTION_SET_VALUE) return SANE_STATUS_INVAL;
    const std::string want = static_cast<const char*>(value);
    if (std::find(s->modeNames.begin(), s->modeNames.end(), want) == s->modeNames.end()) return SANE_STATUS_INVAL;
    s->mode = want;
    if (info) *info = SANE_INFO_RELOAD_PARAMS;
    return SANE_STATUS_GOOD;
  }
  if (action == SANE_ACTION_GET_VALUE) {
    *static_cast<SANE_Word*>(value) = s->values[n];
    return SANE_STATUS_GOOD;
  }
  if (action != SANE_ACTION_SET_VALUE || n == kCount) return SANE_STATUS_INVAL;
  const SANE_Range* r = s->options[n].constraint.range;
  s->values[n] = std::clamp(*static_cast<SANE_Word*>(value), r->min, r->max);
  if (info) *info = SANE_INFO_RELOAD_PARAMS;
  return SANE_STATUS_GOOD;
}

SANE_Status sane_ornfake_get_parameters(SANE_Handle handle, SANE_Parameters* p) {
  Parameters(*static_cast<Scanner*>(handle), p);
  return SANE_STATUS_GOOD;
}

SANE_Status sane_ornfake_start(SANE_Handle handle) {
  auto* s = static_cast<Scanner*>(handle);
  SANE_Parameters p;
  Parameters(*s, &p);
  s->data.clear();
  for (int y = 0; y < p.lines; ++y) {
    for (int x = 0; x < p.bytes_per_line; ++x) {
      if (p.format == SANE_FRAME_RGB) {
        s->data.push_back(x % 3 == 0 ? 200 : 40);
      } else {
        s->data.push_back(p.depth == 1 ? 0 : 128);  // a clear bit is white
      }
    }
  }
  s->sent = 0;
  s->scanning = true;
  return SANE_STATUS_GOOD;
}

SANE_Status sane_ornfake_read(SANE_Handle handle, SANE_Byte* buffer, SANE_Int max, SANE_Int* length) {
  auto* s = static_cast<Scanner*>(handle);
  *length = 0;
  if (!s->scanning) return SANE_STATUS_CANCELLED;
  if (s->sent == s->data.size()) return SANE_STATUS_EOF;
  if (s->sent == 0 && !gConfig.hold.empty()) {
    struct stat st;
    for (int i = 0; i < 6000 && stat(gConfig.hold.c_str(), &st) == 0; ++i) usleep(10000);
  }
  const size_t n = std::min(static_cast<size_t>(max), s->data.size() - s->sent);
  std::memcpy(buffer, s->data.data() + s->sent, n);
  s->sent += n;
  *length = static_cast<SANE_Int>(n);
  return SANE_STATUS_GOOD;
}

void sane_ornfake_cancel(SANE_Handle handle) { static_cast<Scanner*>(handle)->scanning = false; }

SANE_Status sane_ornfake_set_io_mode(SANE_Handle, SANE_Bool nonBlocking) {
  return nonBlocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

SANE_Status sane_ornfake_get_select_fd(SANE_Handle, SANE_Int*) { return SANE_STATUS_UNSUPPORTED; }

}  // extern "C"
