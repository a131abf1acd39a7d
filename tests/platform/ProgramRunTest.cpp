#include "ProgramRun.h"

#include "ScriptFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>

namespace flowtally {

namespace {

TEST(ProgramRun, ReportsWhyAProgramCannotStart) {
    ScriptFolder scripts;
    ProgramRun notExecutable, missing;
    const Status denied = notExecutable.start({.path = scripts.write("plain", {}, false)});
    EXPECT_EQ(denied.errorNumber(), EACCES);
    EXPECT_EQ(denied.code(), Status::Code::Refused);
    EXPECT_EQ(denied.message(), "cannot start the program: Permission denied");
    const Status absent =
        missing.start({.path = scripts.filePath("missing"), .errors = ErrorText::Collected});
    EXPECT_EQ(absent.errorNumber(), ENOENT);
    EXPECT_EQ(absent.code(), Status::Code::NotFound);
    const ProgramOutcome outcome = runProgram({.path = scripts.filePath("missing")});
    EXPECT_EQ(outcome.started.errorNumber(), ENOENT);
}

// The program sees its three standard streams and nothing else of ours: not
// the pipes of the run, not a descriptor opened without close-on-exec.
TEST(ProgramRun, HandsTheProgramNoOtherDescriptor) {
    ScriptFolder scripts;
    const int inherited = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(inherited, 0);
    // The fourth is the folder that ls reads.
    const ProgramOutcome outcome = runProgram(
        {.path = scripts.write("tool", "ls /proc/self/fd"), .errors = ErrorText::Collected});
    ::close(inherited);
    EXPECT_EQ(outcome.output, "0\n1\n2\n3\n");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_FALSE(outcome.timedOut);
}

} // namespace

} // namespace flowtally
