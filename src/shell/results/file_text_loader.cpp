#include "shell/results/file_text_loader.h"

#include <QPromise>
#include <thread>

namespace tarvo::shell {

QFuture<results::FileHead> ReadFileHeadInBackground(std::string path, std::size_t limit) {
    QPromise<results::FileHead> promise;
    QFuture<results::FileHead> future = promise.future();
    promise.start();
    // Not waited for by anyone: a file on a stalled network share holds up
    // neither a window that closes nor the program's end.
    std::thread([promise = std::move(promise), path = std::move(path), limit]() mutable {
        promise.addResult(results::ReadFileHead(path, limit));
        promise.finish();
    }).detach();
    return future;
}

}  // namespace tarvo::shell
