// Trace lines broadcast as UDP datagrams to 255.255.255.255:8888, for a
// developer watching a device from another machine on the same segment
// (tools/udplog). Best effort: failures are never reported and never change
// the caller's course.
#pragma once

// Source labels carried in every datagram's header.
inline constexpr const char kSrcMain[] = "patch_main";
inline constexpr const char kSrcLogic[] = "patch_Zorv_getlpls";

inline constexpr int kLogPort = 8888;
inline constexpr int kLogLineSize = 2048;  // header + message + terminator
inline constexpr int kLogArgvSize = 1024;  // argument dump + terminator

// Datagram: 8 tabs, file, "[%04d] : ", function, line feed, message. A line
// that does not fit the buffer is cut at the buffer's end.
void udp_log(const char* func, int line, const char* file, const char* fmt, ...)
    __attribute__((format(printf, 4, 5)));

// Sends "****argv : " and " %s" per slot ("NULL" for a null slot) for the
// first `count` slots; the dump is sent literally, "%" included.
void udp_log_argv(const char* func, int line, const char* file, int count, const char* const* vec);
