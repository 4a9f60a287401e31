// Comparing a package with the one its source builds: each kind of
// difference is put down to what the next source must say otherwise, and
// what the rounds learn escalates.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "compiler/compile.h"
#include "source/rebuild_check.h"
#include "tests/test_support.h"

namespace {

std::unique_ptr<ReadPackage> Build(const std::string& value, const std::string& constants = "") {
  Compiled compiled = CompileSource(constants + "constant k := \"s\";\nPackage({name: \"t\"});\nPart({debugInfo: true}, " +
                                    value + ");\n");
  EXPECT_EQ(compiled.error, "") << value;
  return std::make_unique<ReadPackage>(compiled.package);
}

struct Case {
  const char* title;
  const char* original;
  const char* rebuilt;
  bool asSource;  // the top-level object is a function written as source
  const char* found;  // "functions", "maps", "debugInfos", "other" or ""
};

const Case kCases[] = {
    {"the same", "{a: \"s\", f: func(x) x}", "{a: \"s\", f: func(x) x}", false, ""},
    {"one string against two equal ones", "{a: \"s\", b: \"s\"}", "{a: k, b: k}", false, "other"},
    {"a map's flags", "{x: 1}", "WithOptions({x: 1}, {mapFlags: 2})", false, "maps"},
    {"a function's code", "func(a) a + 1", "func(a) a + 2", true, "functions"},
    {"the same code written as data", "func(a) a + 1", "func(a) a + 2", false, "other"},
    {"a function's DebuggerInfo alone", "WithOptions(func() x, {debugInfo: [dbg1: 1, 'x]})",
     "WithOptions(func() x, {debugInfo: [dbg1: 1, 'y]})", true, "debugInfos"},
};

}  // namespace

TEST(RebuildCheckTest, EachDifferenceIsPutDownToWhatMakesIt) {
  for (const Case& row : kCases) {
    SCOPED_TRACE(row.title);
    std::unique_ptr<ReadPackage> original = Build(row.original);
    std::unique_ptr<ReadPackage> rebuilt = Build(row.rebuilt);
    std::set<int64_t> sources;
    if (row.asSource) sources.insert(original->Top().offset);
    RebuildFaults faults = CompareRebuilt(original->GetHeap(), rebuilt->GetHeap(), sources);
    std::string found = !faults.functions.empty()  ? "functions"
                        : !faults.maps.empty()     ? "maps"
                        : !faults.debugInfos.empty() ? "debugInfos"
                        : !faults.other.empty()    ? "other"
                                                   : "";
    EXPECT_EQ(found, row.found) << faults.other;
  }
}

// A function that comes back otherwise is tried with its locals declared
// first, then written as its frame; DebuggerInfo given as it is and still
// not the same, as its frame too. Nothing new ends the rounds.
TEST(RebuildCheckTest, WhatRoundsLearnEscalates) {
  RebuildLessons learnt;
  RebuildFaults found;
  found.functions = {10};
  found.debugInfos = {20};
  EXPECT_TRUE(learnt.Learn(found));
  EXPECT_EQ(learnt.localsAtTop, (std::set<int64_t>{10}));
  EXPECT_EQ(learnt.debugInfos, (std::set<int64_t>{20}));
  EXPECT_TRUE(learnt.asFrames.empty());
  EXPECT_TRUE(learnt.Learn(found));
  EXPECT_EQ(learnt.asFrames, (std::set<int64_t>{10, 20}));
  EXPECT_FALSE(learnt.Learn(found));
}

// A difference in the literals of a function written as source is put down
// to that function, even where a function written as its frame, reached
// first, holds them too.
TEST(RebuildCheckTest, LiteralsAnswerToTheFunctionThatMakesThem) {
  const char kValue[] =
      "{g: {class: Immediate(0x32), instructions: MakeBinaryFromHex(\"7b189102\", 'instructions), "
      "literals: f.literals, argFrame: nil, numArgs: 1}, f: f}";
  std::unique_ptr<ReadPackage> original = Build(kValue, "constant f := func(a) a.x;\n");
  std::unique_ptr<ReadPackage> rebuilt = Build(kValue, "constant f := func(a) a.y;\n");
  int64_t function = original->Tree().SlotValue(original->Top().object, 1).offset;
  RebuildFaults faults = CompareRebuilt(original->GetHeap(), rebuilt->GetHeap(), {function});
  EXPECT_EQ(faults.functions, (std::set<int64_t>{function})) << faults.other;
  EXPECT_EQ(faults.other, "");
}
