// make_data.cpp -- draws the demo's seven pictures and writes them as BMP files: make_data [OUTDIR] (default data).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr double Pi = 3.14159265358979323846;

struct Colour { double r, g, b; };

Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Colour operator*(Colour a, double s) { return {a.r * s, a.g * s, a.b * s}; }

const Colour White{1, 1, 1}, Black{0, 0, 0};

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
double Mix(double a, double b, double t) { return a + (b - a) * t; }
Colour Mix(Colour a, Colour b, double t) { return a * (1 - t) + b * t; }
double Length(double x, double y) { return std::sqrt(x * x + y * y); }

double SmoothStep(double edge0, double edge1, double x) {
    const double t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

// (1 - (r/R)^2)^3 has no slope at the centre or at R, so neither the peak nor the rim shows a ring.
double SoftFalloff(double r, double radius) {
    const double q = 1 - std::min(1.0, (r / radius) * (r / radius));
    return q * q * q;
}

// Signed distance (negative inside) to coverage, softened over one texel: all the anti-aliasing the shapes need.
double Cover(double distance, double texel) { return Clamp01(0.5 - distance / texel); }

// splitmix64 with fixed seeds: <random>'s distributions differ between library versions and the files must not.
struct Rng {
    std::uint64_t state;
    std::uint64_t Next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Uniform() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
};

double HashUnit(std::int64_t x, std::int64_t y, std::uint64_t seed) {
    const std::uint64_t mixed = std::uint64_t(x) * 0x8CB92BA72F3D8DD7ull ^ std::uint64_t(y) * 0xD6E8FEB86659FD93ull;
    return Rng{seed ^ mixed}.Uniform();
}

// Only small coordinates reach the noise, so the floor-to-integer conversions stay in range.
double ValueNoise(double x, double y, std::uint64_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
    auto fade = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
    const double sx = fade(x - fx), sy = fade(y - fy);
    const double top = Mix(HashUnit(ix, iy, seed), HashUnit(ix + 1, iy, seed), sx);
    const double bottom = Mix(HashUnit(ix, iy + 1, seed), HashUnit(ix + 1, iy + 1, seed), sx);
    return Mix(top, bottom, sy);
}

// Each octave is rotated as well as scaled so the lattice never lines up into visible rows.
double Fbm(double x, double y, int octaves, std::uint64_t seed) {
    double sum = 0, amplitude = 0.5, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * ValueNoise(x, y, seed + std::uint64_t(i));
        total += amplitude;
        const double nx = 1.6 * x - 1.2 * y + 3.1;
        y = 1.2 * x + 1.6 * y - 7.3;
        x = nx;
        amplitude *= 0.5;
    }
    return sum / total;
}

struct Point { double x, y; };

double PolygonDistance(const std::vector<Point>& v, double px, double py) {
    double best = (px - v[0].x) * (px - v[0].x) + (py - v[0].y) * (py - v[0].y);
    double sign = 1;
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
        const double ex = v[j].x - v[i].x, ey = v[j].y - v[i].y;
        const double wx = px - v[i].x, wy = py - v[i].y;
        const double t = Clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
        best = std::min(best, (wx - ex * t) * (wx - ex * t) + (wy - ey * t) * (wy - ey * t));
        const bool above = py >= v[i].y, below = py < v[j].y, left = ex * wy > ey * wx;
        if ((above && below && left) || (!above && !below && !left)) sign = -sign;
    }
    return sign * std::sqrt(best);
}

double BoxDistance(double px, double py, double cx, double cy, double halfW, double halfH, double radius) {
    const double qx = std::abs(px - cx) - halfW + radius, qy = std::abs(py - cy) - halfH + radius;
    return Length(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by, double radius) {
    const double ex = bx - ax, ey = by - ay;
    const double t = Clamp01(((px - ax) * ex + (py - ay) * ey) / (ex * ex + ey * ey));
    return Length(px - ax - ex * t, py - ay - ey * t) - radius;
}

// Not exact away from the outline, but exact enough within the texel or two that anti-aliasing looks at.
double EllipseDistance(double px, double py, double cx, double cy, double rx, double ry) {
    return (Length((px - cx) / rx, (py - cy) / ry) - 1) * std::min(rx, ry);
}

// The lower part of a circle, `spread` radians either side of straight down, with round ends.
double SmileDistance(double px, double py, double cx, double cy, double radius, double spread, double width) {
    const double x = std::abs(px - cx), y = cy - py, ex = std::sin(spread) * radius, ey = std::cos(spread) * radius;
    return (x * ey > y * ex ? Length(x - ex, y - ey) : std::abs(Length(x, y) - radius)) - width;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<Colour> colour;  // straight colour, row 0 at the top
    std::vector<double> alpha;   // 1 is opaque
    Colour& At(int x, int y) { return colour[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    Colour At(int x, int y) const { return colour[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

Picture BlankPicture(int width, int height, Colour fill) {
    const std::size_t count = std::size_t(width) * std::size_t(height);
    return {width, height, std::vector<Colour>(count, fill), std::vector<double>(count, 1.0)};
}

// Back-to-front compositing kept premultiplied, so parts with partial coverage at their edges blend without fringes.
struct Paint {
    Colour premultiplied{0, 0, 0};
    double alpha = 0;
    void Over(Colour colour, double coverage) {
        premultiplied = premultiplied * (1 - coverage) + colour * coverage;
        alpha = alpha * (1 - coverage) + coverage;
    }
};

// Runs `shade(x, y)` at every texel centre of a quad `halfW` x `halfH` in the units the shapes are drawn in, y up,
// so the shapes keep their proportions however the quad stretches the texture.
template <typename Shader>
Picture RenderQuad(int width, int height, double halfW, double halfH, Shader shade) {
    Picture picture = BlankPicture(width, height, Black);
    for (int row = 0; row < height; ++row) {
        const double y = halfH - (row + 0.5) / height * 2 * halfH;
        for (int column = 0; column < width; ++column) {
            const Paint paint = shade((column + 0.5) / width * 2 * halfW - halfW, y);
            const std::size_t at = std::size_t(row) * std::size_t(width) + std::size_t(column);
            picture.alpha[at] = Clamp01(paint.alpha);
            if (paint.alpha > 1e-9) picture.colour[at] = paint.premultiplied * (1 / paint.alpha);
        }
    }
    return picture;
}

// Linear filtering mixes in the colour of invisible texels beside an edge; giving them the colour of the visible
// texels nearby keeps dark fringes off the shape.
void BleedColour(Picture& picture, int reach) {
    const Picture source = picture;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (source.alpha[std::size_t(y * picture.width + x)] >= 0.5 / 255) continue;
            Colour sum = Black;
            double weight = 0;
            for (int ny = std::max(0, y - reach); ny <= std::min(picture.height - 1, y + reach); ++ny) {
                for (int nx = std::max(0, x - reach); nx <= std::min(picture.width - 1, x + reach); ++nx) {
                    const double a = source.alpha[std::size_t(ny * picture.width + nx)];
                    sum = sum + source.At(nx, ny) * a, weight += a;
                }
            }
            if (weight > 0) picture.At(x, y) = sum * (1 / weight);
        }
    }
}

// The textures are clamped, so anything left on the outermost texels would smear across the rest of the quad.
void ClearBorder(Picture& picture) {
    for (int y = 0; y < picture.height; ++y) {
        const int step = (y == 0 || y == picture.height - 1) ? 1 : picture.width - 1;
        for (int x = 0; x < picture.width; x += step) picture.alpha[std::size_t(y * picture.width + x)] = 0;
    }
}

// Light from the upper left and towards the viewer, shared by the ship and the sprite.
constexpr double LightX = -0.48, LightY = 0.56, LightZ = 0.675;

// A raised plate outlined by the distance field `shape`: flat in the middle, its rim curving away over `bevel` so
// edges facing the light catch it. The outward direction of the rim comes from the field's central differences.
template <typename Field>
Colour ShadePlate(Colour base, Field shape, double x, double y, double bevel, double shine) {
    const double gx = shape(x + 1e-3, y) - shape(x - 1e-3, y), gy = shape(x, y + 1e-3) - shape(x, y - 1e-3);
    const double slope = 1.8 * std::pow(Clamp01(1 + shape(x, y) / bevel), 2) / std::max(Length(gx, gy), 1e-12);
    const double nl = Length(Length(gx * slope, gy * slope), 1.0);
    const double nx = gx * slope / nl, ny = gy * slope / nl, nz = 1 / nl;
    const double diffuse = std::max(0.0, nx * LightX + ny * LightY + nz * LightZ);
    const double halfway = (nx * LightX + ny * LightY + nz * (LightZ + 1)) / Length(Length(LightX, LightY), LightZ + 1);
    return base * (0.32 + 0.78 * diffuse) + White * (std::pow(std::max(0.0, halfway), 30) * shine);
}

// Exhaust hanging below (cx, top): a white-hot core cooling to blue, thinning and fading to nothing at its tip.
void PaintFlame(Paint& paint, double x, double y, double cx, double top, double halfWidth, double length) {
    const double s = (top - y) / length;
    if (s <= 0 || s >= 1) return;
    const double heat = std::exp(-std::pow((x - cx) / (halfWidth * (1 - 0.65 * s)), 2) * 2.2) * std::pow(1 - s, 1.6);
    const Colour colour = Mix(Colour{0.30, 0.58, 1.00}, Colour{0.88, 0.97, 1.00}, Clamp01(heat * 1.4));
    paint.Over(colour, Clamp01(heat * 1.5) * SmoothStep(0, 0.08, s));
}

constexpr int SkySize = 512;

// Adds `light(dx, dy)` (offsets from the star's centre to the pixel's corner) to every pixel within `reach`.
template <typename Light>
void AddLight(Picture& sky, double cx, double cy, double reach, Colour tint, Light light) {
    const int x0 = std::max(0, int(cx - reach)), x1 = std::min(SkySize - 1, int(cx + reach));
    const int y0 = std::max(0, int(cy - reach)), y1 = std::min(SkySize - 1, int(cy + reach));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) sky.At(x, y) = sky.At(x, y) + tint * light(x - cx, y - cy);
}

// A Gaussian star integrated over each pixel's square, so sub-pixel centres and radii under a pixel stay smooth.
void AddStar(Picture& sky, double cx, double cy, double sigma, double flux, Colour tint) {
    const double k = 1 / (std::sqrt(2.0) * sigma);
    AddLight(sky, cx, cy, 4 * sigma + 1, tint, [&](double dx, double dy) {
        return flux * 0.25 * (std::erf((dx + 1) * k) - std::erf(dx * k)) * (std::erf((dy + 1) * k) - std::erf(dy * k));
    });
}

// Four thin rays, as a telescope's struts would make, fading with distance from the star.
void AddSpikes(Picture& sky, double cx, double cy, double length, double strength, Colour tint) {
    AddLight(sky, cx, cy, 4 * length, tint, [&](double dx, double dy) {
        dx += 0.5, dy += 0.5;
        return strength * (std::exp(-dy * dy / 0.72 - std::abs(dx) / length) +
                           std::exp(-dx * dx / 0.72 - std::abs(dy) / length));
    });
}

Colour StarTint(Rng& rng) {
    const double pick = rng.Uniform();
    if (pick < 0.30) return {0.70, 0.81, 1.00};  // blue-white
    if (pick < 0.64) return {1.00, 1.00, 1.00};
    if (pick < 0.88) return {1.00, 0.92, 0.74};  // pale yellow
    return {1.00, 0.68, 0.42};                   // orange
}

// Stars and nebula crowd into a faint diagonal band, like looking along the plane of a galaxy.
double BandWeight(double u, double v) {
    const double across = (u - 0.1) * 0.48 - (v + 0.05) * 0.88;
    return std::exp(-across * across / (2 * 0.30 * 0.30));
}

// Keeps faint nebula values linear and rolls bright star cores off gently instead of clipping them flat.
double ToneMap(double v) { return v < 0.7 ? v : 0.7 + 0.3 * (1 - std::exp(-(v - 0.7) / 0.3)); }

// Navy-black space with soft violet and teal nebula cut by dark dust lanes.
Colour Nebula(double u, double v) {
    const double band = BandWeight(u, v);
    const double qx = Fbm(u * 1.4, v * 1.4, 4, 100), qy = Fbm(u * 1.4 + 5.2, v * 1.4 + 1.3, 4, 200);
    const double violet = std::pow(SmoothStep(0.36, 0.78, Fbm(u * 2.1 + 2.4 * qx, v * 2.1 + 2.4 * qy, 6, 300)), 2);
    const double teal = std::pow(SmoothStep(0.44, 0.82, Fbm(u * 2.7 - 2.0 * qy, v * 2.7 + 2.0 * qx, 6, 400)), 2);
    const double dust = SmoothStep(0.52, 0.72, Fbm(u * 3.5 + qy, v * 3.5 - qx, 5, 500));
    const Colour glow = Colour{0.30, 0.11, 0.46} * (0.55 * violet * (0.30 + 0.70 * band)) +
                        Colour{0.04, 0.27, 0.33} * (0.50 * teal * (0.20 + 0.80 * band));
    return Colour{0.010, 0.014, 0.040} + Colour{0.012, 0.014, 0.030} * band + glow * (1 - 0.65 * dust);
}

// The deep-space backdrop: nebula, a few thousand faint stars, brighter ones with halos, and a handful of beacons
// with diffraction spikes, in white, blue-white, pale yellow and orange.
Picture DrawStarfield() {
    Picture sky = BlankPicture(SkySize, SkySize, Black);
    for (int y = 0; y < SkySize; ++y)
        for (int x = 0; x < SkySize; ++x) sky.At(x, y) = Nebula((x + 0.5) / 256 - 1, 1 - (y + 0.5) / 256);

    Rng rng{0x5EED0001};
    double x = 0, y = 0;
    auto place = [&] {
        do x = rng.Range(0, SkySize), y = rng.Range(0, SkySize);
        while (rng.Uniform() > 0.30 + 0.70 * BandWeight(x / SkySize * 2 - 1, 1 - y / SkySize * 2));
        return StarTint(rng);
    };
    for (int i = 0; i < 3400; ++i) {
        const Colour tint = place();
        AddStar(sky, x, y, rng.Range(0.42, 0.62), 0.04 + 0.55 * std::pow(rng.Uniform(), 3), tint);
    }
    for (int i = 0; i < 180; ++i) {
        const Colour tint = place();
        const double flux = rng.Range(1.0, 3.2);
        AddStar(sky, x, y, rng.Range(0.60, 0.95), flux, tint);
        AddStar(sky, x, y, rng.Range(2.5, 3.5), flux * 0.6, tint);
    }
    for (int i = 0; i < 11; ++i) {
        const Colour tint = place();
        const double flux = rng.Range(6.0, 14.0);
        AddStar(sky, x, y, rng.Range(1.0, 1.4), flux, tint);
        AddStar(sky, x, y, rng.Range(5.0, 8.0), flux * 1.1, tint);
        AddSpikes(sky, x, y, rng.Range(6.0, 11.0), 0.16 + 0.02 * flux, tint);
    }
    for (Colour& c : sky.colour) c = {ToneMap(c.r), ToneMap(c.g), ToneMap(c.b)};
    return sky;
}

using Rgb8 = std::array<std::uint8_t, 3>;

std::uint8_t ToByte(double v) { return static_cast<std::uint8_t>(Clamp01(v) * 255 + 0.5); }
Rgb8 ToRgb8(Colour c) { return {ToByte(c.r), ToByte(c.g), ToByte(c.b)}; }

Colour Hue(double h) {
    return {Clamp01(std::abs(h * 6 - 3) - 1), Clamp01(2 - std::abs(h * 6 - 2)), Clamp01(2 - std::abs(h * 6 - 4))};
}

constexpr Colour BarColours[8] = {{0.75, 0.75, 0.75}, {0.75, 0.75, 0}, {0, 0.75, 0.75}, {0, 0.75, 0},
                                  {0.75, 0, 0.75},    {0.75, 0, 0},    {0, 0, 0.75},    {0, 0, 0}};
constexpr Colour CornerColours[4] = {{0.86, 0.14, 0.14}, {0.16, 0.78, 0.28}, {0.20, 0.36, 0.90}, {0.95, 0.82, 0.16}};

// Every colour the card draws exactly is in here; anti-aliased edges fall to the nearest entry, mostly the greys.
std::vector<Rgb8> TestPalette() {
    std::vector<Rgb8> palette;
    for (int i = 0; i < 64; ++i) palette.push_back(ToRgb8(White * (i / 63.0)));
    for (const Colour primary : {Colour{1, 0, 0}, Colour{0, 1, 0}, Colour{0, 0, 1}})
        for (int i = 1; i <= 32; ++i) palette.push_back(ToRgb8(primary * (i / 32.0)));
    for (int i = 0; i < 48; ++i) palette.push_back(ToRgb8(Hue(i / 48.0)));
    for (const Colour& c : BarColours) palette.push_back(ToRgb8(c));
    for (const Colour& c : CornerColours) palette.push_back(ToRgb8(c));
    for (int i = 0; palette.size() < 256; ++i)  // the spare entries: a coarse colour cube for stray blends
        palette.push_back(ToRgb8({i % 3 / 2.0, i / 3 % 3 / 2.0, i / 9 % 4 / 3.0}));
    return palette;
}

struct Glyph { char letter; const char* rows[7]; };

// 5 x 7 letters for the card's labels: mirrored or upside-down text is the quickest tell of a flipped upload.
constexpr Glyph Glyphs[] = {
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."}},
};

void DrawText(Picture& card, const std::string& text, int left, int top, int scale) {
    for (std::size_t n = 0; n < text.size(); ++n, left += 6 * scale)
        for (const Glyph& glyph : Glyphs)
            for (int y = 0; glyph.letter == text[n] && y < 7 * scale; ++y)
                for (int x = 0; x < 5 * scale; ++x)
                    if (glyph.rows[y / scale][x / scale] == '#') card.At(left + x, top + y) = White;
}

void FillRect(Picture& card, int x0, int y0, int x1, int y1, Colour colour) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) card.At(x, y) = colour;
}

// The card's centre: a hue ring round a black disc holding an arrow that points up.
Colour CentreDial(Colour under, double dx, double dy) {
    const double r = Length(dx, dy);
    Colour c = Mix(under, Hue(std::atan2(dx, -dy) / (2 * Pi) + 0.5), Cover(std::abs(r - 25) - 6.5, 1.0));
    c = Mix(c, Black, Cover(r - 17.5, 1.0));
    const double head = PolygonDistance({{0, -14}, {10, -2}, {-10, -2}}, dx, dy);
    const double shaft = std::max(std::abs(dx) - 3, std::abs(dy - 4.5) - 7.5);
    return Mix(c, White, Cover(std::min(head, shaft), 1.0));
}

// Colour bars, grey and primary ramps, the hue dial, fine checks and line pairs, a grid, a big circle (which must
// stay round), and four differently coloured corners with an "F" top left, "TOP" above and "OLVO GL" below.
Picture DrawTestCard() {
    constexpr int N = 256;
    Picture card = BlankPicture(N, N, White * (16 / 63.0));
    for (int y = 0; y < N; ++y) {
        for (int x = 0; x < N; ++x) {
            if (x % 32 == 0 || y % 32 == 0) card.At(x, y) = White * (36 / 63.0);
            if (x == 0 || y == 0 || x == N - 1 || y == N - 1) card.At(x, y) = White;
        }
    }
    for (int bar = 0; bar < 8; ++bar) FillRect(card, 40 + bar * 22, 36, 62 + bar * 22, 76, BarColours[bar]);
    for (int x = 40; x < 216; ++x) {
        const double t = (x - 40) / 175.0;
        for (int y = 78; y < 92; ++y) card.At(x, y) = {t, t, t};
        for (int y = 166; y < 174; ++y) card.At(x, y) = {t, 0, 0};
        for (int y = 174; y < 182; ++y) card.At(x, y) = {0, t, 0};
        for (int y = 182; y < 190; ++y) card.At(x, y) = {0, 0, t};
    }
    for (int y = 112; y < 144; ++y) {
        for (int x = 48; x < 80; ++x) card.At(x, y) = (x + y) % 2 ? White : Black;
        for (int x = 176; x < 208; ++x) card.At(x, y) = (y < 128 ? x % 2 : y % 2) ? White : Black;
    }
    for (int y = 0; y < N; ++y) {
        for (int x = 0; x < N; ++x) {
            const double dx = x + 0.5 - N / 2, dy = y + 0.5 - N / 2;
            const double circle = std::abs(Length(dx, dy) - 100) - 1.1;
            card.At(x, y) = Mix(CentreDial(card.At(x, y), dx, dy), White, Cover(circle, 1));
        }
    }
    const int corners[4][2] = {{4, 4}, {224, 4}, {4, 224}, {224, 224}};
    for (int i = 0; i < 4; ++i)
        FillRect(card, corners[i][0], corners[i][1], corners[i][0] + 28, corners[i][1] + 28, CornerColours[i]);
    DrawText(card, "F", 11, 7, 3);
    DrawText(card, "TOP", 111, 10, 2);
    DrawText(card, "OLVO GL", 87, 234, 2);
    return card;
}

std::vector<std::uint8_t> NearestIndices(const Picture& card, const std::vector<Rgb8>& palette) {
    std::vector<std::uint8_t> indices;
    for (const Colour& c : card.colour) {
        const Rgb8 want = ToRgb8(c);
        int best = 0, bestError = 1 << 30;
        for (std::size_t p = 0; p < palette.size(); ++p) {
            int error = 0;
            for (std::size_t k = 0; k < 3; ++k) error += (want[k] - palette[p][k]) * (want[k] - palette[p][k]);
            if (error < bestError) best = int(p), bestError = error;
        }
        indices.push_back(std::uint8_t(best));
    }
    return indices;
}

constexpr double ShipTexel = 0.0072;  // quad units per texel: 4/512 across, 3/512 up; edges soften over about one
constexpr double HullTail = -1.06, HullNose = 1.36, HullWidth = 0.30, PodX = 0.52, PodBottom = -1.06, CannonX = 1.80;
const Colour Accent{0.96, 0.46, 0.12}, SeamColour{0.22, 0.24, 0.29}, Nozzle{0.16, 0.17, 0.20}, HotNozzle{0.45, 0.75, 1};

double HullHalfWidth(double y) {
    const double t = Clamp01((y - HullTail) / (HullNose - HullTail));
    return HullWidth * std::pow(1 - std::pow(t, 2.4), 0.55);
}

double HullDistance(double x, double y) {
    if (y > HullNose) return Length(x, y - HullNose);
    const double slope = (HullHalfWidth(y + 1e-3) - HullHalfWidth(std::max(HullTail, y - 1e-3))) / 2e-3;
    return std::max((std::abs(x) - HullHalfWidth(y)) / std::sqrt(1 + slope * slope), HullTail - y);
}

// The outline reaches past the centre line so mirroring it leaves no seam down the middle.
double WingDistance(double x, double y) {
    static const std::vector<Point> wing = {{-0.3, 0.62},  {0.0, 0.62},   {1.64, -0.50}, {1.80, -0.60}, {1.80, -0.90},
                                            {1.18, -0.84}, {1.02, -0.96}, {0.0, -0.96},  {-0.3, -0.96}};
    return PolygonDistance(wing, std::abs(x), y);
}

double CanardDistance(double x, double y) {
    static const std::vector<Point> canard = {{0.10, 0.98}, {0.50, 0.66}, {0.52, 0.58}, {0.10, 0.70}};
    return PolygonDistance(canard, std::abs(x), y);
}

double PodDistance(double x, double y) { return BoxDistance(std::abs(x), y, PodX, -0.52, 0.11, 0.54, 0.09); }

// A thin panel line `distance` from its centre, drawn only as far as `inside` (0 to 1) says the part reaches.
void PaintSeam(Paint& paint, double distance, double inside, Colour colour, double strength) {
    paint.Over(colour, Cover(std::abs(distance) - 0.0035, ShipTexel) * inside * strength);
}

// Swept wings of slightly mottled plates, orange stripes near the tips, shaded where the hull and pods overhang.
void PaintWings(Paint& paint, double x, double y) {
    const double wing = WingDistance(x, y), ax = std::abs(x);
    if (wing > ShipTexel) return;
    const double hull = HullDistance(x, y), pod = PodDistance(x, y);
    const double cast =
        std::max(Cover(HullDistance(x - 0.05, y + 0.05), 0.06), Cover(PodDistance(x - 0.04, y + 0.04), 0.05));
    const double shadow = 1 - 0.35 * std::max(cast, std::exp(-std::max(0.0, std::min(hull, pod)) / 0.035));
    const double across = ax / 0.30, down = (y + 1.2) / 0.18, cellX = std::floor(across), cellY = std::floor(down);
    const double plate = 0.93 + 0.09 * HashUnit(std::int64_t(cellX), std::int64_t(cellY), x < 0 ? 7 : 8);
    const double stripe =
        Clamp01(Cover(std::abs(ax - 1.36) - 0.055, ShipTexel) + Cover(std::abs(ax - 1.455) - 0.012, ShipTexel));
    const Colour base = Mix(Colour{0.66, 0.70, 0.76} * plate, Accent, stripe);
    paint.Over(ShadePlate(base, WingDistance, x, y, 0.05, 0.25) * shadow, Cover(wing, ShipTexel));
    const double fx = across - cellX, fy = down - cellY;
    const double seam = std::min(std::min(fx, 1 - fx) * 0.30, std::min(fy, 1 - fy) * 0.18);
    PaintSeam(paint, seam, Cover(wing + 0.05, ShipTexel) * (1 - stripe), SeamColour, 0.4);
    PaintSeam(paint, wing + 0.05, Cover(wing, ShipTexel), SeamColour, 0.6);
}

// Small foreplanes either side of the cockpit.
void PaintCanards(Paint& paint, double x, double y) {
    const double canard = CanardDistance(x, y);
    if (canard > ShipTexel) return;
    const Colour colour = ShadePlate({0.62, 0.66, 0.72}, CanardDistance, x, y, 0.03, 0.3);
    paint.Over(colour, Cover(canard, ShipTexel));
}

// Gun barrels along the wing tips, lit on the side facing the light.
void PaintCannons(Paint& paint, double x, double y) {
    const double ax = std::abs(x);
    const double cannon = std::min(SegmentDistance(ax, y, CannonX, -0.96, CannonX, -0.22, 0.040),
                                   SegmentDistance(ax, y, CannonX, -0.22, CannonX, 0.16, 0.016));
    if (cannon > ShipTexel) return;
    const double side = (x < 0 ? 1 : -1) * (ax - CannonX) / 0.04;
    const double light = 0.75 + 0.45 * Clamp01(0.5 + 0.5 * side) - 0.2 * side * side;
    paint.Over(Colour{0.34, 0.36, 0.41} * light, Cover(cannon, ShipTexel));
}

// The two engine pods: rounded gunmetal cylinders with cooling vents and nozzles glowing at the back.
void PaintPods(Paint& paint, double x, double y) {
    const double pod = PodDistance(x, y), ax = std::abs(x);
    if (pod > ShipTexel + 0.02) return;
    const double px = (ax - PodX) / 0.11 * (x < 0 ? -1 : 1), round = std::sqrt(std::max(0.0, 1 - px * px));
    const double light = Clamp01(0.35 + 0.55 * (round * LightZ - px * LightX * 0.9) + 0.15 * Clamp01((y + 0.2) / 0.2));
    const double sheen = 0.25 * std::pow(Clamp01(1 - std::abs(px + 0.45) * 3), 2);
    paint.Over(Colour{0.46, 0.49, 0.55} * light + White * sheen, Cover(pod, ShipTexel));
    for (int vent = 0; vent < 4; ++vent)
        PaintSeam(paint, y + 0.30 + 0.06 * vent, Cover(std::abs(px) - 0.6, 0.1), {0.12, 0.13, 0.16}, 0.8);
    PaintSeam(paint, y + 0.88, Cover(pod, ShipTexel), {0.14, 0.15, 0.18}, 0.7);
    const double nozzle = BoxDistance(ax, y, PodX, PodBottom - 0.025, 0.085 + (PodBottom - y) * 0.3, 0.035, 0.01);
    paint.Over(Mix(Nozzle, HotNozzle, Clamp01((PodBottom - y) / 0.06)), Cover(nozzle, ShipTexel));
}

// The rounded fuselage: an orange chevron on the nose, a dark spine, panel seams and vents, and the main nozzle.
void PaintHull(Paint& paint, double x, double y) {
    const double hull = HullDistance(x, y), ax = std::abs(x);
    if (hull > ShipTexel) return;
    const double nx = std::clamp(x / std::max(HullHalfWidth(y), 1e-6), -0.97, 0.97), nz = std::sqrt(1 - nx * nx);
    const double diffuse = std::max(0.0, nx * LightX + nz * LightZ + 0.12 * LightY);
    const double specular = std::pow(std::max(0.0, nx * -0.28 + nz * 0.96), 40) * 0.35;
    const double midship = Cover(y - 0.36, ShipTexel) * Cover(-0.95 - y, ShipTexel);
    Colour base = Mix(Colour{0.82, 0.84, 0.88}, Accent, Cover(std::abs(y - 0.98 + 0.55 * ax) - 0.028, ShipTexel));
    base = Mix(base, Colour{0.30, 0.33, 0.40}, Cover(ax - 0.012, ShipTexel) * midship);
    paint.Over(base * (0.30 + 0.80 * diffuse) + White * specular, Cover(hull, ShipTexel));
    const double inside = Cover(hull + 0.02, ShipTexel);
    for (const double seamY : {0.36, -0.10, -0.58, -0.95}) PaintSeam(paint, y - seamY, inside, SeamColour, 0.6);
    PaintSeam(paint, hull + 0.05, midship, SeamColour, 0.45);
    for (int vent = 0; vent < 3; ++vent) {
        const double span = Cover(ax - 0.2, ShipTexel) * Cover(0.06 - ax, ShipTexel);
        PaintSeam(paint, y + 0.22 + 0.045 * vent, inside * span, {0.12, 0.13, 0.16}, 0.9);
    }
    const double nozzle = BoxDistance(x, y, 0, HullTail - 0.025, 0.13 + (HullTail - y) * 0.4, 0.03, 0.01);
    paint.Over(Mix(Nozzle, HotNozzle, Clamp01((HullTail - y) / 0.05)), Cover(nozzle, ShipTexel));
}

// A glass canopy, deep blue fading to cyan towards the front, in a dark frame, with a bright reflection.
void PaintCanopy(Paint& paint, double x, double y) {
    const double canopy = EllipseDistance(x, y, 0, 0.70, 0.105, 0.23);
    if (canopy > 0.03) return;
    paint.Over({0.24, 0.26, 0.31}, Cover(canopy - 0.018, ShipTexel));
    const double reflection = 0.35 * Clamp01(1 - std::abs(x + 0.03) / 0.06) * SmoothStep(0.6, 0.8, y);
    const Colour glass = Mix(Colour{0.03, 0.09, 0.22}, Colour{0.22, 0.55, 0.82}, Clamp01((y - 0.47) / 0.46));
    paint.Over(glass + Colour{0.5, 0.6, 0.7} * reflection, Cover(canopy, ShipTexel));
    paint.Over({0.95, 0.98, 1.0}, Cover(EllipseDistance(x, y, -0.035, 0.80, 0.016, 0.07), ShipTexel) * 0.85);
}

// A running light: a small bright bulb in a soft coloured halo.
void PaintLamp(Paint& paint, double x, double y, double cx, double cy, Colour colour) {
    const double r = Length(x - cx, y - cy);
    paint.Over(colour, Clamp01(0.85 * std::exp(-r * r / (2 * 0.028 * 0.028))));
    paint.Over(Mix(colour, White, 0.7), Cover(r - 0.013, ShipTexel));
}

// A light grey twin-engine starfighter seen from above, nose up, filling its 4 x 3 quad: swept wings and canards,
// wing-tip cannons, engine pods whose blue exhaust sits in the program's light glow, a canopy and running lights.
Paint ShipPixel(double x, double y) {
    Paint paint;
    PaintFlame(paint, x, y, PodX, PodBottom - 0.06, 0.085, 0.30);
    PaintFlame(paint, x, y, -PodX, PodBottom - 0.06, 0.085, 0.30);
    PaintFlame(paint, x, y, 0, HullTail - 0.05, 0.11, 0.26);
    PaintWings(paint, x, y);
    PaintCanards(paint, x, y);
    PaintCannons(paint, x, y);
    PaintPods(paint, x, y);
    PaintHull(paint, x, y);
    PaintCanopy(paint, x, y);
    PaintLamp(paint, x, y, -1.64, -0.50, {1.0, 0.15, 0.12});
    PaintLamp(paint, x, y, 1.64, -0.50, {0.15, 1.0, 0.35});
    PaintLamp(paint, x, y, 0, HullNose - 0.28, {1.0, 0.95, 0.80});
    return paint;
}

constexpr double SpriteTexel = 2.0 / 256, BodyY = -0.06, BodyR = 0.55;
const Colour Navy{0.06, 0.07, 0.17};

double EarDistance(double u, double v) { return BoxDistance(std::abs(u), v, 0.58, -0.04, 0.085, 0.15, 0.07); }
double StemDistance(double u, double v) { return SegmentDistance(u, v, 0, 0.45, 0.07, 0.70, 0.022); }
double BallDistance(double u, double v) { return Length(u - 0.085, v - 0.75) - 0.075; }
double JetDistance(double u, double v) {
    static const std::vector<Point> jet = {{-0.17, -0.52}, {0.17, -0.52}, {0.11, -0.70}, {-0.11, -0.70}};
    return PolygonDistance(jet, u, v);
}

// The antenna (a thin stem and a glowing yellow bulb), the ear lamps and the hover jet, all behind the body.
void PaintFittings(Paint& paint, double u, double v) {
    paint.Over(Colour{0.55, 0.58, 0.66} * (0.8 + 0.3 * Clamp01(0.5 - u / 0.17)), Cover(JetDistance(u, v), SpriteTexel));
    paint.Over({0.70, 0.72, 0.78}, Cover(StemDistance(u, v), SpriteTexel));
    const double bulbLight = Clamp01(1 - Length(u - 0.06, v - 0.78) / 0.08);
    const Colour bulb = Mix(Colour{1.0, 0.72, 0.12}, Colour{1.0, 1.0, 0.85}, bulbLight);
    paint.Over(bulb, Cover(BallDistance(u, v), SpriteTexel));
    const double earLight = 0.75 + 0.35 * Clamp01((v + 0.04) / 0.15 + 0.5) - (u > 0 ? 0.12 : 0);
    paint.Over(Colour{0.72, 0.75, 0.82} * earLight, Cover(EarDistance(u, v), SpriteTexel));
    paint.Over({0.35, 0.95, 1.0}, Cover(BoxDistance(std::abs(u), v, 0.60, -0.04, 0.025, 0.09, 0.025), SpriteTexel));
}

// The round orange body, lit from the upper left with a cool rim light from the space behind it and a glossy spot.
void PaintBody(Paint& paint, double u, double v) {
    const double bx = u / BodyR, by = (v - BodyY) / BodyR, bz = std::sqrt(std::max(0.0, 1 - bx * bx - by * by));
    const double diffuse = std::max(0.0, bx * LightX + by * LightY + bz * LightZ);
    const double rim = std::pow(1 - bz, 3) * Clamp01(0.3 + bx * 0.6 - by * 0.6);
    const Colour skin = Colour{0.98, 0.50, 0.20} * (0.40 + 0.72 * diffuse) + Colour{0.3, 0.8, 1.0} * (0.55 * rim);
    paint.Over(skin, Cover(Length(u, v - BodyY) - BodyR, SpriteTexel));
    const double seam = std::abs(Length(u, v - BodyY) - 0.50) - 0.006;
    const double seamSpan = Cover(v + 0.48, SpriteTexel) * Cover(-0.40 - v, SpriteTexel);
    paint.Over({0.62, 0.24, 0.10}, Cover(seam, SpriteTexel) * seamSpan * 0.8);
    const double gloss = EllipseDistance(0.8 * u + 0.6 * v, 0.8 * v - 0.6 * u, 0.03, 0.40, 0.16, 0.055);
    paint.Over({1.0, 0.97, 0.92}, Cover(gloss, 0.05) * 0.6);
}

// A dark visor with two big cyan eyes, rosy cheeks and a smile.
void PaintFace(Paint& paint, double u, double v) {
    paint.Over(Navy, Cover(BoxDistance(u, v, 0, 0.06, 0.40, 0.19, 0.17), SpriteTexel));
    paint.Over({0.24, 0.28, 0.45}, Cover(BoxDistance(u + 0.12, v, 0, 0.19, 0.22, 0.025, 0.025), SpriteTexel) * 0.6);
    for (const double side : {-1.0, 1.0}) {
        paint.Over({0.30, 0.92, 1.0}, Cover(EllipseDistance(u, v, side * 0.16, 0.05, 0.075, 0.105), SpriteTexel));
        paint.Over({0.75, 1.0, 1.0}, Cover(EllipseDistance(u, v, side * 0.16, 0.07, 0.04, 0.06), SpriteTexel) * 0.7);
        paint.Over(White, Cover(Length(u - side * 0.16 + 0.025, v - 0.095) - 0.022, SpriteTexel));
        const double cheek = EllipseDistance(u, v, side * 0.33, -0.22, 0.075, 0.045);
        paint.Over({1.0, 0.45, 0.50}, Cover(cheek, SpriteTexel) * 0.55);
    }
    paint.Over(Navy, Cover(SmileDistance(u, v, 0, -0.17, 0.13, 0.30 * Pi, 0.022), SpriteTexel));
}

// Merolan, the demo's mascot: a round orange hover-bot with ear lamps and a glowing antenna, outlined in navy like
// a sticker so it reads at any angle as it swings; a small exhaust and the bulb's glow fade out past the outline.
Paint MerolanPixel(double u, double v) {
    Paint paint;
    PaintFlame(paint, u, v, 0, -0.72, 0.09, 0.20);
    paint.Over({1.0, 0.85, 0.30}, 0.55 * SoftFalloff(Length(u - 0.085, v - 0.75), 0.17));
    const double body = Length(u, v - BodyY) - BodyR;
    const double outline =
        std::min({body, EarDistance(u, v), StemDistance(u, v), BallDistance(u, v), JetDistance(u, v)}) - 0.035;
    paint.Over(Navy, Cover(outline, SpriteTexel));
    if (outline > SpriteTexel) return paint;
    PaintFittings(paint, u, v);
    PaintBody(paint, u, v);
    PaintFace(paint, u, v);
    return paint;
}

// The light below the ship: a round glow, brightest in the middle and gone well inside the border; only its alpha
// is written, as the program draws it in plain white.
Picture DrawLightGlow() {
    Picture glow = RenderQuad(256, 256, 1, 1, [](double u, double v) {
        Paint paint;
        paint.Over(White, 0.70 * (0.62 * SoftFalloff(Length(u, v), 0.86) + 0.38 * SoftFalloff(Length(u, v), 0.36)));
        return paint;
    });
    ClearBorder(glow);
    return glow;
}

// `pixels` holds rows top first, either R,G,B per pixel (24 bits) or one palette index (8 bits); the file stores
// rows bottom first, each padded to four bytes. A core header takes 3-byte palette entries, an info header 4.
std::vector<std::uint8_t> EncodeBmp(int width, int height, int bits, bool coreHeader, const std::vector<Rgb8>& palette,
                                    const std::vector<std::uint8_t>& pixels) {
    const std::uint32_t rowBytes = std::uint32_t(width) * std::uint32_t(bits) / 8, stride = (rowBytes + 3) & ~3u;
    const std::uint32_t offset = 14 + (coreHeader ? 12 : 40) + std::uint32_t(palette.size()) * (coreHeader ? 3 : 4);
    const std::uint32_t imageSize = stride * std::uint32_t(height);
    std::vector<std::uint8_t> out;
    auto put = [&out](std::uint32_t value, int bytes) {  // little-endian
        for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
    };
    put('B', 1), put('M', 1), put(offset + imageSize, 4), put(0, 4), put(offset, 4);
    const int sizeBytes = coreHeader ? 2 : 4;
    put(coreHeader ? 12 : 40, 4), put(std::uint32_t(width), sizeBytes), put(std::uint32_t(height), sizeBytes);
    put(1, 2), put(std::uint32_t(bits), 2);
    if (!coreHeader) {  // uncompressed, 72 dpi, every palette entry used
        put(0, 4), put(imageSize, 4), put(2835, 4), put(2835, 4), put(std::uint32_t(palette.size()), 4), put(0, 4);
    }
    for (const Rgb8& entry : palette) put(entry[2], 1), put(entry[1], 1), put(entry[0], 1), put(0, coreHeader ? 0 : 1);
    for (int row = height - 1; row >= 0; --row) {
        const std::uint8_t* line = pixels.data() + std::size_t(row) * rowBytes;
        for (std::uint32_t i = 0; i < rowBytes; i += bits / 8) {
            if (bits == 24) put(line[i + 2], 1), put(line[i + 1], 1);
            put(line[i], 1);
        }
        put(0, int(stride - rowBytes));
    }
    return out;
}

// `dither` adds a fixed sub-step pattern so the starfield's dark gradients do not band into rings.
std::vector<std::uint8_t> ColourBytes(const Picture& picture, bool dither) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const double offset = dither ? (HashUnit(x, y, 0xD1) - 0.5) / 255 : 0;
            const Rgb8 rgb = ToRgb8(picture.At(x, y) + White * offset);
            bytes.insert(bytes.end(), rgb.begin(), rgb.end());
        }
    }
    return bytes;
}

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "make_data: cannot write %s\n", path.string().c_str());
    return ok;
}

// A mask is 8-bit with a palette of 256 greys, so each index is its own alpha.
bool WriteMask(const std::filesystem::path& path, const Picture& picture) {
    std::vector<Rgb8> greys;
    for (int i = 0; i < 256; ++i) greys.push_back({std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
    std::vector<std::uint8_t> alpha;
    for (const double a : picture.alpha) alpha.push_back(ToByte(a));
    return WriteFile(path, EncodeBmp(picture.width, picture.height, 8, false, greys, alpha));
}

// A colour picture and its mask, the pair the program loads for each blended layer.
bool WriteWithMask(const std::filesystem::path& dir, const std::string& name, Picture picture) {
    BleedColour(picture, 3);
    ClearBorder(picture);
    const std::vector<std::uint8_t> colour = ColourBytes(picture, false);
    return WriteFile(dir / (name + ".bmp"), EncodeBmp(picture.width, picture.height, 24, false, {}, colour)) &&
           WriteMask(dir / (name + "_alpha.bmp"), picture);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: make_data [OUTDIR]\n");
        return 2;
    }
    const std::filesystem::path dir = argc == 2 ? argv[1] : "data";
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "make_data: cannot create %s: %s\n", dir.string().c_str(), error.message().c_str());
        return 1;
    }
    const Picture sky = DrawStarfield();
    bool ok = WriteFile(dir / "starfield.bmp", EncodeBmp(SkySize, SkySize, 24, false, {}, ColourBytes(sky, true)));
    const std::vector<Rgb8> palette = TestPalette();
    const Picture card = DrawTestCard();
    ok = WriteFile(dir / "test.bmp", EncodeBmp(256, 256, 8, true, palette, NearestIndices(card, palette))) && ok;
    ok = WriteWithMask(dir, "ship", RenderQuad(512, 512, 2.0, 1.5, ShipPixel)) && ok;
    ok = WriteWithMask(dir, "merolan", RenderQuad(256, 256, 1.0, 1.0, MerolanPixel)) && ok;
    ok = WriteMask(dir / "light_alpha.bmp", DrawLightGlow()) && ok;
    return ok ? 0 : 1;
}
