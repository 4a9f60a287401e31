// The operators of NewtonScript, loosest first, and the postfix forms and
// primaries they are made of.

#include "compiler/parser.h"
#include "decompiler/instructions.h"
#include "objects/errors.h"
#include "objects/symbol.h"

namespace compiler {

namespace {
Node* Operator(Node* node, FreqFunc function) {
  node->index = static_cast<uint32_t>(function);
  return node;
}

struct Builtin {
  const char* name;
  FreqFunc function;
  Kind kind;
};
// Global functions the compiler makes freq-func instructions of.
const Builtin kBuiltins[] = {
    {"BAnd", FreqFunc::kBitAnd, Kind::kBuiltin},    {"BOr", FreqFunc::kBitOr, Kind::kBuiltin},
    {"BNot", FreqFunc::kBitNot, Kind::kBuiltin},    {"Length", FreqFunc::kLength, Kind::kBuiltin},
    {"Clone", FreqFunc::kClone, Kind::kBuiltin},    {"SetClass", FreqFunc::kSetClass, Kind::kBuiltin},
    {"AddArraySlot", FreqFunc::kAddArraySlot, Kind::kBuiltin},
    {"Stringer", FreqFunc::kStringer, Kind::kStringer}, {"ClassOf", FreqFunc::kClassOf, Kind::kBuiltin},
};
}  // namespace

Node* Parser::Or() {
  Node* node = And();
  while (AcceptWord("or")) node = NewNode(Kind::kOr, {node, And()});
  return node;
}

Node* Parser::And() {
  Node* node = Not();
  while (AcceptWord("and")) node = NewNode(Kind::kAnd, {node, Not()});
  return node;
}

Node* Parser::Not() {
  if (!AcceptWord("not")) return Comparison();
  return Operator(NewNode(Kind::kOperator, {Not()}), FreqFunc::kNot);
}

Node* Parser::Comparison() {
  static const std::pair<const char*, FreqFunc> kComparisons[] = {
      {"=", FreqFunc::kEquals},        {"<>", FreqFunc::kNotEquals},    {"<", FreqFunc::kLessThan},
      {">", FreqFunc::kGreaterThan},   {"<=", FreqFunc::kLessOrEqual}, {">=", FreqFunc::kGreaterOrEqual}};
  Node* node = Exists();
  for (const auto& [mark, function] : kComparisons) {
    if (Accept(mark)) return Operator(NewNode(Kind::kOperator, {node, Exists()}), function);
  }
  return node;
}

// a.b exists asks whether the path leads anywhere; x exists whether a
// variable of that name is there.
Node* Parser::Exists() {
  Position at = current.at;
  Node* node = Concatenation();
  if (!AcceptWord("exists")) return node;
  if (node->kind == Kind::kGetPath) return Operator(NewNode(Kind::kHasPath, {node->kids[0], node->kids[1]}), FreqFunc::kHasPath);
  if (node->kind == Kind::kVariable && node->variable.byName) {
    Node* call = NewNode(Kind::kCall, {Literal(scope->literals[node->variable.id])});
    call->index = scope->SymbolLiteral(objects, "HasVar");
    return call;
  }
  Fail(at, "exists asks of a path or of a variable looked up by name");
}

// a & b && c is one Stringer of the pieces, a " " between those that && joins.
Node* Parser::Concatenation() {
  Node* first = Additive();
  if (!Is("&") && !Is("&&")) return first;
  Kids pieces = {Literal(Value::Of(Symbol("Array"))), first};
  while (Is("&") || Is("&&")) {
    bool space = Is("&&");
    Step();
    if (space) pieces.push_back(Literal(Value::Of(objects.String(u" ")), true));
    pieces.push_back(Additive());
  }
  Node* array = NewNode(Kind::kMakeArray, std::move(pieces));
  return Operator(NewNode(Kind::kStringer, {array}), FreqFunc::kStringer);
}

Node* Parser::Additive() {
  Node* node = Multiplicative();
  while (Is("+") || Is("-")) {
    FreqFunc function = Is("+") ? FreqFunc::kAdd : FreqFunc::kSubtract;
    Step();
    node = Operator(NewNode(Kind::kOperator, {node, Multiplicative()}), function);
  }
  return node;
}

Node* Parser::Multiplicative() {
  Node* node = Unary();
  while (true) {
    if (Accept("*")) {
      node = Operator(NewNode(Kind::kOperator, {node, Unary()}), FreqFunc::kMultiply);
    } else if (Accept("/")) {
      node = Operator(NewNode(Kind::kOperator, {node, Unary()}), FreqFunc::kDivide);
    } else if (AcceptWord("div")) {
      node = Operator(NewNode(Kind::kOperator, {node, Unary()}), FreqFunc::kDiv);
    } else if (AcceptWord("mod")) {
      // mod is a global function.
      Node* call = NewNode(Kind::kCall, {node, Unary()});
      call->index = scope->SymbolLiteral(objects, "mod");
      node = call;
    } else {
      return node;
    }
  }
}

// -x is 0 - x; a negative number is a number.
Node* Parser::Unary() {
  if (!Is("-")) return Postfix();
  Step();
  if (current.token == Token::kInteger && !current.hex) {
    int64_t value = current.integer;
    Position at = current.at;
    Step();
    return Path(Integer(-value, at));
  }
  if (current.token == Token::kReal) {
    double value = -current.real;
    Step();
    return Path(Literal(Value::Of(objects.Real(value)), true));
  }
  return Operator(NewNode(Kind::kOperator, {Constant(0), Unary()}), FreqFunc::kSubtract);
}

Node* Parser::Postfix() {
  Position at = current.at;
  Node* node = Path(Primary());
  positions.try_emplace(node, at);
  return node;
}

// .name, .(e), [e], :msg(...), :?msg(...) after a value. Names one after
// another make one path: a.b.c reads the path [pathExpr: b, c] of a.
Node* Parser::Path(Node* object) {
  while (true) {
    if (Accept(".")) {
      if (Accept("(")) {
        Node* slot = Expression();
        Expect(")", "')'");
        object = NewNode(Kind::kGetPath, {object, slot});
        continue;
      }
      std::vector<Value> steps = {Value::Of(Symbol(ExpectName("a slot's name")))};
      while (Is(".")) {
        // Only a name continues the path; .( starts a path of its own.
        Lexer look = lexer;
        Lexeme next = look.Next();
        if (next.token != Token::kName) break;
        Step();
        steps.push_back(Value::Of(Symbol(ExpectName("a slot's name"))));
      }
      Node* slot = steps.size() == 1 ? Literal(steps[0])
                                     : Literal(Value::Of(objects.Array(steps, Value::Of(Symbol("pathExpr")))), true);
      object = NewNode(Kind::kGetPath, {object, slot});
    } else if (Accept("[")) {
      Node* index = Expression();
      Expect("]", "']'");
      object = Operator(NewNode(Kind::kAref, {object, index}), FreqFunc::kAref);
    } else if (Is(":") || Is(":?")) {
      bool ifDefined = Is(":?");
      Step();
      object = Send(object, ifDefined);
    } else {
      return object;
    }
  }
}

Kids Parser::Arguments() {
  Expect("(", "'('");
  Kids kids;
  if (Accept(")")) return kids;
  do {
    kids.push_back(Expression());
  } while (Accept(","));
  Expect(")", "')' or ','");
  return kids;
}

Node* Parser::Send(Node* receiver, bool ifDefined) {
  uint32_t message = scope->SymbolLiteral(objects, ExpectName("a message's name"));
  Kids kids = {receiver};
  for (Node* argument : Arguments()) kids.push_back(argument);
  Node* node = NewNode(Kind::kSend, std::move(kids));
  node->index = message;
  node->flag = ifDefined;
  return node;
}

Node* Parser::Inherited() {
  bool ifDefined = Is(":?");
  if (!Accept(":?")) Expect(":", "':' after inherited");
  uint32_t message = scope->SymbolLiteral(objects, ExpectName("a message's name"));
  Node* node = NewNode(Kind::kResend, Arguments());
  node->index = message;
  node->flag = ifDefined;
  return node;
}

Node* Parser::Call(const std::string& name, Position at) {
  if (NamesEqualIgnoringCase(name, "WithOptions")) return WithOptions(at);
  Kids arguments = Arguments();
  for (const Builtin& builtin : kBuiltins) {
    if (NamesEqualIgnoringCase(name, builtin.name) &&
        static_cast<int>(arguments.size()) == FreqFuncArguments(static_cast<uint16_t>(builtin.function))) {
      return Operator(NewNode(builtin.kind, std::move(arguments)), builtin.function);
    }
  }
  Node* node = NewNode(Kind::kCall, std::move(arguments));
  node->index = scope->SymbolLiteral(objects, name);
  positions.try_emplace(node, at);
  return node;
}

Node* Parser::Primary() {
  Lexeme lexeme = current;
  Position at = current.at;
  switch (lexeme.token) {
    case Token::kEnd:
      Fail("the source ends where a value is needed");
    case Token::kInteger:
      Step();
      return Integer(lexeme.integer, at);
    case Token::kReal:
      Step();
      return Literal(Value::Of(objects.Real(lexeme.real)), true);
    case Token::kString:
      Step();
      return Literal(Value::Of(objects.String(lexeme.string)), true);
    case Token::kCharacter:
      Step();
      return ValueNode(Value::Word(static_cast<uint32_t>(lexeme.integer) << 4 | 6));
    case Token::kName:
      Step();
      if (Is("(")) return Call(lexeme.text, at);
      return Name(lexeme.text, at);
    case Token::kWord:
    case Token::kMark:
      break;
  }
  if (AcceptWord("nil")) return Constant(Ref::kNil);
  if (AcceptWord("true")) return Constant(Ref::kTrue);
  if (AcceptWord("self")) return NewNode(Kind::kSelf);
  if (AcceptWord("inherited")) return Inherited();
  if (AcceptWord("if")) return If();
  if (AcceptWord("for")) return For();
  if (AcceptWord("foreach")) return Foreach();
  if (AcceptWord("while")) return While();
  if (AcceptWord("repeat")) return Repeat();
  if (AcceptWord("loop")) return Loop();
  if (AcceptWord("try")) return Try();
  if (AcceptWord("begin")) return Begin();
  if (AcceptWord("func")) return Function(at);
  if (IsWord("native")) Fail(at, "native functions hold machine code, which is not compiled here");
  if (AcceptWord("call")) return CallWith();
  if (Accept("@")) {
    if (current.token != Token::kInteger || current.integer < 0 || current.integer >= (int64_t{1} << 30)) {
      Fail("@ is followed by the number of a magic pointer");
    }
    uint32_t word = static_cast<uint32_t>(current.integer) << 2 | 3;
    Step();
    return ValueNode(Value::Word(word));
  }
  if (Accept("'")) return Literal(Quoted());
  if (Is(":") || Is(":?")) {
    bool ifDefined = Is(":?");
    Step();
    return Send(nullptr, ifDefined);
  }
  if (Accept("(")) {
    Node* node = Expression();
    Expect(")", "')'");
    // Parenthesised, a path ends: (a.b).c reads c of a.b.
    return node;
  }
  if (Accept("[")) return ArrayConstructor();
  if (Accept("{")) return FrameConstructor();
  Fail(Format("a value is needed here, not %s", Describe(current).c_str()));
}

}  // namespace compiler
