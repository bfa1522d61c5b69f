// The status records the service sends, observed through the seam on
// SetServiceStatus, while ServiceMain's thread and the control handler run.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "capture_stdout.h"
#include "registry_string.h"
#include "service_main.h"
#include "service_status.h"

namespace {

SRWLOCK ReportsLock = SRWLOCK_INIT;
std::vector<SERVICE_STATUS> Reports;
std::vector<SERVICE_STATUS_HANDLE> ReportHandles;

BOOL WINAPI RecordStatus(SERVICE_STATUS_HANDLE handle, LPSERVICE_STATUS status)
{
    AcquireSRWLockExclusive(&ReportsLock);
    Reports.push_back(*status);
    ReportHandles.push_back(handle);
    ReleaseSRWLockExclusive(&ReportsLock);
    return TRUE;
}

size_t ReportCount()
{
    AcquireSRWLockShared(&ReportsLock);
    size_t count = Reports.size();
    ReleaseSRWLockShared(&ReportsLock);
    return count;
}

bool WaitForReports(size_t count)
{
    for (int i = 0; i < 500 && ReportCount() < count; ++i)
        Sleep(10);
    return ReportCount() >= count;
}

const auto TestHandle = reinterpret_cast<SERVICE_STATUS_HANDLE>(0x5eed);
const wchar_t InstallerKeyPath[] = L"Software\\Kestal\\crm-ks-installer";

class ServiceStatusTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetServiceStatus();
        Reports.clear();
        ReportHandles.clear();
        SetServiceStatusCall = RecordStatus;
        StatusHandle = TestHandle;
        // No installer key: the handler must open (create) it itself.
        if (InstallerKey)
            RegCloseKey(InstallerKey);
        InstallerKey = nullptr;
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, InstallerKeyPath);
    }
    void TearDown() override { SetServiceStatusCall = SetServiceStatus; }
};

DWORD WINAPI ServiceThread(void*)
{
    RunUntilStopped();
    return 0;
}

struct ExpectedReport {
    const char* sender;
    DWORD state, controls, checkPoint, waitHint;
};

void ExpectReports(const ExpectedReport* expected, size_t count)
{
    ASSERT_EQ(count, Reports.size());
    for (size_t i = 0; i < count; ++i) {
        const SERVICE_STATUS& r = Reports[i];
        const ExpectedReport& e = expected[i];
        SCOPED_TRACE(testing::Message() << "report " << i << " (" << e.sender << ")");
        EXPECT_EQ(TestHandle, ReportHandles[i]);
        EXPECT_EQ(0x10u, r.dwServiceType);
        EXPECT_EQ(e.state, r.dwCurrentState);
        EXPECT_EQ(e.controls, r.dwControlsAccepted);
        EXPECT_EQ(0u, r.dwWin32ExitCode);
        EXPECT_EQ(0u, r.dwServiceSpecificExitCode);
        EXPECT_EQ(e.checkPoint, r.dwCheckPoint);
        EXPECT_EQ(e.waitHint, r.dwWaitHint);
    }
}

TEST_F(ServiceStatusTest, StartInterrogateAndStopReportTheTable)
{
    HANDLE thread = CreateThread(nullptr, 0, ServiceThread, nullptr, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_TRUE(WaitForReports(2)) << "reports so far: " << ReportCount();

    std::string interrogated = CaptureStdout([] { ServiceControlHandler(SERVICE_CONTROL_INTERROGATE); });
    EXPECT_EQ("", interrogated);
    EXPECT_EQ(2u, ReportCount()) << "interrogate must report nothing";
    EXPECT_NE(nullptr, InstallerKey) << "interrogate reads ServiceStop, which opens the key";

    std::string stopped = CaptureStdout([] { ServiceControlHandler(SERVICE_CONTROL_STOP); });
    EXPECT_EQ("STOP\r\nServiceStop=\r\n", stopped);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    CloseHandle(thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(StopEvent, 0)) << "StopEvent stays set";

    const ExpectedReport expected[] = {
        {"ServiceMain, handler registered", SERVICE_START_PENDING, 0, 1, 3000},
        {"ServiceMain, StopEvent exists", SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0},
        {"handler on STOP", SERVICE_STOP_PENDING, SERVICE_ACCEPT_STOP, 2, 0},
        {"handler after SetEvent", SERVICE_STOP_PENDING, SERVICE_ACCEPT_STOP, 3, 0},
        {"ServiceMain after the wait", SERVICE_STOPPED, SERVICE_ACCEPT_STOP, 0, 0},
    };
    ExpectReports(expected, ARRAYSIZE(expected));
}

TEST_F(ServiceStatusTest, ControlsOtherThanStopReportNothing)
{
    const DWORD controls[] = {
        SERVICE_CONTROL_INTERROGATE, SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_CONTINUE,
        SERVICE_CONTROL_SHUTDOWN, SERVICE_CONTROL_PARAMCHANGE, 128, 255,
    };
    for (DWORD control : controls) {
        std::string output = CaptureStdout([control] { ServiceControlHandler(control); });
        EXPECT_EQ("", output) << "control " << control;
        EXPECT_EQ(0u, ReportCount()) << "control " << control;
    }
}

// Reports from two threads at once: each record is whole, and every
// checkpoint is taken once. Without the lock a mixed record shows up only by
// chance, hence the many rounds.
TEST_F(ServiceStatusTest, ConcurrentReportsDoNotMixFields)
{
    constexpr int PerThread = 100000;
    auto pending = [](void*) WINAPI -> DWORD {
        for (int i = 0; i < PerThread; ++i)
            ReportStatus(SERVICE_START_PENDING, NO_ERROR, 3000);
        return 0;
    };
    auto running = [](void*) WINAPI -> DWORD {
        for (int i = 0; i < PerThread; ++i)
            ReportStatus(SERVICE_RUNNING, NO_ERROR, 0);
        return 0;
    };
    HANDLE threads[] = {
        CreateThread(nullptr, 0, pending, nullptr, 0, nullptr),
        CreateThread(nullptr, 0, running, nullptr, 0, nullptr),
    };
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, 30000));
    for (HANDLE thread : threads)
        CloseHandle(thread);

    ASSERT_EQ(2u * PerThread, Reports.size());
    std::vector<bool> seen(PerThread + 1, false);
    int mixed = 0;
    for (const SERVICE_STATUS& r : Reports) {
        if (r.dwCurrentState == SERVICE_START_PENDING) {
            if (r.dwControlsAccepted != 0 || r.dwWaitHint != 3000 || r.dwCheckPoint == 0
                || r.dwCheckPoint > PerThread || seen[r.dwCheckPoint])
                ++mixed;
            else
                seen[r.dwCheckPoint] = true;
        } else if (r.dwCurrentState != SERVICE_RUNNING || r.dwControlsAccepted != SERVICE_ACCEPT_STOP
                   || r.dwWaitHint != 0 || r.dwCheckPoint != 0) {
            ++mixed;
        }
    }
    EXPECT_EQ(0, mixed) << "records mixing fields of two reports";
}

} // namespace
