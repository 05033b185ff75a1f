#include "ui/core/detailtree.h"

#include <cstring>

#include "base/msgsink.h"
#include "engine/display/display.h"
#include "engine/store/hittext.h"
#include "engine/tables/auxdb.h"

namespace {

constexpr DetailKey kLevels[kDetailOrders][3] = {
    {kDetailDate, kDetailSpider, kDetailPage}, {kDetailDate, kDetailPage, kDetailSpider},
    {kDetailSpider, kDetailDate, kDetailPage}, {kDetailSpider, kDetailPage, kDetailDate},
    {kDetailPage, kDetailDate, kDetailSpider}, {kDetailPage, kDetailSpider, kDetailDate},
};

constexpr int kImageDate = 16, kImageSpider = 9, kImagePage = 2, kImageMissingPage = 8;

int CompareKey(DetailKey key, const CHitRecord* a, const CHitRecord* b) {
  switch (key) {
    case kDetailDate: {
      uint32_t x = a->PackedDate(), y = b->PackedDate();
      return x < y ? -1 : x > y ? 1 : 0;
    }
    case kDetailSpider: {
      uint16_t x = a->RobotIndex(), y = b->RobotIndex();
      return x < y ? -1 : x > y ? 1 : 0;
    }
    case kDetailPage: {
      int c = strcmp(PageOf(a), PageOf(b));
      return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
  }
  return 0;
}

template <int Order>
int CompareRows(const void* a, const void* b) {
  const CHitRecord* x = (*static_cast<CRow* const*>(a))->Record();
  const CHitRecord* y = (*static_cast<CRow* const*>(b))->Record();
  for (DetailKey key : kLevels[Order])
    if (int c = CompareKey(key, x, y)) return c;
  return 0;
}

constexpr SortCompareFn kComparators[kDetailOrders] = {CompareRows<0>, CompareRows<1>, CompareRows<2>,
                                                       CompareRows<3>, CompareRows<4>, CompareRows<5>};

DetailNode MakeNode(int level, DetailKey key, const CRow* row) {
  DetailNode node;
  node.level = level;
  node.key = key;
  node.row = row;
  const CHitRecord* r = row->Record();
  switch (key) {
    case kDetailDate: {
      char text[64];
      node.text = FormatDate(text, sizeof text, r->PackedDate(), true);
      node.image = kImageDate;
      break;
    }
    case kDetailSpider: {
      const char* name = AgentTableEntry(r->RobotIndex());
      node.text = name ? name : "";
      node.image = kImageSpider;
      break;
    }
    case kDetailPage:
      node.text = PageOf(r);
      node.image = r->Status() == 404 ? kImageMissingPage : kImagePage;
      break;
  }
  return node;
}

}  // namespace

const DetailKey* DetailLevels(int order) { return kLevels[order >= 0 && order < kDetailOrders ? order : 0]; }

void SortDetailItems(int order, CRowIndex& index) {
  if (order < 0 || order >= kDetailOrders) return;
  index.Sort(kComparators[order]);
}

void WalkDetailTree(const CRowTable& table, int order, const std::function<void(const DetailNode&)>& add) {
  if (order < 0 || order >= kDetailOrders) order = 0;
  const DetailKey* levels = kLevels[order];
  CRowIndex index;
  index.Build(table);
  SortDetailItems(order, index);
  const CHitRecord* previous = nullptr;  // the last row taken
  bool secondCleared = true;
  for (uint32_t i = 0; i < index.Count() && !StopRequested(); ++i) {
    const CRow* row = index[i];
    const CHitRecord* r = row->Record();
    if (!r || !*PageOf(r)) continue;
    if (!previous || CompareKey(levels[0], previous, r) != 0) {
      add(MakeNode(0, levels[0], row));
      secondCleared = true;
    }
    if (secondCleared || CompareKey(levels[1], previous, r) != 0) {
      add(MakeNode(1, levels[1], row));
      secondCleared = false;
    }
    add(MakeNode(2, levels[2], row));
    previous = r;
  }
}
