// SDL2's audio functions as the output calls them: the library is opened on first
// use (see base/OnDemand.h).
#pragma once

#include <SDL.h>

#include "base/OnDemand.h"

namespace melvo::audiolib {

namespace ondemand {
inline ::base::ondemand::Library sdl{"libSDL2-2.0.so.0"};
}

MELVO_ON_DEMAND(ondemand::sdl, SDL_SetHint);
MELVO_ON_DEMAND(ondemand::sdl, SDL_InitSubSystem);
MELVO_ON_DEMAND(ondemand::sdl, SDL_QuitSubSystem);
MELVO_ON_DEMAND(ondemand::sdl, SDL_OpenAudioDevice);
MELVO_ON_DEMAND(ondemand::sdl, SDL_PauseAudioDevice);
MELVO_ON_DEMAND(ondemand::sdl, SDL_CloseAudioDevice);

}  // namespace melvo::audiolib
