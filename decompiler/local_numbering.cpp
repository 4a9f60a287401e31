#include "decompiler/local_numbering.h"

#include <utility>

#include "decompiler/decompiler.h"
#include "decompiler/function_frame.h"
#include "objects/symbol.h"

LocalNumbering::LocalNumbering(const Decompiler& function) {
  const FunctionFrame& frame = function.Function();
  first = 3 + static_cast<uint32_t>(frame.arguments);  // after _nextArgFrame, _parent and _implementor
  next = first;
  states.assign(static_cast<size_t>(frame.locals), kDeclared);
  if (function.DeclaresLocalsAtTop()) {
    NameLoopVariables(function);
    return;
  }
  const std::vector<Structurer::Role>& roles = function.Roles();
  for (size_t k = 0; k < states.size(); ++k) {
    size_t slot = first + k;
    if (slot < roles.size() && roles[slot] == Structurer::Role::kHidden) states[k] = kByLoop;
  }
  Classify(function.Body());
}

// A loop's key, value or counter is the loop's to number where the loop is
// where the variable first appears, in the order the source is written, and
// no local after it in the slots is used before the loop.
void LocalNumbering::Classify(const Block& body) {
  const size_t kNever = SIZE_MAX;
  std::vector<size_t> firstSeen(states.size(), kNever);
  size_t position = 0;
  auto see = [&](const Variable& variable, bool byLoop) {
    if (variable.byName || variable.id < first || variable.id - first >= states.size()) return;
    size_t k = variable.id - first;
    if (firstSeen[k] != kNever) return;
    firstSeen[k] = position;
    if (byLoop && states[k] == kDeclared) states[k] = kByLoop;
  };
  std::vector<const Node*> work(body.rbegin(), body.rend());
  while (!work.empty()) {
    const Node* node = work.back();
    work.pop_back();
    ++position;
    if (!node) continue;
    if (node->kind == Kind::kFor) see(node->variable, true);
    if (node->kind == Kind::kForeach) {
      if (node->hasKey) see(node->key, true);
      see(node->variable, true);
    }
    if (node->kind == Kind::kVariable || node->kind == Kind::kAssign) see(node->variable, false);
    // Pushed last to first, so that they are taken in the order written.
    for (auto block = node->blocks.rbegin(); block != node->blocks.rend(); ++block) {
      work.insert(work.end(), block->rbegin(), block->rend());
    }
    for (size_t k = node->kids.size(); k-- > 0;) work.push_back(node->kids[k]);
  }
  // A loop variable that a later local is used before is declared as well,
  // which the loop then takes as it is.
  for (size_t k = 0; k < states.size(); ++k) {
    if (states[k] != kByLoop || firstSeen[k] == kNever) continue;
    for (size_t later = k + 1; later < states.size(); ++later) {
      if (states[later] == kDeclared && firstSeen[later] < firstSeen[k]) states[k] = kDeclared;
    }
  }
}

void ForEachLoopVariable(const Decompiler& function,
                         const std::function<void(const Variable& variable, const std::string& name)>& each) {
  ForEachNode(function.Body(), [&](const Node& node) {
    if (node.kind == Kind::kFor) {
      std::string counter = function.VariableName(node.variable);
      each(node.hidden[0], counter + "|limit");
      each(node.hidden[1], counter + "|incr");
    } else if (node.kind == Kind::kForeach) {
      std::string stem = (node.hasKey ? function.VariableName(node.key) : "") + function.VariableName(node.variable);
      each(node.hidden[0], stem + "|iter");
      if (node.flag) {
        each(node.hidden[1], stem + "|index");
        each(node.hidden[2], stem + "|result");
      }
    }
  });
}

void LocalNumbering::NameLoopVariables(const Decompiler& function) {
  ForEachLoopVariable(function, [&](const Variable& variable, const std::string& given) {
    if (variable.byName) return;
    auto [found, fresh] = loopNames.try_emplace(variable.id, given);
    if (!fresh && !NamesEqualIgnoringCase(found->second, given)) found->second.clear();
  });
}

const std::string& LocalNumbering::LoopName(uint32_t slot) const {
  static const std::string kNone;
  auto found = loopNames.find(slot);
  return found == loopNames.end() ? kNone : found->second;
}

bool LocalNumbering::IsDue() const { return next - first < states.size() && states[next - first] == kDeclared; }

std::vector<uint32_t> LocalNumbering::Due() {
  std::vector<uint32_t> due;
  while (IsDue()) {
    due.push_back(next);
    states[next - first] = kNumbered;
    Advance();
  }
  return due;
}

void LocalNumbering::Number(const Variable& variable) {
  if (variable.byName || variable.id < first || variable.id - first >= states.size()) return;
  State& state = states[variable.id - first];
  if (state == kByLoop) state = kNumbered;
  Advance();
}

void LocalNumbering::Advance() {
  while (next - first < states.size() && states[next - first] == kNumbered) ++next;
}

void LocalNumbering::LoopBegins(const Node* loop) {
  if (loop->hasKey) Number(loop->key);
  Number(loop->variable);
  for (const Variable& hidden : loop->hidden) Number(hidden);
}

std::vector<uint32_t> LocalNumbering::Rest() {
  std::vector<uint32_t> rest;
  for (size_t k = 0; k < states.size(); ++k) {
    if (states[k] == kDeclared) {
      rest.push_back(first + static_cast<uint32_t>(k));
      states[k] = kNumbered;
    }
  }
  return rest;
}
