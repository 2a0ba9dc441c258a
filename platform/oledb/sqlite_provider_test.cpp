#include "platform/oledb/sqlite_provider.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/activex/globalmem.h"
#include "tests/support/scratch_dir.h"

namespace oledb {
namespace {

class SqliteSource : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (scratch_ / "oledb_test.db").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE pics(id INTEGER PRIMARY KEY, name TEXT, img BLOB);"
                           "INSERT INTO pics VALUES(1,'a',x'0102'),(2,'b',NULL),(5,'c',x'');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(OpenSqliteDataSource(path_, {"pics"}, &src_), ax::S_OK);
    IUnknown* p = nullptr;
    ASSERT_EQ(src_->getDataMember(u"", IID_IRowPosition, &p), ax::S_OK);
    pos_ = static_cast<IRowPosition*>(p);
    ASSERT_EQ(pos_->GetRowset(IID_IRowset, &p), ax::S_OK);
    rowset_ = static_cast<IRowset*>(p);
    ASSERT_EQ(rowset_->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&acc_)), ax::S_OK);
  }
  void TearDown() override {
    ax::SafeRelease(acc_);
    ax::SafeRelease(rowset_);
    ax::SafeRelease(pos_);
    ax::SafeRelease(src_);
  }
  std::string Stored(int id) {
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT quote(img) FROM pics WHERE id=?1", -1, &st, nullptr);
    sqlite3_bind_int(st, 1, id);
    std::string out = sqlite3_step(st) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : "";
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }
  HACCESSOR StreamAccessor(DBORDINAL ordinal) {
    static DBOBJECT obj{0, IID_ISequentialStream};
    DBBINDING b;
    b.iOrdinal = ordinal;
    b.obStatus = 0;
    b.obLength = 4;
    b.obValue = 8;
    b.dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
    b.wType = DBTYPE_IUNKNOWN;
    b.pObject = &obj;
    b.cbMaxLen = sizeof(void*);
    HACCESSOR h = 0;
    EXPECT_EQ(acc_->CreateAccessor(DBACCESSOR_ROWDATA, 1, &b, 16, &h, nullptr), ax::S_OK);
    return h;
  }
  // The stream GetData gives for `row` through the stream accessor `h`.
  ISequentialStream* StreamOf(HROW row, HACCESSOR h) {
    uint8_t buf[16] = {};
    EXPECT_EQ(rowset_->GetData(row, h, buf), ax::S_OK);
    ISequentialStream* s = nullptr;
    std::memcpy(&s, buf + 8, sizeof s);
    EXPECT_NE(s, nullptr);
    return s;
  }
  orn_test::ScratchDir scratch_{"oledb"};
  std::string path_;
  DataSource* src_ = nullptr;
  IRowPosition* pos_ = nullptr;
  IRowset* rowset_ = nullptr;
  IAccessor* acc_ = nullptr;
};

TEST_F(SqliteSource, ColumnsStartWithTheBookmarkAndMapDeclaredTypes) {
  IColumnsInfo* ci = nullptr;
  ASSERT_EQ(rowset_->QueryInterface(IID_IColumnsInfo, reinterpret_cast<void**>(&ci)), ax::S_OK);
  DBORDINAL n = 0;
  DBCOLUMNINFO* info = nullptr;
  char16_t* strings = nullptr;
  ASSERT_EQ(ci->GetColumnInfo(&n, &info, &strings), ax::S_OK);
  ASSERT_EQ(n, 4u);
  EXPECT_EQ(info[0].iOrdinal, 0u);
  EXPECT_EQ(info[0].pwszName, nullptr);
  EXPECT_EQ(std::u16string(info[2].pwszName), u"name");
  EXPECT_EQ(info[1].wType, DBTYPE_I8);
  EXPECT_EQ(info[2].wType, DBTYPE_WSTR);
  EXPECT_EQ(info[3].wType, DBTYPE_BYTES);
  ax::CoTaskMemFree(info);
  ax::CoTaskMemFree(strings);
  ci->Release();
}

TEST_F(SqliteSource, StreamWritesArePendingUntilUpdateWritesThem) {
  HACCESSOR h = StreamAccessor(3);
  HROW row = 0;
  ASSERT_EQ(pos_->GetRowPosition(nullptr, &row, nullptr), ax::S_OK);
  uint8_t buf[16] = {};
  ASSERT_EQ(rowset_->GetData(row, h, buf), ax::S_OK);
  uint32_t status, length;
  std::memcpy(&status, buf, 4);
  std::memcpy(&length, buf + 4, 4);
  EXPECT_EQ(status, DBSTATUS_S_OK);
  EXPECT_EQ(length, 2u);
  ISequentialStream* s = nullptr;
  std::memcpy(&s, buf + 8, sizeof s);
  uint8_t got[4] = {};
  uint32_t read = 0;
  s->Read(got, 4, &read);
  EXPECT_EQ(read, 2u);
  EXPECT_EQ(got[1], 2);
  uint32_t written = 0;
  ASSERT_EQ(s->Write("xyz", 3, &written), ax::S_OK);
  ASSERT_EQ(s->Write("w", 1, &written), ax::S_OK);
  EXPECT_EQ(Stored(1), "X'0102'");  // deferred
  IRowsetUpdate* up = nullptr;
  ASSERT_EQ(rowset_->QueryInterface(IID_IRowsetUpdate, reinterpret_cast<void**>(&up)), ax::S_OK);
  size_t n = 0;
  HROW* rows = nullptr;
  ASSERT_EQ(up->GetPendingRows(0, DBPENDINGSTATUS_CHANGED, &n, &rows, nullptr), ax::S_OK);
  ASSERT_EQ(n, 1u);
  EXPECT_EQ(rows[0], row);
  rowset_->ReleaseRows(n, rows, 0, nullptr, nullptr);
  ax::CoTaskMemFree(rows);
  ASSERT_EQ(up->Update(0, 0, nullptr), ax::S_OK);
  EXPECT_EQ(Stored(1), "X'78797A77'");
  EXPECT_EQ(up->GetPendingRows(0, DBPENDINGSTATUS_CHANGED, &n, nullptr, nullptr), ax::S_FALSE);
  s->Release();
  up->Release();
  rowset_->ReleaseRows(1, &row, 0, nullptr, nullptr);
  acc_->ReleaseAccessor(h, nullptr);
}

TEST_F(SqliteSource, AStreamReadsTheValueAsItWasWhenTheStreamWasMade) {
  HACCESSOR h = StreamAccessor(3);
  HROW row = 0;
  ASSERT_EQ(pos_->GetRowPosition(nullptr, &row, nullptr), ax::S_OK);
  auto stream = [&] { return StreamOf(row, h); };
  auto readAll = [](ISequentialStream* s) {
    std::string out(16, '\0');
    uint32_t read = 0;
    s->Read(out.data(), 16, &read);
    out.resize(read);
    return out;
  };
  IRowsetUpdate* up = nullptr;
  ASSERT_EQ(rowset_->QueryInterface(IID_IRowsetUpdate, reinterpret_cast<void**>(&up)), ax::S_OK);
  ISequentialStream* writer = stream();
  uint32_t written = 0;
  ASSERT_EQ(writer->Write("xyz", 3, &written), ax::S_OK);
  ISequentialStream* reader = stream();
  ASSERT_EQ(writer->Write("w", 1, &written), ax::S_OK);
  EXPECT_EQ(readAll(reader), "xyz");  // later writes do not reach it
  ASSERT_EQ(up->Update(0, 0, nullptr), ax::S_OK);
  EXPECT_EQ(Stored(1), "X'78797A77'");
  // A write after the update makes the whole value pending again.
  ASSERT_EQ(writer->Write("v", 1, &written), ax::S_OK);
  ASSERT_EQ(up->Update(0, 0, nullptr), ax::S_OK);
  EXPECT_EQ(Stored(1), "X'78797A7776'");
  // A stream made on the stored value reads it also after an update has
  // replaced it.
  ISequentialStream* before = stream();
  ISequentialStream* rewriter = stream();
  ASSERT_EQ(rewriter->Write("AB", 2, &written), ax::S_OK);
  ASSERT_EQ(up->Update(0, 0, nullptr), ax::S_OK);
  EXPECT_EQ(Stored(1), "X'4142'");
  EXPECT_EQ(readAll(before), "xyzwv");
  rewriter->Release();
  before->Release();
  reader->Release();
  writer->Release();
  up->Release();
  rowset_->ReleaseRows(1, &row, 0, nullptr, nullptr);
  acc_->ReleaseAccessor(h, nullptr);
}

// The value an update sent is lent to the next stream that writes only when
// no stream still writes to it.
TEST_F(SqliteSource, AStreamStillWritingAfterAnUpdateKeepsItsValueFromTheNextWriter) {
  HACCESSOR h = StreamAccessor(3);
  HROW first = 0;
  ASSERT_EQ(pos_->GetRowPosition(nullptr, &first, nullptr), ax::S_OK);
  std::vector<HROW> second;  // the row of id 5, whose value is empty
  ASSERT_EQ(rowset_->GetNextRows(2, 1, &second), ax::S_OK);
  ASSERT_EQ(second.size(), 1u);
  auto stream = [&](HROW row) { return StreamOf(row, h); };
  IRowsetUpdate* up = nullptr;
  ASSERT_EQ(rowset_->QueryInterface(IID_IRowsetUpdate, reinterpret_cast<void**>(&up)), ax::S_OK);
  uint32_t written = 0;
  ISequentialStream* one = stream(first);
  ASSERT_EQ(one->Write("AAAA", 4, &written), ax::S_OK);
  ASSERT_EQ(up->Update(0, 0, nullptr), ax::S_OK);
  ISequentialStream* two = stream(second[0]);
  ASSERT_EQ(two->Write("BB", 2, &written), ax::S_OK);
  ASSERT_EQ(one->Write("CC", 2, &written), ax::S_OK);
  ASSERT_EQ(up->Update(0, 0, nullptr), ax::S_OK);
  EXPECT_EQ(Stored(1), "X'414141414343'");
  EXPECT_EQ(Stored(5), "X'4242'");
  // With the writers gone, the next value reuses the last one's room and
  // is still a value of its own.
  one->Release();
  two->Release();
  ISequentialStream* three = stream(first);
  ASSERT_EQ(three->Write("D", 1, &written), ax::S_OK);
  ASSERT_EQ(up->Update(0, 0, nullptr), ax::S_OK);
  EXPECT_EQ(Stored(1), "X'44'");
  EXPECT_EQ(Stored(5), "X'4242'");
  three->Release();
  up->Release();
  rowset_->ReleaseRows(1, &first, 0, nullptr, nullptr);
  rowset_->ReleaseRows(1, second.data(), 0, nullptr, nullptr);
  acc_->ReleaseAccessor(h, nullptr);
}

TEST_F(SqliteSource, AccessorsMustFitTheRowBufferAndDeletedRowsAreReported) {
  DBBINDING b;
  b.iOrdinal = 3;
  b.obValue = 8;
  b.dwPart = DBPART_VALUE;
  b.wType = DBTYPE_BYTES;
  b.cbMaxLen = 24;
  HACCESSOR h = 0;
  EXPECT_EQ(acc_->CreateAccessor(DBACCESSOR_ROWDATA, 1, &b, 16, &h, nullptr), DB_E_ERRORSOCCURRED);
  b.iOrdinal = 9;
  EXPECT_EQ(acc_->CreateAccessor(DBACCESSOR_ROWDATA, 1, &b, 64, &h, nullptr), DB_E_ERRORSOCCURRED);
  h = StreamAccessor(3);
  std::vector<HROW> rows;
  rowset_->GetNextRows(2, 1, &rows);
  ASSERT_EQ(rows.size(), 1u);
  sqlite3* db = nullptr;
  sqlite3_open(path_.c_str(), &db);
  sqlite3_exec(db, "DELETE FROM pics WHERE id=5", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  uint8_t buf[16];
  EXPECT_EQ(rowset_->GetData(rows[0], h, buf), DB_E_DELETEDROW);
  rowset_->ReleaseRows(1, rows.data(), 0, nullptr, nullptr);
  acc_->ReleaseAccessor(h, nullptr);
}

class PhaseSink final : public IRowPositionChange {
 public:
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (iid == IID_IRowPositionChange || iid == ax::IID_IUnknown) {
      *out = this;
      return ax::S_OK;
    }
    *out = nullptr;
    return ax::E_NOINTERFACE;
  }
  ax::ULONG AddRef() override { return 2; }
  ax::ULONG Release() override { return 1; }
  HRESULT OnRowPositionChange(uint32_t, uint32_t phase, bool) override {
    phases.push_back(phase);
    return phase == vetoPhase ? ax::S_FALSE : ax::S_OK;
  }
  std::vector<uint32_t> phases;
  uint32_t vetoPhase = 99;
};

TEST_F(SqliteSource, RowChangeTellsEveryPhaseAndAVetoKeepsTheRow) {
  ax::IConnectionPointContainer* cpc = nullptr;
  ASSERT_EQ(pos_->QueryInterface(ax::IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)), ax::S_OK);
  ax::IConnectionPoint* cp = nullptr;
  ASSERT_EQ(cpc->FindConnectionPoint(IID_IRowPositionChange, &cp), ax::S_OK);
  PhaseSink sink;
  uint32_t cookie = 0;
  ASSERT_EQ(cp->Advise(&sink, &cookie), ax::S_OK);
  std::vector<HROW> rows;
  rowset_->GetNextRows(1, 1, &rows);
  ASSERT_EQ(pos_->SetRowPosition(0, rows[0], 0), ax::S_OK);
  EXPECT_EQ(sink.phases, (std::vector<uint32_t>{0, 1, 2, 4}));
  sink.phases.clear();
  sink.vetoPhase = DBEVENTPHASE_ABOUTTODO;
  std::vector<HROW> first;
  rowset_->GetNextRows(0, 1, &first);
  EXPECT_EQ(pos_->SetRowPosition(0, first[0], 0), DB_E_CANCELED);
  EXPECT_EQ(sink.phases, (std::vector<uint32_t>{0, 1, 3}));
  HROW now = 0;
  pos_->GetRowPosition(nullptr, &now, nullptr);
  EXPECT_EQ(now, rows[0]);
  rowset_->ReleaseRows(1, &now, 0, nullptr, nullptr);
  rowset_->ReleaseRows(1, rows.data(), 0, nullptr, nullptr);
  rowset_->ReleaseRows(1, first.data(), 0, nullptr, nullptr);
  cp->Unadvise(cookie);
  cp->Release();
  cpc->Release();
}

TEST(SqliteOpen, AFileThatIsNotADatabaseIsRefused) {
  const orn_test::ScratchDir scratch("oledb");
  std::string path = (scratch / "oledb_not_a_db.db").string();
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fputs("this is not a database file at all, just text that is long enough", f);
  std::fclose(f);
  DataSource* src = nullptr;
  EXPECT_EQ(OpenSqliteDataSource(path, {"t"}, &src), ax::E_FAIL);
  EXPECT_EQ(src, nullptr);
}

}  // namespace
}  // namespace oledb
