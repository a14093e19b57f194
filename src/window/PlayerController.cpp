// Playback: which entry plays, its marking, play and pause, the next entry by the play mode,
// failures and the retry, progress, spectrum, seek, volume, mute and the mode buttons.
#include "window/unitMain.h"

std::atomic<bool> PlayAgainPending{false};

void TunitMain::ApplyConfig() {}

void TunitMain::CheckStartIndex() {}

void TunitMain::MarkPlayingItem(int, int) {}

void TunitMain::PlaySelected() {}

void TunitMain::btnPlayClick(TvxObject*) {}

void TunitMain::btnNextClick(TvxObject*) {}

void TunitMain::PlayNextByMode() {}

void TunitMain::SongFinished(int32_t) {}

void TunitMain::AudioFailed(int32_t, int32_t) {}

void TunitMain::PlayerStateChanged(int32_t) {}

void TunitMain::UpdatePlayProgress(int32_t, float, float, const TFFTData&, const TWaveData&) {}

void TunitMain::DrawSpectrum(const TFFTData&) {}

void TunitMain::musicProgressMouseUp(TvxObject*, TvxMouseButton, unsigned, float, float) {}

void TunitMain::soundTrackBarChange(TvxObject*) {}

void TunitMain::btnSoundClick(TvxObject*) {}

void TunitMain::btnOrderClick(TvxObject*) {}

void TunitMain::btnRandomClick(TvxObject*) {}

void TunitMain::btnSingleClick(TvxObject*) {}
