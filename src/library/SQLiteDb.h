// A thin connection / fully-fetched result layer over the SQLite C API.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "library/DatabaseError.h"

struct sqlite3;

// The rows of one query, all fetched before the first is read. Columns are found by name without
// regard to case; a NULL value reads as the empty text.
class TSQLiteTable {
 public:
  TSQLiteTable() = default;
  TSQLiteTable(std::vector<std::string> columns, std::vector<std::vector<std::string>> rows);

  std::size_t RowCount() const { return FRows.size(); }
  std::size_t ColumnCount() const { return FColumns.size(); }
  const std::string& ColumnName(std::size_t column) const { return FColumns.at(column); }

  // Cursor over the rows, starting at the first.
  bool Eof() const { return FRow >= FRows.size(); }
  void Next() { ++FRow; }
  void First() { FRow = 0; }

  // Index of the named column; raises EDatabaseError when there is no such column.
  std::size_t FieldIndex(std::string_view name) const;

  // Values of the current row. Raise EDatabaseError past the last row or for an unknown column.
  const std::string& FieldAsString(std::string_view name) const;
  const std::string& FieldAsString(std::size_t column) const;
  // An integer that is missing (NULL), not a decimal number or out of range reads as 0, so that
  // one damaged value cannot hide a whole list.
  int FieldAsInteger(std::string_view name) const;
  int FieldAsInteger(std::size_t column) const;
  int64_t FieldAsInt64(std::string_view name) const;
  int64_t FieldAsInt64(std::size_t column) const;

 private:
  const std::vector<std::string>& CurrentRow() const;

  std::vector<std::string> FColumns;
  std::vector<std::vector<std::string>> FRows;
  std::size_t FRow = 0;
};

// Decimal text to integer; anything that is not a whole decimal number in range gives 0.
int64_t DecimalToInt64(std::string_view text);
int DecimalToInt32(std::string_view text);

// One open connection; closed when the object goes, also when an error leaves an operation.
// Every connection waits for locks held by other connections instead of failing at once.
class TSQLiteDatabase {
 public:
  enum class TOpenMode { OpenExisting, CreateIfMissing };

  static constexpr int kBusyTimeoutMs = 5000;

  explicit TSQLiteDatabase(const std::string& path, TOpenMode mode = TOpenMode::OpenExisting);
  ~TSQLiteDatabase();
  TSQLiteDatabase(const TSQLiteDatabase&) = delete;
  TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;

  // Runs statements that return no rows.
  void ExecSQL(const std::string& sql);
  // Runs one query and fetches every row.
  TSQLiteTable GetTable(const std::string& sql);
  int64_t LastInsertRowId() const;

 private:
  [[noreturn]] void RaiseLastError() const;
  static int WaitForLock(void* self, int attempt);

  sqlite3* FDb = nullptr;
  std::chrono::steady_clock::time_point FWaitStart;
};

// The text with every single quote doubled, ready to stand between single quotes in a statement.
std::string QuotedSQLText(std::string_view text);
