#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <future>
#include <memory>
#include <stdexcept>
#include <type_traits>

// Runs a call on the thread of a context object and waits for its answer. A
// call made on that thread already runs at once (a queued call would wait for
// itself). An exception thrown by the call is rethrown to the caller.
namespace tarvo::shell {

template <class Call>
auto CallOnThreadOf(QObject* context, Call&& call) -> std::invoke_result_t<Call&> {
    using Result = std::invoke_result_t<Call&>;
    if (QThread::currentThread() == context->thread()) return call();

    // The answer comes back through a promise, whose hand-over thread checkers
    // can see (a blocking queued connection synchronises inside Qt, where they
    // cannot). Only the queued call holds the promise: if the call is dropped
    // unrun, because its receiver is gone, the promise breaks and the wait ends.
    auto promise = std::make_shared<std::promise<Result>>();
    std::future<Result> answer = promise->get_future();
    const bool queued = QMetaObject::invokeMethod(
        context,
        [promise, &call] {
            try {
                if constexpr (std::is_void_v<Result>) {
                    call();
                    promise->set_value();
                } else {
                    promise->set_value(call());
                }
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        },
        Qt::QueuedConnection);
    promise.reset();
    if (!queued) throw std::runtime_error("the user interface thread is gone");
    try {
        return answer.get();
    } catch (const std::future_error&) {
        throw std::runtime_error("the user interface thread is gone");
    }
}

}  // namespace tarvo::shell
