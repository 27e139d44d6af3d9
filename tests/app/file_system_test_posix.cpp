#include "app/file_system_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

namespace kor {
namespace {

// Ten bytes come, then the read fails (an empty non-blocking pipe) or the data
// ends: neither may pass for a whole file of a hundred bytes.
TEST(ReadExactly, AReadThatStopsHalfWayFails) {
  for (bool writerCloses : {false, true}) {
    SCOPED_TRACE(writerCloses ? "ends early" : "read error");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    const uint8_t ten[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_EQ(write(fds[1], ten, sizeof ten), ssize_t(sizeof ten));
    if (writerCloses) close(fds[1]);
    std::vector<uint8_t> buf(100);
    EXPECT_FALSE(fsys::read_exactly(fds[0], buf.data(), buf.size()));
    close(fds[0]);
    if (!writerCloses) close(fds[1]);
  }

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const uint8_t three[3] = {7, 8, 9};
  ASSERT_EQ(write(fds[1], three, sizeof three), 3);
  uint8_t buf[3] = {};
  EXPECT_TRUE(fsys::read_exactly(fds[0], buf, sizeof buf));
  EXPECT_EQ(buf[2], 9);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace kor
