// Functions and data made at random from every form of the language, mixed
// and nested as no table lists them: each compiles, and the package's
// source, printed and compiled again, gives the same package with every
// function as source. Precedence, parentheses, the places of locals and the
// spelling of odd names, texts and numbers are where the printer and the
// parser must agree.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "compiler/compile.h"
#include "tests/test_support.h"

namespace {

// Choices from a seeded generator, the same sequence on every platform.
class Choices {
 protected:
  explicit Choices(unsigned seed) : random(seed) {}
  int Pick(int count) { return static_cast<int>(random() % static_cast<unsigned>(count)); }
  template <size_t N>
  const char* OneOf(const char* const (&choices)[N]) {
    return choices[Pick(N)];
  }

 private:
  std::mt19937 random;
};

class FunctionGenerator : Choices {
 public:
  explicit FunctionGenerator(unsigned seed) : Choices(seed) {}

  std::string Function() {
    locals = 0;
    std::string body;
    for (int k = Pick(4) + 1; k-- > 0;) body += Statement(kDepth) + ";\n";
    return "func(a, b, c)\nbegin\n" + body + "return " + Expression(3) + "\nend";
  }

 private:
  static constexpr int kDepth = 3;

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

  int locals = 0;
};

// Values as data: every kind of immediate and object, odd names and texts,
// and objects shared through constants.
class ValueGenerator : Choices {
 public:
  explicit ValueGenerator(unsigned seed) : Choices(seed) {}

  std::string Value(int depth) {
    switch (Pick(depth > 0 ? 12 : 7)) {
      case 0: return std::to_string(Pick(1 << 30) - (1 << 29));
      case 1: return "\"" + Text() + "\"";
      case 2: return "'" + Name();
      case 3: return Format("$\\u%04X", Pick(0xD800));
      case 4: return std::to_string(Pick(100000) - 50000) + "." + std::to_string(Pick(1000)) + "e" +
                     std::to_string(Pick(40) - 20);
      case 5: return Format("MakeBinaryFromHex(\"%06X\", '%s)", Pick(1 << 24), Name().c_str());
      case 6: return OneOf({"nil", "true", "@5", "Immediate(0x1A)", "shared"});
      case 7: case 8: return "{" + Slots(depth) + "}";
      case 9: return "[" + std::string(Pick(2) ? Name() + ": " : "") + Elements(depth) + "]";
      case 10: return "SetClass([" + Elements(depth) + "], '" + Name() + ")";
      default: return "'" + Quoted(depth);
    }
  }

  // What a quote holds: names bare, no expression.
  std::string Quoted(int depth) {
    switch (Pick(depth > 0 ? 6 : 4)) {
      case 0: return std::to_string(Pick(2000) - 1000);
      case 1: return "\"" + Text() + "\"";
      case 2: return Name();
      case 3: return Format("$\\u%04X", Pick(0xD800));
      case 4: {
        std::string all;
        for (int k = Pick(3); k-- > 0;) all += Name("q" + std::to_string(k)) + ": " + Quoted(depth - 1) + (k ? ", " : "");
        return "{" + all + "}";
      }
      default: {
        std::string all = Pick(2) ? Name() + ": " : "";
        for (int k = Pick(3); k-- > 0;) all += Quoted(depth - 1) + (k ? ", " : "");
        return "[" + all + "]";
      }
    }
  }

 private:
  static std::string Format(const char* format, int number, const char* text = "") {
    char out[128];
    std::snprintf(out, sizeof out, format, number, text);
    return out;
  }

  // Characters a text or a name may hold: letters, digits, marks, quotes,
  // bars, backslashes, spaces and a few beyond ASCII, as each writes them.
  std::string Character(bool name) {
    static const char* const kInText[] = {" ", "|", "\\\\", "\\\"", "'", ".", "\\n", "\\t", "\\u00E9\\u", "\\u2022\\u"};
    static const char* const kInName[] = {" ", "\\|", "\\\\", "\"", "'", ".", "-", "\\u00E9\\u"};
    if (Pick(3)) return std::string(1, static_cast<char>('a' + Pick(26)));
    if (Pick(2)) return std::string(1, static_cast<char>('0' + Pick(10)));
    return name ? OneOf(kInName) : OneOf(kInText);
  }
  std::string Text() {
    std::string text;
    for (int k = Pick(6); k-- > 0;) text += Character(false);
    return text;
  }
  // A symbol's name between bars, which take any name.
  std::string Name(const std::string& stem = "") {
    std::string name = stem;
    for (int k = Pick(5) + 1; k-- > 0;) name += Character(true);
    return "|" + name + "|";
  }
  std::string Elements(int depth) {
    std::string all;
    for (int k = Pick(4); k-- > 0;) all += Value(depth - 1) + (k ? ", " : "");
    return all;
  }
  std::string Slots(int depth) {
    std::string all;
    for (int k = Pick(4); k-- > 0;) all += Name("s" + std::to_string(k)) + ": " + Value(depth - 1) + (k ? ", " : "");
    return all;
  }
};

}  // namespace

TEST(GeneratedSourceTest, RandomFunctionsComeBackFromTheirSource) {
  FunctionGenerator generator(1993);
  // Both function formats, with and without names for the debugger.
  const char* const kSettings[] = {"{debugInfo: true}", "{}", "{functions: 'CodeBlock}"};
  for (int round = 0; round < 300; ++round) {
    std::string program = "Package({name: \"t\"});\nPart(" + std::string(kSettings[round % 3]) +
                          ", {f: " + generator.Function() + ", g: " + generator.Function() + "});\n";
    Compiled compiled = CompileSource(program);
    ASSERT_EQ(compiled.error, "") << program << "\nat " << compiled.line << ":" << compiled.column;
    SCOPED_TRACE(program);
    ExpectRebuiltFromSource(compiled.package, true, true);
    if (HasFailure()) break;
  }
}

TEST(GeneratedSourceTest, RandomDataComesBackFromItsSource) {
  ValueGenerator generator(1994);
  for (int round = 0; round < 1000; ++round) {
    std::string program = "constant shared := [1, " + generator.Value(2) + "];\nPackage({name: \"t\"});\nPart({}, " +
                          generator.Value(4) + ");\n";
    Compiled compiled = CompileSource(program);
    ASSERT_EQ(compiled.error, "") << program << "\nat " << compiled.line << ":" << compiled.column;
    SCOPED_TRACE(program);
    ExpectRebuiltFromSource(compiled.package, true, true);
    if (HasFailure()) break;
  }
}
