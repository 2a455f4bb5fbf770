#include "tools/textures/texture_maker.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

namespace {

// SplitMix64: tiny, well mixed, and fully specified here, so the textures do
// not depend on any library's generator.
class SeededRandom {
 public:
  explicit SeededRandom(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }

  // Uniform in [0, 1), 53 bits.
  double Unit() { return double(Next() >> 11) * 0x1.0p-53; }

  double Between(double low, double high) { return low + (high - low) * Unit(); }

 private:
  uint64_t state_;
};

double Smoothstep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

uint8_t ToByte(double unit) { return uint8_t(std::clamp(unit, 0.0, 1.0) * 255 + 0.5); }

struct Colour {
  double red, green, blue;  // 0..1 of a byte's full range
};

Colour Scale(Colour colour, double factor) {
  return {colour.red * factor, colour.green * factor, colour.blue * factor};
}

Colour Mix(Colour from, Colour to, double amount) {
  return {from.red + (to.red - from.red) * amount, from.green + (to.green - from.green) * amount,
          from.blue + (to.blue - from.blue) * amount};
}

// hue in turns (0..1), saturation and value 0..1.
Colour FromHsv(double hue, double saturation, double value) {
  const double sector = (hue - std::floor(hue)) * 6;
  const int index = int(sector) % 6;
  const double fraction = sector - std::floor(sector);
  const double p = value * (1 - saturation);
  const double q = value * (1 - saturation * fraction);
  const double t = value * (1 - saturation * (1 - fraction));
  switch (index) {
    case 0:
      return {value, t, p};
    case 1:
      return {q, value, p};
    case 2:
      return {p, value, t};
    case 3:
      return {p, q, value};
    case 4:
      return {t, p, value};
    default:
      return {value, p, q};
  }
}

void StorePixel(std::vector<uint8_t>& bytes, size_t index, Colour colour) {
  bytes[index * 4 + 0] = ToByte(colour.blue);
  bytes[index * 4 + 1] = ToByte(colour.green);
  bytes[index * 4 + 2] = ToByte(colour.red);
  bytes[index * 4 + 3] = 255;
}

// ---- mosaic ----

constexpr uint32_t kMosaicSize = 256;         // pixels per side
constexpr int kMosaicCells = 12;              // tile seeds per side; about 21 pixels each
constexpr double kGroutHalfWidth = 1.4;       // pixels
constexpr double kBevelWidth = 5.0;           // pixels over which a tile darkens towards its edge
constexpr double kInsetDepth = 5.5;           // pixels from the tile edge to an inset's border
constexpr double kDetailLineHalfWidth = 0.7;  // pixels, the dark line around insets and dots

enum class TileStyle { Plain, Inset, Dot };

struct Tile {
  double centreX, centreY;  // pixels, within the texture
  Colour colour;
  Colour detailColour;  // inset or dot
  TileStyle style;
  double dotRadius;  // pixels
};

// Hues picked to glow well together under additive blending: reds, amber,
// gold, green, teal, blue, violet, magenta (turns).
constexpr std::array<double, 8> kMosaicHues = {0.0, 0.07, 0.13, 0.33, 0.48, 0.6, 0.75, 0.88};

std::vector<Tile> PlaceTiles(SeededRandom& random) {
  const double cellSize = double(kMosaicSize) / kMosaicCells;
  std::vector<Tile> tiles;
  std::vector<size_t> hueIndices;  // into kMosaicHues, per tile
  tiles.reserve(kMosaicCells * kMosaicCells);
  for (int row = 0; row < kMosaicCells; ++row) {
    for (int column = 0; column < kMosaicCells; ++column) {
      Tile tile;
      tile.centreX = (column + 0.5 + random.Between(-0.42, 0.42)) * cellSize;
      tile.centreY = (row + 0.5 + random.Between(-0.42, 0.42)) * cellSize;
      // Neighbouring tiles of one hue merge into a blob: avoid the hues of
      // the already placed cells around this one, across the wrap too.
      std::vector<size_t> allowedHues;
      for (size_t hue = 0; hue < kMosaicHues.size(); ++hue) {
        bool usedNearby = false;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const size_t neighbour =
                size_t((row + dy + kMosaicCells) % kMosaicCells) * kMosaicCells +
                size_t((column + dx + kMosaicCells) % kMosaicCells);
            usedNearby |= neighbour < hueIndices.size() && hueIndices[neighbour] == hue;
          }
        }
        if (!usedNearby) allowedHues.push_back(hue);
      }
      const size_t hueIndex = allowedHues.empty() ? random.Next() % kMosaicHues.size()
                                                  : allowedHues[random.Next() % allowedHues.size()];
      hueIndices.push_back(hueIndex);
      const double hue = kMosaicHues[hueIndex] + random.Between(-0.02, 0.02);
      tile.colour = FromHsv(hue, random.Between(0.78, 1.0), random.Between(0.72, 1.0));
      const double detailHue = kMosaicHues[random.Next() % kMosaicHues.size()];
      tile.detailColour = FromHsv(detailHue, random.Between(0.35, 0.9), 1.0);
      const double styleRoll = random.Unit();
      tile.style = styleRoll < 0.5   ? TileStyle::Plain
                   : styleRoll < 0.8 ? TileStyle::Inset
                                     : TileStyle::Dot;
      tile.dotRadius = random.Between(2.5, 4.5);
      tiles.push_back(tile);
    }
  }
  return tiles;
}

// The nearest tile seed to a point and the distance to that tile's border,
// both with wrap-around so the texture repeats seamlessly.
struct TileHit {
  const Tile* tile;
  double offsetX, offsetY;  // pixels from the seed to the point
  double edgeDistance;      // pixels to the nearest border with a neighbour
};

TileHit FindTile(const std::vector<Tile>& tiles, double x, double y) {
  const double cellSize = double(kMosaicSize) / kMosaicCells;
  const int cellColumn = int(x / cellSize);
  const int cellRow = int(y / cellSize);
  // Jitter stays within a cell, so the seeds that can bound this point's tile
  // lie within two cells.
  struct Candidate {
    const Tile* tile;
    double x, y;  // seed position, unwrapped next to the point
  };
  std::vector<Candidate> candidates;
  candidates.reserve(25);
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) {
      const int column = cellColumn + dx;
      const int row = cellRow + dy;
      const int wrappedColumn = (column % kMosaicCells + kMosaicCells) % kMosaicCells;
      const int wrappedRow = (row % kMosaicCells + kMosaicCells) % kMosaicCells;
      const Tile& tile = tiles[size_t(wrappedRow) * kMosaicCells + wrappedColumn];
      candidates.push_back({&tile, tile.centreX + (column - wrappedColumn) * cellSize,
                            tile.centreY + (row - wrappedRow) * cellSize});
    }
  }
  auto squaredDistance = [&](const Candidate& c) {
    return (c.x - x) * (c.x - x) + (c.y - y) * (c.y - y);
  };
  const Candidate& nearest = *std::min_element(candidates.begin(), candidates.end(),
                                               [&](const Candidate& a, const Candidate& b) {
                                                 return squaredDistance(a) < squaredDistance(b);
                                               });
  double edgeDistance = kMosaicSize;
  for (const Candidate& other : candidates) {
    if (&other == &nearest) continue;
    // Distance from the point to the bisector between the two seeds.
    const double axisX = other.x - nearest.x;
    const double axisY = other.y - nearest.y;
    const double length = std::sqrt(axisX * axisX + axisY * axisY);
    const double along =
        ((nearest.x + other.x) / 2 - x) * axisX + ((nearest.y + other.y) / 2 - y) * axisY;
    edgeDistance = std::min(edgeDistance, along / length);
  }
  return {nearest.tile, x - nearest.x, y - nearest.y, edgeDistance};
}

// Per-pixel glaze grain in -1..1; a pure function of the pixel, so it tiles.
double Grain(uint32_t x, uint32_t y) {
  SeededRandom random(0x6d6f73616963ull ^ (uint64_t(y) << 32 | x));
  return random.Unit() * 2 - 1;
}

}  // namespace

Image MakeWhiteTexture() {
  constexpr uint32_t kSize = 8;  // pixels per side
  Image image;
  image.info = {kSize, kSize, 1, 1, PixelFormat::A8R8G8B8, ResourceKind::Texture2D};
  image.levels.push_back({kSize, kSize, 1, std::vector<uint8_t>(kSize * kSize * 4, 0xff)});
  CompleteMipChain(image);
  return image;
}

Image MakeMosaicTexture() {
  SeededRandom random(20240917);
  const std::vector<Tile> tiles = PlaceTiles(random);
  const Colour grout = {0.05, 0.045, 0.06};
  const Colour detailLine = {0.07, 0.06, 0.08};

  // First find every pixel's tile, so that details go only on tiles with
  // room for them: an inset or dot squeezed into a sliver reads as noise.
  std::vector<TileHit> hits;
  hits.reserve(kMosaicSize * kMosaicSize);
  std::vector<double> inradius(tiles.size(), 0.0);  // pixels
  for (uint32_t y = 0; y < kMosaicSize; ++y) {
    for (uint32_t x = 0; x < kMosaicSize; ++x) {
      hits.push_back(FindTile(tiles, x + 0.5, y + 0.5));
      double& largest = inradius[size_t(hits.back().tile - tiles.data())];
      largest = std::max(largest, hits.back().edgeDistance);
    }
  }
  auto styleFits = [&](const Tile& tile) {
    const double room = inradius[size_t(&tile - tiles.data())];
    switch (tile.style) {
      case TileStyle::Inset:
        return room >= kInsetDepth + 4;
      case TileStyle::Dot:
        return room >= tile.dotRadius + 4;
      case TileStyle::Plain:
        break;
    }
    return true;
  };

  Image image;
  image.info = {kMosaicSize, kMosaicSize, 1, 1, PixelFormat::A8R8G8B8, ResourceKind::Texture2D};
  ImageLevel level{kMosaicSize, kMosaicSize, 1,
                   std::vector<uint8_t>(kMosaicSize * kMosaicSize * 4)};
  for (uint32_t y = 0; y < kMosaicSize; ++y) {
    for (uint32_t x = 0; x < kMosaicSize; ++x) {
      const TileHit& hit = hits[size_t(y) * kMosaicSize + x];
      const Tile& tile = *hit.tile;
      Colour colour = tile.colour;
      const TileStyle style = styleFits(tile) ? tile.style : TileStyle::Plain;
      if (style == TileStyle::Inset) {
        const double inside = Smoothstep(kInsetDepth - 0.5, kInsetDepth + 0.5, hit.edgeDistance);
        colour = Mix(colour, tile.detailColour, inside);
        const double line = 1 - Smoothstep(kDetailLineHalfWidth - 0.5, kDetailLineHalfWidth + 0.5,
                                           std::abs(hit.edgeDistance - kInsetDepth));
        colour = Mix(colour, detailLine, line);
      } else if (style == TileStyle::Dot) {
        const double radius = std::sqrt(hit.offsetX * hit.offsetX + hit.offsetY * hit.offsetY);
        const double inside = 1 - Smoothstep(tile.dotRadius - 0.5, tile.dotRadius + 0.5, radius);
        colour = Mix(colour, tile.detailColour, inside);
        const double line = 1 - Smoothstep(kDetailLineHalfWidth - 0.5, kDetailLineHalfWidth + 0.5,
                                           std::abs(radius - tile.dotRadius - 1));
        colour = Mix(colour, detailLine, line);
      }
      // Bevel towards the grout and a soft light from the upper left make
      // each tile read as a raised piece of glass.
      const double bevel = 0.62 + 0.38 * Smoothstep(0, kBevelWidth, hit.edgeDistance);
      const double light = 1 + 0.012 * std::clamp(-(hit.offsetX + hit.offsetY), -12.0, 12.0);
      const double grain = Grain(x, y);
      colour = Scale(colour, bevel * light * (1 + 0.05 * grain));
      const double groutAmount =
          1 - Smoothstep(kGroutHalfWidth - 0.6, kGroutHalfWidth + 0.6, hit.edgeDistance);
      colour = Mix(colour, Scale(grout, 1 + 0.3 * grain), groutAmount);
      StorePixel(level.bytes, size_t(y) * kMosaicSize + x, colour);
    }
  }
  image.levels.push_back(std::move(level));
  CompleteMipChain(image);
  return image;
}

// ---- noise volume ----

namespace {

constexpr uint32_t kVolumeSize = 64;  // voxels per side

// Gradient noise on a lattice of period cells per side, wrapping at the
// volume's edges. Returns roughly -1..1.
class PeriodicGradientNoise {
 public:
  PeriodicGradientNoise(int period, SeededRandom& random) : period_(period) {
    gradients_.reserve(size_t(period) * period * period);
    while (gradients_.size() < gradients_.capacity()) {
      // Rejection keeps directions uniform on the sphere.
      const double x = random.Between(-1, 1), y = random.Between(-1, 1), z = random.Between(-1, 1);
      const double lengthSquared = x * x + y * y + z * z;
      if (lengthSquared < 0.01 || lengthSquared > 1) continue;
      const double length = std::sqrt(lengthSquared);
      gradients_.push_back({x / length, y / length, z / length});
    }
  }

  // x, y, z in lattice cells, any non-negative value; the lattice wraps every period cells.
  double Sample(double x, double y, double z) const {
    const int cellX = int(std::floor(x)), cellY = int(std::floor(y)), cellZ = int(std::floor(z));
    const double fx = x - cellX, fy = y - cellY, fz = z - cellZ;
    double corners[8];
    for (int corner = 0; corner < 8; ++corner) {
      const int ox = corner & 1, oy = (corner >> 1) & 1, oz = (corner >> 2) & 1;
      const std::array<double, 3>& gradient = Gradient(cellX + ox, cellY + oy, cellZ + oz);
      corners[corner] = gradient[0] * (fx - ox) + gradient[1] * (fy - oy) + gradient[2] * (fz - oz);
    }
    const double u = Fade(fx), v = Fade(fy), w = Fade(fz);
    auto lerp = [](double a, double b, double t) { return a + (b - a) * t; };
    const double bottom = lerp(lerp(corners[0], corners[1], u), lerp(corners[2], corners[3], u), v);
    const double top = lerp(lerp(corners[4], corners[5], u), lerp(corners[6], corners[7], u), v);
    return lerp(bottom, top, w);
  }

 private:
  static double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

  const std::array<double, 3>& Gradient(int x, int y, int z) const {
    auto wrap = [this](int i) { return size_t((i % period_ + period_) % period_); };
    return gradients_[(wrap(z) * period_ + wrap(y)) * period_ + wrap(x)];
  }

  int period_;  // lattice cells per side
  std::vector<std::array<double, 3>> gradients_;
};

}  // namespace

Image MakeNoiseVolume() {
  // Three octaves from 16-voxel blobs down to 4-voxel wisps; the halving
  // amplitudes keep it soft.
  constexpr std::array<int, 3> kPeriods = {4, 8, 16};  // lattice cells per side
  SeededRandom random(0x766f6c756d65ull);
  std::vector<PeriodicGradientNoise> octaves;
  // Gradient noise is zero on its lattice points; shifting each octave by its
  // own whole-volume-periodic offset keeps their zeros from lining up into a grid.
  std::vector<std::array<double, 3>> offsets;  // lattice cells
  for (int period : kPeriods) {
    octaves.emplace_back(period, random);
    offsets.push_back(
        {random.Between(0, period), random.Between(0, period), random.Between(0, period)});
  }

  const size_t voxelCount = size_t(kVolumeSize) * kVolumeSize * kVolumeSize;
  std::vector<double> field(voxelCount);
  for (uint32_t z = 0; z < kVolumeSize; ++z) {
    for (uint32_t y = 0; y < kVolumeSize; ++y) {
      for (uint32_t x = 0; x < kVolumeSize; ++x) {
        double sum = 0, amplitude = 1;
        for (size_t octave = 0; octave < octaves.size(); ++octave) {
          const double scale = double(kPeriods[octave]) / kVolumeSize;  // cells per voxel
          const std::array<double, 3>& offset = offsets[octave];
          sum += amplitude * octaves[octave].Sample(x * scale + offset[0], y * scale + offset[1],
                                                    z * scale + offset[2]);
          amplitude *= 0.5;
        }
        field[(size_t(z) * kVolumeSize + y) * kVolumeSize + x] = sum;
      }
    }
  }
  // Fractal noise bunches around its mean; stretching the 0.5th..99.5th
  // percentiles to 0..255 spreads the fog over the whole range without
  // letting a few extremes set the scale.
  std::vector<double> sorted = field;
  std::sort(sorted.begin(), sorted.end());
  const double low = sorted[voxelCount / 200];
  const double high = sorted[voxelCount - 1 - voxelCount / 200];

  Image image;
  image.info = {kVolumeSize, kVolumeSize,           kVolumeSize,
                1,           PixelFormat::A8R8G8B8, ResourceKind::Volume};
  ImageLevel level{kVolumeSize, kVolumeSize, kVolumeSize, std::vector<uint8_t>(voxelCount * 4)};
  for (size_t i = 0; i < voxelCount; ++i) {
    std::fill_n(&level.bytes[i * 4], 4, ToByte((field[i] - low) / (high - low)));
  }
  image.levels.push_back(std::move(level));
  return image;
}

bool WriteShowTextures(const std::filesystem::path& directory, std::string& error) {
  std::error_code code;
  std::filesystem::create_directories(directory, code);
  if (code) {
    error = directory.string() + ": " + code.message();
    return false;
  }
  const std::pair<const char*, Image> outputs[] = {
      {"white.dds", MakeWhiteTexture()},
      {"mosaic.dds", MakeMosaicTexture()},
      {"noisevolume2.dds", MakeNoiseVolume()},
  };
  for (const auto& [name, image] : outputs) {
    const std::string path = (directory / name).string();
    const std::vector<uint8_t> bytes = WriteDds(image);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
      error = path + ": " + std::strerror(errno);
      return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeErrno = errno;
    if (std::fclose(file) != 0 || !written) {
      error = path + ": " + std::strerror(written ? errno : writeErrno);
      return false;
    }
  }
  return true;
}
