#pragma once
// A command's loop runs on a thread of its own; the front end's thread owns
// everything the window shows. The command never touches that state: it
// posts updates, which the front end applies in the order they were posted,
// or asks a question (is a box ticked?) or shows a message box through one
// and waits for the answer, so a message holds the command until OK.
//
// A window sets a notifier and applies what is pending when it is called
// back on its own thread; the command runs at most one update ahead of it. Without one, the thread that starts a command
// applies its updates itself until it ends, each before the command goes on,
// so what a test sees mid-run and where its Cancel lands never depend on how
// the threads are scheduled.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace veltrop {

class CommandRunner {
public:
    using Update = std::function<void()>;

    CommandRunner() = default;
    ~CommandRunner() { abandon(); }
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    // ---- The front end's thread ---------------------------------------------
    // Called from the command's thread, with nothing locked, when updates
    // wait where none did: the front end then calls applyPending() on its own
    // thread. Set it while no command runs.
    void setNotifier(std::function<void()> notify) { notify_ = std::move(notify); }
    // Called on the front end's thread after each update it applies and,
    // without a notifier, as a command starts and at least every 10 ms
    // between its updates.
    void setTurnHook(Update hook) { turn_ = std::move(hook); }

    // Runs `work` on a thread of its own. What it returns shows its outcome
    // and is applied after everything it posted; the command counts as
    // running until then.
    void run(std::function<Update()> work);
    bool running() const { return thread_.joinable(); }
    // Applies the updates waiting, in order. A call from inside an update
    // (a message box's own event loop) does nothing: the outer one goes on.
    void applyPending();
    // Ends the command at once, on the front end's behalf (the window is
    // closing): whatever it posts or has posted is never applied, every
    // question is answered with its `otherwise`, and the call returns once
    // the command's thread has ended. Stop its pages first.
    void abandon();

    // ---- The command's thread -----------------------------------------------
    void post(Update update);
    // Posts `update` and waits until it is applied: what the window shows is
    // then where the command is (the ticker whose page it reads).
    void show(Update update) { deliver(std::move(update), true); }
    // `question`'s answer from the front end's thread; `otherwise` once the
    // command is abandoned.
    template <class Answer, class Question>
    Answer ask(Question question, Answer otherwise)
    {
        // Shared with the update, which may still run after an abandoned
        // command stopped waiting for it.
        auto answer = std::make_shared<std::optional<Answer>>();
        if (!deliver([answer, question = std::move(question)] { *answer = question(); }, true))
            return otherwise;
        return answer->value_or(otherwise);
    }

private:
    // Queues `update`; when `wait`, or when the front end applies updates
    // from the thread that started the command, waits until it is applied.
    // True once it was, false when the command was abandoned first.
    bool deliver(Update update, bool wait);
    // On the front end's thread: applies the next update, if one waits, and
    // then takes the turn hook when `turn`; joins the command's thread once
    // its outcome is applied.
    bool applyNext(bool turn);
    // Without a notifier, on the front end's thread: applies the command's
    // updates as they come until it ends.
    void driveUntilEnded();

    // The front end's thread only, and the notifier read by the command's
    // thread, which is set while no command runs.
    std::function<void()> notify_;
    Update turn_;
    std::jthread thread_;
    bool finished_ = false;  // the outcome has been applied
    bool applying_ = false;

    // Guards the members below. `posted_` counts the updates queued since
    // the runner was made and `applied_` those applied, so update n is
    // applied once `applied_ >= n`; `pending_` holds the ones queued and not
    // yet taken, in order. Once `abandoned_` nothing more is queued.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Update> pending_;
    unsigned long long posted_ = 0, applied_ = 0;
    bool abandoned_ = false;
};

} // namespace veltrop
