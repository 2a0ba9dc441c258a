#include "platform/imaging/pixo_control.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <filesystem>
#include <mutex>
#include <unordered_map>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_state.h"
#include "platform/imaging/save_faults.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"

namespace imaging {
namespace {

struct PictureTable {
  std::mutex mutex;
  std::unordered_map<int32_t, std::weak_ptr<Picture>> byHandle;
  int32_t next = 1;
};

PictureTable& Pictures() {
  static PictureTable table;
  return table;
}

std::atomic<int32_t> gSerial{0};

std::string Num(double v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string Rect(double l, double t, double w, double h) {
  return Num(l) + "," + Num(t) + "," + Num(w) + "," + Num(h);
}

const char* KindName(com::InvokeKind kind) {
  switch (kind) {
    case com::InvokeKind::PropertyGet: return "get";
    case com::InvokeKind::PropertyPut: return "put";
    default: return "call";
  }
}

std::string JoinValues(std::span<const rt::Variant> values) {
  std::string out;
  for (size_t i = 0; i < values.size(); ++i) out += (i ? ", " : "") + JournalValue(values[i]);
  return out;
}

}  // namespace

Image& Picture::image() const {
  if (expand_) std::call_once(expanded_, [this] { ChangeDepth(image_, 24, 0, 0, {}); });
  return image_;
}

std::shared_ptr<Picture> NewPicture(Image img, bool expand) {
  PictureTable& t = Pictures();
  auto* raw = new Picture(std::move(img), expand);
  std::shared_ptr<Picture> pic(raw, [](Picture* p) {
    {
      std::lock_guard lock(Pictures().mutex);
      Pictures().byHandle.erase(p->handle);
    }
    delete p;
  });
  std::lock_guard lock(t.mutex);
  raw->handle = t.next++;
  t.byHandle[raw->handle] = pic;
  return pic;
}

std::shared_ptr<Picture> FindPicture(int32_t handle) {
  PictureTable& t = Pictures();
  std::lock_guard lock(t.mutex);
  auto it = t.byHandle.find(handle);
  return it == t.byHandle.end() ? nullptr : it->second.lock();
}

PixoControl::State::State(PixoControl& owner) : self(owner), serial(++gSerial) {
  stored[static_cast<int32_t>(Pixo::AutoRepaint)] = true;
  stored[static_cast<int32_t>(Pixo::ViewEnabled)] = true;
}

void PixoControl::State::SetImage(Image img, bool expand) {
  pic = NewPicture(std::move(img), expand);
  ++pixelsVersion;
  overlay.clear();
  view.NewImage(pic->held().width(), pic->held().height());
  AutoPaint();
}

void PixoControl::State::FreeImage() {
  pic.reset();
  ++pixelsVersion;
  overlay.clear();
  view.NewImage(0, 0);
  AutoPaint();
}

void PixoControl::State::Changed(bool geometry) {
  ++pixelsVersion;
  if (geometry && pic) {
    pic->region = Region();
    overlay.clear();
    view.NewImage(pic->held().width(), pic->held().height());
  }
  AutoPaint();
}

void PixoControl::State::AutoPaint() {
  if (Flag(Pixo::AutoRepaint)) ++autoPaints;
}

bool PixoControl::State::Flag(Pixo id) const {
  auto it = stored.find(static_cast<int32_t>(id));
  return it != stored.end() && rt::CBool(it->second);
}

int32_t PixoControl::State::Number(Pixo id) const {
  auto it = stored.find(static_cast<int32_t>(id));
  return it == stored.end() ? 0 : rt::CLng(it->second);
}

void RegisterPixoControl() {
  com::RegisterControlClass(kPixoProgId, [] { return std::make_shared<PixoControl>(); });
}

PixoControl::PixoControl() : s_(std::make_unique<State>(*this)) {}
PixoControl::~PixoControl() = default;

rt::Variant PixoControl::Invoke(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args) {
  if (!JournalOn()) return DispatchMember(*s_, dispid, kind, args);
  std::string line = s_->name + "#" + std::to_string(s_->serial) + " " + KindName(kind) + " " +
                     std::to_string(dispid);
  if (*MemberName(dispid)) line += std::string(" ") + MemberName(dispid);
  const bool put = kind == com::InvokeKind::PropertyPut && !args.empty();
  const auto index = put ? args.first(args.size() - 1) : args;
  if (!index.empty()) line += "(" + JoinValues(index) + ")";
  if (put) line += " " + JournalValue(args.back());
  try {
    rt::Variant result = DispatchMember(*s_, dispid, kind, args);
    if (!put) line += " -> " + JournalValue(result);
    JournalWrite(line);
    return result;
  } catch (const rt::RuntimeError& e) {
    JournalWrite(line + " -> error " + std::to_string(e.number()));
    throw;
  }
}

void PixoControl::SetClientSize(int32_t widthPx, int32_t heightPx) {
  Control::SetClientSize(widthPx, heightPx);
  s_->view.SetClientSize(widthPx, heightPx);
  s_->AutoPaint();
}

void PixoControl::SetInstanceName(std::string name) { s_->name = std::move(name); }
const std::string& PixoControl::InstanceName() const { return s_->name; }
int32_t PixoControl::Serial() const { return s_->serial; }

void PixoControl::SetTwipsPerPixel(double x, double y) {
  s_->twipsX = x;
  s_->twipsY = y;
}

void PixoControl::UserMouseDown(int16_t button, int16_t shift, double xPx, double yPx) {
  State& s = *s_;
  if (!s.Flag(Pixo::ViewEnabled)) return;
  s.downX = xPx;
  s.downY = yPx;
  s.downDstLeft = s.view.dstLeft();
  s.downDstTop = s.view.dstTop();
  s.following = true;
  Fire(static_cast<int32_t>(PixoEvent::MouseDown), {button, shift, xPx * s.twipsX, yPx * s.twipsY});
}

void PixoControl::UserMouseMove(int16_t button, int16_t shift, double xPx, double yPx) {
  State& s = *s_;
  if (!s.Flag(Pixo::ViewEnabled)) return;
  if (button != 0 && s.following) {
    if (s.Flag(Pixo::RubberBandEnabled) && s.Flag(Pixo::RubberBandActive)) {
      s.band[0] = std::min(s.downX, xPx);
      s.band[1] = std::min(s.downY, yPx);
      s.band[2] = std::abs(xPx - s.downX);
      s.band[3] = std::abs(yPx - s.downY);
      s.AutoPaint();
    } else if (s.Flag(Pixo::PanEnabled) && (button & 1) && s.pic) {
      // The image follows the drag but never leaves a gap at its top or left
      // edge, nor at its right or bottom edge while it is larger than the view.
      const double minLeft = std::min(0.0, s.view.clientWidth() - s.view.dstWidth());
      const double minTop = std::min(0.0, s.view.clientHeight() - s.view.dstHeight());
      s.view.SetDstLeft(std::clamp(s.downDstLeft + xPx - s.downX, minLeft, 0.0));
      s.view.SetDstTop(std::clamp(s.downDstTop + yPx - s.downY, minTop, 0.0));
      s.AutoPaint();
    }
  }
  Fire(static_cast<int32_t>(PixoEvent::MouseMove), {button, shift, xPx * s.twipsX, yPx * s.twipsY});
}

void PixoControl::UserMouseUp(int16_t button, int16_t shift, double xPx, double yPx) {
  State& s = *s_;
  if (!s.Flag(Pixo::ViewEnabled)) return;
  if (s.following && s.Flag(Pixo::RubberBandEnabled) && s.Flag(Pixo::RubberBandActive)) {
    s.band[0] = std::min(s.downX, xPx);
    s.band[1] = std::min(s.downY, yPx);
    s.band[2] = std::abs(xPx - s.downX);
    s.band[3] = std::abs(yPx - s.downY);
    if (s.band[2] > 0 && s.band[3] > 0) s.stored[static_cast<int32_t>(Pixo::RubberBandState)] = int16_t{1};
  }
  s.following = false;
  Fire(static_cast<int32_t>(PixoEvent::MouseUp), {button, shift, xPx * s.twipsX, yPx * s.twipsY});
}

void PixoControl::UserClick() {
  if (s_->Flag(Pixo::ViewEnabled)) Fire(static_cast<int32_t>(PixoEvent::Click));
}

void PixoControl::UserDblClick() {
  if (s_->Flag(Pixo::ViewEnabled)) Fire(static_cast<int32_t>(PixoEvent::DblClick));
}

void PixoControl::UserDropFile(const std::string& path) {
  Fire(static_cast<int32_t>(PixoEvent::OLEDropFile), {path});
}

bool PixoControl::Operate(const forms::OperatorAction& a) {
  using Kind = forms::OperatorAction::Kind;
  const State& s = *s_;
  const double x = a.x / s.twipsX, y = a.y / s.twipsY;
  const double cx = clientWidth_ / 2.0, cy = clientHeight_ / 2.0;
  switch (a.kind) {
    case Kind::MouseDown: UserMouseDown(a.button, a.shift, x, y); return true;
    case Kind::MouseMove: UserMouseMove(a.button, a.shift, x, y); return true;
    case Kind::MouseUp: UserMouseUp(a.button, a.shift, x, y); return true;
    case Kind::Click:
      if (a.eventOnly) {
        UserClick();
        return true;
      }
      UserMouseDown(a.button, a.shift, cx, cy);
      UserMouseUp(a.button, a.shift, cx, cy);
      UserClick();
      return true;
    case Kind::DblClick:
      if (a.eventOnly) {
        UserDblClick();
        return true;
      }
      UserMouseDown(a.button, a.shift, cx, cy);
      UserMouseUp(a.button, a.shift, cx, cy);
      UserClick();
      UserDblClick();
      UserMouseUp(a.button, a.shift, cx, cy);
      return true;
    case Kind::Drop:
      for (const std::string& f : a.files) UserDropFile(f);
      return true;
    default: return false;
  }
}

void PixoControl::ReadAhead(const std::string& path, int16_t bits, int32_t first, int32_t count) {
  if (!LoadableBits(bits)) return;
  const int32_t readBits = LoadReadBits(bits);
  count = std::clamp(count, 0, kMostPagesAhead);
  auto wanted = [&](int32_t page) { return page >= first && page - first < count; };
  std::vector<int32_t> missing;
  for (int32_t page = first; wanted(page); ++page) {
    bool held = false;
    for (const PageReadAhead& r : s_->readAhead) held = held || r.Holds(path, page, readBits);
    if (!held) missing.push_back(page);
  }
  for (PageReadAhead& r : s_->readAhead) {
    const int32_t page = r.page();
    if (page != 0 && r.Holds(path, page, readBits) && wanted(page)) continue;
    if (missing.empty()) {
      r.Drop();
    } else {
      r.Start(path, missing.front(), readBits);
      missing.erase(missing.begin());
    }
  }
}
void PixoControl::DropReadAhead() {
  for (PageReadAhead& r : s_->readAhead) r.Drop();
}
std::vector<int32_t> PixoControl::ReadAheadPages() const {
  std::vector<int32_t> pages;
  for (const PageReadAhead& r : s_->readAhead)
    if (r.page() != 0) pages.push_back(r.page());
  std::sort(pages.begin(), pages.end());
  return pages;
}
int32_t PixoControl::ReadAheadsTaken() const { return s_->readAheadsTaken; }

const Image* PixoControl::CurrentImage() const { return s_->image(); }

PixoControl::TakenSave PixoControl::TakeSave(const std::string& path, int16_t format, int16_t bits,
                                             int16_t quality, int16_t pageFlag, bool apart) const {
  const Image* img = s_->image();
  if (!img) return {nullptr, [] { return int16_t{kPixoNoImage}; }};
  // A page number above 1 appends to the file its page 1 started.
  const bool append = pageFlag != 0 && s_->Number(Pixo::SaveOption266) > 1;
  const bool fail = imaging::TakeSave();
  auto image = std::make_shared<std::unique_ptr<const Image>>(std::make_unique<const Image>(*img));
  if (!apart || !IsTiffFormat(format)) {
    return {nullptr, [path, image, format, bits, quality, append, fail] {
              return WriteWithFault(fail, path,
                                    [&] { return WriteImageFile(path, **image, format, bits, quality, append); });
            }};
  }
  auto page = std::make_shared<EncodedPage>();
  return {[image, page, path, format, bits, quality] {
            const std::string folder = std::filesystem::path(path).parent_path().string();
            *page = EncodeTiffPage(**image, format, bits, quality, folder.empty() ? "." : folder);
            image->reset();  // only the encoded page is held from now on
          },
          [path, page, append, fail] {
            return WriteWithFault(fail, path, [&] { return WriteEncodedTiffPage(path, *page, append); });
          }};
}
int32_t PixoControl::RepaintCalls() const { return s_->repaintCalls; }
int32_t PixoControl::AutoPaints() const { return s_->autoPaints; }
const std::vector<OverlayShape>& PixoControl::Overlay() const { return s_->overlay; }

std::vector<std::pair<std::string, std::string>> PixoControl::DumpState() const {
  const State& s = *s_;
  std::vector<std::pair<std::string, std::string>> d;
  d.emplace_back("Instance", s.name + "#" + std::to_string(s.serial));
  if (const Image* img = s.image()) {
    d.emplace_back("Image", std::to_string(img->width()) + "x" + std::to_string(img->height()) + "x" +
                                std::to_string(img->bits()) + (img->IsGrey() ? " grey" : ""));
    d.emplace_back("Handle", std::to_string(s.pic->handle));
    d.emplace_back("Resolution", Num(img->xdpi()) + "x" + Num(img->ydpi()));
    const Region& r = s.pic->region;
    d.emplace_back("Region", r.empty() ? "none" : Rect(r.left, r.top, r.width, r.height));
  } else {
    d.emplace_back("Image", "none");
  }
  d.emplace_back("Client", std::to_string(s.view.clientWidth()) + "x" + std::to_string(s.view.clientHeight()));
  d.emplace_back("ScaleMode", std::to_string(s.view.scaleMode()));
  d.emplace_back("Zoom", Num(s.view.Zoom()));
  d.emplace_back("Dst", Rect(s.view.dstLeft(), s.view.dstTop(), s.view.dstWidth(), s.view.dstHeight()));
  d.emplace_back("Dcl", Rect(s.view.dcl[0], s.view.dcl[1], s.view.dcl[2], s.view.dcl[3]));
  d.emplace_back("RubberBand", std::string(s.Flag(Pixo::RubberBandActive) ? "active " : "") +
                                   (s.Flag(Pixo::RubberBandEnabled) ? "enabled " : "") +
                                   Rect(s.band[0], s.band[1], s.band[2], s.band[3]) + " state " +
                                   std::to_string(s.Number(Pixo::RubberBandState)));
  d.emplace_back("MousePointer", std::to_string(s.Number(Pixo::MousePointer)));
  d.emplace_back("PanEnabled", s.Flag(Pixo::PanEnabled) ? "True" : "False");
  d.emplace_back("ViewEnabled", s.Flag(Pixo::ViewEnabled) ? "True" : "False");
  d.emplace_back("AutoRepaint", s.Flag(Pixo::AutoRepaint) ? "True" : "False");
  d.emplace_back("Repaints", std::to_string(s.repaintCalls) + " calls, " + std::to_string(s.autoPaints) + " auto");
  d.emplace_back("Overlay", std::to_string(s.overlay.size()) + " shapes");
  return d;
}

}  // namespace imaging
