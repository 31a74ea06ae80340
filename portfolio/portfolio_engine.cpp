#include "portfolio/portfolio_engine.hpp"

#include <algorithm>
#include <atomic>
#include <thread>

#include "learning_search/learning_engine.hpp"
#include "window_search/start_time_engine.hpp"

namespace rcpspdc {

namespace {

// Reports to the member's record and ends every search of the portfolio
// once one of them has completed.
struct MemberSink : ResultSink {
  KeptResult& kept;
  std::atomic<bool>& done;
  MemberSink(KeptResult& k, std::atomic<bool>& d) : kept(k), done(d) {}
  void report(const SearchResult& result) override {
    kept.report(result);
    if (result.end == SearchEnd::complete) done.store(true, std::memory_order_relaxed);
  }
};

// The diverse learning search differs where searches diverge most: where it
// branches once a schedule is known, and how often it restarts.
constexpr int DIVERSE_RESTART_UNIT = 300;

}  // namespace

std::unique_ptr<PortfolioEngine> make_portfolio(const std::string& first, int threads) {
  std::vector<std::unique_ptr<SearchEngine>> members;
  // Where the heuristics found no schedule, the second learning search
  // starts where their shortest schedule past the deadline has its
  // activities: it finds schedules the first misses, and misses some the
  // first finds. Where they found one it would search as the first does,
  // so once a schedule is known it branches by conflicts alone.
  LearningSettings seeded;
  seeded.use_seeded_phases = true;
  seeded.use_value_impact = false;
  LearningSettings diverse;
  diverse.use_value_impact = false;
  diverse.restart_unit = DIVERSE_RESTART_UNIT;
  diverse.first_restart_unit = DIVERSE_RESTART_UNIT;
  if (first == "start-times") {
    members.push_back(std::make_unique<StartTimeEngine>());
    members.push_back(std::make_unique<LearningEngine>());
    members.push_back(std::make_unique<LearningEngine>(diverse));
  } else {
    // The seeded search runs the heuristics (it starts where they ended);
    // the first, beside it, searches from the start and takes the schedule
    // they find from the board.
    members.push_back(std::make_unique<LearningEngine>(LearningSettings{}, threads < 2));
    members.push_back(std::make_unique<LearningEngine>(seeded));
    members.push_back(std::make_unique<StartTimeEngine>());
  }
  return std::make_unique<PortfolioEngine>(std::move(members), threads);
}

PortfolioEngine::PortfolioEngine(std::vector<std::unique_ptr<SearchEngine>> members, int threads)
    : members_(std::move(members)),
      threads_(std::clamp(threads, 1, static_cast<int>(members_.size()))),
      kept_(members_.size()) {}

void PortfolioEngine::solve(const SearchRequest& request, ResultSink& sink) {
  const auto count = static_cast<std::size_t>(threads_);
  if (count == 1) {
    members_[0]->solve(request, sink);
    return;
  }
  std::atomic<bool> done{false};
  SharedIncumbent incumbents;
  SharedNogoods nogoods;
  SearchRequest shared = request;
  shared.limits.time.cancel = &done;
  // Under a node limit each search runs as it would alone, so the row can be
  // reproduced; taking from the others would make it depend on when their
  // schedules and nogoods arrive.
  if (request.limits.node_limit == 0) {
    shared.shared = &incumbents;
    shared.shared_nogoods = &nogoods;
  }
  for (std::size_t m = 0; m < count; ++m) kept_[m].result.reset();
  auto run = [&](std::size_t m) {
    MemberSink member(kept_[m], done);
    SearchRequest own = shared;
    own.origin = static_cast<int>(m);
    members_[m]->solve(own, member);
  };
  std::vector<std::thread> others;
  for (std::size_t m = 1; m < count; ++m) others.emplace_back(run, m);
  run(0);
  for (std::thread& t : others) t.join();

  // A complete search decides; the first member that completed, in order.
  const SearchResult* decided = nullptr;
  for (std::size_t m = 0; m < count && decided == nullptr; ++m)
    if (kept_[m].result && kept_[m].result->end == SearchEnd::complete)
      decided = &*kept_[m].result;
  std::int64_t created = 0;
  std::int64_t branched = 0;
  double seconds = 0.0;
  for (std::size_t m = 0; m < count; ++m) {
    if (!kept_[m].result) continue;
    created += kept_[m].result->created_nodes;
    branched += kept_[m].result->branched_nodes;
    seconds = std::max(seconds, kept_[m].result->seconds);
  }
  if (decided != nullptr) {
    result_ = *decided;
  } else {
    // Stopped everywhere: the best incumbent, the lowest bound.
    result_ = SearchResult{};
    result_.end = SearchEnd::time_limit;
    for (std::size_t m = 0; m < count; ++m) {
      if (!kept_[m].result) continue;
      const SearchResult& r = *kept_[m].result;
      if (m == 0) result_.end = r.end;
      result_.bound = std::min(result_.bound, r.bound);
      if (r.has_incumbent && (!result_.has_incumbent || r.value > result_.value)) {
        set_incumbent(result_, true, r.value, r.finish.data(), static_cast<int>(r.finish.size()));
        result_.seconds_to_best = r.seconds_to_best;
      }
    }
    if (result_.has_incumbent) result_.bound = std::max(result_.bound, result_.value);
  }
  result_.created_nodes = created;
  result_.branched_nodes = branched;
  result_.seconds = seconds;
  sink.report(result_);
}

}  // namespace rcpspdc
