#include <gtest/gtest.h>

#include "engine/store/hitstore.h"

#include <cstring>

namespace {

TEST(HitRecord, SizeAndOptionalFieldOrder) {
  alignas(4) uint8_t buf[64] = {};
  CHitRecord* r = reinterpret_cast<CHitRecord*>(buf + 1);  // records need no alignment
  EXPECT_EQ(r->GetSize(), 29u);
  r->SetFlags(kHitReferrer | kHitAgent);
  r->SetStatusWord(404 | kHitSubdomain | kHitCookie | kHitHostName | kHitUserName | kHitBytesReceived);
  EXPECT_EQ(r->GetSize(), 57u);
  EXPECT_EQ(r->Status(), 404);
  for (uint32_t i = 0; i < 7; ++i) r->Put<uint32_t>(29 + 4 * i, 100 + i);
  EXPECT_EQ(r->GetReferrer(), 100u);
  EXPECT_EQ(r->GetUserAgent(), 101u);
  EXPECT_EQ(r->GetCookie(), 102u);
  EXPECT_EQ(r->GetHostName(), 103u);
  EXPECT_EQ(r->GetUserName(), 104u);
  EXPECT_EQ(r->GetBytesReceived(), 105u);
  EXPECT_EQ(r->GetSubdomain(), 106u);

  // Referrer, cookie and user name: the user name is the third optional field.
  r->SetFlags(kHitReferrer);
  r->SetStatusWord(200 | kHitCookie | kHitUserName);
  EXPECT_EQ(r->GetUserName(), 102u);
  EXPECT_EQ(r->GetUserAgent(), 0u);
  EXPECT_EQ(r->GetHostName(), 0u);
  r->SetHostName(999);  // no slot: nothing written
  EXPECT_EQ(r->GetUserName(), 102u);

  r->SetDate(31, 12, 2025);
  EXPECT_EQ(r->PackedDate(), (2025u << 16) | (12u << 8) | 31u);
  EXPECT_EQ(buf[1 + 8], 31);
  EXPECT_EQ(buf[1 + 9], 12);
  r->SetAddress(0xC0A80102);  // 192.168.1.2: first octet in the high byte
  EXPECT_EQ(buf[1 + 7], 192);
  EXPECT_EQ(buf[1 + 4], 2);
  r->SetVisitorId(0xABCDEF);
  EXPECT_EQ(r->VisitorId(), 0xABCDEFu);
  EXPECT_EQ(r->PageType(), 0);
}

// Appends n records whose size cycles through every possible size.
void Fill(CHitStore& store, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    CHitRecord* r = store.NewRecord();
    ASSERT_NE(r, nullptr);
    r->SetBytesSent(i);
    uint8_t flags = 0;
    uint16_t status = 200;
    unsigned opt = i % 8;  // 0..7 optional fields
    const uint16_t bits[] = {kHitCookie, kHitHostName, kHitUserName, kHitBytesReceived, kHitSubdomain};
    if (opt > 0) flags |= kHitReferrer;
    if (opt > 1) flags |= kHitAgent;
    for (unsigned k = 2; k < opt; ++k) status |= bits[k - 2];
    r->SetFlags(flags);
    r->SetStatusWord(status);
    for (size_t off = 29; off < r->GetSize(); off += 4) r->Put<uint32_t>(off, i);
    store.CommitCurrent();
  }
}

TEST(HitStore, WalkFindsEveryRecordAcrossChunks) {
  CHitStore store;
  const uint32_t n = 60000;  // several chunks of 500,000 bytes
  Fill(store, n);
  EXPECT_GT(store.ChunkCount(), 3u);
  EXPECT_EQ(store.RecordCount(), n);
  EXPECT_EQ(store.Last()->BytesSent(), n - 1);
  store.Trim();
  CHitRecord* r = store.First();
  for (uint32_t i = 0; i < n; ++i) {
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->BytesSent(), i);
    ASSERT_EQ(r->GetSize(), 29u + 4 * (i % 8));
    if (i % 8 > 0) {
      ASSERT_EQ(r->GetReferrer(), i);
    }
    r = store.Next();
  }
  EXPECT_EQ(r, nullptr);  // never beyond the last record
  EXPECT_LT(store.AllocatedBytes(), store.BytesUsed() + 100);
}

TEST(HitStore, WalkingDoesNotMoveTheAppendPosition) {
  CHitStore store;
  Fill(store, 10);
  store.First();
  store.Next();
  Fill(store, 5);  // appends after a partial walk land at the end
  EXPECT_EQ(store.RecordCount(), 15u);
  CHitRecord* r = store.First();
  for (uint32_t i = 0; i < 15; ++i) {
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->BytesSent(), i < 10 ? i : i - 10);
    r = store.Next();
  }
}

TEST(HitStore, AppendAfterTrimAndUncommittedRecords) {
  CHitStore store;
  Fill(store, 3);
  store.Trim();
  CHitRecord* dropped = store.NewRecord();
  dropped->SetBytesSent(777);  // never committed: overwritten by the next one
  Fill(store, 2);
  EXPECT_EQ(store.RecordCount(), 5u);
  CHitRecord* r = store.First();
  for (int i = 0; i < 5; ++i, r = store.Next()) EXPECT_NE(r->BytesSent(), 777u);
}

TEST(HitStore, ChunkTailIsSkippedAlike) {
  // Records of 57 bytes: 8771 fit before fewer than 58 bytes remain in a chunk.
  CHitStore store;
  for (int i = 0; i < 8773; ++i) {
    CHitRecord* r = store.NewRecord();
    r->SetFlags(kHitReferrer | kHitAgent);
    r->SetStatusWord(0xF800 | 200);
    r->SetBytesSent(static_cast<uint32_t>(i));
    store.CommitCurrent();
  }
  EXPECT_EQ(store.ChunkCount(), 2u);
  CHitRecord* r = store.First();
  int count = 0;
  for (; r; r = store.Next()) EXPECT_EQ(r->BytesSent(), static_cast<uint32_t>(count++));
  EXPECT_EQ(count, 8773);
}

TEST(IndexNames, ParseAndCut) {
  CIndexNames table;
  const char* setting = "index.html, default.htm;;  home.php ";
  ParseIndexNames(setting, &table);
  EXPECT_STREQ(setting, "index.html, default.htm;;  home.php ");  // left as written
  ASSERT_EQ(table.count, 3);
  EXPECT_STREQ(table.slots[0].name, "index.html");
  EXPECT_STREQ(table.slots[1].name, "default.htm");
  EXPECT_STREQ(table.slots[2].name, "home.php");

  std::string longName(100, 'n');
  CIndexNames cut;
  ParseIndexNames(longName.c_str(), &cut);
  ASSERT_EQ(cut.count, 1);
  EXPECT_EQ(strlen(cut.slots[0].name), 69u);

  const char* page = "/a/INDEX.HTML";
  EXPECT_EQ(CutIndexName(page, strlen(page), table), 3u);  // "/a/"
  const char* other = "/index.html2";
  EXPECT_EQ(CutIndexName(other, strlen(other), table), strlen(other));
  const char* noSlash = "xindex.html";
  EXPECT_EQ(CutIndexName(noSlash, strlen(noSlash), table), strlen(noSlash));
}

}  // namespace
