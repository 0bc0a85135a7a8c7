#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A test that blocks must cost seconds, not the runner's ten minutes: a watchdog thread ends
// the process when one step (a suite's set-up or tear-down, a test, the exit) runs past its
// budget, after printing where the main thread waits.
constexpr DWORD kDefaultBudgetSeconds = 120;

struct Watchdog {
    HANDLE mainThread = nullptr;
    HANDLE stop = nullptr;
    HANDLE thread = nullptr;
    DWORD budgetMs = kDefaultBudgetSeconds * 1000;
    volatile LONG since = 0;  // GetTickCount() when the current step began
    char step[256] = {};
};

Watchdog g_watchdog;

// False once the address lies in no module: the walk has left the stack's real frames.
bool PrintFrame(int depth, DWORD64 pc) {
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(pc), &module)) {
        return false;
    }
    GetModuleFileNameW(module, path, MAX_PATH);
    const wchar_t* name = wcsrchr(path, L'\\');
    std::fprintf(stderr, "  #%d %ls+0x%llx\n", depth, name != nullptr ? name + 1 : path,
                 static_cast<unsigned long long>(pc - reinterpret_cast<DWORD64>(module)));
    return true;
}

// Walks a thread's stack by the unwind tables every x64 module carries. The addresses are
// only collected while the thread is suspended: naming their modules takes locks it may hold.
void PrintStack(HANDLE thread) {
    DWORD64 pcs[32] = {};
    int count = 0;
    if (SuspendThread(thread) == static_cast<DWORD>(-1)) return;
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_FULL;
    if (GetThreadContext(thread, &context)) {
        for (; count < 32 && context.Rip != 0; ++count) {
            pcs[count] = context.Rip;
            DWORD64 base = 0;
            PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &base, nullptr);
            if (function == nullptr) {  // a leaf: the return address is on top of the stack
                context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
                context.Rsp += 8;
                continue;
            }
            void* handlerData = nullptr;
            DWORD64 frame = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context.Rip, function, &context,
                             &handlerData, &frame, nullptr);
        }
    }
    ResumeThread(thread);
    for (int depth = 0; depth < count && PrintFrame(depth, pcs[depth]); ++depth) {
    }
}

DWORD WINAPI WatchdogThread(void*) {
    while (WaitForSingleObject(g_watchdog.stop, 1000) == WAIT_TIMEOUT) {
        if (GetTickCount() - static_cast<DWORD>(g_watchdog.since) < g_watchdog.budgetMs) continue;
        std::fprintf(stderr, "\nWATCHDOG: %s still runs after %lu s; the main thread is at:\n",
                     g_watchdog.step, g_watchdog.budgetMs / 1000);
        PrintStack(g_watchdog.mainThread);
        std::fflush(stderr);
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    return 0;
}

// The step's name is written before its clock starts, so a report never names a finished step.
void BeginStep(const char* what, const char* name) {
    InterlockedExchange(&g_watchdog.since, static_cast<LONG>(GetTickCount()));
    std::snprintf(g_watchdog.step, sizeof g_watchdog.step, "%s %s", what, name);
    InterlockedExchange(&g_watchdog.since, static_cast<LONG>(GetTickCount()));
}

class WatchdogListener : public testing::EmptyTestEventListener {
    void OnTestSuiteStart(const testing::TestSuite& suite) override {
        BeginStep("the set-up of", suite.name());
    }
    void OnTestStart(const testing::TestInfo& info) override {
        BeginStep(info.test_suite_name(), info.name());
    }
    void OnTestEnd(const testing::TestInfo& info) override {
        BeginStep("the tear-down after", info.name());
    }
};

void StartWatchdog() {
    if (const char* seconds = std::getenv("TL_TEST_BUDGET_SECONDS")) {
        const long value = std::strtol(seconds, nullptr, 10);
        if (value > 0) g_watchdog.budgetMs = static_cast<DWORD>(value) * 1000;
    }
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                    &g_watchdog.mainThread, 0, FALSE, DUPLICATE_SAME_ACCESS);
    g_watchdog.stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_watchdog.thread = CreateThread(nullptr, 0, WatchdogThread, nullptr, 0, nullptr);
    BeginStep("the start of", "the program");
    testing::UnitTest::GetInstance()->listeners().Append(new WatchdogListener);
}

void StopWatchdog() {
    SetEvent(g_watchdog.stop);
    WaitForSingleObject(g_watchdog.thread, INFINITE);
    CloseHandle(g_watchdog.thread);
    CloseHandle(g_watchdog.stop);
    CloseHandle(g_watchdog.mainThread);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    StartWatchdog();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int result = RUN_ALL_TESTS();
    BeginStep("the end of", "the program");
    CoUninitialize();
    StopWatchdog();
    return result;
}
