#pragma once
// The provider of this stand-in: an OLE DB data source on an SQLite
// database file. Each table is a data member (the default member is the
// table given at opening); its row set holds the table's rows in rowid
// order, one column per table column after the bookmark column 0. Declared
// types map to DBTYPE_BYTES (BLOB, or no type), DBTYPE_WSTR (TEXT, CHAR),
// DBTYPE_I8 (INT) and DBTYPE_R8 (REAL, FLOA, DOUB). Changes are deferred
// until IRowsetUpdate::Update writes them in one transaction.

#include <string>

#include "platform/oledb/oledb.h"

namespace oledb {

struct SqliteOptions {
  std::string defaultTable;
  // What DBPROP_PROVIDERFILENAME answers.
  std::u16string providerFileName = u"ORNSQLT.SO";
};

// Opens (not creates) the database file; *out answers DataSource and
// IDBProperties. Fails for a file that cannot be opened as a database.
HRESULT OpenSqliteDataSource(const std::string& path, const SqliteOptions& options, DataSource** out);

// The data source's own controls for containers and tests.
class SqliteControl : public IUnknown {
 public:
  // Tells the listeners that `member` changed.
  virtual void NotifyDataMemberChanged(const std::u16string& member) = 0;
  // Stream writes on long columns fail from now on (true) or work again.
  virtual void FailStreamWritesForTest(bool fail) = 0;

 protected:
  ~SqliteControl() = default;
};
inline constexpr IID IID_SqliteControl{0x4F524E01, 0x0001, 0x0001, {0x4F, 0x52, 0x4E, 0, 0, 0, 0, 1}};

}  // namespace oledb
