// The part's rules, chosen as what most of its objects follow, and where
// each map comes from under them.

#include <functional>
#include <map>
#include <tuple>

#include "decompiler/function_frame.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "reader/heap_tree.h"
#include "source/part_plan.h"
#include "source/written_values.h"

namespace {
const char* const kImplicitNames[] = {
    "string", "real", "Array", "literals", "instructions", "CodeBlock", "dbg1", "pathExpr", "_nextArgFrame",
    "_parent", "_implementor", "class", "argFrame", "numArgs", "DebuggerInfo", "HasVar", "mod"};
const int32_t kProto = 4;

template <typename Key>
Key Majority(const std::map<Key, int>& counts, Key otherwise) {
  Key best = otherwise;
  int most = 0;
  for (const auto& [key, count] : counts) {
    if (count > most) best = key, most = count;
  }
  return best;
}

}  // namespace

void PartPlan::ChooseRules(uint64_t rootArray) {
  rules.alignment = tree.RawWord(rootArray + 4) == 1 ? 4 : 8;
  // The byte after the first object that ends short of the alignment; maps
  // and symbols too, where no other object does.
  std::vector<const void*> all;
  for (const PrintedValue& object : objects) all.push_back(object.object);
  for (const auto& [map, use] : users) all.push_back(map);
  all.insert(all.end(), symbols.begin(), symbols.end());
  for (const void* object : all) {
    uint32_t size = tree.ObjectSize(object);
    if (size % rules.alignment) {
      rules.padding = tree.RawByte(tree.Offset(object) + size);
      break;
    }
  }
  std::map<bool, int> nos1, debug, shared;
  std::map<int32_t, int> functionFlags, argFrameFlags, frameFlags;
  for (const PrintedValue& function : functions) {
    std::optional<PrintedValue> cls = tree.FindSlot(function.object, "class");
    ++nos1[!(cls && cls->kind == PrintedValue::kImmediate)];
    if (!Source(function.object)) continue;
    ++debug[tree.FindSlot(function.object, "DebuggerInfo").has_value()];
    PrintedValue map = mapOf[function.object];
    ++functionFlags[MapFlags(map)];
    ++shared[users[map.object].sources > 1];
    std::optional<PrintedValue> argFrame = tree.FindSlot(function.object, "argFrame");
    if (argFrame && argFrame->kind == PrintedValue::kFrame) {
      ++argFrameFlags[MapFlags(tree.Value(static_cast<uint64_t>(argFrame->offset) + 8)) & ~kProto];
    }
  }
  for (const PrintedValue& object : objects) {
    if (object.kind != PrintedValue::kFrame || IsFunctionFrame(tree, object) || IsNativeFunctionFrame(tree, object)) continue;
    ++frameFlags[MapFlags(mapOf[object.object]) & ~kProto];
  }
  rules.nos1 = Majority(nos1, false);
  rules.debug = Majority(debug, false);
  rules.functionMapFlags = Majority(functionFlags, 0);
  rules.sharedFunctionMaps = Majority(shared, true);
  rules.argFrameMapFlags = Majority(argFrameFlags, 2);
  rules.mapFlags = Majority(frameFlags, 0);

  // Maps are merged where no two maps are equal and some map serves more than
  // the rules of functions share it among.
  std::map<std::tuple<int32_t, int64_t, std::vector<std::string>>, int> equal;
  bool sharedBeyond = false;
  std::unordered_set<std::string> spelled;
  for (const auto& [map, use] : users) {
    PrintedValue value{PrintedValue::kArray, 1, map, static_cast<int64_t>(tree.Offset(map))};
    std::vector<std::string> names;
    for (int32_t k = 1; k < tree.NumberOfElements(map); ++k) {
      std::optional<std::string_view> name = SymbolOf(tree, tree.Element(map, k));
      names.push_back(name ? FoldedName(*name) : std::string());
      if (name) spelled.emplace(*name);
    }
    PrintedValue super = tree.Element(map, 0);
    ++equal[{MapFlags(value), super.offset, names}];
    int all = use.frames + use.others + use.sites + use.argFrames + use.sources;
    if (all > 1 && all != use.sources) sharedBeyond = true;
  }
  rules.mergeMaps = sharedBeyond;
  for (const auto& [key, count] : equal) {
    if (count > 1) rules.mergeMaps = false;
  }

  // Instructions are merged where every equal pair is one object, and some are.
  std::map<std::string, std::unordered_set<const void*>> byBytes;
  std::unordered_map<const void*, int>& uses = instructionUses;
  for (const auto& [frame, function] : sources) {
    std::optional<PrintedValue> code = tree.FindSlot(frame, "instructions");
    if (!code || code->kind != PrintedValue::kBinary) continue;
    PrintedBinary binary = tree.Binary(code->object);
    byBytes[std::string(reinterpret_cast<const char*>(binary.bytes), binary.length)].insert(code->object);
    ++uses[code->object];
  }
  rules.mergeInstructions = std::any_of(uses.begin(), uses.end(), [](const auto& use) { return use.second > 1; });
  for (const auto& [bytes, group] : byBytes) {
    if (group.size() > 1) rules.mergeInstructions = false;
  }

  // Strings are merged where no two equal ones are apart, and some string is
  // reached from two places.
  std::unordered_map<std::string, const void*> strings;
  bool sharedString = false, apart = false;
  for (const PrintedValue& object : objects) {
    if (!IsPlainString(tree, object)) continue;
    PrintedBinary binary = tree.Binary(object.object);
    auto [found, fresh] = strings.try_emplace(std::string(reinterpret_cast<const char*>(binary.bytes), binary.length),
                                              object.object);
    apart = apart || !fresh;
    sharedString = sharedString || refs[object.object] > 1;
  }
  rules.mergeStrings = sharedString && !apart;

  // Symbols are one object for names equal but for case, unless the part
  // holds two such.
  std::unordered_map<std::string, std::string_view> spellingOf;
  auto spell = [&](const PrintedValue& symbol) {
    std::optional<std::string_view> name = SymbolOf(tree, symbol);
    if (!name) return;
    auto [found, fresh] = spellingOf.try_emplace(FoldedName(*name), *name);
    if (!fresh && found->second != *name) rules.foldSymbols = false;
  };
  for (const void* symbol : symbols) spell(PrintedValue{PrintedValue::kBinary, 1, symbol, static_cast<int64_t>(tree.Offset(symbol))});
  for (const auto& [map, use] : users) {
    for (int32_t k = 1; k < tree.NumberOfElements(map); ++k) spell(tree.Element(map, k));
  }

  // Names the compiler spells itself, spelled otherwise in the part.
  for (const PrintedValue& object : objects) {
    if (object.kind == PrintedValue::kFrame) continue;
    if (std::optional<std::string_view> cls = SymbolOf(tree, tree.ArrayClass(object.object))) spelled.emplace(*cls);
  }
  for (const auto& [frame, function] : sources) {
    for (const auto& symbol : function->Function().symbols) {
      if (symbol) spelled.emplace(*symbol);
    }
  }
  for (const std::string& name : spelled) {
    for (const char* implicit : kImplicitNames) {
      if (NamesEqualIgnoringCase(name, implicit) && name != implicit) rules.spellings.push_back(name);
    }
  }
  std::sort(rules.spellings.begin(), rules.spellings.end());
}

// Where a map comes from: the rules, where they make it as it is; else a
// named map that every user gives.
void PartPlan::ChooseMaps(const std::set<int64_t>& explicitMaps) {
  // Among functions written as source, one map for each list of names.
  std::map<std::vector<std::string>, int> functionMaps;
  for (const auto& [map, use] : users) {
    if (use.sources == 0) continue;
    std::vector<std::string> names;
    for (int32_t k = 1; k < tree.NumberOfElements(map); ++k) {
      std::optional<std::string_view> name = SymbolOf(tree, tree.Element(map, k));
      names.push_back(name ? FoldedName(*name) : std::string());
    }
    ++functionMaps[names];
  }
  for (auto& [map, list] : mapUsers) {
    const Users& use = users[map];
    PrintedValue value{PrintedValue::kArray, 1, map, static_cast<int64_t>(tree.Offset(map))};
    int32_t flags = MapFlags(value);
    bool proto = false;
    std::vector<std::string> names;
    for (int32_t k = 1; k < tree.NumberOfElements(map); ++k) {
      std::optional<std::string_view> name = SymbolOf(tree, tree.Element(map, k));
      names.push_back(name ? FoldedName(*name) : std::string());
      proto = proto || (name && NamesEqualIgnoringCase(*name, "_proto"));
    }
    // A map also reached as data (a literal of a function written as its
    // frame) is named, and the data names it too.
    bool forced = flags < 0 || HasSupermap(value) || refs.count(map) > 0;
    for (const PrintedValue& user : list) forced = forced || explicitMaps.count(user.offset);
    int all = use.frames + use.others + use.sites + use.argFrames + use.sources;
    auto choose = [&](const PrintedValue& user, int32_t ruleFlags) {
      MapChoice choice;
      if (flags != (ruleFlags | (proto ? kProto : 0))) choice = {MapChoice::kFlags, flags, {}};
      choices[user.object] = choice;
    };
    bool functionRule = use.sources > 0 && !forced && use.sites == 0 && use.frames == 0 && use.argFrames == 0 &&
                        flags == (rules.functionMapFlags | (proto ? kProto : 0)) &&
                        (rules.sharedFunctionMaps ? functionMaps[names] == 1 : all == 1);
    bool alone = rules.mergeMaps || all == 1;
    if (!forced && functionRule) {
      for (const PrintedValue& user : list) {
        if (!Source(user.object) && !argFrames.count(user.object)) choices[user.object] = {MapChoice::kAsFunction, 0, {}};
      }
    } else if (!forced && use.sources == 0 && alone) {
      for (const PrintedValue& user : list) {
        if (!argFrames.count(user.object)) choose(user, user.object == map ? 2 : rules.mapFlags);
      }
    } else {
      std::string name = FreshName("map", mapCount);
      namedMaps.emplace_back(name, value);
      constantNames[map] = name;
      for (const PrintedValue& user : list) choices[user.object] = {MapChoice::kNamed, flags, name};
    }
  }
  NameSharedSupermaps();
}

// A supermap that two maps written out share is named too; each named map
// is declared after its supermaps.
void PartPlan::NameSharedSupermaps() {
  auto super = [&](const PrintedValue& map) {
    return HasSupermap(map) ? tree.Element(map.object, 0) : PrintedValue{};
  };
  std::unordered_map<const void*, int> shared;
  std::unordered_set<const void*> seen;
  std::vector<PrintedValue> work;
  for (const auto& [name, map] : namedMaps) work.push_back(map);
  while (!work.empty()) {
    PrintedValue map = work.back();
    work.pop_back();
    if (!seen.insert(map.object).second) continue;
    PrintedValue next = super(map);
    if (next.kind == PrintedValue::kArray) {
      ++shared[next.object];
      work.push_back(next);
    }
  }
  std::vector<std::pair<std::string, PrintedValue>> ordered;
  std::unordered_set<const void*> declared;
  std::function<void(const PrintedValue&)> declare = [&](const PrintedValue& map) {
    if (declared.count(map.object)) return;
    declared.insert(map.object);
    PrintedValue next = super(map);
    if (next.kind == PrintedValue::kArray) declare(next);
    if (constantNames.count(map.object)) {
      ordered.emplace_back(constantNames[map.object], map);
    } else if (shared[map.object] > 1) {
      std::string name = FreshName("map", mapCount);
      constantNames[map.object] = name;
      ordered.emplace_back(name, map);
    }
  };
  for (const auto& [name, map] : namedMaps) declare(map);
  namedMaps = std::move(ordered);
}
