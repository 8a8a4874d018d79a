#pragma once

#include <QString>
#include <QWidget>

#include <exception>
#include <utility>

namespace varnelo {

// The application's title: every window's caption or its start, every message box's caption.
QString ApplicationTitle();

// The program's own message: owned by `owner`, the title as caption, information icon, OK.
void ShowInfo(QWidget* owner, const QString& text);

// The application's error display: the title as caption, the error icon, a full stop added
// when the message's last character has a code above that of the full stop.
void ShowHandlerError(QWidget* owner, const QString& message);

// Exceptions must not cross Qt's event loop, so every event handler runs through this one
// edge: a failure ends the handler, is shown, and the program goes on.
template <class Handler>
void RunHandler(QWidget* owner, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& e) {
        ShowHandlerError(owner, QString::fromUtf8(e.what()));
    }
}

// connect() for event handlers: the slot runs through RunHandler.
template <class Sender, class Signal, class Handler>
void ConnectHandler(Sender* sender, Signal signal, QWidget* owner, Handler handler) {
    QObject::connect(sender, signal, owner, [owner, handler] { RunHandler(owner, handler); });
}

}  // namespace varnelo
