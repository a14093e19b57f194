#include <sqlite3.h>

#include <chrono>
#include <latch>
#include <thread>

#include "LibraryTestSupport.h"
#include "library/SQLiteDb.h"

TEST_F(LibraryTest, ResultColumnsAreFoundByNameWithoutCaseAndNullReadsEmpty) {
  InitOrFail();
  TSQLiteDatabase db(DatabasePath());
  TSQLiteTable table =
      db.GetTable("select 1 as Number, NULL as Missing_Value, 'x''y' as Text, '12a' as Bad");
  ASSERT_EQ(table.RowCount(), 1u);
  EXPECT_EQ(table.FieldAsInteger("NUMBER"), 1);
  EXPECT_EQ(table.FieldAsString("missing_value"), "");
  EXPECT_EQ(table.FieldAsInteger("MISSING_value"), 0);
  EXPECT_EQ(table.FieldAsString("text"), "x'y");
  EXPECT_EQ(table.FieldAsInteger("bad"), 0);
  EXPECT_THROW(table.FieldAsString("missing"), EDatabaseError);
  table.Next();
  EXPECT_TRUE(table.Eof());
  EXPECT_THROW(table.FieldAsString("Number"), EDatabaseError);
}

TEST_F(LibraryTest, DecimalConversionAcceptsOnlyWholeNumbersInRange) {
  EXPECT_EQ(DecimalToInt32("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(DecimalToInt32("2147483648"), 0);
  EXPECT_EQ(DecimalToInt64("2612312359"), 2612312359);
  for (const char* bad : {"", " 1", "1 ", "+1", "1.5", "0x10", "99999999999999999999"}) {
    EXPECT_EQ(DecimalToInt64(bad), 0) << bad;
  }
  EXPECT_EQ(QuotedSQLText("'a''b'"), "''a''''b''");
}

TEST_F(LibraryTest, FailedStatementRaisesSQLiteMessageAndReleasesTheFile) {
  InitOrFail();
  try {
    TSQLiteDatabase db(DatabasePath());
    db.ExecSQL("begin immediate");
    db.ExecSQL("insert into no_such_table values(1)");
    ADD_FAILURE() << "no error raised";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "no such table: no_such_table");
  }
  EXPECT_TRUE(NobodyHoldsALock(DatabasePath()));

  RawExec(DatabasePath(),
          "create trigger refuse before insert on korvax_lst "
          "begin select raise(abort, 'refused'); end");
  EXPECT_THROW(AddSongs({MakeSong("a", "b", "c")}), EDatabaseError);
  EXPECT_TRUE(NobodyHoldsALock(DatabasePath()));
}

TEST_F(LibraryTest, FileLockedLongerThanTheWaitRaisesAndIsKept) {
  InitOrFail();
  AddSongs({MakeSong("kept", "a", "s")});
  std::latch locked(1);
  std::latch done(1);
  std::thread holder([&] {
    sqlite3* db = nullptr;
    sqlite3_open(DatabasePath().c_str(), &db);
    sqlite3_exec(db, "begin exclusive", nullptr, nullptr, nullptr);
    locked.count_down();
    done.wait();
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  });
  locked.wait();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(GetSongList(10), EDatabaseError);
  EXPECT_GE(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(TSQLiteDatabase::kBusyTimeoutMs));
  EXPECT_TRUE(InitDatabase());
  done.count_down();
  holder.join();
  EXPECT_EQ(GetSongList(10).size(), 1u);
}

TEST_F(LibraryTest, AddTimeIsYearMonthDayHourMinuteInLocalTime) {
  const char* savedTz = std::getenv("TZ");
  const std::string saved = savedTz ? savedTz : "";
  setenv("TZ", "Asia/Shanghai", 1);
  tzset();
  // 8 December 2013 14:05 in Shanghai is 06:05 UTC.
  std::tm utc{};
  utc.tm_year = 113;
  utc.tm_mon = 11;
  utc.tm_mday = 8;
  utc.tm_hour = 6;
  utc.tm_min = 5;
  utc.tm_sec = 59;
  EXPECT_EQ(AddTimeOf(timegm(&utc)), 1312081405);
  utc.tm_year = 125;  // 2025: beyond 32 bits
  utc.tm_hour = 15;   // 23:05 local
  EXPECT_EQ(AddTimeOf(timegm(&utc)), 2512082305);
  if (savedTz)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}
