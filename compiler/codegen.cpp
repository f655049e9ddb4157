// Code generation: the syntax tree to i386 code and data in one block, written
// as a module container.
//
// Values live in eax (integers, string temporaries, object pointers) or on top
// of the x87 stack (floats). A binary operation keeps its left operand on the
// machine stack while the right one is computed. Module code keeps no value in
// a register across a statement, so calls into the runtime need no saving.
//
// Frames: [ebp-4] counts the active Gosubs of the frame, [ebp-8] holds the
// function's result; locals and hidden slots (loop limits, Select values)
// follow below. The frame is zero-filled on entry, and string and object
// locals are released on every way out.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string_view>
#include <unordered_map>

#include "compiler/compiler.h"
#include "compiler/lexer.h"
#include "compiler/parser.h"
#include "compiler/x86.h"

namespace krc {
namespace {

struct CompileError {};

struct Var {
  VType type;
  Mem mem;
  bool declared = false;  // by Global/Local (a command of the same name is then hidden)
};

struct ConstVal {
  VType type;
  std::int32_t i = 0;
  float f = 0;
  std::string s;
};

struct FieldInfo {
  int index = 0;
  int count = 1;
  bool isArray = false;
  VType type;
};

struct TypeInfo {
  std::string symbol;
  std::map<std::string, FieldInfo> fields;
};

struct ArrayInfo {
  VType type;
  int dims = 0;
  std::string symbol;
};

struct FuncInfo {
  const Function* decl = nullptr;
  VType result;
  std::vector<VType> params;
  int label = -1;
};

struct Loop {
  int exitLabel;
};

// The current function (or the main program) being generated.
struct Scope {
  bool isMain = true;
  const FuncInfo* func = nullptr;
  std::unordered_map<std::string, Var> vars;  // locals (main: its own variables)
  std::int32_t frameSize = 8;       // bytes below ebp in use
  std::vector<Mem> releaseStrings, releaseObjects;
  std::map<std::string, int> labels;
  std::map<std::string, SourcePos> labelUses;
  std::vector<Loop> loops;
  int epilogue = -1, boundsFail = -1, nullFail = -1;
  std::map<std::string, Reg> registers;         // locals to keep in a register if they are integers
  std::vector<std::pair<Reg, Mem>> savedRegisters;  // the caller's values, back at the epilogue
};

std::string kindName(const VType& t) {
  switch (t.kind) {
    case Kind::Int: return "an integer";
    case Kind::Float: return "a float";
    case Kind::Str: return "a string";
    case Kind::Obj: return t.obj.empty() ? "Null" : "an object of type " + t.obj;
    default: return "no value";
  }
}

std::uint32_t floatBits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

class CodeGen {
 public:
  CodeGen(const Program& p, const CommandTable& c, const CompileOptions& o, Diagnostics& d)
      : prog_(p), cmds_(c), opt_(o), diag_(d) {}

  // sizeHint: the number of tokens, from which the code size is guessed.
  bool run(std::vector<std::uint8_t>& module, std::size_t sizeHint) {
    e_.code.reserve(sizeHint * 16 + 4096);
    declareTypes();
    declareConstants();
    declareGlobals();
    declareArrays();
    declareFunctions();
    if (diag_.failed()) return false;
    genMain();
    for (auto& f : funcs_) genFunction(f.second);
    if (diag_.failed()) return false;
    emitData();
    if (!e_.resolve()) {
      diag_.error(SourcePos{0, 1, 1}, "internal error: a jump has no target");
      return false;
    }
    writeContainer(module);
    return true;
  }

 private:
  // ---------- errors ----------
  [[noreturn]] void fail(const SourcePos& pos, const std::string& message) {
    diag_.error(pos, message);
    throw CompileError{};
  }

  // ---------- declarations ----------
  VType typeFromSuffix(char suffix, const std::string& typeName, const SourcePos& pos) {
    switch (suffix) {
      case '#': return floatType();
      case '$': return strType();
      case '.':
        if (!types_.count(typeName)) fail(pos, "unknown type '" + typeName + "'");
        return objType(typeName);
      default: return intType();
    }
  }

  void declareTypes() {
    for (const TypeDecl& t : prog_.types) {
      if (types_.count(t.name)) {
        diag_.error(t.pos, "type '" + t.name + "' is already defined");
        continue;
      }
      types_[t.name].symbol = "_t" + t.name;
    }
    for (const TypeDecl& t : prog_.types) {
      TypeInfo& info = types_[t.name];
      if (!info.fields.empty()) continue;
      int index = 0;
      for (const FieldDecl& f : t.fields) {
        try {
          FieldInfo fi;
          fi.type = typeFromSuffix(f.suffix, f.typeName, f.pos);
          fi.index = index;
          fi.count = f.count;
          fi.isArray = f.isArray;
          if (info.fields.count(f.name)) fail(f.pos, "field '" + f.name + "' is already defined");
          info.fields[f.name] = fi;
          index += f.count;
          if (index > 65536) fail(f.pos, "type has too many fields");
        } catch (CompileError&) {
        }
      }
      typeOrder_.push_back(&t);
    }
  }

  void declareConstants() {
    for (const Constant& c : prog_.constants) {
      try {
        ConstVal v;
        if (!constValue(*c.value, v)) fail(c.value->pos, "the value of a constant must be known when compiling");
        VType want = c.suffix ? typeFromSuffix(c.suffix, "", c.pos) : v.type;
        v = convertConst(v, want, c.pos);
        if (consts_.count(c.name)) fail(c.pos, "constant '" + c.name + "' is already defined");
        consts_[c.name] = v;
      } catch (CompileError&) {
      }
    }
  }

  void declareGlobals() {
    for (const VarDecl& g : prog_.globals) {
      try {
        VType t = typeFromSuffix(g.suffix, g.typeName, g.pos);
        auto it = globals_.find(g.name);
        if (it != globals_.end()) {
          if (g.suffix && it->second.type != t) fail(g.pos, "global '" + g.name + "' is already declared as " + kindName(it->second.type));
          continue;
        }
        if (consts_.count(g.name)) fail(g.pos, "'" + g.name + "' is a constant");
        Var v;
        v.type = t;
        v.declared = true;
        v.mem = Mem::sym("_v" + g.name);
        dataWords_.push_back(v.mem.symbol);
        globals_[g.name] = v;
      } catch (CompileError&) {
      }
    }
  }

  void collectDims(const Block& b) {
    for (const StmtP& s : b) {
      if (s->k == SK::Dim) {
        for (const VarDecl& v : s->vars) {
          try {
            VType t = typeFromSuffix(v.suffix, v.typeName, v.pos);
            auto it = arrays_.find(v.name);
            if (it != arrays_.end()) {
              if ((v.suffix && it->second.type != t) || it->second.dims != static_cast<int>(v.bounds.size()))
                fail(v.pos, "array '" + v.name + "' is already dimensioned differently");
              continue;
            }
            ArrayInfo a;
            a.type = t;
            a.dims = static_cast<int>(v.bounds.size());
            a.symbol = "_a" + v.name;
            arrays_[v.name] = a;
            arrayOrder_.push_back(v.name);
          } catch (CompileError&) {
          }
        }
      }
      for (const Block& inner : s->blocks) collectDims(inner);
      collectDims(s->elseBlock);
      for (const Case& c : s->cases) collectDims(c.body);
    }
  }

  void declareArrays() {
    collectDims(prog_.main);
    for (const Function& f : prog_.functions) collectDims(f.body);
  }

  void declareFunctions() {
    for (const Function& f : prog_.functions) {
      try {
        if (funcs_.count(f.name)) fail(f.pos, "function '" + f.name + "' is already defined");
        if (arrays_.count(f.name)) fail(f.pos, "'" + f.name + "' is already an array");
        FuncInfo info;
        info.decl = &f;
        info.result = typeFromSuffix(f.suffix, f.typeName, f.pos);
        bool defaults = false;
        std::set<std::string> seen;
        for (const Param& p : f.params) {
          info.params.push_back(typeFromSuffix(p.suffix, p.typeName, p.pos));
          if (!seen.insert(p.name).second) fail(p.pos, "parameter '" + p.name + "' appears twice");
          if (p.def && p.def->k == EK::Null) {
            if (info.params.back().kind != Kind::Obj) fail(p.def->pos, "only an object parameter can default to Null");
            defaults = true;
          } else if (p.def) {
            ConstVal v;
            if (!constValue(*p.def, v)) fail(p.def->pos, "a default value must be a constant");
            defaults = true;
          } else if (defaults) {
            fail(p.pos, "parameters after one with a default value need defaults too");
          }
        }
        info.label = e_.newLabel();
        funcs_[f.name] = info;
      } catch (CompileError&) {
      }
    }
  }

  // ---------- constants ----------
  bool constValue(const Expr& e, ConstVal& out) {
    switch (e.k) {
      case EK::IntLit: out.type = intType(), out.i = e.ival; return true;
      case EK::FloatLit: out.type = floatType(), out.f = e.fval; return true;
      case EK::StrLit: out.type = strType(), out.s = e.name; return true;
      case EK::Name: {
        auto it = consts_.find(e.name);
        if (it == consts_.end()) return false;
        out = it->second;
        return true;
      }
      case EK::Unary: {
        ConstVal a;
        if (!constValue(*e.args[0], a) || a.type.kind == Kind::Str) return false;
        if (e.name == "-") {
          if (a.type.kind == Kind::Float) a.f = -a.f;
          else a.i = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(a.i));
        } else if (e.name == "~") {
          if (a.type.kind != Kind::Int) return false;
          a.i = ~a.i;
        } else {
          a = ConstVal{intType(), a.type.kind == Kind::Float ? a.f == 0 : a.i == 0, 0, ""};
        }
        out = a;
        return true;
      }
      case EK::Binary: {
        ConstVal a, b;
        if (!constValue(*e.args[0], a) || !constValue(*e.args[1], b)) return false;
        const std::string& op = e.name;
        if (a.type.kind == Kind::Str || b.type.kind == Kind::Str) {
          if (op != "+") return false;
          out.type = strType();
          out.s = constText(a) + constText(b);
          return true;
        }
        bool isFloat = a.type.kind == Kind::Float || b.type.kind == Kind::Float;
        auto ua = static_cast<std::uint32_t>(a.i), ub = static_cast<std::uint32_t>(b.i);
        if (!isFloat && (op == "+" || op == "-" || op == "*")) {
          out.type = intType();
          out.i = static_cast<std::int32_t>(op == "+" ? ua + ub : op == "-" ? ua - ub : ua * ub);
          return true;
        }
        if (!isFloat && (op == "/" || op == "mod") && b.i != 0 && !(a.i == INT32_MIN && b.i == -1)) {
          out.type = intType();
          out.i = op == "/" ? a.i / b.i : a.i % b.i;
          return true;
        }
        if (!isFloat && (op == "and" || op == "or" || op == "xor")) {
          out.type = intType();
          out.i = op == "and" ? a.i & b.i : op == "or" ? a.i | b.i : a.i ^ b.i;
          return true;
        }
        if (isFloat && (op == "+" || op == "-" || op == "*" || op == "/")) {
          float x = a.type.kind == Kind::Float ? a.f : static_cast<float>(a.i);
          float y = b.type.kind == Kind::Float ? b.f : static_cast<float>(b.i);
          out.type = floatType();
          out.f = op == "+" ? x + y : op == "-" ? x - y : op == "*" ? x * y : x / y;
          return true;
        }
        return false;
      }
      default:
        return false;
    }
  }
  static std::string floatText(float f) {
    double x = f;
    std::string s;
    if (x < 0) s = "-", x = -x;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d.%06d", static_cast<int>(x), static_cast<int>((x - std::floor(x)) * 1000000.0));
    return s + buf;
  }
  static std::string constText(const ConstVal& v) {
    if (v.type.kind == Kind::Str) return v.s;
    if (v.type.kind == Kind::Float) return floatText(v.f);
    return std::to_string(v.i);
  }
  ConstVal convertConst(ConstVal v, const VType& to, const SourcePos& pos) {
    if (v.type.kind == to.kind) return v;
    ConstVal r;
    r.type = to;
    if (to.kind == Kind::Str) {
      r.s = constText(v);
    } else if (to.kind == Kind::Float) {
      if (v.type.kind == Kind::Str) fail(pos, "cannot use a string as a number here");
      r.f = static_cast<float>(v.i);
    } else if (to.kind == Kind::Int) {
      if (v.type.kind == Kind::Str) fail(pos, "cannot use a string as a number here");
      r.i = static_cast<std::int32_t>(std::nearbyint(std::fmax(std::fmin(v.f, 2147483520.0f), -2147483648.0f)));
    } else {
      fail(pos, "a constant cannot be an object");
    }
    return r;
  }
  void genConst(const ConstVal& v) {
    switch (v.type.kind) {
      case Kind::Int: e_.movImm(EAX, static_cast<std::uint32_t>(v.i)); break;
      case Kind::Float: loadFloatImm(v.f); break;
      default:
        e_.pushSymbol(literal(v.s));
        callRt("__krStrConst", 4);
        break;
    }
  }
  void loadFloatImm(float f) {
    std::uint32_t bits = floatBits(f);
    if (bits == 0) {
      e_.bytes({0xD9, 0xEE});  // fldz
    } else if (f == 1.0f) {
      e_.bytes({0xD9, 0xE8});  // fld1
    } else {
      e_.fld(floatConst(f));
    }
  }
  // Float literals live in the module's data, one word each.
  Mem floatConst(float f) {
    std::uint32_t bits = floatBits(f);
    auto it = floatPool_.find(bits);
    if (it == floatPool_.end()) it = floatPool_.emplace(bits, "_" + std::to_string(++numbered_)).first;
    return Mem::sym(it->second);
  }

  // ---------- data ----------
  std::string literal(const std::string& text) {
    auto it = literals_.find(text);
    if (it != literals_.end()) return it->second;
    std::string sym = "_" + std::to_string(++numbered_);
    literals_[text] = sym;
    return sym;
  }

  // ---------- runtime calls ----------
  void callRt(const std::string& target, int argBytes) {
    e_.call(target);
    e_.addEsp(argBytes);
  }

  // ---------- scopes and names ----------
  Var* findVar(const std::string& name) {
    auto it = scope_->vars.find(name);
    if (it != scope_->vars.end()) return &it->second;
    auto g = globals_.find(name);
    if (g != globals_.end()) return &g->second;
    return nullptr;
  }

  Mem newSlot() {
    scope_->frameSize += 4;
    return Mem::frame(-scope_->frameSize);
  }

  Var& declareLocal(const std::string& name, const VType& t, bool declared, const SourcePos& pos) {
    if (consts_.count(name)) fail(pos, "'" + name + "' is a constant");
    if (arrays_.count(name)) fail(pos, "'" + name + "' is an array");
    Var v;
    v.type = t;
    v.declared = declared;
    if (scope_->isMain) {
      v.mem = Mem::sym("_v" + name);
      if (!globals_.count(name)) dataWords_.push_back(v.mem.symbol);
    } else if (t.kind == Kind::Int && scope_->registers.count(name)) {
      v.mem = Mem::direct(scope_->registers[name]);
    } else {
      v.mem = newSlot();
      if (t.kind == Kind::Str) scope_->releaseStrings.push_back(v.mem);
      if (t.kind == Kind::Obj) scope_->releaseObjects.push_back(v.mem);
    }
    return scope_->vars[name] = v;
  }

  // The variable a name denotes, declared on first use with its suffix's type.
  Var& variable(const Expr& e) {
    VType t = typeFromSuffix(e.suffix, e.typeName, e.pos);
    if (Var* v = findVar(e.name)) {
      if (e.suffix && v->type != t)
        fail(e.pos, "'" + e.name + "' is " + kindName(v->type) + ", not " + kindName(t));
      return *v;
    }
    return declareLocal(e.name, t, false, e.pos);
  }

  bool isCallable(const std::string& name) const { return funcs_.count(name) || cmds_.find(name); }

  // ---------- type of an expression (no code) ----------
  VType typeOf(const Expr& e) {
    switch (e.k) {
      case EK::IntLit: return intType();
      case EK::FloatLit: return floatType();
      case EK::StrLit: return strType();
      case EK::Null: return objType("");
      case EK::Name: {
        if (Var* v = findVar(e.name)) return v->type;
        if (consts_.count(e.name)) return consts_[e.name].type;
        if (isCallable(e.name)) return callType(e);
        return typeFromSuffix(e.suffix, e.typeName, e.pos);
      }
      case EK::Call: {
        auto a = arrays_.find(e.name);
        if (a != arrays_.end()) return a->second.type;
        return callType(e);
      }
      case EK::Field: return fieldOf(e).type;
      case EK::Unary:
        if (e.name == "not" || e.name == "~") return intType();
        return typeOf(*e.args[0]).kind == Kind::Float ? floatType() : intType();
      case EK::Binary: return binaryType(e.name, typeOf(*e.args[0]), typeOf(*e.args[1]), e.pos);
      case EK::New:
      case EK::First:
      case EK::Last:
        if (!types_.count(e.name)) fail(e.pos, "unknown type '" + e.name + "'");
        return objType(e.name);
      case EK::Object:
        if (!types_.count(e.name)) fail(e.pos, "unknown type '" + e.name + "'");
        return objType(e.name);
      case EK::After:
      case EK::Before: {
        VType t = typeOf(*e.args[0]);
        if (t.kind != Kind::Obj) fail(e.pos, "After and Before need an object");
        return t;
      }
      case EK::Handle: return intType();
    }
    return intType();
  }

  VType callType(const Expr& e) {
    auto f = funcs_.find(e.name);
    if (f != funcs_.end()) return f->second.result;
    if (e.name == "abs" || e.name == "sgn") {
      if (e.args.size() != 1) fail(e.pos, e.name + " takes one value");
      return typeOf(*e.args[0]).kind == Kind::Float ? floatType() : intType();
    }
    if (e.name == "int") return intType();
    if (e.name == "float") return floatType();
    if (e.name == "str") return strType();
    const Command* c = cmds_.find(e.name);
    if (!c) fail(e.pos, "unknown function, command or array '" + e.name + "'");
    return VType{c->result, ""};
  }

  const FieldInfo& fieldOf(const Expr& e) {
    VType base = typeOf(*e.args[0]);
    if (base.kind != Kind::Obj || base.obj.empty()) fail(e.pos, "'\\' needs an object of a known type on its left");
    TypeInfo& t = types_[base.obj];
    auto it = t.fields.find(e.name);
    if (it == t.fields.end()) fail(e.pos, "type '" + base.obj + "' has no field '" + e.name + "'");
    if (e.suffix && typeFromSuffix(e.suffix, e.typeName, e.pos) != it->second.type)
      fail(e.pos, "field '" + e.name + "' is " + kindName(it->second.type));
    if (it->second.isArray != (e.args.size() > 1))
      fail(e.pos, it->second.isArray ? "field '" + e.name + "' is an array: give an index in [ ]"
                                     : "field '" + e.name + "' is not an array");
    return it->second;
  }

  VType binaryType(const std::string& op, const VType& l, const VType& r, const SourcePos& pos) {
    bool cmp = op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=";
    if (l.kind == Kind::None || r.kind == Kind::None) fail(pos, "this command returns no value");
    if (l.kind == Kind::Obj || r.kind == Kind::Obj) {
      if (l.kind == Kind::Obj && r.kind == Kind::Obj && (op == "=" || op == "<>")) return intType();
      if (op == "+" && (l.kind == Kind::Str || r.kind == Kind::Str)) return strType();
      fail(pos, "objects can only be compared with = and <>");
    }
    if (cmp) return intType();
    if (l.kind == Kind::Str || r.kind == Kind::Str) {
      if (op == "+") return strType();
      fail(pos, "strings can only be joined with +");
    }
    if (op == "^") return floatType();
    if (op == "and" || op == "or" || op == "xor" || op == "shl" || op == "shr" || op == "sar") return intType();
    return l.kind == Kind::Float || r.kind == Kind::Float ? floatType() : intType();
  }

  // ---------- conversions ----------
  void convert(const VType& from, const VType& to, const SourcePos& pos) {
    if (to.kind == Kind::None) {
      drop(from);
      return;
    }
    if (from.kind == to.kind) {
      if (from.kind == Kind::Obj && !from.obj.empty() && !to.obj.empty() && from.obj != to.obj)
        fail(pos, "expected " + kindName(to) + " but found " + kindName(from));
      return;
    }
    switch (from.kind) {
      case Kind::Int:
        if (to.kind == Kind::Float) {
          e_.push(EAX);
          e_.fild(Mem::at(ESP));
          e_.pop(EAX);
          return;
        }
        if (to.kind == Kind::Str) {
          e_.push(EAX);
          callRt("__krStrFromInt", 4);
          return;
        }
        break;
      case Kind::Float:
        if (to.kind == Kind::Int) {
          e_.push(EAX);
          e_.fistp(Mem::at(ESP));
          e_.pop(EAX);
          return;
        }
        if (to.kind == Kind::Str) {
          e_.push(EAX);
          e_.fstp(Mem::at(ESP));
          callRt("__krStrFromFloat", 4);
          return;
        }
        break;
      case Kind::Str:
        if (to.kind == Kind::Int) {
          e_.push(EAX);
          callRt("__krStrToInt", 4);
          return;
        }
        if (to.kind == Kind::Float) {
          e_.push(EAX);
          callRt("__krStrToFloat", 4);
          return;
        }
        break;
      case Kind::Obj:
        if (to.kind == Kind::Str) {
          e_.push(EAX);
          callRt("__krObjToStr", 4);
          return;
        }
        break;
      default:
        fail(pos, "this command returns no value");
    }
    fail(pos, "expected " + kindName(to) + " but found " + kindName(from));
  }

  void drop(const VType& t) {
    if (t.kind == Kind::Str) {
      e_.push(EAX);
      callRt("__krStrRelease", 4);
    } else if (t.kind == Kind::Float) {
      e_.bytes({0xDD, 0xD8});  // fstp st0
    }
  }

  // ---------- expressions ----------
  void gen(const Expr& e, const VType& want) {
    VType got = genRaw(e);
    convert(got, want, e.pos);
  }

  VType genRaw(const Expr& e) {
    switch (e.k) {
      case EK::IntLit: e_.movImm(EAX, static_cast<std::uint32_t>(e.ival)); return intType();
      case EK::FloatLit: loadFloatImm(e.fval); return floatType();
      case EK::StrLit:
        e_.pushSymbol(literal(e.name));
        callRt("__krStrConst", 4);
        return strType();
      case EK::Null: e_.movImm(EAX, 0); return objType("");
      case EK::Name: {
        Var* v = findVar(e.name);
        if (!v) {
          auto c = consts_.find(e.name);
          if (c != consts_.end()) {
            if (e.suffix && typeFromSuffix(e.suffix, "", e.pos) != c->second.type)
              fail(e.pos, "constant '" + e.name + "' is " + kindName(c->second.type));
            genConst(c->second);
            return c->second.type;
          }
          if (isCallable(e.name)) return genCall(e);
          v = &variable(e);
        } else if (e.suffix) {
          variable(e);  // checks the suffix
        }
        loadVar(*v);
        return v->type;
      }
      case EK::Call: {
        if (arrays_.count(e.name)) {
          if (arrays_[e.name].type.kind == Kind::Str) {
            VType t = elementAddress(e);
            loadFrom(t);
            return t;
          }
          VType t = elementIndex(e);
          if (t.kind == Kind::Float)
            e_.bytes({0xD9, 0x04, elementSib()});  // fld dword [ecx+index*4]
          else
            e_.bytes({0x8B, 0x04, elementSib()});  // mov eax, [ecx+index*4]
          return t;
        }
        return genCall(e);
      }
      case EK::Field: {
        const FieldInfo& f = fieldOf(e);
        VType t = f.type;
        fieldAddress(e);
        loadFrom(t);
        return t;
      }
      case EK::Unary: return genUnary(e);
      case EK::Binary: return genBinary(e);
      case EK::New:
        typeOf(e);
        e_.pushSymbol(types_[e.name].symbol);
        callRt("__krObjNew", 4);
        return objType(e.name);
      case EK::First:
      case EK::Last:
        typeOf(e);
        e_.pushSymbol(types_[e.name].symbol);
        callRt(e.k == EK::First ? "__krObjFirst" : "__krObjLast", 4);
        return objType(e.name);
      case EK::After:
      case EK::Before: {
        VType t = typeOf(e);
        gen(*e.args[0], t);
        nullCheck();
        e_.push(EAX);
        callRt(e.k == EK::After ? "__krObjNext" : "__krObjPrev", 4);
        return t;
      }
      case EK::Handle: {
        VType t = genRaw(*e.args[0]);
        if (t.kind != Kind::Obj) fail(e.pos, "Handle needs an object");
        // A deleted object has no handle.
        int done = e_.newLabel();
        e_.regReg(0x85, EAX, EAX);
        e_.jcc(CE, done);
        e_.load(ECX, Mem::at(EAX));
        e_.regReg(0x85, ECX, ECX);
        e_.jcc(CNE, done);
        e_.movImm(EAX, 0);
        e_.bind(done);
        return intType();
      }
      case EK::Object: return genObject(e);
    }
    return intType();
  }

  // Object.T(handle): the existing object of type T with that handle, or Null;
  // a made-up handle is never dereferenced, it is looked up in T's list.
  VType genObject(const Expr& e) {
    typeOf(e);
    gen(*e.args[0], intType());
    int loop = e_.newLabel(), none = e_.newLabel(), done = e_.newLabel();
    e_.movSymbol(ECX, types_[e.name].symbol);
    e_.bind(loop);
    e_.load(ECX, Mem::at(ECX, 4));  // next
    e_.aluMemImm(7, Mem::at(ECX, 12), 0);  // the head has no type
    e_.jcc(CE, none);
    e_.regReg(0x39, ECX, EAX);
    e_.jcc(CNE, loop);
    e_.aluMemImm(7, Mem::at(ECX, 0), 0);  // deleted
    e_.jcc(CE, none);
    e_.jmp(done);
    e_.bind(none);
    e_.movImm(EAX, 0);
    e_.bind(done);
    return objType(e.name);
  }

  void loadVar(const Var& v) {
    switch (v.type.kind) {
      case Kind::Float: e_.fld(v.mem); break;
      case Kind::Str:
        e_.lea(EAX, v.mem);
        e_.push(EAX);
        callRt("__krStrLoad", 4);
        break;
      default: e_.load(EAX, v.mem); break;
    }
  }

  // Loads the value at the address in eax.
  void loadFrom(const VType& t) {
    switch (t.kind) {
      case Kind::Float: e_.fld(Mem::at(EAX)); break;
      case Kind::Str:
        e_.push(EAX);
        callRt("__krStrLoad", 4);
        break;
      default: e_.load(EAX, Mem::at(EAX)); break;
    }
  }

  int boundsFail() {
    if (scope_->boundsFail < 0) scope_->boundsFail = e_.newLabel();
    return scope_->boundsFail;
  }
  int nullFail() {
    if (scope_->nullFail < 0) scope_->nullFail = e_.newLabel();
    return scope_->nullFail;
  }
  // The object in eax must exist (not null, not deleted).
  void nullCheck() {
    e_.regReg(0x85, EAX, EAX);
    e_.jcc(CE, nullFail());
    e_.aluMemImm(7, Mem::at(EAX), 0);
    e_.jcc(CE, nullFail());
  }

  // Address of an array element in eax; every index is checked against its
  // dimension.
  VType elementAddress(const Expr& e) {
    VType t = elementIndex(e);
    e_.bytes({0x8D, 0x04, elementSib()});  // lea eax, [ecx+index*4]
    return t;
  }

  // The SIB byte of [ecx+index*4] for the index elementIndex left.
  int elementSib() const { return 0x80 | (elementIndexReg_ << 3) | ECX; }

  // An integer local kept in a register, named by a plain expression.
  const Var* registerVar(const Expr& e) {
    if (e.k != EK::Name || (e.suffix && e.suffix != '%')) return nullptr;
    const Var* v = findVar(e.name);
    return v && v->type.kind == Kind::Int && v->mem.base == Mem::Direct ? v : nullptr;
  }

  // The checked element index in eax (or, for one dimension indexed by a
  // register local, in that register: elementIndexReg_) and the element
  // storage in ecx.
  VType elementIndex(const Expr& e) {
    const ArrayInfo& a = arrays_[e.name];
    if (static_cast<int>(e.args.size()) != a.dims)
      fail(e.pos, "array '" + e.name + "' has " + std::to_string(a.dims) + " dimension" + (a.dims == 1 ? "" : "s"));
    const int counts = 12 + 4 * a.dims;  // the per-dimension counts kept after the descriptor
    elementIndexReg_ = EAX;
    if (const Var* v = a.dims == 1 ? registerVar(*e.args[0]) : nullptr) {
      e_.regMem(0x3B, v->mem.reg, Mem::sym(a.symbol, counts));
      e_.jcc(CAE, boundsFail());
      e_.load(ECX, Mem::sym(a.symbol, 0));
      elementIndexReg_ = v->mem.reg;
      return a.type;
    }
    for (int k = 0; k < a.dims; ++k) {
      const Expr& index = *e.args[k];
      if (index.k == EK::IntLit && k == 0) {
        e_.movImm(EAX, static_cast<std::uint32_t>(index.ival));
      } else {
        gen(index, intType());
      }
      e_.regMem(0x3B, EAX, Mem::sym(a.symbol, counts + 4 * k));
      e_.jcc(CAE, boundsFail());
      if (k > 0) {
        e_.imulMem(EAX, Mem::sym(a.symbol, 12 + 4 * (k - 1)));
        e_.pop(ECX);
        e_.regReg(0x01, EAX, ECX);
      }
      if (k + 1 < a.dims) e_.push(EAX);
    }
    e_.load(ECX, Mem::sym(a.symbol, 0));
    return a.type;
  }

  // Address of an object's field in eax.
  void fieldAddress(const Expr& e) {
    const FieldInfo& f = fieldOf(e);
    gen(*e.args[0], typeOf(*e.args[0]));
    nullCheck();
    e_.load(EAX, Mem::at(EAX));  // the field words
    if (f.isArray) {
      e_.push(EAX);
      gen(*e.args[1], intType());
      e_.aluImm(7, EAX, f.count);
      e_.jcc(CAE, boundsFail());
      e_.pop(ECX);
      e_.bytes({0x8D, 0x04, 0x81});  // lea eax, [ecx+eax*4]
    }
    if (f.index) e_.aluImm(0, EAX, 4 * f.index);
  }

  VType genUnary(const Expr& e) {
    const Expr& a = *e.args[0];
    if (e.name == "not") {
      genCondValue(a);
      e_.regReg(0x85, EAX, EAX);
      e_.setcc(CE);
      return intType();
    }
    if (e.name == "~") {
      gen(a, intType());
      e_.bytes({0xF7, 0xD0});
      return intType();
    }
    VType t = typeOf(a);
    if (t.kind == Kind::Float) {
      gen(a, t);
      e_.bytes({0xD9, 0xE0});  // fchs
      return t;
    }
    gen(a, intType());
    e_.bytes({0xF7, 0xD8});  // neg
    return intType();
  }

  // Truth of a value as 0 or non-zero in eax: numbers against zero, strings
  // against "", objects against Null.
  void genCondValue(const Expr& e) {
    VType t = typeOf(e);
    switch (t.kind) {
      case Kind::Float:
        gen(e, t);
        e_.bytes({0xD9, 0xEE, 0xDF, 0xE9, 0xDD, 0xD8});  // fldz; fucomip; fstp st0
        e_.setcc(CNE);
        break;
      case Kind::Str:
        gen(e, t);
        e_.push(EAX);
        e_.pushSymbol(literal(""));
        callRt("__krStrConst", 4);
        e_.push(EAX);
        callRt("__krStrCompare", 8);
        break;
      case Kind::Obj:
        gen(e, t);
        e_.pushImm(0);
        e_.push(EAX);
        callRt("__krObjCompare", 8);
        break;
      default:
        gen(e, intType());
    }
  }

  // Jumps to falseLabel when the condition does not hold.
  void genCondJump(const Expr& e, int falseLabel) {
    if (e.k == EK::Binary) {
      static const std::map<std::string, Cond> cmps = {{"=", CE}, {"<>", CNE}, {"<", CL},
                                                       {">", CG}, {"<=", CLE}, {">=", CGE}};
      auto it = cmps.find(e.name);
      if (it != cmps.end() && typeOf(*e.args[0]).kind == Kind::Int && typeOf(*e.args[1]).kind == Kind::Int) {
        intOperands(*e.args[0], *e.args[1], 0x3B, 7);
        e_.jcc(negate(it->second), falseLabel);
        return;
      }
    }
    genCondValue(e);
    e_.regReg(0x85, EAX, EAX);
    e_.jcc(CE, falseLabel);
  }

  // A simple right operand: an integer literal or an integer variable.
  bool simpleInt(const Expr& e, Mem& mem, std::int32_t& imm, bool& isImm) {
    if (e.k == EK::IntLit) {
      isImm = true, imm = e.ival;
      return true;
    }
    if (e.k == EK::Name && !e.suffix) {
      Var* v = findVar(e.name);
      if (v && v->type.kind == Kind::Int) {
        isImm = false, mem = v->mem;
        return true;
      }
      auto c = consts_.find(e.name);
      if (!v && c != consts_.end() && c->second.type.kind == Kind::Int) {
        isImm = true, imm = c->second.i;
        return true;
      }
    }
    return false;
  }

  // A right operand a float instruction can take from memory: a float
  // literal or constant, or a float variable.
  bool simpleFloat(const Expr& e, Mem& mem) {
    if (e.k == EK::FloatLit) {
      mem = floatConst(e.fval);
      return true;
    }
    if (e.k == EK::Name && !e.suffix) {
      Var* v = findVar(e.name);
      if (v && v->type.kind == Kind::Float) {
        mem = v->mem;
        return true;
      }
      auto c = consts_.find(e.name);
      if (!v && c != consts_.end() && c->second.type.kind == Kind::Float) {
        mem = floatConst(c->second.f);
        return true;
      }
    }
    return false;
  }

  // No calls of the program's functions or of commands: evaluating it cannot
  // change a variable, so operands around it may be taken in any order.
  bool pure(const Expr& e) {
    switch (e.k) {
      case EK::IntLit:
      case EK::FloatLit:
      case EK::StrLit:
      case EK::Null:
        return true;
      case EK::Name:
        return findVar(e.name) || consts_.count(e.name) || !isCallable(e.name);
      case EK::Call:
        if (!arrays_.count(e.name)) return false;
        break;
      case EK::Unary:
      case EK::Binary:
      case EK::Field:
        break;
      default:
        return false;
    }
    for (const ExprP& a : e.args)
      if (!pure(*a)) return false;
    return true;
  }

  // eax = left OP right for the two-operand forms (opMem "op eax, [m]", aluKind
  // the group-1 immediate form).
  void intOperands(const Expr& l, const Expr& r, int opMem, int aluKind) {
    Mem m;
    std::int32_t imm = 0;
    bool isImm = false;
    if (simpleInt(r, m, imm, isImm)) {
      gen(l, intType());
      if (isImm)
        e_.aluImm(aluKind, EAX, imm);
      else
        e_.regMem(opMem, EAX, m);
      return;
    }
    // Commutative operations take a simple left operand last.
    bool commutative = opMem == 0x03 || opMem == 0x23 || opMem == 0x0B || opMem == 0x33;
    if (commutative && simpleInt(l, m, imm, isImm) && pure(r)) {
      gen(r, intType());
      if (isImm)
        e_.aluImm(aluKind, EAX, imm);
      else
        e_.regMem(opMem, EAX, m);
      return;
    }
    gen(l, intType());
    e_.push(EAX);
    gen(r, intType());
    e_.regReg(0x89, ECX, EAX);
    e_.pop(EAX);
    e_.byte(opMem);
    e_.byte(0xC1);  // op eax, ecx (register form of the same opcode)
  }

  VType genBinary(const Expr& e) {
    const Expr& l = *e.args[0];
    const Expr& r = *e.args[1];
    VType lt = typeOf(l), rt = typeOf(r);
    return binaryOp(e.name, lt, rt, e.pos, [&](const VType& t) { gen(l, t); }, [&](const VType& t) { gen(r, t); },
                    &l, &r);
  }

  // Generates left OP right; l and r (when given) allow the short forms.
  VType binaryOp(const std::string& op, const VType& lt, const VType& rt, const SourcePos& pos,
                 const std::function<void(const VType&)>& genL, const std::function<void(const VType&)>& genR,
                 const Expr* l = nullptr, const Expr* r = nullptr) {
    VType result = binaryType(op, lt, rt, pos);
    static const std::map<std::string, Cond> ints = {{"=", CE}, {"<>", CNE}, {"<", CL},
                                                     {">", CG}, {"<=", CLE}, {">=", CGE}};
    static const std::map<std::string, Cond> floats = {{"=", CE}, {"<>", CNE}, {"<", CB},
                                                       {">", CA}, {"<=", CBE}, {">=", CAE}};
    bool cmp = ints.count(op) > 0;
    if (cmp) {
      VType operand;
      if (lt.kind == Kind::Obj || rt.kind == Kind::Obj) {
        operand = lt.kind == Kind::Obj && !lt.obj.empty() ? lt : rt;
        genL(operand);
        e_.push(EAX);
        genR(operand);
        e_.push(EAX);
        callRt("__krObjCompare", 8);
        e_.regReg(0x85, EAX, EAX);
        e_.setcc(op == "=" ? CE : CNE);
        return result;
      }
      if (lt.kind == Kind::Str || rt.kind == Kind::Str) {
        genL(strType());
        e_.push(EAX);
        genR(strType());
        e_.pop(ECX);
        e_.push(EAX);
        e_.push(ECX);
        callRt("__krStrCompare", 8);
        e_.aluImm(7, EAX, 0);
        e_.setcc(ints.at(op));
        return result;
      }
      if (lt.kind == Kind::Float || rt.kind == Kind::Float) {
        genL(floatType());
        e_.push(EAX);
        e_.fstp(Mem::at(ESP));
        genR(floatType());
        e_.fld(Mem::at(ESP));
        e_.bytes({0xDF, 0xE9, 0xDD, 0xD8});  // fucomip st0, st1; fstp st0
        e_.pop(ECX);
        e_.setcc(floats.at(op));
        return result;
      }
      if (l && r) {
        intOperands(*l, *r, 0x3B, 7);
      } else {
        genL(intType());
        e_.push(EAX);
        genR(intType());
        e_.regReg(0x89, ECX, EAX);
        e_.pop(EAX);
        e_.regReg(0x39, EAX, ECX);
      }
      e_.setcc(ints.at(op));
      return result;
    }
    if (result.kind == Kind::Str) {
      genL(strType());
      e_.push(EAX);
      genR(strType());
      e_.pop(ECX);
      e_.push(EAX);
      e_.push(ECX);
      callRt("__krStrConcat", 8);
      return result;
    }
    if (result.kind == Kind::Float) {
      if (op == "^" || op == "mod") {
        genL(floatType());
        e_.push(EAX);
        e_.fstp(Mem::at(ESP));
        genR(floatType());
        e_.push(EAX);
        e_.fstp(Mem::at(ESP));
        // arguments: a at the lower address
        e_.pop(ECX);
        e_.pop(EAX);
        e_.push(ECX);
        e_.push(EAX);
        callRt(op == "^" ? "__krFPow" : "__krFMod", 8);
        return result;
      }
      Mem direct;
      if (r && simpleFloat(*r, direct)) {
        genL(floatType());
        e_.farith(op == "+" ? 0 : op == "*" ? 1 : op == "-" ? 4 : 6, direct);
        return result;
      }
      genL(floatType());
      e_.push(EAX);
      e_.fstp(Mem::at(ESP));
      genR(floatType());
      int kind = op == "+" ? 0 : op == "*" ? 1 : op == "-" ? 5 : 7;  // reversed forms: [esp] op st0
      e_.farith(kind, Mem::at(ESP));
      e_.pop(ECX);
      return result;
    }
    // integers
    static const std::map<std::string, std::pair<int, int>> simple = {
        {"+", {0x03, 0}}, {"-", {0x2B, 5}}, {"and", {0x23, 4}}, {"or", {0x0B, 1}}, {"xor", {0x33, 6}}};
    auto s = simple.find(op);
    if (s != simple.end()) {
      if (l && r) {
        intOperands(*l, *r, s->second.first, s->second.second);
      } else {
        genL(intType());
        e_.push(EAX);
        genR(intType());
        e_.regReg(0x89, ECX, EAX);
        e_.pop(EAX);
        e_.byte(s->second.first);
        e_.byte(0xC1);
      }
      return result;
    }
    if (r && r->k == EK::IntLit && (op == "shl" || op == "shr" || op == "sar" || op == "*")) {
      genL(intType());
      if (op == "*") {
        e_.bytes({0x69, 0xC0});  // imul eax, eax, imm32
        e_.dword(static_cast<std::uint32_t>(r->ival));
      } else {
        e_.bytes({0xC1, op == "shl" ? 0xE0 : op == "shr" ? 0xE8 : 0xF8, r->ival & 31});
      }
      return result;
    }
    genL(intType());
    e_.push(EAX);
    genR(intType());
    e_.regReg(0x89, ECX, EAX);
    e_.pop(EAX);
    if (op == "*") {
      e_.imul(EAX, ECX);
    } else if (op == "/" || op == "mod") {
      e_.bytes({0x99, 0xF7, 0xF9});  // cdq; idiv ecx
      if (op == "mod") e_.regReg(0x89, EAX, EDX);
    } else if (op == "shl") {
      e_.bytes({0xD3, 0xE0});
    } else if (op == "shr") {
      e_.bytes({0xD3, 0xE8});
    } else if (op == "sar") {
      e_.bytes({0xD3, 0xF8});
    } else {
      fail(pos, "unknown operator '" + op + "'");
    }
    return result;
  }

  // ---------- calls ----------
  VType genCall(const Expr& e) {
    auto f = funcs_.find(e.name);
    if (f != funcs_.end()) return callFunction(e, f->second);
    if (e.name == "abs" || e.name == "sgn" || e.name == "int" || e.name == "float" || e.name == "str")
      return builtin(e);
    const Command* c = cmds_.find(e.name);
    if (!c) fail(e.pos, "unknown function, command or array '" + e.name + "'");
    return callCommand(e, *c);
  }

  VType builtin(const Expr& e) {
    if (e.args.size() != 1) fail(e.pos, e.name + " takes one value");
    const Expr& a = *e.args[0];
    VType t = typeOf(a);
    if (e.name == "int") {
      gen(a, intType());
      return intType();
    }
    if (e.name == "float") {
      gen(a, floatType());
      return floatType();
    }
    if (e.name == "str") {
      gen(a, strType());
      return strType();
    }
    if (t.kind == Kind::Float) {
      gen(a, t);
      e_.push(EAX);
      e_.fstp(Mem::at(ESP));
      callRt(e.name == "abs" ? "__krFAbs" : "__krFSgn", 4);
      return floatType();
    }
    gen(a, intType());
    e_.push(EAX);
    callRt(e.name == "abs" ? "__krAbs" : "__krSgn", 4);
    return intType();
  }

  // Arguments go into a block reserved below the stack pointer, first
  // argument lowest, evaluated left to right.
  void storeArg(const VType& t, int index) {
    Mem slot = Mem::at(ESP, 4 * index);
    if (t.kind == Kind::Float)
      e_.fstp(slot);
    else
      e_.store(slot, EAX);
  }

  VType callFunction(const Expr& e, const FuncInfo& f) {
    const Function& d = *f.decl;
    if (e.args.size() > d.params.size())
      fail(e.pos, "too many values for function '" + d.name + "' (it takes " + std::to_string(d.params.size()) + ")");
    int n = static_cast<int>(d.params.size());
    e_.addEsp(-4 * n);
    for (int i = 0; i < n; ++i) {
      if (i < static_cast<int>(e.args.size())) {
        gen(*e.args[i], f.params[i]);
      } else if (d.params[i].def && d.params[i].def->k == EK::Null) {
        e_.movImm(EAX, 0);
      } else if (d.params[i].def) {
        ConstVal v;
        constValue(*d.params[i].def, v);
        genConst(convertConst(v, f.params[i], e.pos));
      } else {
        fail(e.pos, "function '" + d.name + "' needs a value for '" + d.params[i].name + "'");
      }
      storeArg(f.params[i], i);
    }
    e_.callLabel(f.label);
    e_.addEsp(4 * n);
    return f.result;
  }

  VType callCommand(const Expr& e, const Command& c) {
    if (e.args.size() > c.params.size())
      fail(e.pos, "too many values for " + c.name + " (it takes " + std::to_string(c.params.size()) + ")");
    int n = static_cast<int>(c.params.size());
    e_.addEsp(-4 * n);
    for (int i = 0; i < n; ++i) {
      const CommandParam& p = c.params[i];
      VType t{p.kind, ""};
      if (i < static_cast<int>(e.args.size())) {
        gen(*e.args[i], t);
      } else if (p.hasDefault) {
        ConstVal v;
        v.type = t;
        v.i = p.defaultValue;
        v.f = static_cast<float>(p.defaultValue);
        genConst(v);
      } else {
        fail(e.pos, c.name + " needs a value for '" + p.name + "'");
      }
      storeArg(t, i);
    }
    e_.call(c.linkName);
    e_.addEsp(4 * n);
    return VType{c.result, ""};
  }

  // ---------- assignment ----------
  // Stores the value (already computed, of type t) into the target.
  void assign(const Expr& target, const Expr* value, const std::function<VType()>& genValue) {
    if (target.k == EK::Name) {
      if (consts_.count(target.name) && !findVar(target.name)) fail(target.pos, "cannot assign to constant '" + target.name + "'");
      if (arrays_.count(target.name)) fail(target.pos, "'" + target.name + "' is an array: give its indices");
      Var* existing = findVar(target.name);
      Var* v;
      if (!existing && !target.suffix && value && typeOf(*value).kind == Kind::Obj && !typeOf(*value).obj.empty()) {
        fail(target.pos, "declare '" + target.name + "' as ." + typeOf(*value).obj + " to hold an object");
      }
      v = &variable(target);
      VType t = v->type;
      Mem mem = v->mem;
      VType got = genValue();
      convert(got, t, target.pos);
      storeTo(mem, t);
      return;
    }
    VType t = typeOf(target);
    Mem indexMem;
    std::int32_t indexImm = 0;
    bool indexIsImm = false;
    if (target.k == EK::Call && t.kind == Kind::Int && target.args.size() == 1 &&
        arrays_[target.name].dims == 1 && simpleInt(*target.args[0], indexMem, indexImm, indexIsImm)) {
      // No call can come between the value and the store: it waits in edx.
      const ArrayInfo& a = arrays_[target.name];
      // a(i) = a(i) OP value: the element is updated in place.
      int inPlace = value ? inPlaceOpcode(target, *value) : 0;
      // The value waits in edx, unless it is a register local already.
      Reg source = EDX;
      if (const Var* r = inPlace ? registerVar(*value->args[1]) : nullptr) {
        source = r->mem.reg;
      } else if (inPlace) {
        gen(*value->args[1], intType());
        e_.regReg(0x89, EDX, EAX);
      } else {
        VType got = genValue();
        convert(got, t, target.pos);
        e_.regReg(0x89, EDX, EAX);
      }
      Reg index = EAX;
      if (indexIsImm)
        e_.movImm(EAX, static_cast<std::uint32_t>(indexImm));
      else if (indexMem.base == Mem::Direct)
        index = indexMem.reg;
      else
        e_.load(EAX, indexMem);
      e_.regMem(0x3B, index, Mem::sym(a.symbol, 16));  // the count kept for index checks
      e_.jcc(CAE, boundsFail());
      e_.load(ECX, Mem::sym(a.symbol, 0));
      e_.bytes({inPlace ? inPlace : 0x89, 0x04 | (source << 3), 0x80 | (index << 3) | ECX});  // op [ecx+index*4], source
      return;
    }
    VType got = genValue();
    convert(got, t, target.pos);
    if (t.kind == Kind::Float) {
      e_.push(EAX);
      e_.fstp(Mem::at(ESP));
    } else {
      e_.push(EAX);
    }
    if (target.k == EK::Call)
      elementAddress(target);
    else
      fieldAddress(target);
    if (t.kind == Kind::Str || t.kind == Kind::Obj) {
      e_.push(EAX);
      callRt(t.kind == Kind::Str ? "__krStrStore" : "__krObjStore", 8);
    } else {
      e_.pop(ECX);
      e_.store(Mem::at(EAX), ECX);
    }
  }

  // The "op r/m32, r32" opcode when value is target OP x for an integer
  // element target with a plain index, OP one of + - And Or Xor and x free of
  // calls; else 0.
  int inPlaceOpcode(const Expr& target, const Expr& value) {
    static const std::map<std::string, int> ops = {{"+", 0x01}, {"-", 0x29}, {"and", 0x21}, {"or", 0x09}, {"xor", 0x31}};
    if (value.k != EK::Binary) return 0;
    auto op = ops.find(value.name);
    if (op == ops.end()) return 0;
    const Expr& l = *value.args[0];
    const Expr& r = *value.args[1];
    if (l.k != EK::Call || l.name != target.name || l.args.size() != 1) return 0;
    const Expr& li = *l.args[0];
    const Expr& ti = *target.args[0];
    bool sameIndex = li.k == ti.k && ((li.k == EK::IntLit && li.ival == ti.ival) ||
                                      (li.k == EK::Name && li.name == ti.name && li.suffix == ti.suffix));
    if (!sameIndex || typeOf(r).kind != Kind::Int || !pure(r)) return 0;
    return op->second;
  }

  void storeTo(const Mem& mem, const VType& t) {
    switch (t.kind) {
      case Kind::Float: e_.fstp(mem); break;
      case Kind::Str:
      case Kind::Obj:
        e_.push(EAX);
        e_.lea(EAX, mem);
        e_.push(EAX);
        callRt(t.kind == Kind::Str ? "__krStrStore" : "__krObjStore", 8);
        break;
      default: e_.store(mem, EAX); break;
    }
  }

  // ---------- statements ----------
  void block(const Block& b) {
    for (const StmtP& s : b) {
      try {
        statement(*s);
      } catch (CompileError&) {
        if (diag_.full()) return;
      }
    }
  }

  void debugStatement(const SourcePos& pos) {
    if (!opt_.debug) return;
    e_.pushImm(static_cast<std::uint32_t>(pos.line));
    e_.pushSymbol(literal(diag_.files[pos.file]));
    callRt("__krDebugStmt", 8);
  }

  int labelFor(const std::string& name) {
    auto it = scope_->labels.find(name);
    if (it != scope_->labels.end()) return it->second;
    return scope_->labels[name] = e_.newLabel();
  }

  void statement(const Stmt& s) {
    if (s.k != SK::Label) debugStatement(s.pos);
    switch (s.k) {
      case SK::Assign:
        assign(*s.args[0], s.args[1].get(), [&] { return genRaw(*s.args[1]); });
        break;
      case SK::Call: {
        const Expr& c = *s.args[0];
        if (arrays_.count(c.name)) fail(c.pos, "'" + c.name + "' is an array: assign to its element with =");
        VType t = genCall(c);
        drop(t);
        break;
      }
      case SK::If: {
        int end = e_.newLabel();
        for (std::size_t i = 0; i < s.blocks.size(); ++i) {
          int next = e_.newLabel();
          genCondJump(*s.args[i], next);
          block(s.blocks[i]);
          e_.jmp(end);
          e_.bind(next);
        }
        if (s.hasElse) block(s.elseBlock);
        e_.bind(end);
        break;
      }
      case SK::While: {
        int top = e_.newLabel(), exit = e_.newLabel();
        e_.bind(top);
        genCondJump(*s.args[0], exit);
        loopBody(s.blocks[0], exit);
        e_.jmp(top);
        e_.bind(exit);
        break;
      }
      case SK::Repeat: {
        int top = e_.newLabel(), exit = e_.newLabel();
        e_.bind(top);
        loopBody(s.blocks[0], exit);
        if (s.forever)
          e_.jmp(top);
        else
          genCondJump(*s.args[0], top);
        e_.bind(exit);
        break;
      }
      case SK::For: forLoop(s); break;
      case SK::ForEach: forEach(s); break;
      case SK::Select: select(s); break;
      case SK::Exit:
        if (scope_->loops.empty()) fail(s.pos, "Exit outside a loop");
        e_.jmp(scope_->loops.back().exitLabel);
        break;
      case SK::Goto:
        e_.jmp(labelFor(s.name));
        scope_->labelUses.emplace(s.name, s.pos);
        break;
      case SK::Gosub:
        e_.aluMemImm(0, Mem::frame(-4), 1);
        e_.callLabel(labelFor(s.name));
        scope_->labelUses.emplace(s.name, s.pos);
        break;
      case SK::Label: {
        int l = labelFor(s.name);
        if (e_.bound(l)) fail(s.pos, "label '" + s.name + "' is already defined");
        e_.bind(l);
        break;
      }
      case SK::Return: returnStmt(s); break;
      case SK::End: {
        const Command* c = cmds_.find("end");
        if (!c) fail(s.pos, "the runtime has no End command");
        e_.call(c->linkName);
        break;
      }
      case SK::Decl: declStmt(s); break;
      case SK::Dim: dimStmt(s); break;
      case SK::Delete: {
        VType t = genRaw(*s.args[0]);
        if (t.kind != Kind::Obj) fail(s.pos, "Delete needs an object");
        e_.push(EAX);
        callRt("__krObjDelete", 4);
        break;
      }
      case SK::DeleteEach:
        if (!types_.count(s.name)) fail(s.pos, "unknown type '" + s.name + "'");
        e_.pushSymbol(types_[s.name].symbol);
        callRt("__krObjDeleteEach", 4);
        break;
      case SK::Insert: {
        VType a = typeOf(*s.args[0]), b = typeOf(*s.args[1]);
        if (a.kind != Kind::Obj || b.kind != Kind::Obj || a.obj != b.obj || a.obj.empty())
          fail(s.pos, "Insert needs two objects of one type");
        gen(*s.args[0], a);
        nullCheck();
        e_.push(EAX);
        gen(*s.args[1], b);
        nullCheck();
        e_.pop(ECX);
        e_.push(EAX);
        e_.push(ECX);
        callRt(s.before ? "__krObjInsBefore" : "__krObjInsAfter", 8);
        break;
      }
      case SK::Read:
        for (const ExprP& target : s.args) {
          if (target->k == EK::Name && !findVar(target->name) && consts_.count(target->name))
            fail(target->pos, "cannot Read into constant '" + target->name + "'");
          VType t = target->k == EK::Name ? variable(*target).type : typeOf(*target);
          if (t.kind == Kind::Obj) fail(target->pos, "cannot Read an object");
          assign(*target, nullptr, [&] {
            e_.call(t.kind == Kind::Float ? "__krReadFloat" : t.kind == Kind::Str ? "__krReadStr" : "__krReadInt");
            return t;
          });
        }
        break;
      case SK::Restore: {
        int index = 0;
        if (!s.name.empty()) {
          bool found = false;
          for (const auto& l : prog_.dataLabels)
            if (l.first == s.name) index = l.second, found = true;
          if (!found) fail(s.pos, "no label '" + s.name + "'");
        }
        e_.pushSymbol("__DATA", 8 * index);
        callRt("__krRestore", 4);
        break;
      }
    }
  }

  void loopBody(const Block& b, int exit) {
    scope_->loops.push_back(Loop{exit});
    block(b);
    scope_->loops.pop_back();
  }

  void forLoop(const Stmt& s) {
    const Expr& var = *s.args[0];
    if (var.k != EK::Name) fail(var.pos, "the For variable must be a plain variable");
    Var& v = variable(var);
    VType t = v.type;
    Mem mem = v.mem;
    if (t.kind != Kind::Int && t.kind != Kind::Float) fail(var.pos, "the For variable must be a number");
    ConstVal step{t, 1, 1.0f, ""};
    if (s.args.size() > 3) {
      ConstVal raw;
      if (!constValue(*s.args[3], raw) || raw.type.kind == Kind::Str)
        fail(s.args[3]->pos, "Step must be a constant number");
      step = convertConst(raw, t, s.args[3]->pos);
      if ((t.kind == Kind::Int && step.i == 0) || (t.kind == Kind::Float && step.f == 0))
        fail(s.args[3]->pos, "Step cannot be 0");
    }
    bool up = t.kind == Kind::Int ? step.i > 0 : step.f > 0;
    gen(*s.args[1], t);
    storeTo(mem, t);
    // A constant integer limit is compared as an immediate; any other is
    // worked out once, before the first round.
    ConstVal fixedLimit;
    bool immLimit = t.kind == Kind::Int && constValue(*s.args[2], fixedLimit) && fixedLimit.type.kind != Kind::Str;
    if (immLimit) fixedLimit = convertConst(fixedLimit, t, s.args[2]->pos);
    Mem limit;
    if (!immLimit) {
      limit = newSlot();
      gen(*s.args[2], t);
      storeTo(limit, t);
    }
    // The test sits after the body, so each round takes one jump.
    int top = e_.newLabel(), test = e_.newLabel(), exit = e_.newLabel();
    e_.jmp(test);
    e_.bind(top);
    loopBody(s.blocks[0], exit);
    if (t.kind == Kind::Int) {
      // Stepping past the largest (or smallest) integer ends the loop
      // instead of wrapping around forever.
      e_.aluMemImm(0, mem, step.i);
      e_.jcc(CO, exit);
    } else {
      e_.fld(mem);
      e_.farith(0, floatConst(step.f));
      e_.fstp(mem);
    }
    e_.bind(test);
    if (t.kind == Kind::Int) {
      if (immLimit) {
        e_.aluMemImm(7, mem, fixedLimit.i);
      } else if (mem.base == Mem::Direct) {
        e_.regMem(0x3B, mem.reg, limit);
      } else {
        e_.load(EAX, mem);
        e_.regMem(0x3B, EAX, limit);
      }
      e_.jcc(up ? CLE : CGE, top);
    } else {
      e_.fld(limit);
      e_.fld(mem);
      e_.bytes({0xDF, 0xE9, 0xDD, 0xD8});  // fucomip; fstp st0
      e_.jcc(up ? CBE : CAE, top);
    }
    e_.bind(exit);
  }

  void forEach(const Stmt& s) {
    const Expr& var = *s.args[0];
    if (var.k != EK::Name) fail(var.pos, "the Each variable must be a plain variable");
    if (!types_.count(s.name)) fail(s.pos, "unknown type '" + s.name + "'");
    Var* existing = findVar(var.name);
    if (!existing && !var.suffix) fail(var.pos, "declare the loop variable as '" + var.name + "." + s.name + "'");
    Var& v = variable(var);
    if (v.type != objType(s.name)) fail(var.pos, "'" + var.name + "' is " + kindName(v.type) + ", not ." + s.name);
    Mem mem = v.mem;
    int top = e_.newLabel(), exit = e_.newLabel(), next = e_.newLabel();
    e_.pushSymbol(types_[s.name].symbol);
    e_.lea(EAX, mem);
    e_.push(EAX);
    callRt("__krObjEachFirst", 8);
    e_.regReg(0x85, EAX, EAX);
    e_.jcc(CE, exit);
    e_.bind(top);
    loopBody(s.blocks[0], exit);
    e_.bind(next);
    e_.lea(EAX, mem);
    e_.push(EAX);
    callRt("__krObjEachNext", 4);
    e_.regReg(0x85, EAX, EAX);
    e_.jcc(CNE, top);
    e_.bind(exit);
  }

  void select(const Stmt& s) {
    VType t = typeOf(*s.args[0]);
    if (t.kind == Kind::None) fail(s.pos, "this command returns no value");
    Mem slot = newSlot();
    gen(*s.args[0], t);
    if (t.kind == Kind::Str) {
      scope_->releaseStrings.push_back(slot);
      storeTo(slot, t);
    } else if (t.kind == Kind::Float) {
      e_.fstp(slot);
    } else {
      e_.store(slot, EAX);
    }
    int end = e_.newLabel();
    const Case* fallback = nullptr;
    for (const Case& c : s.cases) {
      if (c.values.empty()) {
        if (fallback) fail(c.pos, "second Default in one Select");
        fallback = &c;
        continue;
      }
      int body = e_.newLabel(), next = e_.newLabel();
      for (const ExprP& value : c.values) {
        VType vt = typeOf(*value);
        binaryOp("=", t, vt, value->pos, [&](const VType& want) {
          if (t.kind == Kind::Str) {
            e_.lea(EAX, slot);
            e_.push(EAX);
            callRt("__krStrLoad", 4);
          } else if (t.kind == Kind::Float) {
            e_.fld(slot);
          } else {
            e_.load(EAX, slot);
          }
          convert(t, want, value->pos);
        }, [&](const VType& want) { gen(*value, want); });
        e_.regReg(0x85, EAX, EAX);
        e_.jcc(CNE, body);
      }
      e_.jmp(next);
      e_.bind(body);
      block(c.body);
      e_.jmp(end);
      e_.bind(next);
    }
    if (fallback) block(fallback->body);
    e_.bind(end);
    if (t.kind == Kind::Str) {
      e_.pushMem(slot);
      callRt("__krStrRelease", 4);
      e_.movMemImm(slot, 0);
    }
  }

  void returnStmt(const Stmt& s) {
    if (!s.args.empty()) {
      if (scope_->isMain) {
        VType t = genRaw(*s.args[0]);
        drop(t);
      } else {
        gen(*s.args[0], scope_->func->result);
        // An object result is held as a reference, so it outlives the locals.
        storeTo(Mem::frame(-8), scope_->func->result);
      }
      e_.jmp(scope_->epilogue);
      return;
    }
    // Return from the innermost active Gosub, else from the function.
    e_.aluMemImm(7, Mem::frame(-4), 0);
    e_.jcc(CE, scope_->epilogue);
    e_.aluMemImm(5, Mem::frame(-4), 1);
    e_.ret();
  }

  void declStmt(const Stmt& s) {
    for (const VarDecl& d : s.vars) {
      try {
        VType t = typeFromSuffix(d.suffix, d.typeName, d.pos);
        Var* v;
        if (s.name == "global") {
          v = &globals_[d.name];
          if (scope_->vars.count(d.name)) fail(d.pos, "'" + d.name + "' is already a variable of the main program");
        } else {
          auto it = scope_->vars.find(d.name);
          if (it != scope_->vars.end()) {
            if (d.suffix && it->second.type != t) fail(d.pos, "'" + d.name + "' is already " + kindName(it->second.type));
            v = &it->second;
          } else {
            v = &declareLocal(d.name, t, true, d.pos);
          }
        }
        if (d.init) {
          Mem mem = v->mem;
          VType vt = v->type;
          gen(*d.init, vt);
          storeTo(mem, vt);
        }
      } catch (CompileError&) {
      }
    }
  }

  void dimStmt(const Stmt& s) {
    for (const VarDecl& d : s.vars) {
      const ArrayInfo& a = arrays_[d.name];
      for (const ExprP& bound : d.bounds) {
        gen(*bound, intType());
        e_.push(EAX);
      }
      const int counts = 12 + 4 * a.dims;
      for (int k = a.dims - 1; k >= 0; --k) {
        e_.pop(EAX);
        e_.store(Mem::sym(a.symbol, 12 + 4 * k), EAX);
        // The count kept for index checks: bound + 1, never negative.
        e_.aluImm(0, EAX, 1);
        int ok = e_.newLabel();
        e_.jcc(CGE, ok);
        e_.movImm(EAX, 0);
        e_.bind(ok);
        e_.store(Mem::sym(a.symbol, counts + 4 * k), EAX);
      }
      e_.pushSymbol(a.symbol);
      callRt("__krDimArray", 4);
    }
  }

  // ---------- functions ----------
  void prologue() {
    e_.push(EBP);
    e_.regReg(0x89, EBP, ESP);
    // Zero-fills the frame: the count is patched once the body is known.
    e_.movImm(EAX, 0);
    e_.byte(0xB9);  // mov ecx, imm32
    frameCountAt_ = e_.here();
    e_.dword(0);
    int loop = e_.newLabel();
    e_.bind(loop);
    e_.push(EAX);
    e_.bytes({0x49});  // dec ecx
    e_.jcc(CNE, loop);
  }

  void finishFrame() { e_.patch(frameCountAt_, static_cast<std::uint32_t>(scope_->frameSize / 4)); }

  void failStubs() {
    if (scope_->boundsFail >= 0) {
      e_.bind(scope_->boundsFail);
      e_.call("__krArrayBoundsEx");
    }
    if (scope_->nullFail >= 0) {
      e_.bind(scope_->nullFail);
      e_.call("__krNullObjEx");
    }
  }

  void checkLabels() {
    for (const auto& use : scope_->labelUses)
      if (!e_.bound(scope_->labels[use.first])) {
        diag_.error(use.second, "no label '" + use.first + "'" + (scope_->isMain ? "" : " in this function"));
        e_.bind(scope_->labels[use.first]);  // keeps the jump resolvable
      }
  }

  void genMain() {
    Scope scope;
    scope_ = &scope;
    symbols_.push_back({"__MAIN", 0});
    prologue();
    scope.epilogue = e_.newLabel();
    e_.pushSymbol("__DATA");
    callRt("__krRestore", 4);
    block(prog_.main);
    e_.bind(scope.epilogue);
    e_.bytes({0xC9});  // leave
    e_.ret();
    failStubs();
    finishFrame();
    checkLabels();
    scope_ = nullptr;
  }

  // ---------- registers for hot integer locals ----------
  // How often a name is used (ten times more per loop level around the use),
  // and whether any use gives it a type other than integer.
  struct Uses {
    long weight = 0;
    bool notInt = false;
  };
  using UseMap = std::unordered_map<std::string_view, Uses>;

  static void countUse(const std::string& name, char suffix, const std::string& typeName, long weight, UseMap& uses) {
    Uses& u = uses[name];
    u.weight += weight;
    if ((suffix && suffix != '%') || !typeName.empty()) u.notInt = true;
  }
  void countUses(const Expr& e, long weight, UseMap& uses) {
    if (e.k == EK::Name) countUse(e.name, e.suffix, e.typeName, weight, uses);
    for (const ExprP& a : e.args) countUses(*a, weight, uses);
  }
  void countUses(const Block& b, long weight, UseMap& uses) {
    for (const StmtP& sp : b) {
      const Stmt& s = *sp;
      bool loop = s.k == SK::For || s.k == SK::While || s.k == SK::Repeat || s.k == SK::ForEach;
      long inner = loop && weight < 10000 ? weight * 10 : weight;
      for (const ExprP& a : s.args) countUses(*a, inner, uses);
      for (const Block& body : s.blocks) countUses(body, inner, uses);
      countUses(s.elseBlock, weight, uses);
      for (const Case& c : s.cases) {
        for (const ExprP& v : c.values) countUses(*v, weight, uses);
        countUses(c.body, weight, uses);
      }
      for (const VarDecl& d : s.vars) {
        countUse(d.name, d.suffix, d.typeName, weight, uses);
        if (d.init) countUses(*d.init, weight, uses);
      }
    }
  }

  // ebx, esi and edi survive every call (the runtime's and the program's own),
  // so a local kept there needs no load or store around them. Integer locals
  // used inside a loop get them, the busiest first; the rest stay in the frame.
  void chooseRegisters(const Function& d) {
    UseMap uses;
    countUses(d.body, 1, uses);
    for (const Param& p : d.params) uses.erase(p.name);
    std::vector<std::pair<long, std::string>> ranked;
    for (const auto& u : uses) {
      if (u.second.notInt || u.second.weight < 10) continue;
      std::string name(u.first);
      if (globals_.count(name) || consts_.count(name) || arrays_.count(name) || isCallable(name)) continue;
      ranked.push_back({-u.second.weight, name});
    }
    std::sort(ranked.begin(), ranked.end());
    static const Reg pool[] = {EBX, ESI, EDI};
    for (std::size_t i = 0; i < ranked.size() && i < 3; ++i) {
      scope_->registers[ranked[i].second] = pool[i];
      Mem slot = newSlot();
      e_.store(slot, pool[i]);
      e_.regReg(0x31, pool[i], pool[i]);  // a local starts at 0
      scope_->savedRegisters.push_back({pool[i], slot});
    }
  }

  void genFunction(const FuncInfo& f) {
    const Function& d = *f.decl;
    Scope scope;
    scope.isMain = false;
    scope.func = &f;
    scope_ = &scope;
    e_.bind(f.label);
    symbols_.push_back({"_f" + d.name, e_.here()});
    prologue();
    chooseRegisters(d);
    scope.epilogue = e_.newLabel();
    if (opt_.debug) {
      e_.pushImm(static_cast<std::uint32_t>(d.pos.line));
      e_.pushSymbol(literal(diag_.files[d.pos.file]));
      e_.pushSymbol(literal(d.display));
      callRt("__krDebugEnter", 12);
    }
    try {
      for (std::size_t i = 0; i < d.params.size(); ++i) {
        const Param& p = d.params[i];
        if (globals_.count(p.name) == 0 && consts_.count(p.name)) fail(p.pos, "'" + p.name + "' is a constant");
        Var v;
        v.type = f.params[i];
        v.declared = true;
        Mem incoming = Mem::frame(8 + 4 * static_cast<int>(i));
        if (v.type.kind == Kind::Obj) {
          // Objects come borrowed; the parameter holds its own reference.
          v.mem = newSlot();
          e_.load(EAX, incoming);
          storeTo(v.mem, v.type);
          scope.releaseObjects.push_back(v.mem);
        } else {
          v.mem = incoming;
          if (v.type.kind == Kind::Str) scope.releaseStrings.push_back(v.mem);  // the caller's temporary is ours
        }
        scope.vars[p.name] = v;
      }
    } catch (CompileError&) {
    }
    block(d.body);
    e_.bind(scope.epilogue);
    for (const Mem& m : scope.releaseStrings) {
      e_.pushMem(m);
      callRt("__krStrRelease", 4);
    }
    for (const Mem& m : scope.releaseObjects) {
      e_.pushMem(m);
      callRt("__krObjRelease", 4);
    }
    if (opt_.debug) e_.call("__krDebugLeave");
    switch (f.result.kind) {
      case Kind::Float: e_.fld(Mem::frame(-8)); break;
      case Kind::Str: {
        int ok = e_.newLabel();
        e_.load(EAX, Mem::frame(-8));
        e_.regReg(0x85, EAX, EAX);
        e_.jcc(CNE, ok);
        e_.pushSymbol(literal(""));
        callRt("__krStrConst", 4);
        e_.bind(ok);
        break;
      }
      case Kind::Obj: {
        // Drops the reference the Return took; a deleted object reads as Null.
        e_.pushMem(Mem::frame(-8));
        callRt("__krObjRelease", 4);
        int done = e_.newLabel();
        e_.load(EAX, Mem::frame(-8));
        e_.regReg(0x85, EAX, EAX);
        e_.jcc(CE, done);
        e_.aluMemImm(7, Mem::at(EAX), 0);
        e_.jcc(CNE, done);
        e_.movImm(EAX, 0);
        e_.bind(done);
        break;
      }
      default: e_.load(EAX, Mem::frame(-8)); break;
    }
    for (const auto& saved : scope.savedRegisters) e_.load(saved.first, saved.second);
    e_.bytes({0xC9});  // leave
    e_.ret();
    failStubs();
    finishFrame();
    checkLabels();
    scope_ = nullptr;
  }

  // ---------- data block ----------
  // Data starts on a page of its own, so no page is both written and executed.
  void dataAlign() {
    while (e_.code.size() % 4096) e_.byte(0xCC);
  }
  void defineHere(const std::string& sym) { symbols_.push_back({sym, e_.here()}); }

  void emitData() {
    dataAlign();
    std::set<std::string> words(dataWords_.begin(), dataWords_.end());
    for (const std::string& w : words) {
      defineHere(w);
      e_.dword(0);
    }
    for (const std::string& name : arrayOrder_) {
      const ArrayInfo& a = arrays_[name];
      defineHere(a.symbol);
      e_.dword(0);
      e_.dword(a.type.kind == Kind::Float ? 2 : a.type.kind == Kind::Str ? 3 : a.type.kind == Kind::Obj ? 4 : 1);
      e_.dword(static_cast<std::uint32_t>(a.dims));
      for (int k = 0; k < 2 * a.dims; ++k) e_.dword(0);  // sizes, then the counts for index checks
    }
    for (const TypeDecl* t : typeOrder_) {
      const TypeInfo& info = types_[t->name];
      defineHere(info.symbol);
      for (int head = 0; head < 2; ++head) {
        e_.dword(0);
        e_.absRef(info.symbol, 20 * head);
        e_.absRef(info.symbol, 20 * head);
        e_.dword(0);
        e_.dword(0xFFFFFFFFu);
      }
      std::vector<int> codes;
      for (const FieldDecl& f : t->fields) {
        auto it = info.fields.find(f.name);
        if (it == info.fields.end()) continue;
        Kind k = it->second.type.kind;
        int code = k == Kind::Float ? 2 : k == Kind::Str ? 3 : k == Kind::Obj ? 4 : 1;
        for (int i = 0; i < f.count; ++i) codes.push_back(code);
      }
      e_.dword(static_cast<std::uint32_t>(codes.size()));
      for (int c : codes) e_.dword(static_cast<std::uint32_t>(c));
    }
    for (const auto& f : floatPool_) {
      defineHere(f.second);
      e_.dword(f.first);
    }
    defineHere("__DATA");
    for (const DataValue& v : prog_.data) {
      if (v.kind == Kind::Str) {
        e_.dword(5);
        e_.absRef(literal(v.text), 0);
      } else if (v.kind == Kind::Float) {
        e_.dword(2);
        e_.dword(floatBits(v.fval));
      } else {
        e_.dword(1);
        e_.dword(static_cast<std::uint32_t>(v.ival));
      }
    }
    e_.dword(0);
    for (const auto& lit : literals_) {
      defineHere(lit.second);
      for (char c : lit.first) e_.byte(static_cast<unsigned char>(c));
      e_.byte(0);
    }
  }

  void writeContainer(std::vector<std::uint8_t>& out) {
    auto word = [&](std::uint32_t v) {
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
    };
    auto text = [&](const std::string& s) {
      out.insert(out.end(), s.begin(), s.end());
      out.push_back(0);
    };
    out.clear();
    out.reserve(e_.code.size() + 16 * (symbols_.size() + e_.relative.size() + e_.absolute.size()) + 16);
    word(static_cast<std::uint32_t>(e_.code.size()));
    out.insert(out.end(), e_.code.begin(), e_.code.end());
    word(static_cast<std::uint32_t>(symbols_.size()));
    for (const auto& s : symbols_) {
      text(s.first);
      word(s.second);
    }
    word(static_cast<std::uint32_t>(e_.relative.size()));
    for (const Fixup& f : e_.relative) {
      text(f.target);
      word(f.offset);
    }
    word(static_cast<std::uint32_t>(e_.absolute.size()));
    for (const Fixup& f : e_.absolute) {
      text(f.target);
      word(f.offset);
    }
  }

  const Program& prog_;
  const CommandTable& cmds_;
  const CompileOptions& opt_;
  Diagnostics& diag_;
  Emitter e_;
  Scope* scope_ = nullptr;
  std::uint32_t frameCountAt_ = 0;
  Reg elementIndexReg_ = EAX;
  int numbered_ = 0;
  std::map<std::string, TypeInfo> types_;
  std::vector<const TypeDecl*> typeOrder_;
  std::unordered_map<std::string, ConstVal> consts_;
  std::unordered_map<std::string, Var> globals_;
  std::unordered_map<std::string, ArrayInfo> arrays_;
  std::vector<std::string> arrayOrder_;
  std::map<std::string, FuncInfo> funcs_;
  std::vector<std::string> dataWords_;
  std::map<std::string, std::string> literals_;
  std::map<std::uint32_t, std::string> floatPool_;
  std::vector<std::pair<std::string, std::uint32_t>> symbols_;
};

}  // namespace

bool compileSource(const std::string& fileName, const std::string& text, const CommandTable& commands,
                   const CompileOptions& options, Diagnostics& diag, std::vector<std::uint8_t>& module) {
  std::vector<Token> tokens =
      options.readIncludes ? lexProgram(fileName, text, diag) : lexText(fileName, text, diag);
  auto isCommand = [&](const std::string& name) { return commands.find(name) != nullptr; };
  Program program = parseProgram(tokens, isCommand, diag);
  if (diag.full()) return false;
  CodeGen gen(program, commands, options, diag);
  bool ok = gen.run(module, tokens.size());
  return ok && !diag.failed();
}

}  // namespace krc
