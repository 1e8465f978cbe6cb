// A small synthesizer: oscillators, envelopes, filters, a drum kit and a
// few effects, all rendering into plain stereo float buses at 44100 Hz.
// Everything is deterministic: noise comes from a seeded generator.
#pragma once

#include <cstdint>
#include <vector>

constexpr int SYNTH_RATE = 44100;

// Interleaved-free stereo bus: two channels of equal length.
struct Bus {
    std::vector<float> left;
    std::vector<float> right;
};

Bus bus_make(int64_t frames);
int64_t bus_frames(const Bus& bus);
// Adds `src` times `gain` into `dst`.
void bus_mix(Bus& dst, const Bus& src, float gain);

struct Noise {
    uint32_t state = 0x12345678u;
};
float noise_next(Noise& n); // white, -1..1

enum Wave { WAVE_SINE, WAVE_SAW, WAVE_SQUARE, WAVE_TRIANGLE };

// One band-limited oscillator (polyBLEP edges).
struct Osc {
    double phase = 0.0;
    float triangle_state = 0.0f;
};
float osc_next(Osc& osc, Wave wave, double hz, float pulse_width = 0.5f);

struct Adsr {
    float attack = 0.005f; // seconds
    float decay = 0.1f;
    float sustain = 0.7f;
    float release = 0.1f;
};
// Level at `t` seconds after the note on, for a note held `held` seconds.
float adsr_level(const Adsr& env, float t, float held);

// Topology-preserving state-variable filter.
struct Svf {
    float ic1 = 0.0f;
    float ic2 = 0.0f;
    float cached_cutoff = -1.0f; // the tangent is only redone on a change
    float cached_g = 0.0f;
};
struct SvfOut {
    float low, band, high;
};
SvfOut svf_process(Svf& f, float in, float cutoff_hz, float resonance);

float note_hz(int midi);

// Instruments render one note into a bus, starting at frame `at`.
struct SynthVoice {
    Wave wave = WAVE_SAW;
    int unison = 1;      // detuned copies
    float detune = 0.0f; // cents between copies
    float pulse_width = 0.5f;
    float sub = 0.0f; // sine an octave below
    Adsr amp;
    float cutoff = 2000.0f;  // filter base cutoff
    float env_amount = 0.0f; // filter opening from the amp envelope, Hz
    float resonance = 0.2f;
    float pan = 0.0f;           // -1 left .. 1 right
    float stereo_spread = 0.0f; // unison copies spread across the field
};
void synth_note(Bus& out, const SynthVoice& voice, int64_t at, float seconds, int midi, float velocity);

// The drum kit.
void drum_kick(Bus& out, int64_t at, float velocity, float weight);
void drum_snare(Bus& out, int64_t at, float velocity, Noise& noise);
void drum_clap(Bus& out, int64_t at, float velocity, Noise& noise);
void drum_hat(Bus& out, int64_t at, float velocity, bool open, float pan, Noise& noise);
void drum_tom(Bus& out, int64_t at, float velocity, float hz);

// Effects on whole buses.
// Multiplies the bus by a gain that dips after every trigger (side-chain
// pumping from the kick): depth 0..1, recovery in seconds.
void fx_duck(Bus& bus, const std::vector<int64_t>& triggers, float depth, float recovery);
void fx_lowpass(Bus& bus, const std::vector<float>& cutoff_per_frame, float resonance);
void fx_highpass(Bus& bus, float cutoff_hz);
// Ping-pong delay mixed in at `mix`.
void fx_delay(Bus& bus, float seconds, float feedback, float mix);
// A small Schroeder/Moorer reverb; returns the wet signal only.
Bus fx_reverb(const Bus& send, float room, float damp);
// Gentle saturation, for warmth on the bass.
void fx_drive(Bus& bus, float amount);
