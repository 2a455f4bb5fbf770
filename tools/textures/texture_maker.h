// texture_maker: builds the show's three textures from fixed seeds.
//
// What it does: makes a plain white texture, a tileable colourful mosaic and a
// tileable cloudy noise volume as in-memory images, and writes all three as
// DDS files (white.dds, mosaic.dds, noisevolume2.dds) into a directory. The
// output is the same bytes on every run: all randomness comes from our own
// seeded generator, and only exact IEEE arithmetic (no library transcendentals)
// shapes the pixels.
// What it does not: read anything, or depend on the clock or the environment.
// Lifetime: every function returns a fresh value; nothing is kept between calls.
#pragma once

#include <filesystem>
#include <string>

#include "platform/dds.h"

// 8x8 A8R8G8B8, every byte 0xff, full mip chain.
Image MakeWhiteTexture();

// 256x256 A8R8G8B8, full mip chain, opaque, seamless when repeated: irregular
// saturated tiles with dark grout, some with an inset or a centre dot.
Image MakeMosaicTexture();

// 64x64x64 A8R8G8B8 volume, one level: wrap-around fractal gradient noise,
// stretched to cover 0..255, with the same value in all four channels so any
// channel the fog shader reads sees the same clouds.
Image MakeNoiseVolume();

// Creates directory if needed and writes the three files into it. On failure
// returns false and sets error to a reason that names the file.
bool WriteShowTextures(const std::filesystem::path& directory, std::string& error);
