// The Linux capture thread. It never touches the frame file: the helper writes it and the
// server reads it. The only meeting points are frameSemaphore, helperProcess and captureError.
#include "capturectl/capture_thread.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "capturectl/capture_reason.h"
#include "capturectl/process_runner.h"
#include "core/constants.h"
#include "core/fault_stack.h"
#include "core/platform.h"
#include "core/program_state.h"

namespace {

constexpr std::chrono::milliseconds passDelay{500};

std::atomic<bool> captureThreadAlive{false};

void* RunCaptureThread(void*) {
    ThreadFaultStack faultStack;
    NameThisThread(captureThreadName);
    CaptureThread(0);
    captureThreadAlive.store(false, std::memory_order_release);
    return nullptr;
}

void ReportCaptureEnd(const std::string& reason) {
    programState.captureError = reason;
    programState.helperProcess.store(-1, std::memory_order_release);
}

}  // namespace

void CaptureThread(int) {
    ProgramState& s = programState;
    const std::string workDir = s.workDir;
    std::string index = CameraIndexArgument(s.settingDevice.Get());
    int32_t helper = RunProcess(workDir + helperFileName, index, workDir,
                                processKeepHandle | processConnectOutput | processConnectError |
                                    processEndWithProgram | processOwnGroup);
    s.helperProcess.store(helper, std::memory_order_release);
    if (helper != 0) {
        do {
            std::this_thread::sleep_for(passDelay);
            s.frameSemaphore.acquire();
        } while (ProcessRunning(helper));
    }
    // A helper that could not even be started has no line to read: "Unknown error".
    std::string reason = CaptureFailureReason(ReadProcessErrorLine(helper), workDir);
    CloseProcess(helper);
    ReportCaptureEnd(reason);
}

void CreateCaptureThread() {
    if (captureThreadAlive.exchange(true, std::memory_order_acq_rel)) return;
    // A failure of an earlier helper that was never reported (it ended while no server ran) is
    // not this thread's: the main loop must not show it, nor stop the server for it, nor lose
    // the new helper's handle by clearing it afterwards.
    programState.captureError.clear();
    programState.helperProcess.store(0, std::memory_order_release);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    bool started = pthread_create(&thread, &attributes, RunCaptureThread, nullptr) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) {
        // The main loop reports it like a helper that ended without a word.
        ReportCaptureEnd(CaptureFailureReason("", programState.workDir));
        captureThreadAlive.store(false, std::memory_order_release);
    }
}

bool CaptureThreadAlive() { return captureThreadAlive.load(std::memory_order_acquire); }
