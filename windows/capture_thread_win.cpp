// The Windows capture thread: a hidden host window and the system's capture window, the driver
// connected once by index, then per released frame one grab, one bitmap and one JPEG.
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "capturectl/capture_thread.h"
#include "core/fault_stack.h"
#include "core/program_state.h"
#include "core/text_util.h"
#include "windows/capture_library.h"
#include "windows/capture_thread_win.h"
#include "windows/jpeg_file.h"
#include "windows/wide_text.h"
#include "windows/windows_state.h"

namespace {

// The capture messages of the system's video-capture window.
constexpr UINT captureDriverConnect = WM_USER + 10;
constexpr UINT captureGrabFrame = WM_USER + 60;
constexpr UINT captureSaveBitmap = WM_USER + 125;

constexpr int hostWidth = 800;
constexpr int hostHeight = 600;
constexpr DWORD hostStyle = WS_OVERLAPPED | WS_CAPTION;
// Passes are paced by the frame timer, whose permit only a waiting thread takes: the loop takes
// back at once any permit that nobody waited for. A pause as long as the timer's period would make
// the thread miss every other tick, so it ends well before the next one.
constexpr auto passSpacing = std::chrono::milliseconds(400);
// The thread's windows must answer messages sent to them (broadcasts, the shell's DDE) even while
// the thread waits for its next frame: it looks at its message queue at least this often.
constexpr auto messageLook = std::chrono::milliseconds(100);

const wchar_t hostClassName[] = L"LumoraCaptureHost";
std::atomic<bool> threadAlive{false};
// Held for each pass from the grab to the deletion of the bitmap, and by the shutdown for good.
std::timed_mutex passLock;
// How long the end of the program waits for a pass in progress. A driver that has not come back
// from a grab or a save by then is not waited for at all.
constexpr auto passWaitAtEnd = std::chrono::milliseconds(1000);

// A bitmap format the conversion does not read is told once a run: every later frame is the same.
std::atomic<bool> unreadFormatFound{false};
std::mutex reportLock;
std::string unreadFormatReport;  // guarded by reportLock; emptied when the main loop takes it

void KeepUnreadFormat(const std::string& format) {
    if (unreadFormatFound.exchange(true)) return;
    std::lock_guard<std::mutex> hold(reportLock);
    unreadFormatReport = format;
}

void RegisterHostClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = hostClassName;
        RegisterClassExW(&windowClass);
    });
}

HWND CreateHostWindow() {
    RECT frame{0, 0, hostWidth, hostHeight};
    AdjustWindowRect(&frame, hostStyle, FALSE);
    return CreateWindowExW(0, hostClassName, L"", hostStyle, 0, 0, frame.right - frame.left,
                           frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

void AnswerMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Sleeps until the pass begun at `passStart` is one spacing old, with the timer resolution
// raised, answering messages.
void PauseBetweenPasses(std::chrono::steady_clock::time_point passStart) {
    timeBeginPeriod(1);
    auto until = passStart + passSpacing;
    for (;;) {
        AnswerMessages();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(left.count()), QS_ALLINPUT);
    }
    timeEndPeriod(1);
}

void WaitForFrameRelease() {
    while (!programState.frameSemaphore.try_acquire_for(messageLook)) AnswerMessages();
}

void RunCaptureThread() {
    ThreadFaultStack faultStack;
    CaptureThread(0);
    threadAlive.store(false);
}

}  // namespace

void CaptureThread(int) {
    ProgramState& s = programState;
    const auto driver = WPARAM(int32_t(NumberValue(s.settingDevice.Get())));
    const int qualityStep = int32_t(NumberValue(windowsState.settingImage.Get()));
    const std::wstring bitmapPath = WidePath(windowsState.bmpPath);

    HWND host = CreateHostWindow();
    DWORD style = DWORD(GetWindowLongW(host, GWL_STYLE));
    CaptureWindowFunction create = CaptureWindowCreator();
    HWND capture = create && host ? create(nullptr, style, 5, 5, 400, 300, host, 0) : nullptr;
    if (!capture || SendMessageW(capture, captureDriverConnect, driver, 0) == 0) {
        windowsState.captureState.store(-1);
        if (host) DestroyWindow(host);
        return;
    }
    windowsState.captureState.store(1);
    for (;;) {
        auto passStart = std::chrono::steady_clock::now();
        {
            std::lock_guard<std::timed_mutex> pass(passLock);
            SendMessageW(capture, captureGrabFrame, 0, 0);
            SendMessageW(capture, captureSaveBitmap, 0, LPARAM(bitmapPath.c_str()));
            std::string unreadFormat;
            ConvertBitmapToJpeg(windowsState.bmpPath, s.jpegPath, qualityStep, &unreadFormat);
            if (!unreadFormat.empty()) KeepUnreadFormat("Bitmap format not supported: " + unreadFormat);
            DeleteFileW(bitmapPath.c_str());
        }
        PauseBetweenPasses(passStart);
        WaitForFrameRelease();
    }
}

void CreateCaptureThread() {
    if (threadAlive.exchange(true)) return;
    RegisterHostClass();
    try {
        std::thread(RunCaptureThread).detach();
    } catch (const std::system_error&) {
        threadAlive.store(false);
    }
}

bool CaptureThreadAlive() { return threadAlive.load(); }

bool StopCapturePasses() {
    // Never given back: the process ends right after the working directory is gone.
    return passLock.try_lock_for(passWaitAtEnd);
}

bool TakeUnreadFormat(std::string& format) {
    std::lock_guard<std::mutex> hold(reportLock);
    if (unreadFormatReport.empty()) return false;
    format = std::move(unreadFormatReport);
    unreadFormatReport.clear();
    return true;
}
