#pragma once

#include <cstdint>
#include <initializer_list>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

// The source a function is recovered as: expressions and statements alike
// are nodes; a block is a list of them, whose last one gives its value.
struct Node;
using Block = std::vector<Node*>;

// A variable: a slot of the function (get-var) or a name looked up at run
// time (find-var), kept as its literal's index.
struct Variable {
  bool byName = false;
  uint32_t id = 0;
  bool operator==(const Variable&) const = default;
};

// A node's operands: most have three or fewer, kept in place; more spill to
// the heap.
class Kids {
 public:
  Kids() = default;
  Kids(std::initializer_list<Node*> list) {
    for (Node* node : list) push_back(node);
  }
  void push_back(Node* node) {
    if (count == kInPlace) spill.assign(inPlace, inPlace + kInPlace);
    if (count >= kInPlace) {
      spill.push_back(node);
    } else {
      inPlace[count] = node;
    }
    ++count;
  }
  size_t size() const { return count; }
  bool empty() const { return count == 0; }
  Node** begin() { return count > kInPlace ? spill.data() : inPlace; }
  Node* const* begin() const { return count > kInPlace ? spill.data() : inPlace; }
  Node** end() { return begin() + count; }
  Node* const* end() const { return begin() + count; }
  Node*& operator[](size_t i) { return begin()[i]; }
  Node* operator[](size_t i) const { return begin()[i]; }

 private:
  static constexpr size_t kInPlace = 3;
  Node* inPlace[kInPlace] = {};
  std::vector<Node*> spill;
  size_t count = 0;
};

enum class Kind : uint8_t {
  kConstant,     // `word`: a push-constant Ref
  kLiteral,      // `index`: a literal
  kSelf,
  kVariable,     // `variable`
  kAssign,       // variable := kids[0]
  kCall,         // global function literal `index` (kids: the arguments)
  kInvoke,       // call kids[0] with (kids 1..)
  kSend,         // kids[0]:literal `index`(kids 1..); kids[0] null for self
  kResend,       // inherited:literal `index`(kids)
  kOperator,     // freq-func `index` written as an operator: not, +, =, ...
  kBuiltin,      // freq-func `index` written as a call: BAnd(...), Length(...)
  kAref,         // kids[0][kids[1]]
  kSetAref,      // kids[0][kids[1]] := kids[2]
  kHasPath,      // kids[0].kids[1] exists
  kStringer,     // kids[0], the array of pieces
  kGetPath,      // kids[0].kids[1]
  kSetPath,      // kids[0].kids[1] := kids[2]
  kMakeFrame,    // map literal `index`, kids the values
  kMakeArray,    // [kids[0]: kids 1..]
  kSizedArray,   // an array of kids[0] NILs, of class kids[1]
  kFunction,     // function literal `index`
  kBegin,        // begin blocks[0] end
  kIf,           // if kids[0] then blocks[0] else blocks[1]
  kAnd,          // kids[0] and kids[1]
  kOr,
  kLoop,         // loop blocks[0]
  kWhile,        // while kids[0] do blocks[0]
  kRepeat,       // repeat blocks[0] until kids[0]
  kFor,          // for variable := kids[0] to kids[1] by kids[2] do blocks[0]
  kForeach,      // foreach key, variable [deeply] in kids[0] do|collect blocks[0]
  kTry,          // try blocks[0] onexception literal handlers[k] do blocks[k + 1]
  kReturn,       // return kids[0]
  kBreak,        // break kids[0]
  kUnreachable,  // text: the disassembly of code that no path reaches
  kNumber,       // `word`: an integer wider than a Ref holds, known when compiling (a date)
};

struct Node {
  // Made member by member: zeroing the whole node at once cost more than
  // making it.
  Node() {}
  Kind kind = Kind::kConstant;
  int depth = 1;  // nesting, for the bound on it
  uint32_t word = 0;
  uint32_t index = 0;
  Variable variable;
  Variable key;           // foreach's key, where `hasKey`
  // The variables a loop keeps for itself: for's limit and step; foreach's
  // iterator and, for `collect`, its index and result.
  Variable hidden[3];
  bool hasKey = false;
  bool flag = false;      // if-defined send; collect; set-path's value used; a closure
  Kids kids;
  std::vector<Block> blocks;
  std::vector<uint32_t> handlers;  // try: the exception symbols' literals
};

// Owns the nodes of one function, made in blocks so that a function of many
// nodes costs few allocations. A package has many functions, decompiled one
// after another: the blocks of one are kept for the next.
class Syntax {
 public:
  Syntax() = default;
  Syntax(const Syntax&) = delete;
  Syntax& operator=(const Syntax&) = delete;
  ~Syntax() { Clear(); }
  // No nodes: those made before are gone.
  void Clear() {
    // The largest first, so that the next function takes them back smallest first.
    for (auto block = blocks.rbegin(); block != blocks.rend(); ++block) {
      block->clear();
      if (Spare().size() < kMostSpare) Spare().push_back(std::move(*block));
    }
    blocks.clear();
    size = used = 0;
  }

  Node* New(Kind kind, Kids kids = {}) {
    if (used == size) {
      // Small functions are the most: blocks start small and double.
      size = blocks.empty() ? 8 : std::min<size_t>(2 * size, 256);
      blocks.push_back(SpareBlock(size));
      used = 0;
    }
    ++used;
    Node& node = blocks.back().emplace_back();
    node.kind = kind;
    node.kids = std::move(kids);
    for (Node* kid : node.kids) {
      if (kid && kid->depth >= node.depth) node.depth = kid->depth + 1;
    }
    return &node;
  }
  // After blocks are added: the node's depth includes theirs.
  static void AddBlock(Node* node, Block block) {
    for (Node* statement : block) {
      if (statement->depth >= node->depth) node->depth = statement->depth + 1;
    }
    node->blocks.push_back(std::move(block));
  }

 private:
  static constexpr size_t kMostSpare = 16;
  static std::vector<std::vector<Node>>& Spare() {
    thread_local std::vector<std::vector<Node>> spare;
    return spare;
  }
  // An empty block that holds `size` nodes: the last one kept, where it is large enough.
  static std::vector<Node> SpareBlock(size_t size) {
    std::vector<Node> block;
    if (!Spare().empty() && Spare().back().capacity() >= size) {
      block = std::move(Spare().back());
      Spare().pop_back();
    }
    block.reserve(size);
    return block;
  }

  // Blocks never grow past their size, so nodes stay where they are.
  std::vector<std::vector<Node>> blocks;
  size_t size = 0, used = 0;
};

// Calls `visit` on every node of `body` and of the nodes inside them, each
// once, in an order callers may not rely on.
template <typename Visit>
void ForEachNode(const Block& body, Visit visit) {
  std::vector<const Node*> work(body.begin(), body.end());
  while (!work.empty()) {
    const Node* node = work.back();
    work.pop_back();
    if (!node) continue;
    visit(*node);
    for (const Node* kid : node->kids) work.push_back(kid);
    for (const Block& block : node->blocks) work.insert(work.end(), block.begin(), block.end());
  }
}
