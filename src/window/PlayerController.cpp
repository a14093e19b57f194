// Playback: which entry plays, its marking, play and pause, the next entry by the play mode,
// failures and the retry, progress, spectrum, seek, volume, mute and the mode buttons.
#include <QFileInfo>
#include <QTimer>

#include "base/UserFolders.h"
#include "window/PlayRules.h"
#include "window/unitMain.h"

std::atomic<bool> PlayAgainPending{false};

namespace {

// Glyphs of bmplist1 used here.
constexpr int kGlyphSingle = 3;
constexpr int kGlyphOrder = 5;
constexpr int kGlyphRandom = 6;
constexpr int kGlyphPlay = 7;
constexpr int kGlyphPause = 8;
constexpr int kGlyphNext = 9;
constexpr int kGlyphSoundOn = 10;
constexpr int kGlyphReturn = 11;
constexpr int kGlyphClose = 12;
constexpr int kGlyphSet = 13;
constexpr int kGlyphMuted = 15;
constexpr int kGlyphAdd = 18;
constexpr int kGlyphEmpty = 19;
constexpr int kGlyphLocalSearch = 20;
constexpr int kGlyphSuggest = 21;

constexpr TAlphaColor kPlayingBack = 0xFF808080;
// How long a failed opening waits before Next runs.
constexpr int kRetryDelayMs = 2000;

// The spectrum's state lives as long as the process, across songs and windows.
PlayRules::TSpectrum& Spectrum() {
  static PlayRules::TSpectrum spectrum;
  return spectrum;
}

PlayRules::TRandom& RandomSource() {
  static PlayRules::TRandom source;
  return source;
}

TvxImage* PlayState(TvxListBoxItem* item) {
  TvxObject* part = item->FindBinding(QStringLiteral("playState"));
  return dynamic_cast<TvxImage*>(part);
}

TvxRectangle* BackColor(TvxListBoxItem* item) {
  return dynamic_cast<TvxRectangle*>(item->FindBinding(QStringLiteral("backcolor")));
}

QString Title(TvxListBoxItem* item) {
  return item->GetBinding(QStringLiteral("title"));
}

QString Singer(TvxListBoxItem* item) {
  return item->GetBinding(QStringLiteral("songer"));
}

// The hint and glyph of the mode button for a play mode; 0 for none of the three.
int ModeGlyph(int mode) {
  switch (mode) {
    case PlayRules::kModeList:
      return kGlyphOrder;
    case PlayRules::kModeRandom:
      return kGlyphRandom;
    case PlayRules::kModeSingle:
      return kGlyphSingle;
    default:
      return 0;
  }
}

QString ModeHint(int mode) {
  switch (mode) {
    case PlayRules::kModeList:
      return QStringLiteral("列表循环");
    case PlayRules::kModeRandom:
      return QStringLiteral("随机播放");
    case PlayRules::kModeSingle:
      return QStringLiteral("单曲循环");
    default:
      return QString();
  }
}

}  // namespace

void TunitMain::SetRandomForTesting(std::function<int(int n)> random) {
  RandomSource() = std::move(random);
}

void TunitMain::SetGlyph(TvxBitmapButton* button, int index) {
  if (button == nullptr) return;
  if (TvxBitmap* glyph = bmplist1.Bitmap(index)) button->Bitmap().Assign(*glyph);
}

TvxListBoxItem* TunitMain::CurrentItem() const {
  return CurConfig ? musicListBox->ItemByIndex(CurConfig->now_psi) : nullptr;
}

void TunitMain::ShowModeButton(int mode) {
  const int glyph = ModeGlyph(mode);
  if (glyph == 0) return;
  btnCircle->Hint = ModeHint(mode);
  SetGlyph(btnCircle, glyph);
  MediaModeChanged(mode);
}

void TunitMain::ApplyConfig() {
  try {
    ReadConfig();
  } catch (const EDatabaseError&) {
    // A database that cannot be read leaves the defaults: the window still opens and plays.
  }
  if (!CurConfig) CurConfig = std::make_unique<TTSC>();
  const std::pair<TvxBitmapButton*, int> glyphs[] = {
      {btnSuggest, kGlyphSuggest}, {btnAdd, kGlyphAdd},       {btnClose, kGlyphClose},
      {btnSet, kGlyphSet},         {btnPlay, kGlyphPlay},     {btnNext, kGlyphNext},
      {btnSound, kGlyphSoundOn},   {btnReturn, kGlyphReturn}, {btnOrder, kGlyphOrder},
      {btnRandom, kGlyphRandom},   {btnSingle, kGlyphSingle}, {btnLocalSearch, kGlyphLocalSearch}};
  for (const auto& [button, glyph] : glyphs) SetGlyph(button, glyph);
  ShowModeButton(CurConfig->circle);
  // Not assigned from a literal: GCC 12 warns -Wrestrict there (a false alarm).
  if (CurConfig->skin_name.empty()) CurConfig->skin_name.assign(1, '1');
  bool whole = false;
  const int n = QString::fromStdString(CurConfig->skin_name).toInt(&whole);
  if (whole) SetBackground(n);  // numbers outside 1 … 8 change nothing
  soundTrackBar->SetVisible(false);
}

void TunitMain::CheckStartIndex() {
  if (!CurConfig) return;
  if (CurConfig->now_psi < 0 || CurConfig->now_psi >= musicListBox->Count()) CurConfig->now_psi = 0;
}

void TunitMain::MarkPlayingItem(int OldIndex, int NewIndex) {
  if (TvxListBoxItem* old = musicListBox->ItemByIndex(OldIndex)) {
    if (TvxImage* state = PlayState(old)) {
      state->Bitmap().Clear(0);
      state->Tag = 0;
    }
    if (TvxRectangle* back = BackColor(old)) back->Fill().SetColor(0);
  }
  if (TvxListBoxItem* now = musicListBox->ItemByIndex(NewIndex)) {
    TvxImage* state = PlayState(now);
    if (state) {
      if (TvxBitmap* empty = bmplist1.Bitmap(kGlyphEmpty))
        state->Bitmap().Assign(*empty);
      else
        state->Bitmap().Assign(QImage());
    }
    if (TvxRectangle* back = BackColor(now)) back->Fill().SetColor(kPlayingBack);
    if (state && OldIndex == NewIndex && musicProgress->Value() != 0) state->Tag = 1;
  }
}

void TunitMain::ShowSongTexts(TvxListBoxItem* item) {
  vxtxtSinger->SetText(Singer(item));
  vxtxtSongName->SetText(Title(item));
}

void TunitMain::StartEntry(TvxListBoxItem* item) {
  ReportListening(Title(item), Singer(item), "1");
  MediaSongChanged(int(item->Tag), Title(item), Singer(item), QString(), item->TagString, 0);
  if (FEngine) FEngine->Play(item->TagString.toStdString());
}

void TunitMain::PlaySelected() {
  TvxListBoxItem* item = CurrentItem();
  if (item == nullptr) return;
  item->SetIsSelected(true);
  ShowSongTexts(item);
  TvxImage* state = PlayState(item);
  const bool loaded = state && state->Tag != 0;
  if (!loaded || (musicListBox->Count() == 1 && musicProgress->Value() == 0)) {
    FloatAnimation2->Start();
    StartEntry(item);
  }
  update();
}

void TunitMain::btnPlayClick(TvxObject*) {
  if (musicListBox->Count() == 0 || !FEngine) return;
  switch (FEngine->EngineState()) {
    case psStopped:
      PlaySelected();
      break;
    case psPlaying:
      FEngine->Pause();
      FloatAnimation2->StopAtCurrent();
      break;
    case psPaused:
      FEngine->UnPause();
      FloatAnimation2->Start();
      break;
    default:  // ended, connecting, failed: wait for the engine
      break;
  }
}

void TunitMain::btnNextClick(TvxObject*) {
  if (musicListBox->Count() >= 1) PlayNextByMode();
}

void TunitMain::PlayNextByMode() {
  if (!CurConfig) return;
  const auto step = PlayRules::NextIndex(CurConfig->circle, musicListBox->Count(),
                                         CurConfig->now_psi, RandomSource());
  if (step) {
    CurConfig->now_psi = step->newIndex;
    MarkPlayingItem(step->oldIndex, step->newIndex);
  }
  FloatAnimation2->Start();
  if (TvxListBoxItem* item = CurrentItem()) {
    // Next always plays the chosen entry, also when it is the one loaded; with an unknown mode
    // nothing moves and nothing plays, but the texts and the report are refreshed.
    if (step) {
      StartEntry(item);
    } else {
      ReportListening(Title(item), Singer(item), "1");
    }
    ShowSongTexts(item);
  }
  update();
}

void TunitMain::SongFinished(int32_t) {
  if (CurConfig && CurConfig->circle == PlayRules::kModeSingle) {
    if (TvxListBoxItem* item = CurrentItem(); item && FEngine)
      FEngine->Play(item->TagString.toStdString());
    return;
  }
  btnNextClick(nullptr);
}

void TunitMain::AudioFailed(int32_t, int32_t) {
  if (PlayAgainPending) return;
  PlayAgainPending = true;
  if (FEngine) FEngine->Stop();
  TPlayAgain();
}

// The delayed retry: 2000 ms after the failure Next runs on the main thread, and only once it
// has returned may another failure schedule a retry. The wait is a timer of the window (no thread
// is needed to wait, and a window that goes away takes its pending retry with it).
void TunitMain::TPlayAgain() {
  QTimer::singleShot(kRetryDelayMs, this, [this] {
    Guarded("btnNextClick", [this] { btnNextClick(nullptr); });
    PlayAgainPending = false;
  });
}

void TunitMain::PlayerStateChanged(int32_t State) {
  if (TvxListBoxItem* item = CurrentItem()) item->SetIsSelected(true);
  if (State == psStopped || State == psPaused) {
    SetGlyph(btnPlay, kGlyphPlay);
    PSTATUS = 1;
  } else if (State == psPlaying) {
    SetGlyph(btnPlay, kGlyphPause);
    PSTATUS = 2;
  }
  MediaStateChanged(State);
}

void TunitMain::UpdatePlayProgress(int32_t, float MaxPos, float CurPos, const TFFTData& NFFT,
                                   const TWaveData&) {
  if (TvxListBoxItem* item = CurrentItem()) {
    const int32_t now = CurConfig->now_psi;
    if (_ptam == nullptr) {
      FTamp = std::make_unique<TTamp>();
      _ptam = FTamp.get();
      *_ptam = {now, Singer(item), Title(item)};
    } else if (_ptam->id != now) {
      ReportListening(_ptam->song, _ptam->singer, "2");
      *_ptam = {now, Singer(item), Title(item)};
    }
  }
  if (musicProgress->Min() != 0) musicProgress->SetMin(0);
  if (musicProgress->Max() != MaxPos) musicProgress->SetMax(MaxPos);
  musicProgress->SetValue(CurPos);
  vxtxtTotalTime->SetText(PlayRules::FormatTime(MaxPos));
  vxtxtCurTime->SetText(PlayRules::FormatTime(CurPos));
  MediaProgress(CurPos, MaxPos);
  DrawSpectrum(NFFT);
}

void TunitMain::DrawSpectrum(const TFFTData& spectrum) {
  PlayRules::TSpectrum& s = Spectrum();
  s.Update(spectrum.data(), int(spectrum.size()));
  TvxListBoxItem* item = CurrentItem();
  if (item == nullptr) return;
  if (TvxImage* state = PlayState(item)) state->Bitmap().Assign(s.Picture());
}

const std::array<int32_t, 6>& TunitMain::SpectrumPeaks() {
  return Spectrum().Peaks();
}

const std::array<int32_t, 6>& TunitMain::SpectrumBars() {
  return Spectrum().Bars();
}

void TunitMain::musicProgressMouseUp(TvxObject*, TvxMouseButton, unsigned, float X, float) {
  ReportClick("musicProgress");
  const double pos = PlayRules::SeekPosition(musicProgress->Max(), X, musicProgress->Width());
  if (!FEngine) return;
  FEngine->SetSongPos(float(pos));
  MediaSeeked(pos);
}

void TunitMain::soundTrackBarChange(TvxObject*) {
  const float value = soundTrackBar->Value();
  if (CurConfig) CurConfig->con_volv = PlayRules::VolumePercent(value);
  if (!FEngine) return;
  FEngine->SetVolume(PlayRules::VolumeOfSlider(value));
  MediaVolumeChanged(FEngine->Volume());
}

void TunitMain::btnSoundClick(TvxObject*) {
  if (!FEngine) return;
  if (FEngine->Volume() != 0) {
    SetGlyph(btnSound, kGlyphMuted);
    FEngine->SetVolume(0);
  } else {
    SetGlyph(btnSound, kGlyphSoundOn);
    const QString file =
        QString::fromStdString(base::ProgramDir()) + QStringLiteral("/sound on.png");
    if (QFileInfo::exists(file)) {
      TvxBitmap picture;
      if (picture.LoadFromFile(file)) btnSound->Bitmap().Assign(picture);
    }
    FEngine->SetVolume(float(CurConfig ? CurConfig->con_volv : 100) / 100);
  }
  MediaVolumeChanged(FEngine->Volume());
}

void TunitMain::SetPlayMode(int mode) {
  RectangleCircle->SetVisible(false);
  if (CurConfig) CurConfig->circle = mode;
  ShowModeButton(mode);
}

void TunitMain::btnOrderClick(TvxObject*) {
  SetPlayMode(PlayRules::kModeList);
}

void TunitMain::btnRandomClick(TvxObject*) {
  SetPlayMode(PlayRules::kModeRandom);
}

void TunitMain::btnSingleClick(TvxObject*) {
  SetPlayMode(PlayRules::kModeSingle);
}
