// The syntax tree: expressions and statements as the parser reads them; names
// are resolved by the code generator.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "compiler/diagnostics.h"

namespace krc {

enum class Kind { None, Int, Float, Str, Obj };

// A value type; objects carry their (lower-case) type name.
struct VType {
  Kind kind = Kind::None;
  std::string obj;
  bool operator==(const VType& o) const { return kind == o.kind && obj == o.obj; }
  bool operator!=(const VType& o) const { return !(*this == o); }
};
inline VType intType() { return VType{Kind::Int, ""}; }
inline VType floatType() { return VType{Kind::Float, ""}; }
inline VType strType() { return VType{Kind::Str, ""}; }
inline VType objType(const std::string& t) { return VType{Kind::Obj, t}; }

struct Expr;
using ExprP = std::unique_ptr<Expr>;

enum class EK {
  IntLit, FloatLit, StrLit, Null,
  Name,      // a variable or constant, or a call without arguments
  Call,      // name(args): array element, function or command call
  Field,     // base\field[index]
  Unary,     // op: - + ~ not
  Binary,
  New, First, Last,   // type name in name
  After, Before,      // of a[0]
  Handle,             // a[0]
  Object,             // Object.T(a[0]), type in name
};

struct Expr {
  EK k;
  SourcePos pos;
  std::int32_t ival = 0;
  float fval = 0;
  std::string name;   // names, strings, operators, field names
  char suffix = 0;    // '%', '#', '$', '.' (object type in typeName) or 0
  std::string typeName;
  bool parens = false;        // Call written with parentheses
  int height = 1;             // levels of operators below, to bound recursion
  std::vector<ExprP> args;    // operands, call arguments; Field: base [, index]
  Expr(EK kind, SourcePos p) : k(kind), pos(p) {}
};

struct Stmt;
using StmtP = std::unique_ptr<Stmt>;
using Block = std::vector<StmtP>;

enum class SK {
  Assign,     // args[0] = args[1]
  Call,       // expr[0] is a Call or Name evaluated for its effect
  If,         // conds/blocks: if, elseifs; elseBlock
  While, Repeat, For, ForEach, Select,
  Exit, Goto, Gosub, Label, Return, End,
  Decl,       // Global/Local: vars with optional init
  Dim,        // arrays with bound expressions
  Delete, DeleteEach, Insert,
  Read, Restore,
};

struct VarDecl {
  std::string name;
  char suffix = 0;
  std::string typeName;
  ExprP init;
  std::vector<ExprP> bounds;  // Dim
  SourcePos pos;
};

struct Case {
  std::vector<ExprP> values;  // empty: Default
  Block body;
  SourcePos pos;
};

struct Stmt {
  SK k;
  SourcePos pos;
  std::vector<ExprP> args;
  std::vector<Block> blocks;      // If: one per condition; loops: body
  Block elseBlock;
  bool hasElse = false;
  std::vector<Case> cases;
  std::vector<VarDecl> vars;
  std::string name;               // labels, types, Decl scope ("global"/"local")
  bool forever = false;           // Repeat ... Forever
  bool before = false;            // Insert ... Before
  Stmt(SK kind, SourcePos p) : k(kind), pos(p) {}
};

struct Param {
  std::string name;
  char suffix = 0;
  std::string typeName;
  ExprP def;
  SourcePos pos;
};

struct Function {
  std::string name;
  std::string display;
  char suffix = 0;
  std::string typeName;
  std::vector<Param> params;
  Block body;
  SourcePos pos;
};

struct FieldDecl {
  std::string name;
  char suffix = 0;
  std::string typeName;
  int count = 1;  // a field array [n] holds n+1 words
  bool isArray = false;
  SourcePos pos;
};

struct TypeDecl {
  std::string name;
  std::vector<FieldDecl> fields;
  SourcePos pos;
};

struct Constant {
  std::string name;
  char suffix = 0;
  ExprP value;
  SourcePos pos;
};

// One Data value, with the labels that stand just before it.
struct DataValue {
  Kind kind = Kind::Int;
  std::int32_t ival = 0;
  float fval = 0;
  std::string text;
};

struct Program {
  Block main;
  std::vector<Function> functions;
  std::vector<TypeDecl> types;
  std::vector<Constant> constants;
  std::vector<VarDecl> globals;   // every Global declaration, for the names
  std::vector<DataValue> data;
  std::vector<std::pair<std::string, int>> dataLabels;  // label -> index of the next Data value
};

}  // namespace krc
