// SPDX-License-Identifier: MIT
#include "core/Result.h"

#include <cerrno>
#include <cstring>

namespace tunecrate {

Result Result::FromErrno(int err, std::string reason) {
    Result result;
    result.error = err;
    result.status = (err == ENOSPC || err == EDQUOT) ? Status::DiskFull
                  : (err == EEXIST)                  ? Status::TargetExists
                                                     : Status::Failed;
    result.reason = !reason.empty() ? std::move(reason) : err != 0 ? std::strerror(err) : "Unknown error";
    return result;
}

Result Result::Refused(std::string reason) {
    Result result;
    result.status = Status::Refused;
    result.reason = std::move(reason);
    return result;
}

Result Result::Notice(std::string reason) {
    Result result;
    result.reason = std::move(reason);
    return result;
}

void Result::Include(const Result& other) {
    if (other.reason.empty() && other.ok()) return;
    if (ok() && !other.ok()) {
        status = other.status;
        error = other.error;
    }
    reason += (reason.empty() ? "" : "\n\n") + other.reason;
}

}  // namespace tunecrate
