/* A test-only ALSA capture device that behaves like a card's own device
 * (hw:): one opener at a time, a second open is refused with EBUSY (across
 * processes too: the device is an exclusive lock on a file), 16-bit stereo at
 * 44100 Hz only, and sound that arrives with the clock, period by period.
 * It plays a 1 kHz sine of a chosen amplitude.
 *
 * Loaded by an ALSA configuration such as
 *   pcm_type.kelmfake { lib "/path/libasound_module_pcm_kelmfake.so"
 *                       open "_snd_pcm_kelmfake_open" }
 *   pcm.kelmfake { type kelmfake  lock "/tmp/kelmfake.lock"  amplitude 0.5 }
 * Fault settings: `open_delay_ms N` makes opening take N ms (a sound server
 * that does not answer); `deliver false` opens and starts but never delivers
 * a frame (a device that stalls). */

#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

typedef struct {
    snd_pcm_ioplug_t io;
    int lockFd;
    int timerFd;
    double amplitude;
    int deliver;
    struct timespec startedAt;
    int running;
    snd_pcm_uframes_t generated; /* frames handed to the reader so far */
} FakeCard;

static snd_pcm_uframes_t framesSinceStart(const FakeCard* card) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const double seconds = (double)(now.tv_sec - card->startedAt.tv_sec) +
                           (double)(now.tv_nsec - card->startedAt.tv_nsec) / 1e9;
    return (snd_pcm_uframes_t)(seconds * 44100.0);
}

static int fakeStart(snd_pcm_ioplug_t* io) {
    FakeCard* card = io->private_data;
    clock_gettime(CLOCK_MONOTONIC, &card->startedAt);
    card->running = 1;
    card->generated = 0;
    if (card->deliver) {
        const long periodNs = (long)((double)io->period_size * 1e9 / 44100.0);
        struct itimerspec every = {{periodNs / 1000000000, periodNs % 1000000000},
                                   {periodNs / 1000000000, periodNs % 1000000000}};
        timerfd_settime(card->timerFd, 0, &every, NULL);
    }
    return 0;
}

static int fakeStop(snd_pcm_ioplug_t* io) {
    FakeCard* card = io->private_data;
    struct itimerspec off = {{0, 0}, {0, 0}};
    timerfd_settime(card->timerFd, 0, &off, NULL);
    card->running = 0;
    return 0;
}

static snd_pcm_sframes_t fakePointer(snd_pcm_ioplug_t* io) {
    FakeCard* card = io->private_data;
    if (!card->running || !card->deliver)
        return (snd_pcm_sframes_t)(card->generated % io->buffer_size);
    const snd_pcm_uframes_t captured = framesSinceStart(card);
    return (snd_pcm_sframes_t)(captured % io->buffer_size);
}

static snd_pcm_sframes_t fakeTransfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                                      snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
    FakeCard* card = io->private_data;
    for (snd_pcm_uframes_t i = 0; i < size; ++i) {
        const double t = (double)(card->generated + i) / 44100.0;
        const short value = (short)lrint(card->amplitude * 32767.0 * sin(2.0 * M_PI * 1000.0 * t));
        for (unsigned channel = 0; channel < 2; ++channel) {
            const snd_pcm_channel_area_t* a = &areas[channel];
            short* out = (short*)((char*)a->addr + (a->first + (offset + i) * a->step) / 8);
            *out = value;
        }
    }
    card->generated += size;
    return (snd_pcm_sframes_t)size;
}

static int fakePollRevents(snd_pcm_ioplug_t* io, struct pollfd* pfd, unsigned int nfds,
                           unsigned short* revents) {
    FakeCard* card = io->private_data;
    (void)nfds;
    if (pfd[0].revents & POLLIN) {
        unsigned long long expirations;
        if (read(card->timerFd, &expirations, sizeof expirations) < 0) expirations = 0;
    }
    *revents = pfd[0].revents & POLLIN;
    return 0;
}

static int fakeClose(snd_pcm_ioplug_t* io) {
    FakeCard* card = io->private_data;
    close(card->timerFd);
    flock(card->lockFd, LOCK_UN);
    close(card->lockFd);
    free(card);
    return 0;
}

static const snd_pcm_ioplug_callback_t kCallbacks = {
    .start = fakeStart,
    .stop = fakeStop,
    .pointer = fakePointer,
    .transfer = fakeTransfer,
    .close = fakeClose,
    .poll_revents = fakePollRevents,
};

static int constrain(snd_pcm_ioplug_t* io) {
    static const unsigned int access[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    static const unsigned int formats[] = {SND_PCM_FORMAT_S16_LE};
    int err;
    if ((err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 1, access)) < 0 ||
        (err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 1, formats)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, 2, 2)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_RATE, 44100, 44100)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 256, 65536)) <
            0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64)) < 0)
        return err;
    return 0;
}

SND_PCM_PLUGIN_DEFINE_FUNC(kelmfake) {
    const char* lockPath = "/tmp/kelmfake.lock";
    double amplitude = 0.5;
    long openDelayMs = 0;
    int deliver = 1;
    snd_config_iterator_t i, next;
    (void)root;
    snd_config_for_each(i, next, conf) {
        snd_config_t* n = snd_config_iterator_entry(i);
        const char* id;
        if (snd_config_get_id(n, &id) < 0) continue;
        if (!strcmp(id, "comment") || !strcmp(id, "type") || !strcmp(id, "hint")) continue;
        if (!strcmp(id, "lock")) {
            if (snd_config_get_string(n, &lockPath) < 0) return -EINVAL;
        } else if (!strcmp(id, "amplitude")) {
            if (snd_config_get_ireal(n, &amplitude) < 0) return -EINVAL;
        } else if (!strcmp(id, "open_delay_ms")) {
            if (snd_config_get_integer(n, &openDelayMs) < 0) return -EINVAL;
        } else if (!strcmp(id, "deliver")) {
            if ((deliver = snd_config_get_bool(n)) < 0) return -EINVAL;
        } else {
            SNDERR("Unknown field %s", id);
            return -EINVAL;
        }
    }
    if (stream != SND_PCM_STREAM_CAPTURE) return -ENODEV;
    if (openDelayMs > 0) {
        struct timespec delay = {openDelayMs / 1000, (openDelayMs % 1000) * 1000000};
        nanosleep(&delay, NULL);
    }
    FakeCard* card = calloc(1, sizeof *card);
    if (!card) return -ENOMEM;
    card->amplitude = amplitude;
    card->deliver = deliver;
    card->lockFd = open(lockPath, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (card->lockFd < 0) {
        free(card);
        return -errno;
    }
    if (flock(card->lockFd, LOCK_EX | LOCK_NB) < 0) {
        close(card->lockFd);
        free(card);
        return -EBUSY; /* what a card's own device says to a second opener */
    }
    card->timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    card->io.version = SND_PCM_IOPLUG_VERSION;
    card->io.name = "KELM fake sound card";
    card->io.callback = &kCallbacks;
    card->io.private_data = card;
    card->io.poll_fd = card->timerFd;
    card->io.poll_events = POLLIN;
    card->io.mmap_rw = 0;
    /* Timestamps on the monotonic clock, as a card's own device gives them. */
    card->io.flags = SND_PCM_IOPLUG_FLAG_MONOTONIC;
    int err = snd_pcm_ioplug_create(&card->io, name, stream, mode);
    if (err < 0) {
        close(card->timerFd);
        close(card->lockFd);
        free(card);
        return err;
    }
    if ((err = constrain(&card->io)) < 0) {
        snd_pcm_ioplug_delete(&card->io);
        return err;
    }
    *pcmp = card->io.pcm;
    return 0;
}

SND_PCM_PLUGIN_SYMBOL(kelmfake);
