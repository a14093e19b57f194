// The play list: its items, loading, the list's mouse handling, deleting, clearing, sorting and
// the local search box.
#include <QCursor>
#include <QHash>
#include <QMenu>

#include "window/PlayRules.h"
#include "window/unitMain.h"

namespace {

const QString kUnknownSinger = QStringLiteral("未知歌手");
const QString kUnknownTitle = QStringLiteral("未知歌曲");
constexpr int kDeleteGlyph = 16;  // "删除" in bmplist1

// The live configuration; a window whose configuration could not be read works with the
// defaults rather than with none.
TTSC& LiveConfig() {
  if (!CurConfig) CurConfig = std::make_unique<TTSC>();
  return *CurConfig;
}

QString OrPlaceholder(const QString& text, const QString& placeholder) {
  return text.isEmpty() ? placeholder : text;
}

QString Caption(const QString& title, const QString& singer) {
  return title + QStringLiteral(" - ") + singer;
}

// A play-list entry. It keeps what its parts show and makes the parts when they are first
// needed (it comes into view, or a part is looked up), so that a list of thousands of songs
// loads at once and costs little memory.
class TSongItem final : public TvxListBoxItem {
 public:
  TSongItem(TunitMain* window, QString title, QString singer)
      : FWindow(window),
        FTitle(std::move(title)),
        FSinger(std::move(singer)),
        FCaption(Caption(FTitle, FSinger)) {}

  const QString& Title() const { return FTitle; }
  const QString& CaptionText() const { return FCaption; }
  bool Built() const { return FBuilt; }

  void EnsureChildren() override {
    if (FBuilt) return;
    FBuilt = true;
    Build();
  }

 private:
  template <class T>
  static T* Append(TvxObject* parent) {
    auto* child = new T();
    child->SetParent(parent);
    return child;
  }

  static void WhiteText(TvxText* text, const QString& value) {
    text->Fill().SetColorText(QStringLiteral("#FFffffff"));
    text->VertTextAlign = vgTextAlignCenter;
    text->HorzTextAlign = vgTextAlignNear;
    text->SetHitTest(false);
    text->WordWrap = false;
    text->SetText(value);
  }

  void Build() {
    auto* layout = Append<TvxLayout>(this);
    layout->SetAlign(vaClient);
    layout->SetHitTest(false);

    auto* back = Append<TvxRectangle>(layout);
    back->BindingName = QStringLiteral("backcolor");
    back->SetAlign(vaClient);
    // One NUL character reads as colour 0: fully transparent.
    back->Fill().SetColorText(QString(QChar(0)));
    back->Stroke().SetColorText(QString(QChar(0)));
    back->SetHitTest(false);

    auto* stateBox = Append<TvxLayout>(back);
    stateBox->Padding().Set(5, 0, 3, 0);
    stateBox->SetAlign(vaLeft);
    stateBox->SetWidth(25);
    auto* state = Append<TvxImage>(stateBox);
    state->BindingName = QStringLiteral("playState");
    state->Tag = 0;
    state->SetAlign(vaClient);
    // The picture is only drawn into: a click on it belongs to the list like the rest.
    state->SetHitTest(false);

    auto* body = Append<TvxLayout>(back);
    body->SetAlign(vaClient);
    auto* texts = Append<TvxLayout>(body);
    texts->SetAlign(vaLeft);
    texts->SetWidth(356);

    auto* caption = Append<TvxText>(texts);
    caption->BindingName = QStringLiteral("caption");
    WhiteText(caption, FCaption);
    caption->Hint = FCaption;
    caption->ShowHint = true;
    caption->TagString = FTitle;
    caption->SetVisible(false);

    auto* title = Append<TvxText>(texts);
    title->BindingName = QStringLiteral("title");
    WhiteText(title, FTitle);
    title->SetAlign(vaTop);
    title->SetHeight(30);
    title->Font.Size = 15;
    title->Font.Style = vgFontBold;

    auto* singer = Append<TvxText>(texts);
    singer->BindingName = QStringLiteral("songer");
    WhiteText(singer, FSinger);
    singer->SetAlign(vaClient);

    auto* lou = Append<TvxLayout>(body);
    lou->BindingName = QStringLiteral("loubtn");
    lou->SetVisible(false);
    lou->SetAlign(vaClient);
    lou->SetWidth(30);
    auto* del = Append<TvxBitmapButton>(lou);
    del->SetWidth(20);
    del->SetHeight(20);
    del->SetAlign(vaRight);
    del->SetResource(QStringLiteral("btnStyleBlack"));
    del->SetBitmapLayout(vgGlyphCenter);
    del->Hint = QStringLiteral("删除歌曲");
    del->ShowHint = true;
    if (TvxBitmap* glyph = FWindow->bmplist1.Bitmap(kDeleteGlyph)) del->Bitmap().Assign(*glyph);
    TunitMain* window = FWindow;
    del->OnClick = [window](TvxObject* sender) {
      window->Guarded("NDeleteClick", [&] { window->NDeleteClick(sender); });
    };
  }

  TunitMain* FWindow;
  QString FTitle, FSinger, FCaption;
  bool FBuilt = false;
};

// The caption an item is known by; an entry made elsewhere is read through its part.
QString ItemCaption(TvxListBoxItem* item) {
  if (auto* song = dynamic_cast<TSongItem*>(item)) return song->CaptionText();
  return item->GetBinding(QStringLiteral("Caption"));
}

}  // namespace

void TunitMain::AddSongItem(TvxListBox* listBox, int id, const QString& title,
                            const QString& singer, const QString& location) {
  if (listBox == nullptr) return;
  auto* item = new TSongItem(this, OrPlaceholder(title, kUnknownTitle),
                             OrPlaceholder(singer, kUnknownSinger));
  // Set up before it joins the list, so that the list lays it out once.
  item->SetHeight(50);
  item->Padding().Set(0, 5, 0, 0);
  item->Tag = id;
  item->TagString = location;
  item->DragDisableHighlight = true;
  item->SetHitTest(false);
  item->SetParent(listBox);
}

void TunitMain::LoadSongList(TvxListBox* listBox) {
  TSongList songs;
  try {
    songs = GetSongList(LiveConfig().sort);
  } catch (const EDatabaseError&) {
    // A library that cannot be read is an empty list: the window still opens and plays.
  }
  if (songs.empty()) {
    imgTip->SetVisible(true);
    return;
  }
  for (const TTSL& song : songs) {
    const std::string& location = song.s_path.empty() ? song.s_url : song.s_path;
    AddSongItem(listBox, song.s_id, QString::fromStdString(song.s_title),
                QString::fromStdString(song.s_singer), QString::fromStdString(location));
  }
}

// An entry is known by its caption, title and singer as shown, so a song without a singer is
// found again under the placeholder its entry shows.
void TunitMain::GetSongInfo(TSL _tsl, int maxID) {
  if (_tsl == nullptr) return;
  GetSongsInfo({*_tsl}, {maxID});
}

int TunitMain::GetSongsInfo(const TSongList& songs, const std::vector<int>& ids) {
  // The first entry of each caption, made once for the batch instead of a walk per song.
  QHash<QString, int> firstEntry;
  bool indexed = false;
  int entry = -1;
  for (std::size_t s = 0; s < songs.size(); ++s) {
    const TTSL& song = songs[s];
    const QString title = QString::fromStdString(song.s_title);
    const QString singer = QString::fromStdString(song.s_singer);
    const QString caption =
        Caption(OrPlaceholder(title, kUnknownTitle), OrPlaceholder(singer, kUnknownSinger));
    if (!indexed) {
      indexed = true;
      const int n = musicListBox->Count();
      firstEntry.reserve(n + int(songs.size()));
      for (int i = 0; i < n; ++i) {
        const QString known = ItemCaption(musicListBox->ItemByIndex(i));
        if (!firstEntry.contains(known)) firstEntry.insert(known, i);
      }
    }
    if (auto found = firstEntry.constFind(caption); found != firstEntry.constEnd()) {
      entry = found.value();
      LiveConfig().now_psi = entry;
      continue;
    }
    const std::string& location = song.s_path.empty() ? song.s_url : song.s_path;
    AddSongItem(musicListBox, s < ids.size() ? ids[s] : 0, title, singer,
                QString::fromStdString(location));
    entry = musicListBox->Count() - 1;
    firstEntry.insert(caption, entry);
  }
  return entry;
}

namespace {

constexpr TAlphaColor kSearchMark = 0xFFFFA500;

TvxRectangle* BackColor(TvxListBoxItem* item) {
  return dynamic_cast<TvxRectangle*>(item->FindBinding(QStringLiteral("backcolor")));
}

TvxVisualObject* DeleteButtonLayout(TvxListBoxItem* item) {
  TvxObject* part = item->FindBinding(QStringLiteral("loubtn"));
  return part ? part->AsVisual() : nullptr;
}

// Entries that have not made their parts yet show them as made: transparent, button hidden.
bool PartsMade(TvxListBoxItem* item) {
  auto* song = dynamic_cast<TSongItem*>(item);
  return song == nullptr || song->Built();
}

QString ItemTitle(TvxListBoxItem* item) {
  if (auto* song = dynamic_cast<TSongItem*>(item); song && !song->Built()) return song->Title();
  return item->GetBinding(QStringLiteral("title"));
}

// Scrolls the list so that entry `index` is wholly in view.
void ScrollIntoView(TvxListBox* list, int index) {
  TvxListBoxItem* item = list->ItemByIndex(index);
  if (item == nullptr) return;
  list->ContentHeight();  // lays the entries out
  const float top = item->Position().Y() - item->Padding().Top - list->Margins().Top;
  const float bottom = top + item->Padding().Top + item->Height() + item->Padding().Bottom;
  if (top < list->ScrollOffset())
    list->ScrollTo(top);
  else if (bottom > list->ScrollOffset() + list->ViewportHeight())
    list->ScrollTo(bottom - list->ViewportHeight());
}

int IndexOf(TvxListBox* list, TvxListBoxItem* item) {
  for (int i = 0, n = list->Count(); i < n; ++i)
    if (list->ItemByIndex(i) == item) return i;
  return -1;
}

// Enables the list again however the click handler ends.
struct TListEnabledAgain {
  TvxListBox* List;
  std::weak_ptr<void> Alive;
  ~TListEnabledAgain() {
    if (IsAlive(Alive)) List->SetEnabled(true);
  }
};

}  // namespace

void TunitMain::musicListBoxMouseUp(TvxObject*, TvxMouseButton Button, unsigned, float X, float Y) {
  TvxListBoxItem* item = musicListBox->ItemByPoint(X, Y);
  if (Button == mbRight) {
    ShowListMenu(item != nullptr);
    return;
  }
  if (item == nullptr || Button != mbLeft) return;
  ReportClick("musicListBox");
  musicListBox->SetEnabled(false);
  TListEnabledAgain enableAgain{musicListBox, musicListBox->LifeToken()};
  for (int i = 0, n = musicListBox->Count(); i < n; ++i) {
    TvxListBoxItem* entry = musicListBox->ItemByIndex(i);
    if (!PartsMade(entry)) continue;
    if (TvxRectangle* back = BackColor(entry); back && back->Fill().Color() == kSearchMark)
      back->Fill().SetColor(0);
  }
  const int previous = LiveConfig().now_psi;
  LiveConfig().now_psi = IndexOf(musicListBox, item);
  const std::weak_ptr<void> alive = item->LifeToken();
  ShowPlayView(fvList);
  // The fades let the window handle events; the entry may have gone meanwhile.
  if (!IsAlive(alive)) return;
  MarkPlayingItem(previous, LiveConfig().now_psi);
  ShowDisc();
  PlaySelected();
}

void TunitMain::musicListBoxMouseMove(TvxObject*, unsigned, float X, float Y, float, float) {
  TvxListBoxItem* item = musicListBox->ItemByPoint(X, Y);
  if (item == nullptr) {
    musicListBox->Cursor = crDefault;
    return;
  }
  musicListBox->Cursor = crHandPoint;
  item->SetIsSelected(true);
  // Only this handler shows a delete button, so the one it showed last is the only one shown.
  if (FDeleteShownOn != item && IsAlive(FDeleteShownAlive))
    if (TvxVisualObject* lou = DeleteButtonLayout(FDeleteShownOn)) lou->SetVisible(false);
  if (TvxVisualObject* lou = DeleteButtonLayout(item)) lou->SetVisible(true);
  FDeleteShownOn = item;
  FDeleteShownAlive = item->LifeToken();
}

void TunitMain::ShowListMenu(bool overEntry) {
  NDelete->setEnabled(overEntry);
  pmMusic->popup(QCursor::pos());
}

void TunitMain::NAddClick(TvxObject* Sender) {
  btnAddClick(Sender);
}

void TunitMain::NDeleteClick(TvxObject*) {
  labelDel->SetText(QStringLiteral("是否删除歌曲"));
  if (MsgPop->PopupModal() != mrYes) return;
  ReportClick("btnDelete");
  TvxListBoxItem* item = musicListBox->Selected();
  if (item == nullptr) return;
  const int deleted = musicListBox->ItemIndex();
  const PlayRules::TDeleteStep step = PlayRules::DeleteIndex(
      deleted, musicListBox->Count(), LiveConfig().now_psi, musicProgress->Value() != 0);
  if (step.action == PlayRules::TDeleteStep::StopAll && FEngine) FEngine->Stop();
  if (step.action == PlayRules::TDeleteStep::StopAll ||
      step.action == PlayRules::TDeleteStep::PlayRemaining)
    musicProgress->SetValue(0);
  // The row first: when it cannot be deleted the entry stays.
  DeleteSong(int(item->Tag));
  delete item;
  LiveConfig().now_psi = step.nowPsi;
  switch (step.action) {
    case PlayRules::TDeleteStep::StopAll:
      imgTip->SetVisible(true);
      break;
    case PlayRules::TDeleteStep::PlayRemaining:
      MarkPlayingItem(0, 0);
      Guarded("PlaySelected", [this] { PlaySelected(); });
      break;
    case PlayRules::TDeleteStep::PlayNext:
      Guarded("btnNextClick", [this] { btnNextClick(nullptr); });
      break;
    case PlayRules::TDeleteStep::None:
      break;
  }
}

void TunitMain::btnClearlistClick(TvxObject*) {
  labelDel->SetText(QStringLiteral("是否清空音乐列表"));
  if (MsgPop->PopupModal() != mrYes) return;
  ReportClick("btnClearlist");
  if (FEngine) FEngine->Stop();
  musicProgress->SetValue(0);
  DeleteAllSongs();
  musicListBox->Clear();
  imgTip->SetVisible(true);
}

void TunitMain::SortList(int sort) {
  LiveConfig().sort = sort;
  musicListBox->Clear();
  LoadSongList(musicListBox);
}

void TunitMain::NTimeSortClick(TvxObject*) {
  SortList(10);
}

void TunitMain::NSingerSortClick(TvxObject*) {
  SortList(11);
}

void TunitMain::hudtextSearchKeyUp(TvxObject*, int&, QString&, unsigned) {
  UpdateLocalSuggestions();
}

// Text an input method commits reaches no key release; it asks as typed text does.
void TunitMain::hudtextSearchInputMethodCommit(TvxObject*) {
  UpdateLocalSuggestions();
}

void TunitMain::UpdateLocalSuggestions() {
  const QString text = hudtextSearch->Text();
  const int length = int(text.length());
  if (length > 0 && length != hudtextSearch->Tag) {
    StringListBoxSearch->Items().Clear();
    RectangleSearch->SetVisible(true);
    StringListBoxSearch->SetHitTest(true);
    for (const TTSL& song : SearchSongs(text.toStdString()))
      StringListBoxSearch->Items().Add(QString::fromStdString(song.s_title));
  }
  hudtextSearch->Tag = length;
}

void TunitMain::hudtextSearchMouseUp(TvxObject*, TvxMouseButton, unsigned, float, float) {
  hudtextSearch->SelectAll();
}

void TunitMain::StringListBoxSearchMouseUp(TvxObject*, TvxMouseButton, unsigned, float X, float Y) {
  TvxListBoxItem* suggestion = StringListBoxSearch->ItemByPoint(X, Y);
  if (suggestion == nullptr) return;
  ReportClick("StringListBoxSearch");
  const QString title = suggestion->Text();
  for (int i = 0, n = musicListBox->Count(); i < n; ++i) {
    if (ItemTitle(musicListBox->ItemByIndex(i)) != title) continue;
    if (RectanglePlay->Visible()) {
      btnReturnClick(nullptr);
      // Going back lets the window handle events; look the entry up again.
      if (i >= musicListBox->Count()) return;
    }
    TvxListBoxItem* item = musicListBox->ItemByIndex(i);
    item->SetIsSelected(true);
    if (TvxRectangle* back = BackColor(item)) back->Fill().SetColor(kSearchMark);
    ScrollIntoView(musicListBox, i);
    hudtextSearch->AnimateFloat(QStringLiteral("Position.x"), 107, 0.5f, vgAnimationInOut,
                                vgInterpolationQuadratic);
    hudtextSearch->SetText(QStringLiteral("输入本地歌曲信息"));
    hudtextSearch->Tag = 8;
    RectangleSearch->SetVisible(false);
    StringListBoxSearch->SetHitTest(false);
    return;
  }
}

void TunitMain::StringListBoxSearchMouseLeave(TvxObject*) {
  RectangleSearch->SetVisible(false);
  StringListBoxSearch->SetHitTest(false);
}
