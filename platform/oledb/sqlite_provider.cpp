#include "platform/oledb/sqlite_provider.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "platform/activex/globalmem.h"
#include "platform/activex/module.h"

namespace oledb {
namespace {

using ax::E_FAIL;
using ax::E_INVALIDARG;
using ax::E_NOINTERFACE;
using ax::E_POINTER;
using ax::S_FALSE;
using ax::S_OK;
using Bytes = std::vector<uint8_t>;
// A field's value; null for SQL NULL.
using Value = std::shared_ptr<Bytes>;

struct Db {
  sqlite3* db = nullptr;
  SqliteOptions options;
  bool failStreamWrites = false;
  ~Db() {
    if (db) sqlite3_close(db);
  }
};

std::string Quote(const std::string& name) {
  std::string q = "\"";
  for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

DBTYPE TypeOf(std::string decl) {
  std::transform(decl.begin(), decl.end(), decl.begin(), [](unsigned char c) { return std::toupper(c); });
  if (decl.find("INT") != std::string::npos) return DBTYPE_I8;
  if (decl.find("CHAR") != std::string::npos || decl.find("CLOB") != std::string::npos ||
      decl.find("TEXT") != std::string::npos)
    return DBTYPE_WSTR;
  if (decl.empty() || decl.find("BLOB") != std::string::npos) return DBTYPE_BYTES;
  if (decl.find("REAL") != std::string::npos || decl.find("FLOA") != std::string::npos ||
      decl.find("DOUB") != std::string::npos)
    return DBTYPE_R8;
  return DBTYPE_BYTES;
}

template <class T>
void Store(void* data, size_t offset, T v) {
  std::memcpy(static_cast<uint8_t*>(data) + offset, &v, sizeof v);
}
template <class T>
T Load(const void* data, size_t offset) {
  T v;
  std::memcpy(&v, static_cast<const uint8_t*>(data) + offset, sizeof v);
  return v;
}

// Data-source information properties of the object that made the row set.
class Properties final : public IDBProperties, public ax::RefCounted {
 public:
  explicit Properties(std::shared_ptr<Db> db) : RefCounted(nullptr), db_(std::move(db)) {}
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == ax::IID_IUnknown || iid == IID_IDBProperties) {
      *out = static_cast<IDBProperties*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ax::ULONG AddRef() override { return AddRefImpl(); }
  ax::ULONG Release() override { return ReleaseImpl(); }
  HRESULT GetProperties(std::vector<DBPROP>* props) override {
    if (!props) return E_POINTER;
    props->clear();
    props->push_back({DBPROP_PROVIDERFILENAME, ax::Variant::Str(db_->options.providerFileName)});
    return S_OK;
  }

 private:
  std::shared_ptr<Db> db_;
};

class Rowset;

// A stream on a long field. It reads the value the field had when the
// stream was made: `data` when given, else the stored value, fetched from
// the table as it is read (the rowset hands a stream that has not written
// its value before an update changes it; one that has written reads what
// is stored).
class BlobStream final : public ISequentialStream, public ax::RefCounted {
 public:
  BlobStream(Rowset* rowset, HROW row, DBORDINAL ordinal, Value data, size_t storedLength = 0);
  ~BlobStream() override;
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == ax::IID_IUnknown || iid == IID_ISequentialStream) {
      *out = static_cast<ISequentialStream*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ax::ULONG AddRef() override { return AddRefImpl(); }
  ax::ULONG Release() override { return ReleaseImpl(); }
  HRESULT Read(void* buffer, uint32_t bytes, uint32_t* read) override;
  HRESULT Write(const void* buffer, uint32_t bytes, uint32_t* written) override;

  // Fetches the stored value for the reads to come, unless the stream has
  // written: then it is the writer of the change, not a reader of the old.
  void KeepStoredValue();
  HROW row() const { return row_; }
  DBORDINAL ordinal() const { return ordinal_; }

 private:
  Rowset* rowset_;
  HROW row_;
  DBORDINAL ordinal_;
  Value data_;  // what Read reads; null while it is read from the table
  size_t storedLength_;
  size_t pos_ = 0;
  // What Write has written; the row's pending change shares it, so each
  // write adds its bytes once and no write copies those before it.
  Value written_;
};

class Rowset final : public IRowset,
                     public IAccessor,
                     public IColumnsInfo,
                     public IRowsetChange,
                     public IRowsetUpdate,
                     public IRowsetInfo,
                     public ax::RefCounted {
 public:
  struct Column {
    std::string name;
    DBTYPE type;
  };

  Rowset(std::shared_ptr<Db> db, std::string table) : RefCounted(nullptr), db_(std::move(db)), table_(std::move(table)) {}

  HRESULT Open() {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_->db, ("PRAGMA table_info(" + Quote(table_) + ")").c_str(), -1, &st, nullptr) !=
        SQLITE_OK)
      return E_FAIL;
    columns_.push_back({"", DBTYPE_I4});  // the bookmark
    while (sqlite3_step(st) == SQLITE_ROW) {
      const char* name = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
      const char* decl = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
      columns_.push_back({name ? name : "", TypeOf(decl ? decl : "")});
    }
    sqlite3_finalize(st);
    if (columns_.size() == 1) return DB_E_NOTFOUND;
    if (sqlite3_prepare_v2(db_->db, ("SELECT rowid FROM " + Quote(table_) + " ORDER BY rowid").c_str(), -1, &st,
                           nullptr) != SQLITE_OK)
      return E_FAIL;
    while (sqlite3_step(st) == SQLITE_ROW) rowids_.push_back(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    return S_OK;
  }

  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (!out) return E_POINTER;
    void* p = nullptr;
    if (iid == ax::IID_IUnknown || iid == IID_IRowset) p = static_cast<IRowset*>(this);
    else if (iid == IID_IAccessor) p = static_cast<IAccessor*>(this);
    else if (iid == IID_IColumnsInfo) p = static_cast<IColumnsInfo*>(this);
    else if (iid == IID_IRowsetChange) p = static_cast<IRowsetChange*>(this);
    else if (iid == IID_IRowsetUpdate) p = static_cast<IRowsetUpdate*>(this);
    else if (iid == IID_IRowsetInfo) p = static_cast<IRowsetInfo*>(this);
    *out = p;
    if (!p) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ax::ULONG AddRef() override { return AddRefImpl(); }
  ax::ULONG Release() override { return ReleaseImpl(); }

  // IRowset
  HRESULT AddRefRows(size_t count, const HROW* rows, uint32_t* refCounts, DBSTATUS* status) override {
    for (size_t i = 0; i < count; ++i) {
      bool ok = refs_.count(rows[i]) != 0;
      if (ok) ++refs_[rows[i]];
      if (refCounts) refCounts[i] = ok ? refs_[rows[i]] : 0;
      if (status) status[i] = ok ? 0 : 1;
      if (!ok) return DB_E_BADROWHANDLE;
    }
    return S_OK;
  }
  HRESULT ReleaseRows(size_t count, const HROW* rows, uint32_t, uint32_t* refCounts, DBSTATUS* status) override {
    HRESULT hr = S_OK;
    for (size_t i = 0; i < count; ++i) {
      auto it = refs_.find(rows[i]);
      bool ok = it != refs_.end();
      // A row with changes not yet sent stays known until Update.
      if (ok && --it->second == 0 && !pending_.count(rows[i])) refs_.erase(it);
      if (refCounts) refCounts[i] = ok && refs_.count(rows[i]) ? refs_[rows[i]] : 0;
      if (status) status[i] = ok ? 0 : 1;
      if (!ok) hr = DB_E_ERRORSOCCURRED;
    }
    return hr;
  }
  HRESULT GetNextRows(size_t skip, size_t count, std::vector<HROW>* rows) override {
    if (!rows) return E_POINTER;
    rows->clear();
    for (size_t i = skip; i < rowids_.size() && rows->size() < count; ++i) {
      HROW h = i + 1;
      ++refs_[h];
      rows->push_back(h);
    }
    return rows->size() == count ? S_OK : ax::Hr(0x00040EC6);  // DB_S_ENDOFROWSET
  }
  HRESULT GetData(HROW row, HACCESSOR accessor, void* data) override {
    if (!refs_.count(row)) return DB_E_BADROWHANDLE;
    auto acc = accessors_.find(accessor);
    if (acc == accessors_.end()) return DB_E_BADACCESSORHANDLE;
    if (!data) return E_POINTER;
    int64_t rowid = rowids_[row - 1];
    if (!RowExists(rowid)) return DB_E_DELETEDROW;
    for (const DBBINDING& b : acc->second.bindings) {
      Value value;
      DBSTATUS status = DBSTATUS_S_OK;
      DBLENGTH length = 0;
      if (b.iOrdinal == 0) {
        value = std::make_shared<Bytes>(4);
        int32_t mark = static_cast<int32_t>(row);
        std::memcpy(value->data(), &mark, 4);
      } else if (size_t stored = 0; b.wType == DBTYPE_IUNKNOWN && !IsPending(row, b.iOrdinal) &&
                                    StoredLength(row, b.iOrdinal, &stored)) {
        // A stream reads a stored value only when it is read: a field that
        // is about to be written is never read at all.
        if (b.dwPart & DBPART_VALUE) {
          auto* s = new BlobStream(this, row, b.iOrdinal, nullptr, stored);
          s->AddRef();
          Store<void*>(data, b.obValue, static_cast<ISequentialStream*>(s));
        }
        if (b.dwPart & DBPART_STATUS) Store<DBSTATUS>(data, b.obStatus, DBSTATUS_S_OK);
        if (b.dwPart & DBPART_LENGTH) Store<DBLENGTH>(data, b.obLength, static_cast<DBLENGTH>(stored));
        continue;
      } else if (!ReadValue(row, b.iOrdinal, &value)) {
        return E_FAIL;
      }
      if (!value) {
        status = DBSTATUS_S_ISNULL;
        if (b.dwPart & DBPART_VALUE) {
          if (b.wType == DBTYPE_IUNKNOWN) Store<void*>(data, b.obValue, nullptr);
        }
      } else {
        length = static_cast<DBLENGTH>(value->size());
        if (b.dwPart & DBPART_VALUE) {
          if (b.wType == DBTYPE_IUNKNOWN) {
            auto* s = new BlobStream(this, row, b.iOrdinal, std::move(value));
            s->AddRef();
            Store<void*>(data, b.obValue, static_cast<ISequentialStream*>(s));
          } else if (b.wType == DBTYPE_BYTES || b.wType == DBTYPE_STR) {
            size_t n = std::min<size_t>(value->size(), b.cbMaxLen);
            if (n) std::memcpy(static_cast<uint8_t*>(data) + b.obValue, value->data(), n);
            if (n < value->size()) status = DBSTATUS_S_TRUNCATED;
          } else {
            status = DBSTATUS_E_CANTCONVERTVALUE;
          }
        }
      }
      if (b.dwPart & DBPART_STATUS) Store<DBSTATUS>(data, b.obStatus, status);
      if (b.dwPart & DBPART_LENGTH) Store<DBLENGTH>(data, b.obLength, length);
    }
    return S_OK;
  }

  // IAccessor
  HRESULT CreateAccessor(uint32_t flags, size_t count, const DBBINDING* bindings, size_t rowSize,
                         HACCESSOR* accessor, DBSTATUS* bindStatus) override {
    if (!accessor || (count && !bindings)) return E_POINTER;
    *accessor = 0;
    if (!(flags & DBACCESSOR_ROWDATA)) return E_INVALIDARG;
    for (size_t i = 0; i < count; ++i) {
      const DBBINDING& b = bindings[i];
      bool ok = b.iOrdinal < columns_.size() && (b.dwPart & ~7u) == 0 &&
                (b.wType != DBTYPE_IUNKNOWN || (b.pObject && b.pObject->iid == IID_ISequentialStream));
      // Every bound part must lie inside the caller's row buffer.
      auto fits = [&](uint32_t part, size_t off, size_t n) { return !(b.dwPart & part) || off + n <= rowSize; };
      size_t valueSize = b.wType == DBTYPE_IUNKNOWN ? sizeof(void*) : b.cbMaxLen;
      ok = ok && fits(DBPART_VALUE, b.obValue, valueSize) && fits(DBPART_LENGTH, b.obLength, sizeof(DBLENGTH)) &&
           fits(DBPART_STATUS, b.obStatus, sizeof(DBSTATUS));
      if (bindStatus) bindStatus[i] = ok ? 0 : 1;
      if (!ok) return DB_E_ERRORSOCCURRED;
    }
    HACCESSOR h = nextAccessor_++;
    accessors_[h] = {std::vector<DBBINDING>(bindings, bindings + count), rowSize};
    *accessor = h;
    return S_OK;
  }
  HRESULT ReleaseAccessor(HACCESSOR accessor, uint32_t* refCount) override {
    if (!accessors_.erase(accessor)) return DB_E_BADACCESSORHANDLE;
    if (refCount) *refCount = 0;
    return S_OK;
  }

  // IColumnsInfo
  HRESULT GetColumnInfo(DBORDINAL* count, DBCOLUMNINFO** info, char16_t** strings) override {
    if (!count || !info || !strings) return E_POINTER;
    size_t chars = 0;
    for (const Column& c : columns_) chars += c.name.size() + 1;
    auto* cols = static_cast<DBCOLUMNINFO*>(ax::CoTaskMemAlloc(sizeof(DBCOLUMNINFO) * columns_.size()));
    auto* text = static_cast<char16_t*>(ax::CoTaskMemAlloc(sizeof(char16_t) * chars));
    if (!cols || !text) {
      ax::CoTaskMemFree(cols);
      ax::CoTaskMemFree(text);
      return ax::E_OUTOFMEMORY;
    }
    char16_t* at = text;
    for (size_t i = 0; i < columns_.size(); ++i) {
      const Column& c = columns_[i];
      cols[i].iOrdinal = static_cast<DBORDINAL>(i);
      cols[i].wType = c.type;
      cols[i].dwFlags = i == 0 ? DBCOLUMNFLAGS_ISBOOKMARK : DBCOLUMNFLAGS_MAYBENULL;
      cols[i].ulColumnSize = c.type == DBTYPE_I4 ? 4 : 0xFFFFFFFF;
      cols[i].pwszName = i == 0 ? nullptr : at;
      for (char ch : c.name) *at++ = static_cast<char16_t>(static_cast<unsigned char>(ch));
      *at++ = u'\0';
    }
    *count = static_cast<DBORDINAL>(columns_.size());
    *info = cols;
    *strings = text;
    return S_OK;
  }

  // IRowsetChange
  HRESULT SetData(HROW row, HACCESSOR accessor, const void* data) override {
    if (!refs_.count(row)) return DB_E_BADROWHANDLE;
    auto acc = accessors_.find(accessor);
    if (acc == accessors_.end()) return DB_E_BADACCESSORHANDLE;
    if (!data) return E_POINTER;
    for (const DBBINDING& b : acc->second.bindings) {
      if (b.iOrdinal == 0 || (b.wType != DBTYPE_BYTES && b.wType != DBTYPE_STR)) return DB_E_BADBINDINFO;
      DBSTATUS status = b.dwPart & DBPART_STATUS ? Load<DBSTATUS>(data, b.obStatus) : DBSTATUS_S_OK;
      if (status == DBSTATUS_S_ISNULL) {
        pending_[row][b.iOrdinal] = nullptr;
        continue;
      }
      DBLENGTH n = b.dwPart & DBPART_LENGTH ? Load<DBLENGTH>(data, b.obLength) : b.cbMaxLen;
      if (n > b.cbMaxLen) return DB_E_ERRORSOCCURRED;
      const uint8_t* p = static_cast<const uint8_t*>(data) + b.obValue;
      pending_[row][b.iOrdinal] = std::make_shared<Bytes>(p, p + n);
    }
    return S_OK;
  }

  // IRowsetUpdate
  HRESULT GetPendingRows(HCHAPTER, uint32_t status, size_t* count, HROW** rows, uint32_t** statuses) override {
    if (!count) return E_POINTER;
    std::vector<HROW> found;
    if (status & DBPENDINGSTATUS_CHANGED)
      for (auto& [row, cols] : pending_) found.push_back(row);
    *count = found.size();
    if (rows) *rows = nullptr;
    if (statuses) *statuses = nullptr;
    if (found.empty()) return S_FALSE;
    if (rows) {
      *rows = static_cast<HROW*>(ax::CoTaskMemAlloc(sizeof(HROW) * found.size()));
      for (size_t i = 0; i < found.size(); ++i) {
        (*rows)[i] = found[i];
        ++refs_[found[i]];
      }
    }
    if (statuses) {
      *statuses = static_cast<uint32_t*>(ax::CoTaskMemAlloc(sizeof(uint32_t) * found.size()));
      for (size_t i = 0; i < found.size(); ++i) (*statuses)[i] = DBPENDINGSTATUS_CHANGED;
    }
    return S_OK;
  }
  HRESULT Update(HCHAPTER, size_t count, const HROW* rows) override {
    std::vector<HROW> todo;
    if (count == 0) {
      for (auto& [row, cols] : pending_) todo.push_back(row);
    } else {
      if (!rows) return E_POINTER;
      todo.assign(rows, rows + count);
    }
    for (BlobStream* s : streams_) {
      auto it = pending_.find(s->row());
      if (it != pending_.end() && it->second.count(s->ordinal()) &&
          std::find(todo.begin(), todo.end(), s->row()) != todo.end())
        s->KeepStoredValue();
    }
    if (sqlite3_exec(db_->db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) return E_FAIL;
    for (HROW row : todo) {
      auto it = pending_.find(row);
      if (it == pending_.end()) continue;
      for (auto& [ordinal, value] : it->second) {
        if (!WriteValue(rowids_[row - 1], ordinal, value)) {
          sqlite3_exec(db_->db, "ROLLBACK", nullptr, nullptr, nullptr);
          return E_FAIL;
        }
        if (value) {
          lastLength_[ordinal] = value->size();
          spare_ = value;
        }
      }
    }
    if (sqlite3_exec(db_->db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      sqlite3_exec(db_->db, "ROLLBACK", nullptr, nullptr, nullptr);
      return E_FAIL;
    }
    for (HROW row : todo) {
      pending_.erase(row);
      auto r = refs_.find(row);
      if (r != refs_.end() && r->second == 0) refs_.erase(r);
    }
    return S_OK;
  }

  // IRowsetInfo
  HRESULT GetCreator(const IID& iid, IUnknown** out) override {
    if (!out) return E_POINTER;
    auto* props = new Properties(db_);
    props->AddRef();
    HRESULT hr = props->QueryInterface(iid, reinterpret_cast<void**>(out));
    props->Release();
    return hr;
  }

  // For the streams.
  bool FailWrites() const { return db_->failStreamWrites; }
  void Register(BlobStream* s) { streams_.insert(s); }
  size_t LastLength(DBORDINAL ordinal) const {
    auto it = lastLength_.find(ordinal);
    return it == lastLength_.end() ? 0 : it->second;
  }
  void Unregister(BlobStream* s) { streams_.erase(s); }
  // An empty value with room for `bytes`: the last value sent, when no one
  // holds it any more, so that saving one large value after another does
  // not ask the system for fresh memory each time.
  Value NewValue(size_t bytes) {
    Value v = spare_.use_count() == 1 ? std::move(spare_) : std::make_shared<Bytes>();
    spare_.reset();
    v->clear();
    v->reserve(bytes);
    return v;
  }
  // Bytes `offset` .. of a stored text or BLOB value, straight into `out`.
  bool ReadStored(HROW row, DBORDINAL ordinal, size_t offset, void* out, size_t n) {
    sqlite3_blob* blob = nullptr;
    if (sqlite3_blob_open(db_->db, "main", table_.c_str(), columns_[ordinal].name.c_str(), rowids_[row - 1], 0,
                          &blob) != SQLITE_OK) {
      sqlite3_blob_close(blob);
      return false;
    }
    const bool ok = offset + n <= static_cast<size_t>(sqlite3_blob_bytes(blob)) &&
                    sqlite3_blob_read(blob, out, static_cast<int>(n), static_cast<int>(offset)) == SQLITE_OK;
    sqlite3_blob_close(blob);
    return ok;
  }
  void SetPending(HROW row, DBORDINAL ordinal, const Value& value) {
    if (refs_.count(row)) pending_[row][ordinal] = value;
  }
  size_t RowCount() const { return rowids_.size(); }

 private:
  struct Accessor {
    std::vector<DBBINDING> bindings;
    size_t rowSize;
  };

  bool RowExists(int64_t rowid) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_->db, ("SELECT 1 FROM " + Quote(table_) + " WHERE rowid=?1").c_str(), -1, &st,
                           nullptr) != SQLITE_OK)
      return false;
    sqlite3_bind_int64(st, 1, rowid);
    bool found = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return found;
  }

  bool IsPending(HROW row, DBORDINAL ordinal) const {
    auto p = pending_.find(row);
    return p != pending_.end() && p->second.count(ordinal);
  }

  // The length of a stored text or BLOB value, known without reading it;
  // false for NULL and other kinds of value.
  bool StoredLength(HROW row, DBORDINAL ordinal, size_t* length) {
    sqlite3_blob* blob = nullptr;
    const bool ok = sqlite3_blob_open(db_->db, "main", table_.c_str(), columns_[ordinal].name.c_str(),
                                      rowids_[row - 1], 0, &blob) == SQLITE_OK;
    if (ok) *length = static_cast<size_t>(sqlite3_blob_bytes(blob));
    sqlite3_blob_close(blob);
    return ok;
  }

  // A value of its own for the caller: a pending one is copied, since a
  // stream may still be adding to it.
  bool ReadValue(HROW row, DBORDINAL ordinal, Value* out) {
    auto p = pending_.find(row);
    if (p != pending_.end()) {
      auto c = p->second.find(ordinal);
      if (c != p->second.end()) {
        *out = c->second ? std::make_shared<Bytes>(*c->second) : nullptr;
        return true;
      }
    }
    sqlite3_stmt* st = nullptr;
    std::string sql = "SELECT " + Quote(columns_[ordinal].name) + " FROM " + Quote(table_) + " WHERE rowid=?1";
    if (sqlite3_prepare_v2(db_->db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
    sqlite3_bind_int64(st, 1, rowids_[row - 1]);
    bool ok = sqlite3_step(st) == SQLITE_ROW;
    if (ok) {
      if (sqlite3_column_type(st, 0) == SQLITE_NULL) {
        *out = nullptr;
      } else {
        const auto* p2 = static_cast<const uint8_t*>(sqlite3_column_blob(st, 0));
        int n = sqlite3_column_bytes(st, 0);
        *out = std::make_shared<Bytes>(p2, p2 + n);
      }
    }
    sqlite3_finalize(st);
    return ok;
  }

  bool WriteValue(int64_t rowid, DBORDINAL ordinal, const Value& value) {
    sqlite3_stmt* st = nullptr;
    std::string sql = "UPDATE " + Quote(table_) + " SET " + Quote(columns_[ordinal].name) + "=?1 WHERE rowid=?2";
    if (sqlite3_prepare_v2(db_->db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
    if (value) {
      // The value outlives the statement: SQLite need not copy it.
      sqlite3_bind_blob64(st, 1, value->data(), value->size(), SQLITE_STATIC);
    } else {
      sqlite3_bind_null(st, 1);
    }
    sqlite3_bind_int64(st, 2, rowid);
    bool ok = sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
    return ok;
  }

  std::shared_ptr<Db> db_;
  std::string table_;
  std::vector<Column> columns_;
  std::vector<int64_t> rowids_;  // HROW h is rowids_[h - 1]
  std::map<HROW, uint32_t> refs_;
  std::map<HACCESSOR, Accessor> accessors_;
  HACCESSOR nextAccessor_ = 1;
  std::map<HROW, std::map<DBORDINAL, Value>> pending_;
  std::set<BlobStream*> streams_;  // open streams, not counted references
  std::map<DBORDINAL, size_t> lastLength_;  // of the value each column got last
  Value spare_;  // the value sent last, for NewValue
};

BlobStream::BlobStream(Rowset* rowset, HROW row, DBORDINAL ordinal, Value data, size_t storedLength)
    : RefCounted(nullptr), rowset_(rowset), row_(row), ordinal_(ordinal), data_(std::move(data)),
      storedLength_(storedLength) {
  rowset_->AddRef();
  rowset_->Register(this);
}

BlobStream::~BlobStream() {
  rowset_->Unregister(this);
  rowset_->Release();
}

void BlobStream::KeepStoredValue() {
  if (data_ || written_) return;
  auto value = std::make_shared<Bytes>(storedLength_);
  if (!rowset_->ReadStored(row_, ordinal_, 0, value->data(), value->size())) value->clear();
  data_ = std::move(value);
}

HRESULT BlobStream::Read(void* buffer, uint32_t bytes, uint32_t* read) {
  if (!buffer && bytes) return E_POINTER;
  if (read) *read = 0;
  const size_t length = data_ ? data_->size() : storedLength_;
  const auto n = static_cast<uint32_t>(std::min<size_t>(bytes, length - std::min(pos_, length)));
  if (n && data_) {
    std::memcpy(buffer, data_->data() + pos_, n);
  } else if (n && !rowset_->ReadStored(row_, ordinal_, pos_, buffer, n)) {
    return E_FAIL;
  }
  pos_ += n;
  if (read) *read = n;
  return n < bytes ? S_FALSE : S_OK;
}

HRESULT BlobStream::Write(const void* buffer, uint32_t bytes, uint32_t* written) {
  if (!buffer && bytes) return E_POINTER;
  if (written) *written = 0;
  if (rowset_->FailWrites()) return STG_E_MEDIUMFULL;
  // Writing replaces the field's value: the first write starts it anew,
  // with room for as many bytes as the column's last value had.
  if (!written_) written_ = rowset_->NewValue(std::max<size_t>(bytes, rowset_->LastLength(ordinal_)));
  const auto* p = static_cast<const uint8_t*>(buffer);
  written_->insert(written_->end(), p, p + bytes);
  rowset_->SetPending(row_, ordinal_, written_);
  if (written) *written = bytes;
  return S_OK;
}

class RowPos final : public IRowPosition, public ax::IConnectionPointContainer, public ax::RefCounted {
 public:
  explicit RowPos(Rowset* rowset) : RefCounted(nullptr), rowset_(rowset), cp_(static_cast<IRowPosition*>(this), IID_IRowPositionChange) {
    rowset_->AddRef();
    // Like a data control, a new position starts on the first row.
    std::vector<HROW> first;
    rowset_->GetNextRows(0, 1, &first);
    if (!first.empty()) row_ = first[0];
  }
  ~RowPos() override {
    if (row_) rowset_->ReleaseRows(1, &row_, 0, nullptr, nullptr);
    rowset_->Release();
  }
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (!out) return E_POINTER;
    void* p = nullptr;
    if (iid == ax::IID_IUnknown || iid == IID_IRowPosition) p = static_cast<IRowPosition*>(this);
    else if (iid == ax::IID_IConnectionPointContainer) p = static_cast<ax::IConnectionPointContainer*>(this);
    *out = p;
    if (!p) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ax::ULONG AddRef() override { return AddRefImpl(); }
  ax::ULONG Release() override { return ReleaseImpl(); }

  HRESULT FindConnectionPoint(const IID& iid, ax::IConnectionPoint** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IRowPositionChange) return ax::CONNECT_E_NOCONNECTION;
    *out = &cp_;
    cp_.AddRef();
    return S_OK;
  }

  HRESULT ClearRowPosition() override {
    for (uint32_t phase : {DBEVENTPHASE_OKTODO, DBEVENTPHASE_ABOUTTODO}) {
      if (Tell(DBREASON_ROWPOSITION_CLEARED, phase, false) == S_FALSE) {
        Tell(DBREASON_ROWPOSITION_CLEARED, DBEVENTPHASE_FAILEDTODO, true);
        return DB_E_CANCELED;
      }
    }
    if (row_) rowset_->ReleaseRows(1, &row_, 0, nullptr, nullptr);
    row_ = DB_NULL_HROW;
    Tell(DBREASON_ROWPOSITION_CLEARED, DBEVENTPHASE_SYNCHAFTER, true);
    return S_OK;
  }
  HRESULT GetRowPosition(HCHAPTER* chapter, HROW* row, uint32_t* flags) override {
    if (!row) return E_POINTER;
    if (chapter) *chapter = DB_NULL_HCHAPTER;
    *row = row_;
    if (flags) *flags = row_ ? DBPOSITION_OK : DBPOSITION_NOROW;
    if (!row_) return S_FALSE;
    rowset_->AddRefRows(1, &row_, nullptr, nullptr);
    return S_OK;
  }
  HRESULT GetRowset(const IID& iid, IUnknown** out) override {
    if (!out) return E_POINTER;
    return rowset_->QueryInterface(iid, reinterpret_cast<void**>(out));
  }
  HRESULT SetRowPosition(HCHAPTER, HROW row, uint32_t) override {
    if (row_) {
      HRESULT hr = ClearRowPosition();
      if (hr != S_OK) return hr;
    }
    if (row && ax::Failed(rowset_->AddRefRows(1, &row, nullptr, nullptr))) return DB_E_BADROWHANDLE;
    row_ = row;
    Tell(DBREASON_ROWPOSITION_CHANGED, DBEVENTPHASE_DIDEVENT, true);
    return S_OK;
  }

 private:
  // S_FALSE when a sink vetoes; other answers of the sinks are theirs.
  HRESULT Tell(uint32_t reason, uint32_t phase, bool cantDeny) {
    HRESULT result = S_OK;
    for (IUnknown* sink : cp_.Sinks()) {
      HRESULT hr = static_cast<IRowPositionChange*>(sink)->OnRowPositionChange(reason, phase, cantDeny);
      if (hr == S_FALSE && !cantDeny) result = S_FALSE;
      sink->Release();
    }
    return result;
  }

  Rowset* rowset_;
  HROW row_ = DB_NULL_HROW;
  ax::ConnectionPoint cp_;
};

class Source final : public DataSource, public IDBProperties, public SqliteControl, public ax::RefCounted {
 public:
  explicit Source(std::shared_ptr<Db> db) : RefCounted(nullptr), db_(std::move(db)) {}
  ~Source() override {
    for (auto& [name, pos] : members_) pos->Release();
    for (DataSourceListener* l : listeners_) l->Release();
  }
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (!out) return E_POINTER;
    void* p = nullptr;
    if (iid == ax::IID_IUnknown || iid == IID_DataSource) p = static_cast<DataSource*>(this);
    else if (iid == IID_IDBProperties) p = static_cast<IDBProperties*>(this);
    else if (iid == IID_SqliteControl) p = static_cast<SqliteControl*>(this);
    *out = p;
    if (!p) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ax::ULONG AddRef() override { return AddRefImpl(); }
  ax::ULONG Release() override { return ReleaseImpl(); }

  HRESULT getDataMember(const std::u16string& member, const IID& iid, IUnknown** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::string table = member.empty() ? db_->options.defaultTable : ax::Narrow(member);
    auto it = members_.find(table);
    if (it == members_.end()) {
      auto* rs = new Rowset(db_, table);
      rs->AddRef();
      HRESULT hr = rs->Open();
      if (ax::Failed(hr)) {
        rs->Release();
        return hr;
      }
      auto* pos = new RowPos(rs);
      rs->Release();
      pos->AddRef();
      it = members_.emplace(table, pos).first;
    }
    if (iid == IID_IRowset) return it->second->GetRowset(iid, out);
    return it->second->QueryInterface(iid, reinterpret_cast<void**>(out));
  }
  HRESULT addDataSourceListener(DataSourceListener* listener) override {
    if (!listener) return E_POINTER;
    listener->AddRef();
    listeners_.push_back(listener);
    return S_OK;
  }
  HRESULT removeDataSourceListener(DataSourceListener* listener) override {
    auto it = std::find(listeners_.begin(), listeners_.end(), listener);
    if (it == listeners_.end()) return S_FALSE;
    listeners_.erase(it);
    listener->Release();
    return S_OK;
  }
  HRESULT GetProperties(std::vector<DBPROP>* props) override {
    Properties p(db_);
    return p.GetProperties(props);
  }
  void NotifyDataMemberChanged(const std::u16string& member) override {
    auto copy = listeners_;
    for (DataSourceListener* l : copy) l->AddRef();
    for (DataSourceListener* l : copy) {
      l->dataMemberChanged(member);
      l->Release();
    }
  }
  void FailStreamWritesForTest(bool fail) override { db_->failStreamWrites = fail; }

 private:
  std::shared_ptr<Db> db_;
  std::map<std::string, RowPos*> members_;
  std::vector<DataSourceListener*> listeners_;
};

}  // namespace

HRESULT OpenSqliteDataSource(const std::string& path, const SqliteOptions& options, DataSource** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto db = std::make_shared<Db>();
  db->options = options;
  if (sqlite3_open_v2(path.c_str(), &db->db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return E_FAIL;
  // A file that is not a database fails here rather than at the first read.
  if (sqlite3_exec(db->db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK)
    return E_FAIL;
  auto* src = new Source(std::move(db));
  src->AddRef();
  *out = src;
  return S_OK;
}

}  // namespace oledb
