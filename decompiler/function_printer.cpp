#include "decompiler/function_printer.h"

#include "decompiler/decompiler.h"
#include "decompiler/source_text.h"
#include "decompiler/literal_writer.h"
#include "objects/ref.h"
#include "objects/symbol.h"

namespace {

struct OperatorInfo {
  FreqFunc function;
  const char* text;
  FunctionPrinter::Level level;
};
const OperatorInfo kOperators[] = {
    {FreqFunc::kAdd, "+", FunctionPrinter::kAdditive},
    {FreqFunc::kSubtract, "-", FunctionPrinter::kAdditive},
    {FreqFunc::kMultiply, "*", FunctionPrinter::kMultiplicative},
    {FreqFunc::kDivide, "/", FunctionPrinter::kMultiplicative},
    {FreqFunc::kDiv, "div", FunctionPrinter::kMultiplicative},
    {FreqFunc::kEquals, "=", FunctionPrinter::kComparison},
    {FreqFunc::kNotEquals, "<>", FunctionPrinter::kComparison},
    {FreqFunc::kLessThan, "<", FunctionPrinter::kComparison},
    {FreqFunc::kGreaterThan, ">", FunctionPrinter::kComparison},
    {FreqFunc::kGreaterOrEqual, ">=", FunctionPrinter::kComparison},
    {FreqFunc::kLessOrEqual, "<=", FunctionPrinter::kComparison},
    {FreqFunc::kNot, "not", FunctionPrinter::kNot},
};

const OperatorInfo& OperatorOf(const Node* node) {
  for (const OperatorInfo& info : kOperators) {
    if (static_cast<uint32_t>(info.function) == node->index) return info;
  }
  return kOperators[0];
}

const char* BuiltinName(uint32_t function) {
  switch (static_cast<FreqFunc>(function)) {
    case FreqFunc::kBitAnd: return "BAnd";
    case FreqFunc::kBitOr: return "BOr";
    case FreqFunc::kBitNot: return "BNot";
    case FreqFunc::kLength: return "Length";
    case FreqFunc::kClone: return "Clone";
    case FreqFunc::kSetClass: return "SetClass";
    case FreqFunc::kAddArraySlot: return "AddArraySlot";
    case FreqFunc::kClassOf: return "ClassOf";
    default: return "Stringer";
  }
}

bool IsControl(Kind kind) {
  switch (kind) {
    case Kind::kIf: case Kind::kLoop: case Kind::kWhile: case Kind::kRepeat: case Kind::kFor:
    case Kind::kForeach: case Kind::kTry: case Kind::kUnreachable:
      return true;
    default:
      return false;
  }
}

bool IsIntegerConstant(const Node* node, uint32_t value) {
  return node->kind == Kind::kConstant && node->word == value << 2;
}

}  // namespace

// The names of a path literal, [pathExpr: b, c], which a.b.c makes.
std::optional<std::vector<std::string_view>> FunctionPrinter::PathSteps(const Node* node) const {
  if (node->kind != Kind::kLiteral) return std::nullopt;
  const PrintedTree& tree = function.Tree();
  const PrintedValue& value = function.Function().literals[node->index];
  if (value.kind != PrintedValue::kArray) return std::nullopt;
  std::optional<std::string_view> cls = SymbolOf(tree, tree.ArrayClass(value.object));
  int32_t count = tree.NumberOfElements(value.object);
  if (!cls || !NamesEqualIgnoringCase(*cls, "pathExpr") || count < 2 || !values.IsFresh(value)) return std::nullopt;
  std::vector<std::string_view> steps;
  for (int32_t k = 0; k < count; ++k) {
    std::optional<std::string_view> name = SymbolOf(tree, tree.Element(value.object, k));
    if (!name) return std::nullopt;
    steps.push_back(*name);
  }
  return steps;
}

std::optional<std::string_view> FunctionPrinter::Symbol(const Node* node) const {
  if (node->kind != Kind::kLiteral) return std::nullopt;
  return function.Function().SymbolAt(node->index);
}

bool FunctionPrinter::IsArrayClass(const Node* node) const {
  std::optional<std::string_view> name = Symbol(node);
  return name && NamesEqualIgnoringCase(*name, "Array");
}

// stringer over [a, b, " ", c] is written as its pieces, a & b && c.
bool FunctionPrinter::IsPieces(const Node* array) const {
  return array->kind == Kind::kMakeArray && IsArrayClass(array->kids[0]) && array->kids.size() > 2;
}

// Whether an expression's text begins with a send to a variable, `a:m(...)`,
// through the kids written before anything of their parent's.
bool FunctionPrinter::BeginsWithSendToName(const Node* node) const {
  switch (node->kind) {
    case Kind::kSend:
      return node->kids[0] && (node->kids[0]->kind == Kind::kVariable || BeginsWithSendToName(node->kids[0]));
    case Kind::kOperator:
      return node->kids.size() == 2 && BeginsWithSendToName(node->kids[0]);
    case Kind::kCall:
      return IsModulo(node) && BeginsWithSendToName(node->kids[0]);
    case Kind::kAref: case Kind::kSetAref: case Kind::kHasPath: case Kind::kGetPath: case Kind::kSetPath:
    case Kind::kAnd: case Kind::kOr:
      return BeginsWithSendToName(node->kids[0]);
    case Kind::kStringer:
      return IsPieces(node->kids[0]) && BeginsWithSendToName(node->kids[0]->kids[1]);
    default:
      return false;
  }
}

// `a mod b` is a call of the global function mod.
bool FunctionPrinter::IsModulo(const Node* node) const {
  std::optional<std::string_view> name = function.Function().SymbolAt(node->index);
  return node->kids.size() == 2 && name && NamesEqualIgnoringCase(*name, "mod");
}

// A variable's name as source, made once for each variable slot.
std::string FunctionPrinter::Variable(const ::Variable& variable) {
  if (variable.byName) return Identifier(function.VariableName(variable));
  if (variable.id >= variables.size()) variables.resize(variable.id + 1);
  std::string& name = variables[variable.id];
  if (name.empty()) name = Identifier(function.VariableName(variable));
  return name;
}

std::string FunctionPrinter::Name(uint32_t literal) const {
  std::optional<std::string_view> name = function.Function().SymbolAt(literal);
  return Identifier(name ? *name : "?");
}

void FunctionPrinter::Print() {
  out.Put("func(");
  std::vector<std::string> arguments = function.ArgumentNames();
  for (size_t k = 0; k < arguments.size(); ++k) out.Put((k ? ", " : "") + Identifier(arguments[k]));
  out.Put(")");
  // To compile back to the same function, every local is declared where the
  // compiler numbers it as its slot; those a Newton OS 2 argFrame keeps first.
  std::vector<std::string> locals = values.IsExact() ? function.AllLocals() : function.DeclaredLocals();
  if (locals.empty() && body.size() == 1 && IsSimple(body[0])) {
    out.Put(" ");
    return Statement(body[0]);
  }
  out.NewLine();
  out.Put("begin");
  out.Indent();
  if (values.IsExact()) {
    numbering.emplace(function);
    locals = function.ArgFrameLocals();
  }
  if (!locals.empty()) {
    out.NewLine();
    out.Put("local ");
    for (size_t k = 0; k < locals.size(); ++k) out.Put((k ? ", " : "") + Identifier(locals[k]));
    if (!body.empty() || numbering) out.Put(";");
  }
  Statements(body, true);
  out.Outdent();
  out.NewLine();
  out.Put("end");
}

void FunctionPrinter::Statements(const Block& block, bool top) {
  size_t last = block.size();
  for (size_t k = block.size(); k-- > 0;) {
    if (block[k]->kind != Kind::kUnreachable) {
      last = k;
      break;
    }
  }
  for (size_t k = 0; k < block.size(); ++k) {
    if (numbering && block[k]->kind != Kind::kUnreachable) Declare(numbering->Due());
    out.NewLine();
    Statement(block[k]);
    if (k < last && block[k]->kind != Kind::kUnreachable) out.Put(";");
    // Locals numbered after everything else: a declaration compiles to
    // nothing, so the last statement still gives the value.
    if (numbering && top && k == last) {
      std::vector<uint32_t> rest = numbering->Rest();
      if (!rest.empty()) out.Put(";");
      Declare(rest);
    }
  }
  if (numbering && top && block.empty()) Declare(numbering->Rest());
}

void FunctionPrinter::Declare(const std::vector<uint32_t>& slots) {
  if (slots.empty()) return;
  out.NewLine();
  out.Put("local ");
  for (size_t k = 0; k < slots.size(); ++k) {
    if (k) out.Put(", ");
    const std::string& loopName = numbering->LoopName(slots[k]);
    out.Put(loopName.empty() ? Variable({false, slots[k]}) : Identifier(loopName));
  }
  out.Put(";");
}

void FunctionPrinter::Statement(const Node* node) {
  switch (node->kind) {
    case Kind::kReturn:
      out.Put("return ");
      return Expression(node->kids[0], kAssignment);
    case Kind::kBreak:
      out.Put("break");
      if (node->kids[0]) {
        out.Put(" ");
        Expression(node->kids[0], kAssignment);
      }
      return;
    case Kind::kUnreachable:
      return Unreachable(node);
    default:
      return Expression(node, kStatement);
  }
}

void FunctionPrinter::Unreachable(const Node* node) {
  out.Put("// no path reaches:");
  const std::vector<Instruction>& code = function.Code();
  for (uint32_t k = node->word; k < node->index; ++k) {
    out.NewLine();
    out.Put("// " + function.Disassembly(code[k]));
  }
}

// A statement with no control structure in it can follow `then` or `do`
// without begin and end, and cannot take an `else` that is not its own.
bool FunctionPrinter::IsSimple(const Node* node) const {
  if (IsControl(node->kind) || node->kind == Kind::kFunction) return false;
  for (const Node* kid : node->kids) {
    if (kid && !IsSimple(kid)) return false;
  }
  return true;
}

void FunctionPrinter::Body(const Block& block, bool chain) {
  // Nothing at all, which `nil` is not: that pushes a value and drops it.
  if (block.empty() && !(numbering && numbering->IsDue())) return out.Put("begin end");
  if (block.size() == 1 && !(numbering && numbering->IsDue()) &&
      (IsSimple(block[0]) || (chain && block[0]->kind == Kind::kIf))) {
    return Statement(block[0]);
  }
  out.Put("begin");
  out.Indent();
  Statements(block);
  out.Outdent();
  out.NewLine();
  out.Put("end");
}

FunctionPrinter::Level FunctionPrinter::LevelOf(const Node* node) const {
  switch (node->kind) {
    case Kind::kConstant:
      return node->word & 3 ? kPrimary : static_cast<int32_t>(node->word) < 0 ? kUnary : kPrimary;
    case Kind::kAssign: case Kind::kSetAref: case Kind::kInvoke: case Kind::kFunction:
      return kAssignment;
    case Kind::kSetPath:
      return kAssignment;
    case Kind::kOperator:
      return OperatorOf(node).level;
    case Kind::kAnd:
      return kAnd;
    case Kind::kOr:
      return kOr;
    case Kind::kHasPath:
      return kExists;
    case Kind::kStringer:
      return node->kids[0]->kind == Kind::kMakeArray ? kConcatenation : kPrimary;
    case Kind::kSend: case Kind::kResend: case Kind::kAref: case Kind::kGetPath:
      return kPostfix;
    case Kind::kCall:
      return IsModulo(node) ? kMultiplicative : kPrimary;
    default:
      return IsControl(node->kind) ? kAssignment : kPrimary;
  }
}

void FunctionPrinter::Expression(const Node* node, Level required) {
  bool parenthesised = LevelOf(node) < required;
  if (parenthesised) out.Put("(");
  Bare(node);
  if (parenthesised) out.Put(")");
}

void FunctionPrinter::Arguments(const Kids& kids, size_t first) {
  out.Put("(");
  for (size_t k = first; k < kids.size(); ++k) {
    if (k > first) out.Put(", ");
    Expression(kids[k], kAssignment);
  }
  out.Put(")");
}

// The object of a path, a send or an index: numbers and literals in
// parentheses, so that `3.x` cannot read as a real.
void FunctionPrinter::Postfix(const Node* node) {
  if (node->kind == Kind::kConstant || node->kind == Kind::kLiteral) {
    out.Put("(");
    Bare(node);
    return out.Put(")");
  }
  Expression(node, kPostfix);
}

void FunctionPrinter::Path(const Node* object, const Node* slot) {
  // a.b.c is one path: a path read from another is in parentheses.
  if (object->kind == Kind::kGetPath && (Symbol(slot) || PathSteps(slot))) {
    out.Put("(");
    Bare(object);
    out.Put(")");
  } else {
    Postfix(object);
  }
  out.Put(".");
  if (Symbol(slot)) {
    return out.Put(Name(slot->index));
  }
  if (std::optional<std::vector<std::string_view>> steps = PathSteps(slot)) {
    for (size_t k = 0; k < steps->size(); ++k) {
      if (k) out.Put(".");
      out.Put(Identifier((*steps)[k]));
    }
    return;
  }
  out.Put("(");
  Expression(slot, kAssignment);
  out.Put(")");
}

void FunctionPrinter::Bare(const Node* node) {
  const Kids& kids = node->kids;
  switch (node->kind) {
    case Kind::kConstant:
      return values.Immediate(node->word, out, depth + 1);
    case Kind::kLiteral:
    case Kind::kFunction:
      return values.Literal(function.Function().literals[node->index], out, depth + 1, node->flag);
    case Kind::kSelf:
      return out.Put("self");
    case Kind::kVariable:
      return out.Put(Variable(node->variable));
    case Kind::kAssign:
      out.Put(Variable(node->variable));
      out.Put(" := ");
      return Expression(kids[0], kAssignment);
    case Kind::kCall:
      if (IsModulo(node)) {
        Expression(kids[0], kMultiplicative);
        out.Put(" mod ");
        return Expression(kids[1], static_cast<Level>(kMultiplicative + 1));
      }
      out.Put(Name(node->index));
      return Arguments(kids, 0);
    case Kind::kInvoke:
      out.Put("call ");
      Postfix(kids[0]);
      out.Put(" with ");
      return Arguments(kids, 1);
    case Kind::kSend:
      if (kids[0]) Postfix(kids[0]);
      out.Put((node->flag ? ":?" : ":") + Name(node->index));
      return Arguments(kids, 1);
    case Kind::kResend:
      out.Put((node->flag ? "inherited:?" : "inherited:") + Name(node->index));
      return Arguments(kids, 0);
    case Kind::kOperator:
      return Operator(node);
    case Kind::kBuiltin:
      out.Put(BuiltinName(node->index));
      return Arguments(kids, 0);
    case Kind::kAref: case Kind::kSetAref:
      Postfix(kids[0]);
      out.Put("[");
      Expression(kids[1], kAssignment);
      out.Put("]");
      if (node->kind == Kind::kAref) return;
      out.Put(" := ");
      return Expression(kids[2], kAssignment);
    case Kind::kHasPath:
      Path(kids[0], kids[1]);
      return out.Put(" exists");
    case Kind::kStringer:
      return Stringer(node);
    case Kind::kGetPath:
      if (node->flag && values.IsExact()) {
        // get-path 0, which gives nil for a path from nil: no source form
        // of its own is known.
        out.Put("WithOptions(");
        Path(kids[0], kids[1]);
        return out.Put(", {nilSafe: true})");
      }
      return Path(kids[0], kids[1]);
    case Kind::kSetPath:
      Path(kids[0], kids[1]);
      out.Put(" := ");
      return Expression(kids[2], kAssignment);
    case Kind::kMakeFrame: case Kind::kMakeArray:
      return Constructor(node);
    case Kind::kSizedArray: {
      bool plain = IsArrayClass(kids[1]);
      if (!plain) out.Put("SetClass(");
      out.Put("Array(");
      Expression(kids[0], kAssignment);
      out.Put(", nil)");
      if (plain) return;
      out.Put(", ");
      Expression(kids[1], kAssignment);
      return out.Put(")");
    }
    case Kind::kBegin:
      if (node->blocks[0].empty()) return out.Put("begin end");
      out.Put("begin");
      out.Indent();
      Statements(node->blocks[0]);
      out.Outdent();
      out.NewLine();
      return out.Put("end");
    case Kind::kAnd: case Kind::kOr: {
      Level level = node->kind == Kind::kAnd ? kAnd : kOr;
      Expression(kids[0], level);
      out.Put(node->kind == Kind::kAnd ? " and " : " or ");
      return Expression(kids[1], static_cast<Level>(level + 1));
    }
    default:
      return Control(node);
  }
}

void FunctionPrinter::Operator(const Node* node) {
  const OperatorInfo& info = OperatorOf(node);
  if (node->kids.size() == 1) {
    out.Put("not ");
    // `not a = b` reads as `not (a = b)`; written so, it cannot be misread.
    return Expression(node->kids[0], static_cast<Level>(kComparison + 1));
  }
  bool comparison = info.level == kComparison;
  Expression(node->kids[0], comparison ? static_cast<Level>(info.level + 1) : info.level);
  out.Put(std::string(" ") + info.text + " ");
  Expression(node->kids[1], static_cast<Level>(info.level + 1));
}

void FunctionPrinter::Stringer(const Node* node) {
  const Node* array = node->kids[0];
  if (!IsPieces(array)) {
    out.Put("Stringer(");
    Expression(array, kAssignment);
    return out.Put(")");
  }
  auto isSpace = [&](const Node* piece) {
    return piece->kind == Kind::kLiteral && function.LiteralSummary(piece->index) == "\" \"";
  };
  // Every piece above the concatenation's level: a & b as the first piece
  // would join the pieces around it.
  Expression(array->kids[1], static_cast<Level>(kConcatenation + 1));
  for (size_t k = 2; k < array->kids.size(); ++k) {
    if (isSpace(array->kids[k]) && k + 1 < array->kids.size()) {
      out.Put(" && ");
      ++k;
    } else {
      out.Put(" & ");
    }
    Expression(array->kids[k], static_cast<Level>(kConcatenation + 1));
  }
}

void FunctionPrinter::Constructor(const Node* node) {
  bool frame = node->kind == Kind::kMakeFrame;
  std::string options = frame ? values.MapOptions(function.Function().literals[node->index]) : std::string();
  if (!options.empty()) {
    out.Put("WithOptions(");
    Elements(node);
    out.Put(", " + options + ")");
    return;
  }
  Elements(node);
}

// {a: x, b: y} or [x, y] and [cls: x, y].
void FunctionPrinter::Elements(const Node* node) {
  bool frame = node->kind == Kind::kMakeFrame;
  size_t first = frame ? 0 : 1;
  bool lines = false;
  for (size_t k = first; k < node->kids.size(); ++k) {
    Kind kind = node->kids[k]->kind;
    lines = lines || !IsSimple(node->kids[k]) || kind == Kind::kMakeFrame || kind == Kind::kMakeArray;
  }
  out.Put(frame ? "{" : "[");
  if (!frame) {
    const Node* cls = node->kids[0];
    if (!IsArrayClass(cls)) {
      out.Put(Name(cls->index) + ": ");
    }
  }
  if (lines) out.Indent();
  const FunctionFrame& code = function.Function();
  for (size_t k = first; k < node->kids.size(); ++k) {
    if (lines) out.NewLine();
    if (frame) {
      PrintedValue map = code.literals[node->index];
      std::optional<std::string_view> name =
          SymbolOf(function.Tree(), function.Tree().Element(map.object, static_cast<int32_t>(k + 1)));
      out.Put(Identifier(name ? *name : "?") + ": ");
    }
    // [a:m()] and [a:m() + 1] would read as arrays of class a.
    const Node* element = node->kids[k];
    bool sendToName = !frame && k == first && BeginsWithSendToName(element);
    if (sendToName) out.Put("(");
    Expression(element, kAssignment);
    if (sendToName) out.Put(")");
    if (k + 1 < node->kids.size()) out.Put(lines ? "," : ", ");
  }
  if (lines) {
    out.Outdent();
    out.NewLine();
  }
  out.Put(frame ? "}" : "]");
}

void FunctionPrinter::Control(const Node* node) {
  const Kids& kids = node->kids;
  switch (node->kind) {
    case Kind::kIf:
      out.Put("if ");
      Expression(kids[0], kOr);
      out.Put(" then ");
      // A then-part that is an if of its own would take our else.
      if (node->blocks.size() > 1 && node->blocks[0].size() == 1 && node->blocks[0][0]->kind == Kind::kIf) {
        out.Put("begin");
        out.Indent();
        Statements(node->blocks[0]);
        out.Outdent();
        out.NewLine();
        out.Put("end");
      } else {
        Body(node->blocks[0]);
      }
      if (node->blocks.size() > 1) {
        // Each `else if` of a chain on a line of its own.
        bool chain = node->blocks[1].size() == 1 && node->blocks[1][0]->kind == Kind::kIf;
        if (chain) {
          out.NewLine();
          out.Put("else ");
        } else {
          out.Put(" else ");
        }
        Body(node->blocks[1], true);
      }
      return;
    case Kind::kLoop:
      out.Put("loop ");
      return Body(node->blocks[0]);
    case Kind::kWhile:
      out.Put("while ");
      Expression(kids[0], kOr);
      out.Put(" do ");
      return Body(node->blocks[0]);
    case Kind::kRepeat:
      out.Put("repeat");
      out.Indent();
      Statements(node->blocks[0]);
      out.Outdent();
      out.NewLine();
      out.Put("until ");
      return Expression(kids[0], kOr);
    case Kind::kFor:
      out.Put("for " + Variable(node->variable) + " := ");
      Expression(kids[0], kOr);
      out.Put(" to ");
      Expression(kids[1], kOr);
      if (!IsIntegerConstant(kids[2], 1)) {
        out.Put(" by ");
        Expression(kids[2], kOr);
      }
      out.Put(" do ");
      if (numbering) numbering->LoopBegins(node);
      return Body(node->blocks[0]);
    case Kind::kForeach:
      return Foreach(node);
    case Kind::kTry:
      return Try(node);
    default:
      return Unreachable(node);
  }
}

void FunctionPrinter::Foreach(const Node* node) {
  if (numbering) numbering->LoopBegins(node);
  out.Put("foreach ");
  if (node->hasKey) out.Put(Variable(node->key) + ", ");
  out.Put(Variable(node->variable));
  out.Put(node->word ? " deeply in " : " in ");
  Expression(node->kids[0], kOr);
  out.Put(node->flag ? " collect " : " do ");
  Body(node->blocks[0]);
}

void FunctionPrinter::Try(const Node* node) {
  out.Put("try ");
  Body(node->blocks[0]);
  for (size_t k = 0; k < node->handlers.size(); ++k) {
    out.NewLine();
    out.Put("onexception " + Name(node->handlers[k]) + " do ");
    Body(node->blocks[k + 1]);
  }
}
