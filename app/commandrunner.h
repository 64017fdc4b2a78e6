#pragma once
// A command's loop runs on a thread of its own; the front end's thread owns
// everything the window shows. The command never touches that state: it
// posts updates, which the front end applies in the order they were posted,
// or asks a question (is a box ticked?) or shows a message box through one
// and waits for the answer, so a message holds the command until OK.
//
// A window sets a notifier and applies the update waiting when it is called
// back on its own thread; the command runs one update ahead of it at most.
// Without one, the thread that starts a command applies its updates itself
// until it ends, each before the command goes on, so what a test sees mid-run
// and where its Cancel lands never depend on how the threads are scheduled.
#include <condition_variable>
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
    // Called from the command's thread, with nothing locked, when an update
    // waits: the front end then calls applyPending() on its own thread. Set
    // it while no command runs.
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
    // Applies the update waiting, if any. A call from inside an update (a
    // message box's own event loop) does nothing: the outer one goes on.
    void applyPending();
    // Ends the command at once (the window is closing): nothing it posts is
    // applied any more, every question is answered `otherwise`, and the call
    // returns once its thread has ended. Stop its pages first.
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
    // Queues `update`; waits until it is applied when `wait` or when there
    // is no notifier. False when the command was abandoned first.
    bool deliver(Update update, bool wait);
    // On the front end's thread: applies the update waiting, if one does,
    // then takes the turn hook; joins the command's thread once its outcome
    // is applied.
    bool applyNext();
    void applied();
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

    // Guards the members below. `pending_` is the update posted and not yet
    // taken, `unapplied_` whether the last one posted is still to be
    // applied; once `abandoned_` nothing more is posted.
    std::mutex mutex_;
    std::condition_variable changed_;
    Update pending_;
    bool unapplied_ = false;
    bool abandoned_ = false;
};

} // namespace veltrop
