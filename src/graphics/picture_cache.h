#pragma once
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "base/types.h"
#include "graphics/png.h"
#include "graphics/surface.h"

namespace lyraban {

// Something the script is about to need: a picture, or a file that leads to
// pictures (a layer definition, a script) which the owner's expander turns
// into further items on the worker, or a sound the owner's producer
// prepares on the same worker.
struct AheadItem {
  enum class Kind : u8 { Picture, Definition, Script, Sound };
  Kind kind = Kind::Picture;
  std::string name;
  i32 code = 0;  // the section code a definition is applied with; a sound's kind

  friend bool operator==(const AheadItem&, const AheadItem&) = default;
};

// Decodes pictures ahead of need on one worker thread and holds them until
// the main thread takes them. Only pictures that decoded completely are
// kept: the main thread decodes everything else itself, so failures and
// their diagnostics happen exactly where they always did. The worker never
// traces; its reader must be silent and safe beside the main thread's reads.
//
// The decoded pictures held at once, beyond those the callers hold too,
// stay within a byte budget. A picture
// that would go beyond it first evicts pictures the latest request no longer
// asks for (oldest first); when that is not enough it is dropped and the
// main thread decodes it when it comes to it. Once the worker has gone
// through a request, what it no longer asks for is dropped.
class PictureCache {
 public:
  // Turns a definition or script item into the items it leads to, in the
  // order they will be needed. Runs on the worker; must not trace.
  using Expander = std::function<void(const AheadItem& item, std::vector<AheadItem>& out)>;
  // Prepares a sound item, in its turn among the pictures. Runs on the
  // worker; must not trace.
  using Producer = std::function<void(const AheadItem& item)>;

  PictureCache(ResourceReader quietReader, std::size_t budgetBytes, Expander expand = {}, Producer produce = {});
  ~PictureCache();
  PictureCache(const PictureCache&) = delete;
  PictureCache& operator=(const PictureCache&) = delete;

  // What is needed next, nearest first; replaces the previous request.
  // Starts the worker when it is not running.
  void Request(std::vector<AheadItem> items);
  // Gives a completely decoded `name` to `pixels`, sharing it: the cache
  // keeps it while requests ask for it, at no cost while the caller holds
  // it too. When the worker is decoding that very picture, waits for it (it
  // is further along than a fresh decode); when it is only queued, unqueues
  // it. False when the caller must decode it itself.
  bool Take(std::string_view name, Surface& pixels);
  // Stops the worker (a running decode finishes first) and drops every
  // request and picture. The next Request starts afresh.
  void Stop();

  std::size_t budgetBytes() const { return budget_; }
  // Pixel bytes held now that no one else holds, and the most ever held
  // (tests check the budget).
  std::size_t HeldBytes() const;
  std::size_t PeakBytes() const;
  std::size_t PictureCount() const;
  bool Holds(std::string_view name) const;
  // Blocks until the worker has nothing left to do (tests).
  void WaitIdle();

 private:
  struct Entry {
    std::string name;
    Surface pixels;
    u64 wanted = 0;  // the request that last asked for it
  };

  void Run();
  // With the lock held.
  bool IsKnown(const std::string& name) const;
  Entry* Find(std::string_view name);
  bool MakeRoom(std::size_t bytes);
  std::size_t AloneBytes() const;
  void Process(std::unique_lock<std::mutex>& lock, AheadItem item);

  ResourceReader reader_;
  const std::size_t budget_;
  Expander expand_;
  Producer produce_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;  // work arrived, or stop
  std::condition_variable done_;  // a decode ended, or the queue ran dry
  std::thread worker_;
  bool stop_ = false;
  bool busy_ = false;
  bool sweep_ = false;  // a new request came: drop what it does not ask for once gone through
  std::list<AheadItem> queue_;
  std::vector<AheadItem> requestItems_;  // the latest request
  std::list<Entry> entries_;             // oldest first
  std::set<std::string> failed_;         // since the last Stop: the main thread will say why
  std::set<std::string> tooBig_;         // no room until something is taken or asked anew
  std::vector<std::pair<AheadItem, std::vector<AheadItem>>> expansions_;  // since the last Stop
  std::string decoding_;                                                  // the picture the worker is decoding now
  u64 request_ = 0;
  std::size_t peak_ = 0;
};

}  // namespace lyraban
