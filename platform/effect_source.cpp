#include "platform/effect_source.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string_view>

namespace {

namespace fs = std::filesystem;

// Thrown anywhere inside the parser; ParseEffectFile turns it into the
// "file:line: message" string.
struct ParseError {
  uint32_t fileIndex;
  uint32_t line;
  std::string message;
};

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

std::string Location(const EffectSource& effect, uint32_t fileIndex, uint32_t line) {
  return effect.files[fileIndex] + ":" + std::to_string(line);
}

// ---- value tables ---------------------------------------------------------

template <typename Value>
struct NamedValue {
  const char* name;
  Value value;
};

constexpr NamedValue<bool> kSwitches[] = {{"on", true}, {"off", false}, {"true", true}, {"false", false}};
constexpr NamedValue<Filter> kFilters[] = {{"point", Filter::Point}, {"linear", Filter::Linear}};
constexpr NamedValue<MipFilter> kMipFilters[] = {
    {"none", MipFilter::None}, {"point", MipFilter::Point}, {"linear", MipFilter::Linear}};
constexpr NamedValue<Address> kAddresses[] = {
    {"wrap", Address::Wrap}, {"clamp", Address::Clamp}, {"mirror", Address::Mirror}};
constexpr NamedValue<BlendFactor> kBlendFactors[] = {
    {"zero", BlendFactor::Zero},           {"one", BlendFactor::One},
    {"srccolor", BlendFactor::SrcColor},   {"invsrccolor", BlendFactor::InvSrcColor},
    {"srcalpha", BlendFactor::SrcAlpha},   {"invsrcalpha", BlendFactor::InvSrcAlpha},
    {"destalpha", BlendFactor::DestAlpha}, {"invdestalpha", BlendFactor::InvDestAlpha},
    {"destcolor", BlendFactor::DestColor}, {"invdestcolor", BlendFactor::InvDestColor},
    {"srcalphasat", BlendFactor::SrcAlphaSat}};
constexpr NamedValue<BlendOp> kBlendOps[] = {{"add", BlendOp::Add},
                                             {"subtract", BlendOp::Subtract},
                                             {"revsubtract", BlendOp::RevSubtract},
                                             {"min", BlendOp::Min},
                                             {"max", BlendOp::Max}};
constexpr NamedValue<CompareFunc> kCompareFuncs[] = {
    {"never", CompareFunc::Never},       {"less", CompareFunc::Less},
    {"equal", CompareFunc::Equal},       {"lessequal", CompareFunc::LessEqual},
    {"greater", CompareFunc::Greater},   {"notequal", CompareFunc::NotEqual},
    {"greaterequal", CompareFunc::GreaterEqual}, {"always", CompareFunc::Always}};
constexpr NamedValue<CullMode> kCullModes[] = {
    {"none", CullMode::None}, {"cw", CullMode::Clockwise}, {"ccw", CullMode::CounterClockwise}};
constexpr NamedValue<ParamType> kParamTypes[] = {
    {"float", ParamType::Float},         {"float4", ParamType::Float4},
    {"float4x4", ParamType::Float4x4},   {"texture2D", ParamType::Texture2D},
    {"texture3D", ParamType::Texture3D}, {"textureCube", ParamType::TextureCube}};
constexpr NamedValue<uint32_t> kVaryingTypes[] = {
    {"float", 1}, {"float2", 2}, {"float3", 3}, {"float4", 4}};

template <typename Value, size_t N>
const NamedValue<Value>* FindNamed(const NamedValue<Value> (&table)[N], std::string_view name) {
  for (const NamedValue<Value>& entry : table) {
    if (name == entry.name) return &entry;
  }
  return nullptr;
}

// "a, b or c", for messages that list what would have been accepted.
template <typename Value, size_t N>
std::string ListNames(const NamedValue<Value> (&table)[N]) {
  std::string list;
  for (size_t i = 0; i < N; ++i) {
    if (i > 0) list += (i + 1 == N) ? " or " : ", ";
    list += table[i].name;
  }
  return list;
}

std::string TypeName(ParamType type, uint32_t arraySize) {
  std::string name;
  for (const auto& entry : kParamTypes) {
    if (entry.value == type) name = entry.name;
  }
  return arraySize ? name + "[" + std::to_string(arraySize) + "]" : name;
}

bool IsTexture(ParamType type) {
  return type == ParamType::Texture2D || type == ParamType::Texture3D || type == ParamType::TextureCube;
}

// Names the generated GLSL or GLSL itself already uses.
bool IsReservedName(std::string_view name) {
  static constexpr std::string_view kGenerated[] = {"aPosition", "aNormal", "aTexCoord", "fragColor", "main"};
  return name.starts_with("gl_") || name.starts_with("vantrel_") || name.find("__") != std::string_view::npos ||
         std::find(std::begin(kGenerated), std::end(kGenerated), name) != std::end(kGenerated);
}

bool ReadWholeFile(const fs::path& path, std::string& text) {
  std::error_code ignored;
  if (!fs::is_regular_file(path, ignored)) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

// Identity of a file for "include once": the same file reached by two
// spellings of its path is still one file.
fs::path FileIdentity(const fs::path& path) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(path, error);
  return error ? fs::absolute(path, error).lexically_normal() : canonical;
}

// ---- the effect being built, shared by every file of it --------------------

struct EffectBuilder {
  EffectSource& effect;
  std::vector<fs::path> identities;      // per file index
  std::vector<uint32_t> openFiles;       // include chain, outermost first
  std::vector<bool> paramStatesWritten;  // per param: its sampler states were spelled out

  uint32_t AddFile(const std::string& displayPath, fs::path identity) {
    effect.files.push_back(displayPath);
    identities.push_back(std::move(identity));
    return static_cast<uint32_t>(effect.files.size() - 1);
  }
};

void ParseFile(EffectBuilder& builder, uint32_t fileIndex, const std::string& text);

// ---- one file ---------------------------------------------------------------

enum class TokenKind { End, Identifier, Number, String, Symbol };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;  // identifier, digits, string contents, or the symbol
  uint32_t line = 1;
};

class FileParser {
 public:
  FileParser(EffectBuilder& builder, uint32_t fileIndex, const std::string& text)
      : builder_(builder), effect_(builder.effect), fileIndex_(fileIndex), text_(text) {}

  void Run() {
    Advance();
    while (current_.kind != TokenKind::End) {
      if (IsSymbol('#')) {
        ParseDirective();
      } else if (current_.kind != TokenKind::Identifier) {
        Fail(current_.line, "unexpected " + Describe(current_));
      } else if (current_.text == "shared") {
        Advance();
        if (current_.kind != TokenKind::Identifier || !FindNamed(kParamTypes, current_.text)) {
          Fail(current_.line, "'shared' must be followed by a parameter type, found " + Describe(current_));
        }
        ParseParameter(true);
      } else if (FindNamed(kParamTypes, current_.text)) {
        ParseParameter(false);
      } else if (current_.text == "varying") {
        ParseVarying();
      } else if (current_.text == "glsl") {
        ParseCodeBlock();
      } else if (current_.text == "technique") {
        ParseTechnique();
      } else {
        Fail(current_.line, "unknown type or keyword " + Quoted(current_.text));
      }
    }
  }

 private:
  [[noreturn]] void Fail(uint32_t line, std::string message) const {
    throw ParseError{fileIndex_, line, std::move(message)};
  }

  // ---- lexing ----

  static std::string Describe(const Token& token) {
    switch (token.kind) {
      case TokenKind::End: return "end of file";
      case TokenKind::String: return "\"" + token.text + "\"";
      default: return Quoted(token.text);
    }
  }

  bool AtEnd() const { return pos_ >= text_.size(); }
  bool LookingAt(std::string_view what) const { return std::string_view(text_).substr(pos_).starts_with(what); }

  // Moves past a comment starting at pos_, counting its lines.
  void SkipComment() {
    if (LookingAt("//")) {
      while (!AtEnd() && text_[pos_] != '\n') ++pos_;
      return;
    }
    const uint32_t startLine = line_;
    pos_ += 2;
    while (!LookingAt("*/")) {
      if (AtEnd()) Fail(startLine, "unterminated /* comment");
      if (text_[pos_++] == '\n') ++line_;
    }
    pos_ += 2;
  }

  void Advance() {
    previousLine_ = current_.line;
    for (;;) {
      if (AtEnd()) {
        current_ = Token{TokenKind::End, "", line_};
        return;
      }
      const char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (LookingAt("//") || LookingAt("/*")) {
        SkipComment();
      } else {
        break;
      }
    }
    const size_t start = pos_;
    const unsigned char c = static_cast<unsigned char>(text_[pos_]);
    if (std::isalpha(c) || c == '_') {
      while (!AtEnd() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) ++pos_;
      current_ = Token{TokenKind::Identifier, text_.substr(start, pos_ - start), line_};
    } else if (std::isdigit(c)) {
      while (!AtEnd() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      current_ = Token{TokenKind::Number, text_.substr(start, pos_ - start), line_};
    } else if (c == '"') {
      const size_t end = text_.find_first_of("\"\n", start + 1);
      if (end == std::string::npos || text_[end] != '"') Fail(line_, "unterminated string");
      pos_ = end + 1;
      current_ = Token{TokenKind::String, text_.substr(start + 1, end - start - 1), line_};
    } else if (std::string_view("{}[];=#").find(static_cast<char>(c)) != std::string_view::npos) {
      ++pos_;
      current_ = Token{TokenKind::Symbol, std::string(1, static_cast<char>(c)), line_};
    } else if (std::isprint(c)) {
      Fail(line_, "unexpected character " + Quoted(std::string(1, static_cast<char>(c))));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02x", c);
      Fail(line_, std::string("unexpected byte ") + hex);
    }
  }

  struct CodeText {
    std::string code;
    bool mentionsMain = false;  // the identifier main appears outside comments
  };

  // Called with current_ on a code block's '{' (pos_ just past it); returns
  // the text up to the matching '}' and leaves pos_ past that. Braces inside
  // GLSL comments do not count.
  CodeText ReadCodeBlock(const std::string& blockName) {
    const uint32_t openLine = line_;
    const size_t start = pos_;
    CodeText result;
    int depth = 1;
    while (!AtEnd()) {
      if (LookingAt("//") || LookingAt("/*")) {
        SkipComment();
        continue;
      }
      const auto c = static_cast<unsigned char>(text_[pos_]);
      if (std::isalpha(c) || c == '_') {
        const size_t identifierStart = pos_;
        while (!AtEnd() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) ++pos_;
        result.mentionsMain |= std::string_view(text_).substr(identifierStart, pos_ - identifierStart) == "main";
        continue;
      }
      ++pos_;
      if (c == '\n') {
        ++line_;
      } else if (c == '{') {
        ++depth;
      } else if (c == '}' && --depth == 0) {
        result.code = text_.substr(start, pos_ - 1 - start);
        return result;
      }
    }
    Fail(openLine, "code block " + Quoted(blockName) + " has no closing '}'");
  }

  bool IsSymbol(char symbol) const {
    return current_.kind == TokenKind::Symbol && current_.text[0] == symbol;
  }

  // A missing token is reported on the line of the token before it, where
  // it belonged, rather than wherever the next token happens to be.
  [[noreturn]] void FailExpected(const std::string& what) const {
    Fail(previousLine_, "expected " + what + ", found " + Describe(current_));
  }

  void ExpectSymbol(char symbol, const std::string& context) {
    if (!IsSymbol(symbol)) FailExpected(Quoted(std::string(1, symbol)) + " " + context);
    Advance();
  }

  std::string ExpectIdentifier(const std::string& what) {
    if (current_.kind != TokenKind::Identifier) FailExpected(what);
    std::string name = current_.text;
    Advance();
    return name;
  }

  // ---- state blocks: "{ name = value; ... }" ----

  struct Assignment {
    std::string name;
    uint32_t line;  // of the name
    Token value;
  };

  // Reads the assignments of a block whose '{' is current_, through its '}'.
  // kind names the block in messages ("sampler state", "render state").
  std::vector<Assignment> ParseAssignments(const std::string& kind) {
    ExpectSymbol('{', "to open the " + kind + "s");
    std::vector<Assignment> assignments;
    std::set<std::string> seen;
    while (!IsSymbol('}')) {
      Assignment assignment;
      assignment.line = current_.line;
      assignment.name = ExpectIdentifier(kind + " name or '}'");
      if (!seen.insert(assignment.name).second) {
        Fail(assignment.line, kind + " " + Quoted(assignment.name) + " set twice");
      }
      ExpectSymbol('=', "after " + Quoted(assignment.name));
      if (current_.kind != TokenKind::Identifier && current_.kind != TokenKind::Number) {
        FailExpected("a value for " + Quoted(assignment.name));
      }
      assignment.value = current_;
      Advance();
      ExpectSymbol(';', "after the value of " + Quoted(assignment.name));
      assignments.push_back(std::move(assignment));
    }
    Advance();
    return assignments;
  }

  template <typename Value, size_t N>
  Value LookupValue(const NamedValue<Value> (&table)[N], const Assignment& assignment, const std::string& kind) const {
    if (const auto* entry = FindNamed(table, assignment.value.text)) return entry->value;
    Fail(assignment.value.line, "bad value " + Quoted(assignment.value.text) + " for " + kind + " " +
                                    Quoted(assignment.name) + " (expected " + ListNames(table) + ")");
  }

  // ---- declarations ----

  void ParseDirective() {
    const uint32_t line = current_.line;
    Advance();
    if (current_.kind != TokenKind::Identifier || current_.text != "include") {
      Fail(line, "unknown directive '#" + current_.text + "' (only #include is understood)");
    }
    Advance();
    if (current_.kind != TokenKind::String) FailExpected("a quoted file name after #include");
    const std::string name = current_.text;
    Include(name, line);
    Advance();
  }

  void Include(const std::string& name, uint32_t line) {
    const fs::path joined = (fs::path(effect_.files[fileIndex_]).parent_path() / name).lexically_normal();
    const fs::path identity = FileIdentity(joined);
    const auto& identities = builder_.identities;
    const auto known = std::find(identities.begin(), identities.end(), identity);
    if (known != identities.end()) {
      const auto knownIndex = static_cast<uint32_t>(known - identities.begin());
      const auto& open = builder_.openFiles;
      const auto inChain = std::find(open.begin(), open.end(), knownIndex);
      if (inChain == open.end()) return;  // already read completely: include once
      std::string chain;
      for (auto it = inChain; it != open.end(); ++it) chain += effect_.files[*it] + " -> ";
      Fail(line, "include cycle: " + chain + effect_.files[knownIndex]);
    }
    std::string text;
    if (!ReadWholeFile(joined, text)) Fail(line, "cannot open include file " + Quoted(joined.generic_string()));
    ParseFile(builder_, builder_.AddFile(joined.generic_string(), identity), text);
  }

  void CheckNewName(const std::string& name, uint32_t line) const {
    if (IsReservedName(name)) Fail(line, Quoted(name) + " is a reserved name");
  }

  void ParseParameter(bool shared) {
    ParamDecl param;
    param.shared = shared;
    param.fileIndex = fileIndex_;
    param.line = current_.line;
    const std::string typeName = current_.text;
    param.type = FindNamed(kParamTypes, typeName)->value;
    Advance();
    param.name = ExpectIdentifier("a parameter name after " + Quoted(typeName));
    CheckNewName(param.name, param.line);
    if (IsSymbol('[')) {
      Advance();
      if (current_.kind != TokenKind::Number) Fail(current_.line, "array " + Quoted(param.name) + " needs a size");
      // Longer digit strings than this cannot be a sane uniform array anyway.
      const unsigned long size = current_.text.size() > 6 ? 0 : std::stoul(current_.text);
      if (size == 0 || size > 65536) Fail(current_.line, "array size of " + Quoted(param.name) + " must be 1..65536");
      if (param.type != ParamType::Float4) Fail(param.line, "only float4 parameters can be arrays");
      param.arraySize = static_cast<uint32_t>(size);
      Advance();
      ExpectSymbol(']', "after the array size");
    }
    bool statesWritten = false;
    if (IsSymbol('{')) {
      if (!IsTexture(param.type)) Fail(current_.line, "sampler states apply to textures only");
      ParseSamplerStates(param.sampler);
      statesWritten = true;
    }
    ExpectSymbol(';', "after parameter " + Quoted(param.name));
    DeclareParameter(std::move(param), statesWritten);
  }

  void ParseSamplerStates(SamplerStates& states) {
    const std::string kind = "sampler state";
    // Later assignments win, so "address = clamp; addressw = wrap;" works.
    for (const Assignment& a : ParseAssignments(kind)) {
      if (a.name == "filter") {
        states.minFilter = states.magFilter = LookupValue(kFilters, a, kind);
      } else if (a.name == "minfilter") {
        states.minFilter = LookupValue(kFilters, a, kind);
      } else if (a.name == "magfilter") {
        states.magFilter = LookupValue(kFilters, a, kind);
      } else if (a.name == "mipfilter") {
        states.mipFilter = LookupValue(kMipFilters, a, kind);
      } else if (a.name == "address") {
        states.u = states.v = states.w = LookupValue(kAddresses, a, kind);
      } else if (a.name == "addressu") {
        states.u = LookupValue(kAddresses, a, kind);
      } else if (a.name == "addressv") {
        states.v = LookupValue(kAddresses, a, kind);
      } else if (a.name == "addressw") {
        states.w = LookupValue(kAddresses, a, kind);
      } else {
        Fail(a.line, "unknown sampler state " + Quoted(a.name));
      }
    }
  }

  // The same name may be declared again (several files include the same
  // declarations); it must then mean the same thing.
  void DeclareParameter(ParamDecl param, bool statesWritten) {
    for (const VaryingDecl& varying : effect_.varyings) {
      if (varying.name == param.name) {
        Fail(param.line, Quoted(param.name) + " is already a varying, declared at " +
                             Location(effect_, varying.fileIndex, varying.line));
      }
    }
    auto& params = effect_.params;
    const auto existing =
        std::find_if(params.begin(), params.end(), [&](const ParamDecl& p) { return p.name == param.name; });
    if (existing == params.end()) {
      params.push_back(std::move(param));
      builder_.paramStatesWritten.push_back(statesWritten);
      return;
    }
    const std::string first = Location(effect_, existing->fileIndex, existing->line);
    if (existing->type != param.type || existing->arraySize != param.arraySize) {
      Fail(param.line, "parameter " + Quoted(param.name) + " redeclared as " + TypeName(param.type, param.arraySize) +
                           ", first declared " + TypeName(existing->type, existing->arraySize) + " at " + first);
    }
    if (existing->shared != param.shared) {
      Fail(param.line, "parameter " + Quoted(param.name) + " is declared shared " +
                           (param.shared ? "here but not at " + first : "at " + first + " but not here"));
    }
    const size_t index = static_cast<size_t>(existing - params.begin());
    if (statesWritten) {
      if (builder_.paramStatesWritten[index] && existing->sampler != param.sampler) {
        Fail(param.line, "texture " + Quoted(param.name) + " redeclared with other sampler states than at " + first);
      }
      existing->sampler = param.sampler;
      builder_.paramStatesWritten[index] = true;
    }
  }

  void ParseVarying() {
    VaryingDecl varying;
    varying.fileIndex = fileIndex_;
    varying.line = current_.line;
    Advance();
    const uint32_t typeLine = current_.line;
    const std::string typeName = ExpectIdentifier("a varying type (" + ListNames(kVaryingTypes) + ")");
    const auto* type = FindNamed(kVaryingTypes, typeName);
    if (!type) Fail(typeLine, "bad varying type " + Quoted(typeName) + " (expected " + ListNames(kVaryingTypes) + ")");
    varying.components = type->value;
    varying.name = ExpectIdentifier("a varying name");
    CheckNewName(varying.name, varying.line);
    ExpectSymbol(';', "after varying " + Quoted(varying.name));
    for (const ParamDecl& param : effect_.params) {
      if (param.name == varying.name) {
        Fail(varying.line, Quoted(varying.name) + " is already a parameter, declared at " +
                               Location(effect_, param.fileIndex, param.line));
      }
    }
    for (const VaryingDecl& other : effect_.varyings) {
      if (other.name != varying.name) continue;
      if (other.components != varying.components) {
        Fail(varying.line, "varying " + Quoted(varying.name) + " redeclared with another type than at " +
                               Location(effect_, other.fileIndex, other.line));
      }
      return;
    }
    effect_.varyings.push_back(std::move(varying));
  }

  void ParseCodeBlock() {
    ShaderBlock block;
    block.fileIndex = fileIndex_;
    const uint32_t keywordLine = current_.line;
    Advance();
    const uint32_t stageLine = current_.line;
    const std::string stage = ExpectIdentifier("a stage (vertex, fragment or common) after 'glsl'");
    const bool isCommon = stage == "common";
    if (stage == "vertex") {
      block.stage = Stage::Vertex;
    } else if (stage == "fragment") {
      block.stage = Stage::Fragment;
    } else if (!isCommon) {
      Fail(stageLine, "unknown shader stage " + Quoted(stage) + " (expected vertex, fragment or common)");
    }
    block.name = ExpectIdentifier("a name for the " + stage + " block");
    for (const auto* list : {&effect_.shaders, &effect_.common}) {
      for (const ShaderBlock& other : *list) {
        if (other.name == block.name) {
          Fail(keywordLine, "code block " + Quoted(block.name) + " already declared at " +
                                Location(effect_, other.fileIndex, other.line));
        }
      }
    }
    // Not ExpectSymbol: advancing would lex the GLSL as effect tokens.
    if (!IsSymbol('{')) FailExpected("'{' to open code block " + Quoted(block.name));
    block.line = current_.line;
    CodeText text = ReadCodeBlock(block.name);
    block.code = std::move(text.code);
    current_.line = line_;  // the closing '}', for messages about what follows
    Advance();
    if (!isCommon && !text.mentionsMain) {
      Fail(block.line, stage + " shader " + Quoted(block.name) + " has no main()");
    }
    (isCommon ? effect_.common : effect_.shaders).push_back(std::move(block));
  }

  void ParseTechnique() {
    const uint32_t line = current_.line;
    Advance();
    TechniqueDecl technique;
    technique.name = ExpectIdentifier("a technique name");
    for (const TechniqueDecl& other : effect_.techniques) {
      if (other.name == technique.name) Fail(line, "technique " + Quoted(technique.name) + " declared twice");
    }
    ExpectSymbol('{', "to open technique " + Quoted(technique.name));
    while (!IsSymbol('}')) {
      if (current_.kind != TokenKind::Identifier || current_.text != "pass") FailExpected("'pass' or '}'");
      technique.passes.push_back(ParsePass(technique));
    }
    if (technique.passes.empty()) Fail(line, "technique " + Quoted(technique.name) + " has no passes");
    Advance();
    effect_.techniques.push_back(std::move(technique));
  }

  uint32_t FindShader(const Assignment& a, Stage wanted) const {
    const auto& shaders = effect_.shaders;
    const auto found =
        std::find_if(shaders.begin(), shaders.end(), [&](const ShaderBlock& s) { return s.name == a.value.text; });
    const char* wantedName = wanted == Stage::Vertex ? "vertex" : "fragment";
    if (found == shaders.end()) {
      const bool isCommon = std::any_of(effect_.common.begin(), effect_.common.end(),
                                        [&](const ShaderBlock& s) { return s.name == a.value.text; });
      Fail(a.value.line, isCommon ? Quoted(a.value.text) + " is a common block, not a " + wantedName + " shader"
                                  : "unknown shader " + Quoted(a.value.text));
    }
    if (found->stage != wanted) {
      Fail(a.value.line, Quoted(a.value.text) + " is a " + (wanted == Stage::Vertex ? "fragment" : "vertex") +
                             " shader, used as " + wantedName + " shader");
    }
    return static_cast<uint32_t>(found - shaders.begin());
  }

  // Accepts "none" or letters from r, g, b, a, each at most once.
  uint8_t ParseColorWriteMask(const Assignment& a) const {
    if (a.value.text == "none") return 0;
    uint8_t mask = 0;
    for (const char c : a.value.text) {
      const size_t channel = std::string_view("rgba").find(c);
      const uint8_t bit = channel == std::string_view::npos ? 0 : static_cast<uint8_t>(1u << channel);
      if (bit == 0 || (mask & bit)) {
        Fail(a.value.line, "bad value " + Quoted(a.value.text) +
                               " for render state 'colorwrite' (expected none or some of r, g, b, a)");
      }
      mask |= bit;
    }
    return mask;
  }

  PassDecl ParsePass(const TechniqueDecl& technique) {
    PassDecl pass;
    pass.fileIndex = fileIndex_;
    pass.line = current_.line;
    Advance();
    pass.name = ExpectIdentifier("a pass name");
    for (const PassDecl& other : technique.passes) {
      if (other.name == pass.name) {
        Fail(pass.line, "pass " + Quoted(pass.name) + " declared twice in technique " + Quoted(technique.name));
      }
    }
    const std::string kind = "render state";
    bool hasVertex = false;
    bool hasFragment = false;
    RenderStates& s = pass.states;
    for (const Assignment& a : ParseAssignments(kind)) {
      if (a.name == "vertex") {
        pass.vertexShader = FindShader(a, Stage::Vertex);
        hasVertex = true;
      } else if (a.name == "fragment") {
        pass.fragmentShader = FindShader(a, Stage::Fragment);
        hasFragment = true;
      } else if (a.name == "blend") {
        s.blendEnable = LookupValue(kSwitches, a, kind);
      } else if (a.name == "srcblend") {
        s.srcBlend = LookupValue(kBlendFactors, a, kind);
      } else if (a.name == "destblend") {
        s.destBlend = LookupValue(kBlendFactors, a, kind);
      } else if (a.name == "blendop") {
        s.blendOp = LookupValue(kBlendOps, a, kind);
      } else if (a.name == "zenable") {
        s.depthEnable = LookupValue(kSwitches, a, kind);
      } else if (a.name == "zwrite") {
        s.depthWrite = LookupValue(kSwitches, a, kind);
      } else if (a.name == "zfunc") {
        s.depthFunc = LookupValue(kCompareFuncs, a, kind);
      } else if (a.name == "cull") {
        s.cull = LookupValue(kCullModes, a, kind);
      } else if (a.name == "colorwrite") {
        s.colorWriteMask = ParseColorWriteMask(a);
      } else {
        Fail(a.line, "unknown render state " + Quoted(a.name));
      }
    }
    if (!hasVertex) Fail(pass.line, "pass " + Quoted(pass.name) + " names no vertex shader");
    if (!hasFragment) Fail(pass.line, "pass " + Quoted(pass.name) + " names no fragment shader");
    return pass;
  }

  EffectBuilder& builder_;
  EffectSource& effect_;
  const uint32_t fileIndex_;
  const std::string& text_;
  size_t pos_ = 0;             // next byte to lex
  uint32_t line_ = 1;          // line of text_[pos_]
  Token current_;
  uint32_t previousLine_ = 1;  // line of the token before current_
};

void ParseFile(EffectBuilder& builder, uint32_t fileIndex, const std::string& text) {
  builder.openFiles.push_back(fileIndex);
  FileParser(builder, fileIndex, text).Run();
  builder.openFiles.pop_back();
}

// ---- GLSL generation ------------------------------------------------------

// Appends lines and keeps #line directives so every line maps to the .fx file
// and line it came from; a directive is written only when the mapping jumps.
class GlslWriter {
 public:
  explicit GlslWriter(uint32_t generatedIndex) : generatedIndex_(generatedIndex) {}

  // The next line written comes from fileIndex:line.
  void From(uint32_t fileIndex, uint32_t line) {
    if (fileIndex == mappedFile_ && line == mappedLine_) return;
    Append("#line " + std::to_string(line) + " " + std::to_string(fileIndex) + "\n");
    mappedFile_ = fileIndex;
    mappedLine_ = line;
  }

  // The next lines are the generator's own; their numbers are their lines
  // in the output, so "<generated>:N" can be looked up in it.
  void FromGenerator() {
    if (mappedFile_ == generatedIndex_ && mappedLine_ == outputLines_ + 1) return;
    From(generatedIndex_, outputLines_ + 2);
  }

  // Appends text, ending it with a newline if it lacks one.
  void Append(std::string_view text) {
    text_ += text;
    if (text.empty() || text.back() != '\n') text_ += '\n';
    const auto lines = static_cast<uint32_t>(std::count(text.begin(), text.end(), '\n') +
                                             (text.empty() || text.back() != '\n' ? 1 : 0));
    outputLines_ += lines;
    mappedLine_ += lines;
  }

  std::string Take() { return std::move(text_); }

 private:
  const uint32_t generatedIndex_;
  std::string text_;
  uint32_t outputLines_ = 0;                 // lines written so far
  uint32_t mappedFile_ = 0;                  // source number of the next line
  uint32_t mappedLine_ = 1;                  // line number of the next line
};

const char* GlslType(ParamType type) {
  switch (type) {
    case ParamType::Float: return "float";
    case ParamType::Float4: return "vec4";
    case ParamType::Float4x4: return "mat4";
    case ParamType::Texture2D: return "sampler2D";
    case ParamType::Texture3D: return "sampler3D";
    case ParamType::TextureCube: return "samplerCube";
  }
  return "float";
}

const char* GlslVectorType(uint32_t components) {
  static constexpr const char* kNames[] = {"float", "vec2", "vec3", "vec4"};
  return kNames[std::clamp<uint32_t>(components, 1, 4) - 1];
}

// Reads a log line from the front: literal text and runs of digits.
class LogCursor {
 public:
  explicit LogCursor(std::string_view text) : text_(text) {}

  bool Skip(std::string_view literal) {
    if (!text_.starts_with(literal)) return false;
    text_.remove_prefix(literal.size());
    return true;
  }

  bool Digits(std::string_view& digits) {
    size_t length = 0;
    while (length < text_.size() && std::isdigit(static_cast<unsigned char>(text_[length]))) ++length;
    digits = text_.substr(0, length);
    text_.remove_prefix(length);
    return length > 0;
  }

  std::string_view Rest() const { return text_; }

 private:
  std::string_view text_;
};

// "file:line: " for a source string number and line from a log.
std::string LogLocation(std::string_view sourceNumber, std::string_view line, const std::vector<std::string>& files) {
  size_t index = files.size();
  const auto parsed = std::from_chars(sourceNumber.data(), sourceNumber.data() + sourceNumber.size(), index);
  const bool known = parsed.ec == std::errc() && index < files.size();
  return (known ? files[index] : "<generated>") + ":" + std::string(line) + ": ";
}

// The line with its location rewritten, or nothing when no driver's
// location format matches.
std::optional<std::string> TranslateLogLine(std::string_view line, const std::vector<std::string>& files) {
  std::string_view source;
  std::string_view number;
  std::string_view column;
  if (LogCursor mesa(line); mesa.Digits(source) && mesa.Skip(":") && mesa.Digits(number) && mesa.Skip("(") &&
                            mesa.Digits(column) && mesa.Skip("): ")) {
    return LogLocation(source, number, files) + std::string(mesa.Rest());
  }
  if (LogCursor nvidia(line); nvidia.Digits(source) && nvidia.Skip("(") && nvidia.Digits(number) && nvidia.Skip(") : ")) {
    return LogLocation(source, number, files) + std::string(nvidia.Rest());
  }
  for (const auto& [prefix, kind] : {std::pair{"ERROR: ", "error: "}, std::pair{"WARNING: ", "warning: "}}) {
    if (LogCursor glslang(line); glslang.Skip(prefix) && glslang.Digits(source) && glslang.Skip(":") &&
                                 glslang.Digits(number) && glslang.Skip(": ")) {
      return LogLocation(source, number, files) + kind + std::string(glslang.Rest());
    }
  }
  return std::nullopt;
}

}  // namespace

bool ParseEffectFile(const std::string& path, EffectSource& out, std::string& error) {
  out = EffectSource{};
  std::string text;
  if (!ReadWholeFile(path, text)) {
    error = path + ": cannot open file";
    return false;
  }
  EffectBuilder builder{out, {}, {}, {}};
  try {
    ParseFile(builder, builder.AddFile(path, FileIdentity(path)), text);
  } catch (const ParseError& failure) {
    error = Location(out, failure.fileIndex, failure.line) + ": " + failure.message;
    out = EffectSource{};
    return false;
  }
  return true;
}

std::string BuildShaderSource(const EffectSource& effect, uint32_t shaderIndex) {
  const ShaderBlock& shader = effect.shaders.at(shaderIndex);
  const bool vertex = shader.stage == Stage::Vertex;
  GlslWriter out(static_cast<uint32_t>(effect.files.size()));
  out.Append("#version 450 core");
  for (const ParamDecl& param : effect.params) {
    out.From(param.fileIndex, param.line);
    std::string declaration = std::string("uniform ") + GlslType(param.type) + " " + param.name;
    if (param.arraySize) declaration += "[" + std::to_string(param.arraySize) + "]";
    out.Append(declaration + ";");
  }
  out.FromGenerator();
  if (vertex) {
    out.Append("layout(location = " + std::to_string(kAttribPosition) + ") in vec3 aPosition;");
    out.Append("layout(location = " + std::to_string(kAttribNormal) + ") in vec3 aNormal;");
    out.Append("layout(location = " + std::to_string(kAttribTexCoord) + ") in vec2 aTexCoord;");
    out.Append(std::string("uniform vec2 ") + kPixelOffsetUniform + ";");
  } else {
    out.Append("layout(location = 0) out vec4 fragColor;");
  }
  for (const VaryingDecl& varying : effect.varyings) {
    out.From(varying.fileIndex, varying.line);
    out.Append(std::string(vertex ? "out " : "in ") + GlslVectorType(varying.components) + " " + varying.name + ";");
  }
  for (const ShaderBlock& common : effect.common) {
    out.From(common.fileIndex, common.line);
    out.Append(common.code);
  }
  if (!vertex) {
    out.From(shader.fileIndex, shader.line);
    out.Append(shader.code);
    return out.Take();
  }
  // The block's main runs under another name so the pixel-centre shift can
  // follow it whatever the block does.
  out.FromGenerator();
  out.Append("#define main vantrel_user_main");
  out.From(shader.fileIndex, shader.line);
  out.Append(shader.code);
  out.FromGenerator();
  out.Append("#undef main");
  out.Append("void main() {");
  out.Append("  vantrel_user_main();");
  out.Append(std::string("  gl_Position.xy += ") + kPixelOffsetUniform + " * gl_Position.w;");
  out.Append("}");
  return out.Take();
}

std::string TranslateCompileLog(const std::string& glLog, const std::vector<std::string>& files) {
  std::istringstream lines(glLog);
  std::string result;
  std::string line;
  while (std::getline(lines, line)) {
    // A log with CRLF endings keeps them; the patterns should not see the CR.
    const bool carriageReturn = !line.empty() && line.back() == '\r';
    if (carriageReturn) line.pop_back();
    result += TranslateLogLine(line, files).value_or(line);
    if (carriageReturn) result += '\r';
    if (!lines.eof()) result += '\n';
  }
  return result;
}
