// Panel toolkit: the program thread, the queue of operator input, and the stop request.
#include "platform/userint/userint_internal.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <set>
#include <thread>

namespace {

struct Input {
    enum Kind { CONTROL, TICK, CLOSE } kind = CONTROL;
    unsigned long seq = 0;  // order of arrival
    int panel = 0, control = 0;
    std::function<void()> run;
};

// How input reaches the callbacks: at once on the calling thread, through the program thread's
// queue, or not at all once the program routine has returned (its windows may still be seen).
enum Mode { DIRECT, THREAD, ENDED };

// Guarded by its own mutex. It is taken after the model's mutex when both are needed, never before.
struct Program {
    std::mutex m;
    std::condition_variable wake;
    Mode mode = DIRECT;
    std::deque<Input> queue;
    unsigned long nextSeq = 1;
    std::set<std::pair<int, int>> ticks;  // timers with a tick queued or running
    int depth = 0;                        // callbacks running (a popup's input may nest them)
    unsigned long callbackBegan = 0;      // first sequence number that came after the callback began
    bool delivering = false;              // DIRECT: an input taken from the queue is running
    // The program thread.
    std::thread thread;
    std::thread::id id;
    int result = -1;
    bool looping = false;  // RunUserInterface waits for input on the program thread
    bool busy = false;     // the loop is delivering an input
    bool quit = false;
    int quitCode = 0;
};

// Lives as long as the process: a program thread may still report back while statics are destroyed.
Program &P()
{
    static Program *program = new Program;
    return *program;
}

void Deliver(Input &in)
{
    in.run();
    if (in.kind == Input::TICK) {
        const std::lock_guard lock(P().m);
        P().ticks.erase({in.panel, in.control});
    } else if (in.kind == Input::CONTROL && in.control != 0) {
        const uimodel::ModelLock lock;
        uimodel::NotifyControl(in.panel, in.control);
    }
}

// DIRECT: delivers what is queued, unless a callback or another delivery is running (that one
// drains the queue when it is done).
void DrainDirect()
{
    for (;;) {
        Input in;
        {
            const std::lock_guard lock(P().m);
            if (P().mode != DIRECT || P().delivering || P().depth > 0 || P().queue.empty())
                return;
            in = std::move(P().queue.front());
            P().queue.pop_front();
            P().delivering = true;
        }
        Deliver(in);
        const std::lock_guard lock(P().m);
        P().delivering = false;
    }
}

void Enqueue(Input in)
{
    Mode mode;
    {
        const std::lock_guard lock(P().m);
        mode = P().mode;
        if (mode == ENDED)
            return;
        if (in.kind == Input::TICK && !P().ticks.insert({in.panel, in.control}).second)
            return;  // a tick of this timer is still waiting or running
        in.seq = P().nextSeq++;
        P().queue.push_back(std::move(in));
    }
    if (mode == DIRECT)
        DrainDirect();
    else
        P().wake.notify_one();
}

}  // namespace

namespace uimodel {

int RunCallback(const std::function<int()> &call)
{
    {
        const std::lock_guard lock(P().m);
        if (P().depth++ == 0)
            P().callbackBegan = P().nextSeq;
    }
    const int result = call();
    bool drain;
    {
        const std::lock_guard lock(P().m);
        drain = --P().depth == 0 && P().mode == DIRECT;
    }
    if (drain)
        DrainDirect();
    return result;
}

void ResetProgramQueue()
{
    const std::lock_guard lock(P().m);
    if (P().mode == ENDED)
        P().mode = DIRECT;
    P().queue.clear();
    P().ticks.clear();
    P().depth = 0;
    P().delivering = false;
}

int ProgramLoop()
{
    std::unique_lock lock(P().m);
    P().looping = true;
    P().quit = false;
    while (!P().quit) {
        if (P().queue.empty()) {
            P().wake.wait_for(lock, std::chrono::seconds(1));
            continue;
        }
        Input in = std::move(P().queue.front());
        P().queue.pop_front();
        P().busy = true;
        lock.unlock();
        Deliver(in);
        lock.lock();
        P().busy = false;
    }
    P().looping = false;
    // Input after the quit is not delivered: the program is ending.
    P().queue.clear();
    P().ticks.clear();
    return P().quitCode;
}

bool ProgramQuit(int code)
{
    {
        const std::lock_guard lock(P().m);
        if (P().mode == DIRECT)
            return false;
        if (P().mode == ENDED)
            return true;  // nothing left to end
        P().quit = true;
        P().quitCode = code;
    }
    P().wake.notify_one();
    return true;
}

}  // namespace uimodel

int UiProgram_Start(int (*routine)(int, char **), int argc, char **argv, void (*finished)(int result))
{
    if (!routine)
        return 0;
    const std::lock_guard lock(P().m);
    if (P().mode == THREAD || P().thread.joinable())
        return 0;
    P().mode = THREAD;
    P().queue.clear();
    P().ticks.clear();
    P().result = -1;
    P().looping = P().busy = P().quit = false;
    P().thread = std::thread([routine, argc, argv, finished] {
        const int result = routine(argc, argv);
        {
            const std::lock_guard lock(P().m);
            P().result = result;
            P().mode = ENDED;
            P().queue.clear();
            P().ticks.clear();
        }
        if (finished)
            finished(result);
    });
    P().id = P().thread.get_id();
    return 1;
}

int UiProgram_Join(void)
{
    std::thread thread;
    {
        const std::lock_guard lock(P().m);
        thread = std::move(P().thread);
    }
    if (!thread.joinable() || thread.get_id() == std::this_thread::get_id())
        return -1;
    thread.join();
    const std::lock_guard lock(P().m);
    return P().result;
}

int UiProgram_Running(void)
{
    const std::lock_guard lock(P().m);
    return P().mode == THREAD;
}

int UiProgram_OnProgramThread(void)
{
    const std::lock_guard lock(P().m);
    return P().mode == THREAD && P().id == std::this_thread::get_id();
}

int UiProgram_Idle(void)
{
    const std::lock_guard lock(P().m);
    return P().mode != THREAD || (P().looping && P().queue.empty() && !P().busy);
}

void UiOperator_Queue(int panel, int control, std::function<void()> input)
{
    if (input)
        Enqueue({Input::CONTROL, 0, panel, control, std::move(input)});
}

void UiOperator_QueueTimerTick(int panel, int control)
{
    Enqueue({Input::TICK, 0, panel, control, [panel, control] { UiOperator_TimerTick(panel, control); }});
}

void UiOperator_QueueClose(int panel)
{
    Enqueue({Input::CLOSE, 0, panel, 0, [panel] { UiOperator_ClosePanel(panel); }});
}

int StopRequested(int panel, int control)
{
    const std::lock_guard lock(P().m);
    if (P().depth == 0)
        return 0;
    auto &q = P().queue;
    for (auto it = q.begin(); it != q.end(); ++it)
        if (it->kind == Input::CONTROL && it->seq >= P().callbackBegan && it->panel == panel &&
            it->control == control) {
            q.erase(it);
            return 1;
        }
    for (const Input &in : q)
        if (in.kind == Input::CLOSE)
            return 1;
    return 0;
}
