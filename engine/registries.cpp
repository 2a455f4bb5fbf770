// The texture and effect registries, the render-target registry's storage,
// and the sweeps over all three around a lost device and at shut-down.
#include "engine/engine.h"

#include "platform/texture_file.h"

// Constructed in this order before the program's entry, destroyed in reverse.
std::map<const char*, Effect*, AddressOrder> EffectRegistry;
std::map<const char*, TextureAsset, AddressOrder> TextureRegistry;
std::map<const char*, RenderTarget, AddressOrder> RenderTargetRegistry;

namespace {

// Why the last attempt at a key failed, for the start-up check; the
// registries themselves keep only the null pointer.
std::map<const char*, std::string, AddressOrder> loadFailures;

}  // namespace

TextureAsset::~TextureAsset() { ReleaseTextureAsset(this); }

TextureAsset* LookupTexture(const char* path) {
  TextureAsset* record = &TextureRegistry[path];
  if (!record->texture) LoadTextureAsset(record, path);
  return record;
}

void LoadTextureAsset(TextureAsset* record, const char* path) {
  ReleaseTextureAsset(record);
  ImageFileInfo info;
  if (Failed(GetImageInfoFromFile(path, &info))) {
    loadFailures[path] = std::string("cannot read ") + path + ": " + LastImageError();
    return;
  }
  record->size = Vec4{static_cast<float>(info.width), static_cast<float>(info.height), static_cast<float>(info.depth), 0};
  switch (info.resourceType) {
    case ResourceTexture: {
      Texture* texture = nullptr;
      CreateTextureFromFile(Device, path, &texture);
      record->texture = texture;
      break;
    }
    case ResourceVolumeTexture: {
      VolumeTexture* texture = nullptr;
      CreateVolumeTextureFromFileEx(Device, path, info.width, info.height, info.depth, info.mipLevels, 0, FormatFromFile,
                                    PoolManaged, LoaderDefault, LoaderDefault, 0, nullptr, nullptr, &texture);
      record->texture = texture;
      break;
    }
    case ResourceCubeTexture: {
      CubeTexture* texture = nullptr;
      CreateCubeTextureFromFile(Device, path, &texture);
      record->texture = texture;
      break;
    }
    default: break;
  }
  if (record->texture) loadFailures.erase(path);
  else loadFailures[path] = std::string("cannot read ") + path + ": " + LastImageError();
}

void ReleaseTextureAsset(TextureAsset* record) {
  if (record->texture) {
    record->texture->Release();
    record->texture = nullptr;
  }
  record->size = Vec4{0, 0, 0, 0};
}

Effect** LookupEffect(const char* path) {
  Effect** slot = &EffectRegistry[path];
  if (!*slot) {
    std::string errors;
    CreateEffectFromFile(Device, path, nullptr, nullptr, ShaderPackMatrixRowMajor, EffectPool, slot, &errors);
    if (*slot) loadFailures.erase(path);
    else loadFailures[path] = errors;
  }
  return slot;
}

void ReleaseDeviceResources() {
  for (auto& [path, effect] : EffectRegistry)
    if (effect) effect->OnLostDevice();
  for (auto& [name, target] : RenderTargetRegistry) ReleaseRenderTarget(&target);
}

void RestoreDeviceResources() {
  Device->EvictManagedResources();
  for (auto& [name, target] : RenderTargetRegistry) RecreateRenderTarget(&target);
  for (auto& [path, effect] : EffectRegistry)
    if (effect) effect->OnResetDevice();
}

void ReleaseRegistryResources() {
  ReleaseDeviceResources();
  for (auto& [path, effect] : EffectRegistry) {
    if (effect) {
      effect->Release();
      effect = nullptr;
    }
  }
  for (auto& [path, record] : TextureRegistry) ReleaseTextureAsset(&record);
}

std::vector<std::string> ContentProblems() {
  std::vector<std::string> problems;
  for (const char* path : {SharedEffectPath, SpriteEffectPath, DefaultEffectPath, WaterEffectPath})
    if (!*LookupEffect(path)) problems.push_back(loadFailures[path]);
  for (const char* path : {WhiteTexturePath, MosaicTexturePath, NoiseVolumeTexturePath})
    if (!LookupTexture(path)->texture) problems.push_back(loadFailures[path]);
  return problems;
}
