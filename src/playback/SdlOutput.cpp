// SDL2 audio device handling, including the fall-back to the dummy driver on
// machines without a sound device.
#include "playback/SdlOutput.h"

#include <mutex>
#include <string>

#include <SDL2/SDL.h>

namespace tembrel::playback {

namespace {

constexpr const char* kSilentDriver = "dummy";

// SDL's audio subsystem is process-wide: the first output initialises it, the
// last one shuts it down.
std::mutex sdlMutex;
int sdlUsers = 0;

bool initDriver(const char* driver) {
    if (SDL_AudioInit(driver) == 0) {
        return true;
    }
    SDL_AudioQuit();
    return false;
}

SDL_AudioDeviceID openDevice(int rate, void* self, SDL_AudioCallback callback,
                             SDL_AudioSpec& obtained) {
    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = SdlOutput::kBufferFrames;
    wanted.callback = callback;
    wanted.userdata = self;
    // No allowed changes: SDL converts to whatever the device needs.
    return SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
}

} // namespace

std::unique_ptr<SdlOutput> SdlOutput::open(AudioOutput output, int rate, Render render,
                                           const Log& log) {
    std::unique_ptr<SdlOutput> self(new SdlOutput(std::move(render), rate));
    const std::lock_guard lock(sdlMutex);
    const bool firstUser = sdlUsers == 0;
    // SDL never falls back by itself: without a sound device the default
    // driver fails to open, and the dummy driver has to be chosen explicitly.
    bool fellBack = false;
    std::string reason;
    if (firstUser) {
        if (output == AudioOutput::Null) {
            if (!initDriver(kSilentDriver)) {
                return nullptr;
            }
        } else if (!initDriver(nullptr)) {
            reason = SDL_GetError();
            if (!initDriver(kSilentDriver)) {
                return nullptr;
            }
            fellBack = true;
        }
    }
    SDL_AudioSpec obtained{};
    self->device_ = openDevice(rate, self.get(), &SdlOutput::callback, obtained);
    if (self->device_ == 0 && firstUser && output == AudioOutput::Auto && !fellBack) {
        reason = SDL_GetError();
        SDL_AudioQuit();
        if (initDriver(kSilentDriver)) {
            self->device_ = openDevice(rate, self.get(), &SdlOutput::callback, obtained);
            fellBack = true;
        }
    }
    if (self->device_ == 0) {
        if (firstUser) {
            SDL_AudioQuit();
        }
        return nullptr;
    }
    if (fellBack && log) {
        log("No sound device could be opened (" + reason + "): playing through the silent output");
    }
    ++sdlUsers;
    self->bufferFrames_ = obtained.samples;
    SDL_PauseAudioDevice(self->device_, 0);
    return self;
}

SdlOutput::~SdlOutput() {
    const std::lock_guard lock(sdlMutex);
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_); // joins SDL's audio thread
    }
    if (--sdlUsers == 0) {
        SDL_AudioQuit();
    }
}

void SdlOutput::suspend() {
    const std::lock_guard lock(sdlMutex);
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_); // joins SDL's audio thread
        device_ = 0;
    }
}

bool SdlOutput::resume() {
    const std::lock_guard lock(sdlMutex);
    if (device_ != 0) {
        return true;
    }
    SDL_AudioSpec obtained{};
    device_ = openDevice(rate_, this, &SdlOutput::callback, obtained);
    if (device_ == 0) {
        return false;
    }
    bufferFrames_ = obtained.samples;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SdlOutput::callback(void* self, unsigned char* stream, int length) noexcept {
    const auto frames = static_cast<std::size_t>(length) / (2 * sizeof(float));
    static_cast<SdlOutput*>(self)->render_(reinterpret_cast<float*>(stream), frames);
}

} // namespace tembrel::playback
