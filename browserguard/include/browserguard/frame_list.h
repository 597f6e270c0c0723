// The add-on objects of one browser frame window (one per tab), each held
// with exactly one reference that the list owns, and the process-wide table
// of frames by window. Tab threads share both, so both are locked; callbacks
// run on a snapshot taken under the lock, never while holding it.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace browserguard {

// T offers AddRef() and Release().
template <typename T>
class FrameHelperList {
 public:
  ~FrameHelperList() { ReleaseAll(); }

  // Adds OBJECT once, taking one reference; false when already listed.
  bool Add(T* object) {
    std::lock_guard lock(m_mutex);
    if (std::find(m_objects.begin(), m_objects.end(), object) != m_objects.end()) return false;
    object->AddRef();
    m_objects.push_back(object);
    return true;
  }
  // Removes OBJECT and releases the one reference the list held.
  bool Remove(T* object) {
    {
      std::lock_guard lock(m_mutex);
      auto it = std::find(m_objects.begin(), m_objects.end(), object);
      if (it == m_objects.end()) return false;
      m_objects.erase(it);
    }
    object->Release();
    return true;
  }
  // Empties the list, releasing exactly the references it owned (the frame
  // window is gone). Other owners keep theirs.
  void ReleaseAll() {
    std::vector<T*> objects;
    {
      std::lock_guard lock(m_mutex);
      objects.swap(m_objects);
    }
    for (T* object : objects) object->Release();
  }
  // The listed objects, each with a reference added for the caller.
  std::vector<T*> Snapshot() {
    std::lock_guard lock(m_mutex);
    for (T* object : m_objects) object->AddRef();
    return m_objects;
  }
  bool Contains(T* object) {
    std::lock_guard lock(m_mutex);
    return std::find(m_objects.begin(), m_objects.end(), object) != m_objects.end();
  }
  size_t size() {
    std::lock_guard lock(m_mutex);
    return m_objects.size();
  }

 private:
  std::mutex m_mutex;
  std::vector<T*> m_objects;
};

// Frames by window key; entries are shared so a frame found by one thread
// stays valid while another removes it from the table.
template <typename Key, typename Frame>
class FrameTable {
 public:
  std::shared_ptr<Frame> Find(const Key& key) {
    std::lock_guard lock(m_mutex);
    auto it = m_frames.find(key);
    return it == m_frames.end() ? nullptr : it->second;
  }
  // The frame of KEY, made by MAKE when absent (under the lock, so two
  // threads never make two frames for one window). CREATED tells which.
  template <typename Make>
  std::shared_ptr<Frame> FindOrCreate(const Key& key, Make make, bool* created = nullptr) {
    std::lock_guard lock(m_mutex);
    auto it = m_frames.find(key);
    if (created) *created = it == m_frames.end();
    if (it != m_frames.end()) return it->second;
    auto frame = make();
    m_frames.emplace(key, frame);
    return frame;
  }
  void Remove(const Key& key) {
    std::shared_ptr<Frame> gone;
    std::lock_guard lock(m_mutex);
    auto it = m_frames.find(key);
    if (it == m_frames.end()) return;
    gone = std::move(it->second);
    m_frames.erase(it);
  }
  std::vector<std::shared_ptr<Frame>> All() {
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<Frame>> out;
    for (auto& [key, frame] : m_frames) out.push_back(frame);
    return out;
  }

 private:
  std::mutex m_mutex;
  std::map<Key, std::shared_ptr<Frame>> m_frames;
};

}  // namespace browserguard
