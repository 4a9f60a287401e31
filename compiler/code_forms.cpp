// Each source form as the instructions the platform's compiler made of it.

#include "compiler/code_generator.h"
#include "compiler/parser.h"
#include "objects/errors.h"

namespace compiler {

namespace {
const uint32_t kNilWord = Ref::kNil, kTrueWord = Ref::kTrue;
const uint16_t kOne = 1 << 2, kZero = 0, kFive = 5 << 2;
}  // namespace

void CodeGenerator::Arguments(const Kids& kids, size_t first) {
  for (size_t k = first; k < kids.size(); ++k) Expr(kids[k]);
}

void CodeGenerator::Expr(Node* node) {
  const Kids& kids = node->kids;
  switch (node->kind) {
    case Kind::kConstant:
      return Emit(Op::kPushConstant, node->word & 0xFFFF);
    case Kind::kLiteral:
      return Push(node->index);
    case Kind::kFunction:
      Push(node->index);
      if (node->flag) Emit(Op::kSetLexScope);
      return;
    case Kind::kSelf:
      return Emit(Op::kPushSelf);
    case Kind::kVariable:
      return Get(node->variable);
    case Kind::kAssign:
      Expr(kids[0]);
      Set(node->variable);
      return Get(node->variable);
    case Kind::kCall:
      Arguments(kids, 0);
      Push(node->index);
      return Emit(Op::kCall, static_cast<uint32_t>(kids.size()));
    case Kind::kInvoke:
      Arguments(kids, 1);
      Expr(kids[0]);
      return Emit(Op::kInvoke, static_cast<uint32_t>(kids.size() - 1));
    case Kind::kSend:
      Arguments(kids, 1);
      if (kids[0]) {
        Expr(kids[0]);
      } else {
        Emit(Op::kPushSelf);
      }
      Push(node->index);
      return Emit(node->flag ? Op::kSendIfDefined : Op::kSend, static_cast<uint32_t>(kids.size() - 1));
    case Kind::kResend:
      Arguments(kids, 0);
      Push(node->index);
      return Emit(node->flag ? Op::kResendIfDefined : Op::kResend, static_cast<uint32_t>(kids.size()));
    case Kind::kOperator: case Kind::kBuiltin: case Kind::kAref: case Kind::kSetAref: case Kind::kHasPath:
    case Kind::kStringer:
      Arguments(kids, 0);
      return Emit(Op::kFreqFunc, node->index);
    case Kind::kGetPath:
      Arguments(kids, 0);
      return Emit(Op::kGetPath, node->flag ? 0 : 1);
    case Kind::kSetPath:
      Arguments(kids, 0);
      return Emit(Op::kSetPath, 1);
    case Kind::kMakeFrame:
      Arguments(kids, 0);
      Push(node->index);
      return Emit(Op::kMakeFrame, static_cast<uint32_t>(kids.size()));
    case Kind::kMakeArray:
      Arguments(kids, 1);
      Expr(kids[0]);
      return Emit(Op::kMakeArray, static_cast<uint32_t>(kids.size() - 1));
    case Kind::kBegin:
      return Sequence(node->blocks[0], true);
    case Kind::kIf:
      return If(node, true);
    case Kind::kAnd:
      return And(node);
    case Kind::kOr:
      return Or(node);
    case Kind::kLoop:
      return Loop(node);
    case Kind::kWhile:
      return While(node);
    case Kind::kRepeat:
      return Repeat(node);
    case Kind::kFor:
      return For(node);
    case Kind::kForeach:
      return Foreach(node);
    case Kind::kTry:
      return Try(node, true);
    case Kind::kReturn:
      Expr(kids[0]);
      return Emit(Op::kReturn);
    case Kind::kBreak:
      return Break(node);
    case Kind::kNumber:
      throw SourceError(parser.PositionOf(node), "the number is out of range: integers are of 30 bits");
    case Kind::kSizedArray:  // the decompiler's alone: `Array(n, nil)` is a call
    case Kind::kUnreachable:
      break;
  }
  Fail("this form is not compiled");
}

// What leaves no value: an assignment, a set-path, an if, a try; anything
// else gives its value and pops it.
void CodeGenerator::Stmt(Node* node) {
  const Kids& kids = node->kids;
  switch (node->kind) {
    case Kind::kAssign:
      Expr(kids[0]);
      return Set(node->variable);
    case Kind::kSetPath:
      Arguments(kids, 0);
      return Emit(Op::kSetPath, 0);
    case Kind::kIf:
      return If(node, false);
    case Kind::kTry:
      return Try(node, false);
    case Kind::kBegin:
      return Sequence(node->blocks[0], false);
    default:
      Expr(node);
      return Emit(Op::kPop);
  }
}

// Statements one after another; with `value`, the last gives the block's
// value (nil where there is none).
void CodeGenerator::Sequence(const Block& block, bool value) {
  if (block.empty()) {
    if (value) Emit(Op::kPushConstant, kNilWord);
    return;
  }
  for (size_t k = 0; k + 1 < block.size(); ++k) Stmt(block[k]);
  if (value) {
    Expr(block.back());
  } else {
    Stmt(block.back());
  }
}

// A loop's body: while and loop give its value and drop it; for and foreach
// compile it for its effect alone, as the platform's compiler did.
void CodeGenerator::LoopBody(const Node* loop) {
  if (loop->kind == Kind::kFor || loop->kind == Kind::kForeach) return Sequence(loop->blocks[0], false);
  Sequence(loop->blocks[0], true);
  Emit(Op::kPop);
}

// The condition's value and the branch taken where it does not hold: the
// platform's compiler tests `a and b` by its value, as any other.
size_t CodeGenerator::Condition(Node* node) {
  Expr(node);
  return EmitForward(Op::kBranchIfFalse);
}

void CodeGenerator::If(Node* node, bool value) {
  size_t otherwise = Condition(node->kids[0]);
  bool hasElse = node->blocks.size() > 1;
  Sequence(node->blocks[0], value);
  if (!value && !hasElse) return Patch(otherwise, Here());
  size_t over = EmitForward(Op::kBranch);
  Patch(otherwise, Here());
  if (hasElse) {
    Sequence(node->blocks[1], value);
  } else {
    Emit(Op::kPushConstant, kNilWord);
  }
  Patch(over, Here());
}

// a and b: a's test, then b; nil where a test fails.
void CodeGenerator::And(Node* node) {
  size_t otherwise = Condition(node->kids[0]);
  Expr(node->kids[1]);
  size_t over = EmitForward(Op::kBranch);
  Patch(otherwise, Here());
  Emit(Op::kPushConstant, kNilWord);
  Patch(over, Here());
}

// a or b: true where a holds, else b.
void CodeGenerator::Or(Node* node) {
  Expr(node->kids[0]);
  size_t holds = EmitForward(Op::kBranchIfTrue);
  Expr(node->kids[1]);
  size_t over = EmitForward(Op::kBranch);
  Patch(holds, Here());
  Emit(Op::kPushConstant, kTrueWord);
  Patch(over, Here());
}

//     from; set i; to; set limit; by; set step; get step; get i; branch TEST
// TOP: body; pop; get step; incr-var i
// TEST: get limit; branch-if-loop-not-done TOP; push-constant nil
void CodeGenerator::For(Node* node) {
  const Variable& counter = node->variable;
  const Variable& limit = node->hidden[0];
  const Variable& step = node->hidden[1];
  Expr(node->kids[0]);
  Set(counter);
  Expr(node->kids[1]);
  Set(limit);
  Expr(node->kids[2]);
  Set(step);
  Get(step);
  Get(counter);
  size_t toTest = EmitForward(Op::kBranch);
  uint32_t top = Here();
  breaks.emplace_back();
  LoopBody(node);
  Get(step);
  if (counter.byName || slots[counter.id] < 0) Fail("a for loop's variable cannot be reached by name");
  Emit(Op::kIncrVar, static_cast<uint32_t>(slots[counter.id]));
  Patch(toTest, Here());
  Get(limit);
  Emit(Op::kBranchIfLoopNotDone, top);
  Emit(Op::kPushConstant, kNilWord);
  PatchAll(breaks.back(), Here());
  breaks.pop_back();
}

//     obj; deeply; new-iterator; set it; branch TEST           (do)
//     obj; deeply; new-iterator; set it; get it; 5; aref; 'Array;
//     make-array sized; set result; 0; set index; branch TEST  (collect)
// TOP: get it; 1; aref; set v; [get it; 0; aref; set k]
//      body; pop                                               (do)
//      get result; get index; body; set-aref; pop; 1; incr-var index; pop; pop
//      get it; iter-next
// TEST: get it; iter-done; branch-if-false TOP
//      nil; nil; set it                                        (do)
//      branch END; set result; pop; pop                        (collect)
// END: get result; nil; set result; nil; set it
void CodeGenerator::Foreach(Node* node) {
  bool collect = node->flag;
  const Variable& iterator = node->hidden[0];
  const Variable& index = node->hidden[1];
  const Variable& result = node->hidden[2];
  Expr(node->kids[0]);
  Emit(Op::kPushConstant, node->word ? kTrueWord : kNilWord);
  Emit(Op::kFreqFunc, static_cast<uint32_t>(FreqFunc::kNewIterator));
  Set(iterator);
  if (collect) {
    Get(iterator);
    Emit(Op::kPushConstant, kFive);
    Emit(Op::kFreqFunc, static_cast<uint32_t>(FreqFunc::kAref));
    Emit(Op::kPush, Symbol("Array"));
    Emit(Op::kMakeArray, kSizedArray);
    Set(result);
    Emit(Op::kPushConstant, kZero);
    Set(index);
  }
  size_t toTest = EmitForward(Op::kBranch);
  uint32_t top = Here();
  Get(iterator);
  Emit(Op::kPushConstant, kOne);
  Emit(Op::kFreqFunc, static_cast<uint32_t>(FreqFunc::kAref));
  Set(node->variable);
  if (node->hasKey) {
    Get(iterator);
    Emit(Op::kPushConstant, kZero);
    Emit(Op::kFreqFunc, static_cast<uint32_t>(FreqFunc::kAref));
    Set(node->key);
  }
  breaks.emplace_back();
  if (collect) {
    Get(result);
    Get(index);
    Sequence(node->blocks[0], true);
    Emit(Op::kFreqFunc, static_cast<uint32_t>(FreqFunc::kSetAref));
    Emit(Op::kPop);
    Emit(Op::kPushConstant, kOne);
    if (index.byName || slots[index.id] < 0) Fail("a foreach loop's index cannot be reached by name");
    Emit(Op::kIncrVar, static_cast<uint32_t>(slots[index.id]));
    Emit(Op::kPop);
    Emit(Op::kPop);
  } else {
    LoopBody(node);
  }
  Get(iterator);
  Emit(Op::kIterNext);
  Patch(toTest, Here());
  Get(iterator);
  Emit(Op::kIterDone);
  Emit(Op::kBranchIfFalse, top);
  if (collect) {
    size_t toEnd = EmitForward(Op::kBranch);
    PatchAll(breaks.back(), Here());
    Set(result);
    Emit(Op::kPop);
    Emit(Op::kPop);
    Patch(toEnd, Here());
    Get(result);
    Emit(Op::kPushConstant, kNilWord);
    Set(result);
  } else {
    Emit(Op::kPushConstant, kNilWord);
    PatchAll(breaks.back(), Here());
  }
  breaks.pop_back();
  Emit(Op::kPushConstant, kNilWord);
  Set(iterator);
}

//     branch TEST; TOP: body; pop; TEST: condition; branch-if-true TOP; nil
void CodeGenerator::While(Node* node) {
  size_t toTest = EmitForward(Op::kBranch);
  uint32_t top = Here();
  breaks.emplace_back();
  LoopBody(node);
  Patch(toTest, Here());
  Expr(node->kids[0]);
  Emit(Op::kBranchIfTrue, top);
  Emit(Op::kPushConstant, kNilWord);
  PatchAll(breaks.back(), Here());
  breaks.pop_back();
}

//     TOP: statements; condition; branch-if-false TOP; nil
void CodeGenerator::Repeat(Node* node) {
  uint32_t top = Here();
  breaks.emplace_back();
  Sequence(node->blocks[0], false);
  Expr(node->kids[0]);
  Emit(Op::kBranchIfFalse, top);
  Emit(Op::kPushConstant, kNilWord);
  PatchAll(breaks.back(), Here());
  breaks.pop_back();
}

//     TOP: body; pop; branch TOP      its value is its break's
void CodeGenerator::Loop(Node* node) {
  uint32_t top = Here();
  breaks.emplace_back();
  LoopBody(node);
  Emit(Op::kBranch, top);
  PatchAll(breaks.back(), Here());
  breaks.pop_back();
}

void CodeGenerator::Break(Node* node) {
  if (breaks.empty()) Fail("break is outside any loop");
  if (node->kids[0]) {
    Expr(node->kids[0]);
  } else {
    Emit(Op::kPushConstant, kNilWord);
  }
  breaks.back().push_back(EmitForward(Op::kBranch));
}

//     'sym1; pc H1; ... new-handlers n; body; pop-handlers; branch END
// H1: handler; branch PH ... Hn: handler
// PH: pop-handlers
// END:
void CodeGenerator::Try(Node* node, bool value) {
  std::vector<size_t> addresses;
  for (uint32_t handler : node->handlers) {
    Push(handler);
    addresses.push_back(EmitForward(Op::kPushConstant));
  }
  Emit(Op::kNewHandlers, static_cast<uint32_t>(node->handlers.size()));
  Sequence(node->blocks[0], value);
  Emit(Op::kPopHandlers);
  size_t toEnd = EmitForward(Op::kBranch);
  std::vector<size_t> toPop;
  for (size_t k = 0; k < node->handlers.size(); ++k) {
    if (Here() << 2 > 0x7FFF) Fail("a handler lies past what push-constant reaches");
    Patch(addresses[k], Here() << 2);
    Sequence(node->blocks[k + 1], value);
    if (k + 1 < node->handlers.size()) toPop.push_back(EmitForward(Op::kBranch));
  }
  PatchAll(toPop, Here());
  Emit(Op::kPopHandlers);
  Patch(toEnd, Here());
}

}  // namespace compiler
