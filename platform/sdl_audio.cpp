#include "platform/sdl_audio.h"

#include <SDL.h>

namespace platform {

std::unique_ptr<LiveAudioOutput> LiveAudioOutput::Open(Mixer& mixer, std::string* error,
                                                       const char* driver) {
  if (driver != nullptr) SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver, SDL_HINT_OVERRIDE);
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  std::unique_ptr<LiveAudioOutput> output(new LiveAudioOutput(mixer));
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(mixer.OutputRate());
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = &LiveAudioOutput::Callback;
  want.userdata = output.get();
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware wants, so the mixer's rate and
  // format hold.
  output->device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (output->device_ == 0) {
    if (error) *error = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  SDL_PauseAudioDevice(output->device_, 0);
  return output;
}

LiveAudioOutput::~LiveAudioOutput() {
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

void LiveAudioOutput::Pause(bool paused) {
  SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

void LiveAudioOutput::Callback(void* self, uint8_t* stream, int bytes) {
  auto* output = static_cast<LiveAudioOutput*>(self);
  output->mixer_.Render(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(bytes) / 4);
}

}  // namespace platform
