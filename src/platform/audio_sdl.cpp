#include "platform/platform_audio.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

SDL_AudioDeviceID device = 0;
bool subsystem_started = false;
PlatformAudioCallback device_callback = nullptr;
void* device_user = nullptr;
int device_channels = 2;
int device_buffer_frames = 0;
std::string audio_error;

// Without a sound card the output is a thread of our own that pulls buffers
// on absolute deadlines. SDL's dummy driver sleeps a fixed time after every
// buffer, so on a busy machine it falls behind and never catches up.
struct NullOutput {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool running = false;
    bool paused = true;
    int rate = 44100;
    std::vector<float> buffer;
};
NullOutput* null_output = nullptr;

void null_run(NullOutput* out) {
    using Clock = std::chrono::steady_clock;
    int frames = int(out->buffer.size()) / device_channels;
    auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(double(frames) / out->rate));
    Clock::time_point next = Clock::now();
    std::unique_lock<std::mutex> lock(out->mutex);
    while (out->running) {
        if (!out->paused && device_callback) device_callback(device_user, out->buffer.data(), frames);
        next += period;
        // After a long stall start afresh rather than rush through it.
        if (Clock::now() - next > std::chrono::milliseconds(500)) next = Clock::now();
        out->wake.wait_until(lock, next, [out] { return !out->running; });
    }
}

void null_open(int rate, int channels, int buffer_frames) {
    null_output = new NullOutput;
    null_output->rate = rate;
    null_output->buffer.assign(size_t(buffer_frames) * size_t(channels), 0.0f);
    null_output->running = true;
    device_buffer_frames = buffer_frames;
    null_output->thread = std::thread(null_run, null_output);
}

void null_close() {
    if (!null_output) return;
    {
        std::lock_guard<std::mutex> lock(null_output->mutex);
        null_output->running = false;
    }
    null_output->wake.notify_all();
    null_output->thread.join();
    delete null_output;
    null_output = nullptr;
}

void SDLCALL sdl_fill(void* /*user*/, Uint8* stream, int len) {
    int frames = len / int(sizeof(float) * device_channels);
    if (device_callback) device_callback(device_user, reinterpret_cast<float*>(stream), frames);
    else std::memset(stream, 0, size_t(len));
}

bool sdl_open(int rate, int channels, int buffer_frames) {
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = Uint8(channels);
    want.samples = Uint16(buffer_frames);
    want.callback = sdl_fill;
    SDL_AudioSpec have{};
    // No changes allowed: the callback writes exactly this layout.
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device) {
        audio_error = SDL_GetError();
        return false;
    }
    device_buffer_frames = have.samples;
    return true;
}

} // namespace

bool platform_audio_open(int rate, int channels, int buffer_frames, PlatformAudioCallback callback, void* user) {
    if (platform_audio_is_open()) return true;
    if (rate < 1 || channels < 1 || channels > 8 || buffer_frames < 16 || buffer_frames > 32768) return false;
    device_callback = callback;
    device_user = user;
    device_channels = channels;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        subsystem_started = true;
        const char* name = SDL_GetCurrentAudioDriver();
        bool dummy = name && std::strcmp(name, "dummy") == 0;
        if (!dummy && sdl_open(rate, channels, buffer_frames)) return true;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystem_started = false;
    } else {
        audio_error = SDL_GetError();
    }
    // No sound server or card, or the dummy driver was asked for: nothing is
    // heard, but the clock and the spectrum run at real-time rate.
    null_open(rate, channels, buffer_frames);
    return true;
}

void platform_audio_close() {
    null_close();
    if (device) {
        SDL_CloseAudioDevice(device);
        device = 0;
    }
    if (subsystem_started) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystem_started = false;
    }
    device_callback = nullptr;
    device_user = nullptr;
    device_buffer_frames = 0;
}

bool platform_audio_is_open() { return device != 0 || null_output != nullptr; }

int platform_audio_buffer_frames() { return device_buffer_frames; }

void platform_audio_pause(bool paused) {
    if (device) SDL_PauseAudioDevice(device, paused ? 1 : 0);
    if (null_output) {
        std::lock_guard<std::mutex> lock(null_output->mutex);
        null_output->paused = paused;
    }
}

void platform_audio_lock() {
    if (device) SDL_LockAudioDevice(device);
    if (null_output) null_output->mutex.lock();
}

void platform_audio_unlock() {
    if (device) SDL_UnlockAudioDevice(device);
    if (null_output) null_output->mutex.unlock();
}

const char* platform_audio_error() { return audio_error.c_str(); }
