// Reads the music clock at a steady display rate while the demo's music
// plays, as the frame loop does, and prints how it moves: the step from one
// frame to the next (mean, sd, largest), frames that show the same instant
// as the one before, steps back, and how far it is from the device's own
// count after a pause and resume, and after a seek and a given time of
// playing (at most 100 s: the music lasts 108). Runs on SDL's dummy driver
// and through a PulseAudio server with a null sink that it starts and stops
// itself.
//
//   vantor-clock-bench [--seconds N] [--rates 60,144] [--drivers dummy,pulseaudio]
//                      [--music FILE] [--delay MS]
#include "audio/audio.h"

#include <SDL.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    double seconds = 20;
    std::vector<int> rates = {60, 144};
    std::vector<std::string> drivers = {"dummy", "pulseaudio"};
    std::string music = VANTOR_MUSIC;
    int delay_ms = 0;
};

// One display frame's reading: the clock and the device's count.
struct Reading {
    unsigned clock;
    double device; // negative: no sound yet
    bool late;     // this program woke too late for the retrace: not the clock's step
};

struct Result {
    long frames = 0;
    double step_mean = 0, step_sd = 0, step_max = 0;
    long still = 0, back = 0;
    long late = 0;          // reads this program woke late for, left out of the steps
    long early = 0;         // frames whose clock ran before the sound had started
    double sound_after = 0; // ms from the start to the first sound
    double drift_play = 0, drift_resume = 0, drift_seek = 0;
    double paused_moved = 0; // ms the clock moved during a 1 s pause
    std::string latency;     // what the sound server says of its own latency
};

// Reads the clock at `hz` on absolute deadlines, like a display's retrace.
struct Display {
    int hz;
    Clock::time_point next;
    long n = 0;
};

Reading display_frame(Display* d) {
    ++d->n;
    d->next += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / d->hz));
    std::this_thread::sleep_until(d->next);
    bool late = Clock::now() - d->next > std::chrono::milliseconds(2);
    return {audio_get_position(), audio_device_position(), late};
}

std::vector<Reading> display_run(Display* d, double seconds) {
    std::vector<Reading> out;
    long frames = std::lround(seconds * d->hz);
    for (long i = 0; i < frames; ++i) out.push_back(display_frame(d));
    return out;
}

// Clock minus the device's count over the last second of a stretch, less the
// delay the clock was asked to keep.
double drift(const std::vector<Reading>& r, int hz, int delay_ms) {
    double sum = 0;
    long n = 0;
    for (size_t i = r.size() > size_t(hz) ? r.size() - size_t(hz) : 0; i < r.size(); ++i) {
        if (r[i].device < 0) continue;
        sum += double(r[i].clock) - (r[i].device - delay_ms);
        ++n;
    }
    return n ? sum / double(n) : NAN;
}

// Steps between consecutive frames of each stretch (not across a seek).
// A busy machine wakes this program late now and then; a step that ends on
// such a read measures the machine, not the clock, and is only counted.
void add_steps(const std::vector<Reading>& r, unsigned before, std::vector<double>* steps, long* late) {
    unsigned last = before;
    for (const Reading& x : r) {
        if (x.late) ++*late;
        else steps->push_back(double(x.clock) - double(last));
        last = x.clock;
    }
}

std::string run_output(const char* command) {
    std::string out;
    FILE* p = popen(command, "r");
    if (!p) return out;
    char line[512];
    while (std::fgets(line, sizeof line, p)) out += line;
    pclose(p);
    return out;
}

// "Buffer Latency: 11609 usec" and "Sink Latency: ..." of our stream.
std::string server_latency() {
    std::istringstream in(run_output("pactl list sink-inputs 2>/dev/null"));
    std::string line, text;
    while (std::getline(in, line)) {
        for (const char* key : {"Buffer Latency:", "Sink Latency:"}) {
            size_t at = line.find(key);
            if (at == std::string::npos) continue;
            double us = std::atof(line.c_str() + at + std::strlen(key));
            char part[64];
            std::snprintf(part, sizeof part, "%s%s %.1f ms", text.empty() ? "" : ", ",
                          key[0] == 'B' ? "buffer" : "sink", us / 1000.0);
            text += part;
        }
    }
    return text;
}

bool measure(const Options& o, const std::string& driver, int hz, Result* res) {
    audio_init();
    const char* running = SDL_GetCurrentAudioDriver();
    if (driver != "dummy" && (!running || driver != running)) {
        std::fprintf(stderr, "vantor-clock-bench: SDL did not open %s\n", driver.c_str());
        audio_shutdown();
        return false;
    }
    AudioStream* stream = audio_create_stream(o.music.c_str());
    if (!stream) {
        std::fprintf(stderr, "vantor-clock-bench: cannot play \"%s\"\n", o.music.c_str());
        audio_shutdown();
        return false;
    }
    // DELAY
    audio_set_delay(o.delay_ms);
    Display d{hz, Clock::now()};
    Clock::time_point start = Clock::now();
    audio_play(stream);
    audio_set_position(0);
    // Until the sound starts the clock must stand at 0.
    for (;;) {
        Reading r = display_frame(&d);
        if (r.device < 0 && r.clock > 0) ++res->early;
        if (r.device >= 0 || Clock::now() - start > std::chrono::seconds(5)) break;
    }
    res->sound_after = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    display_run(&d, 3.0); // warm-up
    if (driver != "dummy") res->latency = server_latency();

    // A pause of a second, 5 s after it, then a seek back near the start and
    // the given time of playing from there.
    std::vector<double> steps;
    audio_set_paused(true);
    unsigned paused_at = audio_get_position();
    std::vector<Reading> pause = display_run(&d, 1.0);
    res->paused_moved = double(pause.back().clock) - double(paused_at);
    audio_set_paused(false);
    std::vector<Reading> resume = display_run(&d, 5.0);
    add_steps(resume, pause.back().clock, &steps, &res->late);
    res->drift_resume = drift(resume, hz, o.delay_ms);

    const unsigned target = 1000;
    audio_set_position(target);
    std::vector<Reading> seek = display_run(&d, 5.0);
    add_steps(seek, target, &steps, &res->late);
    res->drift_seek = drift(seek, hz, o.delay_ms);
    std::vector<Reading> play = display_run(&d, o.seconds - 5.0);
    add_steps(play, seek.back().clock, &steps, &res->late);
    res->drift_play = drift(play, hz, o.delay_ms);
    audio_shutdown();

    double sum = 0, sq = 0;
    for (double s : steps) {
        sum += s;
        res->still += s == 0;
        res->back += s < 0;
        res->step_max = std::max(res->step_max, s);
    }
    res->frames = long(steps.size());
    res->step_mean = sum / double(steps.size());
    for (double s : steps) sq += (s - res->step_mean) * (s - res->step_mean);
    res->step_sd = std::sqrt(sq / double(steps.size()));
    return true;
}

// A PulseAudio server of our own: a null sink, a socket in a fresh folder.
struct PulseServer {
    pid_t pid = -1;
    std::string dir;
};

bool pulse_start(PulseServer* s) {
    char pattern[] = "/tmp/vantor-clock-XXXXXX";
    if (!mkdtemp(pattern)) return false;
    s->dir = pattern;
    std::string socket = s->dir + "/native";
    std::string sink = "--load=module-null-sink sink_name=vantor_clock";
    std::string native = "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket;
    setenv("HOME", s->dir.c_str(), 1);
    setenv("PULSE_RUNTIME_PATH", s->dir.c_str(), 1);
    setenv("PULSE_STATE_PATH", s->dir.c_str(), 1);
    std::string log = s->dir + "/server.log";
    std::vector<std::string> args = {
        "pulseaudio", "-n",  "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--log-target=file:" + log,
        sink,         native};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&s->pid, "pulseaudio", nullptr, nullptr, argv.data(), environ) != 0) {
        s->pid = -1;
        return false;
    }
    setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return std::filesystem::exists(socket);
}

void pulse_stop(PulseServer* s) {
    if (s->pid > 0) {
        kill(s->pid, SIGTERM);
        int status = 0;
        waitpid(s->pid, &status, 0);
    }
    std::error_code ec;
    if (!s->dir.empty()) std::filesystem::remove_all(s->dir, ec);
    unsetenv("PULSE_SERVER");
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ','))
        if (!part.empty()) out.push_back(part);
    return out;
}

bool parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) return false;
        std::string v = argv[++i];
        if (a == "--seconds") o->seconds = std::clamp(std::atof(v.c_str()), 6.0, 100.0);
        else if (a == "--rates") {
            o->rates.clear();
            for (const std::string& r : split(v)) o->rates.push_back(std::clamp(std::atoi(r.c_str()), 1, 1000));
        } else if (a == "--drivers") o->drivers = split(v);
        else if (a == "--music") o->music = v;
        else if (a == "--delay") o->delay_ms = std::atoi(v.c_str());
        else return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, &o)) {
        std::fprintf(stderr, "usage: vantor-clock-bench [--seconds N] [--rates 60,144] "
                             "[--drivers dummy,pulseaudio] [--music FILE] [--delay MS]\n");
        return 2;
    }
    std::printf("3 s of playing, a 1 s pause, 5 s, a seek to 1 s and %.0f s of playing from there;\n"
                "steps and drift (clock minus the device's count, mean of the last second) in ms;\n"
                "late: reads this program woke for over 2 ms late, left out of the steps\n\n",
                o.seconds);
    std::printf("| driver | Hz | frames | step mean | step sd | largest | still | back | after resume | "
                "5 s after seek | %.0f s after seek | paused moved | sound after | early | late |\n"
                "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n",
                o.seconds);
    int status = 0;
    std::vector<std::string> notes;
    for (const std::string& driver : o.drivers) {
        PulseServer server;
        if (driver == "pulseaudio" && !pulse_start(&server)) {
            notes.push_back("pulseaudio: the server did not start (scripts/setup.sh installs it)");
            pulse_stop(&server);
            status = 1;
            continue;
        }
        setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
        for (int hz : o.rates) {
            Result r;
            if (!measure(o, driver, hz, &r)) {
                status = 1;
                continue;
            }
            std::printf("| %s | %d | %ld | %.2f | %.2f | %.0f | %ld | %ld | %+.1f | %+.1f | %+.1f | %.0f | %.0f | %ld "
                        "| %ld |\n",
                        driver.c_str(), hz, r.frames, r.step_mean, r.step_sd, r.step_max, r.still, r.back,
                        r.drift_resume, r.drift_seek, r.drift_play, r.paused_moved, r.sound_after, r.early, r.late);
            std::fflush(stdout);
            if (!r.latency.empty())
                notes.push_back(driver + " at " + std::to_string(hz) + " Hz: the server reports " + r.latency);
        }
        pulse_stop(&server);
    }
    if (!notes.empty()) std::printf("\n");
    for (const std::string& n : notes) std::printf("%s\n", n.c_str());
    return status;
}
