#pragma once

#include <stdexcept>
#include <string>

namespace varnelo {

// Failures that end the running event handler; the application's error handler
// shows what() to the user.
class HandlerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "'%s' is not a valid integer value"
class ConversionError : public HandlerError {
public:
    using HandlerError::HandlerError;
};

// "List index out of bounds (%d)"
class ListIndexError : public HandlerError {
public:
    explicit ListIndexError(long long index)
        : HandlerError("List index out of bounds (" + std::to_string(index) + ")") {}
};

}  // namespace varnelo
