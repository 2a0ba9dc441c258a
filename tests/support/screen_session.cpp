#include "tests/support/screen_session.h"

// Before Xlib, whose macros (None, Bool) the test framework's names would meet.
#include "tests/support/scratch_dir.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/extensions/Xfixes.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <png.h>
#include <poll.h>
#include <regex.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace orn_test {
namespace {

using Clock = std::chrono::steady_clock;

// The full path of a program on PATH; "" when there is none.
std::string FindTool(const std::string& tool) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t colon = dirs.find(':', start);
    const std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!dir.empty() && access((dir + "/" + tool).c_str(), X_OK) == 0) return dir + "/" + tool;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return "";
}

// A window's title: _NET_WM_NAME (UTF-8) when it has one, else WM_NAME.
std::string TitleOf(Display* d, Window w) {
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(d, w, netName, 0, 4096, False, utf8, &type, &format, &count, &after, &data) == Success &&
      data && type == utf8) {
    title.assign(reinterpret_cast<char*>(data), count);
  } else {
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
      title = name;
      XFree(name);
    }
  }
  if (data) XFree(data);
  return title;
}

void ShownWindows(Display* d, Window w, std::vector<Window>& out) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &n)) return;
  for (unsigned int i = 0; i < n; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable) out.push_back(children[i]);
    ShownWindows(d, children[i], out);
  }
  if (children) XFree(children);
}

// Whether the window's property `name` (a list of atoms) holds one of `atoms`.
bool HasAtom(Display* d, Window w, const char* name, const std::vector<const char*>& atoms) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 64, False, XA_ATOM, &type, &format, &count, &after,
                         &data) == Success &&
      data && type == XA_ATOM && format == 32) {
    const auto* list = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count && !found; ++i)
      for (const char* a : atoms) found = found || list[i] == XInternAtom(d, a, False);
  }
  if (data) XFree(data);
  return found;
}

// Sends the root window a request for the window manager about `window`
// (EWMH and ICCCM client messages).
void AskWindowManager(Display* d, Window window, const char* message, const std::vector<long>& data) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, message, False);
  e.xclient.format = 32;
  for (size_t i = 0; i < data.size() && i < 5; ++i) e.xclient.data.l[i] = data[i];
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(d);
}

// Errors of windows that went away between two calls are no test's concern.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

int StatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

}  // namespace

// ---- Child

Child Child::Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                   const fs::path& cwd, const fs::path& log) {
  std::vector<std::string> envText;
  for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
  std::vector<char*> a, e;
  std::vector<std::string> args = argv;
  for (std::string& s : args) a.push_back(s.data());
  a.push_back(nullptr);
  for (std::string& s : envText) e.push_back(s.data());
  e.push_back(nullptr);
  const std::string logPath = log.empty() ? "/dev/null" : log.string();
  Child c;
  const pid_t pid = fork();
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    const int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
      close(fd);
    }
    execve(a[0], a.data(), e.data());
    _exit(127);
  }
  c.pid_ = pid > 0 ? pid : 0;
  return c;
}

Child& Child::operator=(Child&& o) noexcept {
  if (this != &o) {
    Kill();
    pid_ = o.pid_;
    status_ = o.status_;
    o.pid_ = 0;
  }
  return *this;
}

Child::~Child() { Kill(); }

std::optional<int> Child::Wait(std::chrono::milliseconds timeout) {
  if (status_ || pid_ <= 0) return status_;
  const auto end = Clock::now() + timeout;
  while (true) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = StatusOf(status);
      pid_ = 0;
      return status_;
    }
    if (Clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(20ms);
  }
}

void Child::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  status_ = StatusOf(status);
  pid_ = 0;
}

std::map<std::string, std::string> CleanEnvironment(const std::map<std::string, std::string>& changes) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string kv = *e;
    const size_t eq = kv.find('=');
    if (eq == std::string::npos || kv.rfind("ORN_", 0) == 0) continue;
    env[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  for (const auto& [k, v] : changes) env[k] = v;
  return env;
}

// ---- Shot

uint32_t Shot::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
  return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
}

int Shot::Count(int x, int y, int w, int h, uint32_t rgb) const {
  int n = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) n += At(i, j) == rgb;
  return n;
}

bool Shot::SavePng(const fs::path& path) const {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t p = At(x, y);
      row[static_cast<size_t>(x) * 3] = static_cast<png_byte>(p >> 16);
      row[static_cast<size_t>(x) * 3 + 1] = static_cast<png_byte>(p >> 8);
      row[static_cast<size_t>(x) * 3 + 2] = static_cast<png_byte>(p);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

// ---- ScreenSession

ScreenSession::ScreenSession(int width, int height) {
  const std::string geometry = std::to_string(width) + "x" + std::to_string(height) + "x24";
  for (const char* tool : {"Xvfb", "xdotool"}) {
    if (FindTool(tool).empty()) {
      missing_ = std::string(tool) + " is not installed";
      return;
    }
  }
  // Xvfb picks a free display number itself and writes it to the pipe.
  int fds[2];
  if (pipe(fds) != 0) {
    missing_ = "no pipe for Xvfb";
    return;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", geometry.c_str(), "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  serverPid_ = pid > 0 ? pid : 0;
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  const auto end = Clock::now() + 20s;
  while (Clock::now() < end && poll(&p, 1, 200) >= 0) {
    char c = 0;
    if ((p.revents & (POLLIN | POLLHUP)) == 0) continue;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    missing_ = "Xvfb did not start";
    return;
  }
  name_ = ":" + number;
  XSetErrorHandler(IgnoreXErrors);
  display_ = XOpenDisplay(name_.c_str());
  if (!display_) missing_ = "cannot open " + name_;
}

ScreenSession::~ScreenSession() {
  manager_.Kill();
  if (display_) XCloseDisplay(display_);
  if (serverPid_ > 0) {
    kill(serverPid_, SIGTERM);
    int status = 0;
    waitpid(serverPid_, &status, 0);
  }
}

std::map<std::string, std::string> ScreenSession::Environment(const std::map<std::string, std::string>& changes) const {
  std::map<std::string, std::string> env = CleanEnvironment({});
  env.erase("WAYLAND_DISPLAY");
  env["DISPLAY"] = name_;
  env["ORN_DISPLAY"] = "screen";
  env["NO_AT_BRIDGE"] = "1";
  env["GSETTINGS_BACKEND"] = "memory";
  env["GTK_THEME"] = "Adwaita";
  for (const auto& [k, v] : changes) env[k] = v;
  return env;
}

unsigned long ScreenSession::WaitForWindow(const std::string& pattern, std::chrono::milliseconds timeout) {
  if (!display_) return 0;
  regex_t re;
  if (regcomp(&re, pattern.c_str(), REG_EXTENDED | REG_NOSUB) != 0) return 0;
  const auto end = Clock::now() + timeout;
  unsigned long found = 0;
  while (!found) {
    std::vector<Window> shown;
    ShownWindows(display_, DefaultRootWindow(display_), shown);
    for (Window w : shown) {
      if (regexec(&re, TitleOf(display_, w).c_str(), 0, nullptr, 0) == 0) {
        found = w;
        break;
      }
    }
    if (found || Clock::now() >= end) break;
    std::this_thread::sleep_for(50ms);
  }
  regfree(&re);
  return found;
}

bool ScreenSession::WaitForNoWindow(const std::string& pattern, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (WaitForWindow(pattern, 0ms) != 0) {
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

std::string ScreenSession::Title(unsigned long window) { return display_ ? TitleOf(display_, window) : ""; }

WindowBox ScreenSession::Box(unsigned long window) {
  WindowBox b;
  XWindowAttributes a;
  if (!display_ || !XGetWindowAttributes(display_, window, &a)) return b;
  Window child = 0;
  XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &b.x, &b.y, &child);
  b.width = a.width;
  b.height = a.height;
  return b;
}

bool ScreenSession::Xdotool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {FindTool("xdotool")};
  if (argv[0].empty()) return false;
  argv.insert(argv.end(), args.begin(), args.end());
  Child c = Child::Spawn(argv, CleanEnvironment({{"DISPLAY", name_}}));
  return c.Wait(20s) == 0;
}

bool ScreenSession::PointerTo(int x, int y) {
  // xdotool's --sync waits for a move that never comes when the pointer
  // already stands there (until its own timeout, seconds later).
  const std::optional<std::pair<int, int>> at = Pointer();
  if (at && at->first == x && at->second == y) return true;
  return Xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
}

std::optional<std::pair<int, int>> ScreenSession::Pointer() {
  Window root = 0, child = 0;
  int rootX = -1, rootY = -1, winX = 0, winY = 0;
  unsigned int mask = 0;
  if (!display_ ||
      !XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &winX, &winY, &mask))
    return std::nullopt;
  return std::make_pair(rootX, rootY);
}

bool ScreenSession::Click(unsigned long window, int x, int y) {
  const WindowBox b = Box(window);
  return PointerTo(b.x + x, b.y + y) && Xdotool({"click", "1"});
}

bool ScreenSession::Focused(unsigned long window, const std::vector<std::string>& args) {
  if (!Xdotool({"windowfocus", "--sync", std::to_string(window)})) return false;
  // The toolkit takes the focus a moment after the server gave it; a key
  // before that can miss a window that has just appeared.
  std::this_thread::sleep_for(300ms);
  return Xdotool(args);
}

bool ScreenSession::Key(unsigned long window, const std::string& keys) { return Focused(window, {"key", keys}); }

bool ScreenSession::Type(unsigned long window, const std::string& text) {
  return Focused(window, {"type", "--delay", "40", text});
}

bool ScreenSession::Press(int x, int y) { return PointerTo(x, y) && Xdotool({"mousedown", "1"}); }

bool ScreenSession::MoveTo(int x, int y, int steps) {
  const std::optional<std::pair<int, int>> from = Pointer();
  if (!from) return false;
  for (int step = 1; step <= steps; ++step) {
    const int px = from->first + (x - from->first) * step / steps;
    const int py = from->second + (y - from->second) * step / steps;
    if (!Xdotool({"mousemove", std::to_string(px), std::to_string(py)})) return false;
    std::this_thread::sleep_for(60ms);
  }
  return true;
}

bool ScreenSession::Release() { return Xdotool({"mouseup", "1"}); }

std::optional<WindowBox> ScreenSession::WaitForPopup(std::chrono::milliseconds timeout) {
  if (!display_) return std::nullopt;
  const auto end = Clock::now() + timeout;
  while (true) {
    std::vector<Window> shown;
    ShownWindows(display_, DefaultRootWindow(display_), shown);
    for (Window w : shown) {
      if (HasAtom(display_, w, "_NET_WM_WINDOW_TYPE",
                  {"_NET_WM_WINDOW_TYPE_COMBO", "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", "_NET_WM_WINDOW_TYPE_POPUP_MENU"}))
        return Box(w);
    }
    if (Clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(50ms);
  }
}

void ScreenSession::CloseBox(unsigned long window) {
  if (!display_) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, window, False, NoEventMask, &e);
  XFlush(display_);
}

void ScreenSession::Remove(unsigned long window, Removal how) {
  if (!display_) return;
  switch (how) {
    case Removal::kDestroy: Xdotool({"windowclose", std::to_string(window)}); return;
    case Removal::kKill: Xdotool({"windowkill", std::to_string(window)}); return;
    case Removal::kServer: break;
  }
  manager_.Kill();
  XCloseDisplay(display_);
  display_ = nullptr;
  missing_ = "the X server was ended";
  if (serverPid_ > 0) {
    kill(serverPid_, SIGKILL);
    int status = 0;
    waitpid(serverPid_, &status, 0);
    serverPid_ = 0;
  }
}

std::string ScreenSession::CursorName() {
  if (!display_) return "";
  XFixesCursorImage* image = XFixesGetCursorImage(display_);
  if (!image) return "";
  std::string name = image->name ? image->name : "";
  // The frames of an animated cursor have no name of their own: the
  // theme's animated cursors are told by their pixels.
  for (const char* animated : {"wait", "progress"}) {
    if (!name.empty()) break;
    XcursorImages* frames =
        XcursorLibraryLoadImages(animated, XcursorGetTheme(display_), XcursorGetDefaultSize(display_));
    for (int i = 0; frames && i < frames->nimage && name.empty(); ++i) {
      const XcursorImage* f = frames->images[i];
      if (f->width != image->width || f->height != image->height) continue;
      bool same = true;
      for (size_t p = 0; same && p < size_t{f->width} * f->height; ++p)
        same = static_cast<uint32_t>(image->pixels[p]) == f->pixels[p];
      if (same) name = animated;
    }
    if (frames) XcursorImagesDestroy(frames);
  }
  XFree(image);
  return name;
}

std::string ScreenSession::WaitForCursor(const std::string& name, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  std::string shown = CursorName();
  while (shown != name && Clock::now() < end) {
    std::this_thread::sleep_for(10ms);
    shown = CursorName();
  }
  return shown;
}

bool ScreenSession::PointAt(unsigned long window, int x, int y) {
  const WindowBox b = Box(window);
  return PointerTo(b.x + x, b.y + y);
}

Shot ScreenSession::Screenshot() {
  Shot s;
  if (!display_) return s;
  const Window root = DefaultRootWindow(display_);
  XWindowAttributes a;
  XGetWindowAttributes(display_, root, &a);
  XImage* img = XGetImage(display_, root, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height),
                          AllPlanes, ZPixmap);
  if (!img) return s;
  s.width = a.width;
  s.height = a.height;
  s.pixels.resize(static_cast<size_t>(s.width) * static_cast<size_t>(s.height));
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      s.pixels[static_cast<size_t>(y) * static_cast<size_t>(s.width) + static_cast<size_t>(x)] =
          static_cast<uint32_t>(XGetPixel(img, x, y) & 0xFFFFFF);
  XDestroyImage(img);
  return s;
}

bool ScreenSession::WaitForScreen(const std::function<bool(const Shot&)>& test, std::chrono::milliseconds timeout,
                                  Shot* last) {
  const auto end = Clock::now() + timeout;
  while (true) {
    Shot s = Screenshot();
    const bool ok = test(s);
    if (last) *last = std::move(s);
    if (ok) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(100ms);
  }
}

bool ScreenSession::StartWindowManager() {
  if (!display_) return false;
  const std::string openbox = FindTool("openbox");
  if (openbox.empty()) {
    missing_ = "openbox is not installed";
    return false;
  }
  // Settings and cache of its own: the machine's user has none of them read or written.
  managerDir_ = std::make_unique<ScratchDir>("openbox");
  std::map<std::string, std::string> env = CleanEnvironment({{"DISPLAY", name_}});
  env["HOME"] = env["XDG_CONFIG_HOME"] = env["XDG_CACHE_HOME"] = env["XDG_DATA_HOME"] = managerDir_->str();
  manager_ = Child::Spawn({openbox, "--sm-disable"}, env, managerDir_->path());
  // It has taken the screen once it names itself on the root window.
  const Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
  const auto end = Clock::now() + 20s;
  while (Clock::now() < end) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool named = XGetWindowProperty(display_, DefaultRootWindow(display_), check, 0, 1, False, XA_WINDOW, &type,
                                          &format, &count, &after, &data) == Success &&
                       data && count == 1;
    if (data) XFree(data);
    if (named) return true;
    if (manager_.Wait(50ms)) break;
  }
  missing_ = "openbox did not take the screen";
  manager_.Kill();
  return false;
}

void ScreenSession::Maximize(unsigned long window) {
  if (!display_) return;
  AskWindowManager(display_, window, "_NET_WM_STATE",
                   {1, static_cast<long>(XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False)),
                    static_cast<long>(XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False)), 2});
}

void ScreenSession::Minimize(unsigned long window) {
  if (display_) AskWindowManager(display_, window, "WM_CHANGE_STATE", {IconicState});
}

void ScreenSession::Restore(unsigned long window) {
  if (!display_) return;
  AskWindowManager(display_, window, "_NET_WM_STATE",
                   {0, static_cast<long>(XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False)),
                    static_cast<long>(XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False)), 2});
  // A minimised window comes back when it is made the active one.
  AskWindowManager(display_, window, "_NET_ACTIVE_WINDOW", {2, CurrentTime, 0});
}

bool ScreenSession::DragFiles(const std::vector<std::string>& files, int x, int y) {
  // The stand-in stands in the screen's top right corner, away from the windows under test.
  const int sourceX = 1200, sourceY = 10;
  std::vector<std::string> argv = {ORN_DRAG_FILES, std::to_string(sourceX), std::to_string(sourceY)};
  argv.insert(argv.end(), files.begin(), files.end());
  Child source = Child::Spawn(argv, Environment({}));
  if (!WaitForWindow("^orn drag source$", 10s)) return false;
  // A drag starts once the pointer moved a few pixels with the button held;
  // the target learns of it from the moves over it.
  bool ok = Press(sourceX + 30, sourceY + 30) && MoveTo(x, y) && MoveTo(x + 1, y, 1);
  std::this_thread::sleep_for(200ms);
  ok = Release() && ok;
  // The stand-in ends once the drop is done.
  return source.Wait(10s) == 0 && ok;
}

}  // namespace orn_test
