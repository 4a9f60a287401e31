#include "tests/function_builder.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>

#include "decompiler/instructions.h"
#include "packaging/big_endian.h"

namespace {

struct Line {
  std::string label, name, operand;
};

std::vector<Line> Parse(const std::string& code) {
  std::vector<Line> lines;
  std::string text = code;
  for (char& c : text) {
    if (c == ';') c = '\n';
  }
  std::istringstream in(text);
  for (std::string row; std::getline(in, row);) {
    std::istringstream words(row);
    Line line;
    if (!(words >> line.name)) continue;
    if (line.name.back() == ':') {
      line.label = line.name.substr(0, line.name.size() - 1);
      if (!(words >> line.name)) throw std::runtime_error("a label alone: " + row);
    }
    std::getline(words >> std::ws, line.operand);
    lines.push_back(line);
  }
  return lines;
}

Op OpNamed(const std::string& name) {
  for (int op = 0; op <= static_cast<int>(Op::kNewHandlers); ++op) {
    if (name == OpName(static_cast<Op>(op))) return static_cast<Op>(op);
  }
  throw std::runtime_error("no instruction " + name);
}

uint16_t FreqFuncNamed(const std::string& name) {
  for (uint16_t b = 0; b < static_cast<uint16_t>(FreqFunc::kCount); ++b) {
    if (name == FreqFuncName(b)) return b;
  }
  throw std::runtime_error("no freq-func " + name);
}

uint16_t Constant(const std::string& text, const std::map<std::string, uint32_t>& labels) {
  if (text == "nil") return 2;
  if (text == "true") return 0x1A;
  if (text[0] == '$') return static_cast<uint16_t>(static_cast<unsigned char>(text[1]) << 4 | 6);
  if (text[0] == '@') return static_cast<uint16_t>(std::stoi(text.substr(1)) << 2 | 3);
  if (text.rfind("pc:", 0) == 0) return static_cast<uint16_t>(labels.at(text.substr(3)) << 2);
  return static_cast<uint16_t>(std::stoi(text) << 2);
}

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, by);) parts.push_back(part);
  return parts;
}

class Assembler {
 public:
  Assembler(PackageObjects& objects, const std::map<std::string, std::string>& functions)
      : objects(objects), functions(functions) {}

  std::string Bytes(const std::string& code) {
    std::vector<Line> lines = Parse(code);
    std::map<std::string, uint32_t> labels;
    std::vector<uint32_t> sizes;
    uint32_t pc = 0;
    for (const Line& line : lines) {
      if (!line.label.empty()) labels[line.label] = pc;
      sizes.push_back(Size(line, labels));
      pc += sizes.back();
    }
    std::string bytes;
    for (size_t k = 0; k < lines.size(); ++k) Encode(lines[k], labels, sizes[k] == 3, bytes);
    return bytes;
  }
  std::vector<std::variant<uint32_t, std::string>> literals;
  void AddLiteral(const std::string& text) { Literal(text); }

 private:
  static bool IsBranch(const Line& line) {
    Op op = OpNamed(line.name);
    return op == Op::kBranch || op == Op::kBranchIfTrue || op == Op::kBranchIfFalse || op == Op::kBranchIfLoopNotDone;
  }
  static bool Wide(const Line& line) {
    return IsBranch(line) || line.operand.rfind("pc:", 0) == 0 || OpNamed(line.name) == Op::kPopHandlers;
  }
  // Branches forward and handler addresses take the long form; others, and
  // branches back to a label already placed, the short one where B fits.
  uint32_t Size(const Line& line, const std::map<std::string, uint32_t>& placed) {
    if (IsBranch(line) && placed.count(line.operand)) return placed.at(line.operand) < 7 ? 1 : 3;
    if (Wide(line)) return 3;
    if (OpNamed(line.name) < Op::kPush) return 1;
    return Operand(line, {}) < 7 ? 1 : 3;
  }

  uint16_t Operand(const Line& line, const std::map<std::string, uint32_t>& labels) {
    Op op = OpNamed(line.name);
    const std::string& text = line.operand;
    switch (op) {
      case Op::kPush: case Op::kFindVar: case Op::kFindAndSetVar:
        return Literal(text);
      case Op::kPushConstant:
        return Constant(text, labels);
      case Op::kBranch: case Op::kBranchIfTrue: case Op::kBranchIfFalse: case Op::kBranchIfLoopNotDone:
        return static_cast<uint16_t>(labels.at(text));
      case Op::kFreqFunc:
        return FreqFuncNamed(text);
      case Op::kMakeArray:
        return text == "sized" ? kSizedArray : static_cast<uint16_t>(std::stoi(text));
      default:
        return static_cast<uint16_t>(std::stoi(text));
    }
  }

  void Encode(const Line& line, const std::map<std::string, uint32_t>& labels, bool wide, std::string& bytes) {
    Op op = OpNamed(line.name);
    if (op < Op::kPopHandlers) {
      bytes += static_cast<char>(op);
      return;
    }
    if (op == Op::kPopHandlers) {
      bytes += std::string("\x07\x00\x07", 3);
      return;
    }
    int a = OpcodeOf(op);
    uint16_t b = Operand(line, labels);
    if (wide) {
      bytes += static_cast<char>(a << 3 | 7);
      bytes += static_cast<char>(b >> 8);
      bytes += static_cast<char>(b & 0xFF);
    } else {
      bytes += static_cast<char>(a << 3 | b);
    }
  }

  uint16_t Literal(const std::string& text) {
    std::variant<uint32_t, std::string> ref = Value(text);
    for (size_t k = 0; k < literals.size(); ++k) {
      if (literals[k] == ref) return static_cast<uint16_t>(k);
    }
    literals.push_back(ref);
    return static_cast<uint16_t>(literals.size() - 1);
  }

  std::variant<uint32_t, std::string> Value(const std::string& text) {
    auto [made, fresh] = values.try_emplace(text);
    if (!fresh) return made->second;
    made->second = MakeValue(text);
    return made->second;
  }

  std::variant<uint32_t, std::string> MakeValue(const std::string& text) {
    if (text[0] == '\'') return objects.Sym(text.substr(1));
    if (text[0] == '"') return objects.String(text.substr(1, text.size() - 2));
    if (text.rfind("int:", 0) == 0) return static_cast<uint32_t>(std::stoi(text.substr(4)) << 2);
    if (text.rfind("fn:", 0) == 0) return functions.at(text.substr(3));
    if (text.rfind("word:", 0) == 0) return static_cast<uint32_t>(std::stoul(text.substr(5), nullptr, 16));
    if (text.rfind("real:", 0) == 0) {
      double value = std::stod(text.substr(5));
      uint64_t bits;
      std::memcpy(&bits, &value, 8);
      std::string bytes(8, '\0');
      for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(bits >> (56 - 8 * i));
      return objects.New({"", 0x40, {objects.Sym("real")}, bytes});
    }
    if (text.rfind("map:", 0) == 0) return objects.Map(Split(text.substr(4), ','), 2);
    if (text.rfind("path:", 0) == 0) {
      Obj path{"", 0x41, {objects.Sym("pathExpr")}, ""};
      for (const std::string& step : Split(text.substr(5), ',')) path.refs.push_back(objects.Sym(step));
      return objects.New(path);
    }
    if (text.rfind("array:", 0) == 0) {
      Obj array{"", 0x41, {objects.Sym("Array")}, ""};
      for (const std::string& item : Split(text.substr(6), ',')) array.refs.push_back(static_cast<uint32_t>(std::stoi(item) << 2));
      return objects.New(array);
    }
    if (text.rfind("frame:", 0) == 0) {
      std::vector<std::string> names;
      Obj frame{"", 0x43, {}, ""};
      for (const std::string& slot : Split(text.substr(6), ',')) {
        names.push_back(slot.substr(0, slot.find('=')));
        frame.refs.push_back(static_cast<uint32_t>(std::stoi(slot.substr(slot.find('=') + 1)) << 2));
      }
      frame.refs.insert(frame.refs.begin(), objects.Map(names, 0));
      return objects.New(frame);
    }
    throw std::runtime_error("no literal " + text);
  }

  PackageObjects& objects;
  const std::map<std::string, std::string>& functions;
  std::map<std::string, std::variant<uint32_t, std::string>> values;
};

}  // namespace

std::string PackageObjects::Sym(const std::string& name) {
  std::string label = "sym " + name;
  if (made.insert(label).second) list.push_back(Symbol(label, name));
  return label;
}

std::string PackageObjects::New(Obj obj) {
  obj.label = "obj " + std::to_string(list.size());
  list.push_back(obj);
  return list.back().label;
}

// One map for each list of names, as compilers share them.
std::string PackageObjects::Map(const std::vector<std::string>& names, uint32_t flags) {
  std::string key = std::to_string(flags);
  for (const std::string& name : names) key += "\n" + name;
  auto [map, fresh] = maps.try_emplace(key);
  if (!fresh) return map->second;
  Obj object{"", 0x41, {flags << 2, 2u}, ""};
  // An empty name is NIL, as one real package's argFrame has it.
  for (const std::string& name : names) object.refs.push_back(name.empty() ? Ref(2u) : Ref(Sym(name)));
  return map->second = New(object);
}

std::string PackageObjects::String(const std::string& text) {
  return New({"", 0x40, {Sym("string")}, Utf16(text)});
}

std::string PackageObjects::Frame(const std::vector<std::pair<std::string, Ref>>& slots) {
  std::vector<std::string> names;
  Obj frame{"", 0x43, {0u}, ""};
  for (const auto& [name, value] : slots) {
    names.push_back(name);
    frame.refs.push_back(value);
  }
  frame.refs[0] = Map(names, 0);
  return New(frame);
}

Built PackageObjects::Package(const std::string& root, bool nos1) {
  std::vector<Obj> objects = {{"root", 0x41, {2u, root}, ""}};
  objects.insert(objects.end(), list.begin(), list.end());
  return BuildPackage({{0x81, nos1 ? 8u : 4u, objects, ""}}, false);
}

std::string PackageObjects::Function(const FunctionPlan& plan, bool nos1, bool names,
                                     const std::map<std::string, std::string>& functions) {
  PackageObjects& objects = *this;
  Assembler assembler(objects, functions);
  for (const std::string& literal : plan.literals) assembler.AddLiteral(literal);
  std::string bytes = plan.bytes.empty() ? assembler.Bytes(plan.code) : plan.bytes;
  std::string instructions = objects.New({"", 0x40, {objects.Sym("instructions")}, bytes});
  std::variant<uint32_t, std::string> literals = 2u;
  if (!assembler.literals.empty()) {
    Obj array{"", 0x41, {objects.Sym("literals")}, ""};
    for (const auto& literal : assembler.literals) array.refs.push_back(literal);
    literals = objects.New(array);
  }
  std::vector<std::string> variables = plan.args;
  variables.insert(variables.end(), plan.locals.begin(), plan.locals.end());
  std::variant<uint32_t, std::string> argFrame = 2u;
  std::vector<std::string> argNames = {"_nextArgFrame", "_parent", "_implementor"};
  const std::vector<std::string>& inFrame = nos1 ? variables : plan.captured;
  if (nos1 || !plan.captured.empty()) {
    argNames.insert(argNames.end(), inFrame.begin(), inFrame.end());
    Obj frame{"", 0x43, {objects.Map(argNames, 0)}, ""};
    for (size_t k = 0; k < argNames.size(); ++k) frame.refs.push_back(2u);
    argFrame = objects.New(frame);
  }
  std::vector<std::string> slots = {"class", "instructions", "literals", "argFrame", "numArgs"};
  uint32_t numArgs = nos1 ? plan.args.size() : plan.locals.size() << 16 | plan.args.size();
  Obj frame{"", 0x43, {"", nos1 ? std::variant<uint32_t, std::string>(objects.Sym("CodeBlock")) : 0x32u,
                       instructions, literals, argFrame, numArgs << 2}, ""};
  if (!nos1 && names) {
    slots.push_back("DebuggerInfo");
    Obj info{"", 0x41, {objects.Sym("dbg1"), static_cast<uint32_t>(plan.captured.size() << 2)}, ""};
    for (const std::string& name : plan.captured) info.refs.push_back(objects.Sym(name));
    for (const std::string& name : variables) info.refs.push_back(objects.Sym(name));
    frame.refs.push_back(objects.New(info));
  }
  frame.refs[0] = objects.Map(slots, 0);
  return objects.New(frame);
}

Built FunctionPackage(const std::vector<FunctionPlan>& plans, bool nos1, bool names) {
  PackageObjects objects;
  std::map<std::string, std::string> functions;
  // Nested functions first, so that the first can push them.
  for (size_t k = plans.size(); k-- > 1;) {
    functions[plans[k].name] = objects.Function(plans[k], nos1, names, functions);
  }
  return objects.Package(objects.Function(plans[0], nos1, names, functions), nos1);
}
