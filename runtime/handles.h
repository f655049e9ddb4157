// Handles: the addresses of runtime records as the 32-bit integers programs
// hold. A handle is only turned back into a record after it was found among
// the live records of its kind, so a made-up handle is never dereferenced.
#pragma once
#include <cstddef>
#include <cstdint>
#include <set>
#include <typeinfo>

namespace kr {

// Every registry alive is linked into one list, so a watcher can be told how
// many records of each kind a run holds (runtime/live_stats.h). Registries
// belong to the main thread, and so does the list.
class CountedRegistry {
 public:
  static CountedRegistry* first() { return head(); }
  CountedRegistry* next() const { return next_; }
  virtual std::size_t liveCount() const = 0;
  virtual const char* kind() const = 0;  // the record type's mangled name

  CountedRegistry(const CountedRegistry&) = delete;
  CountedRegistry& operator=(const CountedRegistry&) = delete;

 protected:
  CountedRegistry() : next_(head()) {
    if (next_) next_->prev_ = this;
    head() = this;
  }
  ~CountedRegistry() {
    if (prev_) prev_->next_ = next_;
    else head() = next_;
    if (next_) next_->prev_ = prev_;
  }

 private:
  // A plain pointer: constant-initialised, so registries built during static
  // initialisation in any order find it ready, and it needs no destruction.
  static CountedRegistry*& head() {
    static CountedRegistry* list = nullptr;
    return list;
  }
  CountedRegistry* prev_ = nullptr;
  CountedRegistry* next_;
};

template <class T>
T* fromHandle(int handle) {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(handle)));
}

template <class T>
int toHandle(const T* record) {
  return static_cast<int>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(record)));
}

// The live records of one kind, in address order. It remembers the last record
// found: a program mostly works on one file or bank at a time.
template <class T>
class HandleRegistry : public CountedRegistry {
 public:
  void insert(T* record) { records_.insert(record); }

  T* find(int handle) {
    T* record = fromHandle<T>(handle);
    if (record && record == last_) return record;
    if (!record || records_.find(record) == records_.end()) return nullptr;
    last_ = record;
    return record;
  }

  // Removes a live record and hands it back to be freed; null when not live.
  T* take(int handle) {
    auto it = records_.find(fromHandle<T>(handle));
    if (it == records_.end()) return nullptr;
    T* record = *it;
    records_.erase(it);
    if (record == last_) last_ = nullptr;
    return record;
  }

  // Empties the registry, handing every record to destroy.
  template <class Destroy>
  void clear(Destroy destroy) {
    for (T* record : records_) destroy(record);
    records_.clear();
    last_ = nullptr;
  }

  std::size_t size() const { return records_.size(); }
  std::size_t liveCount() const override { return records_.size(); }
  const char* kind() const override { return typeid(T).name(); }
  typename std::set<T*>::const_iterator begin() const { return records_.begin(); }
  typename std::set<T*>::const_iterator end() const { return records_.end(); }

 private:
  std::set<T*> records_;
  T* last_ = nullptr;
};

}  // namespace kr
