#pragma once
// Application error ids of the framework and the event ids of the suite's
// message resource library.
//
// An id is 32 bits: bits 30-31 the severity (0xC0000000 error, 0x40000000
// informational), bits 16-27 the facility (0x020, 0x021, 0x022 are the
// suite's own), bits 0-15 the code.

#include <cstdint>

namespace apperr {

inline constexpr uint32_t kSeverityMask = 0xC0000000;
inline constexpr uint32_t kSeverityError = 0xC0000000;
inline constexpr uint32_t kSeverityInfo = 0x40000000;

inline constexpr uint32_t Facility(uint32_t id) { return (id >> 16) & 0x0FFF; }
inline constexpr bool IsSuiteFacility(uint32_t id) { return Facility(id) >= 0x020 && Facility(id) <= 0x022; }

inline constexpr uint32_t kLoadMsgRes = 0xC0200040;     // message library cannot be loaded
inline constexpr uint32_t kMsgResVersion = 0xC0200041;  // message library of another version
inline constexpr uint32_t kNoBaseKey = 0xC0200045;      // registry key path empty
inline constexpr uint32_t kTableFull = 0xC0200048;      // "ThrTable", "EventLogs"
inline constexpr uint32_t kEof = 0xC0200049;            // iteration past its end
inline constexpr uint32_t kSysCall = 0xC020004A;        // a platform call failed (its name as argument)
inline constexpr uint32_t kRegValue = 0xC0200066;       // registry value cannot be read
inline constexpr uint32_t kIndex = 0xC0200078;          // index outside its table
inline constexpr uint32_t kNotFound = 0xC020007E;       // no such entry ("ThrTable", the id)
inline constexpr uint32_t kOverflow = 0xC0200090;       // value too large for its type
inline constexpr uint32_t kRegCreate = 0xC02000A1;      // registry key cannot be created
inline constexpr uint32_t kRegOpen = 0xC02000A7;        // registry key cannot be opened
inline constexpr uint32_t kSharedMem = 0xC0200100;      // shared memory block missing or not mappable
inline constexpr uint32_t kSetErrorInfo = 0xC0210018;   // COM error information cannot be set
inline constexpr uint32_t kInternal = 0xC0220017;       // "Unknown Exception", "ReportEvent failed"
inline constexpr uint32_t kInHandler = 0xC0220019;      // "Exception in Handler"

// Message 0x40210001 of the message library is its version text, which
// must begin with kMsgResVersionText.
inline constexpr uint32_t kMsgResVersionId = 0x40210001;
inline constexpr const char* kMsgResVersionText = "400";

}  // namespace apperr

namespace evtid {

inline constexpr uint32_t kSysExcept = 0xC0220023;  // system exception, 5 strings
inline constexpr uint32_t kIntExcept = 0xC0220024;  // internal exception, 5 strings
inline constexpr uint32_t kInfo4 = 0x40210027;      // severity 3 or lower
inline constexpr uint32_t kInfo6 = 0x40210028;
inline constexpr uint32_t kFatal4 = 0xC0220011;     // severity 6 or facility 0x022
inline constexpr uint32_t kFatal6 = 0xC0220012;
inline constexpr uint32_t kError4 = 0xC0210021;     // any other record
inline constexpr uint32_t kError6 = 0xC0210022;

}  // namespace evtid
