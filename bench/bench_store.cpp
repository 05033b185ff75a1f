// tvbench store N: append N synthetic records with a realistic mix of optional
// fields, walk them, and report the bytes each record costs.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/bench.h"
#include "engine/store/hitstore.h"

double BenchNow() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

int BenchStore(int argc, char** argv) {
  if (argc < 1) {
    fprintf(stderr, "usage: tvbench store N\n");
    return 2;
  }
  uint64_t n = strtoull(argv[0], nullptr, 10);
  CHitStore store;
  uint64_t layoutBytes = 0;
  uint32_t rng = 12345;
  auto next = [&rng]() {
    rng = rng * 1103515245u + 12345u;
    return rng >> 8;
  };
  double t0 = BenchNow();
  for (uint64_t i = 0; i < n; ++i) {
    CHitRecord* r = store.NewRecord();
    if (!r) break;
    uint32_t x = next();
    r->SetPage(static_cast<TextHandle>(2 + (x & 4095)));
    r->SetAddress(0x0A000000u | (x & 0xFFFF));
    r->SetDate(1 + (i / 100000) % 28, 1 + (i / 3000000) % 12, 2026);
    r->SetSeconds(static_cast<uint32_t>(i % 86400));
    r->SetBytesSent(x % 50000);
    // Most lines carry a referrer and an agent, some a cookie, few a user.
    uint8_t flags = 0;
    uint16_t status = 200;
    if (x % 10 < 8) flags |= kHitReferrer;
    if (x % 20 < 19) flags |= kHitAgent;
    if (x % 3 == 0) status |= kHitCookie;
    if (x % 50 == 0) status |= kHitUserName;
    r->SetFlags(flags);
    r->SetStatusWord(status);
    size_t size = r->GetSize();
    for (size_t off = CHitRecord::kHeadSize; off < size; off += 4) r->Put<uint32_t>(off, x);
    layoutBytes += size;
    store.CommitCurrent();
  }
  store.Trim();
  double t1 = BenchNow();
  uint64_t walked = 0, sum = 0;
  CHitRecord* r = store.First();
  for (uint64_t i = 0; i < store.RecordCount() && r; ++i) {
    sum += r->BytesSent() + r->GetUserAgent();
    ++walked;
    r = store.Next();
  }
  double t2 = BenchNow();
  double perRecord = walked ? static_cast<double>(store.AllocatedBytes()) / static_cast<double>(walked) : 0;
  double layout = walked ? static_cast<double>(layoutBytes) / static_cast<double>(walked) : 0;
  printf("records=%llu bytes_per_record=%.2f layout_bytes=%.2f append_s=%.3f walk_s=%.3f checksum=%llu\n",
         static_cast<unsigned long long>(walked), perRecord, layout, t1 - t0, t2 - t1,
         static_cast<unsigned long long>(sum));
  return walked == n ? 0 : 1;
}
