// Terminating signals and the end of the session become one call on the window thread.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QThread>
#include <stdexcept>

#include "platform/session.h"
#include "support/event_wait.h"

namespace {

using testsupport::waitFor;

TEST(ShutdownRequests, EachSignalReachesTheWindowThreadAsARequest) {
  std::vector<Qt::HANDLE> threads;
  ShutdownRequests requests([&] { threads.push_back(QThread::currentThreadId()); });
  int expected = 0;
  for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signalNumber);
    ASSERT_EQ(::raise(signalNumber), 0);
    ++expected;
    ASSERT_TRUE(waitFor([&] { return requests.requests() == expected; }));
  }
  for (Qt::HANDLE thread : threads) EXPECT_EQ(thread, QThread::currentThreadId());
}

TEST(ShutdownRequests, SignalsFromAnotherThreadAreDeliveredHereToo) {
  int calls = 0;
  ShutdownRequests requests([&] { ++calls; });
  std::unique_ptr<QThread> sender(QThread::create([] { ::kill(::getpid(), SIGTERM); }));
  sender->start();
  sender->wait();
  ASSERT_TRUE(waitFor([&] { return calls >= 1; }));
}

TEST(ShutdownRequests, RestoresThePreviousHandlersAndAllowsOnlyOneWatcher) {
  struct sigaction before {};
  sigaction(SIGTERM, nullptr, &before);
  {
    ShutdownRequests requests([] {});
    EXPECT_THROW(ShutdownRequests second([] {}), std::logic_error);
    struct sigaction during {};
    sigaction(SIGTERM, nullptr, &during);
    EXPECT_NE(during.sa_handler, before.sa_handler);
  }
  struct sigaction after {};
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
  ShutdownRequests again([] {});  // a new watcher can start after the old one ended
}

}  // namespace
