// Reading back what the services stored, and listing it one line per request.
#include <sqlite3.h>
#include <nlohmann/json.hpp>

#include <cstdio>

#include "Services.h"

namespace services {
namespace {

// The length of the UTF-8 sequence at text[i], 0 when the bytes there are not one.
size_t Utf8Length(const std::string& text, size_t i) {
  const auto b = static_cast<unsigned char>(text[i]);
  const size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

std::string EscapeForDump(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  char buf[12];
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const size_t n = Utf8Length(text, i);
    if (n == 0) {  // not UTF-8: the byte itself
      std::snprintf(buf, sizeof buf, "\\x%02X", b);
      out += buf;
      ++i;
      continue;
    }
    if (n == 1) {
      switch (b) {
        case '\\':
          out += "\\\\";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (b < 0x20 || b == 0x7F) {
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
          } else {
            out += static_cast<char>(b);
          }
      }
      ++i;
      continue;
    }
    // C1 controls (U+0080..U+009F) and the line and paragraph separators break lines, too.
    const bool c1 = n == 2 && b == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    const bool separator = n == 3 && b == 0xE2 && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                           (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xA8;
    if (c1 || separator) {
      const unsigned code = c1 ? static_cast<unsigned char>(text[i + 1])
                               : 0x2000u + (static_cast<unsigned char>(text[i + 2]) - 0x80u);
      std::snprintf(buf, sizeof buf, "\\u%04X", code);
      out += buf;
    } else {
      out.append(text, i, n);
    }
    i += n;
  }
  return out;
}

std::vector<ReceivedRow> ReadReceived(const std::string& databasePath) {
  std::vector<ReceivedRow> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return rows;
  }
  sqlite3_busy_timeout(db, 5000);
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT id, at, service, kind, target, fields, note FROM received "
                         "ORDER BY id",
                         -1, &st, nullptr) == SQLITE_OK) {
    auto text = [st](int col) {
      const auto* p = sqlite3_column_text(st, col);
      return p ? std::string(reinterpret_cast<const char*>(p)) : std::string();
    };
    while (sqlite3_step(st) == SQLITE_ROW) {
      ReceivedRow row;
      row.id = sqlite3_column_int64(st, 0);
      row.at = text(1);
      row.service = text(2);
      row.kind = text(3);
      row.target = text(4);
      const auto list = nlohmann::json::parse(text(5), nullptr, false);
      if (list.is_array())
        for (const auto& pair : list)
          if (pair.is_array() && pair.size() == 2 && pair[0].is_string() && pair[1].is_string())
            row.fields.emplace_back(pair[0].get<std::string>(), pair[1].get<std::string>());
      row.note = text(6);
      rows.push_back(std::move(row));
    }
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return rows;
}

void DumpReceived(const std::string& databasePath, std::ostream& out) {
  for (const auto& row : ReadReceived(databasePath)) {
    out << row.id << '\t' << EscapeForDump(row.at) << '\t' << EscapeForDump(row.service) << '\t'
        << EscapeForDump(row.kind) << '\t' << EscapeForDump(row.target);
    for (const auto& [n, v] : row.fields)
      out << '\t' << EscapeForDump(n) << '=' << EscapeForDump(v);
    if (!row.note.empty()) out << "\t[" << EscapeForDump(row.note) << ']';
    out << '\n';
  }
}

}  // namespace services
