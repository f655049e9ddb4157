#include "compiler/parser.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_set>

namespace krc {
namespace {

struct ParseError {};

constexpr int kMaxNesting = 200;

const std::unordered_set<std::string>& keywords() {
  static const std::unordered_set<std::string> words = {
      "if", "then", "else", "elseif", "endif", "while", "wend", "repeat", "until", "forever", "for", "to",
      "step", "next", "each", "select", "case", "default", "end", "exit", "goto", "gosub", "return",
      "global", "local", "const", "dim", "type", "field", "function", "new", "delete", "first", "last",
      "after", "before", "insert", "handle", "object", "data", "read", "restore", "not", "and", "or",
      "xor", "mod", "shl", "shr", "sar", "true", "false", "null", "pi", "include", "endselect",
      "endfunction", "endtype"};
  return words;
}

class Parser {
 public:
  Parser(const std::vector<Token>& t, const std::function<bool(const std::string&)>& isCommand, Diagnostics& d)
      : t_(t), isCommand_(isCommand), diag_(d) {
    // Arrays and functions may be used before their Dim or Function line.
    for (std::size_t i = 0; i + 1 < t_.size(); ++i) {
      if (t_[i].kind == Tok::Ident && t_[i + 1].kind == Tok::Ident) {
        if (t_[i].text == "function") functions_.insert(t_[i + 1].text);
        if (t_[i].text == "dim") arrays_.insert(t_[i + 1].text);
      }
      // Further arrays of one Dim line: "Dim a(1), b(2)".
      if (t_[i].kind == Tok::Op && t_[i].text == "," && t_[i + 1].kind == Tok::Ident && i + 2 < t_.size() &&
          dimLine(i))
        arrays_.insert(t_[i + 1].text);
    }
  }

  Program run() {
    while (!at(Tok::End) && !diag_.full()) {
      if (at(Tok::Newline)) {
        ++p_;
        continue;
      }
      try {
        if (isWord("function")) {
          function();
        } else if (isWord("type")) {
          typeDecl();
        } else if (blockEnd()) {
          fail(std::string("'") + spell() + "' without its opening statement");
        } else {
          statement(prog_.main, 0);
        }
      } catch (ParseError&) {
        skipLine();
      }
    }
    return std::move(prog_);
  }

 private:
  // --- tokens ---
  const Token& cur() const { return t_[p_]; }
  const Token& peek(int n = 1) const { return t_[std::min(p_ + n, t_.size() - 1)]; }
  bool at(Tok k) const { return cur().kind == k; }
  bool isWord(const char* w, int n = 0) const { return peek(n).kind == Tok::Ident && peek(n).text == w; }
  bool isOp(const char* o, int n = 0) const { return peek(n).kind == Tok::Op && peek(n).text == o; }
  bool acceptWord(const char* w) {
    if (!isWord(w)) return false;
    ++p_;
    return true;
  }
  bool acceptOp(const char* o) {
    if (!isOp(o)) return false;
    ++p_;
    return true;
  }
  std::string spell() const {
    switch (cur().kind) {
      case Tok::End: return "end of file";
      case Tok::Newline: return "end of line";
      case Tok::String: return "\"" + cur().text + "\"";
      case Tok::Int:
      case Tok::Float:
        return cur().text;
      default:
        return cur().text;
    }
  }
  [[noreturn]] void fail(const std::string& message) { failAt(cur().pos, message); }
  [[noreturn]] void failAt(const SourcePos& pos, const std::string& message) {
    diag_.error(pos, message);
    throw ParseError{};
  }
  void expectWord(const char* w) {
    if (!acceptWord(w)) fail(std::string("expected '") + w + "' but found '" + spell() + "'");
  }
  void expectOp(const char* o) {
    if (!acceptOp(o)) fail(std::string("expected '") + o + "' but found '" + spell() + "'");
  }
  std::string name() {
    if (!at(Tok::Ident)) fail("expected a name but found '" + spell() + "'");
    if (keywords().count(cur().text)) fail("'" + cur().text + "' is a keyword and cannot be used as a name");
    return t_[p_++].text;
  }
  bool atStatementEnd() const { return at(Tok::Newline) || at(Tok::End) || isWord("else"); }
  void endStatement() {
    if (!atStatementEnd()) fail("unexpected '" + spell() + "' after the statement");
  }
  void skipLine() {
    while (!at(Tok::End) && !(at(Tok::Newline) && cur().text == "\n")) ++p_;
  }
  bool dimLine(std::size_t comma) const {
    // Walks back to the statement start, looking for Dim there.
    int depth = 0;
    for (std::size_t j = comma; j-- > 0;) {
      if (t_[j].kind == Tok::Newline) return false;
      if (t_[j].kind == Tok::Op && (t_[j].text == ")")) ++depth;
      if (t_[j].kind == Tok::Op && (t_[j].text == "(")) --depth;
      if (depth == 0 && t_[j].kind == Tok::Ident && t_[j].text == "dim" &&
          (j == 0 || t_[j - 1].kind == Tok::Newline))
        return true;
    }
    return false;
  }

  // A type suffix after a name: % # $ glued, or .Type.
  void suffix(char& s, std::string& typeName) {
    if (cur().glued && (isOp("%") || isOp("#") || isOp("$"))) {
      s = cur().text[0];
      ++p_;
    } else if (isOp(".") && peek().kind == Tok::Ident) {
      ++p_;
      s = '.';
      typeName = name();
    }
  }

  // --- top level ---
  void function() {
    SourcePos pos = cur().pos;
    ++p_;
    Function f;
    f.pos = pos;
    f.display = cur().kind == Tok::Ident ? cur().text : "";
    f.name = name();
    suffix(f.suffix, f.typeName);
    expectOp("(");
    if (!acceptOp(")")) {
      do {
        Param prm;
        prm.pos = cur().pos;
        prm.name = name();
        suffix(prm.suffix, prm.typeName);
        if (acceptOp("=")) prm.def = expr(0);
        f.params.push_back(std::move(prm));
      } while (acceptOp(","));
      expectOp(")");
    }
    endStatement();
    inFunction_ = true;
    block(f.body, 1, {"end function", "endfunction"}, pos, "Function");
    inFunction_ = false;
    closeBlock();
    prog_.functions.push_back(std::move(f));
  }

  void typeDecl() {
    TypeDecl td;
    td.pos = cur().pos;
    ++p_;
    td.name = name();
    endStatement();
    for (;;) {
      if (at(Tok::Newline)) {
        ++p_;
        continue;
      }
      if (at(Tok::End)) failAt(td.pos, "Type without End Type");
      if (isWord("endtype") || (isWord("end") && isWord("type", 1))) break;
      try {
        expectWord("field");
        do {
          FieldDecl f;
          f.pos = cur().pos;
          f.name = name();
          suffix(f.suffix, f.typeName);
          if (acceptOp("[")) {
            if (!at(Tok::Int) || cur().ival < 0 || cur().ival > 65535)
              fail("a field array needs a size from 0 to 65535");
            f.count = cur().ival + 1;
            f.isArray = true;
            ++p_;
            expectOp("]");
          }
          td.fields.push_back(std::move(f));
        } while (acceptOp(","));
        endStatement();
      } catch (ParseError&) {
        skipLine();
      }
    }
    closeBlock();
    prog_.types.push_back(std::move(td));
  }

  // Consumes "End X" / "EndX" (already checked to be there).
  void closeBlock() {
    if (isWord("end")) ++p_;
    ++p_;
    endStatement();
  }

  bool blockEnd() const {
    static const std::unordered_set<std::string> ends = {"wend", "until", "forever", "next", "case", "default", "else",
                                               "elseif", "endif", "endselect", "endfunction", "endtype"};
    if (!at(Tok::Ident)) return false;
    if (ends.count(cur().text)) return true;
    return cur().text == "end" && peek().kind == Tok::Ident &&
           (peek().text == "if" || peek().text == "select" || peek().text == "function" || peek().text == "type");
  }

  bool atTerminator(const std::vector<std::string>& terms) const {
    if (!at(Tok::Ident)) return false;
    const std::string& word = cur().text;
    for (const std::string& term : terms) {
      auto space = term.find(' ');
      if (space == std::string::npos) {
        if (word == term) return true;
      } else if (term.compare(0, space, word) == 0 && peek().kind == Tok::Ident &&
                 term.compare(space + 1, std::string::npos, peek().text) == 0) {
        return true;
      }
    }
    return false;
  }

  static std::string closerName(const std::vector<std::string>& terms) {
    static const std::map<std::string, std::string> names = {
        {"wend", "Wend"}, {"until", "Until or Forever"}, {"next", "Next"}, {"endif", "EndIf"},
        {"case", "End Select"}, {"end function", "End Function"}};
    auto it = names.find(terms[0]);
    return it == names.end() ? terms[0] : it->second;
  }

  // Statements up to one of the terminators (left unconsumed); opener names
  // the statement that the block belongs to, for the error when it never ends.
  void block(Block& out, int depth, const std::vector<std::string>& terms, const SourcePos& openerPos,
             const std::string& opener) {
    if (depth > kMaxNesting) fail("blocks nested too deeply");
    for (;;) {
      if (diag_.full()) throw ParseError{};
      if (at(Tok::Newline)) {
        ++p_;
        continue;
      }
      if (at(Tok::End)) failAt(openerPos, opener + " without " + closerName(terms));
      if (atTerminator(terms)) return;
      if (isWord("function") || isWord("type")) fail("'" + cur().text + "' cannot be inside a block");
      if (blockEnd()) fail("unexpected '" + spell() + "'; expected '" + terms[0] + "'");
      try {
        statement(out, depth);
      } catch (ParseError&) {
        skipLine();
      }
    }
  }

  // --- statements ---
  void statement(Block& out, int depth) {
    SourcePos pos = cur().pos;
    if (isOp(".") && peek().kind == Tok::Ident) {
      ++p_;
      auto s = std::make_unique<Stmt>(SK::Label, pos);
      s->name = name();
      prog_.dataLabels.emplace_back(s->name, static_cast<int>(prog_.data.size()));
      out.push_back(std::move(s));
      return;
    }
    if (!at(Tok::Ident)) fail("expected a statement but found '" + spell() + "'");
    const std::string& w = cur().text;
    if (w == "if") return ifStmt(out, depth);
    if (w == "while") {
      ++p_;
      auto s = std::make_unique<Stmt>(SK::While, pos);
      s->args.push_back(expr(0));
      endStatement();
      s->blocks.emplace_back();
      block(s->blocks[0], depth + 1, {"wend"}, pos, "While");
      ++p_;
      out.push_back(std::move(s));
      return endStatement();
    }
    if (w == "repeat") {
      ++p_;
      auto s = std::make_unique<Stmt>(SK::Repeat, pos);
      endStatement();
      s->blocks.emplace_back();
      block(s->blocks[0], depth + 1, {"until", "forever"}, pos, "Repeat");
      if (acceptWord("forever")) {
        s->forever = true;
      } else {
        ++p_;
        s->args.push_back(expr(0));
      }
      out.push_back(std::move(s));
      return endStatement();
    }
    if (w == "for") return forStmt(out, depth);
    if (w == "select") return selectStmt(out, depth);
    if (w == "exit") {
      ++p_;
      out.push_back(std::make_unique<Stmt>(SK::Exit, pos));
      return endStatement();
    }
    if (w == "goto" || w == "gosub") {
      ++p_;
      auto s = std::make_unique<Stmt>(w == "goto" ? SK::Goto : SK::Gosub, pos);
      acceptOp(".");
      s->name = name();
      out.push_back(std::move(s));
      return endStatement();
    }
    if (w == "return") {
      ++p_;
      auto s = std::make_unique<Stmt>(SK::Return, pos);
      if (!atStatementEnd()) s->args.push_back(expr(0));
      out.push_back(std::move(s));
      return endStatement();
    }
    if (w == "end" && !blockEnd()) {
      ++p_;
      out.push_back(std::make_unique<Stmt>(SK::End, pos));
      return endStatement();
    }
    if (w == "global" || w == "local") return declStmt(out, w);
    if (w == "const") return constStmt();
    if (w == "dim") return dimStmt(out);
    if (w == "data") return dataStmt();
    if (w == "read") {
      ++p_;
      auto s = std::make_unique<Stmt>(SK::Read, pos);
      do s->args.push_back(lvalue());
      while (acceptOp(","));
      out.push_back(std::move(s));
      return endStatement();
    }
    if (w == "restore") {
      ++p_;
      auto s = std::make_unique<Stmt>(SK::Restore, pos);
      if (!atStatementEnd()) {
        acceptOp(".");
        s->name = name();
      }
      out.push_back(std::move(s));
      return endStatement();
    }
    if (w == "delete") {
      ++p_;
      if (acceptWord("each")) {
        auto s = std::make_unique<Stmt>(SK::DeleteEach, pos);
        s->name = name();
        out.push_back(std::move(s));
        return endStatement();
      }
      auto s = std::make_unique<Stmt>(SK::Delete, pos);
      s->args.push_back(expr(0));
      out.push_back(std::move(s));
      return endStatement();
    }
    if (w == "insert") {
      ++p_;
      auto s = std::make_unique<Stmt>(SK::Insert, pos);
      s->args.push_back(expr(0));
      if (acceptWord("before"))
        s->before = true;
      else
        expectWord("after");
      s->args.push_back(expr(0));
      out.push_back(std::move(s));
      return endStatement();
    }
    if (w == "function" || w == "type" || w == "field")
      fail("'" + w + "' is only allowed at the top level of the program");
    if (keywords().count(w)) fail("unexpected '" + w + "'");
    assignOrCall(out, pos);
  }

  void assignOrCall(Block& out, SourcePos pos) {
    const std::string n = cur().text;
    const Token& next = peek();
    bool callable = functions_.count(n) || isCommand_(n);
    bool arrayUse = arrays_.count(n) && isOpAt(next, "(");
    if (!arrayUse && callable && !isOpAt(next, "=") && !isOpAt(next, "\\") &&
        !(next.glued && (isOpAt(next, "%") || isOpAt(next, "#") || isOpAt(next, "$")) && isOp("=", 2))) {
      ++p_;
      auto call = std::make_unique<Expr>(EK::Call, pos);
      call->name = n;
      callArgs(*call);
      auto s = std::make_unique<Stmt>(SK::Call, pos);
      s->args.push_back(std::move(call));
      out.push_back(std::move(s));
      return endStatement();
    }
    ExprP target = lvalue();
    if (!isOp("=")) {
      if (target->k == EK::Name && !target->suffix && !callable)
        failAt(pos, "unknown command or function '" + n + "'");
      fail("expected '=' but found '" + spell() + "'");
    }
    ++p_;
    auto s = std::make_unique<Stmt>(SK::Assign, pos);
    s->args.push_back(std::move(target));
    s->args.push_back(expr(0));
    out.push_back(std::move(s));
    endStatement();
  }

  static bool isOpAt(const Token& t, const char* o) { return t.kind == Tok::Op && t.text == o; }

  // Arguments of a call statement: "Name a, b" or "Name(a, b)".
  void callArgs(Expr& call) {
    if (atStatementEnd()) return;
    if (isOp("(")) {
      std::size_t save = p_, reported = diag_.messages.size();
      try {
        std::vector<ExprP> args;
        ++p_;
        if (!acceptOp(")")) {
          do args.push_back(expr(0));
          while (acceptOp(","));
          expectOp(")");
        }
        if (atStatementEnd()) {
          call.args = std::move(args);
          call.parens = true;
          return;
        }
      } catch (ParseError&) {
        diag_.messages.resize(reported);
      }
      p_ = save;
    }
    do call.args.push_back(expr(0));
    while (acceptOp(","));
  }

  ExprP lvalue() {
    SourcePos pos = cur().pos;
    ExprP e = postfix(0);
    if (e->k != EK::Name && e->k != EK::Field && !(e->k == EK::Call && arrays_.count(e->name)))
      failAt(pos, "cannot assign to this expression");
    return e;
  }

  void ifStmt(Block& out, int depth) {
    SourcePos pos = cur().pos;
    ++p_;
    auto s = std::make_unique<Stmt>(SK::If, pos);
    s->args.push_back(expr(0));
    acceptWord("then");
    // Anything after the condition on the same line (Then is optional) makes
    // the one-line form.
    if (!at(Tok::Newline) || cur().text == ":") {
      if (at(Tok::Newline)) ++p_;  // "If x Then : a"
      s->blocks.emplace_back();
      lineBlock(s->blocks[0], depth + 1);
      if (acceptWord("else")) {
        s->hasElse = true;
        lineBlock(s->elseBlock, depth + 1);
      }
      out.push_back(std::move(s));
      return;
    }
    s->blocks.emplace_back();
    const std::vector<std::string> terms = {"endif", "end if", "else", "elseif"};
    block(s->blocks.back(), depth + 1, terms, pos, "If");
    for (;;) {
      if (acceptWord("elseif") || (isWord("else") && isWord("if", 1) && (p_ += 2))) {
        s->args.push_back(expr(0));
        acceptWord("then");
        endStatement();
        s->blocks.emplace_back();
        block(s->blocks.back(), depth + 1, terms, pos, "If");
      } else if (acceptWord("else")) {
        if (s->hasElse) fail("second Else in one If");
        s->hasElse = true;
        endStatement();
        block(s->elseBlock, depth + 1, terms, pos, "If");
      } else {
        break;
      }
    }
    if (!acceptWord("endif")) {
      expectWord("end");
      expectWord("if");
    }
    out.push_back(std::move(s));
    endStatement();
  }

  // Statements of a one-line If, up to the line end or its Else.
  void lineBlock(Block& out, int depth) {
    if (depth > kMaxNesting) fail("statements nested too deeply");
    for (;;) {
      if (at(Tok::End) || (at(Tok::Newline) && cur().text == "\n")) return;
      if (at(Tok::Newline)) {
        ++p_;
        continue;
      }
      if (isWord("else")) return;
      if (isWord("endif") || (isWord("end") && isWord("if", 1))) {  // tolerated closing word
        p_ += isWord("endif") ? 1 : 2;
        continue;
      }
      statement(out, depth);
    }
  }

  void forStmt(Block& out, int depth) {
    SourcePos pos = cur().pos;
    ++p_;
    ExprP var = lvalue();
    expectOp("=");
    std::unique_ptr<Stmt> s;
    if (acceptWord("each")) {
      s = std::make_unique<Stmt>(SK::ForEach, pos);
      s->name = name();
      s->args.push_back(std::move(var));
    } else {
      s = std::make_unique<Stmt>(SK::For, pos);
      s->args.push_back(std::move(var));
      s->args.push_back(expr(0));
      expectWord("to");
      s->args.push_back(expr(0));
      if (acceptWord("step")) s->args.push_back(expr(0));
    }
    endStatement();
    s->blocks.emplace_back();
    block(s->blocks[0], depth + 1, {"next"}, pos, "For");
    ++p_;
    if (at(Tok::Ident) && !isWord("else")) {
      name();
      char sfx = 0;
      std::string tn;
      suffix(sfx, tn);
    }
    out.push_back(std::move(s));
    endStatement();
  }

  void selectStmt(Block& out, int depth) {
    SourcePos pos = cur().pos;
    ++p_;
    auto s = std::make_unique<Stmt>(SK::Select, pos);
    s->args.push_back(expr(0));
    endStatement();
    const std::vector<std::string> terms = {"case", "default", "endselect", "end select"};
    for (;;) {
      if (at(Tok::Newline)) {
        ++p_;
        continue;
      }
      if (at(Tok::End)) failAt(pos, "Select without End Select");
      if (acceptWord("endselect")) break;
      if (isWord("end") && isWord("select", 1)) {
        p_ += 2;
        break;
      }
      Case c;
      c.pos = cur().pos;
      if (acceptWord("case")) {
        do c.values.push_back(expr(0));
        while (acceptOp(","));
      } else if (!acceptWord("default")) {
        fail("expected Case, Default or End Select but found '" + spell() + "'");
      }
      endStatement();
      block(c.body, depth + 1, terms, pos, "Select");
      s->cases.push_back(std::move(c));
    }
    out.push_back(std::move(s));
    endStatement();
  }

  void declStmt(Block& out, const std::string& scope) {
    SourcePos pos = cur().pos;
    ++p_;
    if (scope == "global" && inFunction_) failAt(pos, "Global cannot be declared inside a function");
    auto s = std::make_unique<Stmt>(SK::Decl, pos);
    s->name = scope;
    do {
      VarDecl v;
      v.pos = cur().pos;
      v.name = name();
      suffix(v.suffix, v.typeName);
      if (acceptOp("=")) v.init = expr(0);
      if (scope == "global") {
        VarDecl copy;
        copy.name = v.name, copy.suffix = v.suffix, copy.typeName = v.typeName, copy.pos = v.pos;
        prog_.globals.push_back(std::move(copy));
      }
      s->vars.push_back(std::move(v));
    } while (acceptOp(","));
    out.push_back(std::move(s));
    endStatement();
  }

  void constStmt() {
    ++p_;
    do {
      Constant c;
      c.pos = cur().pos;
      c.name = name();
      std::string tn;
      suffix(c.suffix, tn);
      if (c.suffix == '.') failAt(c.pos, "a constant cannot be an object");
      expectOp("=");
      c.value = expr(0);
      prog_.constants.push_back(std::move(c));
    } while (acceptOp(","));
    endStatement();
  }

  void dimStmt(Block& out) {
    SourcePos pos = cur().pos;
    ++p_;
    auto s = std::make_unique<Stmt>(SK::Dim, pos);
    do {
      VarDecl v;
      v.pos = cur().pos;
      v.name = name();
      suffix(v.suffix, v.typeName);
      expectOp("(");
      do v.bounds.push_back(expr(0));
      while (acceptOp(","));
      expectOp(")");
      if (v.bounds.size() > 16) failAt(v.pos, "an array has at most 16 dimensions");
      s->vars.push_back(std::move(v));
    } while (acceptOp(","));
    out.push_back(std::move(s));
    endStatement();
  }

  void dataStmt() {
    ++p_;
    do {
      DataValue v;
      bool negative = false;
      if (acceptOp("-")) negative = true;
      else acceptOp("+");
      if (at(Tok::Int)) {
        v.kind = Kind::Int;
        v.ival = static_cast<std::int32_t>(negative ? 0u - static_cast<std::uint32_t>(cur().ival)
                                                    : static_cast<std::uint32_t>(cur().ival));
      } else if (at(Tok::Float)) {
        v.kind = Kind::Float;
        v.fval = negative ? -cur().fval : cur().fval;
      } else if (at(Tok::String) && !negative) {
        v.kind = Kind::Str;
        v.text = cur().text;
      } else if (isWord("true") || isWord("false")) {
        v.kind = Kind::Int;
        v.ival = (isWord("true") ? 1 : 0) * (negative ? -1 : 1);
      } else if (isWord("pi")) {
        v.kind = Kind::Float;
        v.fval = negative ? -3.14159265f : 3.14159265f;
      } else {
        fail("Data takes numbers and strings, not '" + spell() + "'");
      }
      ++p_;
      prog_.data.push_back(v);
    } while (acceptOp(","));
    endStatement();
  }

  // --- expressions, loosest first ---
  // 0: And Or Xor; 1: Not; 2: comparisons; 3: + -; 4: * / Mod Shl Shr Sar; 5: ^; 6: unary
  ExprP expr(int depth) {
    if (depth > kMaxNesting) fail("expression nested too deeply");
    return logical(depth);
  }

  // A chain such as a+a+a+... nests one level per operator; the code
  // generator walks it recursively, so its height is bounded.
  static constexpr int kMaxHeight = 1000;

  // Sets the height of a node from its operands.
  ExprP measured(ExprP e) {
    int height = 1;
    for (const ExprP& a : e->args)
      if (a) height = std::max(height, a->height + 1);
    if (height > kMaxHeight) failAt(e->pos, "expression too long");
    e->height = height;
    return e;
  }

  ExprP binary(const std::string& op, ExprP l, ExprP r, SourcePos pos) {
    int height = 1 + std::max(l->height, r->height);
    if (height > kMaxHeight) failAt(pos, "expression too long");
    auto e = std::make_unique<Expr>(EK::Binary, pos);
    e->height = height;
    e->name = op;
    e->args.push_back(std::move(l));
    e->args.push_back(std::move(r));
    return e;
  }

  ExprP logical(int depth) {
    ExprP l = notExpr(depth);
    while (isWord("and") || isWord("or") || isWord("xor")) {
      SourcePos pos = cur().pos;
      std::string op = t_[p_++].text;
      l = binary(op, std::move(l), notExpr(depth), pos);
    }
    return l;
  }
  ExprP notExpr(int depth) {
    if (isWord("not")) {
      SourcePos pos = cur().pos;
      ++p_;
      auto e = std::make_unique<Expr>(EK::Unary, pos);
      e->name = "not";
      e->args.push_back(depthGuard(depth) ? notExpr(depth + 1) : nullptr);
      return measured(std::move(e));
    }
    return comparison(depth);
  }
  bool depthGuard(int depth) {
    if (depth > kMaxNesting) fail("expression nested too deeply");
    return true;
  }
  ExprP comparison(int depth) {
    ExprP l = additive(depth);
    while (isOp("=") || isOp("<>") || isOp("<") || isOp(">") || isOp("<=") || isOp(">=")) {
      SourcePos pos = cur().pos;
      std::string op = t_[p_++].text;
      l = binary(op, std::move(l), additive(depth), pos);
    }
    return l;
  }
  ExprP additive(int depth) {
    ExprP l = multiplicative(depth);
    while (isOp("+") || isOp("-")) {
      SourcePos pos = cur().pos;
      std::string op = t_[p_++].text;
      l = binary(op, std::move(l), multiplicative(depth), pos);
    }
    return l;
  }
  ExprP multiplicative(int depth) {
    ExprP l = power(depth);
    while (isOp("*") || isOp("/") || isWord("mod") || isWord("shl") || isWord("shr") || isWord("sar")) {
      SourcePos pos = cur().pos;
      std::string op = t_[p_++].text;
      l = binary(op, std::move(l), power(depth), pos);
    }
    return l;
  }
  ExprP power(int depth) {
    ExprP l = unary(depth);
    while (isOp("^")) {
      SourcePos pos = cur().pos;
      ++p_;
      l = binary("^", std::move(l), unary(depth), pos);
    }
    return l;
  }
  ExprP unary(int depth) {
    if (isOp("-") || isOp("+") || isOp("~")) {
      SourcePos pos = cur().pos;
      std::string op = t_[p_++].text;
      depthGuard(depth);
      ExprP operand = unary(depth + 1);
      if (op == "+") return operand;
      if (op == "-" && operand->k == EK::IntLit) {
        operand->ival = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(operand->ival));
        return operand;
      }
      if (op == "-" && operand->k == EK::FloatLit) {
        operand->fval = -operand->fval;
        return operand;
      }
      auto e = std::make_unique<Expr>(EK::Unary, pos);
      e->name = op;
      e->args.push_back(std::move(operand));
      return measured(std::move(e));
    }
    return postfix(depth);
  }

  ExprP postfix(int depth) {
    ExprP e = primary(depth);
    while (isOp("\\")) {
      SourcePos pos = cur().pos;
      ++p_;
      auto f = std::make_unique<Expr>(EK::Field, pos);
      f->name = name();
      suffix(f->suffix, f->typeName);
      f->args.push_back(std::move(e));
      if (acceptOp("[")) {
        f->args.push_back(expr(depth + 1));
        expectOp("]");
      }
      e = measured(std::move(f));
    }
    return e;
  }

  ExprP primary(int depth) {
    depthGuard(depth);
    SourcePos pos = cur().pos;
    switch (cur().kind) {
      case Tok::Int: {
        auto e = std::make_unique<Expr>(EK::IntLit, pos);
        e->ival = t_[p_++].ival;
        return e;
      }
      case Tok::Float: {
        auto e = std::make_unique<Expr>(EK::FloatLit, pos);
        e->fval = t_[p_++].fval;
        return e;
      }
      case Tok::String: {
        auto e = std::make_unique<Expr>(EK::StrLit, pos);
        e->name = t_[p_++].text;
        return e;
      }
      case Tok::Op:
        if (acceptOp("(")) {
          ExprP e = expr(depth + 1);
          expectOp(")");
          return e;
        }
        fail("expected a value but found '" + spell() + "'");
      case Tok::Ident:
        break;
      default:
        fail("expected a value but found '" + spell() + "'");
    }
    const std::string w = cur().text;
    if (w == "true" || w == "false") {
      ++p_;
      auto e = std::make_unique<Expr>(EK::IntLit, pos);
      e->ival = w == "true";
      return e;
    }
    if (w == "null") {
      ++p_;
      return std::make_unique<Expr>(EK::Null, pos);
    }
    if (w == "pi") {
      ++p_;
      auto e = std::make_unique<Expr>(EK::FloatLit, pos);
      e->fval = 3.14159265358979f;
      return e;
    }
    if (w == "new" || w == "first" || w == "last") {
      ++p_;
      auto e = std::make_unique<Expr>(w == "new" ? EK::New : w == "first" ? EK::First : EK::Last, pos);
      bool parens = acceptOp("(");
      e->name = name();
      if (parens) expectOp(")");
      return e;
    }
    if (w == "after" || w == "before") {
      ++p_;
      auto e = std::make_unique<Expr>(w == "after" ? EK::After : EK::Before, pos);
      e->args.push_back(primary(depth + 1));
      return measured(std::move(e));
    }
    if (w == "handle") {
      ++p_;
      auto e = std::make_unique<Expr>(EK::Handle, pos);
      e->args.push_back(primary(depth + 1));
      return measured(std::move(e));
    }
    if (w == "object") {
      ++p_;
      auto e = std::make_unique<Expr>(EK::Object, pos);
      expectOp(".");
      e->name = name();
      expectOp("(");
      e->args.push_back(expr(depth + 1));
      expectOp(")");
      return measured(std::move(e));
    }
    if (keywords().count(w)) fail("unexpected '" + w + "' in an expression");
    ++p_;
    auto e = std::make_unique<Expr>(EK::Name, pos);
    e->name = w;
    suffix(e->suffix, e->typeName);
    if (isOp("(")) {
      ++p_;
      e->k = EK::Call;
      e->parens = true;
      if (!acceptOp(")")) {
        do e->args.push_back(expr(depth + 1));
        while (acceptOp(","));
        expectOp(")");
      }
    }
    return measured(std::move(e));
  }

  const std::vector<Token>& t_;
  std::size_t p_ = 0;
  const std::function<bool(const std::string&)>& isCommand_;
  Diagnostics& diag_;
  std::unordered_set<std::string> functions_, arrays_;
  bool inFunction_ = false;
  Program prog_;
};

}  // namespace

Program parseProgram(const std::vector<Token>& tokens, const std::function<bool(const std::string&)>& isCommand,
                     Diagnostics& diag) {
  return Parser(tokens, isCommand, diag).run();
}

}  // namespace krc
