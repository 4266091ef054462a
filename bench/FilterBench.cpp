// Speed and memory of the site filter: loading a domain list into its index, looking a host up
// in it, the index's size, and a whole block decision. Run through bench/run_bench.py, which also
// times the reference (Python's dict) in the same run and prints the ratios.
//
//   filter_bench [benchmark options] [generated-list]
//
// The real list comes from the shared data folder; the generated one (bench/generate_hosts.py)
// is given as the last argument, and the benchmarks that need it run only when it is.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "filter/BlockLists.h"
#include "filter/DomainList.h"
#include "storage/SettingsFile.h"

namespace harbinel::filter {
namespace {
namespace fs = std::filesystem;

// The whole real list when the shared data sits beside the repository, else the sample the
// tests carry (said at start, since its numbers are not comparable).
const fs::path kSharedList = fs::path(HARBINEL_SHARED_DATA_DIR) / "blocklists" / "ut1-union.domains";
const fs::path kSampleList = fs::path(HARBINEL_SOURCE_DIR) / "tests" / "data" / "ut1-union-sample.domains";
fs::path kRealList = kSharedList;
fs::path generatedList;

std::vector<std::string> readLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Hosts to look up, picked all over the list so that the look-ups do not share cache lines:
// taken from the list (found), or changed so that the list does not hold them (the common case
// while browsing).
std::vector<std::string> sampleHosts(const fs::path& path, std::size_t count, bool found) {
  const std::vector<std::string> lines = readLines(path);
  std::mt19937 random(7);
  std::vector<std::string> hosts;
  for (std::size_t i = 0; i < count; ++i) {
    std::string host =
        lines[std::uniform_int_distribution<std::size_t>(0, lines.size() - 1)(random)];
    hosts.push_back(found ? host : "absent-" + host);
  }
  return hosts;
}

void loadList(benchmark::State& state, const fs::path& path) {
  const auto bytes = static_cast<std::int64_t>(fs::file_size(path));
  for (auto _ : state) {
    DomainList list = DomainList::fromFile(path);
    benchmark::DoNotOptimize(list.size());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

void lookUp(benchmark::State& state, const fs::path& path, bool found) {
  const DomainList list = DomainList::fromFile(path);
  const std::vector<std::string> hosts = sampleHosts(path, 1 << 16, found);
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.find(hosts[next]));
    next = (next + 1) & (hosts.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}

// Not a timing: the index's bytes against the file's, reported as counters.
void memory(benchmark::State& state, const fs::path& path) {
  const DomainList list = DomainList::fromFile(path);
  for (auto _ : state) benchmark::DoNotOptimize(list.memoryUsage());
  const auto fileBytes = static_cast<double>(fs::file_size(path));
  const auto entries = static_cast<double>(list.size());
  state.counters["file_bytes"] = fileBytes;
  state.counters["entries"] = entries;
  state.counters["index_bytes"] = static_cast<double>(list.memoryUsage());
  state.counters["extra_bytes_per_entry"] =
      (static_cast<double>(list.memoryUsage()) - fileBytes) / entries;
}

// One block decision as a page title arrives: the settings file read afresh (nine blocked
// sites in it), then the parent's list, the real list as dmn and the generated one as dmnsame.
// Absent hosts go through all three lists, the slowest and the most common case.
void decision(benchmark::State& state, bool found) {
  char folderPattern[] = "/tmp/harbinel-bench-XXXXXX";
  if (::mkdtemp(folderPattern) == nullptr) {
    state.SkipWithError("cannot make a temporary folder");
    return;
  }
  const fs::path folder = folderPattern;
  const storage::SettingsFile settings(folder / "data.plist");
  std::vector<std::pair<std::string, std::string>> entries = {{"PD", "secret"}};
  for (int slot = 0; slot < 9; ++slot) {
    entries.emplace_back("BW" + std::to_string(slot), "blocked" + std::to_string(slot) + ".org");
  }
  if (!settings.save(entries).ok()) state.SkipWithError("cannot write the settings file");
  BlockLists lists(settings);
  lists.setDnsArray(DomainList::fromFile(kRealList));
  lists.setDnssameArray(DomainList::fromFile(generatedList));
  const std::vector<std::string> hosts = sampleHosts(generatedList, 1 << 12, found);
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lists.readfromdmn(hosts[next]));
    next = (next + 1) & (hosts.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
  fs::remove_all(folder);
}

void registerListBenchmarks(const std::string& name, const fs::path& path) {
  benchmark::RegisterBenchmark(("Load/" + name).c_str(), loadList, path)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2.0);
  benchmark::RegisterBenchmark(("LookUp/" + name + "/absent").c_str(), lookUp, path, false);
  benchmark::RegisterBenchmark(("LookUp/" + name + "/listed").c_str(), lookUp, path, true);
  benchmark::RegisterBenchmark(("Memory/" + name).c_str(), memory, path)->Iterations(1);
}

}  // namespace
}  // namespace harbinel::filter

int main(int argc, char** argv) {
  using namespace harbinel::filter;
  benchmark::Initialize(&argc, argv);
  if (argc > 2) {
    std::fprintf(stderr, "usage: %s [benchmark options] [generated-list]\n", argv[0]);
    return 2;
  }
  if (argc == 2) generatedList = argv[1];
  if (!fs::exists(kSharedList)) {
    std::fprintf(stderr, "%s is not here: measuring the 3,000-line sample %s instead\n",
                 kSharedList.c_str(), kSampleList.c_str());
    kRealList = kSampleList;
  }
  registerListBenchmarks("real", kRealList);
  if (!generatedList.empty()) {
    registerListBenchmarks("generated", generatedList);
    benchmark::RegisterBenchmark("Decision/absent", decision, false)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Decision/listed", decision, true)->Unit(benchmark::kMicrosecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
