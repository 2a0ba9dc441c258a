#pragma once
// OLE DB as far as a bound control uses it: data sources with named data
// members, row positions with their change notifications, row sets with
// column information, accessors, row data, deferred changes and sequential
// streams on long columns. The provider behind these interfaces keeps its
// data in an SQLite database (sqlite_provider.h).
//
// Signatures are the platform's where a control calls them, trimmed where
// only the provider fills a structure (property sets, row fetching).
// Row buffers follow the Linux ABI: a bound interface pointer takes 8 bytes,
// lengths in row buffers are 32-bit.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/activex/connection.h"
#include "platform/activex/variant.h"

namespace oledb {

using ax::HRESULT;
using ax::IID;
using ax::IUnknown;
using HROW = uintptr_t;
using HACCESSOR = uintptr_t;
using HCHAPTER = uintptr_t;
using DBORDINAL = uint32_t;
using DBLENGTH = uint32_t;
using DBTYPE = uint16_t;
using DBSTATUS = uint32_t;

inline constexpr HROW DB_NULL_HROW = 0;
inline constexpr HCHAPTER DB_NULL_HCHAPTER = 0;

enum : DBTYPE {
  DBTYPE_EMPTY = 0,
  DBTYPE_I4 = 3,
  DBTYPE_R8 = 5,
  DBTYPE_IUNKNOWN = 13,
  DBTYPE_I8 = 20,
  DBTYPE_BYTES = 128,
  DBTYPE_STR = 129,
  DBTYPE_WSTR = 130,
};

enum : uint32_t { DBPART_VALUE = 1, DBPART_LENGTH = 2, DBPART_STATUS = 4 };
enum : DBSTATUS { DBSTATUS_S_OK = 0, DBSTATUS_E_CANTCONVERTVALUE = 2, DBSTATUS_S_ISNULL = 3, DBSTATUS_S_TRUNCATED = 4 };
enum : uint32_t { DBACCESSOR_ROWDATA = 2 };
enum : uint32_t { DBCOLUMNFLAGS_ISBOOKMARK = 1, DBCOLUMNFLAGS_MAYBENULL = 0x40, DBCOLUMNFLAGS_ISLONG = 0x80 };
enum : uint32_t { DBPENDINGSTATUS_NEW = 1, DBPENDINGSTATUS_CHANGED = 2, DBPENDINGSTATUS_DELETED = 4 };
enum : uint32_t { DBEVENTPHASE_OKTODO = 0, DBEVENTPHASE_ABOUTTODO = 1, DBEVENTPHASE_SYNCHAFTER = 2,
                  DBEVENTPHASE_FAILEDTODO = 3, DBEVENTPHASE_DIDEVENT = 4 };
enum : uint32_t { DBREASON_ROWPOSITION_CHANGED = 19, DBREASON_ROWPOSITION_CLEARED = 21 };
enum : uint32_t { DBPOSITION_OK = 0, DBPOSITION_NOROW = 1 };
inline constexpr uint32_t DBPROP_PROVIDERFILENAME = 96;

inline constexpr HRESULT DB_E_BADACCESSORHANDLE = ax::Hr(0x80040E00);
inline constexpr HRESULT DB_E_BADROWHANDLE = ax::Hr(0x80040E04);
inline constexpr HRESULT DB_E_BADBINDINFO = ax::Hr(0x80040E08);
inline constexpr HRESULT DB_E_ERRORSOCCURRED = ax::Hr(0x80040E21);
inline constexpr HRESULT DB_E_DELETEDROW = ax::Hr(0x80040E23);
inline constexpr HRESULT DB_E_CANCELED = ax::Hr(0x80040E4E);
inline constexpr HRESULT DB_E_NOTFOUND = ax::Hr(0x80040E19);
inline constexpr HRESULT STG_E_MEDIUMFULL = ax::Hr(0x80030070);

struct DBOBJECT {
  uint32_t dwFlags;
  IID iid;
};

struct DBBINDING {
  DBORDINAL iOrdinal = 0;
  size_t obValue = 0;
  size_t obLength = 0;
  size_t obStatus = 0;
  DBOBJECT* pObject = nullptr;
  uint32_t dwPart = 0;
  uint32_t dwMemOwner = 0;
  uint32_t eParamIO = 0;
  DBLENGTH cbMaxLen = 0;
  uint32_t dwFlags = 0;
  DBTYPE wType = DBTYPE_EMPTY;
  uint8_t bPrecision = 0;
  uint8_t bScale = 0;
};

struct DBCOLUMNINFO {
  char16_t* pwszName;  // into the string buffer; null for the bookmark
  DBORDINAL iOrdinal;  // 0 is the bookmark column
  uint32_t dwFlags;
  DBLENGTH ulColumnSize;
  DBTYPE wType;
};

struct DBPROP {
  uint32_t dwPropertyID;
  ax::Variant vValue;
};

inline constexpr IID IID_ISequentialStream{0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IRowset{0x0C733A7C, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IAccessor{0x0C733A8C, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IColumnsInfo{0x0C733A11, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IRowsetChange{0x0C733A05, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IRowsetUpdate{0x0C733A6D, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IRowsetInfo{0x0C733A55, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IDBProperties{0x0C733A8A, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IRowPosition{0x0C733A94, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IRowPositionChange{0x0997A571, 0x126E, 0x11D0,
                                            {0x9F, 0x8A, 0x00, 0xA0, 0xC9, 0xA0, 0x63, 0x1E}};
inline constexpr IID IID_DataSource{0x7C0FFAB3, 0xCD84, 0x11D0, {0x94, 0x9A, 0x00, 0xA0, 0xC9, 0x11, 0x10, 0xED}};
inline constexpr IID IID_DataSourceListener{0x7C0FFAB2, 0xCD84, 0x11D0,
                                            {0x94, 0x9A, 0x00, 0xA0, 0xC9, 0x11, 0x10, 0xED}};

class ISequentialStream : public IUnknown {
 public:
  virtual HRESULT Read(void* buffer, uint32_t bytes, uint32_t* read) = 0;
  virtual HRESULT Write(const void* buffer, uint32_t bytes, uint32_t* written) = 0;

 protected:
  ~ISequentialStream() = default;
};

class IColumnsInfo : public IUnknown {
 public:
  // *info and *strings are task memory the caller frees (ax::CoTaskMemFree).
  virtual HRESULT GetColumnInfo(DBORDINAL* count, DBCOLUMNINFO** info, char16_t** strings) = 0;

 protected:
  ~IColumnsInfo() = default;
};

class IAccessor : public IUnknown {
 public:
  virtual HRESULT CreateAccessor(uint32_t flags, size_t count, const DBBINDING* bindings, size_t rowSize,
                                 HACCESSOR* accessor, DBSTATUS* bindStatus) = 0;
  virtual HRESULT ReleaseAccessor(HACCESSOR accessor, uint32_t* refCount) = 0;

 protected:
  ~IAccessor() = default;
};

class IRowset : public IUnknown {
 public:
  virtual HRESULT AddRefRows(size_t count, const HROW* rows, uint32_t* refCounts, DBSTATUS* status) = 0;
  // Fills `data` through the accessor's bindings. A bound stream is a new
  // object the caller releases. DB_E_DELETEDROW for a row deleted meanwhile.
  virtual HRESULT GetData(HROW row, HACCESSOR accessor, void* data) = 0;
  // Up to `count` rows after skipping `skip` rows from the start, each with
  // a reference the caller releases.
  virtual HRESULT GetNextRows(size_t skip, size_t count, std::vector<HROW>* rows) = 0;
  virtual HRESULT ReleaseRows(size_t count, const HROW* rows, uint32_t options, uint32_t* refCounts,
                              DBSTATUS* status) = 0;

 protected:
  ~IRowset() = default;
};

class IRowsetChange : public IUnknown {
 public:
  virtual HRESULT SetData(HROW row, HACCESSOR accessor, const void* data) = 0;

 protected:
  ~IRowsetChange() = default;
};

class IRowsetUpdate : public IUnknown {
 public:
  // The rows with changes of `status` not yet sent; *rows and *statuses are
  // task memory (null when *count is 0), each row with a reference.
  virtual HRESULT GetPendingRows(HCHAPTER chapter, uint32_t status, size_t* count, HROW** rows,
                                 uint32_t** statuses) = 0;
  // Sends the changes of `rows` (count 0: all pending rows) to the store.
  virtual HRESULT Update(HCHAPTER chapter, size_t count, const HROW* rows) = 0;

 protected:
  ~IRowsetUpdate() = default;
};

class IDBProperties : public IUnknown {
 public:
  // Every data-source information property.
  virtual HRESULT GetProperties(std::vector<DBPROP>* props) = 0;

 protected:
  ~IDBProperties() = default;
};

class IRowsetInfo : public IUnknown {
 public:
  // The object that made the row set (its data source object).
  virtual HRESULT GetCreator(const IID& iid, IUnknown** out) = 0;

 protected:
  ~IRowsetInfo() = default;
};

class IRowPositionChange : public IUnknown {
 public:
  virtual HRESULT OnRowPositionChange(uint32_t reason, uint32_t phase, bool cantDeny) = 0;

 protected:
  ~IRowPositionChange() = default;
};

// Answers IConnectionPointContainer for IRowPositionChange.
class IRowPosition : public IUnknown {
 public:
  // Tells the sinks OKTODO, ABOUTTODO (a sink answering S_FALSE vetoes:
  // FAILEDTODO follows and DB_E_CANCELED is returned), then SYNCHAFTER, and
  // leaves no current row.
  virtual HRESULT ClearRowPosition() = 0;
  // *row gets a reference the caller releases; S_FALSE and DB_NULL_HROW
  // when there is no current row.
  virtual HRESULT GetRowPosition(HCHAPTER* chapter, HROW* row, uint32_t* flags) = 0;
  virtual HRESULT GetRowset(const IID& iid, IUnknown** out) = 0;
  // Makes `row` current (clearing the old one first when it is still set)
  // and tells the sinks DIDEVENT.
  virtual HRESULT SetRowPosition(HCHAPTER chapter, HROW row, uint32_t flags) = 0;

 protected:
  ~IRowPosition() = default;
};

class DataSourceListener : public IUnknown {
 public:
  virtual HRESULT dataMemberChanged(const std::u16string& member) = 0;
  virtual HRESULT dataMemberAdded(const std::u16string& member) = 0;
  virtual HRESULT dataMemberRemoved(const std::u16string& member) = 0;

 protected:
  ~DataSourceListener() = default;
};

class DataSource : public IUnknown {
 public:
  // The object of `member` answering `iid` (IID_IRowPosition or IID_IRowset);
  // an empty member is the source's default member.
  virtual HRESULT getDataMember(const std::u16string& member, const IID& iid, IUnknown** out) = 0;
  virtual HRESULT addDataSourceListener(DataSourceListener* listener) = 0;
  virtual HRESULT removeDataSourceListener(DataSourceListener* listener) = 0;

 protected:
  ~DataSource() = default;
};

}  // namespace oledb
