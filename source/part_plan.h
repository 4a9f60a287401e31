#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "decompiler/decompiler.h"
#include "objects/tree_printer.h"
#include "source/rebuild_check.h"

class HeapTree;

// How one NewtonScript part is written as the source that pkgcompile makes it
// from again: the part's rules (alignment, padding, how maps are made and
// shared, the functions' format), which functions are written as their
// source and which as their frames, which objects are named constants
// (those reached from two places, those on a cycle, those code pushes that
// no literal of the source makes), and how each frame gets its map where the
// rules would not give it.
class PartPlan {
 public:
  // `learnt`: what comparing earlier rounds' packages found: functions to
  // write as their frames whatever they are, frames whose maps to name,
  // functions whose DebuggerInfo to give as it is.
  // `root` is the part's top-level value, `rootArray` where its root array lies.
  PartPlan(HeapTree& tree, const PrintedValue& root, uint64_t rootArray, const RebuildLessons& learnt,
           std::unordered_set<std::string>& names);

  struct Rules {
    uint32_t alignment = 4;
    uint8_t padding = 0xBF;
    int32_t mapFlags = 0;
    bool mergeMaps = false;
    bool nos1 = false;
    bool debug = false;
    int32_t functionMapFlags = 0;
    bool sharedFunctionMaps = true;
    int32_t argFrameMapFlags = 2;
    bool mergeInstructions = false;
    bool mergeStrings = false;
    bool foldSymbols = true;
    std::vector<std::string> spellings;
  };
  const Rules& GetRules() const { return rules; }

  // How a frame, or a frame constructor's map, gets its map: by the rules;
  // by the rules with other flags; as the named map `name`; as a function's.
  struct MapChoice {
    enum Kind { kRule, kFlags, kNamed, kAsFunction } kind = kRule;
    int32_t flags = 0;
    std::string name;
  };
  MapChoice ChoiceOf(const PrintedValue& frameOrMap) const;
  // The maps written as constants, in order: name, the map.
  const std::vector<std::pair<std::string, PrintedValue>>& NamedMaps() const { return namedMaps; }

  // The functions written as their source, by frame.
  const std::unordered_map<const void*, std::unique_ptr<Decompiler>>& Sources() const { return sources; }
  // A function written as its source; null for one written as its frame.
  const Decompiler* Source(const void* frame) const;
  // Whether a function's instructions are another function's too, whether
  // written as source or as its frame.
  bool SharesInstructions(const PrintedValue& function) const;
  // Where a function's literals are another function's too, a number for
  // the functions that share them; else 0.
  int32_t LiteralsGroup(const PrintedValue& function) const;
  // A function written as source whose slot (its literals, its
  // DebuggerInfo) data reaches too: the source names it as that slot of the
  // function, `fn.literals`, for the compiler makes it.
  struct MadeBy {
    PrintedValue function;
    const char* slot;
  };
  const MadeBy* MadeByFunction(const void* object) const;
  // Whether a function written as source is given its DebuggerInfo as it is.
  bool GivesDebugInfo(const PrintedValue& function) const;
  // Whether the part's value reaches the object.
  bool Reaches(const void* object) const { return refs.count(object) > 0; }
  // The name of an object written as a constant, or empty.
  const std::string& ConstantName(const void* object) const;
  // Magic pointers that code pushes from its literals, named: name, Ref.
  const std::vector<std::pair<std::string, uint32_t>>& MagicConstants() const { return magicConstants; }
  const std::string& MagicName(uint32_t word) const;
  // The constants in the order they are declared: each after those its
  // functions use.
  const std::vector<PrintedValue>& Constants() const { return constants; }

 private:
  struct Users {
    int frames = 0, sources = 0, others = 0, sites = 0, argFrames = 0;
  };
  void Discover(const PrintedValue& root, const std::set<int64_t>& raw, const std::set<int64_t>& localsAtTop);
  void Visit(const PrintedValue& value, std::vector<PrintedValue>& work);
  void Sites(const Decompiler& function, const PrintedValue& self, std::vector<PrintedValue>& work);
  void FindMadeByFunctions();
  void Reserve(const Decompiler& function);
  void ChooseRules(uint64_t rootArray);
  void ChooseMaps(const std::set<int64_t>& explicitMaps);
  void NameSharedSupermaps();
  void ChooseConstants(const PrintedValue& root);
  void LimitNesting(const PrintedValue& root, const std::unordered_map<const void*, PrintedValue>& byObject);
  std::vector<PrintedValue> Children(const PrintedValue& value) const;
  bool IsShared(const PrintedValue& value) const;
  bool Inline(const PrintedValue& value, bool closure) const;
  bool Quotable(const PrintedValue& value, int depth) const;
  void Order(const PrintedValue& value, std::unordered_set<const void*>& done, std::unordered_set<const void*>& open);
  std::string FreshName(const char* stem, int& counter);
  int32_t MapFlags(const PrintedValue& map) const;
  bool HasSupermap(const PrintedValue& map) const;

  HeapTree& tree;
  Rules rules;
  std::unordered_set<std::string>& names;  // names taken in the package, folded
  const std::set<int64_t>& givenDebug;     // functions by offset
  std::unordered_map<const void*, MadeBy> madeBy;
  std::vector<PrintedValue> objects;       // every object reached, in order
  std::unordered_map<const void*, int> refs;
  std::unordered_map<const void*, std::unique_ptr<Decompiler>> sources;
  std::vector<PrintedValue> functions;     // every function frame, either way
  std::unordered_map<const void*, PrintedValue> mapOf;  // frame: its map
  std::unordered_map<const void*, Users> users;          // map: what uses it
  std::unordered_map<const void*, std::vector<PrintedValue>> mapUsers;
  std::unordered_map<const void*, MapChoice> choices;    // frame or map
  std::vector<std::pair<std::string, PrintedValue>> namedMaps;
  std::unordered_set<const void*> inCode;    // objects the code pushes, by a site
  std::unordered_set<const void*> closures;  // functions pushed with set-lex-scope
  std::unordered_set<const void*> argFrames;  // of functions written as source
  std::unordered_map<const void*, int> instructionUses;  // by the functions written as source
  std::unordered_map<const void*, int> codeUses;         // by every function
  std::unordered_map<const void*, int> literalUses;      // by every function
  std::unordered_map<const void*, int32_t> literalGroups;  // those shared, numbered
  std::unordered_set<const void*> symbols;  // reached as values
  std::vector<std::pair<std::string, uint32_t>> magicConstants;
  std::unordered_set<const void*> reusedEntries;  // a literal that one function pushes at two places
  std::unordered_set<const void*> named;
  std::unordered_map<const void*, std::string> constantNames;
  std::vector<PrintedValue> constants;
  int mapCount = 0, magicCount = 0;
};
