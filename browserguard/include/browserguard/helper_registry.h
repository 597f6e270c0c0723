// The live add-on objects of this process, by id. A browser property names
// its add-on object as "id:process id"; another object (the one in a popup the
// page opened) looks the id up here and gets a counted reference, or nothing
// when that object is gone. No address ever travels as a number.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace browserguard {

struct HelperRef {
  int32_t id = 0;
  int32_t processId = 0;
};

// "%d:%d" of id and process id.
std::string FormatHelperRef(const HelperRef& ref);
// Parses "id:pid" (signed decimals); nullopt on anything else.
std::optional<HelperRef> ParseHelperRef(std::string_view text);

// A thread-safe table of live objects. T must offer AddRef().
template <typename T>
class LiveTable {
 public:
  int32_t Add(T* object) {
    std::lock_guard lock(mutex_);
    const int32_t id = next_++;
    if (next_ <= 0) next_ = 1;  // ids stay positive; 0 means "none"
    objects_[id] = object;
    return id;
  }
  void Remove(int32_t id) {
    std::lock_guard lock(mutex_);
    objects_.erase(id);
  }
  // The object with this id, with one reference added for the caller; null
  // when no such object lives.
  T* Acquire(int32_t id) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(id);
    if (it == objects_.end()) return nullptr;
    it->second->AddRef();
    return it->second;
  }
  void ForEach(const std::function<void(T*)>& visit) {
    std::lock_guard lock(mutex_);
    for (auto& [id, object] : objects_) visit(object);
  }

 private:
  std::mutex mutex_;
  std::map<int32_t, T*> objects_;
  int32_t next_ = 1;
};

}  // namespace browserguard
