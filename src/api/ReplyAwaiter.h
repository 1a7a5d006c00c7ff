#pragma once

#include <QMetaObject>
#include <QNetworkReply>
#include <QPointer>

#include <coroutine>
#include <memory>

namespace veloxa {

// ReplyAwaiter done(reply); co_await done: resumes when the reply finishes, or when it is destroyed
// before finishing (its owner went away); the result says whether the reply still exists.
// Unlike a queued notification this always resumes, so no coroutine frame is left behind.
struct ReplyAwaiter {
    explicit ReplyAwaiter(QNetworkReply* r) : reply(r), watched(r) {}
    QNetworkReply* reply;
    QPointer<QNetworkReply> watched;

    bool await_ready() const noexcept { return !reply || reply->isFinished(); }
    void await_suspend(std::coroutine_handle<> handle) {
        auto once = std::make_shared<QMetaObject::Connection[]>(2);
        auto resume = [handle, once]() mutable {
            QObject::disconnect(once[0]);
            QObject::disconnect(once[1]);
            handle.resume();
        };
        once[0] = QObject::connect(reply, &QNetworkReply::finished, resume);
        once[1] = QObject::connect(reply, &QObject::destroyed, resume);
    }
    bool await_resume() const noexcept { return !watched.isNull(); }
};

} // namespace veloxa
