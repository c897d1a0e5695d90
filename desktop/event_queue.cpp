// The one event queue both toolkits fill and WaitWindowEvent takes from, timers coalesced.
#include "desktop/event_queue.h"

#include <deque>
#include <set>
#include <utility>

namespace {

std::deque<WindowEvent> eventQueue;
std::set<std::pair<int, int>> timersQueued;

}  // namespace

void QueueWindowEvent(const WindowEvent& event) { eventQueue.push_back(event); }

void QueueTimerEvent(int window, int timer) {
    if (!timersQueued.insert(std::make_pair(window, timer)).second) return;
    WindowEvent event;
    event.kind = EventKind::Timer;
    event.window = window;
    event.timer = timer;
    eventQueue.push_back(event);
}

bool WindowEventQueued() { return !eventQueue.empty(); }

WindowEvent TakeWindowEvent() {
    if (eventQueue.empty()) return WindowEvent();
    WindowEvent event = eventQueue.front();
    eventQueue.pop_front();
    if (event.kind == EventKind::Timer) timersQueued.erase(std::make_pair(event.window, event.timer));
    return event;
}

void DropWindowEvents(int window) {
    std::erase_if(eventQueue, [window](const WindowEvent& e) { return e.window == window; });
    std::erase_if(timersQueued, [window](const std::pair<int, int>& t) { return t.first == window; });
}
