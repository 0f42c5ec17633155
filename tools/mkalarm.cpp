// Writes ERROR.wav: a short falling two-tone buzz, 16-bit PCM mono.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int SampleRate = 22050;

void appendTone(std::vector<int16_t>& samples, double hz, double seconds) {
    const int count = int(seconds * SampleRate);
    const int fade = SampleRate / 200; // 5 ms ramps keep the edges from clicking
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / SampleRate;
        // A few odd harmonics give it the edge of an alarm rather than a sine beep.
        double v = 0;
        for (int h = 1; h <= 7; h += 2)
            v += std::sin(2 * std::numbers::pi * hz * h * t) / h;
        const double ramp = std::min({1.0, double(i) / fade, double(count - 1 - i) / fade});
        samples.push_back(int16_t(std::lround(v * ramp * 0.45 * 32767 / 1.2)));
    }
}

void appendSilence(std::vector<int16_t>& samples, double seconds) {
    samples.insert(samples.end(), size_t(seconds * SampleRate), 0);
}

void put16(std::FILE* f, uint16_t v) {
    const unsigned char b[2] = {uint8_t(v), uint8_t(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

void put32(std::FILE* f, uint32_t v) {
    put16(f, uint16_t(v));
    put16(f, uint16_t(v >> 16));
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkalarm OUTPUT.wav\n");
        return 2;
    }
    std::vector<int16_t> samples;
    appendTone(samples, 880, 0.12);
    appendSilence(samples, 0.03);
    appendTone(samples, 587, 0.22);

    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);             // fmt chunk size
    put16(f, 1);              // PCM
    put16(f, 1);              // mono
    put32(f, SampleRate);     // samples per second
    put32(f, SampleRate * 2); // bytes per second
    put16(f, 2);              // block align
    put16(f, 16);             // bits per sample
    std::fwrite("data", 1, 4, f);
    put32(f, dataBytes);
    for (const int16_t s : samples)
        put16(f, uint16_t(s));
    return std::fclose(f) == 0 ? 0 : 1;
}
