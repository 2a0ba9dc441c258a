#pragma once
// Tests of real windows: an X server of the test's own (Xvfb, on a free
// display number it picks itself), the program started on it as an
// operator starts it, real input through the X test extension (xdotool),
// the close box as a window manager sends it, a file manager's drag and
// drop, and screenshots of the whole screen read pixel by pixel. A test
// that asks for one gets a real window manager (openbox) on its server,
// which frames, places, maximises and minimises the windows.
//
//   orn_test::ScreenSession x;
//   if (!x.Available()) GTEST_SKIP() << x.Missing();
//   orn_test::Child p = orn_test::Child::Spawn({exe, "a.tif"}, x.Environment({}), dir);
//   unsigned long w = x.WaitForWindow("^a[.]tif:");
//   x.Key(w, "Next");
//   x.WaitForScreen([&](const orn_test::Shot& s) { return s.At(10, 10) == 0x0000ff; });

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

typedef struct _XDisplay Display;

namespace orn_test {

class ScratchDir;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A program the test started; killed when the object goes and it still runs.
class Child {
 public:
  // Starts `argv` in `cwd` (empty: the test's own) with exactly `env`;
  // standard output and error go to `log` (empty: /dev/null). A program
  // that cannot start gives a Child that is not Started().
  static Child Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                     const fs::path& cwd = {}, const fs::path& log = {});
  Child() = default;
  Child(Child&& o) noexcept : pid_(o.pid_), status_(o.status_) { o.pid_ = 0; }
  Child& operator=(Child&& o) noexcept;
  ~Child();

  bool Started() const { return pid_ > 0 || status_.has_value(); }
  // The exit status (0..255; 128 + signal when killed) once the program
  // ended within `timeout`; nullopt while it still runs.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  void Kill();

 private:
  int pid_ = 0;
  std::optional<int> status_;
};

// The environment of this test process with `changes` applied; the
// caller's own ORN_ variables are left out so that they cannot steer the run.
std::map<std::string, std::string> CleanEnvironment(const std::map<std::string, std::string>& changes);

// One screenshot: pixels as 0xRRGGBB, rows from the top.
struct Shot {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const;
  // How many pixels of the rectangle have exactly `rgb`.
  int Count(int x, int y, int w, int h, uint32_t rgb) const;
  // Writes the shot as a PNG (for a look at a failed test).
  bool SavePng(const fs::path& path) const;
};

struct WindowBox {
  int x = 0, y = 0, width = 0, height = 0;  // the client area, screen pixels
};

class ScreenSession {
 public:
  // Starts Xvfb (width x height, 24 bits) on a free display.
  explicit ScreenSession(int width = 1280, int height = 1024);
  ~ScreenSession();
  ScreenSession(const ScreenSession&) = delete;
  ScreenSession& operator=(const ScreenSession&) = delete;

  // False when Xvfb or xdotool is missing or the server did not start;
  // Missing() says which.
  bool Available() const { return display_ != nullptr; }
  const std::string& Missing() const { return missing_; }
  // ":N"
  const std::string& DisplayName() const { return name_; }

  // CleanEnvironment(changes) plus what a program needs to open its windows
  // here: DISPLAY, ORN_DISPLAY=screen, and no desktop services (the
  // accessibility bus, the settings daemon) that a bare X server lacks.
  std::map<std::string, std::string> Environment(const std::map<std::string, std::string>& changes) const;

  // The first shown top-level window whose title matches the extended
  // regular expression `pattern`; 0 when none shows within `timeout`.
  unsigned long WaitForWindow(const std::string& pattern, std::chrono::milliseconds timeout = 20s);
  // Whether no shown window's title matches `pattern` any more, within `timeout`.
  bool WaitForNoWindow(const std::string& pattern, std::chrono::milliseconds timeout = 20s);
  std::string Title(unsigned long window);
  WindowBox Box(unsigned long window);

  // Runs xdotool with `args` on this display; true when it succeeded.
  bool Xdotool(const std::vector<std::string>& args);
  // A left click at (x, y) of the window's client area.
  bool Click(unsigned long window, int x, int y);
  // Focuses the window and presses and releases `keys` (xdotool's names:
  // "Next", "Escape", "alt+n").
  bool Key(unsigned long window, const std::string& keys);
  // Focuses the window and types `text` key by key.
  bool Type(unsigned long window, const std::string& text);
  // The real mouse, in screen pixels: the left button pressed at (x, y),
  // the pointer moved to (x, y) in `steps` steps from where it stands, the
  // button released.
  bool Press(int x, int y);
  bool MoveTo(int x, int y, int steps = 8);
  bool Release();
  // The list a combo box dropped down (a popup window of its own), once
  // it shows; nullopt when none shows within `timeout`.
  std::optional<WindowBox> WaitForPopup(std::chrono::milliseconds timeout = 10s);
  // The close box: the WM_DELETE_WINDOW request a window manager sends.
  void CloseBox(unsigned long window);
  // How a desktop takes a window away without asking its program.
  enum class Removal {
    kDestroy,  // another client destroys the window (xdotool windowclose)
    kKill,     // a window manager's "kill": the program's connection is closed (xdotool windowkill)
    kServer,   // the X server goes away; the session ends with it
  };
  // Does `how` to `window`; after kServer nothing else works here.
  void Remove(unsigned long window, Removal how);

  // The name of the cursor the pointer shows now (the cursor theme's file
  // name, "wait", "crosshair" ...; a frame of the theme's "wait" or
  // "progress" animation by that name); empty when it has none.
  std::string CursorName();
  // CursorName() once it is `name` or `timeout` has passed (the X server
  // takes a program's requests in its own time).
  std::string WaitForCursor(const std::string& name, std::chrono::milliseconds timeout = 20s);
  // Moves the real pointer to (x, y) of the window's client area.
  bool PointAt(unsigned long window, int x, int y);

  Shot Screenshot();
  // Takes screenshots until `test` holds for one (true) or `timeout` ends
  // (false); `last` receives the last shot taken.
  bool WaitForScreen(const std::function<bool(const Shot&)>& test, std::chrono::milliseconds timeout = 20s,
                     Shot* last = nullptr);

  // Starts the window manager on this server; false (Missing() says why)
  // when it is not installed or did not take the screen.
  bool StartWindowManager();
  // What the window manager does to a window when a taskbar asks it to:
  // maximise it, minimise it, and bring it back to its normal state from
  // either. Without a window manager nothing happens.
  void Maximize(unsigned long window);
  void Minimize(unsigned long window);
  void Restore(unsigned long window);

  // Drags `files` from a stand-in file manager (a window that offers them as
  // text/uri-list) to the screen point (x, y) with the real mouse and drops
  // them there; false when the stand-in did not start or did not finish.
  bool DragFiles(const std::vector<std::string>& files, int x, int y);

 private:
  // Where the pointer stands on the screen.
  std::optional<std::pair<int, int>> Pointer();
  bool PointerTo(int x, int y);
  // Focuses the window, then runs xdotool with `args`.
  bool Focused(unsigned long window, const std::vector<std::string>& args);

  std::string name_;
  std::string missing_;
  int serverPid_ = 0;
  Display* display_ = nullptr;
  // The window manager and the folder of its settings and cache.
  std::unique_ptr<ScratchDir> managerDir_;
  Child manager_;
};

}  // namespace orn_test
