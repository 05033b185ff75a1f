// tvbench tree N: aggregate N synthetic hits into report rows with a record
// tree, for 100, 10,000, 100,000 and 1,000,000 distinct keys. New keys keep
// turning up across the whole log and every hit goes to one of the keys seen so
// far, so the groups' first records lie all over the store, as in a real log.
#include <time.h>

#include <cstdio>
#include <cstdlib>

#include "bench/bench.h"
#include "engine/query/recordtree.h"
#include "engine/query/rowtable.h"
#include "engine/store/hitstore.h"

namespace {

// The page report's key with case-sensitive pages, where the same text is the
// same handle: file-type group, then page.
int CompareGroupPage(const CHitRecord* a, const CHitRecord* b, const CHitRecord*) {
  if (a->PageType() != b->PageType()) return a->PageType() < b->PageType() ? -1 : 1;
  if (a->Page() != b->Page()) return a->Page() < b->Page() ? -1 : 1;
  return 0;
}

// CPU seconds of this thread: the cost on one core, whatever else the machine runs.
double ThreadSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Group and page in one number: the whole key, so the tree need not read the
// groups' records at all.
uint64_t DigestGroupPage(const CHitRecord* r) { return static_cast<uint64_t>(r->PageType()) << 32 | r->Page(); }

}  // namespace

int BenchTree(int argc, char** argv) {
  if (argc < 1) {
    fprintf(stderr, "usage: tvbench tree N\n");
    return 2;
  }
  uint64_t n = strtoull(argv[0], nullptr, 10);
  CHitStore store;
  for (uint64_t i = 0; i < n; ++i) {
    CHitRecord* r = store.NewRecord();
    if (!r) return 1;
    r->SetBytesSent(static_cast<uint32_t>(i % 50000));
    r->SetStatusWord(200);
    r->SetFlags(i % 7 == 0 ? kHitQuery : 0);
    store.CommitCurrent();
  }
  g_groupSlots = 4;
  int rc = 0;
  for (uint64_t keys : {100ull, 10000ull, 100000ull, 1000000ull}) {
    if (keys > n) keys = n;
    if (keys == 0) break;
    // Key j is labelled (j * 1000003) mod keys: a permutation for these key counts.
    uint64_t spacing = n / keys;
    uint64_t rng = 88172645463325252ull;
    CHitRecord* r = store.First();
    for (uint64_t i = 0; i < n; ++i, r = store.Next()) {
      uint64_t seen = i / spacing + 1 < keys ? i / spacing + 1 : keys;
      uint64_t j;
      if (i % spacing == 0 && i / spacing < keys) {
        j = i / spacing;
      } else {
        rng ^= rng << 13;
        rng ^= rng >> 7;
        rng ^= rng << 17;
        j = rng % seen;
      }
      uint64_t label = j * 1000003ull % keys;
      r->SetPage(static_cast<TextHandle>(2 + label));
      r->SetPageType(static_cast<uint8_t>(label % 6));
    }

    CRowTable table;
    table.Reset(0);
    CRecordTree tree;
    tree.SetCompare(CompareGroupPage, CRecordTree::kRows, DigestGroupPage, true);
    double t0 = ThreadSeconds();
    r = store.First();
    for (uint64_t i = 0; i < n; ++i, r = store.Next())
      if (!tree.FindOrInsert(r, &table)) break;
    double seconds = ThreadSeconds() - t0;

    uint64_t hits = 0;
    for (int32_t i = 0; i < table.RowCount(); ++i) hits += table.GetRow(i)->Hits();
    if (tree.Count() != keys || hits != n) {
      fprintf(stderr, "tree: %u keys and %llu hits, expected %llu and %llu\n", tree.Count(),
              static_cast<unsigned long long>(hits), static_cast<unsigned long long>(keys),
              static_cast<unsigned long long>(n));
      rc = 1;
    }
    printf("keys=%llu records=%llu seconds=%.3f inserts_per_s=%.0f\n", static_cast<unsigned long long>(keys),
           static_cast<unsigned long long>(n), seconds, seconds > 0 ? static_cast<double>(n) / seconds : 0.0);
    fflush(stdout);
  }
  return rc;
}
