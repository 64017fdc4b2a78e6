#include "domain/webaccess.h"

namespace veltrop {

std::string whyNotOpened(const FetchPool::Failure& failure)
{
    using enum FetchPool::Failure::Reason;
    std::string text;
    switch (failure.reason) {
    case Status: text = "the page answered " + std::to_string(failure.status); break;
    case TimedOut:
        text = "no answer in " + (failure.timeLimitMilliseconds % 1000 == 0
                                      ? std::to_string(failure.timeLimitMilliseconds / 1000) + " s"
                                      : std::to_string(failure.timeLimitMilliseconds) + " ms");
        break;
    case Refused:
    case NotFound:
    case NoNetwork: text = "could not connect"; break;
    case Reset: text = "the connection broke off"; break;
    case TooLarge: text = "the page was too large"; break;
    case Unreadable: text = "the page could not be read"; break;
    case OutOfMemory: text = "out of memory"; break;
    case Cancelled: text = "Cancel"; break;
    case None:
    case Other: text = failure.detail.empty() ? "the page did not open" : failure.detail; break;
    }
    if (failure.retries == 1)
        text += ", retried once";
    else if (failure.retries == 2)
        text += ", retried twice";
    else if (failure.retries > 2)
        text += ", retried " + std::to_string(failure.retries) + " times";
    return text;
}

} // namespace veltrop
