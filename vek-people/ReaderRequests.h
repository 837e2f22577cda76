#ifndef VEK_PEOPLE_READER_REQUESTS_H
#define VEK_PEOPLE_READER_REQUESTS_H

// What the people tool asks the reader service, by the service's signature
// ("application/x-vnd.VEK-reader"), and what the service answers, each
// answer sent to the request's return address.
//
// kScanRequest: the next read, whenever it comes. The service answers at
//   once with kScanWaiting, so that the asker knows from then on no read is
//   missed, and keeps the asker's address until the next read it logs,
//   which it sends as kReadReply; an asker that gave up (its "timeout"
//   field, in microseconds, has passed) is sent nothing.
// kRecentRequest: answered at once with kRecentReply.
//
// kReadReply: "tag" (string, as the service sends it to the client),
//   "reader" (string, the reader's name), "time" (int64, seconds since the
//   epoch).
// kRecentReply: the last reads, newest first, as parallel arrays: "tag",
//   "reader", "time" as above; absent when nothing was read yet.

#include <SupportDefs.h>

constexpr char kReaderSignature[] = "application/x-vnd.VEK-reader";

constexpr uint32 kScanRequest = 'pScn';
constexpr uint32 kRecentRequest = 'pRcn';
constexpr uint32 kScanWaiting = 'pWai';
constexpr uint32 kReadReply = 'pRed';
constexpr uint32 kRecentReply = 'pRct';

// How many reads the service remembers for kRecentRequest.
constexpr int32 kRecentReads = 100;

#endif
