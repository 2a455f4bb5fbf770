// effect_source: reads effect files (fx/*.fx) and turns each pass's shaders
// into complete GLSL 4.50 core sources.
//
// What it does: parses one effect file and everything it #includes into an
// EffectSource (parameters with their sampler states, varyings, GLSL code
// blocks, techniques of passes with render states), checks it, and reports the
// first fault as "file:line: message". BuildShaderSource writes the GLSL for one
// vertex or fragment block with #line directives pointing back at the .fx
// files; TranslateCompileLog rewrites a driver's compile log through them.
// What it does not: touch OpenGL, compile or link anything, hold parameter
// values, or keep a pool of shared parameters (the caller does all of that).
// Lifetime: plain values; nothing is cached between calls, and the result of
// ParseEffectFile refers to no file once it returns.
// The format itself is described in docs/effects.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class ParamType { Float, Float4, Float4x4, Texture2D, Texture3D, TextureCube };

enum class Filter { Point, Linear };
enum class MipFilter { None, Point, Linear };
enum class Address { Wrap, Clamp, Mirror };

// The defaults are the ones the effects were written against.
struct SamplerStates {
  Filter minFilter = Filter::Point;
  Filter magFilter = Filter::Point;
  MipFilter mipFilter = MipFilter::None;
  Address u = Address::Wrap;  // horizontal
  Address v = Address::Wrap;  // vertical
  Address w = Address::Wrap;  // depth, volume textures only
  bool operator==(const SamplerStates&) const = default;
};

struct ParamDecl {
  std::string name;                 // also the GLSL uniform's name
  ParamType type = ParamType::Float;
  uint32_t arraySize = 0;           // elements; 0: not an array (only float4 has arrays)
  bool shared = false;              // one value for every effect in the pool
  SamplerStates sampler;            // textures only
  uint32_t fileIndex = 0;           // first declaration: index into EffectSource::files
  uint32_t line = 0;                // first declaration: 1-based line
};

// Values passed from the vertex to the fragment stage.
struct VaryingDecl {
  std::string name;
  uint32_t components = 4;          // 1: float, 2..4: vec2..vec4
  uint32_t fileIndex = 0;           // index into EffectSource::files
  uint32_t line = 0;                // 1-based
};

enum class Stage { Vertex, Fragment };

struct ShaderBlock {
  std::string name;
  Stage stage = Stage::Vertex;      // unused for common blocks
  std::string code;                 // GLSL text between the braces, verbatim
  uint32_t fileIndex = 0;           // index into EffectSource::files
  uint32_t line = 0;                // 1-based line where code starts (the '{' line)
};

enum class BlendFactor {
  Zero, One, SrcColor, InvSrcColor, SrcAlpha, InvSrcAlpha,
  DestAlpha, InvDestAlpha, DestColor, InvDestColor, SrcAlphaSat
};
enum class BlendOp { Add, Subtract, RevSubtract, Min, Max };
enum class CompareFunc { Never, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always };
// Which screen-space winding is culled: Clockwise drops triangles whose
// vertices run clockwise as seen on screen.
enum class CullMode { None, Clockwise, CounterClockwise };

inline constexpr uint8_t kColorWriteRed = 1;
inline constexpr uint8_t kColorWriteGreen = 2;
inline constexpr uint8_t kColorWriteBlue = 4;
inline constexpr uint8_t kColorWriteAlpha = 8;

// Every state is optional: one the pass does not set stays as the device has it.
struct RenderStates {
  std::optional<bool> blendEnable;
  std::optional<BlendFactor> srcBlend;
  std::optional<BlendFactor> destBlend;
  std::optional<BlendOp> blendOp;
  std::optional<bool> depthEnable;
  std::optional<bool> depthWrite;
  std::optional<CompareFunc> depthFunc;
  std::optional<CullMode> cull;
  std::optional<uint8_t> colorWriteMask;  // kColorWrite* bits; 0 writes nothing
  bool operator==(const RenderStates&) const = default;
};

struct PassDecl {
  std::string name;
  uint32_t vertexShader = 0;        // index into EffectSource::shaders
  uint32_t fragmentShader = 0;      // index into EffectSource::shaders
  RenderStates states;
  uint32_t fileIndex = 0;           // index into EffectSource::files
  uint32_t line = 0;                // 1-based line of the 'pass' keyword
};

struct TechniqueDecl {
  std::string name;
  std::vector<PassDecl> passes;     // in file order, at least one
};

struct EffectSource {
  std::vector<std::string> files;   // index 0: the top file as given; includes joined to their includer's folder
  std::vector<ParamDecl> params;    // declaration order, each name once
  std::vector<VaryingDecl> varyings;
  std::vector<ShaderBlock> shaders; // vertex and fragment blocks
  std::vector<ShaderBlock> common;  // helper code pasted into every shader, in file order
  std::vector<TechniqueDecl> techniques;
};

// Names the generated GLSL declares; the renderer binds against them.
inline constexpr uint32_t kAttribPosition = 0;   // in vec3 aPosition
inline constexpr uint32_t kAttribNormal = 1;     // in vec3 aNormal
inline constexpr uint32_t kAttribTexCoord = 2;   // in vec2 aTexCoord
// vec2 added to gl_Position.xy (times w) after every vertex shader, in clip units.
inline constexpr const char* kPixelOffsetUniform = "vantrel_PixelOffset";

// Reads path and its includes into out. On failure returns false, leaves out
// empty and sets error to "file:line: message" (1-based line; the file as
// given or as joined from the includer's folder).
bool ParseEffectFile(const std::string& path, EffectSource& out, std::string& error);

// Complete GLSL source for effect.shaders[shaderIndex] (which must exist).
// Source string numbers in its #line directives are indices into
// effect.files; code the generator wrote itself uses effect.files.size().
std::string BuildShaderSource(const EffectSource& effect, uint32_t shaderIndex);

// Rewrites the locations in a compile log from BuildShaderSource's source
// ("0:12(5): error: ..." from Mesa, "0(12) : error ..." from NVIDIA,
// "ERROR: 0:12: ..." from glslang) as "fx/water.fx:12: error: ...". Source
// numbers past files name "<generated>"; other lines pass through unchanged.
std::string TranslateCompileLog(const std::string& glLog, const std::vector<std::string>& files);
