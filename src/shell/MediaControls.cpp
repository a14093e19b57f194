#include "shell/MediaControls.h"

namespace shell {

void TMediaControlsGroup::Add(std::shared_ptr<IMediaControls> controls) {
  if (!controls) return;
  controls->SetHandler(FHandler);
  FControls.push_back(std::move(controls));
}

void TMediaControlsGroup::SetHandler(TMediaControlsHandler handler) {
  FHandler = std::move(handler);
  for (auto& c : FControls) c->SetHandler(FHandler);
}

void TMediaControlsGroup::SetEngineState(int state) {
  for (auto& c : FControls) c->SetEngineState(state);
}

void TMediaControlsGroup::SetMetadata(const TMediaMetadata& metadata) {
  for (auto& c : FControls) c->SetMetadata(metadata);
}

void TMediaControlsGroup::SetProgress(double positionMs, double lengthMs) {
  for (auto& c : FControls) c->SetProgress(positionMs, lengthMs);
}

void TMediaControlsGroup::Seeked(double positionMs) {
  for (auto& c : FControls) c->Seeked(positionMs);
}

void TMediaControlsGroup::SetMode(int mode) {
  for (auto& c : FControls) c->SetMode(mode);
}

void TMediaControlsGroup::SetVolume(double volume) {
  for (auto& c : FControls) c->SetVolume(volume);
}

}  // namespace shell
