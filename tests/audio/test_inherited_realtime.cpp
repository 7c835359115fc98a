// Threads a stream starts inherit real-time scheduling from the thread that opens it, and that
// thread gets its own scheduling back.

#include <gtest/gtest.h>

#ifndef _WIN32  // Windows raises its threads by other means (host_apis_windows.cpp)
#include <pthread.h>
#include <sched.h>

#include <thread>

#include "audio/host_apis.hpp"

namespace {

int policyOf(pthread_t thread) {
  int policy = -1;
  sched_param param{};
  pthread_getschedparam(thread, &policy, &param);
  return policy;
}

int policyOfANewThread() {
  int policy = -1;
  std::thread([&policy] { policy = policyOf(pthread_self()); }).join();
  return policy;
}

TEST(InheritedRealtime, ThreadsStartedWhileHeldInheritItAndTheCallerGetsItsOwnBack) {
  const int own = policyOf(pthread_self());
  {
    const InheritedRealtime notAsked(false);
    EXPECT_FALSE(notAsked.raised);
    EXPECT_EQ(policyOfANewThread(), own);
  }
  {
    const InheritedRealtime raised(true);
    if (!raised.raised) GTEST_SKIP() << "this system grants no real-time scheduling";
    EXPECT_EQ(policyOf(pthread_self()), SCHED_RR);
    EXPECT_EQ(policyOfANewThread(), SCHED_RR);
  }
  EXPECT_EQ(policyOf(pthread_self()), own);
  EXPECT_EQ(policyOfANewThread(), own);
}

}  // namespace
#endif
