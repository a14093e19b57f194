// The online search view: search, pages and playing a result.
//
// The request runs on a worker while the window keeps answering; the turning disc in the middle
// of the view shows that a reply is awaited. Only the reply of the latest request is shown: a new
// search drops the reply of any earlier one, and page buttons do nothing until the awaited page
// has arrived, so the list and the buttons always end as the page steps leave them.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>

#include "base/OneShot.h"
#include "online/Search.h"
#include "window/unitMain.h"

namespace {

QString Text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

TvxText* AddHiddenText(TvxListBoxItem* item, const char* binding, const QString& text,
                       const QString& tag) {
  auto* part = new TvxText();
  part->BindingName = QString::fromUtf8(binding);
  part->SetVisible(false);
  part->SetText(text);
  part->TagString = tag;
  part->SetParent(item);
  return part;
}

}  // namespace

void TunitMain::WaitOffMainThread(std::function<void()> job) {
  struct TShared {
    std::atomic<bool> done{false};
    std::exception_ptr error;
  };
  auto shared = std::make_shared<TShared>();
  base::StartOneShot(
      [shared, job = std::move(job)] {
        try {
          job();
        } catch (...) {
          shared->error = std::current_exception();
        }
        shared->done = true;
      },
      base::TNoThread::RunHere);
  if (!shared->done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (shared->done) loop.quit();
    });
    poll.start(10);
    loop.exec();
  }
  if (shared->error) std::rethrow_exception(shared->error);
}

void TunitMain::btnOLClick(TvxObject*) {
  ReportClick("btnOL");
  OLPage = 0;
  OLMore = true;
  btnOLper->SetEnabled(false);
  btnOLnext->SetEnabled(false);
  OLListBox->Clear();
  SearchOnline(QStringLiteral("0"));
}

void TunitMain::btnOLnextClick(TvxObject*) {
  if (!OLMore || FOLWaiting) return;
  btnOLper->SetEnabled(true);
  OLPage = OLPage + 1;
  OLListBox->Clear();
  SearchOnline(QString::number(OLPage));
}

void TunitMain::btnOLperClick(TvxObject*) {
  if (FOLWaiting) return;
  OLPage = OLPage - 1;
  if (OLPage < 0) {
    OLPage = 0;
    return;
  }
  if (OLPage == 0) btnOLper->SetEnabled(false);
  OLMore = true;
  OLListBox->Clear();
  SearchOnline(QString::number(OLPage));
}

void TunitMain::textSearchKeyUp(TvxObject* Sender, int& Key, QString&, unsigned) {
  if (Key == 13) btnOLClick(Sender);
}

void TunitMain::textSearchMouseUp(TvxObject*, TvxMouseButton, unsigned, float, float) {
  textSearch->SelectAll();
}

void TunitMain::SearchOnline(const QString& page) {
  const uint64_t request = ++FOLRequest;
  FOLWaiting = true;
  if (!FOLWaitTurn) {
    FOLWaitTurn = new TvxFloatAnimation();
    FOLWaitTurn->SetPropertyName(QStringLiteral("RotateAngle"));
    FOLWaitTurn->SetStartValue(0);
    FOLWaitTurn->SetStopValue(360);
    FOLWaitTurn->SetDuration(1.2f);
    FOLWaitTurn->SetLoop(true);
    FOLWaitTurn->SetParent(DBImageWait);
  }
  DBImageWait->SetVisible(true);
  FOLWaitTurn->Start();

  std::weak_ptr<char> alive = FOLAlive;
  base::StartOneShot(
      [this, alive, request, query = textSearch->Text().toStdString(),
       pageText = page.toStdString()] {
        auto reply = std::make_shared<online::SearchPage>();
        try {
          *reply = online::SearchOnline(query, pageText);
        } catch (...) {
          // a failed request shows nothing, as an empty reply does
        }
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;
        QMetaObject::invokeMethod(
            app,
            [this, alive, request, reply] {
              if (alive.expired() || request != FOLRequest)
                return;  // the window is gone, or a
                         // newer request is out
              Guarded("SearchOnline", [&] {
                FOLWaiting = false;
                FOLWaitTurn->Stop();
                DBImageWait->SetVisible(false);
                if (!reply->hasSongList) return;  // the buttons keep the states the click gave them
                if (reply->moreMayFollow) {
                  btnOLnext->SetEnabled(true);
                } else {
                  OLMore = false;
                  btnOLnext->SetEnabled(false);
                }
                for (const online::OnlineSong& song : reply->songs)
                  AddOnlineResultItem(Text(song.name), Text(song.singer), Text(song.imgUrl),
                                      Text(song.mp3), Text(song.album), Text(song.duration));
              });
            },
            Qt::QueuedConnection);
      },
      base::TNoThread::RunHere);
}

void TunitMain::AddOnlineResultItem(const QString& name, const QString& singer, const QString&,
                                    const QString& mp3, const QString& album,
                                    const QString& duration) {
  auto* item = new TvxListBoxItem();
  item->SetHitTest(false);
  item->DragDisableHighlight = true;
  item->Cursor = crHandPoint;
  // The list stacks its items itself; aligned to the client area an item would fill the list.
  item->SetHeight(50);

  auto* marker = new TvxLayout();
  marker->BindingName = QStringLiteral("olloubtn");
  marker->SetAlign(vaClient);
  marker->SetHitTest(false);
  marker->SetVisible(false);
  marker->SetParent(item);

  auto* title = new TvxText();
  title->BindingName = QStringLiteral("oltitle");
  title->Fill().SetColorText(QStringLiteral("#FFffffff"));
  title->VertTextAlign = vgTextAlignCenter;
  title->HorzTextAlign = vgTextAlignNear;
  title->SetAlign(vaClient);
  title->Padding().Left = 12;
  title->SetHeight(30);
  title->Font.Size = 15;
  title->Font.Style = vgFontBold;
  title->SetHitTest(false);
  title->WordWrap = false;
  title->SetText(name + QStringLiteral("-") + singer);
  title->SetParent(item);

  AddHiddenText(item, "singer", singer, duration);
  AddHiddenText(item, "songname", name, album);
  AddHiddenText(item, "url", mp3, QString())->SetHitTest(false);

  item->SetParent(OLListBox);
}

void TunitMain::OLListBoxMouseMove(TvxObject*, unsigned, float X, float Y, float, float) {
  TvxListBoxItem* under = OLListBox->ItemByPoint(X, Y);
  if (!under) {
    OLListBox->Cursor = crDefault;
    return;
  }
  OLListBox->Cursor = crHandPoint;
  under->SetIsSelected(true);
  for (int i = 0; i < OLListBox->Count(); ++i) {
    auto* marker = OLListBox->ItemByIndex(i)->FindBinding(QStringLiteral("olloubtn"));
    if (marker && marker->AsVisual() && marker->AsVisual()->Visible()) {
      marker->AsVisual()->SetVisible(false);
      break;
    }
  }
  if (auto* marker = under->FindBinding(QStringLiteral("olloubtn")); marker && marker->AsVisual())
    marker->AsVisual()->SetVisible(true);
}

void TunitMain::OLListBoxMouseUp(TvxObject*, TvxMouseButton Button, unsigned, float X, float Y) {
  TvxListBoxItem* under = OLListBox->ItemByPoint(X, Y);
  if (!under || Button != mbLeft) return;
  OLListBox->SetEnabled(false);
  // Enabled again however the steps below end.
  struct TEnableAgain {
    TvxListBox* list;
    std::weak_ptr<void> alive;
    ~TEnableAgain() {
      if (IsAlive(alive)) list->SetEnabled(true);
    }
  } enableAgain{OLListBox, OLListBox->LifeToken()};

  ReportClick("OLListBox");
  const QString name = under->GetBinding(QStringLiteral("songname"));
  const QString singer = under->GetBinding(QStringLiteral("singer"));
  const TvxObject* namePart = under->FindBinding(QStringLiteral("songname"));
  const TvxObject* singerPart = under->FindBinding(QStringLiteral("singer"));
  const QString album = namePart ? namePart->TagString : QString();
  const QString duration = singerPart ? singerPart->TagString : QString();
  const QString url = under->GetBinding(QStringLiteral("url"));

  TTSL song;
  song.s_title = name.toStdString();
  song.s_url = url.toStdString();
  song.s_artist = album.toStdString();
  song.s_singer = singer.toStdString();
  song.s_ltime = online::DurationToSeconds(duration.toStdString());
  song.s_nowplaytime = 0;
  song.s_addtime = AddTimeOf(std::time(nullptr));

  // The item carries the row id the library gave the song. A song the library already holds
  // (same title, album and singer) keeps that row's id; a library that cannot be written gives
  // 0, an id no row has, and the song still plays.
  int id = 0;
  try {
    WaitOffMainThread([&song, &id] {
      const std::vector<int> ids = AddSongs({song});
      if (!ids.empty()) {
        id = ids.front();
        return;
      }
      for (const TTSL& stored : SearchSongs(song.s_title))
        if (stored.s_title == song.s_title && stored.s_artist == song.s_artist &&
            stored.s_singer == song.s_singer) {
          id = stored.s_id;
          return;
        }
    });
  } catch (const std::exception&) {
    id = 0;
  }

  AddSongItem(musicListBox, id, name, singer, url);
  const int old = CurConfig ? CurConfig->now_psi : 0;
  if (CurConfig) CurConfig->now_psi = musicListBox->Count() - 1;
  // The store may have let the user go back to the list meanwhile.
  ShowPlayView(RectangleList->Visible() && !RectangleOL->Visible() ? fvList : fvOnline);
  MarkPlayingItem(old, CurConfig ? CurConfig->now_psi : musicListBox->Count() - 1);
  ShowDisc();
  PlaySelected();
}
