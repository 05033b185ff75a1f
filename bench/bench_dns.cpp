// tvbench dns N DELAY_MS: the DNS pass over N hits from N distinct addresses
// against a resolver that answers after DELAY_MS, in a scratch data folder so
// no real cache is read or written.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "base/msgsink.h"
#include "bench/bench.h"
#include "engine/analysis/dnscache.h"
#include "engine/store/hitstore.h"
#include "platform/folders.h"
#include "platform/resolver.h"

namespace {

// Every seventh address has no name.
class DelayingResolver : public tv::Resolver {
 public:
  explicit DelayingResolver(int delayMs) : m_delay(delayMs) {}
  bool NameOf(uint32_t address, std::string* name) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(m_delay));
    if (address % 7 == 0) return false;
    *name = "host" + std::to_string(address & 0xFFFFFF) + ".bench.example";
    return true;
  }
  bool AddressOf(const char*, uint32_t*) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(m_delay));
    return false;
  }

 private:
  int m_delay;
};

}  // namespace

int BenchDns(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: tvbench dns N DELAY_MS\n");
    return 2;
  }
  uint32_t n = static_cast<uint32_t>(strtoul(argv[0], nullptr, 10));
  int delay = atoi(argv[1]);
  if (n == 0 || n > 0xFFFFFF || delay < 0) {
    fprintf(stderr, "tvbench dns: N from 1 to 16777215, DELAY_MS from 0\n");
    return 2;
  }

  std::string templ = (std::filesystem::temp_directory_path() / "tvbench-dns-XXXXXX").string();
  if (!mkdtemp(templ.data())) {
    fprintf(stderr, "tvbench dns: no scratch folder\n");
    return 1;
  }
  setenv("TRAILVANE_HOME", templ.c_str(), 1);
  tv::ResetFolders();

  CHitStore store;
  for (uint32_t i = 0; i < n; ++i) {
    CHitRecord* r = store.NewRecord();
    if (!r) return 1;
    r->SetPage(kEmptyText);
    r->SetAddress(0x0A000000u | (i + 1));
    r->SetDate(1, 1, 2026);
    r->SetStatusWord(200 | kHitHostName);
    r->Put<uint32_t>(CHitRecord::kHeadSize, kNoText);
    store.CommitCurrent();
  }

  DelayingResolver resolver(delay);
  ClearStop();
  CreateDnsCache();
  SetDnsResolver(&resolver);
  CHitStore* stores[] = {&store};
  double t0 = BenchNow();
  RunDnsLookup(stores, false, true);
  double seconds = BenchNow() - t0;
  SetDnsResolver(nullptr);
  FreeDnsCache();

  // Every hit whose address has a name must have got it.
  uint64_t wrong = 0;
  CHitRecord* r = store.First();
  for (uint64_t i = 0; i < store.RecordCount(); ++i) {
    if ((r->GetHostName() != kNoText) != (r->Address() % 7 != 0)) ++wrong;
    if (i + 1 < store.RecordCount()) r = store.Next();
  }
  std::error_code ec;
  std::filesystem::remove_all(templ, ec);
  printf("addresses=%u seconds=%.2f\n", n, seconds);
  if (wrong) fprintf(stderr, "tvbench dns: %llu hits without their answer\n", static_cast<unsigned long long>(wrong));
  return wrong ? 1 : 0;
}
