#include "core/crash_report.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace zorv::core {
namespace {

namespace fs = std::filesystem;

class CrashReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zorv-crash-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        home_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(home_, ec);
    }

    // Runs `body` in a child process with HOME set to the temp folder; returns the wait status.
    template <class Body>
    int runChild(Body body) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("HOME", home_.c_str(), 1);
            // Keep the child's notice off the test output.
            if (FILE* f = std::freopen("/dev/null", "w", stderr)) (void)f;
            body();
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return status;
    }

    std::string report() const {
        std::ifstream in(home_ / "zorv-pro.mdmp", std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    static int count(const std::string& text, const std::string& what) {
        int n = 0;
        for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
        return n;
    }

    fs::path home_;
};

// A page no one may touch: a real access fault, without undefined behaviour for the sanitizers.
volatile int* forbiddenPage() {
    void* p = ::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return static_cast<volatile int*>(p);
}

TEST_F(CrashReportTest, AccessFaultWritesReportAndEndsBySameSignal) {
    const int status = runChild([] {
        ASSERT_TRUE(installCrashHandler());
        volatile int* p = forbiddenPage();
        *p = 1;
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);

    const std::string r = report();
    EXPECT_EQ(r.rfind("A fatal exception has occured. This may have happened inside the 3rd party decoder", 0), 0u);
    // The faulting instruction is in this test program itself.
    const std::string self = fs::read_symlink("/proc/self/exe").filename().string();
    EXPECT_NE(r.find("Fault Module Name:\t\t" + self + "\r\n"), std::string::npos) << r;
    EXPECT_NE(r.find("Exception Code:\t\t0000000b"), std::string::npos) << r;
    EXPECT_NE(r.find("Signal: SIGSEGV (11)"), std::string::npos);
    EXPECT_NE(r.find("Fault address: 0x"), std::string::npos);
    EXPECT_NE(r.find("Backtrace:\n"), std::string::npos);
    EXPECT_GE(count(r.substr(r.find("Backtrace:\n")), "\n"), 3) << "backtrace has frames";
}

TEST_F(CrashReportTest, AbortIsReported) {
    const int status = runChild([] {
        installCrashHandler();
        std::abort();
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGABRT);
    const std::string r = report();
    EXPECT_NE(r.find("Signal: SIGABRT (6)"), std::string::npos) << r;
    // The fault is inside the C library.
    EXPECT_NE(r.find("Fault Module Name:\t\tlibc"), std::string::npos) << r;
}

void faultAgain(int fd) {
    ::write(fd, "extra line\n", 11);
    ::raise(SIGBUS);  // a second fatal signal while the first report is being written
    ::write(fd, "not reached\n", 12);
}

TEST_F(CrashReportTest, SecondFaultEndsWithoutSecondReport) {
    const int status = runChild([] {
        installCrashHandler(faultAgain);
        volatile int* p = forbiddenPage();
        *p = 1;
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGBUS);
    const std::string r = report();
    EXPECT_EQ(count(r, "A fatal exception has occured"), 1);
    EXPECT_NE(r.find("Signal: SIGSEGV"), std::string::npos);
    EXPECT_NE(r.find("extra line\n"), std::string::npos);
    EXPECT_EQ(r.find("not reached"), std::string::npos);
    EXPECT_EQ(r.find("SIGBUS"), std::string::npos);
}

TEST_F(CrashReportTest, NoHomeNoReportButSameEnd) {
    const int status = runChild([] {
        ::unsetenv("HOME");
        installCrashHandler();
        ::raise(SIGFPE);
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGFPE);
    EXPECT_FALSE(fs::exists(home_ / "zorv-pro.mdmp"));
}

}  // namespace
}  // namespace zorv::core
