// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace selvar::remote {

// The standard SCPI error numbers this instrument queues.
namespace error {
inline constexpr int kNone = 0;
inline constexpr int kSyntax = -102;
inline constexpr int kDataType = -104;
inline constexpr int kParameterNotAllowed = -108;
inline constexpr int kMissingParameter = -109;
inline constexpr int kUndefinedHeader = -113;
inline constexpr int kSuffixOutOfRange = -114;
inline constexpr int kInvalidSuffix = -131;
inline constexpr int kExecution = -200;
inline constexpr int kSettingsConflict = -221;
inline constexpr int kOutOfRange = -222;
inline constexpr int kIllegalValue = -224;
inline constexpr int kHardwareError = -240;
inline constexpr int kHardwareMissing = -241;
inline constexpr int kMassStorage = -250;
inline constexpr int kFileNameNotFound = -256;
inline constexpr int kFileNameError = -257;
inline constexpr int kQueueOverflow = -350;
inline constexpr int kInputOverrun = -363;
}  // namespace error

std::string_view errorMessage(int code);
// `code,"message"` as SYSTem:ERRor? answers it; a detail follows the message after a semicolon:
// `-241,"Hardware missing;chain holds 1 chip"`.
std::string errorReply(int code, std::string_view detail = {});

struct QueuedError {
    int code = error::kNone;
    std::string detail = {};
};

// One connection's error queue and IEEE 488.2 status registers.
class StatusModel {
  public:
    static constexpr std::size_t kQueueCapacity = 32;

    // Bits of the standard event status register.
    static constexpr std::uint8_t kOperationComplete = 0x01;
    static constexpr std::uint8_t kQueryError = 0x04;
    static constexpr std::uint8_t kDeviceError = 0x08;
    static constexpr std::uint8_t kExecutionError = 0x10;
    static constexpr std::uint8_t kCommandError = 0x20;

    // Queues the error (the newest becomes -350 when the queue is full) and sets its event bit.
    void push(int code, std::string detail = {});
    QueuedError popError();  // code 0 when empty
    std::size_t errorCount() const { return queue_.size(); }

    void clear();  // *CLS
    void operationComplete() { eventStatus_ |= kOperationComplete; }
    std::uint8_t takeEventStatus();  // *ESR? reads and clears
    std::uint8_t statusByte() const;

    void setEventEnable(std::uint8_t mask) { eventEnable_ = mask; }  // *ESE
    std::uint8_t eventEnable() const { return eventEnable_; }
    // *SRE: bit 6 is the summary itself and can never be enabled.
    void setServiceEnable(std::uint8_t mask) { serviceEnable_ = mask & ~kServiceRequest; }
    std::uint8_t serviceEnable() const { return serviceEnable_; }

  private:
    static constexpr std::uint8_t kServiceRequest = 0x40;

    std::deque<QueuedError> queue_;
    std::uint8_t eventStatus_ = 0;
    std::uint8_t eventEnable_ = 0;
    std::uint8_t serviceEnable_ = 0;
};

}  // namespace selvar::remote
