// The compiler: the instructions each form of NewtonScript gives, and the
// faults a source can have, each refused with its place.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/compile.h"
#include "decompiler/decompiler.h"
#include "reader/heap_tree.h"
#include "tests/test_support.h"

namespace {

const char kHeader[] = "Package({name: \"t\"});\n";

std::string Program(const std::string& value, const std::string& settings = "") {
  return std::string(kHeader) + "Part({type: \"form\", flags: 0x81, debugInfo: true" + settings + "}, " + value + ");\n";
}

// The first function of the part's value, one instruction after another:
// "name B ; what B is", as the disassembly has it without the pc.
std::string Instructions(const std::string& source) {
  Compiled compiled = CompileSource(source);
  if (!compiled.error.empty()) return "error " + std::to_string(compiled.line) + ":" + compiled.error;
  ReadPackage package(compiled.package);
  Decompiler function(package.Tree(), package.Top());
  std::string all;
  for (const Instruction& ins : function.Code()) {
    std::string line = function.Disassembly(ins);
    line.erase(0, line.find_first_not_of(' '));
    line.erase(0, line.find(' ') + 2);
    for (size_t at; (at = line.find("  ")) != std::string::npos;) line.erase(at, 1);
    if (!all.empty()) all += "; ";
    all += line;
  }
  return all;
}

// The program's package, built again from its --source, is the same file;
// with `asSource`, every function written as source.
void ExpectSourceComesBack(const std::string& program, bool asSource = true) {
  Compiled compiled = CompileSource(program);
  ASSERT_EQ(compiled.error, "") << program;
  ExpectRebuiltFromSource(compiled.package, true, asSource);
}

struct Form {
  const char* title;
  const char* function;
  const char* instructions;
};

// clang-format off
const Form kForms[] = {
    {"unary minus is 0 minus the value; a negative number is a number",
     "func(x) [-x, -5, -(x)]",
     "push-constant 0 ; 0; get-var 3 ; x; freq-func 1 ; subtract; push-constant 65516 ; -5; push-constant 0 ; 0; "
     "get-var 3 ; x; freq-func 1 ; subtract; push 0 ; 'Array; make-array 3; return"},
    {"exists on a variable looked up by name, and on a path",
     "func(a) [gx exists, a.b exists]",
     "push 0 ; 'gx; push 1 ; 'HasVar; call 1; get-var 3 ; a; push 2 ; 'b; freq-func 23 ; has-path; push 3 ; 'Array; "
     "make-array 2; return"},
    {"a local with a value, a comment of each kind",
     "func() begin local x := 1 /* one */; // done\n x end",
     "push-constant 4 ; 1; set-var 3 ; x; get-var 3 ; x; return"},
    {"an if as a statement has no else-part to jump over",
     "func(a) begin if a then f(); a end",
     "get-var 3 ; a; branch-if-false 7 ; -> 7; push 0 ; 'f; call 0; pop; get-var 3 ; a; return"},
    {"and in a condition is tested by its value",
     "func(a, b) begin if a and b then f(); nil end",
     "get-var 3 ; a; branch-if-false 8 ; -> 8; get-var 4 ; b; branch 9 ; -> 9; push-constant 2 ; nil; "
     "branch-if-false 15 ; -> 15; push 0 ; 'f; call 0; pop; push-constant 2 ; nil; return"},
    {"a bare break and return; the compiler's own return after the last",
     "func(a) begin loop if a then break; return end",
     "get-var 3 ; a; branch-if-false 11 ; -> 11; push-constant 2 ; nil; branch 14 ; -> 14; branch 12 ; -> 12; "
     "push-constant 2 ; nil; pop; branch 0 ; -> 0; pop; push-constant 2 ; nil; return; return"},
    {"strings with their escapes and a symbol of an odd name",
     "func() [\"a\\\"b\\\\\\n\\t\", \"\\u00E9\\u\", '|odd name|]",
     "push 0 ; \"a\\\"b\\\\\\n\\t\"; push 1 ; \"\\u00E9\\u\"; push 2 ; '|odd name|; push 3 ; 'Array; make-array 3; return"},
    {"numbers beyond push-constant, reals and characters",
     "func() [8191, 8192, -8193, 1.5, $\\u2022]",
     "push-constant 32764 ; 8191; push 0 ; 8192; push 1 ; -8193; push 2 ; <real, 8 bytes>; push 3 ; $\\u2022; "
     "push 4 ; 'Array; make-array 5; return"},
    {"characters with their escapes",
     "func() [$\\n, $\\t, $\\\\, $\", $\\u00E9]",
     "push-constant 166 ; $\\n; push-constant 150 ; $\\t; push-constant 1478 ; $\\\\; push-constant 550 ; $\"; "
     "push-constant 3734 ; $\\u00E9; push 0 ; 'Array; make-array 5; return"},
    {"quoted arrays and frames are literals; a classed array is made",
     "func(x) ['[1, sym, \"s\"], '{a: 1}, [pair: x, 2]]",
     "push 0 ; [3 elements]; push 1 ; {1 slots}; get-var 3 ; x; push-constant 8 ; 2; push 2 ; 'pair; "
     "make-array 2; push 3 ; 'Array; make-array 3; return"},
    {"a path of several names is one literal",
     "func(a) a.b.c.d",
     "get-var 3 ; a; push 0 ; [3 elements]; get-path 1; return"},
    {"a closure, a plain function literal",
     "func() [func() 1, WithOptions(func() 2, {closure: nil})]",
     "push 0 ; func; set-lex-scope; push 1 ; func; push 2 ; 'Array; make-array 2; return"},
    {"a variable a function inside reaches lives in the argFrame",
     "func(a) begin local n := 0; func() n + a end",
     "get-var 3 ; a; find-and-set-var 0 ; 'a; push-constant 0 ; 0; find-and-set-var 1 ; 'n; push 2 ; func; set-lex-scope; return"},
    {"for with a step: counter, limit and step numbered as it begins",
     "func(x) begin for i := 10 to x by -2 do f(i); nil end",
     "push-constant 40 ; 10; set-var 4 ; i; get-var 3 ; x; set-var 5 ; i|limit; push-constant 65528 ; -2; "
     "set-var 6 ; i|incr; get-var 6 ; i|incr; get-var 4 ; i; branch 21 ; -> 21; get-var 4 ; i; push 0 ; 'f; "
     "call 1; pop; get-var 6 ; i|incr; incr-var 4 ; i; get-var 5 ; i|limit; branch-if-loop-not-done 15 ; -> 15; "
     "push-constant 2 ; nil; pop; push-constant 2 ; nil; return"},
    {"sends, inherited and call with",
     "func(a) [:m(a), :?m(), a:m(), inherited:m(), inherited:?m(1), call a with (1)]",
     "get-var 3 ; a; push-self; push 0 ; 'm; send 1; push-self; push 0 ; 'm; send-if-defined 0; get-var 3 ; a; "
     "push 0 ; 'm; send 0; push 0 ; 'm; resend 0; push-constant 4 ; 1; push 0 ; 'm; resend-if-defined 1; "
     "push-constant 4 ; 1; get-var 3 ; a; invoke 1; push 1 ; 'Array; make-array 6; return"},
    {"assignments to paths and elements, as statements and as values",
     "func(a, i) begin a.b.c := 1; a[i] := 2; f(a.b := 3) end",
     "get-var 3 ; a; push 0 ; [2 elements]; push-constant 4 ; 1; set-path 0; get-var 3 ; a; get-var 4 ; i; "
     "push-constant 8 ; 2; freq-func 3 ; set-aref; pop; get-var 3 ; a; push 1 ; 'b; push-constant 12 ; 3; "
     "set-path 1; push 2 ; 'f; call 1; return"},
    {"while and repeat: the test after the body, the loop's value nil",
     "func(a) begin while a do a := f(a); repeat a := g(a) until a; nil end",
     "branch 9 ; -> 9; get-var 3 ; a; push 0 ; 'f; call 1; set-var 3 ; a; get-var 3 ; a; pop; get-var 3 ; a; "
     "branch-if-true 3 ; -> 3; push-constant 2 ; nil; pop; get-var 3 ; a; push 1 ; 'g; call 1; set-var 3 ; a; "
     "get-var 3 ; a; branch-if-false 13 ; -> 13; push-constant 2 ; nil; pop; push-constant 2 ; nil; return"},
    {"foreach with a key, deeply, and foreach collect",
     "func(o) [foreach k, v deeply in o do f(k, v), foreach v in o collect v]",
     "get-var 3 ; o; push-constant 26 ; true; freq-func 17 ; new-iterator; set-var 6 ; kv|iter; branch 26 ; "
     "-> 26; get-var 6 ; kv|iter; push-constant 4 ; 1; freq-func 2 ; aref; set-var 5 ; v; get-var 6 ; "
     "kv|iter; push-constant 0 ; 0; freq-func 2 ; aref; set-var 4 ; k; get-var 4 ; k; get-var 5 ; v; push 0 ; "
     "'f; call 2; pop; get-var 6 ; kv|iter; iter-next; get-var 6 ; kv|iter; iter-done; branch-if-false 11 ; "
     "-> 11; push-constant 2 ; nil; push-constant 2 ; nil; set-var 6 ; kv|iter; get-var 3 ; o; "
     "push-constant 2 ; nil; freq-func 17 ; new-iterator; set-var 7 ; v|iter; get-var 7 ; v|iter; "
     "push-constant 20 ; 5; freq-func 2 ; aref; push 1 ; 'Array; make-array 65535; set-var 9 ; v|result; "
     "push-constant 0 ; 0; set-var 8 ; v|index; branch 88 ; -> 88; get-var 7 ; v|iter; push-constant 4 ; 1; "
     "freq-func 2 ; aref; set-var 5 ; v; get-var 9 ; v|result; get-var 8 ; v|index; get-var 5 ; v; "
     "freq-func 3 ; set-aref; pop; push-constant 4 ; 1; incr-var 8 ; v|index; pop; pop; get-var 7 ; v|iter; "
     "iter-next; get-var 7 ; v|iter; iter-done; branch-if-false 63 ; -> 63; branch 103 ; -> 103; set-var 9 ; "
     "v|result; pop; pop; get-var 9 ; v|result; push-constant 2 ; nil; set-var 9 ; v|result; "
     "push-constant 2 ; nil; set-var 7 ; v|iter; push 1 ; 'Array; make-array 2; return"},
    {"try with two handlers, the last falling through to pop-handlers",
     "func() begin try f() onexception |evt.ex| do g() onexception |evt.ex.fr| do h(); nil end",
     "push 0 ; '|evt.ex|; push-constant 72 ; 18; push 1 ; '|evt.ex.fr|; push-constant 96 ; 24; "
     "new-handlers 2; push 2 ; 'f; call 0; pop; pop-handlers; branch 30 ; -> 30; push 3 ; 'g; call 0; pop; "
     "branch 27 ; -> 27; push 4 ; 'h; call 0; pop; pop-handlers; push-constant 2 ; nil; return"},
    {"a magic pointer, a constant folded in, or, not, & and &&",
     "func(a, b) [@12, kLimit, a or not b, a & b && \"c\"]",
     "push-constant 51 ; @12; push-constant 36 ; 9; get-var 3 ; a; branch-if-true 15 ; -> 15; get-var 4 ; b; "
     "freq-func 5 ; not; branch 18 ; -> 18; push-constant 26 ; true; get-var 3 ; a; get-var 4 ; b; push 0 ; "
     "\" \"; push 1 ; \"c\"; push 2 ; 'Array; make-array 4; freq-func 22 ; stringer; push 2 ; 'Array; "
     "make-array 4; return"},
    {"a constant declared inside a function; a quoted classed array",
     "func() begin constant c := 3; [c, '[pair: 1, 2]] end",
     "push-constant 12 ; 3; push 0 ; [2 elements]; push 1 ; 'Array; make-array 2; return"},
    {"the built-in functions of their own instructions; a path read from a path's value",
     "func(a, b) [BAnd(a, b), BOr(a, b), BNot(a), Clone(a), SetClass(a, 'x), AddArraySlot(a, b), ClassOf(a), (a.b).c]",
     "get-var 3 ; a; get-var 4 ; b; freq-func 14 ; bit-and; get-var 3 ; a; get-var 4 ; b; freq-func 15 ; bit-or; "
     "get-var 3 ; a; freq-func 16 ; bit-not; get-var 3 ; a; freq-func 19 ; clone; get-var 3 ; a; push 0 ; 'x; "
     "freq-func 20 ; set-class; get-var 3 ; a; get-var 4 ; b; freq-func 21 ; add-array-slot; get-var 3 ; a; "
     "freq-func 24 ; class-of; get-var 3 ; a; push 1 ; 'b; get-path 1; push 2 ; 'c; get-path 1; push 3 ; 'Array; "
     "make-array 8; return"},
    {"an array whose first element begins with a send to a variable",
     "func(a, b) [(a:m() + 1), b]",
     "get-var 3 ; a; push 0 ; 'm; send 0; push-constant 4 ; 1; freq-func 0 ; add; get-var 4 ; b; push 1 ; 'Array; "
     "make-array 2; return"},
    {"a loop no break leaves, and code after it",
     "func(a) begin loop if a then return 1; a end",
     "get-var 3 ; a; branch-if-false 9 ; -> 9; push-constant 4 ; 1; return; branch 10 ; -> 10; push-constant 2 ; nil; "
     "pop; branch 0 ; -> 0; pop; get-var 3 ; a; return"},
    {"if as a value has both branches",
     "func(a) f(if a then 1 else 2)",
     "get-var 3 ; a; branch-if-false 8 ; -> 8; push-constant 4 ; 1; branch 11 ; -> 11; push-constant 8 ; 2; "
     "push 0 ; 'f; call 1; return"},
};
// clang-format on

}  // namespace

TEST(CompileTest, EachFormGivesThePlatformCompilersInstructions) {
  for (const Form& form : kForms) {
    SCOPED_TRACE(form.title);
    std::string program = "constant kLimit := 9;\n" + Program(form.function);
    EXPECT_EQ(Instructions(program), form.instructions);
    ExpectSourceComesBack(program);
  }
}

namespace {

struct Faulty {
  const char* title;
  std::string source;
  const char* message;  // after "src.ns:"
};

const char kPrecious[] = "a package that must survive";

ToolResult Compile(const TempDir& dir, const std::vector<std::string>& args, const std::string& input = "/dev/null") {
  return RunTool(PKGCOMPILE_PATH, dir.Path(), args, "pkgcompile", {}, input);
}

}  // namespace

TEST(CompileTest, FaultySourcesAreRefusedAtTheirPlaceAndWriteNothing) {
  const std::string header = kHeader;
  const Faulty kFaulty[] = {
      {"an unterminated string", header + "Part({}, \"abc);\n", "2:10: the string is not closed"},
      {"an unterminated symbol", header + "Part({}, '|abc);\n", "2:11: the symbol's name is not closed by |"},
      {"an unterminated comment", header + "/* never ends\nPart({}, 1);\n", "2:1: the comment is not closed"},
      {"a begin without its end", header + "Part({}, func() begin 1; begin 2 end);\n",
       "2:37: ';' or 'end' is needed here, not ')'"},
      {"an end without its begin", header + "Part({}, func() 1 end);\n",
       "2:19: ')' or ',' is needed here, not the word end"},
      {"a func without its body", header + "Part({}, func());\n", "2:16: a value is needed here, not ')'"},
      {"an unknown character", header + "Part({}, func() 1 # 2);\n", "2:19: an unknown character '#'"},
      {"hex of an odd length", header + "Part({}, MakeBinaryFromHex(\"abc\", 'data));\n",
       "2:10: the hex digits are of an odd number: a byte is two"},
      {"an integer beyond 30 bits", header + "Part({}, func() 536870912);\n",
       "2:17: the number is out of range: integers are of 30 bits"},
      {"a number beyond any", header + "Part({}, 99999999999999999999999);\n", "2:10: the number is out of range"},
      {"a real beyond any", header + "Part({}, 1.5e99999);\n", "2:10: the number is out of range"},
      {"a short \\u group", header + "Part({}, \"\\u12\");\n", "2:15: a \\u group needs four hex digits"},
      {"an empty file", "", "1:1: no Package({...}) gives the package's header"},
      {"no part", header, "2:1: no Part({...}, value) gives the package a part"},
      {"a file that is not text", std::string("\0\xFF\xFE\x01", 4), "1:1: the source is not text: it holds a zero byte"},
      {"bytes that are not UTF-8", "Package({name: \"t\xFF\"});\n",
       "1:18: the source is not text: its bytes are not UTF-8 here"},
      {"an argument named twice", header + "Part({}, func(a, a) a);\n", "2:18: the argument a is named twice"},
      {"a break outside any loop", header + "Part({}, func() break);\n", "2:17: break is outside any loop"},
      {"native code", header + "Part({}, native func() 1);\n",
       "2:10: native functions hold machine code, which is not compiled here"},
      {"a slot of a function no part holds", header + "constant f := func() 1;\nPart({}, f.literals);\n",
       "3:10: no part holds the function, so its slots are not made"},
      {"a number where a mark is due", header + "Part({}, 1 2);\n", "2:12: ')' or ',' is needed here, not a number"},
      {"a string where a mark is due", header + "Part({}, 1 \"s\");\n", "2:12: ')' or ',' is needed here, not a string"},
      {"a character where a mark is due", header + "Part({}, 1 $a);\n",
       "2:12: ')' or ',' is needed here, not a character"},
      {"a name where a mark is due", header + "Part({}, 1 x);\n", "2:12: ')' or ',' is needed here, not the name x"},
      {"the end where a mark is due", header + "Part({}, 1", "2:11: ')' or ',' is needed here, not the end of the source"},
      {"a byte order mark after the start", header + "\xEF\xBB\xBF", "2:1: an unknown character U+FEFF"},
      {"a character beyond ASCII", header + "Part({}, 1 \xE2\x82\xAC 2);\n", "2:12: an unknown character U+20AC"},
      {"a character of no character", header + "Part({}, $", "2:10: $ is followed by no character"},
      {"a character beyond 16 bits", header + "Part({}, $\xF0\x9F\x98\x80);\n", "2:10: a character is 16 bits"},
      {"a path of two names known when compiling", header + "constant k := {a: {b: 1}};\nPart({}, k.a.b);\n",
       "3:10: a path known when the source is compiled names one slot"},
  };
  for (const Faulty& row : kFaulty) {
    SCOPED_TRACE(row.title);
    TempDir dir;
    WriteFile(dir / "src.ns", row.source);
    WriteFile(dir / "out.pkg", kPrecious);
    ToolResult result = Compile(dir, {"-o", "out.pkg", "src.ns"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, std::string("src.ns:") + row.message + "\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(ReadFile(dir / "out.pkg"), kPrecious);
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"out.pkg", "src.ns"}));
  }
}

// A program faulty beyond its syntax: each check's message, at its place.
TEST(CompileTest, ProgramFaultsAreRefusedAtTheirPlace) {
  const std::string header = kHeader;
  const Faulty kFaulty[] = {
      {"a header given twice", header + header + "Part({}, 1);\n",
       "2:1: the package's header is given twice"},
      {"a statement that is none of the three", header + "1 + 2;\n",
       "2:1: a program's statements are constant declarations, Package({...}) and Part({...}, value)"},
      {"a constant declared twice", header + "constant k := 1;\nconstant k := 2;\nPart({}, k);\n",
       "3:10: the constant k is declared twice"},
      {"a name no constant has", header + "Part({}, {a: nowhere});\n",
       "2:14: nowhere is no constant"},
      {"a setting no header has", "Package({colour: 1});\n",
       "1:18: no setting is called colour"},
      {"a signature of another kind", "Package({signature: \"package9\"});\n",
       "1:9: a package's signature is \"package0\" or \"package1\""},
      {"relocation data without its flag", "Package({relocation: MakeBinaryFromHex(\"00\", nil)});\n",
       "1:9: relocation data is given with the flag 0x04000000, and its second word is its size"},
      {"an alignment of 2", header + "Part({alignment: 2}, 1);\n",
       "2:6: a part's objects are aligned to 4 or 8 bytes"},
      {"a root array that is not one", header + "Part({rootArray: true}, 1);\n",
       "2:25: a part's root array is an array"},
      {"a part of bytes given a frame", header + "Part({flags: 0x80}, {a: 1});\n",
       "2:21: a part that holds no NewtonScript is given as its bytes"},
      {"a value known only when running", header + "Part({}, {a: 1 + 2});\n",
       "2:14: this value is not known when the source is compiled"},
      {"an immediate that would point", header + "Part({}, Immediate(0x11));\n",
       "2:10: an immediate's low bits are not 01, which a pointer's are"},
      {"SetClass of a frame", header + "Part({}, SetClass({a: 1}, 'x));\n",
       "2:10: SetClass gives a class to an array or a binary object"},
      {"a map naming a slot twice", header + "Part({}, Map('[a, b, a], 0));\n",
       "2:10: the map names a twice"},
      {"options that are no frame", header + "Part({}, WithOptions(func() 1, 5));\n",
       "2:10: WithOptions takes a frame of options"},
      {"a format of another name", header + "Part({}, WithOptions(func() 1, {format: 'nos3}));\n",
       "2:10: a function's format is 'CodeBlock or 'nos2"},
      {"a literals group of 0", header + "Part({}, WithOptions(func() 1, {mergeLiterals: 0}));\n",
       "2:10: mergeLiterals is a group's number, from 1"},
      {"a function's map of other names", header + "Part({}, WithOptions(func() 1, {map: Map('[a], 0)}));\n",
       "2:22: the map names other slots than the function's frame"},
      {"an option no value takes", header + "Part({}, WithOptions({a: 1}, {colour: 1}));\n",
       "2:10: no option colour is given to this value"},
      {"a setting neither true nor nil", header + "Part({mergeMaps: 3}, 1);\n",
       "2:18: mergeMaps is true or nil"},
      {"an info beyond 8 bits", header + "Part({info: \"\\u0100\\u\"}, 1);\n",
       "2:13: info is 8-bit text"},
      {"a part's functions of another format", header + "Part({functions: 'nos3}, 1);\n",
       "2:18: functions is 'CodeBlock or 'nos2"},
      {"spellings that are no symbols", header + "Part({spellings: [1]}, 1);\n",
       "2:18: spellings is an array of symbols"},
      {"a name that is no string", "Package({name: 5});\n",
       "1:16: a string is needed here"},
      {"an unknown escape", header + "Part({}, \"a\\qb\");\n",
       "2:13: an unknown escape \\q"},
      {"exists of a call", header + "Part({}, func() f() exists);\n",
       "2:17: exists asks of a path or of a variable looked up by name"},
      {"@ without a number", header + "Part({}, func() @x);\n",
       "2:18: @ is followed by the number of a magic pointer"},
      {"an assignment to a number", header + "Part({}, func() 1 := 2);\n",
       "2:17: this cannot be assigned to"},
      {"argFrame of no frame", header + "Part({}, WithOptions(func() 1, {argFrame: 5}));\n",
       "2:10: argFrame gives the values of _nextArgFrame, _parent and _implementor, then of the variables it keeps"},
      {"Package inside a value", header + "Part({}, [Package({})]);\n", "2:11: Package(...) is a statement of its own"},
      {"a function unknown when compiling", header + "Part({}, Foo(1));\n",
       "2:10: Foo is not known when the source is compiled: MakeBinaryFromHex, SetClass, Map, Immediate and "
       "WithOptions are"},
      {"SetClass without its class", header + "Part({}, SetClass([1]));\n", "2:10: SetClass takes 2 arguments"},
      {"Map of one argument", header + "Part({}, Map('[a]));\n", "2:10: Map takes 2 to 3 arguments"},
      {"a gap beyond 8 bits", "Package({name: \"t\", nameGap: \"\\u0100\\u\"});\n",
       "1:30: nameGap is 8-bit text or bytes"},
      {"a quoted value of no kind", header + "Part({}, '-x);\n",
       "2:11: a quoted value is a name, a number, a string, a character, an array or a frame"},
      {"a slot of no frame", header + "constant k := [1];\nPart({}, k.a);\n",
       "3:10: only a frame has slots"},
  };
  for (const Faulty& row : kFaulty) {
    Compiled compiled = CompileSource(row.source);
    EXPECT_EQ(std::to_string(compiled.line) + ":" + std::to_string(compiled.column) + ": " + compiled.error, row.message)
        << row.title;
  }
}

// Nesting as deep as a crafted source likes is compiled or refused with its
// place, never a crash.
TEST(CompileTest, DeepNestingIsRefusedWithItsPlace) {
  const int kDeep = 10000;
  auto repeat = [](const std::string& piece, int times) {
    std::string all;
    for (int k = 0; k < times; ++k) all += piece;
    return all;
  };
  const std::string kNested[] = {
      repeat("(", kDeep) + "1" + repeat(")", kDeep),
      repeat("- ", kDeep) + "x",
      repeat("not ", kDeep) + "x",
      repeat("begin ", kDeep) + "1" + repeat(" end", kDeep),
      repeat("if x then ", kDeep) + "1",
      repeat("[", kDeep) + repeat("]", kDeep),
      std::string("'").append(repeat("[", kDeep)).append(repeat("]", kDeep)),
      repeat("{a: ", kDeep) + "1" + repeat("}", kDeep),
      repeat("func() ", kDeep) + "1",
      repeat("f(", kDeep) + repeat(")", kDeep),
      std::string("x").append(repeat("[1]", kDeep)),
  };
  for (const std::string& nested : kNested) {
    Compiled compiled = CompileSource(Program("func(x) " + nested));
    EXPECT_NE(compiled.error.find("nests more than"), std::string::npos) << nested.substr(0, 40);
    EXPECT_EQ(compiled.line, 2) << nested.substr(0, 40);
  }
  // A path of many names is one literal, however long.
  EXPECT_EQ(CompileSource(Program("func(x) x" + repeat(".a", kDeep))).error, "");
}

// Reals as the platform stored them, however awkward, come back from the
// source bit for bit, in a frame and among a function's literals; those
// NewtonScript can write are written as numbers.
TEST(CompileTest, AwkwardRealsComeBackBitForBit) {
  struct Awkward {
    const char* bits;
    const char* printed;  // nullptr: written as its bytes
  };
  const Awkward kReals[] = {
      {"497C06A5EC5433C6", "1.0e46"},
      {"3FB999999999999A", "0.1"},
      {"0000000000000001", "5.0e-324"},  // the smallest denormal
      {"80002E055C9A3F6C", "-2.5e-310"},
      {"0000000000000000", "0.0"},
      {"8000000000000000", "-0.0"},
      {"7FEFFFFFFFFFFFFF", "1.7976931348623157e308"},
      {"7FF0000000000000", nullptr},
      {"FFF0000000000000", nullptr},
      {"7FF8000000000000", nullptr},
      {"FFFFFFFFFFFFFFFF", nullptr},  // a NaN with all its payload bits
  };
  std::string slots, literals;
  for (size_t k = 0; k < std::size(kReals); ++k) {
    std::string value = std::string("MakeBinaryFromHex(\"") + kReals[k].bits + "\", 'real)";
    slots.append("r").append(std::to_string(k)).append(": ").append(value).append(", ");
    literals.append(value).append(", ");
  }
  Compiled compiled = CompileSource(Program("{" + slots + "f: func() [" + literals + "nil]}"));
  ASSERT_EQ(compiled.error, "");
  ExpectRebuiltFromSource(compiled.package, true, true);
  std::string source = InspectBytes(compiled.package, InspectMode::kSource).out;
  for (const Awkward& real : kReals) {
    if (real.printed) {
      EXPECT_NE(source.find(std::string(": ") + real.printed + ","), std::string::npos) << real.printed;
    }
  }
}

// Functions whose frames differ from what their plain source makes come back
// as source with the options that say how.
TEST(CompileTest, FunctionOptionsComeBackAsSource) {
  const std::string kShared = "WithOptions(func(x) x & \"s\", {mergeLiterals: ";
  const std::string kFunctions[] = {
      // an argFrame where nothing lives, which the compiler makes only when given
      "f: WithOptions(func() 1, {argFrame: {_nextArgFrame: nil, _parent: nil, _implementor: nil}})",
      // literals shared in two pairs, the pairs' equal but apart
      "f: " + kShared + "1}), g: " + kShared + "1}), h: " + kShared + "2}), i: " + kShared + "2})",
      // a function written as its frame (for its name slot) whose instructions
      // and literals a compiled one shares
      "f: WithOptions({class: Immediate(0x32), instructions: MakeBinaryFromHex(\"7b189102\", 'instructions), "
      "literals: [literals: 'x], argFrame: nil, name: nil, numArgs: 1}, "
      "{asFunction: true, mergeInstructions: true, mergeLiterals: 1}), "
      "g: WithOptions(func(a) a.x, {mergeInstructions: true, mergeLiterals: 1})",
      // literals the code does not use; a path that gives nil where it breaks
      "f: WithOptions(func(a) WithOptions(a.b, {nilSafe: true}), {moreLiterals: [\"unused\", 'sym]})",
      // an argFrame keeping a variable with a value, under a map of its own
      "f: WithOptions(func() begin local v; func() v end, {argFrame: {_nextArgFrame: nil, _parent: 1, "
      "_implementor: nil, kept: 2}, argFrameMap: Map('[_nextArgFrame, _parent, _implementor, kept, v], 6)})",
      // the other format, no names, nil for names, a function pushed as it is
      "f: WithOptions(func(a) a, {format: 'CodeBlock}), g: WithOptions(func(a) a, {debugInfo: 'none}), "
      "h: WithOptions(func(a) a, {debugInfo: nil}), i: func() WithOptions(func() 1, {closure: nil})",
      // magic pointers a function pushes, named as constants
      "f: func() [@12, @7, @12]",
      // frames whose maps hang from one supermap
      "f: WithOptions({a: 0, b: 1}, {map: Map('[b], 0, m)}), g: WithOptions({a: 0, c: 2}, {map: Map('[c], 0, m)})",
  };
  for (const std::string& function : kFunctions) {
    SCOPED_TRACE(function);
    ExpectSourceComesBack("constant m := Map('[a], 0);\n" + Program("{" + function + "}"),
                          function.find("asFunction") == std::string::npos);
  }
}

// Functions that other tools shaped come back as their source:
// - what the compiler makes for a function and data holds too (a native
//   function's closure holds the literals and the DebuggerInfo of the
//   function it was compiled from), written as the function's slots;
// - names another compiler kept in DebuggerInfo, given as it is;
// - without names, a loop's limit and step another compiler numbered the
//   other way round: every local declared first;
// - without names, an argFrame with as many names as the function has
//   arguments and locals, the one it holds a local reached by name.
TEST(CompileTest, FunctionsOtherToolsShapedComeBackAsSource) {
  const std::string kParts[] = {
      "Part({debugInfo: true}, {nativeFn: {closure: {_literals: f.literals}, bcFunc: f, DebuggerInfo: f.DebuggerInfo}});\n"
      "constant f := func(a) a & \"s\";\n",
      "Part({debugInfo: true}, {g: WithOptions(func() x.y, {debugInfo: [dbg1: 1, 'x]})});\n",
      // for i := 1 to 3 do x := i; x    with i|incr in slot 4, i|limit in 5
      "Part({}, {f: {class: Immediate(0x32), instructions: MakeBinaryFromHex(\"24a327000ca524a47c7b5f00117ba87cb37dbf000d22007002\", "
      "'instructions), literals: [literals: 'x], argFrame: nil, numArgs: 0x30000}});\n",
      // foreach v in o do f(v)    with v|iter in slot 4, v in 5
      "Part({}, {f: {class: Immediate(0x32), instructions: MakeBinaryFromHex(\"7b22c70011a45f00137c24c2a57d1829007c057c066f00092222a4002202\", "
      "'instructions), literals: [literals: 'f], argFrame: nil, numArgs: 0x20001}});\n",
      "Part({}, func(x) begin local f; f := func() f; call f with (x) end);\n",
  };
  for (const std::string& part : kParts) {
    SCOPED_TRACE(part);
    ExpectSourceComesBack(kHeader + part);
  }
  // A function named before it is declared is compiled all the same.
  EXPECT_EQ(Instructions(std::string(kHeader) + "Part({}, f);\nconstant f := func(a) a;\n"), "get-var 3 ; arg1; return");
}

// Whatever a header and its parts say comes back from the source: every
// field of the header, the bytes between its strings, relocation data, a part
// of bytes, and each rule a part's objects are laid out by.
TEST(CompileTest, HeaderAndPartSettingsComeBack) {
  const std::string kPrograms[] = {
      "Package({signature: \"package0\", type: \"xpkg\", flags: 0x10000000, version: 3, copyright: \"(c)\", "
      "name: \"n\", creationDate: 0xB0000000, modificationDate: 0x12345678, reserved: 7, "
      "nameGap: MakeBinaryFromHex(\"0000\", nil), infoGap: MakeBinaryFromHex(\"ab\", nil), "
      "infoTail: MakeBinaryFromHex(\"cdcd\", nil)});\n"
      "Part({type: \"form\", flags: 0x81, info: \"inf\", unused1: 1, unused2: 2, alignment: 8, padding: 0, "
      "foldSymbols: nil, spellings: '[String]}, {a: 'Abc, b: 'abc, s: \"x\"});\n"
      "Part({type: \"raw \", flags: 0x80}, MakeBinaryFromHex(\"0102\", nil));\n",
      "Package({flags: 0x04000000, relocation: MakeBinaryFromHex(\"0000000000000014000000000000000000000000\", nil)});\n"
      "Part({functions: 'CodeBlock, debugInfo: true, functionMapFlags: 2, sharedFunctionMaps: nil, "
      "argFrameMapFlags: 0, mergeInstructions: true, mergeStrings: true, mapFlags: 2, mergeMaps: true}, "
      "{f: func(a) a & \"s\", g: func(a) a & \"s\", h: {a: \"s\"}, i: {a: \"s\"}});\n",
  };
  for (const std::string& program : kPrograms) {
    SCOPED_TRACE(program);
    ExpectSourceComesBack(program);
  }
}

// Data no plain literal writes comes back: names that are reserved words or
// no names at all, strings holding a zero or no terminator, classes that are
// not symbols, frames and arrays that hold each other, empty ones shared.
// A list linked deeper than any source may nest is written in pieces.
TEST(CompileTest, DeeplyLinkedDataComesBack) {
  std::string program = "constant link0 := {next: nil};\n";
  for (int k = 1; k < 1200; ++k) {
    program += "constant link" + std::to_string(k) + " := {next: link" + std::to_string(k - 1) + "};\n";
  }
  ExpectSourceComesBack(program + Program("link1199"));
}

TEST(CompileTest, AwkwardDataComesBack) {
  const std::string kValues[] = {
      "{|begin|: '|end|, |if|: '|then else|, |a b|: '|\\u00E9\\u|, |x\\|y|: '|func|}",
      "[MakeBinaryFromHex(\"0041000000420000\", 'string), MakeBinaryFromHex(\"0041\", 'string), "
      "SetClass([1], 5), SetClass([], \"text\"), MakeBinaryFromHex(\"\", 'empty)]",
      "{a: loopA, e: empty, f: empty, g: [], h: WithOptions(empty, {mapFlags: 6})}",
      "func() begin local |end|, |my var|; |end| := 1; |my var| := |end| + 1 end",
  };
  for (const std::string& value : kValues) {
    SCOPED_TRACE(value);
    ExpectSourceComesBack("constant loopA := {b: loopB};\nconstant loopB := [loopA];\nconstant empty := {};\n" +
                          Program(value));
  }
}

// What a function's code pushes comes back as the same objects: a frame that
// holds a function and is data too, a string pushed at two places, strings
// the part merges.
TEST(CompileTest, WhatCodePushesComesBackShared) {
  const std::string kPrograms[] = {
      "constant k := {m: func() 1};\n" + Program("{f: func() k, g: k}"),
      "constant s := \"shared\";\n" + Program("{f: func() [s, s], g: s}"),
      Program("{f: func() [\"a\", \"a\"], g: \"a\", h: \"a\"}", ", mergeStrings: true"),
  };
  for (const std::string& program : kPrograms) {
    SCOPED_TRACE(program);
    ExpectSourceComesBack(program);
  }
}

// The names the source gives its constants and maps avoid every name the
// package uses: a function that reads globals called shared1, map1 and
// magic1 reads them still.
TEST(CompileTest, ConstantNamesAvoidTheNamesThePackageUses) {
  ExpectSourceComesBack("constant k := {x: 1};\n" +
                        Program("{f: func() [shared1, map1, magic1, @12, k], a: k, b: WithOptions({y: 2}, {map: "
                                "Map('[y], 2)}), c: WithOptions({y: 3}, {map: Map('[y], 2)})}"));
}

// Two parts, each with objects it shares and functions: the constants of
// one part do not take the names of the other's, nor a name the first
// part's code reads.
TEST(CompileTest, PartsKeepTheirConstantsApart) {
  ExpectSourceComesBack("constant k1 := {x: 1};\nconstant k2 := {x: 2};\n" + std::string(kHeader) +
                        "Part({}, {a: k1, b: k1, f: func() shared2});\n"
                        "Part({type: \"auto\"}, {a: k2, b: k2, f: func() k2.x});\n");
}

// A frame with _proto takes the proto flag in its map where the source says
// nothing of the flags, and where it gives them, exactly those.
TEST(CompileTest, MapFlagsGivenAreTaken) {
  Compiled compiled = CompileSource(Program("[{_proto: 1}, WithOptions({_proto: 2}, {mapFlags: 0})]"));
  ASSERT_EQ(compiled.error, "");
  ReadPackage package(compiled.package);
  HeapTree& tree = package.Tree();
  std::vector<uint32_t> flags;
  for (int32_t k = 0; k < 2; ++k) {
    PrintedValue map = tree.Value(static_cast<uint64_t>(tree.Element(package.Top().object, k).offset) + 8);
    flags.push_back(tree.ArrayClass(map.object).word >> 2);
  }
  EXPECT_EQ(flags, (std::vector<uint32_t>{4, 0}));
}

// A function whose frame holds a slot its source does not give (name), or
// whose code makes a frame with a map no source writes (a symbol for its
// supermap), is written as its frame, and the package comes back the same.
TEST(CompileTest, FunctionsTheirSourceCannotMakeAreWrittenAsFrames) {
  const std::string kCode = "instructions: MakeBinaryFromHex(\"7b189119811a29a47b7c7b1b3a007c02\", 'instructions), ";
  const std::string kFunctions[] = {
      "{class: Immediate(0x32), " + kCode +
          "literals: SetClass(['a, SetClass([nil, 'b], nil), 'C, 'd], nil), argFrame: nil, name: nil, numArgs: 1}",
      "{class: Immediate(0x32), " + kCode +
          "literals: SetClass(['a, SetClass(['devInstallQnil, 'b], nil), 'C, 'd], nil), argFrame: nil, numArgs: 1}",
  };
  for (const std::string& function : kFunctions) {
    SCOPED_TRACE(function);
    ExpectSourceComesBack(Program("{f: " + function + "}"), false);
  }
}

// A part type that is not four printable characters is written as a number,
// which is read back whatever its size.
TEST(CompileTest, PartTypesAreTextOrNumbers) {
  ExpectSourceComesBack(std::string(kHeader) + "Part({type: \"\\u001A\\uorm\", flags: 0x81}, 1);\n", false);
}

TEST(CompileTest, CommandLine) {
  TempDir dir;
  const std::string source = Program("func(a) a + 1");
  WriteFile(dir / "app.ns", source);
  WriteFile(dir / "out.pkg", kPrecious);
  std::string package = CompileSource(source).package;

  ToolResult help = Compile(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: pkgcompile [-o OUTPUT.pkg] SOURCE.ns\n", 0), 0u);
  EXPECT_EQ(Compile(dir, {"--version"}).out, "pkgcompile " PKGEMBED_VERSION "\n");
  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{}, {"--bogus", "app.ns"}, {"app.ns", "other.ns"}, {"-o"}, {"-"}, {"--help", "x"}}) {
    ToolResult result = Compile(dir, wrong);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.rfind("usage: pkgcompile", 0), 0u);
  }
  ToolResult missing = Compile(dir, {"none.ns"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "pkgcompile: cannot read none.ns: No such file or directory\n");

  // Beside the source, over an existing package, from standard input, and to
  // standard output: the same bytes.
  EXPECT_EQ(Compile(dir, {"app.ns"}).status, 0);
  EXPECT_EQ(ReadFile(dir / "app.pkg"), package);
  EXPECT_EQ(Compile(dir, {"-o", "out.pkg", "-"}, dir / "app.ns").status, 0);
  EXPECT_EQ(ReadFile(dir / "out.pkg"), package);
  ToolResult piped = Compile(dir, {"-o", "-", "app.ns"});
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.out, package);
  // A fault in standard input is reported against it.
  WriteFile(dir / "bad.ns", "Part(");
  EXPECT_EQ(Compile(dir, {"-o", "x.pkg", "-"}, dir / "bad.ns").err.rfind("<stdin>:1:", 0), 0u);
}
