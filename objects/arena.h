#pragma once

#include <memory>
#include <utility>
#include <vector>

// Owns every Ref, Object and byte buffer that a package's tree is built from.
// Nothing is released while the package is built; the whole tree goes at once
// when the arena (and the Package that holds it) is dropped.
class Arena {
 public:
  template <typename T, typename... Args>
  T* Make(Args&&... args) {
    auto owned = std::make_shared<T>(std::forward<Args>(args)...);
    items.push_back(owned);
    return owned.get();
  }

 private:
  std::vector<std::shared_ptr<void>> items;
};

// The arena of the current Package.
Arena& CurrentArena();

template <typename T, typename... Args>
T* New(Args&&... args) {
  return CurrentArena().Make<T>(std::forward<Args>(args)...);
}
