// The host error a call raises, for tests of refused calls.
//
//   EXPECT_EQ(pt_test::raised([] { haErrorMsgIdAndTxt("MissingKvdExt"); }).key(), "MissingKvdExt");
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "platform/host_messages.h"

namespace pt_test {

/// The host error `call` raised; a test failure when it raised none.
inline platform::HostError raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const platform::HostError& e) {
    return e;
  }
  ADD_FAILURE() << "no host error was raised";
  return platform::HostError("none", {});
}

}  // namespace pt_test
