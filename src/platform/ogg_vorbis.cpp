#include "platform/platform_ogg.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

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

bool platform_ogg_write(const char* path, const float* samples, int64_t frames, int channels, int rate, float quality,
                        int serial) {
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
