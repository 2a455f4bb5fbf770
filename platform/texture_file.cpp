#include "platform/texture_file.h"

#include <cstring>
#include <string>

#include "platform/dds.h"

namespace {

std::string lastImageError;

Result Fail(const std::string& reason) {
  lastImageError = reason;
  return ResultInvalidCall;
}

Format FormatOf(PixelFormat format) {
  switch (format) {
    case PixelFormat::A8R8G8B8: return FormatA8R8G8B8;
    case PixelFormat::X8R8G8B8: return FormatX8R8G8B8;
    case PixelFormat::R32F: return FormatR32F;
    default: return FormatUnknown;
  }
}

bool ReadImage(const char* path, ResourceKind kind, Image& image) {
  std::string error;
  if (!ReadDdsFile(path, image, error)) {
    lastImageError = error;
    return false;
  }
  if (image.info.kind != kind) {
    lastImageError = "the file holds another kind of texture";
    return false;
  }
  return true;
}

}  // namespace

const char* LastImageError() { return lastImageError.c_str(); }

Result GetImageInfoFromFile(const char* path, ImageFileInfo* info) {
  ImageInfo header;
  std::string error;
  if (!ReadDdsInfo(path, header, error)) return Fail(error);
  *info = ImageFileInfo{header.width, header.height, header.depth, header.mipLevels, FormatOf(header.format),
                        static_cast<ResourceType>(header.kind)};
  return ResultOk;
}

Result CreateTextureFromFile(GpuDevice* device, const char* path, Texture** texture) {
  *texture = nullptr;
  Image image;
  if (!ReadImage(path, ResourceKind::Texture2D, image)) return ResultInvalidCall;
  const uint32_t width = RoundUpToPowerOfTwo(image.info.width), height = RoundUpToPowerOfTwo(image.info.height);
  if (width != image.info.width || height != image.info.height) ResizeLevelZero(image, width, height);
  CompleteMipChain(image);
  Texture* made = nullptr;
  if (Failed(device->CreateTexture(width, height, image.info.mipLevels, 0, FormatOf(image.info.format), PoolManaged,
                                   &made, nullptr)))
    return Fail("the device cannot make a texture of this size and format");
  for (uint32_t level = 0; level < image.info.mipLevels; ++level) {
    LockedRect locked;
    made->LockRect(level, &locked, nullptr, 0);
    const ImageLevel& source = image.levels[level];
    std::memcpy(locked.bits, source.bytes.data(), source.bytes.size());
    made->UnlockRect(level);
  }
  *texture = made;
  return ResultOk;
}

Result CreateVolumeTextureFromFileEx(GpuDevice* device, const char* path, uint32_t width, uint32_t height,
                                     uint32_t depth, uint32_t mipLevels, uint32_t usage, Format format, Pool pool,
                                     uint32_t filter, uint32_t mipFilter, uint32_t colourKey, ImageFileInfo* sourceInfo,
                                     void* palette, VolumeTexture** texture) {
  (void)filter;
  (void)mipFilter;
  *texture = nullptr;
  if (colourKey != 0 || palette) return Fail("colour keys and palettes are not offered");
  Image image;
  if (!ReadImage(path, ResourceKind::Volume, image)) return ResultInvalidCall;
  const ImageInfo& info = image.info;
  const Format fileFormat = FormatOf(info.format);
  // No resampling or conversion: only the file's own size, levels and format.
  if ((width != LoaderDefault && width != info.width) || (height != LoaderDefault && height != info.height) ||
      (depth != LoaderDefault && depth != info.depth) ||
      (mipLevels != LoaderDefault && mipLevels != 0 && mipLevels != info.mipLevels) ||
      (format != FormatFromFile && format != fileFormat))
    return Fail("a volume texture is made at the file's own size, levels and format only");
  VolumeTexture* made = nullptr;
  if (Failed(device->CreateVolumeTexture(info.width, info.height, info.depth, info.mipLevels, usage, fileFormat, pool,
                                         &made, nullptr)))
    return Fail("the device cannot make a volume texture of this size and format");
  for (uint32_t level = 0; level < info.mipLevels; ++level)
    made->WriteLevel(level, image.levels[level].bytes.data(), image.levels[level].bytes.size());
  if (sourceInfo) GetImageInfoFromFile(path, sourceInfo);
  *texture = made;
  return ResultOk;
}

Result CreateCubeTextureFromFile(GpuDevice* device, const char* path, CubeTexture** texture) {
  *texture = nullptr;
  Image image;
  if (!ReadImage(path, ResourceKind::Cube, image)) return ResultInvalidCall;
  const uint32_t edge = RoundUpToPowerOfTwo(image.info.width);
  if (edge != image.info.width || image.info.height != image.info.width)
    return Fail("cube faces must be square powers of two");
  CompleteMipChain(image);
  CubeTexture* made = nullptr;
  if (Failed(device->CreateCubeTexture(edge, image.info.mipLevels, 0, FormatOf(image.info.format), PoolManaged, &made,
                                       nullptr)))
    return Fail("the device cannot make a cube texture of this size and format");
  for (uint32_t face = 0; face < 6; ++face) {
    for (uint32_t level = 0; level < image.info.mipLevels; ++level) {
      const ImageLevel& source = image.levels[face * image.info.mipLevels + level];
      made->WriteFaceLevel(face, level, source.bytes.data(), source.bytes.size());
    }
  }
  *texture = made;
  return ResultOk;
}
