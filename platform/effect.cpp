#include "platform/effect.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/effect_source.h"

namespace {

// One parameter's value: floats for numbers (16 per matrix, 4 per vector),
// or a texture with a reference held.
struct ParamValue {
  ParamType type = ParamType::Float;
  uint32_t arraySize = 0;
  std::vector<float> numbers;
  BaseTexture* texture = nullptr;

  ParamValue() = default;
  ParamValue(const ParamValue&) = delete;
  ParamValue& operator=(const ParamValue&) = delete;
  ~ParamValue() {
    if (texture) texture->Release();
  }
};

uint32_t FloatCount(ParamType type, uint32_t arraySize) {
  switch (type) {
    case ParamType::Float: return 1;
    case ParamType::Float4: return 4 * std::max(1u, arraySize);
    case ParamType::Float4x4: return 16;
    default: return 0;
  }
}

bool IsTexture(ParamType type) {
  return type == ParamType::Texture2D || type == ParamType::Texture3D || type == ParamType::TextureCube;
}

void InitValue(ParamValue& value, const ParamDecl& decl) {
  value.type = decl.type;
  value.arraySize = decl.arraySize;
  value.numbers.assign(FloatCount(decl.type, decl.arraySize), 0.0f);
}

GLint GlFilter(Filter filter, MipFilter mip) {
  const bool linear = filter == Filter::Linear;
  switch (mip) {
    case MipFilter::None: return linear ? GL_LINEAR : GL_NEAREST;
    case MipFilter::Point: return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    case MipFilter::Linear: return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  }
  return GL_NEAREST;
}

GLint GlAddress(Address address) {
  switch (address) {
    case Address::Clamp: return GL_CLAMP_TO_EDGE;
    case Address::Mirror: return GL_MIRRORED_REPEAT;
    case Address::Wrap: return GL_REPEAT;
  }
  return GL_REPEAT;
}

uint32_t GpuBlend(BlendFactor factor) {
  switch (factor) {
    case BlendFactor::Zero: return BlendZero;
    case BlendFactor::One: return BlendOne;
    case BlendFactor::SrcColor: return BlendSrcColor;
    case BlendFactor::InvSrcColor: return BlendInvSrcColor;
    case BlendFactor::SrcAlpha: return BlendSrcAlpha;
    case BlendFactor::InvSrcAlpha: return BlendInvSrcAlpha;
    case BlendFactor::DestAlpha: return BlendDestAlpha;
    case BlendFactor::InvDestAlpha: return BlendInvDestAlpha;
    case BlendFactor::DestColor: return BlendDestColor;
    case BlendFactor::InvDestColor: return BlendInvDestColor;
    case BlendFactor::SrcAlphaSat: return BlendSrcAlpha;  // the nearest the device offers
  }
  return BlendOne;
}

uint32_t GpuBlendOp(BlendOp op) {
  switch (op) {
    case BlendOp::Add: return BlendOpAdd;
    case BlendOp::Subtract: return BlendOpSubtract;
    case BlendOp::RevSubtract: return BlendOpRevSubtract;
    case BlendOp::Min: return BlendOpMin;
    case BlendOp::Max: return BlendOpMax;
  }
  return BlendOpAdd;
}

uint32_t GpuCompare(CompareFunc func) { return static_cast<uint32_t>(func) + CompareNever; }

uint32_t GpuCull(CullMode mode) {
  switch (mode) {
    case CullMode::None: return CullNone;
    case CullMode::Clockwise: return CullClockwise;
    case CullMode::CounterClockwise: return CullCounterClockwise;
  }
  return CullCounterClockwise;
}

std::string FirstLine(const std::string& text) {
  const size_t end = text.find('\n');
  return end == std::string::npos ? text : text.substr(0, end);
}

std::string Location(const EffectSource& source, uint32_t fileIndex, uint32_t line) {
  return source.files[fileIndex] + ":" + std::to_string(line) + ": ";
}

}  // namespace

struct GpuEffectPool::Storage {
  std::map<std::string, ParamValue> shared;
};

GpuEffectPool::GpuEffectPool() : values(std::make_unique<Storage>()) {}
GpuEffectPool::~GpuEffectPool() = default;

Result CreateEffectPool(GpuEffectPool** pool) {
  *pool = new GpuEffectPool;
  return ResultOk;
}

struct Effect::Compiled {
  struct Pass {
    GLuint program = 0;
    std::vector<GLint> locations;  // per parameter of source.params; -1 when the pass does not use it
    GLint pixelOffsetLocation = -1;
    RenderStates states;
  };
  struct Technique {
    std::string name;
    std::vector<Pass> passes;
  };
  EffectSource source;
  std::vector<Technique> techniques;
  std::map<std::string, ParamValue> own;  // parameters not declared shared
  std::vector<ParamValue*> values;        // per parameter of source.params: in `own` or in the pool
  std::vector<GLuint> samplers;           // per parameter; 0 for numbers
  std::vector<GLuint> shaders;            // per shader block; 0 until compiled
  int currentTechnique = -1;
  RenderStateBlock savedStates{};

  ~Compiled() {
    for (Technique& technique : techniques)
      for (Pass& pass : technique.passes) glDeleteProgram(pass.program);
    for (GLuint shader : shaders) glDeleteShader(shader);
    for (GLuint sampler : samplers) glDeleteSamplers(1, &sampler);
  }

  int ParamIndex(const char* name) const {
    for (size_t i = 0; i < source.params.size(); ++i)
      if (source.params[i].name == name) return static_cast<int>(i);
    return -1;
  }

  bool CompileShader(uint32_t index, std::string* error) {
    if (shaders[index]) return true;
    const ShaderBlock& block = source.shaders[index];
    const std::string text = BuildShaderSource(source, index);
    const GLuint shader = glCreateShader(block.stage == Stage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    const char* text_pointer = text.c_str();
    glShaderSource(shader, 1, &text_pointer, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
      GLint length = 0;
      glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
      std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
      glGetShaderInfoLog(shader, length, nullptr, log.data());
      log.resize(std::strlen(log.c_str()));
      glDeleteShader(shader);
      *error = FirstLine(TranslateCompileLog(log, source.files));
      if (error->empty()) *error = Location(source, block.fileIndex, block.line) + "shader does not compile";
      return false;
    }
    shaders[index] = shader;
    return true;
  }

  bool LinkPass(const PassDecl& decl, Pass* pass, std::string* error) {
    if (!CompileShader(decl.vertexShader, error) || !CompileShader(decl.fragmentShader, error)) return false;
    pass->program = glCreateProgram();
    glAttachShader(pass->program, shaders[decl.vertexShader]);
    glAttachShader(pass->program, shaders[decl.fragmentShader]);
    glLinkProgram(pass->program);
    GLint linked = GL_FALSE;
    glGetProgramiv(pass->program, GL_LINK_STATUS, &linked);
    if (!linked) {
      GLint length = 0;
      glGetProgramiv(pass->program, GL_INFO_LOG_LENGTH, &length);
      std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
      glGetProgramInfoLog(pass->program, length, nullptr, log.data());
      log.resize(std::strlen(log.c_str()));
      *error = Location(source, decl.fileIndex, decl.line) + "pass " + decl.name + " does not link: " + FirstLine(log);
      return false;
    }
    pass->states = decl.states;
    pass->pixelOffsetLocation = glGetUniformLocation(pass->program, kPixelOffsetUniform);
    GLint textureUnit = 0;
    for (const ParamDecl& param : source.params) {
      const GLint location = glGetUniformLocation(pass->program, param.name.c_str());
      pass->locations.push_back(location);
      // Each texture parameter has its own unit, numbered in declaration order.
      if (IsTexture(param.type)) {
        if (location >= 0) glProgramUniform1i(pass->program, location, textureUnit);
        ++textureUnit;
      }
    }
    return true;
  }

  void Upload(const Pass& pass, GpuDevice* device) const {
    GLuint textureUnit = 0;
    for (size_t i = 0; i < source.params.size(); ++i) {
      const ParamValue& value = *values[i];
      const GLint location = pass.locations[i];
      if (IsTexture(value.type)) {
        glBindTextureUnit(textureUnit, value.texture ? value.texture->GlName() : 0);
        glBindSampler(textureUnit, samplers[i]);
        ++textureUnit;
        continue;
      }
      if (location < 0) continue;
      const float* numbers = value.numbers.data();
      switch (value.type) {
        case ParamType::Float: glProgramUniform1f(pass.program, location, numbers[0]); break;
        case ParamType::Float4:
          glProgramUniform4fv(pass.program, location, static_cast<GLsizei>(std::max(1u, value.arraySize)), numbers);
          break;
        // Stored row by row; transposed on the way in so `p * M` in GLSL
        // is the program's row-vector product.
        case ParamType::Float4x4: glProgramUniformMatrix4fv(pass.program, location, 1, GL_TRUE, numbers); break;
        default: break;
      }
    }
    if (pass.pixelOffsetLocation >= 0) {
      float x = 0, y = 0;
      device->PixelCentreOffset(&x, &y);
      glProgramUniform2f(pass.program, pass.pixelOffsetLocation, x, y);
    }
  }
};

Effect::Effect(GpuDevice* device, GpuEffectPool* pool, std::unique_ptr<Compiled> compiled)
    : device(device), pool(pool), compiled(std::move(compiled)) {
  device->AddRef();
  if (pool) pool->AddRef();
}

Effect::~Effect() {
  compiled.reset();
  if (pool) pool->Release();
  device->Release();
}

Result CreateEffectFromFile(GpuDevice* device, const char* path, const void* defines, void* include, uint32_t flags,
                            GpuEffectPool* pool, Effect** effect, std::string* errors) {
  (void)flags;
  *effect = nullptr;
  std::string error;
  auto fail = [&](const std::string& reason) {
    if (errors) *errors = reason;
    return ResultInvalidCall;
  };
  if (!device || defines || include) return fail(std::string(path) + ": macros and include handlers are not offered");
  auto compiled = std::make_unique<Effect::Compiled>();
  if (!ParseEffectFile(path, compiled->source, error)) return fail(error);
  const EffectSource& source = compiled->source;
  // Values: shared ones live in the pool (one per name for every effect),
  // the rest in the effect.
  for (const ParamDecl& param : source.params) {
    ParamValue* value = nullptr;
    if (param.shared && pool) {
      auto [entry, inserted] = pool->Values().shared.try_emplace(param.name);
      if (inserted) {
        InitValue(entry->second, param);
      } else if (entry->second.type != param.type || entry->second.arraySize != param.arraySize) {
        return fail(Location(source, param.fileIndex, param.line) + "shared parameter '" + param.name +
                    "' is declared with another type in another effect");
      }
      value = &entry->second;
    } else {
      value = &compiled->own[param.name];
      InitValue(*value, param);
    }
    compiled->values.push_back(value);
    GLuint sampler = 0;
    if (IsTexture(param.type)) {
      glCreateSamplers(1, &sampler);
      glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GlFilter(param.sampler.minFilter, param.sampler.mipFilter));
      glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, param.sampler.magFilter == Filter::Linear ? GL_LINEAR : GL_NEAREST);
      glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GlAddress(param.sampler.u));
      glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GlAddress(param.sampler.v));
      glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, GlAddress(param.sampler.w));
    }
    compiled->samplers.push_back(sampler);
  }
  compiled->shaders.assign(source.shaders.size(), 0);
  for (const TechniqueDecl& techniqueDecl : source.techniques) {
    Effect::Compiled::Technique technique;
    technique.name = techniqueDecl.name;
    for (const PassDecl& passDecl : techniqueDecl.passes) {
      technique.passes.emplace_back();
      if (!compiled->LinkPass(passDecl, &technique.passes.back(), &error)) {
        compiled->techniques.push_back(std::move(technique));  // freed with the rest
        return fail(error);
      }
    }
    compiled->techniques.push_back(std::move(technique));
  }
  if (!compiled->techniques.empty()) compiled->currentTechnique = 0;
  *effect = new Effect(device, pool, std::move(compiled));
  return ResultOk;
}

Result Effect::SetTechnique(const char* name) {
  for (size_t i = 0; i < compiled->techniques.size(); ++i) {
    if (compiled->techniques[i].name == name) {
      compiled->currentTechnique = static_cast<int>(i);
      return ResultOk;
    }
  }
  // An unknown technique draws nothing rather than whatever was set before.
  compiled->currentTechnique = -1;
  return ResultInvalidCall;
}

bool Effect::HasTechnique(const char* name) const {
  return std::any_of(compiled->techniques.begin(), compiled->techniques.end(),
                     [name](const Compiled::Technique& technique) { return technique.name == name; });
}

Result Effect::Begin(uint32_t* passCount, uint32_t flags) {
  (void)flags;  // every Begin saves and End restores the render states
  for (uint32_t i = 0; i < static_cast<uint32_t>(RenderState::Count); ++i)
    device->GetRenderState(static_cast<RenderState>(i), &compiled->savedStates.values[i]);
  const int technique = compiled->currentTechnique;
  *passCount = technique < 0 ? 0 : static_cast<uint32_t>(compiled->techniques[size_t(technique)].passes.size());
  return technique < 0 ? ResultInvalidCall : ResultOk;
}

Result Effect::BeginPass(uint32_t passIndex) {
  const int technique = compiled->currentTechnique;
  if (technique < 0 || passIndex >= compiled->techniques[size_t(technique)].passes.size()) return ResultInvalidCall;
  const Compiled::Pass& pass = compiled->techniques[size_t(technique)].passes[passIndex];
  glUseProgram(pass.program);
  compiled->Upload(pass, device);
  const RenderStates& states = pass.states;
  if (states.blendEnable) device->SetRenderState(RenderState::AlphaBlendEnable, *states.blendEnable ? 1 : 0);
  if (states.srcBlend) device->SetRenderState(RenderState::SrcBlend, GpuBlend(*states.srcBlend));
  if (states.destBlend) device->SetRenderState(RenderState::DestBlend, GpuBlend(*states.destBlend));
  if (states.blendOp) device->SetRenderState(RenderState::BlendOp, GpuBlendOp(*states.blendOp));
  if (states.depthEnable) device->SetRenderState(RenderState::ZEnable, *states.depthEnable ? 1 : 0);
  if (states.depthWrite) device->SetRenderState(RenderState::ZWriteEnable, *states.depthWrite ? 1 : 0);
  if (states.depthFunc) device->SetRenderState(RenderState::ZFunc, GpuCompare(*states.depthFunc));
  if (states.cull) device->SetRenderState(RenderState::CullMode, GpuCull(*states.cull));
  if (states.colorWriteMask) device->SetRenderState(RenderState::ColorWriteEnable, *states.colorWriteMask);
  return ResultOk;
}

// Nothing to undo per pass: End restores the render states.
Result Effect::EndPass() { return ResultOk; }

Result Effect::End() {
  for (uint32_t i = 0; i < static_cast<uint32_t>(RenderState::Count); ++i) {
    uint32_t now = 0;
    device->GetRenderState(static_cast<RenderState>(i), &now);
    if (now != compiled->savedStates.values[i])
      device->SetRenderState(static_cast<RenderState>(i), compiled->savedStates.values[i]);
  }
  return ResultOk;
}

namespace {

ParamValue* FindValue(Effect::Compiled& compiled, const char* name, bool (*fits)(ParamType)) {
  const int index = compiled.ParamIndex(name);
  if (index < 0) return nullptr;
  ParamValue* value = compiled.values[size_t(index)];
  return fits(value->type) ? value : nullptr;
}

}  // namespace

Result Effect::SetMatrix(const char* name, const Matrix* matrix) {
  ParamValue* value = FindValue(*compiled, name, [](ParamType type) { return type == ParamType::Float4x4; });
  if (!value) return ResultInvalidCall;
  std::memcpy(value->numbers.data(), matrix->m, sizeof matrix->m);
  return ResultOk;
}

Result Effect::SetVector(const char* name, const Vec4* vector) {
  ParamValue* value = FindValue(*compiled, name, [](ParamType type) {
    return type == ParamType::Float4 || type == ParamType::Float;
  });
  if (!value) return ResultInvalidCall;
  // A float takes the vector's first component.
  std::memcpy(value->numbers.data(), vector, std::min<size_t>(4, value->numbers.size()) * sizeof(float));
  return ResultOk;
}

Result Effect::SetVectorArray(const char* name, const Vec4* vectors, uint32_t count) {
  ParamValue* value = FindValue(*compiled, name, [](ParamType type) { return type == ParamType::Float4; });
  if (!value || size_t{count} * 4 > value->numbers.size()) return ResultInvalidCall;
  std::memcpy(value->numbers.data(), vectors, size_t{count} * 4 * sizeof(float));
  return ResultOk;
}

Result Effect::SetFloat(const char* name, float number) {
  ParamValue* value = FindValue(*compiled, name, [](ParamType type) {
    return type == ParamType::Float || type == ParamType::Float4;
  });
  if (!value) return ResultInvalidCall;
  value->numbers[0] = number;
  return ResultOk;
}

Result Effect::SetTexture(const char* name, BaseTexture* texture) {
  ParamValue* value = FindValue(*compiled, name, IsTexture);
  if (!value) return ResultInvalidCall;
  if (texture) texture->AddRef();
  if (value->texture) value->texture->Release();
  value->texture = texture;
  return ResultOk;
}

Result Effect::GetMatrix(const char* name, Matrix* matrix) const {
  ParamValue* value = FindValue(*compiled, name, [](ParamType type) { return type == ParamType::Float4x4; });
  if (!value) return ResultInvalidCall;
  std::memcpy(matrix->m, value->numbers.data(), sizeof matrix->m);
  return ResultOk;
}

Result Effect::GetVector(const char* name, Vec4* vector) const {
  ParamValue* value = FindValue(*compiled, name, [](ParamType type) { return type == ParamType::Float4; });
  if (!value) return ResultInvalidCall;
  *vector = Vec4{value->numbers[0], value->numbers[1], value->numbers[2], value->numbers[3]};
  return ResultOk;
}

// Programs and samplers survive a reset as they are. What must go are the
// references to default-pool textures (render targets) bound to parameters,
// shared ones included: a reset fails while any of them is alive.
Result Effect::OnLostDevice() {
  for (ParamValue* value : compiled->values) {
    if (value->texture && value->texture->GetPool() == PoolDefault) {
      value->texture->Release();
      value->texture = nullptr;
    }
  }
  return ResultOk;
}

Result Effect::OnResetDevice() { return ResultOk; }
