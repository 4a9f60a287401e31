#include "compiler/parser.h"

#include "decompiler/instructions.h"
#include "objects/errors.h"

namespace compiler {

Parser::Parser(std::string_view source, Objects& objects, CompileTime& program)
    : lexer(source), objects(objects), program(program) {
  Step();
}

void Parser::Step() { current = lexer.Next(); }

bool Parser::Is(std::string_view mark) const { return current.token == Token::kMark && current.text == mark; }

bool Parser::IsWord(std::string_view word) const { return current.token == Token::kWord && current.text == word; }

bool Parser::Accept(std::string_view mark) {
  if (!Is(mark)) return false;
  Step();
  return true;
}

bool Parser::AcceptWord(std::string_view word) {
  if (!IsWord(word)) return false;
  Step();
  return true;
}

void Parser::Fail(const std::string& what) const { Fail(current.at, what); }

void Parser::Fail(Position at, const std::string& what) const { throw SourceError(at, what); }


void Parser::Expect(std::string_view mark, const char* what) {
  if (!Accept(mark)) Fail(Format("%s is needed here, not %s", what, Describe(current).c_str()));
}

void Parser::ExpectWord(std::string_view word, const char* what) {
  if (!AcceptWord(word)) Fail(Format("%s is needed here, not %s", what, Describe(current).c_str()));
}

std::string Parser::ExpectName(const char* what) {
  if (current.token != Token::kName) Fail(Format("%s is needed here, not %s", what, Describe(current).c_str()));
  std::string name = current.text;
  Step();
  return name;
}

Node* Parser::NewNode(Kind kind, Kids kids) {
  Node* node = scope->syntax.New(kind, std::move(kids));
  if (node->depth > kDeepest) Fail("the expression nests more than 500 deep");
  return node;
}

Position Parser::PositionOf(const Node* node) const {
  auto found = positions.find(node);
  return found == positions.end() ? current.at : found->second;
}

FunctionScope* Parser::FunctionOf(const Object* frame) const {
  auto found = byFrame.find(frame);
  return found == byFrame.end() ? nullptr : found->second;
}

Node* Parser::NextStatement(FunctionScope& top) {
  scope = &top;
  while (true) {
    if (current.token == Token::kEnd) return nullptr;
    if (Accept(";")) continue;
    if (AcceptWord("constant")) {
      Constant();
    } else {
      Block block;
      Statement(block);
      if (current.token != Token::kEnd && !Is(";")) Fail(Format("';' is needed here, not %s", Describe(current).c_str()));
      if (!block.empty()) return block.back();
    }
  }
}

// constant NAME := value, ...: known when compiling, and compiled wherever
// it is used as its value.
void Parser::Constant() {
  do {
    Position at = current.at;
    std::string name = ExpectName("a constant's name");
    Expect(":=", "':='");
    Node* value = Expression();
    Value known = program.Evaluate(value, *scope);
    if (scope->outer || scope->frame) {
      scope->constants[FoldedName(name)] = known;
    } else {
      program.Declare(name, known, at);
    }
  } while (Accept(","));
}

void Parser::Statement(Block& block) {
  if (AcceptWord("local")) return Local(block);
  if (AcceptWord("constant")) return Constant();
  block.push_back(Expression());
}

// local a, b := e: a variable of the function from here on, and an
// assignment where it has a value.
void Parser::Local(Block& block) {
  AcceptWord("constant");
  do {
    Position at = current.at;
    std::string name = ExpectName("a local variable's name");
    if (!scope->outer && !scope->frame) Fail(at, "local variables belong inside a function");
    int32_t index = scope->Declare(name);
    if (Accept(":=")) {
      Node* assign = NewNode(Kind::kAssign, {Expression()});
      assign->variable = {false, static_cast<uint32_t>(index)};
      block.push_back(assign);
    }
  } while (Accept(","));
}

// Statements separated by semicolons, up to the word `stop` (or
// `alternative`).
void Parser::Sequence(Block& block, std::string_view stop, std::string_view alternative) {
  while (!IsWord(stop) && (alternative.empty() || !IsWord(alternative))) {
    if (current.token == Token::kEnd) Fail(Format("'%s' is needed before the end", std::string(stop).c_str()));
    if (Accept(";")) continue;
    Statement(block);
    if (!Accept(";") && !IsWord(stop) && (alternative.empty() || !IsWord(alternative))) {
      Fail(Format("';' or '%s' is needed here, not %s", std::string(stop).c_str(), Describe(current).c_str()));
    }
  }
}

Node* Parser::Expression() {
  if (++depth > kDeepest) Fail("the source nests more than 500 deep");
  Position at = current.at;
  Node* node;
  if (AcceptWord("return")) {
    bool bare = Is(";") || Is(")") || Is("]") || Is("}") || current.token == Token::kEnd || IsWord("end") ||
                IsWord("else") || IsWord("until") || IsWord("onexception");
    node = NewNode(Kind::kReturn, {bare ? Constant(Ref::kNil) : Expression()});
  } else if (IsWord("break")) {
    Position at = current.at;
    Step();
    if (loops == 0) Fail(at, "break is outside any loop");
    bool bare = Is(";") || Is(")") || Is("]") || Is("}") || current.token == Token::kEnd || IsWord("end") ||
                IsWord("else") || IsWord("until") || IsWord("onexception");
    node = NewNode(Kind::kBreak, {bare ? nullptr : Expression()});
  } else {
    node = Assignment();
  }
  positions.try_emplace(node, at);
  --depth;
  return node;
}

Node* Parser::Assignment() {
  Position at = current.at;
  Node* target = Or();
  if (!Accept(":=")) return target;
  Node* value = Expression();
  switch (target->kind) {
    case Kind::kVariable: {
      Node* node = NewNode(Kind::kAssign, {value});
      node->variable = target->variable;
      return node;
    }
    case Kind::kGetPath:
      return NewNode(Kind::kSetPath, {target->kids[0], target->kids[1], value});
    case Kind::kAref: {
      Node* node = NewNode(Kind::kSetAref, {target->kids[0], target->kids[1], value});
      node->index = static_cast<uint32_t>(FreqFunc::kSetAref);
      return node;
    }
    default:
      Fail(at, "this cannot be assigned to");
  }
}

Node* Parser::Variable(int32_t index) {
  Node* node = NewNode(Kind::kVariable);
  node->variable = {false, static_cast<uint32_t>(index)};
  return node;
}

// A variable of a function this one lies in: that one keeps it in its
// argFrame, and every function between reaches it by name.
void Parser::Capture(const std::string& name, FunctionScope* owner) {
  int32_t index = owner->Find(name);
  owner->variables[index].captured = true;
}

Node* Parser::Name(const std::string& name, Position at) {
  for (FunctionScope* in = scope; in; in = in->outer) {
    auto constant = in->constants.find(FoldedName(name));
    if (constant != in->constants.end()) return ConstantNode(constant->second);
    if (in->Find(name) < 0) continue;
    if (in == scope) return Variable(in->Find(name));
    Capture(name, in);
    break;
  }
  if (std::optional<Value> constant = program.Constant(name)) return ConstantNode(*constant);
  if (!scope->outer && !scope->frame) {
    // At the top, a name is a constant declared further down (a cycle).
    Node* node = NewNode(Kind::kVariable);
    node->variable = {true, scope->SymbolLiteral(objects, name)};
    node->word = static_cast<uint32_t>(at.line);
    node->index = static_cast<uint32_t>(at.column);
    return node;
  }
  Node* node = NewNode(Kind::kVariable);
  node->variable = {true, scope->SymbolLiteral(objects, name)};
  return node;
}

}  // namespace compiler
