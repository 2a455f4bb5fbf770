// texture_file: textures made from DDS files, with the loader defaults the
// program relies on.
//
// What it does: GetImageInfoFromFile reads a file's header (size, depth, mip
// count, format, resource type). CreateTextureFromFile and
// CreateCubeTextureFromFile give a managed texture of the file's format and a
// full mip chain (levels the file lacks are box-filtered from its last one,
// so sampling never meets an incomplete chain); a 2-D texture's size is
// rounded up to powers of two, a cube's faces must already be square powers
// of two. CreateVolumeTextureFromFileEx takes the size, mip count
// and format it is given (the program passes the file's own).
// What it does not: other file types, compressed formats, colour keys,
// palettes, or format conversion (FormatFromFile or the file's own format
// only).
// Lifetime: nothing is kept between calls; LastImageError() describes the
// last failure of this thread's calls until the next one.
#pragma once

#include <cstdint>

#include "platform/gpu.h"

struct ImageFileInfo {
  uint32_t width = 0, height = 0, depth = 0;  // texels of level 0; depth 1 for 2-D and cube
  uint32_t mipLevels = 0;                     // levels in the file
  Format format = FormatUnknown;
  ResourceType resourceType = ResourceTexture;
};

constexpr uint32_t LoaderDefault = 0xFFFFFFFFu;  // "pick the default" for sizes, levels and filters

Result GetImageInfoFromFile(const char* path, ImageFileInfo* info);
Result CreateTextureFromFile(GpuDevice* device, const char* path, Texture** texture);
Result CreateVolumeTextureFromFileEx(GpuDevice* device, const char* path, uint32_t width, uint32_t height,
                                     uint32_t depth, uint32_t mipLevels, uint32_t usage, Format format, Pool pool,
                                     uint32_t filter, uint32_t mipFilter, uint32_t colourKey, ImageFileInfo* sourceInfo,
                                     void* palette, VolumeTexture** texture);
Result CreateCubeTextureFromFile(GpuDevice* device, const char* path, CubeTexture** texture);
// The reason of the last failure, without the path.
const char* LastImageError();
