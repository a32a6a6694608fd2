#pragma once
// Runs part of a test where permission bits bind, also when the tests run as
// root.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sizewalk::test {

// Runs `body` (which returns whether all was well): as root, in a child that
// drops to nobody, whose verdict is checked.
template <class Body>
void AsUnprivileged(Body body) {
    if (::geteuid() != 0) {
        EXPECT_TRUE(body());
        return;
    }
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the unprivileged scan saw the wrong tree";
}

}  // namespace sizewalk::test
