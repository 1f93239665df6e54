// artgen_background: the wizard's background (1024 x 1024 RGB). The wizard maps one texel to one unit and
// repeats the image beyond 1024, so everything in it repeats every 1024 texels: noise on lattices whose
// periods divide the image, and a chart grid whose spacing divides it too.
#include <algorithm>
#include <cmath>

#include "artgen.h"

namespace artgen {

canvas make_background() {
    const int size = background_image.width;
    canvas c(size, size, background_image.channels);
    const rgb deep{10, 16, 26}, light{28, 42, 64};
    struct octave {
        int cells; // lattice cells across the image
        double weight;
    };
    const octave octaves[] = {{4, 0.45}, {8, 0.27}, {16, 0.16}, {32, 0.08}, {64, 0.04}};
    for (int t = 0; t < size; ++t) {
        for (int s = 0; s < size; ++s) {
            double n = 0;
            uint32_t seed = 17;
            for (const octave& o : octaves) {
                double scale = static_cast<double>(o.cells) / size;
                n += o.weight * periodic_noise((s + 0.5) * scale, (t + 0.5) * scale, o.cells, seed++);
            }
            n = std::clamp((n - 0.2) / 0.6, 0.0, 1.0);
            double lift = 0;
            if (s % 128 == 0 || t % 128 == 0)
                lift = 7;
            else if (s % 32 == 0 || t % 32 == 0)
                lift = 3;
            auto channel = [&](uint8_t a, uint8_t b) {
                return static_cast<uint8_t>(std::clamp(std::lround(a + (b - a) * n + lift), 0L, 255L));
            };
            c.set(s, t, {channel(deep.r, light.r), channel(deep.g, light.g), channel(deep.b, light.b), 255});
        }
    }
    return c;
}

} // namespace artgen
