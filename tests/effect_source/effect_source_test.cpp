#include "platform/effect_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace {

namespace fs = std::filesystem;

// A scratch folder of effect files, removed with the object.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "vantrel-fx-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder");
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  void Write(const std::string& relative, const std::string& text) const {
    const fs::path file = path_ / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }
  std::string Path(const std::string& relative) const { return (path_ / relative).string(); }

  // Drops the folder from paths in text so expectations read "top.fx:3: ...".
  std::string Relative(std::string text) const {
    const std::string prefix = path_.string() + "/";
    for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) {
      text.erase(at, prefix.size());
    }
    return text;
  }

 private:
  fs::path path_;
};

const ParamDecl* FindParam(const EffectSource& effect, std::string_view name) {
  for (const ParamDecl& param : effect.params) {
    if (param.name == name) return &param;
  }
  return nullptr;
}

SamplerStates Sampler(Filter filter, MipFilter mip, Address address) {
  SamplerStates states;
  states.minFilter = states.magFilter = filter;
  states.mipFilter = mip;
  states.u = states.v = states.w = address;
  return states;
}

bool HaveGlslang() { return !std::string_view(VANTREL_GLSLANG_VALIDATOR).empty(); }

struct ToolRun {
  int status = -1;
  std::string output;
};

// Compiles (and with several files links) GLSL files; the stage comes from
// each file's extension (.vert, .frag).
ToolRun RunGlslang(const std::vector<std::string>& inputs) {
  std::string command = std::string(VANTREL_GLSLANG_VALIDATOR) + " -l";
  for (const std::string& input : inputs) command += " '" + input + "'";
  command += " 2>&1";
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, got);
  run.status = pclose(pipe);
  return run;
}

std::string WriteShader(const ScratchDir& dir, const EffectSource& effect, uint32_t shaderIndex,
                        const std::string& baseName) {
  const std::string name =
      baseName + (effect.shaders[shaderIndex].stage == Stage::Vertex ? ".vert" : ".frag");
  dir.Write(name, BuildShaderSource(effect, shaderIndex));
  return dir.Path(name);
}

// ---- the content in fx/ -------------------------------------------------------

constexpr const char* kContentFiles[] = {"shared.fx", "default.fx", "water.fx", "sprites.fx"};

EffectSource ParseContent(const std::string& name) {
  EffectSource effect;
  std::string error;
  EXPECT_TRUE(ParseEffectFile(std::string(VANTREL_FX_DIR) + "/" + name, effect, error)) << error;
  return effect;
}

struct ExpectedParam {
  const char* name;
  ParamType type;
  uint32_t arraySize;
  SamplerStates sampler;
};

TEST(EffectSourceContent, EveryEffectSeesAllSharedParameters) {
  const SamplerStates unused;
  const std::vector<ExpectedParam> shared = {
      {"mWorld", ParamType::Float4x4, 0, unused},
      {"mView", ParamType::Float4x4, 0, unused},
      {"mProj", ParamType::Float4x4, 0, unused},
      {"mBias", ParamType::Float4x4, 0, unused},
      {"mViewProj", ParamType::Float4x4, 0, unused},
      {"mInvView", ParamType::Float4x4, 0, unused},
      {"mInvProj", ParamType::Float4x4, 0, unused},
      {"mFrustum", ParamType::Float4x4, 0, unused},
      {"mWorldView", ParamType::Float4x4, 0, unused},
      {"mWorldViewProj", ParamType::Float4x4, 0, unused},
      {"mViewProjBias", ParamType::Float4x4, 0, unused},
      {"mProjBias", ParamType::Float4x4, 0, unused},
      {"mShadowViewProjBias", ParamType::Float4x4, 0, unused},
      {"vEyePos", ParamType::Float4, 0, unused},
      {"vConstColour", ParamType::Float4, 0, unused},
      {"vUVTransform", ParamType::Float4, 0, unused},
      {"vPointLightPos", ParamType::Float4, 0, unused},
      {"vPointLightColour", ParamType::Float4, 0, unused},
      {"vAmbientColour", ParamType::Float4, 0, unused},
      {"vRandomTaps", ParamType::Float4, 4, unused},
      {"tShadowTexture", ParamType::Texture2D, 0, Sampler(Filter::Point, MipFilter::None, Address::Clamp)},
      {"tShadowJitterTexture", ParamType::Texture2D, 0, Sampler(Filter::Point, MipFilter::None, Address::Wrap)},
  };
  for (const char* file : kContentFiles) {
    SCOPED_TRACE(file);
    const EffectSource effect = ParseContent(file);
    size_t sharedCount = 0;
    for (const ParamDecl& param : effect.params) sharedCount += param.shared;
    EXPECT_EQ(sharedCount, shared.size()) << "only shared.fx declares shared parameters";
    for (const ExpectedParam& expected : shared) {
      const ParamDecl* param = FindParam(effect, expected.name);
      ASSERT_NE(param, nullptr) << expected.name;
      EXPECT_TRUE(param->shared) << expected.name;
      EXPECT_EQ(param->type, expected.type) << expected.name;
      EXPECT_EQ(param->arraySize, expected.arraySize) << expected.name;
      if (param->type == ParamType::Texture2D) {
        EXPECT_EQ(param->sampler, expected.sampler) << expected.name;
      }
    }
  }
}

TEST(EffectSourceContent, EachEffectDeclaresItsOwnParameters) {
  const SamplerStates unused;
  const SamplerStates linearClamp = Sampler(Filter::Linear, MipFilter::None, Address::Clamp);
  const std::vector<std::pair<const char*, std::vector<ExpectedParam>>> files = {
      {"default.fx",
       {{"tTexture", ParamType::Texture2D, 0, Sampler(Filter::Linear, MipFilter::Linear, Address::Wrap)}}},
      {"water.fx", {{"tMirrorTexture", ParamType::Texture2D, 0, linearClamp}}},
      {"sprites.fx",
       {{"tTexture", ParamType::Texture2D, 0, linearClamp},
        {"tTexture2", ParamType::Texture2D, 0, linearClamp},
        {"tTexture3", ParamType::Texture2D, 0, linearClamp},
        {"tVolume", ParamType::Texture3D, 0, Sampler(Filter::Linear, MipFilter::None, Address::Wrap)},
        {"tRandomPlanes", ParamType::Texture2D, 0, Sampler(Filter::Point, MipFilter::None, Address::Wrap)},
        {"vTexelSize", ParamType::Float4, 0, unused},
        {"vPixelSize", ParamType::Float4, 0, unused},
        {"vZoomerCompositeBias", ParamType::Float4, 0, unused},
        {"blurSize", ParamType::Float4, 0, unused},
        {"blurThreshold", ParamType::Float, 0, unused},
        {"AOcontrib", ParamType::Float4, 0, unused},
        {"vRandomSphere", ParamType::Float4, 30, unused}}},
  };
  for (const auto& [file, params] : files) {
    SCOPED_TRACE(file);
    const EffectSource effect = ParseContent(file);
    for (const ExpectedParam& expected : params) {
      const ParamDecl* param = FindParam(effect, expected.name);
      ASSERT_NE(param, nullptr) << expected.name;
      EXPECT_FALSE(param->shared) << expected.name;
      EXPECT_EQ(param->type, expected.type) << expected.name;
      EXPECT_EQ(param->arraySize, expected.arraySize) << expected.name;
      EXPECT_EQ(param->sampler, expected.sampler) << expected.name;
    }
  }
}

TEST(EffectSourceContent, SpriteBlendAlphaBlendsWithoutDepthOrCulling) {
  const EffectSource effect = ParseContent("sprites.fx");
  ASSERT_EQ(effect.techniques.size(), 1u);
  const TechniqueDecl& technique = effect.techniques[0];
  EXPECT_EQ(technique.name, "SpriteBlend");
  ASSERT_EQ(technique.passes.size(), 1u);
  const PassDecl& pass = technique.passes[0];
  EXPECT_EQ(effect.shaders[pass.vertexShader].stage, Stage::Vertex);
  EXPECT_EQ(effect.shaders[pass.fragmentShader].stage, Stage::Fragment);
  RenderStates expected;
  expected.blendEnable = true;
  expected.srcBlend = BlendFactor::SrcAlpha;
  expected.destBlend = BlendFactor::InvSrcAlpha;
  expected.depthEnable = false;
  expected.depthWrite = false;
  expected.cull = CullMode::None;
  EXPECT_EQ(pass.states, expected);
}

TEST(EffectSourceContent, GeneratedShadersCompileAndEachPassLinks) {
  if (!HaveGlslang()) GTEST_SKIP() << "glslangValidator not found (Debian package glslang-tools)";
  const ScratchDir dir;
  for (const char* file : kContentFiles) {
    const EffectSource effect = ParseContent(file);
    const std::string stem = fs::path(file).stem().string();
    for (uint32_t i = 0; i < effect.shaders.size(); ++i) {
      const std::string path = WriteShader(dir, effect, i, stem + "_" + effect.shaders[i].name);
      const ToolRun run = RunGlslang({path});
      EXPECT_EQ(run.status, 0) << file << " " << effect.shaders[i].name << ":\n" << run.output;
    }
    for (const TechniqueDecl& technique : effect.techniques) {
      for (const PassDecl& pass : technique.passes) {
        const std::string base = stem + "_" + technique.name + "_" + pass.name;
        const ToolRun run = RunGlslang({WriteShader(dir, effect, pass.vertexShader, base),
                                        WriteShader(dir, effect, pass.fragmentShader, base)});
        EXPECT_EQ(run.status, 0) << file << " " << base << ":\n" << run.output;
      }
    }
  }
}

// ---- parsing -----------------------------------------------------------------

struct Parsed {
  bool ok = false;
  EffectSource effect;
  std::string error;  // with the scratch folder removed
};

Parsed ParseIn(const ScratchDir& dir, const std::string& top) {
  Parsed parsed;
  parsed.ok = ParseEffectFile(dir.Path(top), parsed.effect, parsed.error);
  parsed.error = dir.Relative(parsed.error);
  return parsed;
}

Parsed ParseText(const std::string& text) {
  const ScratchDir dir;
  dir.Write("top.fx", text);
  return ParseIn(dir, "top.fx");
}

TEST(EffectSourceParse, EmptyAndCommentOnlyFilesAreEmptyEffects) {
  for (const char* text : {"", "// nothing yet\n/* { not a block } */\n"}) {
    const Parsed parsed = ParseText(text);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.effect.files.size(), 1u);
    EXPECT_TRUE(parsed.effect.params.empty() && parsed.effect.shaders.empty() && parsed.effect.techniques.empty());
  }
}

TEST(EffectSourceParse, IncludesResolveAgainstTheIncludingFileAndAreReadOnce) {
  const ScratchDir dir;
  dir.Write("top.fx",
            "#include \"lib/a.fx\"\n"
            "#include \"common.fx\"\n"
            "shared float4 vShared;\n"  // merged with common.fx's declaration
            "float4 vTop;\n");
  dir.Write("lib/a.fx",
            "#include \"b.fx\"\n"  // lib/b.fx, not the top folder's b.fx
            "#include \"../common.fx\"\n"
            "float4 vA;\n");
  dir.Write("lib/b.fx", "float4 vB;\n");
  dir.Write("b.fx", "this file must not be read\n");
  dir.Write("common.fx", "\n\nshared float4 vShared;\n");

  const Parsed parsed = ParseIn(dir, "top.fx");
  ASSERT_TRUE(parsed.ok) << parsed.error;
  std::vector<std::string> files;
  for (const std::string& file : parsed.effect.files) files.push_back(dir.Relative(file));
  EXPECT_EQ(files, (std::vector<std::string>{"top.fx", "lib/a.fx", "lib/b.fx", "common.fx"}));
  std::vector<std::string> names;
  for (const ParamDecl& param : parsed.effect.params) names.push_back(param.name);
  EXPECT_EQ(names, (std::vector<std::string>{"vB", "vShared", "vA", "vTop"}));
  const ParamDecl* shared = FindParam(parsed.effect, "vShared");
  EXPECT_EQ(files[shared->fileIndex], "common.fx");
  EXPECT_EQ(shared->line, 3u);
}

TEST(EffectSourceParse, CodeBlocksKeepTheirTextAndSkipBracesInComments) {
  const std::string code =
      "\n"
      "  /* } a closing brace\n"
      "     in a block comment { */\n"
      "  float Twice(float x) { return x * 2.0; }  // } in a line comment\n";
  const Parsed parsed = ParseText("// a { before the block\nglsl common Helpers {" + code + "}\nfloat4 vAfter;\n");
  ASSERT_TRUE(parsed.ok) << parsed.error;
  ASSERT_EQ(parsed.effect.common.size(), 1u);
  EXPECT_EQ(parsed.effect.common[0].code, code);
  EXPECT_EQ(parsed.effect.common[0].line, 2u);
  ASSERT_EQ(parsed.effect.params.size(), 1u);
  EXPECT_EQ(parsed.effect.params[0].line, 7u) << "lines inside the block are counted";
}

TEST(EffectSourceParse, SamplerStatesStartFromDefaultsAndLaterOnesWin) {
  SamplerStates mixedFilters = Sampler(Filter::Linear, MipFilter::Point, Address::Wrap);
  mixedFilters.minFilter = Filter::Point;
  SamplerStates clampedSides = Sampler(Filter::Point, MipFilter::None, Address::Clamp);
  clampedSides.w = Address::Mirror;
  SamplerStates perAxis = Sampler(Filter::Point, MipFilter::None, Address::Wrap);
  perAxis.u = Address::Mirror;
  perAxis.v = Address::Clamp;
  const std::pair<const char*, SamplerStates> cases[] = {
      {"texture2D t;", Sampler(Filter::Point, MipFilter::None, Address::Wrap)},
      {"texture2D t { filter = linear; };", Sampler(Filter::Linear, MipFilter::None, Address::Wrap)},
      {"texture2D t { filter = linear; minfilter = point; mipfilter = point; };", mixedFilters},
      {"texture3D t { address = clamp; addressw = mirror; };", clampedSides},
      {"textureCube t { addressu = mirror; addressv = clamp; };", perAxis},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    const Parsed parsed = ParseText(text);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.effect.params.at(0).sampler, expected);
  }
}

TEST(EffectSourceParse, RenderStatesSetOnlyWhatThePassNames) {
  const auto states = [](auto set) {
    RenderStates s;
    set(s);
    return s;
  };
  const std::pair<const char*, RenderStates> cases[] = {
      {"", RenderStates{}},
      {"blend = true; blendop = revsubtract; srcblend = one; destblend = invdestcolor;", states([](RenderStates& s) {
         s.blendEnable = true;
         s.blendOp = BlendOp::RevSubtract;
         s.srcBlend = BlendFactor::One;
         s.destBlend = BlendFactor::InvDestColor;
       })},
      {"zenable = on; zwrite = false; zfunc = greaterequal;", states([](RenderStates& s) {
         s.depthEnable = true;
         s.depthWrite = false;
         s.depthFunc = CompareFunc::GreaterEqual;
       })},
      {"cull = ccw;", states([](RenderStates& s) { s.cull = CullMode::CounterClockwise; })},
      {"cull = cw; colorwrite = none;", states([](RenderStates& s) {
         s.cull = CullMode::Clockwise;
         s.colorWriteMask = 0;
       })},
      {"colorwrite = ar;", states([](RenderStates& s) { s.colorWriteMask = kColorWriteAlpha | kColorWriteRed; })},
      {"colorwrite = bgra;", states([](RenderStates& s) { s.colorWriteMask = 15; })},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    const Parsed parsed = ParseText(
        "glsl vertex V { void main() { gl_Position = vec4(0.0); } }\n"
        "glsl fragment F { void main() { fragColor = vec4(0.0); } }\n"
        "technique T { pass P { vertex = V; fragment = F; " + std::string(text) + " } }\n");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.effect.techniques.at(0).passes.at(0).states, expected);
  }
}

// ---- malformed input ------------------------------------------------------

struct ErrorCase {
  const char* label;
  std::vector<std::pair<std::string, std::string>> files;  // path, text; the effect is top.fx
  const char* expected;
};

const std::string kShaders =
    "glsl vertex V { void main() { gl_Position = vec4(aPosition, 1.0); } }\n"
    "glsl fragment F { void main() { fragColor = vec4(1.0); } }\n";

std::string PassWith(const std::string& states) {
  return kShaders + "technique T { pass P { " + states + " } }\n";  // line 3
}

const ErrorCase kErrorCases[] = {
    {"UnknownRenderState",
     {{"top.fx", kShaders + "technique T {\n  pass P {\n    vertex = V; fragment = F;\n    srcblnd = one;\n  }\n}\n"}},
     "top.fx:6: unknown render state 'srcblnd'"},
    {"BadRenderStateValue", {{"top.fx", PassWith("vertex = V; fragment = F; cull = sideways;")}},
     "top.fx:3: bad value 'sideways' for render state 'cull' (expected none, cw or ccw)"},
    {"RenderStateWithoutValue", {{"top.fx", PassWith("vertex = V; fragment = F; blend = ;")}},
     "top.fx:3: expected a value for 'blend', found ';'"},
    {"RenderStateTwice", {{"top.fx", PassWith("vertex = V; fragment = F; zwrite = off; zwrite = on;")}},
     "top.fx:3: render state 'zwrite' set twice"},
    {"BadColorWriteMask", {{"top.fx", PassWith("vertex = V; fragment = F; colorwrite = rgbr;")}},
     "top.fx:3: bad value 'rgbr' for render state 'colorwrite' (expected none or some of r, g, b, a)"},
    {"UnknownShader", {{"top.fx", PassWith("vertex = V; fragment = Missing;")}},
     "top.fx:3: unknown shader 'Missing'"},
    {"FragmentShaderAsVertex", {{"top.fx", PassWith("vertex = F; fragment = F;")}},
     "top.fx:3: 'F' is a fragment shader, used as vertex shader"},
    {"CommonBlockAsShader",
     {{"top.fx", "glsl common H { float Half(float x) { return x * 0.5; } }\n" + PassWith("vertex = V; fragment = H;")}},
     "top.fx:4: 'H' is a common block, not a fragment shader"},
    {"PassWithoutFragmentShader", {{"top.fx", kShaders + "technique T {\n  pass P { vertex = V; }\n}\n"}},
     "top.fx:4: pass 'P' names no fragment shader"},
    {"TechniqueWithoutPasses", {{"top.fx", "technique T { }\n"}}, "top.fx:1: technique 'T' has no passes"},
    {"MissingSemicolon", {{"top.fx", "float4 vA\nfloat4 vB;\n"}},
     "top.fx:1: expected ';' after parameter 'vA', found 'float4'"},
    {"UnterminatedCodeBlock", {{"top.fx", "float4 vA;\nglsl fragment F {\n  void main() { fragColor = vec4(1.0); }\n"}},
     "top.fx:2: code block 'F' has no closing '}'"},
    {"BraceInCommentDoesNotCloseBlock", {{"top.fx", "glsl fragment F {\n  void main() { }\n  // }\n"}},
     "top.fx:1: code block 'F' has no closing '}'"},
    {"UnterminatedComment", {{"top.fx", "float4 vA;\n/* note\n\n"}}, "top.fx:2: unterminated /* comment"},
    {"ShaderWithoutMain", {{"top.fx", "glsl vertex V {\n  /* main() */ void mainly() {}\n}\n"}},
     "top.fx:1: vertex shader 'V' has no main()"},
    {"UnknownStage", {{"top.fx", "glsl pixel P { void main() {} }\n"}},
     "top.fx:1: unknown shader stage 'pixel' (expected vertex, fragment or common)"},
    {"CodeBlockNameTwice", {{"top.fx", "glsl common H { }\nglsl fragment H { void main() {} }\n"}},
     "top.fx:2: code block 'H' already declared at top.fx:1"},
    {"MissingTopFile", {}, "top.fx: cannot open file"},
    {"MissingInclude", {{"top.fx", "float4 vA;\n#include \"lib/missing.fx\"\n"}},
     "top.fx:2: cannot open include file 'lib/missing.fx'"},
    {"IncludeCycle", {{"top.fx", "#include \"lib/a.fx\"\n"}, {"lib/a.fx", "float4 vA;\n#include \"../top.fx\"\n"}},
     "lib/a.fx:2: include cycle: top.fx -> lib/a.fx -> top.fx"},
    {"ErrorInsideInclude", {{"top.fx", "float4 vA;\n#include \"lib/a.fx\"\n"}, {"lib/a.fx", "\nfloat4 vB[];\n"}},
     "lib/a.fx:2: array 'vB' needs a size"},
    {"UnterminatedIncludeName", {{"top.fx", "#include \"shared.fx\n"}}, "top.fx:1: unterminated string"},
    {"UnknownDirective", {{"top.fx", "#define X 1\n"}},
     "top.fx:1: unknown directive '#define' (only #include is understood)"},
    {"TypeConflictThroughInclude", {{"top.fx", "#include \"lib/a.fx\"\nfloat vA;\n"}, {"lib/a.fx", "float4 vA;\n"}},
     "top.fx:2: parameter 'vA' redeclared as float, first declared float4 at lib/a.fx:1"},
    {"ArraySizeConflict", {{"top.fx", "float4 vA[4];\nfloat4 vA[8];\n"}},
     "top.fx:2: parameter 'vA' redeclared as float4[8], first declared float4[4] at top.fx:1"},
    {"SharedConflict", {{"top.fx", "shared float4 vA;\nfloat4 vA;\n"}},
     "top.fx:2: parameter 'vA' is declared shared at top.fx:1 but not here"},
    {"SamplerConflict", {{"top.fx", "texture2D tA { filter = linear; };\ntexture2D tA { filter = point; };\n"}},
     "top.fx:2: texture 'tA' redeclared with other sampler states than at top.fx:1"},
    {"ArrayOfMatrices", {{"top.fx", "float4x4 mA[2];\n"}}, "top.fx:1: only float4 parameters can be arrays"},
    {"ArrayOfNothing", {{"top.fx", "float4 vA[0];\n"}}, "top.fx:1: array size of 'vA' must be 1..65536"},
    {"UnknownType", {{"top.fx", "float4 vA;\nfloat3 vB;\n"}}, "top.fx:2: unknown type or keyword 'float3'"},
    {"SharedTechnique", {{"top.fx", "shared technique T { }\n"}},
     "top.fx:1: 'shared' must be followed by a parameter type, found 'technique'"},
    {"ReservedParameterName", {{"top.fx", "float4 gl_Colour;\n"}}, "top.fx:1: 'gl_Colour' is a reserved name"},
    {"ReservedVaryingName", {{"top.fx", "varying float2 aTexCoord;\n"}}, "top.fx:1: 'aTexCoord' is a reserved name"},
    {"BadVaryingType", {{"top.fx", "varying vec2 vUV;\n"}},
     "top.fx:1: bad varying type 'vec2' (expected float, float2, float3 or float4)"},
    {"VaryingNamedLikeParameter", {{"top.fx", "float4 vA;\nvarying float4 vA;\n"}},
     "top.fx:2: 'vA' is already a parameter, declared at top.fx:1"},
    {"UnknownSamplerState", {{"top.fx", "texture2D tA { filtr = linear; };\n"}},
     "top.fx:1: unknown sampler state 'filtr'"},
    {"BadSamplerValue", {{"top.fx", "texture2D tA { mipfilter = anisotropic; };\n"}},
     "top.fx:1: bad value 'anisotropic' for sampler state 'mipfilter' (expected none, point or linear)"},
    {"SamplerStatesOnAVector", {{"top.fx", "float4 vA { filter = linear; };\n"}},
     "top.fx:1: sampler states apply to textures only"},
    {"StrayPunctuation", {{"top.fx", "float4 vA;\n(\n"}}, "top.fx:2: unexpected character '('"},
    {"ControlByte", {{"top.fx", "float4 vA;\x01\n"}}, "top.fx:1: unexpected byte 0x01"},
    {"NulByte", {{"top.fx", std::string("float4\0 vA;\n", 12)}}, "top.fx:1: unexpected byte 0x00"},
    {"NonAsciiByte", {{"top.fx", "float4 vA; // caf\xc3\xa9 is fine in a comment\n\xc3\xa9\n"}},
     "top.fx:2: unexpected byte 0xc3"},
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ErrorCase& errorCase, std::ostream* out) { *out << errorCase.label; }

class EffectSourceErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(EffectSourceErrors, FailWithFileLineAndReason) {
  const ScratchDir dir;
  for (const auto& [path, text] : GetParam().files) dir.Write(path, text);
  const Parsed parsed = ParseIn(dir, "top.fx");
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(parsed.error, GetParam().expected);
  EXPECT_TRUE(parsed.effect.files.empty() && parsed.effect.params.empty()) << "a failed parse leaves nothing behind";
}

INSTANTIATE_TEST_SUITE_P(Malformed, EffectSourceErrors, testing::ValuesIn(kErrorCases),
                         [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.label); });

// ---- generated GLSL ---------------------------------------------------------

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

bool HasLine(const std::string& source, const std::string& line) {
  const std::vector<std::string> lines = Lines(source);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// What a GLSL compiler calls the line containing marker: its source string
// number and line, following "#line N S" (the next line is line N of S).
std::pair<uint32_t, uint32_t> CompilerLocationOf(const std::string& source, const std::string& marker) {
  uint32_t sourceNumber = 0;
  uint32_t line = 1;
  for (const std::string& text : Lines(source)) {
    unsigned lineArgument = 0;
    unsigned sourceArgument = 0;
    if (std::sscanf(text.c_str(), "#line %u %u", &lineArgument, &sourceArgument) == 2) {
      line = lineArgument;
      sourceNumber = sourceArgument;
      continue;
    }
    if (text.find(marker) != std::string::npos) return {sourceNumber, line};
    ++line;
  }
  ADD_FAILURE() << "no line contains " << marker;
  return {0, 0};
}

// A small effect spread over two files, with a marker on known lines.
class EffectSourceGlsl : public testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("lib/helpers.fx",
               "texture3D tVolume;\n"
               "glsl common Helpers {\n"
               "  vec4 Scaled(vec4 colour) {\n"
               "    return colour * 0.5;  // HELPER_LINE_4\n"
               "  }\n"
               "}\n");
    dir_.Write("top.fx",
               "#include \"lib/helpers.fx\"\n"
               "float4x4 mWorldViewProj;\n"
               "float4 vRandomSphere[30];\n"
               "float fAmount;\n"
               "varying float2 vTexCoord;\n"
               "glsl vertex Vs {\n"
               "  void main() {\n"
               "    gl_Position = vec4(aPosition, 1.0) * mWorldViewProj;  // VERTEX_LINE_8\n"
               "    vTexCoord = aTexCoord;\n"
               "  }\n"
               "}\n"
               "glsl fragment Fs { void main() {\n"
               "  fragColor = Scaled(texture(tVolume, vec3(vTexCoord, fAmount)) + vRandomSphere[3]);  // FRAGMENT_LINE_13\n"
               "} }\n"
               "technique T { pass P { vertex = Vs; fragment = Fs; } }\n");
    const Parsed parsed = ParseIn(dir_, "top.fx");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    effect_ = parsed.effect;
    for (std::string& file : effect_.files) file = dir_.Relative(file);
    vertex_ = BuildShaderSource(effect_, 0);
    fragment_ = BuildShaderSource(effect_, 1);
  }

  ScratchDir dir_;
  EffectSource effect_;
  std::string vertex_;
  std::string fragment_;
};

TEST_F(EffectSourceGlsl, DeclaresUniformsInputsAndOutputsByTheirNames) {
  for (const std::string* source : {&vertex_, &fragment_}) {
    EXPECT_TRUE(source->starts_with("#version 450 core\n"));
    for (const char* uniform : {"uniform sampler3D tVolume;", "uniform mat4 mWorldViewProj;",
                                "uniform vec4 vRandomSphere[30];", "uniform float fAmount;"}) {
      EXPECT_TRUE(HasLine(*source, uniform)) << uniform;
    }
  }
  for (const char* line : {"layout(location = 0) in vec3 aPosition;", "layout(location = 1) in vec3 aNormal;",
                           "layout(location = 2) in vec2 aTexCoord;", "uniform vec2 vantrel_PixelOffset;",
                           "out vec2 vTexCoord;"}) {
    EXPECT_TRUE(HasLine(vertex_, line)) << line;
  }
  for (const char* line : {"layout(location = 0) out vec4 fragColor;", "in vec2 vTexCoord;"}) {
    EXPECT_TRUE(HasLine(fragment_, line)) << line;
  }
  EXPECT_FALSE(HasLine(fragment_, "layout(location = 0) in vec3 aPosition;"));
}

TEST_F(EffectSourceGlsl, VertexMainIsFollowedByThePixelOffset) {
  const std::vector<std::string> lines = Lines(vertex_);
  const auto userMain = std::find(lines.begin(), lines.end(), "  vantrel_user_main();");
  ASSERT_NE(userMain, lines.end()) << vertex_;
  ASSERT_LT(userMain + 1, lines.end());
  EXPECT_EQ(*(userMain + 1), "  gl_Position.xy += vantrel_PixelOffset * gl_Position.w;");
  EXPECT_TRUE(HasLine(vertex_, "#define main vantrel_user_main"));
}

TEST_F(EffectSourceGlsl, LineDirectivesLeadDriverLogsBackToTheFxLine) {
  struct Marker {
    const std::string* source;
    const char* marker;
    const char* location;
  };
  const Marker markers[] = {
      {&vertex_, "VERTEX_LINE_8", "top.fx:8"},
      {&fragment_, "FRAGMENT_LINE_13", "top.fx:13"},
      {&fragment_, "HELPER_LINE_4", "lib/helpers.fx:4"},
      {&vertex_, "HELPER_LINE_4", "lib/helpers.fx:4"},
      {&vertex_, "uniform float fAmount;", "top.fx:4"},
      {&fragment_, "in vec2 vTexCoord;", "top.fx:5"},
  };
  for (const Marker& m : markers) {
    SCOPED_TRACE(m.marker);
    const auto [sourceNumber, line] = CompilerLocationOf(*m.source, m.marker);
    const std::string number = std::to_string(sourceNumber);
    const std::string at = std::to_string(line);
    EXPECT_EQ(TranslateCompileLog(number + ":" + at + "(5): error: `x' undeclared", effect_.files),
              std::string(m.location) + ": error: `x' undeclared");
    EXPECT_EQ(TranslateCompileLog(number + "(" + at + ") : error C1008: undefined variable", effect_.files),
              std::string(m.location) + ": error C1008: undefined variable");
  }
  // The generator's own lines are numbered as they stand in its output.
  const auto [sourceNumber, line] = CompilerLocationOf(vertex_, "vantrel_user_main();");
  EXPECT_EQ(sourceNumber, effect_.files.size());
  EXPECT_EQ(Lines(vertex_).at(line - 1), "  vantrel_user_main();");
}

TEST_F(EffectSourceGlsl, CompilerErrorsNameTheFxFileAndLine) {
  if (!HaveGlslang()) GTEST_SKIP() << "glslangValidator not found (Debian package glslang-tools)";
  const ToolRun cleanRun = RunGlslang({WriteShader(dir_, effect_, 0, "clean"), WriteShader(dir_, effect_, 1, "clean")});
  ASSERT_EQ(cleanRun.status, 0) << cleanRun.output;

  struct Fault {
    uint32_t blockToBreak;  // 0: the vertex shader, 1: the common block
    const char* expected;
  };
  for (const Fault& fault : {Fault{0, "top.fx:8: error: 'undeclaredThing' : undeclared identifier"},
                             Fault{1, "lib/helpers.fx:4: error: 'undeclaredThing' : undeclared identifier"}}) {
    EffectSource broken = effect_;
    std::string& code = fault.blockToBreak == 0 ? broken.shaders[0].code : broken.common[0].code;
    const size_t semicolon = code.find(';');
    code.insert(semicolon, " + undeclaredThing");
    const ToolRun run = RunGlslang({WriteShader(dir_, broken, 0, "broken")});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(TranslateCompileLog(run.output, broken.files).find(fault.expected), std::string::npos)
        << "log:\n" << run.output;
  }
}

// ---- compile logs -----------------------------------------------------------

TEST(EffectSourceCompileLog, RewritesEachDriversLocations) {
  const std::vector<std::string> files = {"fx/water.fx", "fx/shared.fx"};
  const std::pair<const char*, const char*> cases[] = {
      {"0:12(5): error: `foo' undeclared", "fx/water.fx:12: error: `foo' undeclared"},
      {"1(7) : error C1008: undefined variable \"foo\"", "fx/shared.fx:7: error C1008: undefined variable \"foo\""},
      {"ERROR: 1:3: 'foo' : undeclared identifier ", "fx/shared.fx:3: error: 'foo' : undeclared identifier "},
      {"WARNING: 0:9: 'x' : unused", "fx/water.fx:9: warning: 'x' : unused"},
      {"2:40(1): error: x", "<generated>:40: error: x"},
      {"99999999999:1(1): error: x", "<generated>:1: error: x"},
      {"ERROR: 2 compilation errors.  No code generated.", "ERROR: 2 compilation errors.  No code generated."},
      {"0:1(1): error: a\n0:2(1): warning: b\n", "fx/water.fx:1: error: a\nfx/water.fx:2: warning: b\n"},
      {"0:1(1): error: a\r\nlink failed", "fx/water.fx:1: error: a\r\nlink failed"},
      {"", ""},
  };
  for (const auto& [log, expected] : cases) {
    EXPECT_EQ(TranslateCompileLog(log, files), expected) << log;
  }
}

}  // namespace
