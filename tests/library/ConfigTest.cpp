#include "LibraryTestSupport.h"

TEST_F(LibraryTest, WriteConfigThenReadConfigGivesTheSameNineValues) {
  InitOrFail();
  TTSC written;
  written.con_volv = 37;
  written.con_dls = -5;
  written.con_ar = 2147483647;
  written.con_eq = -2147483647 - 1;
  written.skin_name = "7";
  written.skin_path = "O'Brien's ''skin'' \\ \"x\" %_ 皮肤";
  written.now_psi = 12;
  written.sort = 11;
  written.circle = 1002;
  WriteConfig(&written);

  TTSC* read = ReadConfig();
  EXPECT_EQ(read->con_volv, 37);
  EXPECT_EQ(read->con_dls, -5);
  EXPECT_EQ(read->con_ar, 2147483647);
  EXPECT_EQ(read->con_eq, -2147483647 - 1);
  EXPECT_EQ(read->skin_name, "7");
  EXPECT_EQ(read->skin_path, written.skin_path);
  EXPECT_EQ(read->now_psi, 12);
  EXPECT_EQ(read->sort, 11);
  EXPECT_EQ(read->circle, 1002);

  // The single row is updated in place, not added to.
  EXPECT_EQ(RawQuery(DatabasePath(), "select count(*) from korvax_config")[0][0], "1");
}

TEST_F(LibraryTest, ReadConfigReplacesTheLiveRecord) {
  InitOrFail();
  TTSC* first = ReadConfig();
  first->con_volv = 5;  // changed in memory only
  TTSC* second = ReadConfig();
  EXPECT_EQ(second, CurConfig.get());
  EXPECT_EQ(second->con_volv, 100);
  WriteConfig(nullptr);  // nothing to write, nothing happens
  EXPECT_EQ(ReadConfig()->con_volv, 100);
}

TEST_F(LibraryTest, MissingConfigRowIsRecreatedWithDefaults) {
  InitOrFail();
  RawExec(DatabasePath(), "delete from korvax_config");
  TTSC* read = ReadConfig();
  EXPECT_EQ(read->con_volv, 100);
  EXPECT_EQ(read->skin_name, "1");
  EXPECT_EQ(read->sort, 10);
  EXPECT_EQ(read->circle, 1003);
  EXPECT_EQ(RawQuery(DatabasePath(), "select count(*) from korvax_config")[0][0], "1");

  // And the row is there for the write at exit.
  read->con_volv = 64;
  WriteConfig(read);
  EXPECT_EQ(ReadConfig()->con_volv, 64);
}

TEST_F(LibraryTest, DamagedIntegerInConfigReadsAsZero) {
  InitOrFail();
  RawExec(DatabasePath(),
          "update korvax_config set con_volv=NULL, con_sort='eleven', con_circle=1e40, "
          "con_psi=99999999999, skin_name=NULL");
  TTSC* read = ReadConfig();
  EXPECT_EQ(read->con_volv, 0);
  EXPECT_EQ(read->sort, 0);
  EXPECT_EQ(read->circle, 0);
  EXPECT_EQ(read->now_psi, 0);  // does not fit 32 bits
  EXPECT_EQ(read->skin_name, "");
  EXPECT_EQ(read->con_eq, 0);
}
