// The spider visits of the detail tree: each row (one visit of a spider to a
// page on a date) placed under its date, spider and page in one of six orders.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "engine/query/rowtable.h"

enum DetailKey : int { kDetailDate, kDetailSpider, kDetailPage };
constexpr int kDetailOrders = 6;

// The keys of levels 0, 1 and 2 (the leaves) of an order 0..5.
const DetailKey* DetailLevels(int order);

// Sorts by the order's keys, level by level: dates and spiders as numbers,
// pages byte by byte. An order above 5 leaves the index as it is.
void SortDetailItems(int order, CRowIndex& index);

// One node of the tree: its level (0 top, 2 leaf), the key it shows, the row
// it was made for, its text and its image in the report strip.
struct DetailNode {
  int level = 0;
  DetailKey key = kDetailDate;
  const CRow* row = nullptr;
  std::string text;
  int image = 0;
};

// Walks the rows of table in the order's sort and reports every node to add,
// parents before their children. Rows without a page are left out. Stops early
// when the stop flag is set.
void WalkDetailTree(const CRowTable& table, int order, const std::function<void(const DetailNode&)>& add);
