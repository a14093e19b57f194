// Adding songs through the real window: the add dialog, a dropped folder, the command line and
// the hand-off, and a large import that leaves the window answering.
#include <unistd.h>
#include "BuildPaths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <map>

#include "WindowTestSupport.h"

namespace {

QString Fixture(const char* name) {
  return QString::fromStdString(melvo::build::FixturesDir() + "/") + QString::fromUtf8(name);
}

class Import : public WindowTest {
 protected:
  void TearDown() override {
    // No import outlives its test: the next one has other folders.
    if (window) {
      EXPECT_TRUE(WaitForImport());
    }
    TunitMain::SetAddDialogForTesting(nullptr);
    WindowTest::TearDown();
  }
  // A folder of the test.
  QString MakeFolder(const QString& relative) {
    const QString dir = home_.path() + "/" + relative;
    QDir().mkpath(dir);
    return dir;
  }
  // An untagged copy of a tone: a hard link, so no space is taken and it is a file of its own
  // (a folder's search lists the file behind symbolic links once).
  QString Copy(const QString& to, const char* fixture = "tone.mp3") {
    QDir().mkpath(QFileInfo(to).path());
    const QByteArray from = Fixture(fixture).toUtf8(), dest = to.toUtf8();
    if (link(from.constData(), dest.constData()) != 0) QFile::copy(Fixture(fixture), to);
    return to;
  }
  void AnswerAddDialog(QStringList files, QString folder = QString()) {
    TunitMain::SetAddDialogForTesting([files, folder](TunitMain&) {
      TunitMain::TAddChoice choice;
      choice.Accepted = true;
      choice.Files = files;
      choice.Folder = folder;
      return choice;
    });
  }
  // Imports probe every file: a slow machine may take a while.
  bool WaitForImport(int seconds = 60) {
    QElapsedTimer guard;
    guard.start();
    while (window->ImportRunning()) {
      if (guard.elapsed() > seconds * 1000) return false;
      QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
  }
  TvxListBoxItem* Item(int i) { return window->musicListBox->ItemByIndex(i); }
  QString Title(int i) { return Item(i)->GetBinding("title"); }
  // Each entry's id is the row of a stored song with the entry's title and location.
  void ExpectIdsAreTheirRows() {
    std::map<int, TTSL> rows;
    for (TTSL& s : GetSongList(12)) rows[s.s_id] = s;
    for (int i = 0; i < window->musicListBox->Count(); ++i) {
      const int id = int(Item(i)->Tag);
      if (id == 0) continue;
      ASSERT_TRUE(rows.count(id)) << "entry " << i << " names no row";
      EXPECT_EQ(QString::fromStdString(rows[id].s_title), Title(i)) << "entry " << i;
      EXPECT_EQ(QString::fromStdString(rows[id].s_path), Item(i)->TagString) << "entry " << i;
    }
  }
};

TEST_F(Import, ChosenFilesBecomeEntriesAndRowsInTheDialogsOrder) {
  TunitMain& w = Open();
  ASSERT_TRUE(w.imgTip->Visible());
  const QString a = Copy(MakeFolder("m") + "/zeta.mp3");
  const QString b = Copy(MakeFolder("m") + "/alpha.mp3", "tagged_utf16.mp3");
  const QString c = Copy(MakeFolder("m") + "/live.2013.mp3");
  AnswerAddDialog({a, b, c});
  w.btnAddClick(w.btnAdd);
  EXPECT_FALSE(w.imgTip->Visible());
  EXPECT_TRUE(Reported("click", "btnAdd"));
  ASSERT_TRUE(WaitForImport());
  ASSERT_EQ(w.musicListBox->Count(), 3);
  EXPECT_EQ(Title(0), "zeta");
  EXPECT_EQ(Title(1), "晴天");
  EXPECT_EQ(Item(1)->GetBinding("songer"), "周杰伦");
  EXPECT_EQ(Title(2), "live.2013");
  EXPECT_EQ(Item(2)->GetBinding("songer"), "未知歌手");
  EXPECT_EQ(Item(0)->TagString, a);
  const TSongList rows = GetSongList(12);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].s_artist, "叶惠美");
  EXPECT_EQ(rows[1].s_singer, "周杰伦");
  EXPECT_EQ(rows[0].s_ltime, 2);
  ExpectIdsAreTheirRows();
  EXPECT_EQ(ImportList.size(), 3u);
  EXPECT_FALSE(w.imgTip->Visible());
}

TEST_F(Import, ACancelledDialogOnAnEmptyListShowsTheInvitationAgain) {
  TunitMain& w = Open();
  TunitMain::SetAddDialogForTesting([](TunitMain&) { return TunitMain::TAddChoice{}; });
  w.btnAddClick(w.imgTip);
  EXPECT_TRUE(w.imgTip->Visible());
  EXPECT_FALSE(Reported("click", "btnAdd"));
  EXPECT_EQ(w.musicListBox->Count(), 0);
}

TEST_F(Import, EntryIdsStayTheirSongsRowsWhenAnotherSongIsStoredMeanwhile) {
  TTSL old;
  old.s_title = "already here";
  old.s_path = "/x/old.mp3";
  AddSongs({old});
  TunitMain& w = Open();
  QStringList files;
  for (int i = 0; i < 40; ++i) files << Copy(MakeFolder("m") + QStringLiteral("/t%1.mp3").arg(i));
  AnswerAddDialog(files);
  w.btnAddClick(w.btnAdd);
  // An online song stored while the batch is probed.
  TTSL online;
  online.s_title = "online";
  online.s_url = "http://music.example/o.mp3";
  AddSongs({online});
  ASSERT_TRUE(WaitForImport());
  ASSERT_EQ(w.musicListBox->Count(), 41);
  ExpectIdsAreTheirRows();
  // Deleting an imported entry's row deletes its own song, never another.
  DeleteSong(int(Item(1)->Tag));
  std::vector<std::string> titles;
  for (const TTSL& s : GetSongList(12)) titles.push_back(s.s_title);
  EXPECT_EQ(titles.size(), 41u);
  EXPECT_EQ(std::count(titles.begin(), titles.end(), "t0"), 0);
  EXPECT_EQ(std::count(titles.begin(), titles.end(), "online"), 1);
  EXPECT_EQ(std::count(titles.begin(), titles.end(), "already here"), 1);
}

TEST_F(Import, AStoredSongInTheBatchKeepsLaterOnesOutOfTheLibraryButNotOutOfTheList) {
  TunitMain& w = Open();
  const QString first = Copy(MakeFolder("m") + "/first.mp3");
  AnswerAddDialog({first});
  w.btnAddClick(w.btnAdd);
  ASSERT_TRUE(WaitForImport());
  const QString before = Copy(MakeFolder("m") + "/before.mp3");
  const QString after = Copy(MakeFolder("m") + "/after.mp3");
  AnswerAddDialog({before, first, after});
  w.btnAddClick(w.btnAdd);
  ASSERT_TRUE(WaitForImport());
  // "first" is found again (the current entry points at it); "after" shows but has no row.
  ASSERT_EQ(w.musicListBox->Count(), 3);
  EXPECT_EQ(Title(0), "first");
  EXPECT_EQ(Title(1), "before");
  EXPECT_EQ(Title(2), "after");
  EXPECT_EQ(CurConfig->now_psi, 0);
  EXPECT_EQ(Item(2)->Tag, 0);
  EXPECT_EQ(GetSongList(12).size(), 2u);
  ExpectIdsAreTheirRows();
}

TEST_F(Import, ADroppedFolderAddsItsAudioFilesSortedByPathThroughEverySubfolder) {
  TunitMain& w = Open();
  const QString root = MakeFolder("drop");
  Copy(root + "/b/two.mp3");
  Copy(root + "/a/c/one.wav", "tone.wav");
  const QByteArray zero = Copy(root + "/a/zero.MP3").toUtf8();
  Copy(root + "/notes.txt");
  Copy(root + "/.hidden/ghost.mp3");
  // Links to a folder above and to a listed file add nothing.
  ASSERT_EQ(symlink("..", (root + "/b/up").toUtf8().constData()), 0);
  ASSERT_EQ(symlink(zero.constData(), (root + "/alias.mp3").toUtf8().constData()), 0);
  const QString loose = Copy(MakeFolder("other") + "/loose.mp3");
  w.ImportDropped({loose, root, home_.path() + "/missing.mp3", Copy(root + "/../cover.jpg")});
  ASSERT_TRUE(WaitForImport());
  std::vector<QString> titles;
  for (int i = 0; i < w.musicListBox->Count(); ++i) titles.push_back(Title(i));
  EXPECT_EQ(titles, (std::vector<QString>{"loose", "one", "zero", "two"}));
  EXPECT_FALSE(w.imgTip->Visible());
  ExpectIdsAreTheirRows();
}

TEST_F(Import, AFileWhoseNameIsNotUtf8IsLeftOutNotStoredUnderAnotherName) {
  TunitMain& w = Open();
  const QString root = MakeFolder("latin1");
  Copy(root + "/good.mp3");
  const QByteArray bad = QFile::encodeName(root) + "/caf\xe9.mp3";
  ASSERT_EQ(link(Fixture("tone.mp3").toUtf8().constData(), bad.constData()), 0);
  w.ImportDropped({root});
  ASSERT_TRUE(WaitForImport());
  ASSERT_EQ(w.musicListBox->Count(), 1);
  EXPECT_EQ(Title(0), "good");
  ExpectIdsAreTheirRows();
}

TEST_F(Import, TheAddDialogCanTakeAWholeFolder) {
  TunitMain& w = Open();
  const QString root = MakeFolder("album");
  Copy(root + "/02.mp3");
  Copy(root + "/01.mp3");
  AnswerAddDialog({}, root);
  w.btnAddClick(w.btnAdd);
  ASSERT_TRUE(WaitForImport());
  ASSERT_EQ(w.musicListBox->Count(), 2);
  EXPECT_EQ(Title(0), "01");
  EXPECT_EQ(Title(1), "02");
}

TEST_F(Import, APathOnTheCommandLineIsImportedAndPlayed) {
  const QString path = Copy(MakeFolder("my music") + "/a song.mp3");
  TTSL other;
  other.s_title = "other";
  other.s_path = "/x/other.mp3";
  AddSongs({other});
  // The desktop hands a path with spaces over as several arguments.
  TunitMain& w = Open(path.split(' '));
  ASSERT_TRUE(PumpUntil([&] { return w.musicListBox->Count() == 2; }));
  EXPECT_EQ(Title(1), "a song");
  EXPECT_EQ(CurConfig->now_psi, 1);
  EXPECT_FALSE(w.imgTip->Visible());
  ExpectIdsAreTheirRows();
}

TEST_F(Import, AHandedOverPathPlaysAndBringsTheHiddenWindowBack) {
  const QString first = Copy(MakeFolder("m") + "/first.mp3");
  const QString handed = Copy(MakeFolder("m") + "/handed.mp3");
  AddSongs({});
  TunitMain& w = Open();
  AnswerAddDialog({first});
  w.btnAddClick(w.btnAdd);
  ASSERT_TRUE(WaitForImport());
  w.hide();  // in the tray
  w.HandOffReceived(handed);
  EXPECT_TRUE(w.isVisible());
  ASSERT_TRUE(PumpUntil([&] { return w.musicListBox->Count() == 2; }));
  EXPECT_EQ(CurConfig->now_psi, 1);
  // The same path again plays the entry it already has.
  CurConfig->now_psi = 0;
  w.HandOffReceived(handed);
  ASSERT_TRUE(PumpUntil([&] { return CurConfig->now_psi == 1; }));
  EXPECT_EQ(w.musicListBox->Count(), 2);
  // An empty hand-off (the program started again) only brings the window forward.
  w.hide();
  w.HandOffReceived(QString());
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.musicListBox->Count(), 2);
}

TEST_F(Import, TwoThousandFilesArriveInPiecesWhileTheWindowKeepsAnswering) {
  TunitMain& w = Open();
  const QString dir = MakeFolder("many");
  QStringList files;
  for (int i = 0; i < 2000; ++i)
    files << Copy(dir + QStringLiteral("/%1.mp3").arg(i, 4, 10, QChar('0')));
  AnswerAddDialog(files);
  // A timer of the window's thread: the longest time between its ticks is the longest time the
  // window could not answer.
  QElapsedTimer sinceTick;
  qint64 longestGap = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout,
                   [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
  bool progressSeen = false, partlyListed = false;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    const int n = w.musicListBox->Count();
    if (n > 0 && n < 2000) partlyListed = true;
    for (TvxObject* c : w.RectangleRoot->Children())
      if (auto* t = dynamic_cast<TvxText*>(c); t && t->Visible() && t->Text().contains("2000"))
        progressSeen = true;
  });
  w.btnAddClick(w.btnAdd);
  sinceTick.start();
  ticker.start(10);
  watcher.start(5);
  ASSERT_TRUE(WaitForImport(300));
  ticker.stop();
  watcher.stop();
  EXPECT_EQ(w.musicListBox->Count(), 2000);
  EXPECT_EQ(GetSongList(12).size(), 2000u);
  EXPECT_EQ(Title(0), "0000");
  EXPECT_EQ(Title(1999), "1999");
  EXPECT_TRUE(partlyListed) << "entries come while the import runs";
  EXPECT_TRUE(progressSeen);
  // A generous bound: the point is that the window is never held for the whole import.
  EXPECT_LT(longestGap, 1000);
  ExpectIdsAreTheirRows();
}

}  // namespace
