#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "app/handover.h"
#include "app/handover_gate.h"

namespace {

TEST(HandoverGate, TicketOrderSurvivesTheWrap) {
  struct Row {
    uint32_t ticket, wanted;
    bool atLeast;
  } rows[] = {
      {0, 0, true},  {1, 0, true},           {0, 1, false},           {6, 6, true},
      {4, 6, false}, {0, 0xFFFFFFFEu, true}, {0xFFFFFFFEu, 0, false}, {2, 0xFFFFFFFEu, true},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(TicketAtLeast(row.ticket, row.wanted), row.atLeast) << row.ticket << " " << row.wanted;
  }
}

HandoverRecord RecordWith(const Text& text, uint32_t window = 0x1234) {
  HandoverRecord record{};
  record.TargetWindow = window;
  SetHandoverText(&record, text);
  return record;
}

TEST(HandoverGate, WriteThenReadMarksTheTicket) {
  HandoverGate gate{};
  HandoverRecord block{};
  HandoverRecord sent = RecordWith(u"a.jpg");
  uint32_t ticket = GateWrite(&gate, &block, &sent, sizeof sent);
  EXPECT_EQ(ticket % 2, 0u);
  EXPECT_NE(ticket, 0u);
  EXPECT_FALSE(GateWasRead(&gate, ticket));
  HandoverRecord got{};
  EXPECT_TRUE(GateRead(&gate, &got, &block, sizeof got));
  EXPECT_EQ(std::memcmp(&got, &sent, sizeof got), 0);
  EXPECT_TRUE(GateWasRead(&gate, ticket));
}

TEST(HandoverGate, ReadingBeforeAnyWriteMarksNothingNew) {
  // The receiver's own start-up hand-over reads the block when no sender has written.
  HandoverGate gate{};
  HandoverRecord block{}, got{};
  EXPECT_TRUE(GateRead(&gate, &got, &block, sizeof got));
  HandoverRecord sent = RecordWith(u"b.png");
  uint32_t ticket = GateWrite(&gate, &block, &sent, sizeof sent);
  EXPECT_FALSE(GateWasRead(&gate, ticket));
}

TEST(HandoverGate, WriterThatDiedHalfWayDoesNotHangTheReader) {
  HandoverGate gate{};
  gate.Posted = 7;  // odd: a write that never finished
  HandoverRecord block = RecordWith(u"half"), got{};
  EXPECT_FALSE(GateRead(&gate, &got, &block, sizeof got));
  EXPECT_EQ(HandoverText(got), u"half");
  // The next writer starts a proper write and its copy reads clean.
  HandoverRecord sent = RecordWith(u"whole");
  uint32_t ticket = GateWrite(&gate, &block, &sent, sizeof sent);
  EXPECT_EQ(ticket % 2, 0u);
  EXPECT_TRUE(GateRead(&gate, &got, &block, sizeof got));
  EXPECT_EQ(HandoverText(got), u"whole");
  EXPECT_TRUE(GateWasRead(&gate, ticket));
}

TEST(HandoverGate, ReadMarkNeverMovesBack) {
  HandoverGate gate{};
  HandoverRecord block{}, got{};
  HandoverRecord sent = RecordWith(u"x");
  uint32_t first = GateWrite(&gate, &block, &sent, sizeof sent);
  uint32_t second = GateWrite(&gate, &block, &sent, sizeof sent);
  EXPECT_TRUE(GateRead(&gate, &got, &block, sizeof got));
  EXPECT_TRUE(GateWasRead(&gate, first));
  EXPECT_TRUE(GateWasRead(&gate, second));
  EXPECT_EQ(gate.Read, second);
}

// A reader racing a writer that keeps replacing one full-length text by another must
// only ever accept a copy that is wholly one text or wholly the other.
TEST(HandoverGate, AcceptedCopiesAreNeverTorn) {
  HandoverGate gate{};
  HandoverRecord block = RecordWith(Text(kHandoverTextUnits, u'a'));
  HandoverRecord texts[2] = {RecordWith(Text(kHandoverTextUnits, u'a')), RecordWith(Text(kHandoverTextUnits, u'b'))};
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) {
      GateWrite(&gate, &block, &texts[i % 2], sizeof block);
      if (i % 8 == 0) std::this_thread::yield();
    }
    done = true;
  });
  int accepted = 0, torn = 0;
  while (!done) {
    HandoverRecord got;
    if (!GateRead(&gate, &got, &block, sizeof got)) continue;
    ++accepted;
    if (std::memcmp(&got, &texts[0], sizeof got) != 0 && std::memcmp(&got, &texts[1], sizeof got) != 0) ++torn;
  }
  writer.join();
  EXPECT_GT(accepted, 0);
  EXPECT_EQ(torn, 0);
}

// Many senders at once against one receiver, the way the processes use the gate: a lock
// taken in turn, the record written, a message posted, and the lock kept until the
// receiver has copied the record. Every sender's text must arrive.
struct Desk {
  HandoverRecord block{};
  HandoverGate gate{};
  std::mutex senderLock;
  std::mutex queueLock;
  std::condition_variable queued;
  std::deque<int> messages;  // -1 ends the receiver
};

void Post(Desk* desk, int message) {
  {
    std::lock_guard<std::mutex> lock(desk->queueLock);
    desk->messages.push_back(message);
  }
  desk->queued.notify_one();
}

void Send(Desk* desk, const Text& text) {
  std::lock_guard<std::mutex> turn(desk->senderLock);
  HandoverRecord record;
  GateRead(&desk->gate, &record, &desk->block, sizeof record);
  SetHandoverText(&record, text);
  uint32_t ticket = GateWrite(&desk->gate, &desk->block, &record, sizeof record);
  Post(desk, 1300);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!GateWasRead(&desk->gate, ticket) && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
}

void Receive(Desk* desk, std::vector<Text>* texts) {
  for (;;) {
    int message;
    {
      std::unique_lock<std::mutex> lock(desk->queueLock);
      desk->queued.wait(lock, [&] { return !desk->messages.empty(); });
      message = desk->messages.front();
      desk->messages.pop_front();
    }
    if (message < 0) return;
    HandoverRecord record;
    GateRead(&desk->gate, &record, &desk->block, sizeof record);
    texts->push_back(HandoverText(record));
  }
}

TEST(HandoverGate, SimultaneousSendersLoseNoText) {
  constexpr int kSenders = 24;
  Desk desk;
  std::vector<Text> received;
  Post(&desk, 1300);  // the receiver's own start-up message, read alongside the senders
  std::thread receiver(Receive, &desk, &received);
  std::vector<std::thread> senders;
  for (int i = 0; i < kSenders; ++i) senders.emplace_back(Send, &desk, u"file" + NumberText(i) + u".jpg");
  for (auto& sender : senders) sender.join();
  Post(&desk, -1);
  receiver.join();
  std::set<Text> distinct(received.begin(), received.end());
  distinct.erase(u"");
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kSenders));
  for (int i = 0; i < kSenders; ++i) EXPECT_EQ(distinct.count(u"file" + NumberText(i) + u".jpg"), 1u) << i;
}

}  // namespace
