// The binding control against SQLite alone: the control, created by
// program id in a container and bound to a BLOB column of ROWS rows that
// hold bitmaps of about 1 MB, moves from row to row with its bitmap marked
// changed, so that each move saves the bitmap into the row it leaves and
// loads the bitmap of the row it comes to; raw SQLite then writes the same
// record into each row and reads the next one back, on a copy of the table.
// Each side runs in a process of its own, so that neither pays or gains by
// what the other left in the heap: `control` times the control and prints
// its seconds and the bytes of one record; `sqlite` then times SQLite on
// the records the control wrote and prints its seconds.
//
//   bind_bench DIR ROWS control|sqlite

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/oledb/sqlite_provider.h"
#include "toolkitctl/common/test_container.h"
#include "toolkitctl/dbbind/pixobindctl.h"

namespace {

using namespace toolkitctl::testing;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int32_t kSide = 592;  // 592 x 592 x 3 bytes: about 1 MB

bool Exec(sqlite3* db, const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }

bool MakeTable(const std::string& path, int rows) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK && Exec(db, "CREATE TABLE docs(id INTEGER PRIMARY KEY, scan BLOB)");
  // Empty records, not NULL: a NULL field costs the control a second
  // commit to prepare it, which raw SQLite would not pay.
  for (int i = 1; ok && i <= rows; ++i) ok = Exec(db, "INSERT INTO docs VALUES(" + std::to_string(i) + ", x'')");
  sqlite3_close(db);
  return ok;
}

// A grainy grey-brown bitmap, as a scan of a small document looks.
ax::HGLOBAL NewBitmap() {
  ax::HGLOBAL mem = ax::GlobalAlloc(ax::GHND, sizeof(PXBITMAP));
  auto* b = static_cast<PXBITMAP*>(ax::GlobalLock(mem));
  PXC_CreateBitmap(b, kSide, kSide, 24);
  uint32_t s = 12345;
  uint8_t* p = PXC_BitmapData(b);
  for (int32_t i = 0; i < b->BytesPerLine * b->Height; ++i) {
    s = s * 1103515245 + 12345;
    p[i] = static_cast<uint8_t>(200 - i % 3 * 20 + (s >> 28));
  }
  ax::GlobalUnlock(mem);
  return mem;
}

// The tests' container: its registration and creation calls.
struct Container : ContainerTest {
  using ContainerTest::CallServer;
  using ContainerTest::Create;
};

// The control's run: ROWS moves, each a save and a load. The rows get their
// records first, from the control itself (not timed). False when one failed.
bool ControlRun(const std::string& dbPath, int rows, double* seconds) {
  if (Container::CallServer(PIXOBINDCTL_PATH, "DllRegisterServer") != ax::S_OK) return false;
  ax::IDispatch* ctl = nullptr;
  if (Container::Create(dbbind::kBindProgId, dbbind::IID_Ipxodbctl, &ctl) != ax::S_OK) return false;
  Site site;
  SiteControl(ctl, &site);
  EventSink sink(dbbind::DIID__IpxodbctlEvents);
  Connect(ctl, dbbind::DIID__IpxodbctlEvents, &sink);
  oledb::DataSource* source = nullptr;
  oledb::SqliteOptions options{"docs"};
  ax::IUnknown* p = nullptr;
  bool ok = oledb::OpenSqliteDataSource(dbPath, options, &source) == ax::S_OK &&
            source->getDataMember(u"", oledb::IID_IRowPosition, &p) == ax::S_OK;
  auto* pos = static_cast<oledb::IRowPosition*>(p);
  ok = ok && pos->GetRowset(oledb::IID_IRowset, &p) == ax::S_OK;
  auto* rowset = static_cast<oledb::IRowset*>(p);
  ok = ok && Put(ctl, dbbind::DISPID_DataSaveFormat, ax::Variant::I2(3)) == ax::S_OK &&  // TIFF, uncompressed
       Put(ctl, dbbind::DISPID_DataField, ax::Variant::Str(u"scan")) == ax::S_OK &&
       PutRef(ctl, dbbind::DISPID_DataSource, ax::Variant::Unknown(source)) == ax::S_OK &&
       Put(ctl, dbbind::DISPID_Bitmap, ax::Variant::Handle(reinterpret_cast<intptr_t>(NewBitmap()))) == ax::S_OK;
  // Each move saves the changed bitmap into the row it leaves.
  auto pass = [&] {
    for (int i = 1; ok && i <= rows; ++i) {
      std::vector<oledb::HROW> r;
      rowset->GetNextRows(static_cast<size_t>(i % rows), 1, &r);
      ok = r.size() == 1 && Put(ctl, dbbind::DISPID_DataDirty, ax::Variant::Bool(true)) == ax::S_OK &&
           pos->SetRowPosition(0, r[0], 0) == ax::S_OK;
      if (!r.empty()) rowset->ReleaseRows(1, r.data(), 0, nullptr, nullptr);
    }
  };
  pass();
  sink.events.clear();
  const auto start = Clock::now();
  pass();
  *seconds = std::chrono::duration<double>(Clock::now() - start).count();
  int saved = 0, loaded = 0;
  for (const auto& e : sink.events) {
    if (e.dispid == dbbind::DISPID_DataSaved && e.args[0].AsInt() == 0) ++saved;
    if (e.dispid == dbbind::DISPID_DataLoaded && e.args[0].AsInt() == 0) ++loaded;
  }
  ok = ok && saved == rows && loaded == rows;
  SiteControl(ctl, nullptr);
  ax::SafeRelease(ctl);
  ax::SafeRelease(rowset);
  ax::SafeRelease(pos);
  ax::SafeRelease(source);
  return ok;
}

std::vector<Bytes> Records(const std::string& dbPath, int rows) {
  std::vector<Bytes> out;
  sqlite3* db = nullptr;
  sqlite3_open(dbPath.c_str(), &db);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT scan FROM docs WHERE id=?1", -1, &st, nullptr);
  for (int i = 1; i <= rows; ++i) {
    sqlite3_bind_int(st, 1, i);
    if (sqlite3_step(st) == SQLITE_ROW) {
      const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st, 0));
      out.emplace_back(p, p + sqlite3_column_bytes(st, 0));
    }
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return out;
}

// Raw SQLite, as the control moves: row i's record written, row i + 1's
// read back (and checked), on a table that holds the records already.
bool SqliteRun(const std::string& dbPath, const std::vector<Bytes>& records, double* seconds) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return false;
  const auto rows = static_cast<int64_t>(records.size());
  auto write = [&](int64_t id) {
    sqlite3_stmt* st = nullptr;
    const Bytes& record = records[static_cast<size_t>(id - 1)];
    const bool done = sqlite3_prepare_v2(db, "UPDATE docs SET scan=?1 WHERE id=?2", -1, &st, nullptr) == SQLITE_OK &&
                      sqlite3_bind_blob64(st, 1, record.data(), record.size(), SQLITE_STATIC) == SQLITE_OK &&
                      sqlite3_bind_int64(st, 2, id) == SQLITE_OK && sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
    return done;
  };
  Bytes back;
  auto read = [&](int64_t id) {
    sqlite3_stmt* st = nullptr;
    bool done = sqlite3_prepare_v2(db, "SELECT scan FROM docs WHERE id=?1", -1, &st, nullptr) == SQLITE_OK &&
                sqlite3_bind_int64(st, 1, id) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW;
    if (done) {
      const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st, 0));
      back.assign(p, p + sqlite3_column_bytes(st, 0));
      done = back == records[static_cast<size_t>(id - 1)];
    }
    sqlite3_finalize(st);
    return done;
  };
  bool ok = true;
  for (int64_t id = 1; ok && id <= rows; ++id) ok = write(id);
  const auto start = Clock::now();
  for (int64_t id = 1; ok && id <= rows; ++id) ok = write(id) && read(id % rows + 1);
  *seconds = std::chrono::duration<double>(Clock::now() - start).count();
  sqlite3_close(db);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string side = argc > 3 ? argv[3] : "";
  if (side != "control" && side != "sqlite") {
    std::fprintf(stderr, "usage: bind_bench DIR ROWS control|sqlite\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int rows = std::atoi(argv[2]);
  setenv("ORN_REGISTRY_DIR", (dir + "/registry").c_str(), 1);
  const std::string control = dir + "/control.db", raw = dir + "/raw.db";
  double seconds = 0;
  if (side == "control") {
    if (rows < 1 || !MakeTable(control, rows) || !ControlRun(control, rows, &seconds)) {
      std::fprintf(stderr, "bind_bench: the control's run failed\n");
      return 1;
    }
    std::printf("%.4f %zu\n", seconds, Records(control, 1).at(0).size());
    return 0;
  }
  const std::vector<Bytes> records = Records(control, rows);
  if (rows < 1 || static_cast<int>(records.size()) != rows || !MakeTable(raw, rows) ||
      !SqliteRun(raw, records, &seconds)) {
    std::fprintf(stderr, "bind_bench: the SQLite run failed (has the control's run made %s?)\n", control.c_str());
    return 1;
  }
  std::printf("%.4f\n", seconds);
  return 0;
}
