// Searching, paging and picking results in the real window against the reference services.
#include <QTimer>

#include "OnlineViewSupport.h"
#include "RawListener.h"

namespace {

class OnlineView : public OnlineWindowTest {};

TEST_F(OnlineView, NineteenResultsEnableNextAndAnEmptyLaterPageEndsThePaging) {
  StartServices(19);
  TunitMain& w = OpenOnlineView();
  // Before any search the buttons stand as placed, and neither one does anything.
  EXPECT_TRUE(w.btnOLper->Enabled());
  EXPECT_TRUE(w.btnOLnext->Enabled());
  Click(w.btnOLper);
  Click(w.btnOLnext);
  EXPECT_EQ(w.OLPage, 0);
  EXPECT_TRUE(Searches().empty());

  Search(QStringLiteral("song"));
  ASSERT_EQ(w.OLListBox->Count(), 19);
  EXPECT_EQ(Captions().front(), QStringLiteral("Song 01-Singer 01"));
  EXPECT_EQ(Captions().back(), QStringLiteral("Song 19-Singer 19"));
  EXPECT_FALSE(w.btnOLper->Enabled());
  EXPECT_TRUE(w.btnOLnext->Enabled());
  EXPECT_TRUE(w.OLMore);

  Click(w.btnOLnext);
  ASSERT_TRUE(WaitForReply());
  EXPECT_EQ(w.OLPage, 1);
  EXPECT_EQ(w.OLListBox->Count(), 0);
  EXPECT_TRUE(w.btnOLper->Enabled());
  EXPECT_FALSE(w.btnOLnext->Enabled());
  EXPECT_FALSE(w.OLMore);

  Click(w.btnOLper);
  ASSERT_TRUE(WaitForReply());
  EXPECT_EQ(w.OLPage, 0);
  EXPECT_EQ(w.OLListBox->Count(), 19);
  EXPECT_FALSE(w.btnOLper->Enabled());
  EXPECT_TRUE(w.btnOLnext->Enabled());
  EXPECT_EQ(Searches(), (std::vector<std::string>{"query=song&page=0", "query=song&page=1",
                                                  "query=song&page=0"}));
}

TEST_F(OnlineView, EighteenResultsDisableNextAndEnterSearchesAsTheButtonDoes) {
  StartServices(18);
  TunitMain& w = OpenOnlineView();
  w.textSearch->SetText(QStringLiteral("Song 1"));
  w.mainBs->SetFocused(w.textSearch);
  w.mainBs->KeyDown(13, QString(), 0);
  w.mainBs->KeyUp(13, QString(), 0);
  ASSERT_TRUE(WaitForReply());
  EXPECT_EQ(Captions().size(), 9);  // Song 10 … Song 18
  EXPECT_FALSE(w.btnOLnext->Enabled());
  EXPECT_FALSE(w.OLMore);
  EXPECT_EQ(Searches(), std::vector<std::string>{"query=Song%201&page=0"});

  Search(QStringLiteral("song"));
  EXPECT_EQ(w.OLListBox->Count(), 18);
  EXPECT_FALSE(w.btnOLnext->Enabled());
  EXPECT_FALSE(w.btnOLper->Enabled());
  // The text box keeps its text; a click in it selects all of it, so typing replaces it.
  Click(w.textSearch);
  EXPECT_EQ(w.textSearch->Text(), QStringLiteral("song"));
  EXPECT_EQ(w.textSearch->SelText(), QStringLiteral("song"));
}

TEST_F(OnlineView, AResultItemHoldsWhatPickingItNeeds) {
  StartServices(1);
  TunitMain& w = OpenOnlineView();
  Search(QStringLiteral("song"));
  ASSERT_EQ(w.OLListBox->Count(), 1);
  TvxListBoxItem* item = w.OLListBox->ItemByIndex(0);
  EXPECT_FLOAT_EQ(item->Height(), 50);
  EXPECT_EQ(item->Cursor, crHandPoint);
  ASSERT_EQ(item->ChildrenCount(), 5);
  const char* bindings[] = {"olloubtn", "oltitle", "singer", "songname", "url"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(item->Child(i)->BindingName, bindings[i]);
  EXPECT_EQ(item->GetBinding(QStringLiteral("singer")), QStringLiteral("Singer 01"));
  EXPECT_EQ(item->FindBinding(QStringLiteral("singer"))->TagString, QStringLiteral("0:01"));
  EXPECT_EQ(item->GetBinding(QStringLiteral("songname")), QStringLiteral("Song 01"));
  EXPECT_EQ(item->FindBinding(QStringLiteral("songname"))->TagString, QStringLiteral("Album"));
  EXPECT_TRUE(item->GetBinding(QStringLiteral("url"))
                  .startsWith(QString::fromStdString("http://" + SearchHost() + "/tm/music/")));
  for (int i : {0, 2, 3, 4}) EXPECT_FALSE(item->Child(i)->AsVisual()->Visible()) << i;
}

TEST_F(OnlineView, HoverMarksExactlyOneItemAndAnEmptyPartLeavesTheLastMark) {
  StartServices(3);
  TunitMain& w = OpenOnlineView();
  Search(QStringLiteral("song"));
  ASSERT_EQ(w.OLListBox->Count(), 3);
  auto marked = [&] {
    std::vector<int> out;
    for (int i = 0; i < w.OLListBox->Count(); ++i)
      if (w.OLListBox->ItemByIndex(i)
              ->FindBinding(QStringLiteral("olloubtn"))
              ->AsVisual()
              ->Visible())
        out.push_back(i);
    return out;
  };
  Hover(w.OLListBox->ItemByIndex(0));
  Hover(w.OLListBox->ItemByIndex(2));
  EXPECT_EQ(marked(), std::vector<int>{2});
  EXPECT_EQ(w.OLListBox->ItemIndex(), 2);
  EXPECT_EQ(w.OLListBox->Cursor, crHandPoint);
  // Below the last item.
  w.mainBs->MouseMove(ScenePoint(w.OLListBox, QPointF(100, 260)), 0);
  EXPECT_EQ(w.OLListBox->Cursor, crDefault);
  EXPECT_EQ(marked(), std::vector<int>{2});
}

// A service that takes no calls or never answers: the window keeps answering with the busy disc
// turning, and in the end the list is empty, the buttons are as the click left them and no
// message is shown.
TEST_F(OnlineView, AnUnreachableOrSilentServiceLeavesTheListEmptyAndTheWindowAnswering) {
  StartServices(0);
  TunitMain& w = OpenOnlineView();
  RawListener silent;
  silent.NeverAnswer();
  for (const std::string& host : {std::string("127.0.0.1:1"), silent.host()}) {
    SCOPED_TRACE(host);
    UseSearchHost(host);
    w.textSearch->SetText(QStringLiteral("song"));
    Click(w.btnOL);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    if (host != "127.0.0.1:1") {
      EXPECT_TRUE(w.SearchWaiting());
      EXPECT_TRUE(w.DBImageWait->Visible());
      ASSERT_NE(w.FOLWaitTurn, nullptr);
      EXPECT_TRUE(w.FOLWaitTurn->Running());  // the disc turns
      Pump(300);
      EXPECT_GT(ticks, 5);  // the event loop runs while the reply is awaited
    }
    ASSERT_TRUE(WaitForReply());
    EXPECT_FALSE(w.DBImageWait->Visible());
    EXPECT_FALSE(w.FOLWaitTurn->Running());
    EXPECT_EQ(w.OLListBox->Count(), 0);
    EXPECT_FALSE(w.btnOLper->Enabled());
    EXPECT_FALSE(w.btnOLnext->Enabled());
    EXPECT_TRUE(w.OLMore);
    EXPECT_FALSE(w.MsgPop->IsOpen());
    EXPECT_EQ(w.IgnoredExceptions(), 0);
  }
}

TEST_F(OnlineView, ANewSearchDropsTheLateReplyOfTheOneBefore) {
  StartServices(18);
  TunitMain& w = OpenOnlineView();
  FakeSearchService slow(FakeSearchService::Songs(19), 800);
  UseSearchHost(slow.host());
  w.textSearch->SetText(QStringLiteral("song"));
  Click(w.btnOL);
  EXPECT_TRUE(w.SearchWaiting());
  // Page buttons wait for the awaited page.
  UseSearchHost(SearchHost());
  Search(QStringLiteral("song"));
  EXPECT_EQ(w.OLListBox->Count(), 18);
  EXPECT_FALSE(w.btnOLnext->Enabled());
  // The first reply (19 results, which would enable next) arrives and is dropped.
  Pump(1200);
  EXPECT_EQ(w.OLListBox->Count(), 18);
  EXPECT_FALSE(w.btnOLnext->Enabled());
  EXPECT_FALSE(w.OLMore);
  EXPECT_FALSE(w.DBImageWait->Visible());
  EXPECT_FALSE(Captions().contains(QStringLiteral("Late 0-S")));
}

TEST_F(OnlineView, PageButtonsDoNothingWhileAPageIsAwaited) {
  StartServices(0);
  TunitMain& w = OpenOnlineView();
  FakeSearchService slow(FakeSearchService::Songs(19), 300);
  UseSearchHost(slow.host());
  Search(QStringLiteral("x"));
  ASSERT_TRUE(w.btnOLnext->Enabled());
  Click(w.btnOLnext);
  EXPECT_TRUE(w.SearchWaiting());
  Click(w.btnOLnext);
  Click(w.btnOLper);
  EXPECT_EQ(w.OLPage, 1);
  ASSERT_TRUE(WaitForReply());
  EXPECT_EQ(w.OLPage, 1);
  EXPECT_EQ(w.OLListBox->Count(), 19);
  EXPECT_TRUE(w.btnOLper->Enabled());
}

TEST_F(OnlineView, WindowClosedWhileAReplyIsAwaitedDropsTheReply) {
  StartServices(0);
  OpenOnlineView();
  FakeSearchService slow(FakeSearchService::Songs(19), 300);
  UseSearchHost(slow.host());
  window->textSearch->SetText(QStringLiteral("x"));
  Click(window->btnOL);
  window.reset();
  Pump(600);  // the reply comes back to no window
}

// Picking a result stores it with the length its duration gives, whatever the form of the
// duration, and switches to the now-playing view; a song already stored is not stored twice.
TEST_F(OnlineView, PickingAResultStoresItAndSwitchesToThePlayView) {
  StartServices(0);
  FakeSearchService service(R"({"songList":[
    {"name":"晴天","singer":"周杰伦","album":"叶惠美","duration":"4:05","mp3":"http://h/1.mp3"},
    {"name":"Long","singer":"","album":"","duration":"12:34","mp3":"http://h/2.mp3"},
    {"name":"Live","singer":"B","album":"C","duration":"1:02:03","mp3":"http://h/3.mp3"},
    {"name":"None","singer":"B","album":"C","duration":"","mp3":"http://h/4.mp3"}]})");
  TunitMain& w = OpenOnlineView();
  UseSearchHost(service.host());
  Search(QStringLiteral("x"));
  ASSERT_EQ(w.OLListBox->Count(), 4);
  EXPECT_EQ(Captions()[1], QStringLiteral("Long-"));
  auto pick = [&](int index) {
    if (!w.RectangleOL->Visible()) {
      Click(w.btnReturn);
      Click(w.btnSearch);
      PumpAnimation(0.3);
    }
    ASSERT_TRUE(w.RectangleOL->Visible());
    reports.clear();
    Click(w.OLListBox->ItemByIndex(index));
    // Looked at before the loop runs again: the address cannot be played, and the retry two
    // seconds after the failure moves on to the next entry.
    EXPECT_EQ(CurConfig->now_psi, w.musicListBox->Count() - 1);
    EXPECT_EQ(reports, (std::vector<std::pair<std::string, std::string>>{{"click", "OLListBox"}}));
    EXPECT_TRUE(w.OLListBox->Enabled());
    EXPECT_TRUE(w.RectanglePlay->Visible());
    EXPECT_FALSE(w.RectangleOL->Visible());
    EXPECT_FALSE(w.LayoutTopcenterSearch->Visible());
  };
  for (int i : {0, 1, 2, 3, 0}) pick(i);
  const TSongList stored = GetSongList(0);
  ASSERT_EQ(stored.size(), 4u);
  EXPECT_EQ(stored[0].s_title, "晴天");
  EXPECT_EQ(stored[0].s_singer, "周杰伦");
  EXPECT_EQ(stored[0].s_artist, "叶惠美");
  EXPECT_EQ(stored[0].s_url, "http://h/1.mp3");
  EXPECT_EQ(stored[0].s_path, "");
  std::vector<int> lengths;
  for (const TTSL& song : stored) lengths.push_back(song.s_ltime);
  EXPECT_EQ(lengths, (std::vector<int>{245, 754, 3723, 0}));
  // Each pick is the last entry of the play list and the current one; its item carries the row
  // id of its song (the second pick of a stored song that row's id) and plays from the address.
  ASSERT_EQ(w.musicListBox->Count(), 5);
  std::vector<int64_t> ids;
  for (int i = 0; i < 5; ++i) ids.push_back(w.musicListBox->ItemByIndex(i)->Tag);
  EXPECT_EQ(ids, (std::vector<int64_t>{stored[0].s_id, stored[1].s_id, stored[2].s_id,
                                       stored[3].s_id, stored[0].s_id}));
  EXPECT_EQ(w.musicListBox->ItemByIndex(4)->TagString, QStringLiteral("http://h/1.mp3"));
  // A right-button release picks nothing.
  Click(w.btnReturn);
  Click(w.btnSearch);
  PumpAnimation(0.3);
  const QPointF p = ScenePoint(w.OLListBox->ItemByIndex(1));
  w.mainBs->MouseDown(p, mbRight, 0);
  w.mainBs->MouseUp(p, mbRight, 0);
  EXPECT_TRUE(w.RectangleOL->Visible());
}

// A result whose address leads nowhere: the entry and its row stay, the window shows nothing and
// goes on, and the controller schedules its retry.
TEST_F(OnlineView, AResultThatFailsToPlayStaysListedAndIsRetried) {
  StartServices(0);
  FakeSearchService service(FakeSearchService::Songs(1));
  TunitMain& w = OpenOnlineView();
  UseSearchHost(service.host());
  Search(QStringLiteral("x"));
  ASSERT_EQ(w.OLListBox->Count(), 1);
  Click(w.OLListBox->ItemByIndex(0));
  EXPECT_TRUE(PumpUntil([] { return PlayAgainPending.load(); }));
  EXPECT_NE(w.Engine()->EngineState(), psPlaying);
  EXPECT_EQ(w.musicListBox->Count(), 1);
  EXPECT_EQ(GetSongList(0).size(), 1u);
  EXPECT_FALSE(w.MsgPop->IsOpen());
  EXPECT_EQ(w.IgnoredExceptions(), 0);
  EXPECT_TRUE(w.OLListBox->Enabled());
}

}  // namespace
