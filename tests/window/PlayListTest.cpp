// The play list through the real window: its entries, loading, finding an entry again, the mouse,
// deleting, clearing, sorting and the local search box.
#include <QFile>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

#include "WindowTestSupport.h"

namespace {

TTSL Song(const std::string& title, const std::string& singer, int64_t addtime = 1312081405,
          const std::string& path = "") {
  TTSL s;
  s.s_title = title;
  s.s_singer = singer;
  s.s_artist = "album of " + title;
  s.s_path = path.empty() ? "/music/" + title + ".mp3" : path;
  s.s_ltime = 200;
  s.s_addtime = addtime;
  return s;
}

class PlayList : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    StoreConfig(TTSC{});
  }
  std::vector<int> Store(const TSongList& songs) { return AddSongs(songs); }

  TvxListBoxItem* Item(int i) { return window->musicListBox->ItemByIndex(i); }
  QString Part(int i, const char* name) { return Item(i)->GetBinding(QString::fromUtf8(name)); }
  // Answers the confirmation popup that the next handler opens.
  void Answer(int result) {
    QTimer::singleShot(0, window.get(), [this, result] { window->MsgPop->SetModalResult(result); });
  }
  // The list's coordinates of entry i's middle (the list scrolled to the top).
  QPointF ListPoint(int i) { return QPointF(100, 2 + 55 * i + 30); }
  // The centre of entry i in scene coordinates, for the mouse.
  QPointF ScenePointOf(int i) {
    return window->GuiMain->LayerToScene()->map(
        window->musicListBox->LocalToLayer().map(ListPoint(i)));
  }
  void ClickEntry(int i, TvxMouseButton button = mbLeft) {
    const QPointF p = ScenePointOf(i);
    window->mainBs->MouseMove(p, 0);
    window->mainBs->MouseDown(p, button, button == mbLeft ? ssLeft : ssRight);
    window->mainBs->MouseUp(p, button, 0);
  }
  bool DeleteButtonShown(int i) { return Item(i)->FindBinding("loubtn")->AsVisual()->Visible(); }
  std::vector<std::string> StoredTitles() {
    std::vector<std::string> titles;
    for (const TTSL& s : GetSongList(12)) titles.push_back(s.s_title);
    return titles;
  }
  std::vector<QString> Titles() {
    std::vector<QString> titles;
    for (int i = 0; i < window->musicListBox->Count(); ++i) titles.push_back(Part(i, "title"));
    return titles;
  }
};

TEST_F(PlayList, AnEmptyLibraryShowsTheInvitationAndNoEntries) {
  TunitMain& w = Open();
  EXPECT_EQ(w.musicListBox->Count(), 0);
  EXPECT_TRUE(w.imgTip->Visible());
}

TEST_F(PlayList, EntriesCarryTheirSongTheNamedPartsAndPlaceholders) {
  TTSL online = Song("在线", "歌手");
  online.s_path.clear();
  online.s_url = "http://music.example/a.mp3";
  const std::vector<int> ids = Store({Song("晴天", "周杰伦"), Song("", ""), online});
  ASSERT_EQ(ids.size(), 3u);
  TunitMain& w = Open();
  ASSERT_EQ(w.musicListBox->Count(), 3);
  EXPECT_FALSE(w.imgTip->Visible());

  TvxListBoxItem* first = Item(0);
  EXPECT_EQ(first->Tag, ids[0]);
  EXPECT_EQ(first->TagString, "/music/晴天.mp3");
  EXPECT_FLOAT_EQ(first->Height(), 50);
  EXPECT_FLOAT_EQ(first->Padding().Top, 5);
  EXPECT_TRUE(first->DragDisableHighlight);
  EXPECT_FALSE(first->HitTest());
  EXPECT_EQ(Part(0, "title"), "晴天");
  EXPECT_EQ(Part(0, "songer"), "周杰伦");
  // Parts are found without regard to case.
  EXPECT_EQ(Part(0, "Caption"), "晴天 - 周杰伦");
  auto* caption = dynamic_cast<TvxText*>(first->FindBinding("caption"));
  ASSERT_NE(caption, nullptr);
  EXPECT_FALSE(caption->Visible());
  EXPECT_EQ(caption->TagString, "晴天");
  EXPECT_EQ(caption->Hint, "晴天 - 周杰伦");
  auto* back = dynamic_cast<TvxRectangle*>(first->FindBinding("backcolor"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Fill().Color(), 0u);
  auto* state = dynamic_cast<TvxImage*>(first->FindBinding("playState"));
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->Tag, 0);
  auto* lou = dynamic_cast<TvxLayout*>(first->FindBinding("loubtn"));
  ASSERT_NE(lou, nullptr);
  EXPECT_FALSE(lou->Visible());
  ASSERT_EQ(lou->ChildrenCount(), 1);
  auto* del = dynamic_cast<TvxBitmapButton*>(lou->Child(0));
  ASSERT_NE(del, nullptr);
  EXPECT_EQ(del->Resource(), "btnStyleBlack");
  EXPECT_EQ(del->Hint, "删除歌曲");
  EXPECT_FALSE(del->Bitmap().IsEmpty());

  // A song without title and singer shows the placeholders everywhere.
  EXPECT_EQ(Part(1, "title"), "未知歌曲");
  EXPECT_EQ(Part(1, "songer"), "未知歌手");
  EXPECT_EQ(Part(1, "caption"), "未知歌曲 - 未知歌手");
  EXPECT_EQ(Item(1)->FindBinding("caption")->TagString, "未知歌曲");
  // An online song is played from its address.
  EXPECT_EQ(Item(2)->TagString, "http://music.example/a.mp3");
}

TEST_F(PlayList, LoadingFollowsTheConfiguredSort) {
  Store(
      {Song("b", "Zhang", 1401010000), Song("a", "Li", 1301010000), Song("c", "Wang", 1501010000)});
  TTSC bySinger;
  bySinger.sort = 11;
  StoreConfig(bySinger);
  Open();
  EXPECT_EQ(Titles(), (std::vector<QString>{"b", "c", "a"}));
  window.reset();
  TTSC byTime;
  StoreConfig(byTime);
  Open();
  EXPECT_EQ(Titles(), (std::vector<QString>{"a", "b", "c"}));
}

TEST_F(PlayList, GetSongInfoFindsAnEntryByTitleAndSingerOrAppendsOne) {
  Store({Song("one", "A"), Song("two", "B"), Song("three", "C")});
  TunitMain& w = Open();
  CurConfig->now_psi = 0;
  TTSL again = Song("two", "B");
  again.s_artist = "another album";
  w.GetSongInfo(&again, 99);
  EXPECT_EQ(w.musicListBox->Count(), 3);
  EXPECT_EQ(CurConfig->now_psi, 1);

  TTSL fresh = Song("four", "D");
  w.GetSongInfo(&fresh, 42);
  ASSERT_EQ(w.musicListBox->Count(), 4);
  EXPECT_EQ(Item(3)->Tag, 42);
  EXPECT_EQ(Item(3)->TagString, "/music/four.mp3");
  EXPECT_EQ(CurConfig->now_psi, 1);

  // A song without a singer is found again under the placeholder its entry shows.
  TTSL untagged = Song("five", "");
  w.GetSongInfo(&untagged, 43);
  w.GetSongInfo(&untagged, 44);
  ASSERT_EQ(w.musicListBox->Count(), 5);
  EXPECT_EQ(Item(4)->Tag, 43);
  EXPECT_EQ(CurConfig->now_psi, 4);
}

TEST_F(PlayList, HoveringShowsOneDeleteButtonAndTheHandAndSelectsTheEntry) {
  Store({Song("one", "A"), Song("two", "B"), Song("three", "C")});
  TunitMain& w = Open();
  w.mainBs->MouseMove(ScenePointOf(1), 0);
  EXPECT_TRUE(DeleteButtonShown(1));
  EXPECT_EQ(w.musicListBox->ItemIndex(), 1);
  EXPECT_EQ(w.musicListBox->Cursor, crHandPoint);
  w.mainBs->MouseMove(ScenePointOf(2), 0);
  EXPECT_FALSE(DeleteButtonShown(1));
  EXPECT_TRUE(DeleteButtonShown(2));
  EXPECT_EQ(w.musicListBox->ItemIndex(), 2);
  // Below the entries: the arrow, and the last button stays.
  w.musicListBoxMouseMove(w.musicListBox, 0, 100, 250, 0, 0);
  EXPECT_EQ(w.musicListBox->Cursor, crDefault);
  EXPECT_TRUE(DeleteButtonShown(2));
}

TEST_F(PlayList, ALeftClickMakesTheEntryCurrentAndShowsTheNowPlayingView) {
  Store({Song("one", "A"), Song("two", "B"), Song("three", "C")});
  TunitMain& w = Open();
  // An orange search mark goes with the next click.
  dynamic_cast<TvxRectangle*>(Item(0)->FindBinding("backcolor"))->Fill().SetColor(0xFFFFA500);
  ClickEntry(2, mbRight);
  EXPECT_FALSE(Reported("click", "musicListBox"));
  EXPECT_FALSE(w.RectanglePlay->Visible());
  ASSERT_TRUE(w.pmMusic->isVisible()) << "the list's context menu";
  EXPECT_TRUE(w.NDelete->isEnabled());
  w.pmMusic->hide();

  ClickEntry(2);
  EXPECT_TRUE(Reported("click", "musicListBox"));
  EXPECT_EQ(CurConfig->now_psi, 2);
  EXPECT_TRUE(w.RectanglePlay->Visible());
  EXPECT_FALSE(w.RectangleList->Visible());
  EXPECT_TRUE(w.musicListBox->Enabled());
  EXPECT_EQ(dynamic_cast<TvxRectangle*>(Item(0)->FindBinding("backcolor"))->Fill().Color(), 0u);
}

TEST_F(PlayList, TheContextMenuOffersAddingAndSortingAnywhereAndDeletingOverAnEntry) {
  Store({Song("one", "A")});
  TunitMain& w = Open();
  w.musicListBoxMouseUp(w.musicListBox, mbRight, 0, 100, 250);
  ASSERT_TRUE(w.pmMusic->isVisible());
  EXPECT_FALSE(w.NDelete->isEnabled());
  w.pmMusic->hide();
  bool asked = false;
  TunitMain::SetAddDialogForTesting([&](TunitMain&) {
    asked = true;
    return TunitMain::TAddChoice{};
  });
  w.NAdd->trigger();
  TunitMain::SetAddDialogForTesting(nullptr);
  EXPECT_TRUE(asked);
}

TEST_F(PlayList, ClearingAsksThenEmptiesListAndLibrary) {
  Store({Song("one", "A"), Song("two", "B")});
  TunitMain& w = Open();
  CurConfig->now_psi = 1;
  w.musicProgress->SetValue(40);
  Answer(mrNo);
  w.btnClearlistClick(nullptr);
  EXPECT_EQ(w.musicListBox->Count(), 2);
  EXPECT_EQ(StoredTitles().size(), 2u);
  EXPECT_EQ(w.labelDel->Text(), "是否清空音乐列表");

  Answer(mrYes);
  w.btnClearlistClick(nullptr);
  EXPECT_TRUE(Reported("click", "btnClearlist"));
  EXPECT_EQ(w.musicListBox->Count(), 0);
  EXPECT_TRUE(StoredTitles().empty());
  EXPECT_FLOAT_EQ(w.musicProgress->Value(), 0);
  EXPECT_TRUE(w.imgTip->Visible());
  EXPECT_EQ(w.Engine()->EngineState(), psStopped);
  EXPECT_EQ(CurConfig->now_psi, 1);
}

TEST_F(PlayList, SortingReloadsInTheChosenOrderAndKeepsTheIndex) {
  Store(
      {Song("b", "Zhang", 1401010000), Song("a", "Li", 1301010000), Song("c", "Wang", 1501010000)});
  TunitMain& w = Open();
  CurConfig->now_psi = 2;
  w.NSingerSort->trigger();
  EXPECT_EQ(CurConfig->sort, 11);
  EXPECT_EQ(Titles(), (std::vector<QString>{"b", "c", "a"}));
  EXPECT_EQ(CurConfig->now_psi, 2);
  w.NTimeSort->trigger();
  EXPECT_EQ(CurConfig->sort, 10);
  EXPECT_EQ(Titles(), (std::vector<QString>{"a", "b", "c"}));
  EXPECT_FALSE(Reported("click", "NTimeSort"));
}

// Entries e0 … e(n-1) in list-loop mode, entry `current` current and under way. What plays
// afterwards is the controller's: these tests see which index it is handed.
class Deleting : public PlayList {
 protected:
  TunitMain& OpenWith(int entries, int current, bool underWay = true) {
    TSongList songs;
    for (int i = 0; i < entries; ++i) {
      std::string name =
          "e";  // appended: "e" + to_string warns -Wrestrict in GCC 12 (a false alarm)
      name += std::to_string(i);
      songs.push_back(Song(name, "S"));
    }
    Store(songs);
    TTSC config;
    config.circle = 1001;
    config.now_psi = current;
    StoreConfig(config);
    TunitMain& w = Open();
    CurConfig->now_psi = current;
    w.musicProgress->SetValue(underWay ? 30 : 0);
    TunitMain::SetHandlerProbe([this](const char* name) {
      const std::string n = name;
      if (n == "btnNextClick" || n == "PlaySelected") handed.emplace_back(n, CurConfig->now_psi);
    });
    return w;
  }
  // Deletes entry i as its delete button does: hovered (selected), then confirmed.
  void Delete(int i) {
    window->musicListBox->SetItemIndex(i);
    Answer(mrYes);
    window->NDeleteClick(nullptr);
  }
  using THanded = std::vector<std::pair<std::string, int>>;
  THanded handed;  // controller calls with the current index at the call
};

TEST_F(Deleting, TheRowGoesFirstThenTheEntryAndOnlyAfterConfirming) {
  TunitMain& w = OpenWith(5, 3);
  w.musicListBox->SetItemIndex(1);
  Answer(mrNo);
  w.NDeleteClick(nullptr);
  EXPECT_EQ(w.labelDel->Text(), "是否删除歌曲");
  EXPECT_EQ(w.musicListBox->Count(), 5);
  EXPECT_FALSE(Reported("click", "btnDelete"));
  // The delete button of the hovered entry.
  w.mainBs->MouseMove(ScenePointOf(1), 0);
  auto* del = dynamic_cast<TvxBitmapButton*>(Item(1)->FindBinding("loubtn")->Child(0));
  ASSERT_NE(del, nullptr);
  Answer(mrYes);
  Click(del);
  EXPECT_TRUE(Reported("click", "btnDelete"));
  EXPECT_EQ(Titles(), (std::vector<QString>{"e0", "e2", "e3", "e4"}));
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"e0", "e2", "e3", "e4"}));
  // An entry before the current one: the same song stays current and goes on.
  EXPECT_EQ(CurConfig->now_psi, 2);
  EXPECT_FLOAT_EQ(w.musicProgress->Value(), 30);
  EXPECT_TRUE(handed.empty());
}

TEST_F(Deleting, AnEntryAfterTheCurrentOneChangesOnlyTheList) {
  TunitMain& w = OpenWith(5, 3);
  Delete(4);
  EXPECT_EQ(Titles(), (std::vector<QString>{"e0", "e1", "e2", "e3"}));
  EXPECT_EQ(CurConfig->now_psi, 3);
  EXPECT_FLOAT_EQ(w.musicProgress->Value(), 30);
  EXPECT_TRUE(handed.empty());
}

TEST_F(Deleting, ThePlayingEntryHandsNextTheIndexBeforeIt) {
  OpenWith(5, 3);
  Delete(3);
  EXPECT_EQ(handed, (THanded{{"btnNextClick", 2}}));
  EXPECT_EQ(Titles(), (std::vector<QString>{"e0", "e1", "e2", "e4"}));
}

TEST_F(Deleting, ThePlayingLastEntryHandsNextTheOneBeforeTheNewLast) {
  OpenWith(5, 4);
  Delete(4);
  EXPECT_EQ(handed, (THanded{{"btnNextClick", 2}}));
}

TEST_F(Deleting, ThePlayingFirstEntryHandsNextTheNewLastSoTheLoopWrapsToTheFirst) {
  OpenWith(5, 0);
  Delete(0);
  EXPECT_EQ(handed, (THanded{{"btnNextClick", 3}}));
}

TEST_F(Deleting, TheCurrentEntryWithNothingUnderWayChangesNoPlayback) {
  TunitMain& w = OpenWith(5, 3, false);
  Delete(3);
  EXPECT_EQ(CurConfig->now_psi, 3);
  EXPECT_TRUE(handed.empty());
  EXPECT_EQ(w.musicListBox->Count(), 4);
}

TEST_F(Deleting, OneOfTwoPlaysTheOtherAndTheLastOneStopsEverything) {
  TunitMain& w = OpenWith(2, 1);
  Delete(1);
  EXPECT_EQ(CurConfig->now_psi, 0);
  EXPECT_FLOAT_EQ(w.musicProgress->Value(), 0);
  EXPECT_EQ(handed, (THanded{{"PlaySelected", 0}}));
  w.musicProgress->SetValue(30);
  Delete(0);
  EXPECT_EQ(w.musicListBox->Count(), 0);
  EXPECT_TRUE(StoredTitles().empty());
  EXPECT_FLOAT_EQ(w.musicProgress->Value(), 0);
  EXPECT_TRUE(w.imgTip->Visible());
  EXPECT_EQ(w.Engine()->EngineState(), psStopped);
  EXPECT_EQ(handed.size(), 1u);
}

TEST_F(Deleting, NothingHoveredDeletesNothing) {
  TunitMain& w = OpenWith(3, 0);
  w.musicListBox->SetItemIndex(-1);
  Answer(mrYes);
  w.NDeleteClick(nullptr);
  EXPECT_EQ(w.musicListBox->Count(), 3);
  EXPECT_EQ(StoredTitles().size(), 3u);
}

class LocalSearch : public PlayList {
 protected:
  void Type(const QString& text, int key = 0) {
    window->hudtextSearch->SetText(text);
    QString ch;
    window->hudtextSearchKeyUp(window->hudtextSearch, key, ch, 0);
  }
  QStringList Suggestions() {
    QStringList out;
    auto& items = window->StringListBoxSearch->Items();
    for (int i = 0; i < items.Count(); ++i) out << items[i];
    return out;
  }
  // Releases the mouse over suggestion i.
  void ChooseSuggestion(int i, TvxMouseButton button = mbLeft) {
    window->StringListBoxSearchMouseUp(window->StringListBoxSearch, button, 0, 50, 19 * i + 10);
  }
};

TEST_F(LocalSearch, SuggestionsComeOnlyWhenTheLengthChanges) {
  TTSL byAlbum = Song("Road", "X");
  byAlbum.s_artist = "Blue Lagoon";
  Store({Song("Blue Moon", "A"), Song("Red", "Bluesman"), byAlbum, Song("Green", "B"),
         Song("O'Brien", "C")});
  TunitMain& w = Open();
  EXPECT_EQ(w.hudtextSearch->Tag, 8);
  Type("bl");
  EXPECT_TRUE(w.RectangleSearch->Visible());
  EXPECT_TRUE(w.StringListBoxSearch->HitTest());
  EXPECT_EQ(Suggestions(), (QStringList{"Blue Moon", "Red", "Road"}));
  EXPECT_EQ(w.hudtextSearch->Tag, 2);
  // A key that leaves the length as it was does not ask again.
  Type("gr", 39);
  EXPECT_EQ(Suggestions(), (QStringList{"Blue Moon", "Red", "Road"}));
  Type("gre");
  EXPECT_EQ(Suggestions(), QStringList{"Green"});
  // An emptied box does not ask; a quote is only a letter.
  Type("");
  EXPECT_EQ(Suggestions(), QStringList{"Green"});
  EXPECT_EQ(w.hudtextSearch->Tag, 0);
  Type("O'B");
  EXPECT_EQ(Suggestions(), QStringList{"O'Brien"});
  // Leaving the suggestions hides them.
  w.StringListBoxSearchMouseLeave(w.StringListBoxSearch);
  EXPECT_FALSE(w.RectangleSearch->Visible());
  EXPECT_FALSE(w.StringListBoxSearch->HitTest());
}

TEST_F(LocalSearch, TextCommittedByAnInputMethodAsksAsTypedTextDoes) {
  Store({Song("晴天", "周杰伦"), Song("晴朗", "B"), Song("Rain", "C")});
  TunitMain& w = Open();
  w.hudtextSearch->SetFocus();
  w.hudtextSearch->SelectAll();
  const auto send = [&](const QString& commit, const QString& preedit) {
    QInputMethodEvent event(preedit, {});
    event.setCommitString(commit);
    QApplication::sendEvent(&w, &event);
  };
  send(QString(), QStringLiteral("qing"));  // still composing: no question yet
  EXPECT_FALSE(w.RectangleSearch->Visible());
  send(QStringLiteral("晴"), QString());
  EXPECT_EQ(w.hudtextSearch->Text(), "晴");
  EXPECT_TRUE(w.RectangleSearch->Visible());
  EXPECT_EQ(Suggestions(), (QStringList{"晴天", "晴朗"}));
  send(QStringLiteral("天"), QString());
  EXPECT_EQ(Suggestions(), QStringList{"晴天"});
  // The key release that may follow asks no second time.
  w.StringListBoxSearch->Items().Clear();
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
  QApplication::sendEvent(&w, &release);
  EXPECT_EQ(Suggestions(), QStringList{});
  EXPECT_EQ(w.hudtextSearch->Tag, 2);
}

TEST_F(LocalSearch, ChoosingASuggestionMarksTheFirstEntryOfThatTitleFromThePlayView) {
  TSongList songs;
  for (int i = 0; i < 30; ++i) songs.push_back(Song("song " + std::to_string(i), "S"));
  songs.push_back(Song("song 7", "another singer"));
  Store(songs);
  TunitMain& w = Open();
  w.btnLocalSearchClick(nullptr);
  PumpAnimation(0.6);
  w.ShowPlayView(fvList);
  Type("song 7");
  ASSERT_EQ(Suggestions(), (QStringList{"song 7", "song 7"}));
  ChooseSuggestion(5);  // below the suggestions: nothing
  EXPECT_FALSE(Reported("click", "StringListBoxSearch"));
  ChooseSuggestion(1, mbRight);  // any button
  EXPECT_TRUE(Reported("click", "StringListBoxSearch"));
  EXPECT_TRUE(w.RectangleList->Visible());
  EXPECT_FALSE(w.RectanglePlay->Visible());
  EXPECT_EQ(w.musicListBox->ItemIndex(), 7);
  auto color = [&](int i) {
    return dynamic_cast<TvxRectangle*>(Item(i)->FindBinding("backcolor"))->Fill().Color();
  };
  EXPECT_EQ(color(7), 0xFFFFA500);
  EXPECT_EQ(color(30), 0u);
  EXPECT_EQ(w.hudtextSearch->Text(), "输入本地歌曲信息");
  EXPECT_EQ(w.hudtextSearch->Tag, 8);
  EXPECT_FALSE(w.RectangleSearch->Visible());
  PumpAnimation(0.6);
  EXPECT_FLOAT_EQ(w.hudtextSearch->Position().X(), 107);
  // The marked entry is scrolled into view.
  EXPECT_LE(w.musicListBox->ScrollOffset(), 7 * 55.f);
  EXPECT_GE(w.musicListBox->ScrollOffset() + w.musicListBox->ViewportHeight(), 8 * 55.f);
}

TEST_F(LocalSearch, MouseUpSelectsThePromptSoTypingReplacesIt) {
  TunitMain& w = Open();
  w.hudtextSearchMouseUp(w.hudtextSearch, mbLeft, 0, 5, 5);
  EXPECT_EQ(w.hudtextSearch->SelText(), "输入本地歌曲信息");
}

}  // namespace
