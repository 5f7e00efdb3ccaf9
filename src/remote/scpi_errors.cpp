// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/scpi_errors.h"

namespace selvar::remote {

std::string_view errorMessage(int code) {
    switch (code) {
        case error::kNone:
            return "No error";
        case error::kSyntax:
            return "Syntax error";
        case error::kDataType:
            return "Data type error";
        case error::kParameterNotAllowed:
            return "Parameter not allowed";
        case error::kMissingParameter:
            return "Missing parameter";
        case error::kUndefinedHeader:
            return "Undefined header";
        case error::kSuffixOutOfRange:
            return "Header suffix out of range";
        case error::kInvalidSuffix:
            return "Invalid suffix";
        case error::kExecution:
            return "Execution error";
        case error::kSettingsConflict:
            return "Settings conflict";
        case error::kOutOfRange:
            return "Data out of range";
        case error::kIllegalValue:
            return "Illegal parameter value";
        case error::kHardwareError:
            return "Hardware error";
        case error::kHardwareMissing:
            return "Hardware missing";
        case error::kMassStorage:
            return "Mass storage error";
        case error::kFileNameNotFound:
            return "File name not found";
        case error::kFileNameError:
            return "File name error";
        case error::kQueueOverflow:
            return "Queue overflow";
        case error::kInputOverrun:
            return "Input buffer overrun";
        default:
            return "Error";
    }
}

std::string errorReply(int code, std::string_view detail) {
    std::string text = std::to_string(code) + ",\"" + std::string(errorMessage(code));
    if (!detail.empty()) {
        text += ';';
        // A detail may quote what the client sent; a quote inside the reply's string is doubled.
        for (const char c : detail) {
            text += c == '"' ? "\"\"" : std::string(1, c);
        }
    }
    return text + '"';
}

void StatusModel::push(int code, std::string detail) {
    if (queue_.size() < kQueueCapacity) {
        queue_.push_back({code, std::move(detail)});
    } else {
        queue_.back() = {error::kQueueOverflow};
    }
    // The hundreds of a negative error number name its class and so its event bit.
    switch (-code / 100) {
        case 1:
            eventStatus_ |= kCommandError;
            break;
        case 2:
            eventStatus_ |= kExecutionError;
            break;
        case 3:
            eventStatus_ |= kDeviceError;
            break;
        case 4:
            eventStatus_ |= kQueryError;
            break;
        default:
            break;
    }
}

QueuedError StatusModel::popError() {
    if (queue_.empty()) {
        return {};
    }
    QueuedError next = std::move(queue_.front());
    queue_.pop_front();
    return next;
}

void StatusModel::clear() {
    queue_.clear();
    eventStatus_ = 0;
}

std::uint8_t StatusModel::takeEventStatus() {
    const std::uint8_t value = eventStatus_;
    eventStatus_ = 0;
    return value;
}

std::uint8_t StatusModel::statusByte() const {
    constexpr std::uint8_t kErrorAvailable = 0x04;
    constexpr std::uint8_t kEventSummary = 0x20;
    std::uint8_t value = 0;
    if (!queue_.empty()) {
        value |= kErrorAvailable;
    }
    if ((eventStatus_ & eventEnable_) != 0) {
        value |= kEventSummary;
    }
    if ((value & serviceEnable_) != 0) {
        value |= kServiceRequest;
    }
    return value;
}

}  // namespace selvar::remote
