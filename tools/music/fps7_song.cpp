// The demo's track, "fps7.ogg": D minor, 120 BPM (one bar = 2 s, so every
// 12 s cue of the demo falls on a bar line). Usage: music_gen OUT.ogg
#include "synth.h"

#include "platform/platform_ogg.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double BAR = 2.0;
constexpr double STEP = BAR / 16.0; // a sixteenth
constexpr int BARS = 54;            // 108 s
constexpr double LENGTH = BARS * BAR;
constexpr double SWING = 0.018; // late off-sixteenths, for the groove

int64_t frame_at(double seconds) { return int64_t(std::llround(seconds * SYNTH_RATE)); }

double step_time(int bar, int step) { return bar * BAR + step * STEP + ((step & 1) ? SWING : 0.0); }

// Sections, in bars.
enum Section { INTRO, BEAT_IN, FULL, GROOVE, VARIATION, SHAFT, CREDITS, TAIL };

Section section_of(int bar) {
    if (bar < 6) return INTRO;      // 0-12 s
    if (bar < 12) return BEAT_IN;   // 12-24 s
    if (bar < 18) return FULL;      // 24-36 s
    if (bar < 30) return GROOVE;    // 36-60 s, build-up from 51.4 s
    if (bar < 36) return VARIATION; // 60-72 s
    if (bar < 42) return SHAFT;     // 72-84 s
    if (bar < 50) return CREDITS;   // 84-100 s
    return TAIL;
}

// Chords of D minor. Root in octave 2 for the bass, triad for the pads.
struct Chord {
    int root;    // bass note
    int pad[4];  // pad voicing
    int stab[3]; // short chord an octave higher
};

const Chord DM = {38, {50, 53, 57, 62}, {62, 65, 69}};
const Chord BB = {34, {46, 50, 53, 58}, {62, 65, 70}};
const Chord FM = {41, {53, 57, 60, 65}, {60, 65, 69}};
const Chord CM = {36, {48, 52, 55, 60}, {60, 64, 67}};
const Chord GM = {43, {50, 55, 58, 62}, {62, 67, 70}};
const Chord AM = {33, {49, 52, 57, 61}, {61, 64, 69}};

const Chord& chord_of(int bar) {
    static const Chord* main_prog[4] = {&DM, &BB, &FM, &CM};
    static const Chord* variation[4] = {&GM, &BB, &DM, &AM};
    static const Chord* shaft[4] = {&DM, &FM, &BB, &CM};
    Section s = section_of(bar);
    if (s == VARIATION) return *variation[bar % 4];
    if (s == SHAFT) return *shaft[bar % 4];
    if (s == TAIL) return DM;
    return *main_prog[bar % 4];
}

struct Note {
    int step, midi, length;
};

// The hook: four bars over Dm, Bb, F, C.
const std::vector<Note> MELODY[4] = {
    {{0, 69, 3}, {3, 74, 3}, {6, 77, 2}, {8, 76, 2}, {10, 74, 2}, {12, 72, 4}},
    {{0, 74, 3}, {3, 77, 3}, {6, 74, 2}, {8, 70, 4}, {12, 69, 4}},
    {{0, 72, 3}, {3, 77, 3}, {6, 81, 2}, {8, 79, 2}, {10, 77, 2}, {12, 76, 4}},
    {{0, 76, 3}, {3, 79, 3}, {6, 76, 2}, {8, 72, 4}, {12, 74, 2}, {14, 76, 2}},
};

// A calmer answer for the variation, over Gm, Bb, Dm, A.
const std::vector<Note> ANSWER[4] = {
    {{0, 74, 6}, {6, 70, 2}, {8, 72, 4}, {12, 74, 4}},
    {{0, 77, 6}, {6, 74, 2}, {8, 72, 8}},
    {{0, 69, 6}, {6, 72, 2}, {8, 74, 4}, {12, 77, 4}},
    {{0, 76, 8}, {8, 73, 4}, {12, 76, 4}},
};

struct Song {
    Bus drums, bass, pads, stabs, lead, pulse, fx;
    std::vector<int64_t> kicks;
    Noise noise;
};

SynthVoice bass_voice() {
    SynthVoice v;
    v.wave = WAVE_SAW;
    v.sub = 0.6f;
    v.amp = {0.003f, 0.12f, 0.55f, 0.06f};
    v.cutoff = 260.0f;
    v.env_amount = 700.0f;
    v.resonance = 0.35f;
    return v;
}

// Rounder bass for the shaft: mostly the fundamental, so each note lights
// one spectrum band.
SynthVoice shaft_bass_voice() {
    SynthVoice v;
    v.wave = WAVE_TRIANGLE;
    v.amp = {0.002f, 0.09f, 0.5f, 0.05f};
    v.cutoff = 500.0f;
    v.env_amount = 300.0f;
    v.resonance = 0.1f;
    return v;
}

SynthVoice pad_voice() {
    SynthVoice v;
    v.wave = WAVE_SAW;
    v.unison = 3;
    v.detune = 14.0f;
    v.stereo_spread = 0.7f;
    v.amp = {0.6f, 0.5f, 0.8f, 1.2f};
    v.cutoff = 1400.0f;
    v.resonance = 0.1f;
    return v;
}

SynthVoice stab_voice() {
    SynthVoice v;
    v.wave = WAVE_SQUARE;
    v.pulse_width = 0.35f;
    v.unison = 2;
    v.detune = 9.0f;
    v.stereo_spread = 0.5f;
    v.amp = {0.002f, 0.12f, 0.0f, 0.08f};
    v.cutoff = 900.0f;
    v.env_amount = 2200.0f;
    v.resonance = 0.3f;
    return v;
}

SynthVoice lead_voice() {
    SynthVoice v;
    v.wave = WAVE_SAW;
    v.unison = 3;
    v.detune = 10.0f;
    v.stereo_spread = 0.3f;
    v.amp = {0.01f, 0.2f, 0.6f, 0.15f};
    v.cutoff = 1800.0f;
    v.env_amount = 2500.0f;
    v.resonance = 0.25f;
    return v;
}

SynthVoice pulse_voice() {
    SynthVoice v;
    v.wave = WAVE_SQUARE;
    v.pulse_width = 0.25f;
    v.amp = {0.002f, 0.1f, 0.2f, 0.05f};
    v.cutoff = 5000.0f; // the bus filter does the sweeping
    v.pan = 0.0f;
    return v;
}

void kick(Song& s, double t, float velocity, float weight) {
    drum_kick(s.drums, frame_at(t), velocity, weight);
    s.kicks.push_back(frame_at(t));
}

// ---- drums ---------------------------------------------------------------

void drums_bar(Song& s, int bar) {
    Section sec = section_of(bar);
    double t0 = bar * BAR;
    auto at = [&](int step) { return step_time(bar, step); };

    switch (sec) {
    case INTRO:
        // Only a tick, late in the intro, to hint at the pulse.
        if (bar >= 4)
            for (int q = 0; q < 16; q += 4) drum_hat(s.drums, frame_at(at(q + 2)), 0.12f, false, 0.3f, s.noise);
        return;
    case BEAT_IN:
        for (int e = 0; e < 16; e += 2)
            drum_hat(s.drums, frame_at(at(e)), (e % 4 == 2) ? 0.28f : 0.14f, false, 0.25f, s.noise);
        if (bar >= 8) {
            // A soft, short kick that grows towards the drop.
            float v = 0.35f + 0.08f * float(bar - 8);
            for (int q = 0; q < 16; q += 4) kick(s, at(q), v, 0.0f);
        }
        if (bar >= 9) {
            drum_clap(s.drums, frame_at(at(4)), 0.3f, s.noise);
            drum_clap(s.drums, frame_at(at(12)), 0.3f, s.noise);
        }
        if (bar == 11) {
            for (int k = 0; k < 4; ++k) drum_snare(s.drums, frame_at(at(12 + k)), 0.2f + 0.1f * k, s.noise);
        }
        return;
    case TAIL:
        if (bar == 50) {
            kick(s, t0, 0.95f, 1.0f);
            drum_hat(s.drums, frame_at(t0), 0.5f, true, 0.0f, s.noise);
        }
        return;
    default: break;
    }

    // Four to the floor from the drop on; the credits hit hardest.
    float kv = sec == CREDITS ? 1.0f : (sec == SHAFT ? 0.72f : 0.85f);
    float kw = sec == CREDITS ? 1.0f : 0.5f;
    if (sec == VARIATION) {
        // Broken beat: the variation breathes.
        for (int st : {0, 6, 10}) kick(s, at(st), kv, kw);
        if (bar % 2 == 1) kick(s, at(14), kv * 0.8f, kw);
    } else {
        for (int q = 0; q < 16; q += 4) kick(s, at(q), kv, kw);
    }
    if (sec == CREDITS && bar % 4 == 3) kick(s, at(14), kv * 0.8f, kw);

    // Backbeat.
    bool build = bar * BAR + BAR > 51.4 && bar < 30;
    if (sec == VARIATION) {
        drum_snare(s.drums, frame_at(at(8)), 0.6f, s.noise);
    } else if (!build || bar < 27) {
        drum_clap(s.drums, frame_at(at(4)), 0.55f, s.noise);
        drum_clap(s.drums, frame_at(at(12)), 0.55f, s.noise);
        if (sec == GROOVE || sec == CREDITS) drum_snare(s.drums, frame_at(at(12)), 0.3f, s.noise);
    }

    // Hats: sixteenths with accents on the off-beats, open hat on the "and".
    for (int st = 0; st < 16; ++st) {
        float v = (st % 4 == 2) ? 0.32f : ((st & 1) ? 0.12f : 0.18f);
        bool open = (st % 4 == 2) && (sec == GROOVE || sec == CREDITS);
        if (sec == FULL && (st & 1)) continue;
        drum_hat(s.drums, frame_at(at(st)), open ? 0.2f : v, open, (st & 1) ? 0.35f : -0.2f, s.noise);
    }

    // Fills at phrase ends.
    if (sec != CREDITS && bar % 6 == 5 && !build) {
        static const float toms[4] = {196.0f, 174.6f, 146.8f, 110.0f};
        for (int k = 0; k < 4; ++k) drum_tom(s.drums, frame_at(at(12 + k)), 0.45f, toms[k]);
    }
    if (bar == 35) {
        // Into the shaft: a tom run that lands on the 71.8 s cue.
        for (int k = 0; k < 3; ++k) drum_tom(s.drums, frame_at(71.4 + 0.133 * k), 0.5f, 220.0f - 40.0f * k);
    }
}

// The build-up from 51.4 s: a snare roll that speeds up and a noise riser.
void build_up(Song& s) {
    double t = 51.4;
    while (t < 59.9) {
        double x = (t - 51.4) / 8.5; // 0..1
        double gap = x < 0.3 ? 0.5 : (x < 0.6 ? 0.25 : (x < 0.85 ? 0.125 : 0.0625));
        drum_snare(s.drums, frame_at(t), float(0.18 + 0.4 * x), s.noise);
        t += gap;
    }
    int64_t a = frame_at(51.4), b = frame_at(60.0);
    Svf bp;
    for (int64_t i = a; i < b; ++i) {
        float x = float(i - a) / float(b - a);
        float n = noise_next(s.noise);
        float v = svf_process(bp, n, 400.0f + 7000.0f * x * x, 0.5f).band * 0.22f * x;
        s.fx.left[size_t(i)] += v;
        s.fx.right[size_t(i)] += v * 0.9f;
    }
}

// ---- bass ----------------------------------------------------------------

void bass_bar(Song& s, int bar) {
    Section sec = section_of(bar);
    const Chord& c = chord_of(bar);
    auto at = [&](int step) { return frame_at(step_time(bar, step)); };
    SynthVoice v = bass_voice();

    switch (sec) {
    case INTRO: {
        // A swelling sustained root; the swell is the velocity.
        SynthVoice swell = v;
        swell.wave = WAVE_TRIANGLE;
        swell.sub = 0.3f;
        swell.amp = {0.8f, 0.2f, 1.0f, 0.6f};
        swell.cutoff = 200.0f;
        swell.env_amount = 0.0f;
        synth_note(s.bass, swell, frame_at(bar * BAR), float(BAR - 0.3), c.root, 0.08f + 0.07f * float(bar));
        return;
    }
    case BEAT_IN:
        // Eighth pulses, filtered, growing.
        v.cutoff = 180.0f + 30.0f * float(bar - 6);
        v.env_amount = 300.0f;
        for (int e = 2; e < 16; e += 4) synth_note(s.bass, v, at(e), 0.2f, c.root, 0.5f);
        if (bar >= 9)
            for (int e = 0; e < 16; e += 4) synth_note(s.bass, v, at(e + 3), 0.08f, c.root + 12, 0.3f);
        return;
    case SHAFT: {
        // Busy line: octave jumps so each note sits in a different band, and
        // every band gets its own rhythm.
        SynthVoice sv = shaft_bass_voice();
        // Root, octave, fifth above it, two octaves, the third on top: for
        // these roots each lands in its own band of the lowest five.
        int third = (c.root == 38) ? 27 : 28;
        const int step_of[5] = {0, 12, 19, 24, third};
        static const int line[16] = {0, 1, -1, 2, 1, -1, 3, 0, -1, 2, 3, 1, 4, 0, 2, 4};
        static const int vel[16] = {9, 6, 0, 7, 6, 0, 8, 7, 0, 6, 8, 5, 8, 6, 7, 6};
        for (int st = 0; st < 16; ++st) {
            if (line[st] < 0) continue;
            int n = c.root + step_of[line[st]];
            synth_note(s.bass, sv, at(st), float(STEP * 0.8), n, float(vel[st]) / 10.0f * 0.55f);
        }
        return;
    }
    case TAIL:
        if (bar == 50) {
            SynthVoice end = v;
            end.amp = {0.005f, 1.5f, 0.3f, 3.0f};
            synth_note(s.bass, end, frame_at(bar * BAR), 3.0f, 38, 0.7f);
        }
        return;
    default: break;
    }

    // Rolling off-beat bass: root on the "and", octave ghost after it.
    float accent = sec == CREDITS ? 0.75f : 0.65f;
    for (int e = 2; e < 16; e += 4) {
        synth_note(s.bass, v, at(e), 0.16f, c.root, accent);
        synth_note(s.bass, v, at(e + 1), 0.07f, c.root + 12, accent * 0.55f);
    }
    if (sec == VARIATION && bar % 2 == 0) synth_note(s.bass, v, at(0), 0.1f, c.root, 0.5f);
    if (sec == GROOVE || sec == CREDITS) {
        // A walk up into the next chord every other bar.
        if (bar % 2 == 1) synth_note(s.bass, v, at(15), 0.06f, c.root + 7, accent * 0.5f);
    }
}

// ---- chords and melody ---------------------------------------------------

void pads_bar(Song& s, int bar) {
    Section sec = section_of(bar);
    const Chord& c = chord_of(bar);
    SynthVoice v = pad_voice();
    if (sec == SHAFT) return; // the bass has the floor to itself
    float vel = sec == INTRO ? 0.18f : (sec == BEAT_IN ? 0.16f : 0.12f);
    float held = float(BAR) - 0.1f;
    if (sec == TAIL) {
        if (bar != 50) return;
        v.amp.release = 4.0f;
        held = 2.5f;
        vel = 0.16f;
    }
    for (int n : c.pad) synth_note(s.pads, v, frame_at(bar * BAR), held, n, vel);
}

void stabs_bar(Song& s, int bar) {
    Section sec = section_of(bar);
    if (sec != GROOVE && sec != CREDITS && sec != VARIATION && sec != FULL) return;
    const Chord& c = chord_of(bar);
    SynthVoice v = stab_voice();
    static const int pattern[] = {2, 6, 7, 10, 14};
    for (int st : pattern) {
        if (sec == FULL && st == 7) continue;
        for (int n : c.stab) synth_note(s.stabs, v, frame_at(step_time(bar, st)), 0.09f, n, 0.11f);
    }
}

void pulse_bar(Song& s, int bar) {
    Section sec = section_of(bar);
    if (sec != INTRO && sec != BEAT_IN && sec != SHAFT) return;
    const Chord& c = chord_of(bar);
    SynthVoice v = pulse_voice();
    // Sixteenth arpeggio over the pad's notes, two octaves up in the shaft.
    int up = sec == SHAFT ? 24 : 12;
    static const int order[8] = {0, 1, 2, 3, 2, 1, 3, 1};
    for (int st = 0; st < 16; ++st) {
        int n = c.pad[order[st % 8]] + up;
        synth_note(s.pulse, v, frame_at(step_time(bar, st)), float(STEP * 0.6), n, (st % 4 == 0) ? 0.16f : 0.1f);
    }
}

void lead_bar(Song& s, int bar) {
    Section sec = section_of(bar);
    SynthVoice v = lead_voice();
    const std::vector<Note>* notes = nullptr;
    int shift = 0;
    if (sec == GROOVE && bar >= 20) notes = &MELODY[bar % 4];
    if (sec == CREDITS) notes = &MELODY[bar % 4];
    if (sec == VARIATION) {
        notes = &ANSWER[bar % 4];
        v.wave = WAVE_SQUARE;
        v.pulse_width = 0.4f;
    }
    if (!notes) return;
    if (sec == CREDITS && bar >= 46) shift = 12; // the last round an octave up
    for (const Note& n : *notes) {
        float len = float(n.length * STEP * 0.9);
        synth_note(s.lead, v, frame_at(step_time(bar, n.step)), len, n.midi + shift, shift ? 0.09f : 0.12f);
    }
}

// ---- mixing --------------------------------------------------------------

// Pad brightness: opens through the intro, and again in the build-up.
std::vector<float> pad_cutoff(int64_t frames) {
    std::vector<float> c(static_cast<size_t>(frames));
    for (int64_t i = 0; i < frames; ++i) {
        double t = double(i) / SYNTH_RATE;
        double hz = 2200.0;
        if (t < 12.0) hz = 300.0 + 1900.0 * (t / 12.0) * (t / 12.0);
        else if (t > 51.4 && t < 60.0) hz = 2200.0 + 4000.0 * (t - 51.4) / 8.6;
        c[size_t(i)] = float(hz);
    }
    return c;
}

std::vector<float> pulse_cutoff(int64_t frames) {
    std::vector<float> c(static_cast<size_t>(frames));
    for (int64_t i = 0; i < frames; ++i) {
        double t = double(i) / SYNTH_RATE;
        // A slow wah over two bars, opening further as the intro goes on.
        double base = 350.0 + 1200.0 * std::min(1.0, t / 24.0);
        double wobble = 0.5 - 0.5 * std::cos(2.0 * 3.14159265358979 * t / (2.0 * BAR));
        c[size_t(i)] = float(base + 1500.0 * wobble);
    }
    return c;
}

void fade_out(Bus& bus, double from, double to) {
    int64_t a = frame_at(from), b = std::min(frame_at(to), bus_frames(bus));
    for (int64_t i = a; i < bus_frames(bus); ++i) {
        float g = i >= b ? 0.0f : 1.0f - float(i - a) / float(b - a);
        g *= g;
        bus.left[size_t(i)] *= g;
        bus.right[size_t(i)] *= g;
    }
}

Bus render() {
    int64_t frames = frame_at(LENGTH);
    Song s;
    for (Bus* b : {&s.drums, &s.bass, &s.pads, &s.stabs, &s.lead, &s.pulse, &s.fx}) *b = bus_make(frames);
    for (int bar = 0; bar < BARS; ++bar) {
        drums_bar(s, bar);
        bass_bar(s, bar);
        pads_bar(s, bar);
        stabs_bar(s, bar);
        pulse_bar(s, bar);
        lead_bar(s, bar);
    }
    build_up(s);
    std::sort(s.kicks.begin(), s.kicks.end());

    fx_lowpass(s.pads, pad_cutoff(frames), 0.15f);
    fx_lowpass(s.pulse, pulse_cutoff(frames), 0.55f);
    fx_drive(s.bass, 1.6f);
    fx_duck(s.bass, s.kicks, 0.75f, 0.16f);
    fx_duck(s.pads, s.kicks, 0.6f, 0.32f);
    fx_duck(s.stabs, s.kicks, 0.3f, 0.12f);
    fx_delay(s.lead, float(3 * STEP), 0.38f, 0.35f);
    fx_delay(s.pulse, float(3 * STEP), 0.3f, 0.25f);

    Bus send = bus_make(frames);
    bus_mix(send, s.pads, 0.6f);
    bus_mix(send, s.lead, 0.5f);
    bus_mix(send, s.stabs, 0.4f);
    bus_mix(send, s.drums, 0.12f);
    bus_mix(send, s.pulse, 0.4f);
    Bus wet = fx_reverb(send, 0.86f, 0.3f);
    fx_highpass(wet, 180.0f); // keep the low end dry and tight

    Bus mix = bus_make(frames);
    bus_mix(mix, s.drums, 1.0f);
    bus_mix(mix, s.bass, 0.8f);
    bus_mix(mix, s.pads, 0.8f);
    bus_mix(mix, s.stabs, 0.7f);
    bus_mix(mix, s.lead, 0.55f);
    bus_mix(mix, s.pulse, 0.6f);
    bus_mix(mix, s.fx, 1.0f);
    bus_mix(mix, wet, 0.9f);
    fx_highpass(mix, 22.0f);
    fade_out(mix, 103.0, 108.0);
    return mix;
}

// Soft limiting, then a fixed ceiling just under full scale.
void master(Bus& mix, float* peak_out, float* rms_out) {
    fx_drive(mix, 0.9f);
    float peak = 0.0f;
    for (size_t i = 0; i < mix.left.size(); ++i)
        peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
    // -1.5 dBFS leaves room for the encoder's overshoot.
    float gain = peak > 0.0f ? 0.84f / peak : 1.0f;
    double sum = 0.0;
    peak = 0.0f;
    for (size_t i = 0; i < mix.left.size(); ++i) {
        mix.left[i] *= gain;
        mix.right[i] *= gain;
        peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
        sum += double(mix.left[i]) * mix.left[i] + double(mix.right[i]) * mix.right[i];
    }
    *peak_out = peak;
    *rms_out = float(std::sqrt(sum / double(2 * mix.left.size())));
}

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.ogg\n", argv[0]);
        return 2;
    }
    auto t0 = std::chrono::steady_clock::now();
    Bus mix = render();
    float peak = 0.0f, rms = 0.0f;
    master(mix, &peak, &rms);
    double synth_s = seconds_since(t0);

    int64_t frames = bus_frames(mix);
    int clipped = 0;
    std::vector<float> pcm(size_t(frames) * 2);
    for (int64_t i = 0; i < frames; ++i) {
        pcm[size_t(2 * i)] = mix.left[size_t(i)];
        pcm[size_t(2 * i + 1)] = mix.right[size_t(i)];
        if (std::fabs(mix.left[size_t(i)]) >= 1.0f || std::fabs(mix.right[size_t(i)]) >= 1.0f) ++clipped;
    }
    auto t1 = std::chrono::steady_clock::now();
    // The encoder alone: the generator needs no audio device. Same serial as
    // audio_write_ogg, so the file is the same byte for byte.
    if (!platform_ogg_write(argv[1], pcm.data(), frames, 2, SYNTH_RATE, 0.5f, 0x56414e54)) {
        std::fprintf(stderr, "music_gen: cannot write %s\n", argv[1]);
        return 1;
    }
    double encode_s = seconds_since(t1);
    std::printf("music_gen: %s: %.1f s, peak %.3f (%.1f dBFS), RMS %.3f (%.1f dBFS), %d clipped samples, "
                "synthesis %.2f s, encoding %.2f s\n",
                argv[1], double(frames) / SYNTH_RATE, double(peak), 20.0 * std::log10(double(peak)), double(rms),
                20.0 * std::log10(double(rms)), clipped, synth_s, encode_s);
    return clipped ? 1 : 0;
}
