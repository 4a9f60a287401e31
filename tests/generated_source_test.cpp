// Functions made at random from every form of the language, mixed and nested
// as no table lists them: each compiles, and the package's source, printed
// and compiled again, gives the same package with every function as source.
// Precedence, parentheses and the places of locals are where the printer and
// the parser must agree.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "compiler/compile.h"
#include "tests/test_support.h"

namespace {

class FunctionGenerator {
 public:
  explicit FunctionGenerator(unsigned seed) : random(seed) {}

  std::string Function() {
    locals = 0;
    std::string body;
    for (int k = Pick(4) + 1; k-- > 0;) body += Statement(kDepth) + ";\n";
    return "func(a, b, c)\nbegin\n" + body + "return " + Expression(3) + "\nend";
  }

 private:
  static constexpr int kDepth = 3;
  int Pick(int count) { return static_cast<int>(random() % static_cast<unsigned>(count)); }
  template <size_t N>
  const char* OneOf(const char* const (&choices)[N]) {
    return choices[Pick(N)];
  }

  std::string Variable() {
    static const char* const kArguments[] = {"a", "b", "c"};
    if (locals > 0 && Pick(2)) return "v" + std::to_string(Pick(locals));
    return OneOf(kArguments);
  }

  std::string Leaf() {
    switch (Pick(7)) {
      case 0: return std::to_string(Pick(20000) - 10000);
      case 1: return "\"s" + std::to_string(Pick(9)) + "\"";
      case 2: return OneOf({"nil", "true", "$x", "'sym", "@12", "1.5", "gv"});
      case 3: return "'[1, x, \"q\"]";
      default: return Variable();
    }
  }

  std::string Expression(int depth) {
    if (depth == 0) return Leaf();
    static const char* const kOperators[] = {"+", "-", "*", "/", "div", "mod", "&", "&&", "and", "or"};
    // Comparisons do not chain.
    static const char* const kComparisons[] = {"=", "<>", "<", ">", "<=", ">="};
    std::string x = Expression(depth - 1), y = Expression(depth - 1);
    switch (Pick(17)) {
      case 0: case 1: return x + " " + OneOf(kOperators) + " " + y;
      case 2: return "(" + x + " " + OneOf(kComparisons) + " " + y + ")";
      case 3: return Pick(2) ? "-" + x : "(not " + x + ")";
      case 4: return "f(" + x + ", " + y + ")";
      case 5: return Variable() + ":m(" + x + ")";
      case 6: return Pick(2) ? Variable() + "." + OneOf({"s", "s.t", "(s)"}) : "(" + Variable() + ".s exists)";
      case 7: return Variable() + "[" + x + "]";
      case 8: return "if " + x + " then " + y + " else " + Expression(depth - 1);
      case 9: return "[" + x + ", " + y + "]";
      case 10: return "{k: " + x + ", j: " + y + "}";
      case 11: return "(" + x + ")";
      case 12: return OneOf({":m(", ":?m(", "inherited:m(", "self:n("}) + x + ")";
      case 13: return "call " + Variable() + " with (" + x + ", " + y + ")";
      case 14: return std::string(OneOf({"BAnd(", "BOr(", "AddArraySlot(", "SetClass("})) + x + ", " + y + ")";
      case 15: return "[" + std::string(OneOf({"pair: ", "", "a: "})) + x + ", " + y + "]";
      default: return "func(z) " + x;
    }
  }

  std::string Statement(int depth) {
    std::string x = Expression(2);
    if (depth == 0) return x;
    std::string inner = Statement(depth - 1);
    switch (Pick(11)) {
      // Locals are declared among the body's own statements.
      case 0: return depth == kDepth ? "local v" + std::to_string(locals++) + " := " + x : x;
      case 1: return Variable() + " := " + x;
      case 2: return Variable() + ".s := " + x;
      case 3: return Variable() + "[1] := " + x;
      case 4: return "if " + x + " then " + inner + (Pick(2) ? "" : " else " + Statement(depth - 1));
      case 5: return "while " + x + " do " + inner;
      case 6: return "repeat " + inner + " until " + x;
      case 7: return "for i := 1 to " + x + (Pick(2) ? "" : " by 2") + " do " + inner;
      case 8: return "foreach " + std::string(Pick(2) ? "k, " : "") + "e in " + x +
                     (Pick(2) ? " do " + inner : " collect " + Expression(2));
      case 9: return "loop begin " + inner + "; if " + x + (Pick(2) ? " then break end" : " then return b end");
      default: return "try begin " + inner + " end onexception |evt.ex| do " + x;
    }
  }

  std::mt19937 random;
  int locals = 0;
};

}  // namespace

TEST(GeneratedSourceTest, RandomFunctionsComeBackFromTheirSource) {
  FunctionGenerator generator(1993);
  for (int round = 0; round < 300; ++round) {
    std::string program = "Package({name: \"t\"});\nPart({debugInfo: true}, {f: " + generator.Function() +
                          ", g: " + generator.Function() + "});\n";
    Compiled compiled = CompileSource(program);
    ASSERT_EQ(compiled.error, "") << program << "\nat " << compiled.line << ":" << compiled.column;
    SCOPED_TRACE(program);
    ExpectRebuiltFromSource(compiled.package, true, true);
    if (HasFailure()) break;
  }
}
