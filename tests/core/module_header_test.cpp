// The C headers modules are written against (include/korrin/*.h) and the
// command table must agree: every registered command and support routine is
// declared under its link name, and every command's declared result and
// parameter types are the ones its signature gives. Groups added later are
// covered without touching this test.
#include <dirent.h>
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "runtime/command_table.h"
#include "tests/support/module_runner.h"

namespace {

struct Declaration {
  std::string file, result;
  std::vector<std::string> params;  // types only; empty for (void)
};

std::string withoutComments(const std::string& text) {
  static const std::regex comments(R"(/\*[\s\S]*?\*/|//[^\n]*)");
  return std::regex_replace(text, comments, " ");
}

std::string squeeze(std::string s) {
  s = std::regex_replace(s, std::regex(R"(\s+)"), " ");
  s = std::regex_replace(s, std::regex(R"( ?\* ?)"), "* ");
  s = std::regex_replace(s, std::regex(R"(^ | $)"), "");
  return std::regex_replace(s, std::regex(R"(\* $)"), "*");
}

// The type of one parameter: everything but its name.
std::string parameterType(const std::string& param) {
  std::smatch m;
  std::string p = squeeze(param);
  if (std::regex_match(p, m, std::regex(R"((.*[\s*])\s*\w+)"))) return squeeze(m[1]);
  return p;
}

std::map<std::string, Declaration> headerDeclarations() {
  std::map<std::string, Declaration> found;
  std::string dir = std::string(KR_SOURCE_DIR) + "/include/korrin";
  DIR* d = opendir(dir.c_str());
  if (!d) return found;
  static const std::regex function(R"(^\s*([\w\s*]+?[\s*])(_f\w+|__kr\w+)\s*\(([^)]*)\)\s*$)");
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.size() < 3 || name.compare(name.size() - 2, 2, ".h") != 0) continue;
    std::string text = withoutComments(krtest::readFile(dir + "/" + name));
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(';', start)) != std::string::npos; start = end + 1) {
      std::string statement = text.substr(start, end - start);
      std::size_t lastLine = statement.rfind('#');  // drop preprocessor lines before it
      if (lastLine != std::string::npos) statement = statement.substr(statement.find('\n', lastLine) + 1);
      std::smatch m;
      if (!std::regex_match(statement, m, function)) continue;
      Declaration decl{name, squeeze(m[1]), {}};
      std::string params = squeeze(m[3]);
      std::size_t from = 0;
      while (params != "void" && !params.empty() && from <= params.size()) {
        std::size_t comma = params.find(',', from);
        if (comma == std::string::npos) comma = params.size();
        decl.params.push_back(parameterType(params.substr(from, comma - from)));
        from = comma + 1;
      }
      found[m[2]] = decl;
    }
  }
  closedir(d);
  return found;
}

std::string typeOf(char code) {
  switch (code) {
    case '%':
      return "int";
    case '#':
      return "float";
    case '$':
      return "krString*";
    default:
      return "void";
  }
}

std::vector<std::string> gRegistered;
void collect(const char* name, int) { gRegistered.push_back(name); }

TEST(ModuleHeaders, DeclareEveryRegisteredNameWithItsSignaturesTypes) {
  std::map<std::string, Declaration> headers = headerDeclarations();
  ASSERT_GT(headers.size(), 100u) << "headers not found or not parsed";
  gRegistered.clear();
  kr::linkAll(collect);
  std::set<std::string> registeredLinks;
  for (const std::string& name : gRegistered) {
    std::string link = kr::linkName(name.c_str());
    registeredLinks.insert(link);
    auto it = headers.find(link);
    if (it == headers.end()) {
      ADD_FAILURE() << name << " is registered but " << link << " is declared in no include/korrin header";
      continue;
    }
    if (name[0] == '_') continue;  // support routines: the types are the module's records
    const Declaration& decl = it->second;
    const char* p = name.c_str();
    std::string result = typeOf(kr::isSignatureTypeChar(*p) ? *p : 0);
    std::vector<std::string> params;
    for (p += kr::isSignatureTypeChar(*p) ? 1 : 0; *p; ++p)
      if (kr::isSignatureTypeChar(*p)) params.push_back(typeOf(*p));
    EXPECT_EQ(decl.result, result) << link << " in " << decl.file << " for " << name;
    EXPECT_EQ(decl.params, params) << link << " in " << decl.file << " for " << name;
  }
  for (const auto& h : headers)
    EXPECT_TRUE(registeredLinks.count(h.first)) << h.first << " is declared in " << h.second.file
                                                << " but the runtime registers no such name";
}

}  // namespace
