// The binding control in a container: registered, created by program id,
// bound to a BLOB column of an SQLite row set, saving before each row
// change and loading after it.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <random>

#include "platform/oledb/sqlite_provider.h"
#include "platform/pixokit/pixoann.h"
#include "platform/pixokit/pixoio.h"
#include "toolkitctl/common/test_container.h"
#include "toolkitctl/dbbind/blob_record.h"
#include "toolkitctl/dbbind/pixobindctl.h"

namespace dbbind {
namespace {

using namespace toolkitctl::testing;
using Bytes = std::vector<uint8_t>;

// A global block holding a new bitmap structure with a w x h image.
ax::HGLOBAL NewBitmap(int32_t w, int32_t h, int32_t bits, uint32_t seed) {
  ax::HGLOBAL mem = ax::GlobalAlloc(ax::GHND, sizeof(PXBITMAP));
  auto* b = static_cast<PXBITMAP*>(ax::GlobalLock(mem));
  PXC_CreateBitmap(b, w, h, bits);
  std::mt19937 rng(seed);
  for (int32_t i = 0; i < b->BytesPerLine * h; ++i) PXC_BitmapData(b)[i] = static_cast<uint8_t>(rng());
  ax::GlobalUnlock(mem);
  return mem;
}

Bytes Pixels(const PXBITMAP* b) {
  const uint8_t* p = PXC_BitmapData(b);
  return p ? Bytes(p, p + static_cast<size_t>(b->BytesPerLine) * b->Height) : Bytes{};
}

class BindingTest : public ContainerTest {
 protected:
  void SetUp() override {
    ContainerTest::SetUp();
    dbPath_ = (dir_ / "docs.db").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dbPath_.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE docs(id INTEGER PRIMARY KEY, title TEXT, scan BLOB, n INTEGER);"
                           "INSERT INTO docs(id, title) VALUES(1,'one'),(2,'two'),(3,'three');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(CallServer(PIXOBINDCTL_PATH, "DllRegisterServer"), ax::S_OK);
    ASSERT_EQ(Create(kBindProgId, IID_Ipxodbctl, &ctl_), ax::S_OK);
    SiteControl(ctl_, &site_);
    ASSERT_NE(Connect(ctl_, DIID__IpxodbctlEvents, &sink_), 0u);
  }
  void TearDown() override {
    if (ctl_) SiteControl(ctl_, nullptr);
    ax::SafeRelease(ctl_);
    ax::SafeRelease(pos_);
    ax::SafeRelease(rowset_);
    ax::SafeRelease(source_);
    ContainerTest::TearDown();
  }

  void Bind(const std::u16string& provider = u"ORNSQLT.SO") {
    oledb::SqliteOptions options{"docs", provider};
    ASSERT_EQ(oledb::OpenSqliteDataSource(dbPath_, options, &source_), ax::S_OK);
    ax::IUnknown* p = nullptr;
    ASSERT_EQ(source_->getDataMember(u"", oledb::IID_IRowPosition, &p), ax::S_OK);
    pos_ = static_cast<oledb::IRowPosition*>(p);
    ASSERT_EQ(pos_->GetRowset(oledb::IID_IRowset, &p), ax::S_OK);
    rowset_ = static_cast<oledb::IRowset*>(p);
    ASSERT_EQ(Put(ctl_, DISPID_DataField, ax::Variant::Str(u"scan")), ax::S_OK);
    ASSERT_EQ(PutRef(ctl_, DISPID_DataSource, ax::Variant::Unknown(source_)), ax::S_OK);
  }
  // Makes row `index` (0-based) current, as a data control's navigation does.
  void MoveTo(size_t index) {
    std::vector<oledb::HROW> rows;
    rowset_->GetNextRows(index, 1, &rows);
    ASSERT_EQ(rows.size(), 1u);
    pos_->SetRowPosition(0, rows[0], 0);
    rowset_->ReleaseRows(1, rows.data(), 0, nullptr, nullptr);
  }
  // The status of every event `dispid` received, in order.
  std::vector<int64_t> Statuses(ax::DISPID dispid) {
    std::vector<int64_t> out;
    for (const auto& e : sink_.events)
      if (e.dispid == dispid) out.push_back(e.args[0].AsInt());
    return out;
  }
  std::optional<Bytes> Stored(int id) {
    sqlite3* db = nullptr;
    sqlite3_open(dbPath_.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT scan FROM docs WHERE id=?1", -1, &st, nullptr);
    sqlite3_bind_int(st, 1, id);
    std::optional<Bytes> out;
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL) {
      auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st, 0));
      out = Bytes(p, p + sqlite3_column_bytes(st, 0));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }
  void Store(int id, const Bytes& blob) {
    sqlite3* db = nullptr;
    sqlite3_open(dbPath_.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "UPDATE docs SET scan=?1 WHERE id=?2", -1, &st, nullptr);
    sqlite3_bind_blob(st, 1, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 2, id);
    ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
    sqlite3_finalize(st);
    sqlite3_close(db);
  }
  // The control's bitmap, read through its Bitmap property.
  const PXBITMAP* ControlBitmap() {
    ax::Variant h;
    if (Get(ctl_, DISPID_Bitmap, &h) != ax::S_OK || h.AsInt() == 0) return nullptr;
    auto mem = reinterpret_cast<ax::HGLOBAL>(static_cast<intptr_t>(h.AsInt()));
    auto* header = static_cast<BitmapHandleHeader*>(ax::GlobalLock(mem));
    ax::GlobalUnlock(mem);
    return header && std::memcmp(header->Magic, "pixo", 4) == 0 ? header->BitmapPtr : nullptr;
  }
  // A container with one rectangle, as another toolkit control would hand over.
  HANNOBJECT Annotations(double right) {
    HANNOBJECT c = nullptr, r = nullptr;
    PX_AnnCreate(0, &c);
    PX_AnnCreate(1, &r);
    ANNRECT rect{1, 2, right, 4};
    PX_AnnSetRect(r, &rect);
    PX_AnnInsert(c, r);
    return c;
  }
  // A valid image file as the control stores it (TIFF of a small bitmap).
  Bytes ImageFile(uint32_t seed) {
    PXBITMAP b;
    PXC_CreateBitmap(&b, 9, 5, 8);
    std::mt19937 rng(seed);
    for (int i = 0; i < 45; ++i) PXC_BitmapData(&b)[i] = static_cast<uint8_t>(rng());
    ax::HGLOBAL mem = nullptr;
    uint32_t len = 0;
    auto rows = [](PXBITMAP* bm, uint8_t* buf, int32_t first, int32_t count, void*) {
      for (int32_t i = 0; i < count; ++i) PXC_GetBitmapRow(bm, buf + i * bm->BytesPerLine, first + i, bm->BytesPerLine);
      return int32_t{1};
    };
    EXPECT_EQ(PXIO_SaveBitmapMemory(&b, &mem, 5, 0, 255, rows, nullptr, &len), 1);
    auto* p = static_cast<uint8_t*>(ax::GlobalLock(mem));
    Bytes out(p, p + len);
    ax::GlobalUnlock(mem);
    ax::GlobalFree(mem);
    PXC_FreeBitmap(&b);
    return out;
  }

  std::string dbPath_;
  ax::IDispatch* ctl_ = nullptr;
  toolkitctl::testing::Site site_;
  EventSink sink_{DIID__IpxodbctlEvents};
  oledb::DataSource* source_ = nullptr;
  oledb::IRowPosition* pos_ = nullptr;
  oledb::IRowset* rowset_ = nullptr;
};

TEST_F(BindingTest, RegistrationUsesItsOwnProgramIdKeys) {
  const std::string cls = "CLSID\\{00120400-B1BA-11CE-ABC6-F5B2E79D9E3F}";
  EXPECT_EQ(Value("Pxodb.pxodbctl\\CurVer"), "PIXOOLEDB.PixoOleDBCtrl.121");
  EXPECT_EQ(Value("PIXOOLEDB.PixoOleDBCtrl.121"), "PIXO OLE DB Control (12.1) (OLEDB)");
  EXPECT_EQ(Value(cls + "\\VersionIndependentProgID"), "PIXOOLEDB.PixoOleDBCtrl");
  EXPECT_FALSE(KeyExists("PIXOOLEDB.PixoOleDBCtrl"));
  EXPECT_EQ(Value(cls + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(Value(cls + "\\TypeLib"), "{00120401-B1BA-11CE-ABC6-F5B2E79D9E3F}");
  EXPECT_TRUE(KeyExists(cls + "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
  ASSERT_EQ(CallServer(PIXOBINDCTL_PATH, "DllUnregisterServer"), ax::S_OK);
  EXPECT_FALSE(KeyExists(cls));
  EXPECT_FALSE(KeyExists("Pxodb.pxodbctl"));
}

TEST_F(BindingTest, SavesBeforeARowChangeAndLoadsAfterIt) {
  Bind();
  EXPECT_EQ(Statuses(DISPID_DataLoaded), (std::vector<int64_t>{20010}));  // row 1 holds NULL
  ax::HGLOBAL bitmap = NewBitmap(7, 40, 8, 1);
  Bytes original = Pixels(static_cast<PXBITMAP*>(ax::GlobalLock(bitmap)));
  ax::GlobalUnlock(bitmap);
  ASSERT_EQ(Put(ctl_, DISPID_Bitmap, ax::Variant::Handle(reinterpret_cast<intptr_t>(bitmap))), ax::S_OK);
  HANNOBJECT ann = Annotations(30.5);
  ASSERT_EQ(Put(ctl_, DISPID_AnnContainer, ax::Variant::Handle(reinterpret_cast<intptr_t>(ann))), ax::S_OK);
  PX_AnnDestroy(ann, 0);
  ASSERT_EQ(Put(ctl_, DISPID_DataDirty, ax::Variant::Bool(true)), ax::S_OK);
  sink_.events.clear();

  MoveTo(1);
  EXPECT_EQ(Statuses(DISPID_DataSaved), (std::vector<int64_t>{0}));
  EXPECT_EQ(Statuses(DISPID_DataLoaded), (std::vector<int64_t>{20010}));
  ax::Variant dirty;
  ASSERT_EQ(Get(ctl_, DISPID_DataDirty, &dirty), ax::S_OK);
  EXPECT_EQ(dirty.AsInt(), 0);

  // Row 1 now holds the image file, the annotation block and the trailer.
  auto blob = Stored(1);
  ASSERT_TRUE(blob);
  ASSERT_GT(blob->size(), 24u);
  const uint8_t* t = blob->data() + blob->size() - 24;
  EXPECT_EQ(std::memcmp(t, "PXOCXBND", 8), 0);
  FieldBlobHeader h;
  ASSERT_TRUE(FindFieldBlobHeader(blob->data(), blob->size(), &h));
  EXPECT_EQ(h.ImageOffset, 0);
  EXPECT_EQ(h.AnnOffset, h.ImageLength);
  EXPECT_EQ(static_cast<size_t>(h.ImageLength) + h.AnnLength + 24, blob->size());
  EXPECT_EQ(std::memcmp(blob->data(), "II*", 3), 0);  // format 5 is a TIFF file
  EXPECT_FALSE(Stored(2));                              // not dirty: nothing written

  sink_.events.clear();
  MoveTo(0);
  EXPECT_EQ(Statuses(DISPID_DataSaved), (std::vector<int64_t>{0}));
  EXPECT_EQ(Statuses(DISPID_DataLoaded), (std::vector<int64_t>{0}));
  const PXBITMAP* loaded = ControlBitmap();
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Width, 7);
  EXPECT_EQ(loaded->Height, 40);
  EXPECT_EQ(Pixels(loaded), original);
  ax::Variant container;
  ASSERT_EQ(Get(ctl_, DISPID_AnnContainer, &container), ax::S_OK);
  auto c = reinterpret_cast<HANNOBJECT>(static_cast<intptr_t>(container.AsInt()));
  ASSERT_NE(c, nullptr);
  int32_t count = 0;
  PX_AnnCountChildren(c, &count);
  EXPECT_EQ(count, 1);
  HANNOBJECT item = nullptr;
  PX_AnnGetItem(c, &item);
  ANNRECT rect{};
  PX_AnnGetRect(item, &rect);
  EXPECT_EQ(rect.right, 30.5);
}

TEST_F(BindingTest, DamagedOrTruncatedRecordsFailCleanly) {
  Bytes image = ImageFile(5);
  auto withTrailer = [&](Bytes body, FieldBlobHeader h) {
    auto t = EncodeFieldBlobHeader(h);
    body.insert(body.end(), t.begin(), t.end());
    return body;
  };
  Bytes magic23(kFieldBlobMagic, kFieldBlobMagic + 8);
  magic23.resize(23, 0);
  Bytes ann12 = {'P', 'X', 'A', 'N', 'N', 'O', 'T', '1', 5, 0, 0, 0};  // five objects promised, none there
  Bytes imageAndAnn = image;
  imageAndAnn.insert(imageAndAnn.end(), ann12.begin(), ann12.end());
  const int32_t n = static_cast<int32_t>(image.size());
  struct Case {
    const char* what;
    Bytes blob;
    int64_t status;
  } cases[] = {
      {"image length beyond the record", withTrailer(image, {0, n + 100, n, 0}), 20007},
      {"negative image offset", withTrailer(image, {-8, n, n, 0}), 20007},
      {"annotation length beyond the record", withTrailer(image, {0, n, n, 1000}), 20007},
      {"truncated image file", Bytes(image.begin(), image.begin() + n / 2), 20009},
      {"23 bytes with the magic are an image", magic23, 20009},
      {"a header with an empty image", withTrailer({}, {0, 0, 0, 0}), 20009},
      {"damaged annotation block, image still loads", withTrailer(imageAndAnn, {0, n, n, 12}), 0},
      {"trailer without annotations loads the image", withTrailer(image, {0, n, n, 0}), 0},
  };
  Bind();
  for (const Case& c : cases) {
    Store(3, c.blob);
    MoveTo(0);
    ASSERT_EQ(Put(ctl_, DISPID_Bitmap, ax::Variant::Handle(reinterpret_cast<intptr_t>(NewBitmap(3, 3, 8, 9)))),
              ax::S_OK);
    sink_.events.clear();
    com::SetErrorInfo(nullptr);
    MoveTo(2);
    EXPECT_EQ(Statuses(DISPID_DataLoaded), (std::vector<int64_t>{c.status})) << c.what;
    const PXBITMAP* b = ControlBitmap();
    ASSERT_NE(b, nullptr) << c.what;
    // A failed load keeps the bitmap the control had.
    EXPECT_EQ(b->Width, c.status == 0 ? 9 : 3) << c.what;
    if (c.status != 0) {
      EXPECT_EQ(LastErrorText(), c.status == 20007 ? "PIXO Error: Error reading file" : "PIXO Error: Invalid file format")
          << c.what;
    }
    ax::Variant container;
    ASSERT_EQ(Get(ctl_, DISPID_AnnContainer, &container), ax::S_OK);
    EXPECT_EQ(container.AsInt(), 0) << c.what;
  }
}

TEST_F(BindingTest, TheJetProviderRefusesImagesAbove64K) {
  Bind(u"MSJTOR35.DLL");
  ASSERT_EQ(Put(ctl_, DISPID_DataSaveFormat, ax::Variant::I2(6)), ax::S_OK);  // BMP, uncompressed
  ASSERT_EQ(Put(ctl_, DISPID_Bitmap, ax::Variant::Handle(reinterpret_cast<intptr_t>(NewBitmap(200, 120, 24, 3)))),
            ax::S_OK);
  ASSERT_EQ(Put(ctl_, DISPID_DataDirty, ax::Variant::Bool(true)), ax::S_OK);
  sink_.events.clear();
  MoveTo(1);
  EXPECT_EQ(Statuses(DISPID_DataSaved), (std::vector<int64_t>{20005}));
  EXPECT_FALSE(Stored(1));
}

TEST_F(BindingTest, AFailingStreamWriteLeavesTheRowUnchanged) {
  Bind();
  oledb::SqliteControl* sc = nullptr;
  ASSERT_EQ(source_->QueryInterface(oledb::IID_SqliteControl, reinterpret_cast<void**>(&sc)), ax::S_OK);
  sc->FailStreamWritesForTest(true);
  ASSERT_EQ(Put(ctl_, DISPID_Bitmap, ax::Variant::Handle(reinterpret_cast<intptr_t>(NewBitmap(5, 5, 8, 4)))),
            ax::S_OK);
  ASSERT_EQ(Put(ctl_, DISPID_DataDirty, ax::Variant::Bool(true)), ax::S_OK);
  sink_.events.clear();
  MoveTo(1);
  sc->Release();
  EXPECT_EQ(Statuses(DISPID_DataSaved), (std::vector<int64_t>{20005}));
  // The NULL field was first set to 24 zero bytes and then the write failed.
  auto stored = Stored(1);
  ASSERT_TRUE(stored);
  EXPECT_EQ(*stored, Bytes(24, 0));
}

TEST_F(BindingTest, ClearingProgressInsideTheHandlerAbortsTheLoad) {
  Store(2, ImageFile(8));
  Bind();
  ASSERT_EQ(Put(ctl_, DISPID_EnableProgressEvent, ax::Variant::Bool(true)), ax::S_OK);
  std::vector<int64_t> percents;
  sink_.onEvent = [&](const EventSink::Event& e) {
    if (e.dispid != DISPID_ProgressStatus) return;
    percents.push_back(e.args[0].AsInt());
    Put(ctl_, DISPID_EnableProgressEvent, ax::Variant::Bool(false));
  };
  sink_.events.clear();
  MoveTo(1);
  EXPECT_EQ(percents, (std::vector<int64_t>{100}));  // one band of 5 rows
  EXPECT_EQ(Statuses(DISPID_DataLoaded), (std::vector<int64_t>{20100}));
}

TEST_F(BindingTest, ForcedReportsAndDesignModeRefusals) {
  ASSERT_EQ(Put(ctl_, DISPID_EnableMethodErrors, ax::Variant::Bool(false)), ax::S_OK);
  ax::HGLOBAL dead = ax::GlobalAlloc(ax::GHND, sizeof(PXBITMAP));
  ax::GlobalFree(dead);
  EXPECT_EQ(Put(ctl_, DISPID_Bitmap, ax::Variant::Handle(reinterpret_cast<intptr_t>(dead))), ax::Hr(0x800A4E22));
  ax::HGLOBAL tiny = ax::GlobalAlloc(ax::GHND, 8);  // too small for a bitmap structure
  EXPECT_EQ(Put(ctl_, DISPID_Bitmap, ax::Variant::Handle(reinterpret_cast<intptr_t>(tiny))), ax::Hr(0x800A4E22));
  ax::GlobalFree(tiny);
  EXPECT_EQ(Put(ctl_, DISPID_Bitmap, ax::Variant::Handle(0)), ax::S_OK);
  ax::Variant v;
  ASSERT_EQ(Get(ctl_, DISPID_Bitmap, &v), ax::S_OK);
  EXPECT_EQ(v.AsInt(), 0);  // an empty bitmap has no handle

  site_.userMode = false;
  EXPECT_EQ(Get(ctl_, DISPID_Bitmap, &v), ax::Hr(0x8000FEBF));
  EXPECT_EQ(LastErrorText(), "Get not supported in design mode");
  EXPECT_EQ(Put(ctl_, DISPID_Bitmap, ax::Variant::Handle(0)), ax::Hr(0x8000FEBF));
  EXPECT_EQ(LastErrorText(), "Put not supported in design mode");
  EXPECT_EQ(Get(ctl_, DISPID_DataDirty, &v), ax::Hr(0x8000FEBF));
  EXPECT_EQ(Get(ctl_, DISPID_DataSaveFormat, &v), ax::S_OK);
  EXPECT_EQ(v.AsInt(), 5);
}

TEST_F(BindingTest, ABorrowedBitmapIsSharedWithItsOwner) {
  ax::IDispatch* other = nullptr;
  ASSERT_EQ(Create(kBindProgId, IID_Ipxodbctl, &other), ax::S_OK);
  ASSERT_EQ(Put(other, DISPID_Bitmap, ax::Variant::Handle(reinterpret_cast<intptr_t>(NewBitmap(4, 6, 8, 2)))),
            ax::S_OK);
  ax::Variant h;
  ASSERT_EQ(Get(other, DISPID_Bitmap, &h), ax::S_OK);
  ASSERT_EQ(Put(ctl_, DISPID_Bitmap, h), ax::S_OK);
  ax::Variant mine;
  ASSERT_EQ(Get(ctl_, DISPID_Bitmap, &mine), ax::S_OK);
  EXPECT_EQ(mine.AsInt(), h.AsInt());
  EXPECT_EQ(ControlBitmap()->Height, 6);
  ASSERT_EQ(Put(ctl_, DISPID_Bitmap, ax::Variant::Handle(0)), ax::S_OK);
  ax::Variant still;
  ASSERT_EQ(Get(other, DISPID_Bitmap, &still), ax::S_OK);
  auto* header = static_cast<BitmapHandleHeader*>(ax::GlobalLock(reinterpret_cast<ax::HGLOBAL>(still.AsInt())));
  EXPECT_EQ(header->BitmapPtr->Height, 6);  // the owner keeps its image
  ax::GlobalUnlock(reinterpret_cast<ax::HGLOBAL>(still.AsInt()));
  other->Release();
}

// A lender released before its borrowers leaves them its image: under
// AddressSanitizer a borrower that still pointed into the lender would read
// freed memory; in any build its Bitmap handle would be a dead block.
TEST_F(BindingTest, ALenderReleasedFirstLeavesItsBorrowersTheImage) {
  ax::IDispatch* lender = nullptr;
  ax::IDispatch* second = nullptr;
  ASSERT_EQ(Create(kBindProgId, IID_Ipxodbctl, &lender), ax::S_OK);
  ASSERT_EQ(Create(kBindProgId, IID_Ipxodbctl, &second), ax::S_OK);
  ax::HGLOBAL image = NewBitmap(5, 7, 24, 11);
  Bytes pixels = Pixels(static_cast<PXBITMAP*>(ax::GlobalLock(image)));
  ax::GlobalUnlock(image);
  ASSERT_EQ(Put(lender, DISPID_Bitmap, ax::Variant::Handle(reinterpret_cast<intptr_t>(image))), ax::S_OK);
  ax::Variant h;
  ASSERT_EQ(Get(lender, DISPID_Bitmap, &h), ax::S_OK);
  ASSERT_EQ(Put(ctl_, DISPID_Bitmap, h), ax::S_OK);
  ASSERT_EQ(Put(second, DISPID_Bitmap, h), ax::S_OK);
  lender->Release();
  // Blocks of the lender's sizes, so that freed memory would be reused.
  std::vector<ax::HGLOBAL> churn;
  for (int i = 0; i < 8; ++i) {
    churn.push_back(ax::GlobalAlloc(ax::GMEM_ZEROINIT, sizeof(PXBITMAP)));
    churn.push_back(ax::GlobalAlloc(ax::GMEM_ZEROINIT, sizeof(BitmapHandleHeader)));
  }
  const PXBITMAP* kept = ControlBitmap();
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->Width, 5);
  EXPECT_EQ(kept->Height, 7);
  EXPECT_EQ(Pixels(kept), pixels);
  // The other borrower now shares the image with the first.
  ax::Variant first, other;
  ASSERT_EQ(Get(ctl_, DISPID_Bitmap, &first), ax::S_OK);
  ASSERT_EQ(Get(second, DISPID_Bitmap, &other), ax::S_OK);
  EXPECT_EQ(other.AsInt(), first.AsInt());
  // Released in turn, the holder hands the image to the last borrower.
  SiteControl(ctl_, nullptr);
  ax::SafeRelease(ctl_);
  ctl_ = second;
  kept = ControlBitmap();
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(Pixels(kept), pixels);
  for (ax::HGLOBAL m : churn) ax::GlobalFree(m);
}

TEST_F(BindingTest, TheFieldListOffersTheColumnsWithoutTheBookmark) {
  Bind();
  ax::IPerPropertyBrowsing* browse = nullptr;
  ASSERT_EQ(ctl_->QueryInterface(ax::IID_IPerPropertyBrowsing, reinterpret_cast<void**>(&browse)), ax::S_OK);
  std::vector<std::u16string> texts;
  std::vector<uint32_t> cookies;
  ASSERT_EQ(browse->GetPredefinedStrings(DISPID_DataField, &texts, &cookies), ax::S_OK);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"id", u"title", u"scan", u"n"}));
  ax::Variant v;
  ASSERT_EQ(browse->GetPredefinedValue(DISPID_DataField, cookies[2], &v), ax::S_OK);
  EXPECT_EQ(v.AsStr(), u"scan");
  ASSERT_EQ(browse->GetPredefinedStrings(DISPID_EnableProgressEvent, &texts, &cookies), ax::S_OK);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"True", u"False"}));
  browse->Release();
  // An integer column is not bound.
  EXPECT_EQ(Put(ctl_, DISPID_DataField, ax::Variant::Str(u"n")), ax::S_FALSE);
}

TEST_F(BindingTest, ClearingTheDataSourceClearsMemberAndFieldAndPropertiesPersist) {
  Bind();
  ASSERT_EQ(Put(ctl_, DISPID_DataMember, ax::Variant::Str(u"docs")), ax::S_OK);
  ASSERT_EQ(Put(ctl_, DISPID_DataSaveQuality, ax::Variant::I2(80)), ax::S_OK);
  ax::IPersistPropertyBag* persist = nullptr;
  ASSERT_EQ(ctl_->QueryInterface(ax::IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)), ax::S_OK);
  ax::MemoryPropertyBag bag;
  ASSERT_EQ(persist->Save(&bag, true), ax::S_OK);
  persist->Release();
  EXPECT_EQ(bag.values["DataField"].AsStr(), u"scan");
  EXPECT_EQ(bag.values["DataSaveQuality"].AsInt(), 80);

  ASSERT_EQ(PutRef(ctl_, DISPID_DataSource, ax::Variant::Unknown(nullptr)), ax::S_OK);
  ax::Variant v;
  ASSERT_EQ(Get(ctl_, DISPID_DataField, &v), ax::S_OK);
  EXPECT_EQ(v.AsStr(), u"");
  ASSERT_EQ(Get(ctl_, DISPID_DataMember, &v), ax::S_OK);
  EXPECT_EQ(v.AsStr(), u"");

  ax::IDispatch* fresh = nullptr;
  ASSERT_EQ(Create(kBindProgId, IID_Ipxodbctl, &fresh), ax::S_OK);
  ASSERT_EQ(fresh->QueryInterface(ax::IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)), ax::S_OK);
  ASSERT_EQ(persist->Load(&bag), ax::S_OK);
  persist->Release();
  ASSERT_EQ(Get(fresh, DISPID_DataField, &v), ax::S_OK);
  EXPECT_EQ(v.AsStr(), u"scan");
  ASSERT_EQ(Get(fresh, DISPID_DataSaveQuality, &v), ax::S_OK);
  EXPECT_EQ(v.AsInt(), 80);
  fresh->Release();
}

TEST_F(BindingTest, DesignViewShowsAFrameAndTheIcon) {
  ax::IViewObject* view = nullptr;
  ASSERT_EQ(ctl_->QueryInterface(ax::IID_IViewObject, reinterpret_cast<void**>(&view)), ax::S_OK);
  ax::DrawContext run{0, 0, 32, 32, {}};
  view->Draw(&run);
  EXPECT_TRUE(run.ops.empty());
  site_.userMode = false;
  ax::DrawContext design{5, 6, 37, 38, {}};
  view->Draw(&design);
  view->Release();
  EXPECT_EQ(design.ops, (std::vector<std::string>{"pen black", "rectangle 5 6 37 38", "icon 201 5 6"}));
}

TEST_F(BindingTest, ADataMemberChangeRebindsWithoutLoading) {
  Store(1, ImageFile(3));
  Bind();
  EXPECT_EQ(Statuses(DISPID_DataLoaded), (std::vector<int64_t>{0}));
  sink_.events.clear();
  oledb::SqliteControl* sc = nullptr;
  ASSERT_EQ(source_->QueryInterface(oledb::IID_SqliteControl, reinterpret_cast<void**>(&sc)), ax::S_OK);
  sc->NotifyDataMemberChanged(u"docs");
  sc->Release();
  EXPECT_TRUE(sink_.events.empty());
  // Still bound: the next row change loads.
  MoveTo(1);
  EXPECT_EQ(Statuses(DISPID_DataLoaded), (std::vector<int64_t>{20010}));
}

}  // namespace
}  // namespace dbbind
