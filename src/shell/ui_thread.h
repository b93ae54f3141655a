#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <exception>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>

// Runs a call on the thread of a context object and waits for its answer. A
// call made on that thread already runs at once (a blocking queued call would
// wait for itself). An exception thrown by the call is rethrown to the caller.
namespace tarvo::shell {

template <class Call>
auto CallOnThreadOf(QObject* context, Call&& call) -> std::invoke_result_t<Call&> {
    using Result = std::invoke_result_t<Call&>;
    if (QThread::currentThread() == context->thread()) return call();

    std::exception_ptr failure;
    if constexpr (std::is_void_v<Result>) {
        const bool delivered = QMetaObject::invokeMethod(
            context,
            [&] {
                try {
                    call();
                } catch (...) {
                    failure = std::current_exception();
                }
            },
            Qt::BlockingQueuedConnection);
        if (!delivered) throw std::runtime_error("the user interface thread is gone");
        if (failure) std::rethrow_exception(failure);
    } else {
        std::optional<Result> result;
        const bool delivered = QMetaObject::invokeMethod(
            context,
            [&] {
                try {
                    result.emplace(call());
                } catch (...) {
                    failure = std::current_exception();
                }
            },
            Qt::BlockingQueuedConnection);
        if (failure) std::rethrow_exception(failure);
        if (!delivered || !result) throw std::runtime_error("the user interface thread is gone");
        return std::move(*result);
    }
}

}  // namespace tarvo::shell
