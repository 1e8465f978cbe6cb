#include "platform/platform_audio.h"

#include <SDL.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

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
std::string audio_error;
std::string driver_name;

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
    auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(double(frames) / out->rate));
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
    null_output->thread = std::thread(null_run, null_output);
    driver_name = "dummy";
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
    const char* name = SDL_GetCurrentAudioDriver();
    driver_name = name ? name : "";
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
}

bool platform_audio_is_open() { return device != 0 || null_output != nullptr; }

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

const char* platform_audio_driver() { return driver_name.c_str(); }
const char* platform_audio_error() { return audio_error.c_str(); }

// ---------------------------------------------------------------------------

struct PlatformOgg {
    OggVorbis_File file{};
    int rate = 0;
    int channels = 0;
    int64_t frames = -1;
};

PlatformOgg* platform_ogg_open(const char* path) {
    if (!path) return nullptr;
    FILE* f = std::fopen(path, "rb");
    if (!f) return nullptr;
    auto* ogg = new PlatformOgg;
    // On success the decoder owns the FILE and closes it in ov_clear.
    if (ov_open_callbacks(f, &ogg->file, nullptr, 0, OV_CALLBACKS_DEFAULT) != 0) {
        std::fclose(f);
        delete ogg;
        return nullptr;
    }
    vorbis_info* info = ov_info(&ogg->file, -1);
    if (!info || info->channels < 1 || info->rate < 1 || info->rate > 384000) {
        ov_clear(&ogg->file);
        delete ogg;
        return nullptr;
    }
    ogg->rate = int(info->rate);
    ogg->channels = info->channels;
    ogg_int64_t total = ov_pcm_total(&ogg->file, -1);
    ogg->frames = total >= 0 ? int64_t(total) : -1;
    return ogg;
}

void platform_ogg_close(PlatformOgg* ogg) {
    if (!ogg) return;
    ov_clear(&ogg->file);
    delete ogg;
}

int platform_ogg_rate(const PlatformOgg* ogg) { return ogg ? ogg->rate : 0; }
int platform_ogg_channels(const PlatformOgg* ogg) { return ogg ? ogg->channels : 0; }
int64_t platform_ogg_frames(const PlatformOgg* ogg) { return ogg ? ogg->frames : -1; }

bool platform_ogg_seek(PlatformOgg* ogg, int64_t frame) {
    if (!ogg || frame < 0) return false;
    if (ogg->frames >= 0 && frame > ogg->frames) frame = ogg->frames;
    return ov_pcm_seek(&ogg->file, ogg_int64_t(frame)) == 0;
}

int platform_ogg_read_stereo(PlatformOgg* ogg, float* out, int frames) {
    if (!ogg || !out || frames <= 0) return 0;
    int done = 0;
    int holes = 0;
    while (done < frames) {
        float** pcm = nullptr;
        int section = 0;
        long got = ov_read_float(&ogg->file, &pcm, frames - done, &section);
        if (got == OV_HOLE && ++holes < 8) continue; // a gap in the data: keep going
        if (got <= 0) break;
        // A chained file may change its layout between sections.
        vorbis_info* info = ov_info(&ogg->file, -1);
        int ch = info ? info->channels : 0;
        if (ch < 1) break;
        got = std::min<long>(got, frames - done);
        for (long i = 0; i < got; ++i) {
            float l = pcm[0][i];
            float r = ch > 1 ? pcm[1][i] : l;
            out[2 * (done + i)] = l;
            out[2 * (done + i) + 1] = r;
        }
        done += int(got);
    }
    return done;
}

// ---------------------------------------------------------------------------

namespace {

bool write_pages(FILE* f, ogg_stream_state* os, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(os, &page) : ogg_stream_pageout(os, &page)) {
        if (std::fwrite(page.header, 1, size_t(page.header_len), f) != size_t(page.header_len)) return false;
        if (std::fwrite(page.body, 1, size_t(page.body_len), f) != size_t(page.body_len)) return false;
    }
    return true;
}

} // namespace

bool platform_ogg_write(const char* path, const float* samples, int64_t frames, int channels, int rate,
                        float quality, int serial) {
    if (!path || (!samples && frames > 0) || frames < 0 || channels < 1 || channels > 2 || rate < 1) return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return false;
    }
    FILE* f = std::fopen(path, "wb");
    if (!f) {
        vorbis_info_clear(&vi);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);

    ogg_packet header, header_comm, header_code;
    vorbis_analysis_headerout(&vd, &vc, &header, &header_comm, &header_code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &header_comm);
    ogg_stream_packetin(&os, &header_code);
    bool ok = write_pages(f, &os, true);

    const int64_t chunk = 1024;
    int64_t done = 0;
    bool eos = false;
    while (ok && !eos) {
        int64_t n = std::min(chunk, frames - done);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&vd, int(n));
            for (int64_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c) buffer[c][i] = samples[(done + i) * channels + c];
            vorbis_analysis_wrote(&vd, int(n));
            done += n;
        } else {
            vorbis_analysis_wrote(&vd, 0); // end of stream
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                if (!write_pages(f, &os, false)) ok = false;
                if (op.e_o_s) eos = true;
            }
        }
        if (n <= 0 && !eos) {
            // The encoder has nothing left to give.
            eos = true;
        }
    }
    if (ok) ok = write_pages(f, &os, true);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    if (std::fclose(f) != 0) ok = false;
    return ok;
}
