// effect: effects and the effect pool, the program's way of drawing, over
// OpenGL programs built from our own effect files (see docs/effects.md).
//
// What it does: CreateEffectFromFile reads an effect file, compiles one GL
// program per pass and keeps its parameter values. Parameters declared
// `shared` live in the pool and have one value for every effect made with
// it; a value set through any effect is seen by all the others at their next
// BeginPass. Begin (flags 0) remembers the device's render states, BeginPass
// uploads every parameter, binds textures with their sampler states and sets
// the pass's render states, End puts the remembered states back. Matrices are
// uploaded as stored, so shaders multiply a row vector on the left
// (`p * mWorldViewProj`), as the program's row-vector maths expects.
// What it does not: parameter handles other than names, annotations, state
// blocks, CommitChanges (set everything before BeginPass), or recompiling.
// Lifetime: reference counted; an effect holds its pool and its device. An
// effect keeps its GL programs across OnLostDevice and OnResetDevice: nothing
// it owns is bound to the back buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gpu.h"
#include "platform/math.h"

constexpr uint32_t ShaderPackMatrixRowMajor = 8;  // the only packing there is here; accepted for the record

class GpuEffectPool : public GpuObject {
 public:
  struct Storage;
  Storage& Values() { return *values; }

 private:
  GpuEffectPool();
  ~GpuEffectPool() override;
  std::unique_ptr<Storage> values;
  friend Result CreateEffectPool(GpuEffectPool** pool);
};

Result CreateEffectPool(GpuEffectPool** pool);

class Effect : public GpuObject {
 public:
  Result SetTechnique(const char* name);
  Result Begin(uint32_t* passCount, uint32_t flags);
  Result BeginPass(uint32_t pass);
  Result EndPass();
  Result End();

  Result SetMatrix(const char* name, const Matrix* matrix);
  Result SetVector(const char* name, const Vec4* vector);
  Result SetVectorArray(const char* name, const Vec4* vectors, uint32_t count);
  Result SetFloat(const char* name, float value);
  Result SetTexture(const char* name, BaseTexture* texture);  // null unbinds

  // Reading values back, for tests and tools.
  Result GetMatrix(const char* name, Matrix* matrix) const;
  Result GetVector(const char* name, Vec4* vector) const;
  bool HasTechnique(const char* name) const;

  Result OnLostDevice();
  Result OnResetDevice();

  struct Compiled;

 private:
  Effect(GpuDevice* device, GpuEffectPool* pool, std::unique_ptr<Compiled> compiled);
  ~Effect() override;
  GpuDevice* device;
  GpuEffectPool* pool;
  std::unique_ptr<Compiled> compiled;
  friend Result CreateEffectFromFile(GpuDevice*, const char*, const void*, void*, uint32_t, GpuEffectPool*, Effect**,
                                     std::string*);
};

// Reads and compiles path. On failure *effect is null and, when errors is
// given, it receives the reason with the file and line ("fx/water.fx:42: ...").
// defines and include must be null: macros and include handlers are not
// offered (files include each other by relative path).
Result CreateEffectFromFile(GpuDevice* device, const char* path, const void* defines, void* include, uint32_t flags,
                            GpuEffectPool* pool, Effect** effect, std::string* errors);
