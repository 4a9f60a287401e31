#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "compiler/function_scope.h"
#include "compiler/lexer.h"
#include "compiler/objects.h"
#include "decompiler/syntax.h"

namespace compiler {

// Deeper than any program a person writes; it keeps a crafted source from
// exhausting the stack of the parser, the code generator or the printer.
constexpr int kDeepest = 500;

// What the parser asks of the program it reads: the value of an expression
// known when the source is compiled (a constant's, an option's), and the
// constants declared so far.
class CompileTime {
 public:
  virtual ~CompileTime() = default;
  virtual Value Evaluate(Node* node, FunctionScope& scope) = 0;
  virtual std::optional<Value> Constant(std::string_view name) const = 0;
  virtual void Declare(std::string_view name, Value value, Position at) = 0;
};

// Reads NewtonScript into the syntax nodes that the decompiler makes and the
// code generator walks: statement by statement at the top of a program, and
// whole functions as their `func` is read. Names resolve as they are read:
// to a constant (its value), to a variable of the function or of one it lies
// in (which that one then keeps in its argFrame), or to a variable looked up
// by name when the code runs.
class Parser {
 public:
  Parser(std::string_view source, Objects& objects, CompileTime& program);

  // The next statement of the program, read into `top`; null at its end. A
  // constant declaration is evaluated as it is read and gives no statement.
  Node* NextStatement(FunctionScope& top);
  // Every function read, its frame the object that stands for it.
  const std::vector<std::unique_ptr<FunctionScope>>& Functions() const { return functions; }
  FunctionScope* FunctionOf(const Object* frame) const;
  // Where the source wrote a node, as far as it was noted; else where the
  // reading is.
  Position PositionOf(const Node* node) const;
  Position Here() const { return current.at; }

 private:
  // Lexemes.
  void Step();
  bool Is(std::string_view mark) const;
  bool IsWord(std::string_view word) const;
  bool Accept(std::string_view mark);
  bool AcceptWord(std::string_view word);
  void Expect(std::string_view mark, const char* what);
  void ExpectWord(std::string_view word, const char* what);
  std::string ExpectName(const char* what);
  [[noreturn]] void Fail(const std::string& what) const;
  [[noreturn]] void Fail(Position at, const std::string& what) const;

  // Statements and blocks.
  void Statement(Block& block);
  void Sequence(Block& block, std::string_view stop, std::string_view alternative = {});
  void Local(Block& block);
  void Constant();
  Node* Expression();

  // Operators, loosest first.
  Node* Assignment();
  Node* Or();
  Node* And();
  Node* Not();
  Node* Comparison();
  Node* Exists();
  Node* Concatenation();
  Node* Additive();
  Node* Multiplicative();
  Node* Unary();
  Node* Postfix();
  Node* Path(Node* object);
  Node* Primary();

  // Forms.
  Node* Name(const std::string& name, Position at);
  Node* Call(const std::string& name, Position at);
  Node* Send(Node* receiver, bool ifDefined);
  Node* Inherited();
  Kids Arguments();
  Node* ArrayConstructor();
  Node* FrameConstructor();
  Node* If();
  Node* For();
  Node* Foreach();
  Node* While();
  Node* Repeat();
  Node* Loop();
  Node* Try();
  Node* Begin();
  Node* Function(Position at);
  Node* CallWith();
  Node* WithOptions(Position at);

  // Values.
  Node* Integer(int64_t value, Position at);
  Node* Literal(Value value, bool fresh = false);
  Node* Constant(uint32_t word);
  Node* ValueNode(Value value);
  Node* ConstantNode(Value value);
  Value Quoted();
  Object* Symbol(std::string_view name) { return objects.Symbol(name); }
  Node* NewNode(Kind kind, Kids kids = {});
  Node* LoopBody(Node* loop);
  Node* Variable(int32_t index);
  void Capture(const std::string& name, FunctionScope* owner);

  Lexer lexer;
  Lexeme current;
  Objects& objects;
  CompileTime& program;
  FunctionScope* scope = nullptr;
  std::vector<std::unique_ptr<FunctionScope>> functions;
  std::unordered_map<const Object*, FunctionScope*> byFrame;
  std::unordered_map<const Node*, Position> positions;
  int depth = 0;  // how deep the expression being read lies
  int loops = 0;  // loops around what is read, for break
};

}  // namespace compiler
