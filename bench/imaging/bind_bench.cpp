// The binding control against SQLite alone: the control, created by
// program id in a container and bound to a BLOB column, saves a bitmap of
// about 1 MB into each of ROWS rows (one save per row change) and then loads
// every row back; raw SQLite then writes the same records into the same
// rows of a fresh copy of the table and reads them back. Both are timed in
// this one process; it prints the control's seconds, SQLite's seconds and
// the bytes of one record.
//
//   bind_bench DIR [ROWS]

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

// The control's run: ROWS saves, then ROWS loads. False when one failed.
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
  auto moveTo = [&](int index) {
    std::vector<oledb::HROW> r;
    rowset->GetNextRows(static_cast<size_t>(index), 1, &r);
    if (r.size() != 1) return false;
    const bool moved = pos->SetRowPosition(0, r[0], 0) == ax::S_OK;
    rowset->ReleaseRows(1, r.data(), 0, nullptr, nullptr);
    return moved;
  };
  sink.events.clear();
  const auto start = Clock::now();
  // Each move saves the dirty bitmap into the row it leaves; the row it
  // comes to is still empty, so the bitmap stays.
  for (int i = 1; ok && i <= rows; ++i) {
    ok = Put(ctl, dbbind::DISPID_DataDirty, ax::Variant::Bool(true)) == ax::S_OK && moveTo(i % rows);
  }
  for (int i = 1; ok && i <= rows; ++i) ok = moveTo(i % rows);
  *seconds = std::chrono::duration<double>(Clock::now() - start).count();
  int saved = 0, loaded = 0;
  for (const auto& e : sink.events) {
    if (e.dispid == dbbind::DISPID_DataSaved && e.args[0].AsInt() == 0) ++saved;
    if (e.dispid == dbbind::DISPID_DataLoaded && e.args[0].AsInt() == 0) ++loaded;
  }
  ok = ok && saved >= rows && loaded >= rows;
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

// Raw SQLite: each record written into its row, then each row read back.
bool SqliteRun(const std::string& dbPath, const std::vector<Bytes>& records, double* seconds) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return false;
  bool ok = true;
  Bytes back;
  const auto start = Clock::now();
  for (size_t i = 0; ok && i < records.size(); ++i) {
    sqlite3_stmt* st = nullptr;
    ok = sqlite3_prepare_v2(db, "UPDATE docs SET scan=?1 WHERE id=?2", -1, &st, nullptr) == SQLITE_OK &&
         sqlite3_bind_blob64(st, 1, records[i].data(), records[i].size(), SQLITE_STATIC) == SQLITE_OK &&
         sqlite3_bind_int64(st, 2, static_cast<int64_t>(i + 1)) == SQLITE_OK && sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
  }
  for (size_t i = 0; ok && i < records.size(); ++i) {
    sqlite3_stmt* st = nullptr;
    ok = sqlite3_prepare_v2(db, "SELECT scan FROM docs WHERE id=?1", -1, &st, nullptr) == SQLITE_OK &&
         sqlite3_bind_int64(st, 1, static_cast<int64_t>(i + 1)) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW;
    if (ok) {
      const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st, 0));
      back.assign(p, p + sqlite3_column_bytes(st, 0));
      ok = back == records[i];
    }
    sqlite3_finalize(st);
  }
  *seconds = std::chrono::duration<double>(Clock::now() - start).count();
  sqlite3_close(db);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bind_bench DIR [ROWS]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int rows = argc > 2 ? std::atoi(argv[2]) : 200;
  setenv("ORN_REGISTRY_DIR", (dir + "/registry").c_str(), 1);
  const std::string control = dir + "/control.db", raw = dir + "/raw.db";
  double controlSeconds = 0, rawSeconds = 0;
  if (!MakeTable(control, rows) || !ControlRun(control, rows, &controlSeconds)) {
    std::fprintf(stderr, "bind_bench: the control's run failed\n");
    return 1;
  }
  const std::vector<Bytes> records = Records(control, rows);
  if (static_cast<int>(records.size()) != rows || !MakeTable(raw, rows) || !SqliteRun(raw, records, &rawSeconds)) {
    std::fprintf(stderr, "bind_bench: the SQLite run failed\n");
    return 1;
  }
  std::printf("%.4f %.4f %zu\n", controlSeconds, rawSeconds, records[0].size());
  return 0;
}
