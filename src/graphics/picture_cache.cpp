#include "graphics/picture_cache.h"

#include <algorithm>

namespace lyraban {

namespace {

// Definitions and scripts read ahead are remembered so that asking again on
// every line costs no file read; a long game names many, so the oldest go.
constexpr std::size_t kMaxExpansions = 256;

}  // namespace

PictureCache::PictureCache(ResourceReader quietReader, std::size_t budgetBytes, Expander expand, Producer produce)
    : reader_(std::move(quietReader)), budget_(budgetBytes), expand_(std::move(expand)), produce_(std::move(produce)) {}

PictureCache::~PictureCache() { Stop(); }

void PictureCache::Request(std::vector<AheadItem> items) {
  {
    std::lock_guard lock(mutex_);
    ++request_;
    // What the new request no longer asks for may give way now.
    tooBig_.clear();
    queue_.assign(items.begin(), items.end());
    requestItems_ = std::move(items);
    if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
  }
  wake_.notify_one();
}

bool PictureCache::Take(std::string_view name, Surface& pixels) {
  std::unique_lock lock(mutex_);
  for (;;) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->name != name) continue;
      pixels = std::move(it->pixels);
      bytes_ -= pixels.ByteSize();
      entries_.erase(it);
      tooBig_.clear();
      // The request may name the picture again further on (a layer set
      // anew drops its pictures): go through it again at once.
      queue_.assign(requestItems_.begin(), requestItems_.end());
      lock.unlock();
      wake_.notify_one();
      return true;
    }
    if (decoding_ != name) break;
    done_.wait(lock);
  }
  // The caller decodes it now; the worker need not.
  queue_.remove_if([&](const AheadItem& item) { return item.kind == AheadItem::Kind::Picture && item.name == name; });
  return false;
}

void PictureCache::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  std::lock_guard lock(mutex_);
  stop_ = false;
  queue_.clear();
  requestItems_.clear();
  entries_.clear();
  failed_.clear();
  tooBig_.clear();
  expansions_.clear();
  bytes_ = 0;
}

std::size_t PictureCache::HeldBytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

std::size_t PictureCache::PeakBytes() const {
  std::lock_guard lock(mutex_);
  return peak_;
}

std::size_t PictureCache::PictureCount() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

bool PictureCache::Holds(std::string_view name) const {
  std::lock_guard lock(mutex_);
  return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& entry) { return entry.name == name; });
}

void PictureCache::WaitIdle() {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return (queue_.empty() && !busy_) || !worker_.joinable(); });
}

PictureCache::Entry* PictureCache::Find(std::string_view name) {
  for (Entry& entry : entries_)
    if (entry.name == name) return &entry;
  return nullptr;
}

bool PictureCache::IsKnown(const std::string& name) const {
  return name == decoding_ || failed_.count(name) != 0 || tooBig_.count(name) != 0;
}

bool PictureCache::MakeRoom(std::size_t bytes) {
  if (bytes > budget_) return false;
  while (bytes_ + bytes > budget_) {
    // Only what the latest request no longer asks for may go: what it asks
    // for is nearer than the picture now being placed.
    auto victim = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.wanted < request_; });
    if (victim == entries_.end()) return false;
    bytes_ -= victim->pixels.ByteSize();
    entries_.erase(victim);
  }
  return true;
}

void PictureCache::Process(std::unique_lock<std::mutex>& lock, AheadItem item) {
  if (item.kind == AheadItem::Kind::Sound) {
    if (!produce_) return;
    busy_ = true;
    lock.unlock();
    produce_(item);
    lock.lock();
    busy_ = false;
    return;
  }
  if (item.kind != AheadItem::Kind::Picture) {
    auto known = std::find_if(expansions_.begin(), expansions_.end(), [&](const auto& e) { return e.first == item; });
    std::vector<AheadItem> more;
    if (known != expansions_.end()) {
      more = known->second;
    } else {
      if (!expand_) return;
      const u64 request = request_;
      busy_ = true;
      lock.unlock();
      expand_(item, more);
      lock.lock();
      busy_ = false;
      if (expansions_.size() >= kMaxExpansions) expansions_.erase(expansions_.begin());
      expansions_.emplace_back(std::move(item), more);
      // A newer request has replaced the queue this item came from.
      if (request != request_) return;
    }
    queue_.insert(queue_.begin(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    return;
  }

  if (Entry* entry = Find(item.name)) {
    entry->wanted = request_;
    return;
  }
  if (item.name.empty() || IsKnown(item.name)) return;
  decoding_ = item.name;
  // Stamped with the request it was asked for: a newer request that no
  // longer asks for it may let it go.
  const u64 request = request_;
  busy_ = true;
  lock.unlock();
  // The same read and decode the main thread would do.
  Surface pixels;
  const bool ok = LoadPng(reader_, item.name, pixels);
  lock.lock();
  busy_ = false;
  decoding_.clear();
  if (!ok)
    failed_.insert(item.name);
  else if (!MakeRoom(pixels.ByteSize()))
    tooBig_.insert(item.name);
  else {
    bytes_ += pixels.ByteSize();
    peak_ = std::max(peak_, bytes_);
    entries_.push_back(Entry{std::move(item.name), std::move(pixels), request});
  }
}

void PictureCache::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (stop_) break;
    AheadItem item = std::move(queue_.front());
    queue_.pop_front();
    Process(lock, std::move(item));
    done_.notify_all();
  }
  done_.notify_all();
}

}  // namespace lyraban
