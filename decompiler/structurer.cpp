#include "decompiler/structurer.h"

#include <algorithm>
#include <optional>

#include "decompiler/flow.h"
#include "decompiler/function_frame.h"
#include "objects/errors.h"
#include "objects/ref.h"

namespace {
// Deeper nesting than any compiler output, kept so that crafted code cannot
// exhaust the stack of this reader or of the printer.
const int kDeepest = 200;
const uint32_t kConstantZero = 0, kConstantOne = 4, kConstantFive = 20;

bool IsTrivial(const Node* node) {
  return node->kind == Kind::kConstant || node->kind == Kind::kLiteral ||
         node->kind == Kind::kSelf || node->kind == Kind::kFunction;
}

bool IsAssignOf(const Node* node, const Variable& variable) {
  return node->kind == Kind::kAssign && node->variable == variable;
}
}  // namespace

Structurer::Structurer(const PrintedTree& tree, const FunctionFrame& function,
                       const std::vector<Instruction>& code, const Flow& flow, Syntax& syntax)
    : tree(tree), function(function), code(code), flow(flow), syntax(syntax),
      used(code.size()), claimed(code.size()) {}

bool Structurer::Fail(const char* format, uint32_t pc) {
  if (why.empty()) why = Format(format, pc);
  return false;
}

void Structurer::Use(int32_t i) { ++used[i]; }

void Structurer::Mark(const Variable& variable, Role role) {
  if (variable.byName) {
    if (role == Role::kUsed && std::find(named.begin(), named.end(), variable.id) == named.end()) {
      named.push_back(variable.id);
    }
    return;
  }
  if (variable.id >= roles.size()) roles.resize(variable.id + 1, Role::kUnused);
  if (roles[variable.id] < role) roles[variable.id] = role;
}

bool Structurer::Is(int32_t i, Op op) const {
  return i >= 0 && static_cast<size_t>(i) < code.size() && code[i].op == op;
}

bool Structurer::IsConstant(int32_t i, uint32_t word) const {
  return Is(i, Op::kPushConstant) && code[i].b == word;
}

bool Structurer::VariableAt(int32_t i, Variable& variable) const {
  if (i < 0 || static_cast<size_t>(i) >= code.size()) return false;
  switch (code[i].op) {
    case Op::kGetVar: case Op::kSetVar: case Op::kIncrVar:
      variable = {false, code[i].b};
      return true;
    case Op::kFindVar: case Op::kFindAndSetVar:
      variable = {true, code[i].b};
      return true;
    default:
      return false;
  }
}

bool Structurer::IsVariable(int32_t i, Op op, const Variable& variable) const {
  Variable found;
  if (!VariableAt(i, found) || found != variable) return false;
  if (op == Op::kGetVar) return Is(i, Op::kGetVar) || Is(i, Op::kFindVar);
  if (op == Op::kSetVar) return Is(i, Op::kSetVar) || Is(i, Op::kFindAndSetVar);
  return Is(i, op);
}

bool Structurer::IsSymbolLiteral(const Node* node) const {
  return node && node->kind == Kind::kLiteral && function.SymbolAt(node->index);
}

// A block that no path leaves at its end: it returns or breaks, or every
// part of its last if or try does.
bool Structurer::IsTerminated(const Block& block) const {
  if (block.empty()) return false;
  const Node* last = block.back();
  if (last->kind == Kind::kReturn || last->kind == Kind::kBreak) return true;
  if ((last->kind != Kind::kIf || last->blocks.size() < 2) && last->kind != Kind::kTry) return false;
  return std::all_of(last->blocks.begin(), last->blocks.end(),
                     [&](const Block& part) { return IsTerminated(part); });
}

Node* Structurer::Pop(Stack& stack) {
  Node* node = stack.back();
  stack.pop_back();
  return node;
}

// A block's value, folded into the block: `x := e` then `x` reads as `x := e`.
Node* Structurer::Value(Block& block, Node* value) {
  if (value->kind == Kind::kVariable && !block.empty() && IsAssignOf(block.back(), value->variable)) {
    value = block.back();
    block.pop_back();
  }
  if (block.empty()) return value;
  block.push_back(value);
  Node* begin = syntax.New(Kind::kBegin);
  Syntax::AddBlock(begin, std::move(block));
  return begin;
}

bool Structurer::Recover(Block& body, std::string& reason) {
  Stack stack;
  bool ok = Sequence({0, static_cast<int32_t>(code.size())}, body, stack, 0);
  if (ok && !stack.empty()) ok = Fail("the function ends with values left after pc %u", code.back().pc);
  if (ok && iterators != 0) ok = Fail("an iterator is made outside a foreach (pc %u)", 0);
  if (ok && !waiting.empty()) ok = Fail("a statement at pc %u lies inside an expression", waiting[0].pc);
  for (size_t i = 0; ok && i < code.size(); ++i) {
    if (used[i] != 1) ok = Fail("the instruction at pc %u is not used exactly once", code[i].pc);
  }
  // The compiler ends every function with a return, which no path reaches
  // after a last statement that returns: `return x` stays, as it was written.
  if (ok && body.size() >= 2 && body.back()->kind == Kind::kUnreachable &&
      body.back()->index == code.size() && body.back()->word + 1 == code.size() &&
      code.back().op == Op::kReturn &&
      IsTerminated({body[body.size() - 2]})) {
    body.pop_back();
    reason = why;
    return ok;
  }
  // The function's value is that of its last expression.
  size_t last = body.size();
  while (last > 0 && body[last - 1]->kind == Kind::kUnreachable) --last;
  if (ok && last > 0 && body[last - 1]->kind == Kind::kReturn) body[last - 1] = body[last - 1]->kids[0];
  reason = why;
  return ok;
}

bool Structurer::Sequence(Region region, Block& out, Stack& stack, int nesting) {
  if (nesting > kDeepest) return Fail("the code nests more than 200 deep at pc %u", code[region.begin].pc);
  for (int32_t i = region.begin; i < region.end;) {
    if (!Step(i, region, out, stack, nesting)) return false;
    if (!stack.empty() && stack.back()->depth > kDeepest) {
      return Fail("the expressions nest more than 200 deep at pc %u", code[i - 1].pc);
    }
  }
  return true;
}

bool Structurer::Statements(Region region, Block& out, int nesting) {
  Stack stack;
  if (!Sequence(region, out, stack, nesting + 1)) return false;
  if (!stack.empty()) return Fail("a value is left where a statement ends, before pc %u", code[region.end - 1].pc);
  return true;
}

bool Structurer::Valued(Region region, Block& out, size_t& values, int nesting) {
  Stack stack;
  if (!Sequence(region, out, stack, nesting + 1)) return false;
  values = stack.size();
  if (values > 1) return Fail("more than one value is left before pc %u", code[region.end - 1].pc);
  if (values == 1) out.push_back(stack.back());
  return true;
}

// A statement goes before what the stack holds; that keeps the order of
// evaluation only while what it holds cannot be changed by it.
bool Structurer::Emit(Block& out, Stack& stack, Node* statement, int32_t i) {
  for (Node* pending : stack) {
    if (IsTrivial(pending)) continue;
    // A for or foreach loop whose value is an operand starts with
    // assignments of its own: they wait for the loop to take them.
    if (statement->kind != Kind::kAssign) return Fail("a statement at pc %u lies inside an expression", code[i].pc);
    waiting.push_back({statement, code[i].pc});
    break;
  }
  out.push_back(statement);
  return true;
}

// Assignments a loop takes from the statements before it.
void Structurer::Take(Block& out, size_t count) {
  for (size_t k = out.size() - count; k < out.size(); ++k) {
    std::erase_if(waiting, [&](const Waiting& w) { return w.statement == out[k]; });
  }
  out.resize(out.size() - count);
}

bool Structurer::Unreachable(int32_t& i, Region region, Block& out) {
  int32_t j = i;
  bool habit = true;
  while (j < region.end && !flow.IsReachable(j)) {
    habit = habit && (code[j].op == Op::kPop || code[j].op == Op::kBranch);
    Use(j++);
  }
  // The pop after a return and the branch after a then-part that returns are
  // the compiler's habit; anything else is shown.
  if (!habit) {
    Node* node = syntax.New(Kind::kUnreachable);
    node->word = static_cast<uint32_t>(i);
    node->index = static_cast<uint32_t>(j);
    out.push_back(node);
  }
  i = j;
  return true;
}

bool Structurer::Step(int32_t& i, Region region, Block& out, Stack& stack, int nesting) {
  if (!flow.IsReachable(i)) return Unreachable(i, region, out);
  for (int32_t q : flow.LoopsTo(i)) {
    if (!claimed[q]) return LoopAt(i, region, stack, nesting);
  }
  const Instruction& ins = code[i];
  // The flow allows it, but a structure's code takes only values of its own.
  if (static_cast<int>(stack.size()) < std::max(ins.Pops(), ins.op == Op::kReturn ? 1 : 0)) {
    return Fail("the instruction at pc %u takes a value from outside its structure", ins.pc);
  }
  switch (ins.op) {
    case Op::kSetVar: case Op::kFindAndSetVar:
      return Store(i, region, out, stack);
    case Op::kPop:
      Use(i++);
      return Emit(out, stack, Pop(stack), i - 1);
    case Op::kReturn: {
      if (stack.size() != 1) return Fail("the return at pc %u lies inside an expression", ins.pc);
      Use(i++);
      return Emit(out, stack, syntax.New(Kind::kReturn, {Pop(stack)}), i - 1);
    }
    case Op::kSetPath:
      if (!Simple(i, out, stack)) return false;
      if (ins.b == 0) return Emit(out, stack, Pop(stack), i++);
      ++i;
      return true;
    case Op::kBranchIfFalse: case Op::kBranchIfTrue:
      return Conditional(i, region, out, stack, nesting);
    case Op::kBranch:
      return ForwardBranch(i, region, out, stack, nesting);
    case Op::kNewHandlers:
      return Try(i, region, out, stack, nesting);
    default:
      if (!Simple(i, out, stack)) return false;
      ++i;
      return true;
  }
}

// Instructions that take values and leave one, as an expression.
bool Structurer::Simple(int32_t i, Block& /*out*/, Stack& stack) {
  const Instruction& ins = code[i];
  // The top `count` values, after `first` where one is given.
  auto take = [&](int count, std::optional<Node*> first = std::nullopt) {
    Kids kids;
    if (first) kids.push_back(*first);
    for (auto it = stack.end() - count; it != stack.end(); ++it) kids.push_back(*it);
    stack.resize(stack.size() - count);
    return kids;
  };
  Node* node = nullptr;
  switch (ins.op) {
    case Op::kPush:
      node = syntax.New(Kind::kLiteral);
      node->index = ins.b;
      break;
    case Op::kPushConstant:
      node = syntax.New(Kind::kConstant);
      node->word = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(ins.b)));
      break;
    case Op::kPushSelf:
      node = syntax.New(Kind::kSelf);
      break;
    case Op::kGetVar: case Op::kFindVar:
      node = syntax.New(Kind::kVariable);
      VariableAt(i, node->variable);
      Mark(node->variable, Role::kUsed);
      break;
    case Op::kCall: case Op::kResend: case Op::kResendIfDefined: {
      Node* name = Pop(stack);
      if (!IsSymbolLiteral(name)) return Fail("the function or message named at pc %u is no symbol", ins.pc);
      node = syntax.New(ins.op == Op::kCall ? Kind::kCall : Kind::kResend, take(ins.b));
      node->index = name->index;
      node->flag = ins.op == Op::kResendIfDefined;
      break;
    }
    case Op::kInvoke: {
      Node* function = Pop(stack);
      node = syntax.New(Kind::kInvoke, take(ins.b, function));
      break;
    }
    case Op::kSend: case Op::kSendIfDefined: {
      Node* name = Pop(stack);
      Node* receiver = Pop(stack);
      if (!IsSymbolLiteral(name)) return Fail("the message sent at pc %u is no symbol", ins.pc);
      node = syntax.New(Kind::kSend, take(ins.b, receiver->kind == Kind::kSelf ? nullptr : receiver));
      node->index = name->index;
      node->flag = ins.op == Op::kSendIfDefined;
      break;
    }
    case Op::kFreqFunc: {
      static const Kind kKinds[] = {
          Kind::kOperator, Kind::kOperator, Kind::kAref,    Kind::kSetAref,  Kind::kOperator,
          Kind::kOperator, Kind::kOperator, Kind::kOperator, Kind::kOperator, Kind::kOperator,
          Kind::kOperator, Kind::kOperator, Kind::kOperator, Kind::kOperator, Kind::kBuiltin,
          Kind::kBuiltin,  Kind::kBuiltin,  Kind::kBuiltin, Kind::kBuiltin,  Kind::kBuiltin,
          Kind::kBuiltin,  Kind::kBuiltin,  Kind::kStringer, Kind::kHasPath, Kind::kBuiltin};
      node = syntax.New(kKinds[ins.b], take(FreqFuncArguments(ins.b)));
      node->index = ins.b;
      if (ins.b == static_cast<uint16_t>(FreqFunc::kNewIterator)) ++iterators;
      break;
    }
    case Op::kGetPath:
      node = syntax.New(Kind::kGetPath, take(2));
      node->flag = ins.b == 0;
      break;
    case Op::kSetPath:
      node = syntax.New(Kind::kSetPath, take(3));
      node->flag = ins.b != 0;
      break;
    case Op::kMakeFrame: {
      Node* map = Pop(stack);
      if (map->kind != Kind::kLiteral || function.literals[map->index].kind != PrintedValue::kArray ||
          tree.NumberOfElements(function.literals[map->index].object) != ins.b + 1) {
        return Fail("make-frame at pc %u has no frame map of its size", ins.pc);
      }
      const void* names = function.literals[map->index].object;
      for (int32_t k = 1; k <= ins.b; ++k) {
        if (!SymbolOf(tree, tree.Element(names, k))) return Fail("a slot of the frame map at pc %u is no symbol", ins.pc);
      }
      node = syntax.New(Kind::kMakeFrame, take(ins.b));
      node->index = map->index;
      break;
    }
    case Op::kMakeArray: {
      Node* cls = Pop(stack);
      bool symbol = IsSymbolLiteral(cls);
      if (ins.b == kSizedArray) {
        node = syntax.New(Kind::kSizedArray, {Pop(stack), cls});
        break;
      }
      if (!symbol) return Fail("the array made at pc %u has no symbol for its class", ins.pc);
      node = syntax.New(Kind::kMakeArray, take(ins.b, cls));
      break;
    }
    case Op::kSetLexScope: {
      // Native functions are bound to their scope as NewtonScript ones are.
      Node* function = Pop(stack);
      if (function->kind != Kind::kFunction &&
          !(function->kind == Kind::kLiteral && IsNativeFunctionFrame(tree, this->function.literals[function->index]))) {
        return Fail("set-lex-scope at pc %u takes no function literal", ins.pc);
      }
      node = function;
      node->flag = true;  // a closure
      break;
    }
    default:
      if (why.empty()) why = Format("%s at pc %u fits no structure", OpName(ins.op), ins.pc);
      return false;
  }
  if (node->kind == Kind::kLiteral && function.literals[node->index].kind == PrintedValue::kFrame &&
      IsFunctionFrame(tree, function.literals[node->index])) {
    node->kind = Kind::kFunction;
  }
  Use(i);
  stack.push_back(node);
  return true;
}

// set-var and find-and-set-var: an assignment, or one whose value is used
// where the next instruction reads the variable back inside an expression.
bool Structurer::Store(int32_t& i, Region region, Block& out, Stack& stack) {
  Node* value = Pop(stack);
  Node* node = syntax.New(Kind::kAssign, {value});
  VariableAt(i, node->variable);
  Mark(node->variable, Role::kUsed);
  Use(i++);
  // A Newton OS 2 function copies a captured argument into its frame.
  if (node->variable.byName && value->kind == Kind::kVariable && !value->variable.byName) {
    std::optional<std::string_view> name = function.SymbolAt(node->variable.id);
    if (name && *name == function.VariableName(value->variable.id)) return true;
  }
  // Read back at once, the value is used: `(x := e)`.
  if (i < region.end && IsVariable(i, Op::kGetVar, node->variable) && !flow.IsTarget(i)) {
    Use(i++);
    stack.push_back(node);
    return true;
  }
  return Emit(out, stack, node, i - 1);
}

bool Structurer::Conditional(int32_t& i, Region region, Block& out, Stack& stack, int nesting) {
  const Instruction& ins = code[i];
  int32_t l1 = flow.Target(i);
  if (l1 <= i || l1 > region.end) return Fail("the conditional branch at pc %u leaves its structure", ins.pc);
  Node* condition = Pop(stack);
  bool negate = ins.op == Op::kBranchIfTrue;
  Use(i);
  int32_t before = l1 - 1;
  int32_t l2 = Is(before, Op::kBranch) && before > i ? flow.Target(before) : -1;
  // A branch over an empty else-part is the innermost if's where ifs nested
  // inside this one branch to the same place.
  for (int32_t m = i + 1; l2 == l1 && m < before; ++m) {
    if ((Is(m, Op::kBranchIfFalse) || Is(m, Op::kBranchIfTrue)) && flow.Target(m) == l1) l2 = -1;
  }
  Node* node = syntax.New(Kind::kIf);
  // A then-part that leaves nothing may still jump over an empty else-part.
  if (l2 >= l1 && l2 <= region.end) {
    Block thenBlock, elseBlock;
    size_t thenValues, elseValues;
    Use(before);
    if (!Valued({i + 1, before}, thenBlock, thenValues, nesting) ||
        !Valued({l1, l2}, elseBlock, elseValues, nesting)) {
      return false;
    }
    bool valued = thenValues + elseValues > 0;
    if (valued && ((thenValues == 0 && !IsTerminated(thenBlock)) ||
                   (elseValues == 0 && !IsTerminated(elseBlock)))) {
      return Fail("one branch of the if at pc %u gives a value and the other none", ins.pc);
    }
    i = l2;
    bool single = thenBlock.size() == 1 && thenValues == 1 && elseBlock.size() == 1 && elseValues == 1 &&
                  elseBlock[0]->kind == Kind::kConstant;
    if (single && elseBlock[0]->word == (negate ? Ref::kTrue : Ref::kNil)) {
      Node* logic = syntax.New(negate ? Kind::kOr : Kind::kAnd, {condition, thenBlock[0]});
      stack.push_back(logic);
      return true;
    }
    if (negate) condition = Not(condition);
    node->kids = {condition};
    node->depth = condition->depth + 1;
    Syntax::AddBlock(node, std::move(thenBlock));
    // An else-part the then-part jumps over is kept, empty as it is.
    if (!elseBlock.empty() || !valued) Syntax::AddBlock(node, std::move(elseBlock));
    if (valued) {
      stack.push_back(node);
      return true;
    }
    return Emit(out, stack, node, i - 1);
  }
  Block thenBlock;
  if (!Statements({i + 1, l1}, thenBlock, nesting)) return false;
  if (negate) condition = Not(condition);
  node->kids = {condition};
  node->depth = condition->depth + 1;
  Syntax::AddBlock(node, std::move(thenBlock));
  int32_t at = i;
  i = l1;
  return Emit(out, stack, node, at);
}

Node* Structurer::Not(Node* condition) {
  Node* node = syntax.New(Kind::kOperator, {condition});
  node->index = static_cast<uint32_t>(FreqFunc::kNot);
  return node;
}

// A backward branch to `i` that no loop has taken yet: `loop` (branch) or
// `repeat` (branch-if-false).
bool Structurer::LoopAt(int32_t& i, Region region, Stack& stack, int nesting) {
  int32_t q = -1;
  for (int32_t candidate : flow.LoopsTo(i)) {
    if (!claimed[candidate]) {
      q = candidate;
      break;
    }
  }
  if (q >= region.end) return Fail("the loop back to pc %u leaves its structure", code[i].pc);
  claimed[q] = true;
  Use(q);
  Block body;
  if (Is(q, Op::kBranch)) {
    breakTo.push_back(q + 1);
    bool ok = Statements({i, q}, body, nesting);
    breakTo.pop_back();
    if (!ok) return false;
    Node* loop = syntax.New(Kind::kLoop);
    Syntax::AddBlock(loop, std::move(body));
    stack.push_back(loop);
    i = q + 1;
    return true;
  }
  if (!Is(q, Op::kBranchIfFalse) || q + 1 >= region.end || !IsConstant(q + 1, Ref::kNil)) {
    return Fail("the backward branch at pc %u fits no loop", code[q].pc);
  }
  Use(q + 1);
  Stack values;
  breakTo.push_back(q + 2);
  bool ok = Sequence({i, q}, body, values, nesting + 1);
  breakTo.pop_back();
  if (!ok) return false;
  if (values.size() != 1) return Fail("the repeat loop ending at pc %u has no condition", code[q].pc);
  // `x := e` read back at once by the condition is the body's last statement.
  if (Node* assignment = LeadingAssignment(values[0])) body.push_back(assignment);
  Node* loop = syntax.New(Kind::kRepeat, {values[0]});
  Syntax::AddBlock(loop, std::move(body));
  stack.push_back(loop);
  i = q + 2;
  return true;
}

// The assignment that a condition evaluates first, taken out of it and
// replaced there by a read of its variable.
Node* Structurer::LeadingAssignment(Node* condition) {
  Node** first = &condition;
  while (true) {
    Node* node = *first;
    if (node->kind == Kind::kAssign) break;
    bool leftFirst = node->kind == Kind::kOperator || node->kind == Kind::kAref ||
                     node->kind == Kind::kGetPath || node->kind == Kind::kHasPath ||
                     node->kind == Kind::kAnd || node->kind == Kind::kOr;
    if (!leftFirst || node->kids.empty() || !node->kids[0]) return nullptr;
    first = &node->kids[0];
  }
  if (first == &condition) return nullptr;
  Node* assignment = *first;
  Node* read = syntax.New(Kind::kVariable);
  read->variable = assignment->variable;
  *first = read;
  return assignment;
}

bool Structurer::Break(int32_t i, Block& out, Stack& stack) {
  if (stack.size() != 1) return Fail("the break at pc %u lies inside an expression", code[i].pc);
  Use(i);
  Node* value = Pop(stack);
  bool plain = value->kind == Kind::kConstant && value->word == Ref::kNil;
  out.push_back(syntax.New(Kind::kBreak, {plain ? nullptr : value}));
  return true;
}

// A forward branch: a break, or the jump to the test of a while, for or
// foreach loop whose body follows.
bool Structurer::ForwardBranch(int32_t& i, Region region, Block& out, Stack& stack, int nesting) {
  int32_t target = flow.Target(i);
  if (!breakTo.empty() && target == breakTo.back()) {
    if (!Break(i, out, stack)) return false;
    ++i;
    return true;
  }
  if (target <= i) return Fail("the branch at pc %u fits no loop", code[i].pc);
  int32_t q = -1;
  for (int32_t candidate : flow.LoopsTo(i + 1)) {
    if (!claimed[candidate] && candidate >= target) {
      q = candidate;
      break;
    }
  }
  if (q < 0 || q >= region.end) return Fail("the branch at pc %u fits no structure", code[i].pc);
  claimed[q] = true;
  switch (code[q].op) {
    case Op::kBranchIfTrue:
      if (!While(i, q, region, stack, nesting)) return false;
      i = q + 2;
      return true;
    case Op::kBranchIfLoopNotDone:
      if (!For(i, q, region, out, stack, nesting)) return false;
      i = q + 2;
      return true;
    case Op::kBranchIfFalse:
      return Foreach(i, q, region, out, stack, nesting);
    default:
      return Fail("the branch at pc %u fits no loop", code[i].pc);
  }
}

bool Structurer::While(int32_t i, int32_t q, Region region, Stack& stack, int nesting) {
  int32_t test = flow.Target(i);
  if (q + 1 >= region.end || !IsConstant(q + 1, Ref::kNil)) return Fail("the while loop at pc %u has no value", code[i].pc);
  Use(i), Use(q), Use(q + 1);
  Block body, condition;
  size_t values;
  breakTo.push_back(q + 2);
  bool ok = Statements({i + 1, test}, body, nesting) && Valued({test, q}, condition, values, nesting);
  breakTo.pop_back();
  if (!ok) return false;
  if (values != 1) return Fail("the while loop at pc %u has no condition", code[i].pc);
  Node* value = condition.back();
  condition.pop_back();
  Node* loop = syntax.New(Kind::kWhile, {Value(condition, value)});
  Syntax::AddBlock(loop, std::move(body));
  stack.push_back(loop);
  return true;
}

//     a; set-var i; b; set-var limit; s; set-var incr; get-var incr; get-var i; branch TEST
// TOP: body; get-var incr; incr-var i
// TEST: get-var limit; branch-if-loop-not-done TOP; push-constant NIL
bool Structurer::For(int32_t i, int32_t q, Region region, Block& out, Stack& stack, int nesting) {
  int32_t test = flow.Target(i);
  Variable counter, limit, step;
  auto shape = [&] { return Fail("the for loop at pc %u is not in the compiler's shape", code[i].pc); };
  if (q != test + 1 || !VariableAt(test, limit) || !Is(test, Op::kGetVar) ||
      !Is(test - 1, Op::kIncrVar) || !VariableAt(test - 1, counter) || !Is(test - 2, Op::kGetVar) ||
      !VariableAt(test - 2, step) || test - 2 <= i || q + 1 >= region.end ||
      !IsConstant(q + 1, Ref::kNil) || stack.size() < 2 || out.size() < 2) {
    return shape();
  }
  // The step, stored and read back at once, is on the stack below the counter.
  Node* index = stack[stack.size() - 1];
  Node* byAssignment = stack[stack.size() - 2];
  Node* toStatement = out[out.size() - 1];
  Node* fromStatement = out[out.size() - 2];
  if (index->kind != Kind::kVariable || index->variable != counter ||
      !IsAssignOf(byAssignment, step) || !IsAssignOf(toStatement, limit) ||
      !IsAssignOf(fromStatement, counter)) {
    return shape();
  }
  stack.resize(stack.size() - 2);
  Take(out, 2);
  for (int32_t k : {i, test - 2, test - 1, test, q, q + 1}) Use(k);
  Block body;
  breakTo.push_back(q + 2);
  bool ok = Statements({i + 1, test - 2}, body, nesting);
  breakTo.pop_back();
  if (!ok) return false;
  Node* loop = syntax.New(Kind::kFor, {fromStatement->kids[0], toStatement->kids[0], byAssignment->kids[0]});
  loop->variable = counter;
  loop->hidden[0] = limit;
  loop->hidden[1] = step;
  Mark(counter, Role::kLoop);
  Mark(limit, Role::kHidden);
  Mark(step, Role::kHidden);
  Syntax::AddBlock(loop, std::move(body));
  stack.push_back(loop);
  return true;
}

//     obj; deeply; freq-func new-iterator; set-var it; branch TEST
// TOP: (the body, see ForeachBody); get-var it; iter-next
// TEST: get-var it; iter-done; branch-if-false TOP
// then for `do`: push-constant NIL; push-constant NIL; set-var it (an older
// compiler: push-constant NIL alone)
// and for `collect`, whose prologue also makes the result and its index:
//     branch END; set-var result; pop; pop
// END: get-var result; push-constant NIL; set-var result; push-constant NIL; set-var it
bool Structurer::Foreach(int32_t& i, int32_t q, Region region, Block& out, Stack& stack, int nesting) {
  int32_t test = flow.Target(i);
  Variable iterator, result, index;
  bool collect = Is(q + 1, Op::kBranch);
  size_t prologue = collect ? 2 : 1;
  auto shape = [&] { return Fail("the foreach loop at pc %u is not in the compiler's shape", code[i].pc); };
  if (q != test + 2 || !Is(test, Op::kGetVar) || !VariableAt(test, iterator) ||
      !Is(test + 1, Op::kIterDone) || out.size() < prologue) {
    return shape();
  }
  // An older compiler leaves the iterator in its variable after the loop.
  bool released = IsConstant(q + 2, Ref::kNil) && IsVariable(q + 3, Op::kSetVar, iterator);
  int32_t next = collect ? q + 10 : released ? q + 4 : q + 2;
  if (next > region.end) return shape();
  // The iterator's assignment: a statement, or for `collect` read back at
  // once for the size of the result.
  Node* made = out[out.size() - prologue];
  if (collect) {
    Node* array = out[out.size() - 2];
    Node* start = out[out.size() - 1];
    if (array->kind != Kind::kAssign || array->variable.byName || start->kind != Kind::kAssign ||
        start->variable.byName || start->kids[0]->kind != Kind::kConstant ||
        start->kids[0]->word != kConstantZero || array->kids[0]->kind != Kind::kSizedArray) {
      return shape();
    }
    Node* size = array->kids[0]->kids[0];
    if (size->kind != Kind::kAref || size->kids[1]->kind != Kind::kConstant ||
        size->kids[1]->word != kConstantFive) {
      return shape();
    }
    made = size->kids[0];
    result = array->variable;
    index = start->variable;
    if (flow.Target(q + 1) != q + 5 || !IsVariable(q + 2, Op::kSetVar, result) || !Is(q + 3, Op::kPop) ||
        !Is(q + 4, Op::kPop) || !IsVariable(q + 5, Op::kGetVar, result) || !IsConstant(q + 6, Ref::kNil) ||
        !IsVariable(q + 7, Op::kSetVar, result) || !IsConstant(q + 8, Ref::kNil) ||
        !IsVariable(q + 9, Op::kSetVar, iterator)) {
      return shape();
    }
  } else if (!IsConstant(q + 1, Ref::kNil)) {
    return shape();
  }
  if (!IsAssignOf(made, iterator) || made->kids[0]->kind != Kind::kBuiltin ||
      made->kids[0]->index != static_cast<uint32_t>(FreqFunc::kNewIterator)) {
    return shape();
  }
  Node* deeply = made->kids[0]->kids[1];
  if (deeply->kind != Kind::kConstant || (deeply->word != Ref::kNil && deeply->word != Ref::kTrue)) return shape();
  for (int32_t k = q + 1; k < next; ++k) Use(k);
  Use(i), Use(test), Use(test + 1), Use(q);
  Node* loop = syntax.New(Kind::kForeach, {made->kids[0]->kids[0]});
  loop->flag = collect;
  loop->hidden[0] = iterator;
  if (collect) loop->hidden[1] = index, loop->hidden[2] = result;
  loop->word = deeply->word == Ref::kTrue;
  // A break lands after the loop's value: on the release of the iterator, or
  // on the landing that makes its value the result.
  breakTo.push_back(q + 2);
  bool ok = ForeachBody(i + 1, test, iterator, loop, nesting, collect ? &result : nullptr, &index);
  breakTo.pop_back();
  if (!ok) return false;
  Take(out, prologue);
  --iterators;
  Mark(iterator, Role::kHidden);
  if (collect) Mark(result, Role::kHidden), Mark(index, Role::kHidden);
  stack.push_back(loop);
  i = next;
  return true;
}

// TOP: get-var it; push-constant 1; aref; set-var v
//      [get-var it; push-constant 0; aref; set-var k]
//      body; pop                                            (do)
//      get-var result; get-var index; expr; set-aref; pop;
//      push-constant 1; incr-var index; pop; pop           (collect)
//      get-var it; iter-next
bool Structurer::ForeachBody(int32_t top, int32_t tail, Variable iterator, Node* loop, int nesting,
                             const Variable* result, const Variable* index) {
  auto element = [&](int32_t h, uint32_t which, Variable& variable) {
    return IsVariable(h, Op::kGetVar, iterator) && IsConstant(h + 1, which) && Is(h + 2, Op::kFreqFunc) &&
           code[h + 2].b == static_cast<uint16_t>(FreqFunc::kAref) && VariableAt(h + 3, variable) &&
           IsVariable(h + 3, Op::kSetVar, variable) && h + 4 <= tail;
  };
  auto shape = [&] { return Fail("the foreach loop at pc %u is not in the compiler's shape", code[top].pc); };
  int32_t h = top;
  if (!element(h, kConstantOne, loop->variable)) return shape();
  for (int32_t k = h; k < h + 4; ++k) Use(k);
  h += 4;
  if (element(h, kConstantZero, loop->key)) {
    loop->hasKey = true;
    for (int32_t k = h; k < h + 4; ++k) Use(k);
    h += 4;
  }
  Mark(loop->variable, Role::kLoop);
  if (loop->hasKey) Mark(loop->key, Role::kLoop);
  if (!IsVariable(tail - 2, Op::kGetVar, iterator) || !Is(tail - 1, Op::kIterNext)) return shape();
  Use(tail - 2), Use(tail - 1);
  Block body;
  if (!result) {
    if (h > tail - 2 || !Statements({h, tail - 2}, body, nesting)) return h > tail - 2 ? shape() : false;
    Syntax::AddBlock(loop, std::move(body));
    return true;
  }
  int32_t store = tail - 8;
  if (store < h + 2 || !IsVariable(h, Op::kGetVar, *result) || !IsVariable(h + 1, Op::kGetVar, *index) ||
      !Is(store, Op::kFreqFunc) || code[store].b != static_cast<uint16_t>(FreqFunc::kSetAref) ||
      !Is(store + 1, Op::kPop) || !IsConstant(store + 2, kConstantOne) ||
      !IsVariable(store + 3, Op::kIncrVar, *index) || !Is(store + 4, Op::kPop) || !Is(store + 5, Op::kPop)) {
    return shape();
  }
  for (int32_t k : {h, h + 1, store, store + 1, store + 2, store + 3, store + 4, store + 5}) Use(k);
  size_t values;
  if (!Valued({h + 2, store}, body, values, nesting)) return false;
  if (values != 1) return Fail("the foreach loop at pc %u collects no value", code[top].pc);
  Syntax::AddBlock(loop, std::move(body));
  return true;
}

//     push 'sym1; push-constant H1; ... new-handlers n
//     body; pop-handlers; branch END
// H1: handler 1; branch PH
// ...
// Hn: handler n
// PH: pop-handlers
// END:
bool Structurer::Try(int32_t& i, Region region, Block& out, Stack& stack, int nesting) {
  const Instruction& ins = code[i];
  int32_t n = ins.b;
  std::vector<int32_t> entries = flow.Handlers(i);
  auto shape = [&] { return Fail("the try at pc %u is not in the compiler's shape", ins.pc); };
  if (n == 0 || static_cast<int32_t>(entries.size()) != n) return shape();
  Node* node = syntax.New(Kind::kTry);
  size_t base = stack.size() - 2 * n;
  for (int32_t k = 0; k < n; ++k) {
    if (!IsSymbolLiteral(stack[base + 2 * k])) return shape();
    node->handlers.push_back(stack[base + 2 * k]->index);
  }
  stack.resize(base);
  for (int32_t k = 0; k < n; ++k) {
    // A handler may be empty: only its branch to the end lies before the next.
    if (entries[k] <= i + 2 || (k > 0 && entries[k] <= entries[k - 1])) return shape();
  }
  int32_t first = entries[0];
  if (!Is(first - 1, Op::kBranch) || !Is(first - 2, Op::kPopHandlers)) return shape();
  int32_t end = flow.Target(first - 1);
  if (end > region.end || end <= entries.back() || !Is(end - 1, Op::kPopHandlers)) return shape();
  int32_t popHandlers = end - 1;
  for (int32_t k = 1; k < n; ++k) {
    if (!Is(entries[k] - 1, Op::kBranch) || flow.Target(entries[k] - 1) != popHandlers) return shape();
    Use(entries[k] - 1);
  }
  Use(i), Use(first - 2), Use(first - 1), Use(popHandlers);
  std::vector<Region> regions = {{i + 1, first - 2}};
  for (int32_t k = 0; k < n; ++k) regions.push_back({entries[k], k + 1 < n ? entries[k + 1] - 1 : popHandlers});
  std::vector<Block> blocks(regions.size());
  bool valued = false, bare = false;
  for (size_t k = 0; k < regions.size(); ++k) {
    size_t values;
    if (!Valued(regions[k], blocks[k], values, nesting)) return false;
    valued = valued || values == 1;
    bare = bare || (values == 0 && !IsTerminated(blocks[k]));
  }
  if (valued && bare) return Fail("one part of the try at pc %u gives a value and another none", ins.pc);
  for (Block& block : blocks) Syntax::AddBlock(node, std::move(block));
  i = end;
  if (valued) {
    stack.push_back(node);
    return true;
  }
  return Emit(out, stack, node, i - 1);
}
