#include "library/SQLiteDb.h"

#include <sqlite3.h>

#include <charconv>
#include <chrono>
#include <limits>
#include <memory>
#include <thread>

namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  if (text == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
}

}  // namespace

int64_t DecimalToInt64(std::string_view text) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return 0;
  return value;
}

int DecimalToInt32(std::string_view text) {
  int64_t value = DecimalToInt64(text);
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return 0;
  return static_cast<int>(value);
}

std::string QuotedSQLText(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  for (char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted;
}

TSQLiteTable::TSQLiteTable(std::vector<std::string> columns,
                           std::vector<std::vector<std::string>> rows)
    : FColumns(std::move(columns)), FRows(std::move(rows)) {}

std::size_t TSQLiteTable::FieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < FColumns.size(); ++i) {
    if (SameNameIgnoringCase(FColumns[i], name)) return i;
  }
  throw EDatabaseError("no such column: " + std::string(name));
}

const std::vector<std::string>& TSQLiteTable::CurrentRow() const {
  if (Eof()) throw EDatabaseError("no current row");
  return FRows[FRow];
}

const std::string& TSQLiteTable::FieldAsString(std::size_t column) const {
  const std::vector<std::string>& row = CurrentRow();
  if (column >= row.size()) throw EDatabaseError("column index out of range");
  return row[column];
}

const std::string& TSQLiteTable::FieldAsString(std::string_view name) const {
  return FieldAsString(FieldIndex(name));
}

int TSQLiteTable::FieldAsInteger(std::size_t column) const {
  return DecimalToInt32(FieldAsString(column));
}

int TSQLiteTable::FieldAsInteger(std::string_view name) const {
  return DecimalToInt32(FieldAsString(name));
}

int64_t TSQLiteTable::FieldAsInt64(std::size_t column) const {
  return DecimalToInt64(FieldAsString(column));
}

int64_t TSQLiteTable::FieldAsInt64(std::string_view name) const {
  return DecimalToInt64(FieldAsString(name));
}

TSQLiteDatabase::TSQLiteDatabase(const std::string& path, TOpenMode mode) {
  int flags = SQLITE_OPEN_READWRITE;
  if (mode == TOpenMode::CreateIfMissing) flags |= SQLITE_OPEN_CREATE;
  if (sqlite3_open_v2(path.c_str(), &FDb, flags, nullptr) != SQLITE_OK) {
    std::string message = FDb ? sqlite3_errmsg(FDb) : "out of memory";
    sqlite3_close_v2(FDb);
    FDb = nullptr;
    throw EDatabaseError(message);
  }
  sqlite3_busy_handler(FDb, &TSQLiteDatabase::WaitForLock, this);
}

// Like sqlite3_busy_timeout, but polls every millisecond: SQLite's own handler sleeps up to 100 ms
// between tries and so keeps missing the short gaps an import leaves between its transactions.
int TSQLiteDatabase::WaitForLock(void* self, int attempt) {
  auto* db = static_cast<TSQLiteDatabase*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (attempt == 0) db->FWaitStart = now;
  if (now - db->FWaitStart >= std::chrono::milliseconds(kBusyTimeoutMs)) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return 1;
}

TSQLiteDatabase::~TSQLiteDatabase() {
  sqlite3_close_v2(FDb);
}

void TSQLiteDatabase::RaiseLastError() const {
  throw EDatabaseError(sqlite3_errmsg(FDb));
}

void TSQLiteDatabase::ExecSQL(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : sqlite3_errmsg(FDb);
    sqlite3_free(error);
    throw EDatabaseError(message);
  }
}

TSQLiteTable TSQLiteDatabase::GetTable(const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(FDb, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) RaiseLastError();
  StatementPtr statement(raw);
  if (!statement) return {};  // empty statement text

  int columnCount = sqlite3_column_count(statement.get());
  std::vector<std::string> columns;
  columns.reserve(static_cast<std::size_t>(columnCount));
  for (int i = 0; i < columnCount; ++i)
    columns.emplace_back(sqlite3_column_name(statement.get(), i));

  std::vector<std::vector<std::string>> rows;
  int rc;
  while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    std::vector<std::string> row;
    row.reserve(static_cast<std::size_t>(columnCount));
    for (int i = 0; i < columnCount; ++i) row.push_back(ColumnText(statement.get(), i));
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) RaiseLastError();
  return TSQLiteTable(std::move(columns), std::move(rows));
}

int64_t TSQLiteDatabase::LastInsertRowId() const {
  return sqlite3_last_insert_rowid(FDb);
}
