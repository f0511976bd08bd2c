/*
 * The sound cards of the simulated board, as an ALSA PCM plugin ("type orva").
 *
 * A card moves audio in real time, paced by the monotonic clock, optionally faster or slower by
 * a rate offset in ppm (as a real card's crystal is), so that drift correction has something to
 * correct. Capture reads a WAV file under the unit root, looped, or makes a tone when there is
 * none; playback appends to a WAV file under the unit root. Per card:
 *   <root>/sim/audio/<card>-in.wav     capture source (16-bit PCM; channels are repeated to fit)
 *   <root>/sim/audio/<card>-out.wav    what was played (restarted when it reaches max_seconds)
 *   <root>/sim/audio/<card>.ppm        rate offset in ppm, read at every prepare (overrides ppm)
 * Configuration: card (name), root (default: $ORVA_ROOT), ppm, tone_hz, tone_level (0..1),
 * max_seconds. The stream runs dry (underrun) or overflows (overrun) as a card does when the
 * application is late, so the application's recovery path runs as on the board.
 */
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

#include "wav_parse.h"

#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#define WAV_HEADER_SIZE 44
#define MAX_SOURCE_BYTES (64u * 1024u * 1024u)

typedef struct {
    snd_pcm_ioplug_t io;
    char card[64];
    char root[1024];
    double ppm_config;
    double ppm;
    double tone_hz;
    double tone_level;
    double max_seconds;
    int timer_fd;
    int running;
    struct timespec start_time;
    /* capture source */
    int16_t *source;
    size_t source_frames;
    unsigned source_channels;
    size_t source_pos;
    double tone_phase;
    /* playback sink */
    int sink_fd;
    uint64_t sink_bytes;
} snd_pcm_orva_t;

static void audio_path(const snd_pcm_orva_t *o, const char *suffix, char *out, size_t size)
{
    snprintf(out, size, "%s/sim/audio/%s%s", o->root, o->card, suffix);
}

static void put_le32(unsigned char *p, uint32_t v)
{
    p[0] = v & 0xff;
    p[1] = (v >> 8) & 0xff;
    p[2] = (v >> 16) & 0xff;
    p[3] = (v >> 24) & 0xff;
}

static void put_le16(unsigned char *p, uint16_t v)
{
    p[0] = v & 0xff;
    p[1] = (v >> 8) & 0xff;
}

/* Loads a 16-bit PCM WAV file; leaves the source empty (tone) for anything else. */
static void load_source(snd_pcm_orva_t *o)
{
    char path[1200];
    unsigned char *file = NULL;
    size_t len = 0, cap = MAX_SOURCE_BYTES + 64 * 1024;
    struct orva_wav_pcm16 wav;
    FILE *f;

    free(o->source);
    o->source = NULL;
    o->source_frames = 0;
    o->source_pos = 0;
    if (!o->root[0])
        return;
    audio_path(o, "-in.wav", path, sizeof path);
    f = fopen(path, "rb");
    if (!f)
        return;
    if (fseek(f, 0, SEEK_END) == 0) {
        long size = ftell(f);
        if (size > 0 && (unsigned long)size < cap)
            cap = (size_t)size;
        rewind(f);
    }
    file = malloc(cap);
    if (file)
        len = fread(file, 1, cap, f);
    fclose(f);
    if (file && orva_wav_find_pcm16(file, len, &wav) == 0) {
        /* Samples move to the start of the block; the file is little-endian like every host. */
        memmove(file, file + wav.data_offset, wav.frames * wav.channels * 2);
        o->source = (int16_t *)file;
        o->source_frames = wav.frames;
        o->source_channels = wav.channels;
        return;
    }
    free(file);
}

static void read_ppm_file(snd_pcm_orva_t *o)
{
    char path[1200], text[64];
    FILE *f;
    o->ppm = o->ppm_config;
    if (!o->root[0])
        return;
    audio_path(o, ".ppm", path, sizeof path);
    f = fopen(path, "r");
    if (!f)
        return;
    if (fgets(text, sizeof text, f)) {
        char *end;
        double v = strtod(text, &end);
        if (end != text && v > -100000.0 && v < 100000.0)
            o->ppm = v;
    }
    fclose(f);
}

static void write_wav_header(snd_pcm_orva_t *o)
{
    unsigned char h[WAV_HEADER_SIZE];
    unsigned channels = o->io.channels, rate = o->io.rate;
    uint32_t data = o->sink_bytes > 0xffffffe0u ? 0xffffffe0u : (uint32_t)o->sink_bytes;
    memcpy(h, "RIFF", 4);
    put_le32(h + 4, 36 + data);
    memcpy(h + 8, "WAVEfmt ", 8);
    put_le32(h + 16, 16);
    put_le16(h + 20, 1);
    put_le16(h + 22, (uint16_t)channels);
    put_le32(h + 24, rate);
    put_le32(h + 28, rate * channels * 2);
    put_le16(h + 32, (uint16_t)(channels * 2));
    put_le16(h + 34, 16);
    memcpy(h + 36, "data", 4);
    put_le32(h + 40, data);
    if (pwrite(o->sink_fd, h, sizeof h, 0) != (ssize_t)sizeof h) {
        /* A full disk loses the recording, not the stream. */
    }
}

static void open_sink(snd_pcm_orva_t *o)
{
    char path[1200];
    if (o->sink_fd >= 0)
        close(o->sink_fd);
    o->sink_fd = -1;
    o->sink_bytes = 0;
    if (!o->root[0])
        return;
    audio_path(o, "-out.wav", path, sizeof path);
    o->sink_fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (o->sink_fd >= 0)
        write_wav_header(o);
}

static double now_seconds_since(const struct timespec *t0)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - t0->tv_sec) + (double)(now.tv_nsec - t0->tv_nsec) * 1e-9;
}

/* Frames the card has moved since start. */
static snd_pcm_uframes_t frames_elapsed(const snd_pcm_orva_t *o)
{
    double s = now_seconds_since(&o->start_time);
    return (snd_pcm_uframes_t)floor(s * o->io.rate * (1.0 + o->ppm * 1e-6));
}

static int orva_start(snd_pcm_ioplug_t *io)
{
    snd_pcm_orva_t *o = io->private_data;
    struct itimerspec t;
    long tick_ns = (long)((double)io->period_size * 1e9 / io->rate / 4);
    if (tick_ns < 500000)
        tick_ns = 500000;
    clock_gettime(CLOCK_MONOTONIC, &o->start_time);
    memset(&t, 0, sizeof t);
    t.it_value.tv_sec = t.it_interval.tv_sec = tick_ns / 1000000000L;
    t.it_value.tv_nsec = t.it_interval.tv_nsec = tick_ns % 1000000000L;
    timerfd_settime(o->timer_fd, 0, &t, NULL);
    o->running = 1;
    return 0;
}

static int orva_stop(snd_pcm_ioplug_t *io)
{
    snd_pcm_orva_t *o = io->private_data;
    struct itimerspec t;
    memset(&t, 0, sizeof t);
    timerfd_settime(o->timer_fd, 0, &t, NULL);
    o->running = 0;
    return 0;
}

static snd_pcm_sframes_t orva_pointer(snd_pcm_ioplug_t *io)
{
    snd_pcm_orva_t *o = io->private_data;
    snd_pcm_uframes_t elapsed, appl = io->appl_ptr;
    if (!o->running)
        return (snd_pcm_sframes_t)(io->hw_ptr % io->buffer_size);
    elapsed = frames_elapsed(o);
    if (io->stream == SND_PCM_STREAM_PLAYBACK) {
        /* The card has played everything it was given: it runs dry. */
        if (elapsed >= appl)
            return -EPIPE;
    } else if (elapsed >= appl + io->buffer_size) {
        /* The application has left a full buffer unread: the card overruns. */
        return -EPIPE;
    }
    return (snd_pcm_sframes_t)(elapsed % io->buffer_size);
}

static int16_t *area_sample(const snd_pcm_channel_area_t *a, snd_pcm_uframes_t frame)
{
    return (int16_t *)((char *)a->addr + (a->first + a->step * frame) / 8);
}

static snd_pcm_sframes_t orva_transfer(snd_pcm_ioplug_t *io, const snd_pcm_channel_area_t *areas,
                                       snd_pcm_uframes_t offset, snd_pcm_uframes_t size)
{
    snd_pcm_orva_t *o = io->private_data;
    unsigned channels = io->channels, c;
    snd_pcm_uframes_t i;

    if (io->stream == SND_PCM_STREAM_CAPTURE) {
        for (i = 0; i < size; ++i) {
            if (o->source) {
                const int16_t *frame = o->source + o->source_pos * o->source_channels;
                for (c = 0; c < channels; ++c)
                    *area_sample(&areas[c], offset + i) = frame[c % o->source_channels];
                if (++o->source_pos >= o->source_frames)
                    o->source_pos = 0;
            } else {
                int16_t v = (int16_t)lrint(o->tone_level * 32767.0 * sin(o->tone_phase));
                for (c = 0; c < channels; ++c)
                    *area_sample(&areas[c], offset + i) = v;
                o->tone_phase += 2.0 * M_PI * o->tone_hz / io->rate;
                if (o->tone_phase > 2.0 * M_PI)
                    o->tone_phase -= 2.0 * M_PI;
            }
        }
        return (snd_pcm_sframes_t)size;
    }

    if (o->sink_fd >= 0) {
        int16_t chunk[4096];
        unsigned per = (unsigned)(sizeof chunk / sizeof chunk[0]) / channels;
        snd_pcm_uframes_t done = 0;
        if (o->max_seconds > 0 &&
            o->sink_bytes >= (uint64_t)(o->max_seconds * io->rate) * channels * 2) {
            if (ftruncate(o->sink_fd, WAV_HEADER_SIZE) == 0)
                o->sink_bytes = 0;
        }
        while (done < size) {
            snd_pcm_uframes_t n = size - done < per ? size - done : per;
            ssize_t bytes = (ssize_t)(n * channels * 2);
            for (i = 0; i < n; ++i)
                for (c = 0; c < channels; ++c)
                    chunk[i * channels + c] = *area_sample(&areas[c], offset + done + i);
            if (pwrite(o->sink_fd, chunk, (size_t)bytes, (off_t)(WAV_HEADER_SIZE + o->sink_bytes)) == bytes)
                o->sink_bytes += (uint64_t)bytes;
            done += n;
        }
        write_wav_header(o);
    }
    return (snd_pcm_sframes_t)size;
}

static int orva_prepare(snd_pcm_ioplug_t *io)
{
    snd_pcm_orva_t *o = io->private_data;
    orva_stop(io);
    read_ppm_file(o);
    if (io->stream == SND_PCM_STREAM_CAPTURE) {
        if (!o->source)
            load_source(o);
    } else if (o->sink_fd < 0) {
        open_sink(o);
    }
    return 0;
}

static int orva_drain(snd_pcm_ioplug_t *io)
{
    snd_pcm_orva_t *o = io->private_data;
    if (io->stream == SND_PCM_STREAM_PLAYBACK && o->running && !io->nonblock) {
        /* Wait until the card has played what it holds. */
        snd_pcm_uframes_t appl = io->appl_ptr, elapsed;
        while ((elapsed = frames_elapsed(o)) < appl) {
            double left = (double)(appl - elapsed) / io->rate;
            struct timespec ts = {(time_t)left, (long)((left - floor(left)) * 1e9) + 100000};
            if (ts.tv_nsec >= 1000000000L) {
                ts.tv_sec += 1;
                ts.tv_nsec -= 1000000000L;
            }
            nanosleep(&ts, NULL);
        }
    }
    return orva_stop(io);
}

static int orva_poll_revents(snd_pcm_ioplug_t *io, struct pollfd *pfd, unsigned int nfds,
                             unsigned short *revents)
{
    snd_pcm_orva_t *o = io->private_data;
    uint64_t ticks;
    (void)nfds;
    if (pfd[0].revents & POLLIN) {
        if (read(o->timer_fd, &ticks, sizeof ticks) < 0) {
            /* Nothing pending: another waiter took the tick. */
        }
        *revents = io->stream == SND_PCM_STREAM_PLAYBACK ? POLLOUT : POLLIN;
    } else {
        *revents = 0;
    }
    return 0;
}

static int orva_hw_params(snd_pcm_ioplug_t *io, snd_pcm_hw_params_t *params)
{
    snd_pcm_orva_t *o = io->private_data;
    (void)params;
    /* A new stream shape restarts the recording. */
    if (io->stream == SND_PCM_STREAM_PLAYBACK)
        open_sink(o);
    return 0;
}

static int orva_close(snd_pcm_ioplug_t *io)
{
    snd_pcm_orva_t *o = io->private_data;
    if (o->sink_fd >= 0) {
        write_wav_header(o);
        close(o->sink_fd);
    }
    if (o->timer_fd >= 0)
        close(o->timer_fd);
    free(o->source);
    free(o);
    return 0;
}

static const snd_pcm_ioplug_callback_t orva_callback = {
    .start = orva_start,
    .stop = orva_stop,
    .pointer = orva_pointer,
    .transfer = orva_transfer,
    .close = orva_close,
    .hw_params = orva_hw_params,
    .prepare = orva_prepare,
    .drain = orva_drain,
    .poll_revents = orva_poll_revents,
};

static int set_constraints(snd_pcm_ioplug_t *io)
{
    static const unsigned int access[] = {SND_PCM_ACCESS_RW_INTERLEAVED, SND_PCM_ACCESS_RW_NONINTERLEAVED};
    static const unsigned int formats[] = {SND_PCM_FORMAT_S16_LE};
    static const unsigned int rates[] = {8000, 16000, 32000, 44100, 48000, 96000};
    int err;
    if ((err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 2, access)) < 0 ||
        (err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 1, formats)) < 0 ||
        (err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_RATE, 6, rates)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 8)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 32, 256 * 1024)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 1024)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_BUFFER_BYTES, 64, 4 * 1024 * 1024)) < 0)
        return err;
    return 0;
}

SND_PCM_PLUGIN_DEFINE_FUNC(orva)
{
    snd_config_iterator_t i, next;
    const char *card = NULL, *unit_root = NULL;
    double ppm = 0.0, tone_hz = 997.0, tone_level = 0.25, max_seconds = 300.0;
    snd_pcm_orva_t *o;
    int err;

    snd_config_for_each(i, next, conf) {
        snd_config_t *n = snd_config_iterator_entry(i);
        const char *id;
        if (snd_config_get_id(n, &id) < 0)
            continue;
        if (strcmp(id, "comment") == 0 || strcmp(id, "type") == 0 || strcmp(id, "hint") == 0)
            continue;
        if (strcmp(id, "card") == 0) {
            if (snd_config_get_string(n, &card) < 0) {
                SNDERR("orva: card must be a string");
                return -EINVAL;
            }
        } else if (strcmp(id, "root") == 0) {
            if (snd_config_get_string(n, &unit_root) < 0) {
                SNDERR("orva: root must be a string");
                return -EINVAL;
            }
        } else if (strcmp(id, "ppm") == 0 || strcmp(id, "tone_hz") == 0 ||
                   strcmp(id, "tone_level") == 0 || strcmp(id, "max_seconds") == 0) {
            double v;
            long l;
            if (snd_config_get_real(n, &v) < 0) {
                if (snd_config_get_integer(n, &l) < 0) {
                    SNDERR("orva: %s must be a number", id);
                    return -EINVAL;
                }
                v = (double)l;
            }
            if (strcmp(id, "ppm") == 0)
                ppm = v;
            else if (strcmp(id, "tone_hz") == 0)
                tone_hz = v;
            else if (strcmp(id, "tone_level") == 0)
                tone_level = v;
            else
                max_seconds = v;
        } else {
            SNDERR("orva: unknown field %s", id);
            return -EINVAL;
        }
    }
    if (!card || !*card) {
        SNDERR("orva: no card given");
        return -EINVAL;
    }
    if (strcmp(card, "orvaainhp") != 0 && strcmp(card, "orvadin") != 0 && strcmp(card, "orvaincom") != 0) {
        SNDERR("orva: no card %s on this board", card);
        return -ENODEV;
    }
    if (!unit_root)
        unit_root = getenv("ORVA_ROOT");

    o = calloc(1, sizeof *o);
    if (!o)
        return -ENOMEM;
    snprintf(o->card, sizeof o->card, "%s", card);
    snprintf(o->root, sizeof o->root, "%s", unit_root ? unit_root : "");
    o->ppm_config = o->ppm = ppm;
    o->tone_hz = tone_hz;
    o->tone_level = tone_level < 0 ? 0 : tone_level > 1 ? 1 : tone_level;
    o->max_seconds = max_seconds;
    o->sink_fd = -1;
    o->timer_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (o->timer_fd < 0) {
        err = -errno;
        free(o);
        return err;
    }
    o->io.version = SND_PCM_IOPLUG_VERSION;
    o->io.name = "ORVA simulated sound card";
    o->io.flags = SND_PCM_IOPLUG_FLAG_MONOTONIC;
    o->io.poll_fd = o->timer_fd;
    o->io.poll_events = POLLIN;
    o->io.mmap_rw = 0;
    o->io.callback = &orva_callback;
    o->io.private_data = o;

    err = snd_pcm_ioplug_create(&o->io, name, stream, mode);
    if (err < 0) {
        close(o->timer_fd);
        free(o);
        return err;
    }
    err = set_constraints(&o->io);
    if (err < 0) {
        snd_pcm_ioplug_delete(&o->io);
        return err;
    }
    *pcmp = o->io.pcm;
    return 0;
}

SND_PCM_PLUGIN_SYMBOL(orva);
