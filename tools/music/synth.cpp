#include "synth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;

float poly_blep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return float(t + t - t * t - 1.0);
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return float(t * t + t + t + 1.0);
    }
    return 0.0f;
}

void add(Bus& out, int64_t i, float l, float r) {
    if (i < 0 || i >= int64_t(out.left.size())) return;
    out.left[size_t(i)] += l;
    out.right[size_t(i)] += r;
}

// Equal-power pan gains.
void pan_gains(float pan, float* l, float* r) {
    float a = float((std::clamp(pan, -1.0f, 1.0f) + 1.0f) * 0.25 * PI);
    *l = std::cos(a) * 1.41421356f;
    *r = std::sin(a) * 1.41421356f;
}

} // namespace

Bus bus_make(int64_t frames) {
    Bus b;
    b.left.assign(size_t(frames), 0.0f);
    b.right.assign(size_t(frames), 0.0f);
    return b;
}

int64_t bus_frames(const Bus& bus) { return int64_t(bus.left.size()); }

void bus_mix(Bus& dst, const Bus& src, float gain) {
    size_t n = std::min(dst.left.size(), src.left.size());
    for (size_t i = 0; i < n; ++i) {
        dst.left[i] += src.left[i] * gain;
        dst.right[i] += src.right[i] * gain;
    }
}

float noise_next(Noise& n) {
    // xorshift32: fast and the same everywhere.
    uint32_t x = n.state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    n.state = x;
    return float(int32_t(x)) / 2147483648.0f;
}

float osc_next(Osc& osc, Wave wave, double hz, float pulse_width) {
    double dt = hz / SYNTH_RATE;
    double t = osc.phase;
    float v = 0.0f;
    switch (wave) {
    case WAVE_SINE: v = float(std::sin(2.0 * PI * t)); break;
    case WAVE_SAW: v = float(2.0 * t - 1.0) - poly_blep(t, dt); break;
    case WAVE_SQUARE:
    case WAVE_TRIANGLE: {
        double t2 = t + 1.0 - pulse_width;
        t2 -= std::floor(t2);
        v = (t < pulse_width ? 1.0f : -1.0f) + poly_blep(t, dt) - poly_blep(t2, dt);
        if (wave == WAVE_TRIANGLE) {
            // Leaky integration of the square gives a clean triangle.
            osc.triangle_state = float(dt * 4.0) * v + (1.0f - float(dt * 0.5)) * osc.triangle_state;
            v = osc.triangle_state;
        }
        break;
    }
    }
    osc.phase += dt;
    osc.phase -= std::floor(osc.phase);
    return v;
}

float adsr_level(const Adsr& env, float t, float held) {
    auto before_release = [&](float at) {
        if (at < env.attack) return at / std::max(env.attack, 1e-5f);
        at -= env.attack;
        if (at < env.decay) return 1.0f - (1.0f - env.sustain) * (at / std::max(env.decay, 1e-5f));
        return env.sustain;
    };
    if (t < held) return before_release(t);
    float from = before_release(held);
    float r = (t - held) / std::max(env.release, 1e-5f);
    return r >= 1.0f ? 0.0f : from * (1.0f - r) * (1.0f - r);
}

SvfOut svf_process(Svf& f, float in, float cutoff_hz, float resonance) {
    if (cutoff_hz != f.cached_cutoff) {
        f.cached_cutoff = cutoff_hz;
        f.cached_g = std::tan(float(PI) * std::clamp(cutoff_hz, 10.0f, SYNTH_RATE * 0.45f) / SYNTH_RATE);
    }
    float g = f.cached_g;
    float k = 2.0f - 2.0f * std::clamp(resonance, 0.0f, 0.98f);
    float a1 = 1.0f / (1.0f + g * (g + k));
    float a2 = g * a1;
    float a3 = g * a2;
    float v3 = in - f.ic2;
    float v1 = a1 * f.ic1 + a2 * v3;
    float v2 = f.ic2 + a2 * f.ic1 + a3 * v3;
    f.ic1 = 2.0f * v1 - f.ic1;
    f.ic2 = 2.0f * v2 - f.ic2;
    return {v2, v1, in - k * v1 - v2};
}

float note_hz(int midi) { return 440.0f * std::pow(2.0f, float(midi - 69) / 12.0f); }

void synth_note(Bus& out, const SynthVoice& voice, int64_t at, float seconds, int midi, float velocity) {
    int64_t length = int64_t((seconds + voice.amp.release) * SYNTH_RATE) + 1;
    float hz = note_hz(midi);
    int copies = std::clamp(voice.unison, 1, 8);
    Osc osc[8];
    float gl[8], gr[8];
    double rate[8];
    for (int c = 0; c < copies; ++c) {
        float spread = copies > 1 ? float(c) / float(copies - 1) * 2.0f - 1.0f : 0.0f;
        rate[c] = hz * std::pow(2.0, double(spread * voice.detune) / 1200.0);
        // Spread the start phases so the copies do not line up at the onset.
        osc[c].phase = std::fmod(0.37 * c + 0.11 * midi, 1.0);
        pan_gains(voice.pan + spread * voice.stereo_spread, &gl[c], &gr[c]);
        gl[c] /= float(copies);
        gr[c] /= float(copies);
    }
    Osc sub;
    Svf fl, fr;
    float cutoff = voice.cutoff;
    for (int64_t i = 0; i < length; ++i) {
        float t = float(i) / SYNTH_RATE;
        float env = adsr_level(voice.amp, t, seconds);
        if (t > seconds && env <= 0.0f) break;
        float l = 0.0f, r = 0.0f;
        for (int c = 0; c < copies; ++c) {
            float v = osc_next(osc[c], voice.wave, rate[c], voice.pulse_width);
            l += v * gl[c];
            r += v * gr[c];
        }
        if (voice.sub > 0.0f) {
            float s = osc_next(sub, WAVE_SINE, hz * 0.5) * voice.sub;
            l += s;
            r += s;
        }
        // The filter follows the envelope at a control rate.
        if ((i & 15) == 0) cutoff = voice.cutoff + voice.env_amount * env;
        l = svf_process(fl, l, cutoff, voice.resonance).low;
        r = svf_process(fr, r, cutoff, voice.resonance).low;
        float g = env * velocity;
        add(out, at + i, l * g, r * g);
    }
}

void drum_kick(Bus& out, int64_t at, float velocity, float weight) {
    // A sine whose pitch falls fast from a knock to a low boom.
    int64_t length = int64_t((0.35f + 0.25f * weight) * SYNTH_RATE);
    double phase = 0.0;
    float decay = 6.5f - 2.5f * weight;
    for (int64_t i = 0; i < length; ++i) {
        float t = float(i) / SYNTH_RATE;
        double hz = 46.0 + 110.0 * std::exp(-t * 38.0) + 40.0 * std::exp(-t * 160.0);
        phase += hz / SYNTH_RATE;
        float body = float(std::sin(2.0 * PI * phase));
        // Fade the last 60 ms so the cut-off does not click.
        float tail = std::min(1.0f, float(length - i) / (0.06f * SYNTH_RATE));
        float amp = std::exp(-t * decay) * std::min(1.0f, t * 800.0f) * tail;
        float click = std::exp(-t * 900.0f) * 0.25f;
        float v = (body * amp + click * body) * velocity;
        add(out, at + i, v, v);
    }
}

void drum_snare(Bus& out, int64_t at, float velocity, Noise& noise) {
    int64_t length = int64_t(0.3 * SYNTH_RATE);
    double phase = 0.0;
    Svf bp;
    for (int64_t i = 0; i < length; ++i) {
        float t = float(i) / SYNTH_RATE;
        double hz = 185.0 + 60.0 * std::exp(-t * 50.0);
        phase += hz / SYNTH_RATE;
        float tone = float(std::sin(2.0 * PI * phase)) * std::exp(-t * 22.0f) * 0.7f;
        float n = svf_process(bp, noise_next(noise), 3800.0f, 0.3f).band * std::exp(-t * 16.0f) * 0.9f;
        float v = (tone + n) * velocity * std::min(1.0f, t * 2000.0f);
        add(out, at + i, v, v);
    }
}

void drum_clap(Bus& out, int64_t at, float velocity, Noise& noise) {
    int64_t length = int64_t(0.25 * SYNTH_RATE);
    Svf bp;
    for (int64_t i = 0; i < length; ++i) {
        float t = float(i) / SYNTH_RATE;
        // Three quick bursts, then the tail.
        float burst = 0.0f;
        for (int k = 0; k < 3; ++k) {
            float tk = t - 0.011f * float(k);
            if (tk >= 0.0f) burst = std::max(burst, std::exp(-tk * 180.0f));
        }
        float env = std::max(burst, 0.6f * std::exp(-t * 18.0f) * (t > 0.022f ? 1.0f : 0.0f));
        float n = svf_process(bp, noise_next(noise), 1300.0f, 0.45f).band;
        float v = n * env * velocity * 1.6f;
        add(out, at + i, v * 0.9f, v);
    }
}

void drum_hat(Bus& out, int64_t at, float velocity, bool open, float pan, Noise& noise) {
    int64_t length = int64_t((open ? 0.6 : 0.08) * SYNTH_RATE);
    float decay = open ? 9.0f : 70.0f;
    Svf hp;
    float gl, gr;
    pan_gains(pan, &gl, &gr);
    for (int64_t i = 0; i < length; ++i) {
        float t = float(i) / SYNTH_RATE;
        float n = svf_process(hp, noise_next(noise), 7500.0f, 0.2f).high;
        float v = n * std::exp(-t * decay) * velocity;
        add(out, at + i, v * gl, v * gr);
    }
}

void drum_tom(Bus& out, int64_t at, float velocity, float hz) {
    int64_t length = int64_t(0.6 * SYNTH_RATE);
    double phase = 0.0;
    for (int64_t i = 0; i < length; ++i) {
        float t = float(i) / SYNTH_RATE;
        phase += (hz * (1.0 + 0.5 * std::exp(-t * 30.0))) / SYNTH_RATE;
        float v = float(std::sin(2.0 * PI * phase)) * std::exp(-t * 9.0f) * velocity * std::min(1.0f, t * 1000.0f);
        add(out, at + i, v, v);
    }
}

void fx_duck(Bus& bus, const std::vector<int64_t>& triggers, float depth, float recovery) {
    size_t next = 0;
    int64_t last = -1000000000;
    int64_t n = bus_frames(bus);
    for (int64_t i = 0; i < n; ++i) {
        while (next < triggers.size() && triggers[next] <= i) last = triggers[next++];
        float t = float(i - last) / SYNTH_RATE;
        float g = 1.0f;
        if (t < recovery) {
            float x = t / recovery;
            g = 1.0f - depth * (1.0f - x * x);
        }
        bus.left[size_t(i)] *= g;
        bus.right[size_t(i)] *= g;
    }
}

void fx_lowpass(Bus& bus, const std::vector<float>& cutoff_per_frame, float resonance) {
    Svf fl, fr;
    int64_t n = std::min<int64_t>(bus_frames(bus), int64_t(cutoff_per_frame.size()));
    for (int64_t i = 0; i < n; ++i) {
        float c = cutoff_per_frame[size_t(i)];
        bus.left[size_t(i)] = svf_process(fl, bus.left[size_t(i)], c, resonance).low;
        bus.right[size_t(i)] = svf_process(fr, bus.right[size_t(i)], c, resonance).low;
    }
}

void fx_highpass(Bus& bus, float cutoff_hz) {
    Svf fl, fr;
    for (size_t i = 0; i < bus.left.size(); ++i) {
        bus.left[i] = svf_process(fl, bus.left[i], cutoff_hz, 0.0f).high;
        bus.right[i] = svf_process(fr, bus.right[i], cutoff_hz, 0.0f).high;
    }
}

void fx_delay(Bus& bus, float seconds, float feedback, float mix) {
    size_t d = size_t(seconds * SYNTH_RATE);
    if (d == 0) return;
    std::vector<float> line_l(d, 0.0f), line_r(d, 0.0f);
    size_t pos = 0;
    Svf tone_l, tone_r;
    for (size_t i = 0; i < bus.left.size(); ++i) {
        float dl = line_l[pos];
        float dr = line_r[pos];
        // Ping-pong: each echo crosses to the other side, a little darker.
        float in = (bus.left[i] + bus.right[i]) * 0.5f;
        line_l[pos] = in + svf_process(tone_r, dr, 3500.0f, 0.0f).low * feedback;
        line_r[pos] = svf_process(tone_l, dl, 3500.0f, 0.0f).low * feedback;
        pos = (pos + 1) % d;
        bus.left[i] += dl * mix;
        bus.right[i] += dr * mix;
    }
}

Bus fx_reverb(const Bus& send, float room, float damp) {
    // Freeverb-style: parallel damped combs, then allpasses, per channel.
    static const int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int allpasses[4] = {556, 441, 341, 225};
    Bus wet = bus_make(bus_frames(send));
    for (int ch = 0; ch < 2; ++ch) {
        const std::vector<float>& in = ch ? send.right : send.left;
        std::vector<float>& out = ch ? wet.right : wet.left;
        int spread = ch ? 23 : 0;
        std::vector<std::vector<float>> cb(8), ab(4);
        size_t cpos[8] = {}, apos[4] = {};
        float store[8] = {};
        for (int k = 0; k < 8; ++k) cb[size_t(k)].assign(size_t(combs[k] + spread), 0.0f);
        for (int k = 0; k < 4; ++k) ab[size_t(k)].assign(size_t(allpasses[k] + spread), 0.0f);
        for (size_t i = 0; i < in.size(); ++i) {
            float x = in[i] * 0.015f;
            float acc = 0.0f;
            for (int k = 0; k < 8; ++k) {
                std::vector<float>& b = cb[size_t(k)];
                float y = b[cpos[k]];
                store[k] = y * (1.0f - damp) + store[k] * damp;
                b[cpos[k]] = x + store[k] * room;
                if (++cpos[k] == b.size()) cpos[k] = 0;
                acc += y;
            }
            for (int k = 0; k < 4; ++k) {
                std::vector<float>& b = ab[size_t(k)];
                float buffered = b[apos[k]];
                b[apos[k]] = acc + buffered * 0.5f;
                acc = buffered - acc;
                if (++apos[k] == b.size()) apos[k] = 0;
            }
            out[i] = acc;
        }
    }
    return wet;
}

void fx_drive(Bus& bus, float amount) {
    // Unity gain for quiet signals, rounded peaks for loud ones.
    for (size_t i = 0; i < bus.left.size(); ++i) {
        bus.left[i] = std::tanh(bus.left[i] * amount) / amount;
        bus.right[i] = std::tanh(bus.right[i] * amount) / amount;
    }
}
