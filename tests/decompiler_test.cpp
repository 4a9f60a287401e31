// Hand-built functions, one for each form the compiler emits, in both
// function formats: their bytes, disassembly and source against a golden file.

#include "decompiler/decompiler.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "compiler/compile.h"
#include "decompiler/source_text.h"
#include "decompiler/value_source.h"
#include "reader/heap_tree.h"
#include "tests/function_builder.h"
#include "tests/test_support.h"

namespace {

struct Case {
  const char* title;
  std::vector<FunctionPlan> plans;
  // Code the platform's compiler gives, which the source compiles back to;
  // not so for other compilers' forms and hand-made code.
  bool compiler = true;
};

const std::vector<std::string> kAbcd = {"a", "b", "c", "d"};

// clang-format off
const Case kCases[] = {
    {"constants", {{"f", {}, {}, R"(
        push-constant 42; push-constant -1; push-constant $a; push-constant nil
        push-constant true; push-constant @123; push 'Array; make-array 6; return)"}}},
    {"literals", {{"f", {}, {}, R"(
        push int:100000; push "a\b"; push real:3.5; push 'sym; push 'odd name
        push array:1,2; push frame:a=1,b=2; push 'Array; make-array 7; return)"}}},
    {"arithmetic", {{"f", kAbcd, {}, R"(
        get-var 3; get-var 4; get-var 5; freq-func multiply; freq-func add
        get-var 6; push-constant 2; freq-func div; freq-func subtract
        get-var 3; get-var 4; freq-func add; get-var 5; freq-func multiply
        get-var 3; get-var 4; get-var 5; freq-func subtract; freq-func subtract
        get-var 3; get-var 4; freq-func divide
        push-constant 0; get-var 3; freq-func subtract
        get-var 3; get-var 4; push 'mod; call 2
        push 'Array; make-array 6; return)"}}},
    {"comparisons and not", {{"f", kAbcd, {}, R"(
        get-var 3; get-var 4; freq-func equals; get-var 3; get-var 4; freq-func not-equals
        get-var 3; get-var 4; freq-func less-than; get-var 3; get-var 4; freq-func greater-than
        get-var 3; get-var 4; freq-func less-or-equal; get-var 3; get-var 4; freq-func greater-or-equal
        get-var 3; freq-func not; get-var 3; get-var 4; freq-func equals; freq-func not
        push 'Array; make-array 8; return)"}}},
    {"strings", {{"f", kAbcd, {"s"}, R"(
        get-var 3; get-var 4; push " "; get-var 5; push 'Array; make-array 4; freq-func stringer
        set-var 7
        get-var 3; push "!"; push 'Array; make-array 2; freq-func stringer; return)", {}}}},
    {"calls and sends", {{"f", kAbcd, {}, R"(
        get-var 3; get-var 4; push 'f; call 2; pop
        get-var 4; get-var 3; invoke 1; pop
        get-var 3; push-self; push 'msg; send 1; pop
        get-var 3; push-self; push 'msg; send-if-defined 1; pop
        get-var 4; get-var 5; get-var 3; push 'msg; send 2; pop
        get-var 3; push 'msg; send-if-defined 0; pop
        get-var 3; push 'msg; resend 1; pop
        push 'msg; resend-if-defined 0; return)"}}},
    {"constructors", {{"f", {"x"}, {}, R"(
        get-var 3; push-constant 2; push map:a,b; make-frame 2
        get-var 3; push-constant 2; push 'Array; make-array 2
        get-var 3; push-constant 2; push 'cls; make-array 2
        get-var 3; push 'Array; make-array sized
        push 'Array; make-array 4; return)"}}, false},
    {"paths", {{"f", kAbcd, {}, R"(
        get-var 3; push 'b; get-path 1
        get-var 3; push path:b,c; get-path 1
        get-var 3; get-var 4; get-path 1
        get-var 3; get-var 4; freq-func aref
        get-var 3; push 'b; freq-func has-path
        push-self; push 'slot; get-path 1
        push 'Array; make-array 6; return)"}}},
    {"assignments", {{"f", kAbcd, {"x"}, R"(
        get-var 3; push 'b; get-var 5; set-path 0
        get-var 3; push path:b,c; get-var 6; set-path 0
        get-var 3; get-var 4; get-var 5; freq-func set-aref; pop
        get-var 3; set-var 7
        get-var 4; push-constant 1; freq-func add; find-and-set-var 'global
        get-var 3; get-var 4; set-var 7; get-var 7; push 'f; call 2; pop
        get-var 3; push 'b; get-var 5; set-path 1; return)"}}},
    {"begin, return and unreachable code", {{"f", {"a"}, {}, R"(
        get-var 3; branch-if-false L1; get-var 3; return; pop
    L1: push 'g; call 0; pop; push-constant 1; return
        push-constant 2; return)"}}, false},
    {"functions and closures", {
        {"f", {"a"}, {"x"}, R"(
            push fn:inner; set-lex-scope; set-var 4
            get-var 3; get-var 4; invoke 1; pop
            push fn:other; return)"},
        {"inner", {"y"}, {}, "get-var 3; push-constant 1; freq-func add; return"},
        {"other", {}, {}, "push-constant true; return"}}},
    {"if then else", {{"f", kAbcd, {}, R"(
        get-var 3; branch-if-false L1; get-var 4; branch L2
    L1: get-var 5
    L2: set-var 6
        get-var 3; branch-if-false L3; push 'g; call 0; pop; get-var 4; branch L4
    L3: push-constant nil
    L4: set-var 6
        get-var 3; branch-if-false L5; push 'g; call 0; pop
    L5: get-var 3; branch-if-false L6; get-var 4; branch L7
    L6: push-constant nil
    L7: branch-if-false L8; push 'h; call 0; pop
    L8: get-var 6; return)"}}},
    {"nested ifs, the inner one jumping over an empty else-part", {{"f", {"a", "b"}, {}, R"(
        get-var 3; branch-if-false L1; get-var 4; branch-if-false L1; push 'h; call 0; pop; branch L1
    L1: push-constant nil; return)"}}},
    {"and, or", {{"f", kAbcd, {}, R"(
        get-var 3; branch-if-false L1; get-var 4; branch L2
    L1: push-constant nil
    L2: get-var 3; branch-if-true L3; get-var 4; branch L4
    L3: push-constant true
    L4: push 'Array; make-array 2; return)"}}},
    {"else if chain", {{"f", {"a"}, {}, R"(
        get-var 3; push-constant 0; freq-func equals; branch-if-false L1; push "zero"; branch L9
    L1: get-var 3; push-constant 1; freq-func equals; branch-if-false L2; push "one"; branch L9
    L2: push "many"
    L9: return)"}}},
    {"for", {{"f", {"n"}, {"i", "i|limit", "i|incr"}, R"(
        push-constant 1; set-var 4; get-var 3; set-var 5; push-constant 1; set-var 6
        get-var 6; get-var 4; branch TEST
    TOP: get-var 4; push 'Print; call 1; pop
        get-var 6; incr-var 4
    TEST: get-var 5; branch-if-loop-not-done TOP
        push-constant nil; pop
        get-var 3; set-var 4; push-constant 0; set-var 5; push-constant -2; set-var 6
        get-var 6; get-var 4; branch TEST2
    TOP2: get-var 4; push 'Print; call 1; pop
        get-var 6; incr-var 4
    TEST2: get-var 5; branch-if-loop-not-done TOP2
        push-constant nil; return)"}}},
    {"while and repeat", {{"f", {"a"}, {}, R"(
        branch TEST
    TOP: get-var 3; push-constant 1; freq-func subtract; set-var 3; get-var 3; pop
    TEST: get-var 3; push-constant 0; freq-func greater-than; branch-if-true TOP
        push-constant nil; pop
    TOP2: get-var 3; push-constant 1; freq-func add; set-var 3
        get-var 3; push-constant 10; freq-func greater-or-equal; branch-if-false TOP2
        push-constant nil; return)"}}},
    {"loop and break", {{"f", {"a"}, {}, R"(
    TOP: get-var 3; push-constant 10; freq-func greater-than; branch-if-false ELSE
        get-var 3; branch END; branch ENDIF
    ELSE: get-var 3; push-constant 1; freq-func add; set-var 3; get-var 3
    ENDIF: pop; branch TOP
    END: return)"}}},
    {"foreach", {{"f", {"obj"}, {"k", "v", "kv|iter", "v|iter"}, R"(
        get-var 3; push-constant nil; freq-func new-iterator; set-var 6; branch TEST
    TOP: get-var 6; push-constant 1; freq-func aref; set-var 5
        get-var 6; push-constant 0; freq-func aref; set-var 4
        get-var 4; get-var 5; push 'Print; call 2; pop
        get-var 6; iter-next
    TEST: get-var 6; iter-done; branch-if-false TOP
        push-constant nil; push-constant nil; set-var 6; pop
        get-var 3; push-constant true; freq-func new-iterator; set-var 7; branch TEST2
    TOP2: get-var 7; push-constant 1; freq-func aref; set-var 5
        get-var 5; push-constant nil; freq-func equals; branch-if-false SKIP; push-constant nil; branch OUT; pop
    SKIP: get-var 7; iter-next
    TEST2: get-var 7; iter-done; branch-if-false TOP2
        push-constant nil
    OUT: push-constant nil; set-var 7; return)"}}},
    {"foreach collect", {{"f", {"obj"}, {"v", "v|iter", "v|index", "v|result"}, R"(
        get-var 3; push-constant nil; freq-func new-iterator; set-var 5
        get-var 5; push-constant 5; freq-func aref; push 'Array; make-array sized; set-var 7
        push-constant 0; set-var 6; branch TEST
    TOP: get-var 5; push-constant 1; freq-func aref; set-var 4
        get-var 7; get-var 6; get-var 4; push-constant 1; freq-func add; freq-func set-aref; pop
        push-constant 1; incr-var 6; pop; pop
        get-var 5; iter-next
    TEST: get-var 5; iter-done; branch-if-false TOP
        branch END; set-var 7; pop; pop
    END: get-var 7; push-constant nil; set-var 7; push-constant nil; set-var 5; return)"}}},
    {"foreach of an older compiler, which keeps its iterator", {{"f", {"list"}, {"item", "item|iter"}, R"(
        get-var 3; push-constant nil; freq-func new-iterator; set-var 5; branch TEST
    TOP: get-var 5; push-constant 1; freq-func aref; set-var 4
        get-var 4; push 'Print; call 1; pop
        get-var 5; iter-next
    TEST: get-var 5; iter-done; branch-if-false TOP
        push-constant nil; pop
        push-constant true; return)"}}, false},
    {"a loop as an operand", {{"f", {"a", "list"}, {"v", "v|iter", "v|index", "v|result"}, R"(
        get-var 3
        get-var 4; push-constant nil; freq-func new-iterator; set-var 6
        get-var 6; push-constant 5; freq-func aref; push 'Array; make-array sized; set-var 8
        push-constant 0; set-var 7; branch TEST
    TOP: get-var 6; push-constant 1; freq-func aref; set-var 5
        get-var 8; get-var 7; get-var 5; push 'SPrintObject; call 1; push ", "; push 'Array; make-array 2
        freq-func stringer; freq-func set-aref; pop
        push-constant 1; incr-var 7; pop; pop
        get-var 6; iter-next
    TEST: get-var 6; iter-done; branch-if-false TOP
        branch END; set-var 8; pop; pop
    END: get-var 8; push-constant nil; set-var 8; push-constant nil; set-var 6
        push 'Array; make-array 2; freq-func stringer; return)"}}},
    {"try and onexception", {{"f", {"a"}, {}, R"(
        push 'evt.ex.fr; push-constant pc:H1; push 'evt.ex; push-constant pc:H2; new-handlers 2
        get-var 3; push 'Risky; call 1; pop
        pop-handlers; branch END
    H1: push "frame"; push 'Print; call 1; pop; branch PH
    H2: push 'CurrentException; call 0; push 'Print; call 1; pop
    PH: pop-handlers
    END: push 'evt.ex; push-constant pc:H3; new-handlers 1
        get-var 3; push 'Risky; call 1
        pop-handlers; branch END2
    H3: push-constant nil
        pop-handlers
    END2: return)"}}},
};
// clang-format on

struct Decompiled {
  std::string bytes, disassembly, source, notes;
};

Decompiled DecompileFirst(const Built& built) {
  ReadPackage package(built.bytes);
  HeapTree& tree = package.Tree();
  Decompiler function(tree, package.Top());
  Decompiled out;
  const FunctionFrame& frame = function.Function();
  char hex[4];
  for (size_t k = 0; k < frame.codeLength; ++k) {
    std::snprintf(hex, sizeof hex, k % 16 == 15 ? "%02x\n" : "%02x ", frame.code[k]);
    out.bytes += hex;
  }
  for (const Instruction& ins : function.Code()) out.disassembly += function.Disassembly(ins) + "\n";
  SourceText text;
  ValueSource values(tree);
  function.Print(text, values, 0);
  out.source = text.Text() + "\n";
  for (const std::string& note : function.Notes()) out.notes += note + "\n";
  EXPECT_FALSE(package.HasFaults());
  return out;
}

}  // namespace

TEST(DecompilerTest, EachSourceFormReadsBackInBothFormats) {
  std::string all;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.title);
    ExpectRebuiltFromSource(FunctionPackage(c.plans, true).bytes, false, c.compiler);
    Decompiled nos1 = DecompileFirst(FunctionPackage(c.plans, true));
    Decompiled nos2 = DecompileFirst(FunctionPackage(c.plans, false));
    EXPECT_EQ(nos1.notes, "") << c.title;
    EXPECT_EQ(nos2.notes, "") << c.title;
    EXPECT_EQ(nos1.source, nos2.source) << c.title;
    EXPECT_EQ(nos1.disassembly, nos2.disassembly) << c.title;
    all += std::string("== ") + c.title + "\n" + nos1.bytes + (nos1.bytes.back() == '\n' ? "" : "\n") + "--\n" +
           nos1.disassembly + "--\n" + nos1.source;
    // Without names, arguments and locals are numbered.
    Decompiled unnamed = DecompileFirst(FunctionPackage(c.plans, false, false));
    EXPECT_EQ(unnamed.notes, "") << c.title;
  }
  std::string golden = ReadFile(GOLDEN_DIR "/functions.txt");
  if (all != golden) WriteFile("functions.actual", all);
  EXPECT_EQ(all, golden) << "the output is in functions.actual";
}

namespace {
std::string Repeat(std::string piece, size_t times) {
  std::string all;
  for (size_t k = 0; k < times; ++k) all += piece;
  return all;
}
}  // namespace

// Bytecode that cannot be read is no fault of the package: the function gets
// a note and its disassembly, in bounded time and memory.
TEST(DecompilerTest, BrokenCodeGetsANoteNotAFault) {
  const std::pair<std::string, const char*> kRows[] = {
      {std::string("\x27\x00\x08\x6f\x00\x01\x02", 7), "leads to pc 1, where no instruction starts"},
      {std::string("\x00\x02", 2), "pop at pc 0 takes 1 values from a stack that holds 0"},
      {std::string("\x02", 1), "return at pc 0 takes 1 values from a stack that holds 0"},
      {std::string("\x7b\x6f\x00\x05\x24\x24\x22\x02", 8), "deep at pc 5 on one path"},
      {std::string("\x08\x02", 2), "the byte 0x08 at pc 0 is an undefined opcode"},
      {std::string("\x27\x00", 2), "cut short by the end of the code"},
      {std::string("\x24", 1), "the code runs past its end after pc 0"},
      {std::string("\x1d\x02", 2), "push at pc 0 names literal 5 of 0"},
      {std::string("\xc7\x00\x19\x02", 4), "freq-func 25 at pc 0 names no built-in function"},
      // Expressions nested 10,000 deep, and a megabyte of statements.
      {Repeat("\x7b", 10000) + Repeat("\xc0", 9999) + "\x02", "nest more than 200 deep"},
      {Repeat(std::string("\x7b\x00", 2), 1 << 19) + "\x22\x02", nullptr},
  };
  for (const auto& [bytes, note] : kRows) {
    FunctionPlan plan{"f", {"a"}, {}, "", {}, bytes};
    Built built = FunctionPackage({plan}, false);
    Decompiled result = DecompileFirst(built);
    if (note) {
      EXPECT_NE(result.notes.find(note), std::string::npos) << note << ": " << result.notes;
      EXPECT_EQ(result.source.rfind("nil /* ", 0), 0u) << result.source.substr(0, 200);
    } else {
      EXPECT_EQ(result.notes, "");
    }
    Inspection report = InspectBytes(built.bytes);
    EXPECT_EQ(report.status, 0) << report.err;
  }
}

// An argFrame that names an argument and a local NIL is no fault: the tree
// shows the names as nil, the JSON keys are "" and "#2", and the source calls
// them arg1 and local1.
TEST(DecompilerTest, NilNamesInAnArgFrameAreNoFault) {
  FunctionPlan plan{"f", {"", "b"}, {""}, "get-var 3; get-var 4; freq-func add; set-var 5; get-var 5; return"};
  Built built = FunctionPackage({plan}, true);
  Inspection report = InspectBytes(built.bytes);
  EXPECT_EQ(report.status, 0) << report.err;
  EXPECT_EQ(DecompileFirst(built).source, "func(arg1, b)\nbegin\n    local local1;\n    local1 := arg1 + b\nend\n");
  std::string json = InspectBytes(built.bytes, InspectMode::kJson).out;
  EXPECT_NE(json.find("\"_implementor\":null,\"\":null,\"b\":null,\"#2\":null"), std::string::npos) << json;
  EXPECT_NE(InspectBytes(built.bytes, InspectMode::kTree)
                .out.find("_implementor: \n                    NIL\n                nil: \n"),
            std::string::npos);
}

// A literal the code pushes that no quote writes (an array holding a
// function) is shown as its elements, one to a line, the function as source.
TEST(DecompilerTest, LiteralsNoQuoteWritesAreShownWhole) {
  Compiled compiled = CompileSource(
      "constant k := [1, func() 2, {a: [3]}];\nPackage({name: \"t\"});\nPart({}, {f: func() "
      "k});\n");
  ASSERT_EQ(compiled.error, "");
  std::string report = InspectBytes(compiled.package).out;
  EXPECT_NE(report.find("            func() [\n                1,\n                func() 2,\n                {\n"
                        "                    a: [3]\n                }\n            ]\n"),
            std::string::npos)
      << report;
}

// Code whose every path is sound but that fits no form of the language is
// decompiled with a note, and written as its frame in the package's source,
// never as source of another meaning.
TEST(DecompilerTest, CodeOfNoFormGetsANote) {
  const std::pair<const char*, const char*> kRows[] = {
      {"push-constant 1; push map:a,b; make-frame 1; return", "make-frame at pc 2 has no frame map of its size"},
      {"push-constant 1; set-lex-scope; return", "set-lex-scope at pc 1 takes no function literal"},
      {"push-constant 1; push-constant 2; make-array 1; return", "the array made at pc 4 has no symbol for its class"},
      {"push-constant 1; get-var 3; return", "the return at pc 2 lies inside an expression"},
      {"T: get-var 3; branch-if-true T; push-constant nil; return", "the backward branch at pc 1 fits no loop"},
      {"branch T; L: get-var 3; pop; T: get-var 3; branch-if-true L; push-constant 1; return",
       "the while loop at pc 0 has no value"},
      {"get-var 3; get-var 3; branch T; L: get-var 3; incr-var 3; T: get-var 3; branch-if-loop-not-done L; "
       "push-constant nil; return",
       "the for loop at pc 2 is not in the compiler's shape"},
      {"get-var 3; push-constant nil; freq-func new-iterator; set-var 3; branch T; "
       "L: get-var 3; iter-next; T: get-var 3; iter-done; branch-if-false L; push-constant 1; return",
       "the foreach loop at pc 6 is not in the compiler's shape"},
      {"push 'x; push-constant pc:H; new-handlers 1; push-constant 1; return; H: push-constant nil; return",
       "the try at pc 4 is not in the compiler's shape"},
      {"push-constant 1; pop-handlers; return", "pop-handlers at pc 1 fits no structure"},
  };
  for (const auto& [code, note] : kRows) {
    FunctionPlan plan{"f", {"a"}, {}, code};
    Built built = FunctionPackage({plan}, false);
    std::string notes = DecompileFirst(built).notes;
    EXPECT_NE(notes.find(note), std::string::npos) << code << ": " << notes;
    ExpectRebuiltFromSource(built.bytes);
  }
}

// Literals that no source can write, an immediate of no kind and a pointer
// to nowhere, are shown as nil with what they are.
TEST(DecompilerTest, LiteralsOfNoKindAreShownForWhatTheyAre) {
  FunctionPlan plan{"f", {}, {}, "push word:0000002a; push word:7ffffff1; push 'Array; make-array 2; return"};
  Inspection report = InspectBytes(FunctionPackage({plan}, false).bytes);
  EXPECT_NE(report.out.find("func() [nil /* the immediate 0x0000002a */, nil /* a bad pointer, 0x7ffffff1 */]"),
            std::string::npos)
      << report.out;
  EXPECT_EQ(report.faultOffsets.size(), 1u);
  // The package's source keeps such an immediate as it is.
  ExpectRebuiltFromSource(FunctionPackage({{"f", {}, {}, "push word:0000002a; return"}}, false).bytes);
}
