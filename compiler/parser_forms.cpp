// The control structures, constructors, functions and literal values of
// NewtonScript.

#include "compiler/parser.h"
#include "decompiler/instructions.h"
#include "objects/errors.h"
#include "objects/symbol.h"

namespace compiler {

namespace {
// A block of statements: a begin ... end's own, else the one expression.
Block Statements(Node* node) {
  if (node->kind == Kind::kBegin) return node->blocks[0];
  return {node};
}

constexpr int64_t kSmallest = -(int64_t{1} << 29), kLargest = (int64_t{1} << 29) - 1;
}  // namespace

Node* Parser::Constant(uint32_t word) {
  Node* node = NewNode(Kind::kConstant);
  node->word = word;
  return node;
}

Node* Parser::Literal(Value value, bool fresh) {
  Node* node = NewNode(Kind::kLiteral);
  node->index = scope->Literal(value, fresh);
  return node;
}

Node* Parser::Integer(int64_t value, Position at) {
  if (value < kSmallest || value > kLargest) {
    // A package's header takes 32-bit numbers.
    if (!scope->outer && !scope->frame && value >= INT32_MIN && value <= UINT32_MAX) {
      Node* node = NewNode(Kind::kNumber);
      node->word = static_cast<uint32_t>(value);
      return node;
    }
    Fail(at, "the number is out of range: integers are of 30 bits");
  }
  return ValueNode(Value::Integer(static_cast<int32_t>(value)));
}

// A value in code: push-constant where its Ref fits 16 bits, else a literal.
Node* Parser::ValueNode(Value value) {
  if (value.IsObject()) {
    Node* node = Literal(value);
    if (value.object->kind == Object::kFrame && (FunctionOf(value.object) || value.object->rule == MapRule::kFunction)) {
      node->kind = Kind::kFunction;
    }
    return node;
  }
  int32_t signedWord = static_cast<int32_t>(value.word);
  bool fits = signedWord >= INT16_MIN && signedWord <= INT16_MAX;
  bool immediate = (value.word & 3) == 0 || (value.word & 3) == 3 || (value.word & 0xF) == 6 ||
                   value.word == Ref::kNil || value.word == Ref::kTrue;
  if (fits && immediate) return Constant(value.word);
  return Literal(value);
}

// A named constant in code: as its value, but that a magic pointer is pushed
// from the literals, as the platform's tools pushed the ROM's named objects.
Node* Parser::ConstantNode(Value value) {
  if (!value.IsObject() && (value.word & 3) == 3) return Literal(value);
  return ValueNode(value);
}

Node* Parser::If() {
  Node* condition = Expression();
  ExpectWord("then", "'then'");
  Node* node = NewNode(Kind::kIf, {condition});
  Syntax::AddBlock(node, Statements(Expression()));
  if (AcceptWord("else")) Syntax::AddBlock(node, Statements(Expression()));
  return node;
}

// The body of a loop, in which break may stand.
Node* Parser::LoopBody(Node* loop) {
  ++loops;
  Syntax::AddBlock(loop, Statements(Expression()));
  --loops;
  return loop;
}

// The counter, its limit and its step are numbered as the loop begins, as
// the platform's compiler numbered them.
Node* Parser::For() {
  Position at = current.at;
  std::string name = ExpectName("the loop's variable");
  if (!scope->frame) Fail(at, "a for loop belongs inside a function");
  int32_t counter = scope->Declare(name);
  Expect(":=", "':='");
  Node* from = Expression();
  ExpectWord("to", "'to'");
  Node* to = Expression();
  Node* by = AcceptWord("by") ? Expression() : Constant(1 << 2);
  ExpectWord("do", "'do'");
  Node* loop = NewNode(Kind::kFor, {from, to, by});
  loop->variable = {false, static_cast<uint32_t>(counter)};
  loop->hidden[0] = {false, static_cast<uint32_t>(scope->Declare(name + "|limit"))};
  loop->hidden[1] = {false, static_cast<uint32_t>(scope->Declare(name + "|incr"))};
  return LoopBody(loop);
}

// foreach k, v deeply in x do|collect: the key and value first, then the
// iterator and, for collect, the index and the result.
Node* Parser::Foreach() {
  Position at = current.at;
  if (!scope->frame) Fail(at, "a foreach loop belongs inside a function");
  std::string value = ExpectName("the loop's variable"), key;
  if (Accept(",")) {
    key = value;
    value = ExpectName("the loop's value variable");
  }
  int32_t keyIndex = key.empty() ? -1 : scope->Declare(key);
  int32_t valueIndex = scope->Declare(value);
  bool deeply = AcceptWord("deeply");
  ExpectWord("in", "'in'");
  Node* object = Expression();
  bool collect = AcceptWord("collect");
  if (!collect) ExpectWord("do", "'do' or 'collect'");
  Node* loop = NewNode(Kind::kForeach, {object});
  loop->variable = {false, static_cast<uint32_t>(valueIndex)};
  if (keyIndex >= 0) {
    loop->hasKey = true;
    loop->key = {false, static_cast<uint32_t>(keyIndex)};
  }
  loop->word = deeply;
  loop->flag = collect;
  std::string stem = key + value;
  loop->hidden[0] = {false, static_cast<uint32_t>(scope->Declare(stem + "|iter"))};
  if (collect) {
    loop->hidden[1] = {false, static_cast<uint32_t>(scope->Declare(stem + "|index"))};
    loop->hidden[2] = {false, static_cast<uint32_t>(scope->Declare(stem + "|result"))};
  }
  return LoopBody(loop);
}

Node* Parser::While() {
  Node* condition = Expression();
  ExpectWord("do", "'do'");
  return LoopBody(NewNode(Kind::kWhile, {condition}));
}

Node* Parser::Repeat() {
  Block body;
  ++loops;
  Sequence(body, "until");
  --loops;
  Step();
  Node* loop = NewNode(Kind::kRepeat, {Expression()});
  Syntax::AddBlock(loop, std::move(body));
  return loop;
}

Node* Parser::Loop() { return LoopBody(NewNode(Kind::kLoop)); }

Node* Parser::Try() {
  Block body;
  Sequence(body, "onexception");
  Node* node = NewNode(Kind::kTry);
  Syntax::AddBlock(node, std::move(body));
  while (AcceptWord("onexception")) {
    node->handlers.push_back(scope->SymbolLiteral(objects, ExpectName("an exception's symbol")));
    ExpectWord("do", "'do'");
    Syntax::AddBlock(node, Statements(Expression()));
  }
  return node;
}

Node* Parser::Begin() {
  Block block;
  Sequence(block, "end");
  Step();
  Node* node = NewNode(Kind::kBegin);
  Syntax::AddBlock(node, std::move(block));
  return node;
}

Node* Parser::CallWith() {
  Node* function = Postfix();
  ExpectWord("with", "'with'");
  Kids kids = {function};
  for (Node* argument : Arguments()) kids.push_back(argument);
  return NewNode(Kind::kInvoke, std::move(kids));
}

// func(a, b) body: a function of its own, read whole. Made inside another,
// it is a closure over that one's variables.
Node* Parser::Function(Position at) {
  auto function = std::make_unique<FunctionScope>(scope->frame ? scope : nullptr, at);
  function->frame = objects.Frame({}, {}, MapRule::kFunction);
  FunctionScope* outer = scope;
  scope = function.get();
  byFrame[function->frame] = function.get();
  Expect("(", "'(' and the arguments");
  if (!Accept(")")) {
    do {
      Position named = current.at;
      std::string name = ExpectName("an argument's name");
      if (scope->Find(name) >= 0) Fail(named, "the argument " + name + " is named twice");
      scope->Declare(name, true);
    } while (Accept(","));
    Expect(")", "')' or ','");
  }
  int outerLoops = loops;
  loops = 0;
  scope->body = Statements(Expression());
  loops = outerLoops;
  scope = outer;
  Object* frame = function->frame;
  functions.push_back(std::move(function));
  Node* node = Literal(Value::Of(frame));
  node->kind = Kind::kFunction;
  node->flag = scope->frame != nullptr;
  return node;
}

Node* Parser::ArrayConstructor() {
  Node* cls = nullptr;
  if (current.token == Token::kName) {
    Lexer look = lexer;
    if (Lexeme next = look.Next(); next.token == Token::kMark && next.text == ":") {
      cls = Literal(Value::Of(Symbol(current.text)));
      Step(), Step();
    }
  }
  Kids kids = {cls ? cls : Literal(Value::Of(Symbol("Array")))};
  if (!Accept("]")) {
    do {
      kids.push_back(Expression());
    } while (Accept(","));
    Expect("]", "']' or ','");
  }
  return NewNode(Kind::kMakeArray, std::move(kids));
}

// {a: x, b: y}: its map is a literal of the code, flags 2 (6 with _proto).
Node* Parser::FrameConstructor() {
  std::vector<Object*> names;
  Kids kids;
  bool proto = false;
  if (!Accept("}")) {
    do {
      Position at = current.at;
      std::string name = ExpectName("a slot's name");
      for (Object* earlier : names) {
        if (NamesEqualIgnoringCase(earlier->name, name)) Fail(at, "the slot " + name + " is named twice");
      }
      proto = proto || NamesEqualIgnoringCase(name, "_proto");
      names.push_back(Symbol(name));
      Expect(":", "':' after the slot's name");
      kids.push_back(Expression());
    } while (Accept(","));
    Expect("}", "'}' or ','");
  }
  Object* map = objects.Map(names, proto ? 6 : 2);
  map->mergeable = true;
  Node* node = NewNode(Kind::kMakeFrame, std::move(kids));
  node->index = scope->Literal(Value::Of(map), true);
  return node;
}

// After a quote: a value made when compiling, symbols bare inside it.
Value Parser::Quoted() {
  Position at = current.at;
  if (++depth > kDeepest) Fail("the source nests more than 500 deep");
  Lexeme lexeme = current;
  Value value;
  if (lexeme.token == Token::kName) {
    Step();
    value = Value::Of(Symbol(lexeme.text));
  } else if (Accept("[")) {
    Value cls = Value::Of(Symbol("Array"));
    if (current.token == Token::kName) {
      Lexer look = lexer;
      if (Lexeme next = look.Next(); next.token == Token::kMark && next.text == ":") {
        cls = Value::Of(Symbol(current.text));
        Step(), Step();
      }
    }
    std::vector<Value> elements;
    if (!Accept("]")) {
      do {
        elements.push_back(Quoted());
      } while (Accept(","));
      Expect("]", "']' or ','");
    }
    value = Value::Of(objects.Array(std::move(elements), cls));
  } else if (Accept("{")) {
    std::vector<Object*> names;
    std::vector<Value> values;
    if (!Accept("}")) {
      do {
        Position named = current.at;
        std::string name = ExpectName("a slot's name");
        for (Object* earlier : names) {
          if (NamesEqualIgnoringCase(earlier->name, name)) Fail(named, "the slot " + name + " is named twice");
        }
        names.push_back(Symbol(name));
        Expect(":", "':' after the slot's name");
        values.push_back(Quoted());
      } while (Accept(","));
      Expect("}", "'}' or ','");
    }
    value = Value::Of(objects.Frame(std::move(names), std::move(values)));
  } else {
    Node* node = Unary();
    switch (node->kind) {
      case Kind::kConstant:
        value = Value::Word(node->word);
        break;
      case Kind::kLiteral:
        value = scope->literals[node->index];
        break;
      default:
        Fail(at, "a quoted value is a name, a number, a string, a character, an array or a frame");
    }
  }
  --depth;
  return value;
}

}  // namespace compiler

namespace compiler {

namespace {
std::string_view SymbolName(const Value& value) {
  return value.IsObject() && value.object->kind == Object::kSymbol ? std::string_view(value.object->name) : "";
}
}  // namespace

// WithOptions(x, {option: value, ...}): how x is made beyond its value: a
// function's format, debugging information, argFrame, literals and map; a
// frame's map or its flags; an array's or a binary's class.
Node* Parser::WithOptions(Position at) {
  Expect("(", "'('");
  Node* target = Expression();
  Expect(",", "',' and the options");
  Node* given = Expression();
  Expect(")", "')'");
  Value options = program.Evaluate(given, *scope);
  if (!options.IsObject() || options.object->kind != Object::kFrame) Fail(at, "WithOptions takes a frame of options");
  Object* object = target->kind == Kind::kLiteral || target->kind == Kind::kFunction
                       ? scope->literals[target->index].object
                       : nullptr;
  FunctionScope* function = target->kind == Kind::kFunction && object ? FunctionOf(object) : nullptr;
  Object* map = target->kind == Kind::kMakeFrame ? scope->literals[target->index].object : nullptr;
  const Object& frame = *options.object;
  for (size_t k = 0; k < frame.names.size(); ++k) {
    std::string_view name = frame.names[k]->name;
    const Value& value = frame.values[k];
    bool known = true;
    if (function && NamesEqualIgnoringCase(name, "format")) {
      if (NamesEqualIgnoringCase(SymbolName(value), "CodeBlock")) {
        function->options.format = FunctionOptions::kNos1;
      } else if (NamesEqualIgnoringCase(SymbolName(value), "nos2")) {
        function->options.format = FunctionOptions::kNos2;
      } else {
        Fail(at, "a function's format is 'CodeBlock or 'nos2");
      }
    } else if (function && NamesEqualIgnoringCase(name, "debugInfo")) {
      std::string_view kind = SymbolName(value);
      bool given = value.IsObject() && value.object->kind == Object::kArray;
      function->options.debug = value.IsNil()                           ? FunctionOptions::kNilDebug
                                : given                                 ? FunctionOptions::kGivenDebug
                                : NamesEqualIgnoringCase(kind, "names") ? FunctionOptions::kDebug
                                : NamesEqualIgnoringCase(kind, "none")  ? FunctionOptions::kNoDebug
                                    : (Fail(at, "debugInfo is 'names, 'none, nil or the array itself"), FunctionOptions::kNoDebug);
      if (given) function->options.debugInfo = value;
    } else if (function && NamesEqualIgnoringCase(name, "argFrame")) {
      if (!value.IsObject() || value.object->kind != Object::kFrame || value.object->values.size() < 3) {
        Fail(at, "argFrame gives the values of _nextArgFrame, _parent and _implementor, then of the variables it keeps");
      }
      function->options.specialsGiven = true;
      for (int slot = 0; slot < 3; ++slot) function->options.specials[slot] = value.object->values[slot];
      // A variable the argFrame keeps is reached by name, as one a function
      // inside reaches.
      for (size_t slot = 3; slot < value.object->values.size(); ++slot) {
        const std::string& kept = value.object->names[slot]->name;
        function->options.kept.emplace_back(kept, value.object->values[slot]);
        if (int32_t index = function->Find(kept); index >= 0) function->variables[index].captured = true;
      }
    } else if (function && NamesEqualIgnoringCase(name, "moreLiterals")) {
      if (!value.IsObject() || value.object->kind != Object::kArray) Fail(at, "moreLiterals is an array");
      function->options.extraLiterals = value.object->values;
    } else if (function && NamesEqualIgnoringCase(name, "mergeInstructions")) {
      function->options.mergeInstructions = !value.IsNil();
    } else if (NamesEqualIgnoringCase(name, "mergeLiterals") && (function || map || (object && object->kind == Object::kFrame))) {
      // Literals that other functions share: one object with those of the
      // same group.
      if (value.IsObject() || (value.word & 3) != 0 || static_cast<int32_t>(value.word) <= 0) {
        Fail(at, "mergeLiterals is a group's number, from 1");
      }
      int32_t group = static_cast<int32_t>(value.word) >> 2;
      if (function) {
        function->options.literalsGroup = group;
      } else if (map) {
        map->mergesLiterals = group;
      } else {
        MergeLiterals(*object, group);
      }
    } else if (NamesEqualIgnoringCase(name, "mergeInstructions") && (map || (object && object->kind == Object::kFrame))) {
      // A function written as its frame whose instructions a compiled one shares.
      if (value.IsNil()) Fail(at, "mergeInstructions on a frame is true");
      if (map) {
        map->mergesInstructions = true;
      } else {
        MergeInstructions(*object);
      }
    } else if (function && NamesEqualIgnoringCase(name, "argFrameMap")) {
      if (!value.IsObject() || !IsMap(*value.object)) Fail(at, "argFrameMap is a frame map, as Map(names, flags) makes");
      function->options.argFrameMap = value.object;
    } else if (NamesEqualIgnoringCase(name, "map")) {
      if (!value.IsObject() || !IsMap(*value.object)) Fail(at, "map is a frame map, as Map(names, flags) makes");
      if (function) {
        function->options.map = value.object;
      } else if (map) {
        std::vector<Object*> names;
        for (size_t k = 1; k < map->values.size(); ++k) names.push_back(map->values[k].object);
        if (!MapNames(*value.object, names)) Fail(at, "the map names other slots than the frame's");
        scope->literals[target->index] = value;
      } else if (object && object->kind == Object::kFrame) {
        if (!MapNames(*value.object, object->names)) Fail(at, "the map names other slots than the frame's");
        object->map = value.object;
      } else {
        known = false;
      }
    } else if (NamesEqualIgnoringCase(name, "mapFlags")) {
      if (value.IsObject() || (value.word & 3) != 0) Fail(at, "mapFlags is an integer");
      int32_t flags = static_cast<int32_t>(value.word) >> 2;
      if (map) {
        map->cls = value;
        map->mapFlags = flags;
      } else if (object && object->kind == Object::kFrame) {
        object->mapFlags = flags;
      } else {
        known = false;
      }
    } else if (NamesEqualIgnoringCase(name, "asFunction") && (map || (object && object->kind == Object::kFrame))) {
      (map ? map : object)->rule = value.IsNil() ? MapRule::kFrame : MapRule::kFunction;
    } else if (NamesEqualIgnoringCase(name, "nilSafe") && target->kind == Kind::kGetPath) {
      target->flag = !value.IsNil();
    } else if (NamesEqualIgnoringCase(name, "closure") && object && object->kind == Object::kFrame) {
      // A function, or a native one, bound to the scope of the code that pushes it.
      target->kind = Kind::kFunction;
      target->flag = !value.IsNil();
    } else if (NamesEqualIgnoringCase(name, "class") && object &&
               (object->kind == Object::kArray || object->kind == Object::kBinary)) {
      object->cls = value;
    } else {
      known = false;
    }
    if (!known) Fail(at, "no option " + std::string(name) + " is given to this value");
  }
  return target;
}

}  // namespace compiler
