#include "shell/results/file_text_loader.h"

#include <QPlainTextEdit>
#include <QPromise>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>
#include <thread>

namespace tarvo::shell {
namespace {

// A slice the view takes in some 10 ms.
constexpr qsizetype kSliceCharacters = 128 * 1024;

void AppendFrom(QPlainTextEdit* view, const QString& text, qsizetype from,
                const std::function<void()>& done) {
    qsizetype end = std::min(text.size(), from + kSliceCharacters);
    if (end < text.size()) {
        const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), end);
        end = lineEnd < 0 ? text.size() : lineEnd + 1;
    }
    QTextCursor cursor(view->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text.mid(from, end - from));
    if (end == text.size()) {
        if (done) done();
        return;
    }
    QTimer::singleShot(0, view, [view, text, end, done] { AppendFrom(view, text, end, done); });
}

}  // namespace

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

void AppendTextInTurns(QPlainTextEdit* view, QString text, std::function<void()> done) {
    view->document()->setUndoRedoEnabled(false);  // no one undoes a shown file
    AppendFrom(view, text, 0, done);
}

}  // namespace tarvo::shell
