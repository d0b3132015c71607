#include "ConditionSearch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "BoardInfo.h"

namespace {

struct Hit {
  uint64_t index;  // in its chunk
  Hands hands;
};

struct ChunkResult {
  std::vector<Hit> hits;
  bool fault = false;
  uint64_t fault_index = 0;
  ScriptError fault_place;
  uint64_t size = 0;
};

class Search {
 public:
  explicit Search(const SearchRequest& request)
      : request_(request), shuffler_(request.script->predeal) {}

  SearchResult Run() {
    int threads = request_.threads > 0 ? request_.threads
                                       : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::max(1, threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) workers.emplace_back([this] { Work(); });
    {
      std::unique_lock<std::mutex> lock(mutex_);
      while (!decided_ && exited_ < threads) {
        wake_.wait_for(lock, std::chrono::milliseconds(100));
        if (request_.progress) {
          const int found = static_cast<int>(result_.boards.size());
          lock.unlock();
          request_.progress(examined_.load(std::memory_order_relaxed), found);
          lock.lock();
        }
      }
    }
    for (std::thread& worker : workers) worker.join();
    if (!decided_) result_.status = SearchResult::Status::kCancelled;
    return result_;
  }

 private:
  bool Cancelled() const {
    return request_.cancel != nullptr && request_.cancel->load(std::memory_order_relaxed);
  }

  void Work() {
    for (;;) {
      const uint32_t chunk = next_chunk_.fetch_add(1);
      const uint64_t start = uint64_t{chunk} * kSearchChunkDeals;
      if (start >= request_.max_deals || chunk > last_needed_.load() || Cancelled()) break;
      ChunkResult result;
      result.size = std::min(kSearchChunkDeals, request_.max_deals - start);
      if (!RunChunk(chunk, result)) break;
      std::lock_guard<std::mutex> lock(mutex_);
      finished_[chunk] = std::move(result);
      Merge();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ++exited_;
    wake_.notify_all();
  }

  // False when the chunk was given up: cancelled, or not needed any more.
  bool RunChunk(uint32_t chunk, ChunkResult& result) {
    ChunkStream stream(SearchChunkKey(request_.seed, chunk));
    const size_t wanted = static_cast<size_t>(request_.boards);
    DealFacts facts;
    Hands hands;
    uint64_t counted = 0;
    for (uint64_t i = 0; i < result.size; ++i) {
      if ((i & 1023) == 1023) {
        examined_.fetch_add(i - counted, std::memory_order_relaxed);
        counted = i;
        if (Cancelled() || chunk > last_needed_.load(std::memory_order_relaxed)) return false;
      }
      shuffler_.Next(stream, hands.data());
      facts.Set(hands.data());
      if (request_.program->Meets(facts, result.fault_place)) {
        result.hits.push_back({i, hands});
        // Later hits of this chunk cannot be needed.
        if (result.hits.size() >= wanted) break;
      } else if (!result.fault_place.message.empty()) {
        result.fault = true;
        result.fault_index = i;
        break;
      }
    }
    examined_.fetch_add(result.size - counted, std::memory_order_relaxed);
    return true;
  }

  // Takes the finished chunks in stream order, as far as they reach without a gap.
  void Merge() {
    const size_t wanted = static_cast<size_t>(request_.boards);
    for (auto it = finished_.find(next_merge_); !decided_ && it != finished_.end();
         it = finished_.find(next_merge_)) {
      const uint64_t start = uint64_t{next_merge_} * kSearchChunkDeals;
      const ChunkResult& chunk = it->second;
      for (const Hit& hit : chunk.hits) {
        result_.boards.push_back(hit.hands);
        if (result_.boards.size() == wanted) {
          Decide(SearchResult::Status::kFound, start + hit.index + 1);
          break;
        }
      }
      if (!decided_ && chunk.fault) {
        result_.fault = chunk.fault_place;
        Decide(SearchResult::Status::kFault, start + chunk.fault_index + 1);
      }
      if (!decided_ && start + chunk.size >= request_.max_deals) {
        Decide(SearchResult::Status::kNotFound, request_.max_deals);
      }
      finished_.erase(it);
      ++next_merge_;
    }
  }
  void Decide(SearchResult::Status status, uint64_t examined) {
    decided_ = true;
    result_.status = status;
    result_.examined = examined;
    last_needed_.store(next_merge_);
    wake_.notify_all();
  }

  const SearchRequest& request_;
  const DealShuffler shuffler_;
  std::atomic<uint32_t> next_chunk_{0};
  std::atomic<uint32_t> last_needed_{UINT32_MAX};
  std::atomic<uint64_t> examined_{0};

  std::mutex mutex_;
  std::condition_variable wake_;
  int exited_ = 0;
  std::map<uint32_t, ChunkResult> finished_;
  uint32_t next_merge_ = 0;
  bool decided_ = false;
  SearchResult result_;
};

}  // namespace

SearchRequest ConditionSearchRequest(const ConditionScript& script, const ConditionProgram& program,
                                     int boards, const DealSeed* seed) {
  SearchRequest request;
  request.script = &script;
  request.program = &program;
  request.boards = boards;
  if (script.generate > 0) request.max_deals = static_cast<uint64_t>(script.generate);
  // One seed from the system, then the documented stream: a system call per card is too slow.
  request.seed = seed != nullptr ? *seed : RandomSearchSeed();
  return request;
}

std::string SearchShortfall(const SearchResult& result, int boards) {
  if (result.boards.empty()) {
    return "no deal found after " + std::to_string(result.examined) +
           " deals: the condition may be impossible";
  }
  return "only " + std::to_string(result.boards.size()) + " of " + std::to_string(boards) +
         " boards met the condition in " + std::to_string(result.examined) + " deals";
}

SearchResult SearchConditionDeals(const SearchRequest& request) {
  return Search(request).Run();
}

Deal TurnDeal(const Deal& deal, int turns) {
  Deal turned;
  for (int hand = 0; hand < 4; ++hand) {
    const int to = ((hand + turns) % 4 + 4) % 4;
    std::copy_n(deal.HandCards(hand), kCardsInHand, turned.HandCards(to));
  }
  return turned;
}

Deal SearchBoard(const Hands& hands, int board, int script_dealer, bool rotate) {
  const Deal deal = DealOfHands(hands.data());
  return rotate ? TurnDeal(deal, BoardDealer(board) - script_dealer) : deal;
}
