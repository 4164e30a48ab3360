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
    // What the new request no longer asks for may give way now, and goes
    // once the worker has been through it.
    tooBig_.clear();
    sweep_ = true;
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
      // Shared, not handed over: while the caller shows it, it costs
      // nothing here, and when a later line names it again it is ready.
      pixels.ShareFrom(it->pixels);
      tooBig_.clear();
      // What it held alone no longer counts: go through the request again
      // for what did not fit.
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
  sweep_ = false;
  queue_.clear();
  requestItems_.clear();
  entries_.clear();
  failed_.clear();
  tooBig_.clear();
  expansions_.clear();
}

std::size_t PictureCache::HeldBytes() const {
  std::lock_guard lock(mutex_);
  return AloneBytes();
}

std::size_t PictureCache::AloneBytes() const {
  std::size_t bytes = 0;
  for (const Entry& entry : entries_)
    if (!entry.pixels.IsShared()) bytes += entry.pixels.ByteSize();
  return bytes;
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
  done_.wait(lock, [&] { return (queue_.empty() && !busy_ && !sweep_) || !worker_.joinable(); });
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
  std::size_t held = AloneBytes();
  while (held + bytes > budget_) {
    // Only what the latest request no longer asks for may go: what it asks
    // for is nearer than the picture now being placed. Pictures shown now
    // cost nothing here, so dropping them gains nothing.
    auto victim = std::find_if(entries_.begin(), entries_.end(),
                               [&](const Entry& e) { return e.wanted < request_ && !e.pixels.IsShared(); });
    if (victim == entries_.end()) return false;
    held -= victim->pixels.ByteSize();
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
    entries_.push_back(Entry{std::move(item.name), std::move(pixels), request});
    peak_ = std::max(peak_, AloneBytes());
  }
}

void PictureCache::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || !queue_.empty() || sweep_; });
    if (stop_) break;
    if (!queue_.empty()) {
      AheadItem item = std::move(queue_.front());
      queue_.pop_front();
      Process(lock, std::move(item));
    }
    // The whole request has been gone through: what it did not ask for is
    // behind the script now (a branch not taken, a scene already shown), so
    // it goes rather than wait for the budget to push it out.
    if (queue_.empty() && sweep_) {
      entries_.remove_if([&](const Entry& entry) { return entry.wanted < request_; });
      sweep_ = false;
    }
    done_.notify_all();
  }
  done_.notify_all();
}

}  // namespace lyraban
