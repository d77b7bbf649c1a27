// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace tunecrate {

// How an operation of the core ended.
enum class Status {
    Ok,
    TargetExists,   // a file or song of that name is there already
    DiskFull,
    Refused,        // the core will not do it: the reason says why
    Failed,         // the system could not do it
};

// The one shape in which core operations report how they ended: a status,
// and for the user a reason (also on success, where there is something to
// tell, such as a floppy that another program changed meanwhile).
struct Result {
    Status status = Status::Ok;
    int error = 0;        // errno of the failing call, 0 when none
    std::string reason;

    bool ok() const { return status == Status::Ok; }
    // The status that errno means, with the system's text unless a reason is given.
    static Result FromErrno(int err, std::string reason = {});
    static Result Refused(std::string reason);
    // Ok, with something to tell.
    static Result Notice(std::string reason);
    // Adds what another step came to: the first failure gives the status, and
    // every reason is kept, in order.
    void Include(const Result& other);
};

// A value, or the failed Result that says why there is none: the shape of
// every core operation that gives something back (std::expected comes only
// with C++23). A failure without a value is never ok().
template <typename T>
class Expected {
public:
    Expected(T value) : m_value(std::move(value)) {}
    Expected(Result failure) : m_failure(std::move(failure)) {
        if (m_failure.ok()) m_failure.status = Status::Failed;
    }

    bool has_value() const { return m_value.has_value(); }
    explicit operator bool() const { return has_value(); }
    T& operator*() { return *m_value; }
    const T& operator*() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }
    // Why there is no value; Ok when there is one.
    const Result& error() const { return m_failure; }

private:
    std::optional<T> m_value;
    Result m_failure;
};

}  // namespace tunecrate
