// names: every resource name, path and the one technique name that the
// registries tell apart by address.
//
// The registries key their entries by the string's address, never by its
// characters, and C++ does not promise that two equal literals share one
// address. So each name is one inline constant here, the same object in every
// translation unit and build; every caller passes the constant. A string with
// the same characters somewhere else is, deliberately, a different key.
#pragma once

// Effect files.
inline constexpr char SharedEffectPath[] = "fx/shared.fx";
inline constexpr char SpriteEffectPath[] = "fx/sprites.fx";
inline constexpr char DefaultEffectPath[] = "fx/default.fx";
inline constexpr char WaterEffectPath[] = "fx/water.fx";

// Texture files.
inline constexpr char WhiteTexturePath[] = "textures/white.dds";
inline constexpr char MosaicTexturePath[] = "textures/mosaic.dds";
inline constexpr char NoiseVolumeTexturePath[] = "textures/noisevolume2.dds";

// The soundtrack.
inline constexpr char SoundtrackPath[] = "sound/slide2.mp3";

// Render targets: a size tag (FS the back buffer's size, HS half of it, 1024
// pixels square), then the format. FS2 and HS2 are second targets of the same
// size and format, for ping-pong.
inline constexpr char TargetFsA8R8G8B8[] = "FS_A8R8G8B8";
inline constexpr char TargetFs2A8R8G8B8[] = "FS2_A8R8G8B8";
inline constexpr char TargetHsA8R8G8B8[] = "HS_A8R8G8B8";
inline constexpr char TargetHs2A8R8G8B8[] = "HS2_A8R8G8B8";
inline constexpr char TargetFsR32F[] = "FS_R32F";
inline constexpr char TargetFsD24S8[] = "FS_D24S8";
inline constexpr char TargetHsR32F[] = "HS_R32F";
inline constexpr char TargetHsD24S8[] = "HS_D24S8";
inline constexpr char Target1024R32F[] = "1024_R32F";
inline constexpr char Target1024D24S8[] = "1024_D24S8";
